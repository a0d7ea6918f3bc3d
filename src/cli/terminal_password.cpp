#include "cli/terminal_password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace quillmar {
namespace {

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      return;
    done += static_cast<std::size_t>(n);
  }
}

// One line from `fd`; nullopt at end of input or on an error (EINTR included).
std::optional<std::string> ReadLine(int fd) {
  std::string line;
  char ch = 0;
  while (true) {
    const ssize_t n = ::read(fd, &ch, 1);
    if (n <= 0)
      return std::nullopt;
    if (ch == '\n')
      return line;
    if (ch != '\r')
      line += ch;
  }
}

}  // namespace

std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) {
  const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return std::nullopt;
  WriteAll(fd, prompt);
  termios saved{};
  const bool have_modes = ::tcgetattr(fd, &saved) == 0;
  if (have_modes) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(fd, TCSAFLUSH, &quiet);
  }
  std::optional<std::string> line = ReadLine(fd);
  if (have_modes)
    ::tcsetattr(fd, TCSAFLUSH, &saved);
  WriteAll(fd, "\n");
  ::close(fd);
  return line;
}

}  // namespace quillmar
