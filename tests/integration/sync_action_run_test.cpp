// The run against real servers: the cancel command in the middle of a transfer, and a
// refused login.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "integration/ftp_session.h"
#include "integration/sync_rig.h"
#include "support/ftp_servers.h"
#include "sync/file_node.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Slow enough that the third file is still moving when the cancel comes.
constexpr std::int64_t kMaxRate = 256 * 1024;

class SyncRunServerTest : public ::testing::TestWithParam<TSetup> {
 protected:
  void SetUp() override {
    const std::string reason = ServerSkipReason(GetParam().Kind);
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server_ = StartServer(GetParam().Kind, kMaxRate);
    rig_ = std::make_unique<TSyncRig>(*server_);
    rig_->profile().PasvMode = GetParam().Passive;
    rig_->engine.FileList.LocalRoot = rig_->Local().string() + "/";
    rig_->engine.FileList.RemoteRoot = rig_->profile().RemoteRoot + "/";
  }

  void TearDown() override {
    if (HasFailure() && rig_)
      std::cout << "--- protocol\n" << rig_->Protocol() << "--- server\n" << server_->LogText();
  }

  void AddUpload(const std::string& name, const std::string& content) {
    PlaceFile(rig_->Local() / name, content, 1700000000);
    auto node = std::make_unique<TFileNode>();
    node->Name = name;
    node->LocalSize = static_cast<std::int64_t>(content.size());
    node->LocalDate = UnixToLocalDateTime(1700000000);
    node->Action = faPump;
    rig_->engine.FileList.Append(std::move(node));
  }

  std::vector<std::string> Results() const {
    std::vector<std::string> results;
    for (const TFileNode* node : rig_->engine.FileList.FileNodes())
      results.push_back(node->ResultText);
    return results;
  }

  std::unique_ptr<TTestFtpServer> server_;
  std::unique_ptr<TSyncRig> rig_;
};

TEST_P(SyncRunServerTest, CancelDuringTheThirdOfFiveUploadsStopsTheRun) {
  const std::string big = TestBytes(2 * 1024 * 1024);
  AddUpload("one.txt", "1");
  AddUpload("two.txt", "22");
  AddUpload("three.bin", big);
  AddUpload("four.txt", "4444");
  AddUpload("five.txt", "55555");
  TRecordingHost& host = rig_->host;
  bool pressed = false;
  host.OnProcessMessages = [&] {
    if (!pressed && host.CurrentFiles.size() == 3 && !host.Progress.empty() &&
        host.Progress.back().CurrentPercent > 0) {
      pressed = true;
      rig_->engine.Cancel();
    }
  };

  rig_->engine.ExecuteActions(faNoAction, false);

  ASSERT_TRUE(pressed) << "the third file's progress never arrived";
  const std::vector<std::string> results = Results();
  EXPECT_EQ(results[0], "OK");
  EXPECT_EQ(results[1], "OK");
  EXPECT_NE(results[2], "OK");
  EXPECT_NE(results[2], "");
  EXPECT_EQ(results[3], "");
  EXPECT_EQ(results[4], "");
  ASSERT_EQ(host.Boxes.size(), 1u);
  EXPECT_EQ(host.Boxes[0].Text,
            "Übertragung mit 1 Fehler abgeschlossen.\r\nÜbertragung durch Benutzer abgebrochen.");
  EXPECT_TRUE(rig_->engine.LastRun.Aborted);
  EXPECT_TRUE(host.HasLogLine(llInfo, "ABBRUCH ANGEFORDERT"));
  EXPECT_FALSE(host.HasLogLine(llSent, "QUIT^M^J")) << "no goodbye after a cancel";
  EXPECT_EQ(FileText(rig_->Remote() / "two.txt"), "22");
  EXPECT_FALSE(fs::exists(rig_->Remote() / "four.txt"));
  EXPECT_FALSE(fs::exists(rig_->Remote() / "five.txt"));
  EXPECT_FALSE(rig_->engine.Busy());
  EXPECT_EQ(rig_->engine.Counters.TotalBytes, 0) << "progress reset";
}

TEST_P(SyncRunServerTest, WrongPasswordTouchesNoEntry) {
  rig_->profile().Password = server_->wrong_password();
  AddUpload("one.txt", "1");

  rig_->engine.ExecuteActions(faNoAction, true);

  ASSERT_EQ(rig_->host.Boxes.size(), 1u);
  EXPECT_THAT(rig_->host.Boxes[0].Text, StartsWith("Verbindungs-Fehler: FTP Error: \"530"));
  EXPECT_THAT(Results(), ElementsAre(""));
  EXPECT_FALSE(fs::exists(rig_->Remote() / "one.txt"));
  EXPECT_THAT(rig_->Protocol(), Not(HasSubstr(server_->wrong_password())));
  EXPECT_FALSE(rig_->engine.Busy());
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncRunServerTest, ::testing::ValuesIn(kAllSetups), SetupName);

}  // namespace
}  // namespace quillmar::testing
