#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "settings/ini_document.h"
#include "util/string_list.h"

namespace quillmar {

// A write the file system refuses (read-only file, no temporary file in the directory) or a
// name or value that cannot be stored on one line. The file is left as it was.
class EIniWriteError : public std::runtime_error {
 public:
  explicit EIniWriteError(const std::string& file_name);
};

// One read returns at most this many bytes of a value.
inline constexpr std::size_t kIniReadLimit = 2047;
// The section list fits a buffer of this size: each name NUL-terminated, then a final NUL.
inline constexpr std::size_t kIniSectionListBuffer = 16384;

// An INI file of sections and key=value lines. Section and key names are matched without regard
// to letter case. A read of a missing file, section or key yields the caller's default. Every
// write is in the file at once (temporary file, fsync, rename); there is no save step. Reads see
// changes made by other processes.
class TIniFile {
 public:
  explicit TIniFile(std::string file_name);
  virtual ~TIniFile() = default;
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const std::string& FileName() const { return file_name_; }

  // The value as it stands (blanks around it trimmed, quotes kept), cut at a NUL byte and at
  // kIniReadLimit bytes.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;
  // The same without the read limit, for lists that would lose items at the cut.
  std::string ReadFullString(std::string_view section, std::string_view key,
                             std::string_view default_value) const;
  // Decimal; "0x"/"0X" followed by digits or "$" for hexadecimal; anything else the default.
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t default_value) const;
  bool ReadBool(std::string_view section, std::string_view key, bool default_value) const;
  bool SectionExists(std::string_view section) const;
  // Clears `list` and adds the section names in file order, as many as fit the list buffer.
  void ReadSections(TStringList& list) const;

  // Each throws EIniWriteError when the file cannot be written.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void EraseSection(std::string_view section);
  // Reports nothing when the key cannot be deleted.
  void DeleteKey(std::string_view section, std::string_view key);

 private:
  struct TFileStamp {
    bool Exists = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TFileStamp&) const = default;
  };

  static TFileStamp StampOf(const std::string& path);
  bool CacheValid(const TFileStamp& stamp) const;
  void Remember(TIniDocument document, const TFileStamp& stamp) const;
  // The parsed file, reloaded when the file changed since the last look.
  const TIniDocument& Document() const;
  // Reads the file afresh, applies `edit` (returns whether it changed anything) and replaces
  // the file when it did.
  template <typename Edit>
  void Change(Edit edit);
  void CheckName(std::string_view name, bool is_key) const;
  void CheckValue(std::string_view value) const;
  // The path that is really replaced: the target of a symbolic link.
  std::string TargetPath() const;
  void ReplaceFile(const std::string& target, const std::string& content, bool existed,
                   unsigned mode, unsigned owner, unsigned group);

  std::string file_name_;
  mutable TIniDocument document_;
  mutable TFileStamp stamp_;
  mutable std::int64_t loaded_at_ns_ = 0;
  mutable bool loaded_ = false;
};

}  // namespace quillmar
