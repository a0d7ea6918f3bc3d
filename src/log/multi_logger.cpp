#include "log/multi_logger.h"

#include <exception>

namespace quillmar {

void TMultiLogger::AddLogger(std::unique_ptr<TLogger> Child) {
  if (Child)
    children_.push_back(std::move(Child));
}

// A child that fails (a log file on a full disk) must not keep the line from the others, so
// every child gets it before the first error is passed on.
void TMultiLogger::WriteLine(int Level, std::string_view Line) {
  std::exception_ptr first_error;
  for (const auto& child : children_) {
    if (!child->IsLevelEnabled(Level))
      continue;
    try {
      child->WriteLine(Level, Line);
    } catch (...) {
      if (!first_error)
        first_error = std::current_exception();
    }
  }
  if (first_error)
    std::rethrow_exception(first_error);
}

}  // namespace quillmar
