// The last input time from the X server's screen-saver extension: libXss.so.1 is opened at
// run time, and Xlib is reached through the same handle.
#include "platform/posix/idle_source_posix.h"

#include <cstdlib>
#include <setjmp.h>

namespace platform::posix {
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

constexpr const char* kLibrary = "libXss.so.1";

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
  explicit ScreenSaverLastInput(ScopedLibrary library) : library_(std::move(library)) {
    queryInfo_ = library_.Find<XScreenSaverQueryInfoFunction>("XScreenSaverQueryInfo");
    closeDisplay_ = library_.Find<XCloseDisplayFunction>("XCloseDisplay");
  }

  ~ScreenSaverLastInput() override {
    // A connection lost in the middle of a call that was jumped out of is left alone;
    // one that Xlib itself gave up on it can still free.
    if (display_ && !(lost_ && jumpedOut_))
      closeDisplay_(display_);
  }

  /// Opens the one connection the source keeps; a display that cannot be opened, or
  /// whose server lacks the extension, is not asked again.
  bool Connect(std::string& whyNot) {
    const char* name = std::getenv("DISPLAY");
    std::string shown = name ? name : "";
    Display* display = library_.Find<XOpenDisplayFunction>("XOpenDisplay")(nullptr);
    if (!display) {
      whyNot = "cannot open the X display \"" + shown + "\"";
      return false;
    }
    library_.Find<XSetIOErrorHandlerFunction>("XSetIOErrorHandler")(QuietIOError);
    if (auto setExitHandler =
            library_.Find<XSetIOErrorExitHandlerFunction>("XSetIOErrorExitHandler"))
      setExitHandler(display, DisplayLost, this);
    int eventBase = 0, errorBase = 0;
    if (!library_.Find<XScreenSaverQueryExtensionFunction>("XScreenSaverQueryExtension")(
            display, &eventBase, &errorBase)) {
      closeDisplay_(display);
      whyNot = "the X display \"" + shown + "\" lacks the MIT-SCREEN-SAVER extension";
      return false;
    }
    display_ = display;
    rootWindow_ = library_.Find<XDefaultRootWindowFunction>("XDefaultRootWindow")(display);
    return true;
  }

  bool FindLastInputFunction() override { return true; }

  const char* Name() const override { return "x11"; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    if (lost_)
      return LastInputQuery::kSessionGone;
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

  std::uint32_t TickCount() override { return BootTimeTick(); }

private:
  static void DisplayLost(Display*, void* self) {
    static_cast<ScreenSaverLastInput*>(self)->lost_ = true;
  }

  ScopedLibrary library_;
  XScreenSaverQueryInfoFunction queryInfo_ = nullptr;
  XCloseDisplayFunction closeDisplay_ = nullptr;
  Display* display_ = nullptr;
  Window rootWindow_ = 0;
  bool lost_ = false;
  bool jumpedOut_ = false;
};

} // namespace

SourceAttempt OpenXScreenSaver() {
  ScopedLibrary library;
  std::string whyNot;
  if (!library.Open(kLibrary, whyNot))
    return SourceAttempt::Unavailable(whyNot);
  // The idle query first: it is the one a wrong copy of the library is likely to lack.
  if (const char* missing = library.FirstMissing(
          {"XScreenSaverQueryInfo", "XScreenSaverQueryExtension", "XOpenDisplay", "XCloseDisplay",
           "XDefaultRootWindow", "XSetIOErrorHandler"}))
    return SourceAttempt::Incomplete(kLibrary, missing);
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    return SourceAttempt::Unavailable("no X display (DISPLAY is not set)");
  auto source = std::make_unique<ScreenSaverLastInput>(std::move(library));
  if (!source->Connect(whyNot))
    return SourceAttempt::Unavailable(whyNot);
  return SourceAttempt::Serving(std::move(source));
}

} // namespace platform::posix
