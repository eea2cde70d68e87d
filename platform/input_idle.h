// The platform's record of the session's last keyboard or mouse input, found in a
// library that is loaded at run time rather than bound when the process starts.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

/// What one query of the last input time gave.
enum class LastInputQuery {
  kAnswered,    // the tick of the last input was filled in
  kFailed,      // the platform reported failure; the tick holds nothing
  kSessionGone, // the session's display went away; no later query will answer
};

/// The loaded library and what it reaches. Tests put a fake of their own in its place.
class LastInputSource {
public:
  virtual ~LastInputSource() = default;

  /// Loads the library (user32.dll), or on Linux chooses the one source that serves the
  /// session; null when there is none.
  static std::unique_ptr<LastInputSource> Load();

  /// Which source this is ("GetLastInputInfo", "mutter", "ext_idle_notifier_v1",
  /// "org_kde_kwin_idle", "x11"), for whoever needs to tell them apart.
  virtual const char* Name() const = 0;

  /// Looks the last-input function up in the loaded library; false when it is missing.
  virtual bool FindLastInputFunction() = 0;

  /// The tick count at the session's last input event.
  virtual LastInputQuery LastInputTick(std::uint32_t& tick) = 0;

  /// Milliseconds since the system started, 32 bits, wrapping; the clock of
  /// LastInputTick.
  virtual std::uint32_t TickCount() = 0;
};

} // namespace platform
