#include "settings/ini_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/temp_dir.h"

namespace quillmar {
namespace {

using settings_test::TTempDir;
using ::testing::ElementsAre;
using namespace std::string_literals;

std::vector<std::string> Names(const TStringList& list) {
  std::vector<std::string> names;
  for (const auto& item : list) {
    names.push_back(item.Text);
  }
  return names;
}

class IniFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_ / "Quillmar.ini"; }
  void Given(const std::string& content) { settings_test::WriteBytes(Path(), content); }
  std::string Bytes() const { return settings_test::ReadBytes(Path()); }

  TTempDir dir_;
};

TEST_F(IniFileTest, ReadsNamesWithoutLetterCaseAndKeepsQuotes) {
  Given("[Ärger Sect]\n  My Key  =  a value \t\nq = \"x, y\"\nempty=\n");
  const TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("ärger SECT", "my key", "d"), "a value");
  EXPECT_EQ(ini.ReadString(" ÄRGER sect ", "MY KEY", "d"), "a value");
  EXPECT_EQ(ini.ReadString("Ärger Sect", "q", "d"), "\"x, y\"");
  // A key that stands with an empty value is not missing.
  EXPECT_EQ(ini.ReadString("Ärger Sect", "empty", "d"), "");
  EXPECT_TRUE(ini.SectionExists("ÄRGER SECT"));
  EXPECT_FALSE(ini.SectionExists("Arger Sect"));
}

TEST_F(IniFileTest, MissingFileSectionOrKeyYieldsDefault) {
  {
    const TIniFile ini(Path());
    EXPECT_EQ(ini.ReadString("S", "k", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("S", "k", 17), 17);
    EXPECT_TRUE(ini.ReadBool("S", "k", true));
    EXPECT_FALSE(ini.SectionExists("S"));
  }
  EXPECT_FALSE(settings_test::Exists(Path()));  // reading creates nothing
  Given("[S]\nk=1\n");
  const TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("T", "k", "def"), "def");
  EXPECT_EQ(ini.ReadString("S", "other", "def"), "def");
}

TEST_F(IniFileTest, ConvertsIntegersAndBooleans) {
  struct Case {
    std::string stored;
    int expected;
  };
  const Case cases[] = {
      {"42", 42},
      {"-7", -7},
      {"+5", 5},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$ff", 255},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"0x", -99},
      {"$", -99},
      {"12a", -99},
      {"", -99},
      {"4 2", -99},
      {"99999999999", -99},
      {"$123456789", -99},
      {"1.5", -99},
      {"0x1G", -99},
  };
  for (const auto& c : cases) {
    Given("[S]\nk=" + c.stored + "\n");
    const TIniFile ini(Path());
    EXPECT_EQ(ini.ReadInteger("S", "k", -99), c.expected) << c.stored;
  }
  Given("[S]\none=1\nzero=0\ntwo=2\nword=yes\n");
  const TIniFile ini(Path());
  EXPECT_TRUE(ini.ReadBool("S", "one", false));
  EXPECT_FALSE(ini.ReadBool("S", "zero", true));
  EXPECT_TRUE(ini.ReadBool("S", "two", false));
  EXPECT_TRUE(ini.ReadBool("S", "word", true));
  EXPECT_FALSE(ini.ReadBool("S", "word", false));
}

