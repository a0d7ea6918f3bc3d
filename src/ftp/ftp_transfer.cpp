// Data transfers of the FTP control connection: PASV or PORT, then LIST, RETR or STOR.
#include <sys/socket.h>

#include <memory>
#include <optional>

#include "ftp/blocking.h"
#include "ftp/channel_errors.h"
#include "ftp/ftp_socket.h"
#include "ftp/local_file.h"
#include "ftp/socket_errors.h"
#include "ftp/socket_library.h"
#include "log/in_out_error.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr std::chrono::milliseconds kWorkerReportInterval{100};
// Replies a failed transfer may still owe: a preliminary one and the final one.
constexpr int kMaxPendingReplies = 3;

struct TPassiveAddress {
  std::string Host;
  std::int32_t Port = 0;
};

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)", blanks allowed anywhere inside.
std::optional<TPassiveAddress> ParsePassiveReply(const std::string& text) {
  const std::size_t open = text.find('(');
  if (open == std::string::npos)
    return std::nullopt;
  const std::size_t close = text.find(')', open + 1);
  if (close == std::string::npos)
    return std::nullopt;
  const std::string inner = DeleteChars(text.substr(open + 1, close - open - 1), " ");
  TPassiveAddress address;
  address.Host = GetField(inner, ",", 1) + "." + GetField(inner, ",", 2) + "." +
                 GetField(inner, ",", 3) + "." + GetField(inner, ",", 4);
  const auto high = static_cast<std::uint32_t>(GetFieldInt(inner, ",", 5));
  const auto low = static_cast<std::uint32_t>(GetFieldInt(inner, ",", 6));
  address.Port = static_cast<std::int32_t>(high << 8 | low);
  return address;
}

// Blanks and control characters off both ends.
std::string TrimControl(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
    ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
    --end;
  return std::string(text.substr(begin, end - begin));
}

