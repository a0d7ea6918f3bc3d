// quillmar-cli: the profiles, the comparison and the run of the desktop program, for scripts.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "cli/command_line.h"
#include "cli/interrupt.h"
#include "cli/stderr_logger.h"
#include "settings/global_keys.h"
#include "settings/home_profile.h"
#include "settings/profile_store.h"
#include "settings/program_paths.h"
#include "sync/engine.h"
#include "sync/statistics.h"
#include "util/string_list.h"

namespace quillmar {
namespace {

int RunProfiles() {
  TStringList names;
  ReadProfileNames(names);
  for (const TStringList::Item& item : names)
    std::printf("%s\n", item.Text.c_str());
  return kExitDone;
}

// The stored profile of that name (letter case ignored), or nullptr.
std::unique_ptr<THomeProfile> LoadProfile(const std::string& name) {
  TStringList names;
  ReadProfileNames(names);
  const int index = names.IndexOf(name);
  if (index < 0)
    return nullptr;
  return THomeProfile::Create(names[index]);
}

int CountActions(const TFileList& list) {
  int count = 0;
  for (const TFileNode* node : list.FileNodes()) {
    if (node->Action != faNoAction)
      ++count;
  }
  return count;
}

// The exit code of a comparison that did not complete, 0 when it did.
int ComparisonExit(const TSyncEngine& engine, TCliHost& host) {
  host.NoteInterrupt();
  if (InterruptRequested())
    return kExitCancelled;
  return engine.LastComparison.Completed ? kExitDone : kExitFailed;
}

int RunCompare(TSyncEngine& engine, TCliHost& host) {
  engine.RunComparison(false);
  if (const int code = ComparisonExit(engine, host))
    return code;
  for (const TFileNode* node : engine.FileList.FileNodes()) {
    const TFileAction action = IsValidAction(node->Action) ? node->Action : faNoAction;
    std::printf("%s\t%s%s\n", std::string(ActionNames[action]).c_str(), node->RelDir.c_str(),
                node->Name.c_str());
  }
  return kExitDone;
}

// "Vollautomatik": the comparison, then the run of what it proposed. The two steps are taken
// here one by one, so that a Ctrl-C between them stops the run before it connects.
int RunSync(TSyncEngine& engine, TCliHost& host, TFileAction only) {
  engine.RunComparison(false);
  if (const int code = ComparisonExit(engine, host))
    return code;
  if (CountActions(engine.FileList) == 0)
    return kExitDone;
  engine.ExecuteActions(only, false);
  host.NoteInterrupt();
  if (InterruptRequested())
    return kExitCancelled;
  if (engine.LastRun.ConnectFailed)
    return kExitFailed;
  return engine.LastRun.ErrorCount > 0 ? kExitEntriesFailed : kExitDone;
}

int RunWithProfile(const TCommandLine& line) {
  std::unique_ptr<THomeProfile> profile = LoadProfile(line.Profile);
  if (!profile) {
    WriteToStderr("Unbekanntes Profil: " + line.Profile + "\n");
    return kExitUsage;
  }
  TCliHost host;
  SetMessageBoxHandler(&host);
  TSyncEngine engine(host);
  host.Attach(engine);
  engine.FileLog = ProgramIni().ReadSpecBool(kSpecFileLog);
  engine.LogLocalDirs = ProgramIni().ReadSpecBool(kSpecLogLocalDirs);
  engine.LogDirectory = ConfigDir();
  // Only the separator is taken from the user's locale; number texts elsewhere expect "C".
  std::setlocale(LC_NUMERIC, "");
  engine.ThousandsSeparator = LocaleThousandsSeparator();
  std::setlocale(LC_NUMERIC, "C");
  engine.SetProfile(std::move(profile));
  InstallInterruptHandler(&engine.AbortRequested);

  const int code = line.Command == TCliCommand::Compare ? RunCompare(engine, host)
                                                        : RunSync(engine, host, line.Only);
  std::fflush(stdout);
  SetMessageBoxHandler(nullptr);
  return code;
}

int Run(const TCommandLine& line) {
  if (!line.ConfigDir.empty()) {
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::absolute(line.ConfigDir, error);
    ::setenv("QUILLMAR_CONFIG_DIR", (error ? line.ConfigDir : dir.string()).c_str(), 1);
  }
  InitProgramIni();
  const int code = line.Command == TCliCommand::Profiles ? RunProfiles() : RunWithProfile(line);
  ShutdownProgramIni();
  return code;
}

}  // namespace
}  // namespace quillmar

int main(int argc, char** argv) {
  using namespace quillmar;
  const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (line.Command == TCliCommand::Help) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitDone;
  }
  if (line.Command == TCliCommand::None) {
    WriteToStderr("quillmar-cli: " + line.Error + "\n\n" + UsageText());
    return kExitUsage;
  }
  try {
    return Run(line);
  } catch (const std::exception& error) {
    WriteToStderr(std::string("quillmar-cli: ") + error.what() + "\n");
    return kExitFailed;
  }
}
