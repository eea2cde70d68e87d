// Page protection with VirtualProtect, which reports the protection it replaces.
#include "platform/code_pages.h"

#include "platform/win32/win_support.h"

namespace platform::code_pages {

std::uintptr_t PageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

bool MakeWritable(std::uintptr_t page, Protection& previous) {
  DWORD replaced = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(page), 1, PAGE_EXECUTE_READWRITE, &replaced))
    return false;
  previous = replaced;
  return true;
}

bool Restore(std::uintptr_t page, Protection protection) {
  DWORD ignored;
  return VirtualProtect(reinterpret_cast<void*>(page), 1, protection, &ignored) != 0;
}

void FlushInstructions(const void* address, std::size_t count) {
  FlushInstructionCache(GetCurrentProcess(), address, count);
}

} // namespace platform::code_pages
