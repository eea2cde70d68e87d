// The clock and the idle arithmetic that the last-input sources share.
#include "platform/posix/idle_source_posix.h"

#include <time.h>

namespace platform::posix {

std::uint32_t BootTimeTick() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

void IdleTransitions::Start(std::uint32_t now, std::uint32_t idleMs) {
  idle_ = idleMs >= kThresholdMs;
  idledAt_ = now - idleMs + kThresholdMs;
  activeSince_ = now - idleMs;
}

void IdleTransitions::Idled(std::uint32_t now) {
  // A watch or alarm set while the user is already idle fires at once: the figure known
  // is the better one.
  if (idle_)
    return;
  idle_ = true;
  idledAt_ = now;
}

void IdleTransitions::Resumed(std::uint32_t now) {
  idle_ = false;
  activeSince_ = now;
}

std::uint32_t IdleTransitions::LastInputTick(std::uint32_t now) const {
  if (idle_)
    return idledAt_ - kThresholdMs;
  // Without the idle notification the user has been idle for less than the threshold.
  std::uint32_t elapsed = now - activeSince_;
  return now - (elapsed < kThresholdMs ? elapsed : kThresholdMs - 1);
}

} // namespace platform::posix
