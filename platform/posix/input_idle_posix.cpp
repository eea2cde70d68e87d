// Chooses, once at start, the one source that knows the session's last input: GNOME's
// idle monitor, then a Wayland compositor's idle notifications, then, outside Wayland
// sessions only, the X screen saver. Xwayland sees only the input that goes to X
// clients, so its reading would call a user who types into Wayland programs idle.
#include "platform/input_idle.h"
#include "platform/posix/idle_source_posix.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {
namespace {

using posix::SourceAttempt;

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool IsSocket(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

/// A value inside a D-Bus address, with every byte the address syntax reserves escaped.
std::string EscapeAddressValue(const std::string& value) {
  static const char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (unsigned char c : value) {
    bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                 c == '-' || c == '_' || c == '/' || c == '.' || c == '\\' || c == '*';
    if (plain) {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return escaped;
}

/// What the environment says about the session the agent runs in.
struct Session {
  std::string busAddress;     // empty: no session bus
  bool wayland = false;       // a Wayland session: the X reading is never used
  std::string waylandSocket;  // empty in a Wayland session: see waylandMissing
  std::string waylandMissing; // why a Wayland session has no socket to connect to
};

Session DescribeSession() {
  Session session;
  std::string runtimeDir = Variable("XDG_RUNTIME_DIR");
  std::string sessionType = Variable("XDG_SESSION_TYPE");

  session.busAddress = Variable("DBUS_SESSION_BUS_ADDRESS");
  if (session.busAddress.empty() && !runtimeDir.empty() && IsSocket(runtimeDir + "/bus"))
    session.busAddress = "unix:path=" + EscapeAddressValue(runtimeDir + "/bus");

  std::string waylandDisplay = Variable("WAYLAND_DISPLAY");
  if (!waylandDisplay.empty()) {
    session.wayland = true;
    if (waylandDisplay.front() == '/')
      session.waylandSocket = waylandDisplay;
    else if (!runtimeDir.empty())
      session.waylandSocket = runtimeDir + "/" + waylandDisplay;
    else
      session.waylandMissing =
          "WAYLAND_DISPLAY=" + waylandDisplay + " is relative and XDG_RUNTIME_DIR is not set";
  } else if (sessionType != "x11" && !runtimeDir.empty() && IsSocket(runtimeDir + "/wayland-0")) {
    // What Wayland clients fall back to; an X11 session's wayland-0 is a nested
    // compositor's, which sees only the input given to its window.
    session.wayland = true;
    session.waylandSocket = runtimeDir + "/wayland-0";
  } else if (sessionType == "wayland") {
    session.wayland = true;
    session.waylandMissing = "a Wayland session (XDG_SESSION_TYPE=wayland) without a Wayland "
                             "display: WAYLAND_DISPLAY is not set and there is no "
                             "$XDG_RUNTIME_DIR/wayland-0";
  }
  return session;
}

/// Stands for a library that lacks a function the source must have: the start fails.
class IncompleteLibrary : public LastInputSource {
public:
  bool FindLastInputFunction() override { return false; }
  const char* Name() const override { return "none"; }
  LastInputQuery LastInputTick(std::uint32_t&) override { return LastInputQuery::kFailed; }
  std::uint32_t TickCount() override { return posix::BootTimeTick(); }
};

/// Takes the source an attempt gave, or stands in for the function its library lacks;
/// false when the attempt leaves the choice open.
bool Settled(SourceAttempt& attempt, std::unique_ptr<LastInputSource>& chosen) {
  if (attempt.source) {
    chosen = std::move(attempt.source);
    return true;
  }
  if (!attempt.missingFunction.empty()) {
    std::fprintf(stderr, "SchedulerAgent: %s lacks %s\n", attempt.library.c_str(),
                 attempt.missingFunction.c_str());
    chosen = std::make_unique<IncompleteLibrary>();
    return true;
  }
  return false;
}

} // namespace

std::unique_ptr<LastInputSource> LastInputSource::Load() {
  Session session = DescribeSession();
  std::unique_ptr<LastInputSource> chosen;

  std::string mutterWhyNot = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there "
                             "is no $XDG_RUNTIME_DIR/bus)";
  if (!session.busAddress.empty()) {
    SourceAttempt mutter = posix::OpenMutterIdleMonitor(session.busAddress);
    if (Settled(mutter, chosen))
      return chosen;
    mutterWhyNot = mutter.whyNot;
  }

  std::string displayWhyNot = session.waylandMissing;
  if (session.wayland && !session.waylandSocket.empty()) {
    SourceAttempt wayland = posix::OpenWaylandIdleNotifier(session.waylandSocket);
    if (Settled(wayland, chosen))
      return chosen;
    displayWhyNot = wayland.whyNot;
  } else if (!session.wayland) {
    SourceAttempt x11 = posix::OpenXScreenSaver();
    if (Settled(x11, chosen))
      return chosen;
    displayWhyNot = x11.whyNot;
  }

  // Said even outside any desktop session: an agent started where the session's display
  // did not reach it (a user unit without DISPLAY) is the case an administrator must see.
  std::fprintf(stderr, "SchedulerAgent: idle time unknown, reported as 0: %s; %s\n",
               displayWhyNot.c_str(), mutterWhyNot.c_str());
  return nullptr;
}

} // namespace platform
