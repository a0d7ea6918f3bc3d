#pragma once

#include <atomic>

namespace quillmar {

// Ctrl-C as the cancel command of a terminal run. The first SIGINT cancels the blocking socket
// call of the calling thread (registered here) and sets *abort_flag; a second one ends the
// process with the cancel exit code. Call once, from the thread that runs the operations.
void InstallInterruptHandler(std::atomic<bool>* abort_flag);
// Whether SIGINT has arrived since the handler was installed.
bool InterruptRequested();

}  // namespace quillmar
