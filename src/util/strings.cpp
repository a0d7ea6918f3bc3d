#include "util/strings.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace quillmar {
namespace {

// Buffers end at their first NUL.
std::string_view UpToNul(std::string_view s) {
  const std::size_t nul = s.find('\0');
  return nul == std::string_view::npos ? s : s.substr(0, nul);
}

bool IsBlank(char c) {
  return c == ' ';
}

}  // namespace

std::string ReplaceChar(std::string_view s, char old_char, char new_char) {
  std::string out(s);
  for (char& c : out) {
    if (c == old_char)
      c = new_char;
  }
  return out;
}

std::string DeleteChars(std::string_view s, std::string_view chars) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    if (chars.find(c) == std::string_view::npos)
      out += c;
  }
  return out;
}

std::string TrimChars(std::string_view s, std::string_view chars, bool left, bool right) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  if (left) {
    while (begin < end && chars.find(s[begin]) != std::string_view::npos)
      ++begin;
  }
  if (right) {
    while (end > begin && chars.find(s[end - 1]) != std::string_view::npos)
      --end;
  }
  return std::string(s.substr(begin, end - begin));
}

std::string Trim(std::string_view s) {
  std::size_t begin = 0;
  std::size_t end = s.size();
  while (begin < end && IsBlank(s[begin]))
    ++begin;
  while (end > begin && IsBlank(s[end - 1]))
    --end;
  return std::string(s.substr(begin, end - begin));
}

std::string CopyTail(std::string_view s, int position) {
  if (position < 1)
    position = 1;
  const auto start = static_cast<std::size_t>(position - 1);
  if (start >= s.size())
    return {};
  return std::string(s.substr(start));
}

std::string IncludeBackslash(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != '\\')
    out += '\\';
  return out;
}

std::string IncludeSlash(std::string_view path) {
  std::string out(path);
  if (!out.empty() && out.back() != '/')
    out += '/';
  return out;
}

int SearchText(std::string_view buffer, std::string_view sub) {
  buffer = UpToNul(buffer);
  if (sub.empty())
    return static_cast<int>(buffer.size()) + 1;
  const std::size_t pos = buffer.find(sub);
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

int SearchChar(std::string_view buffer, char ch) {
  buffer = UpToNul(buffer);
  if (ch == '\0')
    return static_cast<int>(buffer.size()) + 1;
  const std::size_t pos = buffer.find(ch);
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

std::string GetField(std::string_view s, std::string_view separator, int index) {
  s = UpToNul(s);
  if (index < 1)
    return {};
  if (separator.empty())
    return index == 1 ? std::string(s) : std::string();
  std::size_t pos = 0;
  for (int field = 1;; ++field) {
    const std::size_t found = s.find(separator, pos);
    if (field == index) {
      return std::string(
          s.substr(pos, found == std::string_view::npos ? std::string_view::npos : found - pos));
    }
    if (found == std::string_view::npos)
      return {};
    pos = found + separator.size();
  }
}

int CountFields(std::string_view s, std::string_view separator) {
  s = UpToNul(s);
  if (s.empty())
    return 0;
  if (separator.empty())
    return 1;
  int count = 1;
  for (std::size_t pos = s.find(separator); pos != std::string_view::npos;
       pos = s.find(separator, pos + separator.size())) {
    ++count;
  }
  return count;
}

bool TryStrToInt(std::string_view s, std::int64_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+'))
    negative = s[i++] == '-';
  if (i == s.size())
    return false;
  std::uint64_t magnitude = 0;
  constexpr std::uint64_t kLimit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9')
      return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(s[i] - '0');
    if (magnitude > kLimit)
      return false;
  }
  if (!negative && magnitude == kLimit)
    return false;
  value =
      negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

int GetFieldInt(std::string_view s, std::string_view separator, int index) {
  std::int64_t value = 0;
  if (!TryStrToInt(Trim(GetField(s, separator, index)), value))
    return 0;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    return 0;
  return static_cast<int>(value);
}

std::string FormatFixed(int decimals, std::string_view decimal_char, double value) {
  if (decimals < 0)
    decimals = 0;
  if (decimals > 18)
    decimals = 18;
  double scaled = value;
  for (int i = 0; i < decimals; ++i)
    scaled *= 10;
  // Round halves away from zero where the value is small enough to be scaled exactly.
  if (std::isfinite(scaled) && std::fabs(scaled) < 9e15) {
    value = std::round(scaled);
    for (int i = 0; i < decimals; ++i)
      value /= 10;
  }
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string out(buffer);
  // "-0" and "-0,0" are plain zeros.
  if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos)
    out.erase(0, 1);
  if (decimals >= 1 && decimal_char != ".") {
    const std::size_t dot = out.find('.');
    if (dot != std::string::npos)
      out.replace(dot, 1, decimal_char);
  }
  return out;
}

std::string FormatGrouped(int decimals, std::string_view decimal_char, std::string_view group_char,
                          double value) {
  std::string s = FormatFixed(decimals, decimal_char, value);
  std::size_t found =
      decimal_char.empty() || decimals < 1 ? std::string::npos : s.find(decimal_char);
  // p is a 1-based position, as in the text's own terms.
  long p =
      found == std::string::npos ? static_cast<long>(s.size()) + 1 : static_cast<long>(found) + 1;
  for (p -= 3; p > 0; p -= 3) {
    if (p > 1 && s[static_cast<std::size_t>(p - 2)] != '-') {
      s.insert(static_cast<std::size_t>(p - 1), group_char);
    }
  }
  return s;
}

std::int32_t HexToInt(std::string_view s) {
  std::uint32_t result = 0;
  for (unsigned char c : s) {
    std::int32_t d = static_cast<std::int32_t>(c) - 48;
    if (d > 9)
      d -= 7;
    if (d > 15)
      d -= 32;
    result = result * 16u + static_cast<std::uint32_t>(d);
  }
  return static_cast<std::int32_t>(result);
}

}  // namespace quillmar
