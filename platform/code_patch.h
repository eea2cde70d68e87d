// Rewriting a few bytes of the program's own machine code, on x86 and x86-64.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

/// Whether the pages holding the bytes can be made writable: their protection is
/// changed and at once put back. False, with the last error code set, when the system
/// refuses.
bool CanWriteCode(const void* address, std::size_t count);

/// Copies the bytes over machine code. Each page is writable only for the copy and then
/// gets its previous protection back, so code never stays writable and executable. False,
/// with the last error code set, when a protection change fails; when making the pages
/// writable fails, nothing is written.
bool WriteCode(void* address, const void* bytes, std::size_t count);

/// The pointer cell that an indirect jump (`FF 25` and a 32-bit field) at `instruction`
/// takes its target from: the field is an absolute address on x86 and counts from the
/// next instruction on x86-64.
const void* const* IndirectJumpCell(const std::uint8_t* instruction);

} // namespace platform
