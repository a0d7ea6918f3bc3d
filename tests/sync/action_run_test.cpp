// The run over a scripted server: what each action sends and does locally, the scope of a
// run, its closing message, and the failures that must touch nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "settings/home_profile.h"
#include "settings/profile.h"
#include "support/fault_server.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "sync/engine.h"
#include "sync/file_node.h"
#include "util/date_time.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// A small FTP server in memory on top of the fault server: passive transfers only. Commands
// named in Refuse (as "VERB" or "VERB argument") get a 5xx reply.
class TTinyFtp {
 public:
  TTinyFtp() : server_([this](TFaultSession& session) { Serve(session); }) {}

  void AddFile(const std::string& path, const std::string& content) {
    std::lock_guard lock(mutex_);
    files_[path] = content;
  }
  void Refuse(const std::string& command) {
    std::lock_guard lock(mutex_);
    refused_.insert(command);
  }
  // RETR of this path sends half the file and then resets the data connection.
  void CutDownload(const std::string& path) {
    std::lock_guard lock(mutex_);
    cut_.insert(path);
  }
  std::string Stored(const std::string& path) {
    std::lock_guard lock(mutex_);
    return files_.count(path) ? files_[path] : std::string("<missing>");
  }
  // Every command of every session, after the sessions have ended.
  std::vector<std::string> Commands() {
    server_.WaitForScripts();
    return server_.Commands();
  }
  int Sessions() const { return server_.Sessions(); }
  std::string HostAndPort() const { return server_.HostAndPort(); }

 private:
  bool Refused(const std::string& verb, const std::string& command) {
    std::lock_guard lock(mutex_);
    return refused_.count(verb) > 0 || refused_.count(command) > 0;
  }

  void Serve(TFaultSession& session) {
    session.Send("220 Tiny ready\r\n");
    while (std::optional<std::string> command = session.ReadCommand()) {
      const std::string verb = command->substr(0, command->find(' '));
      const std::string arg =
          command->find(' ') == std::string::npos ? "" : command->substr(command->find(' ') + 1);
      if (Refused(verb, *command)) {
        session.Send(verb == "PASS" ? "530 Login incorrect.\r\n" : "550 Refused.\r\n");
        continue;
      }
      if (verb == "QUIT") {
        session.Send("221 Bye\r\n");
        return;
      }
      Reply(session, verb, arg);
    }
  }

  void Reply(TFaultSession& session, const std::string& verb, const std::string& arg) {
    static const std::map<std::string, std::string> kSimple = {{"USER", "331 Password please."},
                                                               {"PASS", "230 Logged in."},
                                                               {"TYPE", "200 Type set."},
                                                               {"MKD", "257 Created."},
                                                               {"DELE", "250 Deleted."},
                                                               {"CWD", "250 OK."},
                                                               {"PWD", "257 \"/\""}};
    if (const auto it = kSimple.find(verb); it != kSimple.end()) {
      session.Send(it->second + "\r\n");
    } else if (verb == "PASV") {
      session.Send(session.OpenPassive() + "\r\n");
    } else if (verb == "STOR") {
      session.Send("150 Go ahead.\r\n");
      session.AcceptData();
      const std::string data = session.ReceiveData();
      AddFile(arg, data);
      session.Send("226 Stored.\r\n");
    } else if (verb == "RETR") {
      Retrieve(session, arg);
    } else {
      session.Send("502 Not here.\r\n");
    }
  }

  void Retrieve(TFaultSession& session, const std::string& path) {
    std::string content;
    bool cut = false;
    {
      std::lock_guard lock(mutex_);
      if (!files_.count(path)) {
        session.Send("550 No such file.\r\n");
        return;
      }
      content = files_[path];
      cut = cut_.count(path) > 0;
    }
    session.Send("150 Sending.\r\n");
    session.AcceptData();
    if (cut) {
      session.SendData(content.substr(0, content.size() / 2));
      session.ResetData();
      session.Send("426 Connection reset.\r\n");
      return;
    }
    session.SendData(content);
    session.CloseData();
    session.Send("226 Sent.\r\n");
  }

