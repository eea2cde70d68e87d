// The last input time from a Wayland compositor's idle notifications: one notification
// with a one-second timeout, whose idled and resumed events tell when input last came.
// libwayland-client.so.0 is opened at run time; the two idle protocols' tables are
// written out here from their XML descriptions.
#include "platform/posix/idle_source_posix.h"
#include "platform/posix/pipe_path_posix.h"
#include "platform/posix/scoped_fd.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace platform::posix {
namespace {

// The libwayland types the calls need, spelled out here so that building needs no
// Wayland headers. The two structs are the library's stable ABI (wayland-util.h).
struct wl_display;
struct wl_proxy;
struct wl_interface;
struct wl_message {
  const char* name;
  const char* signature;
  const wl_interface** types;
};
struct wl_interface {
  const char* name;
  int version;
  int method_count;
  const wl_message* methods;
  int event_count;
  const wl_message* events;
};
using Implementation = void (*)();

// Opcodes of the core requests used.
constexpr std::uint32_t kDisplaySync = 0;
constexpr std::uint32_t kDisplayGetRegistry = 1;
constexpr std::uint32_t kRegistryBind = 0;
constexpr std::uint32_t kNotifierGetIdleNotification = 1; // ext_idle_notifier_v1
constexpr std::uint32_t kKdeIdleGetIdleTimeout = 0;       // org_kde_kwin_idle

constexpr std::uint32_t kNotificationTimeoutMs = IdleTransitions::kThresholdMs;
// A compositor answers a round trip within milliseconds; the start allows for one that is
// still busy bringing the session up.
constexpr int kStartTimeoutMs = 5000;

struct WaylandFunctions {
  wl_display* (*connectToFd)(int);
  void (*disconnect)(wl_display*);
  int (*getFd)(wl_display*);
  int (*flush)(wl_display*);
  int (*prepareRead)(wl_display*);
  int (*cancelRead)(wl_display*);
  int (*readEvents)(wl_display*);
  int (*dispatchPending)(wl_display*);
  int (*getError)(wl_display*);
  wl_proxy* (*marshalConstructor)(wl_proxy*, std::uint32_t, const wl_interface*, ...);
  wl_proxy* (*marshalConstructorVersioned)(wl_proxy*, std::uint32_t, const wl_interface*,
                                           std::uint32_t, ...);
  int (*addListener)(wl_proxy*, Implementation*, void*);
  void (*destroy)(wl_proxy*);
  const wl_interface* registryInterface;
  const wl_interface* callbackInterface;
  const wl_interface* seatInterface;
};

/// Finds every function and interface; the name of the first the library lacks, or null.
const char* FindFunctions(const SharedLibrary& library, WaylandFunctions& wayland) {
  const char* missing = nullptr;
  library.FindInto(wayland.connectToFd, "wl_display_connect_to_fd", missing);
  library.FindInto(wayland.disconnect, "wl_display_disconnect", missing);
  library.FindInto(wayland.getFd, "wl_display_get_fd", missing);
  library.FindInto(wayland.flush, "wl_display_flush", missing);
  library.FindInto(wayland.prepareRead, "wl_display_prepare_read", missing);
  library.FindInto(wayland.cancelRead, "wl_display_cancel_read", missing);
  library.FindInto(wayland.readEvents, "wl_display_read_events", missing);
  library.FindInto(wayland.dispatchPending, "wl_display_dispatch_pending", missing);
  library.FindInto(wayland.getError, "wl_display_get_error", missing);
  library.FindInto(wayland.marshalConstructor, "wl_proxy_marshal_constructor", missing);
  library.FindInto(wayland.marshalConstructorVersioned, "wl_proxy_marshal_constructor_versioned",
                   missing);
  library.FindInto(wayland.addListener, "wl_proxy_add_listener", missing);
  library.FindInto(wayland.destroy, "wl_proxy_destroy", missing);
  library.FindInto(wayland.registryInterface, "wl_registry_interface", missing);
  library.FindInto(wayland.callbackInterface, "wl_callback_interface", missing);
  library.FindInto(wayland.seatInterface, "wl_seat_interface", missing);
  return missing;
}

/// The interfaces of ext-idle-notify-v1 and of KDE's idle.xml, version 1 of each. They
/// refer to wl_seat, whose table lives in the library, so they are made at run time.
struct IdleProtocols {
  explicit IdleProtocols(const wl_interface* seat) {
    extRequestTypes[0] = &extNotification;
    extRequestTypes[1] = nullptr;
    extRequestTypes[2] = seat;
    kdeRequestTypes[0] = &kdeTimeout;
    kdeRequestTypes[1] = seat;
    kdeRequestTypes[2] = nullptr;
  }
  IdleProtocols(const IdleProtocols&) = delete;
  IdleProtocols& operator=(const IdleProtocols&) = delete;

