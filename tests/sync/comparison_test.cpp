// The comparison from the command to the filled grid, on a recording host and a scripted site.
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "engine_fixture.h"
#include "scripted_site.h"
#include "settings/profile_store.h"
#include "sync/file_node_builder.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

constexpr const char* kIncomplete =
    "Dem aktuellen Profil fehlen wichtige Angaben. Bitte pr\u00FCfen Sie die "
    "Profil-Einstellungen.";
constexpr const char* kConnectFailed =
    "Kann Verbindung zum FTP-Server nicht aufbauen.\r\n\r\nMeldung: ";

std::string Entry(const std::string& name, int size, const std::string& date = "Mar  4  2023") {
  return "-rw-r--r--   1 web  users " + std::to_string(size) + " " + date + " " + name + "\r\n";
}

// Whether `lines` holds `wanted` in this order, with anything between.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
  auto it = lines.begin();
  for (const std::string& line : wanted) {
    it = std::find(it, lines.end(), line);
    if (it == lines.end())
      return false;
    ++it;
  }
  return true;
}

class ComparisonTest : public EngineTest {
 protected:
  ComparisonTest() { Profile().ListType = kListTypeFast; }

  // The site serves `listing` for the remote root; the profile points at it.
  void Serve(const std::string& listing) {
    site.Listings["LIST -laR /htdocs/"] = listing;
    site.Start();
    Profile().FtpServer = site.HostAndPort();
  }
  std::vector<std::string> SiteCommands() {
    site.Stop();
    return site.Commands();
  }
  // A local file of 4 bytes dated on the listing's day, so that it is in step with the entry
  // "Mar  4  2023" of the same size.
  void WriteInStep(const std::string& rel_path) {
    WriteLocal(rel_path, "1234", LocalSeconds(2023, 3, 4, 1, 0, 0));
  }

  TScriptedSite site;
};

TEST_F(ComparisonTest, AnIncompleteProfileOpensTheEditorAndNeverConnects) {
  const std::vector<std::pair<const char*, std::string THomeProfile::*>> fields = {
      {"server", &THomeProfile::FtpServer},
      {"user", &THomeProfile::UserName},
      {"local root", &THomeProfile::LocalRoot}};
  for (const auto& [name, field] : fields) {
    SCOPED_TRACE(name);
    const std::string kept = Profile().*field;
    Profile().*field = "";
    host.Boxes.clear();
    host.EditProfileCalls = 0;
    engine.RunComparison(false);
    ASSERT_EQ(host.Boxes.size(), 1u);
    EXPECT_EQ(host.Boxes[0].Text, kIncomplete);
    EXPECT_EQ(host.Boxes[0].Flags, 48);
    EXPECT_EQ(host.EditProfileCalls, 1);
    Profile().*field = kept;
  }
  EXPECT_EQ(host.LogSinksCreated, 0);
  EXPECT_THAT(host.PasswordPrompts, IsEmpty());
  EXPECT_THAT(host.Fills, IsEmpty());
}

TEST_F(ComparisonTest, CancelledPasswordPromptChangesNothing) {
  Profile().Password = "";
  engine.FileList.Append(MakeNode({.Name = "earlier.txt", .LocalDate = At(9, 0, 0)}));
  const std::size_t statistics = host.Statistics.size();
  engine.RunComparison(false);
  EXPECT_THAT(host.PasswordPrompts, ElementsAre("Testseite"));
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("earlier.txt"));
  EXPECT_EQ(host.Statistics.size(), statistics);
  EXPECT_THAT(host.Boxes, IsEmpty());
  EXPECT_EQ(host.LogSinksCreated, 0);
  EXPECT_EQ(host.Fills.size(), 1u);  // the grid is refilled from the unchanged list
  EXPECT_TRUE(engine.LastComparison.Cancelled);
  EXPECT_EQ(Profile().Password, "");
}

