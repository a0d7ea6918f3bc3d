#include "support/fault_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillmar::testing {

namespace {

constexpr std::chrono::milliseconds kSlice{20};
constexpr std::chrono::milliseconds kBytewisePause{2};

using TClock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
  throw EFaultScript(what);
}

int ListenOnLoopback(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    Fail("socket: " + std::string(std::strerror(errno)));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(fd);
    Fail("listen: " + std::string(std::strerror(error)));
  }
  port = ntohs(address.sin_port);
  return fd;
}

void SetNoDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

// ---- TFaultSession

TFaultSession::TFaultSession(int ControlFd, const std::atomic<bool>& Stopping)
    : control_fd_(ControlFd), stopping_(Stopping) {
  SetNoDelay(control_fd_);
}

TFaultSession::~TFaultSession() {
  CloseAll();
}

void TFaultSession::CloseAll() {
  CloseFd(data_fd_);
  CloseFd(data_listen_fd_);
  CloseFd(control_fd_);
}

void TFaultSession::CloseFd(int& fd) {
  if (fd >= 0)
    ::close(fd);
  fd = -1;
}

void TFaultSession::WaitReadable(int fd, const char* what) {
  const auto end = TClock::now() + Timeout;
  for (;;) {
    if (stopping_.load())
      Fail(std::string(what) + ": server stops");
    if (fd < 0)
      Fail(std::string(what) + ": no connection");
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(kSlice.count()));
    if (ready > 0)
      return;
    if (ready < 0 && errno != EINTR)
      Fail(std::string(what) + ": " + std::strerror(errno));
    if (TClock::now() >= end)
      Fail(std::string(what) + ": timed out");
  }
}

void TFaultSession::SendAll(int fd, std::string_view bytes) {
  if (fd < 0)
    Fail("send: no connection");
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR)
        continue;
      Fail("send: " + std::string(std::strerror(errno)));
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void TFaultSession::Send(std::string_view Text) {
  SendAll(control_fd_, Text);
}

void TFaultSession::SendBytewise(std::string_view Text) {
  for (char ch : Text) {
    SendAll(control_fd_, std::string_view(&ch, 1));
    std::this_thread::sleep_for(kBytewisePause);
  }
}

