// A green desktop-type window over the whole X screen that prints "mapped" and "press X Y"
// for each click: what lies below a click-through widget.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <cstdio>

int main() {
  Display* x = XOpenDisplay(nullptr);
  if (x == nullptr) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  const int screen = DefaultScreen(x);
  const Window window = XCreateSimpleWindow(x, RootWindow(x, screen), 0, 0, DisplayWidth(x, screen),
                                            DisplayHeight(x, screen), 0, 0, 0x00FF00);
  Atom desktop = XInternAtom(x, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
  XChangeProperty(x, window, XInternAtom(x, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&desktop), 1);
  XStoreName(x, window, "desktop");
  XSelectInput(x, window, ButtonPressMask | StructureNotifyMask);
  XMapWindow(x, window);
  XFlush(x);
  // A window manager still starting can drop the map request: asked again each second.
  bool mapped = false;
  for (;;) {
    pollfd connection{ConnectionNumber(x), POLLIN, 0};
    if (!mapped && XPending(x) == 0 && poll(&connection, 1, 1000) == 0) {
      XMapWindow(x, window);
      XFlush(x);
      continue;
    }
    XEvent event;
    XNextEvent(x, &event);
    if (event.type == MapNotify) {
      mapped = true;
      std::printf("mapped\n");
    }
    if (event.type == ButtonPress)
      std::printf("press %d %d\n", event.xbutton.x_root, event.xbutton.y_root);
    std::fflush(stdout);
  }
}
