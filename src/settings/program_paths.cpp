#include "settings/program_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <utility>

#include "util/path.h"
#include "util/strings.h"

namespace quillmar {

namespace {

std::unique_ptr<TProfile>& Store() {
  static std::unique_ptr<TProfile> store;
  return store;
}

std::string EnvValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Creates `dir` and its missing parents, private to the user. Failures show later, when the
// INI file cannot be written there.
void MakeDirs(const std::string& dir) {
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos == dir.size() || dir[pos] == '/') {
      const std::string part = dir.substr(0, pos);
      if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
        return;
      }
    }
  }
}

bool IsWritableDir(const std::string& dir) {
  struct stat info {};
  return ::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         ::access(dir.c_str(), W_OK) == 0;
}

std::string HomeDir() {
  std::string home = EnvValue("HOME");
  if (home.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir) {
      home = entry->pw_dir;
    }
  }
  return home;
}

}  // namespace

std::string ProgramDir() {
  std::string dir = ExtractFilePath(ExecutablePath());
  if (dir.empty()) {
    char buffer[4096];
    dir = ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : ".";
  }
  return IncludeSlash(dir);
}

std::string ChooseConfigDir(std::string_view override_dir, std::string_view program_dir,
                            std::string_view xdg_config_home, std::string_view home) {
  std::string dir;
  if (!override_dir.empty()) {
    dir = IncludeSlash(override_dir);
  } else if (!program_dir.empty() && IsWritableDir(std::string(program_dir))) {
    return IncludeSlash(program_dir);
  } else if (!xdg_config_home.empty() && xdg_config_home.front() == '/') {
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    dir = IncludeSlash(xdg_config_home) + "quillmar/";
  } else {
    dir = IncludeSlash(home.empty() ? std::string_view(".") : home) + ".config/quillmar/";
  }
  MakeDirs(dir);
  return dir;
}

std::string ConfigDir() {
  const std::string override_dir = EnvValue("QUILLMAR_CONFIG_DIR");
  if (!override_dir.empty()) {
    return ChooseConfigDir(override_dir, "", "", "");
  }
  return ChooseConfigDir("", ExtractFilePath(ExecutablePath()), EnvValue("XDG_CONFIG_HOME"),
                         HomeDir());
}

std::string IniFilePath() {
  return ConfigDir() + kIniFileName;
}

void InitProgramIni() {
  InitProgramIni(IniFilePath());
}

void InitProgramIni(std::string path) {
  Store() = std::make_unique<TProfile>(std::move(path));
}

TProfile& ProgramIni() {
  if (!Store()) {
    throw std::logic_error("settings store used before InitProgramIni");
  }
  return *Store();
}

bool ProgramIniReady() {
  return Store() != nullptr;
}

void ShutdownProgramIni() {
  Store().reset();
}

}  // namespace quillmar
