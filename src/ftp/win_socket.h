#pragma once

#include <cstdint>
#include <memory>

#include "ftp/channel.h"

namespace quillmar {

// What a socket is doing. Only ssListening is tested (by Accept).
enum TSocketState : std::uint8_t {
  ssIdle = 0,
  ssConnecting = 1,
  ssListening = 2,
  ssAccepting = 3,
  ssClosing = 4,
  ssSending = 5,
  ssReceiving = 6,
};

// A channel over a socket handle; socket error codes become ESocketsError with the code's name
// and text ("WSAECONNRESET: Connection reset by peer").
class TWinSocket : public TChannel {
 public:
  explicit TWinSocket(std::unique_ptr<TLogger> Logger = nullptr);
  // Closes a remaining handle without log lines; never throws.
  ~TWinSocket() override;

  // Records the code. The seven connection-gone codes (10038, 10050, 10052, 10053, 10054,
  // 10057, 10058) clear Connected. 0 and 10004 (a cancelled call) return quietly; every other
  // code raises ESocketsError.
  void SetError(std::int32_t Code) override;
  bool HasHandle() const { return Handle != -1; }

  std::int32_t Handle = -1;
  TSocketState State = ssIdle;
};

}  // namespace quillmar