TEST_F(IniFileTest, WriteIsInTheFileAtOnceAndThePrivateFileIsCreated) {
  TIniFile writer(Path());
  writer.WriteString("*Global*", "Last Profile", "Heim");
  writer.WriteInteger("*Global*", "Top Panel Height", -12);
  writer.WriteBool("*Global*", "File Log", true);
  EXPECT_EQ(settings_test::ModeOf(Path()), 0600u);
  EXPECT_EQ(Bytes(), "[*Global*]\nLast Profile=Heim\nTop Panel Height=-12\nFile Log=1\n");

  const TIniFile reader(Path());
  EXPECT_EQ(reader.ReadString("*global*", "last profile", ""), "Heim");
  writer.WriteString("*Global*", "LAST PROFILE", "Büro");
  EXPECT_EQ(reader.ReadString("*Global*", "Last Profile", ""), "Büro");
  // The key keeps the spelling it had in the file.
  EXPECT_EQ(Bytes(), "[*Global*]\nLast Profile=Büro\nTop Panel Height=-12\nFile Log=1\n");
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(IniFileTest, ExistingFileKeepsItsMode) {
  Given("[S]\nk=1\n");
  ASSERT_EQ(::chmod(Path().c_str(), 0640), 0);
  TIniFile ini(Path());
  ini.WriteString("S", "k", "2");
  EXPECT_EQ(settings_test::ModeOf(Path()), 0640u);
}

TEST_F(IniFileTest, ReadSeesChangesOfAnotherProcess) {
  Given("[S]\nk=1\n");
  const TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
  // Same size, written in place right away: the change must still be seen.
  Given("[S]\nk=2\n");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
  ::unlink(Path().c_str());
  EXPECT_EQ(ini.ReadString("S", "k", "gone"), "gone");
}

TEST_F(IniFileTest, ReadOnlyFileRefusesWritesAndStaysAsItWas) {
  const std::string content = "[S]\r\nk=1\r\n; note\r\n";
  Given(content);
  ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
  TIniFile ini(Path());
  const std::string message = "In " + Path() + " kann nicht geschrieben werden";
  try {
    ini.WriteString("S", "k", "2");
    FAIL() << "write accepted";
  } catch (const EIniWriteError& error) {
    EXPECT_EQ(error.what(), message);
  }
  EXPECT_THROW(ini.WriteString("New", "k", "1"), EIniWriteError);
  EXPECT_THROW(ini.EraseSection("S"), EIniWriteError);
  EXPECT_NO_THROW(ini.DeleteKey("S", "k"));
  // Writing what the file already says needs no write.
  EXPECT_NO_THROW(ini.WriteString("S", "k", "1"));
  EXPECT_EQ(Bytes(), content);
  EXPECT_EQ(settings_test::ModeOf(Path()), 0444u);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
}

TEST_F(IniFileTest, DirectoryWithoutRoomForTheTemporaryFileRefusesWrites) {
  const std::string path = dir_ / "missing/Quillmar.ini";
  TIniFile ini(path);
  try {
    ini.WriteString("S", "k", "1");
    FAIL() << "write accepted";
  } catch (const EIniWriteError& error) {
    EXPECT_EQ(error.what(), "In " + path + " kann nicht geschrieben werden");
  }
  EXPECT_EQ(ini.ReadString("S", "k", "d"), "d");
}

TEST_F(IniFileTest, NamesAndValuesThatWouldBreakTheLineAreRefused) {
  const std::string content = "[S]\nk=1\n";
  Given(content);
  TIniFile ini(Path());
  EXPECT_THROW(ini.WriteString("S", "k", "a\nb"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", "k", "a\r[X]"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", "k", "a\0b"s), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", "a=b", "1"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", "[x]", "1"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", ";k", "1"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("S", "  ", "1"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("a]b", "k", "1"), EIniWriteError);
  EXPECT_THROW(ini.WriteString("a\nb", "k", "1"), EIniWriteError);
  EXPECT_EQ(Bytes(), content);
}

TEST_F(IniFileTest, UntouchedLinesSurviveByteForByte) {
  const std::string before =
      "orphan=before any section\n"
      "; comment\n"
      "[Latin1]\n"
      "Name=M\xFCller \xE4\n"  // not UTF-8
      "no equals sign here\n"
      "stray=a\rb\n"
      "nul=x\0y\n"s
      "  [Other]  trailing\n"
      "k = v\n"
      "last line without newline";
  Given(before);
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("Latin1", "Name", ""), "M\xFCller \xE4");
  EXPECT_EQ(ini.ReadString("Latin1", "stray", ""), "a\rb");
  EXPECT_EQ(ini.ReadString("Latin1", "nul", ""), "x");
  EXPECT_EQ(ini.ReadString("Other", "k", ""), "v");
  // Keys before the first section belong to no section.
  EXPECT_EQ(ini.ReadString("", "orphan", "d"), "d");

  ini.WriteString("Other", "added", "1");
  const std::string tail = "last line without newline";
  const std::string after_add = before.substr(0, before.find(tail)) + "added=1\n" + tail;
  EXPECT_EQ(Bytes(), after_add);

  ini.WriteString("Latin1", "Name", "Schmidt");
  EXPECT_EQ(ini.ReadString("latin1", "name", ""), "Schmidt");
  const std::string old_line = "Name=M\xFCller \xE4";
  std::string expected = after_add;
  expected.replace(expected.find(old_line), old_line.size(), "Name=Schmidt");
  EXPECT_EQ(Bytes(), expected);
}

