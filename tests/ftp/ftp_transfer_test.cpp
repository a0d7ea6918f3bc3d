// Data transfers against the fault server, in passive and in active mode.
#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/channel_errors.h"
#include "ftp/ftp_socket.h"
#include "log/in_out_error.h"
#include "log/recording_logger.h"
#include "socket_test_support.h"
#include "support/fault_server.h"

namespace quillmar {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using testing::TFaultServer;
using testing::TFaultSession;

using TClock = std::chrono::steady_clock;

constexpr auto kPrompt = std::chrono::seconds(3);

// Answers PASV or PORT as the client asks, accepts the command with `accept` and opens the
// data connection.
void OpenData(TFaultSession& s, const std::string& command,
              const std::string& accept = "150 Opening data connection") {
  const std::string first = s.NextCommand();
  if (first == "PASV") {
    s.Send(s.OpenPassive() + "\r\n");
    s.Expect(command, accept);
    s.AcceptData();
    return;
  }
  if (first.rfind("PORT ", 0) != 0)
    throw testing::EFaultScript("expected PASV or PORT, got \"" + first + "\"");
  s.Send("200 PORT command successful\r\n");
  s.Expect(command, accept);
  s.ConnectData(first);
}

// Answers the commands after a transfer so the test can see that each gets its own reply.
void AnswerPwd(TFaultSession& s) {
  s.Expect("PWD", "257 \"/\" is current");
  s.WaitForControlClose();
}

class FtpTransferTest : public ::testing::TestWithParam<bool> {
 protected:
  bool Passive() const { return GetParam(); }

  void Start(TFaultServer::TScript script) {
    server_ = std::make_unique<TFaultServer>(std::move(script));
    client_ = std::make_unique<TLoggedSocket<TFtpSocket>>();
    Ftp().SetPeer(server_->HostAndPort());
    Ftp().User = "user";
    Ftp().Password = "secret";
    Ftp().OnProgress = [this](TFtpSocket&, std::int64_t bytes) { Progress.push_back(bytes); };
    Ftp().Connect("");
    Ftp().SetPassive(Passive());
  }
  // Closes both ends, waits for the server's scripts and stops the server.
  void Finish() {
    client_.reset();
    server_->WaitForScripts();
    ServerErrors = server_->Errors();
    server_.reset();
  }
  TFtpSocket& Ftp() { return *client_->Socket; }
  TFaultServer& Server() { return *server_; }
  TRecordingLogger& Log() { return *client_->Log; }

  TScratchDir Dir;
  std::vector<std::int64_t> Progress;
  std::vector<std::string> ServerErrors;

