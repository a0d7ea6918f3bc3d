#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace quillmar::testing {

// A TCP port on 127.0.0.1 that was free a moment ago: bound to port 0, read, released. Another
// process may take it before it is used, so callers retry on a clash.
int PickFreeLoopbackPort();

// Connects to 127.0.0.1:port and returns what the server sends first (its greeting line), or
// nullopt when nobody accepts or nothing arrives in time.
std::optional<std::string> ReadLoopbackGreeting(int port, std::chrono::milliseconds timeout);

}  // namespace quillmar::testing
