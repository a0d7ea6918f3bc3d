// quillmar-cli as a script sees it: its commands, output, exit codes, password sources and
// Ctrl-C, against pyftpdlib; a comparison and a run against vsftpd in both modes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/home_profile.h"
#include "settings/profile.h"
#include "support/ftp_servers.h"
#include "support/pyftpd_server.h"
#include "support/temp_dir.h"

extern char** environ;

namespace quillmar::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::UnorderedElementsAre;
using Clock = std::chrono::steady_clock;

struct TCliResult {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// Runs quillmar-cli without a controlling terminal, with `env` added to a copy of this
// process's environment (QUILLMAR_* variables left out). `on_stderr` sees the standard error
// collected so far after every piece and may signal the child.
TCliResult RunCli(const std::vector<std::string>& args,
                  const std::map<std::string, std::string>& env = {},
                  const std::function<void(pid_t, const std::string&)>& on_stderr = {}) {
  std::vector<std::string> argv{QUILLMAR_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envv;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, "QUILLMAR_", 9) != 0)
      envv.emplace_back(*e);
  }
  for (const auto& [key, value] : env)
    envv.push_back(key + "=" + value);
  std::vector<char*> argp, envp;
  for (std::string& a : argv)
    argp.push_back(a.data());
  argp.push_back(nullptr);
  for (std::string& e : envv)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const int null_fd = open("/dev/null", O_RDONLY);
    dup2(null_fd, STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    execve(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);

  TCliResult result;
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open_fds = 2;
  while (open_fds > 0 && Clock::now() < deadline) {
    if (poll(fds, 2, 200) < 0)
      break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP)) == 0)
        continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
        continue;
      }
      (i == 0 ? result.Out : result.Err).append(buffer, static_cast<std::size_t>(n));
      if (i == 1 && on_stderr)
        on_stderr(pid, result.Err);
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0)
      close(fd.fd);
  }
  if (open_fds > 0)
    kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos)
      break;
    start = end + 1;
  }
  return lines;
}

void Place(const fs::path& path, const std::string& content, std::int64_t unix_seconds) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
  const timespec times[2] = {{static_cast<time_t>(unix_seconds), 0},
                             {static_cast<time_t>(unix_seconds), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

std::string Describe(const TCliResult& result) {
  return "exit " + std::to_string(result.ExitCode) + "\n--- stdout\n" + result.Out +
         "--- stderr\n" + result.Err;
}

// Some minutes ago, so that the listing shows the time of day.
const std::int64_t kEarlier = std::chrono::duration_cast<std::chrono::seconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                      .count() /
                                  60 * 60 -
                              3 * 86400;

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string reason = TPyftpdServer::SkipReason();
    if (!reason.empty())
      GTEST_SKIP() << reason;
  }

  void StartServer(std::int64_t max_rate = 0) {
    TPyftpdServer::TOptions options;
    options.MaxRate = max_rate;
    server_ = std::make_unique<TPyftpdServer>(options);
    fs::create_directories(Remote());
  }

  // Stores a profile for the server, the local root in local_.
  void AddProfile(const std::string& name, const std::string& password, bool save_password,
                  const std::function<void(THomeProfile&)>& adjust = {}) {
    THomeProfile profile("", ini_);
    profile.Name = name;
    profile.FtpServer = server_ ? server_->host_port() : "127.0.0.1:1";
    profile.UserName = server_ ? server_->user() : "nobody";
    profile.Password = password;
    profile.SavePassword = save_password;
    profile.LocalRoot = local_.path().string();
    profile.RemoteRoot = "/site";
    profile.PasvMode = true;
    // pyftpdlib takes "-la path" for a path; it lists with a plain LIST only.
    profile.ListType = 0;
    if (adjust)
      adjust(profile);
    profile.Save();
  }

  // One file on each side only and one on both, identical.
  void PlaceSmallTree() {
    Place(Local() / "a.txt", "local a", kEarlier);
    Place(Remote() / "b.txt", "remote b", kEarlier);
    Place(Local() / "c.txt", "same c", kEarlier);
    Place(Remote() / "c.txt", "same c", kEarlier);
  }

  std::vector<std::string> WithConfig(std::vector<std::string> args) const {
    args.insert(args.begin(), {"--config-dir", config_.path().string()});
    return args;
  }

  fs::path Local() const { return local_.path(); }
  fs::path Remote() const { return server_->root() / "site"; }

  TTempDir config_{"quillmar-cli-config"};
  TProfile ini_{(config_.path() / "Quillmar.ini").string()};
  TTempDir local_{"quillmar-cli-local"};
  std::unique_ptr<TPyftpdServer> server_;
};

