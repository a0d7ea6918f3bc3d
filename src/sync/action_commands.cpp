#include <vector>

#include "sync/engine.h"
#include "sync/proposal.h"

namespace quillmar {

void TSyncEngine::SetSelectedActions(TFileAction code) {
  const std::vector<int> rows = host_.SelectedRows();
  if (!rows.empty()) {
    // Rows by position in one walk, so a large selection costs no walk per row.
    std::vector<TFileNode*> nodes;
    nodes.reserve(static_cast<std::size_t>(FileList.Count));
    for (TFileNode* node : FileList.FileNodes())
      nodes.push_back(node);
    for (const int row : rows) {
      if (row < 0 || row >= static_cast<int>(nodes.size()))
        continue;
      TFileNode& node = *nodes[static_cast<std::size_t>(row)];
      node.Action = ChangeAction(node, code);
      host_.RepaintRow(row);
    }
  }
  host_.AutoSizeColumn(7, 4);
  UpdateStatistics();
}

void TSyncEngine::SelectByAction(TFileAction code, bool select) {
  TFileNode* node;
  std::int32_t index = 0;
  FileList.StartIteration(node);
  while (FileList.IterateIndexed(node, index)) {
    if (node->Action == code)
      host_.SetRowSelected(index, select);
  }
}

void TSyncEngine::SelectEqualSized() {
  TFileNode* node;
  std::int32_t index = 0;
  FileList.StartIteration(node);
  while (FileList.IterateIndexed(node, index)) {
    if (node->LocalSize == node->RemoteSize)
      host_.SetRowSelected(index, true);
  }
}

}  // namespace quillmar
