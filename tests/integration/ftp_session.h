#pragma once

#include <gtest/gtest.h>
#include <sys/time.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <random>
#include <string>

#include "ftp/blocking.h"
#include "ftp/ftp_socket.h"
#include "log/recording_logger.h"
#include "support/ftp_servers.h"
#include "util/date_time.h"

namespace quillmar::testing {

// One server kind in one data connection mode.
struct TSetup {
  TServerKind Kind;
  bool Passive;
};

inline void PrintTo(const TSetup& setup, std::ostream* out) {
  *out << ServerKindName(setup.Kind) << (setup.Passive ? " passive" : " active");
}

inline std::string SetupName(const ::testing::TestParamInfo<TSetup>& info) {
  return ServerKindName(info.param.Kind) + (info.param.Passive ? "Passive" : "Active");
}

inline const TSetup kAllSetups[] = {{TServerKind::Pyftpd, true},
                                    {TServerKind::Pyftpd, false},
                                    {TServerKind::Vsftpd, true},
                                    {TServerKind::Vsftpd, false}};

// A control connection to a test server that keeps its protocol log for failure messages.
// While it exists, every blocking call of the thread gives up after kSessionLimit, so that a
// server waiting for something that never comes fails the test instead of hanging it.
class TFtpSession {
 public:
  static constexpr std::chrono::seconds kSessionLimit{30};

  TFtpSession() : deadline_(kSessionLimit) {
    auto logger = std::make_unique<TRecordingLogger>();
    log_ = logger.get();
    ftp = std::make_unique<TFtpSocket>(std::move(logger));
  }

  void Login(const TTestFtpServer& server, const std::string& password) {
    ftp->SetPeer(server.host_port());
    ftp->User = server.user();
    ftp->Password = password;
    ftp->Connect("");
  }

  std::string Protocol() const {
    std::string text;
    for (const TLogEntry& entry : log_->Entries)
      text += std::to_string(entry.Level) + " " + entry.Line + "\n";
    return text;
  }

  std::unique_ptr<TFtpSocket> ftp;

 private:
  TBlockingDeadline deadline_;
  TRecordingLogger* log_;
};

// Test data with every byte value: a line feed first (the byte a text-mode transfer would
// change), then 0..255 in order, then pseudo-random bytes.
inline std::string TestBytes(std::size_t size) {
  std::string bytes;
  bytes.reserve(size);
  if (size > 0)
    bytes += '\n';
  for (int value = 0; value < 256 && bytes.size() < size; ++value)
    bytes += static_cast<char>(value);
  std::mt19937 random(static_cast<std::uint32_t>(size));
  while (bytes.size() < size)
    bytes += static_cast<char>(random() & 0xFF);
  return bytes;
}

inline void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Byte-exact comparison that names the first difference instead of printing megabytes.
inline ::testing::AssertionResult SameBytes(const std::string& expected,
                                            const std::string& actual) {
  if (expected == actual)
    return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
    ++at;
  return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got "
                                       << actual.size() << "; first difference at byte " << at;
}

// The modification time of a file, given as a local date-time.
inline void SetModificationTime(const std::filesystem::path& path, TDateTime local) {
  const std::int64_t seconds = LocalDateTimeToUnix(local);
  const timeval times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0) << path;
}

// The value with its seconds dropped, as a listing shows it.
inline TDateTime WholeMinutes(TDateTime value) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  DecodeTime(value, hour, minute, second, msec);
  return value - EncodeTime(0, 0, second, msec);
}

}  // namespace quillmar::testing
