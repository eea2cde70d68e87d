// Code patching over the systems' page-protection calls. Implementation here must contain
// only operating-system independent code; the calls themselves are in code_patch_*.cpp.
#include "platform/code_patch.h"

#include "platform/code_pages.h"
#include "platform/error_text.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

struct PageProtection {
  std::uintptr_t page;
  code_pages::Protection protection;
};

// Puts every page back as it was, last first; false with the first failure's error code.
bool RestorePages(const std::vector<PageProtection>& pages) {
  bool restored = true;
  std::uint32_t firstError = 0;
  for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
    if (!code_pages::Restore(it->page, it->protection) && restored) {
      restored = false;
      firstError = LastErrorCode();
    }
  }
  if (!restored)
    SetLastErrorCode(firstError);
  return restored;
}

// Makes the pages of the range writable and executable (the range may share a page with
// the code doing the writing), one page at a time so that each gets its own protection
// back. On failure the pages changed so far are put back.
bool UnprotectPages(const void* address, std::size_t count, std::vector<PageProtection>& pages) {
  const std::uintptr_t pageSize = code_pages::PageSize();
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t first = start & ~(pageSize - 1);
  const std::uintptr_t last = (start + count - 1) & ~(pageSize - 1);
  for (std::uintptr_t page = first; page <= last; page += pageSize) {
    code_pages::Protection previous = 0;
    if (!code_pages::MakeWritable(page, previous)) {
      std::uint32_t error = LastErrorCode();
      RestorePages(pages);
      SetLastErrorCode(error);
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
  code_pages::FlushInstructions(address, count);
  return RestorePages(pages);
}

const void* const* IndirectJumpCell(const std::uint8_t* instruction) {
  std::int32_t field;
  std::memcpy(&field, instruction + 2, sizeof(field));
  // Only x86 and x86-64 are patched, so the pointer width tells the two apart.
  if constexpr (sizeof(void*) == 8)
    return reinterpret_cast<const void* const*>(instruction + 6 + field);
  else
    return reinterpret_cast<const void* const*>(
        static_cast<std::uintptr_t>(static_cast<std::uint32_t>(field)));
}

} // namespace platform
