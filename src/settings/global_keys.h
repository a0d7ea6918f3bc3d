#pragma once

namespace quillmar {

// The program-wide settings, as key specs for TProfile (section, key, default).
inline constexpr const char* kGlobalSection = "*Global*";
inline constexpr const char* kSpecLastProfile = "*Global*\rLast Profile";
inline constexpr const char* kSpecMainFormSize = "*Global*\rMain Form Size";
inline constexpr const char* kSpecTopPanelHeight = "*Global*\rTop Panel Height";
inline constexpr const char* kSpecFileLog = "*Global*\rFile Log\r0";
inline constexpr const char* kSpecLogLocalDirs = "*Global*\rLog Local Dirs\r1";

// The top panel never gets lower than this, also when the stored height is 0.
inline constexpr int kTopPanelMinHeight = 61;

}  // namespace quillmar
