// Signal handlers that only record that a signal came, installed the one way every POSIX
// file installs them; what the signal means is acted on later, outside the handler.
#pragma once

#include <atomic>

namespace platform::posix {

/// What a handler sets; lock-free, so the handler never waits.
using SignalFlag = std::atomic<bool>;
static_assert(SignalFlag::is_always_lock_free, "flags are set in signal handlers");

/// Installs the handler for the signal. Interrupted system calls restart, so that the
/// pipe exchange and the log writer stay unaware of signals.
void InstallSignalHandler(int signal, void (*handler)(int));

/// Gives the signal the system's default handling back.
void RestoreDefaultSignalHandler(int signal);

} // namespace platform::posix
