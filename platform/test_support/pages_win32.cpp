// Test pages with VirtualAlloc and VirtualProtect; protections read back with VirtualQuery.
#include "platform/test_support/pages.h"

#include "platform/win32/win_support.h"

namespace platform_testing {

TwoTestPages::TwoTestPages() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  pageSize_ = system.dwPageSize;
  base_ = static_cast<std::uint8_t*>(
      VirtualAlloc(nullptr, 2 * pageSize_, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ));
  DWORD previous;
  if (base_ && !VirtualProtect(base_ + pageSize_, pageSize_, PAGE_READONLY, &previous)) {
    VirtualFree(base_, 0, MEM_RELEASE);
    base_ = nullptr;
  }
}

TwoTestPages::~TwoTestPages() {
  if (base_)
    VirtualFree(base_, 0, MEM_RELEASE);
}

PageAccess AccessAt(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(address, &info, sizeof(info)) == 0)
    return PageAccess::kOther;
  switch (info.Protect) {
  case PAGE_EXECUTE_READ:
    return PageAccess::kReadExecute;
  case PAGE_READONLY:
    return PageAccess::kReadOnly;
  default:
    return PageAccess::kOther;
  }
}

} // namespace platform_testing
