// Where boxes are the title and text on standard error, watching is capturing it.
#include "platform/test_support/box_watcher.h"

#include "text/TextConvert.h"

#include <gtest/gtest.h>

struct BoxWatcher::State {
  bool capturing = true;
};

BoxWatcher::BoxWatcher(std::u16string title)
    : fTitle(std::move(title)), fState(std::make_unique<State>()) {
  testing::internal::CaptureStderr();
}

BoxWatcher::~BoxWatcher() {
  Stop();
}

void BoxWatcher::Stop() {
  if (!fState->capturing)
    return;
  fState->capturing = false;
  std::string captured = testing::internal::GetCapturedStderr();
  // Each box is its title on a line of its own, then its text on the next.
  std::string title = Utf16ToUtf8(fTitle) + "\n";
  for (size_t at = captured.find(title); at != std::string::npos;
       at = captured.find(title, at + title.size())) {
    if (at != 0 && captured[at - 1] != '\n')
      continue;
    ++fCount;
    size_t textStart = at + title.size();
    size_t textEnd = captured.find('\n', textStart);
    fLastText = Utf8ToUtf16(captured.substr(textStart, textEnd - textStart));
  }
}
