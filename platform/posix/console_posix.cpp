// Command output on POSIX: UTF-8 bytes on the standard descriptors.
#include "platform/console.h"

#include "text/TextConvert.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

bool WriteText(OutputStream stream, const std::u16string& text) {
  const std::string bytes = Utf16ToUtf8(text);
  const int fd = stream == OutputStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

bool UseStartingConsole() {
  // Every program gets the descriptors of the process that started it.
  return ::fcntl(STDOUT_FILENO, F_GETFD) != -1;
}

} // namespace platform
