// The run: carries out the actions of the file list over one FTP connection, entry by entry.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "ftp/blocking.h"
#include "ftp/ftp_socket.h"
#include "log/in_out_error.h"
#include "log/multi_logger.h"
#include "settings/home_profile.h"
#include "sync/engine.h"
#include "util/collation.h"
#include "util/date_time.h"
#include "util/file_date.h"
#include "util/message_box.h"
#include "util/string_list.h"
#include "util/strings.h"

namespace quillmar {
namespace {

constexpr int kResultColumn = 8;
constexpr int kColumnMargin = 4;
constexpr const char* kIdleTitle = "Quillmar 1.1.4";
constexpr const char* kOk = "OK";

bool InScope(const TFileNode& node, TFileAction only_action) {
  return only_action == faNoAction || node.Action == only_action;
}

struct TRunPlan {
  std::int64_t TotalBytes = 0;
  bool NoWork = true;
  bool NeedFtp = false;
};

TRunPlan PlanRun(const TFileList& list, TFileAction only_action) {
  TRunPlan plan;
  for (const TFileNode* node : list.FileNodes()) {
    if (IsValidAction(node->Action) && ActionNeedsFtp[node->Action])
      plan.NeedFtp = true;
    if (!InScope(*node, only_action))
      continue;
    if (node->Action != faNoAction)
      plan.NoWork = false;
    if (node->Action == faPump)
      plan.TotalBytes += node->LocalSize;
    else if (node->Action == faSuck)
      plan.TotalBytes += node->RemoteSize;
  }
  return plan;
}

// A single path component that cannot lead out of the directory it is joined to.
bool IsPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

// The list's names end up in local paths that are written and deleted; an entry whose names
// would reach outside the roots is refused, whatever put it into the list.
bool IsSafeEntry(const TFileList& list, const TFileNode& node) {
  if (list.LocalRoot.empty() || !IsPlainName(node.Name))
    return false;
  if (!node.RemoteName.empty() && !IsPlainName(node.RemoteName))
    return false;
  if (node.RelDir.empty())
    return true;
  if (node.RelDir.back() != '/')
    return false;
  std::string_view rest(node.RelDir);
  rest.remove_suffix(1);
  while (true) {
    const std::size_t slash = rest.find('/');
    if (!IsPlainName(rest.substr(0, slash)))
      return false;
    if (slash == std::string_view::npos)
      return true;
    rest.remove_prefix(slash + 1);
  }
}

bool LocalFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Creates `dir` and its missing parents; an existing directory is fine.
void ForceDirectories(const std::string& dir) {
  std::string path = dir;
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error || !std::filesystem::is_directory(path, error))
    throw EInOutError("Verzeichnis kann nicht erstellt werden: " + dir);
}

std::string FinalMessage(int error_count, bool aborted) {
  std::string message = error_count == 0
                            ? std::string("Übertragung erfolgreich")
                            : "Übertragung mit " + std::to_string(error_count) + " " +
                                  (error_count == 1 ? "Fehler" : "Fehlern") + " abgeschlossen.";
  if (aborted)
    message += "\r\nÜbertragung durch Benutzer abgebrochen.";
  return message;
}

// The actions of one run: what each entry needs done, with its outcome in ResultText.
class TActionRun {
 public:
  TActionRun(TSyncEngine& engine, TFtpSocket& ftp) : engine_(engine), ftp_(ftp) {}

  void Carry(TFileNode& node) {
    if (node.Action == faNoAction)
      return;
    if (!IsValidAction(node.Action) || !IsSafeEntry(engine_.FileList, node)) {
      Fail(node, "Ungültiger Dateiname: " + node.RelDir + node.Name);
      return;
    }
    switch (node.Action) {
      case faPump:
        Pump(node);
        break;
      case faSuck:
        Suck(node);
        break;
      case faDelLocal:
        DeleteLocal(node);
        break;
      case faDelRemote:
        DeleteRemote(node);
        break;
      case faTimeSync:
        TimeSync(node);
        break;
      default:
        break;
    }
  }

  int ErrorCount() const { return error_count_; }

 private:
  const TFileList& List() const { return engine_.FileList; }
  std::string LocalPath(const TFileNode& node) const {
    return List().LocalRoot + node.RelDir + node.Name;
  }
  std::string RemotePath(const TFileNode& node, const std::string& name) const {
    return List().RemoteRoot + node.RelDir + name;
  }

