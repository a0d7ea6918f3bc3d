#pragma once

#include <exception>
#include <memory>
#include <string>

#include "ftp/ftp_socket.h"
#include "log/multi_logger.h"
#include "sync/engine.h"

namespace quillmar {

// Reaches the engine's connection, matching list and clock, so that a test can run one step
// of a comparison (a remote scan, the clock comparison) on its own.
class TSyncEngineProbe {
 public:
  static void Connect(TSyncEngine& engine, const std::string& host_port, bool passive = true) {
    engine.ftp_connection_ = std::make_unique<TFtpSocket>(engine.CreateRunLogger());
    engine.ftp_connection_->SetPeer(host_port);
    engine.ftp_connection_->User = "user";
    engine.ftp_connection_->Password = "secret";
    engine.ftp_connection_->Connect("");
    engine.ftp_connection_->SetPassive(passive);
  }
  // A connection that is not connected, for the run logger of a scan.
  static void CreateConnection(TSyncEngine& engine) {
    engine.ftp_connection_ = std::make_unique<TFtpSocket>(engine.CreateRunLogger());
  }
  static void Disconnect(TSyncEngine& engine) {
    // A cancelled test may leave the connection unable to say goodbye.
    try {
      if (engine.ftp_connection_ && engine.ftp_connection_->Connected)
        engine.ftp_connection_->Quit();
    } catch (const std::exception&) {
    }
    if (engine.ftp_connection_)
      engine.ftp_connection_->Close();
    engine.FreeConnection();
  }
  // Matches the remote scan against `unmatched` until EndMatching.
  static void BeginMatching(TSyncEngine& engine, TFileList& unmatched) {
    engine.unmatched_ = &unmatched;
    engine.unmatched_index_ = std::make_unique<TFileIndex>(unmatched);
  }
  static void EndMatching(TSyncEngine& engine) {
    engine.unmatched_index_.reset();
    engine.unmatched_ = nullptr;
  }
  static void SetClock(TSyncEngine& engine, TDateTime (*clock)()) { engine.clock_ = clock; }
};

}  // namespace quillmar
