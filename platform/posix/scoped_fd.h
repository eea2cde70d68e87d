// The descriptor wrapper of the POSIX platform files: every file that owns a descriptor
// holds it in one of these.
#pragma once

#include "platform/unique_handle.h"

#include <cerrno>
#include <unistd.h>

namespace platform::posix {

struct FdTraits {
  using Type = int;
  static constexpr int Invalid() { return -1; }
  static bool IsValid(int fd) { return fd >= 0; }
  static void Close(int fd) {
    int saved = errno;
    ::close(fd);
    errno = saved;
  }
};

/// Owns a file descriptor; closes it when the scope ends, keeping errno intact.
using ScopedFd = UniqueHandle<FdTraits>;

} // namespace platform::posix
