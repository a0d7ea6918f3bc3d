#include "settings/program_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "settings/temp_dir.h"

namespace quillmar {
namespace {

// Sets an environment variable for one test and restores it afterwards.
class TScopedEnv {
 public:
  TScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~TScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

bool IsDir(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TEST(ProgramPathsTest, ProgramDirIsTheExecutablesDirectory) {
  const auto exe = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(ProgramDir(), exe.parent_path().string() + "/");
}

TEST(ProgramPathsTest, ConfigDirFromTheEnvironmentIsCreated) {
  settings_test::TTempDir dir;
  const std::string wanted = dir / "a/b";
  const TScopedEnv env("QUILLMAR_CONFIG_DIR", wanted);
  EXPECT_EQ(ConfigDir(), wanted + "/");
  EXPECT_TRUE(IsDir(wanted));
  EXPECT_EQ(IniFilePath(), wanted + "/Quillmar.ini");
}

TEST(ProgramPathsTest, ConfigDirFallsBackToTheUsersConfigDirectory) {
  settings_test::TTempDir dir;
  const std::string program = dir / "bin";
  ::mkdir(program.c_str(), 0755);
  const std::string xdg = dir / "xdg";
  const std::string home = dir / "home";

  EXPECT_EQ(ChooseConfigDir("", program, xdg, home), program + "/");
  EXPECT_EQ(ChooseConfigDir("", "", xdg, home), xdg + "/quillmar/");
  EXPECT_EQ(settings_test::ModeOf(xdg + "/quillmar"), 0700u);
  // A relative XDG_CONFIG_HOME does not count.
  EXPECT_EQ(ChooseConfigDir("", "", "relative", home), home + "/.config/quillmar/");
  EXPECT_EQ(settings_test::ModeOf(home + "/.config/quillmar"), 0700u);
  EXPECT_EQ(ChooseConfigDir("", dir / "no-such-dir", "", home), home + "/.config/quillmar/");
}

TEST(ProgramPathsTest, TheStoreLivesFromInitToShutdown) {
  settings_test::TTempDir dir;
  InitProgramIni(dir / "x.ini");
  ASSERT_TRUE(ProgramIniReady());
  EXPECT_EQ(ProgramIni().FileName(), dir / "x.ini");
  EXPECT_TRUE(ProgramIni().WriteBackDefaults);
  ShutdownProgramIni();
  EXPECT_FALSE(ProgramIniReady());
  EXPECT_THROW(ProgramIni(), std::logic_error);

  const TScopedEnv env("QUILLMAR_CONFIG_DIR", dir.Path());
  InitProgramIni();
  EXPECT_EQ(ProgramIni().FileName(), dir / "Quillmar.ini");
  ShutdownProgramIni();
}

}  // namespace
}  // namespace quillmar
