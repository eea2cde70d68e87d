// Chooses, once at start, the one source that knows the session's last input: GNOME's
// idle monitor, then a Wayland compositor's idle notifications, then, outside Wayland
// sessions only, the X server. Xwayland sees only the input that goes to X clients, so
// its reading would call a user who types into Wayland programs idle.
#include "platform/input_idle.h"
#include "platform/posix/idle_source_posix.h"

#include <cstdlib>
#include <sys/stat.h>

namespace platform {
namespace {

using posix::SourceAttempt;

std::string Variable(const EnvironmentVariables& environment, const char* name) {
  auto found = environment.find(name);
  return found == environment.end() ? "" : found->second;
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
bool Settled(SourceAttempt& attempt, IdleSourceChoice& choice) {
  if (attempt.source) {
    choice.source = std::move(attempt.source);
    return true;
  }
  if (!attempt.missingFunction.empty()) {
    choice.incomplete = attempt.library + " lacks " + attempt.missingFunction;
    choice.source = std::make_unique<IncompleteLibrary>();
    return true;
  }
  return false;
}

} // namespace

namespace posix {

Session DescribeSession(const EnvironmentVariables& environment) {
  Session session;
  std::string runtimeDir = Variable(environment, "XDG_RUNTIME_DIR");
  std::string sessionType = Variable(environment, "XDG_SESSION_TYPE");

  session.busAddress = Variable(environment, "DBUS_SESSION_BUS_ADDRESS");
  if (session.busAddress.empty() && !runtimeDir.empty() && IsSocket(runtimeDir + "/bus"))
    session.busAddress = "unix:path=" + EscapeAddressValue(runtimeDir + "/bus");

  std::string waylandDisplay = Variable(environment, "WAYLAND_DISPLAY");
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
  if (!session.wayland)
    session.xDisplay = Variable(environment, "DISPLAY");
  return session;
}

} // namespace posix

EnvironmentVariables LastInputSource::SessionVariables() {
  EnvironmentVariables variables;
  for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "XDG_SESSION_TYPE",
                           "WAYLAND_DISPLAY", "DISPLAY"})
    if (const char* value = std::getenv(name))
      variables[name] = value;
  return variables;
}

IdleSourceChoice LastInputSource::Load(const EnvironmentVariables& environment) {
  posix::Session session = posix::DescribeSession(environment);
  IdleSourceChoice choice;
  choice.toBeSaid = true;

  IdleSourceChoice::NotTaken mutter{"mutter", "no session bus (DBUS_SESSION_BUS_ADDRESS is not "
                                              "set and there is no $XDG_RUNTIME_DIR/bus)"};
  if (!session.busAddress.empty()) {
    SourceAttempt attempt = posix::OpenMutterIdleMonitor(session.busAddress);
    if (Settled(attempt, choice))
      return choice;
    mutter.why = attempt.whyNot;
  }

  IdleSourceChoice::NotTaken display{"wayland", session.waylandMissing};
  if (session.wayland && !session.waylandSocket.empty()) {
    SourceAttempt attempt = posix::OpenWaylandIdleNotifier(session.waylandSocket);
    if (Settled(attempt, choice)) {
      choice.notTaken = {mutter};
      return choice;
    }
    display.why = attempt.whyNot;
  } else if (!session.wayland) {
    display.source = "x11";
    if (session.xDisplay.empty()) {
      display.why = "no X display (DISPLAY is not set)";
    } else {
      SourceAttempt attempt = posix::OpenXIdleTime(session.xDisplay);
      if (Settled(attempt, choice)) {
        choice.notTaken = {mutter};
        return choice;
      }
      display.why = attempt.whyNot;
    }
  }
  choice.notTaken = {display, mutter};
  return choice;
}

} // namespace platform
