#include "platform/win/Gradient.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/win/GdiInternal.h"
#include "platform/win/ShapeGeometry.h"

namespace win {

using namespace gdi;

namespace {

std::atomic<bool> g_available{true};

uint32_t Pack(double r, double g, double b, double a) {
  auto ch = [](double v) { return static_cast<uint32_t>(std::clamp(static_cast<int>(v) >> 8, 0, 255)); };
  return (ch(a) << 24) | (ch(r) << 16) | (ch(g) << 8) | ch(b);
}

}  // namespace

void SetGradientFillAvailable(bool available) { g_available = available; }

BOOL GradientFill(HDC hdc, const TRIVERTEX* v, uint32_t vertexCount, const void* mesh, uint32_t meshCount,
                  uint32_t mode) {
  if (!g_available) return FALSE;
  auto dc = FindDC(hdc);
  if (!dc || !v || !mesh || mode > GRADIENT_FILL_TRIANGLE) return FALSE;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  const bool mono = dc->Monochrome();
  if (mode != GRADIENT_FILL_TRIANGLE) {
    const auto* rects = static_cast<const GRADIENT_RECT32*>(mesh);
    for (uint32_t i = 0; i < meshCount; ++i) {
      if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) return FALSE;
      TRIVERTEX a = v[rects[i].UpperLeft], b = v[rects[i].LowerRight];
      // The vertices may come in either order; colours follow them.
      const bool horizontal = mode == GRADIENT_FILL_RECT_H;
      if ((horizontal && a.x > b.x) || (!horizontal && a.y > b.y)) std::swap(a, b);
      const POINT p0 = dc->ToDevice(std::min(a.x, b.x), std::min(a.y, b.y));
      const POINT p1 = dc->ToDevice(std::max(a.x, b.x), std::max(a.y, b.y));
      const int extent = horizontal ? p1.x - p0.x : p1.y - p0.y;
      if (extent <= 0 || p1.x <= p0.x || p1.y <= p0.y) continue;
      for (int y = p0.y; y < p1.y; ++y) {
        raster.ForEachSpan(y, p0.x, p1.x, [&](uint32_t* d, int n, int x, int) {
          for (int k = 0; k < n; ++k) {
            const int step = horizontal ? x + k - p0.x : y - p0.y;
            auto lerp = [&](COLOR16 c0, COLOR16 c1) { return c0 + (static_cast<double>(c1) - c0) * step / extent; };
            const uint32_t c = Pack(lerp(a.Red, b.Red), lerp(a.Green, b.Green), lerp(a.Blue, b.Blue), lerp(a.Alpha, b.Alpha));
            d[k] = mono ? ToMono(c) : c;
          }
        });
      }
    }
    return TRUE;
  }
  const auto* tris = static_cast<const GRADIENT_TRIANGLE*>(mesh);
  for (uint32_t i = 0; i < meshCount; ++i) {
    if (tris[i].Vertex1 >= vertexCount || tris[i].Vertex2 >= vertexCount || tris[i].Vertex3 >= vertexCount) return FALSE;
    const TRIVERTEX& a = v[tris[i].Vertex1];
    const TRIVERTEX& b = v[tris[i].Vertex2];
    const TRIVERTEX& c = v[tris[i].Vertex3];
    const POINT da = dc->ToDevice(a.x, a.y), db = dc->ToDevice(b.x, b.y), dcp = dc->ToDevice(c.x, c.y);
    const double det = static_cast<double>(db.x - da.x) * (dcp.y - da.y) - static_cast<double>(dcp.x - da.x) * (db.y - da.y);
    if (det == 0) continue;
    std::vector<std::vector<PointF>> poly{{{double(da.x), double(da.y)}, {double(db.x), double(db.y)}, {double(dcp.x), double(dcp.y)}}};
    ScanPolygons(poly, 2, [&](int y, int x0, int x1) {
      raster.ForEachSpan(y, x0, x1, [&](uint32_t* d, int n, int x, int) {
        for (int k = 0; k < n; ++k) {
          // Barycentric weights at the pixel, clamped so edge pixels keep
          // within the corner colours.
          const double px = x + k, py = y;
          double wb = ((px - da.x) * (dcp.y - da.y) - (dcp.x - da.x) * (py - da.y)) / det;
          double wc = ((db.x - da.x) * (py - da.y) - (px - da.x) * (db.y - da.y)) / det;
          wb = std::clamp(wb, 0.0, 1.0);
          wc = std::clamp(wc, 0.0, 1.0 - wb);
          const double wa = 1.0 - wb - wc;
          auto mix = [&](COLOR16 ca, COLOR16 cb, COLOR16 cc) { return wa * ca + wb * cb + wc * cc; };
          const uint32_t col = Pack(mix(a.Red, b.Red, c.Red), mix(a.Green, b.Green, c.Green), mix(a.Blue, b.Blue, c.Blue),
                                    mix(a.Alpha, b.Alpha, c.Alpha));
          d[k] = mono ? ToMono(col) : col;
        }
      });
    });
  }
  return TRUE;
}

}  // namespace win
