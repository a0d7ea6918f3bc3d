#include "sync/file_index.h"

#include <algorithm>

#include "util/collation.h"
#include "util/strings.h"

namespace quillmar {

TFileIndex::TFileIndex(const TFileList& list) {
  for (TFileNode* node : list.FileNodes())
    nodes_[Key(node->RelDir, node->Name)].push_back(node);
}

// NUL cannot occur in a path, so no directory/name split can give another pair's key.
std::string TFileIndex::Key(std::string_view dir, std::string_view name) {
  std::string path = ReplaceChar(dir, '\\', '/');
  if (!path.empty() && path.back() != '/')
    path += '/';
  std::string key = FoldKey(path);
  key += '\0';
  key += FoldKey(name);
  return key;
}

TFileNode* TFileIndex::Find(std::string_view dir, std::string_view name) const {
  const auto it = nodes_.find(Key(dir, name));
  return it == nodes_.end() ? nullptr : it->second.front();
}

void TFileIndex::Remove(const TFileNode* node) {
  const auto it = nodes_.find(Key(node->RelDir, node->Name));
  if (it == nodes_.end())
    return;
  std::vector<TFileNode*>& same = it->second;
  same.erase(std::remove(same.begin(), same.end(), node), same.end());
  if (same.empty())
    nodes_.erase(it);
}

}  // namespace quillmar
