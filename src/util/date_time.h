#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillmar {

// Local date-time: days since 1899-12-30 00:00, the fraction is the time of day.
using TDateTime = double;

inline constexpr double kOneMinute = 1.0 / 1440.0;
inline constexpr double kOneSecond = 1.0 / 86400.0;

// A value that cannot be converted (an impossible date or time).
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* kInvalidDateMessage = "Ungültiges Argument zum Codieren des Datums";
inline constexpr const char* kInvalidTimeMessage = "Ungültiges Argument zum Codieren der Uhrzeit";

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Year 1..9999, month 1..12, day within the month; else EConvertError(kInvalidDateMessage).
TDateTime EncodeDate(int year, int month, int day);
// Hour 0..23, minute and second 0..59, msec 0..999; else EConvertError(kInvalidTimeMessage).
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);

void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);
int YearOfDate(TDateTime value);
int MonthOfDate(TDateTime value);

// Formats with the fields YYYY, YY, MM, DD, HH, NN, SS (case-insensitive); anything else is
// copied. Seconds and smaller units are dropped, never rounded up.
std::string FormatDateTime(std::string_view picture, TDateTime value);

// Conversions between the local date-time and POSIX time, with the time-zone rules in force at
// that date (localtime_r / mktime).
TDateTime UnixToLocalDateTime(std::int64_t unix_seconds);
std::int64_t LocalDateTimeToUnix(TDateTime value);

// The current local time.
TDateTime Now();

}  // namespace quillmar
