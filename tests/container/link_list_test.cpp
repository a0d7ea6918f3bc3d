#include "container/link_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillmar {
namespace {

int g_live_nodes = 0;

// A node with a sort key and a one-letter tag that tells nodes with equal keys apart.
struct TTagNode : TListNode {
  TTagNode(char tag, int key) : Tag(tag), Key(key) { ++g_live_nodes; }
  ~TTagNode() override { --g_live_nodes; }
  char Tag;
  int Key;
};

class TKeyList : public TLinkList {
 public:
  std::int32_t Compare(const TListNode* A, const TListNode* B) const override {
    const int a = static_cast<const TTagNode*>(A)->Key;
    const int b = static_cast<const TTagNode*>(B)->Key;
    return (a > b) - (a < b);
  }
};

// "a1 b2": tag a with key 1, tag b with key 2. A bare letter has key 0.
void Fill(TLinkList& list, const std::string& spec) {
  for (std::size_t i = 0; i < spec.size();) {
    if (spec[i] == ' ') {
      ++i;
      continue;
    }
    const char tag = spec[i++];
    int key = 0;
    while (i < spec.size() && spec[i] >= '0' && spec[i] <= '9')
      key = key * 10 + (spec[i++] - '0');
    list.Append(std::make_unique<TTagNode>(tag, key));
  }
}

std::string Tags(const TLinkList& list) {
  std::string tags;
  for (TTagNode* node : list.Nodes<TTagNode>())
    tags += node->Tag;
  return tags;
}

TTagNode* Find(const TLinkList& list, char tag) {
  for (TTagNode* node : list.Nodes<TTagNode>()) {
    if (node->Tag == tag)
      return node;
  }
  return nullptr;
}

// The list's structural invariants, walked in both directions.
::testing::AssertionResult Intact(const TLinkList& list) {
  if ((list.Count == 0) != (list.First == nullptr) ||
      (list.First == nullptr) != (list.Last == nullptr)) {
    return ::testing::AssertionFailure() << "Count " << list.Count << " disagrees with First/Last";
  }
  if (list.First == nullptr)
    return ::testing::AssertionSuccess();
  if (list.First->Prev != nullptr)
    return ::testing::AssertionFailure() << "First->Prev set";
  if (list.Last->Next != nullptr)
    return ::testing::AssertionFailure() << "Last->Next set";
  std::int32_t steps = 0;
  const TListNode* node = list.First;
  while (node != list.Last) {
    if (node->Next == nullptr)
      return ::testing::AssertionFailure() << "chain ends before Last";
    if (node->Next->Prev != node)
      return ::testing::AssertionFailure() << "Prev link broken";
    node = node->Next;
    if (++steps > list.Count)
      return ::testing::AssertionFailure() << "chain longer than Count";
  }
  if (steps != list.Count - 1) {
    return ::testing::AssertionFailure()
           << "Last reached in " << steps << " steps, Count " << list.Count;
  }
  return ::testing::AssertionSuccess();
}

class LinkListTest : public ::testing::Test {
 protected:
  void SetUp() override { g_live_nodes = 0; }
  void TearDown() override { EXPECT_EQ(g_live_nodes, 0) << "nodes leaked or freed twice"; }
};

TEST_F(LinkListTest, EmptyList) {
  TKeyList list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_TRUE(Intact(list));
  EXPECT_EQ(list.NodeAt(0), nullptr);
  TListNode* cursor = list.First;
  list.StartIteration(cursor);
  EXPECT_FALSE(list.Iterate(cursor));
  std::int32_t index = 42;
  EXPECT_FALSE(list.IterateIndexed(cursor, index));
  list.Sort();
  list.Reverse();
  list.Clear();
  EXPECT_TRUE(Intact(list));
}

TEST_F(LinkListTest, InsertAfterFrontMiddleAndEnd) {
  TKeyList list;
  TTagNode* c = list.Append(std::make_unique<TTagNode>('c', 0));
  EXPECT_EQ(list.First, c);
  EXPECT_EQ(list.Last, c);
  list.InsertAfter(nullptr, std::make_unique<TTagNode>('a', 0));
  EXPECT_TRUE(Intact(list));
  list.InsertAfter(list.First, std::make_unique<TTagNode>('b', 0));
  EXPECT_TRUE(Intact(list));
  TTagNode* d = list.InsertAfter(c, std::make_unique<TTagNode>('d', 0));
  EXPECT_TRUE(Intact(list));
  EXPECT_EQ(list.Last, d);
  EXPECT_EQ(list.Count, 4);
  EXPECT_EQ(Tags(list), "abcd");
  EXPECT_FALSE(list.IsEmpty());
}

TEST_F(LinkListTest, NodeAtChecksBothBounds) {
  TKeyList list;
  Fill(list, "a b c");
  EXPECT_EQ(list.NodeAt(-1), nullptr);
  EXPECT_EQ(list.NodeAt(0), list.First);
  EXPECT_EQ(static_cast<TTagNode*>(list.NodeAt(1))->Tag, 'b');
  EXPECT_EQ(list.NodeAt(2), list.Last);
  EXPECT_EQ(list.NodeAt(3), nullptr);
}

TEST_F(LinkListTest, IterateVisitsEveryNodeOnceInOrder) {
  for (const std::string spec : {"a", "a b c d"}) {
    SCOPED_TRACE(spec);
    TKeyList list;
    Fill(list, spec);

    std::string seen;
    TListNode* cursor = nullptr;
    list.StartIteration(cursor);
    while (list.Iterate(cursor))
      seen += static_cast<TTagNode*>(cursor)->Tag;
    EXPECT_EQ(seen, Tags(list));
    EXPECT_EQ(cursor, list.Last);
    EXPECT_FALSE(list.Iterate(cursor)) << "a finished walk stays finished";

    seen.clear();
    std::vector<std::int32_t> indices;
    TTagNode* typed = nullptr;
    std::int32_t index = -7;
    list.StartIteration(typed);
    while (list.IterateIndexed(typed, index)) {
      seen += typed->Tag;
      indices.push_back(index);
      EXPECT_EQ(list.NodeAt(index), typed);
    }
    EXPECT_EQ(seen, Tags(list));
    EXPECT_EQ(static_cast<std::int32_t>(indices.size()), list.Count);
    EXPECT_EQ(indices.front(), 0);
  }
}

TEST_F(LinkListTest, SpliceAfter) {
  struct Case {
    const char* target;
    const char* other;
    int after;  // position in target, -1 for nullptr
    const char* expected;
  };
  const Case cases[] = {
      {"a b", "", 0, "ab"},         {"", "x y", -1, "xy"},     {"a b", "x y", -1, "xyab"},
      {"a b c", "x y", 0, "axybc"}, {"a b", "x y", 1, "abxy"}, {"a", "x", 0, "ax"},
      {"a b c", "x", 1, "abxc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + " + " + c.other + " after " + std::to_string(c.after));
    TKeyList target;
    TKeyList other;
    Fill(target, c.target);
    Fill(other, c.other);
    const std::int32_t before = target.Count + other.Count;
    target.SpliceAfter(c.after < 0 ? nullptr : target.NodeAt(c.after), other);
    EXPECT_EQ(Tags(target), c.expected);
    EXPECT_EQ(target.Count, before);
    EXPECT_TRUE(Intact(target));
    EXPECT_TRUE(other.IsEmpty());
    EXPECT_TRUE(Intact(other));
  }
}

TEST_F(LinkListTest, SpliceIntoEmptyListIgnoresAfter) {
  TKeyList target;
  TKeyList other;
  TKeyList stranger;
  Fill(other, "x y z");
  Fill(stranger, "s");
  target.SpliceAfter(stranger.First, other);
  EXPECT_EQ(Tags(target), "xyz");
  EXPECT_TRUE(Intact(target));
  EXPECT_TRUE(Intact(stranger));
  EXPECT_EQ(Tags(stranger), "s");
}

TEST_F(LinkListTest, SpliceWithItselfChangesNothing) {
  TKeyList list;
  Fill(list, "a b");
  list.SpliceAfter(list.First, list);
  EXPECT_EQ(Tags(list), "ab");
  EXPECT_TRUE(Intact(list));
}

TEST_F(LinkListTest, UnlinkHandsTheNodeBack) {
  for (const char tag : {'a', 'b', 'c'}) {
    SCOPED_TRACE(tag);
    TKeyList list;
    Fill(list, "a b c");
    std::unique_ptr<TTagNode> node = list.Unlink(Find(list, tag));
    EXPECT_EQ(node->Tag, tag);
    EXPECT_EQ(node->Next, nullptr);
    EXPECT_EQ(node->Prev, nullptr);
    EXPECT_EQ(list.Count, 2);
    EXPECT_TRUE(Intact(list));
    EXPECT_EQ(g_live_nodes, 3) << "Unlink must not free";
    std::string rest = "abc";
    rest.erase(rest.find(tag), 1);
    EXPECT_EQ(Tags(list), rest);
  }
  TKeyList single;
  Fill(single, "a");
  auto only = single.Unlink(single.First);
  EXPECT_TRUE(single.IsEmpty());
  EXPECT_TRUE(Intact(single));
}

TEST_F(LinkListTest, DeleteClearAndDestructionFreeNodes) {
  {
    TKeyList list;
    Fill(list, "a b c d");
    list.Delete(Find(list, 'b'));
    EXPECT_EQ(g_live_nodes, 3);
    EXPECT_EQ(Tags(list), "acd");
    EXPECT_TRUE(Intact(list));
    list.Delete(list.Last);
    EXPECT_TRUE(Intact(list));
    list.Clear();
    EXPECT_EQ(g_live_nodes, 0);
    EXPECT_TRUE(Intact(list));
    Fill(list, "x y");
  }
  EXPECT_EQ(g_live_nodes, 0);
}

TEST_F(LinkListTest, NestedListIsFreedWithItsOwner) {
  auto outer = std::make_unique<TLinkList>();
  auto inner = std::make_unique<TKeyList>();
  Fill(*inner, "a b");
  outer->Append(std::move(inner));
  outer.reset();
  EXPECT_EQ(g_live_nodes, 0);
}

TEST_F(LinkListTest, ReverseTwiceRestores) {
  for (const std::string spec : {"a", "a b", "a b c d e"}) {
    TKeyList list;
    Fill(list, spec);
    const std::string forward = Tags(list);
    list.Reverse();
    EXPECT_TRUE(Intact(list));
    EXPECT_EQ(Tags(list), std::string(forward.rbegin(), forward.rend()));
    list.Reverse();
    EXPECT_EQ(Tags(list), forward);
  }
}

TEST_F(LinkListTest, SplitKeepsTheFirstHalf) {
  struct Case {
    const char* spec;
    const char* kept;
    const char* moved;
  };
  const Case cases[] = {{"a", "", "a"},
                        {"a b", "a", "b"},
                        {"a b c", "a", "bc"},
                        {"a b c d", "ab", "cd"},
                        {"a b c d e", "ab", "cde"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    TKeyList list;
    Fill(list, c.spec);
    std::unique_ptr<TLinkList> rest = list.Split();
    EXPECT_EQ(Tags(list), c.kept);
    EXPECT_EQ(Tags(*rest), c.moved);
    EXPECT_TRUE(Intact(list));
    EXPECT_TRUE(Intact(*rest));
  }
}

TEST_F(LinkListTest, MergePutsTheOtherListFirstOnEqualKeys) {
  struct Case {
    const char* target;
    const char* other;
    const char* expected;
  };
  const Case cases[] = {
      {"a1 b3", "c1 d3", "cadb"}, {"a1", "b2 c3", "abc"},     {"", "a1 b2", "ab"},
      {"a1 b2", "", "ab"},        {"a5 b6", "c1 d2", "cdab"}, {"a1 b5", "c3", "acb"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + " | " + c.other);
    TKeyList target;
    TKeyList other;
    Fill(target, c.target);
    Fill(other, c.other);
    target.Merge(other, target);
    EXPECT_EQ(Tags(target), c.expected);
    EXPECT_TRUE(Intact(target));
    EXPECT_TRUE(other.IsEmpty());
  }
}

TEST_F(LinkListTest, SortOrderOfEqualKeysIsTheMergeOrder) {
  struct Case {
    const char* spec;
    const char* expected;
  };
  const Case cases[] = {
      {"", ""},         {"a", "a"},
      {"a1 b1", "ba"},  {"a2 b1", "ba"},
      {"a1 b2", "ab"},  {"a2 b1 c2 d1", "dbca"},
      {"a b c", "cba"}, {"a3 b1 c2 d1 e3", "dbcea"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    TKeyList list;
    Fill(list, c.spec);
    list.Sort();
    EXPECT_EQ(Tags(list), c.expected);
    EXPECT_TRUE(Intact(list));
  }
}

TEST_F(LinkListTest, SortingTwoEqualNodesAgainSwapsThemBack) {
  TKeyList list;
  Fill(list, "a1 b1");
  list.Sort();
  EXPECT_EQ(Tags(list), "ba");
  list.Sort();
  EXPECT_EQ(Tags(list), "ab");
}

TEST_F(LinkListTest, BaseCompareTreatsAllEqualSoSortReverses) {
  TLinkList list;
  Fill(list, "a b c d e f g");
  list.Sort();
  EXPECT_EQ(Tags(list), "gfedcba");
  EXPECT_TRUE(Intact(list));
}

TEST_F(LinkListTest, MergeSortUsesTheGivenComparer) {
  TLinkList plain;
  TKeyList comparer;
  Fill(plain, "a3 b1 c2");
  plain.MergeSort(comparer);
  EXPECT_EQ(Tags(plain), "bca");
}

TEST_F(LinkListTest, SortsLargeListsWithDuplicates) {
  std::mt19937 random(4711);
  for (const int size : {2, 3, 17, 1000, 4099}) {
    SCOPED_TRACE(size);
    TKeyList list;
    std::vector<int> keys;
    for (int i = 0; i < size; ++i) {
      keys.push_back(static_cast<int>(random() % 50));
      list.Append(std::make_unique<TTagNode>('n', keys.back()));
    }
    list.Sort();
    ASSERT_TRUE(Intact(list));
    std::vector<int> sorted;
    for (TTagNode* node : list.Nodes<TTagNode>())
      sorted.push_back(node->Key);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(sorted, keys);
  }
}

// Records every comparison, so two sorts can be shown to ask the same questions in the same order.
class TRecordingList : public TKeyList {
 public:
  std::int32_t Compare(const TListNode* A, const TListNode* B) const override {
    calls.emplace_back(static_cast<const TTagNode*>(A)->Tag, static_cast<const TTagNode*>(B)->Tag);
    return TKeyList::Compare(A, B);
  }
  mutable std::vector<std::pair<char, char>> calls;
};

// The sort as Split and Merge on the list itself define it.
void ReferenceSort(TLinkList& list, const TLinkList& comparer) {
  if (list.Count < 2)
    return;
  std::unique_ptr<TLinkList> rest = list.Split();
  ReferenceSort(list, comparer);
  ReferenceSort(*rest, comparer);
  list.Merge(*rest, comparer);
}

TEST_F(LinkListTest, MergeSortEqualsSplitAndMergeOnTheList) {
  std::mt19937 random(1899);
  for (const int size : {2, 3, 5, 8, 13, 40, 77}) {
    for (const int distinct : {1, 3, 1000}) {
      SCOPED_TRACE(std::to_string(size) + " nodes, " + std::to_string(distinct) + " keys");
      std::string spec;
      for (int i = 0; i < size; ++i) {
        spec += static_cast<char>(':' + i);  // unique tags, never a digit or a blank
        spec += std::to_string(random() % distinct) + " ";
      }
      TRecordingList sorted;
      TRecordingList reference;
      Fill(sorted, spec);
      Fill(reference, spec);
      sorted.Sort();
      ReferenceSort(reference, reference);
      EXPECT_EQ(Tags(sorted), Tags(reference));
      EXPECT_EQ(sorted.calls, reference.calls);
      EXPECT_TRUE(Intact(sorted));
    }
  }
}

}  // namespace
}  // namespace quillmar
