// The last input time from the X server's screen-saver extension: libXss.so.1 is
// opened at run time, and Xlib is reached through the same handle.
#include "platform/input_idle.h"

#include <dlfcn.h>
#include <setjmp.h>
#include <time.h>

namespace platform {
namespace {

// The X types the calls need, spelled out here so that building needs no X headers.
struct Display;
using Window = unsigned long;
struct XScreenSaverInfo {
  Window window;
  int state;
  int kind;
  unsigned long tilOrSince;
  unsigned long idle; // milliseconds since the last input
  unsigned long eventMask;
};
using XOpenDisplayFunction = Display* (*)(const char*);
using XCloseDisplayFunction = int (*)(Display*);
using XDefaultRootWindowFunction = Window (*)(Display*);
using XScreenSaverQueryExtensionFunction = int (*)(Display*, int*, int*);
using XScreenSaverQueryInfoFunction = int (*)(Display*, Window, XScreenSaverInfo*);
using XIOErrorHandler = int (*)(Display*);
using XSetIOErrorHandlerFunction = XIOErrorHandler (*)(XIOErrorHandler);
using XIOErrorExitHandler = void (*)(Display*, void*);
using XSetIOErrorExitHandlerFunction = void (*)(Display*, XIOErrorExitHandler, void*);

/// Owns a dlopen handle.
class ScopedLibrary {
public:
  explicit ScopedLibrary(void* handle) : handle_(handle) {}
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  ~ScopedLibrary() {
    if (handle_)
      dlclose(handle_);
  }
  template <typename Function> Function Find(const char* name) const {
    return reinterpret_cast<Function>(dlsym(handle_, name));
  }

private:
  void* handle_;
};

// Where a lost connection returns to when Xlib is too old to let its exit be
// replaced; set only while a query runs (the unit is used from one thread).
sigjmp_buf* queryInProgress = nullptr;

// Xlib's own handler reports the lost connection on standard error and, before
// libX11 1.7, exits the process: the agent must outlive its display.
int QuietIOError(Display*) {
  if (queryInProgress)
    siglongjmp(*queryInProgress, 1);
  return 0;
}

class ScreenSaverLastInput : public LastInputSource {
public:
  explicit ScreenSaverLastInput(void* handle) : library_(handle) {}

  ~ScreenSaverLastInput() override {
    // A connection lost in the middle of a call that was jumped out of is left alone;
    // one that Xlib itself gave up on it can still free.
    if (display_ && !(lost_ && jumpedOut_) && closeDisplay_)
      closeDisplay_(display_);
  }

  bool FindLastInputFunction() override {
    queryInfo_ = library_.Find<XScreenSaverQueryInfoFunction>("XScreenSaverQueryInfo");
    return queryInfo_ != nullptr;
  }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    if (lost_)
      return LastInputQuery::kSessionGone;
    if (!queryInfo_ || !Connect())
      return LastInputQuery::kFailed;
    XScreenSaverInfo info{};
    int status = 0;
    sigjmp_buf lostConnection;
    if (sigsetjmp(lostConnection, 0) == 0) {
      queryInProgress = &lostConnection;
      status = queryInfo_(display_, rootWindow_, &info);
    } else {
      lost_ = true;
      jumpedOut_ = true;
    }
    queryInProgress = nullptr;
    if (lost_)
      return LastInputQuery::kSessionGone;
    if (status == 0)
      return LastInputQuery::kFailed;
    tick = TickCount() - static_cast<std::uint32_t>(info.idle);
    return LastInputQuery::kAnswered;
  }

  std::uint32_t TickCount() override {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                        static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
  }

private:
  static void DisplayLost(Display*, void* self) {
    static_cast<ScreenSaverLastInput*>(self)->lost_ = true;
  }

  /// Opens the one connection on first use. A session without a display (or whose
  /// server lacks the extension) is not asked again: a remote display that does not
  /// answer would stall every reading.
  bool Connect() {
    if (display_)
      return true;
    if (triedToConnect_)
      return false;
    triedToConnect_ = true;
    auto openDisplay = library_.Find<XOpenDisplayFunction>("XOpenDisplay");
    auto defaultRoot = library_.Find<XDefaultRootWindowFunction>("XDefaultRootWindow");
    auto queryExtension =
        library_.Find<XScreenSaverQueryExtensionFunction>("XScreenSaverQueryExtension");
    auto setIOErrorHandler = library_.Find<XSetIOErrorHandlerFunction>("XSetIOErrorHandler");
    auto setExitHandler = library_.Find<XSetIOErrorExitHandlerFunction>("XSetIOErrorExitHandler");
    closeDisplay_ = library_.Find<XCloseDisplayFunction>("XCloseDisplay");
    if (!openDisplay || !defaultRoot || !queryExtension || !setIOErrorHandler)
      return false;
    Display* display = openDisplay(nullptr);
    if (!display)
      return false;
    setIOErrorHandler(QuietIOError);
    if (setExitHandler)
      setExitHandler(display, DisplayLost, this);
    int eventBase = 0, errorBase = 0;
    if (!queryExtension(display, &eventBase, &errorBase)) {
      if (closeDisplay_)
        closeDisplay_(display);
      return false;
    }
    display_ = display;
    rootWindow_ = defaultRoot(display);
    return true;
  }

  ScopedLibrary library_;
  XScreenSaverQueryInfoFunction queryInfo_ = nullptr;
  XCloseDisplayFunction closeDisplay_ = nullptr;
  Display* display_ = nullptr;
  Window rootWindow_ = 0;
  bool triedToConnect_ = false;
  bool lost_ = false;
  bool jumpedOut_ = false;
};

} // namespace

std::unique_ptr<LastInputSource> LastInputSource::Load() {
  void* handle = dlopen("libXss.so.1", RTLD_NOW | RTLD_LOCAL);
  if (!handle)
    return nullptr;
  return std::make_unique<ScreenSaverLastInput>(handle);
}

} // namespace platform
