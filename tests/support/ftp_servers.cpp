#include "support/ftp_servers.h"

#include "support/pyftpd_server.h"
#include "support/vsftpd_server.h"

namespace quillmar::testing {

std::string ServerKindName(TServerKind Kind) {
  return Kind == TServerKind::Pyftpd ? "Pyftpd" : "Vsftpd";
}

std::string ServerSkipReason(TServerKind Kind) {
  return Kind == TServerKind::Pyftpd ? TPyftpdServer::SkipReason() : TVsftpdServer::SkipReason();
}

std::unique_ptr<TTestFtpServer> StartServer(TServerKind Kind, std::int64_t MaxRate) {
  if (Kind == TServerKind::Pyftpd) {
    TPyftpdServer::TOptions options;
    options.MaxRate = MaxRate;
    return std::make_unique<TPyftpdServer>(options);
  }
  TVsftpdServer::TOptions options;
  options.MaxRate = MaxRate;
  return std::make_unique<TVsftpdServer>(options);
}

}  // namespace quillmar::testing
