// Upload and download throughput of the FTP client against vsftpd on loopback, in passive and
// active mode, beside curl moving the same file to the same server in the same run.
//
//   bench_ftp [MiB] [repeats]     defaults: 256 MiB, best of 3
//
// Prints one line per case with both rates and their ratio; the target is at least 0.8 of
// curl's rate in every case. Needs root (vsftpd) and curl; says so and exits 0 without them.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "best_time.h"
#include "ftp/ftp_socket.h"
#include "support/temp_dir.h"
#include "support/vsftpd_server.h"

using quillmar::bench::BestSeconds;

namespace {

namespace fs = std::filesystem;
using quillmar::testing::TTempDir;
using quillmar::testing::TVsftpdServer;
using Clock = std::chrono::steady_clock;

constexpr double kTargetRatio = 0.8;

void WriteRandomFile(const fs::path& path, std::uint64_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::mt19937_64 random(42);
  std::vector<std::uint64_t> block(1 << 16);
  for (std::uint64_t written = 0; written < size;) {
    for (auto& word : block)
      word = random();
    const std::uint64_t count = std::min<std::uint64_t>(size - written, block.size() * 8);
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(count));
    written += count;
  }
  if (!out)
    throw std::runtime_error("cannot write " + path.string());
}

void Expect(bool condition, const std::string& what) {
  if (!condition)
    throw std::runtime_error(what);
}

class TBench {
 public:
  TBench(std::uint64_t size, int repeats) : size_(size), repeats_(repeats) {
    source_ = local_.path() / "source.bin";
    WriteRandomFile(source_, size_);
  }

  void RunCase(bool upload, bool passive) {
    const fs::path home = server_.local_home();
    const fs::path remote_file = home / "bench.bin";
    const fs::path local_file = local_.path() / "download.bin";
    const auto reset = [&] {
      std::error_code ignored;
      fs::remove(local_file, ignored);
      if (upload) {
        fs::remove(remote_file, ignored);
      } else if (!fs::exists(remote_file)) {
        fs::copy_file(source_, remote_file);
      }
    };
    const auto check = [&] {
      Expect(fs::file_size(upload ? remote_file : local_file) == size_, "incomplete transfer");
    };

    const auto run_ours = [&] {
      quillmar::TFtpSocket ftp;
      ftp.SetPeer(server_.host_port());
      ftp.User = server_.user();
      ftp.Password = server_.password();
      std::int64_t reported = 0;
      ftp.OnProgress = [&](quillmar::TFtpSocket&, std::int64_t bytes) { reported = bytes; };
      ftp.Connect("");
      ftp.SetPassive(passive);
      ftp.SetTransferType(quillmar::ttBinary);
      ftp.ChangeDir(server_.remote_home());
      if (upload)
        ftp.Store(source_.string(), "bench.bin");
      else
        ftp.Retrieve(local_file.string(), "bench.bin");
      ftp.Quit();
      ftp.Close();
      check();
    };

    const std::string url =
        "ftp://127.0.0.1:" + std::to_string(server_.port()) + server_.remote_home() + "/bench.bin";
    std::string command = "curl -sS --disable-epsv --disable-eprt -u '" + server_.user() + ":" +
                          server_.password() + "' " +
                          (passive ? "--ftp-pasv " : "--ftp-port 127.0.0.1 ") +
                          (upload ? "-T '" + source_.string() + "' '" + url + "'"
                                  : "-o '" + local_file.string() + "' '" + url + "'");
    const auto run_curl = [&] {
      Expect(std::system(command.c_str()) == 0, "curl failed: " + command);
      check();
    };
    const auto [ours, theirs] = BestSeconds(repeats_, reset, run_ours, run_curl);

    const double mib = static_cast<double>(size_) / (1 << 20);
    const double ratio = theirs / ours;
    std::printf("%-8s %-7s  quillmar %8.1f MiB/s   curl %8.1f MiB/s   ratio %.2f  %s\n",
                upload ? "upload" : "download", passive ? "passive" : "active", mib / ours,
                mib / theirs, ratio, ratio >= kTargetRatio ? "ok" : "BELOW TARGET 0.80");
    std::fflush(stdout);
  }

 private:
  std::uint64_t size_;
  int repeats_;
  TVsftpdServer server_;
  TTempDir local_{"quillmar-bench"};
  fs::path source_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string reason = TVsftpdServer::SkipReason();
  if (!reason.empty() || std::system("curl --version >/dev/null 2>&1") != 0) {
    std::printf("bench_ftp: skipped: %s\n", reason.empty() ? "curl is missing" : reason.c_str());
    return 0;
  }
  const std::uint64_t mib = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 256;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  try {
    TBench bench(mib << 20, repeats);
    std::printf("bench_ftp: %llu MiB file, vsftpd on 127.0.0.1, best of %d\n",
                static_cast<unsigned long long>(mib), repeats);
    for (const bool passive : {true, false}) {
      bench.RunCase(true, passive);
      bench.RunCase(false, passive);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_ftp: %s\n", error.what());
    return 1;
  }
  return 0;
}
