#include "ftp/ftp_socket.h"

#include <utility>

#include "ftp/channel_errors.h"
#include "ftp/listing_parser.h"
#include "ftp/socket_errors.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr int kFtpPort = 21;

// Control characters in caret notation, as the log shows them.
std::string ShowControlChars(std::string_view text) {
  std::string shown;
  for (char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte < 32) {
      shown += '^';
      shown += static_cast<char>(byte + 64);
    } else {
      shown += ch;
    }
  }
  return shown;
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Lines split at CR LF, CR or LF; a line end at the very end starts no further line.
void SplitLines(std::string_view text, TStringList& lines) {
  lines.Clear();
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.Add(std::string(text.substr(start)));
      break;
    }
    lines.Add(std::string(text.substr(start, end - start)));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n')
      ++start;
  }
}

}  // namespace

TFtpSocket::TFtpSocket(std::unique_ptr<TLogger> Logger) : TTcpSocket(std::move(Logger)) {
  Port = kFtpPort;
}

TFtpSocket::~TFtpSocket() = default;

void TFtpSocket::SetPeer(const std::string& Host) {
  Port = kFtpPort;
  TTcpSocket::SetPeer(Host);
}

void TFtpSocket::CheckName(std::string_view Name) {
  if (HasLineBreak(Name))
    RaiseError<ESocketsError>("Ungültiger Name mit Zeilenumbruch: " + ShowControlChars(Name));
}

void TFtpSocket::Connect(const std::string& Argument) {
  if (!Argument.empty()) {
    const std::string host = GetField(Argument, ",", 1);
    if (host.find(':') != std::string::npos) {
      SetPeer(host);
    } else {
      PeerHost = host;
      PeerAddress.clear();
    }
    User = GetField(Argument, ",", 2);
    Password = GetField(Argument, ",", 3);
  }
  CheckName(User);
  if (HasLineBreak(Password))
    RaiseError<ESocketsError>("Ungültiges Passwort mit Zeilenumbruch");
  if (!Connected) {
    // A new connection starts without text left from an earlier one, in the server's type.
    RecvBuffer.clear();
    Reply.Clear();
    TransferType = ttAscii;
  }
  TTcpSocket::Connect("");
  GetReply();
  Expect('2');
  WriteStr("USER " + User + "\r\n");
  GetReply();
  if (ReplyStartsWith('2'))
    return;
  if (!ReplyStartsWith('3'))
    RaiseReplyError();
  SendPassword();
  GetReply();
  Expect('2');
}

// The logger is taken away while the password is on its way, and gets a masked line instead.
void TFtpSocket::SendPassword() {
  std::unique_ptr<TLogger> held = std::move(Logger);
  try {
    WriteStr("PASS " + Password + "\r\n");
  } catch (const std::exception& error) {
    Logger = std::move(held);
    Log(llError, error.what());
    throw;
  }
  Logger = std::move(held);
  if (Logger && Logger->IsLevelEnabled(llSent))
    Logger->Log(llSent, "PASS <password>^M^J");
}

void TFtpSocket::GetReply() {
  // An empty reply is judged by how this read ended, not by an earlier cancel.
  LastError = 0;
  SplitLines(ReadReply(RecvBuffer), Reply);
}

std::string TFtpSocket::ReplyText() const {
  std::string text;
  for (const auto& line : Reply) {
    if (!text.empty())
      text += "\r\n";
    text += line.Text;
  }
  return text;
}

bool TFtpSocket::ReplyStartsWith(char Digit) const {
  return !Reply.IsEmpty() && !Reply[0].empty() && Reply[0][0] == Digit;
}

void TFtpSocket::Expect(char Digit) {
  if (!ReplyStartsWith(Digit))
    RaiseReplyError();
}

void TFtpSocket::RaiseReplyError() {
  std::string text;
  for (const auto& line : Reply)
    text += line.Text + "\r\n";
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
    text.pop_back();
  if (text.empty())
    text = LastError == kWsaEIntr ? "Interrupted" : "Connection closed by peer";
  throw EUnexpectedReply("FTP Error: \"" + text + "\"");
}

void TFtpSocket::RaiseInterrupted() {
  throw EUnexpectedReply("FTP Error: \"Interrupted\"");
}

std::string TFtpSocket::CurrentDir() {
  WriteStr("PWD\r\n");
  GetReply();
  std::string dir = GetField(ReplyText(), "\"", 2);
  Expect('2');
  return dir;
}

void TFtpSocket::ChangeDir(const std::string& Dir) {
  if (Dir == "..") {
    WriteStr("CDUP\r\n");
  } else {
    CheckName(Dir);
    WriteStr("CWD " + Dir + "\r\n");
  }
  GetReply();
  Expect('2');
}

void TFtpSocket::SetTransferType(TTransferType Type) {
  if (Type == TransferType)
    return;
  WriteStr(std::string("TYPE ") + (Type == ttBinary ? "I" : "A") + "\r\n");
  GetReply();
  Expect('2');
  TransferType = Type;
}

void TFtpSocket::MakeDir(const std::string& Dir) {
  std::string dir = Dir;
  while (!dir.empty() && dir.back() == '/')
    dir.pop_back();
  CheckName(dir);
  WriteStr("MKD " + dir + "\r\n");
  GetReply();
  Expect('2');
}

void TFtpSocket::DeleteFile(const std::string& Name) {
  CheckName(Name);
  WriteStr("DELE " + Name + "\r\n");
  GetReply();
  Expect('2');
}

void TFtpSocket::Quit() {
  WriteStr("QUIT\r\n");
  GetReply();
}

void TFtpSocket::DoProgress(TFtpSocket& Sender, std::int64_t Bytes) {
  if (OnProgress)
    OnProgress(Sender, Bytes);
}

void TFtpSocket::ReadListing(TLinkList& List) {
  ParseListingText(ListingText, List);
}

}  // namespace quillmar
