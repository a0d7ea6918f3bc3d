#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "container/link_list.h"
#include "util/date_time.h"

namespace quillmar {

// One entry of a Unix long directory listing ("ls -l" format):
//   permissions links owner group size month day year-or-time name
class TFtpFile : public TListNode {
 public:
  // Parses one listing line. `now` decides the year of entries that give a time of day instead
  // of a year. A line that is not an entry leaves Name empty. Throws EConvertError for a date or
  // time that does not exist.
  TFtpFile(std::string_view Line, std::string_view Dir, TDateTime now = Now());

  // As listed, byte for byte; may contain blanks. Empty when the line was not an entry.
  std::string Name;
  // The section header in force when the line was read; empty before the first one.
  std::string Dir;
  std::int64_t Size = 0;
  bool IsDir = false;
  // Listed date plus time of day on the server's clock; only the time of day when the date is
  // unusable; 0 when neither is.
  TDateTime DateTime = 0.0;
  // The listing gave hours and minutes instead of a year.
  bool HasTime = false;
};

}  // namespace quillmar
