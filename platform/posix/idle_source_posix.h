// What the last-input sources of a Linux session share: how one is made from the library
// it opens at run time, the clock they answer in, and what the environment says about
// the session.
#pragma once

#include "platform/input_idle.h"
#include "platform/shared_library.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace platform::posix {

/// Milliseconds of CLOCK_BOOTTIME, truncated to 32 bits: the tick every source answers in.
/// It keeps counting while the machine sleeps, as the idle time does.
std::uint32_t BootTimeTick();

/// The idle time from notifications of two kinds, as every source is told it: "idle for
/// the threshold now" and "input again". Notifications are stamped when they are read, at
/// a reading: one may have come up to a cycle earlier, so the idle time is never
/// overstated. Whole seconds stay exact with a one-second threshold: until the idle
/// notification, the user has been idle less than a second.
class IdleTransitions {
public:
  static constexpr std::uint32_t kThresholdMs = 1000;

  /// Counting starts at `now`, the user having been idle `idleMs` then (0 when not known).
  void Start(std::uint32_t now, std::uint32_t idleMs);
  /// Idle for the threshold as of `now`; nothing changes when already idle.
  void Idled(std::uint32_t now);
  /// Input at `now`.
  void Resumed(std::uint32_t now);
  bool Idle() const { return idle_; }
  /// The tick of the last input as far as the notifications tell.
  std::uint32_t LastInputTick(std::uint32_t now) const;

private:
  bool idle_ = false;
  std::uint32_t idledAt_ = 0;     // while idle: when the threshold was passed
  std::uint32_t activeSince_ = 0; // while active: the last input known
};

/// What trying one source gave. Exactly one holds: `source` serves the session;
/// `missingFunction` names a function its library lacks (`library` is its soname), which
/// fails the start; `whyNot` says why the source cannot serve this session.
struct SourceAttempt {
  std::unique_ptr<LastInputSource> source;
  std::string library;
  std::string missingFunction;
  std::string whyNot;
};

/// Makes a source the one way every source is made: loads `Source::kLibrary`, finds its
/// functions with `FindFunctions(library, Source::Functions&)` (the name of the first
/// missing, or null), hands both to the source and lets it `Connect(arguments..., whyNot)`.
template <typename Source, typename... Arguments>
SourceAttempt OpenSource(Arguments&&... arguments) {
  SourceAttempt attempt;
  SharedLibrary library = SharedLibrary::Load(Source::kLibrary, attempt.whyNot);
  if (!library.Loaded())
    return attempt;
  typename Source::Functions functions{};
  if (const char* missing = FindFunctions(library, functions)) {
    attempt.library = Source::kLibrary;
    attempt.missingFunction = missing;
    return attempt;
  }
  auto source = std::make_unique<Source>(std::move(library), functions);
  if (source->Connect(std::forward<Arguments>(arguments)..., attempt.whyNot))
    attempt.source = std::move(source);
  return attempt;
}

/// GNOME's idle monitor on the session bus at `busAddress`.
SourceAttempt OpenMutterIdleMonitor(const std::string& busAddress);

/// The idle notifications of the Wayland compositor listening at `socketPath`.
SourceAttempt OpenWaylandIdleNotifier(const std::string& socketPath);

/// The X server's idle time on the display `display` names (as DISPLAY would).
SourceAttempt OpenXIdleTime(const std::string& display);

/// What the environment says about the session: where its bus and display are.
struct Session {
  std::string busAddress;     // empty: no session bus
  bool wayland = false;       // a Wayland session: the X reading is never used
  std::string waylandSocket;  // empty in a Wayland session: see waylandMissing
  std::string waylandMissing; // why a Wayland session has no socket to connect to
  std::string xDisplay;       // DISPLAY, outside Wayland sessions
};

Session DescribeSession(const EnvironmentVariables& environment);

} // namespace platform::posix
