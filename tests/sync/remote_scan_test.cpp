// The remote scan against a scripted site: the three listing types, matching, the offset, the
// filters and listings that try to reach outside the local root.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_fixture.h"
#include "engine_probe.h"
#include "ftp/ftp_file.h"
#include "scripted_site.h"
#include "settings/profile_store.h"
#include "sync/file_node_builder.h"

namespace quillmar::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

std::string Entry(const std::string& name, int size = 1, const std::string& date = "Mar  4  2023") {
  return "-rw-r--r--   1 web  users " + std::to_string(size) + " " + date + " " + name + "\r\n";
}
std::string Dir(const std::string& name) {
  return "drwxr-xr-x   2 web  users 4096 Mar  4  2023 " + name + "\r\n";
}

class RemoteScanTest : public EngineTest {
 protected:
  ~RemoteScanTest() override {
    TSyncEngineProbe::EndMatching(engine);
    if (engine.FtpConnection())
      TSyncEngineProbe::Disconnect(engine);
  }

  // Lists the site into the engine's list; `local` are the unmatched local nodes.
  void Scan(std::uint8_t list_type, TDateTime offset = 0) {
    Profile().ListType = list_type;
    site.Start();
    TSyncEngineProbe::Connect(engine, site.HostAndPort());
    TSyncEngineProbe::BeginMatching(engine, local);
    engine.ScanRemoteDir("/htdocs/", "", offset);
    TSyncEngineProbe::EndMatching(engine);
    TSyncEngineProbe::Disconnect(engine);
    site.Stop();
  }
  std::vector<std::string> Lists() const {
    std::vector<std::string> lists;
    for (const std::string& command : site.Commands()) {
      if (command.rfind("LIST", 0) == 0)
        lists.push_back(command);
    }
    return lists;
  }
  void AddLocal(const std::string& rel_dir, const std::string& name) {
    local.Append(
        MakeNode({.RelDir = rel_dir, .Name = name, .LocalSize = 1, .LocalDate = At(9, 0, 0)}));
  }

  TScriptedSite site;
  TFileList local;
};

class RemoteScanPerDirTest : public RemoteScanTest,
                             public ::testing::WithParamInterface<std::uint8_t> {
 protected:
  std::string ListCommand(const std::string& path) const {
    const std::string argument = ListTypeInfo(GetParam()).ListArgument;
    return "LIST " + (argument.empty() ? "" : argument + " ") + path;
  }
};

TEST_P(RemoteScanPerDirTest, ListsEachDirectoryAndMatchesByPathWithoutLetterCase) {
  Profile().IgnoreDirs.Add("/cgi-bin/");
  site.Listings[ListCommand("/htdocs/")] = Dir(".") + Dir("..") + Entry("INDEX.HTML", 7) +
                                           Dir("img") + Dir("cgi-bin") + Entry("remote.txt");
  site.Listings[ListCommand("/htdocs/img/")] = Entry("logo.png", 3);
  AddLocal("", "index.html");
  AddLocal("img/", "Logo.png");
  AddLocal("", "local.txt");

  Scan(GetParam());

  EXPECT_THAT(Lists(), ElementsAre(ListCommand("/htdocs/"), ListCommand("/htdocs/img/")));
  // Remote files in the order met, depth first; the local-only file stays unmatched.
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("index.html", "img/Logo.png", "remote.txt"));
  EXPECT_THAT(Paths(local), ElementsAre("local.txt"));
  const TFileNode* index = Find(engine.FileList, "index.html");
  EXPECT_EQ(index->RemoteName, "INDEX.HTML");
  EXPECT_EQ(index->RemoteSize, 7);
  EXPECT_EQ(index->LocalSize, 1);
  EXPECT_EQ(Find(engine.FileList, "remote.txt")->LocalDate, 0.0);
  const std::string name = ListTypeInfo(GetParam()).Name;
  EXPECT_THAT(host.LogLinesAt(llInfo), Contains("Listung: " + name).Times(2));
  EXPECT_THAT(host.CurrentFiles, ElementsAre("/htdocs/", "/htdocs/img/"));
}

TEST_P(RemoteScanPerDirTest, AFailedListingSkipsOnlyThatDirectoryAndIsLogged) {
  site.Listings[ListCommand("/htdocs/")] = Dir("gone") + Entry("a.txt");
  Scan(GetParam());
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("a.txt"));
  EXPECT_TRUE(host.HasLogLineContaining(llError, "/htdocs/gone/")) << host.LogText();
}

