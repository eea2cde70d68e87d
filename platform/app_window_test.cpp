// The host's window and message queue: a posted quit taken once, and the end of the
// session handed to the host at the next message handling.
#include "platform/app_window.h"

#include "platform/session.h"

#include <gtest/gtest.h>

namespace {

using platform::TakenMessage;

struct SessionEnded {};

class RecordingEvents : public platform::AppWindowEvents {
public:
  // The host ends the process here; the test leaves TakeMessage instead.
  [[noreturn]] void SessionEnding() override { throw SessionEnded{}; }
  void SettingsChanged() override {}
  void MessageFailed(std::exception_ptr) override { ++failures; }
  int failures = 0;
};

/// Takes messages until the queue is empty; how many quits were among them.
int QuitsUntilEmpty(platform::AppWindow& window) {
  int quits = 0;
  // Whatever the system posted at the window's start is taken along.
  for (int i = 0; i < 1000; ++i) {
    TakenMessage taken = window.TakeMessage();
    if (taken == TakenMessage::kNone)
      return quits;
    quits += taken == TakenMessage::kQuit;
  }
  ADD_FAILURE() << "the queue never ran empty";
  return quits;
}

TEST(AppWindowTest, PostedQuitIsTakenOnce) {
  RecordingEvents events;
  auto window = platform::AppWindow::Create(u"SA platform test", events);
  ASSERT_TRUE(window);
  EXPECT_EQ(QuitsUntilEmpty(*window), 0);
  window->PostQuit();
  EXPECT_EQ(QuitsUntilEmpty(*window), 1);
  EXPECT_EQ(window->TakeMessage(), TakenMessage::kNone);
  EXPECT_EQ(events.failures, 0);
}

TEST(AppWindowTest, SessionEndSignalledAnywhereIsHandedOverAtTheNextTake) {
  RecordingEvents events;
  auto window = platform::AppWindow::Create(u"SA platform test", events);
  ASSERT_TRUE(window);
  QuitsUntilEmpty(*window);
  platform::SignalSessionEnd();
  EXPECT_THROW(window->TakeMessage(), SessionEnded);
  // Handed over once.
  EXPECT_EQ(QuitsUntilEmpty(*window), 0);
}

} // namespace
