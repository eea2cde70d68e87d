// The page-protection calls under code_patch.cpp, one implementation per system; private
// to the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::code_pages {

/// A page's protection in the system's own terms (PROT_* bits, PAGE_* values).
using Protection = std::uint32_t;

std::uintptr_t PageSize();

/// Makes one page readable, writable and executable and answers its protection before;
/// false, with the last error code set, when the system refuses.
bool MakeWritable(std::uintptr_t page, Protection& previous);

/// Gives one page a protection back; false, with the last error code set, on failure.
bool Restore(std::uintptr_t page, Protection protection);

/// Makes freshly written code visible to instruction fetch.
void FlushInstructions(const void* address, std::size_t count);

} // namespace platform::code_pages
