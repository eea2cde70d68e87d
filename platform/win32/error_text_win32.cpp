// Error codes are GetLastError values; their texts come from the system message table.
#include "platform/error_text.h"

#include "platform/win32/win_support.h"

namespace platform {

std::uint32_t LastErrorCode() { return GetLastError(); }

void SetLastErrorCode(std::uint32_t code) { SetLastError(code); }

std::u16string SystemErrorText(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  // 0x3300: allocate buffer, ignore inserts, from system, argument array.
  DWORD length = FormatMessageW(0x3300, nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0,
                                nullptr);
  std::u16string text = length && buffer ? win32::FromWide(buffer, length) : std::u16string();
  if (buffer)
    LocalFree(buffer);
  return text;
}

} // namespace platform
