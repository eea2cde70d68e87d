// Many real agents against one real reference idle service: every report that an agent
// sends arrives, agents sharing one log never tear a line, and a quit or the end of the
// session at any moment ends the agent promptly with exit code 0. Sizes come from the
// environment (SA_LOAD_*) so that tests/load/run_load.sh can run the long versions.
#include "tests/agent/AgentFixture.h"
#include "tests/load/process_cpu.h"

#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

using namespace agent_test;

namespace {

int Setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

const std::set<std::string>& KnownTexts() {
  static const std::set<std::string> texts = {
      "Debugg logging started.",
      "Program started.",
      "SchedulerAgent: Start",
      "SchedulerAgent: Create CommonIdleClient",
      "SchedulerAgent: Loop",
      "SchedulerAgent: SendIdleTime",
      "SchedulerAgent: TCommonIdleClient.SendIdleTime",
      "SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server",
      "SchedulerAgent: Finish"};
  return texts;
}

/// Every entry of a log by its text; a line that is not one whole entry goes to `torn`.
std::map<std::string, size_t> CountEntries(const std::string& log, std::vector<std::string>& torn) {
  std::map<std::string, size_t> counts;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) {
      torn.push_back("unterminated: " + log.substr(start));
      break;
    }
    std::string line = log.substr(start, end - start);
    start = end + 2;
    if (line.empty())
      continue;
    size_t separator = line.find(" : ");
    bool whole = separator != std::string::npos && separator > 0 &&
                 line.find_first_of("\r\n") == std::string::npos &&
                 KnownTexts().count(line.substr(separator + 3)) == 1;
    if (whole)
      ++counts[line.substr(separator + 3)];
    else
      torn.push_back(line);
  }
  return counts;
}

/// Reports an agent's log says it sent: a cycle that finds the service traces the client's
/// text twice, one that does not traces it once beside the main block's text.
size_t ReportsSentIn(const std::map<std::string, size_t>& counts) {
  auto count = [&](const char* text) {
    auto it = counts.find(text);
    return it == counts.end() ? size_t{0} : it->second;
  };
  return count("SchedulerAgent: TCommonIdleClient.SendIdleTime") -
         count("SchedulerAgent: SendIdleTime");
}

/// The reference idle service, stopped as a user would stop it, with its summary read.
class ReferenceService {
public:
  ReferenceService(const std::string& pipeDir, const std::string& outputDir)
      : fProcess(TestExecutableDir() + "/" + ExecutableName("idle_service"), {},
                 AgentEnvironment(pipeDir), outputDir) {}

  bool WaitUntilListening() { return fProcess.WaitForOutput("listening on", kLongWait); }
  std::uint32_t Id() const { return fProcess.Id(); }

  /// Stops the service; true when it ended with exit code 0 and printed its summary.
  bool Stop() {
    fProcess.RequestQuit(QuitRoute::kThread);
    return fProcess.WaitForExit(kLongWait) && fProcess.ExitCode() == 0 &&
           fProcess.Stdout().find("\nserved ") != std::string::npos;
  }

  /// From the summary: the total of reports served and the count of each session.
  std::uint64_t ReportsServed() const {
    std::string out = fProcess.Stdout();
    size_t at = out.rfind("\nserved ");
    return at == std::string::npos ? 0 : std::stoull(out.substr(at + 8));
  }
  std::map<std::string, std::uint64_t> ReportsBySession() const {
    std::map<std::string, std::uint64_t> bySession;
    std::istringstream lines(fProcess.Stdout());
    const std::string prefix = "reports from ";
    for (std::string line; std::getline(lines, line);) {
      size_t colon = line.rfind(": ");
      if (line.rfind(prefix, 0) == 0 && colon != std::string::npos)
        bySession[line.substr(prefix.size(), colon - prefix.size())] =
            std::stoull(line.substr(colon + 2));
    }
    return bySession;
  }
  std::string Output() const { return fProcess.Stdout() + fProcess.Stderr(); }

private:
  ChildProcess fProcess;
};

