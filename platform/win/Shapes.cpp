#include "platform/win/Shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/PenBrush.h"
#include "platform/win/ShapeGeometry.h"

namespace win {

using namespace gdi;

namespace {

// Dash lengths of the cosmetic styles, on then off, in pixels.
const std::vector<int>& DashPattern(int style) {
  static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6}, dashDotDot{9, 3, 3, 3, 3, 3},
      alternate{1, 1}, none{};
  switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    case PS_ALTERNATE: return alternate;
    default: return none;
  }
}

// Draws with the DC's pen: thin lines pixel by pixel (styled lines keep
// their dash phase across the segments of one call), wide lines as
// polygons with round ends.
class PenDrawer {
public:
  PenDrawer(DeviceContext& dc, Raster& raster) : dc_(dc), raster_(raster), paint_(PenPaint(dc)) {
    if (paint_ && dc.s.pen) {
      width_ = dc.s.pen->width;
      pattern_ = &DashPattern(dc.s.pen->style);
      if (pattern_->empty()) pattern_ = nullptr;
      if (pattern_) {
        for (int v : *pattern_) period_ += v;
        if (dc.s.bkMode == OPAQUE) gap_ = SolidPaint(dc, dc.s.bkColor, dc.s.rop2);
      }
    }
  }
  bool Draws() const { return paint_.has_value(); }
  int Width() const { return width_; }

  // a and b are device points.
  void Segment(POINT a, POINT b) {
    if (!paint_) return;
    if (width_ > 1) {
      Wide(a, b);
      return;
    }
    if (!pattern_ && a.y == b.y) {
      const int x0 = std::min(a.x, b.x + 1), x1 = std::max(a.x + 1, b.x);
      // The end point is excluded whichever way the line runs.
      raster_.Span(a.y, a.x <= b.x ? a.x : b.x + 1, a.x <= b.x ? b.x : a.x + 1, *paint_);
      (void)x0, (void)x1;
      return;
    }
    LinePixels(a, b, [&](int x, int y) { Plot(x, y); });
  }

  // The last point of an open figure, for shapes whose outline must close.
  void Point(POINT p) {
    if (paint_ && width_ <= 1) Plot(p.x, p.y);
  }

private:
  void Plot(int x, int y) {
    if (pattern_) {
      int phase = phase_++ % period_;
      bool on = true;
      for (int v : *pattern_) {
        if (phase < v) break;
        phase -= v;
        on = !on;
      }
      if (!on) {
        if (gap_) raster_.Pixel(x, y, *gap_);
        return;
      }
    }
    raster_.Pixel(x, y, *paint_);
  }

  void Wide(POINT a, POINT b) {
    const double r = width_ / 2.0;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::hypot(dx, dy);
    // Pixel centres sit at +0.5: a wide line runs through the centres of
    // its end pixels.
    const PointF pa{a.x + 0.5, a.y + 0.5}, pb{b.x + 0.5, b.y + 0.5};
    std::vector<std::vector<PointF>> polys;
    const DWORD cap = dc_.s.pen ? (dc_.s.pen->fullStyle & 0xF00) : 0;
    if (len > 0) {
      const double nx = -dy / len * r, ny = dx / len * r;
      // Square ends reach half the width past the end points.
      const double ex = cap == static_cast<DWORD>(PS_ENDCAP_SQUARE) ? dx / len * r : 0;
      const double ey = cap == static_cast<DWORD>(PS_ENDCAP_SQUARE) ? dy / len * r : 0;
      polys.push_back({{pa.x - ex + nx, pa.y - ey + ny}, {pb.x + ex + nx, pb.y + ey + ny},
                       {pb.x + ex - nx, pb.y + ey - ny}, {pa.x - ex - nx, pa.y - ey - ny}});
    }
    if (cap != 0 && len > 0) {
      ScanPolygons(polys, WINDING, [&](int y, int x0, int x1) { raster_.Span(y, x0, x1, *paint_); });
      return;
    }
    for (const PointF& c : {pa, pb}) {
      std::vector<PointF> disc;
      for (int i = 0; i < 32; ++i) {
        const double t = i * 2 * std::numbers::pi / 32;
        disc.push_back({c.x + r * std::cos(t), c.y + r * std::sin(t)});
      }
      polys.push_back(std::move(disc));
    }
    ScanPolygons(polys, WINDING, [&](int y, int x0, int x1) { raster_.Span(y, x0, x1, *paint_); });
  }

