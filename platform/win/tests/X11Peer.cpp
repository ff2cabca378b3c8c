#include "X11Peer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

namespace x11test {

namespace {
Display* d(void* p) { return static_cast<Display*>(p); }
int ignore(Display*, XErrorEvent*) { return 0; }
}  // namespace

Peer::Peer(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) { XSetErrorHandler(ignore); }

Peer::~Peer() {
  if (dpy_) XCloseDisplay(d(dpy_));
}

std::vector<PeerRect> Peer::ShapeRects(unsigned long window) {
  int count = 0, ordering = 0;
  XRectangle* rects = XShapeGetRectangles(d(dpy_), window, ShapeBounding, &count, &ordering);
  std::vector<PeerRect> out;
  for (int i = 0; i < count; ++i) out.push_back({rects[i].x, rects[i].y, rects[i].width, rects[i].height});
  if (rects) XFree(rects);
  return out;
}

std::string Peer::Property(unsigned long window, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(d(dpy_), window, XInternAtom(d(dpy_), name, False), 0, 1024, False, AnyPropertyType,
                         &type, &format, &n, &after, &data) == Success && data) {
    if (format == 8) out.assign(reinterpret_cast<const char*>(data), n);
    else if (format == 32 && n > 0) out = std::to_string(*reinterpret_cast<const long*>(data));
  }
  if (data) XFree(data);
  return out;
}

bool Peer::Geometry(unsigned long window, PeerRect* rect, bool* viewable) {
  XWindowAttributes a;
  if (!XGetWindowAttributes(d(dpy_), window, &a)) return false;
  *rect = {a.x, a.y, a.width, a.height};
  *viewable = a.map_state == IsViewable;
  return true;
}

unsigned long Peer::FocusWindow() {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d(dpy_), &focus, &revert);
  return focus;
}

int Peer::Depth(unsigned long window) {
  XWindowAttributes a;
  return XGetWindowAttributes(d(dpy_), window, &a) ? a.depth : 0;
}

bool Peer::PointerGrabbedElsewhere() {
  const int r = XGrabPointer(d(dpy_), DefaultRootWindow(d(dpy_)), False, ButtonPressMask, GrabModeAsync,
                             GrabModeAsync, None, None, CurrentTime);
  if (r == GrabSuccess) XUngrabPointer(d(dpy_), CurrentTime);
  XSync(d(dpy_), False);
  return r == AlreadyGrabbed;
}

void Peer::ClaimCompositor() {
  Window w = XCreateSimpleWindow(d(dpy_), DefaultRootWindow(d(dpy_)), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(d(dpy_), XInternAtom(d(dpy_), "_NET_WM_CM_S0", False), w, CurrentTime);
  XSync(d(dpy_), False);
}

std::vector<uint32_t> Peer::Pixels(unsigned long window, int width, int height, bool alpha) {
  std::vector<uint32_t> out;
  XImage* img = XGetImage(d(dpy_), window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                          AllPlanes, ZPixmap);
  if (!img) return out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.push_back(static_cast<uint32_t>(XGetPixel(img, x, y) & (alpha ? 0xFFFFFFFFul : 0xFFFFFFul)));
  XDestroyImage(img);
  return out;
}

}  // namespace x11test
