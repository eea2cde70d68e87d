// The last input time from GNOME's compositor: org.gnome.Mutter.IdleMonitor on the session
// bus answers the idle time in milliseconds, right on GNOME's Wayland and X11 sessions
// alike. libdbus-1.so.3 is opened at run time.
#include "platform/posix/idle_source_posix.h"

namespace platform::posix {
namespace {

// The D-Bus types the calls need, spelled out here so that building needs no D-Bus headers.
struct DBusConnection;
struct DBusMessage;
using dbus_bool_t = std::uint32_t;
struct DBusError {
  const char* name;
  const char* message;
  unsigned int dummy1 : 1;
  unsigned int dummy2 : 1;
  unsigned int dummy3 : 1;
  unsigned int dummy4 : 1;
  unsigned int dummy5 : 1;
  void* padding1;
};
constexpr int kTypeInvalid = 0;
constexpr int kTypeBoolean = 'b';
constexpr int kTypeString = 's';
constexpr int kTypeUint64 = 't';

constexpr const char* kMonitorName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";

// A bus that answers at all answers within milliseconds; the start allows for a session
// that is still coming up.
constexpr int kStartTimeoutMs = 2000;
// A reading must not hold up the agent's cycle: an answer later than this is a failed
// reading (0), not a wait.
constexpr int kReadingTimeoutMs = 25;

// Every function the source calls.
struct DBusFunctions {
  void (*errorInit)(DBusError*);
  void (*errorFree)(DBusError*);
  void (*setChangeSigpipe)(dbus_bool_t);
  DBusConnection* (*openPrivate)(const char*, DBusError*);
  void (*close)(DBusConnection*);
  void (*unrefConnection)(DBusConnection*);
  dbus_bool_t (*isConnected)(DBusConnection*);
  DBusMessage* (*sendWithReplyAndBlock)(DBusConnection*, DBusMessage*, int, DBusError*);
  DBusMessage* (*popMessage)(DBusConnection*);
  DBusMessage* (*newMethodCall)(const char*, const char*, const char*, const char*);
  dbus_bool_t (*appendArgs)(DBusMessage*, int, ...);
  dbus_bool_t (*getArgs)(DBusMessage*, DBusError*, int, ...);
  void (*setAutoStart)(DBusMessage*, dbus_bool_t);
  void (*unrefMessage)(DBusMessage*);
  void (*shutdown)();
};

/// Finds every function; the name of the first the library lacks, or null.
const char* FindFunctions(const SharedLibrary& library, DBusFunctions& dbus) {
  const char* missing = nullptr;
  library.FindInto(dbus.errorInit, "dbus_error_init", missing);
  library.FindInto(dbus.errorFree, "dbus_error_free", missing);
  library.FindInto(dbus.setChangeSigpipe, "dbus_connection_set_change_sigpipe", missing);
  library.FindInto(dbus.openPrivate, "dbus_connection_open_private", missing);
  library.FindInto(dbus.close, "dbus_connection_close", missing);
  library.FindInto(dbus.unrefConnection, "dbus_connection_unref", missing);
  library.FindInto(dbus.isConnected, "dbus_connection_get_is_connected", missing);
  library.FindInto(dbus.sendWithReplyAndBlock, "dbus_connection_send_with_reply_and_block",
                   missing);
  library.FindInto(dbus.popMessage, "dbus_connection_pop_message", missing);
  library.FindInto(dbus.newMethodCall, "dbus_message_new_method_call", missing);
  library.FindInto(dbus.appendArgs, "dbus_message_append_args", missing);
  library.FindInto(dbus.getArgs, "dbus_message_get_args", missing);
  library.FindInto(dbus.setAutoStart, "dbus_message_set_auto_start", missing);
  library.FindInto(dbus.unrefMessage, "dbus_message_unref", missing);
  library.FindInto(dbus.shutdown, "dbus_shutdown", missing);
  return missing;
}

/// A message owned for a scope.
class ScopedMessage {
public:
  ScopedMessage(const DBusFunctions& dbus, DBusMessage* message) : dbus_(dbus), message_(message) {}
  ScopedMessage(const ScopedMessage&) = delete;
  ScopedMessage& operator=(const ScopedMessage&) = delete;
  ~ScopedMessage() {
    if (message_)
      dbus_.unrefMessage(message_);
  }
  DBusMessage* get() const { return message_; }

private:
  const DBusFunctions& dbus_;
  DBusMessage* message_;
};

/// An error record, freed when the scope ends.
class ScopedError {
public:
  explicit ScopedError(const DBusFunctions& dbus) : dbus_(dbus) { dbus_.errorInit(&error_); }
  ScopedError(const ScopedError&) = delete;
  ScopedError& operator=(const ScopedError&) = delete;
  ~ScopedError() { dbus_.errorFree(&error_); }
  DBusError* get() { return &error_; }
  std::string Text() const {
    return error_.message ? error_.message : error_.name ? error_.name : "unknown error";
  }

private:
  const DBusFunctions& dbus_;
  DBusError error_;
};

class MutterLastInput : public LastInputSource {
public:
  static constexpr const char* kLibrary = "libdbus-1.so.3";
  using Functions = DBusFunctions;

