// A stop request reaching a program that polls for it, sent the way each system's user
// or session manager sends it (SIGTERM; a quit message posted to the main thread).
#include "platform/stop_request.h"

#include "platform/test_support/self_child.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

/// The polling program: it announces itself and waits for the stop.
TEST(StopRequestChild, DISABLED_PollsUntilStopped) {
  platform::InstallStopRequestHandler();
  std::printf("%s\n", platform::StopRequested() ? "stopped early" : "ready");
  std::fflush(stdout);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!platform::StopRequested() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::printf("%s\n", platform::StopRequested() ? "stopped" : "never stopped");
}

TEST(StopRequestTest, RequestIsSeenByTheNextPollAndTheProgramEndsNormally) {
  testing_support::ScopedTempDir dir;
  auto child = platform_testing::StartSelf("StopRequestChild.*", dir.path());
  ASSERT_TRUE(child->WaitForOutput("ready", 60000)) << child->Stdout();
  child->RequestQuit(testing_support::QuitRoute::kThread);
  ASSERT_TRUE(child->WaitForExit(60000));
  EXPECT_EQ(child->ExitCode(), 0u) << child->Stderr();
  const std::string output = child->Stdout();
  EXPECT_NE(output.find("stopped"), std::string::npos) << output;
  EXPECT_EQ(output.find("never stopped"), std::string::npos) << output;
}

} // namespace
