#pragma once

#include <string>
#include <string_view>

#include "settings/profile.h"

namespace quillmar {

// The directory of the running executable, ending in "/".
std::string ProgramDir();

// The directory of the INI file and the protocol log, ending in "/": QUILLMAR_CONFIG_DIR when
// set, else the executable's directory when it is writable, else $XDG_CONFIG_HOME/quillmar/ or
// ~/.config/quillmar/. A directory that is missing is created.
std::string ConfigDir();
// The choice of ConfigDir from its inputs; an empty `program_dir` means "unknown".
std::string ChooseConfigDir(std::string_view override_dir, std::string_view program_dir,
                            std::string_view xdg_config_home, std::string_view home);

inline constexpr const char* kIniFileName = "Quillmar.ini";
// ConfigDir() + "Quillmar.ini": one name, so the desktop program and quillmar-cli share it.
std::string IniFilePath();

// The one settings store of the process: created at start-up before any window, freed at the
// end. ProgramIni() before InitProgramIni() is a programming error (std::logic_error).
void InitProgramIni();
void InitProgramIni(std::string path);
TProfile& ProgramIni();
bool ProgramIniReady();
void ShutdownProgramIni();

}  // namespace quillmar
