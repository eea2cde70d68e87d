// Page protection with mprotect; a page's previous protection is read from
// /proc/self/maps, since mprotect does not report it.
#include "platform/code_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>

namespace platform::code_pages {

namespace {

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

} // namespace

std::uintptr_t PageSize() {
  return static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
}

bool MakeWritable(std::uintptr_t page, Protection& previous) {
  int current = CurrentProtection(page);
  if (current < 0 ||
      mprotect(reinterpret_cast<void*>(page), PageSize(), PROT_READ | PROT_WRITE | PROT_EXEC) != 0)
    return false;
  previous = static_cast<Protection>(current);
  return true;
}

bool Restore(std::uintptr_t page, Protection protection) {
  return mprotect(reinterpret_cast<void*>(page), PageSize(), static_cast<int>(protection)) == 0;
}

void FlushInstructions(const void* address, std::size_t count) {
  char* begin = static_cast<char*>(const_cast<void*>(address));
  __builtin___clear_cache(begin, begin + count);
}

} // namespace platform::code_pages