  std::mutex mutex_;
  std::map<std::string, std::string> files_;
  std::set<std::string> refused_;
  std::set<std::string> cut_;
  TFaultServer server_;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::int64_t ModificationTime(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : -1;
}

// 2024-03-09 at the given time; even seconds, which the two-second file dates keep.
TDateTime RemoteTime(int hour, int minute) {
  return EncodeDate(2024, 3, 9) + EncodeTime(hour, minute, 40, 0);
}

class ActionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto profile = std::make_unique<THomeProfile>("", ini_);
    profile->Name = "Site";
    profile->FtpServer = server_.HostAndPort();
    profile->UserName = "user";
    profile->Password = "secret";
    profile->LocalRoot = Local().string();
    profile->PasvMode = true;
    profile_ = profile.get();
    engine_.SetProfile(std::move(profile));
    engine_.FileList.LocalRoot = Local().string() + "/";
    engine_.FileList.RemoteRoot = "/";
  }

  void TearDown() override {
    if (HasFailure())
      std::cout << "--- log\n" << host_.LogText();
  }

  fs::path Local() const { return local_.path(); }

  // An entry whose sides exist as given, with that action.
  TFileNode* Add(const std::string& rel_dir, const std::string& name, TFileAction action,
                 std::int64_t local_size, std::int64_t remote_size, TDateTime remote_date = 0) {
    auto node = std::make_unique<TFileNode>();
    node->RelDir = rel_dir;
    node->Name = name;
    node->LocalSize = local_size;
    node->LocalDate = local_size > 0 ? RemoteTime(9, 0) : 0;
    node->RemoteSize = remote_size;
    node->RemoteDate = remote_date > 0 ? remote_date : (remote_size > 0 ? RemoteTime(9, 0) : 0);
    node->RemoteName = node->RemoteDate > 0 ? name : "";
    node->HasTime = true;
    node->Action = action;
    return engine_.FileList.Append(std::move(node));
  }
  // A local file and its entry for an upload.
  TFileNode* AddUpload(const std::string& rel_dir, const std::string& name,
                       const std::string& content) {
    WriteFile(Local() / (rel_dir + name), content);
    return Add(rel_dir, name, faPump, static_cast<std::int64_t>(content.size()), 0);
  }

  std::vector<std::string> Results() const {
    std::vector<std::string> results;
    for (const TFileNode* node : engine_.FileList.FileNodes())
      results.push_back(node->ResultText);
    return results;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& box : host_.Boxes)
      texts.push_back(box.Text);
    return texts;
  }
  std::vector<std::string> CommandsStarting(const std::string& verb) {
    std::vector<std::string> found;
    for (const std::string& command : server_.Commands()) {
      if (command.rfind(verb + " ", 0) == 0)
        found.push_back(command);
    }
    return found;
  }

  TTempDir config_{"quillmar-config"};
  TProfile ini_{(config_.path() / "Quillmar.ini").string()};
  TTempDir local_{"quillmar-local"};
  TTinyFtp server_;
  TRecordingHost host_;
  TSyncEngine engine_{host_};
  THomeProfile* profile_ = nullptr;
};

TEST_F(ActionRunTest, OnlyPumpWithOnlyDownloadsHasNothingToDoWhileStartRunsThem) {
  server_.AddFile("/news.txt", "fresh news");
  Add("", "news.txt", faSuck, 0, 10);

  engine_.ExecuteActions(faPump, true);
  EXPECT_THAT(BoxTexts(), ElementsAre("Es gibt nichts zu tun."));
  EXPECT_TRUE(engine_.LastRun.NothingToDo);
  EXPECT_EQ(server_.Sessions(), 0);
  EXPECT_THAT(host_.CommandStates, Not(Contains(true))) << "Busy never set";

  engine_.ExecuteActions(faNoAction, true);
  EXPECT_EQ(ReadFile(Local() / "news.txt"), "fresh news");
  EXPECT_THAT(Results(), ElementsAre("OK"));
  EXPECT_EQ(BoxTexts().back(), "Übertragung erfolgreich");
}

