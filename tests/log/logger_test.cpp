#include "log/logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/recording_logger.h"

namespace quillmar {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(LoggerLog, WritesTextUnchangedAtEnabledLevel) {
  TRecordingLogger logger;
  logger.Log(llInfo, "Verbindungsaufbau\r\nzum Server");
  EXPECT_THAT(logger.Entries, ElementsAre(TLogEntry{llInfo, "Verbindungsaufbau\r\nzum Server"}));
}

TEST(LoggerLog, IgnoresDisabledAndInvalidLevels) {
  struct Case {
    const char* name;
    int level;
    std::uint8_t levels;
    std::uint8_t mode;
    bool written;
  };
  const Case cases[] = {
      {"level 0 by default", 0, 63, 1, true},
      {"level 5 by default", 5, 63, 1, true},
      {"level 6 off by default", 6, 63, 1, false},
      {"level 7 when enabled", 7, 255, 1, true},
      {"level 8 is not a level", 8, 255, 1, false},
      {"negative level", -1, 255, 1, false},
      {"level masked out", llError, 63 & ~(1 << llError), 1, false},
      {"only that level enabled", llError, 1 << llError, 1, true},
      {"mode 0 is off", llInfo, 63, 0, false},
      {"unknown mode writes", llInfo, 63, 9, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingLogger logger;
    logger.Levels = c.levels;
    logger.Mode = c.mode;
    logger.Log(c.level, "x");
    logger.LogData(c.level, "x");
    EXPECT_EQ(logger.Entries.size(), c.written ? 2u : 0u);
  }
}

TEST(LoggerLog, IsLevelEnabledFollowsLevelsOnly) {
  TRecordingLogger logger;
  logger.Mode = 0;
  logger.Levels = 1 << llSent;
  EXPECT_TRUE(logger.IsLevelEnabled(llSent));
  EXPECT_FALSE(logger.IsLevelEnabled(llReceived));
  EXPECT_FALSE(logger.IsLevelEnabled(8));
  EXPECT_FALSE(logger.IsLevelEnabled(-3));
}

TEST(LoggerPrefix, SixLevelsHavePrefixesTheRestNone) {
  EXPECT_EQ(kLogPrefixes.size(), 6u);
  EXPECT_EQ(kLogColors.size(), 6u);
  const std::vector<std::string_view> expected = {"", "S: ", "R: ", "E: ", ".", ":", "", ""};
  for (int level = 0; level <= 7; ++level)
    EXPECT_EQ(LogPrefix(level), expected[level]) << level;
  EXPECT_EQ(LogPrefix(-1), "");
  EXPECT_EQ(LogPrefix(8), "");
  EXPECT_EQ(kLogColors[llError], (TLogColor{255, 0, 0}));
}

struct DataCase {
  const char* name;
  int mode;
  std::string data;
  std::vector<std::string> lines;
};

void ExpectRendering(const DataCase& c) {
  SCOPED_TRACE(c.name);
  TRecordingLogger logger;
  logger.Mode = static_cast<std::uint8_t>(c.mode);
  logger.LogData(llReceived, c.data);
  EXPECT_THAT(logger.LinesAt(llReceived), ElementsAreArray(c.lines));
  EXPECT_EQ(logger.Entries.size(), c.lines.size());
}

TEST(LoggerLogData, TextMode) {
  const std::string a100(100, 'a');
  const std::string ae = "\xC3\xA4";  // ä
  std::string ae150;
  for (int i = 0; i < 150; ++i)
    ae150 += ae;
  const DataCase cases[] = {
      {"empty data", 1, "", {}},
      {"CR LF alone", 1, "\r\n", {"^M^J"}},
      {"command", 1, "USER name\r\n", {"USER name^M^J"}},
      {"multi-line reply",
       1,
       "220-Willkommen\r\n220-auf dem Server\r\n220 Bereit\r\n",
       {"220-Willkommen^M^J", "220-auf dem Server^M^J", "220 Bereit^M^J"}},
      {"150 letters", 1, std::string(150, 'x'), {std::string(101, 'x'), std::string(49, 'x')}},
      {"control characters", 1, std::string("a\tb\x1b\x01", 5) + '\0', {"a^Ib^[^A^@"}},
      {"bytes from 127 unchanged", 1, "\x7F\x80\xA4\xFF", {"\x7F\x80\xA4\xFF"}},
      {"text after the last LF", 1, "abc\ndef", {"abc^J", "def"}},
      {"length checked after each byte", 1, a100 + "\r\n", {a100 + "^M", "^J"}},
      {"no cut inside a UTF-8 character", 1, a100 + ae + "b", {a100 + ae, "b"}},
      {"long UTF-8 text counts characters",
       1,
       ae150,
       {ae150.substr(0, 101 * 2), ae150.substr(101 * 2)}},
      {"broken UTF-8 still cut", 1, a100 + "\xC3" + "bc", {a100 + "\xC3", "bc"}},
      {"other modes act as text", 7, "OK\r\n", {"OK^M^J"}},
  };
  for (const auto& c : cases)
    ExpectRendering(c);
}

TEST(LoggerLogData, NoPartialLineCarriedOver) {
  TRecordingLogger logger;
  logger.LogData(llSent, "US");
  logger.LogData(llSent, "ER x\r\n");
  EXPECT_THAT(logger.Lines(), ElementsAre("US", "ER x^M^J"));
}

TEST(LoggerLogData, HexModes) {
  const std::string sign = "\xC2\xAC";  // ¬ for CR and LF
  const DataCase cases[] = {
      {"empty data", 4, "", {}},
      {"16-byte mode, 8 bytes padded",
       4,
       "220 OK\r\n",
       {"32 32 30 20 4F 4B 0D 0A - " + std::string(24, ' ') + " 220 OK" + sign + sign}},
      {"16-byte mode, full line",
       4,
       "0123456789ABCDEF",
       {"30 31 32 33 34 35 36 37 - 38 39 41 42 43 44 45 46  0123456789ABCDEF"}},
      {"16-byte mode, one byte more",
       4,
       "0123456789ABCDEFG",
       {"30 31 32 33 34 35 36 37 - 38 39 41 42 43 44 45 46  0123456789ABCDEF",
        "47 " + std::string(47, ' ') + " G"}},
      {"4-byte mode, 8 bytes give two full lines",
       2,
       "ABCDEFGH",
       {"41 42 43 44  ABCD", "45 46 47 48  EFGH"}},
      {"4-byte mode, remainder padded",
       2,
       "ABCDE",
       {"41 42 43 44  ABCD", "45 " + std::string(9, ' ') + " E"}},
      {"8-byte mode, remainder padded", 3, "AB", {"41 42 " + std::string(18, ' ') + " AB"}},
      {"text column",
       3,
       std::string("\t\0\x1F \x7F\xFF\r\n", 8),
       {"09 00 1F 20 7F FF 0D 0A  ... \x7F\xFF" + sign + sign}},
  };
  for (const auto& c : cases)
    ExpectRendering(c);
}

}  // namespace
}  // namespace quillmar
