#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ftp/win_socket.h"

namespace quillmar {

// Bytes handed to the system per send, and the most one Read returns.
// Bytes handed to the system per send. Larger pieces cost fewer wake-ups; with 2048 an upload
// ran at a third of the speed of a download on loopback.
inline constexpr std::size_t kSendBlockSize = 65536;
inline constexpr std::size_t kReceiveBlockSize = 16384;
// The most control-connection text ReadReply holds while a reply is still incomplete.
inline constexpr std::size_t kMaxReplyLength = 1 << 20;

// A TCP client (Connect) or listener (Listen, Accept) with blocking Write and Read. Every call
// blocks by the model of blocking.h: a cancelled call fails with 10004, which SetError records
// without raising (Read then returns empty, Write returns with the rest unsent).
// Errors are raised as ESocketsError through RaiseError, logged at llError when there is a
// logger; connection events are logged at llInfo, data sent at llSent, data received at
// llReceived.
class TTcpSocket : public TWinSocket {
 public:
  explicit TTcpSocket(std::unique_ptr<TLogger> Logger = nullptr);

  // PeerHost := Host and PeerAddress := empty. "host:port" also sets Port (0 when the port is
  // not a number from 1 to 65535).
  virtual void SetPeer(const std::string& Host);
  // Connects to PeerHost and Port. A non-empty "host,port" argument first sets both.
  void Connect(const std::string& Argument) override;
  // Listens on Port at ListenAddress (every local address unless set); Port 0 lets the system
  // choose and stores its choice in Port.
  void Listen();
  // Waits for the next connection on Listener (which must be listening) and takes it over.
  // Returns at once without a listener; a cancelled wait returns without a connection.
  void Accept(TTcpSocket* Listener);
  // Closing a socket without a handle does nothing.
  void Close() override;
  // Sends in pieces of kSendBlockSize; nothing when not connected.
  void Write(const char* Buffer, std::size_t Count) override;
  // Up to kReceiveBlockSize bytes. Empty when not connected, when the peer has closed
  // (Connected becomes false) or when the call was cancelled (LastError 10004).
  std::string Read() override;

  // Takes one FTP reply (single or multi-line, with its line ends) out of Buffer, reading more
  // into it as needed; text after the reply stays in Buffer. Empty when the connection ended or
  // the read was cancelled first. Raises EUnexpectedReply "FTP Error: \"Reply too long\"" and
  // closes the connection when an incomplete reply outgrows kMaxReplyLength.
  std::string ReadReply(std::string& Buffer);

  std::string PeerAddress;
  std::string PeerHost;
  std::int32_t Port = 0;
  // The local IPv4 address (network byte order) a listener binds to; 0 is every address.
  std::uint32_t ListenAddress = 0;

 protected:
  // The raw transfer under Write and Read: the count moved, 0 when the peer has closed (receive
  // only), or -1 with the error code in Error. Tests and fuzzers replace them.
  virtual long SendBytes(const char* Buffer, std::size_t Count, std::int32_t& Error);
  virtual long ReceiveBytes(char* Buffer, std::size_t Size, std::int32_t& Error);

 private:
  std::string PeerText() const;
  void CloseHandleQuietly();
};

}  // namespace quillmar
