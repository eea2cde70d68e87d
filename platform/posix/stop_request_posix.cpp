// SIGINT and SIGTERM recorded as a stop request.
#include "platform/stop_request.h"

#include "platform/posix/signal_handler_posix.h"

#include <csignal>

namespace platform {

namespace {

posix::SignalFlag stopRequested{false};

extern "C" void RecordStop(int) {
  stopRequested.store(true);
}

} // namespace

void InstallStopRequestHandler() {
  posix::InstallSignalHandler(SIGINT, RecordStop);
  posix::InstallSignalHandler(SIGTERM, RecordStop);
}

bool StopRequested() {
  return stopRequested.load();
}

} // namespace platform
