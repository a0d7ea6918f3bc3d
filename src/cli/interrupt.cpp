#include "cli/interrupt.h"

#include <unistd.h>

#include <csignal>

#include "cli/command_line.h"
#include "ftp/blocking.h"

namespace quillmar {
namespace {

// The handler touches only these, a lock-free atomic and the async-signal-safe cancel.
static_assert(std::atomic<bool>::is_always_lock_free);
volatile std::sig_atomic_t g_interrupts = 0;
std::atomic<bool>* g_abort_flag = nullptr;

extern "C" void OnInterrupt(int) {
  if (g_interrupts != 0) {
    constexpr char kMessage[] = "\nZweites Strg+C: Quillmar wird beendet.\n";
    (void)!::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(kExitCancelled);
  }
  g_interrupts = 1;
  RequestBlockingCancel();
  if (g_abort_flag != nullptr)
    g_abort_flag->store(true);
}

}  // namespace

void InstallInterruptHandler(std::atomic<bool>* abort_flag) {
  g_abort_flag = abort_flag;
  SetCancelTargetThread();
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a read from the terminal (the password prompt) ends with EINTR.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
}

bool InterruptRequested() {
  return g_interrupts != 0;
}

}  // namespace quillmar
