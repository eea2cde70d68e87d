// Code patching with VirtualProtect: bytes land, and each page gets its own protection back.
#include "platform/code_patch.h"

#include "platform/win32/win_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

DWORD ProtectionAt(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(address, &info, sizeof(info));
  return info.Protect;
}

class TwoPages : public ::testing::Test {
protected:
  void SetUp() override {
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    page = system.dwPageSize;
    base = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, 2 * page, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READ));
    ASSERT_NE(base, nullptr);
    // A second page of another protection, so a shared "previous" value would show.
    DWORD previous;
    ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_READONLY, &previous));
  }
  void TearDown() override { VirtualFree(base, 0, MEM_RELEASE); }

  std::size_t page = 0;
  std::uint8_t* base = nullptr;
};

TEST_F(TwoPages, WriteAcrossAPageBoundaryRestoresEachPage) {
  const std::uint8_t bytes[5] = {0xE9, 1, 2, 3, 4};
  std::uint8_t* at = base + page - 2;
  ASSERT_TRUE(platform::WriteCode(at, bytes, sizeof(bytes)));
  EXPECT_EQ(std::memcmp(at, bytes, sizeof(bytes)), 0);
  EXPECT_EQ(ProtectionAt(base), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(ProtectionAt(base + page), static_cast<DWORD>(PAGE_READONLY));

  ASSERT_TRUE(platform::CanWriteCode(at, sizeof(bytes)));
  EXPECT_EQ(ProtectionAt(base), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(ProtectionAt(base + page), static_cast<DWORD>(PAGE_READONLY));
}

TEST(CodePatch, ProgramCodeIsNotLeftWritable) {
  const void* code = reinterpret_cast<const void*>(&platform::WriteCode);
  const DWORD before = ProtectionAt(code);
  ASSERT_EQ(before, static_cast<DWORD>(PAGE_EXECUTE_READ));
  std::uint8_t same[5];
  std::memcpy(same, code, sizeof(same));
  ASSERT_TRUE(platform::WriteCode(const_cast<void*>(code), same, sizeof(same)));
  EXPECT_EQ(ProtectionAt(code), before);
}

TEST(CodePatch, UnmappedAddressFailsWithTheErrorCode) {
  std::uint8_t bytes[5] = {};
  SetLastError(0);
  EXPECT_FALSE(platform::WriteCode(reinterpret_cast<void*>(0x100), bytes, sizeof(bytes)));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_FALSE(platform::CanWriteCode(reinterpret_cast<void*>(0x100), sizeof(bytes)));
}

} // namespace
