// The platform's record of the session's last keyboard or mouse input, found in a
// library that is loaded at run time rather than bound when the process starts, and the
// choice of where to read it from.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// What one query of the last input time gave.
enum class LastInputQuery {
  kAnswered,    // the tick of the last input was filled in
  kFailed,      // the platform reported failure; the tick holds nothing
  kSessionGone, // the session's display went away; no later query will answer
};

/// Environment variables by name; a name that is absent is not set.
using EnvironmentVariables = std::map<std::string, std::string>;

struct IdleSourceChoice;

/// The loaded library and what it reaches. Tests put a fake of their own in its place.
class LastInputSource {
public:
  virtual ~LastInputSource() = default;

  /// Chooses the source that serves the session `environment` describes (Windows has
  /// one, user32.dll's, and reads nothing of it). Says what was chosen and why.
  static IdleSourceChoice Load(const EnvironmentVariables& environment);

  /// The variables of this process that Load reads.
  static EnvironmentVariables SessionVariables();

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

  /// Milliseconds since the last input: the last input tick, then the tick count read
  /// after it (so never behind it), subtracted in unsigned 32-bit arithmetic.
  /// `idle` is set only when the answer is kAnswered.
  LastInputQuery IdleMilliseconds(std::uint32_t& idle);
};

/// What Load chose, and why the sources it prefers were not taken.
struct IdleSourceChoice {
  /// A source that was not taken, and why.
  struct NotTaken {
    std::string source; // "mutter", "wayland", "x11"
    std::string why;
  };

  /// Null when no source serves the session: every reading is then 0.
  std::unique_ptr<LastInputSource> source;
  /// Set when the chosen source's library lacks a function it must have
  /// ("libdbus-1.so.3 lacks dbus_error_free"); `source` then stands for it, and its
  /// FindLastInputFunction fails.
  std::string incomplete;
  /// The sources passed over, the session's display (Wayland or X11) before its bus
  /// (GNOME's monitor): the display's is the reason a user looks for first.
  std::vector<NotTaken> notTaken;
  /// Whether the agent says the choice on standard error. Where a session may offer
  /// several sources (Linux), the administrator needs to see which one was read or why
  /// none was; Windows has one source and a program without a console, so it stays silent.
  bool toBeSaid = false;

  /// The chosen source's name, or "none".
  const char* Name() const { return source ? source->Name() : "none"; }
};

} // namespace platform
