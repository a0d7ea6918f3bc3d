#include "settings/profile_store.h"

#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/temp_dir.h"

namespace quillmar {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Items(const TStringList& list) {
  std::vector<std::string> items;
  for (const auto& item : list) {
    items.push_back(item.Text);
  }
  return items;
}

class ProfileStoreTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_ / "Quillmar.ini"; }

  settings_test::TTempDir dir_;
};

TEST_F(ProfileStoreTest, ReadProfileNamesKeepsProfileSectionsInFileOrder) {
  settings_test::WriteBytes(Path(),
                            "[*Global*]\nLast Profile=x\n"
                            "[*PROFILE* Test]\n"
                            "[*Profile*   Zweite Seite  ]\n"
                            "[*profile*]\n"
                            "[Profile Nope]\n"
                            "[*Profil* Nope]\n"
                            "[*Profile*Ohne]\n"
                            "[*profile* test]\n");
  TProfile ini(Path());
  TStringList names;
  names.Add("stale");
  ReadProfileNames(names, ini);
  EXPECT_THAT(Items(names), ElementsAre("Test", "Zweite Seite", "Ohne"));
}

TEST_F(ProfileStoreTest, EraseProfileRemovesOnlyItsSection) {
  settings_test::WriteBytes(Path(), "[*Profile* A]\nk=1\n[*Profile* B]\nk=2\n");
  TProfile ini(Path());
  EraseProfile("a", ini);
  EXPECT_EQ(settings_test::ReadBytes(Path()), "[*Profile* B]\nk=2\n");
  EXPECT_EQ(ProfileSection("B"), "*Profile* B");
}

TEST(ListTypeTest, TableAndNames) {
  EXPECT_STREQ(kListTypes[0].Code, "NOP");
  EXPECT_STREQ(kListTypes[1].ListArgument, "-la");
  EXPECT_STREQ(kListTypes[2].ListArgument, "-laR");
  TStringList names;
  names.Add("stale");
  FillListTypeNames(names);
  ASSERT_EQ(names.Count(), 3);
  EXPECT_THAT(Items(names), ElementsAre("Konservativ", "Normal", "Schnell"));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(names.Objects(i), i);
    EXPECT_EQ(ListTypeFromCode(kListTypes[i].Code), i);
  }
}

}  // namespace
}  // namespace quillmar