  const wl_interface* extRequestTypes[3];
  const wl_interface* kdeRequestTypes[3];
  const wl_message extNotifierRequests[2] = {
      {"destroy", "", nullptr},
      {"get_idle_notification", "nuo", extRequestTypes},
  };
  const wl_message extNotificationRequests[1] = {{"destroy", "", nullptr}};
  const wl_message extNotificationEvents[2] = {{"idled", "", nullptr}, {"resumed", "", nullptr}};
  const wl_message kdeIdleRequests[1] = {{"get_idle_timeout", "nou", kdeRequestTypes}};
  const wl_message kdeTimeoutRequests[2] = {{"release", "", nullptr},
                                            {"simulate_user_activity", "", nullptr}};
  const wl_message kdeTimeoutEvents[2] = {{"idle", "", nullptr}, {"resumed", "", nullptr}};

  const wl_interface extNotifier = {"ext_idle_notifier_v1", 1, 2, extNotifierRequests, 0, nullptr};
  const wl_interface extNotification = {"ext_idle_notification_v1", 1, 1,
                                        extNotificationRequests,    2, extNotificationEvents};
  const wl_interface kdeIdle = {"org_kde_kwin_idle", 1, 1, kdeIdleRequests, 0, nullptr};
  const wl_interface kdeTimeout = {"org_kde_kwin_idle_timeout", 1, 2,
                                   kdeTimeoutRequests,          2, kdeTimeoutEvents};
};

/// What a round trip came to.
enum class Trip { kDone, kTimedOut, kLost };

class WaylandLastInput : public LastInputSource {
public:
  static constexpr const char* kLibrary = "libwayland-client.so.0";
  using Functions = WaylandFunctions;

  WaylandLastInput(SharedLibrary library, const WaylandFunctions& wayland)
      : library_(std::move(library)), wayland_(wayland), protocols_(wayland.seatInterface) {}

  ~WaylandLastInput() override {
    // The compositor frees its side of every object when the connection closes.
    for (wl_proxy* proxy : {notification_, idleManager_, seat_, registry_})
      if (proxy)
        wayland_.destroy(proxy);
    if (display_)
      wayland_.disconnect(display_);
  }

  /// Connects, finds the seat and an idle protocol, and registers the one notification.
  bool Connect(const std::string& socketPath, std::string& whyNot) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof(address.sun_path)) {
      whyNot = "the Wayland display path \"" + socketPath + "\" is too long";
      return false;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    // Not blocking: a listener that never accepts must not hold up the start.
    ScopedFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket.valid() ||
        connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      whyNot = "cannot connect to the Wayland display \"" + socketPath + "\": " + strerror(errno);
      return false;
    }
    // The library owns the socket from here on: it closes it itself when it fails.
    display_ = wayland_.connectToFd(socket.release());
    if (!display_) {
      whyNot = "cannot use the Wayland display \"" + socketPath + "\": " + strerror(errno);
      return false;
    }

    static Implementation registryListener[] = {
        reinterpret_cast<Implementation>(Global),
        reinterpret_cast<Implementation>(GlobalRemove),
    };
    registry_ = wayland_.marshalConstructor(AsProxy(display_), kDisplayGetRegistry,
                                            wayland_.registryInterface, nullptr);
    if (!registry_ || wayland_.addListener(registry_, registryListener, this) != 0 ||
        !RoundTrip(socketPath, whyNot))
      return false;

