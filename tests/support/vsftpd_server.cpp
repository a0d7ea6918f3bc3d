#include "support/vsftpd_server.h"

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <thread>

#include "support/loopback.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kVsftpd = "/usr/sbin/vsftpd";
// vsftpd runs anonymous sessions as this system user; uploads belong to it.
constexpr const char* kFtpUser = "ftp";
constexpr int kStartAttempts = 5;

std::string Nonce() {
  std::random_device random;
  return std::to_string(random()) + std::to_string(getpid());
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out)
    throw std::runtime_error("cannot write " + path.string());
}

std::string Config(const fs::path& dir, int port, const std::string& banner,
                   std::int64_t max_rate) {
  const std::string d = dir.string();
  return "listen=YES\n"
         "listen_ipv6=NO\n"
         "listen_address=127.0.0.1\n"
         "listen_port=" +
         std::to_string(port) +
         "\n"
         "background=NO\n"
         "seccomp_sandbox=NO\n"
         "connect_from_port_20=NO\n"
         "ls_recurse_enable=YES\n"
         "local_enable=NO\n"
         "anonymous_enable=YES\n"
         "no_anon_password=NO\n"
         "anon_root=" +
         d +
         "/root\n"
         "write_enable=YES\n"
         "anon_upload_enable=YES\n"
         "anon_mkdir_write_enable=YES\n"
         "anon_other_write_enable=YES\n"
         "anon_world_readable_only=NO\n"
         "anon_umask=022\n"
         "deny_email_enable=YES\n"
         "banned_email_file=" +
         d +
         "/banned_emails\n"
         "secure_chroot_dir=" +
         d +
         "/empty\n"
         "pasv_enable=YES\n"
         "pasv_address=127.0.0.1\n"
         "port_enable=YES\n"
         "use_localtime=YES\n"
         "xferlog_enable=NO\n"
         "syslog_enable=NO\n"
         "dual_log_enable=NO\n"
         "tcp_wrappers=NO\n"
         "ftpd_banner=" +
         banner +
         "\n"
         "anon_max_rate=" +
         std::to_string(max_rate) +
         "\n"
         "idle_session_timeout=120\n"
         "data_connection_timeout=120\n";
}

}  // namespace

TVsftpdServer::TVsftpdServer() : TVsftpdServer(TOptions{}) {}

TVsftpdServer::TVsftpdServer(TOptions options)
    : options_(options), dir_("quillmar-vsftpd"), banner_("Quillmar test vsftpd " + Nonce()) {
  const std::string reason = SkipReason();
  if (!reason.empty())
    throw std::runtime_error("vsftpd cannot run: " + reason);

  user_ = "anonymous";
  password_ = "quillmar@example.org";
  wrong_password_ = "banned@example.org";

  // The temporary directory is private to root; the session processes chroot into the root
  // below it and then act as the ftp user, who must be able to write in the home below it.
  fs::permissions(dir_.path(), fs::perms(0755));
  root_ = dir_.path() / "root";
  fs::create_directory(root_);
  fs::permissions(root_, fs::perms(0755));
  remote_home_ = "/pub";
  fs::create_directory(local_home());
  const passwd* ftp = getpwnam(kFtpUser);
  if (ftp == nullptr || chown(local_home().c_str(), ftp->pw_uid, ftp->pw_gid) != 0)
    throw std::runtime_error("cannot give the anonymous home to the ftp user");
  // An empty directory owned by root and writable by nobody, for the unprivileged helper.
  fs::create_directory(dir_.path() / "empty");
  fs::permissions(dir_.path() / "empty", fs::perms(0555));
  WriteText(dir_.path() / "banned_emails", wrong_password_ + "\n");

  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    if (TryStart(PickFreeLoopbackPort()))
      return;
  }
  throw std::runtime_error("vsftpd did not start: " + LogText());
}

bool TVsftpdServer::TryStart(int port) {
  const fs::path config = dir_.path() / "vsftpd.conf";
  WriteText(config, Config(dir_.path(), port, banner_, options_.MaxRate));
  fs::permissions(config, fs::perms(0600));
  process_ = std::make_unique<TChildProcess>(std::vector<std::string>{kVsftpd, config.string()},
                                             (dir_.path() / "server.log").string(), false);
  // Ready when our own server greets on the port: the banner tells it from any other process
  // that took the port first.
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < deadline) {
    if (process_->HasExited())
      break;
    const std::optional<std::string> greeting =
        ReadLoopbackGreeting(port, std::chrono::milliseconds(500));
    if (greeting && greeting->find(banner_) != std::string::npos) {
      port_ = port;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  process_.reset();
  return false;
}

TVsftpdServer::~TVsftpdServer() {
  process_.reset();
}

std::string TVsftpdServer::SkipReason() {
  if (geteuid() != 0)
    return "vsftpd needs root to start (the tests run as root on CI)";
  if (access(kVsftpd, X_OK) != 0)
    return std::string(kVsftpd) + " is missing (Debian package vsftpd)";
  if (getpwnam(kFtpUser) == nullptr)
    return std::string("the system user ") + kFtpUser +
           " is missing (created by the vsftpd package)";
  return std::string();
}

std::string TVsftpdServer::LogText() const {
  return ReadWholeFile(dir_.path() / "server.log");
}

}  // namespace quillmar::testing
