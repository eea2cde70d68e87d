// Code patching with mprotect; the previous protection of each page is read from
// /proc/self/maps, since mprotect does not report it.
#include "platform/code_patch.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

namespace {

struct PageProtection {
  std::uintptr_t page;
  int protection;
};

std::uintptr_t PageSize() {
  return static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
}

// The protection of the mapping that holds the page, or -1 with errno set.
int CurrentProtection(std::uintptr_t page) {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr)
    return -1;
  int protection = -1;
  char line[512];
  while (std::fgets(line, sizeof(line), maps) != nullptr) {
    std::uintptr_t begin = 0, end = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s", &begin, &end, perms) != 3)
      continue;
    if (page < begin || page >= end)
      continue;
    protection = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
                 (perms[2] == 'x' ? PROT_EXEC : 0);
    break;
  }
  std::fclose(maps);
  if (protection < 0)
    errno = EFAULT;
  return protection;
}

// Puts every page back as it was, last first; false with errno of the first failure.
bool RestorePages(const std::vector<PageProtection>& pages) {
  bool restored = true;
  int firstError = 0;
  for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
    if (mprotect(reinterpret_cast<void*>(it->page), PageSize(), it->protection) != 0 && restored) {
      restored = false;
      firstError = errno;
    }
  }
  if (!restored)
    errno = firstError;
  return restored;
}

// Makes the pages of the range writable (and executable: the range may share a page
// with the code doing the writing). On failure the pages changed so far are put back.
bool UnprotectPages(const void* address, std::size_t count, std::vector<PageProtection>& pages) {
  std::uintptr_t first = reinterpret_cast<std::uintptr_t>(address) & ~(PageSize() - 1);
  std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(address) + count - 1) & ~(PageSize() - 1);
  for (std::uintptr_t page = first; page <= last; page += PageSize()) {
    int previous = CurrentProtection(page);
    if (previous < 0 || mprotect(reinterpret_cast<void*>(page), PageSize(),
                                 PROT_READ | PROT_WRITE | PROT_EXEC) != 0) {
      int error = errno;
      RestorePages(pages);
      errno = error;
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
  __builtin___clear_cache(static_cast<char*>(address), static_cast<char*>(address) + count);
  return RestorePages(pages);
}

const void* const* IndirectJumpCell(const std::uint8_t* instruction) {
  std::int32_t field;
  std::memcpy(&field, instruction + 2, sizeof(field));
#if defined(__x86_64__)
  return reinterpret_cast<const void* const*>(instruction + 6 + field);
#else
  return reinterpret_cast<const void* const*>(
      static_cast<std::uintptr_t>(static_cast<std::uint32_t>(field)));
#endif
}

} // namespace platform