TEST_P(RemoteScanPerDirTest, DirectoryNamesThatLeaveTheirParentAreNotFollowed) {
  site.Listings[ListCommand("/htdocs/")] = Dir("../up") + Dir("ok") + Entry("a.txt");
  site.Listings[ListCommand("/htdocs/ok/")] = Entry("b.txt");
  site.Listings[ListCommand("/htdocs/../up/")] = Entry("evil.txt");
  Scan(GetParam());
  EXPECT_THAT(Lists(), ElementsAre(ListCommand("/htdocs/"), ListCommand("/htdocs/ok/")));
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("ok/b.txt", "a.txt"));
  EXPECT_TRUE(host.HasLogLineContaining(llError, "../up"));
}

TEST_P(RemoteScanPerDirTest, DirectoriesTheLocalScanLeavesOutAreNotListed) {
  // The local scan never reads "_vti_cnf" or ".well-known"; their server copies must not be
  // proposed for download (again and again) or, with DeleteRemote, for deletion.
  site.Listings[ListCommand("/htdocs/")] =
      Dir("_vti_cnf") + Dir(".well-known") + Dir("img") + Entry("a.txt");
  site.Listings[ListCommand("/htdocs/img/")] = Entry("b.png");
  site.Listings[ListCommand("/htdocs/_vti_cnf/")] = Entry("x.htm");
  site.Listings[ListCommand("/htdocs/.well-known/")] = Entry("token");
  Scan(GetParam());
  EXPECT_THAT(Lists(), ElementsAre(ListCommand("/htdocs/"), ListCommand("/htdocs/img/")));
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("img/b.png", "a.txt"));
}

TEST_P(RemoteScanPerDirTest, HiddenDirectoriesAreListedWhenTheProfileKeepsThem) {
  Profile().IgnoreHiddenDirs = false;
  Profile().IgnoreDirStart.clear();
  site.Listings[ListCommand("/htdocs/")] = Dir(".well-known") + Dir("_data");
  site.Listings[ListCommand("/htdocs/.well-known/")] = Entry("token");
  site.Listings[ListCommand("/htdocs/_data/")] = Entry("d.csv");
  Scan(GetParam());
  EXPECT_THAT(Paths(engine.FileList), ElementsAre(".well-known/token", "_data/d.csv"));
}

INSTANTIATE_TEST_SUITE_P(ListTypes, RemoteScanPerDirTest,
                         ::testing::Values(kListTypeConservative, kListTypeNormal),
                         [](const auto& info) {
                           return std::string(ListTypeInfo(info.param).Name);
                         });

TEST_F(RemoteScanTest, RecursiveListingTakesSectionsRelativeToTheRoot) {
  Profile().IgnoreDirs.Add("/cgi-bin/");
  site.Listings["LIST -laR /htdocs/"] =
      Entry("top.txt") + Dir("img") + "\r\n/htdocs/img:\r\n" + Entry("logo.png") + Dir("sub") +
      "\r\n./css:\r\n" + Entry("site.css") + "\r\n/htdocs/cgi-bin:\r\n" + Entry("run.pl") +
      "\r\n/htdocs/img/sub:\r\n" + Entry("deep.png") + "\r\n/htdocs/_private:\r\n" +
      Entry("secret.txt") + "\r\n/htdocs/img/.cache:\r\n" + Entry("c.bin");
  Scan(kListTypeFast);
  EXPECT_THAT(Lists(), ElementsAre("LIST -laR /htdocs/"));
  EXPECT_THAT(Paths(engine.FileList),
              ElementsAre("top.txt", "img/logo.png", "css/site.css", "img/sub/deep.png"));
  EXPECT_THAT(host.LogLinesAt(llInfo), Contains("Listung: Schnell").Times(1));
}

TEST_F(RemoteScanTest, SameNameTwiceMatchesTheLocalFileOnce) {
  site.Listings["LIST -laR /htdocs/"] = Entry("a.txt", 1) + Entry("A.TXT", 2) + Entry("a.txt", 3);
  AddLocal("", "a.txt");
  Scan(kListTypeFast);
  ASSERT_EQ(engine.FileList.Count, 3);
  const TFileNode* first = engine.FileList.FirstNode();
  EXPECT_EQ(first->RemoteSize, 1);
  EXPECT_TRUE(first->HasLocal());
  for (const TFileNode* node : engine.FileList.FileNodes()) {
    if (node != first) {
      EXPECT_FALSE(node->HasLocal()) << node->RemoteName;
    }
  }
  EXPECT_TRUE(local.IsEmpty());
}