TEST_F(CliTest, HelpAndWrongUsage) {
  const TCliResult help = RunCli({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_THAT(help.Out, AllOf(HasSubstr("Aufruf:"), HasSubstr("Rückgabewerte:"),
                              HasSubstr("--only pump|suck")));

  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"frobnicate"},
      {"compare"},
      {"profiles", "extra"},
      {"sync", "Site", "--only", "both"},
      {"compare", "Site", "--only", "pump"},
      {"--bogus", "profiles"},
      {"profiles", "--config-dir"},
  };
  for (const std::vector<std::string>& args : wrong) {
    const TCliResult result = RunCli(args);
    SCOPED_TRACE(Describe(result));
    EXPECT_EQ(result.ExitCode, 64);
    EXPECT_THAT(result.Err, HasSubstr("Aufruf:"));
    EXPECT_EQ(result.Out, "");
  }
}

TEST_F(CliTest, ProfilesListsTheStoredNames) {
  EXPECT_EQ(RunCli(WithConfig({"profiles"})).Out, "");
  AddProfile("Beta", "", false);
  AddProfile("alpha", "", false);

  const TCliResult result = RunCli(WithConfig({"profiles"}));

  EXPECT_EQ(result.ExitCode, 0) << Describe(result);
  EXPECT_THAT(Lines(result.Out), UnorderedElementsAre("Beta", "alpha"));
}

TEST_F(CliTest, UnknownProfileIsAUsageError) {
  AddProfile("Site", "x", true);
  const TCliResult result = RunCli(WithConfig({"compare", "Nope"}));
  EXPECT_EQ(result.ExitCode, 64) << Describe(result);
  EXPECT_THAT(result.Err, HasSubstr("Unbekanntes Profil: Nope"));
}

TEST_F(CliTest, CompareListsEachEntryWithItsAction) {
  StartServer();
  PlaceSmallTree();
  AddProfile("Site", server_->password(), true);

  const TCliResult result = RunCli(WithConfig({"compare", "site"}));

  EXPECT_EQ(result.ExitCode, 0) << Describe(result);
  EXPECT_THAT(Lines(result.Out), ElementsAre("Saugen\tb.txt", "Pumpen\ta.txt", "\u00B7\tc.txt"));
  EXPECT_THAT(result.Err, AllOf(HasSubstr(".Verbindungsaufbau zum FTP-Server"),
                                HasSubstr("S: USER " + server_->user()), HasSubstr("R: 230")));
  EXPECT_THAT(result.Err, Not(HasSubstr(server_->password())));
  EXPECT_EQ(Text(Local() / "b.txt"), "<missing>") << "a comparison changes nothing";
}

TEST_F(CliTest, SyncCarriesOutTheProposalsAndPrintsEachResult) {
  StartServer();
  PlaceSmallTree();
  AddProfile("Site", server_->password(), true);
  ini_.WriteSpecBool("*Global*\rFile Log\r0", true);

  const TCliResult result = RunCli(WithConfig({"sync", "Site"}));

  EXPECT_EQ(result.ExitCode, 0) << Describe(result);
  EXPECT_THAT(Lines(result.Out), ElementsAre("Saugen\tb.txt\tOK", "Pumpen\ta.txt\tOK"));
  EXPECT_EQ(Text(Remote() / "a.txt"), "local a");
  EXPECT_EQ(Text(Local() / "b.txt"), "remote b");
  // The protocol file holds the latest connection: the run's.
  const std::string protocol = Text(config_.path() / "FTP-Protokoll.txt");
  EXPECT_THAT(protocol, AllOf(HasSubstr("S: STOR /site/a.txt"), HasSubstr("S: RETR /site/b.txt")));
  EXPECT_THAT(protocol, Not(HasSubstr(server_->password())));

  const TCliResult again = RunCli(WithConfig({"sync", "Site"}));
  EXPECT_EQ(again.ExitCode, 0) << Describe(again);
  EXPECT_EQ(again.Out, "");
  EXPECT_THAT(again.Err, HasSubstr("Alle Dateien sind synchron."));
}

