// A tiny X11 client for the end-to-end tests: what xdotool and xprop cannot do without a window
// manager (send the close request) or only do awkwardly (list top-level windows with their
// titles and map state, count pixel colours inside a window).
//
//   x11probe list                      one line per top-level window:
//                                      id<TAB>viewable|unmapped<TAB>WxH+X+Y<TAB>title
//   x11probe close ID                  sends WM_DELETE_WINDOW as a window manager would
//   x11probe pixels ID X Y W H         prints "black=N white=N other=N" for that rectangle
//
// Exit code 0 on success, 1 on a bad request or an X failure (with a message on stderr).

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool xFailed = false;

// A window may vanish between listing it and asking about it; that is not a reason to abort.
int RememberXError(Display*, XErrorEvent*) {
  xFailed = true;
  return 0;
}

bool ParseNumber(const char* text, long& value) {
  char* end = nullptr;
  value = std::strtol(text, &end, 0);
  return end != text && *end == '\0';
}

std::string Title(Display* display, Window window) {
  const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count,
                         &remaining, &data) == Success &&
      data != nullptr) {
    if (type == utf8 && format == 8)
      title.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return title;
}

int List(Display* display) {
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
    return 1;
  for (unsigned int i = 0; i < count; ++i) {
    XWindowAttributes attributes{};
    xFailed = false;
    if (XGetWindowAttributes(display, children[i], &attributes) == 0 || xFailed)
      continue;
    const std::string title = Title(display, children[i]);
    if (xFailed)
      continue;
    std::printf("0x%lx\t%s\t%dx%d+%d+%d\t%s\n", children[i],
                attributes.map_state == IsViewable ? "viewable" : "unmapped", attributes.width,
                attributes.height, attributes.x, attributes.y, title.c_str());
  }
  if (children != nullptr)
    XFree(children);
  return 0;
}

int Close(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  return xFailed ? 1 : 0;
}

int Pixels(Display* display, Window window, int x, int y, unsigned int width, unsigned int height) {
  XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
  if (image == nullptr || xFailed) {
    std::fprintf(stderr, "x11probe: cannot read the pixels of window 0x%lx\n", window);
    return 1;
  }
  long black = 0, white = 0, other = 0;
  for (unsigned int row = 0; row < height; ++row) {
    for (unsigned int column = 0; column < width; ++column) {
      const unsigned long pixel =
          XGetPixel(image, static_cast<int>(column), static_cast<int>(row)) &
          (image->red_mask | image->green_mask | image->blue_mask);
      if (pixel == 0)
        ++black;
      else if (pixel == (image->red_mask | image->green_mask | image->blue_mask))
        ++white;
      else
        ++other;
    }
  }
  XDestroyImage(image);
  std::printf("black=%ld white=%ld other=%ld\n", black, white, other);
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: x11probe list | close ID | pixels ID X Y W H\n");
  return 1;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Usage();
  const std::string command = argv[1];
  long values[5] = {};
  for (int i = 2; i < argc && i < 7; ++i)
    if (!ParseNumber(argv[i], values[i - 2]))
      return Usage();
  const bool valid = (command == "list" && argc == 2) || (command == "close" && argc == 3) ||
                     (command == "pixels" && argc == 7 && values[3] > 0 && values[4] > 0);
  if (!valid)
    return Usage();

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11probe: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(RememberXError);
  const auto window = static_cast<Window>(values[0]);
  int result = 1;
  if (command == "list")
    result = List(display);
  else if (command == "close")
    result = Close(display, window);
  else
    result = Pixels(display, window, static_cast<int>(values[1]), static_cast<int>(values[2]),
                    static_cast<unsigned int>(values[3]), static_cast<unsigned int>(values[4]));
  XCloseDisplay(display);
  return result;
}