    const wl_interface* idleInterface = nullptr;
    if (extNotifierName_)
      idleInterface = &protocols_.extNotifier;
    else if (kdeIdleName_)
      idleInterface = &protocols_.kdeIdle;
    if (!idleInterface) {
      whyNot = "the Wayland compositor at \"" + socketPath +
               "\" offers neither ext_idle_notifier_v1 nor org_kde_kwin_idle";
      return false;
    }
    if (!seatName_) {
      whyNot = "the Wayland compositor at \"" + socketPath + "\" has no seat";
      return false;
    }
    seat_ = Bind(*seatName_, wayland_.seatInterface);
    idleManager_ = Bind(extNotifierName_ ? *extNotifierName_ : *kdeIdleName_, idleInterface);
    if (!seat_ || !idleManager_) {
      whyNot = "out of memory registering for idle notifications";
      return false;
    }
    static Implementation notificationListener[] = {
        reinterpret_cast<Implementation>(Idled),
        reinterpret_cast<Implementation>(Resumed),
    };
    if (extNotifierName_) {
      notification_ = wayland_.marshalConstructor(idleManager_, kNotifierGetIdleNotification,
                                                  &protocols_.extNotification, nullptr,
                                                  kNotificationTimeoutMs, seat_);
      name_ = "ext_idle_notifier_v1";
    } else {
      notification_ =
          wayland_.marshalConstructor(idleManager_, kKdeIdleGetIdleTimeout, &protocols_.kdeTimeout,
                                      nullptr, seat_, kNotificationTimeoutMs);
      name_ = "org_kde_kwin_idle";
    }
    if (!notification_ || wayland_.addListener(notification_, notificationListener, this) != 0) {
      whyNot = "out of memory registering for idle notifications";
      return false;
    }
    // The compositor's timer starts when it takes the request: idleness from before is
    // not known, so the user counts as active from then on.
    transitions_.Start(TickCount(), 0);
    return RoundTrip(socketPath, whyNot);
  }

  bool FindLastInputFunction() override { return true; }

  const char* Name() const override { return name_; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    if (!ReadWaitingEvents())
      return LastInputQuery::kSessionGone;
    tick = transitions_.LastInputTick(TickCount());
    return LastInputQuery::kAnswered;
  }

  std::uint32_t TickCount() override { return BootTimeTick(); }

