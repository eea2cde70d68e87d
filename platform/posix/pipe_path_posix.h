// Where a pipe lives on POSIX: a SOCK_SEQPACKET socket in $NAMED_PIPE_DIR (default
// /run/pipe).
#pragma once

#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>

namespace platform::posix {

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
