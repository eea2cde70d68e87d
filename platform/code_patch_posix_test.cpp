// Code patching with mprotect: bytes land, and each page gets its own protection back.
#include "platform/code_patch.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The permission letters ("r-xp") of the mapping that holds the address.
std::string PermissionsAt(const void* address) {
  auto wanted = reinterpret_cast<std::uintptr_t>(address);
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  std::string result;
  char line[512];
  while (maps && std::fgets(line, sizeof(line), maps)) {
    std::uintptr_t begin, end;
    char perms[5] = {};
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %4s", &begin, &end, perms) == 3 &&
        wanted >= begin && wanted < end) {
      result = perms;
      break;
    }
  }
  if (maps)
    std::fclose(maps);
  return result;
}

class TwoPages : public ::testing::Test {
protected:
  void SetUp() override {
    page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* memory =
        mmap(nullptr, 2 * page, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    base = static_cast<std::uint8_t*>(memory);
    // A second page of another protection, so a shared "previous" value would show.
    ASSERT_EQ(mprotect(base + page, page, PROT_READ), 0);
  }
  void TearDown() override { munmap(base, 2 * page); }

  std::size_t page = 0;
  std::uint8_t* base = nullptr;
};

TEST_F(TwoPages, WriteAcrossAPageBoundaryRestoresEachPage) {
  const std::uint8_t bytes[5] = {0xE9, 1, 2, 3, 4};
  std::uint8_t* at = base + page - 2;
  ASSERT_TRUE(platform::WriteCode(at, bytes, sizeof(bytes)));
  EXPECT_EQ(std::memcmp(at, bytes, sizeof(bytes)), 0);
  EXPECT_EQ(PermissionsAt(base), "r-xp");
  EXPECT_EQ(PermissionsAt(base + page), "r--p");

  ASSERT_TRUE(platform::CanWriteCode(at, sizeof(bytes)));
  EXPECT_EQ(PermissionsAt(base), "r-xp");
  EXPECT_EQ(PermissionsAt(base + page), "r--p");
}

TEST(CodePatch, ProgramCodeIsNotLeftWritable) {
  const void* code = reinterpret_cast<const void*>(&platform::WriteCode);
  ASSERT_EQ(PermissionsAt(code).substr(0, 3), "r-x");
  std::uint8_t same[5];
  std::memcpy(same, code, sizeof(same));
  ASSERT_TRUE(platform::WriteCode(const_cast<void*>(code), same, sizeof(same)));
  EXPECT_EQ(PermissionsAt(code).substr(0, 3), "r-x");
}

TEST(CodePatch, UnmappedAddressFailsWithTheErrorCode) {
  std::uint8_t bytes[5] = {};
  errno = 0;
  EXPECT_FALSE(platform::WriteCode(reinterpret_cast<void*>(0x100), bytes, sizeof(bytes)));
  EXPECT_NE(errno, 0);
  EXPECT_FALSE(platform::CanWriteCode(reinterpret_cast<void*>(0x100), sizeof(bytes)));
}

} // namespace
