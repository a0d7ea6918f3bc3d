#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ftp/tcp_socket.h"

namespace quillmar {

class TDownloadFile;
class TSourceFile;

// The kind of a data transfer.
enum TXferMode : std::uint8_t {
  xmReceiveFile = 0,    // data connection -> local file
  xmReceiveString = 1,  // data connection -> ListingText
  xmSendFile = 2,       // local file -> data connection
  xmSendString = 3,     // text -> data connection
};

// Bytes read from a local file (or taken from a text) per block of a data transfer; progress is
// reported once per block.
inline constexpr std::size_t kTransferBlockSize = 65536;
// How long an active-mode worker waits for the server's data connection.
inline constexpr std::chrono::milliseconds kDefaultAcceptTimeout = std::chrono::seconds(60);

// The worker of an active-mode transfer: listens for the server's data connection, accepts it
// and moves the data, while the calling thread waits and reports progress.
//
// The worker owns Listener and DataSocket and releases both before its body ends; the caller
// touches neither. Shared while it runs: BytesDone and the terminate flag. Data and Failure
// belong to the caller once WaitFor has reported the end. The worker never calls back into the
// control connection. Setting the terminate flag ends every wait of the worker within one
// blocking slice, so the destructor (terminate, then join) returns promptly.
class TFtpXferThread {
 public:
  // Listens at once on a port the system chooses (ListenPort; 0 and ListenError when that
  // failed), then starts the worker. Target (xmReceiveFile) and Source (xmSendFile) belong to
  // the caller and must outlive the worker.
  // The listener binds to ListenAddress (network byte order; 0 is every local address).
  TFtpXferThread(TXferMode Mode, std::string Data, TDownloadFile* Target, TSourceFile* Source,
                 std::chrono::milliseconds AcceptTimeout = kDefaultAcceptTimeout,
                 std::uint32_t ListenAddress = 0);
  ~TFtpXferThread();
  TFtpXferThread(const TFtpXferThread&) = delete;
  TFtpXferThread& operator=(const TFtpXferThread&) = delete;

  void Terminate();
  // The server has answered the command with a preliminary reply. An upload sends only after
  // that: a server may open the data connection as soon as it gets PORT, before it has seen
  // STOR, and takes data sent before then for no file at all.
  void CommandAccepted();
  bool Terminated() const { return terminated_.load(); }
  // Waits at most Time for the body to end; true when it has.
  bool WaitFor(std::chrono::milliseconds Time);

  std::unique_ptr<TTcpSocket> Listener;
  std::unique_ptr<TTcpSocket> DataSocket;
  const TXferMode Mode;
  std::atomic<std::int64_t> BytesDone{0};
  // The text to send; for xmReceiveString the text received.
  std::string Data;
  std::int32_t ListenPort = 0;
  std::string ListenError;
  // What stopped the worker before the data was complete: no data connection, a socket or local
  // file error, or the terminate flag (EUnexpectedReply "Interrupted").
  std::exception_ptr Failure;

 private:
  void Execute();
  void Run();
  void ReceiveFile();
  void ReceiveString();
  void SendFile();
  void SendString();
  // Records an interruption when the last data call was cancelled or the flag is set.
  bool StopRequested();
  // Waits until CommandAccepted or Terminate; false when terminated.
  bool WaitUntilCommandAccepted();
  void ReleaseSockets();

  TDownloadFile* target_;
  TSourceFile* source_;
  const std::chrono::milliseconds accept_timeout_;
  std::atomic<bool> terminated_{false};
  std::mutex mutex_;
  std::condition_variable finished_signal_;
  bool finished_ = false;
  bool command_accepted_ = false;
  std::condition_variable accepted_signal_;
  std::thread thread_;
};

}  // namespace quillmar
