// The status command inside real Wayland and GNOME sessions: the source each compositor
// offers, chosen as the agent chooses it, the agent that serves the session found, and
// GNOME's idle monitor's own figure read.
#include "tests/idle_sources/compositor.h"
#include "tests/status/StatusFixture.h"
#include "tests/support/x_server_posix.h"

#include <sstream>

using namespace status_test;
using idle_sources::Compositor;
using idle_sources::CompositorKind;

namespace {

struct SessionCase {
  CompositorKind kind;
  const char* source;
  bool countedFromStart;
};

class StatusInCompositorTest : public StatusTest,
                               public ::testing::WithParamInterface<SessionCase> {};

TEST_P(StatusInCompositorTest, NamesTheSourceAndFindsTheSessionsAgent) {
  const SessionCase& c = GetParam();
  Compositor::Started started = Compositor::Start(c.kind);
  if (!started.compositor)
    GTEST_SKIP() << started.whyNot;
  sessionVariables = started.compositor->SessionEnvironment();

  StatusRun alone = RunStatus();
  SCOPED_TRACE(alone.out);
  EXPECT_EQ(alone.exitCode, 4u);
  EXPECT_EQ(alone.json["problems"], nlohmann::json({"no service", "no agent in this session"}));
  EXPECT_EQ(alone.json["idle"]["source"], c.source);
  EXPECT_EQ(alone.json["idle"]["counted_from_start"], c.countedFromStart);
  // GNOME's monitor is tried first and, outside GNOME, not taken for a reason.
  const nlohmann::json& notTaken = alone.json["idle"]["not_taken"];
  if (c.kind == CompositorKind::kMutter) {
    EXPECT_TRUE(notTaken.empty());
  } else {
    ASSERT_EQ(notTaken.size(), 1u);
    EXPECT_EQ(notTaken[0]["source"], "mutter");
    EXPECT_NE(notTaken[0]["reason"], "");
  }

  StartReferenceService();
  auto agent = StartAgentInSession();
  ASSERT_TRUE(service->WaitForOutput("common", kLongWait)) << agent->Stderr();
  StatusRun served = RunStatus({});
  EXPECT_EQ(served.exitCode, 0u) << served.out;
  EXPECT_NE(served.out.find(std::string("idle source: ") + c.source + "\n"), std::string::npos)
      << served.out;
  EXPECT_NE(served.out.find("agent:       running, process " + std::to_string(agent->Id())),
            std::string::npos)
      << served.out;
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
}

INSTANTIATE_TEST_SUITE_P(
    Compositors, StatusInCompositorTest,
    ::testing::Values(SessionCase{CompositorKind::kSway, "org_kde_kwin_idle", true},
                      SessionCase{CompositorKind::kKwin, "ext_idle_notifier_v1", true},
                      SessionCase{CompositorKind::kMutter, "mutter", false}),
    [](const ::testing::TestParamInfo<SessionCase>& info) {
      return std::string(idle_sources::CompositorName(info.param.kind));
    });

TEST_F(StatusTest, GnomeMonitorsOwnFigureIsTheReading) {
  const std::string busSession = testing_support::FindProgram("dbus-run-session");
  if (busSession.empty())
    GTEST_SKIP() << "dbus-run-session is not installed (scripts/deps.sh installs dbus)";
  // Two hours and three minutes without input, as the monitor counts it.
  constexpr std::uint32_t kIdleSeconds = 2 * 3600 + 3 * 60;
  ChildProcess bus(busSession, {"--", FAKE_IDLE_MONITOR, std::to_string(kIdleSeconds * 1000)}, {},
                   dir.path());
  ASSERT_TRUE(bus.WaitForOutput("ready", kLongWait)) << bus.Stderr();
  std::istringstream ready(bus.Stdout());
  std::string word, address;
  int monitorPid = 0;
  ready >> word >> monitorPid >> address;
  sessionVariables = {{"DBUS_SESSION_BUS_ADDRESS", address}};

  StatusRun run = RunStatus();
  EXPECT_EQ(run.json["idle"]["source"], "mutter") << run.out;
  EXPECT_GE(run.json["idle"]["seconds"], kIdleSeconds) << run.out;
  EXPECT_LE(run.json["idle"]["seconds"], kIdleSeconds + 60) << run.out;
  ASSERT_EQ(kill(monitorPid, SIGTERM), 0);
  ASSERT_TRUE(bus.WaitForExit(kLongWait));
}

} // namespace
