#include "ftp/socket_library.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ftp/blocking.h"
#include "ftp/channel_errors.h"
#include "ftp/socket_errors.h"

namespace quillmar {

namespace {

std::atomic<bool> g_loaded{false};
std::atomic<bool> g_simulate_missing{false};

thread_local std::int32_t t_last_error = 0;

int Fail(std::int32_t code) {
  t_last_error = code;
  return kSocketError;
}

int FailErrno() {
  return Fail(WinsockErrorFromErrno(errno));
}

// Starts the library with the program and unloads it at its end. No blocking call can be in
// progress then, and the threads' blocking state may already be gone, so nothing is cancelled.
struct TModuleLifetime {
  TModuleLifetime() { StartupSockets(); }
  ~TModuleLifetime() { UnloadWinsock(); }
} g_module_lifetime;

// A look-up runs in a thread of its own so that the caller can keep its hook running and be
// cancelled; a cancelled caller leaves the thread to finish on its own state.
struct TLookup {
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  std::int32_t Code = kWsaHostNotFound;
  std::uint32_t Address = 0;
};

void RunLookup(const std::string& name, TLookup& lookup) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &result);
  std::int32_t code = kWsaHostNotFound;
  std::uint32_t address = 0;
  if (rc == 0 && result) {
    address = reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    code = address != 0 ? 0 : kWsaHostNotFound;
  } else if (rc == EAI_AGAIN) {
    code = kWsaTryAgain;
  } else if (rc == EAI_FAIL) {
    code = kWsaNoRecovery;
  }
  if (result)
    ::freeaddrinfo(result);
  std::lock_guard lock(lookup.Mutex);
  lookup.Code = code;
  lookup.Address = address;
  lookup.Finished = true;
  lookup.Done.notify_all();
}

}  // namespace

bool WinsockLoaded() {
  return g_loaded.load() && !g_simulate_missing.load();
}

void LoadWinsock() {
  g_loaded.store(true);
}

void UnloadWinsock() {
  g_loaded.store(false);
}

void StartupSockets() {
  LoadWinsock();
  // Nothing to start on this platform: sends use MSG_NOSIGNAL, so a dead peer raises no
  // SIGPIPE, and there is no process-wide state to set.
}

void ShutdownSockets() {
  if (!g_loaded.load())
    return;
  WSACancelBlockingCall();
  UnloadWinsock();
}

void SimulateWinsockMissing(bool Missing) {
  g_simulate_missing.store(Missing);
}

std::int32_t WSAGetLastError() {
  return t_last_error;
}

int SocketCreate() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? FailErrno() : fd;
}

int SocketBind(int Fd, std::uint16_t Port, std::uint32_t Address) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = Port;
  address.sin_addr.s_addr = Address;
  if (::bind(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return FailErrno();
  return 0;
}

int SocketListen(int Fd, int Backlog) {
  return ::listen(Fd, Backlog) != 0 ? FailErrno() : 0;
}

int SocketAccept(int Fd, sockaddr_in& Peer) {
  for (;;) {
    if (const std::int32_t code = WaitForSocket(Fd, POLLIN))
      return Fail(code);
    socklen_t length = sizeof Peer;
    const int fd =
        ::accept4(Fd, reinterpret_cast<sockaddr*>(&Peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0)
      return fd;
    // A connection that was reset before it was taken is no reason to stop waiting.
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
      return FailErrno();
  }
}

int SocketConnect(int Fd, const sockaddr_in& Address) {
  if (const std::int32_t code = CheckBlockingCall())
    return Fail(code);
  int rc;
  do {
    rc = ::connect(Fd, reinterpret_cast<const sockaddr*>(&Address), sizeof Address);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0)
    return 0;
  if (errno != EINPROGRESS)
    return FailErrno();
  if (const std::int32_t code = WaitForSocket(Fd, POLLOUT))
    return Fail(code);
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(Fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
    return FailErrno();
  if (error != 0)
    return Fail(WinsockErrorFromErrno(error));
  return 0;
}

long SocketSend(int Fd, const char* Buffer, std::size_t Count) {
  for (;;) {
    if (const std::int32_t code = WaitForSocket(Fd, POLLOUT))
      return Fail(code);
    const ssize_t sent = ::send(Fd, Buffer, Count, MSG_NOSIGNAL);
    if (sent >= 0)
      return static_cast<long>(sent);
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return FailErrno();
  }
}

long SocketReceive(int Fd, char* Buffer, std::size_t Size) {
  for (;;) {
    if (const std::int32_t code = WaitForSocket(Fd, POLLIN))
      return Fail(code);
    const ssize_t received = ::recv(Fd, Buffer, Size, 0);
    if (received >= 0)
      return static_cast<long>(received);
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
      return FailErrno();
  }
}

int SocketClose(int Fd) {
  // Linux releases the descriptor even when close reports EINTR, so it is never retried.
  if (::close(Fd) != 0 && errno != EINTR)
    return FailErrno();
  return 0;
}

int SocketLocalAddress(int Fd, sockaddr_in& Address) {
  socklen_t length = sizeof Address;
  if (::getsockname(Fd, reinterpret_cast<sockaddr*>(&Address), &length) != 0)
    return FailErrno();
  return 0;
}

std::uint32_t InetAddr(const std::string& Text) {
  in_addr address{};
  if (::inet_pton(AF_INET, Text.c_str(), &address) != 1)
    return kAddrNone;
  return address.s_addr;
}

std::string AddrToStr(std::uint32_t Address) {
  in_addr address{};
  address.s_addr = Address;
  char text[INET_ADDRSTRLEN] = {};
  if (!::inet_ntop(AF_INET, &address, text, sizeof text))
    return {};
  return text;
}

std::int32_t ResolveHostName(const std::string& Name, std::uint32_t& Address) {
  if (const std::int32_t code = CheckBlockingCall())
    return code;
  auto lookup = std::make_shared<TLookup>();
  try {
    std::thread([Name, lookup] { RunLookup(Name, *lookup); }).detach();
  } catch (const std::system_error&) {
    RunLookup(Name, *lookup);
  }
  const std::int32_t code = WaitBlocking(
      [&](std::chrono::milliseconds slice) {
        std::unique_lock lock(lookup->Mutex);
        return lookup->Done.wait_for(lock, slice, [&] { return lookup->Finished; });
      },
      kWaitForever);
  if (code != 0)
    return code;
  std::lock_guard lock(lookup->Mutex);
  Address = lookup->Address;
  return lookup->Code;
}

}  // namespace quillmar
