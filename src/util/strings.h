#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmar {

// Positions count from 1; 0 means "not found".

template <typename T>
T IfElse(bool flag, T when_true, T when_false) {
  return flag ? when_true : when_false;
}
inline std::string IfElse(bool flag, const char* when_true, const char* when_false) {
  return flag ? when_true : when_false;
}
// The same choice with the values in the opposite order.
template <typename T>
T Choose(bool flag, T when_false, T when_true) {
  return flag ? when_true : when_false;
}
inline std::string Choose(bool flag, const char* when_false, const char* when_true) {
  return flag ? when_true : when_false;
}
inline int Max(int a, int b) {
  return a > b ? a : b;
}

std::string ReplaceChar(std::string_view s, char old_char, char new_char);
// Removes every character that occurs in `chars`.
std::string DeleteChars(std::string_view s, std::string_view chars);
// Removes the run of `chars` characters at the start (left) and/or the end (right).
std::string TrimChars(std::string_view s, std::string_view chars, bool left, bool right);
// Blanks at both ends.
std::string Trim(std::string_view s);
// The characters from `position` to the end; below 1 counts as 1.
std::string CopyTail(std::string_view s, int position);
std::string IncludeBackslash(std::string_view path);
std::string IncludeSlash(std::string_view path);

// Buffers are read up to their first NUL.
// First position of `sub`; an empty `sub` is found at the terminator (length + 1).
int SearchText(std::string_view buffer, std::string_view sub);
// First position of `ch`; a NUL `ch` is found at the terminator.
int SearchChar(std::string_view buffer, char ch);

// Fields between occurrences of a (possibly multi-character, non-empty) separator.
std::string GetField(std::string_view s, std::string_view separator, int index);
int CountFields(std::string_view s, std::string_view separator);
// GetField read as a decimal integer; 0 when it is not a number.
int GetFieldInt(std::string_view s, std::string_view separator, int index);
// A whole string as a decimal integer (optional sign, no blanks); false when it is not one.
bool TryStrToInt(std::string_view s, std::int64_t& value);

// Fixed-point text with `decimals` digits after the decimal character; halves round away from
// zero.
std::string FormatFixed(int decimals, std::string_view decimal_char, double value);
// FormatFixed with `group_char` between groups of three digits of the integer part.
std::string FormatGrouped(int decimals, std::string_view decimal_char, std::string_view group_char,
                          double value);
// Hexadecimal text to a number, wrapping in 32 bits; characters that are no hex digit still
// enter the sum as out-of-range digits.
std::int32_t HexToInt(std::string_view s);

}  // namespace quillmar
