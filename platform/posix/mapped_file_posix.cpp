// Whole-file read-only views with open and mmap.
#include "platform/mapped_file.h"

#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct MappedFile::Handles {
  int fd = -1;
  void* view = MAP_FAILED;
  size_t length = 0;

  ~Handles() {
    if (view != MAP_FAILED)
      munmap(view, length);
    if (fd >= 0)
      close(fd);
  }
};

MappedFile::MappedFile() = default;
MappedFile::~MappedFile() = default;

MapStep MappedFile::Open(const std::u16string& path) {
  handles_.reset();
  data_ = nullptr;
  size_ = 0;
  auto handles = std::make_unique<Handles>();
  handles->fd = open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (handles->fd < 0) {
    errorCode_ = static_cast<std::uint32_t>(errno);
    return MapStep::kOpen;
  }
  struct stat info {};
  // There is no mapping object here; the size check stands in for its creation, and an
  // empty file fails it as CreateFileMappingW fails on one.
  if (fstat(handles->fd, &info) != 0) {
    errorCode_ = static_cast<std::uint32_t>(errno);
    return MapStep::kMapping;
  }
  if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
    errorCode_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return MapStep::kMapping;
  }
  handles->length = static_cast<size_t>(info.st_size);
  handles->view = mmap(nullptr, handles->length, PROT_READ, MAP_SHARED, handles->fd, 0);
  if (handles->view == MAP_FAILED) {
    errorCode_ = static_cast<std::uint32_t>(errno);
    return MapStep::kView;
  }
  data_ = static_cast<const unsigned char*>(handles->view);
  size_ = handles->length;
  errorCode_ = 0;
  handles_ = std::move(handles);
  return MapStep::kNone;
}

} // namespace platform
