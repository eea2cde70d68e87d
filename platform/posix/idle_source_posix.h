// What the last-input sources of a Linux session share: the library each one opens at run
// time, the clock they answer in, and what trying one of them gives.
#pragma once

#include "platform/input_idle.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform::posix {

/// Owns a dlopen handle. The sources' libraries are opened at run time so that the agent
/// starts on a machine that lacks any of them.
class ScopedLibrary {
public:
  ScopedLibrary() = default;
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  ScopedLibrary(ScopedLibrary&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
  }
  ~ScopedLibrary();

  /// Opens the library by its soname; on failure the handle stays empty and `whyNot`
  /// tells why.
  bool Open(const char* soname, std::string& whyNot);

  void* FindSymbol(const char* name) const;
  template <typename Function> Function Find(const char* name) const {
    return reinterpret_cast<Function>(FindSymbol(name));
  }
  /// Fills `symbol` unless a lookup before it failed; `missing` keeps the first name
  /// not found.
  template <typename Symbol>
  void FindInto(Symbol& symbol, const char* name, const char*& missing) const {
    if (!missing && !(symbol = Find<Symbol>(name)))
      missing = name;
  }

private:
  void* handle_ = nullptr;
};

/// Milliseconds of CLOCK_BOOTTIME, truncated to 32 bits: the tick every source answers in.
/// It keeps counting while the machine sleeps, as the idle time does.
std::uint32_t BootTimeTick();

/// What trying one source gave. Exactly one holds: `source` serves the session;
/// `missingFunction` names a function its library lacks (`library` is its soname), which
/// fails the start; `whyNot` says why the source cannot serve this session.
struct SourceAttempt {
  std::unique_ptr<LastInputSource> source;
  std::string library;
  std::string missingFunction;
  std::string whyNot;

  static SourceAttempt Serving(std::unique_ptr<LastInputSource> source) {
    SourceAttempt attempt;
    attempt.source = std::move(source);
    return attempt;
  }
  static SourceAttempt Unavailable(std::string reason) {
    SourceAttempt attempt;
    attempt.whyNot = std::move(reason);
    return attempt;
  }
  static SourceAttempt Incomplete(const char* soname, const char* function) {
    SourceAttempt attempt;
    attempt.library = soname;
    attempt.missingFunction = function;
    return attempt;
  }
};

/// GNOME's idle monitor on the session bus at `busAddress`.
SourceAttempt OpenMutterIdleMonitor(const std::string& busAddress);

/// The idle notifications of the Wayland compositor listening at `socketPath`.
SourceAttempt OpenWaylandIdleNotifier(const std::string& socketPath);

/// The X server's screen-saver extension on the display named by DISPLAY.
SourceAttempt OpenXScreenSaver();

} // namespace platform::posix
