// Feeds arbitrary bytes to the listing parser, as a hostile or broken server could send them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "container/link_list.h"
#include "ftp/ftp_file.h"
#include "ftp/listing_parser.h"
#include "util/date_time.h"

namespace {

// A fixed "now" keeps runs reproducible; the first input byte picks the month so the
// current-year rule is exercised on both sides of every month.
quillmar::TDateTime FuzzNow(std::uint8_t selector) {
  return quillmar::EncodeDate(2024, 1 + selector % 12, 15) + 0.5;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const quillmar::TDateTime now = FuzzNow(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

  quillmar::TLinkList list;
  try {
    quillmar::ParseListingText(text, list, now);
  } catch (const quillmar::EConvertError&) {
    // An impossible date or time is a reported outcome, not a fault.
  }
  for (const quillmar::TFtpFile* file : list.Nodes<quillmar::TFtpFile>()) {
    if (file->Name.empty() || file->Size < 0)
      __builtin_trap();
  }

  try {
    quillmar::TFtpFile file(text, text, now);
    if (file.Size < 0)
      __builtin_trap();
  } catch (const quillmar::EConvertError&) {
  }
  return 0;
}
