// The listening side of the SOCK_SEQPACKET pipe stand-in: the socket in the pipe
// directory, its clients and their credentials.
#include "platform/pipe_server.h"

#include "platform/error_text.h"
#include "platform/posix/pipe_path_posix.h"
#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

using posix::ScopedFd;

/// Waits for the descriptor to become readable; false on time-out (errno ETIMEDOUT).
bool WaitReadable(int fd, std::uint32_t timeoutMs) {
  pollfd entry{fd, POLLIN, 0};
  std::uint64_t deadline = posix::MonotonicMs() + timeoutMs;
  for (;;) {
    std::uint64_t now = posix::MonotonicMs();
    int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
    int ready = ::poll(&entry, 1, left);
    if (ready > 0)
      return true;
    if (ready == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    if (errno != EINTR)
      return false;
  }
}

/// Makes the directory and its missing parents.
bool MakeDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return false;
    if (slash == std::string::npos)
      return true;
  }
}

class PosixPipeConnection : public PipeConnection {
public:
  explicit PosixPipeConnection(ScopedFd fd) : fd_(std::move(fd)) {}

  bool ReadRequest(std::vector<std::uint8_t>& request, std::uint32_t timeoutMs) override {
    request.clear();
    if (!WaitReadable(fd_.get(), timeoutMs))
      return false;
    // Peek at the length first, so a request of any size is read whole.
    char probe;
    ssize_t length = ::recv(fd_.get(), &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (length < 0)
      return errno == ECONNRESET; // a client that hung up at once sent nothing
    if (length == 0)
      return true;
    request.resize(static_cast<size_t>(length));
    ssize_t received = ::recv(fd_.get(), request.data(), request.size(), MSG_DONTWAIT);
    if (received != length) {
      request.clear();
      errno = received < 0 ? errno : EIO;
      return false;
    }
    return true;
  }

  bool WriteReply(std::span<const std::uint8_t> reply) override {
    // A reply larger than the default socket buffer must still go out as one message.
    int wanted = static_cast<int>(reply.size()) * 2 + 4096;
    int current = 0;
    socklen_t size = sizeof(current);
    if (::getsockopt(fd_.get(), SOL_SOCKET, SO_SNDBUF, &current, &size) == 0 && current < wanted)
      ::setsockopt(fd_.get(), SOL_SOCKET, SO_SNDBUF, &wanted, sizeof(wanted));
    ssize_t sent;
    do
      sent = ::send(fd_.get(), reply.data(), reply.size(), MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(reply.size());
  }

  std::string PeerSession() override {
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(fd_.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
      return "unknown";
    return "uid " + std::to_string(credentials.uid) + " pid " + std::to_string(credentials.pid);
  }

private:
  ScopedFd fd_;
};

class PosixPipeServer : public PipeServer {
public:
  PosixPipeServer(ScopedFd fd, std::string path, ino_t inode)
      : fd_(std::move(fd)), path_(std::move(path)), inode_(inode) {}
  ~PosixPipeServer() override { StopListening(); }

  std::unique_ptr<PipeConnection> Accept(std::uint32_t timeoutMs) override {
    if (!fd_.valid() || !WaitReadable(fd_.get(), timeoutMs))
      return nullptr;
    ScopedFd client(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid())
      return nullptr;
    return std::make_unique<PosixPipeConnection>(std::move(client));
  }

  void StopListening() override {
    if (!fd_.valid())
      return;
    // Only our own socket is removed: a later server may have taken the name meanwhile.
    struct stat there {};
    if (::stat(path_.c_str(), &there) == 0 && there.st_ino == inode_)
      ::unlink(path_.c_str());
    fd_.reset();
  }

private:
  ScopedFd fd_;
  std::string path_;
  ino_t inode_;
};

} // namespace

std::unique_ptr<PipeServer> PipeServer::Create(const std::u16string& shortName) {
  sockaddr_un address{};
  if (int error = posix::SocketAddressForName(Utf16ToUtf8(shortName), address)) {
    SetLastErrorCode(static_cast<std::uint32_t>(error));
    return nullptr;
  }
  if (!MakeDirectories(posix::PipeDirectory()))
    return nullptr;
  ScopedFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
  if (!fd.valid())
    return nullptr;
  const sockaddr* where = reinterpret_cast<const sockaddr*>(&address);
  if (::bind(fd.get(), where, sizeof(address)) != 0) {
    if (errno != EADDRINUSE)
      return nullptr;
    // A socket file is there: a live server keeps it, a stale one left by a killed
    // server is replaced.
    ScopedFd other(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (other.valid() && ::connect(other.get(), where, sizeof(address)) == 0) {
      errno = EADDRINUSE;
      return nullptr;
    }
    if (errno != ECONNREFUSED) {
      errno = EADDRINUSE;
      return nullptr;
    }
    if (::unlink(address.sun_path) != 0 || ::bind(fd.get(), where, sizeof(address)) != 0)
      return nullptr;
  }
  // Any user's agent may report; the socket's access is what the directory allows.
  ::chmod(address.sun_path, 0666);
  // Connections wait here while the service is busy, closed presence probes included
  // (two per report): a full queue fails an agent's exchange, so take all the system allows.
  if (::listen(fd.get(), SOMAXCONN) != 0)
    return nullptr;
  // The socket file's own inode tells later whether the name is still ours.
  struct stat bound {};
  if (::stat(address.sun_path, &bound) != 0)
    return nullptr;
  return std::make_unique<PosixPipeServer>(std::move(fd), address.sun_path, bound.st_ino);
}

} // namespace platform
