#pragma once

#include <string>
#include <string_view>

#include "util/string_list.h"

namespace quillmar {

// A string list as one line: items joined by ",", an item with a blank, a control character,
// a comma or a double quote in double quotes (inner quotes doubled).
std::string EncodeCommaText(const TStringList& list);
// Clears `list` and adds the items of `text`. An unquoted blank separates items like a comma.
void DecodeCommaText(std::string_view text, TStringList& list);

}  // namespace quillmar
