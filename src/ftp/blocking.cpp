#include "ftp/blocking.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>

#include "ftp/socket_errors.h"

namespace quillmar {

namespace {

using TClock = std::chrono::steady_clock;

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);

// The cancel target, written by SetCancelTargetThread and read by a signal handler.
std::atomic<std::atomic<bool>*> g_cancel_target{nullptr};

struct TThreadBlocking {
  std::function<void()> Hook;
  std::atomic<bool> Cancelled{false};
  int Depth = 0;
  const std::atomic<bool>* AbortFlag = nullptr;
  std::optional<TClock::time_point> Deadline;

  ~TThreadBlocking() {
    std::atomic<bool>* self = &Cancelled;
    g_cancel_target.compare_exchange_strong(self, nullptr);
  }
};

thread_local TThreadBlocking t_blocking;

// Marks the calling thread as inside a blocking call for the scope.
class TBlockingScope {
 public:
  TBlockingScope() { ++t_blocking.Depth; }
  ~TBlockingScope() { --t_blocking.Depth; }
  TBlockingScope(const TBlockingScope&) = delete;
  TBlockingScope& operator=(const TBlockingScope&) = delete;
};

std::int32_t StopCode() {
  if (t_blocking.Cancelled.load())
    return kWsaEIntr;
  if (t_blocking.AbortFlag && t_blocking.AbortFlag->load())
    return kWsaEIntr;
  if (t_blocking.Deadline && TClock::now() >= *t_blocking.Deadline)
    return kWsaETimedOut;
  return 0;
}

// The next slice: at most kBlockingSlice, and no later than the thread's deadline.
std::chrono::milliseconds NextSlice(std::optional<TClock::time_point> limit) {
  auto slice = kBlockingSlice;
  const auto now = TClock::now();
  for (const auto& end : {t_blocking.Deadline, limit}) {
    if (end) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*end - now);
      slice = std::clamp(left, std::chrono::milliseconds(0), slice);
    }
  }
  return slice;
}

void CallHook() {
  if (t_blocking.Hook)
    t_blocking.Hook();
}

}  // namespace

void SetBlockingHook(std::function<void()> Hook) {
  t_blocking.Hook = std::move(Hook);
}

void WSAUnhookBlockingHook() {}

void WSACancelBlockingCall() {
  t_blocking.Cancelled.store(true);
}

void ResetBlockingCancel() {
  t_blocking.Cancelled.store(false);
}

bool BlockingCancelled() {
  return t_blocking.Cancelled.load();
}

bool WSAIsBlocking() {
  return t_blocking.Depth > 0;
}

void SetCancelTargetThread() {
  g_cancel_target.store(&t_blocking.Cancelled);
}

void ClearCancelTargetThread() {
  std::atomic<bool>* self = &t_blocking.Cancelled;
  g_cancel_target.compare_exchange_strong(self, nullptr);
}

void RequestBlockingCancel() {
  if (std::atomic<bool>* target = g_cancel_target.load())
    target->store(true);
}

void SetThreadAbortFlag(const std::atomic<bool>* Flag) {
  t_blocking.AbortFlag = Flag;
}

TBlockingDeadline::TBlockingDeadline(std::chrono::milliseconds Limit)
    : had_previous_(t_blocking.Deadline.has_value()) {
  const auto end = TClock::now() + Limit;
  if (had_previous_) {
    previous_ = *t_blocking.Deadline;
    t_blocking.Deadline = std::min(previous_, end);
  } else {
    t_blocking.Deadline = end;
  }
}

TBlockingDeadline::~TBlockingDeadline() {
  if (had_previous_)
    t_blocking.Deadline = previous_;
  else
    t_blocking.Deadline.reset();
}

std::int32_t CheckBlockingCall() {
  if (t_blocking.Depth > 0)
    return kWsaEInProgress;
  return StopCode();
}

std::int32_t WaitForSocket(int Fd, short Events) {
  if (const std::int32_t code = CheckBlockingCall())
    return code;
  TBlockingScope scope;
  bool first = true;
  for (;;) {
    if (const std::int32_t code = StopCode())
      return code;
    // The first look does not wait, so data already there is taken without a slice.
    const auto slice = first ? std::chrono::milliseconds(0) : NextSlice(std::nullopt);
    pollfd entry{Fd, Events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
    if (ready > 0)
      return 0;
    if (ready < 0 && errno != EINTR)
      return WinsockErrorFromErrno(errno);
    if (ready == 0 && !first)
      CallHook();
    first = false;
  }
}

std::int32_t WaitBlocking(const std::function<bool(std::chrono::milliseconds)>& WaitSlice,
                          std::chrono::milliseconds Limit) {
  if (const std::int32_t code = CheckBlockingCall())
    return code;
  TBlockingScope scope;
  const auto end = TClock::now() + Limit;
  for (;;) {
    if (const std::int32_t code = StopCode())
      return code;
    if (WaitSlice(NextSlice(end)))
      return 0;
    if (TClock::now() >= end)
      return kWsaEWouldBlock;
    CallHook();
  }
}

}  // namespace quillmar
