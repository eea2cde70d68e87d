// The agent in a fresh folder of its own, with helpers for runs that meet a fault: a run
// that must end in the pipe failure box, and the check that a log holds only whole entries.
#pragma once

#include "tests/agent/AgentFixture.h"

#include <regex>

namespace fault_test {

using namespace agent_test;

inline const char kLogOn[] = "[settings]\r\nDebuggLog=1\r\n";

class FaultTest : public AgentTest {
protected:
  /// Asks the agent to quit and checks that the fault left it unharmed: it ends with exit
  /// code 0 and says nothing on standard error beyond the no-session line. Callers wrap
  /// it in ASSERT_NO_FATAL_FAILURE.
  static void QuitAndExpectCleanEnd(ChildProcess& agent) {
    agent.RequestQuit(QuitRoute::kThread);
    ASSERT_TRUE(agent.WaitForExit(kLongWait)) << "the agent hung";
    EXPECT_EQ(agent.ExitCode(), 0u) << agent.Stderr();
    EXPECT_EQ(agent.Stderr(), AgentStderrWithoutSession());
  }

  /// The box of a pipe failure that nothing caught, then exit code 1. `classes` is the
  /// alternation of exception class names the fault may raise.
  void ExpectPipeFailureEnd(ChildProcess& agent, const std::string& classes) {
    std::optional<std::string> box = agent.TakeBox("Application Error", kLongWait);
    ASSERT_TRUE(box.has_value()) << agent.Stderr();
    std::string text = *box;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::smatch match;
    EXPECT_TRUE(std::regex_match(
        text, match,
        std::regex("Exception (" + classes + ") in module " +
                   std::regex_replace(AgentName(), std::regex("\\."), "\\.") +
                   " at [0-9A-F]{8}\\.\nPIPE (does not exist|did not respond)\\. .+\\.\n?")))
        << text;
    if (match.size() == 3) {
      // Each class has its own message.
      EXPECT_EQ(match[1] == "XExceptionPipeNotRespond", match[2] == "did not respond") << text;
    }
    ASSERT_TRUE(agent.WaitForExit(kLongWait)) << "the agent hung after the box";
    EXPECT_EQ(agent.ExitCode(), 1u);
  }

  /// Every line of the log past `from` is empty or one whole entry of a known trace
  /// text, and the log ends with a line end.
  static void ExpectWholeEntries(const std::string& log, size_t from = 0) {
    ASSERT_GE(log.size(), from);
    if (log.size() == from)
      return;
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n") << "the last entry is torn";
    static const std::regex wholeEntry(
        "[^\r\n]+ : (Debugg logging started\\.|Program started\\.|SchedulerAgent: (Start|Create "
        "CommonIdleClient|Loop|SendIdleTime|Finish|TCommonIdleClient\\.SendIdleTime( - No "
        "Common Idle Server)?))");
    size_t start = from;
    while (start < log.size()) {
      size_t end = log.find("\r\n", start);
      if (end == std::string::npos)
        end = log.size();
      std::string line = log.substr(start, end - start);
      EXPECT_TRUE(line.empty() || std::regex_match(line, wholeEntry)) << "torn: " << line;
      start = end + 2;
    }
  }
};

} // namespace fault_test
