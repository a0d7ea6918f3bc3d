#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

namespace quillmar::bench {

// Best wall times of `ours` and `theirs` over `repeats` rounds, in seconds. The two alternate,
// so that a load from elsewhere on the machine weighs on both alike; `reset` runs untimed
// before each run.
inline std::pair<double, double> BestSeconds(int repeats, const std::function<void()>& reset,
                                             const std::function<void()>& ours,
                                             const std::function<void()>& theirs) {
  using Clock = std::chrono::steady_clock;
  double best[2] = {1e300, 1e300};
  for (int i = 0; i < repeats; ++i) {
    for (int side = 0; side < 2; ++side) {
      reset();
      const auto start = Clock::now();
      (side == 0 ? ours : theirs)();
      best[side] =
          std::min(best[side], std::chrono::duration<double>(Clock::now() - start).count());
    }
  }
  return {best[0], best[1]};
}

}  // namespace quillmar::bench
