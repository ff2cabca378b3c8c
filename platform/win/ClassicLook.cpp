// The one painter of the classic look. Geometry lives in small helpers;
// each public call reads top to bottom: frame, face, glyph.
#include "platform/win/ClassicLook.h"

#include <algorithm>

#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Metrics.h"
#include "platform/win/ShapeGeometry.h"

namespace win {

using namespace gdi;

namespace {

class Painter {
public:
  explicit Painter(DeviceContext& dc) : dc_(dc), scope_(dc, true), raster_(scope_) {}

  // Fills a logical rectangle with a system colour.
  void Fill(const RECT& r, int sysColor) { FillColor(r, GetSysColor(sysColor)); }
  void FillColor(const RECT& r, COLORREF c) { raster_.Rect(dc_.ToDevice(r), SolidPaint(dc_, c)); }
  void Pixel(int x, int y, COLORREF c) { FillColor({x, y, x + 1, y + 1}, c); }

  // One edge layer: `tl` on the top and left, `br` on the bottom and right;
  // the bottom-right lines run the full length.
  void Layer(RECT& r, UINT sides, COLORREF tl, COLORREF br) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (sides & BF_TOP) FillColor({r.left, r.top, r.right - ((sides & BF_RIGHT) ? 1 : 0), r.top + 1}, tl);
    if (sides & BF_LEFT) FillColor({r.left, r.top, r.left + 1, r.bottom - ((sides & BF_BOTTOM) ? 1 : 0)}, tl);
    if (sides & BF_BOTTOM) FillColor({r.left, r.bottom - 1, r.right, r.bottom}, br);
    if (sides & BF_RIGHT) FillColor({r.right - 1, r.top, r.right, r.bottom}, br);
    if (sides & BF_LEFT) ++r.left;
    if (sides & BF_TOP) ++r.top;
    if (sides & BF_RIGHT) --r.right;
    if (sides & BF_BOTTOM) --r.bottom;
  }

  // The row spans of a shape (device space already applied by the caller).
  void Spans(const RowShape& s, COLORREF c) {
    for (size_t i = 0; i < s.rows.size(); ++i)
      if (s.rows[i].left <= s.rows[i].right)
        FillColor({s.rows[i].left, s.top + static_cast<int>(i), s.rows[i].right + 1, s.top + static_cast<int>(i) + 1}, c);
  }

  // A filled triangle pointing `dir` (0 up, 1 down, 2 left, 3 right)
  // centred in r, `rows` deep.
  void Arrow(const RECT& r, int dir, int rows, COLORREF c, int shift) {
    const int cx = (r.left + r.right) / 2 + shift, cy = (r.top + r.bottom) / 2 + shift;
    for (int i = 0; i < rows; ++i) {
      const int half = (dir == 0 || dir == 2) ? i : rows - 1 - i;
      const int along = i - rows / 2;
      if (dir <= 1) FillColor({cx - half, cy + along, cx + half + 1, cy + along + 1}, c);
      else FillColor({cx + along, cy - half, cx + along + 1, cy + half + 1}, c);
    }
  }

