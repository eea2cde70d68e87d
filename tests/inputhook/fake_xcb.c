/* A libxcb.so.1 that loads but has only its first function. */
void* xcb_connect(const char* display, int* screen) {
  (void)display;
  (void)screen;
  return 0;
}