private:
  static wl_proxy* AsProxy(wl_display* display) { return reinterpret_cast<wl_proxy*>(display); }

  wl_proxy* Bind(std::uint32_t name, const wl_interface* interface) {
    return wayland_.marshalConstructorVersioned(registry_, kRegistryBind, interface, 1u, name,
                                                interface->name, 1u, nullptr);
  }

  static void Global(void* data, wl_proxy*, std::uint32_t name, const char* interface,
                     std::uint32_t) {
    auto* self = static_cast<WaylandLastInput*>(data);
    // The first seat is the session's; a second one would be another user's input.
    if (std::strcmp(interface, "wl_seat") == 0 && !self->seatName_)
      self->seatName_ = name;
    else if (std::strcmp(interface, "ext_idle_notifier_v1") == 0)
      self->extNotifierName_ = name;
    else if (std::strcmp(interface, "org_kde_kwin_idle") == 0)
      self->kdeIdleName_ = name;
  }
  static void GlobalRemove(void*, wl_proxy*, std::uint32_t) {}

  static void Idled(void* data, wl_proxy*) {
    auto* self = static_cast<WaylandLastInput*>(data);
    self->transitions_.Idled(self->TickCount());
  }
  static void Resumed(void* data, wl_proxy*) {
    auto* self = static_cast<WaylandLastInput*>(data);
    self->transitions_.Resumed(self->TickCount());
  }
  static void Done(void* data, wl_proxy*, std::uint32_t) { *static_cast<bool*>(data) = true; }

  /// Dispatches the events that have arrived, without waiting; false once the
  /// connection is gone.
  bool ReadWaitingEvents() {
    if (wayland_.getError(display_) != 0)
      return false;
    while (wayland_.prepareRead(display_) != 0)
      if (wayland_.dispatchPending(display_) < 0)
        return false;
    pollfd waiting{wayland_.getFd(display_), POLLIN, 0};
    if (poll(&waiting, 1, 0) <= 0) {
      wayland_.cancelRead(display_);
      return true;
    }
    return wayland_.readEvents(display_) == 0 && wayland_.dispatchPending(display_) >= 0;
  }

  /// Waits, within the start's time-out, until the compositor has handled every request.
  bool RoundTrip(const std::string& socketPath, std::string& whyNot) {
    bool done = false;
    static Implementation callbackListener[] = {reinterpret_cast<Implementation>(Done)};
    wl_proxy* callback = wayland_.marshalConstructor(AsProxy(display_), kDisplaySync,
                                                     wayland_.callbackInterface, nullptr);
    if (!callback || wayland_.addListener(callback, callbackListener, &done) != 0) {
      if (callback)
        wayland_.destroy(callback);
      whyNot = "out of memory talking to the Wayland display";
      return false;
    }
    Trip trip = WaitFor(done);
    int error = wayland_.getError(display_);
    if (error == 0)
      error = errno;
    wayland_.destroy(callback);
    if (trip == Trip::kTimedOut)
      whyNot = "the Wayland display \"" + socketPath + "\" did not answer within " +
               std::to_string(kStartTimeoutMs / 1000) + " s";
    else if (trip == Trip::kLost)
      // A peer that hung up says no more than that, however the close reached us.
      whyNot = "the Wayland display \"" + socketPath + "\" closed the connection" +
               (error == EPIPE || error == ECONNRESET ? "" : std::string(": ") + strerror(error));
    return trip == Trip::kDone;
  }

  Trip WaitFor(const bool& done) {
    std::uint64_t deadline = MonotonicMs() + kStartTimeoutMs;
    while (!done) {
      if (wayland_.prepareRead(display_) != 0) {
        if (wayland_.dispatchPending(display_) < 0)
          return Trip::kLost;
        continue;
      }
      // Requests the socket had no room for wait in the library: until they are out, the
      // answer cannot come, so room to write is waited for as well.
      bool unsent = false;
      if (wayland_.flush(display_) < 0) {
        if (errno != EAGAIN) {
          wayland_.cancelRead(display_);
          return Trip::kLost;
        }
        unsent = true;
      }
      std::uint64_t now = MonotonicMs();
      pollfd waiting{wayland_.getFd(display_), static_cast<short>(POLLIN | (unsent ? POLLOUT : 0)),
                     0};
      int ready = now < deadline ? poll(&waiting, 1, static_cast<int>(deadline - now)) : 0;
      if (ready <= 0) {
        wayland_.cancelRead(display_);
        if (ready < 0 && errno == EINTR)
          continue;
        return ready == 0 ? Trip::kTimedOut : Trip::kLost;
      }
      if (!(waiting.revents & (POLLIN | POLLHUP | POLLERR))) {
        // Room to write only: flush again before reading.
        wayland_.cancelRead(display_);
        continue;
      }
      if (wayland_.readEvents(display_) < 0 || wayland_.dispatchPending(display_) < 0)
        return Trip::kLost;
    }
    return Trip::kDone;
  }

  SharedLibrary library_;
  WaylandFunctions wayland_;
  IdleProtocols protocols_;
  wl_display* display_ = nullptr;
  wl_proxy* registry_ = nullptr;
  wl_proxy* seat_ = nullptr;
  wl_proxy* idleManager_ = nullptr;
  wl_proxy* notification_ = nullptr;
  std::optional<std::uint32_t> seatName_;
  std::optional<std::uint32_t> extNotifierName_;
  std::optional<std::uint32_t> kdeIdleName_;
  const char* name_ = "";
  IdleTransitions transitions_;
};

} // namespace

SourceAttempt OpenWaylandIdleNotifier(const std::string& socketPath) {
  return OpenSource<WaylandLastInput>(socketPath);
}

} // namespace platform::posix