TEST_F(ComparisonTest, PasswordFromThePromptIsUsedAndKeptInMemory) {
  Profile().Password = "";
  host.PasswordAnswers.push_back("secret");
  WriteInStep("a.txt");
  Serve(Entry("a.txt", 4));
  engine.RunComparison(false);
  EXPECT_THAT(SiteCommands(), Contains("PASS secret"));
  EXPECT_EQ(Profile().Password, "secret");
  EXPECT_TRUE(engine.LastComparison.Completed);
}

TEST_F(ComparisonTest, WrongPasswordShowsTheLoginErrorAndLeavesTheGridEmpty) {
  Profile().Password = "wrong";
  WriteInStep("a.txt");
  Serve(Entry("a.txt", 4));
  engine.RunComparison(false);
  ASSERT_EQ(host.Boxes.size(), 1u);
  EXPECT_THAT(host.Boxes[0].Text, StartsWith(kConnectFailed));
  EXPECT_THAT(host.Boxes[0].Text, HasSubstr("530"));
  EXPECT_EQ(host.Boxes[0].Flags, 48);
  EXPECT_EQ(engine.FileList.Count, 0);
  EXPECT_EQ(host.LastStatistics()->Files, "---");
  EXPECT_THAT(host.CommandStates, ElementsAre(false, true, false));
  EXPECT_TRUE(engine.LastComparison.Failed);
  EXPECT_THAT(engine.LastComparison.Error, HasSubstr("530"));
  EXPECT_EQ(engine.FtpConnection(), nullptr);
  ASSERT_EQ(host.Fills.size(), 1u);
}

TEST_F(ComparisonTest, EverythingInStepSaysSoAndSortsByPath) {
  WriteInStep("b.txt");
  WriteInStep("a.txt");
  Serve(Entry("b.txt", 4) + Entry("a.txt", 4));
  engine.LogLocalDirs = true;
  engine.RunComparison(false);
  ASSERT_EQ(host.Boxes.size(), 1u) << host.LogText();
  EXPECT_EQ(host.Boxes[0].Text, "Alle Dateien sind synchron.");
  EXPECT_EQ(host.Boxes[0].Flags, 64);
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("a.txt", "b.txt"));
  EXPECT_EQ(engine.FileList.SortKey, skPath);
  ASSERT_EQ(host.Fills.size(), 1u);
  EXPECT_TRUE(host.Fills[0].AutoSize);
  EXPECT_EQ(host.Fills[0].SortColumn, 2);
  EXPECT_EQ(host.Titles.back(), "Quillmar 1.1.4");
  EXPECT_THAT(host.TimeSlips, ElementsAre("L = R"));
  EXPECT_TRUE(
      InOrder(host.LogLinesAt(llInfo),
              {"Lokale Verzeichnisse werden gelesen", "Lese /", "Verbindungsaufbau zum FTP-Server",
               "Remote-Verzeichnisse werden gelesen", "Listung: Schnell"}))
      << host.LogText();
  // Without a test file name no clock comparison is made.
  EXPECT_THAT(host.LogLines(), Not(Contains("Uhren-Vergleich")));
  const std::vector<std::string> commands = SiteCommands();
  EXPECT_THAT(commands, Not(Contains(StartsWith("STOR"))));
  EXPECT_THAT(commands, Contains("QUIT"));
  EXPECT_EQ(host.Beeps, 0);
  EXPECT_EQ(host.LastStatistics()->Files, "2");
  EXPECT_EQ(host.CurrentFiles.back(), "---");
}

TEST_F(ComparisonTest, AutomaticComparisonInStepOnlyBeeps) {
  WriteInStep("a.txt");
  Serve(Entry("a.txt", 4));
  engine.RunComparison(true);
  EXPECT_THAT(host.Boxes, IsEmpty());
  EXPECT_EQ(host.Beeps, 1);
}

TEST_F(ComparisonTest, AutomaticComparisonWithProposalsGoesStraightOnToTheRun) {
  WriteLocal("new.txt", "neu");
  Serve("");
  engine.RunComparison(true);
  EXPECT_EQ(engine.LastComparison.Actions, 1);
  // No question before the run; its faultless end is only a beep.
  EXPECT_THAT(host.Boxes, IsEmpty()) << host.LogText();
  site.Stop();
  const auto uploads = site.Uploads();
  ASSERT_EQ(uploads.count("/htdocs/new.txt"), 1u) << host.LogText();
  EXPECT_EQ(uploads.at("/htdocs/new.txt"), "neu");
}

