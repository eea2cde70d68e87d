// The one includer of <windows.h>, and the handle wrappers the win32 files share.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/unique_handle.h"

#include <string>

namespace platform::win32 {

inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string FromWide(const wchar_t* text, size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

inline std::u16string FromWide(const wchar_t* text) {
  return text ? FromWide(text, wcslen(text)) : std::u16string();
}

struct HandleTraits {
  using Type = HANDLE;
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) {
    DWORD saved = GetLastError();
    CloseHandle(handle);
    SetLastError(saved);
  }
};

/// Owns a kernel handle; closes it when the scope ends, keeping the last error code intact.
using ScopedHandle = UniqueHandle<HandleTraits>;

} // namespace platform::win32
