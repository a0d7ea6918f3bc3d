#include "settings/profile_store.h"

#include "util/collation.h"
#include "util/strings.h"

namespace quillmar {

const TListTypeInfo& ListTypeInfo(int list_type) {
  if (list_type < 0 || list_type >= static_cast<int>(kListTypes.size())) {
    return kListTypes[0];
  }
  return kListTypes[list_type];
}

std::uint8_t ListTypeFromCode(std::string_view code) {
  const std::string trimmed = Trim(code);
  for (std::size_t i = 0; i < kListTypes.size(); ++i) {
    if (SameText(trimmed, kListTypes[i].Code)) {
      return static_cast<std::uint8_t>(i);
    }
  }
  return kListTypeConservative;
}

void FillListTypeNames(TStringList& list) {
  list.Clear();
  for (std::size_t i = 0; i < kListTypes.size(); ++i) {
    list.Add(kListTypes[i].Name, static_cast<std::intptr_t>(i));
  }
}

std::string ProfileSection(std::string_view name) {
  return std::string(kProfileSectionPrefix).append(name);
}

void ReadProfileNames(TStringList& names, const TProfile& ini) {
  constexpr std::string_view kMark = "*Profile*";
  names.Clear();
  TStringList sections;
  ini.ReadSections(sections);
  for (const auto& section : sections) {
    const std::string_view text = section.Text;
    if (text.size() < kMark.size() || !SameText(text.substr(0, kMark.size()), kMark)) {
      continue;
    }
    std::string name = Trim(CopyTail(text, static_cast<int>(kMark.size()) + 1));
    // A section without a name cannot be chosen, and two spellings of one name are one profile.
    if (!name.empty() && names.IndexOf(name) < 0) {
      names.Add(std::move(name));
    }
  }
}

void EraseProfile(std::string_view name, TProfile& ini) {
  ini.EraseSection(ProfileSection(name));
}

}  // namespace quillmar
