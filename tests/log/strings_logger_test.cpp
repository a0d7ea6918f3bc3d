#include "log/strings_logger.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmar {
namespace {

TEST(StringsLogger, AppendsPrefixedLines) {
  TStringList lines;
  TStringsLogger logger(&lines);
  logger.Levels = 255;
  const char* expected[] = {"x", "S: x", "R: x", "E: x", ".x", ":x", "x", "x"};
  for (int level = 0; level <= 7; ++level)
    logger.Log(level, "x");
  ASSERT_EQ(lines.Count(), 8);
  for (int level = 0; level <= 7; ++level)
    EXPECT_EQ(lines[level], expected[level]) << level;
}

TEST(StringsLogger, KeepsEmbeddedLineBreaksInOneEntry) {
  TStringList lines;
  TStringsLogger logger(&lines);
  logger.Log(llError, "530 Login incorrect.\nZweite Zeile");
  ASSERT_EQ(lines.Count(), 1);
  EXPECT_EQ(lines[0], "E: 530 Login incorrect.\nZweite Zeile");
}

TEST(StringsLogger, DropsOldestHundredWhenOverFiveHundred) {
  struct Case {
    int before;
    int after;
    const char* first;
  };
  const Case cases[] = {
      {500, 501, "0"},    // not yet over the limit
      {501, 402, "100"},  // lines 1 to 100 go, then the new one is appended
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    TStringList lines;
    for (int i = 0; i < c.before; ++i)
      lines.Add(std::to_string(i));
    TStringsLogger logger(&lines);
    logger.Log(0, "neu");
    EXPECT_EQ(lines.Count(), c.after);
    EXPECT_EQ(lines[0], c.first);
    EXPECT_EQ(lines[lines.Count() - 1], "neu");
  }
}

TEST(StringsLogger, StaysBoundedOverManyLines) {
  TStringList lines;
  TStringsLogger logger(&lines);
  for (int i = 0; i < 2000; ++i)
    logger.Log(llInfo, std::to_string(i));
  EXPECT_LE(lines.Count(), 501);
  EXPECT_EQ(lines[lines.Count() - 1], ".1999");
}

TEST(StringsLogger, WritesNothingWhenOffOrWithoutList) {
  TStringList lines;
  TStringsLogger off(&lines);
  off.Mode = 0;
  off.WriteLine(llInfo, "x");
  EXPECT_EQ(lines.Count(), 0);

  TStringsLogger no_list(nullptr);
  no_list.Log(llInfo, "x");
  no_list.LogData(llSent, "USER x\r\n");
}

}  // namespace
}  // namespace quillmar
