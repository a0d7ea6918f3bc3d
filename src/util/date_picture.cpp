#include "util/date_picture.h"

#include <string>

#include "util/strings.h"

namespace quillmar {
namespace {

int FieldNumber(const std::string& picture, std::string_view value, std::string_view field) {
  const std::size_t pos = picture.find(field);
  if (pos == std::string::npos || pos >= value.size())
    return 0;
  std::int64_t number = 0;
  if (!TryStrToInt(Trim(value.substr(pos, field.size())), number))
    return 0;
  return static_cast<int>(number);
}

}  // namespace

TDateTime ParseDateTime(std::string_view picture, std::string_view value) {
  if (picture.empty() || value.empty())
    return 0;
  std::string pic = DeleteChars(picture, "\"");
  for (char& c : pic) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 32);
  }
  const int day = FieldNumber(pic, value, "DD");
  const int month = FieldNumber(pic, value, "MM");
  int year = FieldNumber(pic, value, "YYYY");
  if (year == 0) {
    const int y = FieldNumber(pic, value, "YY");
    year = y <= 80 ? 2000 + y : 1900 + y;
  }
  TDateTime date = 0;
  if (day != 0 && month != 0 && year != 0)
    date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(FieldNumber(pic, value, "HH"), FieldNumber(pic, value, "NN"),
                                    FieldNumber(pic, value, "SS"), 0);
  return date + time;
}

}  // namespace quillmar
