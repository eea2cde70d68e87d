// A stop request from the user (Ctrl-C, SIGINT, SIGTERM; on Windows also a quit message
// posted to the main thread) for programs that poll for it from that thread.
#pragma once

namespace platform {

/// Installs the handler that records a stop request; call once at program start.
void InstallStopRequestHandler();

/// Whether a stop was requested since the handler was installed.
bool StopRequested();

} // namespace platform
