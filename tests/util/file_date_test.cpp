#include "util/file_date.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "util/path.h"

namespace quillmar {
namespace {

namespace fs = std::filesystem;

class FileDateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillmar-filedate-XXXXXX";
    dir_ = mkdtemp(tmpl);
    file_ = dir_ + "/a.txt";
    std::ofstream(file_) << "x";
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::int64_t MTime() {
    struct stat st {};
    ::stat(file_.c_str(), &st);
    return st.st_mtim.tv_sec;
  }
  std::string dir_;
  std::string file_;
};

TEST_F(FileDateTest, SetsTheModificationTimeWithTwoSecondResolution) {
  const TDateTime when = EncodeDate(2004, 5, 6) + EncodeTime(7, 8, 9, 500);
  ASSERT_EQ(SetFileDateTime(file_, when), 0);
  EXPECT_EQ(FormatDateTime("YYYYMMDD HHNNSS", UnixToLocalDateTime(MTime())), "20040506 070808");
  // Reading back gives the same packed value.
  EXPECT_EQ(FileTimeToDateTime(MTime()), EncodeDate(2004, 5, 6) + EncodeTime(7, 8, 8, 0));
}

TEST_F(FileDateTest, FailuresAreReportedOnlyThroughTheResult) {
  EXPECT_EQ(SetFileDateTime(dir_ + "/missing.txt", EncodeDate(2004, 5, 6)), -1);
  const std::int64_t before = MTime();
  EXPECT_NE(SetFileDateTime(file_, EncodeDate(1979, 12, 31)), 0);
  EXPECT_NE(SetFileDateTime(file_, EncodeDate(2108, 1, 1)), 0);
  EXPECT_EQ(MTime(), before);
  EXPECT_EQ(SetFileDateTime(dir_, EncodeDate(2004, 5, 6)), -1);  // a directory
}

TEST_F(FileDateTest, FileTimesBeforeThePackableRangeStillRead) {
  // Files unpacked from archives often carry 1970 dates; they must still count as present.
  EXPECT_GT(FileTimeToDateTime(0), 0.0);
  EXPECT_EQ(YearOfDate(FileTimeToDateTime(86400 * 365)), 1971);
}

TEST(Path, HelpersOnNativePaths) {
  EXPECT_EQ(ExtractFilePath("/usr/bin/quillmar"), "/usr/bin/");
  EXPECT_EQ(ExtractFilePath("quillmar"), "");
  EXPECT_EQ(ChangeFileExt("/usr/bin/Quillmar.exe", ".ini"), "/usr/bin/Quillmar.ini");
  EXPECT_EQ(ChangeFileExt("/opt/v1.2/quillmar", ".ini"), "/opt/v1.2/quillmar.ini");
  EXPECT_EQ(ExpandLongPath("/tmp/../tmp"), fs::canonical("/tmp").string());
  EXPECT_EQ(ExpandLongPath("/no/such/path"), "/no/such/path");
  EXPECT_FALSE(ExecutablePath().empty());
}

}  // namespace
}  // namespace quillmar
