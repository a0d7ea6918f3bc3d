// The FTP client against real servers: login, directory commands, listings and transfers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "container/link_list.h"
#include "ftp/channel_errors.h"
#include "ftp/ftp_file.h"
#include "ftp/ftp_socket.h"
#include "integration/ftp_session.h"
#include "support/ftp_servers.h"
#include "support/temp_dir.h"
#include "util/date_time.h"

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The server's path of `name` in its writable home.
std::string InHome(const TTestFtpServer& server, const std::string& name) {
  return server.remote_home() == "/" ? "/" + name : server.remote_home() + "/" + name;
}

// A server of one kind with a logged-in session in its writable home.
template <typename Param>
class TServerFixture : public ::testing::TestWithParam<Param> {
 protected:
  void StartAndLogIn(TServerKind kind) {
    const std::string reason = ServerSkipReason(kind);
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server_ = StartServer(kind);
    session_.Login(*server_, server_->password());
    ftp().ChangeDir(server_->remote_home());
  }

  void TearDown() override {
    if (this->HasFailure() && server_) {
      std::cout << "--- protocol\n"
                << session_.Protocol() << "--- server log\n"
                << server_->LogText() << std::endl;
    }
  }

  TFtpSocket& ftp() { return *session_.ftp; }
  fs::path Home() const { return server_->local_home(); }

  std::unique_ptr<TTestFtpServer> server_;
  TFtpSession session_;
  TTempDir local_{"quillmar-local"};
};

class FtpCommandsTest : public TServerFixture<TServerKind> {
 protected:
  void SetUp() override { StartAndLogIn(GetParam()); }
};

TEST_P(FtpCommandsTest, LogsInAndNamesTheWorkingDirectory) {
  EXPECT_EQ(ftp().CurrentDir(), server_->remote_home());
  ftp().ChangeDir("/");
  EXPECT_EQ(ftp().CurrentDir(), "/");
}

TEST_P(FtpCommandsTest, RefusesAWrongPasswordWithTheServersReply) {
  TFtpSession refused;
  try {
    refused.Login(*server_, server_->wrong_password());
    FAIL() << "login succeeded";
  } catch (const EUnexpectedReply& error) {
    EXPECT_THAT(error.what(), StartsWith("FTP Error: \"530"));
  }
  EXPECT_THAT(refused.Protocol(), HasSubstr("PASS <password>"));
  EXPECT_THAT(refused.Protocol(), ::testing::Not(HasSubstr(server_->wrong_password())));
}

TEST_P(FtpCommandsTest, MakesChangesAndLeavesDirectories) {
  ftp().MakeDir("made//");
  EXPECT_TRUE(fs::is_directory(Home() / "made"));
  ftp().ChangeDir("made");
  EXPECT_EQ(ftp().CurrentDir(), InHome(*server_, "made"));
  ftp().ChangeDir("..");
  EXPECT_EQ(ftp().CurrentDir(), server_->remote_home());

  WriteWholeFile(Home() / "gone.txt", "x");
  ftp().DeleteFile("gone.txt");
  EXPECT_FALSE(fs::exists(Home() / "gone.txt"));
}

