// The application object: the hidden window, the message pump and the end of the loop.
#pragma once

#include "framework/Exception.h"
#include "platform/app_window.h"

#include <memory>
#include <string>

class TApplication final : private platform::AppWindowEvents {
public:
  /// Makes the hidden window; raises EOutOfResources when its class cannot be registered.
  TApplication();
  ~TApplication();

  /// Runs the start-up procedures registered for this moment (the component-object
  /// runtime of the main thread).
  void Initialize();
  /// Handles every waiting message and returns as soon as none is left; never waits.
  void ProcessMessages();
  bool Terminated() const { return FTerminated; }
  /// Asks for the end by queueing a quit message; the flag follows when it is taken.
  void Terminate();

  /// Reports the failure now being handled, raised while a message was handled.
  void HandleException(std::exception_ptr failure);
  /// The box for a failure of the runtime's own classes.
  void ShowException(const Exception& failure);

  const std::u16string& Title() const { return FTitle; }

  /// The executable's file name without folder, cut before its first ".", every
  /// character after the first lower-cased.
  static std::u16string TitleFromPath(const std::u16string& executablePath);
  /// A failure's message with "." appended when its last character sorts after ".".
  static std::u16string MessageWithFullStop(const std::u16string& message);

private:
  bool ProcessMessage();

  [[noreturn]] void SessionEnding() override;
  void SettingsChanged() override;
  void MessageFailed(std::exception_ptr failure) override;

  bool FTerminated = false;
  std::u16string FTitle;
  std::unique_ptr<platform::AppWindow> FWindow;
};

/// The one application object, made by the framework's start work; null before it and
/// after the framework's end work.
TApplication* Application();
