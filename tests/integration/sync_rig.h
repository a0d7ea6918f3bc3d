#pragma once

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "settings/home_profile.h"
#include "settings/profile.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "support/test_ftp_server.h"
#include "sync/engine.h"
#include "util/date_time.h"

namespace quillmar::testing {

namespace sync_rig_fs = std::filesystem;

// The engine with a recording host and a profile for one test server: the local root in a
// temporary directory, the remote root "site" in the server's writable home.
class TSyncRig {
 public:
  explicit TSyncRig(const TTestFtpServer& server, const std::string& remote_dir = "site")
      : server_(server) {
    auto profile = std::make_unique<THomeProfile>("", ini_);
    profile->Name = "Rig";
    profile->FtpServer = server.host_port();
    profile->UserName = server.user();
    profile->Password = server.password();
    profile->LocalRoot = local_.path().string();
    const std::string home = server.remote_home() == "/" ? "" : server.remote_home();
    profile->RemoteRoot = home + "/" + remote_dir;
    profile_ = profile.get();
    engine.SetProfile(std::move(profile));
    sync_rig_fs::create_directories(Remote());
    GiveToServer(Remote());
  }

  THomeProfile& profile() { return *profile_; }
  sync_rig_fs::path Local() const { return local_.path(); }
  // The remote root as a directory of this machine.
  sync_rig_fs::path Remote() const { return server_.root() / profile_->RemoteRoot.substr(1); }

  // vsftpd serves as the unprivileged ftp user, who must be able to replace and delete what
  // a test put on the server.
  static void GiveToServer(const sync_rig_fs::path& path) {
    if (geteuid() != 0)
      return;
    const passwd* ftp = getpwnam("ftp");
    if (ftp == nullptr)
      return;
    if (::chown(path.c_str(), ftp->pw_uid, ftp->pw_gid) != 0)
      ADD_FAILURE() << "chown " << path;
  }

  static void GiveTreeToServer(const sync_rig_fs::path& root) {
    GiveToServer(root);
    for (const auto& entry : sync_rig_fs::recursive_directory_iterator(root))
      GiveToServer(entry.path());
  }

  std::string Protocol() const { return host.LogText(); }

  TRecordingHost host;
  TSyncEngine engine{host};

 private:
  const TTestFtpServer& server_;
  TTempDir config_{"quillmar-config"};
  TProfile ini_{(config_.path() / "Quillmar.ini").string()};
  TTempDir local_{"quillmar-local"};
  THomeProfile* profile_ = nullptr;
};

inline std::string FileText(const sync_rig_fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::int64_t FileMtime(const sync_rig_fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : -1;
}

// Writes `content` with the modification time `unix_seconds`, creating missing directories.
inline void PlaceFile(const sync_rig_fs::path& path, const std::string& content,
                      std::int64_t unix_seconds) {
  sync_rig_fs::create_directories(path.parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }
  const timespec times[2] = {{static_cast<time_t>(unix_seconds), 0},
                             {static_cast<time_t>(unix_seconds), 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    ADD_FAILURE() << "utimensat " << path;
}

// Every regular file below `root` with its content, keyed by the relative path.
inline std::map<std::string, std::string> TreeContents(const sync_rig_fs::path& root) {
  std::map<std::string, std::string> files;
  if (!sync_rig_fs::exists(root))
    return files;
  for (const auto& entry : sync_rig_fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file())
      files[sync_rig_fs::relative(entry.path(), root).string()] = FileText(entry.path());
  }
  return files;
}

}  // namespace quillmar::testing
