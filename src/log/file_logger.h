#pragma once

#include <string>
#include <string_view>

#include "log/in_out_error.h"
#include "log/logger.h"

namespace quillmar {

// Writes prefixed lines ending in CR LF to a file. Each line is in the file when WriteLine
// returns, so the log survives a crash of the program.
class TFileLogger : public TLogger {
 public:
  // Appends to an existing file when Append is set; otherwise creates or empties it.
  // Throws EInOutError when the file cannot be opened.
  TFileLogger(const std::string& FileName, bool Append);
  ~TFileLogger() override;

  // Throws EInOutError when the line cannot be written.
  void WriteLine(int Level, std::string_view Line) override;

  const std::string& FileName() const { return file_name_; }

 private:
  std::string file_name_;
  int fd_ = -1;
};

}  // namespace quillmar
