// The end of the process: at once, with the exit code, after standard streams are
// flushed (the child is this program, its output a file and so fully buffered).
#include "platform/process.h"

#include "platform/test_support/self_child.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(ProcessChild, DISABLED_ExitsWithOutputPending) {
  std::fputs("buffered line\n", stdout);
  std::fputs("last words", stdout);
  platform::ExitProcess(217);
}

TEST(ProcessTest, ExitProcessEndsWithTheCodeAndNothingWrittenIsLost) {
  testing_support::ScopedTempDir dir;
  auto child = platform_testing::StartSelf("ProcessChild.*", dir.path());
  ASSERT_TRUE(child->WaitForExit(60000));
  EXPECT_EQ(child->ExitCode(), 217u) << child->Stderr();
  const std::string output = child->Stdout();
  // Text mode may end the line with a carriage return too.
  EXPECT_NE(output.find("buffered line"), std::string::npos) << output;
  EXPECT_NE(output.find("last words"), std::string::npos) << output;
  // Ended at once: the test framework never reported the test's end.
  EXPECT_EQ(output.find("[       OK ]"), std::string::npos) << output;
}

TEST(ProcessTest, NoDebuggerWatchesTheTests) {
  EXPECT_FALSE(platform::LastChanceFilterContinuesSearch());
}

} // namespace
