#pragma once

#include <cstdint>
#include <string>

#include "util/date_time.h"

namespace quillmar {

// A file's modification time as a local date-time in the packed file-date form: two-second
// resolution, odd seconds rounded down.
TDateTime FileTimeToDateTime(std::int64_t unix_seconds);

// Sets only the last-write time of `file_name` to `value` (two-second resolution, converted to
// UTC with the rules in force at that date). Returns 0 on success, -1 when the file cannot be
// opened for writing, otherwise the system error code (also for years outside 1980..2107).
int SetFileDateTime(const std::string& file_name, TDateTime value);

}  // namespace quillmar