TEST_P(FtpCommandsTest, RefusedCommandsLeaveTheConnectionUsable) {
  fs::create_directory(Home() / "exists");
  struct Case {
    const char* what;
    void (*command)(TFtpSocket&);
  };
  const Case cases[] = {
      {"CWD into a missing directory", [](TFtpSocket& ftp) { ftp.ChangeDir("missing"); }},
      {"DELE of a missing file", [](TFtpSocket& ftp) { ftp.DeleteFile("missing.txt"); }},
      {"MKD of an existing directory", [](TFtpSocket& ftp) { ftp.MakeDir("exists"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.command(ftp());
      ADD_FAILURE() << "no error";
    } catch (const EUnexpectedReply& error) {
      EXPECT_THAT(error.what(), StartsWith("FTP Error: \"550"));
    }
    EXPECT_EQ(ftp().CurrentDir(), server_->remote_home());
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpCommandsTest,
                         ::testing::Values(TServerKind::Pyftpd, TServerKind::Vsftpd),
                         [](const ::testing::TestParamInfo<TServerKind>& info) {
                           return ServerKindName(info.param);
                         });

class FtpTransferTest : public TServerFixture<TSetup> {
 protected:
  void SetUp() override {
    StartAndLogIn(GetParam().Kind);
    if (IsSkipped())
      return;
    ftp().SetPassive(GetParam().Passive);
    ftp().OnProgress = [this](TFtpSocket&, std::int64_t bytes) { progress_ = bytes; };
  }

  // The entries of the current ListingText other than "." and "..".
  std::vector<const TFtpFile*> Listed(TLinkList& list) {
    ftp().ReadListing(list);
    std::vector<const TFtpFile*> entries;
    for (const TFtpFile* file : list.Nodes<TFtpFile>()) {
      if (file->Name != "." && file->Name != "..")
        entries.push_back(file);
    }
    return entries;
  }

  std::int64_t progress_ = -1;
};

TEST_P(FtpTransferTest, StoresAndRetrievesEveryByteExactly) {
  ftp().SetTransferType(ttBinary);
  for (const std::size_t size :
       {std::size_t{0}, std::size_t{1}, std::size_t{10000}, std::size_t{5} << 20}) {
    SCOPED_TRACE("size " + std::to_string(size));
    const std::string bytes = TestBytes(size);
    const std::string name = std::to_string(size) + ".bin";
    const fs::path source = local_.path() / ("source-" + name);
    WriteWholeFile(source, bytes);

    ftp().Store(source.string(), "stored-" + name);
    EXPECT_TRUE(SameBytes(bytes, ReadWholeFile(Home() / ("stored-" + name))));

    progress_ = -1;
    const fs::path back = local_.path() / ("back-" + name);
    ftp().Retrieve(back.string(), "stored-" + name);
    EXPECT_TRUE(SameBytes(bytes, ReadWholeFile(back)));
    EXPECT_TRUE(fs::exists(back));
    if (size > 0) {
      EXPECT_EQ(progress_, static_cast<std::int64_t>(size));
    }

    ftp().StoreText("text-" + name, bytes);
    EXPECT_TRUE(SameBytes(bytes, ReadWholeFile(Home() / ("text-" + name))));
  }
}

TEST_P(FtpTransferTest, ListsEntriesWithSizesAndDates) {
  const TDateTime old_date = EncodeDate(2003, 11, 30) + EncodeTime(12, 0, 0, 0);
  const TDateTime recent = WholeMinutes(Now() - 2.0 / 24);
  WriteWholeFile(Home() / "a.txt", "abc");
  SetModificationTime(Home() / "a.txt", old_date);
  WriteWholeFile(Home() / "with blank.txt", "12345");
  SetModificationTime(Home() / "with blank.txt", recent);
  fs::create_directories(Home() / "img" / "sub");
  WriteWholeFile(Home() / "img" / "logo.png", "1234567");

  for (const char* options : {"", "-la"}) {
    SCOPED_TRACE(std::string("options \"") + options + "\"");
    ftp().List("", options);
    TLinkList list;
    std::vector<const TFtpFile*> entries = Listed(list);
    std::sort(entries.begin(), entries.end(),
              [](const TFtpFile* a, const TFtpFile* b) { return a->Name < b->Name; });
    ASSERT_EQ(entries.size(), 3u) << ftp().ListingText;

    EXPECT_EQ(entries[0]->Name, "a.txt");
    EXPECT_EQ(entries[0]->Size, 3);
    EXPECT_FALSE(entries[0]->IsDir);
    EXPECT_FALSE(entries[0]->HasTime);
    EXPECT_DOUBLE_EQ(entries[0]->DateTime, EncodeDate(2003, 11, 30));

    EXPECT_EQ(entries[1]->Name, "img");
    EXPECT_TRUE(entries[1]->IsDir);

    EXPECT_EQ(entries[2]->Name, "with blank.txt");
    EXPECT_EQ(entries[2]->Size, 5);
    EXPECT_TRUE(entries[2]->HasTime);
    EXPECT_NEAR(entries[2]->DateTime, recent, kOneSecond);
    for (const TFtpFile* entry : entries)
      EXPECT_EQ(entry->Dir, "");
  }

  // A path with a blank is listed from inside it, and the directory is restored.
  fs::create_directory(Home() / "blank dir");
  WriteWholeFile(Home() / "blank dir" / "inner.txt", "1");
  ftp().List("blank dir", "");
  TLinkList list;
  const std::vector<const TFtpFile*> inner = Listed(list);
  ASSERT_EQ(inner.size(), 1u) << ftp().ListingText;
  EXPECT_EQ(inner[0]->Name, "inner.txt");
  EXPECT_EQ(ftp().CurrentDir(), server_->remote_home());
}

TEST_P(FtpTransferTest, MissingFileFailsAndTheConnectionStaysUsable) {
  ftp().SetTransferType(ttBinary);
  const fs::path target = local_.path() / "missing.bin";
  try {
    ftp().Retrieve(target.string(), "missing.bin");
    FAIL() << "download of a missing file succeeded";
  } catch (const EUnexpectedReply& error) {
    EXPECT_THAT(error.what(), StartsWith("FTP Error: \"550"));
  }
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(fs::is_empty(local_.path()));

  EXPECT_EQ(ftp().CurrentDir(), server_->remote_home());
  ftp().StoreText("after.txt", "still here");
  EXPECT_EQ(ReadWholeFile(Home() / "after.txt"), "still here");
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpTransferTest, ::testing::ValuesIn(kAllSetups), SetupName);

// vsftpd is the server here whose LIST recurses with -R.
class FtpRecursiveListingTest : public FtpTransferTest {};

TEST_P(FtpRecursiveListingTest, NamesTheSectionsOfEachDirectory) {
  fs::create_directories(Home() / "img" / "sub");
  WriteWholeFile(Home() / "top.txt", "1");
  WriteWholeFile(Home() / "img" / "logo.png", "22");
  WriteWholeFile(Home() / "img" / "sub" / "deep.png", "333");

  ftp().List("", "-laR");
  TLinkList list;
  std::vector<std::string> entries;
  for (const TFtpFile* file : Listed(list)) {
    entries.push_back(file->Dir + "|" + file->Name + "|" +
                      (file->IsDir ? "dir" : std::to_string(file->Size)));
  }
  std::sort(entries.begin(), entries.end());
  const std::vector<std::string> expected = {"img/sub|deep.png|3", "img|logo.png|2", "img|sub|dir",
                                             "|img|dir", "|top.txt|1"};
  EXPECT_THAT(entries, ::testing::ElementsAreArray(expected)) << ftp().ListingText;
}

INSTANTIATE_TEST_SUITE_P(Servers, FtpRecursiveListingTest,
                         ::testing::Values(TSetup{TServerKind::Vsftpd, true},
                                           TSetup{TServerKind::Vsftpd, false}),
                         SetupName);

}  // namespace
}  // namespace quillmar::testing
