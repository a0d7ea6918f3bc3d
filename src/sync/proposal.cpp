#include "sync/proposal.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "util/date_time.h"

namespace quillmar {

namespace {

constexpr std::int64_t kMsecsPerDay = 86400000;
constexpr std::int64_t kMsecsPerMinute = 60000;
// 10000-01-01: from here on the year no longer has four digits.
constexpr std::int64_t kFirstDayOfYear10000 = 2958466;

// The date-time as whole milliseconds, rounded exactly as FormatDateTime rounds before it drops
// the seconds. False where the formatted text would not have a fixed width (negative values,
// years past 9999) or the value is no number; the caller then compares the texts themselves.
bool FormattedMsecs(TDateTime value, std::int64_t& msecs) {
  if (!(value >= 0.0 && value < static_cast<double>(kFirstDayOfYear10000)))
    return false;
  msecs = std::llround(value * static_cast<double>(kMsecsPerDay));
  return msecs / kMsecsPerDay < kFirstDayOfYear10000;
}

// Whether FormatDateTime(picture, local) <= FormatDateTime(picture, remote), with the picture
// "YYYYMMDDHHNN" or "YYYYMMDD". Fixed-width digit texts order like the minute (or day) counts
// they show, so in the normal range the counts are compared without building the texts.
bool LocalNotLater(TDateTime local, TDateTime remote, bool to_the_minute) {
  std::int64_t local_ms = 0;
  std::int64_t remote_ms = 0;
  if (FormattedMsecs(local, local_ms) && FormattedMsecs(remote, remote_ms)) {
    const std::int64_t unit = to_the_minute ? kMsecsPerMinute : kMsecsPerDay;
    return local_ms / unit <= remote_ms / unit;
  }
  const char* picture = to_the_minute ? "YYYYMMDDHHNN" : "YYYYMMDD";
  return FormatDateTime(picture, local) <= FormatDateTime(picture, remote);
}

TFileAction Propose(const TFileNode& node, bool delete_remote) {
  if (IsInSync(node))
    return faNoAction;
  if (node.LocalDate > node.RemoteDate)
    return faPump;
  if (node.LocalDate > 0.0 && node.LocalDate < node.RemoteDate)
    return faSuck;
  // No local date, or both dates exactly equal.
  if (node.LocalSize > 0)
    return faPump;
  return delete_remote ? faDelRemote : faSuck;
}

}  // namespace

bool IsInSync(const TFileNode& Node) {
  return Node.LocalSize == Node.RemoteSize &&
         LocalNotLater(Node.LocalDate, Node.RemoteDate, Node.HasTime);
}

void ProposeActions(TFileList& List, bool DeleteRemote) {
  TFileNode* node = nullptr;
  List.StartIteration(node);
  while (List.Iterate(node))
    node->Action = Propose(*node, DeleteRemote);
}

TFileAction ChangeAction(const TFileNode& Node, TFileAction Code) {
  const TFileAction old = Node.Action;
  // A code outside the enumeration would reach the run as an unknown action.
  if (!IsValidAction(Code))
    return old;
  TFileAction candidate = Code;
  if ((Code == faPump || Code == faDelLocal || Code == faTimeSync) && !Node.HasLocal()) {
    candidate = old;
  }
  if ((candidate == faSuck || candidate == faDelRemote || candidate == faTimeSync) &&
      !Node.HasRemote()) {
    candidate = old;
  }
  return candidate;
}

}  // namespace quillmar
