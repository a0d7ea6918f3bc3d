// The comparison and the run against vsftpd on loopback, beside lftp's mirror on the same trees
// in the same run, and the peak memory of a large comparison.
//
//   bench_sync [repeats]     default: best of 3
//
// Cases and targets (time of quillmar / time of lftp):
//   compare 20,000 identical files in 1,000 directories, LIST type 2   <= 0.5
//   the same with LIST type 1                                           <= 1.0
//   upload 2,000 new files of 4 KiB in 100 directories ("Vollautomatik") <= 1.0
//   peak resident memory of a comparison of 100,000 files (type 2)     < 150 MB
// Needs root (vsftpd) and lftp; says so and exits 0 without them.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "best_time.h"
#include "log/logger.h"
#include "settings/home_profile.h"
#include "settings/profile.h"
#include "support/temp_dir.h"
#include "support/vsftpd_server.h"
#include "sync/engine.h"
#include "sync/host.h"
#include "util/message_box.h"
#include "util/path.h"

using quillmar::bench::BestSeconds;

namespace {

namespace fs = std::filesystem;
using quillmar::testing::TTempDir;
using quillmar::testing::TVsftpdServer;
using Clock = std::chrono::steady_clock;

void Expect(bool condition, const std::string& what) {
  if (!condition)
    throw std::runtime_error(what);
}

// A window that shows nothing; the protocol goes nowhere, message boxes are kept for errors.
class TQuietHost : public quillmar::TSyncHost {
 public:
  std::vector<std::string> Boxes;

  std::string AskPassword(const std::string&) override { return std::string(); }
  int MessageBox(const std::string& text, int) override {
    Boxes.push_back(text);
    return quillmar::kIdOk;
  }
  void Beep() override {}
  void EditProfile() override {}
  void ShowCurrentFile(const std::string&) override {}
  void ShowTimeSlip(const std::string&) override {}
  void ShowStatistics(const quillmar::TStatisticsView&) override {}
  void ShowProgress(const quillmar::TProgressView&) override {}
  void SetApplicationTitle(const std::string&) override {}
  void UpdateCommandStates(bool) override {}
  std::unique_ptr<quillmar::TLogger> CreateLogSink() override {
    return std::make_unique<TNullLogger>();
  }
  void AddLogLine(int, const std::string&) override {}
  void ClearGrid() override {}
  void FillGrid(bool, int) override {}
  void RepaintRow(int) override {}
  void FitResultColumn(const quillmar::TFileNode&, int) override {}
  void AutoSizeColumn(int, int) override {}
  std::vector<int> SelectedRows() override { return {}; }
  void SetRowSelected(int, bool) override {}
  void ProcessMessages() override {}

 private:
  class TNullLogger : public quillmar::TLogger {
   public:
    void WriteLine(int, std::string_view) override {}
  };
};

// `dirs` directories of `files` files of `size` bytes each, all with one modification time.
void BuildTree(const fs::path& root, int dirs, int files, std::size_t size) {
  const std::string content(size, 'q');
  const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
  for (int d = 0; d < dirs; ++d) {
    char dir_name[32];
    std::snprintf(dir_name, sizeof dir_name, "dir%04d", d);
    const fs::path dir = root / dir_name;
    fs::create_directories(dir);
    for (int f = 0; f < files; ++f) {
      char file_name[32];
      std::snprintf(file_name, sizeof file_name, "file%03d.html", f);
      const std::string path = (dir / file_name).string();
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      Expect(fd >= 0, "cannot create " + path);
      Expect(::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()),
             "cannot write " + path);
      ::futimens(fd, times);
      ::close(fd);
    }
  }
}

int CountFiles(const fs::path& root) {
  int count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

void Run(const std::string& command) {
  Expect(std::system(command.c_str()) == 0, "failed: " + command);
}

void Report(const std::string& what, double ours, double theirs, double target) {
  const double ratio = ours / theirs;
  std::printf("%s: quillmar %.3f s\n", what.c_str(), ours);
  std::printf("%s: lftp %.3f s\n", what.c_str(), theirs);
  std::printf("%s: ratio %.2f (target <= %.2f) %s\n", what.c_str(), ratio, target,
              ratio <= target ? "ok" : "MISSED");
  std::fflush(stdout);
}

// One comparison or "Vollautomatik" run with a fresh engine, as the program makes it.
struct TSyncSetup {
  std::string Server;  // host:port
  std::string User;
  std::string Password;
  std::string LocalRoot;
  std::string RemoteRoot;
  int ListType = quillmar::kListTypeFast;
};

int RunEngine(const TSyncSetup& setup, bool automatic, const fs::path& ini_path) {
  quillmar::TProfile ini(ini_path.string());
  TQuietHost host;
  quillmar::TSyncEngine engine(host);
  auto profile = std::make_unique<quillmar::THomeProfile>("", ini);
  profile->Name = "Bench";
  profile->FtpServer = setup.Server;
  profile->UserName = setup.User;
  profile->Password = setup.Password;
  profile->LocalRoot = setup.LocalRoot;
  profile->RemoteRoot = setup.RemoteRoot;
  profile->PasvMode = true;
  profile->ListType = static_cast<std::uint8_t>(setup.ListType);
  engine.SetProfile(std::move(profile));
  engine.RunComparison(automatic);
  Expect(engine.LastComparison.Completed, "comparison failed: " + engine.LastComparison.Error);
  if (automatic)
    Expect(engine.LastRun.ErrorCount == 0 && !engine.LastRun.ConnectFailed, "run failed");
  return engine.LastComparison.Actions;
}

// The peak resident memory of this process so far, in KiB.
long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0)
      return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

