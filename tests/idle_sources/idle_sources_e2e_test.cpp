// The real agent in Wayland and GNOME sessions: headless sway (org_kde_kwin_idle),
// kwin_wayland (ext_idle_notifier_v1) and mutter (its idle monitor on the session bus),
// this machine's and today's (sway 1.10 with ext_idle_notifier_v1, kwin 6, mutter 48, in
// a Debian 13 chroot), input given through each compositor's own means, and what reached
// the test service.
#include "tests/agent/AgentFixture.h"
#include "tests/idle_sources/compositor.h"
#include "tests/support/x_server_posix.h"

#include <csignal>
#include <sstream>

using namespace agent_test;
using idle_sources::Compositor;
using idle_sources::CompositorKind;
using testing_support::FindProgram;
using testing_support::TestXServer;

namespace {

using Clock = std::chrono::steady_clock;

// Idle time needs its own seconds to grow; on a loaded machine a little more.
constexpr int kGrowthTimeoutMs = 20000;

class CompositorSessionTest : public AgentTest {
protected:
  /// Starts the compositor; the test is skipped when it cannot be installed or started.
  void StartCompositor(CompositorKind kind, const std::string& root = "") {
    sessionStart = Clock::now();
    Compositor::Started started = Compositor::Start(kind, root);
    if (!started.compositor)
      GTEST_SKIP() << started.whyNot;
    compositor = std::move(started.compositor);
  }

  void StartAgentInSession(const idle_sources::Environment& extra = {}) {
    WriteIni("[settings]\r\nDebuggLog=1\r\n");
    StartService("echo");
    auto environment = compositor->SessionEnvironment();
    environment.insert(environment.end(), extra.begin(), extra.end());
    agent = StartAgent(environment);
  }

  /// The idle seconds of every report so far.
  std::vector<std::uint32_t> Readings() const {
    std::string requests = Requests();
    std::vector<std::uint32_t> seconds;
    for (size_t at = 0; at + kRecordSize <= requests.size(); at += kRecordSize)
      seconds.push_back(Word(requests.substr(at, kRecordSize), 28));
    return seconds;
  }

  std::string Shown() const {
    std::ostringstream text;
    text << "readings:";
    for (std::uint32_t seconds : Readings())
      text << ' ' << seconds;
    text << "\nagent's standard error: " << agent->Stderr();
    return text.str();
  }

  /// Waits for report number `index` (from 0) and answers its idle seconds.
  std::optional<std::uint32_t> ReadingAt(size_t index) const {
    if (!WaitForRequests(index, kLongWait))
      return std::nullopt;
    return Readings()[index];
  }

  /// Waits for a report from number `from` on that reads at least `seconds`.
  bool WaitForIdleOf(std::uint32_t seconds, size_t from) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(kGrowthTimeoutMs);
    while (Clock::now() < deadline) {
      std::vector<std::uint32_t> readings = Readings();
      for (size_t i = from; i < readings.size(); ++i)
        if (readings[i] >= seconds)
          return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  /// Once idle time has grown past a second, the input must bring it back to 0 or 1
  /// within the next two reports. The report in flight may have been read before the
  /// input; the next two are read half a second and a second after it, which leaves the
  /// compositor's notification time to arrive on a loaded machine.
  void ExpectInputResetsIdle(const char* what, void (Compositor::*inject)()) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(WaitForIdleOf(2, RequestCount())) << "idle time did not grow; " << Shown();
    (compositor.get()->*inject)();
    size_t next = RequestCount() + 1;
    ASSERT_TRUE(ReadingAt(next + 1).has_value()) << Shown();
    std::vector<std::uint32_t> readings = Readings();
    EXPECT_LE(std::min(readings[next], readings[next + 1]), 1u)
        << "reports " << next << " and " << next + 1 << "; " << Shown();
  }

  /// The agent said once, and only, which source it reads: the one the compositor offers
  /// (sway offers ext_idle_notifier_v1 from wlroots 0.17 on, KDE's protocol before).
  void ExpectSaidItsSource() const {
    std::string said = agent->Stderr();
    const std::string prefix = "SchedulerAgent: idle time from ";
    std::vector<std::string> names;
    switch (compositor->Kind()) {
    case CompositorKind::kSway:
      names = {"ext_idle_notifier_v1", "org_kde_kwin_idle"};
      break;
    case CompositorKind::kKwin:
      names = {"ext_idle_notifier_v1"};
      break;
    case CompositorKind::kMutter:
      names = {"mutter"};
      break;
    }
    bool known = false;
    for (const std::string& name : names)
      known = known || said == prefix + name + "\n";
    EXPECT_TRUE(known) << said;
  }

