#include "settings/home_profile.h"

#include <utility>

#include "settings/comma_text.h"
#include "util/collation.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr const char* kKeyFtpServer = "FTP Server";
constexpr const char* kKeyPasvMode = "PASV Mode";
constexpr const char* kKeyListType = "LIST Type";
constexpr const char* kKeyQuickList = "Quick LIST";  // older form of "LIST Type"
constexpr const char* kKeyUserName = "User Name";
constexpr const char* kKeyPassword = "Password";
constexpr const char* kKeyLocalRoot = "Local Root";
constexpr const char* kKeyRemoteRoot = "Remote Root";
constexpr const char* kKeyDeleteRemote = "Delete Remote";
constexpr const char* kKeyLowercase = "Lowercase";
constexpr const char* kKeyIgnoreHiddenDirs = "Ignore Hidden Dirs";
constexpr const char* kKeyIgnoreDirs = "Ignore Dirs";
constexpr const char* kKeyIgnoreExtensions = "Ignore Extensions";
constexpr const char* kKeyIgnoreDirStart = "Ignore Dir Start";
constexpr const char* kKeyTestFilename = "Test Filename";
constexpr const char* kKeyListTestFileOnly = "List Test File Only";

}  // namespace

THomeProfile::THomeProfile(std::string name, TProfile& ini) : Name(std::move(name)), ini_(&ini) {
  if (!Name.empty()) {
    Load();
  }
}

std::unique_ptr<THomeProfile> THomeProfile::Create(std::string name, TProfile& ini) {
  return std::make_unique<THomeProfile>(std::move(name), ini);
}

std::unique_ptr<THomeProfile> THomeProfile::CreateCopy(const THomeProfile& source,
                                                       std::string name) {
  auto copy = std::make_unique<THomeProfile>(source);
  copy->Name = std::move(name);
  return copy;
}

void THomeProfile::Load() {
  TProfile& ini = *ini_;
  const std::string section = ProfileSection(Name);
  FtpServer = ini.ReadString(section, kKeyFtpServer, "");
  PasvMode = ini.ReadInteger(section, kKeyPasvMode, 0) != 0;

  const std::int32_t quick_list = ini.ReadInteger(section, kKeyQuickList, -1);
  if (quick_list < 0) {
    ListType = ListTypeFromCode(ini.ReadString(section, kKeyListType, ""));
  } else {
    ListType = quick_list != 0 ? kListTypeFast : kListTypeNormal;
    ini.DeleteKey(section, kKeyQuickList);
  }

  UserName = ini.ReadString(section, kKeyUserName, "");
  // Through the key-spec read, so a missing key is written back empty.
  const std::string raw_password = ini.ReadSpecString(TKeySpec{section, kKeyPassword, ""});
  SavePassword = !raw_password.empty();
  Password = SavePassword ? DecodeHexString(raw_password) : "";

  LocalRoot = ini.ReadString(section, kKeyLocalRoot, "");
  RemoteRoot = ini.ReadString(section, kKeyRemoteRoot, "");
  DeleteRemote = ini.ReadInteger(section, kKeyDeleteRemote, 0) != 0;
  Lowercase = ini.ReadInteger(section, kKeyLowercase, 0) != 0;
  // In full: a list cut at the read limit would lose its last items at the next save.
  DecodeCommaText(ini.ReadFullString(section, kKeyIgnoreDirs, ""), IgnoreDirs);
  DecodeCommaText(ini.ReadFullString(section, kKeyIgnoreExtensions, ""), IgnoreExtensions);
  IgnoreHiddenDirs = ini.ReadInteger(section, kKeyIgnoreHiddenDirs, 1) != 0;
  IgnoreDirStart = ini.ReadString(section, kKeyIgnoreDirStart, "_");
  TestFilename = ini.ReadString(section, kKeyTestFilename, "timeslip.txt");
  ListTestFileOnly = ini.ReadBool(section, kKeyListTestFileOnly, true);
}

