#pragma once

#include <filesystem>
#include <string>

namespace quillmar::testing {

// A fresh directory below the system's temporary directory, removed with everything in it when
// the object goes.
class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix = "quillmar");
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillmar::testing