std::optional<std::string> TFaultSession::ReadCommand() {
  for (;;) {
    const std::size_t end = input_.find('\n');
    if (end != std::string::npos) {
      std::string line = input_.substr(0, end);
      input_.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      std::lock_guard lock(mutex_);
      commands_.push_back(line);
      return line;
    }
    WaitReadable(control_fd_, "read command");
    char buffer[4096];
    const ssize_t got = ::recv(control_fd_, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return std::nullopt;
    input_.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string TFaultSession::NextCommand() {
  std::optional<std::string> command = ReadCommand();
  if (!command)
    Fail("read command: the client closed the connection");
  return *command;
}

std::string TFaultSession::Answer(std::string_view Reply) {
  std::string command = NextCommand();
  Send(std::string(Reply) + "\r\n");
  return command;
}

void TFaultSession::Expect(std::string_view Expected, std::string_view Reply) {
  const std::string command = NextCommand();
  if (command != Expected)
    Fail("expected \"" + std::string(Expected) + "\", got \"" + command + "\"");
  Send(std::string(Reply) + "\r\n");
}

void TFaultSession::Login() {
  Send("220 Fault server ready\r\n");
  const std::string user = NextCommand();
  if (user.rfind("USER ", 0) != 0)
    Fail("expected USER, got \"" + user + "\"");
  Send("331 Password required\r\n");
  const std::string pass = NextCommand();
  if (pass.rfind("PASS ", 0) != 0)
    Fail("expected PASS, got \"" + pass + "\"");
  Send("230 Logged in\r\n");
}

void TFaultSession::CloseControl() {
  CloseFd(control_fd_);
}

void TFaultSession::WaitForControlClose() {
  while (ReadCommand()) {
  }
}

std::string TFaultSession::OpenPassive(bool WithBlanks) {
  CloseFd(data_listen_fd_);
  std::uint16_t port = 0;
  data_listen_fd_ = ListenOnLoopback(port);
  const std::string sep = WithBlanks ? ", " : ",";
  std::string text = "227 Entering Passive Mode (";
  if (WithBlanks)
    text += " ";
  text += "127" + sep + "0" + sep + "0" + sep + "1" + sep + std::to_string(port / 256) + sep +
          std::to_string(port % 256);
  if (WithBlanks)
    text += " ";
  return text + ")";
}

void TFaultSession::AcceptData() {
  WaitReadable(data_listen_fd_, "accept data connection");
  CloseFd(data_fd_);
  data_fd_ = ::accept4(data_listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
  if (data_fd_ < 0)
    Fail("accept data connection: " + std::string(std::strerror(errno)));
  CloseFd(data_listen_fd_);
}

void TFaultSession::ConnectData(std::string_view PortArgument) {
  if (PortArgument.rfind("PORT ", 0) == 0)
    PortArgument.remove_prefix(5);
  int fields[6] = {};
  int count = 0;
  std::string field;
  for (std::size_t i = 0; i <= PortArgument.size() && count < 6; ++i) {
    if (i == PortArgument.size() || PortArgument[i] == ',') {
      fields[count++] = std::atoi(field.c_str());
      field.clear();
    } else {
      field += PortArgument[i];
    }
  }
  if (count != 6)
    Fail("bad PORT argument \"" + std::string(PortArgument) + "\"");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(fields[4] * 256 + fields[5]));
  const std::string host = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "." +
                           std::to_string(fields[2]) + "." + std::to_string(fields[3]);
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1)
    Fail("bad PORT address " + host);
  CloseFd(data_fd_);
  data_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (data_fd_ < 0 || ::connect(data_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address))
    Fail("connect data connection: " + std::string(std::strerror(errno)));
}

void TFaultSession::SendData(std::string_view Bytes) {
  SendAll(data_fd_, Bytes);
}

std::string TFaultSession::ReceiveData() {
  std::string data;
  for (;;) {
    WaitReadable(data_fd_, "receive data");
    char buffer[16384];
    const ssize_t got = ::recv(data_fd_, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0)
      Fail("receive data: " + std::string(std::strerror(errno)));
    if (got == 0)
      break;
    data.append(buffer, static_cast<std::size_t>(got));
  }
  CloseFd(data_fd_);
  return data;
}

void TFaultSession::WaitForDataClose() {
  for (;;) {
    WaitReadable(data_fd_, "wait for data close");
    char buffer[16384];
    const ssize_t got = ::recv(data_fd_, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
  }
  CloseFd(data_fd_);
}

void TFaultSession::CloseData() {
  CloseFd(data_fd_);
}

void TFaultSession::ResetData() {
  if (data_fd_ < 0)
    return;
  const linger reset{1, 0};
  ::setsockopt(data_fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  CloseFd(data_fd_);
}

void TFaultSession::WaitUntil(const std::function<bool()>& Condition) {
  const auto end = TClock::now() + Timeout;
  while (!Condition()) {
    if (stopping_.load())
      Fail("wait: server stops");
    if (TClock::now() >= end)
      Fail("wait: timed out");
    std::this_thread::sleep_for(kSlice / 4);
  }
}

std::vector<std::string> TFaultSession::Commands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

// ---- TFaultServer

struct TFaultServer::TSessionThread {
  std::unique_ptr<TFaultSession> Session;
  std::atomic<bool> Done{false};
  std::thread Thread;
};

TFaultServer::TFaultServer(TScript Script) : script_(std::move(Script)) {
  listen_fd_ = ListenOnLoopback(port_);
  accept_thread_ = std::thread([this] { AcceptLoop(); });
}

TFaultServer::~TFaultServer() {
  stopping_.store(true);
  if (accept_thread_.joinable())
    accept_thread_.join();
  std::vector<std::unique_ptr<TSessionThread>> sessions;
  {
    std::lock_guard lock(mutex_);
    sessions.swap(sessions_);
  }
  for (auto& session : sessions) {
    if (session->Thread.joinable())
      session->Thread.join();
  }
  if (listen_fd_ >= 0)
    ::close(listen_fd_);
}

std::string TFaultServer::HostAndPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

void TFaultServer::AcceptLoop() {
  while (!stopping_.load()) {
    pollfd entry{listen_fd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(kSlice.count())) <= 0)
      continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    auto session = std::make_unique<TSessionThread>();
    session->Session = std::make_unique<TFaultSession>(fd, stopping_);
    TSessionThread* raw = session.get();
    std::lock_guard lock(mutex_);
    sessions_.push_back(std::move(session));
    raw->Thread = std::thread([this, raw] {
      try {
        script_(*raw->Session);
      } catch (const std::exception& error) {
        std::lock_guard error_lock(mutex_);
        errors_.push_back(error.what());
      }
      raw->Session->CloseAll();
      raw->Done.store(true);
    });
  }
}

void TFaultServer::WaitForScripts(std::chrono::milliseconds Limit) {
  const auto end = TClock::now() + Limit;
  for (;;) {
    bool all_done = true;
    {
      std::lock_guard lock(mutex_);
      for (const auto& session : sessions_)
        all_done = all_done && session->Done.load();
    }
    if (all_done || TClock::now() >= end)
      return;
    std::this_thread::sleep_for(kSlice / 4);
  }
}

std::vector<std::string> TFaultServer::Commands() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> all;
  for (const auto& session : sessions_) {
    for (auto& command : session->Session->Commands())
      all.push_back(std::move(command));
  }
  return all;
}

std::vector<std::string> TFaultServer::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}

int TFaultServer::Sessions() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(sessions_.size());
}

}  // namespace quillmar::testing
