// Comparison and run end to end against real servers: a tree pair in which every row of the
// decision table occurs, "Vollautomatik" over it, both trees checked file by file, and a second
// comparison that finds nothing left to do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "integration/sync_rig.h"
#include "settings/profile_store.h"
#include "support/ftp_servers.h"
#include "support/pyftpd_server.h"
#include "sync/file_node.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A whole minute two days ago: recent enough that listings give the time of day, and a value
// that listing and file system both hold exactly.
const std::int64_t kThen = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                                   .count() /
                               60 * 60 -
                           2 * 86400;
const std::int64_t kOlder = kThen - 3600;

// One file of the scenario: its two sides (nullopt: absent) and what the comparison proposes
// without and with DeleteRemote. An entry for a filtered file has no proposal at all.
struct TFileCase {
  std::string LocalPath;
  std::optional<std::string> Local;
  std::int64_t LocalTime;
  std::string RemotePath;
  std::optional<std::string> Remote;
  std::int64_t RemoteTime;
  std::optional<TFileAction> Proposal;
  std::optional<TFileAction> ProposalDeleteRemote;
};

// The same path on both sides.
TFileCase Same(const std::string& path, std::optional<std::string> local, std::int64_t local_time,
               std::optional<std::string> remote, std::int64_t remote_time,
               std::optional<TFileAction> proposal, std::optional<TFileAction> with_delete_remote) {
  return {path,        std::move(local), local_time,        path, std::move(remote),
          remote_time, proposal,         with_delete_remote};
}

const std::optional<std::string> kAbsent;
constexpr std::optional<TFileAction> kFiltered;

std::vector<TFileCase> Scenario() {
  return {
      // Only local, whatever the size: upload, with the missing directories made.
      Same("only_local.txt", "local only", kThen, kAbsent, 0, faPump, faPump),
      Same("new/deep/nested.txt", "nested new", kThen, kAbsent, 0, faPump, faPump),
      Same("empty_local.dat", "", kThen, kAbsent, 0, faPump, faPump),
      // Only remote: in step when empty, else downloaded or deleted on the server.
      Same("empty_remote.dat", kAbsent, 0, "", kThen, faNoAction, faNoAction),
      Same("only_remote.txt", kAbsent, 0, "remote only", kThen, faSuck, faDelRemote),
      Same("rdir/sub/deep.txt", kAbsent, 0, "deep remote", kThen, faSuck, faDelRemote),
      // Both sides, equal sizes.
      Same("same.txt", "identical", kThen, "identical", kThen, faNoAction, faNoAction),
      Same("remote_newer_same_size.txt", "aaaa", kOlder, "bbbb", kThen, faNoAction, faNoAction),
      Same("local_later_same_size.txt", "cccc", kThen, "dddd", kOlder, faPump, faPump),
      // Both sides, sizes differ.
      Same("local_later_bigger.txt", "longer local", kThen, "short", kOlder, faPump, faPump),
      Same("remote_later_bigger.txt", "short", kOlder, "longer remote", kThen, faSuck, faSuck),
      Same("equal_dates_differ.txt", "local wins", kThen, "remote", kThen, faPump, faPump),
      Same("zero_local_equal_date.txt", "", kThen, "remote content", kThen, faSuck, faDelRemote),
      // Names that differ only in letter case are one file; a download keeps the local name.
      {"Readme.TXT", "readme", kThen, "README.txt", "readme", kThen, faNoAction, faNoAction},
      {"Photo.JPG", "old", kOlder, "photo.jpg", "new photo", kThen, faSuck, faSuck},
      // Nested below a remote directory that exists.
      Same("web/css/site.css", "body{color:red}", kThen, "body{}", kOlder, faPump, faPump),
      Same("web/new.html", "<html>", kThen, kAbsent, 0, faPump, faPump),
      // Filtered: an ignored directory and extension on both sides, and the local-only filters
      // for "_" and hidden directories.
      Same("skip/local.txt", "skip local", kThen, kAbsent, 0, kFiltered, kFiltered),
      Same("skip/remote.txt", kAbsent, 0, "skip remote", kThen, kFiltered, kFiltered),
      Same("notes.bak", "local backup", kThen, kAbsent, 0, kFiltered, kFiltered),
      Same("old.bak", kAbsent, 0, "remote backup", kThen, kFiltered, kFiltered),
      Same("_private/secret.txt", "underscore", kThen, kAbsent, 0, kFiltered, kFiltered),
      Same(".hidden/inside.txt", "hidden", kThen, kAbsent, 0, kFiltered, kFiltered),
  };
}

