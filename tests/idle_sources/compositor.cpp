// Headless sway, kwin_wayland and mutter as this machine runs them without a GPU or a
// seat, each in a runtime folder of its own and, for kwin and mutter, on a session bus of
// its own.
#include "tests/idle_sources/compositor.h"
#include "tests/support/x_server_posix.h"

#include <dbus/dbus.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace idle_sources {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testing_support::ChildProcess;
using testing_support::FindProgram;
using testing_support::kUnset;

namespace {

// A loaded machine starts kwin or mutter in seconds; this only bounds a hang.
constexpr auto kStartTimeout = std::chrono::seconds(90);
constexpr int kInjectorTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 30000;
// sway refuses to run as root: as root it runs as nobody, as the notes on this machine say.
constexpr uid_t kSwayUser = 65534;
// Prints the compositor's process id and the bus address into the file named by $0, then
// becomes the compositor: the wrapper's child is then the compositor itself.
constexpr const char* kRecordBusThenExec =
    "printf '%s %s\\n' \"$$\" \"$DBUS_SESSION_BUS_ADDRESS\" >\"$0.part\" && "
    "mv \"$0.part\" \"$0\" && exec \"$@\"";

std::string Tail(const std::string& text, size_t size = 2000) {
  return text.size() <= size ? text : "..." + text.substr(text.size() - size);
}

/// The names of a Wayland display's globals after one round trip, or an empty list when
/// the socket does not answer within the time-out.
std::vector<std::string> WaylandGlobals(const std::string& socketPath, int timeoutMs) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return {};
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    close(fd);
    return {};
  }
  wl_display* display = wl_display_connect_to_fd(fd); // owns fd from here on
  if (!display)
    return {};
  std::vector<std::string> names;
  static const wl_registry_listener listener = {
      [](void* data, wl_registry*, uint32_t, const char* interface, uint32_t) {
        static_cast<std::vector<std::string>*>(data)->push_back(interface);
      },
      [](void*, wl_registry*, uint32_t) {}};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &names);
  // A round trip with a deadline: wl_display_roundtrip would wait for ever on a
  // compositor that accepted the connection but is still starting.
  bool done = false;
  static const wl_callback_listener syncListener = {
      [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }};
  wl_callback* sync = wl_display_sync(display);
  wl_callback_add_listener(sync, &syncListener, &done);
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done) {
    while (wl_display_prepare_read(display) != 0)
      wl_display_dispatch_pending(display);
    wl_display_flush(display);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd ready{wl_display_get_fd(display), POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      wl_display_cancel_read(display);
      break;
    }
    if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
      break;
  }
  if (!done)
    names.clear();
  wl_callback_destroy(sync);
  wl_registry_destroy(registry);
  wl_display_disconnect(display);
  return names;
}

/// Whether every one of `names` has an owner on the bus at `address`.
bool BusNamesOwned(const std::string& address, const std::vector<std::string>& names) {
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* connection = dbus_connection_open_private(address.c_str(), &error);
  bool owned = connection && dbus_bus_register(connection, &error);
  for (const std::string& name : names)
    owned = owned && dbus_bus_name_has_owner(connection, name.c_str(), &error);
  dbus_error_free(&error);
  if (connection) {
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
  return owned;
}

} // namespace

const char* CompositorName(CompositorKind kind) {
  switch (kind) {
  case CompositorKind::kSway:
    return "sway";
  case CompositorKind::kKwin:
    return "kwin";
  case CompositorKind::kMutter:
    return "mutter";
  }
  return "?";
}

bool CompositorByName(const std::string& name, CompositorKind& kind) {
  for (CompositorKind k : {CompositorKind::kSway, CompositorKind::kKwin, CompositorKind::kMutter})
    if (name == CompositorName(k)) {
      kind = k;
      return true;
    }
  return false;
}

Compositor::Compositor(CompositorKind kind, const std::string& root) : kind_(kind), root_(root) {}

