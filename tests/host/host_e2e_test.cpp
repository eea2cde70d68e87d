// The host demo run as a real program: quits, the end of the session and both failure
// reports, with the exit codes and the units' end work.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <regex>

using namespace testing_support;

namespace {

class HostDemoTest : public ::testing::Test {
protected:
  std::unique_ptr<ChildProcess> Start(const std::string& failMode = "") {
    std::string program = dir / ExecutableName("host_demo");
    CopyExecutable(TestExecutableDir() + "/" + ExecutableName("host_demo"), program);
    return std::make_unique<ChildProcess>(
        program, std::vector<std::string>{},
        std::vector<std::pair<std::string, std::string>>{
            {"HOST_DEMO_FAIL", failMode.empty() ? kUnset : failMode}},
        dir.path());
  }

  static std::string Normalised(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  }

  ScopedTempDir dir;
};

const char kEndsInReverse[] = "end Gamma\nend Beta\nend Alpha\n";

TEST_F(HostDemoTest, QuitFinishesTheCycleInProgressAndEndsUnitsInReverse) {
  for (QuitRoute route : {QuitRoute::kThread, QuitRoute::kWindow}) {
    SCOPED_TRACE(route == QuitRoute::kThread ? "thread" : "window");
    auto child = Start();
    ASSERT_TRUE(child->WaitForOutput("cycle 2 done", 30000));
    child->RequestQuit(route);
    ASSERT_TRUE(child->WaitForExit(30000));
    EXPECT_EQ(child->ExitCode(), 0u);
    std::string out = Normalised(child->Stdout());
    EXPECT_EQ(out.find("start Alpha\nstart Beta\nstart Gamma\nmain\ncycle 1\n"), 0u) << out;
    // The cycle that took the quit ran to its end, then the loop was left.
    std::smatch last;
    ASSERT_TRUE(std::regex_search(out, last, std::regex("cycle (\\d+)\ncycle \\1 done\nfinish\n")))
        << out;
    EXPECT_NE(out.find(std::string("finish\n") + kEndsInReverse), std::string::npos) << out;
  }
}

TEST_F(HostDemoTest, EndOfSessionEndsAtOnceAfterTheEndWork) {
  auto child = Start();
  ASSERT_TRUE(child->WaitForOutput("cycle 2 done", 30000));
  child->EndSession();
  ASSERT_TRUE(child->WaitForExit(30000));
  EXPECT_EQ(child->ExitCode(), 0u);
  std::string out = Normalised(child->Stdout());
  EXPECT_EQ(out.find("finish"), std::string::npos) << out;
  EXPECT_NE(out.find(std::string("done\n") + kEndsInReverse), std::string::npos) << out;
}

TEST_F(HostDemoTest, FailureInTheLoopGetsTheApplicationErrorBoxAndExitCode1) {
  auto child = Start("loop");
  std::optional<std::string> box = child->TakeBox("Application Error", 30000);
  ASSERT_TRUE(box.has_value()) << child->Stderr();
  EXPECT_TRUE(std::regex_match(Normalised(*box),
                               std::regex("Exception EDemoFailure in module " +
                                          ExecutableName("host_demo") +
                                          " at [0-9A-F]{8}\\.\nDemo failure in cycle 2\\.\n?")))
      << *box;
  ASSERT_TRUE(child->WaitForExit(30000));
  EXPECT_EQ(child->ExitCode(), 1u);
  std::string out = Normalised(child->Stdout());
  EXPECT_EQ(out.find("cycle 2 done"), std::string::npos);
  EXPECT_NE(out.find(std::string("cycle 2\n") + kEndsInReverse), std::string::npos) << out;
}

TEST_F(HostDemoTest, FailureInAUnitStartGetsRuntimeError217) {
  auto child = Start("start:Beta");
  std::optional<std::string> box = child->TakeBox("Error", 30000);
  ASSERT_TRUE(box.has_value()) << child->Stderr();
  EXPECT_TRUE(std::regex_match(*box, std::regex("Runtime error 217 at [0-9A-F]{8}"))) << *box;
  ASSERT_TRUE(child->WaitForExit(30000));
  EXPECT_EQ(child->ExitCode(), 217u);
  // The failing unit and the one before it ended; the main block never ran.
  EXPECT_EQ(Normalised(child->Stdout()), "start Alpha\nstart Beta\nend Beta\nend Alpha\n");
}

} // namespace
