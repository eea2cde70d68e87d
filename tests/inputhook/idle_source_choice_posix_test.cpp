// Which source the idle time comes from in which session, without the compositors that
// offer one: an X server beside a Wayland session, Wayland displays that are no
// compositor or offer no idle protocol, and session libraries that are absent or
// incomplete. The probe prints the source it started with; the agent is run for real
// where what matters is that it keeps running.
#include "tests/agent/AgentFixture.h"
#include "tests/inputhook/session_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace inputhook_test;
using testing_support::ScopedTempDir;

namespace {

const std::string kUnknown = "SchedulerAgent: idle time unknown, reported as 0: ";
const std::string kNoBus =
    "no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no $XDG_RUNTIME_DIR/bus)";
const std::string kNoMutter = "org.gnome.Mutter.IdleMonitor has no owner on the session bus";

/// The idle seconds of the probe's only reading; -1 when it printed none.
long ProbeSeconds(const std::string& out) {
  size_t at = out.find("seconds ");
  return at == std::string::npos ? -1 : std::stol(out.substr(at + 8));
}

/// Whether this process may run a command in a mount namespace of its own.
bool CanHideLibraries() {
  static const bool can =
      !FindProgram("unshare").empty() && RunToEnd("unshare", {"--mount", "true"}).exitCode == 0;
  return can;
}

/// The arguments of `unshare` that run `command` where the libraries named are missing.
std::vector<std::string> WithoutLibraries(const std::string& scratch,
                                          const std::vector<std::string>& sonames,
                                          const std::vector<std::string>& command) {
  std::vector<std::string> arguments = {"--mount", "--propagation",   "private",
                                        "sh",      WITHOUT_LIBRARIES, scratch};
  arguments.insert(arguments.end(), sonames.begin(), sonames.end());
  arguments.push_back("--");
  arguments.insert(arguments.end(), command.begin(), command.end());
  return arguments;
}

TEST(IdleSourceChoiceTest, WaylandSessionNeverReadsTheXServer) {
  auto xserver = TestXServer::Start();
  ASSERT_TRUE(xserver) << "no Xvfb server answered";
  ScopedTempDir runtime;
  NotACompositor hangsUp(runtime / "wayland-0", NotACompositor::Manner::kHangsUp);
  // Nobody has touched the X server for a while: its reading would be seconds.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));

  // Test tuple <session, what the standard error says>: every Wayland sign keeps the X
  // reading out; only an X11 session reads it, even beside a nested compositor's wayland-0.
  const std::string display = xserver->Display();
  const std::string closed =
      "the Wayland display \"" + runtime / "wayland-0" + "\" closed the connection";
  struct Case {
    Environment session;
    std::string why; // empty: the X reading is taken
  } cases[] = {
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", runtime.path()}}, closed},
      {{{"XDG_RUNTIME_DIR", runtime.path()}}, closed},
      {{{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", runtime / "none"}},
       "a Wayland session (XDG_SESSION_TYPE=wayland) without a Wayland display: WAYLAND_DISPLAY "
       "is not set and there is no $XDG_RUNTIME_DIR/wayland-0"},
      {{{"WAYLAND_DISPLAY", "wayland-0"}},
       "WAYLAND_DISPLAY=wayland-0 is relative and XDG_RUNTIME_DIR is not set"},
      {{{"XDG_SESSION_TYPE", "x11"}, {"XDG_RUNTIME_DIR", runtime.path()}}, ""},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.why.empty() ? "X11 session" : c.why);
    c.session.push_back({"DISPLAY", display});
    Finished probe = RunToEnd(START_PROBE, {}, SessionEnvironment(c.session));
    EXPECT_EQ(probe.exitCode, 0);
    if (c.why.empty()) {
      EXPECT_EQ(probe.out.substr(0, 11), "source x11\n");
      EXPECT_GE(ProbeSeconds(probe.out), 2);
      EXPECT_EQ(probe.err, "SchedulerAgent: idle time from x11\n");
    } else {
      EXPECT_EQ(probe.out, "source none\nseconds 0 minutes 0\n");
      EXPECT_EQ(probe.err, kUnknown + c.why + "; " + kNoBus + "\n");
    }
  }
}

TEST(IdleSourceChoiceTest, WaylandDisplayWithoutIdleProtocolReadsZero) {
  ScopedTempDir runtime;
  SessionBus bus(runtime.path());
  ASSERT_FALSE(bus.Address().empty()) << "no dbus-daemon";
  NotACompositor silent(runtime / "silent", NotACompositor::Manner::kSilent);
  NotACompositor hangsUp(runtime / "hangs-up", NotACompositor::Manner::kHangsUp);
  std::unique_ptr<testing_support::ChildProcess> weston;
  if (std::string program = FindProgram("weston"); !program.empty()) {
    weston = std::make_unique<testing_support::ChildProcess>(
        program,
        std::vector<std::string>{"--backend=headless-backend.so", "--socket=weston",
                                 "--idle-time=0"},
        SessionEnvironment({{"XDG_RUNTIME_DIR", runtime.path()}}), runtime.path());
    for (int i = 0; i < 100 && !testing_support::PathExists(runtime / "weston.lock"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }

  // Test tuple <WAYLAND_DISPLAY, why there is no source>
  struct Case {
    std::string socket, why;
  } cases[] = {
      {"absent", "cannot connect to the Wayland display \"" + runtime / "absent" +
                     "\": No such file or directory"},
      {"silent", "the Wayland display \"" + runtime / "silent" + "\" did not answer within 5 s"},
      {"hangs-up", "the Wayland display \"" + runtime / "hangs-up" + "\" closed the connection"},
      {"weston", "the Wayland compositor at \"" + runtime / "weston" +
                     "\" offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.socket);
    if (c.socket == "weston" && !weston) {
      std::printf("weston is not installed: the compositor without idle protocols is not "
                  "tried\n");
      continue;
    }
    Finished probe = RunToEnd(START_PROBE, {},
                              SessionEnvironment({{"WAYLAND_DISPLAY", c.socket},
                                                  {"XDG_RUNTIME_DIR", runtime.path()},
                                                  {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}}));
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out, "source none\nseconds 0 minutes 0\n");
    EXPECT_EQ(probe.err, kUnknown + c.why + "; " + kNoMutter + "\n");
  }
  if (weston) {
    // Its helper clients end with their connections when it ends by itself.
    weston->RequestQuit(testing_support::QuitRoute::kThread);
    EXPECT_TRUE(weston->WaitForExit(10000));
  }
}

TEST(IdleSourceChoiceTest, WaylandLibraryThatCannotTakeTheSocketClosesItOnlyOnce) {
  ScopedTempDir runtime;
  NotACompositor hangsUp(runtime / "wayland-0", NotACompositor::Manner::kHangsUp);
  Finished probe = RunToEnd(START_PROBE, {},
                            SessionEnvironment({{"WAYLAND_DISPLAY", "wayland-0"},
                                                {"XDG_RUNTIME_DIR", runtime.path()},
                                                {"LD_LIBRARY_PATH", FAKE_WAYLAND_REFUSING_DIR}}));
  EXPECT_EQ(probe.exitCode, 0);
  EXPECT_EQ(probe.out, "source none\nseconds 0 minutes 0\n");
  EXPECT_EQ(probe.err, kUnknown + "cannot use the Wayland display \"" + runtime / "wayland-0" +
                           "\": Cannot allocate memory; " + kNoBus + "\n");
}

TEST(IdleSourceChoiceTest, SessionLibraryWithoutAFunctionFailsTheStart) {
  // Test tuple <session, what standard error names>: a library is only loaded where its
  // source is tried, and one that lacks what it must have ends the start.
  struct Case {
    Environment session;
    std::string err;
  } cases[] = {
      {{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"}},
       "SchedulerAgent: libdbus-1.so.3 lacks dbus_error_free\n"},
      {{{"WAYLAND_DISPLAY", "/nonexistent/wayland-0"}},
       "SchedulerAgent: libwayland-client.so.0 lacks wl_display_disconnect\n"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.err);
    c.session.push_back({"LD_LIBRARY_PATH", FAKE_SESSION_LIBS_DIR});
    Finished probe = RunToEnd(START_PROBE, {}, SessionEnvironment(c.session));
    EXPECT_EQ(probe.exitCode, 217);
    EXPECT_EQ(probe.out, "EAssertionFailed: Failed to find GetLastInputInfo in DLL! "
                         "(common\\Scheduler\\Utils\\InputHook, line 165)\n"
                         "started units: 0\n");
    EXPECT_EQ(probe.err, c.err);
  }
}

TEST(IdleSourceChoiceTest, MissingSessionLibrariesLeaveTheOtherSources) {
  if (!CanHideLibraries())
    GTEST_SKIP() << "no mount namespace may be made here, so no library can be hidden";
  ScopedTempDir runtime, scratch;
  SessionBus bus(runtime.path());
  ASSERT_FALSE(bus.Address().empty()) << "no dbus-daemon";
  auto xserver = TestXServer::Start();
  ASSERT_TRUE(xserver) << "no Xvfb server answered";
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));

  // No libdbus-1: the X11 session's own reading, as if GNOME were not a choice.
  Finished x11 =
      RunToEnd("unshare", WithoutLibraries(scratch / "x11", {"libdbus-1.so.3"}, {START_PROBE}),
               SessionEnvironment(
                   {{"DISPLAY", xserver->Display()}, {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}}));
  EXPECT_EQ(x11.exitCode, 0) << x11.err;
  EXPECT_EQ(x11.out.substr(0, 11), "source x11\n");
  EXPECT_GE(ProbeSeconds(x11.out), 1);
  EXPECT_EQ(x11.err, "SchedulerAgent: idle time from x11\n");

  // No libwayland-client: a Wayland session without a source, whose GNOME check still ran.
  NotACompositor hangsUp(runtime / "wayland-0", NotACompositor::Manner::kHangsUp);
  Finished wayland = RunToEnd(
      "unshare", WithoutLibraries(scratch / "wayland", {"libwayland-client.so.0"}, {START_PROBE}),
      SessionEnvironment({{"WAYLAND_DISPLAY", "wayland-0"},
                          {"XDG_RUNTIME_DIR", runtime.path()},
                          {"DBUS_SESSION_BUS_ADDRESS", bus.Address()}}));
  EXPECT_EQ(wayland.exitCode, 0) << wayland.err;
  EXPECT_EQ(wayland.out, "source none\nseconds 0 minutes 0\n");
  EXPECT_EQ(wayland.err, kUnknown +
                             "libwayland-client.so.0 cannot be loaded (libwayland-client.so.0: "
                             "cannot open shared object file: No such file or directory); " +
                             kNoMutter + "\n");
}

class AgentWithoutIdleSourceTest : public agent_test::AgentTest {};

TEST_F(AgentWithoutIdleSourceTest, ReportsZeroSaysWhyOnceAndEndsOnQuit) {
  StartService("echo");
  ScopedTempDir runtime, scratch;
  NotACompositor hangsUp(runtime / "wayland-0", NotACompositor::Manner::kHangsUp);
  // Test tuple <libraries hidden, the reason on standard error>
  struct Case {
    std::vector<std::string> hidden;
    std::string why;
  } cases[] = {
      {{}, "the Wayland display \"" + runtime / "wayland-0" + "\" closed the connection"},
      {{"libwayland-client.so.0", "libdbus-1.so.3"},
       "libwayland-client.so.0 cannot be loaded (libwayland-client.so.0: cannot open shared "
       "object file: No such file or directory)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (!c.hidden.empty() && !CanHideLibraries()) {
      std::printf("no mount namespace may be made here: the agent without its session "
                  "libraries is not tried\n");
      continue;
    }
    auto environment = Environment();
    environment.push_back({"WAYLAND_DISPLAY", "wayland-0"});
    environment.push_back({"XDG_RUNTIME_DIR", runtime.path()});
    environment.push_back({"XDG_SESSION_TYPE", "wayland"});
    std::string agentPath = dir / agent_test::AgentName();
    std::unique_ptr<testing_support::ChildProcess> agent;
    if (c.hidden.empty())
      agent = std::make_unique<testing_support::ChildProcess>(agentPath, std::vector<std::string>{},
                                                              environment, dir.path());
    else
      agent = std::make_unique<testing_support::ChildProcess>(
          FindProgram("unshare"), WithoutLibraries(scratch / "agent", c.hidden, {agentPath}),
          environment, dir.path());
    size_t before = RequestCount();
    ASSERT_TRUE(WaitForRequests(before + 3, agent_test::kLongWait)) << agent->Stderr();
    agent->RequestQuit(testing_support::QuitRoute::kThread);
    ASSERT_TRUE(agent->WaitForExit(agent_test::kLongWait));
    EXPECT_EQ(agent->ExitCode(), 0u) << agent->Stderr();
    EXPECT_EQ(agent->Stderr(), kUnknown + c.why + "; " + kNoBus + "\n");
    std::string requests = Requests();
    for (size_t i = before; i < requests.size() / agent_test::kRecordSize; ++i) {
      std::string record = requests.substr(i * agent_test::kRecordSize, agent_test::kRecordSize);
      EXPECT_EQ(agent_test::Word(record, 28), 0u) << "report " << i;
      EXPECT_EQ(agent_test::Word(record, 32), 0u) << "report " << i;
    }
  }
}

} // namespace
