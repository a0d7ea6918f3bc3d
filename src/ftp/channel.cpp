#include "ftp/channel.h"

#include <utility>

#include "ftp/channel_errors.h"

namespace quillmar {

TChannel::TChannel(std::unique_ptr<TLogger> Logger) : Logger(std::move(Logger)) {}

TChannel::~TChannel() = default;

void TChannel::SetError(std::int32_t Code) {
  LastError = Code;
  if (Code != 0)
    RaiseError<EChannelError>("Communications Error No. " + std::to_string(Code));
}

void TChannel::Log(int Level, std::string_view Message) {
  if (Logger)
    Logger->Log(Level, Message);
}

}  // namespace quillmar
