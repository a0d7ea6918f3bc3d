#pragma once

#include <string_view>

#include "log/logger.h"
#include "util/string_list.h"

namespace quillmar {

// Appends prefixed lines to a string list that the creator owns and frees after the logger.
class TStringsLogger : public TLogger {
 public:
  explicit TStringsLogger(TStringList* Lines) : Lines(Lines) {}

  void WriteLine(int Level, std::string_view Line) override;

  TStringList* Lines;
};

}  // namespace quillmar