bool IsLocalFileError(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EInOutError&) {
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

struct TFtpSocket::TTransferJob {
  const std::string& Command;
  const std::string& Text;
  TXferMode Mode;
  TDownloadFile* Target = nullptr;
  TSourceFile* Source = nullptr;
};

void TFtpSocket::Transfer(const std::string& Command, const std::string& Text, TXferMode Mode) {
  ListingText.clear();
  CheckName(Command);
  // The local side is ready before the server is asked for anything: a missing source file
  // must not leave an empty file on the server, an unwritable target no half transfer.
  std::unique_ptr<TDownloadFile> target;
  std::unique_ptr<TSourceFile> source;
  if (Mode == xmReceiveFile)
    target = std::make_unique<TDownloadFile>(Text);
  if (Mode == xmSendFile)
    source = std::make_unique<TSourceFile>(Text);
  TTransferJob job{Command, Text, Mode, target.get(), source.get()};

  bool done = false;
  if (Passive) {
    done = PassiveTransfer(job);
    if (!done) {
      Log(llInfo, "No address in the PASV reply, using active mode");
      Passive = false;
    }
  }
  if (!done)
    ActiveTransfer(job);
  if (target)
    target->Commit();
}

bool TFtpSocket::PassiveTransfer(TTransferJob& Job) {
  WriteStr("PASV\r\n");
  GetReply();
  if (Reply.IsEmpty())
    RaiseReplyError();
  const std::optional<TPassiveAddress> address = ParsePassiveReply(ReplyText());
  if (!address)
    return false;

  // The data connection goes where the control connection goes. A server behind NAT names its
  // private address here, and a hostile one could name any machine it wants us to connect to.
  std::string host = address->Host;
  if (!PeerAddress.empty() && host != PeerAddress) {
    Log(llInfo, "PASV address " + host + " replaced by " + PeerAddress);
    host = PeerAddress;
  }

  WriteStr(Job.Command + "\r\n");
  TTcpSocket data;
  try {
    data.SetPeer(host);
    data.Port = address->Port;
    data.Connect("");
  } catch (...) {
    DiscardFinalReply();
    if (data.LastError == kWsaEIntr)
      RaiseInterrupted();
    throw;
  }
  GetReply();
  Expect('1');
  try {
    MovePassiveData(data, Job);
    data.Close();
  } catch (...) {
    try {
      data.Close();
    } catch (...) {
    }
    DiscardFinalReply();
    throw;
  }
  GetReply();
  Expect('2');
  return true;
}

// A cancelled Read or Write ends with LastError 10004 and no exception: that is not the end of
// the data, and the transfer fails.
void TFtpSocket::MovePassiveData(TTcpSocket& Data, TTransferJob& Job) {
  std::int64_t sum = 0;
  auto check_cancel = [&] {
    if (Data.LastError == kWsaEIntr)
      RaiseInterrupted();
  };
  switch (Job.Mode) {
    case xmReceiveFile:
      for (;;) {
        const std::string chunk = Data.Read();
        check_cancel();
        if (chunk.empty())
          break;
        Job.Target->Write(chunk.data(), chunk.size());
        sum += static_cast<std::int64_t>(chunk.size());
        DoProgress(*this, sum);
      }
      break;
    case xmReceiveString:
      for (;;) {
        const std::string chunk = Data.Read();
        check_cancel();
        ListingText += chunk;
        sum += static_cast<std::int64_t>(chunk.size());
        DoProgress(*this, sum);
        if (chunk.empty())
          break;
      }
      break;
    case xmSendFile: {
      char block[kTransferBlockSize];
      std::size_t count;
      do {
        count = Job.Source->ReadBlock(block, sizeof block);
        if (count > 0)
          Data.Write(block, count);
        check_cancel();
        sum += static_cast<std::int64_t>(count);
        DoProgress(*this, sum);
      } while (count == sizeof block);
      break;
    }
    case xmSendString:
      for (std::size_t done = 0; done < Job.Text.size();) {
        const std::size_t count = std::min(kTransferBlockSize, Job.Text.size() - done);
        Data.Write(Job.Text.data() + done, count);
        check_cancel();
        done += count;
        sum += static_cast<std::int64_t>(count);
        DoProgress(*this, sum);
      }
      break;
  }
}

void TFtpSocket::ActiveTransfer(TTransferJob& Job) {
  sockaddr_in local{};
  if (SocketLocalAddress(Handle, local) != 0)
    SetError(WSAGetLastError());
  // The listener takes connections only where the server reaches us, not on every interface.
  auto worker = std::make_unique<TFtpXferThread>(Job.Mode, Job.Mode == xmSendString ? Job.Text : "",
                                                 Job.Target, Job.Source, AcceptTimeout,
                                                 local.sin_addr.s_addr);
  if (worker->ListenPort == 0)
    RaiseError<ESocketsError>(worker->ListenError);

  bool command_accepted = false;
  try {
    const int port = worker->ListenPort;
    WriteStr("PORT " + ReplaceChar(AddrToStr(local.sin_addr.s_addr), '.', ',') + "," +
             std::to_string(port / 256) + "," + std::to_string(port % 256) + "\r\n");
    GetReply();
    Expect('2');
    WriteStr(Job.Command + "\r\n");
    GetReply();
    // Anything but a preliminary reply means no data connection will come: the catch below
    // ends the worker, which closes the listener.
    Expect('1');
    command_accepted = true;
    worker->CommandAccepted();
    WaitForWorker(*worker);
  } catch (...) {
    worker.reset();
    if (command_accepted)
      DiscardFinalReply();
    throw;
  }
  FinishActive(*worker);
}

// Reports progress about every 100 ms while the worker runs; the wait is a blocking call of
// this thread, so its hook runs and a cancel ends it.
void TFtpSocket::WaitForWorker(TFtpXferThread& Worker) {
  std::int64_t reported = Worker.BytesDone.load();
  for (;;) {
    DoProgress(*this, reported);
    const std::int32_t code =
        WaitBlocking([&](std::chrono::milliseconds slice) { return Worker.WaitFor(slice); },
                     kWorkerReportInterval);
    if (code == 0)
      break;
    if (code == kWsaEIntr) {
      LastError = code;
      RaiseInterrupted();
    }
    if (code != kWsaEWouldBlock)
      SetError(code);
    reported = Worker.BytesDone.load();
  }
  if (Worker.BytesDone.load() != reported)
    DoProgress(*this, Worker.BytesDone.load());
}

// The worker has ended. Its own failure counts even when the server reports success; a local
// file error is named before the server's complaint about the aborted connection.
void TFtpSocket::FinishActive(TFtpXferThread& Worker) {
  Worker.Terminate();
  if (!Worker.Failure) {
    GetReply();
    Expect('2');
    if (Worker.Mode == xmReceiveString)
      ListingText = std::move(Worker.Data);
    return;
  }
  if (ReadFinalReply() && !ReplyStartsWith('2') && !IsLocalFileError(Worker.Failure))
    RaiseReplyError();
  std::rethrow_exception(Worker.Failure);
}

// After a failed data step the server still owes its final reply. It is read within
// ReplyDrainTimeout, so that the next command gets its own; when that is not possible the
// connection is closed instead. True when Reply holds the final reply.
bool TFtpSocket::ReadFinalReply() {
  if (Connected && !BlockingCancelled()) {
    try {
      TBlockingDeadline deadline(ReplyDrainTimeout);
      for (int i = 0; i < kMaxPendingReplies; ++i) {
        GetReply();
        if (Reply.IsEmpty())
          break;
        if (!ReplyStartsWith('1'))
          return true;
      }
    } catch (...) {
    }
  }
  Reply.Clear();
  if (HasHandle()) {
    Log(llInfo, "No final reply after the failed transfer, closing the connection");
    try {
      Close();
    } catch (...) {
    }
  }
  return false;
}

void TFtpSocket::DiscardFinalReply() {
  ReadFinalReply();
}

void TFtpSocket::List(const std::string& Path, const std::string& Options) {
  CheckName(Path);
  SetTransferType(ttAscii);
  std::string path = Path;
  std::string saved;
  const bool inside = path.find(' ') != std::string::npos;
  if (inside) {
    saved = CurrentDir();
    ChangeDir(path);
    path.clear();
  }
  const std::string options = TrimControl(Options);
  std::string command = "LIST";
  if (!options.empty())
    command += " " + options;
  if (!path.empty())
    command += " " + path;
  Transfer(command, "", xmReceiveString);
  if (inside)
    ChangeDir(saved);
}

void TFtpSocket::Retrieve(const std::string& LocalFile, const std::string& RemoteName) {
  CheckName(RemoteName);
  Transfer("RETR " + RemoteName, LocalFile, xmReceiveFile);
}

void TFtpSocket::Store(const std::string& LocalFile, const std::string& RemoteName) {
  CheckName(RemoteName);
  Transfer("STOR " + RemoteName, LocalFile, xmSendFile);
}

void TFtpSocket::StoreText(const std::string& RemoteName, const std::string& Text) {
  CheckName(RemoteName);
  Transfer("STOR " + RemoteName, Text, xmSendString);
}

}  // namespace quillmar