  /// Idle time grows while nothing happens, each kind of input brings it back, and the
  /// compositor's end ends the agent.
  void ExpectIdleGrowsInputResetsItAndTheEndEndsTheAgent() {
    // Growth while nothing happens: never down, never older than the session.
    ASSERT_TRUE(WaitForIdleOf(3, 0)) << "idle time did not grow; " << Shown();
    std::vector<std::uint32_t> quiet = Readings();
    EXPECT_TRUE(std::is_sorted(quiet.begin(), quiet.end())) << Shown();
    ExpectReadingsWithinTheSessionsAge();

    ExpectInputResetsIdle("keyboard", &Compositor::PressKey);
    ExpectInputResetsIdle("pointer", &Compositor::MovePointer);
    size_t afterPointer = RequestCount();
    ASSERT_TRUE(WaitForIdleOf(2, afterPointer)) << "idle time did not grow again; " << Shown();
    ExpectSaidItsSource();

    // The compositor goes: the session has ended. The agent ends with exit code 0 and
    // does not get as far as its normal finish.
    compositor->Stop();
    ASSERT_TRUE(agent->WaitForExit(kLongWait)) << "the agent outlived its compositor; " << Shown();
    EXPECT_EQ(agent->ExitCode(), 0u) << Shown();
    std::vector<std::string> texts = TraceTexts(Log());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "SchedulerAgent: Finish"), 0);
  }

  /// Idle time never exceeds the session's age: a reading from before the session (a
  /// stale X server's) would.
  void ExpectReadingsWithinTheSessionsAge() const {
    auto age = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - sessionStart);
    for (std::uint32_t seconds : Readings())
      ASSERT_LE(seconds, static_cast<std::uint32_t>(age.count()) + 1) << Shown();
  }

  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<ChildProcess> agent;
  Clock::time_point sessionStart;
};

class EachCompositorTest : public CompositorSessionTest,
                           public ::testing::WithParamInterface<CompositorKind> {};

TEST_P(EachCompositorTest, IdleGrowsInputResetsItAndTheCompositorsEndEndsTheAgent) {
  StartCompositor(GetParam());
  if (IsSkipped())
    return;
  StartAgentInSession();
  ExpectIdleGrowsInputResetsItAndTheEndEndsTheAgent();
}

INSTANTIATE_TEST_SUITE_P(Compositors, EachCompositorTest,
                         ::testing::Values(CompositorKind::kSway, CompositorKind::kKwin,
                                           CompositorKind::kMutter),
                         [](const ::testing::TestParamInfo<CompositorKind>& info) {
                           return std::string(idle_sources::CompositorName(info.param));
                         });

/// The Debian 13 chroot with today's compositors, made or completed once per run; empty
/// when it cannot be, and `whyNot` says why.
const std::string& TodaysDesktops(std::string& whyNot) {
  static std::string root, reason;
  static bool tried = false;
  if (!tried) {
    tried = true;
    testing_support::ScopedTempDir outputs;
    ChildProcess made(DEBIAN_ROOT_SCRIPT, {"trixie", "sway", "mutter", "kwin-wayland", "dbus"}, {},
                      outputs.path());
    if (!made.WaitForExit(30 * 60 * 1000) || made.ExitCode() != 0) {
      reason = "no Debian 13 chroot with today's compositors: " + made.Stderr();
    } else {
      root = made.Stdout();
      while (!root.empty() && root.back() == '\n')
        root.pop_back();
    }
  }
  whyNot = reason;
  return root;
}

class TodaysCompositorTest : public EachCompositorTest {};

TEST_P(TodaysCompositorTest, IdleGrowsInputResetsItAndTheCompositorsEndEndsTheAgent) {
  std::string whyNot;
  const std::string& root = TodaysDesktops(whyNot);
  if (root.empty())
    GTEST_SKIP() << whyNot;
  StartCompositor(GetParam(), root);
  if (IsSkipped())
    return;
  StartAgentInSession();
  ExpectIdleGrowsInputResetsItAndTheEndEndsTheAgent();
}

INSTANTIATE_TEST_SUITE_P(Debian13, TodaysCompositorTest,
                         ::testing::Values(CompositorKind::kSway, CompositorKind::kKwin,
                                           CompositorKind::kMutter),
                         [](const ::testing::TestParamInfo<CompositorKind>& info) {
                           return std::string(idle_sources::CompositorName(info.param));
                         });

