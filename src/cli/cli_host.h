#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sync/host.h"
#include "util/message_box.h"

namespace quillmar {

class TSyncEngine;

// The engine's window for a terminal: messages and the protocol log on standard error, each
// entry's result of a run on standard output, the password from QUILLMAR_PASSWORD or the
// terminal. Grid, statistics and progress have nothing to show.
class TCliHost : public TSyncHost, public TMessageBoxHandler {
 public:
  explicit TCliHost(std::FILE* out = stdout) : out_(out) {}

  // The engine whose cancel a Ctrl-C triggers.
  void Attach(TSyncEngine& engine) { engine_ = &engine; }
  // After a Ctrl-C: logs "ABBRUCH ANGEFORDERT" once, and cancels again when the engine has
  // cleared its flag at the start of a new phase, so that no later step runs.
  void NoteInterrupt();
  // The last password request found neither QUILLMAR_PASSWORD nor a terminal to ask.
  bool PasswordUnavailable() const { return password_unavailable_; }

  std::string AskPassword(const std::string& profile_name) override;
  int MessageBox(const std::string& text, int flags) override;
  void Beep() override {}
  void EditProfile() override {}

  void ShowCurrentFile(const std::string&) override {}
  void ShowTimeSlip(const std::string& text) override;
  void ShowStatistics(const TStatisticsView&) override {}
  void ShowProgress(const TProgressView&) override {}
  void SetApplicationTitle(const std::string& title) override;
  void UpdateCommandStates(bool) override {}

  std::unique_ptr<TLogger> CreateLogSink() override;
  void AddLogLine(int level, const std::string& text) override;

  void ClearGrid() override {}
  void FillGrid(bool, int) override {}
  void RepaintRow(int) override {}
  // Prints the entry's result once the run has handled it.
  void FitResultColumn(const TFileNode& node, int row) override;
  void AutoSizeColumn(int, int) override {}
  std::vector<int> SelectedRows() override { return {}; }
  void SetRowSelected(int, bool) override {}

  void ProcessMessages() override { NoteInterrupt(); }

  int ShowMessageBox(const std::string& caption, const std::string& text, int flags) override;

 private:
  std::FILE* out_;
  TSyncEngine* engine_ = nullptr;
  bool cancel_logged_ = false;
  bool password_unavailable_ = false;
};

}  // namespace quillmar
