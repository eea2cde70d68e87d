// The shared log on Linux: open(O_APPEND) with an exclusive flock that is never waited
// for, so a log that another writer holds counts as one that failed to open.
#include "platform/log_file.h"

#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

struct SharedLogFile::Handle {
  int fd = -1;
  ~Handle() {
    if (fd >= 0)
      ::close(fd);
  }
};

namespace {

std::unique_ptr<SharedLogFile::Handle> OpenLocked(const std::u16string& path, int flags) {
  auto handle = std::make_unique<SharedLogFile::Handle>();
  // O_NONBLOCK: a FIFO of that name fails to open instead of stalling the writer;
  // regular files ignore it.
  handle->fd = ::open(Utf16ToUtf8(path).c_str(),
                      flags | O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
  if (handle->fd < 0)
    return nullptr;
  if (::flock(handle->fd, LOCK_EX | LOCK_NB) != 0)
    return nullptr;
  return handle;
}

} // namespace

SharedLogFile::SharedLogFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

SharedLogFile::~SharedLogFile() = default;

std::unique_ptr<SharedLogFile> SharedLogFile::OpenForAppend(const std::u16string& path) {
  auto handle = OpenLocked(path, 0);
  return handle ? std::unique_ptr<SharedLogFile>(new SharedLogFile(std::move(handle))) : nullptr;
}

std::unique_ptr<SharedLogFile> SharedLogFile::CreateNew(const std::u16string& path) {
  auto handle = OpenLocked(path, O_CREAT | O_EXCL);
  return handle ? std::unique_ptr<SharedLogFile>(new SharedLogFile(std::move(handle))) : nullptr;
}

bool SharedLogFile::Write(std::string_view bytes) {
  if (handle_->fd < 0)
    return false;
  // The lock is held, so the end stays where it is until these bytes are all written.
  off_t end = ::lseek(handle_->fd, 0, SEEK_END);
  if (end < 0)
    return false;
  while (!bytes.empty()) {
    ssize_t written = ::write(handle_->fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0) {
      // A full disk may take part of the bytes: cut them off again, so no torn line
      // stays. Should that fail as well, nothing more can be done.
      [[maybe_unused]] int cut = ::ftruncate(handle_->fd, end);
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool SharedLogFile::Close() {
  if (handle_->fd < 0)
    return false;
  int fd = handle_->fd;
  handle_->fd = -1;
  // Closing releases the lock; Linux closes the descriptor even when it reports EINTR.
  return ::close(fd) == 0;
}

} // namespace platform
