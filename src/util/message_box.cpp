#include "util/message_box.h"

#include <cstdio>

namespace quillmar {
namespace {

TMessageBoxHandler* g_handler = nullptr;

std::string& Title() {
  static std::string title = "Quillmar";
  return title;
}

}  // namespace

void SetMessageBoxHandler(TMessageBoxHandler* handler) {
  g_handler = handler;
}

void SetApplicationTitle(std::string title) {
  Title() = std::move(title);
}

const std::string& ApplicationTitle() {
  return Title();
}

int MsgBox(const std::string& text, int flags) {
  if (g_handler != nullptr)
    return g_handler->ShowMessageBox(Title(), text, flags);
  std::fprintf(stderr, "%s: %s\n", Title().c_str(), text.c_str());
  return (flags & 0x0F) == kMbYesNo ? kIdNo : kIdOk;
}

}  // namespace quillmar
