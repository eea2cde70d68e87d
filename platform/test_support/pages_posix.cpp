// Test pages with mmap and mprotect; protections read back from /proc/self/maps.
#include "platform/test_support/pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace platform_testing {

TwoTestPages::TwoTestPages() {
  pageSize_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  void* memory =
      mmap(nullptr, 2 * pageSize_, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED)
    return;
  base_ = static_cast<std::uint8_t*>(memory);
  if (mprotect(base_ + pageSize_, pageSize_, PROT_READ) != 0) {
    munmap(base_, 2 * pageSize_);
    base_ = nullptr;
  }
}

TwoTestPages::~TwoTestPages() {
  if (base_)
    munmap(base_, 2 * pageSize_);
}

PageAccess AccessAt(const void* address) {
  auto wanted = reinterpret_cast<std::uintptr_t>(address);
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (!maps)
    return PageAccess::kOther;
  PageAccess access = PageAccess::kOther;
  char line[512];
  while (std::fgets(line, sizeof(line), maps)) {
    std::uintptr_t begin, end;
    char perms[5] = {};
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s", &begin, &end, perms) == 3 &&
        wanted >= begin && wanted < end) {
      if (std::strncmp(perms, "r-x", 3) == 0)
        access = PageAccess::kReadExecute;
      else if (std::strncmp(perms, "r--", 3) == 0)
        access = PageAccess::kReadOnly;
      break;
    }
  }
  std::fclose(maps);
  return access;
}

} // namespace platform_testing
