#include "log/file_logger.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quillmar {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class FileLoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillmar-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    file_ = (dir_ / "FTP-Protokoll.txt").string();
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  static std::string Read(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
  }

  fs::path dir_;
  std::string file_;
};

TEST_F(FileLoggerTest, EachLineIsInTheFileWhenWriteLineReturns) {
  TFileLogger logger(file_, false);
  logger.Log(llSent, "USER anna");
  EXPECT_EQ(Read(file_), "S: USER anna\r\n");
  logger.LogData(llReceived, "331 Passwort\r\n");
  logger.Log(0, "");
  EXPECT_EQ(Read(file_), "S: USER anna\r\nR: 331 Passwort^M^J\r\n\r\n");
}

TEST_F(FileLoggerTest, WritesBytesAndEmbeddedBreaksUnchanged) {
  {
    TFileLogger logger(file_, false);
    logger.Log(llError, "Zeile eins\r\nZeile zwei \xC3\xA4\xFF");
  }
  EXPECT_EQ(Read(file_), "E: Zeile eins\r\nZeile zwei \xC3\xA4\xFF\r\n");
}

TEST_F(FileLoggerTest, AppendFlagDecidesAboutOldContent) {
  struct Case {
    const char* name;
    bool exists;
    bool append;
    std::string expected;
  };
  const Case cases[] = {
      {"append to existing", true, true, "alt\r\n.neu\r\n"},
      {"append creates missing", false, true, ".neu\r\n"},
      {"no append empties existing", true, false, ".neu\r\n"},
      {"no append creates missing", false, false, ".neu\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(file_);
    if (c.exists)
      Write(file_, "alt\r\n");
    {
      TFileLogger logger(file_, c.append);
      logger.Log(llInfo, "neu");
    }
    EXPECT_EQ(Read(file_), c.expected);
  }
}

TEST_F(FileLoggerTest, SecondRunWithoutAppendKeepsOnlyItsLines) {
  for (const char* run : {"erster Lauf mit einer langen Zeile", "zweiter"}) {
    TFileLogger logger(file_, false);
    logger.Log(llInfo, run);
  }
  EXPECT_EQ(Read(file_), ".zweiter\r\n");
}

TEST_F(FileLoggerTest, NewFileIsPrivateToItsOwner) {
  TFileLogger logger(file_, false);
  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileLoggerTest, ModeZeroWritesNothing) {
  TFileLogger logger(file_, false);
  logger.Mode = 0;
  logger.WriteLine(llInfo, "x");
  EXPECT_EQ(Read(file_), "");
}

TEST_F(FileLoggerTest, UnopenableFileThrowsWithPathAndReason) {
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {(dir_ / "fehlt" / "FTP-Protokoll.txt").string(), "No such file or directory"},
      {dir_.string(), "Is a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      TFileLogger logger(c.path, false);
      ADD_FAILURE() << "no error";
    } catch (const EInOutError& error) {
      EXPECT_EQ(std::string(error.what()),
                "Die Datei \u201E" + c.path + "\u201C kann nicht geöffnet werden: " + c.reason);
    }
  }
}

TEST_F(FileLoggerTest, WriteFailureThrows) {
  if (::access("/dev/full", W_OK) != 0)
    GTEST_SKIP() << "no /dev/full";
  TFileLogger logger("/dev/full", true);
  try {
    logger.Log(llInfo, "x");
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_THAT(error.what(), HasSubstr("\u201E/dev/full\u201C kann nicht geschrieben werden: "));
  }
}

}  // namespace
}  // namespace quillmar
