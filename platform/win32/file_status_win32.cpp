// File questions answered by the file's attributes.
#include "platform/file_status.h"

#include "platform/win32/win_support.h"

namespace platform {

bool FileExists(const std::u16string& path) {
  DWORD attributes = GetFileAttributesW(win32::Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace platform