  DeviceContext& dc_;
  Raster& raster_;
  std::optional<Paint> paint_;
  std::optional<Paint> gap_;
  const std::vector<int>* pattern_ = nullptr;
  int period_ = 0;
  int phase_ = 0;
  int width_ = 1;
};

RECT Normalized(int l, int t, int r, int b) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return {l, t, r, b};
}

// Pens are centred on a shape's outline except inside-frame pens, which
// shrink the figure so the whole pen stays inside the rectangle.
RECT PenBox(const DeviceContext& dc, RECT box, int width) {
  if (width <= 1) return box;
  if (dc.s.pen && dc.s.pen->style == PS_INSIDEFRAME) return box;
  const int lo = width / 2, hi = (width - 1) / 2;
  return {box.left - lo, box.top - lo, box.right + hi, box.bottom + hi};
}

// Fills the shape's interior with the brush and its outline (`width`
// pixels deep) with the pen.
void PaintShape(DeviceContext& dc, Raster& raster, const std::function<RowShape(const RECT&)>& make, RECT box) {
  const auto pen = PenPaint(dc);
  const auto brush = BrushPaint(dc);
  const int width = pen ? std::max(1, dc.s.pen->width) : 0;
  if (!pen) {
    // Without a pen the figure is one pixel smaller on the right and bottom.
    const RowShape shape = make(RECT{box.left, box.top, box.right - 1, box.bottom - 1});
    if (brush)
      for (size_t i = 0; i < shape.rows.size(); ++i)
        raster.Span(shape.top + static_cast<int>(i), shape.rows[i].left, shape.rows[i].right + 1, *brush);
    return;
  }
  const RECT outer = PenBox(dc, box, width);
  const RowShape shape = make(outer);
  if (width == 1) {
    OutlineAndInterior(
        shape, [&](int y, int x0, int x1) { raster.Span(y, x0, x1, *pen); },
        [&](int y, int x0, int x1) {
          if (brush) raster.Span(y, x0, x1, *brush);
        });
    return;
  }
  const RECT innerBox{outer.left + width, outer.top + width, outer.right - width, outer.bottom - width};
  RowShape inner;
  if (innerBox.right > innerBox.left && innerBox.bottom > innerBox.top) inner = make(innerBox);
  for (size_t i = 0; i < shape.rows.size(); ++i) {
    const int y = shape.top + static_cast<int>(i);
    const RowSpan o = shape.rows[i], in = inner.At(y);
    if (o.left > o.right) continue;
    if (in.left > in.right) {
      raster.Span(y, o.left, o.right + 1, *pen);
      continue;
    }
    raster.Span(y, o.left, in.left, *pen);
    if (brush) raster.Span(y, in.left, in.right + 1, *brush);
    raster.Span(y, in.right + 1, o.right + 1, *pen);
  }
}

template <class F>
BOOL Draw(HDC hdc, F f) {
  auto dc = FindDC(hdc);
  if (!dc) return FALSE;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  f(*dc, raster);
  return TRUE;
}

}  // namespace