 private:
  std::unique_ptr<TFaultServer> server_;
  std::unique_ptr<TLoggedSocket<TFtpSocket>> client_;
};

INSTANTIATE_TEST_SUITE_P(Modes, FtpTransferTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST_P(FtpTransferTest, DownloadReplacesTheLocalFileAndKeepsItsPermissions) {
  const std::string content(20000, 'n');
  Start([&](TFaultSession& s) {
    s.Login();
    OpenData(s, "RETR page.html");
    s.SendData(content);
    s.CloseData();
    s.Send("226 Transfer complete\r\n");
    AnswerPwd(s);
  });
  const std::string local = Dir.File("page.html");
  WriteFile(local, "old");
  ::chmod(local.c_str(), 0640);
  Ftp().Retrieve(local, "page.html");
  EXPECT_EQ(ReadFile(local), content);
  struct stat info {};
  ASSERT_EQ(::stat(local.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_THAT(Dir.Entries(), ElementsAre("page.html"));
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back(), 20000);
  EXPECT_EQ(Ftp().CurrentDir(), "/");
  Finish();
  EXPECT_THAT(ServerErrors, IsEmpty());
}

TEST_P(FtpTransferTest, ZeroByteDownloadCreatesAnEmptyFile) {
  Start([](TFaultSession& s) {
    s.Login();
    OpenData(s, "RETR empty");
    s.CloseData();
    s.Send("226 Transfer complete\r\n");
    s.WaitForControlClose();
  });
  const std::string local = Dir.File("empty");
  Ftp().Retrieve(local, "empty");
  EXPECT_EQ(ReadFile(local), "");
  EXPECT_THAT(Dir.Entries(), ElementsAre("empty"));
  if (!Passive()) {
    EXPECT_THAT(Progress, Not(IsEmpty()));
    EXPECT_THAT(Progress, Each(0));
  }
}

TEST_P(FtpTransferTest, DataConnectionCutMidwayKeepsTheOldFile) {
  for (const char* final_reply : {"426 Connection closed; transfer aborted", "226 Done"}) {
    Start([&](TFaultSession& s) {
      s.Login();
      OpenData(s, "RETR big.bin");
      s.SendData(std::string(3000, 'p'));
      s.ResetData();
      s.Send(std::string(final_reply) + "\r\n");
      AnswerPwd(s);
    });
    const std::string local = Dir.File("big.bin");
    WriteFile(local, "precious");
    EXPECT_THROW(Ftp().Retrieve(local, "big.bin"), ESocketsError) << final_reply;
    EXPECT_EQ(ReadFile(local), "precious");
    EXPECT_THAT(Dir.Entries(), ElementsAre("big.bin"));
    // The final reply of the failed transfer was taken; the next command gets its own.
    EXPECT_EQ(Ftp().CurrentDir(), "/");
    Finish();
    EXPECT_THAT(ServerErrors, IsEmpty());
  }
}

TEST_P(FtpTransferTest, RefusedRetrieveLeavesTheLocalFileAndAllSocketsAlone) {
  const int descriptors = OpenDescriptors();
  const auto start = TClock::now();
  {
    Start([](TFaultSession& s) {
      s.Login();
      const std::string first = s.NextCommand();
      s.Send(first == "PASV" ? s.OpenPassive() + "\r\n" : "200 PORT command successful\r\n");
      s.Expect("RETR missing", "550 No such file");
      AnswerPwd(s);
    });
    const std::string local = Dir.File("missing");
    WriteFile(local, "mine");
    EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { Ftp().Retrieve(local, "missing"); }),
              "FTP Error: \"550 No such file\"");
    EXPECT_EQ(ReadFile(local), "mine");
    EXPECT_THAT(Dir.Entries(), ElementsAre("missing"));
    EXPECT_EQ(Ftp().CurrentDir(), "/");
    Finish();
  }
  // Active mode: the worker stopped waiting for a data connection at once (its limit is 60 s).
  EXPECT_LT(TClock::now() - start, kPrompt);
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_P(FtpTransferTest, UploadSendsEveryByteAndReportsTheTotal) {
  // Two whole blocks and a short one.
  const std::int64_t size = 2 * static_cast<std::int64_t>(kTransferBlockSize) + 1808;
  std::string content;
  for (std::int64_t i = 0; i < size; ++i)
    content += static_cast<char>('a' + i % 26);
  std::string received;
  Start([&](TFaultSession& s) {
    s.Login();
    OpenData(s, "STOR data.bin");
    received = s.ReceiveData();
    s.Send("226 Transfer complete\r\n");
    s.WaitForControlClose();
  });
  const std::string local = Dir.File("data.bin");
  WriteFile(local, content);
  Ftp().Store(local, "data.bin");
  Finish();
  EXPECT_EQ(received, content);
  ASSERT_FALSE(Progress.empty());
  EXPECT_EQ(Progress.back(), size);
  if (Passive()) {
    const auto block = static_cast<std::int64_t>(kTransferBlockSize);
    EXPECT_THAT(Progress, ElementsAre(block, 2 * block, size));
  }
}

TEST_P(FtpTransferTest, EmptyStoreTextOpensAndClosesTheDataConnection) {
  std::string received = "unset";
  Start([&](TFaultSession& s) {
    s.Login();
    OpenData(s, "STOR timeslip.txt");
    received = s.ReceiveData();
    s.Send("226 Transfer complete\r\n");
    s.WaitForControlClose();
  });
  Ftp().StoreText("timeslip.txt", "");
  Finish();
  EXPECT_EQ(received, "");
  EXPECT_THAT(ServerErrors, IsEmpty());
}

TEST_P(FtpTransferTest, LocalFileProblemsStopBeforeTheServerIsAsked) {
  Start([](TFaultSession& s) {
    s.Login();
    AnswerPwd(s);
  });
  EXPECT_EQ(MessageOf<EInOutError>([&] { Ftp().Store(Dir.File("gone.txt"), "gone.txt"); }),
            "Datei nicht gefunden: " + Dir.File("gone.txt"));
  const std::string nowhere = Dir.File("no-dir/file.txt");
  EXPECT_EQ(MessageOf<EInOutError>([&] { Ftp().Retrieve(nowhere, "file.txt"); }),
            "Datei nicht gefunden: " + nowhere);
  EXPECT_EQ(Ftp().CurrentDir(), "/");
  EXPECT_THAT(Server().Commands(), ElementsAre("USER user", "PASS secret", "PWD"));
}

// A directory opens like a file but cannot be read: the error comes up while the data flows,
// in active mode inside the worker, and fails the transfer although the server reports success.
TEST_P(FtpTransferTest, LocalReadErrorFailsTheTransferDespiteSuccessReply) {
  Start([](TFaultSession& s) {
    s.Login();
    OpenData(s, "STOR folder");
    s.ReceiveData();
    s.Send("226 Transfer complete\r\n");
    AnswerPwd(s);
  });
  const std::string folder = Dir.File("folder");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(MessageOf<EInOutError>([&] { Ftp().Store(folder, "folder"); }),
            "Is a directory: " + folder);
  EXPECT_EQ(Ftp().CurrentDir(), "/");
}

TEST_P(FtpTransferTest, ListingWithBlankInPathIsListedFromInside) {
  Start([](TFaultSession& s) {
    s.Login();
    s.Expect("TYPE I", "200 Binary");
    s.Expect("TYPE A", "200 Ascii");
    s.Expect("PWD", "257 \"/home\"");
    s.Expect("CWD /my files", "250 OK");
    OpenData(s, "LIST -la");
    s.SendData("first listing\r\n");
    s.CloseData();
    s.Send("226 Done\r\n");
    s.Expect("CWD /home", "250 OK");
    OpenData(s, "LIST");
    s.SendData("second\r\n");
    s.CloseData();
    s.Send("226 Done\r\n");
    OpenData(s, "LIST -laR /htdocs/img/");
    s.CloseData();
    s.Send("226 Done\r\n");
    s.WaitForControlClose();
  });
  Ftp().SetTransferType(ttBinary);
  Ftp().List("/my files", " -la\t");
  EXPECT_EQ(Ftp().ListingText, "first listing\r\n");
  Ftp().List("", "");
  EXPECT_EQ(Ftp().ListingText, "second\r\n");
  Ftp().List("/htdocs/img/", "-laR");
  EXPECT_EQ(Ftp().ListingText, "");
  Finish();
  EXPECT_THAT(ServerErrors, IsEmpty());
}

TEST_P(FtpTransferTest, CancelFromTheHookEndsTheTransferAsInterrupted) {
  struct TCase {
    const char* Name;
    std::string Command;
    std::function<void(TFaultSession&)> Data;  // after the data connection is open
    std::function<void(TFtpSocket&, const std::string&)> Call;
  };
  const std::string big(16 << 20, 'u');
  const TCase cases[] = {
      {"download", "RETR file", [](TFaultSession& s) { s.SendData(std::string(1000, 'd')); },
       [](TFtpSocket& f, const std::string& local) { f.Retrieve(local, "file"); }},
      {"listing", "LIST",
       [](TFaultSession& s) { s.SendData("-rw-r--r-- 1 a b 1 Jan 1 2020 x\r\n"); },
       [](TFtpSocket& f, const std::string&) { f.List("", ""); }},
      // The server does not read, so the upload blocks once the buffers are full.
      {"upload", "STOR file", [](TFaultSession&) {},
       [&](TFtpSocket& f, const std::string&) { f.StoreText("file", big); }},
  };
  for (const auto& c : cases) {
    const int descriptors = OpenDescriptors();
    {
      Start([&](TFaultSession& s) {
        s.Login();
        // The final reply comes early, so only the data connection can tell the cut.
        OpenData(s, c.Command, "150 Opening data connection\r\n226 Transfer complete");
        c.Data(s);
        s.WaitForControlClose();
      });
      const std::string local = Dir.File("file");
      WriteFile(local, "old");
      const auto start = TClock::now();
      {
        TScopedHook hook([] { WSACancelBlockingCall(); });
        EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { c.Call(Ftp(), local); }),
                  "FTP Error: \"Interrupted\"")
            << c.Name;
      }
      EXPECT_LT(TClock::now() - start, kPrompt) << c.Name;
      EXPECT_EQ(ReadFile(local), "old") << c.Name;
      EXPECT_THAT(Dir.Entries(), ElementsAre("file")) << c.Name;
      // The final reply could not be awaited, so the connection is given up, not reused.
      EXPECT_FALSE(Ftp().Connected) << c.Name;
      Finish();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors) << c.Name;
  }
}

