// Linux-only ways the agent fails to start.
#include "tests/agent/AgentFixture.h"

#include <regex>

using namespace agent_test;

namespace {

TEST_F(AgentTest, IdleFunctionMissingEndsTheStartWithRuntimeError217) {
  WriteIni("[settings]\r\nDebuggLog=1\r\n");
  StartService("echo");
  // The library is opened only where an X display is to be read.
  auto agent = StartAgent({{"LD_LIBRARY_PATH", FAKE_XCB_DIR}, {"DISPLAY", ":59999"}});
  std::optional<std::string> box = agent->TakeBox("Error", kLongWait);
  ASSERT_TRUE(box.has_value()) << agent->Stderr();
  EXPECT_TRUE(std::regex_match(*box, std::regex("Runtime error 217 at [0-9A-F]{8}"))) << *box;
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 217u);
  // InputHook starts first: nothing else started, nothing was traced or sent.
  EXPECT_FALSE(PathExists(dir / "Debugg.log"));
  EXPECT_EQ(RequestCount(), 0u);
}

} // namespace
