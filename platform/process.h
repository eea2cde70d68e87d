// Process-level operations: the pause of the main loop and the end of the process.
#pragma once

#include <cstdint>

namespace platform {

/// Suspends the calling thread for the given time. Signals do not shorten it.
void Sleep(std::uint32_t milliseconds);

/// Ends the process at once with the exit code; standard streams are flushed first.
[[noreturn]] void ExitProcess(std::uint32_t exitCode);

/// Whether a debugger watches the process; the last-chance filter then lets the
/// failure pass on to it.
bool LastChanceFilterContinuesSearch();

} // namespace platform