struct TEndToEnd {
  TServerKind Kind;
  bool Passive;
  int ListType;
  bool DeleteRemote;
};

std::string EndToEndName(const ::testing::TestParamInfo<TEndToEnd>& info) {
  const TEndToEnd& p = info.param;
  return ServerKindName(p.Kind) + (p.Passive ? "Passive" : "Active") + "List" +
         std::to_string(p.ListType) + (p.DeleteRemote ? "DeleteRemote" : "KeepRemote");
}

// pyftpdlib reads "LIST -la path" as a path, so it lists with the plain LIST only; vsftpd
// takes every list type, and recurses for "-laR".
std::vector<TEndToEnd> EndToEndSetups() {
  std::vector<TEndToEnd> setups;
  for (const bool delete_remote : {false, true}) {
    for (const bool passive : {true, false}) {
      setups.push_back({TServerKind::Pyftpd, passive, 0, delete_remote});
      for (const int list_type : {0, 1, 2})
        setups.push_back({TServerKind::Vsftpd, passive, list_type, delete_remote});
    }
  }
  return setups;
}

class SyncEndToEndTest : public ::testing::TestWithParam<TEndToEnd> {
 protected:
  void SetUp() override {
    const std::string reason = ServerSkipReason(GetParam().Kind);
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server_ = StartServer(GetParam().Kind);
    rig_ = std::make_unique<TSyncRig>(*server_);
    THomeProfile& profile = rig_->profile();
    profile.PasvMode = GetParam().Passive;
    profile.ListType = static_cast<std::uint8_t>(GetParam().ListType);
    profile.DeleteRemote = GetParam().DeleteRemote;
    profile.IgnoreDirs.Add("/skip/");
    profile.IgnoreExtensions.Add(".bak");
  }

  void TearDown() override {
    if (HasFailure() && rig_)
      std::cout << "--- protocol\n" << rig_->Protocol() << "--- server\n" << server_->LogText();
  }

  void PlaceTrees(const std::vector<TFileCase>& cases) {
    for (const TFileCase& c : cases) {
      if (c.Local)
        PlaceFile(rig_->Local() / c.LocalPath, *c.Local, c.LocalTime);
      if (c.Remote)
        PlaceFile(rig_->Remote() / c.RemotePath, *c.Remote, c.RemoteTime);
    }
    TSyncRig::GiveTreeToServer(rig_->Remote());
  }

  // The list's entries by display path.
  std::map<std::string, const TFileNode*> Entries() const {
    std::map<std::string, const TFileNode*> entries;
    for (const TFileNode* node : rig_->engine.FileList.FileNodes())
      entries[node->RelDir + node->Name] = node;
    return entries;
  }

  std::unique_ptr<TTestFtpServer> server_;
  std::unique_ptr<TSyncRig> rig_;
};

