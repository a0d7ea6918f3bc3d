// Cancelling a data transfer from the blocking hook, as the window's cancel button does while a
// transfer is under way. The servers are rate-limited so that every transfer outlasts the
// moment the hook fires.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "ftp/blocking.h"
#include "ftp/channel_errors.h"
#include "ftp/ftp_socket.h"
#include "integration/ftp_session.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kMaxRate = 256 << 10;
// At kMaxRate a transfer of this size takes a minute; a prompt cancel ends it within seconds.
constexpr std::size_t kLargeFile = 16 << 20;
constexpr auto kPrompt = std::chrono::seconds(3);

class FtpCancelTest : public ::testing::TestWithParam<TSetup> {
 protected:
  void SetUp() override {
    const std::string reason = ServerSkipReason(GetParam().Kind);
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server_ = StartServer(GetParam().Kind, kMaxRate);
    session_.Login(*server_, server_->password());
    ftp().ChangeDir(server_->remote_home());
    ftp().SetPassive(GetParam().Passive);
    ftp().SetTransferType(ttBinary);
  }

  void TearDown() override {
    SetBlockingHook({});
    ResetBlockingCancel();
    if (HasFailure() && server_) {
      std::cout << "--- protocol\n"
                << session_.Protocol() << "--- server log\n"
                << server_->LogText() << std::endl;
    }
  }

  // Cancels from the hook the first time it runs after data has moved.
  void ArmCancel() {
    ftp().OnProgress = [this](TFtpSocket&, std::int64_t bytes) { progress_ = bytes; };
    SetBlockingHook([this] {
      if (progress_ > 0 && !cancelled_) {
        cancelled_ = true;
        progress_at_cancel_ = progress_;
        cancelled_at_ = Clock::now();
        WSACancelBlockingCall();
      }
    });
  }

  // Runs `transfer`, which the cancel must end promptly with "Interrupted".
  template <typename F>
  void ExpectInterrupted(F transfer, std::int64_t total) {
    try {
      transfer();
      FAIL() << "the transfer counted as done; cancelled: " << cancelled_;
    } catch (const EUnexpectedReply& error) {
      EXPECT_STREQ(error.what(), "FTP Error: \"Interrupted\"");
    }
    ASSERT_TRUE(cancelled_);
    EXPECT_LT(Clock::now() - cancelled_at_, kPrompt);
    EXPECT_LT(progress_at_cancel_, total) << "the transfer was over before the cancel";
  }

  TFtpSocket& ftp() { return *session_.ftp; }
  fs::path Home() const { return server_->local_home(); }

  std::unique_ptr<TTestFtpServer> server_;
  TFtpSession session_;
  TTempDir local_{"quillmar-local"};
  std::int64_t progress_ = 0;
  std::int64_t progress_at_cancel_ = 0;
  bool cancelled_ = false;
  Clock::time_point cancelled_at_;
};

TEST_P(FtpCancelTest, EndsADownload) {
  WriteWholeFile(Home() / "big.bin", TestBytes(kLargeFile));
  const fs::path target = local_.path() / "big.bin";
  ArmCancel();
  ExpectInterrupted([&] { ftp().Retrieve(target.string(), "big.bin"); }, kLargeFile);
  EXPECT_FALSE(fs::exists(target));
}

TEST_P(FtpCancelTest, EndsAnUpload) {
  const fs::path source = local_.path() / "big.bin";
  WriteWholeFile(source, TestBytes(kLargeFile));
  ArmCancel();
  ExpectInterrupted([&] { ftp().Store(source.string(), "big.bin"); }, kLargeFile);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpCancelTest, ::testing::ValuesIn(kAllSetups), SetupName);

// pyftpdlib limits the rate of listings too; vsftpd sends a listing at full speed, too fast to
// be caught under way.
class FtpListingCancelTest : public FtpCancelTest {};

TEST_P(FtpListingCancelTest, EndsAListing) {
  // About 600 KB of listing: over two seconds at the limited rate.
  const std::string padding(100, 'n');
  for (int i = 0; i < 4000; ++i)
    WriteWholeFile(Home() / (padding + std::to_string(i)), "");
  ArmCancel();
  ExpectInterrupted([&] { ftp().List("", "-la"); }, 4000 * 150);
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpListingCancelTest,
                         ::testing::Values(TSetup{TServerKind::Pyftpd, true},
                                           TSetup{TServerKind::Pyftpd, false}),
                         SetupName);

}  // namespace
}  // namespace quillmar::testing