TEST_F(ActionRunTest, LocalDeletionsAndTimeSyncsNeedNoConnection) {
  WriteFile(Local() / "old.txt", "old");
  WriteFile(Local() / "sub/page.html", "<p>");
  Add("", "old.txt", faDelLocal, 3, 0);
  Add("sub/", "page.html", faTimeSync, 3, 3, RemoteTime(10, 15));

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_EQ(server_.Sessions(), 0);
  EXPECT_THAT(Results(), ElementsAre("OK", "OK"));
  EXPECT_FALSE(fs::exists(Local() / "old.txt"));
  EXPECT_EQ(ModificationTime(Local() / "sub/page.html"), LocalDateTimeToUnix(RemoteTime(10, 15)));
  const std::string root = Local().string() + "/";
  EXPECT_TRUE(host_.HasLogLine(llInfo, "Delete " + root + "old.txt"));
  EXPECT_TRUE(
      host_.HasLogLine(llInfo, "TimeSync " + root + "sub/page.html to 2024-03-09 10:15:40"));
  EXPECT_EQ(host_.LogSinksCreated, 1) << "the run logger exists also without a connection";
  EXPECT_THAT(BoxTexts(), ElementsAre("Übertragung erfolgreich"));
}

TEST_F(ActionRunTest, EachRemoteDirectoryIsMadeOncePerRun) {
  AddUpload("a/b/", "one.txt", "1");
  AddUpload("a/b/", "two.txt", "22");
  Add("", "index.html", faNoAction, 5, 5);

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("MKD"), ElementsAre("MKD /a", "MKD /a/b"));
  EXPECT_THAT(CommandsStarting("STOR"), ElementsAre("STOR /a/b/one.txt", "STOR /a/b/two.txt"));
  EXPECT_EQ(server_.Stored("/a/b/two.txt"), "22");
  EXPECT_THAT(Results(), ElementsAre("OK", "OK", ""));
  EXPECT_THAT(host_.FittedResultRows, ElementsAre(0, 1, 2));
}

TEST_F(ActionRunTest, RefusedDirectoryIsTriedAgainByTheNextFile) {
  server_.Refuse("MKD /a");
  AddUpload("a/", "one.txt", "1");
  AddUpload("a/", "two.txt", "2");

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("MKD"), ElementsAre("MKD /a", "MKD /a"));
  EXPECT_THAT(Results(), ElementsAre("OK", "OK")) << "a refused MKD is no error of the file";
}

TEST_F(ActionRunTest, LowercaseUploadsUnderLowerCaseNames) {
  profile_->Lowercase = true;
  engine_.FileList.RemoteRoot = "/Web/";
  TFileNode* node = AddUpload("Images/", "Logo.GIF", "GIF89a");

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("MKD"), ElementsAre("MKD /web/images"));
  EXPECT_THAT(CommandsStarting("STOR"), ElementsAre("STOR /web/images/logo.gif"));
  EXPECT_EQ(node->RemoteName, "logo.gif");
  EXPECT_EQ(node->Name, "Logo.GIF");
  EXPECT_EQ(node->ResultText, "OK");
}

TEST_F(ActionRunTest, UploadReplacesTheServersCopyUnderItsSpelling) {
  TFileNode* node = AddUpload("img/", "Logo.PNG", "new");
  node->RemoteName = "logo.png";
  node->RemoteSize = 3;
  node->RemoteDate = RemoteTime(8, 0);

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("STOR"), ElementsAre("STOR /img/logo.png"));
  EXPECT_EQ(node->RemoteName, "logo.png");
  EXPECT_EQ(node->ResultText, "OK");
}

TEST_F(ActionRunTest, DownloadCreatesMissingDirectoriesAndTakesTheRemoteDate) {
  server_.AddFile("/docs/2024/report.pdf", "%PDF-1.7");
  Add("docs/2024/", "report.pdf", faSuck, 0, 8, RemoteTime(8, 30));

  engine_.ExecuteActions(faSuck, true);

  const fs::path file = Local() / "docs/2024/report.pdf";
  EXPECT_EQ(ReadFile(file), "%PDF-1.7");
  EXPECT_EQ(ModificationTime(file), LocalDateTimeToUnix(RemoteTime(8, 30)));
  EXPECT_THAT(Results(), ElementsAre("OK"));
}

