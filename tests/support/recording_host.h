#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/recording_logger.h"
#include "sync/host.h"
#include "util/message_box.h"

namespace quillmar::testing {

// A host that records every call of the engine, for tests of the workflow. Message boxes and
// the password prompt answer from scripted queues; OnProcessMessages runs inside
// ProcessMessages, so a test can press "Abbruch" in the middle of an operation.
class TRecordingHost : public TSyncHost {
 public:
  struct TBox {
    std::string Text;
    int Flags = 0;
  };
  struct TFill {
    bool AutoSize = false;
    int SortColumn = 0;
  };
  struct TAutoSize {
    int Column = 0;
    int Margin = 0;
  };

  // --- Scripted answers --------------------------------------------------------------------
  // Button codes for the next message boxes; when empty, OK (No for a yes/no question).
  std::deque<int> BoxAnswers;
  // Answers for the next password prompts; when empty, "" (cancelled).
  std::deque<std::string> PasswordAnswers;
  // Runs inside every ProcessMessages call.
  std::function<void()> OnProcessMessages;
  // The rows SelectedRows reports, in that order; SetRowSelected changes it.
  std::vector<int> Selection;

  // --- Records -----------------------------------------------------------------------------
  std::vector<TBox> Boxes;
  std::vector<std::string> PasswordPrompts;  // the profile names asked for
  int Beeps = 0;
  int EditProfileCalls = 0;
  std::vector<std::string> CurrentFiles;
  std::vector<std::string> TimeSlips;
  std::vector<TStatisticsView> Statistics;
  std::vector<TProgressView> Progress;
  std::vector<std::string> Titles;
  std::vector<bool> CommandStates;  // the Busy value of each UpdateCommandStates
  // Every line of every run logger's sink and of AddLogLine, in the order written.
  std::vector<TLogEntry> Log;
  std::vector<TLogEntry> AddedLines;  // AddLogLine alone
  int LogSinksCreated = 0;
  int GridClears = 0;
  std::vector<TFill> Fills;
  std::vector<int> RepaintedRows;
  std::vector<int> FittedResultRows;
  std::vector<TAutoSize> AutoSizes;
  std::vector<std::pair<int, bool>> SelectionChanges;
  int ProcessMessagesCalls = 0;
  // One line per call, in order ("MessageBox 48 …", "UpdateCommandStates 1", ...), for tests
  // of the sequence.
  std::vector<std::string> Events;

  // --- TSyncHost ---------------------------------------------------------------------------
  std::string AskPassword(const std::string& profile_name) override {
    PasswordPrompts.push_back(profile_name);
    Events.push_back("AskPassword " + profile_name);
    return Pop(PasswordAnswers, std::string());
  }
  int MessageBox(const std::string& text, int flags) override {
    Boxes.push_back({text, flags});
    Events.push_back("MessageBox " + std::to_string(flags) + " " + text);
    return Pop(BoxAnswers, (flags & kMbYesNo) != 0 ? kIdNo : kIdOk);
  }
  void Beep() override {
    ++Beeps;
    Events.push_back("Beep");
  }
  void EditProfile() override {
    ++EditProfileCalls;
    Events.push_back("EditProfile");
  }
  void ShowCurrentFile(const std::string& text) override {
    CurrentFiles.push_back(text);
    Events.push_back("ShowCurrentFile " + text);
  }
  void ShowTimeSlip(const std::string& text) override {
    TimeSlips.push_back(text);
    Events.push_back("ShowTimeSlip " + text);
  }
  void ShowStatistics(const TStatisticsView& view) override {
    Statistics.push_back(view);
    Events.push_back("ShowStatistics " + view.Files);
  }
  void ShowProgress(const TProgressView& view) override {
    Progress.push_back(view);
    Events.push_back("ShowProgress " + std::to_string(view.OverallPercent));
  }
  void SetApplicationTitle(const std::string& title) override {
    Titles.push_back(title);
    Events.push_back("SetApplicationTitle " + title);
  }
  void UpdateCommandStates(bool busy) override {
    CommandStates.push_back(busy);
    Events.push_back(std::string("UpdateCommandStates ") + (busy ? "1" : "0"));
  }
  std::unique_ptr<TLogger> CreateLogSink() override {
    ++LogSinksCreated;
    return std::make_unique<TSink>(Log);
  }
  void AddLogLine(int level, const std::string& text) override {
    Log.push_back({level, text});
    AddedLines.push_back({level, text});
    Events.push_back("AddLogLine " + std::to_string(level) + " " + text);
  }
  void ClearGrid() override {
    ++GridClears;
    Events.push_back("ClearGrid");
  }
  void FillGrid(bool auto_size, int sort_column) override {
    Fills.push_back({auto_size, sort_column});
    Events.push_back("FillGrid " + std::to_string(sort_column));
  }
  void RepaintRow(int row) override { RepaintedRows.push_back(row); }
  void FitResultColumn(const TFileNode&, int row) override { FittedResultRows.push_back(row); }
  void AutoSizeColumn(int column, int margin) override {
    AutoSizes.push_back({column, margin});
    Events.push_back("AutoSizeColumn " + std::to_string(column));
  }
  std::vector<int> SelectedRows() override { return Selection; }
  void SetRowSelected(int row, bool selected) override {
    SelectionChanges.emplace_back(row, selected);
    const auto it = std::find(Selection.begin(), Selection.end(), row);
    if (selected && it == Selection.end())
      Selection.push_back(row);
    else if (!selected && it != Selection.end())
      Selection.erase(it);
  }
  void ProcessMessages() override {
    ++ProcessMessagesCalls;
    if (OnProcessMessages)
      OnProcessMessages();
  }

  // --- Queries -----------------------------------------------------------------------------
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    for (const TLogEntry& entry : Log)
      lines.push_back(entry.Line);
    return lines;
  }
  std::vector<std::string> LogLinesAt(int level) const {
    std::vector<std::string> lines;
    for (const TLogEntry& entry : Log) {
      if (entry.Level == level)
        lines.push_back(entry.Line);
    }
    return lines;
  }
  bool HasLogLine(int level, std::string_view text) const {
    return std::any_of(Log.begin(), Log.end(), [&](const TLogEntry& entry) {
      return entry.Level == level && entry.Line == text;
    });
  }
  // Whether a line of that level contains `part`.
  bool HasLogLineContaining(int level, std::string_view part) const {
    return std::any_of(Log.begin(), Log.end(), [&](const TLogEntry& entry) {
      return entry.Level == level && entry.Line.find(part) != std::string::npos;
    });
  }
  // The protocol as text, one "level line" a row, for failure messages.
  std::string LogText() const {
    std::string text;
    for (const TLogEntry& entry : Log)
      text += std::to_string(entry.Level) + " " + entry.Line + "\n";
    return text;
  }
  const TStatisticsView* LastStatistics() const {
    return Statistics.empty() ? nullptr : &Statistics.back();
  }

 private:
  // The log view's sink of one run logger; the lines land in the host's record, which outlives
  // the connection that owns the sink.
  class TSink : public TLogger {
   public:
    explicit TSink(std::vector<TLogEntry>& lines) : lines_(lines) {}
    void WriteLine(int Level, std::string_view Line) override {
      lines_.push_back({Level, std::string(Line)});
    }

   private:
    std::vector<TLogEntry>& lines_;
  };

  template <typename T>
  static T Pop(std::deque<T>& queue, T fallback) {
    if (queue.empty())
      return fallback;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
  }
};

}  // namespace quillmar::testing