BOOL MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  auto dc = FindDC(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->s.currentPos;
  dc->s.currentPos = {x, y};
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC hdc, POINT* position) {
  auto dc = FindDC(hdc);
  if (!dc) return FALSE;
  if (position) *position = dc->s.currentPos;
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    PenDrawer pen(dc, raster);
    pen.Segment(dc.ToDevice(dc.s.currentPos.x, dc.s.currentPos.y), dc.ToDevice(x, y));
    dc.s.currentPos = {x, y};
  });
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  if (!points || count < 2) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    PenDrawer pen(dc, raster);
    for (int i = 0; i + 1 < count; ++i)
      pen.Segment(dc.ToDevice(points[i].x, points[i].y), dc.ToDevice(points[i + 1].x, points[i + 1].y));
  });
}

BOOL PolylineTo(HDC hdc, const POINT* points, DWORD count) {
  if (!points || count < 1) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    PenDrawer pen(dc, raster);
    POINT from = dc.s.currentPos;
    for (DWORD i = 0; i < count; ++i) {
      pen.Segment(dc.ToDevice(from.x, from.y), dc.ToDevice(points[i].x, points[i].y));
      from = points[i];
    }
    dc.s.currentPos = from;
  });
}

namespace {

// Flattens cubic curves into device points, fine enough that neighbouring
// points are at most about a pixel apart.
std::vector<POINT> FlattenBeziers(const DeviceContext& dc, POINT start, const POINT* points, DWORD count) {
  std::vector<POINT> out{dc.ToDevice(start.x, start.y)};
  POINT p0 = start;
  for (DWORD i = 0; i + 2 < count; i += 3) {
    const POINT p1 = points[i], p2 = points[i + 1], p3 = points[i + 2];
    const double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                       std::hypot(p3.x - p2.x, p3.y - p2.y);
    const int steps = std::clamp(static_cast<int>(len / 2), 1, 1000);
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps, u = 1 - t;
      const double x = u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x;
      const double y = u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y;
      const POINT d = dc.ToDevice(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
      if (!(d == out.back())) out.push_back(d);
    }
    p0 = p3;
  }
  return out;
}

void DrawDevicePolyline(PenDrawer& pen, const std::vector<POINT>& pts) {
  for (size_t i = 0; i + 1 < pts.size(); ++i) pen.Segment(pts[i], pts[i + 1]);
}

}  // namespace

BOOL PolyBezier(HDC hdc, const POINT* points, DWORD count) {
  if (!points || count < 4 || (count - 1) % 3 != 0) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    PenDrawer pen(dc, raster);
    const std::vector<POINT> pts = FlattenBeziers(dc, points[0], points + 1, count - 1);
    DrawDevicePolyline(pen, pts);
    // Unlike a polyline, a Bézier includes its last point.
    pen.Point(pts.back());
  });
}

BOOL PolyBezierTo(HDC hdc, const POINT* points, DWORD count) {
  if (!points || count < 3 || count % 3 != 0) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    PenDrawer pen(dc, raster);
    const std::vector<POINT> pts = FlattenBeziers(dc, dc.s.currentPos, points, count);
    DrawDevicePolyline(pen, pts);
    pen.Point(pts.back());
    dc.s.currentPos = points[count - 1];
  });
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    const RECT box = dc.ToDevice(Normalized(left, top, right, bottom));
    PaintShape(dc, raster, [](const RECT& b) { return RoundRectShape(b, 0, 0); }, box);
  });
}

BOOL RoundRect(HDC hdc, int left, int top, int right, int bottom, int ew, int eh) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    const RECT box = dc.ToDevice(Normalized(left, top, right, bottom));
    PaintShape(dc, raster, [&](const RECT& b) { return RoundRectShape(b, std::abs(ew), std::abs(eh)); }, box);
  });
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    const RECT box = dc.ToDevice(Normalized(left, top, right, bottom));
    PaintShape(dc, raster, [](const RECT& b) { return EllipseShape(b); }, box);
  });
}

