// Gives kwin_wayland keyboard or pointer input through its fake-input global, which kwin
// offers only to programs that a desktop entry lists by their absolute path.
//   kwin_fake_input key
//   kwin_fake_input pointer DX DY
#include "fake-input-client-protocol.h"
#include "tests/idle_sources/wayland_tool.h"

#include <string>

using namespace idle_sources;

namespace {
constexpr std::uint32_t kLeftShift = 42; // evdev code: changes nothing a client sees
} // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  if (!(what == "key" && argc == 2) && !(what == "pointer" && argc == 4))
    Fail("usage: kwin_fake_input key | kwin_fake_input pointer DX DY");
  wl_display* display = ConnectToSession();
  std::uint32_t version = 0;
  auto* input = static_cast<org_kde_kwin_fake_input*>(
      BindGlobal(display, org_kde_kwin_fake_input_interface, 4, version));
  if (!input)
    Fail("kwin offers no org_kde_kwin_fake_input to this program (no desktop entry for it?)");
  org_kde_kwin_fake_input_authenticate(input, "SchedulerAgent tests", "idle time tests");
  if (what == "key") {
    if (version < 4)
      Fail("kwin's fake input has no keyboard before version 4");
    org_kde_kwin_fake_input_keyboard_key(input, kLeftShift, 1);
    org_kde_kwin_fake_input_keyboard_key(input, kLeftShift, 0);
  } else {
    org_kde_kwin_fake_input_pointer_motion(input, wl_fixed_from_double(std::atof(argv[2])),
                                           wl_fixed_from_double(std::atof(argv[3])));
  }
  Deliver(display);
  org_kde_kwin_fake_input_destroy(input);
  wl_display_disconnect(display);
  return 0;
}
