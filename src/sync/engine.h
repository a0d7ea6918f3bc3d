#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sync/file_index.h"
#include "sync/file_list.h"
#include "sync/host.h"
#include "sync/statistics.h"
#include "util/date_time.h"

namespace quillmar {

class TFileLogger;
class TFtpSocket;
class THomeProfile;
class TLogger;
class TMultiLogger;

// The synchronisation workflow and the window state it needs: the file list, the current
// profile, the busy flag, the connection of the operation in progress, the run counters and the
// abort flag. Everything it needs of a window goes through the host.
class TSyncEngine {
 public:
  explicit TSyncEngine(TSyncHost& host);
  ~TSyncEngine();
  TSyncEngine(const TSyncEngine&) = delete;
  TSyncEngine& operator=(const TSyncEngine&) = delete;

  // --- State -------------------------------------------------------------------------------
  TFileList FileList;
  // Choosing another profile (or none) empties the list, the grid and the statistics, so no run
  // can carry out one profile's list against another profile's server.
  void SetProfile(std::unique_ptr<THomeProfile> profile);
  THomeProfile* Profile() const { return profile_.get(); }
  bool Busy() const { return busy_; }

  // Settings of the window: "Log Local Dirs", "File Log", and where "FTP-Protokoll.txt" goes.
  bool LogLocalDirs = true;
  bool FileLog = false;
  std::string LogDirectory;  // ends in "/"
  // Thousands separator of the number texts.
  std::string ThousandsSeparator = ".";

  TRunCounters Counters;
  // Set by the cancel command; the scans and the run test it between entries.
  std::atomic<bool> AbortRequested{false};

  // The connection of the comparison or run in progress (nullptr otherwise).
  TFtpSocket* FtpConnection() const { return ftp_connection_.get(); }
  // The file logger inside the current run logger, nullptr when none is written.
  TFileLogger* FileLogger() const { return file_logger_; }

  // --- Comparison --------------------------------------------------------------------------
  void RunComparison(bool automatic);
  bool CompareTrees();
  void ScanLocalDir(const std::string& root, const std::string& rel_dir);
  void ScanRemoteDir(const std::string& root, const std::string& rel_dir, TDateTime offset);
  TDateTime MeasureTimeSlip();

  // What the last comparison came to, for front ends that report it (exit codes, tests).
  struct TCompareOutcome {
    bool Completed = false;  // the list holds the comparison's result
    bool Failed = false;     // an error ended it (login, listing, ...); Error holds the message
    bool Aborted = false;    // the cancel command ended it
    bool Cancelled = false;  // the password prompt was cancelled
    std::string Error;
    int Actions = 0;  // entries with an action after the proposal
  };
  TCompareOutcome LastComparison;

  // --- Run ---------------------------------------------------------------------------------
  struct TRunOutcome {
    bool NothingToDo = false;    // "Es gibt nichts zu tun."
    bool ConnectFailed = false;  // login (or the transfer type) failed; no entry was touched
    bool Aborted = false;
    int ErrorCount = 0;
    std::string Error;  // the connection error, when ConnectFailed
  };
  TRunOutcome LastRun;

  void ExecuteActions(TFileAction only_action, bool report_success);
  std::string ApplyLowercase(const std::string& text) const;
  // "Abbruch": logs "ABBRUCH ANGEFORDERT", cancels the blocking socket call, sets the flag.
  void Cancel();

  // --- Statistics and progress -------------------------------------------------------------
  int UpdateStatistics();
  void ClearStatistics();
  void ResetProgress();
  void TransferProgress(std::int64_t bytes_done);

  // --- Action commands (over the host's row selection) -------------------------------------
  void SetSelectedActions(TFileAction code);
  // Selects or deselects every row whose action is `code`; other rows keep their state.
  void SelectByAction(TFileAction code, bool select);
  // "Gleiche Dateigröße": selects every row whose local and remote sizes are equal.
  void SelectEqualSized();

  // The logger of one control connection: the host's log sink and, with "File Log" on, a
  // TFileLogger on "FTP-Protokoll.txt" written anew.
  std::unique_ptr<TMultiLogger> CreateRunLogger();

 private:
  // Tests reach the connection, the matching list and the clock through it.
  friend class TSyncEngineProbe;
  struct TLocalScan;

  void SetBusy(bool busy);
  // Through the logger of the connection in progress; nothing without one.
  void Log(int level, const std::string& text) const;
  // Frees the connection and with it the run logger (and the file logger inside it).
  void FreeConnection();

  void ScanLocalTree(TLocalScan& scan, const std::string& rel_dir);
  // Takes the remote entries of one listing into the list.
  void MergeListing(TLinkList& entries, const std::string& root, const std::string& rel_dir,
                    TDateTime offset);
  // The node for a remote file: the first unmatched local node of that path, else a new one.
  TFileNode* TakeNode(const std::string& rel_dir, const std::string& name);
  // The part of the comparison that needs the server; throws on any failure.
  void CompareRemote();
  // No proposal for the files below a directory that could not be read on one side.
  void DropProposalsBelowUnreadDirs();

  TSyncHost& host_;
  std::unique_ptr<THomeProfile> profile_;
  std::unique_ptr<TFtpSocket> ftp_connection_;
  TFileLogger* file_logger_ = nullptr;
  bool busy_ = false;
  TStatisticsView statistics_;
  TDateTime (*clock_)() = &Now;

  // Alive during the remote scan only: the local nodes not matched yet, and their index.
  TFileList* unmatched_ = nullptr;
  std::unique_ptr<TFileIndex> unmatched_index_;
  // Why the local root could not be read; empty when it could.
  std::string local_root_error_;
  // Directories (RelDir form) that could not be read on one side: the local enumeration or
  // the remote listing failed. Nothing below them gets a proposal.
  std::vector<std::string> unread_dirs_;
};

// The caption of the clock-offset label for an offset in days: "L = R", "L = R+5 min",
// "L = R–3 min" (en dash).
std::string TimeSlipCaption(TDateTime offset);

}  // namespace quillmar
