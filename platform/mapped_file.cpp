// Whole-file views over each system's mapping steps. Implementation here must contain
// only operating-system independent code.
#include "platform/mapped_file.h"

#include "platform/error_text.h"

#include <utility>

namespace platform {

MapStep MappedFile::Open(const std::u16string& path) {
  // A previous view goes first: a failed open leaves nothing mapped.
  handles_.reset();
  data_ = nullptr;
  size_ = 0;
  View view;
  MapStep failed = MapWholeFile(path, view);
  if (failed != MapStep::kNone) {
    errorCode_ = LastErrorCode();
    return failed;
  }
  handles_ = std::move(view.handles);
  data_ = view.data;
  size_ = view.size;
  errorCode_ = 0;
  return MapStep::kNone;
}

} // namespace platform
