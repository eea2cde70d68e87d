// The descriptor wrapper of the POSIX platform files: every file that owns a descriptor
// holds it in one of these.
#pragma once

#include <cerrno>
#include <unistd.h>

namespace platform::posix {

/// Owns a file descriptor; closes it when the scope ends, keeping errno intact so that a
/// failure's code survives the clean-up.
class ScopedFd {
public:
  ScopedFd() = default;
  explicit ScopedFd(int fd) : fd_(fd) {}
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedFd() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      int saved = errno;
      ::close(fd_);
      errno = saved;
    }
    fd_ = fd;
  }

private:
  int fd_ = -1;
};

} // namespace platform::posix
