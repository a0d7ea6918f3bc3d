#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/profile.h"
#include "settings/program_paths.h"
#include "util/string_list.h"

namespace quillmar {

// How a remote directory is listed; the index is a profile's ListType.
struct TListTypeInfo {
  const char* Name;          // shown to the user
  const char* Code;          // stored under "LIST Type"
  const char* ListArgument;  // argument of the LIST command, "" for a plain LIST
};

inline constexpr std::uint8_t kListTypeConservative = 0;
inline constexpr std::uint8_t kListTypeNormal = 1;
inline constexpr std::uint8_t kListTypeFast = 2;  // one recursive listing of the whole tree

inline constexpr std::array<TListTypeInfo, 3> kListTypes{{
    {"Konservativ", "NOP", ""},
    {"Normal", "NRM", "-la"},
    {"Schnell", "RCR", "-laR"},
}};

// The entry of a list type; an index out of range counts as 0.
const TListTypeInfo& ListTypeInfo(int list_type);
// The index whose code matches (blanks trimmed, letter case ignored), else 0.
std::uint8_t ListTypeFromCode(std::string_view code);
// Clears `list` and adds the names shown, in index order, each with its index as object.
void FillListTypeNames(TStringList& list);

inline constexpr const char* kProfileSectionPrefix = "*Profile* ";
std::string ProfileSection(std::string_view name);
// Clears `names` and adds the name of every stored profile, in file order.
void ReadProfileNames(TStringList& names, const TProfile& ini = ProgramIni());
void EraseProfile(std::string_view name, TProfile& ini = ProgramIni());

}  // namespace quillmar
