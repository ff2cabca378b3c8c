// The headless display and the layered-window calls.
#include "platform/win/Display.h"

#include <algorithm>
#include <atomic>

#include "platform/win/ImageFiles.h"
#include "platform/win/Metrics.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

std::atomic<DisplayBackend*> backend{nullptr};

uint32_t blendChannel(uint32_t s, uint32_t d, uint32_t a) { return (s * a + d * (255 - a) + 127) / 255; }

uint32_t rgbOf(uint32_t px) { return px & 0x00FFFFFFu; }

uint32_t keyToPixel(COLORREF key) { return (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key); }

}  // namespace

void NoteSurfaceChange(const Wnd& topLevel, const RECT& rect) {
  if (auto* b = backend.load()) b->SurfaceChanged(topLevel.handle, rect);
}

void DisplayWindowChanged(HWND topLevel) {
  if (auto* b = backend.load()) b->WindowChanged(topLevel);
}

void BackendBeep(UINT type) {
  if (auto* b = backend.load()) b->Beep(type);
}

void BackendCursor(HCURSOR cursor) {
  if (auto* b = backend.load()) b->CursorChanged(cursor);
}

}  // namespace detail

using namespace detail;

void SetDisplayBackend(DisplayBackend* b) { backend.store(b); }

void SurfaceChanged(HWND topLevel, const RECT& surfaceRect) {
  if (auto* b = backend.load()) b->SurfaceChanged(topLevel, surfaceRect);
}

std::shared_ptr<Surface> ComposeScreen() {
  const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int vw = GetSystemMetrics(SM_CXVIRTUALSCREEN), vh = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  auto screen = std::make_shared<Surface>(vw, vh);
  const COLORREF desk = GetSysColor(COLOR_DESKTOP);
  screen->Fill(0xFF000000u | keyToPixel(desk));
  TreeGuard lock(TreeLock());
  const auto& tops = DesktopWnd()->children;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
    auto w = FindWnd(*it);
    if (!w || !(w->style & WS_VISIBLE) || (w->style & WS_MINIMIZE)) continue;
    const bool layered = (w->exStyle & WS_EX_LAYERED) != 0;
    const bool perPixel = layered && w->layeredSurface;
    // A layered window shows nothing until it says how.
    if (layered && !perPixel && !w->layeredFlags) continue;
    const Surface* src = perPixel ? w->layeredSurface.get() : w->surface.get();
    if (!src) continue;
    const RECT r = w->window;
    Region area = w->shape ? *w->shape : Region(RECT{0, 0, r.Width(), r.Height()});
    area = area.Intersect(Region(RECT{0, 0, src->Width(), src->Height()}));
    area = area.Offsetted(r.left - vx, r.top - vy).Intersect(Region(RECT{0, 0, vw, vh}));
    for (const RECT& v : area.Rects()) {
      for (LONG y = v.top; y < v.bottom; ++y) {
        uint32_t* out = screen->Row(y);
        const uint32_t* in = src->Row(y + vy - r.top);
        for (LONG x = v.left; x < v.right; ++x) {
          const uint32_t s = in[x + vx - r.left];
          uint32_t& d = out[x];
          if (perPixel) {
            if ((w->ulwFlags & ULW_COLORKEY) && rgbOf(s) == keyToPixel(w->ulwKey)) continue;
            if (w->ulwFlags & ULW_OPAQUE) {
              d = 0xFF000000u | rgbOf(s);
              continue;
            }
            const uint32_t ca = w->layeredAlpha;
            const uint32_t sa = (w->ulwFlags & ULW_ALPHA) ? (s >> 24) : 255;
            const uint32_t a = (sa * ca + 127) / 255;
            auto ch = [&](int shift) {
              const uint32_t sc = ((s >> shift) & 0xFF) * ca / 255;  // premultiplied already
              const uint32_t dc = (d >> shift) & 0xFF;
              return std::min<uint32_t>(255, sc + (dc * (255 - a) + 127) / 255);
            };
            d = 0xFF000000u | (ch(16) << 16) | (ch(8) << 8) | ch(0);
            continue;
          }
          if ((w->layeredFlags & LWA_COLORKEY) && rgbOf(s) == keyToPixel(w->colorKey)) continue;
          if (w->layeredFlags & LWA_ALPHA) {
            const uint32_t a = w->alpha;
            d = 0xFF000000u | (blendChannel((s >> 16) & 0xFF, (d >> 16) & 0xFF, a) << 16) |
                (blendChannel((s >> 8) & 0xFF, (d >> 8) & 0xFF, a) << 8) | blendChannel(s & 0xFF, d & 0xFF, a);
          } else {
            d = 0xFF000000u | rgbOf(s);
          }
        }
      }
    }
  }
  return screen;
}

