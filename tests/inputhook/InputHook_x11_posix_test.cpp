// The idle time source for real: an Xvfb server of the test's own with xdotool giving
// input, a display that goes away, no display at all, and a libxcb.so.1 without the
// functions the source calls.
#include "common/Scheduler/Utils/InputHook.h"
#include "common/Scheduler/Utils/InputHookSource.h"
#include "platform/app_window.h"
#include "platform/input_idle.h"
#include "tests/inputhook/session_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace inputhook_test;

namespace {

struct SessionEnded {};

class ThrowingEvents : public platform::AppWindowEvents {
public:
  [[noreturn]] void SessionEnding() override { throw SessionEnded{}; }
  void SettingsChanged() override {}
  void MessageFailed(std::exception_ptr) override {}
};

// The tests that start the unit in this process take an X11 session whatever the
// session that runs them.
class InputHookX11Test : public testing::Test {
protected:
  void SetUp() override {
    for (const char* name : {"WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_SESSION_TYPE",
                             "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"})
      unsetenv(name);
  }
  void TearDown() override { unsetenv("DISPLAY"); }
};

TEST_F(InputHookX11Test, IdleGrowsUntilInputAndTheLostDisplayEndsTheSession) {
  auto started = TestXServer::Start();
  ASSERT_TRUE(started) << "no Xvfb server answered";
  TestXServer& server = *started;
  setenv("DISPLAY", server.Display().c_str(), 1);
  ASSERT_TRUE(InitInputHook());
  EXPECT_STREQ(InputIdleSourceName(), "x11");

  // Idle time grows while nothing happens, read twice a second as the agent reads it.
  // A loaded machine's X servers can see a stray event now and then, so a quiet stretch
  // gets three chances.
  std::uint32_t idle = 0;
  for (int attempt = 0; attempt < 3 && idle < 2; ++attempt) {
    ASSERT_TRUE(server.MoveMouse());
    for (int reading = 0; reading < 6; ++reading) {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      idle = GetInputIdleSeconds();
    }
  }
  EXPECT_GE(idle, 2u);
  EXPECT_LE(idle, 10u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);

  // Input brings it back to 0 as soon as the server has told of it.
  ASSERT_TRUE(server.MoveMouse());
  for (int reading = 0; reading < 40 && idle != 0; ++reading) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    idle = GetInputIdleSeconds();
  }
  EXPECT_EQ(idle, 0u);

  // The server goes: the reading answers 0, the process lives on, and the host hears
  // of the end of the session at its next message handling.
  ThrowingEvents events;
  auto window = platform::AppWindow::Create(u"test", events);
  EXPECT_EQ(window->TakeMessage(), platform::TakenMessage::kNone);
  server.Stop();
  EXPECT_EQ(GetInputIdleSeconds(), 0u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);
  EXPECT_THROW(window->TakeMessage(), SessionEnded);
  DoneInputHook();
}

/// The descriptors this process has open.
size_t OpenDescriptors() {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

TEST_F(InputHookX11Test, SourceReportsTheLostDisplayOnEveryLaterQueryAndFreesIt) {
  auto started = TestXServer::Start();
  ASSERT_TRUE(started) << "no Xvfb server answered";
  TestXServer& server = *started;
  size_t descriptors = OpenDescriptors();
  platform::IdleSourceChoice choice =
      platform::LastInputSource::Load({{"DISPLAY", server.Display()}});
  auto& source = choice.source;
  ASSERT_TRUE(source);
  ASSERT_TRUE(source->FindLastInputFunction());
  std::uint32_t tick = 0;
  ASSERT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kAnswered);
  EXPECT_LE(static_cast<std::uint32_t>(source->TickCount() - tick), 60000u);
  server.Stop();
  EXPECT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kSessionGone);
  EXPECT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kSessionGone);
  // The lost connection is freed with the source, its socket too.
  source.reset();
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST(InputHookX11ProbeTest, NoDisplayReadsZero) {
  // Test tuple <environment, standard error>: without a display the agent says why,
  // outside any desktop session as in an X11 session whose display cannot be had.
  const std::string noBus = "; no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no "
                            "$XDG_RUNTIME_DIR/bus)\n";
  struct Case {
    Environment environment;
    std::string err;
  } cases[] = {
      {{},
       "SchedulerAgent: idle time unknown, reported as 0: no X display (DISPLAY is not set)" +
           noBus},
      {{{"DISPLAY", ":59999"}},
       "SchedulerAgent: idle time unknown, reported as 0: cannot open the X display "
       "\":59999\"" +
           noBus},
      {{{"XDG_SESSION_TYPE", "x11"}},
       "SchedulerAgent: idle time unknown, reported as 0: no X display (DISPLAY is not set)" +
           noBus},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    Finished probe = RunToEnd(START_PROBE, {}, SessionEnvironment(c.environment));
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out, "source none\nseconds 0 minutes 0\n");
    EXPECT_EQ(probe.err, c.err);
  }
}

TEST(InputHookX11ProbeTest, LibraryWithoutTheIdleFunctionFailsTheStart) {
  Finished probe =
      RunToEnd(START_PROBE, {},
               SessionEnvironment({{"LD_LIBRARY_PATH", FAKE_XCB_DIR}, {"DISPLAY", ":59999"}}));
  EXPECT_EQ(probe.exitCode, 217);
  EXPECT_EQ(probe.out, "EAssertionFailed: Failed to find GetLastInputInfo in DLL! "
                       "(common\\Scheduler\\Utils\\InputHook, line 165)\n"
                       "started units: 0\n");
  EXPECT_EQ(probe.err, "SchedulerAgent: libxcb.so.1 lacks xcb_connection_has_error\n");
}

} // namespace
