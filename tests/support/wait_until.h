// Waiting in tests for a condition with a deadline instead of sleeping a fixed time: as
// short as a quiet machine allows, as long as a loaded one needs.
#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

/// Asks `condition` every `pollMs` milliseconds until it holds or `timeoutMs` have passed;
/// whether it held. It is asked once more after the deadline, so a slow last poll still
/// counts, and at least once with a time-out of 0.
template <typename Condition> bool WaitUntil(Condition&& condition, int timeoutMs, int pollMs = 5) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition())
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}

} // namespace testing_support
