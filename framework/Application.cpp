// The application object over the platform's hidden window.
#include "framework/Application.h"

#include "framework/Host.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "text/StringTableIds.h"

TApplication::TApplication() : FTitle(TitleFromPath(platform::OwnModuleFileName())) {
  FWindow = platform::AppWindow::Create(FTitle, *this);
  if (!FWindow)
    throw EOutOfResources(LoadStr(SWindowClass));
}

TApplication::~TApplication() = default;

void TApplication::Initialize() {
  FWindow->InitializeComponentRuntime();
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

bool TApplication::ProcessMessage() {
  switch (FWindow->TakeMessage()) {
  case platform::TakenMessage::kNone:
    return false;
  case platform::TakenMessage::kQuit:
    FTerminated = true;
    return true;
  case platform::TakenMessage::kDispatched:
    return true;
  }
  return false;
}

void TApplication::Terminate() {
  FWindow->PostQuit();
}

void TApplication::HandleException(std::exception_ptr failure) {
  FWindow->CancelMouseCapture();
  try {
    std::rethrow_exception(failure);
  } catch (const EAbort&) {
    // The silent kind: dropped.
  } catch (const Exception& e) {
    ShowException(e);
  } catch (...) {
    // Not one of the runtime's failures: the unhandled-failure box, the process goes on.
    ShowUnhandledFailure(UnhandledFailureText(u"Exception", u"", nullptr));
  }
}

void TApplication::ShowException(const Exception& failure) {
  platform::ShowMessageBox(FTitle, MessageWithFullStop(failure.Message()),
                           platform::kBoxOk | platform::kBoxIconError);
}

std::u16string TApplication::TitleFromPath(const std::u16string& executablePath) {
  std::u16string name = ExtractFileName(executablePath);
  name = name.substr(0, name.find(u'.'));
  for (size_t i = 1; i < name.size(); ++i)
    if (name[i] >= u'A' && name[i] <= u'Z')
      name[i] = static_cast<char16_t>(name[i] - u'A' + u'a');
  return name;
}

std::u16string TApplication::MessageWithFullStop(const std::u16string& message) {
  if (!message.empty() && message.back() > u'.')
    return message + u".";
  return message;
}

void TApplication::SessionEnding() {
  Terminate();
  EndProcess();
}

void TApplication::SettingsChanged() {
  // The log's time stamps read the user's formats at every entry, so they follow the
  // change without a copy to refresh here.
}

void TApplication::MessageFailed(std::exception_ptr failure) {
  HandleException(failure);
}
