// The control connection against the fault server: login, commands, their replies and errors.
#include "ftp/ftp_socket.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ftp/channel_errors.h"
#include "socket_test_support.h"
#include "support/fault_server.h"

namespace quillmar {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::TFaultServer;
using testing::TFaultSession;

// A control connection to a fault server, not yet connected.
struct TFtpClient : TLoggedSocket<TFtpSocket> {
  explicit TFtpClient(const TFaultServer& server) {
    Socket->SetPeer(server.HostAndPort());
    Socket->User = "user";
    Socket->Password = "secret";
  }
  TFtpSocket& operator*() { return *Socket; }
  TFtpSocket* operator->() { return Socket.get(); }
};

// Logs in, then answers the expected commands in order.
TFaultServer::TScript Dialogue(std::vector<std::pair<std::string, std::string>> steps) {
  return [steps = std::move(steps)](TFaultSession& session) {
    session.Login();
    for (const auto& [command, reply] : steps)
      session.Expect(command, reply);
    session.WaitForControlClose();
  };
}

TEST(FtpLoginTest, LogsInWithoutEverLoggingThePassword) {
  TFaultServer server(Dialogue({}));
  TFtpClient client(server);
  client->Connect("");
  EXPECT_TRUE(client->Connected);
  EXPECT_THAT(server.Commands(), ElementsAre("USER user", "PASS secret"));
  EXPECT_THAT(client.Log->LinesAt(llSent), ElementsAre("USER user^M^J", "PASS <password>^M^J"));
  for (const auto& line : client.Log->Lines())
    EXPECT_THAT(line, Not(HasSubstr("secret")));
  EXPECT_THAT(server.Errors(), IsEmpty());
}

TEST(FtpLoginTest, ConnectArgumentNamesHostUserAndPassword) {
  TFaultServer server(Dialogue({}));
  TFtpSocket client;
  client.Connect(server.HostAndPort() + ",anna,pw");
  EXPECT_EQ(client.PeerHost, "127.0.0.1");
  EXPECT_EQ(client.Port, server.Port());
  EXPECT_THAT(server.Commands(), ElementsAre("USER anna", "PASS pw"));
}

TEST(FtpLoginTest, RepliesDuringLogin) {
  struct TCase {
    const char* Name;
    std::function<void(TFaultSession&)> Script;
    const char* Error;  // nullptr: logged in
    std::vector<std::string> Commands;
  };
  const TCase cases[] = {
      {"three-line greeting, byte by byte",
       [](TFaultSession& s) {
         s.SendBytewise("220-Welcome\r\n220-to the\r\n220 fault server\r\n");
         s.Answer("331 Password");
         s.Answer("230 Logged in");
       },
       nullptr,
       {"USER user", "PASS secret"}},
      {"USER answered with 230 needs no password",
       [](TFaultSession& s) {
         s.Send("220 Ready\r\n");
         s.Answer("230 Welcome back");
       },
       nullptr,
       {"USER user"}},
      {"PASS answered with 332",
       [](TFaultSession& s) {
         s.Send("220 Ready\r\n");
         s.Answer("331 Password");
         s.Answer("332 Need account for login.");
       },
       "FTP Error: \"332 Need account for login.\"",
       {"USER user", "PASS secret"}},
      {"USER refused",
       [](TFaultSession& s) {
         s.Send("220 Ready\r\n");
         s.Answer("530 Not for you");
       },
       "FTP Error: \"530 Not for you\"",
       {"USER user"}},
      {"greeting refused",
       [](TFaultSession& s) { s.Send("421-Too many users\r\n421 Try later\r\n"); },
       "FTP Error: \"421-Too many users\r\n421 Try later\"",
       {}},
      {"closed during login",
       [](TFaultSession& s) {
         s.Send("220 Ready\r\n");
         s.NextCommand();
         s.CloseControl();
       },
       "FTP Error: \"Connection closed by peer\"",
       {"USER user"}},
  };
  for (const auto& c : cases) {
    TFaultServer server([&](TFaultSession& s) {
      c.Script(s);
      s.WaitForControlClose();
    });
    TFtpClient client(server);
    if (c.Error) {
      EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { client->Connect(""); }), c.Error) << c.Name;
      // Reply errors are not logged as errors: the reply is in the log already.
      EXPECT_THAT(client.Log->LinesAt(llError), IsEmpty()) << c.Name;
    } else {
      client->Connect("");
    }
    EXPECT_EQ(server.Commands(), c.Commands) << c.Name;
  }
}

TEST(FtpLoginTest, LineBreakInUserOrPasswordIsRefusedBeforeConnecting) {
  TFaultServer server(Dialogue({}));
  TFtpClient client(server);
  client->User = "anna\r\nDELE x";
  EXPECT_EQ(MessageOf<ESocketsError>([&] { client->Connect(""); }),
            "Ungültiger Name mit Zeilenumbruch: anna^M^JDELE x");
  client->User = "anna";
  client->Password = "pw\nDELE x";
  EXPECT_EQ(MessageOf<ESocketsError>([&] { client->Connect(""); }),
            "Ungültiges Passwort mit Zeilenumbruch");
  EXPECT_FALSE(client->HasHandle());
  EXPECT_THAT(client.Log->LinesAt(llSent), IsEmpty());
}

