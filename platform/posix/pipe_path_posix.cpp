// Pipe names to socket addresses.
#include "platform/posix/pipe_path_posix.h"

#include "text/TextConvert.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform::posix {

std::string PipeDirectory() {
  const char* dir = std::getenv("NAMED_PIPE_DIR");
  return dir && *dir ? dir : "/run/pipe";
}

int SocketAddressForName(const std::string& shortName, sockaddr_un& address) {
  // A separator would let a pipe name reach outside the pipe directory.
  if (shortName.empty() || shortName.find('/') != std::string::npos ||
      shortName.find('\0') != std::string::npos || shortName == "." || shortName == "..")
    return EINVAL;
  std::string path = PipeDirectory() + "/" + shortName;
  if (path.size() >= sizeof(address.sun_path))
    return ENAMETOOLONG;
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return 0;
}

std::string ShortNameOfPipePath(const std::u16string& pipePath) {
  static const std::u16string prefix = u"\\\\.\\pipe\\";
  if (pipePath.size() <= prefix.size() || pipePath.compare(0, prefix.size(), prefix) != 0)
    return std::string();
  std::u16string name = pipePath.substr(prefix.size());
  if (name.find(u'\\') != std::u16string::npos)
    return std::string();
  return Utf16ToUtf8(name);
}

std::uint64_t MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

} // namespace platform::posix
