#include "ftp/tcp_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/channel_errors.h"
#include "ftp/socket_errors.h"
#include "ftp/socket_library.h"
#include "socket_test_support.h"

namespace quillmar {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Makes the library count as not loaded for the scope.
class TMissingLibrary {
 public:
  TMissingLibrary() { SimulateWinsockMissing(true); }
  ~TMissingLibrary() { SimulateWinsockMissing(false); }
};

// A port on 127.0.0.1 where nobody listens.
std::int32_t ClosedPort() {
  TTcpSocket listener;
  listener.Listen();
  return listener.Port;
}

TEST(ChannelTest, SetErrorRaisesCommunicationsErrorAfterLogging) {
  struct TPlainChannel : TChannel {
    using TChannel::TChannel;
    void Connect(const std::string&) override {}
    void Close() override {}
    void Write(const char*, std::size_t) override {}
    std::string Read() override { return {}; }
  };
  auto logger = std::make_unique<TRecordingLogger>();
  TRecordingLogger* log = logger.get();
  TPlainChannel channel(std::move(logger));
  channel.SetError(0);
  EXPECT_EQ(MessageOf<EChannelError>([&] { channel.SetError(10054); }),
            "Communications Error No. 10054");
  EXPECT_EQ(channel.LastError, 10054);
  EXPECT_THAT(log->LinesAt(llError), ElementsAre("Communications Error No. 10054"));
}

TEST(WinSocketTest, SetErrorRules) {
  struct TCase {
    std::int32_t Code;
    bool Raises;
    bool StaysConnected;
  };
  const TCase cases[] = {
      {0, false, true},     {10004, false, true}, {10038, true, false}, {10050, true, false},
      {10052, true, false}, {10053, true, false}, {10054, true, false}, {10057, true, false},
      {10058, true, false}, {10061, true, true},  {10060, true, true},  {10059, true, true},
  };
  for (const auto& c : cases) {
    TLoggedSocket<TTcpSocket> s;
    s.Socket->Connected = true;
    bool raised = false;
    try {
      s.Socket->SetError(c.Code);
    } catch (const ESocketsError& error) {
      raised = true;
      EXPECT_EQ(error.what(), WinsockErrorName(c.Code) + ": " + WinsockErrorText(c.Code));
      EXPECT_THAT(s.Log->LinesAt(llError), ElementsAre(error.what()));
    }
    EXPECT_EQ(raised, c.Raises) << c.Code;
    EXPECT_EQ(s.Socket->Connected, c.StaysConnected) << c.Code;
    EXPECT_EQ(s.Socket->LastError, c.Code);
  }
  TTcpSocket refused;
  EXPECT_EQ(MessageOf<ESocketsError>([&] { refused.SetError(10061); }),
            "WSAECONNREFUSED: Connection refused");
}

TEST(TcpSocketTest, ConnectChecksInOrder) {
  struct TCase {
    const char* Host;
    std::int32_t Port;
    bool Missing;
    const char* Message;
  };
  const TCase cases[] = {
      {"", 21, true, "WINSOCK-DLL not loaded"},
      {"", 21, false, "No peer specified"},
      {"example.org", 0, false, "No port specified"},
      {"nosuchhost.invalid", 21, false, "Can't connect to nosuchhost.invalid\r\nHost not found"},
  };
  for (const auto& c : cases) {
    TLoggedSocket<TTcpSocket> s;
    s.Socket->PeerHost = c.Host;
    s.Socket->Port = c.Port;
    std::string message;
    if (c.Missing) {
      TMissingLibrary missing;
      message = MessageOf<ESocketsError>([&] { s.Socket->Connect(""); });
    } else {
      message = MessageOf<ESocketsError>([&] { s.Socket->Connect(""); });
    }
    EXPECT_EQ(message, c.Message);
    EXPECT_THAT(s.Log->LinesAt(llError), ElementsAre(c.Message));
    EXPECT_FALSE(s.Socket->Connected);
    EXPECT_FALSE(s.Socket->HasHandle());
  }
}

TEST(TcpSocketTest, ConnectArgumentSetsHostAndPortBeforeChecking) {
  TTcpSocket socket;
  EXPECT_EQ(MessageOf<ESocketsError>([&] { socket.Connect("example.org,x"); }),
            "No port specified");
  EXPECT_EQ(socket.PeerHost, "example.org");
  EXPECT_EQ(socket.Port, 0);
  socket.Port = 5;
  EXPECT_EQ(MessageOf<ESocketsError>([&] { socket.Connect("nosuchhost.invalid,21"); }),
            "Can't connect to nosuchhost.invalid\r\nHost not found");
  EXPECT_EQ(socket.Port, 21);
  EXPECT_EQ(socket.LastError, 0);
}

TEST(TcpSocketTest, ConnectToDottedAddressLogsEachStep) {
  TTcpSocket listener;
  listener.Listen();
  TLoggedSocket<TTcpSocket> s;
  s.Socket->Connect("127.0.0.1," + std::to_string(listener.Port));
  const std::string port = std::to_string(listener.Port);
  EXPECT_TRUE(s.Socket->Connected);
  EXPECT_EQ(s.Socket->PeerAddress, "127.0.0.1");
  EXPECT_THAT(s.Log->LinesAt(llInfo),
              ElementsAre("Resolving network address for 127.0.0.1",
                          "Connecting to 127.0.0.1 [127.0.0.1] Port " + port,
                          "Connected to 127.0.0.1 [127.0.0.1] Port " + port));
  // A second Connect leaves the connection as it was.
  EXPECT_EQ(MessageOf<ESocketsError>([&] { s.Socket->Connect(""); }),
            "Socket is already connected");
  EXPECT_TRUE(s.Socket->Connected);
  TTcpSocket server;
  server.Accept(&listener);
  s.Socket->WriteStr("still here");
  EXPECT_EQ(server.Read(), "still here");
}

TEST(TcpSocketTest, ConnectByNameResolvesPeerAddress) {
  TTcpSocket listener;
  listener.Listen();
  TTcpSocket client;
  client.Connect("localhost," + std::to_string(listener.Port));
  EXPECT_EQ(client.PeerHost, "localhost");
  EXPECT_EQ(client.PeerAddress, "127.0.0.1");
}

TEST(TcpSocketTest, RefusedConnectNamesTheTextAndReleasesTheHandle) {
  TLoggedSocket<TTcpSocket> s;
  s.Socket->SetPeer("127.0.0.1");
  s.Socket->Port = ClosedPort();
  EXPECT_EQ(MessageOf<ESocketsError>([&] { s.Socket->Connect(""); }),
            "Can't connect to 127.0.0.1 [127.0.0.1]\r\nConnection refused");
  EXPECT_EQ(s.Socket->LastError, 10061);
  EXPECT_FALSE(s.Socket->HasHandle());
  EXPECT_FALSE(s.Socket->Connected);
}

TEST(TcpSocketTest, SetPeerTakesAPortAfterTheHost) {
  struct TCase {
    const char* Text;
    const char* Host;
    std::int32_t Port;
  };
  const TCase cases[] = {
      {"ftp.example.org", "ftp.example.org", 7},
      {"ftp.example.org:2121", "ftp.example.org", 2121},
      {"127.0.0.1:65535", "127.0.0.1", 65535},
      {"host:0", "host", 0},
      {"host:65536", "host", 0},
      {"host:abc", "host", 0},
  };
  for (const auto& c : cases) {
    TTcpSocket socket;
    socket.Port = 7;
    socket.PeerAddress = "1.2.3.4";
    socket.SetPeer(c.Text);
    EXPECT_EQ(socket.PeerHost, c.Host) << c.Text;
    EXPECT_EQ(socket.Port, c.Port) << c.Text;
    EXPECT_EQ(socket.PeerAddress, "");
  }
}

TEST(TcpSocketTest, ListenOnChosenPortAndAcceptLogs) {
  TLoggedSocket<TTcpSocket> listener;
  listener.Socket->Listen();
  const std::int32_t port = listener.Socket->Port;
  EXPECT_GT(port, 0);
  EXPECT_EQ(listener.Socket->State, ssListening);
  EXPECT_FALSE(listener.Socket->Connected);
  EXPECT_THAT(listener.Log->LinesAt(llInfo),
              ElementsAre("Listening on port " + std::to_string(port)));

  TTcpSocket client;
  client.Connect("127.0.0.1," + std::to_string(port));
  TLoggedSocket<TTcpSocket> server;
  server.Socket->Accept(listener.Socket.get());
  EXPECT_TRUE(server.Socket->Connected);
  EXPECT_EQ(server.Socket->PeerHost, "127.0.0.1");
  EXPECT_EQ(server.Socket->PeerAddress, "127.0.0.1");
  sockaddr_in local{};
  ASSERT_EQ(SocketLocalAddress(client.Handle, local), 0);
  EXPECT_EQ(server.Socket->Port, ntohs(local.sin_port));
  EXPECT_THAT(server.Log->LinesAt(llInfo),
              ElementsAre("Waiting for next client request", "Accepted connection from 127.0.0.1"));
}

TEST(TcpSocketTest, AcceptAndListenRefusals) {
  TTcpSocket idle;
  TTcpSocket socket;
  socket.Accept(nullptr);
  EXPECT_FALSE(socket.HasHandle());
  EXPECT_EQ(MessageOf<ESocketsError>([&] { socket.Accept(&idle); }), "Listener does not listen");
  TMissingLibrary missing;
  EXPECT_EQ(MessageOf<ESocketsError>([&] { socket.Accept(&idle); }), "WINSOCK-DLL not loaded");
  EXPECT_EQ(MessageOf<ESocketsError>([&] { socket.Listen(); }), "WINSOCK-DLL not loaded");
}

TEST(TcpSocketTest, ListenOnPortInUse) {
  TTcpSocket first;
  first.Listen();
  TTcpSocket second;
  second.Port = first.Port;
  EXPECT_EQ(MessageOf<ESocketsError>([&] { second.Listen(); }),
            "Can't bind to port " + std::to_string(first.Port));
  EXPECT_EQ(second.LastError, 10048);
  EXPECT_FALSE(second.HasHandle());
}

TEST(TcpSocketTest, CloseLogsOnceAndOnlyWithAHandle) {
  TLoopbackPair pair;
  auto logger = std::make_unique<TRecordingLogger>();
  TRecordingLogger* log = logger.get();
  pair.Client.Logger = std::move(logger);
  const std::string port = std::to_string(pair.Client.Port);
  pair.Client.Close();
  pair.Client.Close();
  EXPECT_FALSE(pair.Client.Connected);
  EXPECT_FALSE(pair.Client.HasHandle());
  EXPECT_THAT(log->LinesAt(llInfo),
              ElementsAre("Closing connection to 127.0.0.1 [127.0.0.1]",
                          "Socket closed (Peer=127.0.0.1 Port=" + port + ")"));
  TLoggedSocket<TTcpSocket> fresh;
  fresh.Socket->Close();
  EXPECT_THAT(fresh.Log->Entries, IsEmpty());
}

TEST(TcpSocketTest, WriteAndReadCarryAnyBytesAndLogThem) {
  TLoopbackPair pair;
  auto sender_log = std::make_unique<TRecordingLogger>();
  auto receiver_log = std::make_unique<TRecordingLogger>();
  TRecordingLogger* sent = sender_log.get();
  TRecordingLogger* received = receiver_log.get();
  pair.Client.Logger = std::move(sender_log);
  pair.Server.Logger = std::move(receiver_log);
  const std::string data("USER a\r\n\0\xff", 10);
  pair.Client.WriteStr(data);
  EXPECT_EQ(pair.Server.Read(), data);
  EXPECT_THAT(sent->LinesAt(llSent), ElementsAre("USER a^M^J", "^@\xff"));
  EXPECT_THAT(received->LinesAt(llReceived), ElementsAre("USER a^M^J", "^@\xff"));
}

TEST(TcpSocketTest, WriteHandsOverPiecesAndReadIsLimited) {
  struct TPieceSocket : TTcpSocket {
    std::vector<std::size_t> Pieces;
    long SendBytes(const char* buffer, std::size_t count, std::int32_t& error) override {
      Pieces.push_back(count);
      return TTcpSocket::SendBytes(buffer, count, error);
    }
  };
  TTcpSocket listener;
  listener.Listen();
  TPieceSocket client;
  client.Connect("127.0.0.1," + std::to_string(listener.Port));
  TTcpSocket server;
  server.Accept(&listener);
  client.WriteStr(std::string(2 * kSendBlockSize + 904, 'x'));
  EXPECT_THAT(client.Pieces, ElementsAre(kSendBlockSize, kSendBlockSize, 904));

  const std::string big(2 * kSendBlockSize + 40000, 'y');
  server.WriteStr(big);
  std::string got;
  while (got.size() < big.size()) {
    const std::string chunk = client.Read();
    ASSERT_FALSE(chunk.empty());
    EXPECT_LE(chunk.size(), kReceiveBlockSize);
    got += chunk;
  }
  EXPECT_EQ(got, big);
}

TEST(TcpSocketTest, PeerCloseEndsReadingAndWritingQuietly) {
  TLoopbackPair pair;
  pair.Server.Close();
  EXPECT_EQ(pair.Client.Read(), "");
  EXPECT_FALSE(pair.Client.Connected);
  EXPECT_EQ(pair.Client.LastError, 0);
  pair.Client.WriteStr("nobody listens");
  EXPECT_EQ(pair.Client.Read(), "");
}

TEST(TcpSocketTest, ResetConnectionRaisesAndDisconnects) {
  TLoopbackPair pair;
  const linger reset{1, 0};
  ASSERT_EQ(::setsockopt(pair.Server.Handle, SOL_SOCKET, SO_LINGER, &reset, sizeof reset), 0);
  pair.Server.Close();
  EXPECT_EQ(MessageOf<ESocketsError>([&] { pair.Client.Read(); }),
            "WSAECONNRESET: Connection reset by peer");
  EXPECT_FALSE(pair.Client.Connected);
  EXPECT_EQ(pair.Client.LastError, 10054);
}

TEST(TcpSocketTest, UnconnectedSocketReadsAndWritesNothing) {
  TLoggedSocket<TTcpSocket> s;
  s.Socket->WriteStr("x");
  EXPECT_EQ(s.Socket->Read(), "");
  EXPECT_THAT(s.Log->Entries, IsEmpty());
}

TEST(TcpSocketTest, DestructionSurvivesAFailingClose) {
  struct TListLogger : TLogger {
    explicit TListLogger(std::vector<std::string>& lines) : Lines(lines) {}
    void WriteLine(int, std::string_view line) override { Lines.emplace_back(line); }
    std::vector<std::string>& Lines;
  };
  std::vector<std::string> lines;
  {
    TTcpSocket socket(std::make_unique<TListLogger>(lines));
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    socket.Handle = pipe_ends[0];  // already closed: closing it again fails
  }
  EXPECT_THAT(lines, ElementsAre("WSAENOTSOCK: Socket operation on non-socket"));
}

}  // namespace
}  // namespace quillmar
