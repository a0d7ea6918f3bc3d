#pragma once

#include <filesystem>
#include <string>

namespace quillmar::testing {

// What a test needs to know of a real FTP server it started: where it listens, the account,
// the directory the account sees as "/", and the directory below it where the account may
// create, change and delete files (a server may keep "/" itself read-only).
class TTestFtpServer {
 public:
  virtual ~TTestFtpServer() = default;
  TTestFtpServer(const TTestFtpServer&) = delete;
  TTestFtpServer& operator=(const TTestFtpServer&) = delete;

  int port() const { return port_; }
  const std::filesystem::path& root() const { return root_; }
  // The writable directory as the server names it ("/" or "/pub") and as a local path.
  const std::string& remote_home() const { return remote_home_; }
  std::filesystem::path local_home() const { return root_ / remote_home_.substr(1); }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // A password this server refuses for user() with a 530 reply.
  const std::string& wrong_password() const { return wrong_password_; }
  // "127.0.0.1:port", as a profile's server field takes it.
  std::string host_port() const { return "127.0.0.1:" + std::to_string(port_); }
  // What the server wrote to its standard error so far, for failure messages.
  virtual std::string LogText() const = 0;

 protected:
  TTestFtpServer() = default;

  int port_ = 0;
  std::filesystem::path root_;
  std::string remote_home_ = "/";
  std::string user_;
  std::string password_;
  std::string wrong_password_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace quillmar::testing
