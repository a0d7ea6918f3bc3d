#pragma once

#include <string>

namespace quillmar {

// Message-box style bits and button codes.
inline constexpr int kMbOk = 0;
inline constexpr int kMbYesNo = 4;
inline constexpr int kMbIconStop = 16;         // 16: stop icon, OK
inline constexpr int kMbIconExclamation = 48;  // 48: warning, OK; 52 with kMbYesNo
inline constexpr int kMbIconInformation = 64;  // 64: information, OK
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// What shows a modal message box: a window's implementation, a terminal's, a test's recorder.
class TMessageBoxHandler {
 public:
  virtual ~TMessageBoxHandler() = default;
  // Shows `text` with `caption` and the style `flags`; returns the code of the button pressed.
  virtual int ShowMessageBox(const std::string& caption, const std::string& text, int flags) = 0;
};

// Installs the handler (not owned; nullptr restores the default, which writes to standard error
// and answers OK, or No to a question).
void SetMessageBoxHandler(TMessageBoxHandler* handler);

// The caption of every message box ("Quillmar 1.1.4"; "42 % Quillmar" during a run).
void SetApplicationTitle(std::string title);
const std::string& ApplicationTitle();

int MsgBox(const std::string& text, int flags);
inline void InfoBox(const std::string& text) {
  MsgBox(text, kMbIconInformation);
}

}  // namespace quillmar
