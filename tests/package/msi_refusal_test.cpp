// Installs an older MSI over a newer installed version with the installer's basic UI, as
// an administrator would by hand: the installer refuses it in a box with the package's
// own message. SA_MSI names the older package (a Windows path).
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using testing_support::ChildProcess;
using testing_support::ScopedTempDir;

TEST(MsiDowngrade, IsRefusedWithThePackagesMessage) {
  const char* msi = std::getenv("SA_MSI");
  ASSERT_NE(msi, nullptr) << "SA_MSI must name the older package";
  ScopedTempDir output;
  // Wine titles the box "Install Failed"; Windows titles it with the product name.
  ChildProcess installer("C:\\windows\\system32\\msiexec.exe", {"/i", msi, "/qb"}, {},
                         output.path());
  std::optional<std::string> text = installer.TakeBox("Install Failed", 60000);
  ASSERT_TRUE(text.has_value()) << "no box";
  EXPECT_NE(text->find("A newer version of SchedulerAgent is already installed."),
            std::string::npos)
      << *text;
  ASSERT_TRUE(installer.WaitForExit(60000));
  EXPECT_EQ(installer.ExitCode(), 1603u); // ERROR_INSTALL_FAILURE
}

} // namespace
