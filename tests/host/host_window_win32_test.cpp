// The hidden application window as the desktop sees it, and the messages it answers.
#include "tests/support/child_process.h"

#include "platform/win32/win_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::unique_ptr<ChildProcess> StartDemo(const ScopedTempDir& dir) {
  std::string program = dir / "host_demo.exe";
  CopyExecutable(TestExecutableDir() + "\\host_demo.exe", program);
  return std::make_unique<ChildProcess>(program, std::vector<std::string>{},
                                        std::vector<std::pair<std::string, std::string>>{},
                                        dir.path());
}

size_t CountCycles(const std::string& out) {
  size_t count = 0;
  for (size_t at = out.find(" done"); at != std::string::npos; at = out.find(" done", at + 1))
    ++count;
  return count;
}

TEST(HostWindowTest, NeverVisibleToolWindowOfNoSize) {
  ScopedTempDir dir;
  auto child = StartDemo(dir);
  ASSERT_TRUE(child->WaitForOutput("cycle 1 done", 30000));
  ChildProcess::WindowFacts facts = child->HiddenWindow();
  ASSERT_TRUE(facts.found);
  EXPECT_FALSE(facts.visible);
  EXPECT_TRUE(facts.toolWindow);
  EXPECT_EQ(facts.width, 0);
  EXPECT_EQ(facts.height, 0);
}

TEST(HostWindowTest, CloseQueryAndCancelledEndChangeNothing) {
  ScopedTempDir dir;
  auto child = StartDemo(dir);
  ASSERT_TRUE(child->WaitForOutput("cycle 1 done", 30000));
  EXPECT_EQ(child->SendToHiddenWindow(WM_CLOSE, 0), std::optional<std::intptr_t>(0));
  EXPECT_EQ(child->SendToHiddenWindow(WM_QUERYENDSESSION, 0), std::optional<std::intptr_t>(1));
  EXPECT_EQ(child->SendToHiddenWindow(WM_ENDSESSION, 0), std::optional<std::intptr_t>(0));
  // The loop goes on and the window stays.
  size_t before = CountCycles(child->Stdout());
  ASSERT_TRUE(child->WaitForOutput("cycle " + std::to_string(before + 2) + " done", 30000));
  EXPECT_TRUE(child->HiddenWindow().found);
  EXPECT_FALSE(child->WaitForExit(0));
  child->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(child->WaitForExit(30000));
  EXPECT_EQ(child->ExitCode(), 0u);
}

} // namespace
