#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "settings/profile.h"
#include "settings/profile_store.h"
#include "settings/program_paths.h"
#include "util/string_list.h"

namespace quillmar {

// One site profile: the server, the login, the two roots and the filters. It lives in the
// section ProfileSection(Name) of the settings store and reaches the file only through Save.
class THomeProfile {
 public:
  // A profile with the defaults; a non-empty name also loads its section.
  explicit THomeProfile(std::string name = "", TProfile& ini = ProgramIni());
  virtual ~THomeProfile() = default;
  THomeProfile(const THomeProfile&) = default;
  THomeProfile& operator=(const THomeProfile&) = default;

  static std::unique_ptr<THomeProfile> Create(std::string name, TProfile& ini = ProgramIni());
  // Every field of `source`, the lists by content, under the name given.
  static std::unique_ptr<THomeProfile> CreateCopy(const THomeProfile& source, std::string name);

  // Normalises the two lists and writes every key of the section. Throws EIniWriteError;
  // keys written before the failure stay written.
  void Save();

  // Whether the name ends with one of IgnoreExtensions (letter case ignored).
  bool IsIgnoredExtension(std::string_view file_name) const;
  // Whether the relative directory or one of its parents is in IgnoreDirs.
  bool IsIgnoredDir(std::string_view path) const;
  // Server, user name or local root missing.
  bool IsIncomplete() const;
  // A directory of this name is left out by the hidden-directory rule (a name beginning with
  // ".") or by IgnoreDirStart. Both scans apply it: a directory the local scan never reads must
  // not have its server copy downloaded again on every run, or deleted.
  bool IsSkippedDirName(std::string_view name) const;
  // Whether any directory of a relative path "a/b/" is left out by IsSkippedDirName.
  bool HasSkippedDir(std::string_view rel_dir) const;

  TProfile& Ini() const { return *ini_; }

  std::string Name;
  std::string FtpServer;
  bool PasvMode = false;
  std::uint8_t ListType = kListTypeFast;
  std::string UserName;
  std::string Password;
  std::string LocalRoot;
  std::string RemoteRoot;
  bool DeleteRemote = false;
  bool Lowercase = false;
  TStringList IgnoreDirs;        // "/dir/sub/" after Save
  TStringList IgnoreExtensions;  // plain endings such as ".bak"
  bool IgnoreHiddenDirs = true;
  std::string IgnoreDirStart = "_";
  std::string TestFilename = "timeslip.txt";
  bool ListTestFileOnly = true;
  bool SavePassword = false;  // the password stands in the file

 private:
  void Load();
  void NormaliseIgnoreDirs();
  void NormaliseIgnoreExtensions();

  TProfile* ini_;
};

}  // namespace quillmar
