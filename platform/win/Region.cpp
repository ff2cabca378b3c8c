#include "platform/win/Region.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace win {
namespace {

using Span = Region::Span;

// The spans of one row set combined under `op`, by a sweep over the x
// boundaries of both inputs.
template <class Keep>
std::vector<Span> combineSpans(const std::vector<Span>& a, const std::vector<Span>& b, Keep keep) {
  std::vector<LONG> xs;
  xs.reserve((a.size() + b.size()) * 2);
  for (const auto& s : a) xs.push_back(s.left), xs.push_back(s.right);
  for (const auto& s : b) xs.push_back(s.left), xs.push_back(s.right);
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::vector<Span> out;
  size_t ia = 0, ib = 0;
  for (size_t i = 0; i + 1 < xs.size(); ++i) {
    const LONG x0 = xs[i], x1 = xs[i + 1];
    while (ia < a.size() && a[ia].right <= x0) ++ia;
    while (ib < b.size() && b[ib].right <= x0) ++ib;
    const bool inA = ia < a.size() && a[ia].left <= x0;
    const bool inB = ib < b.size() && b[ib].left <= x0;
    if (!keep(inA, inB)) continue;
    if (!out.empty() && out.back().right == x0) {
      out.back().right = x1;
    } else {
      out.push_back({x0, x1});
    }
  }
  return out;
}

const std::vector<Span>* spansAt(const std::vector<Region::Band>& bands, size_t& cursor, LONG y) {
  while (cursor < bands.size() && bands[cursor].bottom <= y) ++cursor;
  if (cursor < bands.size() && bands[cursor].top <= y) return &bands[cursor].spans;
  return nullptr;
}

LONG roundHalfUp(double v) { return static_cast<LONG>(std::floor(v + 0.5)); }

}  // namespace

Region::Region(const RECT& r) {
  if (r.right > r.left && r.bottom > r.top) bands_.push_back({r.top, r.bottom, {{r.left, r.right}}});
}

Region Region::FromRect(LONG left, LONG top, LONG right, LONG bottom) {
  return Region(RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)});
}

void Region::AppendBand(LONG top, LONG bottom, std::vector<Span> spans) {
  if (spans.empty() || bottom <= top) return;
  if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
    bands_.back().bottom = bottom;
    return;
  }
  bands_.push_back({top, bottom, std::move(spans)});
}

Region Region::FromRects(const std::vector<RECT>& rects) {
  // Pairwise, so a shape of a thousand runs is not a thousand unions with
  // an ever larger region.
  std::vector<Region> parts;
  parts.reserve(rects.size());
  for (const auto& r : rects) parts.emplace_back(r);
  if (parts.empty()) return Region();
  while (parts.size() > 1) {
    size_t k = 0;
    for (size_t i = 0; i < parts.size(); i += 2)
      parts[k++] = i + 1 < parts.size() ? parts[i].Union(parts[i + 1]) : std::move(parts[i]);
    parts.resize(k);
  }
  return std::move(parts[0]);
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
  std::vector<LONG> ys;
  for (const auto& band : a.bands_) ys.push_back(band.top), ys.push_back(band.bottom);
  for (const auto& band : b.bands_) ys.push_back(band.top), ys.push_back(band.bottom);
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  static const std::vector<Span> none;
  Region out;
  size_t ca = 0, cb = 0;
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    const auto* sa = spansAt(a.bands_, ca, ys[i]);
    const auto* sb = spansAt(b.bands_, cb, ys[i]);
    if (!sa && !sb) continue;
    std::vector<Span> spans;
    switch (op) {
      case Op::Union:
        spans = combineSpans(sa ? *sa : none, sb ? *sb : none, [](bool x, bool y) { return x || y; });
        break;
      case Op::Intersect:
        if (sa && sb) spans = combineSpans(*sa, *sb, [](bool x, bool y) { return x && y; });
        break;
      case Op::Xor:
        spans = combineSpans(sa ? *sa : none, sb ? *sb : none, [](bool x, bool y) { return x != y; });
        break;
      case Op::Subtract:
        if (sa) spans = combineSpans(*sa, sb ? *sb : none, [](bool x, bool y) { return x && !y; });
        break;
    }
    out.AppendBand(ys[i], ys[i + 1], std::move(spans));
  }
  return out;
}

Region Region::Union(const Region& o) const { return Combine(*this, o, Op::Union); }
Region Region::Intersect(const Region& o) const { return Combine(*this, o, Op::Intersect); }
Region Region::Xor(const Region& o) const { return Combine(*this, o, Op::Xor); }
Region Region::Subtract(const Region& o) const { return Combine(*this, o, Op::Subtract); }

void Region::Offset(LONG dx, LONG dy) {
  for (auto& band : bands_) {
    band.top += dy;
    band.bottom += dy;
    for (auto& s : band.spans) s.left += dx, s.right += dx;
  }
}

