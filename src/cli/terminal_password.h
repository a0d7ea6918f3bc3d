#pragma once

#include <optional>
#include <string>

namespace quillmar {

// Shows `prompt` on the controlling terminal and reads one line without echo. nullopt when
// there is no terminal, at end of input, or when the read was interrupted (Ctrl-C).
std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt);

}  // namespace quillmar
