// Signals in place of the message queue: SIGTERM and SIGINT are the quit message,
// SIGHUP the end of the session. Handlers only record; the host acts in TakeMessage.
#include "platform/app_window.h"
#include "platform/session.h"

#include <atomic>
#include <clocale>
#include <csignal>

namespace platform {

namespace {

std::atomic<bool> quitPending{false};
std::atomic<bool> sessionEndPending{false};

static_assert(std::atomic<bool>::is_always_lock_free, "flags are set in signal handlers");

extern "C" void RecordQuit(int) {
  quitPending.store(true);
}
extern "C" void RecordSessionEnd(int) {
  sessionEndPending.store(true);
}

void Install(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // Restarted calls keep the pipe exchange and the log writer unaware of signals.
  action.sa_flags = SA_RESTART;
  sigaction(signal, &action, nullptr);
}

class SignalWindow : public AppWindow {
public:
  explicit SignalWindow(AppWindowEvents& events) : fEvents(events) {
    Install(SIGTERM, RecordQuit);
    Install(SIGINT, RecordQuit);
    Install(SIGHUP, RecordSessionEnd);
  }
  ~SignalWindow() override {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
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
