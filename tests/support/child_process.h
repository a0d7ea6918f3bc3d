#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quillmar::testing {

// A program started by a test and ended with it. The child runs in a process group of its own
// (servers that fork a process per session are ended as a whole) and receives SIGKILL when the
// thread that started it dies, so a crashed test leaves no server behind.
class TChildProcess {
 public:
  // argv[0] is the program's path. The child's stderr, and its stdout unless captured, go to
  // log_path (appended).
  TChildProcess(std::vector<std::string> argv, const std::string& log_path, bool capture_stdout);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // One line of the captured stdout without its line end; nullopt at end of output or when no
  // line arrives in time.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
  // Whether the child has ended; reaps it.
  bool HasExited();
  // SIGTERM to the group, SIGKILL after `grace`; waits for the child. Idempotent.
  void Stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  bool reaped_ = false;
  std::string pending_;
};

}  // namespace quillmar::testing