/// A session key of the service that names this process id, if it tells processes apart
/// (Linux: "uid U pid P"; Windows names only the session, shared by all agents here).
std::optional<std::string> SessionOfProcess(const std::map<std::string, std::uint64_t>& sessions,
                                            std::uint32_t processId) {
  std::string suffix = " pid " + std::to_string(processId);
  for (const auto& [session, count] : sessions)
    if (session.size() > suffix.size() &&
        session.compare(session.size() - suffix.size(), suffix.size(), suffix) == 0)
      return session;
  return std::nullopt;
}

const char kLoggingOn[] = "[settings]\r\nDebuggLog=1\r\n";

/// The reference service in a pipe folder of its own under `root`, and the agent copied,
/// with logging on, into the folder `name` beside it.
struct LoggingAgentBesideService {
  LoggingAgentBesideService(const ScopedTempDir& root, const std::string& name)
      : pipeDir(MakeFolder(root / "pipe")), service(pipeDir, root.path()),
        folder(MakeFolder(root / name)) {
    CopyExecutable(TestExecutableDir() + "/" + AgentName(), folder + "/" + AgentName());
    WriteFileBytes(folder + "/MKLOG.INI", kLoggingOn);
  }

  static std::string MakeFolder(const std::string& path) {
    std::filesystem::create_directory(path);
    return path;
  }

  std::string pipeDir;
  ReferenceService service;
  std::string folder;
};

/// Checks every agent at least once a second for `seconds`; names those that ended.
std::vector<std::string> WatchForDeaths(std::vector<std::unique_ptr<ChildProcess>>& agents,
                                        int seconds) {
  std::vector<std::string> deaths;
  std::vector<bool> seen(agents.size(), false);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(
        std::min<long long>(1000, std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                          .count() +
                                      1)));
    for (size_t i = 0; i < agents.size(); ++i) {
      if (seen[i])
        continue;
      // On Windows a failed agent waits in its box until someone closes it.
      if (std::optional<std::string> box = agents[i]->TakeBox("Application Error", 1)) {
        seen[i] = true;
        deaths.push_back("agent " + std::to_string(i) + " showed: " + *box);
      } else if (agents[i]->WaitForExit(0)) {
        seen[i] = true;
        deaths.push_back("agent " + std::to_string(i) + " ended with exit code " +
                         std::to_string(agents[i]->ExitCode()) + ": " + agents[i]->Stderr());
      }
    }
  }
  return deaths;
}

TEST(LoadTest, ManyAgentsAgainstOneReferenceServiceLoseNoReport) {
  const int agentCount = Setting("SA_LOAD_AGENTS", 16);
  const int seconds = Setting("SA_LOAD_SECONDS", 30);
  ScopedTempDir root;
  std::string pipeDir = root / "pipe";
  std::filesystem::create_directory(pipeDir);
  ReferenceService service(pipeDir, root.path());
  ASSERT_TRUE(service.WaitUntilListening()) << service.Output();
  std::optional<std::uint64_t> cpuBefore = load_test::ProcessCpuMicroseconds(service.Id());

  // Each agent in a folder of its own, so that its own log counts what it sent.
  std::vector<std::string> folders;
  std::vector<std::unique_ptr<ChildProcess>> agents;
  for (int i = 0; i < agentCount; ++i) {
    folders.push_back(root / ("agent" + std::to_string(i)));
    std::filesystem::create_directory(folders.back());
    CopyExecutable(TestExecutableDir() + "/" + AgentName(), folders.back() + "/" + AgentName());
    WriteFileBytes(folders.back() + "/MKLOG.INI", kLoggingOn);
  }
  auto started = std::chrono::steady_clock::now();
  for (const std::string& folder : folders)
    agents.push_back(std::make_unique<ChildProcess>(
        folder + "/" + AgentName(), std::vector<std::string>{}, AgentEnvironment(pipeDir), folder));
  std::vector<std::string> deaths = WatchForDeaths(agents, seconds);
  EXPECT_EQ(deaths, std::vector<std::string>{});

  for (auto& agent : agents)
    agent->RequestQuit(QuitRoute::kThread);
  for (int i = 0; i < agentCount; ++i) {
    SCOPED_TRACE("agent " + std::to_string(i));
    ASSERT_TRUE(agents[static_cast<size_t>(i)]->WaitForExit(kLongWait));
    EXPECT_EQ(agents[static_cast<size_t>(i)]->ExitCode(), 0u);
    EXPECT_EQ(agents[static_cast<size_t>(i)]->Stderr(), AgentStderrWithoutSession());
  }
  double elapsed = Seconds(std::chrono::steady_clock::now() - started);
  std::optional<std::uint64_t> cpuAfter = load_test::ProcessCpuMicroseconds(service.Id());
  ASSERT_TRUE(service.Stop()) << service.Output();

  std::map<std::string, std::uint64_t> bySession = service.ReportsBySession();
  std::uint64_t sent = 0, skipped = 0;
  for (int i = 0; i < agentCount; ++i) {
    SCOPED_TRACE("agent " + std::to_string(i));
    std::vector<std::string> torn;
    std::map<std::string, size_t> counts =
        CountEntries(ReadFileBytes(folders[static_cast<size_t>(i)] + "/Debugg.log"), torn);
    EXPECT_EQ(torn, std::vector<std::string>{});
    EXPECT_EQ(counts["SchedulerAgent: Finish"], 1u);
    size_t mine = ReportsSentIn(counts);
    sent += mine;
    skipped += counts["SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server"];
    // About two a second: the agent kept its pace under load.
    EXPECT_GE(mine, static_cast<size_t>(seconds));
    if (auto session = SessionOfProcess(bySession, agents[static_cast<size_t>(i)]->Id())) {
      EXPECT_EQ(bySession[*session], mine) << *session;
    }
  }
  std::uint64_t received = service.ReportsServed();
  EXPECT_EQ(received, sent) << service.Output().substr(0, 2000);

  std::ostringstream result;
  result << agentCount << " agents, " << elapsed << " s: " << sent << " reports sent, " << received
         << " received, " << skipped << " cycles found the service busy, " << received / elapsed
         << " reports/s";
  if (cpuBefore && cpuAfter && received > 0) {
    double cpuMs = static_cast<double>(*cpuAfter - *cpuBefore) / 1000.0;
    result << "; service CPU " << cpuMs << " ms, " << cpuMs * 1000.0 / static_cast<double>(received)
           << " us per report (its 100 ms accept polls included)";
  }
  std::cout << result.str() << std::endl;
  RecordProperty("result", result.str());
}

