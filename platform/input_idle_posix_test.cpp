// Which source a Linux session's environment leads to, and what the choice says about the
// sources it passes over, with sockets that are only names in a folder and no servers.
#include "platform/input_idle.h"
#include "platform/posix/idle_source_posix.h"
#include "platform/posix/scoped_fd.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

using platform::EnvironmentVariables;
using testing_support::ScopedTempDir;

/// A socket's name in the file system, with nothing that accepts on it.
platform::posix::ScopedFd BoundSocket(const std::string& path) {
  platform::posix::ScopedFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  EXPECT_EQ(bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0)
      << path;
  return fd;
}

TEST(IdleSourceSessionTest, EnvironmentDescribesTheSession) {
  ScopedTempDir runtime, empty;
  // A folder whose name the bus address must escape.
  std::string spaced = runtime / "a b=c";
  ASSERT_TRUE(std::filesystem::create_directory(spaced));
  auto bus = BoundSocket(runtime / "bus");
  auto spacedBus = BoundSocket(spaced + "/bus");
  auto wayland0 = BoundSocket(runtime / "wayland-0");
  const std::string noDisplay = "a Wayland session (XDG_SESSION_TYPE=wayland) without a Wayland "
                                "display: WAYLAND_DISPLAY is not set and there is no "
                                "$XDG_RUNTIME_DIR/wayland-0";

  // Test tuple <environment, bus address, Wayland session, its socket, why it has none,
  // X display>
  struct Case {
    EnvironmentVariables environment;
    std::string bus;
    bool wayland;
    std::string socket, missing, xDisplay;
  } cases[] = {
      {{}, "", false, "", "", ""},
      {{{"DISPLAY", ":3"}}, "", false, "", "", ":3"},
      // The bus: named, or found in the runtime folder, escaped.
      {{{"DBUS_SESSION_BUS_ADDRESS", "unix:abstract=x"}, {"XDG_RUNTIME_DIR", runtime.path()}},
       "unix:abstract=x",
       true,
       runtime / "wayland-0",
       "",
       ""},
      {{{"XDG_RUNTIME_DIR", spaced}, {"DISPLAY", ":3"}},
       "unix:path=" + runtime.path() + "/a%20b%3dc/bus",
       false,
       "",
       "",
       ":3"},
      {{{"XDG_RUNTIME_DIR", empty.path()}, {"DISPLAY", ":3"}}, "", false, "", "", ":3"},
      // Every Wayland sign makes a Wayland session, which never reads the X server.
      {{{"WAYLAND_DISPLAY", "wayland-1"}, {"XDG_RUNTIME_DIR", empty.path()}, {"DISPLAY", ":3"}},
       "",
       true,
       empty / "wayland-1",
       "",
       ""},
      {{{"WAYLAND_DISPLAY", "/elsewhere/w"}, {"DISPLAY", ":3"}}, "", true, "/elsewhere/w", "", ""},
      {{{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":3"}},
       "",
       true,
       "",
       "WAYLAND_DISPLAY=wayland-1 is relative and XDG_RUNTIME_DIR is not set",
       ""},
      {{{"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ":3"}},
       "unix:path=" + runtime / "bus",
       true,
       runtime / "wayland-0",
       "",
       ""},
      {{{"XDG_SESSION_TYPE", "wayland"}, {"XDG_RUNTIME_DIR", empty.path()}, {"DISPLAY", ":3"}},
       "",
       true,
       "",
       noDisplay,
       ""},
      // An X11 session's wayland-0 is a nested compositor's: the X server is read.
      {{{"XDG_SESSION_TYPE", "x11"}, {"XDG_RUNTIME_DIR", runtime.path()}, {"DISPLAY", ":3"}},
       "unix:path=" + runtime / "bus",
       false,
       "",
       "",
       ":3"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& [name, value] : c.environment)
      shown += name + "=" + value + " ";
    SCOPED_TRACE(shown);
    platform::posix::Session session = platform::posix::DescribeSession(c.environment);
    EXPECT_EQ(session.busAddress, c.bus);
    EXPECT_EQ(session.wayland, c.wayland);
    EXPECT_EQ(session.waylandSocket, c.socket);
    EXPECT_EQ(session.waylandMissing, c.missing);
    EXPECT_EQ(session.xDisplay, c.xDisplay);
  }
}

TEST(IdleSourceSessionTest, ChoiceSaysWhyEachSourceWasNotTaken) {
  ScopedTempDir runtime;
  const std::string noBus =
      "no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no $XDG_RUNTIME_DIR/bus)";
  // Test tuple <environment, the display's source and why not, why not GNOME's>
  struct Case {
    EnvironmentVariables environment;
    std::string display, displayWhy, mutterWhy;
  } cases[] = {
      {{}, "x11", "no X display (DISPLAY is not set)", noBus},
      {{{"DISPLAY", ":59999"}}, "x11", "cannot open the X display \":59999\"", noBus},
      {{{"WAYLAND_DISPLAY", "absent"}, {"XDG_RUNTIME_DIR", runtime.path()}},
       "wayland",
       "cannot connect to the Wayland display \"" + runtime / "absent" +
           "\": No such file or directory",
       noBus},
      {{{"WAYLAND_DISPLAY", "w"}, {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime / "none"}},
       "wayland",
       "WAYLAND_DISPLAY=w is relative and XDG_RUNTIME_DIR is not set",
       "cannot reach the session bus: Failed to connect to socket " + runtime / "none" +
           ": No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.displayWhy);
    platform::IdleSourceChoice choice = platform::LastInputSource::Load(c.environment);
    EXPECT_FALSE(choice.source);
    EXPECT_STREQ(choice.Name(), "none");
    EXPECT_EQ(choice.incomplete, "");
    ASSERT_EQ(choice.notTaken.size(), 2u);
    EXPECT_EQ(choice.notTaken[0].source, c.display);
    EXPECT_EQ(choice.notTaken[0].why, c.displayWhy);
    EXPECT_EQ(choice.notTaken[1].source, "mutter");
    EXPECT_EQ(choice.notTaken[1].why, c.mutterWhy);
  }
}

} // namespace

namespace {

TEST(IdleTransitionsTest, LastInputFromTheNotificationsSoFar) {
  using platform::posix::IdleTransitions;
  enum Event { kNone, kIdled, kResumed };
  // Test tuple <start tick, idle then, notification and its tick, reading's tick, last
  // input it gives>
  struct Case {
    std::uint32_t start, startIdle;
    Event event;
    std::uint32_t eventAt, now, lastInput;
  } cases[] = {
      {10000, 0, kNone, 0, 10400, 10000},      // less than a second since the start
      {10000, 0, kNone, 0, 15000, 14001},      // no idled yet: under a second idle
      {10000, 0, kIdled, 11200, 15000, 10200}, // idled read at 11200: input a second before
      {10000, 0, kResumed, 12000, 12300, 12000},
      {10000, 5000, kNone, 0, 70000, 5000}, // known idle at the start
      {10000, 500, kNone, 0, 10200, 9500},  // under a second at the start: exact
      {10000, 5000, kResumed, 12000, 14000, 13001},
      {4294967000u, 3000, kNone, 0, 100, 4294964000u}, // across the tick's wrap
      {4294967000u, 0, kIdled, 500, 900, 4294966796u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.start << " " << c.startIdle << " " << c.event << " " << c.now);
    IdleTransitions transitions;
    transitions.Start(c.start, c.startIdle);
    if (c.event == kIdled)
      transitions.Idled(c.eventAt);
    else if (c.event == kResumed)
      transitions.Resumed(c.eventAt);
    EXPECT_EQ(transitions.LastInputTick(c.now), c.lastInput);
  }
}

} // namespace