  void Fail(TFileNode& node, std::string message) {
    node.ResultText = std::move(message);
    ++error_count_;
  }

  // Runs one step of the FTP client; its error becomes the entry's result.
  template <typename Step>
  void Guarded(TFileNode& node, Step&& step) {
    try {
      step();
      node.ResultText = kOk;
    } catch (const std::exception& error) {
      Fail(node, error.what());
    }
  }

  void BeginTransfer(std::int64_t size) {
    engine_.Counters.CurrentFileSize = size;
    engine_.TransferProgress(0);
  }
  void EndTransfer(std::int64_t size) {
    engine_.TransferProgress(size);
    engine_.Counters.DoneBytes += size;
  }

  // One MKD per level of RelDir and run; a failure (mostly: it exists) is tried again by the
  // next file in that directory.
  void MakeRemoteDirs(const TFileNode& node) {
    std::string path = List().RemoteRoot;
    const int levels = CountFields(node.RelDir, "/") - 1;
    for (int i = 1; i <= levels; ++i) {
      path = engine_.ApplyLowercase(path + GetField(node.RelDir, "/", i) + "/");
      if (created_dirs_.IndexOf(path) >= 0)
        continue;
      try {
        ftp_.MakeDir(path);
        created_dirs_.Add(path);
      } catch (const std::exception&) {
      }
    }
  }

  void Pump(TFileNode& node) {
    BeginTransfer(node.LocalSize);
    if (!node.RelDir.empty() && node.RemoteSize == 0)
      MakeRemoteDirs(node);
    Guarded(node, [&] {
      // A file the server already has is replaced under the server's spelling; on a server
      // that tells letter case apart, the local spelling would leave a second copy behind.
      // Lower case, when the profile asks for it, wins.
      const std::string name = engine_.Profile()->Lowercase || node.RemoteName.empty()
                                   ? engine_.ApplyLowercase(node.Name)
                                   : node.RemoteName;
      ftp_.Store(LocalPath(node), engine_.ApplyLowercase(RemotePath(node, "")) + name);
      node.RemoteName = name;
    });
    EndTransfer(node.LocalSize);
  }

  void Suck(TFileNode& node) {
    BeginTransfer(node.RemoteSize);
    const std::string local_dir = List().LocalRoot + node.RelDir;
    if (!node.RelDir.empty() && node.LocalSize == 0) {
      try {
        ForceDirectories(local_dir);
      } catch (const std::exception&) {
      }
    }
    Guarded(node, [&] {
      ForceDirectories(local_dir);
      // The server's own spelling, which may differ from the local one in letter case.
      const std::string& name = node.RemoteName.empty() ? node.Name : node.RemoteName;
      ftp_.Retrieve(LocalPath(node), RemotePath(node, name));
      SetFileDateTime(LocalPath(node), node.RemoteDate);
    });
    EndTransfer(node.RemoteSize);
  }

  void DeleteLocal(TFileNode& node) {
    const std::string path = LocalPath(node);
    ftp_.Log(llInfo, "Delete " + path);
    if (::unlink(path.c_str()) == 0) {
      node.ResultText = kOk;
      return;
    }
    Fail(node, "Löschen fehlgeschlagen");
    ftp_.Log(llError, "Löschen fehlgeschlagen: " + path);
  }

  void DeleteRemote(TFileNode& node) {
    Guarded(node, [&] { ftp_.DeleteFile(RemotePath(node, node.RemoteName)); });
  }

  void TimeSync(TFileNode& node) {
    const std::string path = LocalPath(node);
    if (!LocalFileExists(path)) {
      Fail(node, "Datei existiert nicht");
      return;
    }
    ftp_.Log(llInfo,
             "TimeSync " + path + " to " + FormatDateTime("YYYY-MM-DD HH:NN:SS", node.RemoteDate));
    SetFileDateTime(path, node.RemoteDate);
    node.ResultText = kOk;
  }

