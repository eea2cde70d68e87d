// A redirection of one function's entry to another by a 5-byte relative jump written
// over the function's first machine instructions.
#pragma once

#include "common/GNUgettext/GnuGettextErrors.h"

#include <array>
#include <cstdint>

/// The replacement lies beyond the ±2 GiB a 32-bit jump displacement reaches.
SA_DECLARE_EXCEPTION(EGGHookOutOfReach, EGnuGettext);

class THook {
public:
  /// Prepares the redirection of OldProcedure's entry to NewProcedure, not yet in force.
  THook(void* OldProcedure, void* NewProcedure, bool FollowJump = false);
  THook(const THook&) = delete;
  THook& operator=(const THook&) = delete;
  /// Takes the redirection out of force.
  virtual ~THook();

  /// Prepares the patch again, first taking a patch in force out. With FollowJump, an
  /// indirect jump at the entry (an import stub) is followed and its target patched.
  void Reset(bool FollowJump = false);
  void Enable();
  void Disable();

  const std::array<std::uint8_t, 5>& PatchBytes() const { return Patch; }
  const std::array<std::uint8_t, 5>& OriginalBytes() const { return Original; }
  /// Where the patch is written; null while not prepared.
  std::uint8_t* Position() const { return PatchPosition; }

private:
  void Write(const std::array<std::uint8_t, 5>& bytes);

  void* oldproc;
  void* newproc;
  std::array<std::uint8_t, 5> Patch{};
  std::array<std::uint8_t, 5> Original{};
  std::uint8_t* PatchPosition = nullptr;
};
