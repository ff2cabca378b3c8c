#include "platform/win/ShapeGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace win::gdi {

namespace {

// Inset of row i (0 = top) of an ellipse `width` x `height` pixels, from
// its left edge. Rows mirror about the middle, so the shape is symmetric.
std::vector<int> EllipseInsets(int width, int height) {
  std::vector<int> insets(static_cast<size_t>(std::max(height, 0)), 0);
  if (width <= 0 || height <= 0) return insets;
  const double a = width / 2.0, b = height / 2.0;
  for (int i = 0; i < (height + 1) / 2; ++i) {
    // The row's centre line, measured from the ellipse's centre.
    const double dy = b - (i + 0.5);
    const double t = 1.0 - (dy * dy) / (b * b);
    const double half = t > 0 ? a * std::sqrt(t) : 0.0;
    int inset = static_cast<int>(std::lround(a - half));
    inset = std::clamp(inset, 0, (width - 1) / 2);
    insets[static_cast<size_t>(i)] = inset;
    insets[static_cast<size_t>(height - 1 - i)] = inset;
  }
  return insets;
}

}  // namespace

RowShape EllipseShape(const RECT& box) {
  RowShape s;
  s.top = box.top;
  const int w = box.right - box.left, h = box.bottom - box.top;
  const std::vector<int> insets = EllipseInsets(w, h);
  for (int i = 0; i < h; ++i) s.rows.push_back({box.left + insets[static_cast<size_t>(i)], box.right - 1 - insets[static_cast<size_t>(i)]});
  return s;
}

RowShape RoundRectShape(const RECT& box, int ew, int eh) {
  const int w = box.right - box.left, h = box.bottom - box.top;
  ew = std::clamp(ew, 0, w);
  eh = std::clamp(eh, 0, h);
  RowShape s;
  s.top = box.top;
  if (ew < 2 || eh < 2) {
    for (int i = 0; i < h; ++i) s.rows.push_back({box.left, box.right - 1});
    return s;
  }
  const std::vector<int> insets = EllipseInsets(ew, eh);
  const int topRows = eh / 2, bottomRows = eh - eh / 2;
  for (int i = 0; i < h; ++i) {
    int inset = 0;
    if (i < topRows) inset = insets[static_cast<size_t>(i)];
    else if (i >= h - bottomRows) inset = insets[static_cast<size_t>(eh - (h - i))];
    s.rows.push_back({box.left + inset, box.right - 1 - inset});
  }
  return s;
}

void OutlineAndInterior(const RowShape& shape, const std::function<void(int, int, int)>& outline,
                        const std::function<void(int, int, int)>& interior) {
  const int n = static_cast<int>(shape.rows.size());
  for (int i = 0; i < n; ++i) {
    const int y = shape.top + i;
    const RowSpan cur = shape.rows[static_cast<size_t>(i)];
    if (cur.left > cur.right) continue;
    const RowSpan up = shape.At(y - 1), down = shape.At(y + 1);
    int il = cur.left + 1, ir = cur.right - 1;
    if (up.left > up.right || down.left > down.right) {
      il = 1, ir = 0;  // top or bottom row: all outline
    } else {
      il = std::max({il, up.left, down.left});
      ir = std::min({ir, up.right, down.right});
    }
    if (il > ir) {
      if (outline) outline(y, cur.left, cur.right + 1);
      continue;
    }
    if (outline) {
      outline(y, cur.left, il);
      if (ir < cur.right) outline(y, ir + 1, cur.right + 1);
    }
    if (interior) interior(y, il, ir + 1);
  }
}

void ScanPolygons(const std::vector<std::vector<PointF>>& polygons, int fillMode,
                  const std::function<void(int, int, int)>& span) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double minY = 1e18, maxY = -1e18;
  for (const auto& poly : polygons) {
    const size_t n = poly.size();
    if (n < 3) continue;
    for (size_t i = 0; i < n; ++i) {
      const PointF a = poly[i], b = poly[(i + 1) % n];
      if (a.y == b.y) continue;
      if (a.y < b.y) edges.push_back({a.x, a.y, b.x, b.y, 1});
      else edges.push_back({b.x, b.y, a.x, a.y, -1});
      minY = std::min({minY, a.y, b.y});
      maxY = std::max({maxY, a.y, b.y});
    }
  }
  if (edges.empty()) return;
  const int yStart = static_cast<int>(std::ceil(minY - 0.5));
  const int yEnd = static_cast<int>(std::ceil(maxY - 0.5));
  std::vector<std::pair<double, int>> xs;
  for (int y = yStart; y < yEnd; ++y) {
    const double cy = y + 0.5;
    xs.clear();
    for (const Edge& e : edges) {
      if (cy < e.y0 || cy >= e.y1) continue;
      xs.push_back({e.x0 + (cy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir});
    }
    std::sort(xs.begin(), xs.end());
    int winding = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      winding += fillMode == 2 ? xs[i].second : 1;
      const bool inside = fillMode == 2 ? winding != 0 : (winding & 1) != 0;
      if (!inside) continue;
      const int x0 = static_cast<int>(std::ceil(xs[i].first - 0.5));
      const int x1 = static_cast<int>(std::ceil(xs[i + 1].first - 0.5));
      if (x1 > x0) span(y, x0, x1);
    }
  }
}

void LinePixels(POINT a, POINT b, const std::function<void(int, int)>& plot) {
  const int dx = std::abs(b.x - a.x), dy = std::abs(b.y - a.y);
  const int sx = b.x >= a.x ? 1 : -1, sy = b.y >= a.y ? 1 : -1;
  int x = a.x, y = a.y;
  if (dx >= dy) {
    int err = 2 * dy - dx;
    for (int i = 0; i < dx; ++i) {
      plot(x, y);
      // Ties step on the minor axis only when moving right or down, so a
      // line and its reverse pick the same pixels where they can.
      if (err > 0 || (err == 0 && sx > 0)) {
        y += sy;
        err -= 2 * dx;
      }
      err += 2 * dy;
      x += sx;
    }
  } else {
    int err = 2 * dx - dy;
    for (int i = 0; i < dy; ++i) {
      plot(x, y);
      if (err > 0 || (err == 0 && sy > 0)) {
        x += sx;
        err -= 2 * dy;
      }
      err += 2 * dx;
      y += sy;
    }
  }
}

}  // namespace win::gdi