TEST_F(ActionRunTest, DownloadAsksForTheServersSpellingOfTheName) {
  server_.AddFile("/README.TXT", "read me");
  TFileNode* node = Add("", "readme.txt", faSuck, 3, 7, RemoteTime(11, 0));
  node->RemoteName = "README.TXT";
  WriteFile(Local() / "readme.txt", "old");

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("RETR"), ElementsAre("RETR /README.TXT"));
  EXPECT_EQ(ReadFile(Local() / "readme.txt"), "read me");
  EXPECT_EQ(node->ResultText, "OK");
}

TEST_F(ActionRunTest, RemoteDeletionUsesTheRemoteName) {
  TFileNode* node = Add("old/", "gone.htm", faDelRemote, 0, 4);
  node->RemoteName = "Gone.HTM";

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(CommandsStarting("DELE"), ElementsAre("DELE /old/Gone.HTM"));
  EXPECT_EQ(node->ResultText, "OK");
}

TEST_F(ActionRunTest, FailedDownloadLeavesTheOldFileAlone) {
  const std::string fresh(64 * 1024, 'n');
  server_.AddFile("/data.bin", fresh);
  server_.CutDownload("/data.bin");
  WriteFile(Local() / "data.bin", "the old content");
  server_.AddFile("/next.txt", "next");
  Add("", "data.bin", faSuck, 15, static_cast<std::int64_t>(fresh.size()), RemoteTime(12, 0));
  Add("", "next.txt", faSuck, 0, 4);

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_EQ(ReadFile(Local() / "data.bin"), "the old content");
  const std::vector<std::string> results = Results();
  EXPECT_THAT(results[0], Not(IsEmpty()));
  EXPECT_NE(results[0], "OK");
  EXPECT_EQ(results[1], "OK") << "the run goes on after a failed entry";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Local()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_THAT(names, ElementsAre("data.bin", "next.txt")) << "no temporary file left behind";
  EXPECT_THAT(BoxTexts(), ElementsAre("Übertragung mit 1 Fehler abgeschlossen."));
}

// A login that fails, and a transfer type the server refuses, end the run the same way: one
// box, no entry touched, Busy cleared, the progress box idle again.
TEST_F(ActionRunTest, ConnectionFailuresEndTheRunBeforeAnyEntry) {
  for (const std::string refused : {"PASS", "TYPE I"}) {
    SCOPED_TRACE(refused);
    TTinyFtp server;
    server.Refuse(refused);
    server.AddFile("/a.txt", "aaa");
    profile_->FtpServer = server.HostAndPort();
    engine_.FileList.Clear();
    engine_.FileList.LocalRoot = Local().string() + "/";
    engine_.FileList.RemoteRoot = "/";
    host_.Boxes.clear();
    host_.Progress.clear();
    Add("", "a.txt", faSuck, 0, 3);

    engine_.ExecuteActions(faNoAction, true);

    ASSERT_EQ(host_.Boxes.size(), 1u);
    EXPECT_THAT(host_.Boxes[0].Text, StartsWith("Verbindungs-Fehler: FTP Error: \"5"));
    EXPECT_EQ(host_.Boxes[0].Flags, 64);
    EXPECT_TRUE(engine_.LastRun.ConnectFailed);
    EXPECT_FALSE(engine_.Busy());
    EXPECT_FALSE(host_.CommandStates.back());
    EXPECT_EQ(engine_.Counters.TotalBytes, 0);
    ASSERT_FALSE(host_.Progress.empty());
    EXPECT_EQ(host_.Progress.back().BytesTransferred, "---");
    EXPECT_THAT(Results(), ElementsAre(""));
    EXPECT_FALSE(fs::exists(Local() / "a.txt"));
    EXPECT_THAT(server.Commands(), Not(Contains(HasSubstr("RETR"))));
    EXPECT_EQ(engine_.FtpConnection(), nullptr);
  }
}

