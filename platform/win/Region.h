#pragma once
// Regions as sets of pixels: y-x banded rectangles, the form X11 regions
// and the XShape extension use. Each band is a run of rows with the same
// sorted, disjoint, non-touching x-spans; vertically adjacent bands always
// differ, so two equal pixel sets have equal representations.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win/GdiObject.h"
#include "platform/win/Types.h"

namespace win {

class Region {
public:
  struct Span {
    LONG left, right;
    friend bool operator==(const Span&, const Span&) = default;
  };
  struct Band {
    LONG top, bottom;
    std::vector<Span> spans;
    friend bool operator==(const Band&, const Band&) = default;
  };

  Region() = default;
  explicit Region(const RECT& r);
  static Region FromRect(LONG left, LONG top, LONG right, LONG bottom);
  // Corners are quarter ellipses of the given full width and height.
  static Region RoundRect(LONG left, LONG top, LONG right, LONG bottom, LONG ellipseWidth, LONG ellipseHeight);
  static Region Ellipse(LONG left, LONG top, LONG right, LONG bottom);
  // Pixels whose centres lie inside the polygon, by the even-odd
  // (alternate) or the non-zero winding rule.
  static Region Polygon(const POINT* points, int count, bool winding);
  static Region FromRects(const std::vector<RECT>& rects);

  bool Empty() const { return bands_.empty(); }
  // A single rectangle (or nothing).
  bool IsRect() const { return bands_.size() == 1 && bands_[0].spans.size() == 1; }
  RECT Bounds() const;
  bool Contains(LONG x, LONG y) const;
  bool Intersects(const RECT& r) const;
  // The non-overlapping rectangles, top to bottom and left to right.
  std::vector<RECT> Rects() const;
  const std::vector<Band>& Bands() const { return bands_; }

  Region Union(const Region& other) const;
  Region Intersect(const Region& other) const;
  Region Xor(const Region& other) const;
  Region Subtract(const Region& other) const;
  void Offset(LONG dx, LONG dy);
  Region Offsetted(LONG dx, LONG dy) const {
    Region r = *this;
    r.Offset(dx, dy);
    return r;
  }

  friend bool operator==(const Region&, const Region&) = default;

private:
  enum class Op { Union, Intersect, Xor, Subtract };
  static Region Combine(const Region& a, const Region& b, Op op);
  void AppendBand(LONG top, LONG bottom, std::vector<Span> spans);
  std::vector<Band> bands_;
};

// The drawing object behind an HRGN.
class RegionObject : public GdiObject {
public:
  RegionObject() = default;
  explicit RegionObject(Region r) : region(std::move(r)) {}
  GdiKind Kind() const override { return GdiKind::Region; }
  Region region;
};

// The region behind a handle, or null for a stale or foreign handle.
std::shared_ptr<RegionObject> FindRegion(HRGN hrgn);
HRGN CreateRegionHandle(Region region);

// clang-format off
inline constexpr int ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3, RGN_ERROR = ERROR;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;
inline constexpr int ALTERNATE = 1, WINDING = 2;
inline constexpr DWORD RDH_RECTANGLES = 1;
// clang-format on

// The region's kind as the HRGN calls report it.
int RegionKind(const Region& r);

struct RGNDATAHEADER {
  DWORD dwSize;
  DWORD iType;
  DWORD nCount;
  DWORD nRgnSize;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];  // nCount RECTs follow the header
};
static_assert(sizeof(RGNDATAHEADER) == 32);
struct XFORM {
  float eM11, eM12, eM21, eM22, eDx, eDy;
};

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateEllipticRgnIndirect(const RECT* rect);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
HRGN CreatePolyPolygonRgn(const POINT* points, const INT* counts, int polygons, int fillMode);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* rect);
int GetRgnBox(HRGN rgn, RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
// Only the identity transform (or none) is accepted.
HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data);
// With `data` null answers the bytes needed; otherwise fills `data` and
// answers `count`, or 0 when `count` is too small.
DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data);

}  // namespace win
