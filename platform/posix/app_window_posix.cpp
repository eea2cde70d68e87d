// Signals in place of the message queue: SIGTERM and SIGINT are the quit message,
// SIGHUP the end of the session. Handlers only record; the host acts in TakeMessage.
#include "platform/app_window.h"
#include "platform/posix/signal_handler_posix.h"
#include "platform/session.h"

#include <clocale>
#include <csignal>

namespace platform {

namespace {

posix::SignalFlag quitPending{false};
posix::SignalFlag sessionEndPending{false};

extern "C" void RecordQuit(int) {
  quitPending.store(true);
}
extern "C" void RecordSessionEnd(int) {
  sessionEndPending.store(true);
}

class SignalWindow : public AppWindow {
public:
  explicit SignalWindow(AppWindowEvents& events) : fEvents(events) {
    posix::InstallSignalHandler(SIGTERM, RecordQuit);
    posix::InstallSignalHandler(SIGINT, RecordQuit);
    posix::InstallSignalHandler(SIGHUP, RecordSessionEnd);
  }
  ~SignalWindow() override {
    posix::RestoreDefaultSignalHandler(SIGTERM);
    posix::RestoreDefaultSignalHandler(SIGINT);
    posix::RestoreDefaultSignalHandler(SIGHUP);
  }

  TakenMessage TakeMessage() override {
    if (sessionEndPending.exchange(false))
      fEvents.SessionEnding();
    if (quitPending.exchange(false))
      return TakenMessage::kQuit;
    return TakenMessage::kNone;
  }
  void PostQuit() override { quitPending.store(true); }
  void InitializeComponentRuntime() override {}
  void CancelMouseCapture() override {}

private:
  AppWindowEvents& fEvents;
};

} // namespace

std::unique_ptr<AppWindow> AppWindow::Create(const std::u16string&, AppWindowEvents& events) {
  // The user's regional settings, as the process starts with the C locale: the log's
  // codeset and time stamps and the defines' collation follow them. Numbers stay in the
  // C locale, since nothing here formats them for people.
  std::setlocale(LC_CTYPE, "");
  std::setlocale(LC_TIME, "");
  std::setlocale(LC_COLLATE, "");
  return std::make_unique<SignalWindow>(events);
}

void SignalSessionEnd() {
  sessionEndPending.store(true);
}

} // namespace platform
