#include "tests/support/x_display_posix.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace testing_support {

std::string ReadAnnouncedDisplay(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return std::string();
    if (c == '\n')
      break;
    line.push_back(c);
  }
  if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos)
    return std::string();
  // Formatted, not joined from std::string parts: GCC 12 at -O3 warns falsely of
  // overlapping copies in those.
  char name[16];
  std::snprintf(name, sizeof(name), ":%d", std::stoi(line));
  return name;
}

} // namespace testing_support
