// DCs on windows and on the screen, drawn through the surfaces the window
// manager hands out.
#include <algorithm>

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Region.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurface.h"

namespace win {

using namespace gdi;

namespace {

// The top-level window whose surface this is, so changes reach the
// display.
HWND TopLevelOf(const std::shared_ptr<Surface>& surface) {
  for (const ScreenPiece& p : GetScreenPieces())
    if (p.surface == surface) return p.hwnd;
  return nullptr;
}

std::vector<Piece> WindowPieces(const DeviceContext& dc) {
  std::vector<Piece> out;
  if (dc.type == DeviceContext::Type::Screen) {
    for (const ScreenPiece& sp : GetScreenPieces()) {
      Piece p;
      p.surface = sp.surface;
      // Screen coordinates are the device coordinates of the screen DC.
      p.origin = {-sp.screenOrigin.x, -sp.screenOrigin.y};
      p.visible = sp.visible;
      p.topLevel = sp.hwnd;
      out.push_back(std::move(p));
    }
    return out;
  }
  WindowDrawTarget target;
  if (!GetWindowDrawTarget(dc.hwnd, !dc.wholeWindow, &target) || !target.surface) return out;
  Piece p;
  p.surface = target.surface;
  p.origin = target.origin;
  p.visible = target.visible;
  p.topLevel = TopLevelOf(target.surface);
  out.push_back(std::move(p));
  return out;
}

void Changed(HWND topLevel, const RECT& r) { SurfaceChanged(topLevel, r); }

}  // namespace

HDC GetDCEx(HWND hwnd, HRGN clip, DWORD flags) {
  g_windowPieces = WindowPieces;
  g_surfaceChanged = Changed;
  auto dc = std::make_shared<DeviceContext>();
  // The desktop window's DC is the screen's: outlines dragged on it are
  // drawn over every window.
  const bool screen = !hwnd || hwnd == GetDesktopWindow();
  dc->type = screen ? DeviceContext::Type::Screen : DeviceContext::Type::Window;
  dc->hwnd = hwnd;
  dc->wholeWindow = (flags & DCX_WINDOW) != 0;
  dc->flags = flags;
  if (!screen) {
    WindowDrawTarget probe;
    if (!GetWindowDrawTarget(hwnd, !dc->wholeWindow, &probe)) return nullptr;
  }
  if (clip && (flags & (DCX_INTERSECTRGN | DCX_EXCLUDERGN))) {
    if (auto r = FindRegion(clip)) {
      if (flags & DCX_INTERSECTRGN) dc->metaClip = r->region.Rects();
      else dc->metaExclude = r->region.Rects();
    }
    // The region now belongs to the DC's owner, as the platform's does.
    DeleteObject(clip);
  }
  return NewDC(dc);
}

HDC GetDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, DCX_CACHE); }
HDC GetWindowDC(HWND hwnd) { return GetDCEx(hwnd, nullptr, DCX_CACHE | DCX_WINDOW); }

int ReleaseDC(HWND, HDC hdc) {
  auto dc = FindDC(hdc);
  if (!dc || dc->type == DeviceContext::Type::Memory) return 0;
  RemoveDC(hdc);
  return 1;
}

HWND WindowFromDC(HDC hdc) {
  auto dc = FindDC(hdc);
  return dc ? dc->hwnd : nullptr;
}

BOOL GetDCOrgEx(HDC hdc, POINT* origin) {
  auto dc = FindDC(hdc);
  if (!dc) return FALSE;
  POINT o{0, 0};
  if (dc->type == DeviceContext::Type::Window) {
    WindowDrawTarget target;
    if (GetWindowDrawTarget(dc->hwnd, !dc->wholeWindow, &target)) {
      for (const ScreenPiece& p : GetScreenPieces())
        if (p.surface == target.surface) o = {p.screenOrigin.x + target.origin.x, p.screenOrigin.y + target.origin.y};
    }
  }
  if (origin) *origin = o;
  return TRUE;
}

}  // namespace win
