// The application's hidden window and the main thread's message queue. On Windows these
// are the real window and queue; elsewhere signals stand in for the messages that matter.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace platform {

/// What the window's message handling hands back to the host.
class AppWindowEvents {
public:
  /// The session ends: the host ends the process; this never returns.
  [[noreturn]] virtual void SessionEnding() = 0;
  /// The user's regional settings changed.
  virtual void SettingsChanged() = 0;
  /// A failure was raised while the window handled a message.
  virtual void MessageFailed(std::exception_ptr failure) = 0;

protected:
  ~AppWindowEvents() = default;
};

enum class TakenMessage {
  kNone,       // nothing was waiting
  kQuit,       // a quit message, handed to nobody
  kDispatched, // any other message, handed to its window
};

class AppWindow {
public:
  /// Registers the window class if needed and makes the never-shown window; also
  /// initialises the component-object runtime. Null when the class cannot be registered.
  static std::unique_ptr<AppWindow> Create(const std::u16string& title, AppWindowEvents& events);
  virtual ~AppWindow() = default;

  /// Takes the next waiting message without waiting; the session's end is handled
  /// inside and does not return.
  virtual TakenMessage TakeMessage() = 0;
  /// Queues a quit message for the main thread.
  virtual void PostQuit() = 0;
  /// The per-thread start of the component-object runtime.
  virtual void InitializeComponentRuntime() = 0;
  /// Releases the mouse capture of whatever window holds it, before a failure box.
  virtual void CancelMouseCapture() = 0;
};

} // namespace platform
