#include "cli/stderr_logger.h"

#include <unistd.h>

#include <string>

namespace quillmar {

void WriteToStderr(std::string_view text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n <= 0)
      return;
    done += static_cast<std::size_t>(n);
  }
}

void TStderrLogger::WriteLine(int Level, std::string_view Line) {
  std::string text(LogPrefix(Level));
  text += Line;
  text += '\n';
  WriteToStderr(text);
}

}  // namespace quillmar
