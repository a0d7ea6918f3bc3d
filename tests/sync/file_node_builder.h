#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sync/file_list.h"
#include "sync/file_node.h"
#include "util/date_time.h"

namespace quillmar::testing {

// The values of one file node, for tables of cases.
struct TNodeData {
  std::string RelDir = "";
  std::string Name = "";
  std::int64_t LocalSize = 0;
  std::int64_t RemoteSize = 0;
  TDateTime LocalDate = 0.0;
  TDateTime RemoteDate = 0.0;
  bool HasTime = false;
  TFileAction Action = faNoAction;
  std::string ResultText = "";
};

inline std::unique_ptr<TFileNode> MakeNode(const TNodeData& data) {
  auto node = std::make_unique<TFileNode>();
  node->RelDir = data.RelDir;
  node->Name = data.Name;
  node->RemoteName = data.RemoteDate > 0.0 ? data.Name : "";
  node->LocalSize = data.LocalSize;
  node->RemoteSize = data.RemoteSize;
  node->LocalDate = data.LocalDate;
  node->RemoteDate = data.RemoteDate;
  node->HasTime = data.HasTime;
  node->Action = data.Action;
  node->ResultText = data.ResultText;
  return node;
}

// 2024-05-17 at the given time of day.
inline TDateTime At(int hour, int minute, int second, int msec = 0) {
  return EncodeDate(2024, 5, 17) + EncodeTime(hour, minute, second, msec);
}

}  // namespace quillmar::testing
