// The real agent against the real test service: what reaches the service byte for byte,
// the debug log, the boxes and the exit codes.
#include "tests/agent/AgentFixture.h"

#include <regex>

using namespace agent_test;

namespace {

TEST_F(AgentTest, NormalRunReportsTwiceASecondTracesEveryStepAndQuitsWithExitCode0) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForRequests(0, kLongWait)) << agent->Stderr();
  auto first = std::chrono::steady_clock::now();
  size_t atFirst = RequestCount();
  // Six more reports: about three seconds at two a second.
  ASSERT_TRUE(WaitForRequests(atFirst + 5, kLongWait)) << agent->Stderr();
  size_t reports = RequestCount() - atFirst;
  auto elapsed = std::chrono::steady_clock::now() - first;
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u) << agent->Stderr();
  EXPECT_EQ(agent->Stderr(), AgentStderrWithoutSession());

  // About two reports a second: each cycle sleeps 500 ms and does a little work.
  double seconds = std::chrono::duration<double>(elapsed).count();
  EXPECT_GE(reports, static_cast<size_t>(seconds * 2 * 0.7));
  EXPECT_LE(reports, static_cast<size_t>(seconds * 2) + 1);

  std::string requests = Requests();
  ASSERT_EQ(requests.size() % kRecordSize, 0u);
  size_t count = requests.size() / kRecordSize;
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE("report " + std::to_string(i));
    std::string record = requests.substr(i * kRecordSize, kRecordSize);
    EXPECT_EQ(Word(record, 0), kRecordSize);
    EXPECT_EQ(Word(record, 4), 1u);
    std::uint32_t idleSeconds = Word(record, 28), idleMinutes = Word(record, 32);
    EXPECT_LE(idleMinutes, idleSeconds / 60 + 1);
    std::string rest = record.substr(8, 20) + record.substr(36);
    EXPECT_EQ(rest, std::string(rest.size(), '\0'));
  }

  std::vector<std::string> expected = {
      "Debugg logging started.", "Program started.", "SchedulerAgent: Start",
      "SchedulerAgent: Create CommonIdleClient", "SchedulerAgent: Loop"};
  for (size_t i = 0; i < count; ++i)
    for (const char* text :
         {"SchedulerAgent: SendIdleTime", "SchedulerAgent: TCommonIdleClient.SendIdleTime",
          "SchedulerAgent: TCommonIdleClient.SendIdleTime"})
      expected.push_back(text);
  expected.push_back("SchedulerAgent: Finish");
  std::string log = Log();
  EXPECT_EQ(TraceTexts(log), expected);

  // Two empty lines before the run's first entry and one after it, CR LF throughout.
  EXPECT_TRUE(std::regex_search(log, std::regex("^\r\n\r\n[^\r\n]+ : Debugg logging started\\.\r\n"
                                                "\r\n[^\r\n]+ : Program started\\.\r\n[^\r\n]+ : "
                                                "SchedulerAgent: Start\r\n")))
      << log.substr(0, 200);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), std::count(log.begin(), log.end(), '\r'));
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
}

TEST_F(AgentTest, QuitDuringThePauseGetsExactlyOneMoreReport) {
  StartService("echo");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForRequests(1, kLongWait));
  // A report has just arrived: the agent is in its pause.
  size_t count = RequestCount();
  ASSERT_TRUE(WaitForRequests(count, kLongWait));
  count = RequestCount();
  agent->RequestQuit(QuitRoute::kWindow);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u);
  EXPECT_EQ(RequestCount(), count + 1);
  EXPECT_FALSE(PathExists(dir / "Debugg.log")); // no MKLOG.INI: logging off
}

TEST_F(AgentTest, EndOfSessionEndsAtOnceWithoutFinishOrFurtherReport) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForRequests(1, kLongWait));
  size_t count = RequestCount();
  ASSERT_TRUE(WaitForRequests(count, kLongWait));
  count = RequestCount();
  agent->EndSession();
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u);
  EXPECT_EQ(RequestCount(), count);
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "SchedulerAgent: Finish"), 0);
  EXPECT_EQ(texts.back(), "SchedulerAgent: TCommonIdleClient.SendIdleTime");
}