TEST_F(IniFileTest, NewLinesFollowTheLineEndsOfTheFile) {
  struct Case {
    std::string before;
    std::string after;
  };
  const Case cases[] = {
      {"", "[New]\nk=1\n"},
      {"[A]\r\nx=1\r\n", "[A]\r\nx=1\r\n\r\n[New]\r\nk=1\r\n"},
      {"[A]\nx=1\r\n", "[A]\nx=1\r\n\n[New]\nk=1\n"},
      {"[A]\r\nx=1", "[A]\r\nx=1\r\n\r\n[New]\r\nk=1\r\n"},
      {"[A]\nx=1\n\n", "[A]\nx=1\n\n[New]\nk=1\n"},
      {"\xEF\xBB\xBF[A]\nx=1\n", "\xEF\xBB\xBF[A]\nx=1\n\n[New]\nk=1\n"},
  };
  for (const auto& c : cases) {
    Given(c.before);
    TIniFile ini(Path());
    ini.WriteString("New", "k", "1");
    EXPECT_EQ(Bytes(), c.after) << c.before;
  }
}

TEST_F(IniFileTest, NewKeyGoesBehindTheLastKeyOfItsSection) {
  Given("\xEF\xBB\xBF[A]\r\nx=1\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("A", "x", ""), "1");  // the byte-order mark is no part of the name
  ini.WriteString("a", "z", "3");
  ini.WriteString("B", "w", "4");
  EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\nw=4\r\n");
}

TEST_F(IniFileTest, WriteThatChangesNothingLeavesTheFileAlone) {
  Given("[S]\nk =  same \n");
  const auto inode = settings_test::InodeOf(Path());
  TIniFile ini(Path());
  ini.WriteString("s", "K", "same");
  ini.DeleteKey("S", "missing");
  ini.EraseSection("Missing");
  EXPECT_EQ(settings_test::InodeOf(Path()), inode);
  EXPECT_EQ(Bytes(), "[S]\nk =  same \n");

  TIniFile absent(dir_ / "absent.ini");
  absent.EraseSection("S");
  absent.DeleteKey("S", "k");
  EXPECT_FALSE(settings_test::Exists(dir_ / "absent.ini"));
}

TEST_F(IniFileTest, FirstOfDuplicateSectionsAndKeysCounts) {
  Given("[A]\nk=1\nk=2\n[a]\nk=3\nj=4\n");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
  EXPECT_EQ(ini.ReadString("A", "j", "none"), "none");
  ini.WriteString("A", "k", "9");
  ini.WriteString("A", "j", "5");
  EXPECT_EQ(Bytes(), "[A]\nk=9\nk=2\nj=5\n[a]\nk=3\nj=4\n");
  ini.DeleteKey("A", "k");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "2");
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_THAT(Names(sections), ElementsAre("A"));
  ini.EraseSection("A");
  EXPECT_EQ(Bytes(), "[a]\nk=3\nj=4\n");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey) {
  Given("[A]\nx=1\n\n[B]\ny=2\n; b note\nz=3\n\n[C]\nw=4");
  TIniFile ini(Path());
  ini.DeleteKey("b", "Y");
  EXPECT_EQ(Bytes(), "[A]\nx=1\n\n[B]\n; b note\nz=3\n\n[C]\nw=4");
  ini.EraseSection("B");
  EXPECT_EQ(Bytes(), "[A]\nx=1\n\n[C]\nw=4");
  ini.DeleteKey("C", "w");
  EXPECT_EQ(Bytes(), "[A]\nx=1\n\n[C]\n");
  ini.EraseSection("C");
  EXPECT_EQ(Bytes(), "[A]\nx=1\n\n");
  EXPECT_FALSE(ini.SectionExists("C"));
}

