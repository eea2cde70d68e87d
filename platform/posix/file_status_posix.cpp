// File questions answered by stat.
#include "platform/file_status.h"

#include "text/TextConvert.h"

#include <sys/stat.h>

namespace platform {

bool FileExists(const std::u16string& path) {
  struct stat status {};
  return ::stat(Utf16ToUtf8(path).c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

} // namespace platform
