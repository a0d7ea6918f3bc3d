#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace quillmar::testing {

// A script step that could not be done (a wait ran out, the client closed, the server stops).
// It ends the script; the server records its message in Errors().
class EFaultScript : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One control connection of the fault server, as its script sees it. Every wait is bounded by
// Timeout and ends early when the server stops; a step that cannot be done throws EFaultScript.
class TFaultSession {
 public:
  TFaultSession(int ControlFd, const std::atomic<bool>& Stopping);
  ~TFaultSession();
  TFaultSession(const TFaultSession&) = delete;
  TFaultSession& operator=(const TFaultSession&) = delete;

  // Control connection.
  void Send(std::string_view Text);
  // One byte per segment, with a short pause between them, so the client gets it in pieces.
  void SendBytewise(std::string_view Text);
  // The next command line without its line end; nullopt when the client closed the connection.
  std::optional<std::string> ReadCommand();
  // The next command, which must exist; throws when the client closed instead.
  std::string NextCommand();
  // Reads the next command, sends Reply (the line end is added) and returns the command.
  std::string Answer(std::string_view Reply);
  // Like Answer, but the command must be Expected; a different one ends the script.
  void Expect(std::string_view Expected, std::string_view Reply);
  // "220 Fault server ready", then USER answered 331 and PASS answered 230.
  void Login();
  void CloseControl();
  // Waits until the client has closed the control connection (commands sent meanwhile are
  // recorded and not answered).
  void WaitForControlClose();

  // Data connection, passive: a listener on 127.0.0.1; its PASV reply text without line end.
  std::string OpenPassive(bool WithBlanks = false);
  void AcceptData();
  // Active: connects to the address of a PORT argument "h1,h2,h3,h4,p1,p2" (or "PORT ...").
  void ConnectData(std::string_view PortArgument);
  void SendData(std::string_view Bytes);
  // Everything the client sends until it closes the data connection.
  std::string ReceiveData();
  // Waits until the client has closed the data connection, discarding what arrives.
  void WaitForDataClose();
  void CloseData();
  // Ends the data connection with a reset instead of an orderly close.
  void ResetData();

  // Closes every connection and listener of the session.
  void CloseAll();

  // Waits until Condition holds.
  void WaitUntil(const std::function<bool()>& Condition);

  // Every command line received on this connection.
  std::vector<std::string> Commands() const;

  std::chrono::milliseconds Timeout{5000};

 private:
  void WaitReadable(int fd, const char* what);
  void SendAll(int fd, std::string_view bytes);
  static void CloseFd(int& fd);

  int control_fd_;
  int data_listen_fd_ = -1;
  int data_fd_ = -1;
  std::string input_;
  const std::atomic<bool>& stopping_;
  mutable std::mutex mutex_;
  std::vector<std::string> commands_;
};

// A scriptable FTP server on 127.0.0.1 for replies that real servers do not send. Each accepted
// control connection runs the script in a thread of its own; the connection is closed when the
// script returns. Destruction stops every script within one wait slice and joins all threads.
class TFaultServer {
 public:
  using TScript = std::function<void(TFaultSession&)>;

  explicit TFaultServer(TScript Script);
  ~TFaultServer();
  TFaultServer(const TFaultServer&) = delete;
  TFaultServer& operator=(const TFaultServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "127.0.0.1:<port>", as SetPeer takes it.
  std::string HostAndPort() const;
  // Waits (bounded) until every script that has started has ended.
  void WaitForScripts(std::chrono::milliseconds Limit = std::chrono::seconds(10));
  // Command lines of all connections, in the order of the connections.
  std::vector<std::string> Commands() const;
  // Messages of the script steps that failed.
  std::vector<std::string> Errors() const;
  int Sessions() const;

 private:
  struct TSessionThread;
  void AcceptLoop();

  TScript script_;
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<TSessionThread>> sessions_;
  std::vector<std::string> errors_;
  std::thread accept_thread_;
};

}  // namespace quillmar::testing
