#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace quillmar {

// The blocking model of the socket layer.
//
// Sockets are non-blocking underneath. Every blocking operation (connect, accept, send, receive,
// name look-up, and the wait for an active-mode transfer worker) waits in slices of at most
// kBlockingSlice. Between slices it calls the calling thread's blocking hook, if one is set,
// and checks the thread's cancel flag. A cancelled operation fails with 10004 (WSAEINTR).
//
// The cancel is sticky: once WSACancelBlockingCall (or RequestBlockingCancel) has hit a thread,
// every further blocking call on that thread fails at once with 10004 until ResetBlockingCancel.
// So a cancel that lands between two socket calls of one transfer is not lost. Callers that
// start a new operation (a comparison, a run) reset it first.
//
// Hooks and cancel flags are per thread; a worker thread has neither unless it sets them, and
// the cancel of one thread never reaches another.

inline constexpr std::chrono::milliseconds kBlockingSlice{50};
// A limit for WaitBlocking that is never reached.
inline constexpr std::chrono::milliseconds kWaitForever = std::chrono::hours(24 * 365 * 10);

// Installs the calling thread's hook (an empty function removes it). The desktop program lets
// pending window events through in it; WSACancelBlockingCall may be called from inside it.
void SetBlockingHook(std::function<void()> Hook);
// Kept for callers that restore the default blocking behaviour after a connection; the hook set
// with SetBlockingHook stays in place, since it belongs to the window, not to the connection.
void WSAUnhookBlockingHook();

// Cancels the calling thread's blocking call in progress and every later one (sticky).
void WSACancelBlockingCall();
// Clears the calling thread's cancel, so its blocking calls wait again.
void ResetBlockingCancel();
// Whether the calling thread's cancel is set.
bool BlockingCancelled();
// True while the calling thread is inside a blocking call, i.e. when reached from its hook.
bool WSAIsBlocking();

// For a terminal front end: the calling thread becomes the one that RequestBlockingCancel hits.
void SetCancelTargetThread();
void ClearCancelTargetThread();
// Async-signal-safe (may be called from a SIGINT handler): cancels the registered thread as
// WSACancelBlockingCall would from inside it. Does nothing when no thread is registered.
void RequestBlockingCancel();

// While set, the calling thread's blocking calls also fail with 10004 once *Flag is true. A
// worker passes its terminate flag, so that setting the flag ends its wait within one slice.
void SetThreadAbortFlag(const std::atomic<bool>* Flag);

// Bounds the calling thread's blocking calls in its scope: past the deadline they fail with
// 10060 (WSAETIMEDOUT). Scopes nest; the earlier deadline applies.
class TBlockingDeadline {
 public:
  explicit TBlockingDeadline(std::chrono::milliseconds Limit);
  ~TBlockingDeadline();
  TBlockingDeadline(const TBlockingDeadline&) = delete;
  TBlockingDeadline& operator=(const TBlockingDeadline&) = delete;

 private:
  std::chrono::steady_clock::time_point previous_;
  bool had_previous_;
};

// The building blocks of the socket operations.
//
// 0 when the calling thread may start a blocking call now, else the code it fails with: 10036
// when one is already in progress on this thread (a call from inside the hook, as nested
// blocking calls failed on the original platform), 10004 when cancelled, 10060 past a deadline.
std::int32_t CheckBlockingCall();
//
// Waits until `fd` is ready for `Events` (poll bits). Returns 0 when it is (or has an error or
// hang-up that the following call will report), else 10004, 10060 or the mapped poll error.
std::int32_t WaitForSocket(int Fd, short Events);

// Waits until `WaitSlice(slice)` returns true; WaitSlice waits at most `slice` itself. Returns 0
// when the condition was met, 10035 (WSAEWOULDBLOCK) when `Limit` passed without it, else the
// code of CheckBlockingCall.
std::int32_t WaitBlocking(const std::function<bool(std::chrono::milliseconds)>& WaitSlice,
                          std::chrono::milliseconds Limit);

}  // namespace quillmar
