#include "ftp/ftp_file.h"

#include <array>
#include <limits>

#include "util/date_picture.h"
#include "util/strings.h"

namespace quillmar {
namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// A decimal number in 32 bits, 0 when the text is none or out of range.
int ReadInt(std::string_view text) {
  std::int64_t value = 0;
  if (!TryStrToInt(text, value) || value < std::numeric_limits<int>::min() ||
      value > std::numeric_limits<int>::max())
    return 0;
  return static_cast<int>(value);
}

// Sizes are 64-bit. A negative count of bytes is no size and reads 0 like any other non-number,
// so a hostile listing cannot drive transfer totals below zero.
std::int64_t ReadSize(std::string_view text) {
  std::int64_t value = 0;
  if (!TryStrToInt(text, value) || value < 0)
    return 0;
  return value;
}

// Position 1..12 of a three-letter English month abbreviation, ignoring case; 0 for none.
int ListingMonth(std::string_view text) {
  if (text.size() != 3)
    return 0;
  for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
    const std::string_view name = kMonthNames[m];
    if (UpperAscii(text[0]) == UpperAscii(name[0]) && UpperAscii(text[1]) == UpperAscii(name[1]) &&
        UpperAscii(text[2]) == UpperAscii(name[2]))
      return static_cast<int>(m) + 1;
  }
  return 0;
}

}  // namespace

TFtpFile::TFtpFile(std::string_view Line, std::string_view Dir, TDateTime now) : Dir(Dir) {
  const std::string text = ReplaceChar(Line, '\t', ' ');
  int month = 0;
  int day = 0;
  int year = 0;
  int field = 0;
  std::size_t pos = 0;
  while ((pos = text.find_first_not_of(' ', pos)) != std::string::npos) {
    ++field;
    const std::size_t end = text.find(' ', pos);
    // The ninth field and everything after it is the name, inner blanks included; a line that
    // ends inside a field takes that field as the name, whatever its number.
    if (field >= 9 || end == std::string::npos) {
      Name = text.substr(pos);
      break;
    }
    const std::string_view value(text.data() + pos, end - pos);
    switch (field) {
      case 1: {
        const char kind = UpperAscii(value[0]);
        if (kind == 'D')
          IsDir = true;
        else if (kind != '-')
          return;  // not an entry: Name stays empty
        break;
      }
      case 5:
        Size = ReadSize(value);
        break;
      case 6:
        month = ListingMonth(value);
        break;
      case 7:
        day = ReadInt(value);
        break;
      case 8:
        if (value.size() == 4) {
          year = ReadInt(value);
          HasTime = false;
        } else {
          DateTime = ParseDateTime("HH:NN", value);
          HasTime = true;
        }
        break;
      default:
        break;  // link count, owner, group
    }
    pos = end;
  }

  // A time of day instead of a year means within the last year: this year, or last year when
  // the month is still ahead of the current one.
  if (year == 0) {
    year = YearOfDate(now);
    if (MonthOfDate(now) < month)
      --year;
  }
  if (day > 0 && month > 0 && year > 0)
    DateTime = EncodeDate(year, month, day) + DateTime;
}

}  // namespace quillmar