TEST_F(ComparisonTest, ProposalsSortByActionDescendingAndMarkTheIconColumn) {
  WriteInStep("same.txt");
  WriteLocal("new.txt", "neu");
  Profile().TestFilename = "timeslip.txt";
  site.Listings["LIST /htdocs/timeslip.txt"] = "";
  Serve(Entry("same.txt", 4) + Entry("only-remote.txt", 9));
  engine.RunComparison(false);
  EXPECT_THAT(host.Boxes, IsEmpty()) << host.LogText();
  EXPECT_EQ(engine.LastComparison.Actions, 2);
  EXPECT_EQ(engine.FileList.SortKey, skAction);
  EXPECT_TRUE(engine.FileList.SortDescending);
  ASSERT_EQ(host.Fills.size(), 1u);
  EXPECT_EQ(host.Fills[0].SortColumn, 1);
  // Suck (2) before pump (1) before no action (0).
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("only-remote.txt", "new.txt", "same.txt"));
  EXPECT_EQ(Find(engine.FileList, "new.txt")->Action, faPump);
  EXPECT_EQ(Find(engine.FileList, "only-remote.txt")->Action, faSuck);
  EXPECT_TRUE(host.HasLogLine(llInfo, "Uhren-Vergleich"));
  EXPECT_EQ(host.LastStatistics()->ActionCount[faPump], "1");
}

TEST_F(ComparisonTest, CancelDuringTheRemoteScanEndsQuietlyWithAnEmptyList) {
  WriteInStep("a.txt");
  Serve(Entry("a.txt", 4) + Entry("b.txt", 4) + Entry("c.txt", 4));
  host.OnProcessMessages = [&] { engine.Cancel(); };
  engine.RunComparison(false);
  EXPECT_THAT(host.Boxes, IsEmpty());
  EXPECT_EQ(engine.FileList.Count, 0);
  EXPECT_EQ(host.LastStatistics()->Files, "---");
  EXPECT_TRUE(engine.LastComparison.Aborted);
  EXPECT_FALSE(engine.LastComparison.Completed);
  EXPECT_FALSE(engine.Busy());
  EXPECT_FALSE(BlockingCancelled());
  EXPECT_THAT(SiteCommands(), Not(Contains("QUIT")));
}

TEST_F(ComparisonTest, ANewComparisonClearsAnEarlierCancel) {
  WriteInStep("a.txt");
  Serve(Entry("a.txt", 4));
  engine.AbortRequested = true;
  WSACancelBlockingCall();
  engine.RunComparison(false);
  EXPECT_TRUE(engine.LastComparison.Completed) << host.LogText();
  EXPECT_EQ(engine.FileList.Count, 1);
}