TEST(LoadTest, AgentsSharingOneLogWriteOnlyWholeLines) {
  const int agentCount = Setting("SA_LOAD_LOG_AGENTS", 8);
  const int seconds = Setting("SA_LOAD_LOG_SECONDS", 10);
  ScopedTempDir root;
  LoggingAgentBesideService setup(root, "shared");
  ASSERT_TRUE(setup.service.WaitUntilListening()) << setup.service.Output();

  std::vector<std::unique_ptr<ChildProcess>> agents;
  for (int i = 0; i < agentCount; ++i)
    agents.push_back(std::make_unique<ChildProcess>(setup.folder + "/" + AgentName(),
                                                    std::vector<std::string>{},
                                                    AgentEnvironment(setup.pipeDir), root.path()));
  std::vector<std::string> deaths = WatchForDeaths(agents, seconds);
  EXPECT_EQ(deaths, std::vector<std::string>{});
  for (auto& agent : agents)
    agent->RequestQuit(QuitRoute::kThread);
  for (auto& agent : agents) {
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
    EXPECT_EQ(agent->ExitCode(), 0u) << agent->Stderr();
  }
  ASSERT_TRUE(setup.service.Stop()) << setup.service.Output();

  std::string log = ReadFileBytes(setup.folder + "/Debugg.log");
  std::vector<std::string> torn;
  std::map<std::string, size_t> counts = CountEntries(log, torn);
  EXPECT_EQ(torn, std::vector<std::string>{});
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::count(log.begin(), log.end(), '\r'));

  // What should be there: six fixed entries per agent, and per cycle three, of which a
  // cycle the service saw is one report it counted.
  std::uint64_t reports = setup.service.ReportsServed();
  size_t busy = counts["SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server"];
  std::uint64_t expected = 6u * static_cast<std::uint64_t>(agentCount) + 3u * (reports + busy);
  std::uint64_t found = 0;
  for (const auto& [text, count] : counts)
    found += count;
  EXPECT_LE(found, expected) << "an entry written twice";
  std::uint64_t dropped = expected - std::min(found, expected);
  std::ostringstream result;
  result << agentCount << " agents sharing one log for " << seconds << " s: " << found
         << " whole entries, " << torn.size() << " torn lines, " << dropped << " of " << expected
         << " entries dropped ("
         << 100.0 * static_cast<double>(dropped) / static_cast<double>(expected) << " %)";
  std::cout << result.str() << std::endl;
  RecordProperty("result", result.str());
}

