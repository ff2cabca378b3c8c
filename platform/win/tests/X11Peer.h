#pragma once
// Another X client beside the program under test, to look at its windows
// as the server holds them. Xlib stays in X11Peer.cpp.
#include <cstdint>
#include <string>
#include <vector>

namespace x11test {

struct PeerRect {
  int x, y, width, height;
};

class Peer {
public:
  explicit Peer(const std::string& display);
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  bool Open() const { return dpy_ != nullptr; }
  // The bounding shape's rectangles (window coordinates).
  std::vector<PeerRect> ShapeRects(unsigned long window);
  // Position, size and whether the window is viewable; false for a bad id.
  bool Geometry(unsigned long window, PeerRect* rect, bool* viewable);
  // The window holding the X input focus.
  unsigned long FocusWindow();
  // The window's pixels as 0x00RRGGBB, row by row; with `alpha` the whole
  // 32-bit values of a 32-bit window.
  std::vector<uint32_t> Pixels(unsigned long window, int width, int height, bool alpha = false);
  int Depth(unsigned long window);
  // A property's raw bytes (8-bit) or first 32-bit value as text; empty when absent.
  std::string Property(unsigned long window, const char* name);
  // Whether another client holds the pointer grabbed.
  bool PointerGrabbedElsewhere();
  // Takes the screen's compositor selection, as a compositing manager does.
  void ClaimCompositor();

private:
  void* dpy_ = nullptr;
};

}  // namespace x11test
