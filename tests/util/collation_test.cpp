#include "util/collation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "util/string_list.h"

namespace quillmar {
namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(Collation, EqualityFoldsAsciiAndLatinLetters) {
  const std::pair<const char*, const char*> equal[] = {
      {"INDEX.HTML", "index.html"},
      {"Ärger", "äRGER"},
      {"ÉTÉ", "été"},
      {"Œuvre", "œuvre"},
      {"ŠKODA", "škoda"},
      {"Žižka", "ŽIŽKA"},
      {"Ÿ", "ÿ"},
      {"", ""},
      {"ŁÓDŹ", "łódź"},
  };
  for (const auto& [a, b] : equal) {
    EXPECT_TRUE(SameText(a, b)) << a << " / " << b;
    EXPECT_EQ(FoldKey(a), FoldKey(b)) << a;
  }
  const std::pair<const char*, const char*> different[] = {
      {"a", "ä"}, {"a", "b"}, {"ss", "ß"}, {"abc", "ab"}, {"e", "é"},
  };
  for (const auto& [a, b] : different) {
    EXPECT_FALSE(SameText(a, b)) << a << " / " << b;
    EXPECT_NE(FoldKey(a), FoldKey(b)) << a;
  }
}

TEST(Collation, OrderPlacesAccentedLettersBesideTheirBase) {
  std::vector<std::string> words = {"Zebra",    "apfel", "Äpfel", "Bär", "baer",
                                    "_private", "Apfel", "10",    "é",   "f"};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return CompareText(a, b) < 0; });
  const std::vector<std::string> expected = {"10",   "_private", "apfel", "Apfel", "Äpfel",
                                             "baer", "Bär",      "é",     "f",     "Zebra"};
  // apfel and Apfel are equal; check the rest of the order around them.
  ASSERT_EQ(words.size(), expected.size());
  for (std::size_t i = 0; i < words.size(); ++i) {
    EXPECT_TRUE(SameText(words[i], expected[i])) << i << ": " << words[i];
  }
}

TEST(Collation, IsAntisymmetricAndPathFriendly) {
  const char* samples[] = {"",  "a",    "A",    "ä",     "images/", "images2/", "images/thumbs/",
                           "b", "\xE4", "\xC3", "z\xFF", "Ω",       "ab",       "ä/"};
  for (const char* a : samples) {
    for (const char* b : samples) {
      EXPECT_EQ(Sign(CompareText(a, b)), -Sign(CompareText(b, a))) << a << " vs " << b;
      EXPECT_EQ(CompareText(a, b) == 0, FoldKey(a) == FoldKey(b)) << a << " vs " << b;
    }
  }
  EXPECT_LT(CompareText("images/", "images2/"), 0);
  EXPECT_LT(CompareText("", "a"), 0);
}

TEST(Collation, InvalidUtf8IsComparedByteForByte) {
  // A Latin-1 "ä" is not the UTF-8 "ä".
  EXPECT_FALSE(SameText("\xE4", "ä"));
  EXPECT_TRUE(SameText("caf\xE9", "CAF\xE9"));
  EXPECT_EQ(LowerCase("A\xE9Z"), "a\xE9z");
  // A truncated sequence must not read past the end.
  EXPECT_FALSE(SameText("\xC3", "\xC3\xA4"));
}

TEST(Collation, LowerCaseAndAffixes) {
  EXPECT_EQ(LowerCase("Index.HTML"), "index.html");
  EXPECT_EQ(LowerCase("ÄÖÜ-Straße"), "äöü-straße");
  EXPECT_TRUE(StartsWithText("_Private", "_"));
  EXPECT_TRUE(StartsWithText("ÄBC", "äb"));
  EXPECT_FALSE(StartsWithText("a", "ab"));
  EXPECT_TRUE(EndsWithText("index.BAK", ".bak"));
  EXPECT_TRUE(EndsWithText("notebak", "bak"));
  // Characters, not bytes: "ä" is one character of two bytes.
  EXPECT_TRUE(EndsWithText("Bär", "Är"));
  EXPECT_FALSE(EndsWithText("ak", "bak"));
  EXPECT_TRUE(EndsWithText("x", ""));
}

TEST(StringList, IndexOfUsesTheCollation) {
  TStringList list;
  list.Add("/images/");
  list.Add("/Ärger/", 7);
  EXPECT_EQ(list.IndexOf("/IMAGES/"), 0);
  EXPECT_EQ(list.IndexOf("/ärger/"), 1);
  EXPECT_EQ(list.Objects(1), 7);
  EXPECT_EQ(list.IndexOf("/images"), -1);
  for (int i = 0; i < 10; ++i)
    list.Add(std::to_string(i));
  list.DeleteFirst(5);
  EXPECT_EQ(list.Count(), 7);
  EXPECT_EQ(list[0], "3");
  list.DeleteFirst(100);
  EXPECT_TRUE(list.IsEmpty());
}

}  // namespace
}  // namespace quillmar
