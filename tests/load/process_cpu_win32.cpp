// Processor time from GetProcessTimes, in 100 ns units.
#include "tests/load/process_cpu.h"

#include "platform/win32/win_support.h"

namespace load_test {

std::optional<std::uint64_t> ProcessCpuMicroseconds(std::uint32_t processId) {
  platform::win32::ScopedHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  FILETIME created, exited, kernel, user;
  if (!process.valid() || !GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
    return std::nullopt;
  auto value = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return (value(kernel) + value(user)) / 10;
}

} // namespace load_test
