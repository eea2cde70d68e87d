// Executable path and modules of code addresses from the module list.
#include "platform/module.h"

#include "platform/win32/win_support.h"

namespace platform {

namespace {

std::u16string ModuleFileName(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0)
      return {};
    if (length < buffer.size())
      return win32::FromWide(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

} // namespace

std::u16string OwnModuleFileName() { return ModuleFileName(nullptr); }

ModuleOfCode FindModuleOfAddress(const void* address) {
  ModuleOfCode result;
  HMODULE module = nullptr;
  if (address == nullptr ||
      !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module))
    return result;
  result.found = true;
  result.base = reinterpret_cast<std::uintptr_t>(module);
  result.path = ModuleFileName(module);
  return result;
}

} // namespace platform