  MutterLastInput(SharedLibrary library, const DBusFunctions& dbus)
      : library_(std::move(library)), dbus_(dbus) {}

  ~MutterLastInput() override {
    if (connection_) {
      dbus_.close(connection_);
      DrainIncoming();
      dbus_.unrefConnection(connection_);
    }
    // Frees what the library keeps for the process: the agent is its only user.
    dbus_.shutdown();
  }

  /// Joins the bus and asks once, as every reading will.
  bool Connect(const std::string& busAddress, std::string& whyNot) {
    // The library would otherwise set SIGPIPE to be ignored for the whole process.
    dbus_.setChangeSigpipe(0);
    ScopedError error(dbus_);
    connection_ = dbus_.openPrivate(busAddress.c_str(), error.get());
    if (!connection_) {
      whyNot = "cannot reach the session bus: " + error.Text();
      return false;
    }
    // Hello makes the connection a client of the bus; nothing is sent before it.
    ScopedMessage hello(dbus_, dbus_.newMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                   "org.freedesktop.DBus", "Hello"));
    if (!Call(hello, kStartTimeoutMs, error).get()) {
      whyNot = "cannot reach the session bus: " + error.Text();
      return false;
    }
    ScopedMessage hasOwner(dbus_,
                           dbus_.newMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                               "org.freedesktop.DBus", "NameHasOwner"));
    const char* name = kMonitorName;
    if (!hasOwner.get() || !dbus_.appendArgs(hasOwner.get(), kTypeString, &name, kTypeInvalid)) {
      whyNot = "out of memory asking the session bus";
      return false;
    }
    ScopedMessage owned = Call(hasOwner, kStartTimeoutMs, error);
    dbus_bool_t hasIt = 0;
    if (!owned.get() ||
        !dbus_.getArgs(owned.get(), error.get(), kTypeBoolean, &hasIt, kTypeInvalid)) {
      whyNot = std::string("the session bus does not tell whether ") + kMonitorName +
               " has an owner: " + error.Text();
      return false;
    }
    if (!hasIt) {
      whyNot = std::string(kMonitorName) + " has no owner on the session bus";
      return false;
    }
    std::uint64_t idle = 0;
    if (!AskIdleTime(kStartTimeoutMs, idle, error)) {
      whyNot = std::string(kMonitorName) + " does not answer GetIdletime: " + error.Text();
      return false;
    }
    return true;
  }

  bool FindLastInputFunction() override { return true; }

  const char* Name() const override { return "mutter"; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    ScopedError error(dbus_);
    std::uint64_t idle = 0;
    bool answered = AskIdleTime(kReadingTimeoutMs, idle, error);
    DrainIncoming();
    if (!dbus_.isConnected(connection_))
      return LastInputQuery::kSessionGone;
    if (!answered)
      return LastInputQuery::kFailed;
    tick = TickCount() - static_cast<std::uint32_t>(idle);
    return LastInputQuery::kAnswered;
  }

  std::uint32_t TickCount() override { return BootTimeTick(); }

private:
  ScopedMessage Call(const ScopedMessage& request, int timeoutMs, ScopedError& error) {
    if (!request.get())
      return ScopedMessage(dbus_, nullptr);
    return ScopedMessage(
        dbus_, dbus_.sendWithReplyAndBlock(connection_, request.get(), timeoutMs, error.get()));
  }

  bool AskIdleTime(int timeoutMs, std::uint64_t& idle, ScopedError& error) {
    ScopedMessage request(
        dbus_, dbus_.newMethodCall(kMonitorName, kMonitorPath, kMonitorName, "GetIdletime"));
    if (!request.get())
      return false;
    // A monitor that has gone must not be started on the agent's behalf.
    dbus_.setAutoStart(request.get(), 0);
    ScopedMessage reply = Call(request, timeoutMs, error);
    return reply.get() && dbus_.getArgs(reply.get(), error.get(), kTypeUint64, &idle, kTypeInvalid);
  }

  // Anything else that reaches the connection (the bus's own signals, calls from other
  // clients) is dropped: nothing here dispatches, and it must not pile up.
  void DrainIncoming() {
    while (DBusMessage* message = dbus_.popMessage(connection_))
      dbus_.unrefMessage(message);
  }

  SharedLibrary library_;
  DBusFunctions dbus_;
  DBusConnection* connection_ = nullptr;
};

} // namespace

SourceAttempt OpenMutterIdleMonitor(const std::string& busAddress) {
  return OpenSource<MutterLastInput>(busAddress);
}

} // namespace platform::posix
