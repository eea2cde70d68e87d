// Where a pipe lives on POSIX: a SOCK_SEQPACKET socket in $NAMED_PIPE_DIR (default
// /run/pipe), and the descriptor wrapper the pipe files share.
#pragma once

#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform::posix {

/// Owns a file descriptor; closes it when the scope ends, keeping errno intact.
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
  void reset(int fd = -1);

private:
  int fd_ = -1;
};

/// $NAMED_PIPE_DIR, or /run/pipe when it is unset or empty.
std::string PipeDirectory();

/// The socket address for a short pipe name; 0 when it is usable, otherwise the errno
/// that explains why not (a name with a separator, a path too long for the address).
int SocketAddressForName(const std::string& shortName, sockaddr_un& address);

/// The short name of a full local pipe path "\\.\pipe\NAME"; empty when the path is not one.
std::string ShortNameOfPipePath(const std::u16string& pipePath);

/// Milliseconds of a monotonic clock, for deadlines.
std::uint64_t MonotonicMs();

} // namespace platform::posix
