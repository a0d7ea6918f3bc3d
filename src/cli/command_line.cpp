#include "cli/command_line.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace quillmar {
namespace {

// "--name VALUE" or "--name=VALUE" at args[i]; moves i past the value. nullopt when args[i] is
// another argument; an empty value with `missing` set when the value is absent.
std::optional<std::string> OptionValue(const std::vector<std::string>& args, std::size_t& i,
                                       std::string_view name, bool& missing) {
  const std::string& arg = args[i];
  if (arg == name) {
    if (i + 1 >= args.size()) {
      missing = true;
      return std::string();
    }
    return args[++i];
  }
  if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=')
    return arg.substr(name.size() + 1);
  return std::nullopt;
}

std::optional<TCliCommand> CommandNamed(std::string_view word) {
  if (word == "profiles")
    return TCliCommand::Profiles;
  if (word == "compare")
    return TCliCommand::Compare;
  if (word == "sync")
    return TCliCommand::Sync;
  return std::nullopt;
}

// Checks what the command needs of the positional arguments; the error text or empty.
std::string CheckPositionals(TCommandLine& line, const std::vector<std::string>& words,
                             bool only_given) {
  if (words.empty())
    return "Kein Befehl angegeben.";
  const std::optional<TCliCommand> command = CommandNamed(words[0]);
  if (!command)
    return "Unbekannter Befehl: " + words[0];
  line.Command = *command;
  const std::size_t wanted = *command == TCliCommand::Profiles ? 1 : 2;
  if (words.size() < wanted)
    return "Es fehlt der Name des Profils.";
  if (words.size() > wanted)
    return "Überzähliges Argument: " + words[wanted];
  if (wanted == 2)
    line.Profile = words[1];
  if (only_given && *command != TCliCommand::Sync)
    return "--only gilt nur für sync.";
  return std::string();
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine line;
  std::vector<std::string> words;
  bool only_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      line.Command = TCliCommand::Help;
      return line;
    }
    bool missing = false;
    if (std::optional<std::string> dir = OptionValue(args, i, "--config-dir", missing)) {
      if (missing || dir->empty()) {
        line.Error = "--config-dir braucht ein Verzeichnis.";
        return line;
      }
      line.ConfigDir = *dir;
      continue;
    }
    if (std::optional<std::string> only = OptionValue(args, i, "--only", missing)) {
      if (*only == "pump") {
        line.Only = faPump;
      } else if (*only == "suck") {
        line.Only = faSuck;
      } else {
        line.Error = "--only erwartet pump oder suck.";
        return line;
      }
      only_given = true;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      line.Error = "Unbekannte Option: " + arg;
      return line;
    }
    words.push_back(arg);
  }
  line.Error = CheckPositionals(line, words, only_given);
  if (!line.Error.empty())
    line.Command = TCliCommand::None;
  return line;
}

std::string UsageText() {
  return "Aufruf:\n"
         "  quillmar-cli [--config-dir VERZ] profiles\n"
         "  quillmar-cli [--config-dir VERZ] compare PROFIL\n"
         "  quillmar-cli [--config-dir VERZ] sync PROFIL [--only pump|suck]\n"
         "\n"
         "Befehle:\n"
         "  profiles  zeigt die Namen der Profile, einen je Zeile.\n"
         "  compare   vergleicht den lokalen Baum mit dem FTP-Server und zeigt je Datei die\n"
         "            vorgeschlagene Aktion, einen Tabulator und den Pfad.\n"
         "  sync      Vollautomatik: vergleicht und führt danach alle vorgeschlagenen Aktionen\n"
         "            aus; zu jeder Datei erscheint ihr Ergebnis.\n"
         "            --only pump führt nur die Uploads aus, --only suck nur die Downloads.\n"
         "\n"
         "Optionen:\n"
         "  --config-dir VERZ  liest die Einstellungen aus VERZ/Quillmar.ini\n"
         "  --help             zeigt diese Hilfe\n"
         "\n"
         "Das Passwort kommt aus dem Profil, sonst aus der Umgebungsvariablen\n"
         "QUILLMAR_PASSWORD, sonst aus einer Abfrage am Terminal. Das Protokoll erscheint auf\n"
         "der Standardfehlerausgabe. Strg+C bricht den Vorgang ab.\n"
         "\n"
         "Rückgabewerte:\n"
         "  0   fertig ohne Fehler, oder nichts zu tun\n"
         "  1   einzelne Dateien sind fehlgeschlagen\n"
         "  2   der Vergleich oder die Anmeldung ist fehlgeschlagen\n"
         "  3   mit Strg+C abgebrochen\n"
         "  64  falscher Aufruf oder unbekanntes Profil\n";
}

}  // namespace quillmar
