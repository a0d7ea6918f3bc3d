#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/test_ftp_server.h"

namespace quillmar::testing {

// The real servers the integration tests run against.
enum class TServerKind { Pyftpd, Vsftpd };

std::string ServerKindName(TServerKind Kind);
// Empty when the server can run here, else why not (for GTEST_SKIP).
std::string ServerSkipReason(TServerKind Kind);
// Starts a server of that kind; `MaxRate` limits each data connection to that many bytes a
// second (0: no limit).
std::unique_ptr<TTestFtpServer> StartServer(TServerKind Kind, std::int64_t MaxRate = 0);

}  // namespace quillmar::testing
