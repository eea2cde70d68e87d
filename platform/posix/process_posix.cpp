// Sleeping through signals and ending the process without running static destructors.
#include "platform/process.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace platform {

void Sleep(std::uint32_t milliseconds) {
  timespec remaining{static_cast<time_t>(milliseconds / 1000),
                     static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal only records itself; the pause goes on until its time is up.
  while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}

void ExitProcess(std::uint32_t exitCode) {
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode));
}

bool LastChanceFilterContinuesSearch() {
  return false;
}

} // namespace platform