TEST_F(CompositorSessionTest, WaylandSessionNeverReportsTheStaleXReading) {
  if (FindProgram("Xvfb").empty() || FindProgram("xdotool").empty())
    GTEST_SKIP() << "Xvfb or xdotool is not installed (scripts/deps.sh installs them)";
  // The X server is older than the session and never touched from the Wayland side, as
  // Xwayland is while the user types into Wayland programs.
  std::unique_ptr<TestXServer> x = TestXServer::Start();
  ASSERT_TRUE(x) << "no Xvfb server of this test's own answered";
  StartCompositor(CompositorKind::kSway);
  if (IsSkipped())
    return;
  StartAgentInSession({{"DISPLAY", x->Display()}});

  // Wayland input while the X idle time keeps growing: the reading follows Wayland.
  ExpectInputResetsIdle("keyboard on Wayland", &Compositor::PressKey);

  // X input while Wayland stays quiet: the reading keeps growing.
  ASSERT_TRUE(WaitForIdleOf(3, RequestCount())) << Shown();
  ASSERT_TRUE(x->MoveMouse());
  size_t next = RequestCount() + 1;
  std::optional<std::uint32_t> after = ReadingAt(next + 1);
  ASSERT_TRUE(after.has_value()) << Shown();
  std::vector<std::uint32_t> readings = Readings();
  EXPECT_GE(readings[next], 3u) << Shown();
  EXPECT_GE(readings[next + 1], 3u) << Shown();
  ExpectReadingsWithinTheSessionsAge();
  ExpectSaidItsSource();

  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u);
}

TEST_F(CompositorSessionTest, GnomeMonitorsIdleTimeIsReportedAndAGoneMonitorReadsZero) {
  const std::string busSession = FindProgram("dbus-run-session");
  if (busSession.empty())
    GTEST_SKIP() << "dbus-run-session is not installed (scripts/deps.sh installs dbus)";
  // Two hours and three minutes without input, as the monitor counts it: the reports
  // carry the monitor's own figure, not one the agent counted from its start.
  constexpr std::uint32_t kIdleSeconds = 2 * 3600 + 3 * 60;
  ChildProcess session(busSession, {"--", FAKE_IDLE_MONITOR, std::to_string(kIdleSeconds * 1000)},
                       {}, dir.path());
  ASSERT_TRUE(session.WaitForOutput("ready", kLongWait)) << session.Stderr();
  std::istringstream ready(session.Stdout());
  std::string word, address;
  int monitorPid = 0;
  ready >> word >> monitorPid >> address;
  ASSERT_GT(monitorPid, 0);
  sessionStart = Clock::now();

  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  agent = StartAgent({{"DBUS_SESSION_BUS_ADDRESS", address}});
  ASSERT_TRUE(ReadingAt(1).has_value()) << Shown();
  auto age = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - sessionStart);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_GE(Readings()[i], kIdleSeconds) << Shown();
    EXPECT_LE(Readings()[i], kIdleSeconds + age.count() + 1) << Shown();
    EXPECT_EQ(Word(Requests().substr(i * kRecordSize, kRecordSize), 32), 123u);
  }

  // A monitor that stops answering (a hung shell): the readings never wait for it and
  // go on from what it last said, the idle time growing as no input reaches the session.
  ASSERT_EQ(kill(monitorPid, SIGUSR2), 0);
  size_t next = RequestCount() + 1;
  ASSERT_TRUE(ReadingAt(next + 2).has_value()) << Shown();
  for (size_t i = next; i <= next + 2; ++i)
    EXPECT_GE(Readings()[i], kIdleSeconds) << "report " << i << "; " << Shown();

  // A monitor that leaves the bus while the bus stays (a restarting shell): each reading
  // is 0, and the agent keeps running.
  ASSERT_EQ(kill(monitorPid, SIGUSR1), 0);
  next = RequestCount() + 1;
  ASSERT_TRUE(ReadingAt(next + 2).has_value()) << Shown();
  for (size_t i = next + 1; i <= next + 2; ++i) {
    EXPECT_EQ(Readings()[i], 0u) << "report " << i << "; " << Shown();
    EXPECT_EQ(Word(Requests().substr(i * kRecordSize, kRecordSize), 32), 0u);
  }
  EXPECT_EQ(agent->Stderr(), "SchedulerAgent: idle time from mutter\n");

  // The bus itself goes with the session: the agent ends with exit code 0, without its
  // normal finish.
  ASSERT_EQ(kill(monitorPid, SIGTERM), 0);
  ASSERT_TRUE(session.WaitForExit(kLongWait));
  ASSERT_TRUE(agent->WaitForExit(kLongWait)) << "the agent outlived its session bus; " << Shown();
  EXPECT_EQ(agent->ExitCode(), 0u) << Shown();
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "SchedulerAgent: Finish"), 0);
}

} // namespace
