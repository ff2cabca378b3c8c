// Clip regions selected into DCs, and regions painted through them.
#include "platform/win/Dc.h"
#include "platform/win/GdiInternal.h"
#include "platform/win/Region.h"
#include "platform/win/Shapes.h"

namespace win {

using namespace gdi;

namespace {

// The whole device plane, standing in for "no clip" in combinations.
constexpr RECT kEverything{-(1 << 27), -(1 << 27), 1 << 27, 1 << 27};

}  // namespace

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode) {
  auto dc = FindDC(hdc);
  if (!dc) return ERROR;
  if (!region) {
    if (mode != RGN_COPY) return ERROR;
    dc->s.clip.reset();
  } else {
    auto r = FindRegion(region);
    if (!r || mode < RGN_AND || mode > RGN_COPY) return ERROR;
    const Region current = Region::FromRects(dc->s.clip ? *dc->s.clip : RectList{kEverything});
    Region result;
    switch (mode) {
      case RGN_AND: result = current.Intersect(r->region); break;
      case RGN_OR: result = current.Union(r->region); break;
      case RGN_XOR: result = current.Xor(r->region); break;
      case RGN_DIFF: result = current.Subtract(r->region); break;
      default: result = r->region; break;
    }
    dc->s.clip = result.Rects();
  }
  RECT box;
  return GetClipBox(hdc, &box);
}

int GetClipRgn(HDC hdc, HRGN region) {
  auto dc = FindDC(hdc);
  auto r = FindRegion(region);
  if (!dc || !r) return -1;
  if (!dc->s.clip) return 0;
  r->region = Region::FromRects(*dc->s.clip);
  return 1;
}

namespace {

template <class F>
BOOL PaintRegion(HDC hdc, HRGN region, F paintFor) {
  auto dc = FindDC(hdc);
  auto r = FindRegion(region);
  if (!dc || !r) return FALSE;
  DrawScope scope(*dc, true);
  Raster raster(scope);
  auto paint = paintFor(*dc);
  if (!paint) return TRUE;
  for (const RECT& rect : r->region.Rects()) raster.Rect(dc->ToDevice(rect), *paint);
  return TRUE;
}

}  // namespace

namespace gdi {
std::shared_ptr<Brush> ResolveBrush(HBRUSH brush);
}

BOOL FillRgn(HDC hdc, HRGN region, HBRUSH brush) {
  auto b = ResolveBrush(brush);
  if (!b) return FALSE;
  return PaintRegion(hdc, region, [&](DeviceContext& dc) {
    auto p = BrushPaint(dc, b.get());
    if (p) p->rop2 = R2_COPYPEN;
    return p;
  });
}

BOOL PaintRgn(HDC hdc, HRGN region) {
  return PaintRegion(hdc, region, [&](DeviceContext& dc) { return BrushPaint(dc); });
}

BOOL InvertRgn(HDC hdc, HRGN region) {
  return PaintRegion(hdc, region, [&](DeviceContext& dc) { return std::optional<Paint>(SolidPaint(dc, 0, R2_NOT)); });
}

BOOL FrameRgn(HDC hdc, HRGN region, HBRUSH brush, int width, int height) {
  auto r = FindRegion(region);
  if (!r || width < 0 || height < 0) return FALSE;
  // The frame is what the region loses when shrunk by the frame's width
  // and height from every side.
  const Region& whole = r->region;
  const Region inner = whole.Intersect(whole.Offsetted(width, 0))
                           .Intersect(whole.Offsetted(-width, 0))
                           .Intersect(whole.Offsetted(0, height))
                           .Intersect(whole.Offsetted(0, -height));
  HRGN frame = CreateRegionHandle(whole.Subtract(inner));
  const BOOL ok = FillRgn(hdc, frame, brush);
  DeleteObject(frame);
  return ok;
}

}  // namespace win
