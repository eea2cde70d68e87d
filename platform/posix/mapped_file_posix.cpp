// Whole-file read-only views with open and mmap.
#include "platform/mapped_file.h"

#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace platform {

struct MappedFile::Handles {
  posix::ScopedFd fd;
  void* view = MAP_FAILED;
  size_t length = 0;

  ~Handles() {
    // The view goes before the descriptor that backs it.
    if (view != MAP_FAILED)
      munmap(view, length);
  }
};

void MappedFile::ReleaseHandles::operator()(Handles* handles) const {
  delete handles;
}

MapStep MappedFile::MapWholeFile(const std::u16string& path, View& view) {
  HandlesPtr handles(new Handles);
  handles->fd.reset(open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!handles->fd.valid())
    return MapStep::kOpen;
  struct stat info {};
  // There is no mapping object here; the size check stands in for its creation, and an
  // empty file fails it as CreateFileMappingW fails on one.
  if (fstat(handles->fd.get(), &info) != 0)
    return MapStep::kMapping;
  if (!S_ISREG(info.st_mode) || info.st_size <= 0) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return MapStep::kMapping;
  }
  handles->length = static_cast<size_t>(info.st_size);
  handles->view = mmap(nullptr, handles->length, PROT_READ, MAP_SHARED, handles->fd.get(), 0);
  if (handles->view == MAP_FAILED)
    return MapStep::kView;
  view.data = static_cast<const unsigned char*>(handles->view);
  view.size = handles->length;
  view.handles = std::move(handles);
  return MapStep::kNone;
}

} // namespace platform
