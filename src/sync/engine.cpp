#include "sync/engine.h"

#include <exception>
#include <utility>

#include "ftp/blocking.h"
#include "ftp/ftp_socket.h"
#include "log/file_logger.h"
#include "log/in_out_error.h"
#include "log/multi_logger.h"
#include "settings/home_profile.h"

namespace quillmar {

namespace {

constexpr const char* kProtocolFileName = "FTP-Protokoll.txt";

}  // namespace

TSyncEngine::TSyncEngine(TSyncHost& host)
    : host_(host), statistics_(ClearedStatistics(TStatisticsView())) {}

TSyncEngine::~TSyncEngine() {
  FreeConnection();
}

void TSyncEngine::SetProfile(std::unique_ptr<THomeProfile> profile) {
  profile_ = std::move(profile);
  FileList.Clear();
  host_.ClearGrid();
  ClearStatistics();
  LastComparison = {};
  host_.UpdateCommandStates(busy_);
}

void TSyncEngine::SetBusy(bool busy) {
  busy_ = busy;
  host_.UpdateCommandStates(busy);
}

void TSyncEngine::Log(int level, const std::string& text) const {
  if (ftp_connection_ && ftp_connection_->Logger)
    ftp_connection_->Logger->Log(level, text);
}

void TSyncEngine::FreeConnection() {
  // The file logger belongs to the run logger, which goes with the connection.
  file_logger_ = nullptr;
  ftp_connection_.reset();
}

std::unique_ptr<TMultiLogger> TSyncEngine::CreateRunLogger() {
  auto logger = std::make_unique<TMultiLogger>();
  if (auto sink = host_.CreateLogSink())
    logger->AddLogger(std::move(sink));
  file_logger_ = nullptr;
  if (FileLog) {
    const std::string file_name = LogDirectory + kProtocolFileName;
    try {
      auto file_logger = std::make_unique<TFileLogger>(file_name, false);
      file_logger_ = file_logger.get();
      logger->AddLogger(std::move(file_logger));
    } catch (const EInOutError& error) {
      // The operation still runs; the log view says why the file stays empty.
      logger->Log(llError, "Protokolldatei \u201E" + file_name +
                               "\u201C kann nicht geschrieben werden: " + error.what());
    }
  }
  return logger;
}

int TSyncEngine::UpdateStatistics() {
  int actions = 0;
  statistics_ = ComputeStatistics(FileList, ThousandsSeparator, actions);
  host_.ShowStatistics(statistics_);
  return actions;
}

void TSyncEngine::ClearStatistics() {
  statistics_ = ClearedStatistics(statistics_);
  host_.ShowStatistics(statistics_);
}

void TSyncEngine::ResetProgress() {
  Counters.TotalBytes = 0;
  host_.ShowProgress(IdleProgress());
  host_.ShowCurrentFile("---");
}

void TSyncEngine::TransferProgress(std::int64_t bytes_done) {
  // A comparison and a run without transfers report progress too; they show nothing.
  if (Counters.TotalBytes == 0)
    return;
  std::string title;
  const TProgressView view =
      ComputeProgress(Counters, bytes_done, clock_(), ThousandsSeparator, title);
  host_.ShowProgress(view);
  host_.SetApplicationTitle(title);
  host_.ProcessMessages();
}

void TSyncEngine::Cancel() {
  host_.AddLogLine(llInfo, "ABBRUCH ANGEFORDERT");
  WSACancelBlockingCall();
  AbortRequested = true;
}

}  // namespace quillmar
