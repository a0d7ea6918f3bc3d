#include "sync/statistics.h"

#include <algorithm>
#include <clocale>

#include "util/strings.h"

namespace quillmar {
namespace {

constexpr const char* kNoValue = "---";

int Percent(std::int64_t part, std::int64_t whole) {
  if (whole <= 0)
    return 0;
  const std::int64_t p = part * 100 / whole;
  return static_cast<int>(std::clamp<std::int64_t>(p, 0, 100));
}

}  // namespace

std::string GroupDigits(std::int64_t value, std::string_view separator) {
  const bool negative = value < 0;
  std::string digits = std::to_string(value);
  if (negative)
    digits.erase(0, 1);
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0)
      out += separator;
    out += digits[i];
  }
  return negative ? "-" + out : out;
}

std::string FormatStatNumber(std::int64_t value, std::string_view separator) {
  return value == 0 ? kNoValue : GroupDigits(value, separator);
}

std::string FormatByteCount(std::int64_t value, std::string_view separator) {
  return GroupDigits(value, separator);
}

std::string LocaleThousandsSeparator() {
  const std::lconv* conv = std::localeconv();
  if (conv == nullptr || conv->thousands_sep == nullptr || *conv->thousands_sep == '\0')
    return ".";
  return conv->thousands_sep;
}

TStatisticsView ComputeStatistics(const TFileList& list, std::string_view separator, int& actions) {
  std::int64_t count[6] = {};
  std::int64_t bytes[6] = {};
  std::int64_t total = 0, local_total = 0, remote_total = 0, local_files = 0, remote_files = 0;
  for (const TFileNode* node : list.FileNodes()) {
    const int a = IsValidAction(node->Action) ? node->Action : faNoAction;
    ++total;
    ++count[a];
    bytes[a] += (a == faSuck || a == faDelRemote) ? node->RemoteSize : node->LocalSize;
    local_total += node->LocalSize;
    remote_total += node->RemoteSize;
    if (node->HasLocal())
      ++local_files;
    if (!node->RemoteName.empty())
      ++remote_files;
  }
  TStatisticsView view;
  for (int a = 0; a < 6; ++a) {
    view.ActionCount[a] = FormatStatNumber(count[a], separator);
    view.ActionBytes[a] = FormatStatNumber(bytes[a], separator);
    if (a != faTimeSync && a != faNoAction) {
      view.ActionHint[a] = FormatStatNumber(bytes[a], separator) + " Bytes";
    }
  }
  view.Files = FormatStatNumber(total, separator);
  view.FilesHint =
      "Zu übertragende Bytes: " + FormatStatNumber(bytes[faPump] + bytes[faSuck], separator);
  view.FilesLocal = FormatStatNumber(local_files, separator);
  view.FilesRemote = FormatStatNumber(remote_files, separator);
  view.BytesLocal = FormatStatNumber(local_total, separator);
  view.BytesRemote = FormatStatNumber(remote_total, separator);
  actions = static_cast<int>(total - count[faNoAction]);
  return view;
}

TStatisticsView ClearedStatistics(const TStatisticsView& previous) {
  TStatisticsView view = previous;
  view.ActionCount.fill(kNoValue);
  view.ActionBytes.fill(kNoValue);
  view.Files = view.FilesLocal = view.FilesRemote = kNoValue;
  view.BytesLocal = view.BytesRemote = kNoValue;
  return view;
}

TProgressView ComputeProgress(const TRunCounters& counters, std::int64_t bytes_done, TDateTime now,
                              std::string_view separator, std::string& title) {
  TProgressView view;
  const std::int64_t moved = counters.DoneBytes + bytes_done;
  view.CurrentPercent =
      counters.CurrentFileSize > 0 ? Percent(bytes_done, counters.CurrentFileSize) : 0;
  view.OverallPercent = Percent(moved, counters.TotalBytes);
  title = std::to_string(view.OverallPercent) + " % Quillmar";
  view.BytesTransferred =
      FormatByteCount(moved, separator) + "  /  " + FormatByteCount(counters.TotalBytes, separator);
  const TDateTime elapsed = std::max(0.0, now - counters.RunStart);
  view.TimeElapsed = FormatDateTime("HH:NN:SS", elapsed);
  const double speed = elapsed > 0 ? static_cast<double>(moved) / 1024.0 / (elapsed * 86400.0) : 0;
  view.Speed = FormatFixed(1, ",", speed) + " KByte/s";
  return view;
}

TProgressView IdleProgress() {
  TProgressView view;
  view.BytesTransferred = view.TimeElapsed = view.Speed = kNoValue;
  return view;
}

}  // namespace quillmar
