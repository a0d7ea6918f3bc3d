// Reading FTP replies off the control connection (RFC 959 multi-line rule).
#include <string>

#include "ftp/channel_errors.h"
#include "ftp/tcp_socket.h"

namespace quillmar {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The length of the complete reply at the start of `buffer`, or 0 while it is incomplete.
// A reply is "xyz text CRLF", or "xyz-" lines up to the first line that holds "xyz " and ends
// with CRLF; the three characters are not required to be digits.
std::size_t CompleteReplyLength(const std::string& buffer) {
  if (buffer.size() <= 6)
    return 0;
  if (buffer[3] == ' ') {
    const std::size_t end = buffer.find(kLineEnd);
    return end == std::string::npos ? 0 : end + kLineEnd.size();
  }
  if (buffer[3] == '-') {
    const std::string last_line_start = buffer.substr(0, 3) + " ";
    const std::size_t last = buffer.find(last_line_start);
    if (last == std::string::npos)
      return 0;
    const std::size_t end = buffer.find(kLineEnd, last + 2);
    return end == std::string::npos ? 0 : end + kLineEnd.size();
  }
  return 0;
}

}  // namespace

std::string TTcpSocket::ReadReply(std::string& Buffer) {
  for (;;) {
    if (const std::size_t length = CompleteReplyLength(Buffer)) {
      std::string reply = Buffer.substr(0, length);
      Buffer.erase(0, length);
      return reply;
    }
    if (Buffer.size() > kMaxReplyLength) {
      // A reply this long is no reply; what follows could not be told apart from it.
      Buffer.clear();
      try {
        Close();
      } catch (const ESocketsError&) {
      }
      Connected = false;
      throw EUnexpectedReply("FTP Error: \"Reply too long\"");
    }
    const std::string chunk = Read();
    if (chunk.empty())
      return {};
    Buffer += chunk;
  }
}

}  // namespace quillmar
