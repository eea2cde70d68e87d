// What the Wayland input tools share: the session's display and one global bound from it.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace idle_sources {

/// Prints the failure on standard error and ends the tool with exit code 1.
[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::exit(1);
}

/// The session's display (WAYLAND_DISPLAY in XDG_RUNTIME_DIR), or the end of the tool.
inline wl_display* ConnectToSession() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display)
    Fail("cannot connect to the Wayland display");
  return display;
}

/// Binds the global of `interface` at the highest version up to `maxVersion`; the bound
/// version is in `version`. Null when the compositor does not offer it to this program.
inline void* BindGlobal(wl_display* display, const wl_interface& interface,
                        std::uint32_t maxVersion, std::uint32_t& version) {
  struct Search {
    const wl_interface* interface;
    std::uint32_t maxVersion;
    void* bound = nullptr;
    std::uint32_t version = 0;
  } search{&interface, maxVersion};
  static const wl_registry_listener listener = {
      [](void* data, wl_registry* registry, std::uint32_t name, const char* offered,
         std::uint32_t offeredVersion) {
        auto* s = static_cast<Search*>(data);
        if (s->bound || std::strcmp(offered, s->interface->name) != 0)
          return;
        s->version = offeredVersion < s->maxVersion ? offeredVersion : s->maxVersion;
        s->bound = wl_registry_bind(registry, name, s->interface, s->version);
      },
      [](void*, wl_registry*, std::uint32_t) {}};
  wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &listener, &search);
  if (wl_display_roundtrip(display) < 0)
    Fail("the Wayland display did not answer");
  wl_registry_destroy(registry);
  version = search.version;
  return search.bound;
}

/// Milliseconds of the monotonic clock, the time stamp input events carry.
inline std::uint32_t EventTime() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

/// Sends what is queued and waits until the compositor has handled it.
inline void Deliver(wl_display* display) {
  if (wl_display_roundtrip(display) < 0)
    Fail("the compositor refused the input");
}

} // namespace idle_sources
