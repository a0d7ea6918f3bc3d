#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/logger.h"

namespace quillmar {

class TFileNode;

// What the statistics box shows. The engine computes every text; the host only displays them.
struct TStatisticsView {
  // Indexed by TFileAction: the count and byte labels of the six action rows, and the tool-tips
  // of the count labels ("1.000 Bytes"; empty for Zeitsync and Keine Aktion).
  std::array<std::string, 6> ActionCount;
  std::array<std::string, 6> ActionBytes;
  std::array<std::string, 6> ActionHint;
  std::string Files;      // "Dateien"
  std::string FilesHint;  // "Zu übertragende Bytes: …"
  std::string FilesLocal;
  std::string FilesRemote;
  std::string BytesLocal;
  std::string BytesRemote;
};

// What the progress box shows during a run.
struct TProgressView {
  int CurrentPercent = 0;        // 0..100
  int OverallPercent = 0;        // 0..100
  std::string BytesTransferred;  // "1.024  /  2.048"
  std::string TimeElapsed;       // "01:02:03"
  std::string Speed;             // "128,0 KByte/s"
};

// Everything the synchronisation engine needs of a window. The desktop program implements it
// with widgets, the command-line front end for a terminal, the tests with a recorder.
class TSyncHost {
 public:
  virtual ~TSyncHost() = default;

  // Asks for the password of a profile; empty when the user cancels.
  virtual std::string AskPassword(const std::string& profile_name) = 0;
  // A modal message box with the application title as caption; returns the button's code.
  virtual int MessageBox(const std::string& text, int flags) = 0;
  // The information beep (type 64) after a faultless automatic run.
  virtual void Beep() = 0;
  // Opens the profile editor on the current profile (after "Dem aktuellen Profil fehlen …").
  virtual void EditProfile() = 0;

  // The current-file label ("---" when idle).
  virtual void ShowCurrentFile(const std::string& text) = 0;
  // The clock-offset label ("L = R+5 min").
  virtual void ShowTimeSlip(const std::string& text) = 0;
  virtual void ShowStatistics(const TStatisticsView& view) = 0;
  virtual void ShowProgress(const TProgressView& view) = 0;
  // The task-bar text ("42 % Quillmar", "Quillmar 1.1.4").
  virtual void SetApplicationTitle(const std::string& title) = 0;
  // Called on every change of Busy: enable or disable the commands.
  virtual void UpdateCommandStates(bool busy) = 0;

  // The log view's sink for a run logger (the engine adds the file logger itself).
  virtual std::unique_ptr<TLogger> CreateLogSink() = 0;
  // A line written straight into the log view ("ABBRUCH ANGEFORDERT").
  virtual void AddLogLine(int level, const std::string& text) = 0;

  // The file grid. Rows are zero-based positions in the file list.
  virtual void ClearGrid() = 0;
  // Rebinds all rows to the list; `sort_column` is the column shown as sorted (1 icons, 2 name).
  virtual void FillGrid(bool auto_size, int sort_column) = 0;
  virtual void RepaintRow(int row) = 0;
  // Widens the result column for the node's result if needed and repaints that cell.
  virtual void FitResultColumn(const TFileNode& node, int row) = 0;
  // Fits one column (1-based, as the grid counts them) to its texts with the margin.
  virtual void AutoSizeColumn(int column, int margin) = 0;
  // The selected rows, in the order the grid reports them.
  virtual std::vector<int> SelectedRows() = 0;
  virtual void SetRowSelected(int row, bool selected) = 0;

  // Lets pending window messages through (repaint, the cancel button).
  virtual void ProcessMessages() = 0;
};

}  // namespace quillmar