namespace {

BOOL PolygonsImpl(HDC hdc, const POINT* points, const INT* counts, int polygons) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    std::vector<std::vector<PointF>> polys;
    std::vector<std::vector<POINT>> device;
    const POINT* p = points;
    for (int i = 0; i < polygons; ++i) {
      std::vector<PointF> poly;
      std::vector<POINT> dev;
      for (int k = 0; k < counts[i]; ++k) {
        const POINT d = dc.ToDevice(p[k].x, p[k].y);
        poly.push_back({static_cast<double>(d.x), static_cast<double>(d.y)});
        dev.push_back(d);
      }
      p += counts[i];
      polys.push_back(std::move(poly));
      device.push_back(std::move(dev));
    }
    if (auto brush = BrushPaint(dc))
      ScanPolygons(polys, dc.s.polyFillMode, [&](int y, int x0, int x1) { raster.Span(y, x0, x1, *brush); });
    PenDrawer pen(dc, raster);
    for (const auto& dev : device) {
      for (size_t k = 0; k < dev.size(); ++k) pen.Segment(dev[k], dev[(k + 1) % dev.size()]);
    }
  });
}

}  // namespace

BOOL Polygon(HDC hdc, const POINT* points, int count) {
  if (!points || count < 2) return FALSE;
  return PolygonsImpl(hdc, points, &count, 1);
}

BOOL PolyPolygon(HDC hdc, const POINT* points, const INT* counts, int polygons) {
  if (!points || !counts || polygons < 1) return FALSE;
  for (int i = 0; i < polygons; ++i)
    if (counts[i] < 2) return FALSE;
  return PolygonsImpl(hdc, points, counts, polygons);
}

namespace {

enum class ArcKind { Arc, Pie, Chord };

BOOL ArcImpl(HDC hdc, ArcKind kind, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    const RECT box = dc.ToDevice(Normalized(l, t, r, b));
    const POINT s = dc.ToDevice(xs, ys), e = dc.ToDevice(xe, ye);
    const double cx = (box.left + box.right - 1) / 2.0, cy = (box.top + box.bottom - 1) / 2.0;
    // Angles in the screen's sense: counter-clockwise as seen, y down.
    auto angle = [&](double x, double y) { return std::atan2(-(y - cy), x - cx); };
    const double a0 = angle(s.x, s.y), a1 = angle(e.x, e.y);
    const bool clockwise = dc.s.arcDirection == AD_CLOCKWISE;
    const double twoPi = 2 * std::numbers::pi;
    auto norm = [&](double v) {
      v = std::fmod(v, twoPi);
      return v < 0 ? v + twoPi : v;
    };
    double sweep = clockwise ? norm(a0 - a1) : norm(a1 - a0);
    if (sweep == 0) sweep = twoPi;
    auto inSweep = [&](double x, double y) {
      const double a = angle(x, y);
      return (clockwise ? norm(a0 - a) : norm(a - a0)) <= sweep + 1e-9;
    };
    const RowShape shape = EllipseShape(box);
    const auto pen = PenPaint(dc);
    const auto brush = kind == ArcKind::Arc ? std::nullopt : BrushPaint(dc);
    // End points of the arc on the ellipse, for the straight edges.
    auto onEllipse = [&](double a) {
      const double rx = (box.right - box.left - 1) / 2.0, ry = (box.bottom - box.top - 1) / 2.0;
      return POINT{static_cast<int>(std::lround(cx + rx * std::cos(a))), static_cast<int>(std::lround(cy - ry * std::sin(a)))};
    };
    const POINT ps = onEllipse(a0), pe = onEllipse(a1);
    // Which side of the chord the filled segment lies on.
    auto chordSide = [&](double x, double y) { return (pe.x - ps.x) * (y - ps.y) - (pe.y - ps.y) * (x - ps.x); };
    const double midA = clockwise ? a0 - sweep / 2 : a0 + sweep / 2;
    const POINT mid = onEllipse(midA);
    const double midSide = chordSide(mid.x, mid.y);
    if (brush) {
      OutlineAndInterior(shape, nullptr, [&](int y, int x0, int x1) {
        for (int x = x0; x < x1; ++x) {
          const bool inside = kind == ArcKind::Pie ? inSweep(x, y) : chordSide(x, y) * midSide > 0;
          if (inside) raster.Pixel(x, y, *brush);
        }
      });
    }
    if (pen) {
      OutlineAndInterior(
          shape,
          [&](int y, int x0, int x1) {
            for (int x = x0; x < x1; ++x)
              if (inSweep(x, y)) raster.Pixel(x, y, *pen);
          },
          nullptr);
      PenDrawer drawer(dc, raster);
      const POINT centre{static_cast<int>(std::lround(cx)), static_cast<int>(std::lround(cy))};
      if (kind == ArcKind::Pie) {
        drawer.Segment(pe, centre);
        drawer.Segment(centre, ps);
      } else if (kind == ArcKind::Chord) {
        drawer.Segment(pe, ps);
      }
    }
  });
}

}  // namespace

