/* A libXss.so.1 that loads but lacks XScreenSaverQueryInfo. */
int XScreenSaverQueryVersion(void* display, int* major, int* minor) {
  (void)display;
  *major = 1;
  *minor = 1;
  return 1;
}
