// The whole comparison against real servers: the clock comparison with a server clock that runs
// ahead, the listing types a server supports, matching and proposals, the login error.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "settings/home_profile.h"
#include "settings/profile.h"
#include "settings/profile_store.h"
#include "support/ftp_servers.h"
#include "support/pyftpd_server.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"
#include "sync/engine.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

void WriteFile(const fs::path& path, const std::string& content, time_t mtime) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  const timespec times[2] = {{mtime, 0}, {mtime, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// vsftpd works as the unprivileged "ftp" user, which must be able to write the remote root.
void GiveToServer(const fs::path& root) {
  const passwd* ftp = geteuid() == 0 ? getpwnam("ftp") : nullptr;
  if (ftp == nullptr)
    return;
  chown(root.c_str(), ftp->pw_uid, ftp->pw_gid);
  for (const auto& entry : fs::recursive_directory_iterator(root))
    chown(entry.path().c_str(), ftp->pw_uid, ftp->pw_gid);
}

// An engine on a recording host with a profile for `server`: the local root in a temporary
// directory, the remote root "site" in the server's writable home.
class TCompareRig {
 public:
  explicit TCompareRig(const TTestFtpServer& server) : server_(server) {
    auto profile = std::make_unique<THomeProfile>("", ini_);
    profile->Name = "Vergleich";
    profile->FtpServer = server.host_port();
    profile->UserName = server.user();
    profile->Password = server.password();
    profile->LocalRoot = local_.path().string();
    profile->RemoteRoot = (server.remote_home() == "/" ? "" : server.remote_home()) + "/site";
    engine.SetProfile(std::move(profile));
    fs::create_directories(Remote());
  }
  THomeProfile& Profile() { return *engine.Profile(); }
  fs::path Local() const { return local_.path(); }
  fs::path Remote() const { return server_.local_home() / "site"; }
  const TFileNode* Find(const std::string& path) const {
    for (const TFileNode* node : engine.FileList.FileNodes()) {
      if (node->RelDir + node->Name == path)
        return node;
    }
    return nullptr;
  }

  TRecordingHost host;
  TSyncEngine engine{host};

 private:
  const TTestFtpServer& server_;
  TTempDir dir_{"quillmar-compare"};
  TTempDir local_{"quillmar-compare-local"};
  TProfile ini_{(dir_.path() / "Quillmar.ini").string()};
};

// A recent time, so that listings give the time of day and the offset applies.
time_t AnHourAgo() {
  return time(nullptr) / 60 * 60 - 3600;
}

struct TSetup {
  TServerKind Kind;
  std::uint8_t ListType;
};

class CompareServersTest : public ::testing::TestWithParam<TSetup> {};

TEST_P(CompareServersTest, MatchesBothTreesAndProposesOnlyWhatDiffers) {
  const std::string reason = ServerSkipReason(GetParam().Kind);
  if (!reason.empty())
    GTEST_SKIP() << reason;
  const auto server = StartServer(GetParam().Kind);
  TCompareRig rig(*server);
  rig.Profile().ListType = GetParam().ListType;
  rig.Profile().PasvMode = true;
  const time_t t = AnHourAgo();
  for (const char* path : {"index.html", "img/logo.png"}) {
    WriteFile(rig.Local() / path, "same", t);
    WriteFile(rig.Remote() / path, "same", t);
  }
  WriteFile(rig.Local() / "Readme.TXT", "local", t);
  WriteFile(rig.Remote() / "readme.txt", "local", t);
  WriteFile(rig.Local() / "img" / "new.png", "neu", t);
  WriteFile(rig.Remote() / "img" / "old.png", "alt", t);
  WriteFile(rig.Local() / "edited.css", "changed", t + 600);
  WriteFile(rig.Remote() / "edited.css", "before", t);
  GiveToServer(rig.Remote());

  rig.engine.RunComparison(false);

  ASSERT_TRUE(rig.engine.LastComparison.Completed) << rig.host.LogText();
  EXPECT_THAT(rig.host.Boxes, IsEmpty()) << rig.host.LogText();
  EXPECT_EQ(rig.engine.FileList.Count, 6) << rig.host.LogText();
  const struct {
    const char* Path;
    TFileAction Action;
  } expected[] = {{"index.html", faNoAction}, {"img/logo.png", faNoAction},
                  {"Readme.TXT", faNoAction}, {"img/new.png", faPump},
                  {"img/old.png", faSuck},    {"edited.css", faPump}};
  for (const auto& e : expected) {
    const TFileNode* node = rig.Find(e.Path);
    ASSERT_NE(node, nullptr) << e.Path << "\n" << rig.host.LogText();
    EXPECT_EQ(node->Action, e.Action) << e.Path << "\n" << rig.host.LogText();
  }
  EXPECT_EQ(rig.Find("Readme.TXT")->RemoteName, "readme.txt");
  // The test file is gone again.
  EXPECT_FALSE(fs::exists(rig.Remote() / "timeslip.txt"));
}

INSTANTIATE_TEST_SUITE_P(Servers, CompareServersTest,
                         // pyftpdlib takes no options together with a path.
                         ::testing::Values(TSetup{TServerKind::Pyftpd, kListTypeConservative},
                                           TSetup{TServerKind::Vsftpd, kListTypeConservative},
                                           TSetup{TServerKind::Vsftpd, kListTypeNormal},
                                           TSetup{TServerKind::Vsftpd, kListTypeFast}),
                         [](const auto& info) {
                           return ServerKindName(info.param.Kind) +
                                  ListTypeInfo(info.param.ListType).Name;
                         });

TEST(CompareServerClock, AServerClockAheadIsMeasuredAndTakenOut) {
  const std::string reason = TPyftpdServer::SkipReason();
  if (!reason.empty())
    GTEST_SKIP() << reason;
  TPyftpdServer::TOptions options;
  options.ListShiftMinutes = 7;
  TPyftpdServer server(options);
  TCompareRig rig(server);
  rig.Profile().ListType = kListTypeConservative;
  const time_t t = AnHourAgo();
  WriteFile(rig.Local() / "page.html", "1234", t);
  WriteFile(rig.Remote() / "page.html", "1234", t);

  rig.engine.RunComparison(false);

  ASSERT_TRUE(rig.engine.LastComparison.Completed) << rig.host.LogText();
  ASSERT_FALSE(rig.host.TimeSlips.empty());
  EXPECT_EQ(rig.host.TimeSlips.back(), "L = R\u20137 min");
  // Listed seven minutes late, moved back onto the local clock: in step.
  ASSERT_EQ(rig.engine.FileList.Count, 1);
  const TFileNode* page = rig.engine.FileList.FirstNode();
  EXPECT_NEAR((page->RemoteDate - page->LocalDate) * 1440.0, 0.0, 1.0) << rig.host.LogText();
  EXPECT_EQ(page->Action, faNoAction);
  ASSERT_EQ(rig.host.Boxes.size(), 1u);
  EXPECT_EQ(rig.host.Boxes[0].Text, "Alle Dateien sind synchron.");
}

TEST(CompareServerLogin, AWrongPasswordShowsTheServersRefusal) {
  const std::string reason = TPyftpdServer::SkipReason();
  if (!reason.empty())
    GTEST_SKIP() << reason;
  TPyftpdServer server;
  TCompareRig rig(server);
  rig.Profile().Password = server.wrong_password();
  WriteFile(rig.Local() / "page.html", "1234", AnHourAgo());

  rig.engine.RunComparison(false);

  ASSERT_EQ(rig.host.Boxes.size(), 1u);
  EXPECT_THAT(rig.host.Boxes[0].Text,
              StartsWith("Kann Verbindung zum FTP-Server nicht aufbauen.\r\n\r\nMeldung: "));
  EXPECT_THAT(rig.host.Boxes[0].Text, HasSubstr("530"));
  EXPECT_EQ(rig.engine.FileList.Count, 0);
  EXPECT_FALSE(rig.engine.Busy());
}

}  // namespace
}  // namespace quillmar::testing
