// Code patching with VirtualProtect, one page at a time so that each page gets its own
// previous protection back.
#include "platform/code_patch.h"

#include "platform/win32/win_support.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

struct PageProtection {
  std::uintptr_t page;
  DWORD protection;
};

std::uintptr_t PageSize() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

// Puts every page back as it was, last first; false with the first failure's error.
bool RestorePages(const std::vector<PageProtection>& pages) {
  DWORD firstError = ERROR_SUCCESS;
  for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
    DWORD ignored;
    if (!VirtualProtect(reinterpret_cast<void*>(it->page), 1, it->protection, &ignored) &&
        firstError == ERROR_SUCCESS)
      firstError = GetLastError();
  }
  if (firstError != ERROR_SUCCESS)
    SetLastError(firstError);
  return firstError == ERROR_SUCCESS;
}

// Makes the pages of the range writable and executable (the range may share a page with
// the code doing the writing). On failure the pages changed so far are put back.
bool UnprotectPages(const void* address, std::size_t count, std::vector<PageProtection>& pages) {
  const std::uintptr_t pageSize = PageSize();
  std::uintptr_t first = reinterpret_cast<std::uintptr_t>(address) & ~(pageSize - 1);
  std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(address) + count - 1) & ~(pageSize - 1);
  for (std::uintptr_t page = first; page <= last; page += pageSize) {
    DWORD previous;
    if (!VirtualProtect(reinterpret_cast<void*>(page), 1, PAGE_EXECUTE_READWRITE, &previous)) {
      DWORD error = GetLastError();
      RestorePages(pages);
      SetLastError(error);
      return false;
    }
    pages.push_back({page, previous});
  }
  return true;
}

} // namespace

bool CanWriteCode(const void* address, std::size_t count) {
  if (count == 0)
    return true;
  std::vector<PageProtection> pages;
  return UnprotectPages(address, count, pages) && RestorePages(pages);
}

bool WriteCode(void* address, const void* bytes, std::size_t count) {
  if (count == 0)
    return true;
  std::vector<PageProtection> pages;
  if (!UnprotectPages(address, count, pages))
    return false;
  std::memcpy(address, bytes, count);
  FlushInstructionCache(GetCurrentProcess(), address, count);
  return RestorePages(pages);
}

const void* const* IndirectJumpCell(const std::uint8_t* instruction) {
  std::int32_t field;
  std::memcpy(&field, instruction + 2, sizeof(field));
#if defined(_M_X64) || defined(__x86_64__)
  return reinterpret_cast<const void* const*>(instruction + 6 + field);
#else
  return reinterpret_cast<const void* const*>(
      static_cast<std::uintptr_t>(static_cast<std::uint32_t>(field)));
#endif
}

} // namespace platform
