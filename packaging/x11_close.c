/* Asks a window to close the way a window manager's close button does: a WM_DELETE_WINDOW
 * message. Tests run under a bare X server with no window manager, and xdotool can only
 * destroy or kill a window, which would skip the program's own shutdown.
 * Usage: x11_close WINDOW_ID  (decimal or 0x-prefixed hex, as xdotool and xwininfo print it) */
#include <X11/Xlib.h>

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s WINDOW_ID\n", argv[0]);
    return 2;
  }
  char* end = NULL;
  errno = 0;
  const unsigned long window = strtoul(argv[1], &end, 0);
  if (errno != 0 || end == argv[1] || *end != '\0' || window == 0) {
    fprintf(stderr, "x11_close: not a window id: %s\n", argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "x11_close: cannot open display %s\n", XDisplayName(NULL));
    return 1;
  }
  XEvent event = {0};
  event.xclient.type = ClientMessage;
  event.xclient.window = (Window)window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, (Window)window, False, NoEventMask, &event);
  /* XSync reports a vanished window through the error handler, which exits non-zero. */
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