class TBench {
 public:
  explicit TBench(int repeats) : repeats_(repeats) {}

  std::string Lftp(const std::string& mirror) const {
    return "lftp -c 'set ftp:passive-mode on; set net:max-retries 1; set cmd:fail-exit yes; "
           "open -u " +
           server_.user() + "," + server_.password() +
           " ftp://127.0.0.1:" + std::to_string(server_.port()) + "; " + mirror + "' >/dev/null";
  }

  TSyncSetup Setup(const fs::path& local, const std::string& remote_dir, int list_type) const {
    return {server_.host_port(),
            server_.user(),
            server_.password(),
            local.string(),
            server_.remote_home() + "/" + remote_dir,
            list_type};
  }

  void CompareCases() {
    const fs::path local = work_.path() / "cmp-local";
    BuildTree(local, 1000, 20, 64);
    // The server's copy shares the files: same sizes, same dates.
    Run("cp -al '" + local.string() + "' '" + (server_.local_home() / "cmp").string() + "'");
    const std::string lftp =
        Lftp("mirror -R --dry-run " + local.string() + " " + server_.remote_home() + "/cmp");
    for (const int list_type : {quillmar::kListTypeFast, quillmar::kListTypeNormal}) {
      const TSyncSetup setup = Setup(local, "cmp", list_type);
      int actions = -1;
      const auto [ours, theirs] = BestSeconds(
          repeats_, [] {}, [&] { actions = RunEngine(setup, false, Ini()); }, [&] { Run(lftp); });
      Expect(actions == 0, "identical trees, yet " + std::to_string(actions) + " actions");
      Report("compare 20000 files, LIST type " + std::to_string(list_type), ours, theirs,
             list_type == quillmar::kListTypeFast ? 0.5 : 1.0);
    }
  }

  void UploadCase() {
    const fs::path local = work_.path() / "up-local";
    BuildTree(local, 100, 20, 4096);
    const fs::path remote = server_.local_home() / "up";
    const auto reset = [&] {
      fs::remove_all(remote);
      fs::create_directory(remote);
      Run("chown ftp:ftp '" + remote.string() + "'");
    };
    const auto check = [&] { Expect(CountFiles(remote) == 2000, "upload incomplete"); };
    const TSyncSetup setup = Setup(local, "up", quillmar::kListTypeFast);
    const std::string lftp =
        Lftp("mirror -R " + local.string() + " " + server_.remote_home() + "/up");
    const auto [ours, theirs] = BestSeconds(
        repeats_, reset,
        [&] {
          RunEngine(setup, true, Ini());
          check();
        },
        [&] {
          Run(lftp);
          check();
        });
    Report("upload 2000 files of 4 KiB", ours, theirs, 1.0);
  }

  // In a child process of its own, so that the figure is the comparison's alone.
  void MemoryCase() {
    const fs::path local = work_.path() / "mem-local";
    BuildTree(local, 1000, 100, 16);
    Run("cp -al '" + local.string() + "' '" + (server_.local_home() / "mem").string() + "'");
    const TSyncSetup setup = Setup(local, "mem", quillmar::kListTypeFast);
    const std::string command = quillmar::ExecutablePath() + " --memory-child " + setup.Server +
                                " " + setup.User + " " + setup.Password + " " + setup.LocalRoot +
                                " " + setup.RemoteRoot + " " + Ini().string();
    FILE* child = ::popen(command.c_str(), "r");
    Expect(child != nullptr, "cannot start " + command);
    long before = -1, after = -1;
    Expect(std::fscanf(child, "%ld %ld", &before, &after) == 2, "no figure from the child");
    Expect(::pclose(child) == 0, "the child failed");
    std::printf("compare 100000 files, LIST type 2: peak resident %.1f MB (%.1f MB before)\n",
                after / 1024.0, before / 1024.0);
    std::printf("compare 100000 files: target < 150 MB %s\n", after < 150 * 1024 ? "ok" : "MISSED");
    std::fflush(stdout);
  }

 private:
  fs::path Ini() const { return work_.path() / "Quillmar.ini"; }

  int repeats_;
  TVsftpdServer server_;
  TTempDir work_{"quillmar-bench-sync"};
};

int MemoryChild(char** argv) {
  const TSyncSetup setup{argv[0], argv[1], argv[2], argv[3], argv[4], quillmar::kListTypeFast};
  const long before = PeakResidentKiB();
  RunEngine(setup, false, argv[5]);
  std::printf("%ld %ld\n", before, PeakResidentKiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 8 && std::strcmp(argv[1], "--memory-child") == 0)
      return MemoryChild(argv + 2);
    const std::string reason = TVsftpdServer::SkipReason();
    if (!reason.empty() || std::system("lftp --version >/dev/null 2>&1") != 0) {
      std::printf("bench_sync: skipped: %s\n", reason.empty() ? "lftp is missing" : reason.c_str());
      return 0;
    }
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    TBench bench(repeats);
    std::printf("bench_sync: vsftpd on 127.0.0.1, passive, best of %d\n", repeats);
    bench.CompareCases();
    bench.UploadCase();
    bench.MemoryCase();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_sync: %s\n", error.what());
    return 1;
  }
  return 0;
}
