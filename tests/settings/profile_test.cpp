#include "settings/profile.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/global_keys.h"
#include "settings/temp_dir.h"

namespace quillmar {
namespace {

using settings_test::ReadBytes;
using settings_test::WriteBytes;

class ProfileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_ / "Quillmar.ini"; }

  settings_test::TTempDir dir_;
};

TEST(KeySpecTest, SplitsSectionKeyAndDefault) {
  struct Case {
    std::string spec;
    std::string section, key, fallback;
    int integer_default;
  };
  const Case cases[] = {
      {"*Global*\rFile Log\r0", "*Global*", "File Log", "0", 0},
      {"S\rK\r-12", "S", "K", "-12", -12},
      {"S\rK", "S", "K", "", 0},
      {"S\rK\rx7", "S", "K", "x7", 0},
      {"S\rK\r99999999999", "S", "K", "99999999999", 0},
      {"S", "S", "", "", 0},
      {"S\rK\ra\rb", "S", "K", "a", 0},
  };
  for (const auto& c : cases) {
    const TKeySpec spec = ParseKeySpec(c.spec);
    EXPECT_EQ(spec.Section, c.section);
    EXPECT_EQ(spec.Key, c.key);
    EXPECT_EQ(spec.Default, c.fallback);
    EXPECT_EQ(SpecDefaultInteger(spec), c.integer_default) << c.spec;
  }
}

TEST_F(ProfileTest, SpecReadsWriteBackExactlyTheDefault) {
  enum Kind { kString, kInteger, kBool };
  struct Case {
    std::string name;
    std::string before;  // "" for no file
    Kind kind;
    std::string spec;
    std::string value;  // the result, as text
    std::string after;
  };
  const Case cases[] = {
      {"missing string", "", kString, "S\rK\rabc", "abc", "[S]\nK=abc\n"},
      {"missing string without default", "", kString, "S\rK", "", "[S]\nK=\n"},
      {"other string left alone", "[S]\nK=xyz\n", kString, "S\rK\rabc", "xyz", "[S]\nK=xyz\n"},
      {"string differs in case", "[S]\nK=ABC\n", kString, "S\rK\rabc", "ABC", "[S]\nK=ABC\n"},
      {"default already there", "[S]\nk = abc\n", kString, "S\rK\rabc", "abc", "[S]\nk = abc\n"},
      {"missing integer", "", kInteger, "S\rK", "0", "[S]\nK=0\n"},
      {"integer default", "[S]\nK=junk\n", kInteger, "S\rK\r7", "7", "[S]\nK=7\n"},
      {"unconvertible default", "", kInteger, "S\rK\rx7", "0", "[S]\nK=0\n"},
      {"hex form of the default", "[S]\nK=$10\n", kInteger, "S\rK\r16", "16", "[S]\nK=16\n"},
      {"other integer", "[S]\nK=5\n", kInteger, "S\rK\r7", "5", "[S]\nK=5\n"},
      {"missing bool true", "", kBool, "S\rK\r1", "1", "[S]\nK=1\n"},
      {"missing bool false", "", kBool, "S\rK", "0", "[S]\nK=0\n"},
      {"bool equal to default", "[S]\nK=5\n", kBool, "S\rK\r1", "1", "[S]\nK=1\n"},
      {"other bool", "[S]\nK=0\n", kBool, "S\rK\r1", "0", "[S]\nK=0\n"},
  };
  for (const auto& c : cases) {
    ::unlink(Path().c_str());
    if (!c.before.empty()) {
      WriteBytes(Path(), c.before);
    }
    TProfile ini(Path());
    std::string value;
    switch (c.kind) {
      case kString:
        value = ini.ReadSpecString(c.spec);
        break;
      case kInteger:
        value = std::to_string(ini.ReadSpecInteger(c.spec));
        break;
      case kBool:
        value = ini.ReadSpecBool(c.spec) ? "1" : "0";
        break;
    }
    EXPECT_EQ(value, c.value) << c.name;
    EXPECT_EQ(ReadBytes(Path()), c.after) << c.name;
  }
}