  DeviceContext& Dc() { return dc_; }

private:
  DeviceContext& dc_;
  DrawScope scope_;
  Raster raster_;
};

void DrawEdgeWith(Painter& p, RECT& r, UINT edge, UINT flags) {
  const UINT sides = flags & BF_RECT;
  const bool soft = flags & BF_SOFT;
  COLORREF outerTl = 0, outerBr = 0, innerTl = 0, innerBr = 0;
  bool outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (flags & BF_MONO) {
    outerTl = outerBr = GetSysColor(COLOR_WINDOWFRAME);
    innerTl = innerBr = GetSysColor(COLOR_WINDOW);
  } else if (flags & BF_FLAT) {
    outerTl = outerBr = GetSysColor(COLOR_BTNSHADOW);
    innerTl = innerBr = GetSysColor(COLOR_BTNFACE);
  } else {
    if (edge & BDR_RAISEDOUTER) {
      outerTl = GetSysColor(soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT);
      outerBr = GetSysColor(COLOR_3DDKSHADOW);
    } else if (edge & BDR_SUNKENOUTER) {
      outerTl = GetSysColor(soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW);
      outerBr = GetSysColor(COLOR_BTNHIGHLIGHT);
    }
    if (edge & BDR_RAISEDINNER) {
      innerTl = GetSysColor(soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT);
      innerBr = GetSysColor(COLOR_BTNSHADOW);
    } else if (edge & BDR_SUNKENINNER) {
      innerTl = GetSysColor(soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW);
      innerBr = GetSysColor(COLOR_3DLIGHT);
    }
  }
  if (outer) p.Layer(r, sides, outerTl, outerBr);
  if (inner) p.Layer(r, sides, innerTl, innerBr);
  if (flags & BF_MIDDLE) p.Fill(r, (flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE);
}

// The largest square of r, centred.
RECT Square(const RECT& r) {
  const int size = std::min(r.right - r.left, r.bottom - r.top);
  const int x = r.left + (r.right - r.left - size) / 2, y = r.top + (r.bottom - r.top - size) / 2;
  return {x, y, x + size, y + size};
}

// The check mark of a 13-pixel box, seven pixels square.
constexpr const char* kCheck[7] = {"......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."};

void DrawCheckMark(Painter& p, const RECT& area, COLORREF c) {
  const int size = std::min(area.right - area.left, area.bottom - area.top);
  const int x0 = area.left + (area.right - area.left - 7) / 2, y0 = area.top + (area.bottom - area.top - 7) / 2;
  if (size < 7) return;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x)
      if (kCheck[y][x] == '#') p.Pixel(x0 + x, y0 + y, c);
}

void DrawCheckBox(Painter& p, const RECT& rect, UINT state) {
  RECT box = Square(rect);
  if (state & (DFCS_FLAT | DFCS_MONO)) {
    p.Layer(box, BF_RECT, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW));
  } else {
    DrawEdgeWith(p, box, EDGE_SUNKEN, BF_RECT);
  }
  const bool grey = (state & (DFCS_PUSHED | DFCS_INACTIVE)) || ((state & DFCS_BUTTON3STATE) && (state & DFCS_CHECKED));
  p.Fill(box, grey ? COLOR_BTNFACE : COLOR_WINDOW);
  if (state & DFCS_CHECKED)
    DrawCheckMark(p, box, GetSysColor((state & (DFCS_INACTIVE | DFCS_BUTTON3STATE)) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT));
}

