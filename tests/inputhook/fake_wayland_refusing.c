/* A libwayland-client.so.0 with every function the idle source calls, whose
   wl_display_connect_to_fd fails as the real one does when it runs out of memory: it
   closes the socket it was given. The next descriptor opened takes the same number;
   when the library is unloaded it says whether someone closed that one too. */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

static int reused = -1;

void* wl_display_connect_to_fd(int fd) {
  close(fd);
  reused = open("/dev/null", O_RDONLY | O_CLOEXEC);
  errno = ENOMEM;
  return 0;
}

__attribute__((destructor)) static void CheckReused(void) {
  if (reused >= 0 && fcntl(reused, F_GETFD) == -1)
    fprintf(stderr, "fake libwayland-client: the socket it closed was closed again\n");
}

static void Unused(void) {}
void wl_display_disconnect(void) {
  Unused();
}
void wl_display_get_fd(void) {
  Unused();
}
void wl_display_flush(void) {
  Unused();
}
void wl_display_prepare_read(void) {
  Unused();
}
void wl_display_cancel_read(void) {
  Unused();
}
void wl_display_read_events(void) {
  Unused();
}
void wl_display_dispatch_pending(void) {
  Unused();
}
void wl_display_get_error(void) {
  Unused();
}
void wl_proxy_marshal_constructor(void) {
  Unused();
}
void wl_proxy_marshal_constructor_versioned(void) {
  Unused();
}
void wl_proxy_add_listener(void) {
  Unused();
}
void wl_proxy_destroy(void) {
  Unused();
}
int wl_registry_interface, wl_callback_interface, wl_seat_interface;
