#include "util/strings.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmar {
namespace {

struct FieldCase {
  std::string text;
  std::string separator;
  int index;
  std::string expected;
};

TEST(GetField, TableOfCases) {
  const FieldCase cases[] = {
      {"a,b,,c", ",", 3, ""},
      {"a,b,,c", ",", 4, "c"},
      {"a,b,,c", ",", 5, ""},
      {"a,b,,c", ",", 0, ""},
      {"a,b,,c", ",", -1, ""},
      {"", ",", 1, ""},
      {"abc", ",", 1, "abc"},
      {"abc", ",", 2, ""},
      {"x\r\ny", "\r\n", 1, "x"},
      {"x\r\ny", "\r\n", 2, "y"},
      // Separators are matched whole, left to right, without overlap.
      {"a::::b", "::", 2, ""},
      {"a::::b", "::", 3, "b"},
      {"a:::b", "::", 2, ":b"},
      // Text after a NUL is not part of the buffer.
      {std::string("a,b\0,c", 6), ",", 2, "b"},
      {std::string("a,b\0,c", 6), ",", 3, ""},
      {"Sect\rKey\rDefault", "\r", 3, "Default"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetField(c.text, c.separator, c.index), c.expected)
        << "field " << c.index << " of '" << c.text << "'";
  }
}

TEST(CountFields, TableOfCases) {
  const std::pair<std::string, int> cases[] = {
      {"a,b,,c", 4}, {"", 0}, {"a", 1}, {"a,", 2}, {",a", 2}, {",", 2}, {",,", 3},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(CountFields(text, ","), expected) << text;
  EXPECT_EQ(CountFields("a::::b", "::"), 3);
  EXPECT_EQ(CountFields("x\r\ny\r\n", "\r\n"), 3);
}

TEST(GetFieldInt, NonNumbersGiveZero) {
  EXPECT_EQ(GetFieldInt("10,-20,x,,7 ", ",", 1), 10);
  EXPECT_EQ(GetFieldInt("10,-20,x,,7 ", ",", 2), -20);
  EXPECT_EQ(GetFieldInt("10,-20,x,,7 ", ",", 3), 0);
  EXPECT_EQ(GetFieldInt("10,-20,x,,7 ", ",", 4), 0);
  EXPECT_EQ(GetFieldInt("10,-20,x,,7 ", ",", 5), 7);
  EXPECT_EQ(GetFieldInt("99999999999", ",", 1), 0);
}

TEST(SearchText, PositionsCountFromOne) {
  EXPECT_EQ(SearchText("abc\r\ndef", "\r\n"), 4);
  EXPECT_EQ(SearchText("abc", "x"), 0);
  EXPECT_EQ(SearchText("abc", ""), 4);
  EXPECT_EQ(SearchText(std::string("ab\0cd", 5), "cd"), 0);
  EXPECT_EQ(SearchChar("abc", 'c'), 3);
  EXPECT_EQ(SearchChar("abc", '\0'), 4);
  EXPECT_EQ(SearchChar("abc", 'z'), 0);
}

TEST(CharacterEditing, TableOfCases) {
  EXPECT_EQ(ReplaceChar("a\\b\\c", '\\', '/'), "a/b/c");
  EXPECT_EQ(DeleteChars("\"12 34\"", "\" "), "1234");
  EXPECT_EQ(TrimChars("//a/b//", "/", true, true), "a/b");
  EXPECT_EQ(TrimChars("//a/b//", "/", true, false), "a/b//");
  EXPECT_EQ(TrimChars("//a/b//", "/", false, true), "//a/b");
  EXPECT_EQ(TrimChars("////", "/", true, true), "");
  EXPECT_EQ(CopyTail("*Profile* Test", 10), " Test");
  EXPECT_EQ(CopyTail("abc", 0), "abc");
  EXPECT_EQ(CopyTail("abc", 4), "");
  EXPECT_EQ(CopyTail("abc", 99), "");
  EXPECT_EQ(IncludeBackslash(""), "\\");
  EXPECT_EQ(IncludeBackslash("C:\\web"), "C:\\web\\");
  EXPECT_EQ(IncludeBackslash("C:\\web\\"), "C:\\web\\");
  EXPECT_EQ(IncludeSlash(""), "");
  EXPECT_EQ(IncludeSlash("/www"), "/www/");
  EXPECT_EQ(IncludeSlash("/www/"), "/www/");
}

TEST(Choice, IfElseAndChooseHaveOppositeOrder) {
  EXPECT_EQ(IfElse(true, 1, 2), 1);
  EXPECT_EQ(IfElse(false, 1, 2), 2);
  EXPECT_EQ(Choose(true, "Fehler", "Fehlern"), "Fehlern");
  EXPECT_EQ(Choose(false, "Fehler", "Fehlern"), "Fehler");
  EXPECT_EQ(Max(-3, 2), 2);
}

struct FixedCase {
  int decimals;
  double value;
  std::string expected;
};

TEST(FormatFixed, TableOfCases) {
  const FixedCase cases[] = {
      {1, 12.34, "12,3"}, {0, 2.6, "3"},  {0, -2.6, "-3"},        {1, 0.0, "0,0"},
      {2, 1.5, "1,50"},   {0, -0.4, "0"}, {1, 128.0, "128,0"},    {0, 1e12, "1000000000000"},
      {1, 0.25, "0,3"},   {0, 2.5, "3"},  {3, -1.0625, "-1,063"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatFixed(c.decimals, ",", c.value), c.expected) << c.value;
  }
  EXPECT_EQ(FormatFixed(1, ".", 12.34), "12.3");
}

TEST(FormatGrouped, TableOfCases) {
  const FixedCase cases[] = {
      {0, 1234567, "1.234.567"}, {0, -123456, "-123.456"}, {0, -123, "-123"},      {0, 999, "999"},
      {0, 1000, "1.000"},        {0, -1234, "-1.234"},     {1, 1234.5, "1.234,5"}, {0, 0, "0"},
      {0, 100000, "100.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatGrouped(c.decimals, ",", ".", c.value), c.expected) << c.value;
  }
  // A multi-byte group character (a narrow no-break space, as some locales use).
  EXPECT_EQ(FormatGrouped(0, ",", "\u202F", 1234567), "1\u202F234\u202F567");
}

TEST(HexToInt, TableOfCases) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"ff", 255},
      {"FF", 255},
      {"", 0},
      {"2A", 42},
      {"7FFFFFFF", 0x7FFFFFFF},
      {"FFFFFFFF", -1},
      // Wraps around in 32 bits.
      {"100000001", 1},
      // Characters that are no hex digit still enter the sum: 'g' as 16, 'G' as -16.
      {"g", 16},
      {"1g", 32},
      {"G", -16},
      {"1G", 0},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(HexToInt(text), expected) << text;
}

TEST(TryStrToInt, RejectsNonNumbers) {
  std::int64_t v = 0;
  EXPECT_TRUE(TryStrToInt("-42", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(TryStrToInt("9223372036854775807", v));
  EXPECT_TRUE(TryStrToInt("-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  for (const char* bad : {"", "-", "+", "1a", " 1", "9223372036854775808", "0x10"}) {
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
  }
}

}  // namespace
}  // namespace quillmar
