// The last input time from the X server's screen-saver extension: libXss.so.1 is opened at
// run time, and Xlib is reached through the same handle.
#include "platform/posix/idle_source_posix.h"

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

/// The calls the source makes, from libXss and, through the same handle, Xlib.
struct XFunctions {
  XScreenSaverQueryInfoFunction queryInfo;
  XScreenSaverQueryExtensionFunction queryExtension;
  XOpenDisplayFunction openDisplay;
  XCloseDisplayFunction closeDisplay;
  XDefaultRootWindowFunction defaultRootWindow;
  XSetIOErrorHandlerFunction setIOErrorHandler;
  XSetIOErrorExitHandlerFunction setIOErrorExitHandler; // null before libX11 1.7
};

/// Finds every function; the name of the first the library lacks, or null. The idle
/// query first: it is the one a wrong copy of the library is likely to lack.
const char* FindFunctions(const SharedLibrary& library, XFunctions& x) {
  const char* missing = nullptr;
  library.FindInto(x.queryInfo, "XScreenSaverQueryInfo", missing);
  library.FindInto(x.queryExtension, "XScreenSaverQueryExtension", missing);
  library.FindInto(x.openDisplay, "XOpenDisplay", missing);
  library.FindInto(x.closeDisplay, "XCloseDisplay", missing);
  library.FindInto(x.defaultRootWindow, "XDefaultRootWindow", missing);
  library.FindInto(x.setIOErrorHandler, "XSetIOErrorHandler", missing);
  x.setIOErrorExitHandler = library.Find<XSetIOErrorExitHandlerFunction>("XSetIOErrorExitHandler");
  return missing;
}

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
  static constexpr const char* kLibrary = "libXss.so.1";
  using Functions = XFunctions;

  ScreenSaverLastInput(SharedLibrary library, const XFunctions& x)
      : library_(std::move(library)), x_(x) {}

  ~ScreenSaverLastInput() override {
    // A connection lost in the middle of a call that was jumped out of is left alone;
    // one that Xlib itself gave up on it can still free.
    if (display_ && !(lost_ && jumpedOut_))
      x_.closeDisplay(display_);
  }

  /// Opens the one connection the source keeps; a display that cannot be opened, or
  /// whose server lacks the extension, is not asked again.
  bool Connect(const std::string& shown, std::string& whyNot) {
    Display* display = x_.openDisplay(shown.c_str());
    if (!display) {
      whyNot = "cannot open the X display \"" + shown + "\"";
      return false;
    }
    x_.setIOErrorHandler(QuietIOError);
    if (x_.setIOErrorExitHandler)
      x_.setIOErrorExitHandler(display, DisplayLost, this);
    int eventBase = 0, errorBase = 0;
    if (!x_.queryExtension(display, &eventBase, &errorBase)) {
      x_.closeDisplay(display);
      whyNot = "the X display \"" + shown + "\" lacks the MIT-SCREEN-SAVER extension";
      return false;
    }
    display_ = display;
    rootWindow_ = x_.defaultRootWindow(display);
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
      status = x_.queryInfo(display_, rootWindow_, &info);
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

  SharedLibrary library_;
  XFunctions x_;
  Display* display_ = nullptr;
  Window rootWindow_ = 0;
  bool lost_ = false;
  bool jumpedOut_ = false;
};

} // namespace

SourceAttempt OpenXIdleTime(const std::string& display) {
  return OpenSource<ScreenSaverLastInput>(display);
}

} // namespace platform::posix