  TSyncEngine& engine_;
  TFtpSocket& ftp_;
  // The remote directories this run has created, each ending in '/'.
  TStringList created_dirs_;
  int error_count_ = 0;
};

// Empties the results of the last run; only rows that showed one change their look.
void ClearResults(TFileList& list, TSyncHost& host) {
  std::int32_t row = 0;
  for (TFileNode* node : list.FileNodes()) {
    if (!node->ResultText.empty()) {
      node->ResultText.clear();
      host.RepaintRow(row);
    }
    ++row;
  }
}

// Logs in and prepares the connection for transfers; throws on any failure.
void OpenForRun(TFtpSocket& ftp, const THomeProfile& profile, TFtpProgressEvent progress) {
  ftp.SetPeer(profile.FtpServer);
  ftp.User = profile.UserName;
  ftp.Password = profile.Password;
  ftp.OnProgress = std::move(progress);
  ftp.Connect("");
  if (profile.PasvMode)
    ftp.SetPassive(true);
  // Not part of the login, but a run cannot go on without it either.
  ftp.SetTransferType(ttBinary);
}

// The entries in list order, until the cancel command; every row is refitted and the window
// gets its messages after each entry.
void WalkList(TFileList& list, TFileAction only_action, TSyncHost& host, TActionRun& run,
              const std::atomic<bool>& abort_requested) {
  TFileNode* node = nullptr;
  std::int32_t index = 0;
  list.StartIteration(node);
  while (list.IterateIndexed(node, index)) {
    if (abort_requested)
      break;
    if (InScope(*node, only_action)) {
      if (node->Action != faNoAction)
        host.ShowCurrentFile(node->RelDir + node->Name);
      run.Carry(*node);
    }
    host.FitResultColumn(*node, index);
    host.ProcessMessages();
  }
}

}  // namespace

std::string TSyncEngine::ApplyLowercase(const std::string& text) const {
  if (profile_ != nullptr && profile_->Lowercase)
    return LowerCase(text);
  return text;
}

void TSyncEngine::ExecuteActions(TFileAction only_action, bool report_success) {
  LastRun = TRunOutcome{};
  if (profile_ == nullptr)
    return;
  if (profile_->Password.empty()) {
    std::string answer = host_.AskPassword(profile_->Name);
    if (answer.empty())
      return;
    profile_->Password = std::move(answer);
  }

  const TRunPlan plan = PlanRun(FileList, only_action);
  Counters.TotalBytes = plan.TotalBytes;
  if (plan.NoWork) {
    LastRun.NothingToDo = true;
    host_.MessageBox("Es gibt nichts zu tun.", kMbIconInformation);
    return;
  }
  ClearResults(FileList, host_);

  SetBusy(true);
  AbortRequested = false;
  ResetBlockingCancel();
  try {
    ftp_connection_ = std::make_unique<TFtpSocket>(CreateRunLogger());
    if (plan.NeedFtp) {
      OpenForRun(*ftp_connection_, *profile_,
                 [this](TFtpSocket&, std::int64_t bytes) { TransferProgress(bytes); });
    }
  } catch (const std::exception& error) {
    FreeConnection();
    LastRun.ConnectFailed = true;
    LastRun.Error = error.what();
    LastRun.Aborted = AbortRequested;
    host_.MessageBox("Verbindungs-Fehler: " + LastRun.Error, kMbIconInformation);
    WSAUnhookBlockingHook();
    SetBusy(false);
    ResetProgress();
    return;
  }

  Counters.DoneBytes = 0;
  Counters.RunStart = clock_();
  {
    TActionRun run(*this, *ftp_connection_);
    WalkList(FileList, only_action, host_, run, AbortRequested);
    LastRun.ErrorCount = run.ErrorCount();
  }
  host_.AutoSizeColumn(kResultColumn, kColumnMargin);
  WSAUnhookBlockingHook();
  SetBusy(false);

  if (plan.NeedFtp) {
    try {
      if (!AbortRequested)
        ftp_connection_->Quit();
      ftp_connection_->Close();
    } catch (const std::exception&) {
    }
  }
  FreeConnection();
  // A cancel that came in late must not hit the next socket call of this thread.
  ResetBlockingCancel();
  host_.SetApplicationTitle(kIdleTitle);

  LastRun.Aborted = AbortRequested;
  if (report_success || LastRun.ErrorCount > 0 || LastRun.Aborted)
    host_.MessageBox(FinalMessage(LastRun.ErrorCount, LastRun.Aborted), kMbIconInformation);
  else
    host_.Beep();
  ResetProgress();
}

}  // namespace quillmar
