#pragma once

#include <string_view>

#include "log/logger.h"

namespace quillmar {

// The protocol log of a terminal run: each line on standard error with the level prefix of
// the log file ("S: ", "R: ", "E: ", ".").
class TStderrLogger : public TLogger {
 public:
  void WriteLine(int Level, std::string_view Line) override;
};

// Writes `text` to standard error in one piece, so lines of different sources do not mix.
void WriteToStderr(std::string_view text);

}  // namespace quillmar
