#include "ftp/win_socket.h"

#include <utility>

#include "ftp/channel_errors.h"
#include "ftp/socket_errors.h"
#include "ftp/socket_library.h"

namespace quillmar {

namespace {

bool MeansConnectionGone(std::int32_t code) {
  switch (code) {
    case kWsaENotSock:
    case kWsaENetDown:
    case kWsaENetReset:
    case kWsaEConnAborted:
    case kWsaEConnReset:
    case kWsaENotConn:
    case kWsaEShutdown:
      return true;
    default:
      return false;
  }
}

}  // namespace

TWinSocket::TWinSocket(std::unique_ptr<TLogger> Logger) : TChannel(std::move(Logger)) {}

TWinSocket::~TWinSocket() {
  if (!HasHandle())
    return;
  const int result = SocketClose(Handle);
  Handle = -1;
  try {
    SetError(result != 0 ? WSAGetLastError() : 0);
  } catch (...) {
    // A failed close of a socket that is going away has no one left to tell; it is logged.
  }
}

void TWinSocket::SetError(std::int32_t Code) {
  LastError = Code;
  if (MeansConnectionGone(Code))
    Connected = false;
  if (Code != 0 && Code != kWsaEIntr)
    RaiseError<ESocketsError>(WinsockErrorName(Code) + ": " + WinsockErrorText(Code));
}

}  // namespace quillmar
