// Processor time from /proc/PID/stat: utime and stime, in clock ticks.
#include "tests/load/process_cpu.h"

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace load_test {

std::optional<std::uint64_t> ProcessCpuMicroseconds(std::uint32_t processId) {
  std::ifstream file("/proc/" + std::to_string(processId) + "/stat");
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // The command name may hold blanks and parentheses: fields count from its last ')'.
  size_t close = text.rfind(')');
  if (close == std::string::npos)
    return std::nullopt;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  std::uint64_t utime = 0, stime = 0;
  // After the name: state is field 3, utime 14, stime 15.
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14)
      utime = std::stoull(field);
    if (number == 15)
      stime = std::stoull(field);
  }
  long ticks = sysconf(_SC_CLK_TCK);
  if (!fields || ticks <= 0)
    return std::nullopt;
  return (utime + stime) * 1000000u / static_cast<std::uint64_t>(ticks);
}

} // namespace load_test
