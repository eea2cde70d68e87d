// Libraries loaded with LoadLibraryW.
#include "platform/shared_library.h"

#include "platform/win32/win_support.h"

namespace platform {

bool LibraryTraits::IsValid(Type library) {
  // Some loaders answer the invalid-handle value instead of null.
  return library != nullptr && library != INVALID_HANDLE_VALUE;
}

void LibraryTraits::Close(Type library) {
  DWORD saved = GetLastError();
  FreeLibrary(static_cast<HMODULE>(library));
  SetLastError(saved);
}

SharedLibrary SharedLibrary::Load(const char* name, std::string& whyNot) {
  // Library names are ASCII.
  std::wstring wide(name, name + std::char_traits<char>::length(name));
  HMODULE module = LoadLibraryW(wide.c_str());
  SharedLibrary library(static_cast<void*>(module));
  if (!library.Loaded())
    whyNot = std::string(name) + " cannot be loaded (error " + std::to_string(GetLastError()) + ")";
  return library;
}

void* SharedLibrary::FindSymbol(const char* name) const {
  if (!Loaded())
    return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_.get()), name));
}

} // namespace platform
