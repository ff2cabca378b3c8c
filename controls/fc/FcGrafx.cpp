#include "controls/fc/FcGrafx.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

#include "platform/forms/Forms.h"
#include "platform/win/Api.h"

namespace controls {

using forms::TBitmap;
using forms::TCanvas;
using forms::TColor;
using forms::TControl;
using forms::TRect;
using win::COLORREF;
using win::HDC;

// ---- the parent's image ----

void CopyParentImage(TControl* control, HDC dc, bool invalidate) {
  if (!control || !control->Parent() || !dc) return;
  forms::TWinControl* parent = control->Parent();
  const bool designing = control->ComponentState().Contains(forms::csDesigning);
  const int saved = win::SaveDC(dc);
  win::POINT org{};
  win::GetViewportOrgEx(dc, &org);
  win::SetViewportOrgEx(dc, org.x - control->Left(), org.y - control->Top(), nullptr);
  win::IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
  auto send = [&] {
    parent->Perform(win::WM_ERASEBKGND, reinterpret_cast<win::WPARAM>(dc), 0);
    parent->Perform(win::WM_PAINT, reinterpret_cast<win::WPARAM>(dc), 0);
  };
  if (designing) {
    try {
      send();
    } catch (const std::exception&) {
      // A parent half set up in the designer must not stop the child painting.
    }
  } else {
    try {
      send();
    } catch (...) {
      win::RestoreDC(dc, saved);
      throw;
    }
  }
  win::RestoreDC(dc, saved);
  // Custom controls and forms repaint what lies under their children when
  // asked; other parents would leave the image stale.
  const bool selfRepainting = dynamic_cast<forms::TCustomControl*>(parent) || dynamic_cast<forms::TCustomForm*>(parent);
  if (invalidate && !selfRepainting && !designing) parent->Invalidate();
}

// ---- tiles and keyed copies ----

void TileBitmap(TCanvas* canvas, TBitmap* bitmap, const TRect& rect) {
  if (!canvas || !bitmap || bitmap->Empty()) return;
  const int bw = bitmap->Width(), bh = bitmap->Height();
  HDC dest = canvas->Handle();
  HDC src = bitmap->Canvas()->Handle();
  for (int row = rect.top; row < rect.bottom; row += bh) {
    for (int col = rect.left; col < rect.right; col += bw) {
      win::BitBlt(dest, col, row, std::min(bw, static_cast<int>(rect.right) - col),
                  std::min(bh, static_cast<int>(rect.bottom) - row), src, 0, 0,
                  static_cast<win::DWORD>(canvas->CopyMode()));
    }
  }
}

void DrawTransparentStretched(TCanvas* canvas, TBitmap* bitmap, const TRect& dest, const TRect& source,
                              TColor transparentColor) {
  if (!canvas || !bitmap) return;
  const int w = dest.right - dest.left, h = dest.bottom - dest.top;
  if (w <= 0 || h <= 0) return;
  auto work = std::make_unique<TBitmap>();
  auto mask = std::make_unique<TBitmap>();
  work->SetSize(w, h);
  HDC workDC = work->Canvas()->Handle();
  win::StretchBlt(workDC, 0, 0, w, h, bitmap->Canvas()->Handle(), source.left, source.top,
                  source.right - source.left, source.bottom - source.top, win::SRCCOPY);
  // Colour to monochrome: the background colour turns white, all else black.
  mask->SetMonochrome(true);
  mask->SetSize(w, h);
  win::SetBkColor(workDC, forms::ColorToRGB(transparentColor));
  win::BitBlt(mask->Canvas()->Handle(), 0, 0, w, h, workDC, 0, 0, win::SRCCOPY);
  // White mask pixels keep the destination, black ones take the picture.
  constexpr win::DWORD kKeepDest = 0x00AA0029;
  win::MaskBlt(canvas->Handle(), dest.left, dest.top, w, h, workDC, 0, 0, mask->Handle(), 0, 0,
               win::MAKEROP4(kKeepDest, win::SRCCOPY));
}

// ---- gradients ----

namespace {

int Red(COLORREF c) { return static_cast<int>(c & 0xFF); }
int Green(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

// Colour channels in 16.16 fixed point, stepped towards a target.
struct ColorWalk {
  int32_t r, g, b;
  int32_t dr = 0, dg = 0, db = 0;
  explicit ColorWalk(COLORREF from) : r(Red(from) << 16), g(Green(from) << 16), b(Blue(from) << 16) {}
  void Aim(COLORREF to, int n) {
    if (n < 1) {
      dr = dg = db = 0;
      return;
    }
    dr = ((Red(to) << 16) - r) / n;
    dg = ((Green(to) << 16) - g) / n;
    db = ((Blue(to) << 16) - b) / n;
  }
  void Step() {
    r += dr;
    g += dg;
    b += db;
  }
  COLORREF Color() const {
    auto ch = [](int32_t v) { return static_cast<COLORREF>((v >> 16) & 0xFF); };
    return ch(r) | (ch(g) << 8) | (ch(b) << 16);
  }
};

// How many steps a band takes at least, less one.
int MergeCount(uint8_t steps, int over) {
  int q = steps > 8 ? over / steps + 1 : steps;
  return std::max(0, q - 1);
}

void FillSolid(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  win::HBRUSH brush = win::CreateSolidBrush(color);
  win::RECT r{left, top, right, bottom};
  win::FillRect(dc, &r, brush);
  win::DeleteObject(brush);
}

void FillPolygon(HDC dc, const win::POINT* points, int count, COLORREF color) {
  win::HBRUSH brush = win::CreateSolidBrush(color);
  win::HGDIOBJ old = win::SelectObject(dc, brush);
  win::Polygon(dc, points, count);
  win::SelectObject(dc, old);
  win::DeleteObject(brush);
}

// One pass of the linear fill: positions p (pixel p - 1) from `p` down to
// `e`, colour from `from` towards `to`.
void LinearPass(HDC dc, bool vertical, int p, int e, COLORREF from, COLORREF to, int q) {
  ColorWalk walk(from);
  walk.Aim(to, p - e + 1);
  while (p >= e) {
    const int bandStart = p;
    const COLORREF band = walk.Color();
    int taken = 0;
    do {
      --p;
      walk.Step();
      ++taken;
    } while (p >= e && (walk.Color() == band || taken < q + 1));
    if (vertical) FillSolid(dc, 0, p, 8, bandStart, band);
    else FillSolid(dc, p, 0, bandStart, 8, band);
  }
}

}  // namespace

void FillLinearGradient(HDC dc, int x, int y, int extent, COLORREF first, COLORREF second, uint8_t steps) {
  const bool vertical = x == 0;
  const int coord = vertical ? y : x;
  const int q = MergeCount(steps, 255);
  LinearPass(dc, vertical, coord < 0 ? extent : coord + 1, 1, second, first, q);
  if (coord > 0) LinearPass(dc, vertical, extent, coord + 2, first, second, q);
}

void FillBoxGradient(HDC dc, int width, int height, int xInset, int yInset, COLORREF first, COLORREF second,
                     uint8_t steps) {
  if (first == second || width < 5 || height < 5) {
    FillSolid(dc, 0, 0, width + 1, height + 1, first);
    return;
  }
  const int f = (width - 1) >> 1, g = (height - 1) >> 1;
  const int x0 = f - xInset, y0 = g - yInset;
  const int n = std::max(x0, y0) + 1;
  const int q = MergeCount(steps, 256);
  ColorWalk walk(second);
  walk.Aim(first, n);
  const int32_t dx = (x0 << 16) / n, dy = (y0 << 16) / n;
  int32_t x = x0 << 16, y = y0 << 16;
  int prevX = f + 1, prevY = g + 1;
  // A corner beyond n steps is past the edge; the bound only matters for a
  // zero inset distance, which would never go negative.
  int corner = 0;
  auto more = [&](int32_t cx, int32_t cy, int k) { return (cx >= 0 || cy >= 0) && k <= n + 1; };
  while (more(x, y, corner)) {
    const COLORREF band = walk.Color();
    int taken = 0;
    for (;;) {
      const int32_t nx = x - dx, ny = y - dy;
      ColorWalk next = walk;
      next.Step();
      ++taken;
      if (!more(nx, ny, corner + 1) || (next.Color() != band && taken >= q + 1)) break;
      x = nx;
      y = ny;
      walk = next;
      ++corner;
    }
    const int px = x >> 16, py = y >> 16;
    FillSolid(dc, px, py, f + 1, prevY, band);
    FillSolid(dc, px, prevY, prevX, g + 1, band);
    prevX = px;
    prevY = py;
    x -= dx;
    y -= dy;
    walk.Step();
    ++corner;
  }
}

void FillDiagonalGradient(HDC dc, int width, int height, COLORREF first, COLORREF second, uint8_t steps) {
  const int w = std::abs(width), h = height;
  const int d = static_cast<int>(std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h)) + 1;
  const bool fromLeft = width > 0;
  const int nearX = fromLeft ? 0 : w, farX = fromLeft ? w : 0;
  ColorWalk walk(fromLeft ? first : second);
  walk.Aim(fromLeft ? second : first, d);
  const int half = std::max(1, d / 2);
  const int32_t xs = (fromLeft ? 1 : -1) * ((w << 16) / half);
  const int32_t ys = (h << 16) / half;
  const int q = MergeCount(steps, 255);