// The closing message by the number of failed entries; time syncs of missing files fail
// without a server.
TEST_F(ActionRunTest, ClosingMessageCountsTheFailures) {
  struct TCase {
    int failures;
    bool report_success;
    std::vector<std::string> boxes;
    int beeps;
  };
  const TCase cases[] = {
      {0, true, {"Übertragung erfolgreich"}, 0},
      {0, false, {}, 1},
      {1, true, {"Übertragung mit 1 Fehler abgeschlossen."}, 0},
      {1, false, {"Übertragung mit 1 Fehler abgeschlossen."}, 0},
      {3, false, {"Übertragung mit 3 Fehlern abgeschlossen."}, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.failures) + (c.report_success ? " report" : " automatic"));
    engine_.FileList.Clear();
    engine_.FileList.LocalRoot = Local().string() + "/";
    host_.Boxes.clear();
    host_.Beeps = 0;
    host_.Titles.clear();
    WriteFile(Local() / "present.txt", "x");
    Add("", "present.txt", faTimeSync, 1, 1, RemoteTime(7, 0));
    for (int i = 0; i < c.failures; ++i)
      Add("", "deleted" + std::to_string(i) + ".txt", faTimeSync, 1, 1, RemoteTime(7, 0));

    engine_.ExecuteActions(faNoAction, c.report_success);

    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(host_.Beeps, c.beeps);
    EXPECT_EQ(engine_.LastRun.ErrorCount, c.failures);
    EXPECT_EQ(engine_.FileList.FirstNode()->ResultText, "OK");
    if (c.failures > 0) {
      EXPECT_EQ(engine_.FileList.LastNode()->ResultText, "Datei existiert nicht");
    }
    ASSERT_FALSE(host_.Titles.empty());
    EXPECT_EQ(host_.Titles.back(), "Quillmar 1.1.4");
  }
}

TEST_F(ActionRunTest, CancelledPasswordPromptChangesNothing) {
  profile_->Password.clear();
  Add("", "a.txt", faSuck, 0, 3)->ResultText = "OK";

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(host_.PasswordPrompts, ElementsAre("Site"));
  EXPECT_THAT(host_.Boxes, IsEmpty());
  EXPECT_THAT(Results(), ElementsAre("OK")) << "the last run's results stay";
  EXPECT_EQ(server_.Sessions(), 0);
}

// Names that would lead out of the roots are refused, whatever put them into the list; the
// files they point at stay.
TEST_F(ActionRunTest, NamesLeadingOutOfTheRootAreRefused) {
  const fs::path outside = Local().parent_path() / (Local().filename().string() + "-outside.txt");
  WriteFile(outside, "keep me");
  const std::string escape = "../" + Local().filename().string() + "-outside.txt";
  Add("", escape, faDelLocal, 7, 0);
  Add("../", Local().filename().string() + "-outside.txt", faDelLocal, 7, 0);
  Add("./", "x.txt", faTimeSync, 1, 1);

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_EQ(ReadFile(outside), "keep me");
  fs::remove(outside);
  for (const std::string& result : Results())
    EXPECT_THAT(result, StartsWith("Ungültiger Dateiname: "));
  EXPECT_EQ(engine_.LastRun.ErrorCount, 3);
}

TEST_F(ActionRunTest, FailedLocalDeletionIsReportedAndLogged) {
  fs::create_directories(Local() / "folder.txt");
  Add("", "folder.txt", faDelLocal, 1, 0);

  engine_.ExecuteActions(faNoAction, true);

  EXPECT_THAT(Results(), ElementsAre("Löschen fehlgeschlagen"));
  EXPECT_TRUE(fs::is_directory(Local() / "folder.txt"));
  EXPECT_TRUE(
      host_.HasLogLine(llError, "Löschen fehlgeschlagen: " + Local().string() + "/folder.txt"));
}

}  // namespace
}  // namespace quillmar::testing