TEST_F(CliTest, SyncOnlyCarriesOutOneKindOfAction) {
  struct TCase {
    const char* only;
    const char* line;
    bool uploaded;
    bool downloaded;
  };
  for (const TCase& c : {TCase{"pump", "Pumpen\ta.txt\tOK", true, false},
                         TCase{"suck", "Saugen\tb.txt\tOK", false, true}}) {
    SCOPED_TRACE(c.only);
    StartServer();
    fs::remove_all(Local());
    fs::create_directories(Local());
    PlaceSmallTree();
    AddProfile("Site", server_->password(), true);

    const TCliResult result = RunCli(WithConfig({"sync", "Site", "--only", c.only}));

    EXPECT_EQ(result.ExitCode, 0) << Describe(result);
    EXPECT_THAT(Lines(result.Out), ElementsAre(c.line));
    EXPECT_EQ(fs::exists(Remote() / "a.txt"), c.uploaded);
    EXPECT_EQ(fs::exists(Local() / "b.txt"), c.downloaded);
  }
}

TEST_F(CliTest, FailedEntriesGiveExitCodeOne) {
  StartServer();
  // A file on the server where the local side has a directory of that name, both ways round:
  // neither the upload nor the download can succeed.
  Place(Local() / "x/inside.txt", "x", kEarlier);
  Place(Remote() / "x", "a file", kEarlier);
  Place(Local() / "ok.txt", "fine", kEarlier);
  AddProfile("Site", server_->password(), true);

  const TCliResult result = RunCli(WithConfig({"sync", "Site"}));

  EXPECT_EQ(result.ExitCode, 1) << Describe(result);
  EXPECT_THAT(result.Out, HasSubstr("Pumpen\tok.txt\tOK"));
  EXPECT_THAT(result.Err, HasSubstr("Übertragung mit 2 Fehlern abgeschlossen."));
  EXPECT_EQ(Text(Local() / "x/inside.txt"), "x");
}

TEST_F(CliTest, WrongPasswordGivesExitCodeTwo) {
  StartServer();
  PlaceSmallTree();
  AddProfile("Site", server_->wrong_password(), true);

  for (const char* command : {"compare", "sync"}) {
    const TCliResult result = RunCli(WithConfig({command, "Site"}));
    SCOPED_TRACE(Describe(result));
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_THAT(result.Err, AllOf(HasSubstr("Kann Verbindung zum FTP-Server nicht aufbauen."),
                                  HasSubstr("530")));
    EXPECT_THAT(result.Err, Not(HasSubstr(server_->wrong_password())));
    EXPECT_EQ(result.Out, "");
  }
}

TEST_F(CliTest, PasswordComesFromTheEnvironmentWhenTheProfileHasNone) {
  StartServer();
  PlaceSmallTree();
  AddProfile("Site", "", false);

  const TCliResult with_env =
      RunCli(WithConfig({"compare", "Site"}), {{"QUILLMAR_PASSWORD", server_->password()}});
  EXPECT_EQ(with_env.ExitCode, 0) << Describe(with_env);
  EXPECT_EQ(Lines(with_env.Out).size(), 3u);
  EXPECT_THAT(with_env.Err, Not(HasSubstr(server_->password())));

  // Neither the environment nor a terminal to ask: no login is tried.
  const TCliResult without = RunCli(WithConfig({"compare", "Site"}));
  EXPECT_EQ(without.ExitCode, 2) << Describe(without);
  EXPECT_THAT(without.Err, HasSubstr("Kein Passwort"));
  EXPECT_THAT(without.Err, Not(HasSubstr("S: USER")));
}

