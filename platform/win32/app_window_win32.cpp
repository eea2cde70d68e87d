// The hidden top-level window of class "TApplication" and the thread's message queue.
#include "platform/app_window.h"
#include "platform/session.h"

#include "platform/win32/win_support.h"

#include <ole2.h>
#include <wtsapi32.h>

#include <atomic>

namespace platform {

namespace {

constexpr wchar_t kClassName[] = L"TApplication";

// Set from anywhere in the process; taken like the system's own session-end notice.
std::atomic<bool> sessionEndSignalled{false};

class HiddenWindow : public AppWindow {
public:
  HiddenWindow(HWND window, AppWindowEvents& events) : fWindow(window), fEvents(events) {
    fTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    SetWindowLongPtrW(fWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Session notifications exist from platform version 5.1 on; every x64 system has them.
    fSessionNotifications = WTSRegisterSessionNotification(fWindow, NOTIFY_FOR_THIS_SESSION);
  }

  ~HiddenWindow() override {
    if (fSessionNotifications)
      WTSUnRegisterSessionNotification(fWindow);
    SetWindowLongPtrW(fWindow, GWLP_USERDATA, 0);
    DestroyWindow(fWindow);
    OleUninitialize();
  }

  TakenMessage TakeMessage() override {
    if (sessionEndSignalled.exchange(false))
      fEvents.SessionEnding();
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
      return TakenMessage::kNone;
    bool unicode = msg.hwnd == nullptr || IsWindowUnicode(msg.hwnd);
    BOOL taken = unicode ? PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)
                         : PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    if (!taken)
      return TakenMessage::kNone;
    if (msg.message == WM_QUIT)
      return TakenMessage::kQuit;
    TranslateMessage(&msg);
    if (unicode)
      DispatchMessageW(&msg);
    else
      DispatchMessageA(&msg);
    return TakenMessage::kDispatched;
  }

  void PostQuit() override { PostQuitMessage(0); }

  void InitializeComponentRuntime() override { CoInitialize(nullptr); }

  void CancelMouseCapture() override {
    if (HWND capture = GetCapture())
      SendMessageW(capture, WM_CANCELMODE, 0, 0);
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
      return DefWindowProcW(window, message, wParam, lParam);
    // No failure may cross the system's callback boundary: the host reports it.
    try {
      return self->Handle(message, wParam, lParam);
    } catch (...) {
      self->fEvents.MessageFailed(std::current_exception());
      return 0;
    }
  }

private:
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
      return 1;
    case WM_ENDSESSION:
      if (wParam != 0)
        fEvents.SessionEnding();
      return 0;
    case WM_CLOSE:
      // There is no main form to close: the window stays.
      return 0;
    case WM_SETTINGCHANGE:
      ReloadSettings();
      return DefWindowProcW(fWindow, message, wParam, lParam);
    default:
      if (message == fTaskbarCreated && fTaskbarCreated != 0) {
        ReloadSettings();
        return 0;
      }
      return DefWindowProcW(fWindow, message, wParam, lParam);
    }
  }

  void ReloadSettings() {
    SetThreadLocale(LOCALE_USER_DEFAULT);
    fEvents.SettingsChanged();
  }

  HWND fWindow;
  AppWindowEvents& fEvents;
  UINT fTaskbarCreated = 0;
  BOOL fSessionNotifications = FALSE;
};

} // namespace

std::unique_ptr<AppWindow> AppWindow::Create(const std::u16string& title, AppWindowEvents& events) {
  OleInitialize(nullptr);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW existing{};
  if (!GetClassInfoW(instance, kClassName, &existing)) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = HiddenWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    if (!RegisterClassW(&windowClass)) {
      OleUninitialize();
      return nullptr;
    }
  }
  // Never given WS_VISIBLE; a tool window has no taskbar button and no switcher entry.
  HWND window =
      CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, win32::Wide(title),
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                      GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0,
                      nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    OleUninitialize();
    return nullptr;
  }
  return std::make_unique<HiddenWindow>(window, events);
}

void SignalSessionEnd() {
  sessionEndSignalled.store(true);
}

} // namespace platform
