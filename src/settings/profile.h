#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/ini_file.h"

namespace quillmar {

// A setting named by one string: section, key and optional default separated by "\r".
struct TKeySpec {
  std::string Section;
  std::string Key;
  std::string Default;
};
TKeySpec ParseKeySpec(std::string_view spec);
// The default of an integer or boolean spec: the decimal number, else 0.
std::int32_t SpecDefaultInteger(const TKeySpec& spec);

// The hex form of a stored string: two upper-case digits a byte; the empty text is a marker.
inline constexpr const char* kEmptyHexMarker = "2A30005C44";
std::string EncodeHexString(std::string_view text);
// Pairs of digits in order, an odd last digit ignored; a zero byte anywhere gives "".
std::string DecodeHexString(std::string_view hex);

inline constexpr int kWindowStateNormal = 0;
inline constexpr int kWindowStateMinimised = 1;
inline constexpr int kWindowStateMaximised = 2;

// What a stored window placement is read from and applied to.
class TPlacementWindow {
 public:
  virtual ~TPlacementWindow() = default;
  // The bounds of the normal (not maximised, not minimised) window, in pixels.
  virtual int PlacementLeft() const = 0;
  virtual int PlacementTop() const = 0;
  virtual int PlacementWidth() const = 0;
  virtual int PlacementHeight() const = 0;
  virtual int PlacementState() const = 0;
  virtual void SetPlacementState(int state) = 0;
  virtual void SetPlacementBounds(int left, int top, int width, int height) = 0;
};

// The settings store. A key-spec read that yields exactly its default writes it back, so
// every setting the program has read stands in the file. Reads never throw; a default that
// cannot be written back is still returned. Explicit writes throw EIniWriteError.
class TProfile : public TIniFile {
 public:
  explicit TProfile(std::string file_name);

  bool WriteBackDefaults = true;

  bool ReadSpecBool(std::string_view spec) { return ReadSpecBool(ParseKeySpec(spec)); }
  std::int32_t ReadSpecInteger(std::string_view spec) {
    return ReadSpecInteger(ParseKeySpec(spec));
  }
  std::string ReadSpecString(std::string_view spec) { return ReadSpecString(ParseKeySpec(spec)); }
  std::string ReadSpecHex(std::string_view spec) { return ReadSpecHex(ParseKeySpec(spec)); }
  void WriteSpecBool(std::string_view spec, bool value);
  void WriteSpecInteger(std::string_view spec, std::int32_t value);
  void WriteSpecString(std::string_view spec, std::string_view value);
  void WriteSpecHex(std::string_view spec, std::string_view value);

  // The same with the parts given apart, for names that are not known in advance.
  bool ReadSpecBool(const TKeySpec& spec);
  std::int32_t ReadSpecInteger(const TKeySpec& spec);
  std::string ReadSpecString(const TKeySpec& spec);
  std::string ReadSpecHex(const TKeySpec& spec);
  void WriteSpecHex(const TKeySpec& spec, std::string_view value);

  // Applies the stored state; a normal window also gets the stored bounds, pulled back onto a
  // screen of the given size when they reach past it.
  void ReadFormPlacement(std::string_view spec, TPlacementWindow& window, int screen_width,
                         int screen_height);
  void WriteFormPlacement(std::string_view spec, const TPlacementWindow& window);

 private:
  template <typename Write>
  void WriteBack(Write write);
};

}  // namespace quillmar
