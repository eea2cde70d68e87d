// Real message boxes, without an owner window.
#include "platform/message_box.h"

#include "platform/win32/win_support.h"

namespace platform {

void ShowMessageBox(const std::u16string& title, const std::u16string& text,
                    std::uint32_t flags) {
  MessageBoxW(nullptr, win32::Wide(text), win32::Wide(title), flags);
}

void ShowMessageBoxAnsi(const std::string& title, const std::string& text, std::uint32_t flags) {
  MessageBoxA(nullptr, text.c_str(), title.c_str(), flags);
}

} // namespace platform
