// The clock that the last-input sources share.
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

} // namespace platform::posix
