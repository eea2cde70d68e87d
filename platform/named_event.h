// A named auto-reset event that a server signals when it is ready for clients.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class NamedEvent {
public:
  /// Creates the event unsignalled, or opens it when it exists. Null on failure, with
  /// LastErrorCode() telling why.
  static std::unique_ptr<NamedEvent> Open(const std::u16string& name);

  /// Removes the name where names outlive their last handle (POSIX semaphores);
  /// nothing to do where they do not.
  static void Remove(const std::u16string& name);

  virtual ~NamedEvent() = default;

  /// Waits up to the time-out; true when the event was signalled, which consumes the
  /// signal. On Windows the wait keeps the thread's component-object traffic flowing.
  virtual bool Wait(std::uint32_t timeoutMs) = 0;

  /// Signals the event; an event already signalled stays signalled once.
  virtual bool Signal() = 0;
};

} // namespace platform
