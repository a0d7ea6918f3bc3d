#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace quillmar::testing {
namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

class TFd {
 public:
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0)
      close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

int PickFreeLoopbackPort() {
  TFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0)
    throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_in address = Loopback(0);
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::system_error(errno, std::generic_category(), "bind 127.0.0.1:0");
  socklen_t length = sizeof address;
  if (getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::system_error(errno, std::generic_category(), "getsockname");
  return ntohs(address.sin_port);
}

std::optional<std::string> ReadLoopbackGreeting(int port, std::chrono::milliseconds timeout) {
  TFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0)
    return std::nullopt;
  const sockaddr_in address = Loopback(port);
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    return std::nullopt;
  pollfd ready{fd.get(), POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0)
    return std::nullopt;
  char buffer[512];
  const ssize_t got = recv(fd.get(), buffer, sizeof buffer, 0);
  if (got <= 0)
    return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(got));
}

}  // namespace quillmar::testing
