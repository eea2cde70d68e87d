// The real status command beside the real agent, against no service, the reference
// service and the test service: its JSON, its text and its exit codes, and that the
// service never takes it for an agent.
#include "tests/status/StatusFixture.h"

#include "sa_version.h"

using namespace status_test;

namespace {

enum class Service { kNone, kReference, kQuery, kSilent };

struct Case {
  const char* name;
  Service service;
  bool agent;
  bool logSwitchedOn;
  int exitCode;
  std::vector<std::string> problems;
};

// Test tuple <service, agent running, "MKLOG.INI" switching the log on, exit code,
// problems>. The query service answers 125 s, 2 min to every idle query; the silent one
// reads each request and closes without a reply.
const Case kCases[] = {
    {"nothing", Service::kNone, false, false, 4, {"no service", "no agent in this session"}},
    {"agent without service", Service::kNone, true, true, 4, {"no service"}},
    {"reference service without agent",
     Service::kReference,
     false,
     true,
     5,
     {"no agent in this session"}},
    {"reference service and agent", Service::kReference, true, false, 0, {}},
    {"query service and agent", Service::kQuery, true, true, 0, {}},
    {"silent service",
     Service::kSilent,
     false,
     false,
     4,
     {"no service", "no agent in this session"}},
};

class StatusCombinationsTest : public StatusTest, public ::testing::WithParamInterface<Case> {};

TEST_P(StatusCombinationsTest, ReportsServiceAgentAndLogWithTheExitCodeOfTheFirstProblem) {
  const Case& c = GetParam();
  EnterSession();
  if (c.logSwitchedOn)
    WriteIni("[settings]\r\nDebuggLog=1\r\n");
  if (c.service == Service::kReference)
    StartReferenceService();
  if (c.service == Service::kQuery)
    StartService("query:125,2");
  if (c.service == Service::kSilent)
    StartService("close");
  std::unique_ptr<ChildProcess> agent;
  if (c.agent) {
    agent = StartAgentInSession();
    if (c.service == Service::kReference)
      ASSERT_TRUE(service->WaitForOutput("common", kLongWait)) << service->Stdout();
    else if (c.service == Service::kQuery)
      ASSERT_TRUE(WaitForRequests(0, kLongWait));
    else
      ASSERT_TRUE(WaitUntil([&] { return PathExists(dir / "Debugg.log"); }, kLongWait));
  }

  StatusRun run = RunStatus();
  const nlohmann::json& json = run.json;
  SCOPED_TRACE(run.out + run.err);
  EXPECT_EQ(run.exitCode, static_cast<std::uint32_t>(c.exitCode));
  EXPECT_EQ(json["exit_code"], c.exitCode);
  EXPECT_EQ(json["problems"], nlohmann::json(c.problems));
  EXPECT_EQ(json["version"], SA_VERSION_STRING);
  EXPECT_NE(json["idle"]["source"], "none");

  const nlohmann::json& service = json["service"];
  EXPECT_EQ(service["present"], c.service != Service::kNone);
  if (c.service == Service::kNone) {
    EXPECT_TRUE(service["common_idle_seconds"].is_null());
    EXPECT_NE(service["error"], "");
  } else if (c.service == Service::kSilent) {
    EXPECT_TRUE(service["common_idle_seconds"].is_null());
    EXPECT_EQ(service["error"].get<std::string>().rfind("PIPE did not respond. ", 0), 0u);
  } else {
    EXPECT_EQ(service["error"], "");
    EXPECT_GE(service["exchange_ms"].get<double>(), 0.0);
  }
  if (c.service == Service::kQuery) {
    EXPECT_EQ(service["common_idle_seconds"], 125);
    EXPECT_EQ(service["common_idle_minutes"], 2);
  }
  if (c.service == Service::kReference) {
    // The service's figure comes from the agent's last report, read before the status
    // command's own reading of the same session; without an agent no session reports.
    std::uint32_t common = service["common_idle_seconds"];
    EXPECT_LE(common, c.agent ? json["idle"]["seconds"].get<std::uint32_t>() : 0u);
  }

  const nlohmann::json& agentJson = json["agent"];
  EXPECT_EQ(agentJson["running"], c.agent);
  std::string folder = dir.path() + (dir.path().find('\\') != std::string::npos ? "\\" : "/");
  if (c.agent) {
    EXPECT_EQ(agentJson["pid"], agent->Id());
    EXPECT_EQ(agentJson["pids"], nlohmann::json({agent->Id()}));
    EXPECT_EQ(agentJson["executable"], folder + AgentName());
  } else {
    EXPECT_TRUE(agentJson["pid"].is_null());
    EXPECT_EQ(agentJson["pids"], nlohmann::json::array());
  }

  // The log beside the running agent, or beside the command, where the agent is
  // installed: here both are the test's folder.
  const nlohmann::json& log = json["debug_log"];
  EXPECT_EQ(log["enabled"], c.logSwitchedOn);
  EXPECT_EQ(log["switch_file_found"], c.logSwitchedOn);
  EXPECT_EQ(log["file"], folder + "Debugg.log");
  EXPECT_EQ(log["switch_file"], folder + "MKLOG.INI");
  EXPECT_EQ(log["beside_running_agent"], c.agent);
  EXPECT_EQ(log["file_exists"], c.agent && c.logSwitchedOn);

  // The text says the same in its own words.
  StatusRun text = RunStatus({});
  EXPECT_EQ(text.exitCode, run.exitCode);
  EXPECT_NE(text.out.find("SchedulerAgent status " SA_VERSION_STRING "\n"), std::string::npos);
  EXPECT_NE(text.out.find(c.agent ? "agent:       running, process " + std::to_string(agent->Id())
                                  : "agent:       none in this session"),
            std::string::npos);
  EXPECT_NE(text.out.find(c.problems.empty() ? "status:      all well"
                                             : "status:      " + c.problems.front()),
            std::string::npos);
  EXPECT_EQ(text.err, "");

  if (agent) {
    agent->RequestQuit(QuitRoute::kThread);
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
  }
}

INSTANTIATE_TEST_SUITE_P(Sessions, StatusCombinationsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

TEST_F(StatusTest, AsksOneIdleQueryAndSendsNoIdleReport) {
  EnterSession();
  StartService("query:125,2");
  StatusRun run = RunStatus();
  EXPECT_EQ(run.exitCode, 5u) << run.out;
  EXPECT_EQ(run.json["service"]["common_idle_seconds"], 125);

  // One record on the pipe: an idle query, cleared but for its Size and code.
  std::string requests = Requests();
  ASSERT_EQ(requests.size(), kRecordSize);
  EXPECT_EQ(Word(requests, 0), kRecordSize);
  EXPECT_EQ(Word(requests, 4), 2u);
  std::string rest = requests.substr(8);
  EXPECT_EQ(rest, std::string(rest.size(), '\0'));
}

// Test tuple <program, argument, exit code, what standard output holds>.
struct ArgumentCase {
  const char* program; // "status" or "agent"
  const char* argument;
  std::uint32_t exitCode;
  const char* output;
};

TEST_F(StatusTest, HelpAndVersionAnswerWithoutStartingAndAnUnknownArgumentIsRefused) {
  const ArgumentCase cases[] = {
      {"status", "--version", 0, "SchedulerAgent status " SA_VERSION_STRING "\n"},
      {"status", "--help", 0, "Exit status:"},
      {"status", "-h", 0, "--json"},
      {"status", "/?", 0, "--json"},
      {"status", "--verbose", 2, ""},
      {"agent", "--version", 0, "SchedulerAgent " SA_VERSION_STRING "\n"},
      {"agent", "--help", 0, "--version"},
      {"agent", "/?", 0, "Usage: SchedulerAgent"},
  };
  // An agent that started would write its log and report to the service.
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " " + c.argument);
    std::string program = std::string(c.program) == "agent" ? AgentName() : StatusName();
    ChildProcess child(dir / program, {c.argument}, Environment(), dir.path());
    ASSERT_TRUE(child.WaitForExit(kLongWait));
    EXPECT_EQ(child.ExitCode(), c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_NE(child.Stdout().find(c.output), std::string::npos) << child.Stdout();
      EXPECT_EQ(child.Stderr(), "");
    } else {
      EXPECT_EQ(child.Stdout(), "");
      EXPECT_NE(child.Stderr().find("unknown argument \"--verbose\""), std::string::npos)
          << child.Stderr();
    }
  }
  EXPECT_FALSE(PathExists(dir / "Debugg.log"));
  EXPECT_EQ(Requests(), "");
}

} // namespace
