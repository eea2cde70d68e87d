// The last input time from GNOME's compositor: org.gnome.Mutter.IdleMonitor on the session
// bus, right on GNOME's Wayland and X11 sessions alike. Its GetIdletime gives the exact
// figure at start; from then on its watches tell when the user has been idle a second
// (AddIdleWatch) and when input came back (AddUserActiveWatch), and a reading takes only
// the WatchFired signals already sent: it never waits on the bus. libdbus-1.so.3 is
// opened at run time.
#include "platform/posix/idle_source_posix.h"

#include <poll.h>

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
constexpr int kMessageMethodReturn = 2;
constexpr int kMessageError = 3;
constexpr int kDispatchDataRemains = 0;
constexpr int kTypeBoolean = 'b';
constexpr int kTypeString = 's';
constexpr int kTypeUint32 = 'u';
constexpr int kTypeUint64 = 't';

constexpr const char* kMonitorName = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";

constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";

// A bus that answers at all answers within milliseconds; the start allows for a session
// that is still coming up.
constexpr int kStartTimeoutMs = 2000;

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
  dbus_bool_t (*send)(DBusConnection*, DBusMessage*, std::uint32_t*);
  dbus_bool_t (*readWrite)(DBusConnection*, int);
  dbus_bool_t (*unixFd)(DBusConnection*, int*);
  dbus_bool_t (*hasMessagesToSend)(DBusConnection*);
  int (*dispatchStatus)(DBusConnection*);
  DBusMessage* (*popMessage)(DBusConnection*);
  void (*addMatch)(DBusConnection*, const char*, DBusError*);
  int (*messageType)(DBusMessage*);
  dbus_bool_t (*isSignal)(DBusMessage*, const char*, const char*);
  std::uint32_t (*replySerial)(DBusMessage*);
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
  library.FindInto(dbus.send, "dbus_connection_send", missing);
  library.FindInto(dbus.readWrite, "dbus_connection_read_write", missing);
  library.FindInto(dbus.unixFd, "dbus_connection_get_unix_fd", missing);
  library.FindInto(dbus.hasMessagesToSend, "dbus_connection_has_messages_to_send", missing);
  library.FindInto(dbus.dispatchStatus, "dbus_connection_get_dispatch_status", missing);
  library.FindInto(dbus.popMessage, "dbus_connection_pop_message", missing);
  library.FindInto(dbus.addMatch, "dbus_bus_add_match", missing);
  library.FindInto(dbus.messageType, "dbus_message_get_type", missing);
  library.FindInto(dbus.isSignal, "dbus_message_is_signal", missing);
  library.FindInto(dbus.replySerial, "dbus_message_get_reply_serial", missing);
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
  ScopedMessage(ScopedMessage&& other) noexcept : dbus_(other.dbus_), message_(other.message_) {
    other.message_ = nullptr;
  }
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

  /// Joins the bus, asks the idle time once and sets the watches; the only calls that
  /// wait for their answers.
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
    ScopedMessage hello(dbus_, dbus_.newMethodCall(kBusName, kBusPath, kBusName, "Hello"));
    if (!Call(hello, error).get()) {
      whyNot = "cannot reach the session bus: " + error.Text();
      return false;
    }
    // The monitor's leaving and coming back, as the bus tells everyone; the watches'
    // signals are sent to the connection that set them.
    dbus_.addMatch(connection_,
                   "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',"
                   "member='NameOwnerChanged',arg0='org.gnome.Mutter.IdleMonitor'",
                   error.get());
    if (error.get()->name) {
      whyNot =
          "the session bus refuses to tell of " + std::string(kMonitorName) + ": " + error.Text();
      return false;
    }
    ScopedMessage hasOwner(dbus_,
                           dbus_.newMethodCall(kBusName, kBusPath, kBusName, "NameHasOwner"));
    const char* name = kMonitorName;
    if (!hasOwner.get() || !dbus_.appendArgs(hasOwner.get(), kTypeString, &name, kTypeInvalid)) {
      whyNot = "out of memory asking the session bus";
      return false;
    }
    ScopedMessage owned = Call(hasOwner, error);
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
    ScopedMessage idleTime = Call(MonitorCall("GetIdletime"), error);
    if (!idleTime.get() ||
        !dbus_.getArgs(idleTime.get(), error.get(), kTypeUint64, &idle, kTypeInvalid)) {
      whyNot = std::string(kMonitorName) + " does not answer GetIdletime: " + error.Text();
      return false;
    }
    transitions_.Start(TickCount(), Clamped(idle));
    if (!SetIdleWatch() || (transitions_.Idle() && !SetActiveWatch())) {
      whyNot = "out of memory setting watches of " + std::string(kMonitorName);
      return false;
    }
    return true;
  }

  bool FindLastInputFunction() override { return true; }

  const char* Name() const override { return "mutter"; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    // Most readings find nothing come and nothing to send: one poll tells, and the
    // library's own round is left for the readings that have something to do.
    int fd = -1;
    pollfd waiting{dbus_.unixFd(connection_, &fd) ? fd : -1, POLLIN, 0};
    bool quiet = waiting.fd >= 0 && poll(&waiting, 1, 0) == 0 &&
                 !dbus_.hasMessagesToSend(connection_) &&
                 dbus_.dispatchStatus(connection_) != kDispatchDataRemains;
    if (quiet)
      return Answer(tick);
    // Reads and writes what the socket takes without waiting; false once it is closed.
    if (!dbus_.readWrite(connection_, 0) || !dbus_.isConnected(connection_)) {
      DrainIncoming();
      return LastInputQuery::kSessionGone;
    }
    while (DBusMessage* message = dbus_.popMessage(connection_)) {
      Take(message);
      dbus_.unrefMessage(message);
    }
    return Answer(tick);
  }

  std::uint32_t TickCount() override { return BootTimeTick(); }

