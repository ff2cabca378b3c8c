#include "platform/win/Region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <vector>

namespace {

using win::Region;

// A pixel-set model to check the banded representation against.
using Pixels = std::set<std::pair<int, int>>;

Pixels pixelsOf(const Region& r) {
  Pixels p;
  for (const auto& rc : r.Rects())
    for (int y = rc.top; y < rc.bottom; ++y)
      for (int x = rc.left; x < rc.right; ++x) p.insert({x, y});
  return p;
}

std::string rows(const Region& r, int w, int h) {
  std::string s;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) s += r.Contains(x, y) ? '#' : '.';
    s += '\n';
  }
  return s;
}

TEST(Region, SetOperationsMatchAPixelModelAndStayCanonical) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 12);
  for (int round = 0; round < 200; ++round) {
    Region a, b;
    for (int i = 0; i < 3; ++i) {
      a = a.Union(Region::FromRect(coord(rng), coord(rng), coord(rng), coord(rng)));
      b = b.Union(Region::FromRect(coord(rng), coord(rng), coord(rng), coord(rng)));
    }
    const Pixels pa = pixelsOf(a), pb = pixelsOf(b);
    Pixels u, i, x, d;
    for (auto& p : pa) {
      u.insert(p);
      if (pb.count(p)) i.insert(p); else { x.insert(p); d.insert(p); }
    }
    for (auto& p : pb) {
      u.insert(p);
      if (!pa.count(p)) x.insert(p);
    }
    EXPECT_EQ(pixelsOf(a.Union(b)), u);
    EXPECT_EQ(pixelsOf(a.Intersect(b)), i);
    EXPECT_EQ(pixelsOf(a.Xor(b)), x);
    EXPECT_EQ(pixelsOf(a.Subtract(b)), d);
    // Equal pixel sets have equal representations, however built.
    EXPECT_EQ(a.Union(b), b.Union(a));
    EXPECT_EQ(a.Subtract(b).Union(a.Intersect(b)), a);
    // Rectangles never overlap.
    size_t area = 0;
    for (const auto& rc : a.Union(b).Rects()) area += static_cast<size_t>(rc.Width()) * rc.Height();
    EXPECT_EQ(area, u.size());
  }
}

TEST(Region, EllipseAndRoundRectAreSymmetricAndInsideTheirBox) {
  const Region e = Region::Ellipse(0, 0, 10, 8);
  EXPECT_EQ(rows(e, 10, 8),
            "...####...\n"
            ".########.\n"
            "##########\n"
            "##########\n"
            "##########\n"
            "##########\n"
            ".########.\n"
            "...####...\n");
  const Region rr = Region::RoundRect(0, 0, 12, 10, 6, 6);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x) {
      EXPECT_EQ(rr.Contains(x, y), rr.Contains(11 - x, y)) << x << "," << y;
      EXPECT_EQ(rr.Contains(x, y), rr.Contains(x, 9 - y)) << x << "," << y;
    }
  EXPECT_FALSE(rr.Contains(0, 0));
  EXPECT_TRUE(rr.Contains(3, 0));
  EXPECT_TRUE(rr.Contains(0, 3));
  EXPECT_EQ(rr.Bounds(), (win::RECT{0, 0, 12, 10}));
  // Tiny corner ellipses leave a plain rectangle.
  EXPECT_TRUE(Region::RoundRect(0, 0, 5, 5, 1, 1).IsRect());
  EXPECT_TRUE(Region::Ellipse(3, 3, 3, 9).Empty());
}

TEST(Region, PolygonFillRules) {
  // A five-pointed star: the centre is inside by winding, outside by alternate.
  const win::POINT star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
  const Region winding = Region::Polygon(star, 5, true);
  const Region alternate = Region::Polygon(star, 5, false);
  EXPECT_TRUE(winding.Contains(10, 10));
  EXPECT_FALSE(alternate.Contains(10, 10));
  EXPECT_TRUE(alternate.Contains(10, 3));
  EXPECT_TRUE(winding.Contains(10, 3));
  // A rectangle as a polygon covers exactly the rectangle's pixels.
  const win::POINT box[] = {{2, 3}, {7, 3}, {7, 9}, {2, 9}};
  EXPECT_EQ(Region::Polygon(box, 4, false), Region::FromRect(2, 3, 7, 9));
  // A triangle takes the pixels whose centres are inside.
  const win::POINT tri[] = {{0, 0}, {4, 0}, {0, 4}};
  EXPECT_EQ(rows(Region::Polygon(tri, 3, false), 4, 4), "###.\n##..\n#...\n....\n");
}

