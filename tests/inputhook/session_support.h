// What the idle-source tests need of a session: programs run to their end, an X server of
// their own, and sockets where a Wayland display should be that are no compositor.
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/x_server_posix.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace inputhook_test {

using testing_support::FindProgram;
using testing_support::TestXServer;

using Environment = std::vector<std::pair<std::string, std::string>>;

/// The variables that choose the idle source, all removed, then `settings` on top.
Environment SessionEnvironment(Environment settings);

struct Finished {
  int exitCode = -1;
  std::string out, err;
};

/// Runs a program to its end (a minute at most) with `environment` added.
Finished RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                  const Environment& environment = {});

/// A listening Unix socket at `path` that speaks no Wayland: it either never accepts (a
/// client's greeting goes unanswered) or closes every connection it accepts at once.
class NotACompositor {
public:
  enum class Manner { kSilent, kHangsUp };
  NotACompositor(const std::string& path, Manner manner);
  ~NotACompositor();
  NotACompositor(const NotACompositor&) = delete;
  NotACompositor& operator=(const NotACompositor&) = delete;

private:
  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
};

/// A session bus of the test's own, at `DIR/bus`, that nobody else is on.
class SessionBus {
public:
  explicit SessionBus(const std::string& dir);
  /// The address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon did not start.
  const std::string& Address() const { return address_; }

private:
  std::unique_ptr<testing_support::ChildProcess> daemon_;
  std::string address_;
};

} // namespace inputhook_test
