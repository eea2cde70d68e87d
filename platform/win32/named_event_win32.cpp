// The named auto-reset event on CreateEventW, waited on with the COM-aware wait.
#include "platform/named_event.h"

#include "platform/win32/win_support.h"

#include <objbase.h>

namespace platform {

namespace {

class Win32NamedEvent : public NamedEvent {
public:
  explicit Win32NamedEvent(HANDLE event) : event_(event) {}

  bool Wait(std::uint32_t timeoutMs) override {
    HANDLE handles[1] = {event_.get()};
    DWORD index = 0;
    HRESULT result = CoWaitForMultipleHandles(0, timeoutMs, 1, handles, &index);
    // A thread without an apartment has no component-object traffic to keep flowing;
    // the plain wait then stands in, instead of failing a wait that could succeed.
    if (result == CO_E_NOTINITIALIZED)
      return WaitForSingleObject(event_.get(), timeoutMs) == WAIT_OBJECT_0;
    return result == S_OK && index == 0;
  }

  bool Signal() override { return SetEvent(event_.get()) != FALSE; }

private:
  win32::ScopedHandle event_;
};

} // namespace

std::unique_ptr<NamedEvent> NamedEvent::Open(const std::u16string& name) {
  // Auto-reset, initially unsignalled; an existing event of the name is opened.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, win32::Wide(name));
  if (!event)
    return nullptr;
  return std::make_unique<Win32NamedEvent>(event);
}

void NamedEvent::Remove(const std::u16string&) {
  // Kernel objects go with their last handle; there is no name left to remove.
}

} // namespace platform
