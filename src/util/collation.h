#pragma once

#include <string>
#include <string_view>

namespace quillmar {

// The one case-insensitive collation of the program, over UTF-8 text. It folds ASCII and the
// letters of Latin-1 and Latin Extended-A; letters with accents sort beside their base letter
// (Äpfel beside Apfel) but are not equal to it. Bytes that are not valid UTF-8 are compared as
// they are. File list sorting, FindNode, the profile filters and the profile list all use it.

// Negative, zero or positive.
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
// A key with SameText(a, b) == (FoldKey(a) == FoldKey(b)), for hashing.
std::string FoldKey(std::string_view s);
// Lower case of the letters the collation folds; other bytes unchanged.
std::string LowerCase(std::string_view s);
// Whether the first / last characters of `s` equal `part` under the collation.
bool StartsWithText(std::string_view s, std::string_view part);
bool EndsWithText(std::string_view s, std::string_view part);

}  // namespace quillmar
