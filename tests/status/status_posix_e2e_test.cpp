// The status command on Linux: a session without an idle source, the X11 reading under
// real input, and which agents count as serving the session.
#include "tests/status/StatusFixture.h"
#include "tests/support/x_server_posix.h"

using namespace status_test;

namespace {

std::string RunningProgram(std::uint32_t pid) {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error).string();
}

TEST_F(StatusTest, WithoutASourceSaysWhyAndExitsWith3) {
  StartReferenceService();
  // What the agent says about the same session, where an administrator would look.
  auto agent = StartAgent();
  ASSERT_TRUE(service->WaitForOutput("common", kLongWait));

  StatusRun run = RunStatus({"--json"}, Variables{});
  EXPECT_EQ(run.exitCode, 3u) << run.out;
  const nlohmann::json& idle = run.json["idle"];
  EXPECT_EQ(idle["source"], "none");
  EXPECT_EQ(idle["seconds"], 0);
  EXPECT_EQ(run.json["problems"], nlohmann::json({"no idle source"}));
  // The display's reason, then the bus's, each as the agent gives it.
  ASSERT_EQ(idle["not_taken"].size(), 2u) << run.out;
  EXPECT_EQ(idle["not_taken"][0]["source"], "x11");
  EXPECT_EQ(idle["not_taken"][1]["source"], "mutter");
  std::string reasons = idle["not_taken"][0]["reason"].get<std::string>() + "; " +
                        idle["not_taken"][1]["reason"].get<std::string>();
  EXPECT_EQ(agent->Stderr(), "SchedulerAgent: idle time unknown, reported as 0: " + reasons + "\n");

  StatusRun text = RunStatus({}, Variables{});
  EXPECT_EQ(text.exitCode, 3u);
  EXPECT_NE(text.out.find("idle source: none\n  not taken: x11: " +
                          idle["not_taken"][0]["reason"].get<std::string>() + "\n"),
            std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("status:      no idle source (exit code 3)"), std::string::npos)
      << text.out;
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
}

TEST_F(StatusTest, X11ReadingGrowsAndFollowsInputBesideTheSessionsAgent) {
  auto x = TestXServer::Start();
  if (!x)
    GTEST_SKIP() << "no X server of the test's own (scripts/deps.sh installs Xvfb, xdotool)";
  Variables display = {{"DISPLAY", x->Display()}};
  // The session's agent holds its display as a desktop's programs do: Xvfb starts afresh,
  // its idle time too, whenever its last client leaves.
  auto agent = StartAgent(display);
  ASSERT_TRUE(WaitUntil([&] { return !agent->Stderr().empty(); }, kLongWait));
  EXPECT_EQ(agent->Stderr(), "SchedulerAgent: idle time from x11\n");
  ASSERT_TRUE(x->MoveMouse());
  StatusRun run;
  ASSERT_TRUE(WaitUntil(
      [&] {
        run = RunStatus({"--json"}, display);
        return run.json["idle"]["seconds"] >= 2;
      },
      kLongWait, 200))
      << run.out;
  EXPECT_EQ(run.json["idle"]["source"], "x11");
  EXPECT_EQ(run.json["idle"]["counted_from_start"], false);
  ASSERT_TRUE(x->MoveMouse());
  run = RunStatus({"--json"}, display);
  EXPECT_LE(run.json["idle"]["seconds"], 1) << run.out;

  StatusRun text = RunStatus({}, display);
  EXPECT_NE(text.out.find("idle source: x11\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("agent:       running, process " + std::to_string(agent->Id())),
            std::string::npos)
      << text.out;
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
}

// Test tuple <the agent's variables, whether it serves the status command's session>.
// The status command runs on display :N with the test's pipe folder.
struct SessionCase {
  const char* name;
  std::string display; // "same", "same screen 0" or another display
  bool otherPipeFolder;
  bool counted;
};

TEST_F(StatusTest, OnlyAnAgentOfTheSameDisplayAndPipeFolderServesTheSession) {
  auto x = TestXServer::Start();
  if (!x)
    GTEST_SKIP() << "no X server of the test's own (scripts/deps.sh installs Xvfb, xdotool)";
  const SessionCase cases[] = {
      {"same display", "same", false, true},
      {"same display, screen 0", "same screen 0", false, true},
      {"another display", ":4242", false, false},
      {"another pipe folder", "same", true, false},
      {"no display", "", false, false},
  };
  ScopedTempDir otherPipes;
  for (const SessionCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string display = c.display == "same"            ? x->Display()
                          : c.display == "same screen 0" ? x->Display() + ".0"
                                                         : c.display;
    Variables variables = AgentEnvironment(c.otherPipeFolder ? otherPipes.path() : pipeDir);
    if (!display.empty())
      variables.emplace_back("DISPLAY", display);
    auto agent = std::make_unique<ChildProcess>(dir / AgentName(), std::vector<std::string>{},
                                                variables, dir.path());
    // Until the child has become the agent, its process runs the test's program.
    ASSERT_TRUE(
        WaitUntil([&] { return RunningProgram(agent->Id()) == dir / AgentName(); }, kLongWait));
    StatusRun run = RunStatus({"--json"}, Variables{{"DISPLAY", x->Display()}});
    EXPECT_EQ(run.json["agent"]["running"], c.counted) << run.out;
    if (c.counted) {
      EXPECT_EQ(run.json["agent"]["pid"], agent->Id());
    }
    agent->Kill();
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
  }
}

} // namespace