Compositor::~Compositor() {
  Stop();
}

Compositor::Started Compositor::Start(CompositorKind kind, const std::string& root) {
  Started started;
  std::unique_ptr<Compositor> compositor(new Compositor(kind, root));
  if (compositor->Launch(started.whyNot) && compositor->WaitUntilServing(started.whyNot))
    started.compositor = std::move(compositor);
  return started;
}

bool Compositor::Launch(std::string& whyNot) {
  const char* program = kind_ == CompositorKind::kSway   ? "sway"
                        : kind_ == CompositorKind::kKwin ? "kwin_wayland"
                                                         : "mutter";
  bool asOtherUser = kind_ == CompositorKind::kSway && geteuid() == 0;
  const char* wrapperName = kind_ != CompositorKind::kSway ? "dbus-run-session"
                            : asOtherUser                  ? "setpriv"
                                                           : "env";
  // Programs inside the chroot are named by their paths there.
  auto find = [this](const char* name) {
    if (root_.empty())
      return FindProgram(name);
    for (const char* folder : {"/usr/bin/", "/bin/"})
      if (access((root_ + folder + name).c_str(), X_OK) == 0)
        return std::string(folder) + name;
    return std::string();
  };
  std::string compositorPath = find(program);
  std::string wrapper = find(wrapperName);
  if (compositorPath.empty() || wrapper.empty()) {
    whyNot = std::string(program) + " or its wrapper is not installed " +
             (root_.empty() ? "(scripts/deps.sh installs the compositors)" : "in " + root_);
    return false;
  }

  // The runtime folder doubles as HOME: nothing the compositor writes outlives the run.
  // It sits directly under /tmp so that the compositor's user can reach it.
  std::string pattern = Outside("/tmp/sa-compositor-XXXXXX");
  if (!mkdtemp(pattern.data())) {
    whyNot = "cannot make a runtime folder: " + std::string(std::strerror(errno));
    return false;
  }
  runtimeDir_ = pattern;
  uid_t user = asOtherUser ? kSwayUser : geteuid();
  gid_t group = asOtherUser ? kSwayUser : getegid();
  if (chown(runtimeDir_.c_str(), user, group) != 0 || chmod(runtimeDir_.c_str(), 0700) != 0) {
    whyNot = "cannot hand the runtime folder over: " + std::string(std::strerror(errno));
    return false;
  }

  const std::string runtimeInside = Inside(runtimeDir_);
  Environment environment = {{"XDG_RUNTIME_DIR", runtimeInside},
                             {"HOME", runtimeInside},
                             {"XDG_CONFIG_HOME", kUnset},
                             {"XDG_DATA_HOME", kUnset},
                             {"XDG_CACHE_HOME", kUnset},
                             {"WAYLAND_DISPLAY", kUnset},
                             {"DISPLAY", kUnset},
                             {"DBUS_SESSION_BUS_ADDRESS", kUnset},
                             {"XDG_SESSION_TYPE", kUnset}};
  std::vector<std::string> arguments;
  std::string busFile = runtimeInside + "/session-bus";
  switch (kind_) {
  case CompositorKind::kSway: {
    std::string config = runtimeDir_ + "/sway.config";
    testing_support::WriteFileBytes(config,
                                    "output HEADLESS-1 resolution 1024x768\nxwayland disable\n");
    if (chown(config.c_str(), user, group) != 0) {
      whyNot = "cannot hand the sway configuration over";
      return false;
    }
    environment.insert(environment.end(), {{"WLR_BACKENDS", "headless"},
                                           {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                           {"WLR_RENDERER", "pixman"}});
    if (asOtherUser)
      arguments = {"--reuid=" + std::to_string(kSwayUser), "--regid=" + std::to_string(kSwayUser),
                   "--clear-groups"};
    arguments.insert(arguments.end(), {compositorPath, "-c", Inside(config)});
    break;
  }
  case CompositorKind::kKwin: {
    // The installed binary carries a file capability that this kind of sandbox refuses
    // to grant; a plain copy runs. Under another name its Qt platform plugin fails.
    std::string copy = runtimeDir_ + "/kwin_wayland";
    std::error_code copied;
    fs::copy_file(Outside(compositorPath), copy, copied);
    if (copied) {
      whyNot = "cannot copy kwin_wayland: " + copied.message();
      return false;
    }
    // kwin offers its fake-input global only to programs a desktop entry allows.
    fs::create_directories(runtimeDir_ + "/.local/share/applications");
    testing_support::WriteFileBytes(
        runtimeDir_ + "/.local/share/applications/sa-kwin-fake-input.desktop",
        "[Desktop Entry]\nType=Application\nName=SchedulerAgent test input\nExec=" KWIN_INJECTOR
        "\nNoDisplay=true\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n");
    // kwin 6 grants it to no one that way, but leaves the check out when asked to.
    environment.push_back({"KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1"});
    socketName_ = "wayland-k";
    arguments = {"--",         "/bin/sh",   "-c",       kRecordBusThenExec, busFile,
                 Inside(copy), "--virtual", "--socket", socketName_};
    break;
  }
  case CompositorKind::kMutter:
    socketName_ = "wayland-m";
    arguments = {"--",
                 "/bin/sh",
                 "-c",
                 kRecordBusThenExec,
                 busFile,
                 compositorPath,
                 "--headless",
                 "--wayland",
                 "--no-x11",
                 "--wayland-display=" + socketName_,
                 "--virtual-monitor",
                 "1024x768"};
    break;
  }
  if (!root_.empty()) {
    arguments.insert(arguments.begin(), {root_, wrapper});
    wrapper = FindProgram("chroot");
  }
  wrapper_ = std::make_unique<ChildProcess>(wrapper, arguments, environment, outputDir_.path());
  if (kind_ == CompositorKind::kSway)
    compositorPid_ = static_cast<int>(wrapper_->Id()); // chroot, setpriv and env exec it
  return true;
}

bool Compositor::WaitUntilServing(std::string& whyNot) {
  std::vector<std::string> globals = {"wl_seat"}, busNames;
  if (kind_ == CompositorKind::kSway)
    globals = {"wl_seat", root_.empty() ? "org_kde_kwin_idle" : "ext_idle_notifier_v1",
               "zwlr_virtual_pointer_manager_v1"};
  else if (kind_ == CompositorKind::kKwin)
    globals = {"wl_seat", "ext_idle_notifier_v1"};
  else
    busNames = {"org.gnome.Mutter.IdleMonitor", "org.gnome.Mutter.RemoteDesktop"};

  auto deadline = Clock::now() + kStartTimeout;
  std::string busFile = runtimeDir_ + "/session-bus";
  while (Clock::now() < deadline) {
    if (wrapper_->WaitForExit(0)) {
      whyNot = std::string(CompositorName(kind_)) + " ended while starting (exit code " +
               std::to_string(wrapper_->ExitCode()) + "):\n" + Tail(Output());
      compositorPid_ = -1;
      return false;
    }
    if (kind_ != CompositorKind::kSway && busAddress_.empty()) {
      std::istringstream recorded(testing_support::ReadFileBytes(busFile));
      recorded >> compositorPid_ >> busAddress_;
      // A bus listening on a path inside the chroot is reached through its folder.
      const std::string path = "unix:path=";
      if (!root_.empty() && busAddress_.rfind(path, 0) == 0)
        busAddress_.insert(path.size(), root_);
    }
    if (socketName_.empty()) {
      // sway takes the first free name in its fresh runtime folder.
      std::error_code ignored;
      for (const auto& entry : fs::directory_iterator(runtimeDir_, ignored))
        if (entry.is_socket() && entry.path().filename().string().rfind("wayland-", 0) == 0)
          socketName_ = entry.path().filename().string();
    }
    bool serving = !socketName_.empty() && compositorPid_ > 0 &&
                   (kind_ == CompositorKind::kSway || !busAddress_.empty());
    if (serving) {
      std::vector<std::string> offered = WaylandGlobals(runtimeDir_ + "/" + socketName_, 2000);
      for (const std::string& global : globals)
        serving = serving && std::find(offered.begin(), offered.end(), global) != offered.end();
    }
    if (serving && !busNames.empty())
      serving = BusNamesOwned(busAddress_, busNames);
    if (serving)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  whyNot = std::string(CompositorName(kind_)) + " did not offer what the tests need within " +
           std::to_string(kStartTimeout.count()) + " s:\n" + Tail(Output());
  return false;
}

void Compositor::Stop() {
  if (wrapper_) {
    if (compositorPid_ > 0 && !wrapper_->WaitForExit(0)) {
      // Its own process, not the wrapper: a killed dbus-run-session leaves its bus behind.
      kill(compositorPid_, SIGTERM);
      if (!wrapper_->WaitForExit(kStopTimeoutMs)) {
        kill(compositorPid_, SIGKILL);
        wrapper_->WaitForExit(kStopTimeoutMs);
      }
    }
    wrapper_.reset(); // kills a wrapper that still would not end
  }
  compositorPid_ = -1;
  if (!runtimeDir_.empty()) {
    std::error_code ignored;
    fs::remove_all(runtimeDir_, ignored);
    runtimeDir_.clear();
  }
}

Environment Compositor::SessionEnvironment() const {
  return {{"XDG_RUNTIME_DIR", runtimeDir_},
          {"WAYLAND_DISPLAY", socketName_},
          {"DBUS_SESSION_BUS_ADDRESS", busAddress_.empty() ? kUnset : busAddress_},
          {"DISPLAY", kUnset},
          {"XDG_SESSION_TYPE", kUnset}};
}

std::string Compositor::Output() const {
  return wrapper_ ? wrapper_->Stderr() + wrapper_->Stdout() : std::string();
}

void Compositor::RunInjector(const std::string& program,
                             const std::vector<std::string>& arguments) {
  ChildProcess injector(program, arguments, SessionEnvironment(), outputDir_.path());
  if (!injector.WaitForExit(kInjectorTimeoutMs)) {
    injector.Kill();
    throw std::runtime_error(program + " did not finish");
  }
  if (injector.ExitCode() != 0)
    throw std::runtime_error(program + " failed with exit code " +
                             std::to_string(injector.ExitCode()) + ": " + injector.Stderr());
}

void Compositor::PressKey() {
  switch (kind_) {
  case CompositorKind::kSway: {
    std::string wtype = FindProgram("wtype");
    if (wtype.empty())
      throw std::runtime_error("wtype is not installed (scripts/deps.sh installs it)");
    RunInjector(wtype, {"-k", "Shift_L"});
    break;
  }
  case CompositorKind::kKwin:
    RunInjector(KWIN_INJECTOR, {"key"});
    break;
  case CompositorKind::kMutter:
    RunInjector(MUTTER_INJECTOR, {"key"});
    break;
  }
}

void Compositor::MovePointer() {
  std::string step = pointerForward_ ? "7" : "-7";
  pointerForward_ = !pointerForward_;
  switch (kind_) {
  case CompositorKind::kSway:
    RunInjector(WLR_POINTER_INJECTOR, {step, step});
    break;
  case CompositorKind::kKwin:
    RunInjector(KWIN_INJECTOR, {"pointer", step, step});
    break;
  case CompositorKind::kMutter:
    if (root_.empty())
      RunInjector(MUTTER_INJECTOR, {"pointer", step, step});
    else
      RunInjector(MUTTER_INJECTOR, {"wheel", pointerForward_ ? "1" : "-1"});
    break;
  }
}

} // namespace idle_sources
