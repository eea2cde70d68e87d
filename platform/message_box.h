// Message boxes: real boxes on Windows, standard error where there are none.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Flag values as the Windows API defines them, so callers say what they mean once.
enum MessageBoxFlags : std::uint32_t {
  kBoxOk = 0x0,
  kBoxIconError = 0x10,
  kBoxTaskModal = 0x2000,
};

/// Shows a box with no owner window and waits until the user closes it. Where no
/// boxes exist the title, a line end, the text and a line end go to standard error.
void ShowMessageBox(const std::u16string& title, const std::u16string& text, std::uint32_t flags);

/// The same for 8-bit texts in the ANSI code page (the runtime error box).
void ShowMessageBoxAnsi(const std::string& title, const std::string& text, std::uint32_t flags);

} // namespace platform
