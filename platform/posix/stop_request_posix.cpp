// SIGINT and SIGTERM recorded as a stop request.
#include "platform/stop_request.h"

#include <csignal>

namespace platform {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RecordStop(int) {
  stopRequested = 1;
}

} // namespace

void InstallStopRequestHandler() {
  struct sigaction action {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
  return stopRequested != 0;
}

} // namespace platform
