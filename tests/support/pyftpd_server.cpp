#include "support/pyftpd_server.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quillmar::testing {
namespace {

// The system's interpreter, which has the python3-pyftpdlib package; the first python3 on PATH
// may be another installation without it.
constexpr const char* kPython = "/usr/bin/python3";

std::string ScriptPath() {
  return std::string(QUILLMAR_TEST_SUPPORT_DIR) + "/pyftpd_server.py";
}

}  // namespace

TPyftpdServer::TPyftpdServer() : TPyftpdServer(TOptions{}) {}

TPyftpdServer::TPyftpdServer(TOptions options) : dir_("quillmar-pyftpd") {
  user_ = options.User;
  password_ = options.Password;
  wrong_password_ = options.Password + "-wrong";
  root_ = dir_.path() / "root";
  std::filesystem::create_directory(root_);

  process_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{kPython, ScriptPath(), root_.string(), user_, password_,
                               std::to_string(options.ListShiftMinutes), "--max-rate",
                               std::to_string(options.MaxRate)},
      (dir_.path() / "server.log").string(), true);
  const std::optional<std::string> line = process_->ReadLine(std::chrono::seconds(20));
  int port = 0;
  try {
    port = line ? std::stoi(*line) : 0;
  } catch (const std::exception&) {
    port = 0;
  }
  if (port <= 0 || port > 65535) {
    process_->Stop();
    throw std::runtime_error("pyftpdlib did not start: " + LogText());
  }
  port_ = port;
}

TPyftpdServer::~TPyftpdServer() {
  // The server goes before its root directory does.
  process_.reset();
}

std::string TPyftpdServer::SkipReason() {
  static const std::string reason = [] {
    if (access(kPython, X_OK) != 0)
      return std::string(kPython) + " is missing";
    const std::string probe = std::string(kPython) + " -c 'import pyftpdlib' >/dev/null 2>&1";
    if (std::system(probe.c_str()) != 0)
      return std::string("python3-pyftpdlib is not installed for ") + kPython;
    return std::string();
  }();
  return reason;
}

std::string TPyftpdServer::LogText() const {
  return ReadWholeFile(dir_.path() / "server.log");
}

}  // namespace quillmar::testing
