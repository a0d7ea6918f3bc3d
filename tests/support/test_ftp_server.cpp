#include "support/test_ftp_server.h"

#include <fstream>
#include <iterator>

namespace quillmar::testing {

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quillmar::testing
