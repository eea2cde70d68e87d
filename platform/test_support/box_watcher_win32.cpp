// Real boxes: a thread finds each box by its title, reads its text and presses OK.
#include "platform/test_support/box_watcher.h"

#include "platform/win32/win_support.h"

#include <atomic>
#include <mutex>
#include <thread>

struct BoxWatcher::State {
  std::atomic<bool> stop{false};
  std::mutex mutex;
  int count = 0;
  std::u16string lastText;
  std::thread thread;
};

namespace {

// The static control that holds a message box's text.
constexpr int kBoxTextControl = 0xFFFF;

} // namespace

BoxWatcher::BoxWatcher(std::u16string title)
    : fTitle(std::move(title)), fState(std::make_unique<State>()) {
  State* state = fState.get();
  std::u16string wanted = fTitle;
  state->thread = std::thread([state, wanted] {
    while (!state->stop) {
      HWND box = FindWindowW(L"#32770", platform::win32::Wide(wanted));
      if (box == nullptr) {
        Sleep(20);
        continue;
      }
      wchar_t text[2048] = {};
      GetDlgItemTextW(box, kBoxTextControl, text, 2048);
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        ++state->count;
        state->lastText = platform::win32::FromWide(text);
      }
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      // The same box is not counted twice while it closes.
      while (IsWindow(box))
        Sleep(10);
    }
  });
}

BoxWatcher::~BoxWatcher() {
  Stop();
}

void BoxWatcher::Stop() {
  if (!fState->thread.joinable())
    return;
  fState->stop = true;
  fState->thread.join();
  std::lock_guard<std::mutex> lock(fState->mutex);
  fCount = fState->count;
  fLastText = fState->lastText;
}
