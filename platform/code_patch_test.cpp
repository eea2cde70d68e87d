// Rewriting the program's own machine code: a patched function does what its new bytes
// say until its old bytes are written back, each page gets its own protection back, and
// indirect jumps are followed to their cell.
#include "platform/code_patch.h"

#include "platform/error_text.h"
#include "platform/test_support/pages.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

using platform_testing::AccessAt;
using platform_testing::PageAccess;

int AnswerOne() {
  return 1;
}

// Calls through a volatile pointer are never inlined: they run the bytes at the address.
int (*volatile answer)() = &AnswerOne;

TEST(CodePatchTest, PatchedFunctionRunsItsNewBytesUntilRestored) {
  auto* code = reinterpret_cast<std::uint8_t*>(answer);
  // mov eax, 2; ret
  const std::uint8_t answerTwo[6] = {0xB8, 0x02, 0x00, 0x00, 0x00, 0xC3};
  std::uint8_t original[sizeof(answerTwo)];
  std::memcpy(original, code, sizeof(original));
  ASSERT_TRUE(platform::CanWriteCode(code, sizeof(answerTwo)));
  ASSERT_TRUE(platform::WriteCode(code, answerTwo, sizeof(answerTwo)));
  EXPECT_EQ(answer(), 2);
  ASSERT_TRUE(platform::WriteCode(code, original, sizeof(original)));
  EXPECT_EQ(answer(), 1);
  // Nothing to write is no failure.
  EXPECT_TRUE(platform::WriteCode(code, answerTwo, 0));
  EXPECT_EQ(answer(), 1);
}

TEST(CodePatchTest, IndirectJumpIsFollowedToItsCell) {
  // jmp [cell]: FF 25 and a 32-bit field, then the cell itself two bytes on.
  struct {
    std::uint8_t instruction[8] = {0xFF, 0x25};
    const void* cell = nullptr;
  } thunk;
  static_assert(offsetof(decltype(thunk), cell) == 8);
  std::int32_t field;
  if constexpr (sizeof(void*) == 8)
    field = 8 - 6; // from the end of the six-byte instruction
  else
    field = static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(&thunk.cell));
  std::memcpy(thunk.instruction + 2, &field, sizeof(field));
  EXPECT_EQ(platform::IndirectJumpCell(thunk.instruction), &thunk.cell);
}

TEST(CodePatchTest, WriteAcrossAPageBoundaryRestoresEachPage) {
  platform_testing::TwoTestPages pages;
  ASSERT_NE(pages.Base(), nullptr);
  std::uint8_t* first = pages.Base();
  std::uint8_t* second = first + pages.PageSize();
  const std::uint8_t bytes[5] = {0xE9, 1, 2, 3, 4};
  std::uint8_t* at = second - 2;
  ASSERT_TRUE(platform::WriteCode(at, bytes, sizeof(bytes)));
  EXPECT_EQ(std::memcmp(at, bytes, sizeof(bytes)), 0);
  EXPECT_EQ(AccessAt(first), PageAccess::kReadExecute);
  EXPECT_EQ(AccessAt(second), PageAccess::kReadOnly);

  ASSERT_TRUE(platform::CanWriteCode(at, sizeof(bytes)));
  EXPECT_EQ(AccessAt(first), PageAccess::kReadExecute);
  EXPECT_EQ(AccessAt(second), PageAccess::kReadOnly);
}

TEST(CodePatchTest, ProgramCodeIsNotLeftWritable) {
  const void* code = reinterpret_cast<const void*>(&platform::WriteCode);
  ASSERT_EQ(AccessAt(code), PageAccess::kReadExecute);
  std::uint8_t same[5];
  std::memcpy(same, code, sizeof(same));
  ASSERT_TRUE(platform::WriteCode(const_cast<void*>(code), same, sizeof(same)));
  EXPECT_EQ(AccessAt(code), PageAccess::kReadExecute);
}

TEST(CodePatchTest, UnmappedAddressFailsWithTheErrorCode) {
  // The first page of the address space is never mapped on either system.
  std::uint8_t bytes[5] = {};
  platform::SetLastErrorCode(0);
  EXPECT_FALSE(platform::WriteCode(reinterpret_cast<void*>(0x100), bytes, sizeof(bytes)));
  EXPECT_NE(platform::LastErrorCode(), 0u);
  EXPECT_FALSE(platform::CanWriteCode(reinterpret_cast<void*>(0x100), sizeof(bytes)));
}

} // namespace
