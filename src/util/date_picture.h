#pragma once

#include <string_view>

#include "util/date_time.h"

namespace quillmar {

// Reads the fields DD, MM, YYYY, YY, HH, NN, SS of `value` at the places where they stand in
// `picture`. Throws EConvertError for an impossible date or time.
TDateTime ParseDateTime(std::string_view picture, std::string_view value);

}  // namespace quillmar
