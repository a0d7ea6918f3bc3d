#include "settings/home_profile.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/temp_dir.h"

namespace quillmar {
namespace {

using settings_test::ReadBytes;
using settings_test::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Items(const TStringList& list) {
  std::vector<std::string> items;
  for (const auto& item : list) {
    items.push_back(item.Text);
  }
  return items;
}

void SetItems(TStringList& list, const std::vector<std::string>& items) {
  list.Clear();
  for (const auto& item : items) {
    list.Add(item);
  }
}

void ExpectSameFields(const THomeProfile& a, const THomeProfile& b) {
  EXPECT_EQ(a.FtpServer, b.FtpServer);
  EXPECT_EQ(a.PasvMode, b.PasvMode);
  EXPECT_EQ(a.ListType, b.ListType);
  EXPECT_EQ(a.UserName, b.UserName);
  EXPECT_EQ(a.Password, b.Password);
  EXPECT_EQ(a.LocalRoot, b.LocalRoot);
  EXPECT_EQ(a.RemoteRoot, b.RemoteRoot);
  EXPECT_EQ(a.DeleteRemote, b.DeleteRemote);
  EXPECT_EQ(a.Lowercase, b.Lowercase);
  EXPECT_EQ(Items(a.IgnoreDirs), Items(b.IgnoreDirs));
  EXPECT_EQ(Items(a.IgnoreExtensions), Items(b.IgnoreExtensions));
  EXPECT_EQ(a.IgnoreHiddenDirs, b.IgnoreHiddenDirs);
  EXPECT_EQ(a.IgnoreDirStart, b.IgnoreDirStart);
  EXPECT_EQ(a.TestFilename, b.TestFilename);
  EXPECT_EQ(a.ListTestFileOnly, b.ListTestFileOnly);
  EXPECT_EQ(a.SavePassword, b.SavePassword);
}

class HomeProfileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_ / "Quillmar.ini"; }
  void Given(const std::string& content) { WriteBytes(Path(), content); }
  std::string Bytes() const { return ReadBytes(Path()); }

  // A profile with a value in every field that differs from its default.
  THomeProfile Filled(const std::string& name) {
    THomeProfile profile(name, ini_);
    profile.FtpServer = "ftp.example.org";
    profile.PasvMode = true;
    profile.ListType = kListTypeNormal;
    profile.UserName = "web1";
    profile.Password = "geheim";
    profile.SavePassword = true;
    profile.LocalRoot = "/srv/www/";
    profile.RemoteRoot = "/html/";
    profile.DeleteRemote = true;
    profile.Lowercase = true;
    SetItems(profile.IgnoreDirs, {"/logs/", "/my dir/"});
    SetItems(profile.IgnoreExtensions, {".bak", ".tmp"});
    profile.IgnoreHiddenDirs = false;
    profile.IgnoreDirStart = "~";
    profile.TestFilename = "probe/t.txt";
    profile.ListTestFileOnly = false;
    return profile;
  }

  settings_test::TTempDir dir_;
  TProfile ini_{Path()};
};

TEST_F(HomeProfileTest, NewProfileHasTheDefaultsAndTouchesNoFile) {
  const THomeProfile profile("", ini_);
  EXPECT_EQ(profile.Name, "");
  EXPECT_EQ(profile.FtpServer, "");
  EXPECT_FALSE(profile.PasvMode);
  EXPECT_EQ(profile.ListType, kListTypeFast);
  EXPECT_EQ(profile.UserName, "");
  EXPECT_EQ(profile.Password, "");
  EXPECT_FALSE(profile.DeleteRemote);
  EXPECT_FALSE(profile.Lowercase);
  EXPECT_TRUE(profile.IgnoreDirs.IsEmpty());
  EXPECT_TRUE(profile.IgnoreExtensions.IsEmpty());
  EXPECT_TRUE(profile.IgnoreHiddenDirs);
  EXPECT_EQ(profile.IgnoreDirStart, "_");
  EXPECT_EQ(profile.TestFilename, "timeslip.txt");
  EXPECT_TRUE(profile.ListTestFileOnly);
  EXPECT_FALSE(profile.SavePassword);
  EXPECT_FALSE(settings_test::Exists(Path()));
}

