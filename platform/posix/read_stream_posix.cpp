// Read streams with open and pread: a Linux open denies no one.
#include "platform/read_stream.h"

#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct ReadStream::Handle {
  posix::ScopedFd fd;
};

void ReadStream::ReleaseHandle::operator()(Handle* handle) const {
  delete handle;
}

std::unique_ptr<ReadStream> ReadStream::Open(const std::u16string& path) {
  HandlePtr handle(new Handle);
  // O_NONBLOCK: a FIFO of that name fails its reads instead of stalling the reader.
  handle->fd.reset(::open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!handle->fd.valid())
    return nullptr;
  // A folder opens here but is no file to read, as on Windows, where it does not open.
  struct stat info {};
  if (::fstat(handle->fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return nullptr;
  }
  return std::unique_ptr<ReadStream>(new ReadStream(std::move(handle)));
}

bool ReadStream::Size(std::uint64_t& size) {
  struct stat info {};
  if (::fstat(handle_->fd.get(), &info) != 0)
    return false;
  size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

std::size_t ReadStream::ReadAt(std::uint64_t position, void* buffer, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(handle_->fd.get(), static_cast<char*>(buffer) + done, length - done,
                          static_cast<off_t>(position + done));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

} // namespace platform
