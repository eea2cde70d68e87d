// Sleep, ExitProcess and the last-chance filter's answer.
#include "platform/process.h"

#include "platform/win32/win_support.h"

#include <cstdio>

namespace platform {

void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void ExitProcess(std::uint32_t exitCode) {
  std::fflush(nullptr);
  ::ExitProcess(exitCode);
}

bool LastChanceFilterContinuesSearch() {
  // UnhandledExceptionFilter answers "continue search" exactly when a debugger is
  // attached; calling it otherwise would start the system's crash reporting, which
  // must not stand in front of the report box.
  return IsDebuggerPresent() != FALSE;
}

} // namespace platform
