#include "util/file_date.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace quillmar {

TDateTime FileTimeToDateTime(std::int64_t unix_seconds) {
  const std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr)
    return 0;
  tm.tm_sec &= ~1;
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, date))
    return 0;
  TryEncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 58 ? 58 : tm.tm_sec, 0, time);
  return date + time;
}

int SetFileDateTime(const std::string& file_name, TDateTime value) {
  // Non-blocking so that a FIFO without a reader cannot hang the caller.
  const int fd = ::open(file_name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return -1;
  int result = 0;
  const int year = YearOfDate(value);
  if (year < 1980 || year > 2107) {
    result = EINVAL;
  } else {
    int hour, minute, second, msec;
    DecodeTime(value, hour, minute, second, msec);
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    // Packed file dates keep even seconds only.
    times[1].tv_sec = static_cast<std::time_t>(LocalDateTimeToUnix(value) - (second & 1));
    times[1].tv_nsec = 0;
    if (::futimens(fd, times) != 0) result = errno;
  }
  ::close(fd);
  return result;
}

}  // namespace quillmar