void DrawRadio(Painter& p, const RECT& rect, UINT state) {
  const RECT box = Square(rect);
  const RECT dev = p.Dc().ToDevice(box);
  (void)dev;
  // Rings: each outline pixel takes the top-left or bottom-right colour
  // by which side of the anti-diagonal it lies on.
  auto ring = [&](const RECT& b, COLORREF tl, COLORREF br) {
    const RowShape s = EllipseShape(b);
    const int sum = b.left + b.top + b.right - 1 + b.bottom - 1;
    OutlineAndInterior(
        s,
        [&](int y, int x0, int x1) {
          for (int x = x0; x < x1; ++x) p.Pixel(x, y, 2 * (x + y) < sum ? tl : br);
        },
        nullptr);
  };
  if (state & DFCS_BUTTONRADIOMASK) {
    p.Spans(EllipseShape(box), 0);
    return;
  }
  ring(box, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
  const RECT inner{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
  ring(inner, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
  const RECT face{inner.left + 1, inner.top + 1, inner.right - 1, inner.bottom - 1};
  p.Spans(EllipseShape(face), GetSysColor((state & (DFCS_PUSHED | DFCS_INACTIVE)) ? COLOR_BTNFACE : COLOR_WINDOW));
  if (state & DFCS_CHECKED) {
    const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
    const int d = std::max(2, (box.right - box.left) / 3);
    const RECT dot{cx - d / 2, cy - d / 2, cx - d / 2 + d, cy - d / 2 + d};
    p.Spans(EllipseShape(dot), GetSysColor((state & DFCS_INACTIVE) ? COLOR_BTNSHADOW : COLOR_WINDOWTEXT));
  }
}

// A raised button face (sunken when pushed) that leaves r as its inside.
void ButtonFrame(Painter& p, RECT& r, UINT state) {
  if (state & DFCS_MONO) {
    DrawEdgeWith(p, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_MONO);
  } else if (state & DFCS_FLAT) {
    DrawEdgeWith(p, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_FLAT);
  } else if (state & (DFCS_PUSHED | DFCS_CHECKED)) {
    DrawEdgeWith(p, r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE | BF_SOFT);
  } else {
    DrawEdgeWith(p, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_SOFT);
  }
}

COLORREF GlyphColor(UINT state) { return GetSysColor((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_BTNTEXT); }

void DrawScroll(Painter& p, RECT r, UINT state) {
  const UINT kind = state & 0xFF;
  if (kind == DFCS_SCROLLSIZEGRIP) {
    p.Fill(r, COLOR_BTNFACE);
    // Three diagonal ridges in the corner.
    const int size = std::min(r.right - r.left, r.bottom - r.top);
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < size - 1 - 4 * k; ++i) {
        const int x = r.right - 1 - i, y = r.bottom - size + 1 + 4 * k + i;
        if (y >= r.bottom) break;
        p.Pixel(x, y, GetSysColor(COLOR_BTNHIGHLIGHT));
        if (x - 1 >= r.left && y + 1 < r.bottom) p.Pixel(x, y + 1, GetSysColor(COLOR_BTNSHADOW));
        if (y + 2 < r.bottom) p.Pixel(x, y + 2, GetSysColor(COLOR_BTNSHADOW));
      }
    return;
  }
  const bool pushed = state & DFCS_PUSHED;
  const RECT outer = r;
  if (pushed && !(state & DFCS_FLAT)) {
    // A pushed scroll arrow is flat, its glyph moved down and right.
    DrawEdgeWith(p, r, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_FLAT);
  } else {
    ButtonFrame(p, r, state & ~DFCS_PUSHED);
  }
  // The glyph is sized and centred on the whole button.
  const int size = std::min(outer.right - outer.left, outer.bottom - outer.top);
  const int rows = std::max(1, (size - 4) / 4 + 1);
  const int dir = kind == DFCS_SCROLLCOMBOBOX ? 1 : static_cast<int>(kind & 3);
  const int shift = pushed ? 1 : 0;
  if (state & DFCS_INACTIVE) p.Arrow(outer, dir, rows, GetSysColor(COLOR_BTNHIGHLIGHT), shift + 1);
  p.Arrow(outer, dir, rows, GlyphColor(state), shift);
}

void DrawCaption(Painter& p, RECT r, UINT state) {
  ButtonFrame(p, r, state);
  const int shift = (state & DFCS_PUSHED) ? 1 : 0;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int size = std::max(2, std::min(w, h) - 4);
  const int x0 = r.left + (w - size) / 2 + shift, y0 = r.top + (h - size) / 2 + shift;
  auto draw = [&](COLORREF c, int off) {
    const int x = x0 + off, y = y0 + off;
    switch (state & 0xFF) {
      case DFCS_CAPTIONCLOSE:
        for (int i = 0; i < size; ++i) {
          p.FillColor({x + i, y + i, x + std::min(i + 2, size), y + i + 1}, c);
          p.FillColor({x + std::max(size - 2 - i, 0), y + i, x + size - i, y + i + 1}, c);
        }
        break;
      case DFCS_CAPTIONMIN:
        p.FillColor({x + 1, y + size - 2, x + size - 2, y + size}, c);
        break;
      case DFCS_CAPTIONMAX: {
        RECT b{x, y, x + size, y + size};
        p.FillColor({b.left, b.top, b.right, b.top + 2}, c);
        p.Layer(b, BF_RECT, c, c);
        break;
      }
      case DFCS_CAPTIONRESTORE: {
        const int s = size * 2 / 3;
        RECT back{x + size - s, y, x + size, y + s};
        p.FillColor({back.left, back.top, back.right, back.top + 2}, c);
        p.Layer(back, BF_RECT, c, c);
        RECT front{x, y + size - s, x + s, y + size};
        p.Fill(front, COLOR_BTNFACE);
        p.FillColor({front.left, front.top, front.right, front.top + 2}, c);
        p.Layer(front, BF_RECT, c, c);
        break;
      }
      case DFCS_CAPTIONHELP: {
        // The question mark is the bold sans glyph, sized to the button.
        HDC hdc = reinterpret_cast<HDC>(p.Dc().handle);
        HFONT font = CreateFontA(-(size + 3), 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, NONANTIALIASED_QUALITY, 0, "Arial");
        HGDIOBJ oldFont = SelectObject(hdc, font);
        const int oldMode = SetBkMode(hdc, TRANSPARENT);
        const COLORREF oldColor = SetTextColor(hdc, c);
        RECT box{x, y, x + size, y + size};
        DrawTextA(hdc, "?", 1, &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP);
        SetTextColor(hdc, oldColor);
        SetBkMode(hdc, oldMode);
        SelectObject(hdc, oldFont);
        DeleteObject(font);
        break;
      }
    }
  };
  if (state & DFCS_INACTIVE) draw(GetSysColor(COLOR_BTNHIGHLIGHT), 1);
  draw(GlyphColor(state), 0);
}

// Menu marks draw black on white, as masks for the caller to colour.
void DrawMenuMark(Painter& p, RECT r, UINT state) {
  p.FillColor(r, RGB(255, 255, 255));
  switch (state & 0xFF) {
    case DFCS_MENUCHECK: DrawCheckMark(p, r, 0); break;
    case DFCS_MENUBULLET: {
      const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
      p.Spans(EllipseShape({cx - 3, cy - 3, cx + 3, cy + 3}), 0);
      break;
    }
    default: {
      const int rows = std::max(2, std::min(r.right - r.left, r.bottom - r.top) / 4 + 1);
      p.Arrow(r, (state & 0xFF) == DFCS_MENUARROWRIGHT ? 2 : 3, rows, 0, 0);
      break;
    }
  }
}

}  // namespace

BOOL DrawEdge(HDC hdc, RECT* rect, UINT edge, UINT flags) {
  auto dc = FindDC(hdc);
  if (!dc || !rect) return FALSE;
  Painter p(*dc);
  RECT r = *rect;
  if (!(flags & BF_DIAGONAL)) DrawEdgeWith(p, r, edge, flags);
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

BOOL DrawFrameControl(HDC hdc, RECT* rect, UINT type, UINT state) {
  auto dc = FindDC(hdc);
  if (!dc || !rect) return FALSE;
  Painter p(*dc);
  switch (type) {
    case DFC_BUTTON:
      if (state & DFCS_BUTTONPUSH) {
        RECT r = *rect;
        ButtonFrame(p, r, state);
        if (state & DFCS_ADJUSTRECT) *rect = r;
      } else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
        DrawRadio(p, *rect, state);
      } else {
        DrawCheckBox(p, *rect, state);
      }
      return TRUE;
    case DFC_SCROLL: DrawScroll(p, *rect, state); return TRUE;
    case DFC_CAPTION: DrawCaption(p, *rect, state); return TRUE;
    case DFC_MENU: DrawMenuMark(p, *rect, state); return TRUE;
    default: return FALSE;
  }
}

BOOL DrawFocusRect(HDC hdc, const RECT* rect) {
  auto dc = FindDC(hdc);
  if (!dc || !rect) return FALSE;
  const RECT r = dc->ToDevice(*rect);
  if (r.right <= r.left || r.bottom <= r.top) return TRUE;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  const Paint invert = SolidPaint(*dc, 0, R2_NOT);
  auto dot = [&](int x, int y) {
    if (((x - r.left) + (y - r.top)) % 2 == 0) raster.Pixel(x, y, invert);
  };
  for (int x = r.left; x < r.right; ++x) {
    dot(x, r.top);
    if (r.bottom - 1 > r.top) dot(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    dot(r.left, y);
    if (r.right - 1 > r.left) dot(r.right - 1, y);
  }
  return TRUE;
}

}  // namespace win
