// Ctrl-C, Ctrl-Break and closing the console recorded as a stop request.
#include "platform/stop_request.h"

#include "platform/win32/win_support.h"

#include <atomic>

namespace platform {

namespace {

std::atomic<bool> stopRequested{false};

BOOL WINAPI RecordStop(DWORD) {
  stopRequested = true;
  return TRUE;
}

} // namespace

void InstallStopRequestHandler() {
  SetConsoleCtrlHandler(RecordStop, TRUE);
}

bool StopRequested() {
  return stopRequested;
}

} // namespace platform