void THomeProfile::NormaliseIgnoreDirs() {
  for (int i = IgnoreDirs.Count() - 1; i >= 0; --i) {
    std::string dir = Trim(ReplaceChar(IgnoreDirs[i], '\\', '/'));
    if (dir.empty()) {
      IgnoreDirs.Delete(i);
      continue;
    }
    if (dir.front() != '/') {
      dir = "/" + dir;
    }
    IgnoreDirs[i] = IncludeSlash(dir);
  }
}

void THomeProfile::NormaliseIgnoreExtensions() {
  for (int i = IgnoreExtensions.Count() - 1; i >= 0; --i) {
    std::string extension = Trim(IgnoreExtensions[i]);
    if (extension.empty()) {
      IgnoreExtensions.Delete(i);
    } else {
      IgnoreExtensions[i] = std::move(extension);
    }
  }
}

void THomeProfile::Save() {
  TProfile& ini = *ini_;
  const std::string section = ProfileSection(Name);
  ini.WriteString(section, kKeyFtpServer, FtpServer);
  ini.WriteInteger(section, kKeyPasvMode, Choose(PasvMode, 0, 1));
  ini.WriteString(section, kKeyListType, ListTypeInfo(ListType).Code);
  ini.WriteString(section, kKeyUserName, UserName);
  if (SavePassword) {
    ini.WriteSpecHex(TKeySpec{section, kKeyPassword, ""}, Password);
  } else {
    ini.WriteString(section, kKeyPassword, "");
  }
  ini.WriteString(section, kKeyLocalRoot, LocalRoot);
  ini.WriteString(section, kKeyRemoteRoot, RemoteRoot);
  ini.WriteBool(section, kKeyDeleteRemote, DeleteRemote);
  ini.WriteBool(section, kKeyLowercase, Lowercase);
  NormaliseIgnoreDirs();
  NormaliseIgnoreExtensions();
  ini.WriteBool(section, kKeyIgnoreHiddenDirs, IgnoreHiddenDirs);
  ini.WriteString(section, kKeyIgnoreDirs, EncodeCommaText(IgnoreDirs));
  ini.WriteString(section, kKeyIgnoreExtensions, EncodeCommaText(IgnoreExtensions));
  ini.WriteString(section, kKeyIgnoreDirStart, IgnoreDirStart);
  ini.WriteString(section, kKeyTestFilename, TestFilename);
  ini.WriteBool(section, kKeyListTestFileOnly, ListTestFileOnly);
}

bool THomeProfile::IsIgnoredExtension(std::string_view file_name) const {
  for (const auto& entry : IgnoreExtensions) {
    const std::string extension = Trim(entry.Text);
    if (!extension.empty() && EndsWithText(file_name, extension)) {
      return true;
    }
  }
  return false;
}

bool THomeProfile::IsIgnoredDir(std::string_view path) const {
  const std::string rest = TrimChars(ReplaceChar(path, '\\', '/'), "/", true, true);
  if (rest.empty()) {
    return false;
  }
  std::string prefix = "/";
  std::size_t start = 0;
  for (;;) {
    const auto slash = rest.find('/', start);
    prefix.append(rest, start, slash == std::string::npos ? std::string::npos : slash - start);
    prefix += '/';
    if (IgnoreDirs.IndexOf(prefix) >= 0) {
      return true;
    }
    if (slash == std::string::npos) {
      return false;
    }
    start = slash + 1;
  }
}

bool THomeProfile::IsIncomplete() const {
  return FtpServer.empty() || UserName.empty() || LocalRoot.empty();
}

bool THomeProfile::IsSkippedDirName(std::string_view name) const {
  if (IgnoreHiddenDirs && !name.empty() && name[0] == '.')
    return true;
  return !IgnoreDirStart.empty() && StartsWithText(name, IgnoreDirStart);
}

bool THomeProfile::HasSkippedDir(std::string_view rel_dir) const {
  std::size_t start = 0;
  while (start < rel_dir.size()) {
    std::size_t slash = rel_dir.find('/', start);
    if (slash == std::string_view::npos)
      slash = rel_dir.size();
    if (slash > start && IsSkippedDirName(rel_dir.substr(start, slash - start)))
      return true;
    start = slash + 1;
  }
  return false;
}

}  // namespace quillmar
