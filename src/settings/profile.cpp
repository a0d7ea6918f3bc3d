#include "settings/profile.h"

#include <utility>

#include "util/strings.h"

namespace quillmar {

namespace {

constexpr std::string_view kSpecSeparator = "\r";

}  // namespace

TKeySpec ParseKeySpec(std::string_view spec) {
  return {GetField(spec, kSpecSeparator, 1), GetField(spec, kSpecSeparator, 2),
          GetField(spec, kSpecSeparator, 3)};
}

std::int32_t SpecDefaultInteger(const TKeySpec& spec) {
  std::int64_t value = 0;
  if (!TryStrToInt(spec.Default, value) || value < INT32_MIN || value > INT32_MAX) {
    return 0;
  }
  return static_cast<std::int32_t>(value);
}

std::string EncodeHexString(std::string_view text) {
  if (text.empty()) {
    return kEmptyHexMarker;
  }
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(text.size() * 2);
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string DecodeHexString(std::string_view hex) {
  std::string text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const auto byte = static_cast<unsigned char>(HexToInt(hex.substr(i, 2)) & 0xFF);
    if (byte == 0) {
      return {};
    }
    text += static_cast<char>(byte);
  }
  return text;
}

TProfile::TProfile(std::string file_name) : TIniFile(std::move(file_name)) {}

template <typename Write>
void TProfile::WriteBack(Write write) {
  if (!WriteBackDefaults) {
    return;
  }
  try {
    write();
  } catch (const EIniWriteError&) {
    // The value read stands; a file that refuses the default only misses the entry.
  }
}

bool TProfile::ReadSpecBool(const TKeySpec& spec) {
  const bool fallback = SpecDefaultInteger(spec) != 0;
  const bool value = ReadBool(spec.Section, spec.Key, fallback);
  if (value == fallback) {
    WriteBack([&] { WriteBool(spec.Section, spec.Key, value); });
  }
  return value;
}

std::int32_t TProfile::ReadSpecInteger(const TKeySpec& spec) {
  const std::int32_t fallback = SpecDefaultInteger(spec);
  const std::int32_t value = ReadInteger(spec.Section, spec.Key, fallback);
  if (value == fallback) {
    WriteBack([&] { WriteInteger(spec.Section, spec.Key, value); });
  }
  return value;
}

std::string TProfile::ReadSpecString(const TKeySpec& spec) {
  std::string value = ReadString(spec.Section, spec.Key, spec.Default);
  if (value == spec.Default) {
    WriteBack([&] { WriteString(spec.Section, spec.Key, value); });
  }
  return value;
}

std::string TProfile::ReadSpecHex(const TKeySpec& spec) {
  return DecodeHexString(ReadSpecString(spec));
}

void TProfile::WriteSpecBool(std::string_view spec, bool value) {
  const TKeySpec parts = ParseKeySpec(spec);
  WriteBool(parts.Section, parts.Key, value);
}

void TProfile::WriteSpecInteger(std::string_view spec, std::int32_t value) {
  const TKeySpec parts = ParseKeySpec(spec);
  WriteInteger(parts.Section, parts.Key, value);
}

void TProfile::WriteSpecString(std::string_view spec, std::string_view value) {
  const TKeySpec parts = ParseKeySpec(spec);
  WriteString(parts.Section, parts.Key, value);
}

void TProfile::WriteSpecHex(std::string_view spec, std::string_view value) {
  WriteSpecHex(ParseKeySpec(spec), value);
}

void TProfile::WriteSpecHex(const TKeySpec& spec, std::string_view value) {
  WriteString(spec.Section, spec.Key, EncodeHexString(value));
}

void TProfile::ReadFormPlacement(std::string_view spec, TPlacementWindow& window, int screen_width,
                                 int screen_height) {
  const std::string placement = ReadSpecString(spec);
  if (placement.empty()) {
    return;
  }
  int state = GetFieldInt(placement, ",", 5);
  if (state < kWindowStateNormal || state > kWindowStateMaximised) {
    state = kWindowStateNormal;
  }
  window.SetPlacementState(state);
  if (state != kWindowStateNormal) {
    return;
  }
  int left = GetFieldInt(placement, ",", 1);
  int top = GetFieldInt(placement, ",", 2);
  int width = GetFieldInt(placement, ",", 3);
  int height = GetFieldInt(placement, ",", 4);
  // In 64 bits, so that huge stored numbers cannot overflow the test.
  if (std::int64_t{screen_width} < std::int64_t{left} + width) {
    left = screen_width - 400;
    width = 400;
  }
  if (std::int64_t{screen_height} < std::int64_t{top} + height) {
    top = screen_height - 400;
    height = 400;
  }
  window.SetPlacementBounds(left, top, width, height);
}

void TProfile::WriteFormPlacement(std::string_view spec, const TPlacementWindow& window) {
  const std::string placement =
      std::to_string(window.PlacementLeft()) + "," + std::to_string(window.PlacementTop()) + "," +
      std::to_string(window.PlacementWidth()) + "," + std::to_string(window.PlacementHeight()) +
      "," + std::to_string(window.PlacementState());
  WriteSpecString(spec, placement);
}

}  // namespace quillmar