TEST_F(RemoteScanTest, OffsetMovesListedTimesButNotDatesAlone) {
  const std::string timed = Entry("timed.txt", 1, "Mar  4 10:00");
  const std::string dated = Entry("dated.txt", 1, "Mar  4  2023");
  site.Listings["LIST -laR /htdocs/"] = timed + dated;
  Scan(kListTypeFast, 5 * kOneMinute);
  const TFtpFile listed_time(timed.substr(0, timed.size() - 2), "");
  const TFtpFile listed_date(dated.substr(0, dated.size() - 2), "");
  const TFileNode* t = Find(engine.FileList, "timed.txt");
  const TFileNode* d = Find(engine.FileList, "dated.txt");
  ASSERT_TRUE(t && d);
  EXPECT_TRUE(t->HasTime);
  EXPECT_NEAR(t->RemoteDate, listed_time.DateTime + 5 * kOneMinute, 1e-9);
  EXPECT_EQ(FormatDateTime("hh:nn", t->RemoteDate), "10:05");
  EXPECT_FALSE(d->HasTime);
  EXPECT_EQ(d->RemoteDate, EncodeDate(2023, 3, 4));
}

TEST_F(RemoteScanTest, IgnoredExtensionsAreAbsentOnTheServerSideToo) {
  Profile().IgnoreExtensions.Add(".bak");
  site.Listings["LIST -laR /htdocs/"] = Entry("old.BAK") + Entry("new.txt");
  AddLocal("", "old.bak");
  Scan(kListTypeFast);
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("new.txt"));
  EXPECT_THAT(Paths(local), ElementsAre("old.bak"));
}

TEST_F(RemoteScanTest, NamesAndSectionsOutsideTheLocalRootAreDropped) {
  const std::string good = Entry("ok.txt");
  struct TCase {
    const char* Name;
    std::string Listing;
  };
  const TCase cases[] = {
      {"parent in a name", Entry("../../evil.txt")},
      {"separator in a name", Entry("sub/evil.txt")},
      {"dot dot as a file", Entry("..")},
      {"NUL in a name", Entry(std::string("evil\0.txt", 9))},
      {"parent in a section", "\r\n/htdocs/../../etc:\r\n" + Entry("passwd")},
      {"relative parent section", "\r\n../x:\r\n" + Entry("evil.txt")},
      {"dot component", "\r\n/htdocs/a/./b:\r\n" + Entry("evil.txt")},
      {"section outside the root", "\r\n/etc:\r\n" + Entry("passwd")},
      {"empty component", "\r\n/htdocs/a///b:\r\n" + Entry("evil.txt")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    engine.FileList.Clear();
    host.Log.clear();
    // The good entry comes first: a section header holds until the next one.
    site.Listings["LIST -laR /htdocs/"] = good + c.Listing;
    Scan(kListTypeFast);
    EXPECT_THAT(Paths(engine.FileList), ElementsAre("ok.txt"));
    EXPECT_EQ(host.LogLinesAt(llError).size(), 1u) << host.LogText();
  }
}

TEST_F(RemoteScanTest, RawListingGoesToTheProtocolFileAlone) {
  engine.FileLog = true;
  const std::string listing = Entry("a.txt");
  site.Listings["LIST -laR /htdocs/"] = listing;
  Scan(kListTypeFast);
  std::ifstream in(TempPath() / "FTP-Protokoll.txt", std::ios::binary);
  std::stringstream file;
  file << in.rdbuf();
  EXPECT_THAT(file.str(), HasSubstr("R: Inhaltsverzeichnis von /htdocs/:\r\n" + listing));
  EXPECT_THAT(host.LogText(), Not(HasSubstr("Inhaltsverzeichnis")));
}

TEST_F(RemoteScanTest, AbortStopsAfterTheCurrentEntry) {
  Profile().ListType = kListTypeNormal;
  site.Listings["LIST -la /htdocs/"] = Entry("a.txt") + Dir("sub") + Entry("b.txt");
  site.Listings["LIST -la /htdocs/sub/"] = Entry("c.txt");
  host.OnProcessMessages = [&] { engine.Cancel(); };
  Scan(kListTypeNormal);
  EXPECT_THAT(Paths(engine.FileList), ElementsAre("a.txt"));
  EXPECT_THAT(Lists(), ElementsAre("LIST -la /htdocs/"));
  EXPECT_EQ(host.ProcessMessagesCalls, 1);
}

TEST_F(RemoteScanTest, NothingIsListedOnceAbortIsRequested) {
  site.Listings["LIST -laR /htdocs/"] = Entry("a.txt");
  engine.AbortRequested = true;
  Scan(kListTypeFast);
  EXPECT_THAT(Lists(), IsEmpty());
  EXPECT_EQ(engine.FileList.Count, 0);
}

}  // namespace
}  // namespace quillmar::testing
