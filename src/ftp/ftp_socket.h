#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "container/link_list.h"
#include "ftp/tcp_socket.h"
#include "ftp/xfer_thread.h"
#include "util/string_list.h"

namespace quillmar {

class TDownloadFile;
class TSourceFile;
class TFtpSocket;

enum TTransferType : std::uint8_t {
  ttAscii = 0,   // "TYPE A"
  ttBinary = 1,  // "TYPE I"
};

// Progress of a data transfer: the bytes moved so far in the current transfer.
using TFtpProgressEvent = std::function<void(TFtpSocket& Sender, std::int64_t Bytes)>;

// The client side of an FTP control connection, with the data transfers (passive and active).
//
// Use: create with a logger (owned), SetPeer("host" or "host:port"; the port is 21 without
// one), set User and Password, optionally OnProgress; Connect("") greets and logs in;
// SetPassive; any commands; Quit; Close.
//
// Every command raises on failure: EUnexpectedReply "FTP Error: \"<reply>\"" for an unexpected
// reply ("Connection closed by peer" when the server closed the connection, "Interrupted" when
// the blocking call was cancelled), ESocketsError for socket errors and for a name or path
// with a line break, which is refused before anything is sent, EInOutError for local files.
// After a failed command the connection stays usable: a failed transfer reads the server's
// pending final reply before it raises. When that reply cannot be had (cancelled, connection
// gone, no reply within ReplyDrainTimeout) the control connection is closed instead, so that no
// later command can take a stale reply for its own.
//
// All calls block by the model of blocking.h; a cancel of the calling thread ends any of them
// with "Interrupted". Passive transfers run in the calling thread; an active transfer moves the
// data in a TFtpXferThread while the calling thread waits in blocking slices and reports
// progress about every 100 ms.
class TFtpSocket : public TTcpSocket {
 public:
  explicit TFtpSocket(std::unique_ptr<TLogger> Logger = nullptr);
  ~TFtpSocket() override;

  // Port 21 unless Host ends in ":port".
  void SetPeer(const std::string& Host) override;
  // Connects, reads the greeting and logs in (USER, and PASS unless USER was answered with
  // "2"). A non-empty "host,user,password" argument first sets PeerHost, User and Password.
  // The password never reaches the log; "PASS <password>^M^J" is logged in its place.
  void Connect(const std::string& Argument) override;

  // Reads one reply into Reply (its lines without line ends); empty when none could be read.
  void GetReply();
  // Raises EUnexpectedReply with the text of Reply.
  [[noreturn]] void RaiseReplyError();

  std::string CurrentDir();
  // ".." goes up with CDUP.
  void ChangeDir(const std::string& Dir);
  // Sends TYPE only when the type changes.
  void SetTransferType(TTransferType Type);
  // Trailing slashes are not sent.
  void MakeDir(const std::string& Dir);
  void DeleteFile(const std::string& Name);
  // The reply is not tested.
  void Quit();
  void SetPassive(bool Value) { Passive = Value; }
  virtual void DoProgress(TFtpSocket& Sender, std::int64_t Bytes);

  // A data transfer of `Command` ("RETR name", "LIST -la") in the mode of Passive. A PASV reply
  // without an address switches Passive off and repeats the transfer in active mode.
  // A download replaces the local file only when the data arrived completely and the server's
  // final reply was positive; a cancelled or failed transfer never counts as done.
  void Transfer(const std::string& Command, const std::string& Text, TXferMode Mode);
  // LIST into ListingText, in ASCII mode; a path with a blank is listed from inside it.
  void List(const std::string& Path, const std::string& Options);
  void Retrieve(const std::string& LocalFile, const std::string& RemoteName);
  void Store(const std::string& LocalFile, const std::string& RemoteName);
  void StoreText(const std::string& RemoteName, const std::string& Text);
  // Parses ListingText into TFtpFile nodes.
  void ReadListing(TLinkList& List);

  std::string User;
  std::string Password;
  TStringList Reply;
  TTransferType TransferType = ttAscii;
  TFtpProgressEvent OnProgress;
  std::string RecvBuffer;
  bool Passive = false;
  std::string ListingText;
  // How long an active transfer waits for the server's data connection.
  std::chrono::milliseconds AcceptTimeout = kDefaultAcceptTimeout;
  // How long a failed transfer waits for the server's final reply before it gives up on the
  // connection.
  std::chrono::milliseconds ReplyDrainTimeout = std::chrono::seconds(15);

 private:
  struct TTransferJob;

  // Refuses a name that would end the command line early.
  void CheckName(std::string_view Name);
  std::string ReplyText() const;
  bool ReplyStartsWith(char Digit) const;
  void Expect(char Digit);
  [[noreturn]] void RaiseInterrupted();
  void SendPassword();

  bool PassiveTransfer(TTransferJob& Job);
  void MovePassiveData(TTcpSocket& Data, TTransferJob& Job);
  void ActiveTransfer(TTransferJob& Job);
  void WaitForWorker(TFtpXferThread& Worker);
  void FinishActive(TFtpXferThread& Worker);
  bool ReadFinalReply();
  void DiscardFinalReply();
};

}  // namespace quillmar