TEST(FtpCommandTest, CommandsOnTheWireAndTheirResults) {
  TFaultServer server(Dialogue({
      {"PWD", "257 \"/www/htdocs\" is current"},
      {"CDUP", "250 Up"},
      {"CWD /a b", "250 In"},
      {"MKD /new/dir", "257 Made"},
      {"DELE old.txt", "250 Gone"},
      {"TYPE I", "200 Binary"},
      {"TYPE A", "200 Ascii"},
      {"QUIT", "221 Bye"},
  }));
  TFtpClient client(server);
  client->Connect("");
  EXPECT_EQ(client->CurrentDir(), "/www/htdocs");
  client->ChangeDir("..");
  client->ChangeDir("/a b");
  client->MakeDir("/new/dir//");
  client->DeleteFile("old.txt");
  client->SetTransferType(ttAscii);  // the server's initial type: nothing sent
  client->SetTransferType(ttBinary);
  client->SetTransferType(ttBinary);
  EXPECT_EQ(client->TransferType, ttBinary);
  client->SetTransferType(ttAscii);
  client->Quit();
  EXPECT_THAT(server.Errors(), IsEmpty());
  EXPECT_EQ(server.Commands().size(), 10u);
}

TEST(FtpCommandTest, ErrorRepliesRaiseAndLeaveTheConnectionUsable) {
  const std::pair<const char*, std::function<void(TFtpSocket&)>> cases[] = {
      {"PWD", [](TFtpSocket& f) { f.CurrentDir(); }},
      {"CDUP", [](TFtpSocket& f) { f.ChangeDir(".."); }},
      {"CWD /x", [](TFtpSocket& f) { f.ChangeDir("/x"); }},
      {"MKD /x", [](TFtpSocket& f) { f.MakeDir("/x/"); }},
      {"DELE x", [](TFtpSocket& f) { f.DeleteFile("x"); }},
      {"TYPE I", [](TFtpSocket& f) { f.SetTransferType(ttBinary); }},
  };
  for (const char* code : {"450", "550"}) {
    std::vector<std::pair<std::string, std::string>> steps;
    for (const auto& [command, call] : cases)
      steps.emplace_back(command, std::string(code) + " Refused");
    steps.emplace_back("PWD", "257 \"/\"");
    TFaultServer server(Dialogue(steps));
    TFtpClient client(server);
    client->Connect("");
    for (const auto& [command, call] : cases) {
      EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { call(*client); }),
                std::string("FTP Error: \"") + code + " Refused\"")
          << command;
    }
    EXPECT_EQ(client->TransferType, ttAscii);
    EXPECT_EQ(client->CurrentDir(), "/");
    EXPECT_THAT(server.Errors(), IsEmpty());
  }
}

TEST(FtpCommandTest, ServerClosingOrCancelWhileAReplyIsAwaited) {
  TFaultServer server([](TFaultSession& s) {
    s.Login();
    s.NextCommand();  // the cancelled PWD gets no reply
    s.NextCommand();
    s.CloseControl();
  });
  TFtpClient client(server);
  client->Connect("");
  {
    TScopedHook hook([] { WSACancelBlockingCall(); });
    EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { client->CurrentDir(); }),
              "FTP Error: \"Interrupted\"");
  }
  EXPECT_EQ(MessageOf<EUnexpectedReply>([&] { client->DeleteFile("x"); }),
            "FTP Error: \"Connection closed by peer\"");
  EXPECT_FALSE(client->Connected);
}

TEST(FtpCommandTest, NameWithLineBreakIsRefusedBeforeAnythingIsSent) {
  const std::pair<const char*, std::function<void(TFtpSocket&)>> cases[] = {
      {"a^M^JDELE b", [](TFtpSocket& f) { f.ChangeDir("a\r\nDELE b"); }},
      {"a^JDELE b", [](TFtpSocket& f) { f.MakeDir("a\nDELE b"); }},
      {"a^M", [](TFtpSocket& f) { f.DeleteFile("a\r"); }},
      {"a^Jb", [](TFtpSocket& f) { f.Retrieve("/tmp/never-written", "a\nb"); }},
      {"a^Jb", [](TFtpSocket& f) { f.StoreText("a\nb", "text"); }},
      {"a^Jb", [](TFtpSocket& f) { f.List("a\nb", ""); }},
      {"LIST x^M^JDELE y",
       [](TFtpSocket& f) { f.Transfer("LIST x\r\nDELE y", "", xmReceiveString); }},
  };
  TFaultServer server(Dialogue({}));
  TFtpClient client(server);
  client->Connect("");
  client->SetPassive(true);
  for (const auto& [shown, call] : cases) {
    const std::string message = "Ungültiger Name mit Zeilenumbruch: " + std::string(shown);
    EXPECT_EQ(MessageOf<ESocketsError>([&] { call(*client); }), message);
    EXPECT_THAT(client.Log->LinesAt(llError), Contains(message));
  }
  EXPECT_THAT(server.Commands(), ElementsAre("USER user", "PASS secret"));
  EXPECT_TRUE(client->Connected);
}

}  // namespace
}  // namespace quillmar