TEST(Region, HandleCallsReportKindsAndRejectStaleHandles) {
  using namespace win;
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  HRGN d = CreateRectRgn(0, 0, 0, 0);
  struct Case {
    int mode;
    int kind;
    RECT box;
  };
  const Case cases[] = {
      {RGN_AND, SIMPLEREGION, {5, 5, 10, 10}},
      {RGN_OR, COMPLEXREGION, {0, 0, 15, 15}},
      {RGN_XOR, COMPLEXREGION, {0, 0, 15, 15}},
      {RGN_DIFF, COMPLEXREGION, {0, 0, 10, 10}},
      {RGN_COPY, SIMPLEREGION, {0, 0, 10, 10}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CombineRgn(d, a, b, c.mode), c.kind) << c.mode;
    RECT box;
    EXPECT_EQ(GetRgnBox(d, &box), c.kind);
    EXPECT_EQ(box, c.box) << c.mode;
  }
  EXPECT_EQ(CombineRgn(d, a, b, 99), ERROR);
  // Self-combination works in place.
  EXPECT_EQ(CombineRgn(a, a, b, RGN_DIFF), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(a, 7, 7));
  EXPECT_TRUE(PtInRegion(a, 2, 7));
  RECT probe{6, 6, 8, 8};
  EXPECT_FALSE(RectInRegion(a, &probe));
  probe = {4, 4, 6, 6};
  EXPECT_TRUE(RectInRegion(a, &probe));
  EXPECT_EQ(OffsetRgn(b, -5, -5), SIMPLEREGION);
  HRGN same = CreateRectRgn(0, 0, 10, 10);
  EXPECT_TRUE(EqualRgn(b, same));
  EXPECT_TRUE(SetRectRgn(same, 1, 1, 2, 2));
  EXPECT_FALSE(EqualRgn(b, same));
  EXPECT_EQ(CombineRgn(d, d, d, RGN_XOR), NULLREGION);

  EXPECT_TRUE(DeleteObject(same));
  EXPECT_EQ(CombineRgn(d, same, a, RGN_OR), ERROR);
  EXPECT_FALSE(PtInRegion(same, 1, 1));
  RECT box;
  EXPECT_EQ(GetRgnBox(same, &box), ERROR);
  EXPECT_EQ(GetObjectType(a), 8u);
  for (HRGN h : {a, b, d}) DeleteObject(h);
}

TEST(Region, RegionDataRoundTripsWithTheByteLayout) {
  using namespace win;
  HRGN r = CreateRectRgn(0, 0, 4, 2);
  HRGN extra = CreateRectRgn(10, 0, 12, 6);
  CombineRgn(r, r, extra, RGN_OR);
  const DWORD need = GetRegionData(r, 0, nullptr);
  ASSERT_EQ(need, 32u + 3 * 16u);  // header + {0,0,4,2}, {10,0,12,2}, {10,2,12,6}
  std::vector<uint8_t> bytes(need);
  auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
  EXPECT_EQ(GetRegionData(r, need - 1, data), 0u);
  EXPECT_EQ(GetRegionData(r, need, data), need);
  DWORD header[4];
  std::memcpy(header, bytes.data(), sizeof header);
  EXPECT_EQ(header[0], 32u);  // dwSize
  EXPECT_EQ(header[1], 1u);   // RDH_RECTANGLES
  EXPECT_EQ(header[2], 3u);   // nCount
  EXPECT_EQ(header[3], 48u);  // nRgnSize
  LONG bound[4], first[4];
  std::memcpy(bound, bytes.data() + 16, sizeof bound);
  std::memcpy(first, bytes.data() + 32, sizeof first);
  EXPECT_EQ(std::vector<LONG>(bound, bound + 4), (std::vector<LONG>{0, 0, 12, 6}));
  EXPECT_EQ(std::vector<LONG>(first, first + 4), (std::vector<LONG>{0, 0, 4, 2}));
  HRGN back = ExtCreateRegion(nullptr, need, data);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(EqualRgn(back, r));
  const XFORM scale{2, 0, 0, 2, 0, 0};
  EXPECT_EQ(ExtCreateRegion(&scale, need, data), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, need - 16, data), nullptr);
  for (HRGN h : {r, extra, back}) DeleteObject(h);
}

}  // namespace
