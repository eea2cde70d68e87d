// A stand-in for GNOME's idle monitor, run inside dbus-run-session, whose user never
// gives input: it answers GetIdletime with IDLE_MS plus the time since it started, takes
// idle and input watches (the idle ones fire at once, as a monitor's do for a user
// already idle; the input ones never), stops answering on SIGUSR2 (a hung shell), gives up its name
// on SIGUSR1 while staying on the bus (as a restarting shell does), and ends on SIGTERM, taking the
// session bus with it. Prints "ready PID ADDRESS" once it owns the name.
//
//   fake_idle_monitor IDLE_MS
#include <dbus/dbus.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr const char* kName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";

volatile std::sig_atomic_t silenceAsked = 0;
volatile std::sig_atomic_t releaseAsked = 0;
volatile std::sig_atomic_t quitAsked = 0;

void OnSilence(int) {
  silenceAsked = 1;
}
void OnRelease(int) {
  releaseAsked = 1;
}
void OnQuit(int) {
  quitAsked = 1;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fake_idle_monitor IDLE_MS\n");
    return 2;
  }
  const std::uint64_t baseIdle = std::strtoull(argv[1], nullptr, 10);
  std::signal(SIGUSR2, OnSilence);
  std::signal(SIGUSR1, OnRelease);
  std::signal(SIGTERM, OnQuit);

  DBusError error;
  dbus_error_init(&error);
  DBusConnection* connection = dbus_bus_get(DBUS_BUS_SESSION, &error);
  if (!connection) {
    std::fprintf(stderr, "no session bus: %s\n", error.message);
    return 1;
  }
  if (dbus_bus_request_name(connection, kName, DBUS_NAME_FLAG_DO_NOT_QUEUE, &error) !=
      DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
    std::fprintf(stderr, "cannot own %s\n", kName);
    return 1;
  }
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::printf("ready %d %s\n", static_cast<int>(getpid()), address ? address : "");
  std::fflush(stdout);

  const auto start = std::chrono::steady_clock::now();
  bool released = false;
  dbus_uint32_t lastWatch = 0;
  while (!quitAsked) {
    if (releaseAsked && !released) {
      dbus_bus_release_name(connection, kName, &error);
      released = true;
    }
    if (!dbus_connection_read_write(connection, 100))
      break;
    while (DBusMessage* message = dbus_connection_pop_message(connection)) {
      bool ours = !silenceAsked && dbus_message_get_path(message) &&
                  std::strcmp(dbus_message_get_path(message), kPath) == 0;
      if (ours && dbus_message_is_method_call(message, kName, "GetIdletime")) {
        dbus_uint64_t idle = baseIdle + static_cast<std::uint64_t>(
                                            std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
        DBusMessage* reply = dbus_message_new_method_return(message);
        dbus_message_append_args(reply, DBUS_TYPE_UINT64, &idle, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
      } else if (ours && (dbus_message_is_method_call(message, kName, "AddIdleWatch") ||
                          dbus_message_is_method_call(message, kName, "AddUserActiveWatch"))) {
        dbus_uint32_t id = ++lastWatch;
        DBusMessage* reply = dbus_message_new_method_return(message);
        dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, nullptr);
        dbus_message_unref(reply);
        if (dbus_message_is_method_call(message, kName, "AddIdleWatch")) {
          DBusMessage* fired = dbus_message_new_signal(kPath, kName, "WatchFired");
          dbus_message_set_destination(fired, dbus_message_get_sender(message));
          dbus_message_append_args(fired, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
          dbus_connection_send(connection, fired, nullptr);
          dbus_message_unref(fired);
        }
      }
      dbus_message_unref(message);
    }
  }
  return 0;
}
