// Rewriting the program's own machine code: a patched function does what its new bytes
// say until its old bytes are written back, and indirect jumps are followed to their cell.
#include "platform/code_patch.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace {

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

} // namespace
