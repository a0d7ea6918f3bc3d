#pragma once

#include <string>
#include <vector>

#include "sync/file_node.h"

namespace quillmar {

// Exit codes of quillmar-cli.
inline constexpr int kExitDone = 0;           // done without errors, or nothing to do
inline constexpr int kExitEntriesFailed = 1;  // some entries failed
inline constexpr int kExitFailed = 2;         // the comparison or the login failed
inline constexpr int kExitCancelled = 3;      // Ctrl-C
inline constexpr int kExitUsage = 64;         // wrong usage or unknown profile

enum class TCliCommand { None, Help, Profiles, Compare, Sync };

struct TCommandLine {
  TCliCommand Command = TCliCommand::None;
  std::string ConfigDir;  // empty: the usual place
  std::string Profile;
  // Sync only: faPump or faSuck to carry out only those, faNoAction for every action.
  TFileAction Only = faNoAction;
  // Why the arguments were refused; empty when they were accepted.
  std::string Error;
};

// Reads the arguments after the program name. Options may stand anywhere, as "--opt VALUE" or
// "--opt=VALUE".
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The German help text of --help.
std::string UsageText();

}  // namespace quillmar
