#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "container/link_list.h"
#include "sync/file_node.h"

namespace quillmar {

enum TFileSortKey : std::uint8_t {
  skAction = 0,  // Action ascending, equal actions in reversed path order
  skPath = 1,    // RelDir, then Name (text)
  skLocalDate = 2,
  skLocalSize = 3,
  skRemoteDate = 4,
  skRemoteSize = 5,
  skResult = 6,  // ResultText (text)
};

// The merged local and remote trees: one TFileNode per relative file path. Holds TFileNode nodes
// only.
class TFileList : public TLinkList {
 public:
  // Ends in '/' once set.
  std::string LocalRoot;
  // Ends in '/' unless empty.
  std::string RemoteRoot;
  // Any value outside the enumeration orders by path.
  TFileSortKey SortKey = skAction;
  bool SortDescending = false;

  // Only file nodes go in.
  TFileNode* Append(std::unique_ptr<TFileNode> Node) { return TLinkList::Append(std::move(Node)); }
  TFileNode* InsertAfter(TListNode* After, std::unique_ptr<TFileNode> Node) {
    return TLinkList::InsertAfter(After, std::move(Node));
  }

  // Deletes all nodes, empties the roots and resets the sort order.
  void Clear();

  std::int32_t Compare(const TListNode* A, const TListNode* B) const override;

  // The first node in list order whose RelDir and Name equal Dir and Name case-insensitively.
  // Dir may use '\' and may lack its trailing '/'.
  TFileNode* FindNode(std::string_view Dir, std::string_view Name) const;

  TFileNode* FirstNode() const { return static_cast<TFileNode*>(First); }
  TFileNode* LastNode() const { return static_cast<TFileNode*>(Last); }
  TNodeRange<TFileNode> FileNodes() const { return Nodes<TFileNode>(); }
};

}  // namespace quillmar
