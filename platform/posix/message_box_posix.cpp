// Without a desktop to show boxes on, a box is its title and text on standard error.
#include "platform/message_box.h"

#include "text/TextConvert.h"

#include <cstdio>

namespace platform {

void ShowMessageBoxAnsi(const std::string& title, const std::string& text, std::uint32_t) {
  std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
  std::fflush(stderr);
}

void ShowMessageBox(const std::u16string& title, const std::u16string& text, std::uint32_t flags) {
  ShowMessageBoxAnsi(Utf16ToUtf8(title), Utf16ToUtf8(text), flags);
}

} // namespace platform
