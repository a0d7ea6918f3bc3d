#include "cli/cli_host.h"

#include <cstdlib>
#include <optional>

#include "cli/interrupt.h"
#include "cli/stderr_logger.h"
#include "cli/terminal_password.h"
#include "ftp/blocking.h"
#include "sync/engine.h"
#include "sync/file_node.h"
#include "util/strings.h"

namespace quillmar {
namespace {

// A message box's text as terminal lines.
std::string AsLines(const std::string& text) {
  std::string lines;
  for (char ch : text) {
    if (ch != '\r')
      lines += ch;
  }
  return lines;
}

}  // namespace

void TCliHost::NoteInterrupt() {
  if (!InterruptRequested())
    return;
  if (!cancel_logged_) {
    cancel_logged_ = true;
    AddLogLine(llInfo, "ABBRUCH ANGEFORDERT");
  }
  if (engine_ != nullptr && !engine_->AbortRequested) {
    engine_->AbortRequested = true;
    WSACancelBlockingCall();
  }
}

std::string TCliHost::AskPassword(const std::string& profile_name) {
  password_unavailable_ = false;
  const char* from_environment = std::getenv("QUILLMAR_PASSWORD");
  if (from_environment != nullptr && *from_environment != '\0')
    return from_environment;
  std::optional<std::string> typed =
      ReadPasswordFromTerminal("Passwort für Profil \"" + profile_name + "\": ");
  if (!typed && !InterruptRequested()) {
    password_unavailable_ = true;
    WriteToStderr(
        "Kein Passwort: das Profil hat keins, QUILLMAR_PASSWORD ist nicht gesetzt, und es gibt "
        "kein Terminal für die Abfrage.\n");
  }
  return typed.value_or(std::string());
}

int TCliHost::MessageBox(const std::string& text, int flags) {
  return ShowMessageBox(ApplicationTitle(), text, flags);
}

int TCliHost::ShowMessageBox(const std::string&, const std::string& text, int flags) {
  WriteToStderr(AsLines(text) + "\n");
  // Nobody can answer a question here; No is the answer that changes nothing.
  return (flags & 0x0F) == kMbYesNo ? kIdNo : kIdOk;
}

void TCliHost::ShowTimeSlip(const std::string& text) {
  AddLogLine(llInfo, text);
}

void TCliHost::SetApplicationTitle(const std::string& title) {
  quillmar::SetApplicationTitle(title);
}

std::unique_ptr<TLogger> TCliHost::CreateLogSink() {
  return std::make_unique<TStderrLogger>();
}

void TCliHost::AddLogLine(int level, const std::string& text) {
  TStderrLogger().Log(level, text);
}

void TCliHost::FitResultColumn(const TFileNode& node, int) {
  if (node.ResultText.empty() || !IsValidAction(node.Action))
    return;
  const std::string line = std::string(ActionNames[node.Action]) + "\t" + node.RelDir + node.Name +
                           "\t" + ReplaceChar(AsLines(node.ResultText), '\n', ' ') + "\n";
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
}

}  // namespace quillmar
