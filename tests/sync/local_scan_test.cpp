// The local scan over real directory trees.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "engine_fixture.h"
#include "engine_probe.h"
#include "util/file_date.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

class LocalScanTest : public EngineTest {
 protected:
  std::vector<std::string> Scan() {
    engine.FileList.Clear();
    engine.ScanLocalDir(LocalRoot().string() + "/", "");
    return Paths(engine.FileList);
  }
};

TEST_F(LocalScanTest, FiltersActOnDirectoriesAndExtensionsAsConfigured) {
  for (const char* path : {"index.html", "_notes.txt", ".hidden.txt", "backup.BAK",
                           "_private/secret.txt", ".git/config", "images/logo.png",
                           "images/thumbs/t.png", "images2/x.png", "Work/plan.txt"}) {
    WriteLocal(path, "x");
  }
  struct TCase {
    const char* Name;
    std::function<void(THomeProfile&)> Setup;
    std::vector<std::string> Expected;
  };
  const std::vector<std::string> everything = {
      "index.html",  "_notes.txt", "images/logo.png", "images/thumbs/t.png", "images2/x.png",
      ".hidden.txt", "backup.BAK", "Work/plan.txt",   "_private/secret.txt", ".git/config"};
  const TCase cases[] = {
      {"defaults: hidden and '_' directories go, such files stay",
       [](THomeProfile&) {},
       {"index.html", "_notes.txt", ".hidden.txt", "backup.BAK", "images/logo.png",
        "images/thumbs/t.png", "images2/x.png", "Work/plan.txt"}},
      {"no directory filters",
       [](THomeProfile& p) {
         p.IgnoreHiddenDirs = false;
         p.IgnoreDirStart = "";
       },
       everything},
      {"an ignored directory takes its subdirectories along, not its namesakes",
       [](THomeProfile& p) { p.IgnoreDirs.Add("/images/"); },
       {"index.html", "_notes.txt", ".hidden.txt", "backup.BAK", "images2/x.png", "Work/plan.txt"}},
      {"ignored subdirectory, any letter case",
       [](THomeProfile& p) { p.IgnoreDirs.Add("/IMAGES/THUMBS/"); },
       {"index.html", "_notes.txt", ".hidden.txt", "backup.BAK", "images/logo.png", "images2/x.png",
        "Work/plan.txt"}},
      {"directory start compared without letter case",
       [](THomeProfile& p) { p.IgnoreDirStart = "wo"; },
       {"index.html", "_notes.txt", ".hidden.txt", "backup.BAK", "images/logo.png",
        "images/thumbs/t.png", "images2/x.png", "_private/secret.txt"}},
      {"extensions without letter case",
       [](THomeProfile& p) { p.IgnoreExtensions.Add(".bak"); },
       {"index.html", "_notes.txt", ".hidden.txt", "images/logo.png", "images/thumbs/t.png",
        "images2/x.png", "Work/plan.txt"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Profile().IgnoreDirs.Clear();
    Profile().IgnoreExtensions.Clear();
    Profile().IgnoreHiddenDirs = true;
    Profile().IgnoreDirStart = "_";
    c.Setup(Profile());
    EXPECT_THAT(Scan(), UnorderedElementsAreArray(c.Expected));
  }
}

TEST_F(LocalScanTest, NodesCarryTheLocalSideOnly) {
  WriteLocal("top.txt", "12345", LocalSeconds(2023, 3, 4, 10, 20, 31));
  WriteLocal("images/thumbs/t.png", "ab", LocalSeconds(2022, 1, 2, 3, 4, 6));
  Scan();
  const TFileNode* top = Find(engine.FileList, "top.txt");
  const TFileNode* deep = Find(engine.FileList, "images/thumbs/t.png");
  ASSERT_NE(top, nullptr);
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(top->RelDir, "");
  EXPECT_EQ(deep->RelDir, "images/thumbs/");
  EXPECT_EQ(top->LocalSize, 5);
  // Odd seconds go down to the even second of the packed file date.
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", top->LocalDate), "2023-03-04 10:20");
  EXPECT_NEAR(top->LocalDate, EncodeDate(2023, 3, 4) + EncodeTime(10, 20, 30, 0), 1e-9);
  EXPECT_NEAR(deep->LocalDate, EncodeDate(2022, 1, 2) + EncodeTime(3, 4, 6, 0), 1e-9);
  EXPECT_EQ(top->RemoteDate, 0.0);
  EXPECT_FALSE(top->HasTime);
  EXPECT_EQ(top->RemoteName, "");
  EXPECT_EQ(top->Action, faNoAction);
}

TEST_F(LocalScanTest, FilesOfASubdirectoryFollowItsEntryDepthFirst) {
  WriteLocal("a/1.txt", "x");
  WriteLocal("a/b/2.txt", "x");
  WriteLocal("c/3.txt", "x");
  const std::vector<std::string> paths = Scan();
  ASSERT_EQ(paths.size(), 3u);
  // Whatever the enumeration order, a directory's files stay together.
  const auto pos = [&](const std::string& p) {
    return std::find(paths.begin(), paths.end(), p) - paths.begin();
  };
  EXPECT_EQ(std::abs(pos("a/1.txt") - pos("a/b/2.txt")), 1);
}

TEST_F(LocalScanTest, LogsEachDirectoryReadWithSlashesWhenAsked) {
  WriteLocal("images/thumbs/t.png", "x");
  WriteLocal("_skip/x.txt", "x");
  TSyncEngineProbe::CreateConnection(engine);
  engine.LogLocalDirs = true;
  Scan();
  EXPECT_THAT(host.LogLinesAt(llInfo),
              ElementsAre("Lese /", "Lese /images/", "Lese /images/thumbs/"));
  host.Log.clear();
  engine.LogLocalDirs = false;
  Scan();
  EXPECT_THAT(host.LogLines(), IsEmpty());
  TSyncEngineProbe::Disconnect(engine);
}

TEST_F(LocalScanTest, LinksAreFollowedButNeverIntoALoop) {
  WriteLocal("index.html", "12345");
  WriteLocal("a/inner.txt", "x");
  fs::create_symlink("index.html", LocalRoot() / "alias.html");
  fs::create_directory_symlink("..", LocalRoot() / "a" / "up");  // back to the root
  fs::create_directory_symlink("a", LocalRoot() / "b");          // the same directory again
  fs::create_symlink("nowhere", LocalRoot() / "broken");
  const std::vector<std::string> paths = Scan();
  // "a" is read once, through whichever name came first.
  ASSERT_EQ(paths.size(), 3u) << ::testing::PrintToString(paths);
  EXPECT_NE(Find(engine.FileList, "alias.html"), nullptr);
  EXPECT_EQ(Find(engine.FileList, "alias.html")->LocalSize, 5);
  const bool via_a = Find(engine.FileList, "a/inner.txt") != nullptr;
  const bool via_b = Find(engine.FileList, "b/inner.txt") != nullptr;
  EXPECT_NE(via_a, via_b);
}

TEST_F(LocalScanTest, OnlyRegularFilesAreRead) {
  WriteLocal("page.html", "x");
  ASSERT_EQ(mkfifo((LocalRoot() / "pipe").c_str(), 0600), 0);
  EXPECT_THAT(Scan(), ElementsAre("page.html"));
}

TEST_F(LocalScanTest, SizesAbove4GiBAreKept) {
  const fs::path big = LocalRoot() / "big.iso";
  const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  const bool sized = ::ftruncate(fd, 3221225472LL) == 0;
  ::close(fd);
  if (!sized)
    GTEST_SKIP() << "the file system takes no sparse file of 3 GiB";
  Scan();
  ASSERT_EQ(engine.FileList.Count, 1);
  EXPECT_EQ(engine.FileList.FirstNode()->LocalSize, 3221225472LL);
}

// Runs `check` without the privileges of root, where permissions would not apply: in a child
// process as "nobody". Returns what it returned.
bool RunUnprivileged(const fs::path& tree, const std::function<bool()>& check) {
  if (geteuid() != 0)
    return check();
  for (const auto& entry : fs::recursive_directory_iterator(tree.parent_path()))
    chown(entry.path().c_str(), 65534, 65534);
  chown(tree.parent_path().c_str(), 65534, 65534);
  const pid_t child = fork();
  if (child == 0) {
    const bool ok = setgid(65534) == 0 && setuid(65534) == 0 && check();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(LocalScanTest, AnUnreadableSubdirectoryIsLoggedAndContributesNothing) {
  WriteLocal("open/a.txt", "x");
  WriteLocal("locked/b.txt", "x");
  TSyncEngineProbe::CreateConnection(engine);
  chmod((LocalRoot() / "locked").c_str(), 0);
  const bool ok = RunUnprivileged(LocalRoot(), [&] {
    const std::vector<std::string> paths = Scan();
    return paths == std::vector<std::string>{"open/a.txt"} &&
           host.HasLogLineContaining(llError, "locked/");
  });
  chmod((LocalRoot() / "locked").c_str(), 0700);
  TSyncEngineProbe::Disconnect(engine);
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace quillmar::testing
