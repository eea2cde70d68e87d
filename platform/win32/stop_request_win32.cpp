// Ctrl-C, Ctrl-Break, closing the console and a quit message posted to the main thread
// recorded as a stop request.
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
  // The first peek gives the thread its message queue, so that a quit can be posted to it
  // (a program without a console of its own gets no Ctrl-C).
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
}

bool StopRequested() {
  MSG message;
  if (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
    stopRequested = true;
  return stopRequested;
}

} // namespace platform
