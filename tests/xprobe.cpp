// Test helper that acts on an X window as a window manager or a user would: close it, read a pixel, drop the focus.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc < 2 || (argc < 3 && std::strcmp(argv[1], "unfocus"))) {
    std::fprintf(stderr, "usage: xprobe close WINDOW | xprobe pixel WINDOW X Y | xprobe unfocus\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "xprobe: no display\n");
    return 2;
  }
  const Window window = argc > 2 ? std::strtoul(argv[2], nullptr, 0) : None;
  int rc = 0;
  if (!std::strcmp(argv[1], "unfocus")) {
    XSetInputFocus(display, None, RevertToNone, CurrentTime);
  } else if (!std::strcmp(argv[1], "close")) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &e);
  } else if (!std::strcmp(argv[1], "pixel") && argc == 5) {
    XImage* image = XGetImage(display, window, std::atoi(argv[3]), std::atoi(argv[4]), 1, 1, AllPlanes, ZPixmap);
    if (!image) {
      rc = 1;
    } else {
      const unsigned long p = XGetPixel(image, 0, 0);
      std::printf("%lu %lu %lu\n", (p & image->red_mask) >> 16, (p & image->green_mask) >> 8, p & image->blue_mask);
      XDestroyImage(image);
    }
  } else {
    rc = 2;
  }
  XSync(display, False);
  XCloseDisplay(display);
  return rc;
}
