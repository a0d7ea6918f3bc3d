#include "settings/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace quillmar {

namespace {

bool ReadWholeFile(const std::string& path, std::string& content) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  content.clear();
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      ok = false;
      break;
    }
    if (got == 0) {
      break;
    }
    content.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ok;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t done = ::write(fd, data.data(), data.size());
    if (done < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(done));
  }
  return true;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') {
    return ch - '0';
  }
  if (ch >= 'A' && ch <= 'F') {
    return ch - 'A' + 10;
  }
  if (ch >= 'a' && ch <= 'f') {
    return ch - 'a' + 10;
  }
  return -1;
}

bool ParseHex(std::string_view digits, std::int32_t& result) {
  if (digits.empty()) {
    return false;
  }
  std::uint64_t value = 0;
  for (const char ch : digits) {
    const int digit = HexDigit(ch);
    if (digit < 0) {
      return false;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) {
      return false;
    }
  }
  // Eight digits fill all 32 bits, so "$FFFFFFFF" is -1.
  result = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  return true;
}

bool ParseDecimal(std::string_view text, std::int32_t& result) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) {
    return false;
  }
  std::int64_t value = 0;
  for (const char ch : text) {
    if (ch < '0' || ch > '9') {
      return false;
    }
    value = value * 10 + (ch - '0');
    if (value > std::int64_t{INT32_MAX} + 1) {
      return false;
    }
  }
  value = negative ? -value : value;
  if (value > INT32_MAX || value < INT32_MIN) {
    return false;
  }
  result = static_cast<std::int32_t>(value);
  return true;
}

bool ParseIniInteger(std::string_view text, std::int32_t& result) {
  if (!text.empty() && text.front() == '$') {
    return ParseHex(text.substr(1), result);
  }
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return ParseHex(text.substr(2), result);
  }
  return ParseDecimal(text, result);
}

// The value as one read returns it: up to a NUL byte and at most kIniReadLimit bytes, without
// splitting a UTF-8 character at the limit.
std::string LimitValue(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  if (value.size() <= kIniReadLimit) {
    return std::string(value);
  }
  std::size_t cut = kIniReadLimit;
  std::size_t lead = cut;
  while (lead > 0 && cut - lead < 3 && (static_cast<unsigned char>(value[lead]) & 0xC0) == 0x80) {
    --lead;
  }
  const auto first = static_cast<unsigned char>(value[lead]);
  const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
  if (lead < cut && first >= 0xC0 && first <= 0xF7 && lead + length > cut) {
    cut = lead;
  }
  return std::string(value.substr(0, cut));
}

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::int64_t NowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

// File times advance in clock ticks, so a change within the tick of our last look can leave
// the stamp as it was. A file touched that recently is read again.
constexpr std::int64_t kTimestampSlackNs = 100'000'000;

}  // namespace

EIniWriteError::EIniWriteError(const std::string& file_name)
    : std::runtime_error("In " + file_name + " kann nicht geschrieben werden") {}

TIniFile::TIniFile(std::string file_name) : file_name_(std::move(file_name)) {}

TIniFile::TFileStamp TIniFile::StampOf(const std::string& path) {
  struct stat info {};
  TFileStamp stamp;
  if (::stat(path.c_str(), &info) != 0) {
    return stamp;
  }
  stamp.Exists = true;
  stamp.Device = info.st_dev;
  stamp.Inode = info.st_ino;
  stamp.Size = info.st_size;
  stamp.ModifiedNs = Nanoseconds(info.st_mtim);
  stamp.ChangedNs = Nanoseconds(info.st_ctim);
  return stamp;
}

bool TIniFile::CacheValid(const TFileStamp& stamp) const {
  if (!loaded_ || !(stamp == stamp_)) {
    return false;
  }
  return !stamp.Exists ||
         std::max(stamp.ModifiedNs, stamp.ChangedNs) + kTimestampSlackNs < loaded_at_ns_;
}

void TIniFile::Remember(TIniDocument document, const TFileStamp& stamp) const {
  document_ = std::move(document);
  stamp_ = stamp;
  loaded_at_ns_ = NowNs();
  loaded_ = true;
}

const TIniDocument& TIniFile::Document() const {
  const TFileStamp stamp = StampOf(file_name_);
  if (CacheValid(stamp)) {
    return document_;
  }
  std::string content;
  if (!stamp.Exists || !ReadWholeFile(file_name_, content)) {
    content.clear();
  }
  Remember(TIniDocument(std::move(content)), stamp);
  return document_;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view default_value) const {
  const auto value = Document().Value(section, key);
  if (!value) {
    return std::string(default_value);
  }
  return LimitValue(*value);
}

