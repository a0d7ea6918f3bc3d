#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "log/logger.h"

namespace quillmar {

// One line as a logger received it.
struct TLogEntry {
  int Level = 0;
  std::string Line;
  bool operator==(const TLogEntry&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TLogEntry& entry) {
  return out << "{" << entry.Level << ", \"" << entry.Line << "\"}";
}

// Keeps every line it receives, for tests of the layers that log.
class TRecordingLogger : public TLogger {
 public:
  void WriteLine(int Level, std::string_view Line) override {
    Entries.push_back({Level, std::string(Line)});
  }

  // The lines alone, in order.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& entry : Entries)
      lines.push_back(entry.Line);
    return lines;
  }
  // The lines of one level, in order.
  std::vector<std::string> LinesAt(int Level) const {
    std::vector<std::string> lines;
    for (const auto& entry : Entries) {
      if (entry.Level == Level)
        lines.push_back(entry.Line);
    }
    return lines;
  }

  std::vector<TLogEntry> Entries;
};

}  // namespace quillmar