TEST_P(FtpTransferTest, ProgressReceiverErrorLeavesTransferAndConnectionUsable) {
  Start([](TFaultSession& s) {
    s.Login();
    OpenData(s, "RETR file");
    s.SendData(std::string(5000, 'x'));
    s.WaitForDataClose();
    s.Send("426 Transfer aborted\r\n");
    AnswerPwd(s);
  });
  Ftp().OnProgress = [](TFtpSocket&, std::int64_t) { throw std::runtime_error("stop"); };
  const std::string local = Dir.File("file");
  EXPECT_EQ(MessageOf<std::runtime_error>([&] { Ftp().Retrieve(local, "file"); }), "stop");
  EXPECT_THAT(Dir.Entries(), IsEmpty());
  EXPECT_EQ(Ftp().CurrentDir(), "/");
}

// A server that answers PASV with `pasv_reply` (made from its real PASV reply) and sends "data"
// for RETR f.
std::unique_ptr<TFaultServer> PassiveRetrieveServer(
    std::function<std::string(const std::string&)> pasv_reply) {
  return std::make_unique<TFaultServer>([pasv_reply](TFaultSession& s) {
    s.Login();
    s.Expect("PASV", pasv_reply(s.OpenPassive(true)));
    s.Expect("RETR f", "150 Go");
    s.AcceptData();
    s.SendData("data");
    s.CloseData();
    s.Send("226 Done\r\n");
    s.WaitForControlClose();
  });
}

