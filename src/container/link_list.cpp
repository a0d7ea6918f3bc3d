#include "container/link_list.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace quillmar {

namespace {

// Nodes of a shuffled list are scattered in memory; comparing them is mostly waiting for them.
inline void Prefetch(const TListNode* node) {
  __builtin_prefetch(node);
  __builtin_prefetch(reinterpret_cast<const char*>(node) + 64);
}

// Sorts nodes[0, count) like MergeSort on a list: the first count / 2 nodes and the rest are
// sorted in that order, then merged, taking the first half's node only when it compares less.
// scratch holds at least count / 2 pointers.
void SortNodes(TListNode** nodes, std::size_t count, TListNode** scratch,
               const TLinkList& comparer) {
  if (count < 2)
    return;
  const std::size_t half = count / 2;
  SortNodes(nodes, half, scratch, comparer);
  SortNodes(nodes + half, count - half, scratch, comparer);
  std::copy(nodes, nodes + half, scratch);
  std::size_t left = 0;
  std::size_t right = half;
  std::size_t out = 0;
  while (left < half && right < count) {
    // The next comparison needs one of the two following nodes; fetch both while this one runs.
    Prefetch(scratch[left + 1 < half ? left + 1 : left]);
    Prefetch(nodes[right + 1 < count ? right + 1 : right]);
    if (comparer.Compare(scratch[left], nodes[right]) < 0) {
      nodes[out++] = scratch[left++];
    } else {
      nodes[out++] = nodes[right++];
    }
  }
  // What is left of the second half is already in place.
  std::copy(scratch + left, scratch + half, nodes + out);
}

}  // namespace

TLinkList::~TLinkList() {
  Clear();
}

std::int32_t TLinkList::Compare(const TListNode*, const TListNode*) const {
  return 0;
}

TListNode* TLinkList::NodeAt(std::int32_t Index) const {
  if (Index < 0 || Index >= Count)
    return nullptr;
  TListNode* node = First;
  for (; Index > 0; --Index)
    node = node->Next;
  return node;
}

void TLinkList::LinkAfter(TListNode* After, TListNode* Node) {
  TListNode* next = After != nullptr ? After->Next : First;
  Node->Prev = After;
  Node->Next = next;
  if (After != nullptr) {
    After->Next = Node;
  } else {
    First = Node;
  }
  if (next != nullptr) {
    next->Prev = Node;
  } else {
    Last = Node;
  }
  ++Count;
}

void TLinkList::LinkBefore(TListNode* Before, TListNode* Node) {
  LinkAfter(Before->Prev, Node);
}

void TLinkList::Detach(TListNode* Node) {
  if (Node->Prev != nullptr) {
    Node->Prev->Next = Node->Next;
  } else {
    First = Node->Next;
  }
  if (Node->Next != nullptr) {
    Node->Next->Prev = Node->Prev;
  } else {
    Last = Node->Prev;
  }
  Node->Next = nullptr;
  Node->Prev = nullptr;
  --Count;
}

void TLinkList::SpliceAfter(TListNode* After, TLinkList& Other) {
  if (&Other == this || Other.IsEmpty())
    return;
  if (IsEmpty()) {
    First = Other.First;
    Last = Other.Last;
  } else {
    TListNode* next = After != nullptr ? After->Next : First;
    Other.First->Prev = After;
    Other.Last->Next = next;
    if (After != nullptr) {
      After->Next = Other.First;
    } else {
      First = Other.First;
    }
    if (next != nullptr) {
      next->Prev = Other.Last;
    } else {
      Last = Other.Last;
    }
  }
  Count += Other.Count;
  Other.First = nullptr;
  Other.Last = nullptr;
  Other.Count = 0;
}

void TLinkList::Delete(TListNode* Node) {
  Detach(Node);
  delete Node;
}

void TLinkList::Clear() {
  while (First != nullptr)
    Delete(First);
  Count = 0;
}

void TLinkList::Sort() {
  MergeSort(*this);
}

void TLinkList::Reverse() {
  for (TListNode* node = First; node != nullptr; node = node->Prev) {
    std::swap(node->Next, node->Prev);
  }
  std::swap(First, Last);
}

bool TLinkList::Iterate(TListNode*& Cursor) const {
  if (Cursor == Last || IsEmpty())
    return false;
  Cursor = Cursor == nullptr ? First : Cursor->Next;
  return true;
}

bool TLinkList::IterateIndexed(TListNode*& Cursor, std::int32_t& Index) const {
  if (Cursor == Last || IsEmpty())
    return false;
  if (Cursor == nullptr) {
    Cursor = First;
    Index = 0;
  } else {
    Cursor = Cursor->Next;
    ++Index;
  }
  return true;
}

std::unique_ptr<TLinkList> TLinkList::Split() {
  auto rest = std::make_unique<TLinkList>();
  const std::int32_t keep = Count / 2;
  TListNode* cut = keep > 0 ? NodeAt(keep - 1) : nullptr;
  TListNode* head = cut != nullptr ? cut->Next : First;
  if (head == nullptr)
    return rest;
  rest->First = head;
  rest->Last = Last;
  rest->Count = Count - keep;
  head->Prev = nullptr;
  if (cut != nullptr) {
    cut->Next = nullptr;
  } else {
    First = nullptr;
  }
  Last = cut;
  Count = keep;
  return rest;
}

void TLinkList::Merge(TLinkList& Other, const TLinkList& Comparer) {
  if (&Other == this)
    return;
  TListNode* q = First;
  while (!Other.IsEmpty()) {
    if (q == nullptr) {
      // Everything left in Other goes behind the end, in order.
      SpliceAfter(Last, Other);
      return;
    }
    TListNode* p = Other.First;
    if (Comparer.Compare(q, p) < 0) {
      q = q->Next;
    } else {
      Other.Detach(p);
      LinkBefore(q, p);
    }
  }
}

void TLinkList::MergeSort(const TLinkList& Comparer) {
  if (Count < 2)
    return;
  // The same recursion as Split and Merge on the list (same halves, same comparisons in the same
  // order, equal nodes of the second half first), run over an array of the nodes: the list
  // version walks half of every sublist to split it, which is slow once the nodes are scattered
  // in memory. The array is built before the list is touched, so running out of memory leaves
  // the list as it was.
  std::vector<TListNode*> nodes;
  nodes.reserve(static_cast<std::size_t>(Count));
  for (TListNode* node = First; node != nullptr; node = node->Next)
    nodes.push_back(node);
  std::vector<TListNode*> scratch(nodes.size() / 2);
  SortNodes(nodes.data(), nodes.size(), scratch.data(), Comparer);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    nodes[i]->Prev = i > 0 ? nodes[i - 1] : nullptr;
    nodes[i]->Next = i + 1 < nodes.size() ? nodes[i + 1] : nullptr;
  }
  First = nodes.front();
  Last = nodes.back();
}

}  // namespace quillmar
