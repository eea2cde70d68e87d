// THook against real functions of this test program: the jump it prepares, the bytes it
// writes and takes back, and the calls it redirects.
#include "common/GNUgettext/THook.h"

#include "framework/Exception.h"
#include "platform/compiler.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Distinct bodies, so that no linker folds them into one.
SA_NOINLINE int AnswerOne(int x) {
  return x + 1;
}
SA_NOINLINE int AnswerTwo(int x) {
  return x * 2 + 5;
}

// Called through a volatile pointer, so each call really enters the function's code.
int (*volatile answerOne)(int) = &AnswerOne;

void* Code(int (*function)(int)) {
  return reinterpret_cast<void*>(function);
}

std::array<std::uint8_t, 5> BytesAt(const void* address) {
  std::array<std::uint8_t, 5> bytes;
  std::memcpy(bytes.data(), address, bytes.size());
  return bytes;
}

TEST(THook, PreparesRelativeJumpWithoutWritingIt) {
  const auto before = BytesAt(Code(&AnswerOne));
  THook hook(Code(&AnswerOne), Code(&AnswerTwo));

  EXPECT_EQ(hook.Position(), Code(&AnswerOne));
  EXPECT_EQ(hook.OriginalBytes(), before);
  EXPECT_EQ(hook.PatchBytes()[0], 0xE9);
  std::int32_t displacement;
  std::memcpy(&displacement, hook.PatchBytes().data() + 1, sizeof(displacement));
  EXPECT_EQ(reinterpret_cast<std::intptr_t>(Code(&AnswerOne)) + 5 + displacement,
            reinterpret_cast<std::intptr_t>(Code(&AnswerTwo)));
  EXPECT_EQ(BytesAt(Code(&AnswerOne)), before);
  EXPECT_EQ(answerOne(10), 11);
}

TEST(THook, EnableRedirectsCallsAndDisableAndDestructionTakeItBack) {
  const auto before = BytesAt(Code(&AnswerOne));
  {
    THook hook(Code(&AnswerOne), Code(&AnswerTwo));
    hook.Enable();
    EXPECT_EQ(BytesAt(Code(&AnswerOne)), hook.PatchBytes());
    EXPECT_EQ(answerOne(10), 25);
    hook.Disable();
    EXPECT_EQ(BytesAt(Code(&AnswerOne)), before);
    EXPECT_EQ(answerOne(10), 11);
    hook.Enable();
    hook.Enable(); // twice in force is still one jump
    EXPECT_EQ(answerOne(10), 25);
  }
  EXPECT_EQ(BytesAt(Code(&AnswerOne)), before);
  EXPECT_EQ(answerOne(10), 11);
}

TEST(THook, ResetTakesAPatchInForceOutAndPreparesAgain) {
  const auto before = BytesAt(Code(&AnswerOne));
  THook hook(Code(&AnswerOne), Code(&AnswerTwo));
  hook.Enable();
  hook.Reset();
  // Had Reset read the entry while the jump was in force, Disable would keep it there.
  EXPECT_EQ(BytesAt(Code(&AnswerOne)), before);
  EXPECT_EQ(hook.OriginalBytes(), before);
  hook.Enable();
  EXPECT_EQ(answerOne(1), 7);
  hook.Disable();
  EXPECT_EQ(answerOne(1), 2);
}

// An import stub `jmp [cell]` in a data buffer; the hook only reads it, so it need not be
// executable. The cell lies 10 bytes after the instruction's end, which on x86-64 is
// where the 32-bit field counts from.
TEST(THook, FollowJumpPatchesTheTargetOfAnIndirectJump) {
  alignas(16) std::uint8_t stub[32] = {0xFF, 0x25, 10, 0, 0, 0};
  void* target = Code(&AnswerOne);
  std::memcpy(stub + 16, &target, sizeof(target));

  THook followed(stub, Code(&AnswerTwo), /*FollowJump=*/true);
  EXPECT_EQ(followed.Position(), target);

  // Without FollowJump the stub itself would be the position; the buffer is not code,
  // so this is only checked with a stub inside the program's code: the entry itself.
  THook direct(Code(&AnswerOne), Code(&AnswerTwo), /*FollowJump=*/true);
  EXPECT_EQ(direct.Position(), Code(&AnswerOne));
}

TEST(THook, PositionOutsideTheProgramRaisesTheSystemError) {
  // The first page of the address space is never mapped on either system.
  // The replacement is near it, so that only the protection change can fail.
  EXPECT_THROW(THook(reinterpret_cast<void*>(0x100), reinterpret_cast<void*>(0x200)), EOSError);
}

TEST(THook, ReplacementOutOfJumpReachRaises) {
  auto far = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(Code(&AnswerOne)) +
                                     (std::uintptr_t{1} << 33));
  try {
    THook hook(Code(&AnswerOne), far);
    FAIL() << "no failure";
  } catch (const EGGHookOutOfReach& e) {
    EXPECT_NE(e.Message().find(u"too far"), std::u16string::npos);
  }
  EXPECT_EQ(answerOne(3), 4);
}

} // namespace