RECT Region::Bounds() const {
  if (bands_.empty()) return {};
  RECT r{INT32_MAX, bands_.front().top, INT32_MIN, bands_.back().bottom};
  for (const auto& band : bands_) {
    r.left = std::min(r.left, band.spans.front().left);
    r.right = std::max(r.right, band.spans.back().right);
  }
  return r;
}

bool Region::Contains(LONG x, LONG y) const {
  for (const auto& band : bands_) {
    if (y < band.top) return false;
    if (y >= band.bottom) continue;
    for (const auto& s : band.spans) {
      if (x < s.left) return false;
      if (x < s.right) return true;
    }
    return false;
  }
  return false;
}

bool Region::Intersects(const RECT& r) const {
  if (r.right <= r.left || r.bottom <= r.top) return false;
  for (const auto& band : bands_) {
    if (band.bottom <= r.top) continue;
    if (band.top >= r.bottom) break;
    for (const auto& s : band.spans)
      if (s.right > r.left && s.left < r.right) return true;
  }
  return false;
}

std::vector<RECT> Region::Rects() const {
  std::vector<RECT> out;
  for (const auto& band : bands_)
    for (const auto& s : band.spans) out.push_back({s.left, band.top, s.right, band.bottom});
  return out;
}

Region Region::RoundRect(LONG left, LONG top, LONG right, LONG bottom, LONG ew, LONG eh) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  const LONG w = right - left, h = bottom - top;
  if (w <= 0 || h <= 0) return {};
  ew = std::clamp<LONG>(std::abs(ew), 0, w);
  eh = std::clamp<LONG>(std::abs(eh), 0, h);
  if (ew < 2 || eh < 2) return FromRect(left, top, right, bottom);
  const double rx = ew / 2.0, ry = eh / 2.0;
  Region out;
  for (LONG y = top; y < bottom; ++y) {
    // Distance of the row's centre from the nearer corner ellipse's centre
    // line, when the row crosses a corner.
    const double cyTop = top + ry, cyBottom = bottom - ry;
    const double yc = y + 0.5;
    double dy = 0;
    if (yc < cyTop) dy = cyTop - yc;
    else if (yc > cyBottom) dy = yc - cyBottom;
    LONG inset = 0;
    if (dy > 0) {
      const double t = std::max(0.0, 1.0 - (dy / ry) * (dy / ry));
      inset = roundHalfUp(rx - rx * std::sqrt(t));
    }
    if (left + inset < right - inset) out.AppendBand(y, y + 1, {{left + inset, right - inset}});
  }
  return out;
}

Region Region::Ellipse(LONG left, LONG top, LONG right, LONG bottom) {
  return RoundRect(left, top, right, bottom, std::abs(right - left), std::abs(bottom - top));
}

