// THook: prepares, writes and takes back the jump over a function's entry.
#include "common/GNUgettext/THook.h"

#include "framework/SysUtils.h"
#include "platform/code_patch.h"

#include <cstring>

namespace {

constexpr std::uint8_t kRelativeJump = 0xE9;

} // namespace

THook::THook(void* OldProcedure, void* NewProcedure, bool FollowJump)
    : oldproc(OldProcedure), newproc(NewProcedure) {
  Reset(FollowJump);
}

THook::~THook() {
  // A hook whose preparation failed holds no position and has nothing to take back.
  if (PatchPosition != nullptr)
    Disable();
  PatchPosition = nullptr;
}

void THook::Reset(bool FollowJump) {
  if (PatchPosition != nullptr) {
    Disable();
    PatchPosition = nullptr;
  }

  std::uint8_t* position = static_cast<std::uint8_t*>(oldproc);
  if (FollowJump && position[0] == 0xFF && position[1] == 0x25)
    position = static_cast<std::uint8_t*>(const_cast<void*>(*platform::IndirectJumpCell(position)));

  // The displacement counts from the end of the 5-byte jump. On x86-64 the two may lie
  // farther apart than 32 bits reach; a truncated displacement would jump into nowhere.
  std::intptr_t displacement =
      reinterpret_cast<std::intptr_t>(newproc) - (reinterpret_cast<std::intptr_t>(position) + 5);
  if (displacement < INT32_MIN || displacement > INT32_MAX)
    throw EGGHookOutOfReach(Format(u"The replacement at %p is too far from the code at %p to "
                                   u"be reached by a relative jump",
                                   {FormatArg(newproc), FormatArg(position)}));
  // Writing happens only in Enable and Disable; here it is made sure that it can, before
  // the bytes are read, so that a position outside the program's code fails cleanly.
  if (!platform::CanWriteCode(position, Original.size()))
    RaiseLastOSError();
  std::int32_t displacement32 = static_cast<std::int32_t>(displacement);
  std::array<std::uint8_t, 5> patch{kRelativeJump};
  std::memcpy(patch.data() + 1, &displacement32, sizeof(displacement32));
  std::array<std::uint8_t, 5> original;
  std::memcpy(original.data(), position, original.size());
  Patch = patch;
  Original = original;
  PatchPosition = position;
}

void THook::Enable() {
  Assert(PatchPosition != nullptr, u"Patch position in THook was nil when Enable was called");
  Write(Patch);
}

void THook::Disable() {
  Assert(PatchPosition != nullptr, u"Patch position in THook was nil when Disable was called");
  Write(Original);
}

void THook::Write(const std::array<std::uint8_t, 5>& bytes) {
  // Bytes already in place need no trip through the page protection.
  if (std::memcmp(PatchPosition, bytes.data(), bytes.size()) == 0)
    return;
  if (!platform::WriteCode(PatchPosition, bytes.data(), bytes.size()))
    RaiseLastOSError();
}