TEST(LoadTest, QuitOrEndOfSessionAtAnyMomentEndsPromptlyWithExitCode0) {
  const int runs = Setting("SA_LOAD_RUNS", 40);
  const unsigned seed =
      static_cast<unsigned>(Setting("SA_LOAD_SEED", static_cast<int>(std::random_device{}())));
  std::cout << "seed " << seed << " (SA_LOAD_SEED repeats this run)" << std::endl;
  std::mt19937 random(seed);
  ScopedTempDir root;
  LoggingAgentBesideService setup(root, "agent");
  ASSERT_TRUE(setup.service.WaitUntilListening()) << setup.service.Output();
  std::string logPath = setup.folder + "/Debugg.log";

  enum Ending { kQuitToThread, kQuitToWindow, kEndOfSession };
  const char* const kEndingNames[] = {"quit (thread)", "quit (window)", "end of session"};
  int inStartUp = 0;
  double slowest = 0;
  for (int run = 0; run < runs; ++run) {
    Ending ending = static_cast<Ending>(random() % 3);
    int momentMs = static_cast<int>(random() % 1500);
    SCOPED_TRACE("run " + std::to_string(run) + ", " + kEndingNames[ending] + " at " +
                 std::to_string(momentMs) + " ms");
    std::filesystem::remove(logPath);
    ChildProcess agent(setup.folder + "/" + AgentName(), {}, AgentEnvironment(setup.pipeDir),
                       root.path());
    std::this_thread::sleep_for(std::chrono::milliseconds(momentMs));
    // Until its first entry the agent may not yet take messages: a quit sent then would
    // meet no window (Windows) or the default signal action (Linux).
    ASSERT_TRUE(WaitUntil(
        [&] {
          return agent.WaitForExit(0) ||
                 ReadFileBytes(logPath).find(" : Debugg logging started.") != std::string::npos;
        },
        30000, 1));
    ASSERT_FALSE(agent.WaitForExit(0)) << agent.Stderr();
    if (ReadFileBytes(logPath).find(" : SchedulerAgent: Loop\r\n") == std::string::npos)
      ++inStartUp;
    auto sent = std::chrono::steady_clock::now();
    if (ending == kEndOfSession)
      agent.EndSession();
    else
      agent.RequestQuit(ending == kQuitToThread ? QuitRoute::kThread : QuitRoute::kWindow);
    // One cycle (500 ms and one exchange) bounds the answer; far more is a hang.
    ASSERT_TRUE(agent.WaitForExit(10000)) << "no end within 10 s";
    slowest = std::max(slowest, Seconds(std::chrono::steady_clock::now() - sent));
    EXPECT_EQ(agent.ExitCode(), 0u) << agent.Stderr();
    EXPECT_EQ(agent.Stderr(), AgentStderrWithoutSession());

    std::vector<std::string> torn;
    std::map<std::string, size_t> counts = CountEntries(ReadFileBytes(logPath), torn);
    EXPECT_EQ(torn, std::vector<std::string>{});
    std::vector<std::string> texts = TraceTexts(ReadFileBytes(logPath));
    ASSERT_FALSE(texts.empty());
    if (ending == kEndOfSession) {
      // Taken inside the message handling: nothing after the last whole cycle.
      EXPECT_EQ(counts["SchedulerAgent: Finish"], 0u);
      EXPECT_TRUE(texts.back() == "SchedulerAgent: TCommonIdleClient.SendIdleTime" ||
                  texts.back() == "SchedulerAgent: Loop")
          << texts.back();
    } else {
      EXPECT_EQ(counts["SchedulerAgent: Finish"], 1u);
      EXPECT_EQ(texts.back(), "SchedulerAgent: Finish");
    }
  }
  ASSERT_TRUE(setup.service.Stop()) << setup.service.Output();
  std::ostringstream result;
  result << runs << " runs ended at a random moment (" << inStartUp
         << " before the loop began): slowest end " << slowest * 1000 << " ms after the request";
  std::cout << result.str() << std::endl;
  RecordProperty("result", result.str());
}

} // namespace