// Retrieves f in passive mode; returns what arrived. `info` receives the connection's info lines.
std::string RetrievePassively(TFaultServer& server, std::vector<std::string>* info = nullptr) {
  TScratchDir dir;
  auto logger = std::make_unique<TRecordingLogger>();
  TRecordingLogger* log = logger.get();
  TFtpSocket ftp(std::move(logger));
  ftp.SetPeer(server.HostAndPort());
  ftp.Connect("");
  ftp.SetPassive(true);
  ftp.Retrieve(dir.File("f"), "f");
  if (info != nullptr)
    *info = log->LinesAt(llInfo);
  return ReadFile(dir.File("f"));
}

TEST(FtpPassiveTest, PassiveReplyWithBlanksGivesAddressAndPort) {
  auto server = PassiveRetrieveServer([](const std::string& reply) { return reply; });
  EXPECT_EQ(RetrievePassively(*server), "data");
}

TEST(FtpPassiveTest, DataConnectionGoesToTheControlConnectionsHost) {
  // The server names another address (here another loopback address where nothing listens);
  // the client connects to the server it is talking to instead.
  auto server = PassiveRetrieveServer([](std::string reply) {
    const std::size_t at = reply.find("127, 0, 0, 1");
    if (at != std::string::npos)
      reply.replace(at, 12, "127, 0, 0, 2");
    return reply;
  });
  std::vector<std::string> info;
  EXPECT_EQ(RetrievePassively(*server, &info), "data");
  EXPECT_THAT(info, Contains("PASV address 127.0.0.2 replaced by 127.0.0.1"));
}

TEST(FtpPassiveTest, PassiveReplyWithoutAddressRepeatsTheTransferActively) {
  for (const char* reply : {"227 Entering Passive Mode", "502 PASV not implemented"}) {
    TFaultServer server([&](TFaultSession& s) {
      s.Login();
      s.Expect("PASV", reply);
      OpenData(s, "RETR f");
      s.SendData("active data");
      s.CloseData();
      s.Send("226 Done\r\n");
      s.WaitForControlClose();
    });
    TScratchDir dir;
    TFtpSocket ftp;
    ftp.SetPeer(server.HostAndPort());
    ftp.Connect("");
    ftp.SetPassive(true);
    ftp.Retrieve(dir.File("f"), "f");
    EXPECT_EQ(ReadFile(dir.File("f")), "active data") << reply;
    EXPECT_FALSE(ftp.Passive);
    ftp.Close();
    server.WaitForScripts();
    EXPECT_THAT(server.Errors(), IsEmpty()) << reply;
  }
}

TEST(FtpActiveTest, ServerThatNeverConnectsIsGivenUpInTime) {
  struct TCase {
    const char* Name;
    const char* Reply;  // sent right after 150, or nothing
    const char* Message;
    bool StaysConnected;
  };
  const TCase cases[] = {
      {"server reports the failure", "425 Can't open data connection",
       "FTP Error: \"425 Can't open data connection\"", true},
      {"server stays silent", nullptr, "WSAETIMEDOUT: Connection timed out", false},
  };
  for (const auto& c : cases) {
    const int descriptors = OpenDescriptors();
    {
      TFaultServer server([&](TFaultSession& s) {
        s.Login();
        s.Answer("200 PORT command successful");
        s.Expect("RETR f", "150 Opening data connection");
        if (c.Reply)
          s.Send(std::string(c.Reply) + "\r\n");
        AnswerPwd(s);
      });
      TScratchDir dir;
      WriteFile(dir.File("f"), "old");
      TFtpSocket ftp;
      ftp.AcceptTimeout = std::chrono::milliseconds(200);
      ftp.ReplyDrainTimeout = std::chrono::milliseconds(200);
      ftp.SetPeer(server.HostAndPort());
      ftp.Connect("");
      const auto start = TClock::now();
      EXPECT_EQ(MessageOf<ESocketsError>([&] { ftp.Retrieve(dir.File("f"), "f"); }), c.Message)
          << c.Name;
      EXPECT_LT(TClock::now() - start, kPrompt);
      EXPECT_EQ(ReadFile(dir.File("f")), "old");
      EXPECT_THAT(dir.Entries(), ElementsAre("f"));
      EXPECT_EQ(ftp.Connected, c.StaysConnected) << c.Name;
      if (c.StaysConnected) {
        EXPECT_EQ(ftp.CurrentDir(), "/");
      }
      ftp.Close();
      server.WaitForScripts();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors) << c.Name;
  }
}

}  // namespace
}  // namespace quillmar