TEST_F(IniFileTest, GarbledFilesYieldDefaultsAndSurviveWrites) {
  const std::string garbage[] = {
      "no sections at all\n=\n==\n[\n]\n[unclosed\n",
      "\0\0\0[S]\0k=1\n"s,
      "[S]\nk=1\n[S]\n[S]\nk=2\n[]\n=x\n",
      std::string(1000, '['),
  };
  for (const auto& content : garbage) {
    Given(content);
    TIniFile ini(Path());
    EXPECT_EQ(ini.ReadString("unclosed", "k", "d"), "d");
    TStringList sections;
    ini.ReadSections(sections);
    ini.WriteString("Fresh", "k", "1");
    const std::string after = Bytes();
    EXPECT_EQ(after.substr(0, content.size()), content);
    EXPECT_EQ(ini.ReadString("Fresh", "k", ""), "1");
  }
}

TEST_F(IniFileTest, ReadReturnsAtMost2047Bytes) {
  const std::string ten_mb(10 * 1024 * 1024, 'x');
  // "ä" is two bytes; the limit falls inside the last one, which is then left out.
  const std::string umlauts = std::string(2046, 'u') + "\xC3\xA4" + "tail";
  Given("[S]\nhuge=" + ten_mb + "\nexact=" + std::string(2047, 'e') + "\numlaut=" + umlauts +
        "\nafter=ok\n");
  TIniFile ini(Path());
  EXPECT_EQ(ini.ReadString("S", "huge", ""), std::string(2047, 'x'));
  EXPECT_EQ(ini.ReadString("S", "exact", ""), std::string(2047, 'e'));
  EXPECT_EQ(ini.ReadString("S", "umlaut", ""), std::string(2046, 'u'));
  EXPECT_EQ(ini.ReadFullString("S", "huge", "").size(), ten_mb.size());
  EXPECT_EQ(ini.ReadInteger("S", "huge", 3), 3);
  EXPECT_EQ(ini.ReadString("S", "after", ""), "ok");
  ini.WriteString("S", "after", "changed");
  EXPECT_NE(Bytes().find("huge=" + ten_mb + "\n"), std::string::npos);
}

TEST_F(IniFileTest, SectionListKeepsFileOrderAndFitsTheBuffer) {
  Given("[Zeta]\n[alpha]\n[ZETA]\n[]\n[Mitte]\n");
  TStringList sections;
  sections.Add("stale");
  TIniFile(Path()).ReadSections(sections);
  EXPECT_THAT(Names(sections), ElementsAre("Zeta", "alpha", "Mitte"));

  // Names of nine bytes take ten bytes each; with the final NUL 1638 of them fit 16384 bytes.
  std::string many;
  for (int i = 0; i < 2000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Sect%05d", i);
    many += "["s + name + "]\nk=1\n";
  }
  Given(many);
  TIniFile(Path()).ReadSections(sections);
  ASSERT_EQ(sections.Count(), 1638);
  EXPECT_EQ(sections[0], "Sect00000");
  EXPECT_EQ(sections[1637], "Sect01637");
}

TEST_F(IniFileTest, WritesThroughASymbolicLinkKeepTheLink) {
  const std::string real = dir_ / "real.ini";
  settings_test::WriteBytes(real, "[S]\nk=1\n");
  ASSERT_EQ(::symlink(real.c_str(), Path().c_str()), 0);
  TIniFile ini(Path());
  ini.WriteString("S", "k", "2");
  struct stat info {};
  ASSERT_EQ(::lstat(Path().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(settings_test::ReadBytes(real), "[S]\nk=2\n");
}

}  // namespace
}  // namespace quillmar
