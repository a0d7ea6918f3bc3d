#include "log/logger.h"

#include <string>

namespace quillmar {

namespace {

constexpr std::size_t kMaxTextLineLength = 100;
// Shown in place of CR and LF in the text column of a hex dump.
constexpr std::string_view kLineBreakSign = "\u00AC";

// Number of continuation bytes a UTF-8 lead byte announces (0 for anything else).
int ContinuationBytes(unsigned char byte) {
  if (byte >= 0xC2 && byte <= 0xDF)
    return 1;
  if (byte >= 0xE0 && byte <= 0xEF)
    return 2;
  if (byte >= 0xF0 && byte <= 0xF4)
    return 3;
  return 0;
}

bool IsContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

std::string_view LogPrefix(int Level) {
  if (Level < 0 || Level >= static_cast<int>(kLogPrefixes.size()))
    return {};
  return kLogPrefixes[Level];
}

void TLogger::Log(int Level, std::string_view Text) {
  if (!ShouldWrite(Level))
    return;
  WriteLine(Level, Text);
}

void TLogger::LogData(int Level, std::string_view Data) {
  if (!ShouldWrite(Level))
    return;
  switch (Mode) {
    case 2:
      LogHex(Level, Data, 4, 12);
      break;
    case 3:
      LogHex(Level, Data, 8, 24);
      break;
    case 4:
      LogHex(Level, Data, 16, 50);
      break;
    default:
      LogText(Level, Data);
      break;
  }
}

// Control bytes become caret notation ("^M^J"). The length limit counts characters, and a line
// is never cut inside a UTF-8 sequence, so every line stays readable on its own.
void TLogger::LogText(int level, std::string_view data) {
  std::string line;
  std::size_t characters = 0;
  int pending_continuations = 0;
  auto flush = [&] {
    WriteLine(level, line);
    line.clear();
    characters = 0;
  };
  for (char ch : data) {
    const auto byte = static_cast<unsigned char>(ch);
    // A broken sequence ends here; a cut that waited for it is due before this byte.
    if (pending_continuations > 0 && !IsContinuationByte(byte)) {
      pending_continuations = 0;
      if (characters > kMaxTextLineLength)
        flush();
    }
    if (byte < 32) {
      line += '^';
      line += static_cast<char>(byte + 64);
      characters += 2;
    } else if (pending_continuations > 0) {
      line += ch;
      --pending_continuations;
    } else {
      line += ch;
      ++characters;
      pending_continuations = ContinuationBytes(byte);
    }
    if (byte == '\n' || (characters > kMaxTextLineLength && pending_continuations == 0))
      flush();
  }
  if (!line.empty())
    WriteLine(level, line);
}

void TLogger::LogHex(int level, std::string_view data, int bytes_per_line, int hex_width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  std::string text;
  int count = 0;
  for (char ch : data) {
    const auto byte = static_cast<unsigned char>(ch);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
    hex += ' ';
    if (byte == '\r' || byte == '\n') {
      text += kLineBreakSign;
    } else if (byte >= 32) {
      text += ch;
    } else {
      text += '.';
    }
    ++count;
    if (count == bytes_per_line) {
      WriteLine(level, hex + " " + text);
      hex.clear();
      text.clear();
      count = 0;
    } else if (bytes_per_line == 16 && count == 8) {
      hex += "- ";
    }
  }
  if (!text.empty()) {
    hex.resize(static_cast<std::size_t>(hex_width), ' ');
    WriteLine(level, hex + " " + text);
  }
}

}  // namespace quillmar
