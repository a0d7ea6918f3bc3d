#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "container/link_list.h"
#include "util/date_time.h"

namespace quillmar {

// What a run does with one file.
enum TFileAction : std::uint8_t {
  faNoAction = 0,
  faPump = 1,       // upload the local file over the remote one
  faSuck = 2,       // download the remote file over the local one
  faDelLocal = 3,   // delete the local file
  faDelRemote = 4,  // delete the remote file
  faTimeSync = 5,   // set the local file's modification time to RemoteDate
};

inline constexpr int kActionCount = 6;

// The texts of the grid's action column.
inline constexpr std::array<std::string_view, kActionCount> ActionNames = {
    "\u00B7", "Pumpen", "Saugen", "L\u00F6schen Lokal", "L\u00F6schen Remote", "Zeitsync"};

// Whether a run has to open an FTP connection for the action.
inline constexpr std::array<bool, kActionCount> ActionNeedsFtp = {false, true, true,
                                                                  false, true, false};

inline bool IsValidAction(TFileAction Action) {
  return Action < kActionCount;
}

// One file path, found locally, on the server or on both sides. A side exists when its date is
// greater than 0; sizes and names do not tell.
class TFileNode : public TListNode {
 public:
  // The local spelling when the file exists locally, else the listed name.
  std::string Name;
  // The name as the server lists it; empty while the server has no such file.
  std::string RemoteName;
  // Relative to both roots, '/'-separated with a trailing '/', empty for the root.
  std::string RelDir;
  std::int64_t LocalSize = 0;
  std::int64_t RemoteSize = 0;
  TDateTime LocalDate = 0.0;
  // On the local clock when HasTime is set.
  TDateTime RemoteDate = 0.0;
  // The listing gave hours and minutes, not a date only.
  bool HasTime = false;
  TFileAction Action = faNoAction;
  // Empty before a run; "OK" or an error text after it.
  std::string ResultText;

  bool HasLocal() const { return LocalDate > 0.0; }
  bool HasRemote() const { return RemoteDate > 0.0; }
};

}  // namespace quillmar
