// The span painter: every shape reduces to horizontal spans, filled here
// row by row through the DC's clip, with the DC's mix mode.
#include <algorithm>

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/PenBrush.h"

namespace win::gdi {

void (*g_surfaceChanged)(HWND, const RECT&) = nullptr;

DrawScope::DrawScope(DeviceContext& dc, bool writes) : dc_(dc), writes_(writes), pieces_(dc.Pieces()) {
  if (dc_.type == DeviceContext::Type::Memory && dc_.s.bitmap) {
    bitmap_ = dc_.s.bitmap;
    bitmap_->BeginSync();
  }
  touched_.assign(pieces_.size(), RECT{});
}

DrawScope::~DrawScope() {
  if (bitmap_) bitmap_->EndSync();
  if (!writes_ || dc_.type == DeviceContext::Type::Memory) return;
  for (size_t i = 0; i < pieces_.size(); ++i)
    if (!IsEmpty(touched_[i]) && pieces_[i].topLevel && g_surfaceChanged)
      g_surfaceChanged(pieces_[i].topLevel, touched_[i]);
}

void DrawScope::Touch(size_t index, const RECT& r) {
  RECT& t = touched_[index];
  if (IsEmpty(t)) {
    t = r;
  } else {
    t = {std::min(t.left, r.left), std::min(t.top, r.top), std::max(t.right, r.right), std::max(t.bottom, r.bottom)};
  }
}

uint32_t ApplyRop2(int rop2, uint32_t p, uint32_t d) {
  switch (rop2) {
    case R2_BLACK: return 0;
    case R2_NOTMERGEPEN: return ~(p | d);
    case R2_MASKNOTPEN: return ~p & d;
    case R2_NOTCOPYPEN: return ~p;
    case R2_MASKPENNOT: return p & ~d;
    case R2_NOT: return ~d;
    case R2_XORPEN: return p ^ d;
    case R2_NOTMASKPEN: return ~(p & d);
    case R2_MASKPEN: return p & d;
    case R2_NOTXORPEN: return ~(p ^ d);
    case R2_NOP: return d;
    case R2_MERGENOTPEN: return ~p | d;
    case R2_COPYPEN: return p;
    case R2_MERGEPENNOT: return p | ~d;
    case R2_MERGEPEN: return p | d;
    case R2_WHITE: return 0xFFFFFFu;
    default: return p;
  }
}

namespace {

bool HatchBit(int hatch, int x, int y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 7;
    case HS_VERTICAL: return x == 7;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 7 || y == 7;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
  }
}

int Wrap(int v, int m) {
  const int r = v % m;
  return r < 0 ? r + m : r;
}

}  // namespace

uint32_t Paint::PatternAt(int x, int y) const {
  if (hatch >= 0) {
    if (HatchBit(hatch, Wrap(x - brushOrg.x, 8), Wrap(y - brushOrg.y, 8))) return color;
    return hatchOpaque ? back : 0x80000000u;
  }
  if (!patternSurface || patternSurface->Empty()) return color;
  const uint32_t v = patternSurface->Row(Wrap(y - brushOrg.y, patternSurface->Height()))
                         [Wrap(x - brushOrg.x, patternSurface->Width())];
  if (monoPattern) return v ? back : fore;
  return v & 0xFFFFFF;
}

void Raster::Span(int y, int x0, int x1, const Paint& paint) {
  const int rop = paint.rop2;
  const bool mono = paint.monoTarget;
  ForEachSpan(y, x0, x1, [&](uint32_t* row, int count, int dx, int dy) {
    if (!paint.pattern) {
      const uint32_t c = mono ? ToMono(paint.color) : paint.color & 0xFFFFFF;
      if (rop == R2_COPYPEN) {
        std::fill(row, row + count, c);
      } else if (rop == R2_NOP) {
      } else {
        for (int i = 0; i < count; ++i) row[i] = ApplyRop2(rop, c, row[i]) & 0xFFFFFF;
      }
      return;
    }
    for (int i = 0; i < count; ++i) {
      uint32_t c = paint.PatternAt(dx + i, dy);
      if (c & 0x80000000u) continue;
      if (mono) c = ToMono(c);
      row[i] = ApplyRop2(rop, c, row[i]) & 0xFFFFFF;
    }
  });
}

void Raster::Rect(const RECT& r, const Paint& paint) {
  for (int y = r.top; y < r.bottom; ++y) Span(y, r.left, r.right, paint);
}

Paint SolidPaint(const DeviceContext& dc, COLORREF color, int rop2) {
  Paint p;
  p.color = ToPixel(PlainColor(color));
  p.rop2 = rop2;
  p.monoTarget = dc.Monochrome();
  return p;
}

std::optional<Paint> PenPaint(const DeviceContext& dc) {
  const Pen* pen = dc.s.pen.get();
  if (!pen || pen->style == PS_NULL) return std::nullopt;
  return SolidPaint(dc, pen->dcPen ? dc.s.dcPenColor : pen->color, dc.s.rop2);
}

std::optional<Paint> BrushPaint(const DeviceContext& dc, const Brush* brush) {
  if (!brush) brush = dc.s.brush.get();
  if (!brush || brush->style == BS_NULL) return std::nullopt;
  Paint p = SolidPaint(dc, brush->dcBrush ? dc.s.dcBrushColor : brush->color, dc.s.rop2);
  p.brushOrg = dc.s.brushOrg;
  if (brush->style == BS_HATCHED) {
    p.pattern = true;
    p.hatch = brush->hatch;
    p.hatchOpaque = dc.s.bkMode == OPAQUE;
    p.back = ToPixel(PlainColor(dc.s.bkColor));
  } else if (brush->style == BS_PATTERN || brush->style == BS_DIBPATTERN) {
    p.pattern = true;
    p.patternSurface = brush->pattern.get();
    p.monoPattern = brush->monoPattern;
    p.fore = ToPixel(PlainColor(dc.s.textColor));
    p.back = ToPixel(PlainColor(dc.s.bkColor));
  }
  return p;
}

bool ReadDevicePixel(const DeviceContext& dc, int x, int y, uint32_t* pixel) {
  for (const Piece& p : dc.Pieces()) {
    const int sx = x + p.origin.x, sy = y + p.origin.y;
    for (const RECT& r : p.visible)
      if (sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom) {
        if (p.sync && p.sync->ReadBitsPixel(sx, sy, pixel)) return true;
        *pixel = p.surface->Row(sy)[sx];
        return true;
      }
  }
  return false;
}

}  // namespace win::gdi