TEST_F(HomeProfileTest, UnknownNameLoadsDefaultsWithTheConservativeListType) {
  const THomeProfile profile("Neu", ini_);
  EXPECT_EQ(profile.ListType, kListTypeConservative);
  EXPECT_EQ(profile.IgnoreDirStart, "_");
  EXPECT_TRUE(profile.ListTestFileOnly);
  EXPECT_FALSE(profile.SavePassword);
  EXPECT_EQ(Bytes(), "[*Profile* Neu]\nPassword=\n");
}

TEST_F(HomeProfileTest, SaveWritesEveryKeyInOrder) {
  // As the editor makes one: created without a name, named before saving.
  THomeProfile profile = Filled("");
  profile.Name = "Heim";
  profile.ListType = kListTypeFast;
  profile.Lowercase = false;
  profile.Save();
  EXPECT_EQ(Bytes(),
            "[*Profile* Heim]\n"
            "FTP Server=ftp.example.org\n"
            "PASV Mode=1\n"
            "LIST Type=RCR\n"
            "User Name=web1\n"
            "Password=67656865696D\n"
            "Local Root=/srv/www/\n"
            "Remote Root=/html/\n"
            "Delete Remote=1\n"
            "Lowercase=0\n"
            "Ignore Hidden Dirs=0\n"
            "Ignore Dirs=/logs/,\"/my dir/\"\n"
            "Ignore Extensions=.bak,.tmp\n"
            "Ignore Dir Start=~\n"
            "Test Filename=probe/t.txt\n"
            "List Test File Only=0\n");
}

TEST_F(HomeProfileTest, SavedProfileLoadsBackInEveryField) {
  THomeProfile saved = Filled("Heim");
  saved.Save();
  TProfile fresh(Path());
  const THomeProfile loaded("heim", fresh);
  ExpectSameFields(loaded, saved);
}

TEST_F(HomeProfileTest, SaveRewritesKeysInPlaceAndKeepsOtherSections) {
  Given(
      "[*Profile* Heim]\r\nList Test File Only=1\r\nFTP Server=old\r\nextra=kept\r\n"
      "[*Profile* Other]\r\nFTP Server=other\r\n");
  THomeProfile profile("Heim", ini_);
  profile.FtpServer = "new";
  profile.Save();
  const std::string bytes = Bytes();
  EXPECT_THAT(bytes, HasSubstr("[*Profile* Heim]\r\nList Test File Only=1\r\nFTP Server=new\r\n"
                               "extra=kept\r\nPassword=\r\nPASV Mode=0\r\n"));
  EXPECT_THAT(bytes, HasSubstr("[*Profile* Other]\r\nFTP Server=other\r\n"));
  EXPECT_EQ(TProfile(Path()).ReadString("*Profile* Heim", "Ignore Dir Start", ""), "_");
}

TEST_F(HomeProfileTest, QuickListIsMigrated) {
  struct Case {
    std::string keys;
    int list_type;
    bool quick_list_removed;
    std::string saved_code;
  };
  const Case cases[] = {
      {"Quick LIST=1\n", kListTypeFast, true, "RCR"},
      {"Quick LIST=0\n", kListTypeNormal, true, "NRM"},
      {"Quick LIST=7\nLIST Type=NOP\n", kListTypeFast, true, "RCR"},
      {"Quick LIST=-1\nLIST Type=NRM\n", kListTypeNormal, false, "NRM"},
      {"Quick LIST=abc\nLIST Type=RCR\n", kListTypeFast, false, "RCR"},
  };
  for (const auto& c : cases) {
    Given("[*Profile* Alt]\n" + c.keys);
    THomeProfile profile("Alt", ini_);
    EXPECT_EQ(profile.ListType, c.list_type) << c.keys;
    EXPECT_EQ(Bytes().find("Quick LIST") == std::string::npos, c.quick_list_removed) << c.keys;
    profile.Save();
    EXPECT_EQ(ini_.ReadString("*Profile* Alt", "LIST Type", ""), c.saved_code) << c.keys;
  }
}

