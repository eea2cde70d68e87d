// The idle time of the session's user, from the platform's last input tick against its
// tick count, in unsigned 32-bit arithmetic so that a wrap of the tick count is harmless.
#include "common/Scheduler/Utils/InputHook.h"

#include "common/Scheduler/Utils/InputHookSource.h"
#include "framework/SysUtils.h"
#include "platform/session.h"

#include <cstdio>
#include <string>

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
  std::uint32_t idle = 0;
  platform::LastInputQuery answer = State->Library->IdleMilliseconds(idle);
  if (answer == platform::LastInputQuery::kSessionGone && !State->SessionEndSignalled) {
    // The host ends the session at its next message handling; until then the user
    // counts as active.
    State->SessionEndSignalled = true;
    platform::SignalSessionEnd();
  }
  return answer == platform::LastInputQuery::kAnswered ? idle : 0;
}

/// Says once on standard error where the idle time comes from, or why it is unknown:
/// what an administrator of a session whose reports say 0 needs to see.
void SayChoice(const platform::IdleSourceChoice& choice) {
  if (!choice.toBeSaid)
    return;
  if (!choice.incomplete.empty()) {
    std::fprintf(stderr, "SchedulerAgent: %s\n", choice.incomplete.c_str());
    return;
  }
  if (choice.source) {
    std::fprintf(stderr, "SchedulerAgent: idle time from %s\n", choice.Name());
    return;
  }
  std::string reasons;
  for (const platform::IdleSourceChoice::NotTaken& notTaken : choice.notTaken)
    reasons += (reasons.empty() ? "" : "; ") + notTaken.why;
  std::fprintf(stderr, "SchedulerAgent: idle time unknown, reported as 0: %s\n", reasons.c_str());
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
  platform::IdleSourceChoice choice =
      Loader ? Loader()
             : platform::LastInputSource::Load(platform::LastInputSource::SessionVariables());
  SayChoice(choice);
  if (!choice.source)
    return false;
  State = std::make_unique<TInputHookState>();
  State->Library = std::move(choice.source);
  State->LastInputFunctionFound = State->Library->FindLastInputFunction();
  // The report names a fixed place, not this line, so that it reads the same in every build.
  Assert(State->LastInputFunctionFound, u"Failed to find GetLastInputInfo in DLL!",
         SourcePlace{u"common\\Scheduler\\Utils\\InputHook", 165});
  return true;
}

void DoneInputHook() {
  State.reset();
}