TEST_P(SyncEndToEndTest, AutomaticRunBringsBothTreesInStep) {
  const std::vector<TFileCase> cases = Scenario();
  PlaceTrees(cases);
  TRecordingHost& host = rig_->host;

  rig_->engine.RunComparison(true);

  ASSERT_TRUE(rig_->engine.LastComparison.Completed) << rig_->engine.LastComparison.Error;
  EXPECT_THAT(host.TimeSlips, ElementsAre("L = R"));
  // The proposal of each file, and the outcome of its action.
  std::map<std::string, std::string> expected_local, expected_remote;
  const std::map<std::string, const TFileNode*> entries = Entries();
  for (const TFileCase& c : cases) {
    SCOPED_TRACE(c.LocalPath);
    const auto entry = entries.find(c.LocalPath);
    const std::optional<TFileAction> proposal =
        GetParam().DeleteRemote ? c.ProposalDeleteRemote : c.Proposal;
    if (!proposal) {
      EXPECT_EQ(entry, entries.end()) << "a filtered file is not in the list";
    } else if (entry == entries.end()) {
      ADD_FAILURE() << "no entry";
    } else {
      EXPECT_EQ(ActionNames[entry->second->Action], ActionNames[*proposal]);
      EXPECT_EQ(entry->second->ResultText, *proposal == faNoAction ? "" : "OK");
    }
    const TFileAction action = proposal.value_or(faNoAction);
    std::optional<std::string> local = c.Local, remote = c.Remote;
    if (action == faPump)
      remote = local;
    if (action == faSuck)
      local = remote;
    if (action == faDelRemote)
      remote.reset();
    if (local)
      expected_local[c.LocalPath] = *local;
    if (remote)
      expected_remote[action == faPump ? c.LocalPath : c.RemotePath] = *remote;
    if (action == faSuck) {
      EXPECT_EQ(FileMtime(rig_->Local() / c.LocalPath), c.RemoteTime) << "the remote date";
    }
  }
  EXPECT_EQ(TreeContents(rig_->Local()), expected_local);
  EXPECT_EQ(TreeContents(rig_->Remote()), expected_remote);
  EXPECT_THAT(host.Boxes, IsEmpty()) << host.Boxes.front().Text;
  EXPECT_EQ(host.Beeps, 1) << "a faultless automatic run only beeps";

  // The list is in step now, but for what DeleteRemote left: an empty local file whose remote
  // copy went counts as local only.
  host.Boxes.clear();
  rig_->engine.RunComparison(false);
  ASSERT_TRUE(rig_->engine.LastComparison.Completed) << rig_->engine.LastComparison.Error;
  std::vector<std::string> proposed;
  for (const TFileNode* node : rig_->engine.FileList.FileNodes()) {
    if (node->Action != faNoAction)
      proposed.push_back(std::string(ActionNames[node->Action]) + " " + node->RelDir + node->Name);
  }
  if (GetParam().DeleteRemote) {
    EXPECT_THAT(proposed, ElementsAre("Pumpen zero_local_equal_date.txt"));
  } else {
    EXPECT_THAT(proposed, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncEndToEndTest, ::testing::ValuesIn(EndToEndSetups()),
                         EndToEndName);

// A server whose listed times run ahead or behind: the comparison measures the offset, names
// it, and moves every remote time by it before proposing.
TEST(SyncClockOffsetTest, ListedTimesAreMovedOntoTheLocalClock) {
  const std::string reason = TPyftpdServer::SkipReason();
  if (!reason.empty())
    GTEST_SKIP() << reason;
  struct TCase {
    int shift_minutes;
    const char* caption;
  };
  for (const TCase& c : {TCase{7, "L = R\u20137 min"}, TCase{-7, "L = R+7 min"}}) {
    SCOPED_TRACE(c.caption);
    TPyftpdServer::TOptions options;
    options.ListShiftMinutes = c.shift_minutes;
    TPyftpdServer server(options);
    TSyncRig rig(server);
    rig.profile().ListType = kListTypeConservative;
    rig.profile().PasvMode = true;
    PlaceFile(rig.Local() / "same.txt", "same", kThen);
    PlaceFile(rig.Remote() / "same.txt", "same", kThen);
    // Three minutes apart: the shift alone would turn both proposals round.
    PlaceFile(rig.Local() / "local_newer.txt", "LLLL", kThen);
    PlaceFile(rig.Remote() / "local_newer.txt", "RRRR", kThen - 180);
    PlaceFile(rig.Local() / "remote_newer.txt", "short", kThen - 180);
    PlaceFile(rig.Remote() / "remote_newer.txt", "much longer", kThen);

    rig.engine.RunComparison(false);

    ASSERT_TRUE(rig.engine.LastComparison.Completed) << rig.Protocol();
    EXPECT_THAT(rig.host.TimeSlips, ElementsAre(c.caption));
    std::map<std::string, std::string> proposals;
    for (const TFileNode* node : rig.engine.FileList.FileNodes())
      proposals[node->Name] = ActionNames[node->Action];
    EXPECT_EQ(proposals, (std::map<std::string, std::string>{{"local_newer.txt", "Pumpen"},
                                                             {"remote_newer.txt", "Saugen"},
                                                             {"same.txt", "\u00B7"}}));
  }
}

}  // namespace
}  // namespace quillmar::testing
