// Telling the host, from anywhere in the process, that the user's session has ended.
#pragma once

namespace platform {

/// Records the end of the session; the host acts on it at its next message handling,
/// as it does on the platform's own session-end notice. Safe in signal handlers.
void SignalSessionEnd();

} // namespace platform
