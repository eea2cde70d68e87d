// The ANSI code page on Windows: GetACP's, through WideCharToMultiByte.
#include "platform/ansi_code_page.h"

#include "platform/win32/win_support.h"

namespace platform {

std::string ToAnsiCodePage(std::u16string_view text) {
  if (text.empty())
    return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  int length = static_cast<int>(text.size());
  // No flags and no default character of our own: the code page's own stands in for
  // what it cannot represent.
  int size = WideCharToMultiByte(GetACP(), 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    return {};
  std::string result(static_cast<size_t>(size), '\0');
  size = WideCharToMultiByte(GetACP(), 0, wide, length, result.data(), size, nullptr, nullptr);
  result.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return result;
}

} // namespace platform
