#pragma once
// Geometry shared by the shape, region and text painters: rows of spans
// for ellipses and rounded rectangles, polygon scan conversion, thin lines.
#include <functional>
#include <vector>

#include "platform/win/Types.h"

namespace win::gdi {

// One row of a convex-per-row shape: x from `left` to `right` inclusive
// (empty when left > right).
struct RowSpan {
  int left = 0;
  int right = -1;
};

// A shape given as one span per row, rows top..top+size-1.
struct RowShape {
  int top = 0;
  std::vector<RowSpan> rows;
  RowSpan At(int y) const {
    const int i = y - top;
    return i >= 0 && i < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(i)] : RowSpan{};
  }
};

// The pixels of an ellipse inscribed in [left, right) x [top, bottom).
RowShape EllipseShape(const RECT& box);
// A rectangle [left, right) x [top, bottom) with quarter-ellipse corners of
// the given full width and height.
RowShape RoundRectShape(const RECT& box, int ellipseWidth, int ellipseHeight);
// Splits each row into the outline (pixels with a 4-neighbour outside the
// shape) and the interior.
void OutlineAndInterior(const RowShape& shape, const std::function<void(int y, int x0, int x1)>& outline,
                        const std::function<void(int y, int x0, int x1)>& interior);

struct PointF {
  double x = 0, y = 0;
};
// Fills pixels whose centres lie inside the polygons (ALTERNATE = 1 or
// WINDING = 2); spans are [x0, x1).
void ScanPolygons(const std::vector<std::vector<PointF>>& polygons, int fillMode,
                  const std::function<void(int y, int x0, int x1)>& span);

// The pixels of a one-pixel line from a to b, the end point excluded.
void LinePixels(POINT a, POINT b, const std::function<void(int x, int y)>& plot);

}  // namespace win::gdi
