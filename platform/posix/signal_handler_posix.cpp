// Signal handlers through sigaction.
#include "platform/posix/signal_handler_posix.h"

#include <csignal>

namespace platform::posix {

namespace {

void SetAction(int signal, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(signal, &action, nullptr);
}

} // namespace

void InstallSignalHandler(int signal, void (*handler)(int)) {
  SetAction(signal, handler, SA_RESTART);
}

void RestoreDefaultSignalHandler(int signal) {
  SetAction(signal, SIG_DFL, 0);
}

} // namespace platform::posix
