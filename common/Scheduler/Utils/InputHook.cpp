// The idle time of the session's user, from the platform's last input tick against its
// tick count, in unsigned 32-bit arithmetic so that a wrap of the tick count is harmless.
#include "common/Scheduler/Utils/InputHook.h"

#include "common/Scheduler/Utils/InputHookSource.h"
#include "framework/SysUtils.h"
#include "platform/session.h"

namespace {

TLastInputLoader Loader = nullptr;

/// What the unit holds from its start, which loads the library, to its end.
struct TInputHookState {
  std::unique_ptr<platform::LastInputSource> Library;
  bool LastInputFunctionFound = false;
  bool SessionEndSignalled = false;
};

// Null until the unit starts; null again after it ends or when the library could not be
// loaded, and every reading is then 0.
std::unique_ptr<TInputHookState> State;

std::uint32_t IdleMilliseconds() {
  if (!State || !State->LastInputFunctionFound)
    return 0;
  std::uint32_t lastInput = 0;
  switch (State->Library->LastInputTick(lastInput)) {
  case platform::LastInputQuery::kAnswered:
    break;
  case platform::LastInputQuery::kSessionGone:
    // The host ends the session at its next message handling; until then the user
    // counts as active.
    if (!State->SessionEndSignalled) {
      State->SessionEndSignalled = true;
      platform::SignalSessionEnd();
    }
    return 0;
  case platform::LastInputQuery::kFailed:
    return 0;
  }
  // Read after the input time, the tick is never behind it.
  return State->Library->TickCount() - lastInput;
}

} // namespace

void SetLastInputLoader(TLastInputLoader loader) {
  Loader = loader;
}

const char* InputIdleSourceName() {
  return State ? State->Library->Name() : "none";
}

std::uint32_t GetInputIdleSeconds() {
  return IdleMilliseconds() / 1000u;
}

std::uint32_t GetInputIdleMinutes() {
  return IdleMilliseconds() / 60000u;
}

bool InitInputHook() {
  if (State)
    return true;
  std::unique_ptr<platform::LastInputSource> library =
      Loader ? Loader() : platform::LastInputSource::Load();
  if (!library)
    return false;
  State = std::make_unique<TInputHookState>();
  State->Library = std::move(library);
  State->LastInputFunctionFound = State->Library->FindLastInputFunction();
  // The report names a fixed place, not this line, so that it reads the same in every build.
  Assert(State->LastInputFunctionFound, u"Failed to find GetLastInputInfo in DLL!",
         SourcePlace{u"common\\Scheduler\\Utils\\InputHook", 165});
  return true;
}

void DoneInputHook() {
  State.reset();
}
