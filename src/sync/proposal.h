#pragma once

#include "sync/file_list.h"
#include "sync/file_node.h"

namespace quillmar {

// Equal sizes, and the local date not later than the remote one to the minute (to the day when
// the listing gave no time). A newer remote copy of the same size counts as in step.
bool IsInSync(const TFileNode& Node);

// Assigns an action to every node, with the local tree as the master copy. Never proposes a
// local deletion or a time synchronisation. DeleteRemote turns a download of a file without
// local content into a deletion on the server.
void ProposeActions(TFileList& List, bool DeleteRemote);

// The action Node gets when the user asks for Code: Code when the sides it needs exist, else the
// present action. Does not store it.
TFileAction ChangeAction(const TFileNode& Node, TFileAction Code);

}  // namespace quillmar