Region Region::Polygon(const POINT* pts, int count, bool winding) {
  if (!pts || count < 3) return {};
  LONG minY = pts[0].y, maxY = pts[0].y;
  for (int i = 1; i < count; ++i) minY = std::min(minY, pts[i].y), maxY = std::max(maxY, pts[i].y);
  Region out;
  struct Crossing {
    double x;
    int dir;
  };
  std::vector<Crossing> xs;
  for (LONG y = minY; y < maxY; ++y) {
    const double yc = y + 0.5;
    xs.clear();
    for (int i = 0; i < count; ++i) {
      const POINT& p = pts[i];
      const POINT& q = pts[(i + 1) % count];
      if (p.y == q.y) continue;
      const bool down = q.y > p.y;
      const double y0 = down ? p.y : q.y, y1 = down ? q.y : p.y;
      if (yc < y0 || yc >= y1) continue;
      const double x = p.x + (yc - p.y) * static_cast<double>(q.x - p.x) / static_cast<double>(q.y - p.y);
      xs.push_back({x, down ? 1 : -1});
    }
    std::sort(xs.begin(), xs.end(), [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
    std::vector<Span> spans;
    int wind = 0;
    for (size_t i = 0; i + 1 < xs.size(); ++i) {
      wind += xs[i].dir;
      const bool inside = winding ? wind != 0 : (i % 2 == 0);
      if (!inside) continue;
      // Pixels whose centres fall in [x0, x1).
      const LONG a = static_cast<LONG>(std::ceil(xs[i].x - 0.5));
      const LONG b = static_cast<LONG>(std::ceil(xs[i + 1].x - 0.5));
      if (a >= b) continue;
      if (!spans.empty() && spans.back().right >= a) {
        spans.back().right = std::max(spans.back().right, b);
      } else {
        spans.push_back({a, b});
      }
    }
    out.AppendBand(y, y + 1, std::move(spans));
  }
  return out;
}

int RegionKind(const Region& r) { return r.Empty() ? NULLREGION : (r.IsRect() ? SIMPLEREGION : COMPLEXREGION); }

std::shared_ptr<RegionObject> FindRegion(HRGN hrgn) { return FindGdiObject<RegionObject>(hrgn); }

HRGN CreateRegionHandle(Region region) {
  return static_cast<HRGN>(AddGdiObject(std::make_shared<RegionObject>(std::move(region))));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return CreateRegionHandle(Region::FromRect(left, top, right, bottom));
}

HRGN CreateRectRgnIndirect(const RECT* r) {
  return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ew, int eh) {
  return CreateRegionHandle(Region::RoundRect(left, top, right, bottom, ew, eh));
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return CreateRegionHandle(Region::Ellipse(left, top, right, bottom));
}

HRGN CreateEllipticRgnIndirect(const RECT* r) {
  return r ? CreateEllipticRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 0 || (fillMode != ALTERNATE && fillMode != WINDING)) return nullptr;
  return CreateRegionHandle(Region::Polygon(points, count, fillMode == WINDING));
}

HRGN CreatePolyPolygonRgn(const POINT* points, const INT* counts, int polygons, int fillMode) {
  if (!points || !counts || polygons <= 0 || (fillMode != ALTERNATE && fillMode != WINDING)) return nullptr;
  // Every polygon's edges take part in one scan, so the rule applies across
  // polygons as the platform does: with alternate filling, two overlapping
  // polygons leave their overlap empty.
  Region out;
  if (fillMode == ALTERNATE) {
    const POINT* p = points;
    for (int i = 0; i < polygons; ++i) {
      out = out.Xor(Region::Polygon(p, counts[i], false));
      p += counts[i];
    }
  } else {
    const POINT* p = points;
    for (int i = 0; i < polygons; ++i) {
      out = out.Union(Region::Polygon(p, counts[i], true));
      p += counts[i];
    }
  }
  return CreateRegionHandle(std::move(out));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  auto d = FindRegion(dest);
  auto a = FindRegion(src1);
  if (!d || !a) return ERROR;
  if (mode == RGN_COPY) {
    d->region = a->region;
    return RegionKind(d->region);
  }
  auto b = FindRegion(src2);
  if (!b) return ERROR;
  switch (mode) {
    case RGN_AND: d->region = a->region.Intersect(b->region); break;
    case RGN_OR: d->region = a->region.Union(b->region); break;
    case RGN_XOR: d->region = a->region.Xor(b->region); break;
    case RGN_DIFF: d->region = a->region.Subtract(b->region); break;
    default: return ERROR;
  }
  return RegionKind(d->region);
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
  auto r = FindRegion(rgn);
  if (!r) return ERROR;
  r->region.Offset(dx, dy);
  return RegionKind(r->region);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
  auto r = FindRegion(rgn);
  return r && r->region.Contains(x, y) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
  auto r = FindRegion(rgn);
  if (!r || !rect) return FALSE;
  RECT n{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom), std::max(rect->left, rect->right),
         std::max(rect->top, rect->bottom)};
  return r->region.Intersects(n) ? TRUE : FALSE;
}

int GetRgnBox(HRGN rgn, RECT* rect) {
  auto r = FindRegion(rgn);
  if (!r || !rect) return ERROR;
  *rect = r->region.Bounds();
  return RegionKind(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
  auto ra = FindRegion(a), rb = FindRegion(b);
  if (!ra || !rb) return ERROR;
  return ra->region == rb->region ? TRUE : FALSE;
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
  auto r = FindRegion(rgn);
  if (!r) return FALSE;
  r->region = Region::FromRect(left, top, right, bottom);
  return TRUE;
}

HRGN ExtCreateRegion(const XFORM* xform, DWORD count, const RGNDATA* data) {
  if (!data || count < sizeof(RGNDATAHEADER)) return nullptr;
  if (xform && (xform->eM11 != 1 || xform->eM12 != 0 || xform->eM21 != 0 || xform->eM22 != 1 || xform->eDx != 0 ||
                xform->eDy != 0))
    return nullptr;
  const RGNDATAHEADER& h = data->rdh;
  if (h.dwSize != sizeof(RGNDATAHEADER) || h.iType != RDH_RECTANGLES) return nullptr;
  if (count < sizeof(RGNDATAHEADER) + static_cast<uint64_t>(h.nCount) * sizeof(RECT)) return nullptr;
  std::vector<RECT> rects(h.nCount);
  if (h.nCount) std::memcpy(rects.data(), data->Buffer, h.nCount * sizeof(RECT));
  return CreateRegionHandle(Region::FromRects(rects));
}

DWORD GetRegionData(HRGN rgn, DWORD count, RGNDATA* data) {
  auto r = FindRegion(rgn);
  if (!r) return 0;
  const auto rects = r->region.Rects();
  const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  if (!data) return needed;
  if (count < needed) return 0;
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(rects.size());
  data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  data->rdh.rcBound = r->region.Bounds();
  if (!rects.empty()) std::memcpy(data->Buffer, rects.data(), rects.size() * sizeof(RECT));
  return count;
}

}  // namespace win
