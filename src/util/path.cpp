#include "util/path.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

namespace quillmar {

std::string ExpandLongPath(std::string_view path) {
  const std::string input(path);
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(input.c_str(), nullptr), &::free);
  return resolved ? std::string(resolved.get()) : input;
}

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0)
    return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string ExtractFilePath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  std::string out(path);
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    out.erase(dot);
  }
  out += extension;
  return out;
}

}  // namespace quillmar
