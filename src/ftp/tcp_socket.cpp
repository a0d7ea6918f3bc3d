#include "ftp/tcp_socket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <utility>

#include "ftp/blocking.h"
#include "ftp/channel_errors.h"
#include "ftp/socket_errors.h"
#include "ftp/socket_library.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr int kListenBacklog = 5;

std::int32_t ParsePort(const std::string& text) {
  std::int64_t port = 0;
  if (!TryStrToInt(text, port) || port < 1 || port > 65535)
    return 0;
  return static_cast<std::int32_t>(port);
}

}  // namespace

TTcpSocket::TTcpSocket(std::unique_ptr<TLogger> Logger) : TWinSocket(std::move(Logger)) {}

void TTcpSocket::SetPeer(const std::string& Host) {
  const std::size_t colon = Host.rfind(':');
  if (colon == std::string::npos) {
    PeerHost = Host;
  } else {
    PeerHost = Host.substr(0, colon);
    Port = ParsePort(Host.substr(colon + 1));
  }
  PeerAddress.clear();
}

std::string TTcpSocket::PeerText() const {
  return PeerHost + " [" + PeerAddress + "]";
}

void TTcpSocket::CloseHandleQuietly() {
  if (HasHandle())
    SocketClose(Handle);
  Handle = -1;
}

void TTcpSocket::Connect(const std::string& Argument) {
  if (!Argument.empty()) {
    PeerHost = GetField(Argument, ",", 1);
    Port = GetFieldInt(Argument, ",", 2);
  }
  if (Connected)
    RaiseError<ESocketsError>("Socket is already connected");
  if (!WinsockLoaded())
    RaiseError<ESocketsError>("WINSOCK-DLL not loaded");
  if (PeerHost.empty())
    RaiseError<ESocketsError>("No peer specified");
  if (Port == 0)
    RaiseError<ESocketsError>("No port specified");

  Log(llInfo, "Resolving network address for " + PeerHost);
  std::uint32_t address = InetAddr(PeerHost);
  std::int32_t lookup = 0;
  if (address == kAddrNone) {
    std::uint32_t found = 0;
    lookup = ResolveHostName(PeerHost, found);
    if (lookup == 0 && found != 0)
      address = found;
  }
  PeerAddress = AddrToStr(address);
  if (lookup == kWsaEIntr) {
    LastError = lookup;
    RaiseError<ESocketsError>("Can't connect to " + PeerHost + "\r\n" + WinsockErrorText(lookup));
  }
  if (address == kAddrNone)
    RaiseError<ESocketsError>("Can't connect to " + PeerHost + "\r\nHost not found");

  CloseHandleQuietly();
  Handle = SocketCreate();
  if (Handle == kInvalidSocket) {
    LastError = WSAGetLastError();
    RaiseError<ESocketsError>("Can't connect to " + PeerText() + "\r\nUnable to create Socket\r\n" +
                              WinsockErrorText(LastError));
  }
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_port = htons(static_cast<std::uint16_t>(Port & 0xFFFF));
  target.sin_addr.s_addr = address;

  const std::string port_text = " Port " + std::to_string(Port);
  Log(llInfo, "Connecting to " + PeerText() + port_text);
  State = ssConnecting;
  if (SocketConnect(Handle, target) != 0) {
    LastError = WSAGetLastError();
    CloseHandleQuietly();
    State = ssIdle;
    RaiseError<ESocketsError>("Can't connect to " + PeerText() + "\r\n" +
                              WinsockErrorText(LastError));
  }
  Log(llInfo, "Connected to " + PeerText() + port_text);
  State = ssIdle;
  LastError = 0;
  Connected = true;
}

