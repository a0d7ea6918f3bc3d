// The real-server fixtures themselves: they serve on loopback, stop with the object and leave
// nothing behind, and the pyftpdlib clock shift moves listed times.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "container/link_list.h"
#include "ftp/ftp_file.h"
#include "integration/ftp_session.h"
#include "support/ftp_servers.h"
#include "support/loopback.h"
#include "support/pyftpd_server.h"
#include "util/date_time.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
constexpr std::chrono::seconds kGreetingWait{5};

class ServerFixtureTest : public ::testing::TestWithParam<TServerKind> {
 protected:
  void SetUp() override {
    const std::string reason = ServerSkipReason(GetParam());
    if (!reason.empty())
      GTEST_SKIP() << reason;
  }
};

TEST_P(ServerFixtureTest, ServesOnLoopbackAndLeavesNothingBehind) {
  auto server = StartServer(GetParam());
  const int port = server->port();
  const fs::path root = server->root();
  EXPECT_EQ(server->host_port(), "127.0.0.1:" + std::to_string(port));
  EXPECT_TRUE(fs::is_directory(server->local_home()));
  const std::optional<std::string> greeting = ReadLoopbackGreeting(port, kGreetingWait);
  ASSERT_TRUE(greeting.has_value());
  EXPECT_EQ(greeting->substr(0, 4), "220 ");

  server.reset();
  EXPECT_FALSE(ReadLoopbackGreeting(port, kGreetingWait).has_value());
  EXPECT_FALSE(fs::exists(root.parent_path()));
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerFixtureTest,
                         ::testing::Values(TServerKind::Pyftpd, TServerKind::Vsftpd),
                         [](const ::testing::TestParamInfo<TServerKind>& info) {
                           return ServerKindName(info.param);
                         });

// A server clock behind the local one; behind rather than ahead, so that no listed time lies
// in the future, where the year of a time-of-day entry would be ambiguous.
TEST(PyftpdServerTest, ListedTimesRunBehindByTheShift) {
  const std::string reason = TPyftpdServer::SkipReason();
  if (!reason.empty())
    GTEST_SKIP() << reason;
  TPyftpdServer server({.ListShiftMinutes = -90});
  const TDateTime written = WholeMinutes(Now() - 1.0 / 24);
  WriteWholeFile(server.local_home() / "recent.txt", "x");
  SetModificationTime(server.local_home() / "recent.txt", written);

  TFtpSession session;
  session.Login(server, server.password());
  session.ftp->SetPassive(true);
  session.ftp->List("", "");
  TLinkList list;
  session.ftp->ReadListing(list);
  ASSERT_EQ(list.Count, 1) << session.ftp->ListingText;
  const auto* entry = static_cast<const TFtpFile*>(list.First);
  EXPECT_TRUE(entry->HasTime);
  EXPECT_NEAR(entry->DateTime, written - 90 * kOneMinute, kOneSecond);
}

}  // namespace
}  // namespace quillmar::testing
