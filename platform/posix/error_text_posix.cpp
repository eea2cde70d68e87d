// Error codes are errno values; their texts come from strerror.
#include "platform/error_text.h"

#include "text/TextConvert.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::uint32_t LastErrorCode() {
  return static_cast<std::uint32_t>(errno);
}

void SetLastErrorCode(std::uint32_t code) {
  errno = static_cast<int>(code);
}

std::u16string SystemErrorText(std::uint32_t code) {
  char buffer[256];
  // The GNU strerror_r may answer a static text instead of filling the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof(buffer));
  return Utf8ToUtf16(text ? text : "");
}

} // namespace platform
