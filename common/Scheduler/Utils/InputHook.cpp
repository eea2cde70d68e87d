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

// Empty until the unit starts; empty again after it ends or when the library could
// not be loaded, and every reading is then 0.
std::unique_ptr<platform::LastInputSource> Library;
bool LastInputFunctionFound = false;
bool SessionEndSignalled = false;

std::uint32_t IdleMilliseconds() {
  if (!Library || !LastInputFunctionFound)
    return 0;
  std::uint32_t idle = 0;
  platform::LastInputQuery answer = Library->IdleMilliseconds(idle);
  if (answer == platform::LastInputQuery::kSessionGone && !SessionEndSignalled) {
    // The host ends the session at its next message handling; until then the user
    // counts as active.
    SessionEndSignalled = true;
    platform::SignalSessionEnd();
  }
  return answer == platform::LastInputQuery::kAnswered ? idle : 0;
}

/// Says once on standard error where the idle time comes from, or why it is unknown:
/// what an administrator of a session whose reports say 0 needs to see.
void SayChoice(const platform::IdleSourceChoice& choice) {
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
  return Library ? Library->Name() : "none";
}

std::uint32_t GetInputIdleSeconds() {
  return IdleMilliseconds() / 1000u;
}

std::uint32_t GetInputIdleMinutes() {
  return IdleMilliseconds() / 60000u;
}

bool InitInputHook() {
  if (Library)
    return true;
  platform::IdleSourceChoice choice =
      Loader ? Loader()
             : platform::LastInputSource::Load(platform::LastInputSource::SessionVariables());
  SayChoice(choice);
  Library = std::move(choice.source);
  if (!Library)
    return false;
  LastInputFunctionFound = Library->FindLastInputFunction();
  // The place is the one this failure has always named, whatever line it stands on now.
  Assert(LastInputFunctionFound, u"Failed to find GetLastInputInfo in DLL!",
         SourcePlace{u"common\\Scheduler\\Utils\\InputHook", 165});
  return true;
}

void DoneInputHook() {
  Library.reset();
  SessionEndSignalled = false;
}