TEST_F(ComparisonTest, AFailedListingOfTheTestFileOrTheRootIsAConnectionFailure) {
  WriteInStep("a.txt");
  struct TCase {
    const char* Name;
    const char* TestFilename;
    std::map<std::string, std::string> Listings;
  };
  const TCase cases[] = {
      // The clock comparison lists the test file; this site refuses it.
      {"test file", "timeslip.txt", {{"LIST -laR /htdocs/", Entry("a.txt", 4)}}},
      // Nothing of the server known: without the failure every local file would look new.
      {"remote root", "", {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Profile().TestFilename = c.TestFilename;
    site.Listings = c.Listings;
    site.Start();
    Profile().FtpServer = site.HostAndPort();
    host.Boxes.clear();
    engine.RunComparison(false);
    ASSERT_EQ(host.Boxes.size(), 1u);
    EXPECT_THAT(host.Boxes[0].Text, StartsWith(kConnectFailed));
    EXPECT_THAT(host.Boxes[0].Text, HasSubstr("550"));
    EXPECT_EQ(engine.FileList.Count, 0);
    site.Stop();
  }
}

TEST_F(ComparisonTest, NothingIsProposedBelowARemoteDirectoryThatCannotBeListed) {
  Profile().ListType = kListTypeNormal;
  WriteLocal("denied/page.html", "local copy");
  WriteLocal("open/page.html", "local copy");
  site.Listings["LIST -la /htdocs/"] =
      "drwxr-xr-x 2 web users 4096 Mar  4  2023 denied\r\n"
      "drwxr-xr-x 2 web users 4096 Mar  4  2023 open\r\n";
  site.Listings["LIST -la /htdocs/open/"] = "";
  site.Start();
  Profile().FtpServer = site.HostAndPort();
  engine.RunComparison(false);
  ASSERT_TRUE(engine.LastComparison.Completed) << host.LogText();
  // Uploading would overwrite whatever the server keeps there unseen.
  EXPECT_EQ(Find(engine.FileList, "denied/page.html")->Action, faNoAction);
  EXPECT_EQ(Find(engine.FileList, "open/page.html")->Action, faPump);
  EXPECT_TRUE(host.HasLogLineContaining(llError, "/htdocs/denied/"));
}

TEST_F(ComparisonTest, AnUnreadableLocalRootStopsBeforeConnectingAndProposesNothing) {
  Serve(Entry("a.txt", 4) + Entry("b.txt", 4));
  Profile().DeleteRemote = true;
  struct TCase {
    const char* Name;
    fs::path Root;
    const char* Reason;
  };
  WriteLocal("plain-file", "x");
  const TCase cases[] = {
      {"missing", TempPath() / "no-such-dir", "existiert nicht"},
      {"not a directory", LocalRoot() / "plain-file", "kein Verzeichnis"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Profile().LocalRoot = c.Root.string();
    host.Boxes.clear();
    host.CommandStates.clear();
    engine.RunComparison(false);
    ASSERT_EQ(host.Boxes.size(), 1u);
    EXPECT_THAT(host.Boxes[0].Text,
                StartsWith("Das lokale Stammverzeichnis \u201E" + c.Root.string() + "/\u201C"));
    EXPECT_THAT(host.Boxes[0].Text, HasSubstr(c.Reason));
    EXPECT_THAT(host.Boxes[0].Text, HasSubstr("Der Vergleich wurde abgebrochen."));
    EXPECT_EQ(host.Boxes[0].Flags, 48);
    EXPECT_EQ(engine.FileList.Count, 0);
    EXPECT_THAT(host.CommandStates, IsEmpty());  // never busy: no connection phase
    EXPECT_TRUE(engine.LastComparison.Failed);
  }
  EXPECT_THAT(SiteCommands(), IsEmpty());
}

TEST_F(ComparisonTest, NothingIsProposedBelowAnUnreadableLocalDirectory) {
  WriteInStep("open/a.txt");
  WriteInStep("locked/b.txt");
  chmod((LocalRoot() / "locked").c_str(), 0);
  Profile().DeleteRemote = true;
  const std::string listing = "/htdocs/open:\r\n" + Entry("a.txt", 4) + Entry("gone.txt", 4) +
                              "\r\n/htdocs/locked:\r\n" + Entry("b.txt", 4);
  // Permissions do not bind root; the comparison then runs as "nobody" in a child process.
  const auto compare = [&]() -> bool {
    Serve(listing);
    engine.RunComparison(false);
    site.Stop();
    const TFileNode* gone = Find(engine.FileList, "open/gone.txt");
    const TFileNode* locked = Find(engine.FileList, "locked/b.txt");
    return engine.LastComparison.Completed && gone && gone->Action == faDelRemote && locked &&
           locked->Action == faNoAction && host.HasLogLineContaining(llError, "locked/");
  };
  bool ok;
  if (geteuid() != 0) {
    ok = compare();
  } else {
    for (const auto& entry : fs::recursive_directory_iterator(TempPath()))
      chown(entry.path().c_str(), 65534, 65534);
    chown(TempPath().c_str(), 65534, 65534);
    const pid_t child = fork();
    if (child == 0)
      _exit(setgid(65534) == 0 && setuid(65534) == 0 && compare() ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  chmod((LocalRoot() / "locked").c_str(), 0700);
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace quillmar::testing