TEST_F(CliTest, CtrlCDuringATransferCancelsTheRun) {
  StartServer(64 * 1024);
  Place(Local() / "big.bin", std::string(1024 * 1024, 'b'), kEarlier);
  Place(Local() / "zz_after.txt", "after", kEarlier);
  AddProfile("Site", server_->password(), true);
  bool sent = false;

  const TCliResult result =
      RunCli(WithConfig({"sync", "Site"}), {}, [&](pid_t pid, const std::string& err) {
        if (!sent && err.find("S: STOR /site/big.bin") != std::string::npos) {
          sent = true;
          kill(pid, SIGINT);
        }
      });

  ASSERT_TRUE(sent) << Describe(result);
  EXPECT_EQ(result.ExitCode, 3) << Describe(result);
  EXPECT_THAT(result.Err, HasSubstr(".ABBRUCH ANGEFORDERT"));
  EXPECT_THAT(result.Err, HasSubstr("Übertragung durch Benutzer abgebrochen."));
  EXPECT_THAT(result.Out, Not(HasSubstr("big.bin\tOK")));
  EXPECT_THAT(result.Out, Not(HasSubstr("zz_after.txt")));
  EXPECT_FALSE(fs::exists(Remote() / "zz_after.txt"));
}

// vsftpd lists recursively, so the fast LIST type runs through the whole command line here.
class CliVsftpdTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    const std::string reason = ServerSkipReason(TServerKind::Vsftpd);
    if (!reason.empty())
      GTEST_SKIP() << reason;
    server_ = StartServer(TServerKind::Vsftpd);
  }
  TTempDir config_{"quillmar-cli-config"};
  TTempDir local_{"quillmar-cli-local"};
  std::unique_ptr<TTestFtpServer> server_;
};

TEST_P(CliVsftpdTest, CompareAndSyncFromEndToEnd) {
  const fs::path remote = server_->local_home() / "site";
  fs::create_directories(remote / "img");
  Place(local_.path() / "index.html", "new index", kEarlier + 3600);
  Place(remote / "index.html", "old index", kEarlier);
  Place(remote / "img" / "logo.png", "logo", kEarlier);
  Place(local_.path() / "css" / "site.css", "css", kEarlier);
  // The server works as its own account; what the test placed must be that account's.
  if (const passwd* ftp = getpwnam("ftp")) {
    for (const auto& entry : fs::recursive_directory_iterator(remote))
      EXPECT_EQ(chown(entry.path().c_str(), ftp->pw_uid, ftp->pw_gid), 0);
    EXPECT_EQ(chown(remote.c_str(), ftp->pw_uid, ftp->pw_gid), 0);
  }
  {
    TProfile ini((config_.path() / "Quillmar.ini").string());
    THomeProfile profile("", ini);
    profile.Name = "Site";
    profile.FtpServer = server_->host_port();
    profile.UserName = server_->user();
    profile.Password = server_->password();
    profile.SavePassword = true;
    profile.LocalRoot = local_.path().string();
    profile.RemoteRoot = server_->remote_home() + "/site";
    profile.PasvMode = GetParam();
    profile.ListType = 2;
    profile.Save();
  }
  const std::vector<std::string> config = {"--config-dir", config_.path().string()};
  auto with = [&](std::vector<std::string> args) {
    args.insert(args.begin(), config.begin(), config.end());
    return args;
  };

  const TCliResult compared = RunCli(with({"compare", "Site"}));
  EXPECT_EQ(compared.ExitCode, 0) << Describe(compared);
  EXPECT_THAT(
      Lines(compared.Out),
      UnorderedElementsAre("Saugen\timg/logo.png", "Pumpen\tindex.html", "Pumpen\tcss/site.css"));
  EXPECT_THAT(compared.Err, HasSubstr(".Listung: Schnell"));

  const TCliResult synced = RunCli(with({"sync", "Site"}));
  EXPECT_EQ(synced.ExitCode, 0) << Describe(synced);
  EXPECT_EQ(Text(remote / "index.html"), "new index");
  EXPECT_EQ(Text(remote / "css" / "site.css"), "css");
  EXPECT_EQ(Text(local_.path() / "img" / "logo.png"), "logo");

  const TCliResult again = RunCli(with({"compare", "Site"}));
  EXPECT_EQ(again.ExitCode, 0) << Describe(again);
  for (const std::string& line : Lines(again.Out))
    EXPECT_EQ(line.substr(0, line.find('\t')), "\u00B7") << line;
}

INSTANTIATE_TEST_SUITE_P(Modes, CliVsftpdTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

}  // namespace
}  // namespace quillmar::testing
