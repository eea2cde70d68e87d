// The system's own error codes and their texts.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// The calling thread's last error code (GetLastError on Windows, errno elsewhere).
std::uint32_t LastErrorCode();
void SetLastErrorCode(std::uint32_t code);

/// The system's message text for an error code, as the system gives it (not stripped).
std::u16string SystemErrorText(std::uint32_t code);

} // namespace platform
