// Feeds fuzzer-chosen control-connection bytes, in fuzzer-chosen pieces and with the odd socket
// error, through reply assembly, the reply test and the reply error.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "ftp/channel_errors.h"
#include "ftp/ftp_socket.h"
#include "ftp/socket_errors.h"
#include "log/logger.h"

namespace {

using namespace quillmar;

class TNullLogger : public TLogger {
 public:
  void WriteLine(int, std::string_view line) override { Characters += line.size(); }
  std::size_t Characters = 0;
};

class TFuzzSocket : public TFtpSocket {
 public:
  TFuzzSocket(FuzzedDataProvider& input, std::unique_ptr<TLogger> logger)
      : TFtpSocket(std::move(logger)), input_(input) {
    Connected = true;
  }

 protected:
  long ReceiveBytes(char* buffer, std::size_t size, std::int32_t& error) override {
    if (input_.remaining_bytes() == 0)
      return 0;
    switch (input_.ConsumeIntegralInRange<int>(0, 15)) {
      case 0:
        error = kWsaEIntr;
        return -1;
      case 1:
        error = kWsaEConnReset;
        return -1;
      default:
        break;
    }
    const std::size_t wanted = input_.ConsumeIntegralInRange<std::size_t>(1, 64);
    const std::string chunk = input_.ConsumeBytesAsString(std::min(wanted, size));
    std::memcpy(buffer, chunk.data(), chunk.size());
    return static_cast<long>(chunk.size());
  }
  long SendBytes(const char*, std::size_t count, std::int32_t&) override {
    return static_cast<long>(count);
  }

 private:
  FuzzedDataProvider& input_;
};

// A reply that was read ends in CR LF and is no longer than the text limit allows.
void CheckReply(const std::string& reply) {
  if (reply.empty())
    return;
  if (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0 ||
      reply.size() > kMaxReplyLength + kReceiveBlockSize)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  auto logger = std::make_unique<TNullLogger>();
  logger->Mode = input.ConsumeIntegralInRange<std::uint8_t>(0, 4);
  TFuzzSocket socket(input, std::move(logger));
  for (int step = 0; step < 16 && input.remaining_bytes() > 0; ++step) {
    try {
      switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
          CheckReply(socket.ReadReply(socket.RecvBuffer));
          break;
        case 1:
          socket.GetReply();
          if (socket.Reply.IsEmpty() || socket.Reply[0].empty() || socket.Reply[0][0] != '2')
            socket.RaiseReplyError();
          break;
        case 2:
          socket.CurrentDir();
          break;
        default:
          socket.ChangeDir(input.ConsumeRandomLengthString(16));
          break;
      }
    } catch (const EChannelError&) {
      // Reply and socket errors are the expected outcome of bad input.
    }
    if (!socket.Connected)
      break;
  }
  return 0;
}
