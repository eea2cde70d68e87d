// A real compositor started headless for a test or a measurement: its own runtime folder,
// its session bus where it has one, the environment its session's programs see, and the
// compositor's own way of receiving keyboard and pointer input.
#pragma once

#include "tests/support/child_process.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace idle_sources {

enum class CompositorKind { kSway, kKwin, kMutter };

/// "sway", "kwin" or "mutter".
const char* CompositorName(CompositorKind kind);
/// The kind named by CompositorName; false for any other name.
bool CompositorByName(const std::string& name, CompositorKind& kind);

using Environment = std::vector<std::pair<std::string, std::string>>;

class Compositor {
public:
  struct Started;

  /// Starts the compositor and waits until it serves clients and offers the globals or
  /// bus names it is started for. On failure `compositor` is null and `whyNot` says
  /// whether it is not installed or what it printed before it gave up. With a `root`,
  /// the compositor is the one installed in that chroot of another Debian release (made
  /// by scripts/debian-root.sh) and runs inside it; its clients run here, reaching its
  /// sockets through the chroot's folder.
  static Started Start(CompositorKind kind, const std::string& root = "");

  ~Compositor(); // stops a compositor still running
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  /// Ends the compositor by its own process id and waits for it and its session bus.
  void Stop();

  CompositorKind Kind() const { return kind_; }

  /// What a program of the session sees: XDG_RUNTIME_DIR, WAYLAND_DISPLAY and, where
  /// the compositor runs on a session bus of its own, DBUS_SESSION_BUS_ADDRESS (unset
  /// otherwise). DISPLAY and XDG_SESSION_TYPE are unset; a caller may add them.
  Environment SessionEnvironment() const;

  /// One key press and release, through the compositor's own means; throws
  /// std::runtime_error with the injector's output when it fails.
  void PressKey();
  /// A small relative pointer motion, back and forth on alternate calls; throws like
  /// PressKey.
  void MovePointer();

  /// The compositor's standard error so far, for failure messages.
  std::string Output() const;

private:
  Compositor(CompositorKind kind, const std::string& root);
  /// A path inside the chroot as this machine sees it, and back.
  std::string Outside(const std::string& inside) const { return root_ + inside; }
  std::string Inside(const std::string& outside) const { return outside.substr(root_.size()); }
  bool Launch(std::string& whyNot);
  bool WaitUntilServing(std::string& whyNot);
  void RunInjector(const std::string& program, const std::vector<std::string>& arguments);

  CompositorKind kind_;
  std::string root_;       // empty: this machine's own compositor
  std::string runtimeDir_; // the compositor's XDG_RUNTIME_DIR and HOME, under /tmp (of
                           // the chroot), as this machine sees it
  std::string socketName_; // WAYLAND_DISPLAY
  std::string busAddress_; // empty for sway
  int compositorPid_ = -1; // the compositor itself, inside its wrapper
  testing_support::ScopedTempDir outputDir_;
  std::unique_ptr<testing_support::ChildProcess> wrapper_; // setpriv or dbus-run-session
  bool pointerForward_ = true;
};

struct Compositor::Started {
  std::unique_ptr<Compositor> compositor;
  std::string whyNot;
};

} // namespace idle_sources