std::string TIniFile::ReadFullString(std::string_view section, std::string_view key,
                                     std::string_view default_value) const {
  const auto value = Document().Value(section, key);
  if (!value) {
    return std::string(default_value);
  }
  return std::string(value->substr(0, value->find('\0')));
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                                   std::int32_t default_value) const {
  const auto value = Document().Value(section, key);
  std::int32_t result = default_value;
  if (!value || !ParseIniInteger(LimitValue(*value), result)) {
    return default_value;
  }
  return result;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const {
  return Document().HasSection(section);
}

void TIniFile::ReadSections(TStringList& list) const {
  list.Clear();
  std::size_t used = 1;  // the final NUL
  for (const auto& name : Document().SectionNames()) {
    // In a NUL-separated list a NUL ends the name, and an empty name would end the list.
    const std::string_view shown = std::string_view(name).substr(0, name.find('\0'));
    if (shown.empty()) {
      continue;
    }
    if (used + shown.size() + 1 > kIniSectionListBuffer) {
      break;
    }
    used += shown.size() + 1;
    list.Add(std::string(shown));
  }
}

void TIniFile::CheckName(std::string_view name, bool is_key) const {
  if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw EIniWriteError(file_name_);
  }
  if (is_key) {
    const auto start = name.find_first_not_of(" \t");
    // Such a key would read back as a comment, a section header or a different key.
    if (start == std::string_view::npos || name[start] == '[' || name[start] == ';' ||
        name.find('=') != std::string_view::npos) {
      throw EIniWriteError(file_name_);
    }
  } else if (name.find(']') != std::string_view::npos) {
    throw EIniWriteError(file_name_);
  }
}

void TIniFile::CheckValue(std::string_view value) const {
  // A line break would start a line of its own, possibly a section header.
  if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
    throw EIniWriteError(file_name_);
  }
}

std::string TIniFile::TargetPath() const {
  struct stat info {};
  if (::lstat(file_name_.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(file_name_.c_str(), resolved) != nullptr) {
      return resolved;
    }
  }
  return file_name_;
}

namespace {

// Holds an advisory lock on a directory, so that the desktop program and the command-line
// front end do not interleave their read-change-replace steps on the same file.
class TDirectoryLock {
 public:
  explicit TDirectoryLock(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : file.substr(0, slash + 1);
    fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ >= 0) {
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~TDirectoryLock() {
    if (fd_ >= 0) {
      ::close(fd_);  // releases the lock
    }
  }
  TDirectoryLock(const TDirectoryLock&) = delete;
  TDirectoryLock& operator=(const TDirectoryLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

template <typename Edit>
void TIniFile::Change(Edit edit) {
  const std::string target = TargetPath();
  const TDirectoryLock lock(target);
  struct stat info {};
  const bool existed = ::stat(target.c_str(), &info) == 0;
  if (!existed && errno != ENOENT) {
    throw EIniWriteError(file_name_);
  }
  std::string content;
  if (existed && (!S_ISREG(info.st_mode) || !ReadWholeFile(target, content))) {
    throw EIniWriteError(file_name_);
  }
  TIniDocument document(std::move(content));
  if (!edit(document)) {
    return;  // the file already says so
  }
  // As root access() always grants writing, so a file without any write bit counts as
  // read-only by its mode; the rename must not override that.
  if (existed && ((info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
    throw EIniWriteError(file_name_);
  }
  ReplaceFile(target, document.Content(), existed, info.st_mode & 07777, info.st_uid, info.st_gid);
  Remember(std::move(document), StampOf(file_name_));
}

void TIniFile::ReplaceFile(const std::string& target, const std::string& content, bool existed,
                           unsigned mode, unsigned owner, unsigned group) {
  const auto slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temporary =
      (slash == std::string::npos ? std::string() : directory) + "." + base + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    throw EIniWriteError(file_name_);
  }
  // The file holds passwords: a new one is private, an existing one keeps its mode and owner.
  bool ok = ::fchmod(fd, existed ? mode : 0600) == 0;
  if (ok && existed) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && (info.st_uid != owner || info.st_gid != group)) {
      (void)!::fchown(fd, owner, group);  // only root may; otherwise the file becomes ours
    }
  }
  ok = ok && WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw EIniWriteError(file_name_);
  }
  const int dir_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    ::fsync(dir_fd);  // the rename itself is durable once the directory is
    ::close(dir_fd);
  }
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  CheckName(section, false);
  CheckName(key, true);
  CheckValue(value);
  Change([&](TIniDocument& document) { return document.SetValue(section, key, value); });
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section) {
  Change([&](TIniDocument& document) { return document.EraseSection(section); });
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  try {
    Change([&](TIniDocument& document) { return document.DeleteKey(section, key); });
  } catch (const EIniWriteError&) {
    // A key that cannot be deleted is left as it stands; nothing is reported.
  }
}

}  // namespace quillmar
