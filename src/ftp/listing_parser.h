#pragma once

#include <string_view>

#include "container/link_list.h"
#include "util/date_time.h"

namespace quillmar {

// Turns the raw text of a directory listing into TFtpFile nodes: clears `list`, then appends one
// node per entry line in listing order, tracking section headers of recursive listings. `now`
// decides the year of entries listed with a time of day.
// Throws EConvertError for an impossible date or time; `list` keeps the entries read so far.
void ParseListingText(std::string_view text, TLinkList& list, TDateTime now = Now());

}  // namespace quillmar
