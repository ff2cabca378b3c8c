// Clip areas as lists of disjoint rectangles: small enough for the clips
// programs set (a few rectangles), and every span test is a loop over them.
#include <algorithm>
#include <climits>

#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"

namespace win::gdi {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) return {};
  return r;
}

RECT Offset(RECT r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

RectList IntersectList(const RectList& a, const RECT& r) {
  RectList out;
  for (const RECT& x : a) {
    const RECT i = Intersect(x, r);
    if (!IsEmpty(i)) out.push_back(i);
  }
  return out;
}

RectList IntersectLists(const RectList& a, const RectList& b) {
  RectList out;
  for (const RECT& x : a)
    for (const RECT& y : b) {
      const RECT i = Intersect(x, y);
      if (!IsEmpty(i)) out.push_back(i);
    }
  return out;
}

RectList SubtractRect(const RectList& a, const RECT& r) {
  if (IsEmpty(r)) return a;
  RectList out;
  for (const RECT& x : a) {
    const RECT i = Intersect(x, r);
    if (IsEmpty(i)) {
      out.push_back(x);
      continue;
    }
    // Up to four pieces: the bands above and below, then left and right.
    if (x.top < i.top) out.push_back({x.left, x.top, x.right, i.top});
    if (i.bottom < x.bottom) out.push_back({x.left, i.bottom, x.right, x.bottom});
    if (x.left < i.left) out.push_back({x.left, i.top, i.left, i.bottom});
    if (i.right < x.right) out.push_back({i.right, i.top, x.right, i.bottom});
  }
  return out;
}

RECT Bounds(const RectList& a) {
  RECT b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  bool any = false;
  for (const RECT& r : a) {
    if (IsEmpty(r)) continue;
    any = true;
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return any ? b : RECT{};
}

int RegionKind(const RectList& a) {
  int count = 0;
  for (const RECT& r : a) count += IsEmpty(r) ? 0 : 1;
  if (count == 0) return NULLREGION;
  if (count == 1) return SIMPLEREGION;
  // Several rectangles that tile their bounds exactly still make one.
  const RECT b = Bounds(a);
  long long area = 0;
  for (const RECT& r : a) area += static_cast<long long>(r.Width()) * r.Height();
  return area == static_cast<long long>(b.Width()) * b.Height() ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace win::gdi