  // Walks the band line; `quad` builds a band's polygon from the previous
  // and the new line ends, `close` the last piece.
  auto sweep = [&](auto quad, auto close) {
    int32_t x = nearX << 16, y = h << 16;
    int prevX = x >> 16, prevY = y >> 16;
    for (;;) {
      const COLORREF band = walk.Color();
      int taken = 0;
      do {
        x += xs;
        y -= ys;
        walk.Step();
        ++taken;
      } while (y >= 0 && (walk.Color() == band || taken < q + 1));
      if (y < 0) {
        close(prevX, prevY, band);
        return;
      }
      const int cx = x >> 16, cy = y >> 16;
      if (cx != prevX || cy != prevY) {
        win::POINT pts[4];
        quad(pts, prevX, prevY, cx, cy);
        FillPolygon(dc, pts, 4, band);
      }
      prevX = cx;
      prevY = cy;
    }
  };
  // First sweep: from the near bottom corner up to the diagonal joining the
  // near top corner and the far bottom corner.
  sweep(
      [&](win::POINT* p, int px, int py, int cx, int cy) {
        p[0] = {nearX, py};
        p[1] = {px, h};
        p[2] = {cx, h};
        p[3] = {nearX, cy};
      },
      [&](int px, int py, COLORREF c) {
        const win::POINT p[4] = {{nearX, py}, {px, h}, {farX, h}, {nearX, 0}};
        FillPolygon(dc, p, 4, c);
      });
  // Second sweep: from that diagonal to the far top corner; the line's ends
  // run along the top edge and down the far edge.
  sweep(
      [&](win::POINT* p, int px, int py, int cx, int cy) {
        p[0] = {px, 0};
        p[1] = {farX, py};
        p[2] = {farX, cy};
        p[3] = {cx, 0};
      },
      [&](int px, int py, COLORREF c) {
        const win::POINT p[3] = {{px, 0}, {farX, py}, {farX, 0}};
        FillPolygon(dc, p, 3, c);
      });
}

void DoublingFillBlit(HDC dc, int x, int y, int totalWidth, int totalHeight, int filledWidth, int filledHeight,
                      win::DWORD rop) {
  if (filledWidth <= 0 || filledHeight <= 0) return;
  bool vertical = filledHeight < totalHeight;
  while (filledHeight < totalHeight || filledWidth < totalWidth) {
    if (vertical) {
      const int h = std::min(filledHeight, totalHeight - filledHeight);
      win::BitBlt(dc, x, y + filledHeight, filledWidth, h, dc, x, y, rop);
      filledHeight += h;
      if (filledWidth < totalWidth) vertical = false;
    } else {
      const int w = std::min(filledWidth, totalWidth - filledWidth);
      win::BitBlt(dc, x + filledWidth, y, w, filledHeight, dc, x, y, rop);
      filledWidth += w;
      if (filledHeight < totalHeight) vertical = true;
    }
  }
}

void MirrorQuadrantBlit(HDC dc, int x, int y, int width, int height, win::DWORD rop) {
  const int hw = width >> 1, hh = height >> 1;
  const int odd = hw & 1;
  win::StretchBlt(dc, x, y + height - 1, hw + 1, -hh, dc, x, y, hw, hh, rop);
  win::StretchBlt(dc, x + width - 1, y, -(hw + odd), height, dc, x, y, hw - odd, height, rop);
}

void DrawGradient(TCanvas* canvas, const TRect& bounds, uint8_t kind, TColor first, TColor second, uint8_t steps) {
  if (!canvas) return;
  const COLORREF c1 = forms::ColorToRGB(first), c2 = forms::ColorToRGB(second);
  const int width = std::abs(static_cast<int>(bounds.right - bounds.left));
  const int height = std::abs(static_cast<int>(bounds.bottom - bounds.top));
  if (width == 0 || height == 0) return;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(width, height);
  TCanvas* c = bitmap->Canvas();
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(forms::psClear);
  c->Pen()->SetMode(forms::pmCopy);
  c->Brush()->SetStyle(forms::bsSolid);
  c->RequiredState({forms::csHandleValid, forms::csPenValid, forms::csBrushValid});
  HDC dc = c->Handle();
  switch (kind) {
    case 0:
    case 1:
      if (c1 == c2) FillSolid(dc, 0, 0, width, height, c1);
      else FillDiagonalGradient(dc, kind == 0 ? width : -width, height, c1, c2, steps);
      break;
    case 2:
    case 3:
      FillLinearGradient(dc, 0, kind == 2 ? -1 : height / 2, height, c1, c2, steps);
      DoublingFillBlit(dc, 0, 0, width, height, 8, height, win::SRCCOPY);
      break;
    case 5:
    case 6:
      FillLinearGradient(dc, kind == 5 ? -1 : width / 2, 0, width, c1, c2, steps);
      DoublingFillBlit(dc, 0, 0, width, height, width, 8, win::SRCCOPY);
      break;
    case 4:
    case 7:
    case 8:
    case 9: {
      if (kind == 4 || kind == 8) FillSolid(dc, 0, 0, width, height, c1);
      const int xInset = (kind == 4 || kind == 9) ? width >> 2 : 0;
      const int yInset = (kind == 7 || kind == 9) ? height >> 2 : 0;
      FillBoxGradient(dc, width, height, xInset, yInset, c1, c2, steps);
      MirrorQuadrantBlit(dc, 0, 0, width, height, win::SRCCOPY);
      break;
    }
    default:
      break;
  }
  canvas->Draw(bounds.left, bounds.top, bitmap.get());
}

}  // namespace controls