TEST_F(HomeProfileTest, ListTypeCodes) {
  struct Case {
    std::string stored;
    int list_type;
  };
  const Case cases[] = {
      {"LIST Type= rcr \n", kListTypeFast},       {"LIST Type=NRM\n", kListTypeNormal},
      {"LIST Type=nop\n", kListTypeConservative}, {"LIST Type=XYZ\n", kListTypeConservative},
      {"LIST Type=\n", kListTypeConservative},    {"", kListTypeConservative},
  };
  for (const auto& c : cases) {
    Given("[*Profile* P]\n" + c.stored);
    EXPECT_EQ(THomeProfile("P", ini_).ListType, c.list_type) << c.stored;
  }
  EXPECT_STREQ(ListTypeInfo(7).Code, "NOP");
}

TEST_F(HomeProfileTest, PasswordIsStoredOnlyWhenAskedFor) {
  struct Case {
    bool save_password;
    std::string password;
    std::string stored;
    bool loaded_save_password;
    std::string loaded_password;
  };
  const std::string long_password = "ein-sehr-langes-Passwort-mit-mehr-als-25-Zeichen";
  const Case cases[] = {
      {false, "geheim", "", false, ""},
      {true, "", "2A30005C44", true, ""},
      {true, "geheim", "67656865696D", true, "geheim"},
      {true, "Grüße", "4772C3BCC39F65", true, "Grüße"},
      {true, long_password, EncodeHexString(long_password), true, long_password},
      {true, std::string("a\0b", 3), "610062", true, ""},
  };
  for (const auto& c : cases) {
    THomeProfile profile = Filled("P");
    profile.SavePassword = c.save_password;
    profile.Password = c.password;
    profile.Save();
    EXPECT_EQ(ini_.ReadString("*Profile* P", "Password", "absent"), c.stored);
    const THomeProfile loaded("P", ini_);
    EXPECT_EQ(loaded.SavePassword, c.loaded_save_password) << c.stored;
    EXPECT_EQ(loaded.Password, c.loaded_password) << c.stored;
  }
}

TEST_F(HomeProfileTest, MissingPasswordKeyIsWrittenBackEmpty) {
  Given("[*Profile* P]\nFTP Server=host\n");
  const THomeProfile profile("P", ini_);
  EXPECT_FALSE(profile.SavePassword);
  EXPECT_EQ(Bytes(), "[*Profile* P]\nFTP Server=host\nPassword=\n");
}

TEST_F(HomeProfileTest, SaveNormalisesTheLists) {
  THomeProfile profile("P", ini_);
  SetItems(profile.IgnoreDirs, {"  images ", "", "a\\b", "\\logs", "/done/", " / "});
  SetItems(profile.IgnoreExtensions, {" .bak ", "  ", ".tmp", ""});
  profile.Save();
  EXPECT_THAT(Items(profile.IgnoreDirs), ElementsAre("/images/", "/a/b/", "/logs/", "/done/", "/"));
  EXPECT_THAT(Items(profile.IgnoreExtensions), ElementsAre(".bak", ".tmp"));
  EXPECT_EQ(ini_.ReadString("*Profile* P", "Ignore Dirs", ""), "/images/,/a/b/,/logs/,/done/,/");
  EXPECT_EQ(ini_.ReadString("*Profile* P", "Ignore Extensions", ""), ".bak,.tmp");
}

TEST_F(HomeProfileTest, QuotedDirectoryWithBlankStaysOneEntry) {
  Given("[*Profile* Q]\nIgnore Dirs=\"/my dir/\",/b/\n[*Profile* U]\nIgnore Dirs=/my dir/\n");
  EXPECT_THAT(Items(THomeProfile("Q", ini_).IgnoreDirs), ElementsAre("/my dir/", "/b/"));
  EXPECT_THAT(Items(THomeProfile("U", ini_).IgnoreDirs), ElementsAre("/my", "dir/"));
}

