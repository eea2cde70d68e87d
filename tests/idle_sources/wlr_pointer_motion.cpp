// Moves the pointer of a wlroots compositor's seat through a virtual pointer.
//   wlr_pointer_motion DX DY
#include "tests/idle_sources/wayland_tool.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

using namespace idle_sources;

int main(int argc, char** argv) {
  if (argc != 3)
    Fail("usage: wlr_pointer_motion DX DY");
  wl_display* display = ConnectToSession();
  std::uint32_t version = 0;
  auto* manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
      BindGlobal(display, zwlr_virtual_pointer_manager_v1_interface, 1, version));
  if (!manager)
    Fail("the compositor offers no zwlr_virtual_pointer_manager_v1");
  // No seat named: the compositor's default seat, the one its idle tracking watches.
  zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
  zwlr_virtual_pointer_v1_motion(pointer, EventTime(), wl_fixed_from_double(std::atof(argv[1])),
                                 wl_fixed_from_double(std::atof(argv[2])));
  zwlr_virtual_pointer_v1_frame(pointer);
  Deliver(display);
  // The description here declares no destructor requests: the disconnection ends both
  // objects on the compositor's side, and these free the client's.
  wl_proxy_destroy(reinterpret_cast<wl_proxy*>(pointer));
  wl_proxy_destroy(reinterpret_cast<wl_proxy*>(manager));
  wl_display_disconnect(display);
  return 0;
}
