// Environment variables set for this process: seen by its own reads and by the children
// it starts (the test runs itself as the child).
#include "platform/environment.h"

#include "platform/test_support/self_child.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

const char kVariable[] = "SA_PLATFORM_TEST_VARIABLE";

std::string Get(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "(unset)";
}

/// What the child prints: the variable as its own start found it. Disabled, so that it
/// runs only when the test below asks for it.
TEST(EnvironmentChild, DISABLED_PrintsTheVariable) {
  std::printf("[%s]\n", Get(kVariable).c_str());
}

TEST(EnvironmentTest, ValueIsSeenHereAndByChildren) {
  // Blanks, an equals sign and a path separator are all part of a value.
  const std::string value = "a b=c/d\\e";
  ASSERT_TRUE(platform::SetEnvVar(kVariable, "first"));
  ASSERT_TRUE(platform::SetEnvVar(kVariable, value));
  EXPECT_EQ(Get(kVariable), value);

  testing_support::ScopedTempDir dir;
  auto child = platform_testing::StartSelf("EnvironmentChild.*", dir.path());
  ASSERT_TRUE(child->WaitForExit(60000));
  EXPECT_EQ(child->ExitCode(), 0u) << child->Stderr();
  EXPECT_NE(child->Stdout().find("[" + value + "]"), std::string::npos) << child->Stdout();
}

TEST(EnvironmentTest, NamesTheSystemCannotHoldFail) {
  for (const char* name : {"", "SA_PLATFORM=TEST"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(platform::SetEnvVar(name, "v"));
  }
  EXPECT_EQ(Get("SA_PLATFORM"), "(unset)");
}

} // namespace
