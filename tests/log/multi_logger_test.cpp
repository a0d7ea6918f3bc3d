#include "log/multi_logger.h"

#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "log/file_logger.h"
#include "log/recording_logger.h"
#include "log/strings_logger.h"

namespace quillmar {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Records lines and tells when it is destroyed.
class TWatchedLogger : public TRecordingLogger {
 public:
  explicit TWatchedLogger(bool* destroyed) : destroyed_(destroyed) {}
  ~TWatchedLogger() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

struct MultiLoggerTest : ::testing::Test {
  TRecordingLogger* Add(std::uint8_t levels = 63, std::uint8_t mode = 1) {
    auto child = std::make_unique<TRecordingLogger>();
    child->Levels = levels;
    child->Mode = mode;
    auto* raw = child.get();
    multi.AddLogger(std::move(child));
    return raw;
  }
  TMultiLogger multi;
};

TEST_F(MultiLoggerTest, ForwardsToChildrenWhoseLevelsInclude) {
  auto* all = Add();
  auto* errors_only = Add(1 << llError);
  multi.Log(llInfo, "Verbindungsaufbau");
  multi.Log(llError, "Fehler");
  EXPECT_THAT(all->Entries,
              ElementsAre(TLogEntry{llInfo, "Verbindungsaufbau"}, TLogEntry{llError, "Fehler"}));
  EXPECT_THAT(errors_only->Entries, ElementsAre(TLogEntry{llError, "Fehler"}));
}

TEST_F(MultiLoggerTest, OwnLevelsAndModeFilterFirst) {
  auto* child = Add(255);
  multi.Log(6, "off by default");
  multi.Levels = 255;
  multi.Mode = 0;
  multi.Log(llInfo, "switched off");
  multi.LogData(llSent, "USER x\r\n");
  EXPECT_THAT(child->Entries, IsEmpty());
}

TEST_F(MultiLoggerTest, RendersOnceByItsOwnMode) {
  auto* hex_child = Add(63, 4);
  multi.LogData(llSent, "USER x\r\n");
  multi.Mode = 2;
  multi.LogData(llSent, "OK\r\n");
  EXPECT_THAT(hex_child->Lines(), ElementsAre("USER x^M^J", "4F 4B 0D 0A  OK\xC2\xAC\xC2\xAC"));
}

TEST_F(MultiLoggerTest, ChildWriteLineRulesStillApply) {
  TStringList visible;
  TStringList silent;
  auto on = std::make_unique<TStringsLogger>(&visible);
  on->Mode = 3;  // a hex child still gets text lines, with its prefix
  auto off = std::make_unique<TStringsLogger>(&silent);
  off->Mode = 0;
  multi.AddLogger(std::move(on));
  multi.AddLogger(std::move(off));
  multi.LogData(llReceived, "220 Bereit\r\n");
  ASSERT_EQ(visible.Count(), 1);
  EXPECT_EQ(visible[0], "R: 220 Bereit^M^J");
  EXPECT_EQ(silent.Count(), 0);
}

TEST(MultiLogger, OwnsAndDestroysItsChildren) {
  bool first = false;
  bool second = false;
  {
    TMultiLogger multi;
    multi.AddLogger(std::make_unique<TWatchedLogger>(&first));
    multi.AddLogger(nullptr);
    multi.AddLogger(std::make_unique<TWatchedLogger>(&second));
    EXPECT_EQ(multi.Count(), 2);
    EXPECT_FALSE(first || second);
  }
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

TEST(MultiLogger, FailingChildDoesNotHideLineFromOthers) {
  if (::access("/dev/full", W_OK) != 0)
    GTEST_SKIP() << "no /dev/full";
  TMultiLogger multi;
  multi.AddLogger(std::make_unique<TFileLogger>("/dev/full", true));
  auto view = std::make_unique<TRecordingLogger>();
  auto* raw = view.get();
  multi.AddLogger(std::move(view));
  EXPECT_THROW(multi.Log(llError, "Fehler"), EInOutError);
  EXPECT_THAT(raw->Lines(), ElementsAre("Fehler"));
}

}  // namespace
}  // namespace quillmar
