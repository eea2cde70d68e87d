// The shared log on Linux: open(O_APPEND) with an exclusive flock that is never waited
// for, so a log that another writer holds counts as one that failed to open.
#include "platform/log_file.h"

#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct SharedLogFile::Handle {
  posix::ScopedFd fd;
};

void SharedLogFile::ReleaseHandle::operator()(Handle* handle) const {
  delete handle;
}

SharedLogFile::HandlePtr SharedLogFile::OpenHandle(const std::u16string& path, bool createNew) {
  HandlePtr handle(new Handle);
  // O_NONBLOCK: a FIFO of that name fails to open instead of stalling the writer;
  // regular files ignore it.
  handle->fd.reset(::open(Utf16ToUtf8(path).c_str(),
                          (createNew ? O_CREAT | O_EXCL : 0) | O_WRONLY | O_APPEND | O_CLOEXEC |
                              O_NOCTTY | O_NONBLOCK,
                          0666));
  if (!handle->fd.valid() || ::flock(handle->fd.get(), LOCK_EX | LOCK_NB) != 0)
    return nullptr;
  return handle;
}

bool SharedLogFile::EndOf(Handle& handle, std::uint64_t& end) {
  off_t position = ::lseek(handle.fd.get(), 0, SEEK_END);
  if (position < 0)
    return false;
  end = static_cast<std::uint64_t>(position);
  return true;
}

std::size_t SharedLogFile::WriteSome(Handle& handle, std::string_view bytes) {
  for (;;) {
    ssize_t written = ::write(handle.fd.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    return written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

void SharedLogFile::CutAt(Handle& handle, std::uint64_t end) {
  [[maybe_unused]] int cut = ::ftruncate(handle.fd.get(), static_cast<off_t>(end));
}

bool SharedLogFile::CloseFile(HandlePtr handle) {
  // Closing releases the lock; Linux closes the descriptor even when it reports EINTR.
  return ::close(handle->fd.release()) == 0;
}

} // namespace platform
