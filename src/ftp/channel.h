#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "log/logger.h"

namespace quillmar {

// An abstract byte channel: knows its last error, whether it is connected, and an optional
// logger that it owns. Errors leave as exceptions after they have been logged.
class TChannel {
 public:
  explicit TChannel(std::unique_ptr<TLogger> Logger = nullptr);
  virtual ~TChannel();
  TChannel(const TChannel&) = delete;
  TChannel& operator=(const TChannel&) = delete;

  // Records the code; raises EChannelError "Communications Error No. <code>" unless it is 0.
  virtual void SetError(std::int32_t Code);
  virtual void Connect(const std::string& Argument) = 0;
  virtual void Close() = 0;
  virtual void Write(const char* Buffer, std::size_t Count) = 0;
  // The bytes that have arrived; empty when there are none to return.
  virtual std::string Read() = 0;

  // Logs Message at llError, then throws E(Message).
  template <typename E>
  [[noreturn]] void RaiseError(const std::string& Message) {
    Log(llError, Message);
    throw E(Message);
  }
  void Log(int Level, std::string_view Message);
  void WriteStr(std::string_view S) { Write(S.data(), S.size()); }

  std::int32_t LastError = 0;
  std::unique_ptr<TLogger> Logger;
  bool Connected = false;
};

}  // namespace quillmar
