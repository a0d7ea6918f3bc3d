#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/test_ftp_server.h"

namespace quillmar::testing {

// pyftpdlib on 127.0.0.1 and a port the system chooses, serving a fresh temporary root to one
// user with a password. Passive and active data connections both work (PORT only to the
// client's own address). Listed modification times are local times; `list_shift_minutes` moves
// them, playing a server whose clock runs ahead (positive) or behind (negative). `MaxRate`
// limits each data connection to that many bytes a second (0: no limit), so that a test can act
// while a transfer is still under way.
class TPyftpdServer : public TTestFtpServer {
 public:
  struct TOptions {
    std::string User = "quillmar";
    std::string Password = "pyftpd-secret";
    int ListShiftMinutes = 0;
    std::int64_t MaxRate = 0;
  };

  TPyftpdServer();
  explicit TPyftpdServer(TOptions options);
  ~TPyftpdServer() override;

  // Empty when the server can run here, else why not (for GTEST_SKIP).
  static std::string SkipReason();

  std::string LogText() const override;

 private:
  TTempDir dir_;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace quillmar::testing
