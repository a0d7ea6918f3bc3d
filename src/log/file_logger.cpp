#include "log/file_logger.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace quillmar {

namespace {

std::string FileError(const std::string& file_name, std::string_view what, int error) {
  return "Die Datei \u201E" + file_name + "\u201C " + std::string(what) + ": " +
         std::generic_category().message(error);
}

}  // namespace

TFileLogger::TFileLogger(const std::string& FileName, bool Append) : file_name_(FileName) {
  // The log shows user names and file names, so a new file is readable by its owner only.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (Append ? O_APPEND : O_TRUNC);
  do {
    fd_ = ::open(FileName.c_str(), flags, 0600);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0)
    throw EInOutError(FileError(FileName, "kann nicht geöffnet werden", errno));
}

TFileLogger::~TFileLogger() {
  if (fd_ >= 0)
    ::close(fd_);
}

// One write call per line without a user-space buffer: the line reaches the system at once.
void TFileLogger::WriteLine(int Level, std::string_view Line) {
  if (Mode == 0)
    return;
  std::string text(LogPrefix(Level));
  text += Line;
  text += "\r\n";
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t written = ::write(fd_, rest.data(), rest.size());
    if (written < 0) {
      if (errno == EINTR)
        continue;
      throw EInOutError(FileError(file_name_, "kann nicht geschrieben werden", errno));
    }
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace quillmar
