// Gives mutter keyboard or pointer input through its remote-desktop interface on the
// session bus. The remote-desktop session lives as long as the connection that created
// it, so one connection creates, starts and feeds it.
//   mutter_remote_input key
//   mutter_remote_input pointer DX DY
//   mutter_remote_input wheel STEPS
#include <dbus/dbus.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr const char* kService = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr int kCallTimeoutMs = 10000;
constexpr std::uint32_t kLeftShift = 42; // evdev code: changes nothing a client sees

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::exit(1);
}

/// Calls a method, its arguments given as (type, pointer to value) pairs ending with
/// DBUS_TYPE_INVALID, and answers the reply; a failed call ends the tool.
DBusMessage* Call(DBusConnection* bus, const char* path, const char* interface, const char* method,
                  int firstType, ...) {
  DBusMessage* call = dbus_message_new_method_call(kService, path, interface, method);
  if (!call)
    Fail("out of memory");
  va_list arguments;
  va_start(arguments, firstType);
  bool appended = dbus_message_append_args_valist(call, firstType, arguments);
  va_end(arguments);
  if (!appended)
    Fail("out of memory");
  DBusError error;
  dbus_error_init(&error);
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus, call, kCallTimeoutMs, &error);
  dbus_message_unref(call);
  if (!reply)
    Fail(std::string(method) + ": " + (error.message ? error.message : "no reply"));
  return reply;
}

} // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  if (!(what == "key" && argc == 2) && !(what == "pointer" && argc == 4) &&
      !(what == "wheel" && argc == 3))
    Fail("usage: mutter_remote_input key | mutter_remote_input pointer DX DY | "
         "mutter_remote_input wheel STEPS");
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
  if (!bus)
    Fail(std::string("no session bus: ") + (error.message ? error.message : "?"));

  DBusMessage* created =
      Call(bus, "/org/gnome/Mutter/RemoteDesktop", kService, "CreateSession", DBUS_TYPE_INVALID);
  const char* path = nullptr;
  if (!dbus_message_get_args(created, &error, DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID))
    Fail("CreateSession answered no session path");
  std::string session = path;
  dbus_message_unref(created);

  dbus_message_unref(Call(bus, session.c_str(), kSessionInterface, "Start", DBUS_TYPE_INVALID));
  if (what == "key") {
    std::uint32_t code = kLeftShift;
    for (dbus_bool_t pressed : {TRUE, FALSE})
      dbus_message_unref(Call(bus, session.c_str(), kSessionInterface, "NotifyKeyboardKeycode",
                              DBUS_TYPE_UINT32, &code, DBUS_TYPE_BOOLEAN, &pressed,
                              DBUS_TYPE_INVALID));
  } else if (what == "wheel") {
    // mutter 48 may drop a motion of a session without a screen-cast stream; a wheel
    // step it takes.
    std::uint32_t vertical = 0;
    std::int32_t steps = std::atoi(argv[2]);
    dbus_message_unref(Call(bus, session.c_str(), kSessionInterface, "NotifyPointerAxisDiscrete",
                            DBUS_TYPE_UINT32, &vertical, DBUS_TYPE_INT32, &steps,
                            DBUS_TYPE_INVALID));
  } else {
    double dx = std::atof(argv[2]), dy = std::atof(argv[3]);
    dbus_message_unref(Call(bus, session.c_str(), kSessionInterface, "NotifyPointerMotionRelative",
                            DBUS_TYPE_DOUBLE, &dx, DBUS_TYPE_DOUBLE, &dy, DBUS_TYPE_INVALID));
  }
  dbus_message_unref(Call(bus, session.c_str(), kSessionInterface, "Stop", DBUS_TYPE_INVALID));
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return 0;
}
