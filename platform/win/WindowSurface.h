#pragma once
// The seam between windows and device contexts: where a window's pixels
// live and which part of them a DC on the window may touch. The window
// manager answers these; the DC code asks.
#include <memory>
#include <vector>

#include "platform/win/Surface.h"
#include "platform/win/Types.h"

namespace win {

struct WindowDrawTarget {
  // The top-level window's surface (or a layered window's own surface).
  std::shared_ptr<Surface> surface;
  // Where the DC's (0, 0) falls on the surface: the window's client origin,
  // or its window origin for GetWindowDC.
  POINT origin;
  // The part of the surface the DC may draw on, as non-overlapping
  // rectangles in surface coordinates: the window's visible area after its
  // ancestors, its window region and (with clip styles) its children and
  // siblings are taken away.
  std::vector<RECT> visible;
};

// Fills `target` for drawing on `hwnd`'s client area (`client` true) or on
// its whole window including the non-client area. False for a stale handle.
bool GetWindowDrawTarget(HWND hwnd, bool client, WindowDrawTarget* target);

// Every visible top-level window's surface with its place on the virtual
// screen, topmost first: what a DC on the screen draws through.
struct ScreenPiece {
  HWND hwnd;
  std::shared_ptr<Surface> surface;
  POINT screenOrigin;
  std::vector<RECT> visible;  // in surface coordinates
};
std::vector<ScreenPiece> GetScreenPieces();

// Tells the display that part of a top-level surface changed, so the
// headless screen or the X window shows it.
void SurfaceChanged(HWND topLevel, const RECT& surfaceRect);

}  // namespace win
