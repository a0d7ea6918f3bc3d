#include "settings/comma_text.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillmar {
namespace {

using Items = std::vector<std::string>;

TStringList ListOf(const Items& items) {
  TStringList list;
  for (const auto& item : items) {
    list.Add(item);
  }
  return list;
}

Items ItemsOf(const TStringList& list) {
  Items items;
  for (const auto& item : list) {
    items.push_back(item.Text);
  }
  return items;
}

TEST(CommaTextTest, Encoding) {
  struct Case {
    Items items;
    std::string text;
  };
  const Case cases[] = {
      {{}, ""},
      {{""}, "\"\""},
      {{"/logs/", ".bak"}, "/logs/,.bak"},
      {{"/my dir/"}, "\"/my dir/\""},
      {{"a,b"}, "\"a,b\""},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"tab\tend"}, "\"tab\tend\""},
      {{"", "a"}, ",a"},
      {{"a", ""}, "a,"},
      {{"/Übersicht/", "ä"}, "/Übersicht/,ä"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeCommaText(ListOf(c.items)), c.text);
  }
}

TEST(CommaTextTest, Decoding) {
  struct Case {
    std::string text;
    Items items;
  };
  const Case cases[] = {
      {"", {}},
      {"   ", {}},
      {"\"\"", {""}},
      {"a,b", {"a", "b"}},
      {"/my dir/", {"/my", "dir/"}},  // an unquoted blank separates
      {"\"/my dir/\",/logs/", {"/my dir/", "/logs/"}},
      {"  a ,\t b  ", {"a", "b"}},
      {"a,", {"a", ""}},
      {"a, ", {"a"}},
      {",a", {"", "a"}},
      {"a,,b", {"a", "", "b"}},
      {"\"x\"\"y\"", {"x\"y"}},
      {"\"unclosed, really", {"unclosed, really"}},
      {"\"a\"b", {"a", "b"}},
      {"a\nb", {"a", "b"}},
      {std::string("a,b\0c", 5), {"a", "b"}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add("stale");
    DecodeCommaText(c.text, list);
    EXPECT_EQ(ItemsOf(list), c.items) << c.text;
  }
}

TEST(CommaTextTest, EncodedListsReadBackUnchanged) {
  const Items lists[] = {
      {},
      {""},
      {"", ""},
      {"a", "", "b"},
      {" lead", "trail ", "in side"},
      {"\"", "\"\"", ",", ",\","},
      {"/Grüße/", "x\ty", "\x01"},
  };
  for (const auto& items : lists) {
    TStringList list;
    DecodeCommaText(EncodeCommaText(ListOf(items)), list);
    EXPECT_EQ(ItemsOf(list), items) << EncodeCommaText(ListOf(items));
  }
}

}  // namespace
}  // namespace quillmar