TEST_F(ProfileTest, WriteBackCanBeSwitchedOff) {
  TProfile ini(Path());
  EXPECT_TRUE(ini.WriteBackDefaults);
  ini.WriteBackDefaults = false;
  EXPECT_EQ(ini.ReadSpecString("S\rK\rabc"), "abc");
  EXPECT_FALSE(settings_test::Exists(Path()));
}

TEST_F(ProfileTest, ReadOnlyFileStillReadsAndRefusesExplicitWrites) {
  WriteBytes(Path(), "[S]\nother=1\n");
  ASSERT_EQ(::chmod(Path().c_str(), 0400), 0);
  TProfile ini(Path());
  EXPECT_EQ(ini.ReadSpecString("S\rK\rabc"), "abc");
  EXPECT_EQ(ini.ReadSpecInteger("S\rN\r3"), 3);
  EXPECT_TRUE(ini.ReadSpecBool("S\rB\r1"));
  EXPECT_EQ(ini.ReadSpecHex("S\rP"), "");
  EXPECT_THROW(ini.WriteSpecString("S\rK", "x"), EIniWriteError);
  EXPECT_THROW(ini.WriteSpecInteger("S\rK", 1), EIniWriteError);
  EXPECT_THROW(ini.WriteSpecBool("S\rK", true), EIniWriteError);
  EXPECT_THROW(ini.WriteSpecHex("S\rK", "x"), EIniWriteError);
  EXPECT_EQ(ReadBytes(Path()), "[S]\nother=1\n");
}

TEST_F(ProfileTest, GlobalSettingsOfAFreshFile) {
  TProfile ini(Path());
  EXPECT_EQ(ini.ReadSpecString(kSpecLastProfile), "");
  EXPECT_EQ(ini.ReadSpecString(kSpecMainFormSize), "");
  EXPECT_EQ(ini.ReadSpecInteger(kSpecTopPanelHeight), 0);
  EXPECT_FALSE(ini.ReadSpecBool(kSpecFileLog));
  EXPECT_TRUE(ini.ReadSpecBool(kSpecLogLocalDirs));
  EXPECT_EQ(ReadBytes(Path()),
            "[*Global*]\nLast Profile=\nMain Form Size=\nTop Panel Height=0\nFile Log=0\n"
            "Log Local Dirs=1\n");
}

TEST(HexStringTest, Decoding) {
  struct Case {
    std::string hex;
    std::string text;
  };
  const Case cases[] = {
      {"", ""},
      {"41", "A"},
      {"4142434", "ABC"},  // odd last digit ignored
      {"4", ""},
      {"6a6B", "jk"},
      {"6A6b", "jk"},
      {"4100", ""},  // a zero byte empties the result
      {"41004243", ""},
      {"2A30005C44", ""},
      {"C3A4", "\xC3\xA4"},
      // Decoded in full, not cut at 25 characters.
      {std::string(60, '3').replace(0, 2, "41"), "A" + std::string(29, '3')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeHexString(c.hex), c.text) << c.hex;
  }
}

TEST(HexStringTest, EncodingRoundTrips) {
  EXPECT_EQ(EncodeHexString(""), kEmptyHexMarker);
  EXPECT_EQ(EncodeHexString("Ab\xE4\x01"), "4162E401");
  std::string every_byte;
  for (int byte = 1; byte < 256; ++byte) {
    every_byte += static_cast<char>(byte);
  }
  EXPECT_EQ(DecodeHexString(EncodeHexString(every_byte)), every_byte);
}

