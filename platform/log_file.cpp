// The shared log's all-or-nothing writes over each system's file calls. Implementation
// here must contain only operating-system independent code.
#include "platform/log_file.h"

namespace platform {

std::unique_ptr<SharedLogFile> SharedLogFile::Adopt(HandlePtr handle) {
  return handle ? std::unique_ptr<SharedLogFile>(new SharedLogFile(std::move(handle))) : nullptr;
}

std::unique_ptr<SharedLogFile> SharedLogFile::OpenForAppend(const std::u16string& path) {
  return Adopt(OpenHandle(path, false));
}

std::unique_ptr<SharedLogFile> SharedLogFile::CreateNew(const std::u16string& path) {
  return Adopt(OpenHandle(path, true));
}

bool SharedLogFile::Write(std::string_view bytes) {
  // Others may not write while the file is open, so the end stays where it is until
  // these bytes are all written.
  std::uint64_t end = 0;
  if (!handle_ || !EndOf(*handle_, end))
    return false;
  while (!bytes.empty()) {
    std::size_t written = WriteSome(*handle_, bytes);
    if (written == 0) {
      // A full disk may take part of the bytes: cut them off again, so no torn line stays.
      CutAt(*handle_, end);
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool SharedLogFile::Close() {
  if (!handle_)
    return false;
  return CloseFile(std::move(handle_));
}

} // namespace platform
