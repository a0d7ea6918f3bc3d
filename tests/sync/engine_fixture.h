#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ftp/blocking.h"
#include "settings/home_profile.h"
#include "settings/profile.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "sync/engine.h"
#include "util/date_time.h"

namespace quillmar::testing {

// An engine on a recording host with a profile of its own, a settings file and a local root in
// a temporary directory.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    std::filesystem::create_directories(LocalRoot());
    auto profile = std::make_unique<THomeProfile>("", ini_);
    profile->Name = "Testseite";
    profile->FtpServer = "127.0.0.1:1";
    profile->UserName = "user";
    profile->Password = "secret";
    profile->LocalRoot = LocalRoot().string();
    profile->RemoteRoot = "/htdocs/";
    profile->TestFilename = "";
    engine.SetProfile(std::move(profile));
    engine.LogDirectory = dir_.path().string() + "/";
    engine.LogLocalDirs = false;
  }
  ~EngineTest() override {
    // The cancel is sticky per thread; no test may leave it set for the next.
    ResetBlockingCancel();
  }

  THomeProfile& Profile() { return *engine.Profile(); }
  std::filesystem::path LocalRoot() const { return dir_.path() / "local"; }
  const std::filesystem::path& TempPath() const { return dir_.path(); }

  // Writes a local file below the local root, creating its directories; `mtime` in POSIX
  // seconds when not 0.
  void WriteLocal(const std::string& rel_path, const std::string& content, time_t mtime = 0) {
    const std::filesystem::path path = LocalRoot() / rel_path;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    if (mtime != 0) {
      const timespec times[2] = {{mtime, 0}, {mtime, 0}};
      utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
  }

  // "RelDir+Name" of every node, in list order.
  static std::vector<std::string> Paths(const TFileList& list) {
    std::vector<std::string> paths;
    for (const TFileNode* node : list.FileNodes())
      paths.push_back(node->RelDir + node->Name);
    return paths;
  }
  static const TFileNode* Find(const TFileList& list, const std::string& path) {
    for (const TFileNode* node : list.FileNodes()) {
      if (node->RelDir + node->Name == path)
        return node;
    }
    return nullptr;
  }

 private:
  TTempDir dir_{"quillmar-engine"};
  TProfile ini_{(dir_.path() / "Quillmar.ini").string()};

 protected:
  TRecordingHost host;
  TSyncEngine engine{host};
};

// POSIX seconds of a local date-time.
inline time_t LocalSeconds(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<time_t>(
      LocalDateTimeToUnix(EncodeDate(year, month, day) + EncodeTime(hour, minute, second, 0)));
}

}  // namespace quillmar::testing
