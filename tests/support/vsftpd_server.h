#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_ftp_server.h"

namespace quillmar::testing {

// vsftpd on 127.0.0.1 and a free port, serving an anonymous root in a temporary directory.
// vsftpd refuses a chroot whose top the session can write to, so "/" is read-only and
// remote_home() "/pub" is the writable directory. "LIST -laR" recurses; passive and active data
// connections both work. The anonymous password wrong_password() is on the server's banned list, so
// logging in with it is refused with 530. vsftpd has to start as root.
class TVsftpdServer : public TTestFtpServer {
 public:
  struct TOptions {
    // Bytes a second for each data connection; 0: no limit.
    std::int64_t MaxRate = 0;
  };

  TVsftpdServer();
  explicit TVsftpdServer(TOptions options);
  ~TVsftpdServer() override;

  // Empty when the server can run here (root, binary present), else why not (for GTEST_SKIP).
  static std::string SkipReason();

  std::string LogText() const override;

 private:
  // Writes the configuration for `port` and starts the server; false when it did not come up
  // on that port (taken meanwhile).
  bool TryStart(int port);

  TOptions options_;
  TTempDir dir_;
  std::string banner_;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace quillmar::testing
