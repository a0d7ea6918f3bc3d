#include "sync/file_index.h"

#include <gtest/gtest.h>

#include "sync/file_node_builder.h"

namespace quillmar {
namespace {

using testing::MakeNode;

// The index must give what FindNode gives, for every way of writing a path.
TEST(FileIndex, FindsWhatFindNodeFinds) {
  TFileList list;
  for (const auto& [dir, name] : std::initializer_list<std::pair<const char*, const char*>>{
           {"", "index.html"},
           {"", "INDEX.HTML"},
           {"img/", "Logo.png"},
           {"img/sub/", "logo.png"},
           {"Img/", "logo.PNG"},
           {"", "\xC3\x84pfel.txt"}}) {  // Äpfel.txt
    list.Append(MakeNode({.RelDir = dir, .Name = name}));
  }
  const TFileIndex index(list);
  const std::pair<const char*, const char*> queries[] = {
      {"", "index.html"},  {"", "Index.Html"},       {"IMG/", "LOGO.PNG"},
      {"img", "logo.png"}, {"img\\sub", "LOGO.png"}, {"img/sub/", "other.png"},
      {"", "img/"},        {"", "\xC3\xA4pfel.txt"}, {"", "apfel.txt"}};
  for (const auto& [dir, name] : queries) {
    SCOPED_TRACE(std::string(dir) + "|" + name);
    EXPECT_EQ(index.Find(dir, name), list.FindNode(dir, name));
  }
}

TEST(FileIndex, RemovedNodesMakeWayForTheNextInListOrder) {
  TFileList list;
  TFileNode* first = list.Append(MakeNode({.Name = "a.txt"}));
  TFileNode* second = list.Append(MakeNode({.Name = "A.TXT"}));
  TFileIndex index(list);
  EXPECT_EQ(index.Find("", "a.Txt"), first);
  index.Remove(first);
  EXPECT_EQ(index.Find("", "a.txt"), second);
  index.Remove(second);
  EXPECT_EQ(index.Find("", "a.txt"), nullptr);
  EXPECT_TRUE(index.IsEmpty());
}

}  // namespace
}  // namespace quillmar
