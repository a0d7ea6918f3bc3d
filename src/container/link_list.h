#pragma once

#include <concepts>
#include <cstdint>
#include <iterator>
#include <memory>

namespace quillmar {

// Base of every element of a TLinkList. A node is in at most one list at a time and does not know
// which list holds it. The virtual destructor lets a list free the derived nodes it owns.
class TListNode {
 public:
  TListNode() = default;
  TListNode(const TListNode&) = delete;
  TListNode& operator=(const TListNode&) = delete;
  virtual ~TListNode() = default;

  TListNode* Next = nullptr;  // nullptr for the last node
  TListNode* Prev = nullptr;  // nullptr for the first node
};

// An intrusive doubly linked list that owns its nodes. It is itself a node, so lists can be
// nested. Invariants: First->Prev and Last->Next are nullptr, Next from First reaches Last in
// Count - 1 steps, and Count is 0 exactly when First and Last are nullptr.
class TLinkList : public TListNode {
 public:
  TLinkList() = default;
  ~TLinkList() override;

  TListNode* First = nullptr;
  TListNode* Last = nullptr;
  std::int32_t Count = 0;

  // Negative when A goes before B, 0 when equal, positive when A goes after B. The base order
  // treats all nodes as equal.
  virtual std::int32_t Compare(const TListNode* A, const TListNode* B) const;

  bool IsEmpty() const { return First == nullptr; }
  // The node at the zero-based position, or nullptr when Index is outside 0..Count-1.
  TListNode* NodeAt(std::int32_t Index) const;

  // Both take ownership of Node and return it. InsertAfter with After == nullptr inserts at the
  // front.
  template <std::derived_from<TListNode> T>
  T* Append(std::unique_ptr<T> Node) {
    return InsertAfter(Last, std::move(Node));
  }
  template <std::derived_from<TListNode> T>
  T* InsertAfter(TListNode* After, std::unique_ptr<T> Node) {
    T* raw = Node.release();
    LinkAfter(After, raw);
    return raw;
  }

  // Moves every node of Other, in order, behind After (nullptr: in front of the first node).
  // Other is left empty.
  void SpliceAfter(TListNode* After, TLinkList& Other);

  // Takes Node, which must belong to this list, out and hands it back to the caller.
  template <std::derived_from<TListNode> T>
  std::unique_ptr<T> Unlink(T* Node) {
    Detach(Node);
    return std::unique_ptr<T>(Node);
  }
  // Unlinks Node and frees it.
  void Delete(TListNode* Node);
  void Clear();

  // Merge sort by this list's own Compare.
  void Sort();
  // Reverses the order without comparing.
  void Reverse();

  // Walks: StartIteration(c); while (Iterate(c)) ... The cursor is nullptr before the first
  // step; IterateIndexed also keeps Index at the cursor's zero-based position.
  void StartIteration(TListNode*& Cursor) const { Cursor = nullptr; }
  bool Iterate(TListNode*& Cursor) const;
  bool IterateIndexed(TListNode*& Cursor, std::int32_t& Index) const;

  // The same walks with a cursor of the derived node type the caller knows the list holds.
  template <std::derived_from<TListNode> T>
  void StartIteration(T*& Cursor) const {
    Cursor = nullptr;
  }
  template <std::derived_from<TListNode> T>
  bool Iterate(T*& Cursor) const {
    TListNode* base = Cursor;
    if (!Iterate(base))
      return false;
    Cursor = static_cast<T*>(base);
    return true;
  }
  template <std::derived_from<TListNode> T>
  bool IterateIndexed(T*& Cursor, std::int32_t& Index) const {
    TListNode* base = Cursor;
    if (!IterateIndexed(base, Index))
      return false;
    Cursor = static_cast<T*>(base);
    return true;
  }

  // Keeps the first Count div 2 nodes and returns a new list with the rest, in order.
  std::unique_ptr<TLinkList> Split();
  // Merges the sorted list Other into this sorted list by Comparer.Compare; on equal keys the
  // node from Other goes first. Other is left empty.
  void Merge(TLinkList& Other, const TLinkList& Comparer);
  // Top-down merge sort by Comparer.Compare. Not stable: the merge puts equal nodes of the
  // second half first, so a list of two equal nodes comes out swapped.
  void MergeSort(const TLinkList& Comparer);

  // Range over the nodes as T, for lists known to hold only T nodes:
  // for (TFileNode* node : list.Nodes<TFileNode>()) ...
  template <std::derived_from<TListNode> T>
  class TNodeRange {
   public:
    class iterator {
     public:
      using iterator_category = std::forward_iterator_tag;
      using value_type = T*;
      using difference_type = std::ptrdiff_t;
      using pointer = T**;
      using reference = T*;

      iterator() = default;
      explicit iterator(TListNode* node) : node_(node) {}
      T* operator*() const { return static_cast<T*>(node_); }
      iterator& operator++() {
        node_ = node_->Next;
        return *this;
      }
      iterator operator++(int) {
        iterator old = *this;
        node_ = node_->Next;
        return old;
      }
      bool operator==(const iterator&) const = default;

     private:
      TListNode* node_ = nullptr;
    };

    explicit TNodeRange(TListNode* first) : first_(first) {}
    iterator begin() const { return iterator(first_); }
    iterator end() const { return iterator(); }

   private:
    TListNode* first_;
  };

  template <std::derived_from<TListNode> T>
  TNodeRange<T> Nodes() const {
    return TNodeRange<T>(First);
  }

 private:
  void LinkAfter(TListNode* After, TListNode* Node);
  void LinkBefore(TListNode* Before, TListNode* Node);
  void Detach(TListNode* Node);
};

}  // namespace quillmar
