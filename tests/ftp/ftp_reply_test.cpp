// Reply assembly and reply errors, on a socket whose received bytes the test chooses.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ftp/channel_errors.h"
#include "ftp/ftp_socket.h"
#include "ftp/socket_errors.h"
#include "socket_test_support.h"

namespace quillmar {
namespace {

using ::testing::ElementsAre;

// Receives the given chunks, then reports the peer's close.
class TChunkSocket : public TFtpSocket {
 public:
  explicit TChunkSocket(std::vector<std::string> chunks) : chunks_(chunks.begin(), chunks.end()) {
    Connected = true;
  }
  int Reads = 0;

 protected:
  long ReceiveBytes(char* buffer, std::size_t size, std::int32_t&) override {
    ++Reads;
    if (chunks_.empty())
      return 0;
    std::string chunk = std::move(chunks_.front());
    chunks_.pop_front();
    const std::size_t count = std::min(size, chunk.size());
    chunk.copy(buffer, count);
    if (count < chunk.size())
      chunks_.push_front(chunk.substr(count));
    return static_cast<long>(count);
  }
  long SendBytes(const char*, std::size_t count, std::int32_t&) override {
    return static_cast<long>(count);
  }

 private:
  std::deque<std::string> chunks_;
};

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (const auto& item : list)
    lines.push_back(item.Text);
  return lines;
}

std::vector<std::string> Bytes(const std::string& text) {
  std::vector<std::string> bytes;
  for (char ch : text)
    bytes.emplace_back(1, ch);
  return bytes;
}

TEST(FtpReplyTest, ReadReplyTakesOneReplyAndKeepsTheRest) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Chunks;
    std::string Reply;
    std::string Rest;
  };
  const std::string greeting = "220-Welcome\r\n220-to the\r\n220 fault server\r\n";
  const TCase cases[] = {
      {"single line", {"200 OK\r\n"}, "200 OK\r\n", ""},
      {"three-line greeting", {greeting + "331 next\r\n"}, greeting, "331 next\r\n"},
      {"byte by byte", Bytes(greeting), greeting, ""},
      {"split inside the line end", {"200 OK\r", "\n250 x"}, "200 OK\r\n", "250 x"},
      {"code and blank inside a later line end it",
       {"230-first\r\nsee 230 here\r\nlast\r\n"},
       "230-first\r\nsee 230 here\r\n",
       "last\r\n"},
      {"code and blank inside the first line",
       {"220-a 220 b\r\n220 c\r\n"},
       "220-a 220 b\r\n",
       "220 c\r\n"},
      {"multi-line reply waits for its last line",
       {"220-x\r\n220", " end\r\n"},
       "220-x\r\n220 end\r\n",
       ""},
      {"nul bytes inside", {std::string("200 a\0b\r\n", 9)}, std::string("200 a\0b\r\n", 9), ""},
      {"peer closes before the line end", {"200 OK"}, "", "200 OK"},
      {"six characters are not yet a reply", {"200 \r\n"}, "", "200 \r\n"},
      {"no blank or hyphen after the code", {"hello\r\n"}, "", "hello\r\n"},
  };
  for (const auto& c : cases) {
    TChunkSocket socket(c.Chunks);
    std::string buffer;
    EXPECT_EQ(socket.ReadReply(buffer), c.Reply) << c.Name;
    EXPECT_EQ(buffer, c.Rest) << c.Name;
  }
}

TEST(FtpReplyTest, GetReplySplitsLinesAndUsesTheBufferFirst) {
  TChunkSocket socket({"250-a\r\n250-b\n250 c\r\n226 next\r\n"});
  socket.GetReply();
  EXPECT_THAT(Lines(socket.Reply), ElementsAre("250-a", "250-b", "250 c"));
  const int reads = socket.Reads;
  socket.GetReply();
  EXPECT_EQ(socket.Reads, reads);
  ASSERT_EQ(socket.Reply.Count(), 1);
  EXPECT_EQ(socket.Reply[0], "226 next");
  socket.GetReply();
  EXPECT_TRUE(socket.Reply.IsEmpty());
  EXPECT_FALSE(socket.Connected);
}

TEST(FtpReplyTest, RaiseReplyErrorQuotesTheReply) {
  struct TCase {
    std::vector<std::string> Chunks;
    std::int32_t LastError;
    const char* Message;
  };
  const TCase cases[] = {
      {{"550 No such file\r\n"}, 0, "FTP Error: \"550 No such file\""},
      {{"550-First\r\n550 Last\r\n"}, 0, "FTP Error: \"550-First\r\n550 Last\""},
      {{}, 0, "FTP Error: \"Connection closed by peer\""},
      {{}, kWsaEIntr, "FTP Error: \"Interrupted\""},
  };
  for (const auto& c : cases) {
    TChunkSocket socket(c.Chunks);
    socket.GetReply();
    socket.LastError = c.LastError;
    EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { socket.RaiseReplyError(); }), c.Message);
  }
}

TEST(FtpReplyTest, OverlongReplyIsRefusedAndEndsTheConnection) {
  TChunkSocket socket({"220-" + std::string(kMaxReplyLength, 'x')});
  EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { socket.GetReply(); }),
            "FTP Error: \"Reply too long\"");
  EXPECT_FALSE(socket.Connected);
  EXPECT_TRUE(socket.RecvBuffer.empty());
}

TEST(FtpReplyTest, CurrentDirTakesTheQuotedPath) {
  struct TCase {
    const char* Reply;
    const char* Dir;
  };
  const TCase cases[] = {
      {"257 \"/www/htdocs\" is the current directory\r\n", "/www/htdocs"},
      {"257 \"/a \"\"b\"\"\" quoted\r\n", "/a "},
      {"257 no quotes\r\n", ""},
  };
  for (const auto& c : cases) {
    TChunkSocket socket({c.Reply});
    EXPECT_EQ(socket.CurrentDir(), c.Dir) << c.Reply;
  }
  TChunkSocket refused({"550 \"/x\" not allowed\r\n"});
  EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { refused.CurrentDir(); }),
            "FTP Error: \"550 \"/x\" not allowed\"");
}

}  // namespace
}  // namespace quillmar