TEST_F(ProfileTest, HexSpecsUseTheWholeReadLimit) {
  TProfile ini(Path());
  const std::string long_text(1023, 'p');  // 2046 digits, within one read
  ini.WriteSpecHex("S\rLong", long_text);
  ini.WriteSpecHex("S\rEmpty", "");
  EXPECT_EQ(ini.ReadString("S", "Empty", ""), "2A30005C44");
  TProfile reader(Path());
  EXPECT_EQ(reader.ReadSpecHex("S\rLong"), long_text);
  EXPECT_EQ(reader.ReadSpecHex("S\rEmpty"), "");
  EXPECT_EQ(reader.ReadSpecHex("S\rMissing"), "");
  EXPECT_EQ(reader.ReadString("S", "Missing", "absent"), "");  // written back
}

// Records what ReadFormPlacement applies.
class TRecordingWindow : public TPlacementWindow {
 public:
  int PlacementLeft() const override { return left; }
  int PlacementTop() const override { return top; }
  int PlacementWidth() const override { return width; }
  int PlacementHeight() const override { return height; }
  int PlacementState() const override { return state.value_or(0); }
  void SetPlacementState(int value) override { state = value; }
  void SetPlacementBounds(int l, int t, int w, int h) override {
    bounds = std::vector<int>{l, t, w, h};
  }

  int left = 0, top = 0, width = 0, height = 0;
  std::optional<int> state;
  std::optional<std::vector<int>> bounds;
};

TEST_F(ProfileTest, ReadFormPlacement) {
  struct Case {
    std::string stored;
    int screen_width, screen_height;
    std::optional<int> state;
    std::optional<std::vector<int>> bounds;
  };
  using Bounds = std::vector<int>;
  const Case cases[] = {
      {"", 1024, 768, std::nullopt, std::nullopt},
      {"10,20,300,200,0", 1024, 768, 0, Bounds{10, 20, 300, 200}},
      {"0,0,5000,300,0", 1024, 768, 0, Bounds{624, 0, 400, 300}},
      {"0,0,5000,300,0", 1024, 299, 0, Bounds{624, -101, 400, 400}},
      {"10,900,300,200,0", 1024, 768, 0, Bounds{10, 368, 300, 400}},
      {"-50,-20,300,200,0", 1024, 768, 0, Bounds{-50, -20, 300, 200}},
      {"10,20,300,200,2", 1024, 768, 2, std::nullopt},
      {"10,20,300,200,1", 1024, 768, 1, std::nullopt},
      {"10,20,300,200,7", 1024, 768, 0, Bounds{10, 20, 300, 200}},
      {"10,20,300,200,-1", 1024, 768, 0, Bounds{10, 20, 300, 200}},
      {"garbage", 1024, 768, 0, Bounds{0, 0, 0, 0}},
      {"2147483647,2147483647,2147483647,2147483647,0", 1024, 768, 0, Bounds{624, 368, 400, 400}},
  };
  for (const auto& c : cases) {
    ::unlink(Path().c_str());
    WriteBytes(Path(), "[*Global*]\nMain Form Size=" + c.stored + "\n");
    TProfile ini(Path());
    TRecordingWindow window;
    ini.ReadFormPlacement(kSpecMainFormSize, window, c.screen_width, c.screen_height);
    EXPECT_EQ(window.state, c.state) << c.stored;
    EXPECT_EQ(window.bounds, c.bounds) << c.stored;
  }
}

TEST_F(ProfileTest, FormPlacementRoundTrip) {
  TProfile ini(Path());
  TRecordingWindow missing;
  ini.ReadFormPlacement(kSpecMainFormSize, missing, 1024, 768);
  EXPECT_FALSE(missing.state.has_value());
  EXPECT_EQ(ini.ReadString("*Global*", "Main Form Size", "absent"), "");  // written back

  TRecordingWindow window;
  window.left = 10;
  window.top = -5;
  window.width = 822;
  window.height = 729;
  window.state = 1;
  ini.WriteFormPlacement(kSpecMainFormSize, window);
  EXPECT_EQ(ini.ReadString("*Global*", "Main Form Size", ""), "10,-5,822,729,1");
}

}  // namespace
}  // namespace quillmar