void TTcpSocket::Listen() {
  if (Connected)
    RaiseError<ESocketsError>("Socket is already connected");
  if (!WinsockLoaded())
    RaiseError<ESocketsError>("WINSOCK-DLL not loaded");
  State = ssIdle;
  Connected = false;
  PeerHost.clear();
  CloseHandleQuietly();

  Handle = SocketCreate();
  if (Handle == kInvalidSocket) {
    LastError = WSAGetLastError();
    RaiseError<ESocketsError>("Can't create Socket");
  }
  if (SocketBind(Handle, htons(static_cast<std::uint16_t>(Port & 0xFFFF)), ListenAddress) != 0) {
    LastError = WSAGetLastError();
    CloseHandleQuietly();
    RaiseError<ESocketsError>("Can't bind to port " + std::to_string(Port));
  }
  if (Port == 0) {
    sockaddr_in local{};
    if (SocketLocalAddress(Handle, local) == 0)
      Port = ntohs(local.sin_port);
  }
  if (SocketListen(Handle, kListenBacklog) != 0) {
    LastError = WSAGetLastError();
    CloseHandleQuietly();
    RaiseError<ESocketsError>("Can't listen");
  }
  State = ssListening;
  LastError = 0;
  Log(llInfo, "Listening on port " + std::to_string(Port));
}

void TTcpSocket::Accept(TTcpSocket* Listener) {
  if (!Listener)
    return;
  if (!WinsockLoaded())
    RaiseError<ESocketsError>("WINSOCK-DLL not loaded");
  if (Listener->State != ssListening)
    RaiseError<ESocketsError>("Listener does not listen");
  State = ssAccepting;
  Log(llInfo, "Waiting for next client request");
  CloseHandleQuietly();
  sockaddr_in peer{};
  Handle = SocketAccept(Listener->Handle, peer);
  if (Handle == kInvalidSocket) {
    State = ssIdle;
    SetError(WSAGetLastError());
    return;
  }
  PeerAddress = AddrToStr(peer.sin_addr.s_addr);
  PeerHost = PeerAddress;
  Port = ntohs(peer.sin_port);
  State = ssIdle;
  Connected = true;
  LastError = 0;
  Log(llInfo, "Accepted connection from " + PeerHost);
}

void TTcpSocket::Close() {
  if (!HasHandle())
    return;
  Log(llInfo, "Closing connection to " + PeerText());
  State = ssClosing;
  // Reached from the hook of a blocking call in progress: that call must not go on waiting on
  // a handle that is about to disappear.
  if (WSAIsBlocking())
    WSACancelBlockingCall();
  const int result = SocketClose(Handle);
  Handle = -1;
  Connected = false;
  State = ssIdle;
  Log(llInfo, "Socket closed (Peer=" + PeerHost + " Port=" + std::to_string(Port) + ")");
  SetError(result != 0 ? WSAGetLastError() : 0);
}

void TTcpSocket::Write(const char* Buffer, std::size_t Count) {
  if (!Connected)
    return;
  State = ssSending;
  const bool log_data = Logger && Logger->IsLevelEnabled(llSent);
  std::size_t done = 0;
  while (done < Count) {
    const std::size_t piece = std::min(Count - done, kSendBlockSize);
    std::int32_t error = 0;
    const long sent = SendBytes(Buffer + done, piece, error);
    if (sent < 0) {
      State = ssIdle;
      SetError(error);
      return;
    }
    if (log_data)
      Logger->LogData(llSent, std::string_view(Buffer + done, static_cast<std::size_t>(sent)));
    done += static_cast<std::size_t>(sent);
  }
  State = ssIdle;
}

std::string TTcpSocket::Read() {
  std::string result;
  if (!Connected)
    return result;
  State = ssReceiving;
  result.resize(kReceiveBlockSize);
  std::int32_t error = 0;
  const long received = ReceiveBytes(result.data(), result.size(), error);
  State = ssIdle;
  if (received < 0) {
    result.clear();
    SetError(error);
    return result;
  }
  result.resize(static_cast<std::size_t>(received));
  if (received == 0) {
    Connected = false;
    return result;
  }
  if (Logger && Logger->IsLevelEnabled(llReceived))
    Logger->LogData(llReceived, result);
  return result;
}

long TTcpSocket::SendBytes(const char* Buffer, std::size_t Count, std::int32_t& Error) {
  const long sent = SocketSend(Handle, Buffer, Count);
  if (sent < 0)
    Error = WSAGetLastError();
  return sent;
}

long TTcpSocket::ReceiveBytes(char* Buffer, std::size_t Size, std::int32_t& Error) {
  const long received = SocketReceive(Handle, Buffer, Size);
  if (received < 0)
    Error = WSAGetLastError();
  return received;
}

}  // namespace quillmar
