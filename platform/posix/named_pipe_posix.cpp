// The named-pipe client over SOCK_SEQPACKET Unix sockets: one connection per transaction,
// message boundaries kept by the socket.
#include "platform/named_pipe.h"

#include "platform/posix/pipe_path_posix.h"
#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>

namespace platform {

namespace {

using posix::ScopedFd;

PipeOutcome Failure(int error) {
  return PipeOutcome{false, static_cast<std::uint32_t>(error), 0};
}

/// A non-blocking connect, retried while the server's backlog is full (every instance
/// busy) until the deadline; a socket that is missing or not listening fails at once.
int ConnectWithin(const std::u16string& pipePath, std::uint32_t timeoutMs, ScopedFd& socketFd) {
  std::string name = posix::ShortNameOfPipePath(pipePath);
  if (name.empty())
    return EINVAL;
  sockaddr_un address{};
  if (int error = posix::SocketAddressForName(name, address))
    return error;
  std::uint64_t deadline = posix::MonotonicMs() + timeoutMs;
  for (;;) {
    ScopedFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid())
      return errno;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
      int flags = ::fcntl(fd.get(), F_GETFL);
      if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) < 0)
        return errno;
      socketFd = std::move(fd);
      return 0;
    }
    int error = errno;
    if (error != EAGAIN && error != EINTR)
      return error;
    std::uint64_t now = posix::MonotonicMs();
    if (now >= deadline)
      return EAGAIN;
    timespec pause{0, static_cast<long>(std::min<std::uint64_t>(deadline - now, 1)) * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

} // namespace

PipeOutcome WaitForPipeInstance(const std::u16string& pipePath, std::uint32_t timeoutMs) {
  ScopedFd probe;
  if (int error = ConnectWithin(pipePath, timeoutMs, probe))
    return Failure(error);
  // The probe is closed without sending; services ignore such empty connections.
  return PipeOutcome{true, 0, 0};
}

PipeOutcome CallPipe(const std::u16string& pipePath, std::span<const std::uint8_t> request,
                     std::span<std::uint8_t> reply, std::uint32_t timeoutMs) {
  ScopedFd connection;
  // As on Windows, the "no wait" time-out does not wait for a free instance at all.
  if (int error = ConnectWithin(pipePath, timeoutMs == kPipeNoWait ? 0 : timeoutMs, connection))
    return Failure(error);
  // Every message then arrives with the sender's credentials and a hang-up without: that
  // tells an empty reply, which a message pipe delivers as a read of 0 bytes, from none.
  int passCredentials = 1;
  if (::setsockopt(connection.get(), SOL_SOCKET, SO_PASSCRED, &passCredentials,
                   sizeof(passCredentials)) != 0)
    return Failure(errno);
  ssize_t sent;
  do
    sent = ::send(connection.get(), request.data(), request.size(), MSG_NOSIGNAL);
  while (sent < 0 && errno == EINTR);
  if (sent < 0)
    return Failure(errno);
  if (static_cast<size_t>(sent) != request.size())
    return Failure(EIO);
  iovec buffer{reply.data(), reply.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
  msghdr message{};
  message.msg_iov = &buffer;
  message.msg_iovlen = 1;
  ssize_t received;
  do {
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    received = ::recvmsg(connection.get(), &message, MSG_TRUNC);
  } while (received < 0 && errno == EINTR);
  if (received < 0)
    return Failure(errno);
  // A server that hangs up without a reply has not answered: that is no empty success.
  if (received == 0 && message.msg_controllen == 0)
    return Failure(ECONNRESET);
  // MSG_TRUNC answers the message's real length; the rest of it is gone, as with
  // ERROR_MORE_DATA.
  if (static_cast<size_t>(received) > reply.size())
    return Failure(EMSGSIZE);
  return PipeOutcome{true, 0, static_cast<std::uint32_t>(received)};
}

std::u16string PipeLocation(const std::u16string& pipePath) {
  std::string name = posix::ShortNameOfPipePath(pipePath);
  return name.empty() ? pipePath : Utf8ToUtf16(posix::PipeDirectory() + "/" + name);
}

} // namespace platform
