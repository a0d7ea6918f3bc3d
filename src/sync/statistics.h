#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sync/file_list.h"
#include "sync/host.h"
#include "util/date_time.h"

namespace quillmar {

// The digits of a non-negative count with `separator` between groups of three ("1.234.567").
std::string GroupDigits(std::int64_t value, std::string_view separator);
// Counts and byte totals of the statistics box: "---" for 0.
std::string FormatStatNumber(std::int64_t value, std::string_view separator);
// The byte counts of the progress box: "0" for 0.
std::string FormatByteCount(std::int64_t value, std::string_view separator);

// The thousands separator of the user's numeric locale; "." where the locale has none, since the
// program speaks German.
std::string LocaleThousandsSeparator();

// Counts the list per action. `actions` receives the number of entries with an action.
TStatisticsView ComputeStatistics(const TFileList& list, std::string_view separator, int& actions);
// Every value "---"; the tool-tips keep their last texts.
TStatisticsView ClearedStatistics(const TStatisticsView& previous);

// The counters of a run that the progress display reads.
struct TRunCounters {
  std::int64_t TotalBytes = 0;       // bytes to transfer in this run; 0 switches progress off
  std::int64_t DoneBytes = 0;        // bytes of the entries finished so far
  std::int64_t CurrentFileSize = 0;  // size of the file in transfer
  TDateTime RunStart = 0;            // when the transfers began
};

// The progress box and the application title for `bytes_done` of the current transfer at `now`.
TProgressView ComputeProgress(const TRunCounters& counters, std::int64_t bytes_done, TDateTime now,
                              std::string_view separator, std::string& title);
// The idle progress box: bars at 0, labels "---".
TProgressView IdleProgress();

}  // namespace quillmar
