// The running executable and the module an address belongs to, as the failure reports
// name them.
#include "platform/module.h"

#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;

int dataInThisImage = 1;

TEST(ModuleTest, OwnModuleFileNameIsTheWholePathOfThisProgram) {
  fs::path path(platform::OwnModuleFileName());
  EXPECT_TRUE(path.is_absolute()) << path;
  EXPECT_TRUE(fs::is_regular_file(path)) << path;
  EXPECT_EQ(path.filename().string(), testing_support::ExecutableName("platform_tests"));
}

TEST(ModuleTest, CodeAndDataOfThisProgramBelongToIt) {
  const void* addresses[] = {reinterpret_cast<const void*>(&platform::FindModuleOfAddress),
                             &dataInThisImage};
  for (const void* address : addresses) {
    platform::ModuleOfCode module = platform::FindModuleOfAddress(address);
    ASSERT_TRUE(module.found);
    EXPECT_EQ(module.path, platform::OwnModuleFileName());
    EXPECT_NE(module.base, 0u);
    EXPECT_LE(module.base, reinterpret_cast<std::uintptr_t>(address));
  }
}

TEST(ModuleTest, AddressesOutsideEveryModuleAreNotFound) {
  auto heap = std::make_unique<char[]>(64);
  int stack = 0;
  for (const void* address :
       {static_cast<const void*>(nullptr), static_cast<const void*>(heap.get()),
        static_cast<const void*>(&stack)}) {
    platform::ModuleOfCode module = platform::FindModuleOfAddress(address);
    EXPECT_FALSE(module.found) << address;
    EXPECT_TRUE(module.path.empty());
  }
}

} // namespace
