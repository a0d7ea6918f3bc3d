#include "ftp/xfer_thread.h"

#include <utility>

#include "ftp/blocking.h"
#include "ftp/channel_errors.h"
#include "ftp/local_file.h"
#include "ftp/socket_errors.h"

namespace quillmar {

namespace {

std::exception_ptr Interrupted() {
  return std::make_exception_ptr(EUnexpectedReply("FTP Error: \"Interrupted\""));
}

}  // namespace

TFtpXferThread::TFtpXferThread(TXferMode Mode, std::string Data, TDownloadFile* Target,
                               TSourceFile* Source, std::chrono::milliseconds AcceptTimeout,
                               std::uint32_t ListenAddress)
    : Listener(std::make_unique<TTcpSocket>()),
      DataSocket(std::make_unique<TTcpSocket>()),
      Mode(Mode),
      Data(std::move(Data)),
      target_(Target),
      source_(Source),
      accept_timeout_(AcceptTimeout) {
  Listener->Port = 0;
  Listener->ListenAddress = ListenAddress;
  try {
    Listener->Listen();
    ListenPort = Listener->Port;
  } catch (const ESocketsError& error) {
    ListenError = error.what();
  }
  thread_ = std::thread([this] { Execute(); });
}

TFtpXferThread::~TFtpXferThread() {
  Terminate();
  if (thread_.joinable())
    thread_.join();
}

void TFtpXferThread::Terminate() {
  terminated_.store(true);
  std::lock_guard lock(mutex_);
  accepted_signal_.notify_all();
}

void TFtpXferThread::CommandAccepted() {
  std::lock_guard lock(mutex_);
  command_accepted_ = true;
  accepted_signal_.notify_all();
}

bool TFtpXferThread::WaitUntilCommandAccepted() {
  std::unique_lock lock(mutex_);
  accepted_signal_.wait(lock, [this] { return command_accepted_ || Terminated(); });
  return command_accepted_ && !Terminated();
}

bool TFtpXferThread::WaitFor(std::chrono::milliseconds Time) {
  std::unique_lock lock(mutex_);
  return finished_signal_.wait_for(lock, Time, [this] { return finished_; });
}

void TFtpXferThread::Execute() {
  SetThreadAbortFlag(&terminated_);
  try {
    Run();
  } catch (...) {
    Failure = std::current_exception();
  }
  ReleaseSockets();
  SetThreadAbortFlag(nullptr);
  std::lock_guard lock(mutex_);
  finished_ = true;
  finished_signal_.notify_all();
}

void TFtpXferThread::Run() {
  {
    TBlockingDeadline deadline(accept_timeout_);
    DataSocket->Accept(Listener.get());
  }
  if (!DataSocket->Connected) {
    // Accept returns without a connection only when the wait was ended by the terminate flag.
    Failure = Interrupted();
    return;
  }
  // The server connects once; nobody else is let in.
  Listener->Close();
  if ((Mode == xmSendFile || Mode == xmSendString) && !WaitUntilCommandAccepted()) {
    Failure = Interrupted();
    return;
  }
  switch (Mode) {
    case xmReceiveFile:
      ReceiveFile();
      break;
    case xmReceiveString:
      ReceiveString();
      break;
    case xmSendFile:
      SendFile();
      break;
    case xmSendString:
      SendString();
      break;
  }
}

bool TFtpXferThread::StopRequested() {
  if (DataSocket->LastError == kWsaEIntr || Terminated()) {
    Failure = Interrupted();
    return true;
  }
  return false;
}

void TFtpXferThread::ReceiveFile() {
  for (;;) {
    const std::string chunk = DataSocket->Read();
    if (chunk.empty()) {
      StopRequested();
      return;
    }
    BytesDone += static_cast<std::int64_t>(chunk.size());
    target_->Write(chunk.data(), chunk.size());
    if (StopRequested())
      return;
  }
}

void TFtpXferThread::ReceiveString() {
  Data.clear();
  for (;;) {
    const std::string chunk = DataSocket->Read();
    if (chunk.empty()) {
      StopRequested();
      return;
    }
    Data += chunk;
    BytesDone += static_cast<std::int64_t>(chunk.size());
    if (StopRequested())
      return;
  }
}

void TFtpXferThread::SendFile() {
  char block[kTransferBlockSize];
  for (;;) {
    const std::size_t count = source_->ReadBlock(block, sizeof block);
    if (count > 0)
      DataSocket->Write(block, count);
    if (StopRequested())
      return;
    BytesDone += static_cast<std::int64_t>(count);
    if (count < sizeof block)
      return;
  }
}

void TFtpXferThread::SendString() {
  for (std::size_t done = 0; done < Data.size();) {
    const std::size_t count = std::min(kTransferBlockSize, Data.size() - done);
    DataSocket->Write(Data.data() + done, count);
    if (StopRequested())
      return;
    BytesDone += static_cast<std::int64_t>(count);
    done += count;
  }
}

void TFtpXferThread::ReleaseSockets() {
  for (auto* socket : {&DataSocket, &Listener}) {
    try {
      (*socket)->Close();
    } catch (...) {
      // Closing is best effort; the handle is gone either way.
    }
    socket->reset();
  }
}

}  // namespace quillmar
