#include <cmath>
#include <exception>
#include <string>

#include "ftp/ftp_file.h"
#include "ftp/ftp_socket.h"
#include "settings/home_profile.h"
#include "sync/engine.h"
#include "util/strings.h"

namespace quillmar {

namespace {

constexpr const char* kTestFileText =
    "Timeslip-Test by Quillmar. This file can be deleted.\r\n\r\n";

// The date-time with seconds and milliseconds dropped.
TDateTime WholeMinute(TDateTime value) {
  int hour, minute, second, msec;
  DecodeTime(value, hour, minute, second, msec);
  return std::floor(value) + EncodeTime(hour, minute, 0, 0);
}

}  // namespace

TDateTime TSyncEngine::MeasureTimeSlip() {
  const std::string& test_filename = profile_->TestFilename;
  const std::string test_path = FileList.RemoteRoot + TrimChars(test_filename, "/", true, false);
  const std::string test_name = test_filename.substr(test_filename.rfind('/') + 1);

  const TDateTime t0 = clock_();
  try {
    ftp_connection_->StoreText(test_path, kTestFileText);
  } catch (const std::exception&) {
    Log(llError, "Kann Datei f\u00FCr Uhrenvergleich nicht anlegen.");
    return 0;
  }

  TDateTime remote = t0;
  if (profile_->ListTestFileOnly)
    ftp_connection_->List(test_path, "");
  else
    ftp_connection_->List(test_path.substr(0, test_path.rfind('/') + 1), "");
  {
    TLinkList entries;
    ftp_connection_->ReadListing(entries);
    for (const TFtpFile* entry : entries.Nodes<TFtpFile>()) {
      if (entry->Name == test_name || entry->Name == test_path)
        remote = entry->DateTime;
    }
  }
  ftp_connection_->DeleteFile(test_path);

  int hour, minute, second, msec;
  DecodeTime(remote, hour, minute, second, msec);
  // A listing with minutes only is compared with the local time cut to its minute.
  if (second != 0)
    return t0 - remote;
  return WholeMinute(t0) - remote;
}

std::string TimeSlipCaption(TDateTime offset) {
  const std::string minutes = FormatFixed(0, ",", offset * 1440.0);
  if (minutes == "0" || minutes == "-0")
    return "L = R";
  if (minutes.front() == '-')
    return "L = R\u2013" + minutes.substr(1) + " min";
  return "L = R+" + minutes + " min";
}

}  // namespace quillmar
