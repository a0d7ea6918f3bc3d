#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sync/file_list.h"
#include "sync/file_node.h"

namespace quillmar {

// Finds nodes of a file list by relative path in constant time, with the result of
// TFileList::FindNode: the first node in list order whose RelDir and Name equal the path under
// the collation. The index does not follow the list; Remove takes a node out of it when the
// node leaves the list.
class TFileIndex {
 public:
  explicit TFileIndex(const TFileList& list);

  // Dir may use '\' and may lack its trailing '/'.
  TFileNode* Find(std::string_view dir, std::string_view name) const;
  void Remove(const TFileNode* node);

  bool IsEmpty() const { return nodes_.empty(); }

 private:
  static std::string Key(std::string_view dir, std::string_view name);

  // Each key's nodes in list order.
  std::unordered_map<std::string, std::vector<TFileNode*>> nodes_;
};

}  // namespace quillmar