TEST_F(AgentTest, ServiceDroppingTheTransactionGetsTheApplicationErrorBoxAndExitCode1) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("close");
  auto agent = StartAgent();
  std::optional<std::string> box = agent->TakeBox("Application Error", kLongWait);
  ASSERT_TRUE(box.has_value()) << agent->Stderr();
  std::string text = *box;
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  std::smatch match;
  ASSERT_TRUE(
      std::regex_match(text, match,
                       std::regex("Exception XExceptionPipeNotRespond in module " +
                                  std::regex_replace(AgentName(), std::regex("\\."), "\\.") +
                                  " at [0-9A-F]{8}\\.\nPIPE did not respond\\. (.+)\n?")))
      << text;
  // The system's text, then exactly one full stop.
  std::string systemText = match[1];
  ASSERT_GE(systemText.size(), 2u);
  EXPECT_EQ(systemText.back(), '.');
  EXPECT_NE(systemText[systemText.size() - 2], '.');
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 1u);
  std::vector<std::string> texts = TraceTexts(Log());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "SchedulerAgent: Finish"), 0);
}

TEST_F(AgentTest, ServiceAbsentEveryCycleTracesTheTwoTextsAndSendsNothing) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForTrace("SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server",
                           1, kLongWait))
      << agent->Stderr();
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u);
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_GE(texts.size(), 9u);
  EXPECT_EQ(texts.back(), "SchedulerAgent: Finish");
  size_t cycles = 0;
  for (size_t i = 5; i + 1 < texts.size(); i += 3) {
    EXPECT_EQ(texts[i], "SchedulerAgent: SendIdleTime");
    EXPECT_EQ(texts[i + 1], "SchedulerAgent: TCommonIdleClient.SendIdleTime");
    EXPECT_EQ(texts[i + 2],
              "SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server");
    ++cycles;
  }
  EXPECT_GE(cycles, 2u);
}

TEST_F(AgentTest, LoggingSwitch) {
  // Test tuple <DebuggLog value, log written>
  const std::pair<const char*, bool> cases[] = {
      {"1", true},  {"-1", true},    {"0x10", true}, {"$1F", true},
      {"0", false}, {"true", false}, {"yes", false}, {"", false},
  };
  StartService("echo");
  for (const auto& [value, on] : cases) {
    SCOPED_TRACE(value);
    std::filesystem::remove(dir / "Debugg.log");
    WriteIni(std::string("[Settings]\r\ndebugglog = ") + value + "\r\n");
    size_t before = RequestCount();
    auto agent = StartAgent();
    // The log, when on, is opened at start-up, before the first report.
    ASSERT_TRUE(WaitForRequests(before, kLongWait)) << agent->Stderr();
    agent->RequestQuit(QuitRoute::kThread);
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
    EXPECT_EQ(agent->ExitCode(), 0u);
    EXPECT_EQ(PathExists(dir / "Debugg.log"), on);
  }
}

TEST_F(AgentTest, SecondRunAppendsAfterTwoEmptyLines) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  for (int run = 0; run < 2; ++run) {
    auto agent = StartAgent();
    ASSERT_TRUE(WaitForTrace("SchedulerAgent: Loop", static_cast<size_t>(run), kLongWait))
        << agent->Stderr();
    agent->RequestQuit(QuitRoute::kThread);
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
  }
  std::string log = Log();
  EXPECT_TRUE(std::regex_search(log, std::regex(" : SchedulerAgent: Finish\r\n\r\n\r\n[^\r\n]+ : "
                                                "Debugg logging started\\.\r\n\r\n[^\r\n]+ : "
                                                "Program started\\.\r\n")))
      << log;
}

TEST_F(AgentTest, FourAgentsShareOneLogWithWholeLinesOnly) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  std::vector<std::unique_ptr<ChildProcess>> agents;
  for (int i = 0; i < 4; ++i)
    agents.push_back(StartAgent());
  // A dozen reports, three lines of log each: time enough for the entries to collide. (An
  // entry that meets another agent's lock is dropped, so no one entry is waited for.)
  ASSERT_TRUE(WaitForRequests(4 * 3 - 1, kLongWait));
  for (auto& agent : agents)
    agent->RequestQuit(QuitRoute::kThread);
  for (auto& agent : agents) {
    ASSERT_TRUE(agent->WaitForExit(kLongWait));
    EXPECT_EQ(agent->ExitCode(), 0u);
  }
  std::string log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  const std::regex wholeEntry(
      "[^\r\n]+ : (Debugg logging started\\.|Program started\\.|SchedulerAgent: (Start|Create "
      "CommonIdleClient|Loop|SendIdleTime|Finish|TCommonIdleClient\\.SendIdleTime))");
  size_t start = 0, entries = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::string line = log.substr(start, end - start);
    if (!line.empty()) {
      EXPECT_TRUE(std::regex_match(line, wholeEntry)) << line;
      ++entries;
    }
    start = end + 2;
  }
  EXPECT_GT(entries, 4u * 5u);
}

} // namespace
