#include "util/collation.h"

#include <cstdint>
#include <vector>

namespace quillmar {
namespace {

// Code points above Unicode stand for bytes that are not valid UTF-8.
constexpr std::uint32_t kRawByteBase = 0x110000;

// Base letters of U+0100..U+017F (Latin Extended-A), for the primary order.
constexpr char kExtendedABase[] =
    "aaaaaa"
    "cccccccc"
    "dddd"
    "eeeeeeeeee"
    "gggggggg"
    "hhhh"
    "iiiiiiiiii"
    "ii"
    "jj"
    "kkk"
    "llllllllll"
    "nnnnnnnnn"
    "oooooooo"
    "rrrrrr"
    "ssssssss"
    "tttttt"
    "uuuuuuuuuuuu"
    "ww"
    "yyy"
    "zzzzzz"
    "s";
static_assert(sizeof kExtendedABase - 1 == 128);

// Base letters of U+00DF..U+00FF; '\0' keeps the code point (÷, þ).
constexpr char kLatin1LowerBase[] = "saaaaaaaceeeeiiiidnooooo\0ouuuuy\0y";
static_assert(sizeof kLatin1LowerBase - 1 == 33);

// Decodes one character at s[i]; returns its length.
std::size_t Decode(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  auto cont = [&](std::size_t k) {
    return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
  };
  auto bits = [&](std::size_t k) { return static_cast<std::uint32_t>(s[i + k]) & 0x3F; };
  if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
    cp = ((b0 & 0x1Fu) << 6) | bits(1);
    return 2;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
    cp = ((b0 & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
    if (cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF))
      return 3;
  } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
    cp = ((b0 & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
    if (cp >= 0x10000 && cp <= 0x10FFFF)
      return 4;
  }
  cp = kRawByteBase + b0;
  return 1;
}

std::uint32_t Fold(std::uint32_t cp) {
  if (cp < 0x80)
    return cp >= 'A' && cp <= 'Z' ? cp + 32 : cp;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
    return cp + 32;
  if (cp < 0x100 || cp > 0x17F)
    return cp;
  if (cp == 0x130)
    return 'i';
  if (cp == 0x178)
    return 0xFF;
  if (cp < 0x138)
    return cp == 0x131 ? cp : (cp | 1u);
  if (cp >= 0x139 && cp <= 0x148)
    return (cp & 1u) ? cp + 1 : cp;
  if (cp >= 0x14A && cp <= 0x177)
    return cp | 1u;
  if (cp >= 0x179 && cp <= 0x17E)
    return (cp & 1u) ? cp + 1 : cp;
  return cp;
}

// The primary weight: the folded letter without its accent.
std::uint32_t Primary(std::uint32_t folded) {
  if (folded < 0xDF)
    return folded;
  if (folded <= 0xFF) {
    const char base = kLatin1LowerBase[folded - 0xDF];
    return base ? static_cast<unsigned char>(base) : folded;
  }
  if (folded <= 0x17F)
    return static_cast<unsigned char>(kExtendedABase[folded - 0x100]);
  return folded;
}

void Encode(std::uint32_t cp, std::string& out) {
  if (cp >= kRawByteBase) {
    out += static_cast<char>(cp - kRawByteBase);
  } else if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Refold(std::string_view s, bool letters_only) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::uint32_t cp;
    const std::size_t len = Decode(s, i, cp);
    const std::uint32_t folded = Fold(cp);
    if (letters_only && folded == cp) {
      out.append(s.substr(i, len));
    } else {
      Encode(folded, out);
    }
    i += len;
  }
  return out;
}

std::size_t CharCount(std::string_view s) {
  std::size_t count = 0;
  std::uint32_t cp;
  for (std::size_t i = 0; i < s.size(); ++count)
    i += Decode(s, i, cp);
  return count;
}

}  // namespace

int CompareText(std::string_view a, std::string_view b) {
  int secondary = 0;
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[j]);
    if ((ca | cb) < 0x80) {
      // ASCII: primary and folded weight are the same.
      const unsigned fa = ca >= 'A' && ca <= 'Z' ? ca + 32u : ca;
      const unsigned fb = cb >= 'A' && cb <= 'Z' ? cb + 32u : cb;
      if (fa != fb)
        return fa < fb ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    std::uint32_t xa, xb;
    i += Decode(a, i, xa);
    j += Decode(b, j, xb);
    const std::uint32_t fa = Fold(xa);
    const std::uint32_t fb = Fold(xb);
    const std::uint32_t pa = Primary(fa);
    const std::uint32_t pb = Primary(fb);
    if (pa != pb)
      return pa < pb ? -1 : 1;
    if (secondary == 0 && fa != fb)
      secondary = fa < fb ? -1 : 1;
  }
  if (i < a.size())
    return 1;
  if (j < b.size())
    return -1;
  return secondary;
}

bool SameText(std::string_view a, std::string_view b) {
  return CompareText(a, b) == 0;
}

std::string FoldKey(std::string_view s) {
  return Refold(s, false);
}

std::string LowerCase(std::string_view s) {
  return Refold(s, true);
}

bool StartsWithText(std::string_view s, std::string_view part) {
  std::size_t end = 0;
  std::uint32_t cp;
  for (std::size_t n = CharCount(part); n > 0 && end < s.size(); --n)
    end += Decode(s, end, cp);
  return SameText(s.substr(0, end), part);
}

bool EndsWithText(std::string_view s, std::string_view part) {
  const std::size_t want = CharCount(part);
  std::vector<std::size_t> starts;
  starts.reserve(s.size());
  std::uint32_t cp;
  for (std::size_t i = 0; i < s.size();) {
    starts.push_back(i);
    i += Decode(s, i, cp);
  }
  if (want > starts.size())
    return false;
  const std::size_t from = want == 0 ? s.size() : starts[starts.size() - want];
  return SameText(s.substr(from), part);
}

}  // namespace quillmar