private:
  LastInputQuery Answer(std::uint32_t& tick) {
    if (!monitorPresent_)
      return LastInputQuery::kFailed;
    tick = transitions_.LastInputTick(TickCount());
    return LastInputQuery::kAnswered;
  }

  static std::uint32_t Clamped(std::uint64_t idle) {
    return idle > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(idle);
  }

  ScopedMessage MonitorCall(const char* method) {
    ScopedMessage request(dbus_,
                          dbus_.newMethodCall(kMonitorName, kMonitorPath, kMonitorName, method));
    // A monitor that has gone must not be started on the agent's behalf.
    if (request.get())
      dbus_.setAutoStart(request.get(), 0);
    return request;
  }

  ScopedMessage Call(const ScopedMessage& request, ScopedError& error) {
    if (!request.get())
      return ScopedMessage(dbus_, nullptr);
    return ScopedMessage(dbus_, dbus_.sendWithReplyAndBlock(connection_, request.get(),
                                                            kStartTimeoutMs, error.get()));
  }

  /// Sends without waiting; the answer is taken at a later reading by its serial.
  bool Send(const ScopedMessage& request, std::uint32_t& serial) {
    return request.get() && dbus_.send(connection_, request.get(), &serial);
  }

  bool SetIdleWatch() {
    ScopedMessage request = MonitorCall("AddIdleWatch");
    std::uint64_t interval = IdleTransitions::kThresholdMs;
    idleWatch_ = 0;
    return request.get() && dbus_.appendArgs(request.get(), kTypeUint64, &interval, kTypeInvalid) &&
           Send(request, idleWatchSerial_);
  }

  bool SetActiveWatch() {
    activeWatch_ = 0;
    return Send(MonitorCall("AddUserActiveWatch"), activeWatchSerial_);
  }

  /// Asks for the exact idle time, taken from the answer at a later reading.
  bool AskIdleTime() { return Send(MonitorCall("GetIdletime"), idleTimeSerial_); }

  void Take(DBusMessage* message) {
    int type = dbus_.messageType(message);
    if (type == kMessageMethodReturn || type == kMessageError) {
      std::uint32_t serial = dbus_.replySerial(message);
      bool answered = type == kMessageMethodReturn;
      std::uint32_t id = 0;
      std::uint64_t idle = 0;
      if (serial == idleWatchSerial_)
        idleWatch_ =
            answered && dbus_.getArgs(message, nullptr, kTypeUint32, &id, kTypeInvalid) ? id : 0;
      else if (serial == activeWatchSerial_)
        activeWatch_ =
            answered && dbus_.getArgs(message, nullptr, kTypeUint32, &id, kTypeInvalid) ? id : 0;
      else if (serial == idleTimeSerial_ && answered &&
               dbus_.getArgs(message, nullptr, kTypeUint64, &idle, kTypeInvalid))
        transitions_.Start(TickCount(), Clamped(idle));
      return;
    }
    if (dbus_.isSignal(message, kMonitorName, "WatchFired")) {
      std::uint32_t id = 0;
      if (!dbus_.getArgs(message, nullptr, kTypeUint32, &id, kTypeInvalid) || id == 0)
        return;
      if (id == idleWatch_) {
        // Stamped now, never earlier than it came; the exact figure follows. The input
        // watch is set first: input before the monitor takes the question shows in its
        // answer, input after it fires the watch.
        transitions_.Idled(TickCount());
        SetActiveWatch();
        AskIdleTime();
      } else if (id == activeWatch_) {
        // The monitor removes an input watch once it has fired.
        activeWatch_ = 0;
        transitions_.Resumed(TickCount());
      }
      return;
    }
    if (dbus_.isSignal(message, kBusName, "NameOwnerChanged")) {
      const char* name = "";
      const char* oldOwner = "";
      const char* newOwner = "";
      if (!dbus_.getArgs(message, nullptr, kTypeString, &name, kTypeString, &oldOwner, kTypeString,
                         &newOwner, kTypeInvalid))
        return;
      monitorPresent_ = *newOwner != '\0';
      if (monitorPresent_) {
        // A new monitor (a restarted shell) knows none of the watches: set them again,
        // the user counting as active until it says otherwise.
        transitions_.Resumed(TickCount());
        SetIdleWatch();
      }
    }
  }

  // Anything else that reaches the connection is dropped: it must not pile up.
  void DrainIncoming() {
    while (DBusMessage* message = dbus_.popMessage(connection_))
      dbus_.unrefMessage(message);
  }

  SharedLibrary library_;
  DBusFunctions dbus_;
  DBusConnection* connection_ = nullptr;
  IdleTransitions transitions_;
  bool monitorPresent_ = true;
  std::uint32_t idleWatch_ = 0; // 0: not known (yet)
  std::uint32_t activeWatch_ = 0;
  std::uint32_t idleWatchSerial_ = 0;
  std::uint32_t activeWatchSerial_ = 0;
  std::uint32_t idleTimeSerial_ = 0;
};

} // namespace

SourceAttempt OpenMutterIdleMonitor(const std::string& busAddress) {
  return OpenSource<MutterLastInput>(busAddress);
}

} // namespace platform::posix
