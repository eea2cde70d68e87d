// The status command under test in a fresh folder beside a copy of the agent, the test
// service or the reference service on a pipe of the test's own, and its JSON parsed.
#pragma once

#include "tests/agent/AgentFixture.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace status_test {

using namespace agent_test;
using Variables = std::vector<std::pair<std::string, std::string>>;

/// A session that offers an idle source: on Linux an X server of the test's own, on
/// Windows the desktop the tests run on.
class TestSession {
public:
  virtual ~TestSession() = default;
  /// Null when it cannot be had; `whyNot` then says why.
  static std::unique_ptr<TestSession> Start(std::string& whyNot);
  /// The variables that put a program into the session.
  virtual Variables SessionVariables() const = 0;
};

/// The status command's file name on this system, as the build names it.
inline std::string StatusName() {
  return STATUS_PROGRAM;
}

struct StatusRun {
  std::uint32_t exitCode = 0;
  std::string out, err;
  nlohmann::json json; // when run with --json
};

class StatusTest : public AgentTest {
protected:
  void SetUp() override {
    AgentTest::SetUp();
    CopyExecutable(TestExecutableDir() + "/" + StatusName(), dir / StatusName());
  }

  /// Puts the programs of this test into a session with an idle source; skips the test
  /// when there is none to be had.
  void EnterSession() {
    std::string whyNot;
    session = TestSession::Start(whyNot);
    if (!session)
      GTEST_SKIP() << whyNot;
    sessionVariables = session->SessionVariables();
  }

  Variables SessionEnvironment(const Variables& extra = {}) const {
    Variables environment = sessionVariables;
    environment.insert(environment.end(), extra.begin(), extra.end());
    return environment;
  }

  /// The reference idle service, the one shipped beside the agent, on this test's pipe.
  void StartReferenceService() {
    service =
        std::make_unique<ChildProcess>(TestExecutableDir() + "/" + ExecutableName("idle_service"),
                                       std::vector<std::string>{}, Environment(), dir.path());
    ASSERT_TRUE(service->WaitForOutput("listening", kLongWait)) << service->Stderr();
  }

  std::unique_ptr<ChildProcess> StartAgentInSession() { return StartAgent(SessionEnvironment()); }

  /// Runs the status command with the arguments, in the session unless told otherwise.
  StatusRun RunStatus(const std::vector<std::string>& arguments = {"--json"},
                      std::optional<Variables> variables = std::nullopt) {
    Variables environment = Environment();
    Variables extra = variables ? *variables : SessionEnvironment();
    environment.insert(environment.end(), extra.begin(), extra.end());
    ChildProcess status(dir / StatusName(), arguments, environment, dir.path());
    StatusRun run;
    EXPECT_TRUE(status.WaitForExit(kLongWait)) << "the status command did not end";
    run.exitCode = status.ExitCode();
    run.out = status.Stdout();
    run.err = status.Stderr();
    if (std::find(arguments.begin(), arguments.end(), "--json") != arguments.end()) {
      run.json = nlohmann::json::parse(run.out, nullptr, false);
      EXPECT_FALSE(run.json.is_discarded()) << "not JSON: " << run.out;
    }
    return run;
  }

  std::unique_ptr<TestSession> session;
  Variables sessionVariables;
};

} // namespace status_test
