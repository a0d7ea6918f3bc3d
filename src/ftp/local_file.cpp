#include "ftp/local_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <system_error>

#include "log/in_out_error.h"

namespace quillmar {

namespace {

constexpr int kTemporaryNameAttempts = 100;

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return {};
  return path.substr(0, slash + 1);
}

// A link is followed to its target, so the download replaces the file it points to.
std::string ResolveTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
    return path;
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved))
    return path;
  return resolved;
}

std::string RandomSuffix() {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 generator(std::random_device{}());
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix = std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-";
  std::uniform_int_distribution<int> pick(0, sizeof kChars - 2);
  for (int i = 0; i < 6; ++i)
    suffix += kChars[pick(generator)];
  return suffix;
}

}  // namespace

std::string FileErrorText(int Errno) {
  switch (Errno) {
    case ENOENT:
      return "Datei nicht gefunden";
    case EACCES:
    case EPERM:
      return "Dateizugriff verweigert";
    default:
      return std::generic_category().message(Errno);
  }
}

void RaiseFileError(const std::string& FileName, int Errno) {
  throw EInOutError(FileErrorText(Errno) + ": " + FileName);
}

TSourceFile::TSourceFile(const std::string& FileName) : file_name_(FileName) {
  do {
    fd_ = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0)
    RaiseFileError(file_name_, errno);
}

TSourceFile::~TSourceFile() {
  ::close(fd_);
}

std::size_t TSourceFile::ReadBlock(char* Buffer, std::size_t Size) {
  std::size_t done = 0;
  while (done < Size) {
    const ssize_t got = ::read(fd_, Buffer + done, Size - done);
    if (got < 0) {
      if (errno == EINTR)
        continue;
      RaiseFileError(file_name_, errno);
    }
    if (got == 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

TDownloadFile::TDownloadFile(const std::string& FileName)
    : file_name_(FileName), target_(ResolveTarget(FileName)) {
  const std::string directory = DirectoryOf(target_);
  for (int attempt = 0; attempt < kTemporaryNameAttempts && fd_ < 0; ++attempt) {
    temp_name_ = directory + ".quillmar-" + RandomSuffix() + ".part";
    // Mode 0666 lets the umask give a new file its usual permissions.
    fd_ = ::open(temp_name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST && errno != EINTR)
      RaiseFileError(file_name_, errno);
  }
  if (fd_ < 0)
    RaiseFileError(file_name_, EEXIST);
  struct stat old {};
  if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode))
    ::fchmod(fd_, old.st_mode & 07777);
}

TDownloadFile::~TDownloadFile() {
  if (fd_ >= 0)
    ::close(fd_);
  if (!committed_)
    ::unlink(temp_name_.c_str());
}

void TDownloadFile::Write(const char* Buffer, std::size_t Count) {
  std::size_t done = 0;
  while (done < Count) {
    const ssize_t written = ::write(fd_, Buffer + done, Count - done);
    if (written < 0) {
      if (errno == EINTR)
        continue;
      RaiseFileError(file_name_, errno);
    }
    done += static_cast<std::size_t>(written);
  }
}

void TDownloadFile::Commit() {
  const int fd = fd_;
  fd_ = -1;
  // Delayed write errors (a full disk on a network file system) show up here at the latest.
  if (::close(fd) != 0 && errno != EINTR)
    RaiseFileError(file_name_, errno);
  if (::rename(temp_name_.c_str(), target_.c_str()) != 0)
    RaiseFileError(file_name_, errno);
  committed_ = true;
}

}  // namespace quillmar
