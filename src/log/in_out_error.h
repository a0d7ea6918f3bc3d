#pragma once

#include <stdexcept>

namespace quillmar {

// A file that cannot be opened, written or flushed.
class EInOutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace quillmar
