#pragma once

#include <cstddef>
#include <string>

namespace quillmar {

// The German text of a local file error: "Datei nicht gefunden", "Dateizugriff verweigert",
// else the system's description.
std::string FileErrorText(int Errno);
// Throws EInOutError "<text>: <file name>".
[[noreturn]] void RaiseFileError(const std::string& FileName, int Errno);

// The local file an upload reads, opened before anything is sent to the server.
class TSourceFile {
 public:
  explicit TSourceFile(const std::string& FileName);
  ~TSourceFile();
  TSourceFile(const TSourceFile&) = delete;
  TSourceFile& operator=(const TSourceFile&) = delete;

  // Fills Buffer as far as the file goes; fewer than Size bytes only at its end.
  std::size_t ReadBlock(char* Buffer, std::size_t Size);

 private:
  std::string file_name_;
  int fd_ = -1;
};

// The local file a download writes. The bytes go into a temporary file beside the target; only
// Commit puts it in the target's place, so a failed download leaves the old file untouched.
// Without Commit the temporary file is removed. The new file keeps the old file's permissions,
// else it gets the default ones of a new file. A symbolic link as target is written through.
class TDownloadFile {
 public:
  explicit TDownloadFile(const std::string& FileName);
  ~TDownloadFile();
  TDownloadFile(const TDownloadFile&) = delete;
  TDownloadFile& operator=(const TDownloadFile&) = delete;

  void Write(const char* Buffer, std::size_t Count);
  void Commit();
  const std::string& TemporaryName() const { return temp_name_; }

 private:
  std::string file_name_;  // as the caller named it, for messages
  std::string target_;     // the file that is replaced
  std::string temp_name_;
  int fd_ = -1;
  bool committed_ = false;
};

}  // namespace quillmar
