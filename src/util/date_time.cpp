#include "util/date_time.h"

#include <cmath>
#include <ctime>

namespace quillmar {
namespace {

constexpr std::int64_t kMsecsPerDay = 86400000;
// Days from 1899-12-30 to 1970-01-01.
constexpr std::int64_t kUnixEpochOffset = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

// Splits a date-time into whole days and milliseconds of the day, rounding to the millisecond
// so that 10:15:59.9999999 (a floating-point artefact) reads as 10:16:00.
void SplitDateTime(TDateTime value, std::int64_t& days, std::int64_t& msecs) {
  if (!std::isfinite(value)) {
    days = 0;
    msecs = 0;
    return;
  }
  if (value >= 0) {
    const std::int64_t total = std::llround(value * static_cast<double>(kMsecsPerDay));
    days = total / kMsecsPerDay;
    msecs = total % kMsecsPerDay;
    return;
  }
  // Negative values: the whole part counts back, the fraction is the time of that day.
  const double whole = std::trunc(value);
  days = static_cast<std::int64_t>(whole);
  msecs = std::llround(std::fabs(value - whole) * static_cast<double>(kMsecsPerDay));
  if (msecs >= kMsecsPerDay)
    msecs = kMsecsPerDay - 1;
}

TDateTime FromTm(const std::tm& tm, int msec) {
  TDateTime date = 0;
  TDateTime time = 0;
  TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, date);
  TryEncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec > 59 ? 59 : tm.tm_sec, msec, time);
  return date + time;
}

void AppendNumber(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0)
    out += '-';
  for (int i = static_cast<int>(digits.size()); i < width; ++i)
    out += '0';
  out += digits;
}

bool MatchToken(std::string_view picture, std::size_t pos, std::string_view token) {
  if (picture.size() - pos < token.size())
    return false;
  for (std::size_t i = 0; i < token.size(); ++i) {
    char c = picture[pos + i];
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
    if (c != token[i])
      return false;
  }
  return true;
}

}  // namespace

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12)
    return 0;
  return kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return false;
  }
  result = static_cast<TDateTime>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kUnixEpochOffset);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999) {
    return false;
  }
  const std::int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  result = static_cast<double>(ms) / static_cast<double>(kMsecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError(kInvalidDateMessage);
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, minute, second, msec, result))
    throw EConvertError(kInvalidTimeMessage);
  return result;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  std::int64_t days = 0;
  std::int64_t msecs = 0;
  SplitDateTime(value, days, msecs);
  CivilFromDays(days - kUnixEpochOffset, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  std::int64_t days = 0;
  std::int64_t msecs = 0;
  SplitDateTime(value, days, msecs);
  msec = static_cast<int>(msecs % 1000);
  const std::int64_t secs = msecs / 1000;
  second = static_cast<int>(secs % 60);
  minute = static_cast<int>(secs / 60 % 60);
  hour = static_cast<int>(secs / 3600);
}

int YearOfDate(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return y;
}

int MonthOfDate(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return m;
}

std::string FormatDateTime(std::string_view picture, TDateTime value) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  std::string out;
  out.reserve(picture.size() + 4);
  for (std::size_t i = 0; i < picture.size();) {
    if (MatchToken(picture, i, "YYYY")) {
      AppendNumber(out, year, 4);
      i += 4;
    } else if (MatchToken(picture, i, "YY")) {
      AppendNumber(out, year % 100, 2);
      i += 2;
    } else if (MatchToken(picture, i, "MM")) {
      AppendNumber(out, month, 2);
      i += 2;
    } else if (MatchToken(picture, i, "DD")) {
      AppendNumber(out, day, 2);
      i += 2;
    } else if (MatchToken(picture, i, "HH")) {
      AppendNumber(out, hour, 2);
      i += 2;
    } else if (MatchToken(picture, i, "NN")) {
      AppendNumber(out, minute, 2);
      i += 2;
    } else if (MatchToken(picture, i, "SS")) {
      AppendNumber(out, second, 2);
      i += 2;
    } else {
      out += picture[i++];
    }
  }
  return out;
}

TDateTime UnixToLocalDateTime(std::int64_t unix_seconds) {
  const std::time_t t = static_cast<std::time_t>(unix_seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr)
    return 0;
  return FromTm(tm, 0);
}

std::int64_t LocalDateTimeToUnix(TDateTime value) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return static_cast<std::int64_t>(std::mktime(&tm));
}

TDateTime Now() {
  std::timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  return FromTm(tm, static_cast<int>(ts.tv_nsec / 1000000));
}

}  // namespace quillmar
