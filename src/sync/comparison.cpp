#include <exception>
#include <memory>
#include <string>

#include "ftp/blocking.h"
#include "ftp/ftp_socket.h"
#include "log/multi_logger.h"
#include "settings/home_profile.h"
#include "sync/engine.h"
#include "sync/proposal.h"
#include "util/collation.h"
#include "util/message_box.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr const char* kProgramTitle = "Quillmar 1.1.4";
constexpr const char* kIncompleteProfile =
    "Dem aktuellen Profil fehlen wichtige Angaben. Bitte pr\u00FCfen Sie die "
    "Profil-Einstellungen.";
constexpr const char* kAllInSync = "Alle Dateien sind synchron.";
constexpr const char* kConnectFailed =
    "Kann Verbindung zum FTP-Server nicht aufbauen.\r\n\r\nMeldung: ";
constexpr int kSortColumnIcons = 1;
constexpr int kSortColumnName = 2;

// The local root in the native form: '/' at its end.
std::string LocalDirPath(const std::string& path) {
  return path.empty() || path.back() == '/' ? path : path + '/';
}

}  // namespace

void TSyncEngine::RunComparison(bool automatic) {
  if (!profile_) {
    LastComparison = {};
    LastComparison.Failed = true;
    return;
  }
  if (profile_->IsIncomplete()) {
    LastComparison = {};
    LastComparison.Failed = true;
    LastComparison.Error = kIncompleteProfile;
    host_.MessageBox(kIncompleteProfile, kMbIconExclamation);
    host_.EditProfile();
    return;
  }

  int actions = 0;
  const bool completed = CompareTrees();
  // 0 leaves the grid's sort mark as the user last set it.
  int sort_column = 0;
  if (completed) {
    actions = UpdateStatistics();
    if (actions <= 0) {
      FileList.SortKey = skPath;
      FileList.SortDescending = false;
      sort_column = kSortColumnName;
    } else {
      FileList.SortKey = skAction;
      FileList.SortDescending = true;
      sort_column = kSortColumnIcons;
    }
    FileList.Sort();
  }
  LastComparison.Actions = actions;
  host_.FillGrid(true, sort_column);
  host_.SetApplicationTitle(kProgramTitle);

  if (automatic) {
    if (actions <= 0)
      host_.Beep();
    else
      ExecuteActions(faNoAction, false);
  } else if (completed && actions == 0) {
    host_.MessageBox(kAllInSync, kMbIconInformation);
  }
}

bool TSyncEngine::CompareTrees() {
  LastComparison = {};
  if (!profile_) {
    LastComparison.Failed = true;
    return false;
  }
  if (profile_->Password.empty()) {
    std::string password = host_.AskPassword(profile_->Name);
    if (password.empty()) {
      LastComparison.Cancelled = true;
      return false;
    }
    // In memory only; the profile is saved elsewhere or not at all.
    profile_->Password = std::move(password);
  }

  bool result = true;
  ClearStatistics();
  FileList.Clear();
  FileList.LocalRoot = LocalDirPath(profile_->LocalRoot);
  FileList.RemoteRoot = IncludeSlash(profile_->RemoteRoot);
  host_.ClearGrid();

  ftp_connection_ = std::make_unique<TFtpSocket>(CreateRunLogger());
  ftp_connection_->SetPeer(profile_->FtpServer);
  ftp_connection_->User = profile_->UserName;
  ftp_connection_->Password = profile_->Password;
  ftp_connection_->OnProgress = [this](TFtpSocket&, std::int64_t bytes) {
    TransferProgress(bytes);
  };

  unread_dirs_.clear();
  Log(llInfo, "Lokale Verzeichnisse werden gelesen");
  ScanLocalDir(FileList.LocalRoot, "");
  if (!local_root_error_.empty()) {
    // Without its local side the comparison would take every remote file for one deleted
    // locally. It stops before it connects.
    const std::string message = "Das lokale Stammverzeichnis \u201E" + FileList.LocalRoot +
                                "\u201C kann nicht gelesen werden: " + local_root_error_ +
                                ". Der Vergleich wurde abgebrochen.";
    Log(llError, message);
    FreeConnection();
    FileList.Clear();
    LastComparison.Failed = true;
    LastComparison.Error = message;
    host_.MessageBox(message, kMbIconExclamation);
    return false;
  }

  SetBusy(true);
  AbortRequested = false;
  ResetBlockingCancel();
  try {
    CompareRemote();
  } catch (const std::exception& error) {
    if (!AbortRequested) {
      LastComparison.Failed = true;
      LastComparison.Error = error.what();
      host_.MessageBox(kConnectFailed + std::string(error.what()), kMbIconExclamation);
    }
    FileList.Clear();
    result = false;
  }

  // Goodbye; a failure here changes nothing of the result.
  try {
    if (!AbortRequested)
      ftp_connection_->Quit();
  } catch (const std::exception&) {
  }
  try {
    ftp_connection_->Close();
  } catch (const std::exception&) {
  }
  FreeConnection();

  host_.ShowCurrentFile("---");
  WSAUnhookBlockingHook();
  // A cancel that came in late must not hit the next socket call of this thread.
  ResetBlockingCancel();
  SetBusy(false);

  if (AbortRequested) {
    LastComparison.Aborted = true;
    FileList.Clear();
    result = false;
  }
  if (result) {
    ProposeActions(FileList, profile_->DeleteRemote);
    DropProposalsBelowUnreadDirs();
    LastComparison.Completed = true;
  } else {
    FileList.Clear();
  }
  return result;
}

void TSyncEngine::CompareRemote() {
  Log(llInfo, "Verbindungsaufbau zum FTP-Server");
  ftp_connection_->Connect("");
  if (profile_->PasvMode)
    ftp_connection_->SetPassive(true);

  TDateTime offset = 0;
  if (!profile_->TestFilename.empty()) {
    Log(llInfo, "Uhren-Vergleich");
    offset = MeasureTimeSlip();
    host_.ShowTimeSlip(TimeSlipCaption(offset));
  } else {
    host_.ShowTimeSlip("L = R");
  }

  Log(llInfo, "Remote-Verzeichnisse werden gelesen");
  TFileList unmatched;
  unmatched.SpliceAfter(nullptr, FileList);
  // The matching state lives only while the scan runs, also when it throws.
  struct TMatching {
    TSyncEngine& engine;
    ~TMatching() {
      engine.unmatched_index_.reset();
      engine.unmatched_ = nullptr;
    }
  } matching{*this};
  unmatched_ = &unmatched;
  unmatched_index_ = std::make_unique<TFileIndex>(unmatched);
  ScanRemoteDir(FileList.RemoteRoot, "", offset);
  FileList.SpliceAfter(FileList.Last, unmatched);
}

void TSyncEngine::DropProposalsBelowUnreadDirs() {
  if (unread_dirs_.empty())
    return;
  for (TFileNode* node : FileList.FileNodes()) {
    for (const std::string& dir : unread_dirs_) {
      if (StartsWithText(node->RelDir, dir)) {
        node->Action = faNoAction;
        break;
      }
    }
  }
}

}  // namespace quillmar
