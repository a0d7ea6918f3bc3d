#include "sync/file_list.h"

#include "util/collation.h"
#include "util/strings.h"

namespace quillmar {

namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

template <typename T>
int CompareNumbers(T a, T b) {
  return (a > b) - (a < b);
}

// Most nodes share their directory with many others; equal bytes are equal under the collation
// and need no folding.
int CompareTextFast(const std::string& a, const std::string& b) {
  if (a == b)
    return 0;
  return Sign(CompareText(a, b));
}

int ComparePaths(const TFileNode& a, const TFileNode& b) {
  int r = CompareTextFast(a.RelDir, b.RelDir);
  if (r == 0)
    r = CompareTextFast(a.Name, b.Name);
  return r;
}

}  // namespace

void TFileList::Clear() {
  TLinkList::Clear();
  LocalRoot.clear();
  RemoteRoot.clear();
  SortKey = skAction;
  SortDescending = false;
}

std::int32_t TFileList::Compare(const TListNode* A, const TListNode* B) const {
  const auto& a = *static_cast<const TFileNode*>(A);
  const auto& b = *static_cast<const TFileNode*>(B);
  int r;
  switch (SortKey) {
    case skAction:
      r = int{a.Action} - int{b.Action};
      if (r == 0)
        r = -ComparePaths(a, b);
      break;
    case skLocalDate:
      r = CompareNumbers(a.LocalDate, b.LocalDate);
      break;
    case skLocalSize:
      r = CompareNumbers(a.LocalSize, b.LocalSize);
      break;
    case skRemoteDate:
      r = CompareNumbers(a.RemoteDate, b.RemoteDate);
      break;
    case skRemoteSize:
      r = CompareNumbers(a.RemoteSize, b.RemoteSize);
      break;
    case skResult:
      r = CompareTextFast(a.ResultText, b.ResultText);
      break;
    case skPath:
    default:
      r = ComparePaths(a, b);
      break;
  }
  return SortDescending ? -r : r;
}

TFileNode* TFileList::FindNode(std::string_view Dir, std::string_view Name) const {
  std::string dir = ReplaceChar(Dir, '\\', '/');
  if (!dir.empty() && dir.back() != '/')
    dir += '/';
  for (TFileNode* node : FileNodes()) {
    if (SameText(node->RelDir, dir) && SameText(node->Name, Name))
      return node;
  }
  return nullptr;
}

}  // namespace quillmar
