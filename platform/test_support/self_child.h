// The platform tests run themselves as a child process where a contract is about what
// another process sees: the child runs one disabled test of the same program.
#pragma once

#include "tests/support/child_process.h"

#include <memory>
#include <string>

namespace platform_testing {

/// Starts this test program running only `childTest` (a test named DISABLED_...), with
/// its output in files in `outputDir`.
inline std::unique_ptr<testing_support::ChildProcess> StartSelf(const std::string& childTest,
                                                                const std::string& outputDir) {
  return std::make_unique<testing_support::ChildProcess>(
      testing_support::TestExecutableDir() + "/" +
          testing_support::ExecutableName("platform_tests"),
      std::vector<std::string>{"--gtest_also_run_disabled_tests", "--gtest_filter=" + childTest},
      std::vector<std::pair<std::string, std::string>>{}, outputDir);
}

} // namespace platform_testing