BOOL Arc(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return ArcImpl(hdc, ArcKind::Arc, l, t, r, b, xs, ys, xe, ye);
}
BOOL Pie(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return ArcImpl(hdc, ArcKind::Pie, l, t, r, b, xs, ys, xe, ye);
}
BOOL Chord(HDC hdc, int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  return ArcImpl(hdc, ArcKind::Chord, l, t, r, b, xs, ys, xe, ye);
}

namespace gdi {

// A brush handle, or a system colour index + 1 in its place.
std::shared_ptr<Brush> ResolveBrush(HBRUSH brush);

}  // namespace gdi

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  auto b = ResolveBrush(brush);
  if (!rect || !b) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    auto paint = BrushPaint(dc, b.get());
    if (!paint) return;
    paint->rop2 = R2_COPYPEN;  // FillRect ignores the mix mode
    raster.Rect(dc.ToDevice(*rect), *paint);
  });
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  auto b = ResolveBrush(brush);
  if (!rect || !b) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    auto paint = BrushPaint(dc, b.get());
    if (!paint) return;
    paint->rop2 = R2_COPYPEN;
    const RECT r = dc.ToDevice(*rect);
    if (r.right <= r.left || r.bottom <= r.top) return;
    raster.Rect({r.left, r.top, r.right, r.top + 1}, *paint);
    if (r.bottom - 1 > r.top) raster.Rect({r.left, r.bottom - 1, r.right, r.bottom}, *paint);
    raster.Rect({r.left, r.top + 1, r.left + 1, r.bottom - 1}, *paint);
    if (r.right - 1 > r.left) raster.Rect({r.right - 1, r.top + 1, r.right, r.bottom - 1}, *paint);
  });
}

BOOL InvertRect(HDC hdc, const RECT* rect) {
  if (!rect) return FALSE;
  return Draw(hdc, [&](DeviceContext& dc, Raster& raster) {
    raster.Rect(dc.ToDevice(*rect), SolidPaint(dc, 0, R2_NOT));
  });
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  auto dc = FindDC(hdc);
  if (!dc) return CLR_INVALID;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  const POINT d = dc->ToDevice(x, y);
  uint32_t before;
  if (!ReadDevicePixel(*dc, d.x, d.y, &before)) return CLR_INVALID;
  raster.Pixel(d.x, d.y, SolidPaint(*dc, color));
  uint32_t after = 0;
  ReadDevicePixel(*dc, d.x, d.y, &after);
  return ToColorRef(after);
}

BOOL SetPixelV(HDC hdc, int x, int y, COLORREF color) { return SetPixel(hdc, x, y, color) != CLR_INVALID; }

COLORREF GetPixel(HDC hdc, int x, int y) {
  auto dc = FindDC(hdc);
  if (!dc) return CLR_INVALID;
  DrawScope scope(*dc, false);
  const POINT d = dc->ToDevice(x, y);
  uint32_t pixel;
  if (!ReadDevicePixel(*dc, d.x, d.y, &pixel)) return CLR_INVALID;
  return ToColorRef(pixel);
}

}  // namespace win
