#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "log/logger.h"

namespace quillmar {

// Fans finished lines out to the child loggers it owns. Rendering happens once, by the
// multi-logger's own Mode; a child's Mode only decides whether the child writes at all.
class TMultiLogger : public TLogger {
 public:
  // Appends a child and takes ownership of it.
  void AddLogger(std::unique_ptr<TLogger> Child);

  void WriteLine(int Level, std::string_view Line) override;

  int Count() const { return static_cast<int>(children_.size()); }

 private:
  std::vector<std::unique_ptr<TLogger>> children_;
};

}  // namespace quillmar
