#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillmar {

// Log levels run from 0 to 7; these are the ones callers use.
using TLogLevel = int;
inline constexpr TLogLevel llSent = 1;
inline constexpr TLogLevel llReceived = 2;
inline constexpr TLogLevel llError = 3;
inline constexpr TLogLevel llInfo = 4;

inline constexpr int kMaxLogLevel = 7;

// Line prefix (string-list and file loggers) and text colour (log view) of levels 0 to 5.
// Levels 6 and 7 have neither.
struct TLogColor {
  std::uint8_t Red;
  std::uint8_t Green;
  std::uint8_t Blue;
  bool operator==(const TLogColor&) const = default;
};

inline constexpr std::array<std::string_view, 6> kLogPrefixes = {"", "S: ", "R: ", "E: ", ".", ":"};
inline constexpr std::array<TLogColor, 6> kLogColors = {{
    {192, 192, 192},  // silver
    {0, 255, 0},      // lime
    {0, 255, 255},    // aqua
    {255, 0, 0},      // red
    {255, 255, 255},  // white
    {255, 255, 255},  // white
}};

// The prefix of a level; empty for levels without one.
std::string_view LogPrefix(int Level);

// Base of every log sink. `Log` and `LogData` filter by level and mode and hand finished lines
// to `WriteLine`, which each kind of logger supplies.
class TLogger {
 public:
  // 0 = off, 1 = text, 2/3/4 = hex dump with 4/8/16 bytes a line; other values act like 1.
  std::uint8_t Mode = 1;
  // Bit n enables level n; the default enables levels 0 to 5.
  std::uint8_t Levels = 63;

  TLogger() = default;
  TLogger(const TLogger&) = delete;
  TLogger& operator=(const TLogger&) = delete;
  virtual ~TLogger() = default;

  // Writes Text unchanged as one line.
  void Log(int Level, std::string_view Text);
  // Renders raw protocol bytes into readable lines.
  virtual void LogData(int Level, std::string_view Data);
  virtual void WriteLine(int Level, std::string_view Line) = 0;

  // Whether Level lies in 0..7 and in Levels; says nothing about Mode.
  bool IsLevelEnabled(int level) const {
    return level >= 0 && level <= kMaxLogLevel && (Levels >> level & 1) != 0;
  }

 private:
  bool ShouldWrite(int level) const { return IsLevelEnabled(level) && Mode != 0; }
  void LogText(int level, std::string_view data);
  void LogHex(int level, std::string_view data, int bytes_per_line, int hex_width);
};

}  // namespace quillmar
