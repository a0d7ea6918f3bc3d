#include "sync/file_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sync/file_node.h"
#include "sync/file_node_builder.h"

namespace quillmar {
namespace {

using testing::At;
using testing::MakeNode;
using testing::TNodeData;

std::string Paths(const TFileList& list) {
  std::string out;
  for (TFileNode* node : list.FileNodes()) {
    if (!out.empty())
      out += ' ';
    out += node->RelDir + node->Name;
  }
  return out;
}

TEST(FileNodeTest, NewNodeIsEmpty) {
  TFileNode node;
  EXPECT_TRUE(node.Name.empty());
  EXPECT_TRUE(node.RemoteName.empty());
  EXPECT_TRUE(node.RelDir.empty());
  EXPECT_TRUE(node.ResultText.empty());
  EXPECT_EQ(node.LocalSize, 0);
  EXPECT_EQ(node.RemoteSize, 0);
  EXPECT_EQ(node.LocalDate, 0.0);
  EXPECT_EQ(node.RemoteDate, 0.0);
  EXPECT_FALSE(node.HasTime);
  EXPECT_EQ(node.Action, faNoAction);
  EXPECT_EQ(node.Next, nullptr);
  EXPECT_EQ(node.Prev, nullptr);
}

TEST(FileNodeTest, SidesExistByTheirDateAlone) {
  struct Case {
    TDateTime date;
    std::int64_t size;
    bool exists;
  };
  const Case cases[] = {{0.0, 100, false}, {-1.5, 100, false}, {1e-9, 0, true}, {45000.5, 0, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date);
    TFileNode local;
    local.LocalDate = c.date;
    local.LocalSize = c.size;
    local.Name = "x";
    EXPECT_EQ(local.HasLocal(), c.exists);
    EXPECT_FALSE(local.HasRemote());
    TFileNode remote;
    remote.RemoteDate = c.date;
    remote.RemoteSize = c.size;
    remote.RemoteName = "x";
    EXPECT_EQ(remote.HasRemote(), c.exists);
    EXPECT_FALSE(remote.HasLocal());
  }
}

TEST(FileNodeTest, ActionTable) {
  EXPECT_EQ(ActionNames[faNoAction], "\xC2\xB7");
  EXPECT_EQ(ActionNames[faPump], "Pumpen");
  EXPECT_EQ(ActionNames[faSuck], "Saugen");
  EXPECT_EQ(ActionNames[faDelLocal], "L\xC3\xB6schen Lokal");
  EXPECT_EQ(ActionNames[faDelRemote], "L\xC3\xB6schen Remote");
  EXPECT_EQ(ActionNames[faTimeSync], "Zeitsync");
  const bool needs_ftp[] = {false, true, true, false, true, false};
  for (int i = 0; i < kActionCount; ++i)
    EXPECT_EQ(ActionNeedsFtp[i], needs_ftp[i]) << i;
  EXPECT_EQ(sizeof(TFileAction), 1u);
}

TEST(FileListTest, CompareByEveryKey) {
  struct Case {
    int key;
    TNodeData a;
    TNodeData b;
    int expected;  // sign of Compare(a, b) ascending
  };
  const Case cases[] = {
      // Path: directory first, then name, both case-insensitive.
      {skPath, {.RelDir = "a/", .Name = "z"}, {.RelDir = "b/", .Name = "a"}, -1},
      {skPath, {.RelDir = "img/", .Name = "b.gif"}, {.RelDir = "IMG/", .Name = "A.gif"}, 1},
      {skPath,
       {.RelDir = "IMG/", .Name = "Index.HTML"},
       {.RelDir = "img/", .Name = "index.html"},
       0},
      {skPath, {.RelDir = "", .Name = "z"}, {.RelDir = "a/", .Name = "a"}, -1},
      {skPath, {.Name = "\xC3\x84rger"}, {.Name = "\xC3\xA4rger"}, 0},
      {skPath, {.Name = "Apfel"}, {.Name = "\xC3\x84pfel"}, -1},
      {skPath, {.Name = "\xC3\x84pfel"}, {.Name = "Birne"}, -1},
      // Action: the code first, equal codes in reversed path order.
      {skAction, {.Name = "z", .Action = faNoAction}, {.Name = "a", .Action = faPump}, -1},
      {skAction, {.Name = "a", .Action = faTimeSync}, {.Name = "z", .Action = faDelRemote}, 1},
      {skAction, {.Name = "a", .Action = faPump}, {.Name = "b", .Action = faPump}, 1},
      {skAction,
       {.RelDir = "x/", .Name = "a", .Action = faPump},
       {.Name = "b", .Action = faPump},
       -1},
      {skAction, {.Name = "A", .Action = faSuck}, {.Name = "a", .Action = faSuck}, 0},
      // Numbers.
      {skLocalDate, {.LocalDate = At(10, 0, 0)}, {.LocalDate = At(10, 0, 1)}, -1},
      {skLocalDate, {.LocalDate = 2.5, .RemoteDate = 1}, {.LocalDate = 2.5}, 0},
      {skRemoteDate, {.RemoteDate = 3.0}, {.LocalDate = 9, .RemoteDate = 2.0}, 1},
      {skLocalSize, {.LocalSize = 5'000'000'000}, {.LocalSize = 705'032'704}, 1},
      {skLocalSize, {.LocalSize = 7}, {.LocalSize = 7, .RemoteSize = 1}, 0},
      {skRemoteSize, {.RemoteSize = -1}, {.RemoteSize = 0}, -1},
      {skRemoteSize, {.RemoteSize = 1LL << 40}, {.RemoteSize = 1}, 1},
      // Result text, case-insensitive.
      {skResult, {.ResultText = "OK"}, {.ResultText = "ok"}, 0},
      {skResult, {.ResultText = ""}, {.ResultText = "OK"}, -1},
      {skResult, {.ResultText = "Permission denied"}, {.ResultText = "OK"}, 1},
      // Unknown keys order by path.
      {7, {.Name = "b", .Action = faNoAction}, {.Name = "a", .Action = faPump}, 1},
      {255, {.RelDir = "a/", .Name = "b"}, {.RelDir = "A/", .Name = "B"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("key " + std::to_string(c.key) + ": " + c.a.RelDir + c.a.Name + " vs " +
                 c.b.RelDir + c.b.Name);
    TFileList list;
    auto a = MakeNode(c.a);
    auto b = MakeNode(c.b);
    list.SortKey = static_cast<TFileSortKey>(c.key);
    const int ascending = list.Compare(a.get(), b.get());
    EXPECT_EQ((ascending > 0) - (ascending < 0), c.expected);
    const int swapped = list.Compare(b.get(), a.get());
    EXPECT_EQ((swapped > 0) - (swapped < 0), -c.expected);
    list.SortDescending = true;
    const int descending = list.Compare(a.get(), b.get());
    EXPECT_EQ((descending > 0) - (descending < 0), -c.expected);
  }
}

// The order a run handles entries in: by action code from high to low, each group by path.
TEST(FileListTest, SortByActionGroupsAndOrdersPaths) {
  const TNodeData nodes[] = {
      {.RelDir = "b/", .Name = "x", .Action = faPump}, {.Name = "m", .Action = faNoAction},
      {.RelDir = "a/", .Name = "y", .Action = faPump}, {.Name = "c", .Action = faDelRemote},
      {.RelDir = "A/", .Name = "b", .Action = faPump}, {.Name = "k", .Action = faNoAction},
      {.RelDir = "", .Name = "z", .Action = faPump},   {.Name = "d", .Action = faSuck},
  };
  TFileList list;
  for (const TNodeData& data : nodes)
    list.Append(MakeNode(data));
  list.SortKey = skAction;
  list.Sort();
  EXPECT_EQ(Paths(list), "m k b/x a/y A/b z d c");
  list.SortDescending = true;
  list.Sort();
  EXPECT_EQ(Paths(list), "c d z A/b a/y b/x k m");
  list.Reverse();
  EXPECT_EQ(Paths(list), "m k b/x a/y A/b z d c");
}

TEST(FileListTest, SortByPathAndSizeKeepsTheMergeOrderOfEqualKeys) {
  TFileList list;
  list.Append(MakeNode({.RelDir = "sub/", .Name = "b", .LocalSize = 1}));
  list.Append(MakeNode({.RelDir = "", .Name = "A", .LocalSize = 1}));
  list.Append(MakeNode({.RelDir = "SUB/", .Name = "a", .LocalSize = 2}));
  list.SortKey = skPath;
  list.Sort();
  EXPECT_EQ(Paths(list), "A SUB/a sub/b");
  list.SortKey = skLocalSize;
  list.Sort();
  // Split [A] | [SUB/a, sub/b]; the right half sorts to [sub/b, SUB/a]; A ties with sub/b and
  // the right half wins.
  EXPECT_EQ(Paths(list), "sub/b A SUB/a");
}

TEST(FileListTest, ClearResetsRootsAndOrder) {
  TFileList list;
  list.LocalRoot = "/home/u/site/";
  list.RemoteRoot = "/htdocs/";
  list.SortKey = skResult;
  list.SortDescending = true;
  list.Append(MakeNode({.Name = "a"}));
  list.Append(MakeNode({.Name = "b"}));
  list.Clear();
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Count, 0);
  EXPECT_EQ(list.Last, nullptr);
  EXPECT_TRUE(list.LocalRoot.empty());
  EXPECT_TRUE(list.RemoteRoot.empty());
  EXPECT_EQ(list.SortKey, skAction);
  EXPECT_FALSE(list.SortDescending);
}

class FindNodeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const TNodeData& data : std::vector<TNodeData>{
             {.RelDir = "", .Name = "index.html", .ResultText = "root"},
             {.RelDir = "sub/", .Name = "index.html", .ResultText = "sub"},
             {.RelDir = "sub/deep/", .Name = "a.txt", .ResultText = "deep"},
             {.RelDir = "\xC3\xA4rger/",
             .Name = "\xC3\xBC"
                     "ber.txt",
             .ResultText = "umlaut"},
             {.RelDir = "Dup/", .Name = "Same", .ResultText = "first"},
             {.RelDir = "dup/", .Name = "same", .ResultText = "second"},
         }) {
      list.Append(MakeNode(data));
    }
  }
  TFileList list;
};

TEST_F(FindNodeTest, MatchesDirectoryAndNameCaseInsensitively) {
  struct Case {
    const char* dir;
    const char* name;
    const char* found;  // ResultText of the node, or nullptr
  };
  const Case cases[] = {
      {"Sub\\", "INDEX.HTML", "sub"},
      {"sub", "index.html", "sub"},
      {"SUB/", "Index.Html", "sub"},
      {"sub\\deep", "A.TXT", "deep"},
      {"Sub\\Deep\\", "a.txt", "deep"},
      {"sub/deep/", "a.txt", "deep"},
      {"", "INDEX.html", "root"},
      {"", "a.txt", nullptr},
      {"deep/", "a.txt", nullptr},
      {"sub/", "index.htm", nullptr},
      {"sub/", "index.html.bak", nullptr},
      {"su", "b/index.html", nullptr},
      {"\xC3\x84RGER",
       "\xC3\x9C"
       "BER.TXT",
       "umlaut"},
      {"argeR/", "uber.txt", nullptr},
      {"DUP", "SAME", "first"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.dir) + " | " + c.name);
    TFileNode* node = list.FindNode(c.dir, c.name);
    if (c.found == nullptr) {
      EXPECT_EQ(node, nullptr) << node->ResultText;
    } else {
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->ResultText, c.found);
    }
  }
}

TEST_F(FindNodeTest, EmptyListFindsNothing) {
  TFileList empty;
  EXPECT_EQ(empty.FindNode("", "index.html"), nullptr);
}

}  // namespace
}  // namespace quillmar