TEST_F(HomeProfileTest, LongIgnoreListsSurviveAReload) {
  THomeProfile profile("P", ini_);
  std::vector<std::string> dirs;
  for (int i = 0; i < 300; ++i) {
    dirs.push_back("/verzeichnis-nummer-" + std::to_string(i) + "/");
  }
  SetItems(profile.IgnoreDirs, dirs);
  profile.Save();
  ASSERT_GT(ini_.ReadFullString("*Profile* P", "Ignore Dirs", "").size(), kIniReadLimit);
  EXPECT_EQ(Items(THomeProfile("P", ini_).IgnoreDirs), dirs);
}

TEST_F(HomeProfileTest, SaveToAReadOnlyFileFails) {
  Given("[*Profile* P]\nFTP Server=old\n");
  THomeProfile profile("P", ini_);
  const std::string before = Bytes();
  ASSERT_EQ(::chmod(Path().c_str(), 0444), 0);
  profile.FtpServer = "new";
  EXPECT_THROW(profile.Save(), EIniWriteError);
  EXPECT_EQ(Bytes(), before);
}

TEST(HomeProfileFilterTest, IsIgnoredDir) {
  TProfile ini("/nonexistent/quillmar-test.ini");
  THomeProfile profile("", ini);
  SetItems(profile.IgnoreDirs, {"/LOGS/", "/web/tmp/", "/Ärger/"});
  struct Case {
    std::string path;
    bool ignored;
  };
  const Case cases[] = {
      {"\\logs\\old\\", true}, {"logs", true}, {"logs/2004", true}, {"//logs//", true},
      {"web/logs", false},     {"web", false}, {"web/tmp/x", true}, {"web/tmpx", false},
      {"logsx", false},        {"", false},    {"/", false},        {"ärger/a", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(profile.IsIgnoredDir(c.path), c.ignored) << c.path;
  }
}

TEST(HomeProfileFilterTest, IsIgnoredExtension) {
  TProfile ini("/nonexistent/quillmar-test.ini");
  THomeProfile profile("", ini);
  SetItems(profile.IgnoreExtensions, {".bak", "  .TMP ", "", "bak2", "é"});
  struct Case {
    std::string name;
    bool ignored;
  };
  const Case cases[] = {
      {"index.bak", true}, {"x.BAK", true},    {"notes.tmp", true}, {"file.txt", false},
      {"bak", false},      {"notebak2", true}, {"café", true},      {"CAFÉ", true},
      {"cafe", false},     {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(profile.IsIgnoredExtension(c.name), c.ignored) << c.name;
  }
}

TEST(HomeProfileFilterTest, IsIncomplete) {
  TProfile ini("/nonexistent/quillmar-test.ini");
  struct Case {
    std::string server, user, local_root;
    bool incomplete;
  };
  const Case cases[] = {
      {"host", "user", "/srv/", false},
      {"host", "", "/srv/", true},
      {"", "user", "/srv/", true},
      {"host", "user", "", true},
  };
  for (const auto& c : cases) {
    THomeProfile profile("", ini);
    profile.FtpServer = c.server;
    profile.UserName = c.user;
    profile.LocalRoot = c.local_root;
    EXPECT_EQ(profile.IsIncomplete(), c.incomplete) << c.server << "|" << c.user;
  }
}

TEST_F(HomeProfileTest, CreateCopyCopiesEveryFieldUnderTheNewName) {
  THomeProfile source = Filled("Heim");
  const auto copy = THomeProfile::CreateCopy(source, "");
  EXPECT_EQ(copy->Name, "");
  EXPECT_EQ(source.Name, "Heim");
  ExpectSameFields(*copy, source);
  copy->IgnoreDirs.Add("/only-in-copy/");
  EXPECT_THAT(Items(source.IgnoreDirs), Not(::testing::Contains("/only-in-copy/")));
  EXPECT_EQ(&copy->Ini(), &source.Ini());
}

}  // namespace
}  // namespace quillmar
