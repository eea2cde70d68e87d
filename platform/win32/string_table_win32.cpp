// The executable's STRINGTABLE resource through the real LoadStringW.
#include "platform/string_table.h"

#include "platform/win32/win_support.h"

namespace platform {

ResourceModule MainResourceModule() { return GetModuleHandleW(nullptr); }

std::vector<ResourceModule> ResourceModules() { return {MainResourceModule()}; }

int LoadStringW(ResourceModule module, unsigned id, char16_t* buffer, int bufferMax) {
  return ::LoadStringW(static_cast<HINSTANCE>(module), id, reinterpret_cast<LPWSTR>(buffer),
                       bufferMax);
}

} // namespace platform