COLORREF GetScreenPixel(int x, int y) {
  auto s = ComposeScreen();
  x -= GetSystemMetrics(SM_XVIRTUALSCREEN);
  y -= GetSystemMetrics(SM_YVIRTUALSCREEN);
  if (x < 0 || y < 0 || x >= s->Width() || y >= s->Height()) return 0xFFFFFFFFu;
  const uint32_t p = s->Pixel(x, y);
  return RGB(static_cast<BYTE>(p >> 16), static_cast<BYTE>(p >> 8), static_cast<BYTE>(p));
}

std::shared_ptr<Surface> CaptureWindow(HWND hwnd) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !IsTopLevel(*w)) return nullptr;
  const Surface* src = w->layeredSurface ? w->layeredSurface.get() : w->surface.get();
  if (!src) return nullptr;
  auto copy = std::make_shared<Surface>(src->Width(), src->Height());
  for (int32_t y = 0; y < src->Height(); ++y) std::copy_n(src->Row(y), src->Width(), copy->Row(y));
  return copy;
}

bool SaveScreenPng(const std::string& path) { return SavePng(*ComposeScreen(), path); }

bool SaveWindowPng(HWND hwnd, const std::string& path) {
  auto s = CaptureWindow(hwnd);
  return s && SavePng(*s, path);
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !(w->exStyle & WS_EX_LAYERED) || !IsTopLevel(*w)) return FALSE;
  w->colorKey = key;
  w->alpha = alpha;
  w->layeredFlags = flags & (LWA_COLORKEY | LWA_ALPHA);
  if (!w->layeredFlags) w->layeredFlags = LWA_ALPHA, w->alpha = alpha;
  // The window goes back to showing what is drawn on it.
  w->layeredSurface.reset();
  NoteSurfaceChange(*w, RECT{0, 0, w->window.Width(), w->window.Height()});
  DisplayWindowChanged(hwnd);
  return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags) {
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w || !(w->exStyle & WS_EX_LAYERED) || w->layeredSurface) return FALSE;
  if (key) *key = w->colorKey;
  if (alpha) *alpha = w->alpha;
  if (flags) *flags = w->layeredFlags;
  return TRUE;
}

BOOL UpdateLayeredWindowFromSurface(HWND hwnd, const POINT* screenPos, const SIZE* size, const Surface& source,
                                    POINT sourceOrigin, COLORREF key, BYTE constantAlpha, DWORD flags) {
  RECT r;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w || !(w->exStyle & WS_EX_LAYERED) || !IsTopLevel(*w)) return FALSE;
    r = w->window;
  }
  const LONG cx = size ? size->cx : r.Width(), cy = size ? size->cy : r.Height();
  if (cx <= 0 || cy <= 0 || sourceOrigin.x < 0 || sourceOrigin.y < 0 || sourceOrigin.x + cx > source.Width() ||
      sourceOrigin.y + cy > source.Height())
    return FALSE;
  auto copy = std::make_shared<Surface>(cx, cy);
  for (LONG y = 0; y < cy; ++y) std::copy_n(source.Row(sourceOrigin.y + y) + sourceOrigin.x, cx, copy->Row(y));
  const POINT pos = screenPos ? *screenPos : POINT{r.left, r.top};
  if (pos.x != r.left || pos.y != r.top || cx != r.Width() || cy != r.Height())
    SetWindowPos(hwnd, nullptr, pos.x, pos.y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  TreeGuard lock(TreeLock());
  auto w = FindWnd(hwnd);
  if (!w) return FALSE;
  w->layeredSurface = std::move(copy);
  w->layeredAlpha = constantAlpha;
  w->ulwFlags = flags;
  w->ulwKey = key;
  w->layeredFlags = 0;
  NoteSurfaceChange(*w, RECT{0, 0, cx, cy});
  DisplayWindowChanged(hwnd);
  return TRUE;
}

}  // namespace win
