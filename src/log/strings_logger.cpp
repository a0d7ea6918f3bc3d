#include "log/strings_logger.h"

#include <string>
#include <utility>

namespace quillmar {

namespace {

// A full list drops its oldest lines in one block, so trimming happens once every 100 lines.
constexpr int kMaxLines = 500;
constexpr int kLinesDropped = 100;

}  // namespace

void TStringsLogger::WriteLine(int Level, std::string_view Line) {
  if (Mode == 0 || Lines == nullptr)
    return;
  if (Lines->Count() > kMaxLines)
    Lines->DeleteFirst(kLinesDropped);
  std::string text(LogPrefix(Level));
  text += Line;
  Lines->Add(std::move(text));
}

}  // namespace quillmar
