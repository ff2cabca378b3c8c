#include "imaging/core/ikutilsLists.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace imaging {
namespace {

struct Point3 {
  int32_t x, y, z;
};

TEST(IkLists, RecordListAddDeleteAndChangedFlag) {
  TIKRecordList list(12);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Items(), nullptr);
  EXPECT_EQ(list.Changed(), 0);
  const Point3 points[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(list.AddItem(&points[i]), i);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.ItemSize(), 12);
  EXPECT_EQ(list.Changed() & 1, 1);
  EXPECT_EQ(list.GetItem(2) - list.GetItem(0), 24);
  list.Delete(1);
  list.Delete(5);  // out of range: ignored
  list.Delete(-1);
  ASSERT_EQ(list.Count(), 2);
  Point3 p{};
  std::memcpy(&p, list.GetItem(1), sizeof p);
  EXPECT_EQ(p.x, 7);
  std::memcpy(&p, list.GetItem(0), sizeof p);
  EXPECT_EQ(p.x, 1);

  list.SetChanged(0);
  list.SetCount(0);
  EXPECT_EQ(list.Items(), nullptr);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Changed(), 1);
  list.AddItem(&points[0]);
  list.Clear();
  EXPECT_EQ(list.Changed(), 0);
  EXPECT_EQ(list.ItemSize(), 12);  // a record list keeps its item size

  // Growing keeps the items there were; the new ones follow.
  list.AddItem(&points[2]);
  list.SetCount(4);
  std::memcpy(&p, list.GetItem(0), sizeof p);
  EXPECT_EQ(p.z, 9);
}

TEST(IkLists, RangedListsClearAndAssignTheirRanges) {
  TIKIntegerList a;
  EXPECT_EQ(a.ItemSize(), 4);
  a.Add(10);
  a.Add(-3);
  a.RangeMin = -5;
  a.RangeMax = 50;
  a.RangeStep = 5;
  a.CurrentValue = 10;
  TIKIntegerList b;
  b.Assign(&a);
  EXPECT_EQ(b.Count(), 2);
  EXPECT_EQ(b[1], -3);
  EXPECT_EQ(b.RangeMax, 50);
  EXPECT_EQ(b.CurrentValue, 10);
  EXPECT_EQ(b.Changed(), a.Changed());
  b[0] = 99;
  EXPECT_EQ(a[0], 10);  // a copy, not a share
  a.Clear();
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.RangeMin, 0);
  EXPECT_EQ(a.RangeMax, 0);
  EXPECT_EQ(a.RangeStep, 0);
  EXPECT_EQ(a.CurrentValue, 0);
  b.Assign(nullptr);
  EXPECT_EQ(b.Count(), 2);

  TIKDoubleList d;
  EXPECT_EQ(d.ItemSize(), 8);
  d.Add(0.5);
  d.RangeStep = 0.25;
  TIKDoubleList e;
  e.Assign(&d);
  EXPECT_DOUBLE_EQ(e[0], 0.5);
  EXPECT_DOUBLE_EQ(e.RangeStep, 0.25);
  d.Clear();
  EXPECT_DOUBLE_EQ(d.RangeStep, 0);
}

TEST(IkLists, ViewSettingRecordDefaults) {
  const TIKScrollBarParams scroll;
  EXPECT_EQ(scroll.LineStep, -1);
  EXPECT_EQ(scroll.PageStep, -1);
  EXPECT_TRUE(scroll.Tracking);
  const TIKMouseWheelParams wheel;
  EXPECT_FALSE(wheel.Inverted);
  EXPECT_EQ(wheel.Action, 2);
  EXPECT_EQ(wheel.VariationKind, 1);
  EXPECT_EQ(wheel.Variation, 8);
  EXPECT_FALSE(wheel.ZoomAtCursor);
}

TEST(IkGeometry, DistanceToSegment) {
  struct Case {
    int32_t px, py, x1, y1, x2, y2;
    double expected;
  };
  const Case cases[] = {
      {0, 10, 0, 0, 10, 0, 10},           // above the segment
      {20, 0, 0, 0, 10, 0, 10},           // beyond the far end
      {-3, -4, 0, 0, 10, 0, 5},           // before the near end
      {3, 4, 5, 5, 5, 5, std::sqrt(5.0)},  // a point-sized segment
      {50010, 0, 0, 0, 10, 0, 1000000},   // far beyond an end
      {-50000, 0, 0, 0, 10, 0, 1000000},
      {5, 3, 0, 0, 10, 0, 3},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(DistanceToSegment(c.px, c.py, c.x1, c.y1, c.x2, c.y2), c.expected, 1e-9)
        << c.px << "," << c.py;
  }
  EXPECT_NEAR(DistanceToLine(0, 10, 0, 0, 10, 0), 10, 1e-12);
  // Products beyond 32 bits still give the distance.
  EXPECT_NEAR(DistanceToLine(0, 2000000000, -2000000000, 0, 2000000000, 0), 2000000000, 1e-3);
  EXPECT_NEAR(DistanceToSegment(0, 100000, -100000, 0, 100000, 0), 100000, 1e-6);
}

}  // namespace
}  // namespace imaging
