// The level meter on a real form, read back from the composed screen: the
// interior and segment geometry of the alarm window's 424 x 60 meter, which
// segments a value lights and in which colour, the value rules, the
// percentage of bar meters, and the trapezoid geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "controls/fcborder_treevw/FcBorder.h"
#include "controls/tests/FcTestUtil.h"
#include "platform/forms/Forms.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Display.h"

using namespace controls;
using formstest::FormsFixture;

namespace {

constexpr forms::TColor kOff = 0x00808080;
constexpr forms::TColor kGreen = 0x00008000, kBlue = 0x00FF0000;

using fctest::Shot;

class FcMeterTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new forms::TForm(nullptr);
    form->SetBorderStyle(forms::bsNone);
    form->SetBounds(10, 10, 500, 120);
    form->SetColor(0x00123456);
    meter = new TFcMeter(form);
    meter->SetParent(form);
    // The alarm window's meter.
    meter->SetBounds(20, 20, 424, 60);
    meter->SetMax(1000);
    meter->SetMin(0);
    meter->SetBackColor(forms::clWhite);
    meter->SetSegOffColor(kOff);
    for (int g = 1; g <= 3; ++g) meter->SetSegCount(g, 35);
    meter->SetSegColor(2, kBlue);
    form->Show();
  }
  Shot Paint() {
    meter->Invalidate();
    Pump();
    return Shot(meter);
  }
  // The colour of segment k (interior x = 2 + 4k, one pixel inside the frame).
  static forms::TColor Segment(const Shot& s, int k) { return s(1 + 2 + 4 * k, 1 + 30); }
  forms::TForm* form = nullptr;
  TFcMeter* meter = nullptr;
};

TEST_F(FcMeterTest, AlarmMeterGeometry) {
  EXPECT_EQ(meter->BorderOuter(), fsStatus);
  EXPECT_EQ(meter->MeterType(), mtLED);
  const TRect client = meter->ClientRect();
  EXPECT_EQ(client, (TRect{1, 1, 423, 59})) << "a 422 x 58 interior";
  meter->SetValue(1000);
  const Shot s = Paint();
  // 105 segments two pixels wide at x = 2, 6, ..., 418 of the interior,
  // filled over its rows 2 to 55; the two-pixel gaps and the rows around
  // them show the background.
  for (int k = 0; k < 105; ++k) {
    SCOPED_TRACE(k);
    const int x = 1 + 2 + 4 * k;
    EXPECT_NE(s(x, 1 + 30), forms::clWhite);
    EXPECT_EQ(s(x + 1, 1 + 30), s(x, 1 + 30));
    EXPECT_EQ(s(x + 2, 1 + 30), forms::clWhite);
    EXPECT_EQ(s(x + 3, 1 + 30), forms::clWhite);
    EXPECT_EQ(s(x, 1 + 2), s(x, 1 + 30));
    EXPECT_EQ(s(x, 1 + 55), s(x, 1 + 30));
    EXPECT_EQ(s(x, 1 + 1), forms::clWhite);
    EXPECT_EQ(s(x, 1 + 56), forms::clWhite);
  }
  EXPECT_EQ(s(1 + 1, 30), forms::clWhite) << "left of the first segment";
  EXPECT_EQ(s(1 + 420, 30), forms::clWhite) << "right of the last segment";
  // The status frame: shadow at the top-left, highlight at the bottom-right.
  EXPECT_EQ(s(0, 0), forms::ColorToRGB(forms::clBtnShadow));
  EXPECT_EQ(s(423, 59), forms::ColorToRGB(forms::clBtnHighlight));
}

TEST_F(FcMeterTest, ValueLightsSegmentsByGroup) {
  struct Case {
    int value, lit, first, second;
  };
  for (const Case c : {Case{500, 52, 35, 17}, Case{1000, 105, 35, 35}, Case{9, 0, 0, 0}, Case{340, 35, 35, 0}}) {
    SCOPED_TRACE(c.value);
    meter->SetValue(c.value);
    EXPECT_EQ(meter->LitSegments(), c.lit);
    const Shot s = Paint();
    int green = 0, blue = 0, red = 0, off = 0;
    for (int k = 0; k < 105; ++k) {
      const forms::TColor col = Segment(s, k);
      if (col == kGreen) {
        ++green;
        EXPECT_LT(k, 35);
      } else if (col == kBlue) {
        ++blue;
        EXPECT_GE(k, 35);
      } else if (col == 0x000000FF) {
        ++red;
        EXPECT_GE(k, 70);
      } else {
        EXPECT_EQ(col, kOff) << k;
        EXPECT_GE(k, c.lit) << "an unlit segment before the last lit one";
        ++off;
      }
    }
    EXPECT_EQ(green, c.first);
    EXPECT_EQ(blue, c.second);
    EXPECT_EQ(green + blue + red, c.lit);
    EXPECT_EQ(off, 105 - c.lit);
  }
}

TEST_F(FcMeterTest, SegmentTotalIsAWholeNumber) {
  // Three groups of 100 are 300 segments (not 44), and 256 segments no
  // longer divide by zero: the segments do not fit, so none is drawn.
  for (int g = 1; g <= 3; ++g) meter->SetSegCount(g, 100);
  EXPECT_EQ(meter->SegmentTotal(), 300);
  meter->SetValue(500);
  EXPECT_EQ(meter->LitSegments(), 150);
  meter->SetSegCount(3, 56);
  EXPECT_EQ(meter->SegmentTotal(), 256);
  EXPECT_EQ(meter->LitSegments(), 128);
  const Shot s = Paint();
  for (int x = 1; x < 423; x += 7) EXPECT_EQ(s(x, 30), forms::clWhite) << x;
  // A wider meter fits them: 256 one-pixel segments a pixel apart.
  meter->SetSegSpacing(1);
  meter->SetBounds(20, 20, 424 + 100, 60);
  form->SetWidth(600);
  const Shot wide = Paint();
  EXPECT_EQ(wide(1 + 1, 30), kGreen);
  EXPECT_EQ(wide(1 + 2, 30), forms::clWhite);
  EXPECT_EQ(wide(1 + 3, 30), kGreen);
}

TEST_F(FcMeterTest, ValueRules) {
  meter->SetValue(5000);
  EXPECT_EQ(meter->Value(), 1000);
  meter->SetValue(-3);
  EXPECT_EQ(meter->Value(), 0);
  meter->SetMax(0);
  EXPECT_EQ(meter->Max(), 1) << "Max equal to Min stores Min + 1";
  meter->SetMax(100);
  meter->SetMin(100);
  EXPECT_EQ(meter->Min(), 99) << "Min equal to Max stores Max - 1";
  // Wide ranges do not overflow the scaling.
  meter->SetMin(0);
  meter->SetMax(2000000000);
  meter->SetValue(1500000000);
  EXPECT_EQ(meter->Percent(), 75);
  EXPECT_EQ(meter->LitSegments(), 78);
}

TEST_F(FcMeterTest, TinyMeterPaintsNothing) {
  meter->SetBounds(20, 20, 3, 60);
  const Shot s = Paint();
  EXPECT_EQ(s(1, 30), 0x00123456u) << "the form shows through";
}

TEST_F(FcMeterTest, BarMeterShowsItsPercentInTheMiddle) {
  meter->SetMeterType(mtNormal);
  meter->SetMax(100);
  meter->SetValue(50);
  meter->SetBackColor(forms::clBlack);
  meter->SetBarColor(forms::clRed);
  meter->Font()->SetColor(forms::clLime);
  meter->Font()->SetSize(14);
  const Shot s = Paint();
  EXPECT_EQ(meter->Percent(), 50);
  // The bar covers the left half of the interior.
  EXPECT_EQ(s(5, 5), forms::clRed);
  EXPECT_EQ(s(205, 5), forms::clRed);
  EXPECT_EQ(s(218, 5), forms::clBlack);
  int left = 1000, right = -1, top = 1000, bottom = -1;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 424; ++x)
      if (s(x, y) == forms::clLime) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, 0) << "no text";
  EXPECT_GT(right - left, 20) << "\"50%\" is three characters";
  EXPECT_NEAR((left + right) / 2.0, 212, 4);
  EXPECT_NEAR((top + bottom) / 2.0, 30, 4);

  // LED meters show no percentage.
  meter->SetMeterType(mtLED);
  const Shot led = Paint();
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 424; x += 3) ASSERT_NE(led(x, y), forms::clLime);
}

TEST_F(FcMeterTest, TexturedBarTilesAreClippedNotStretched) {
  meter->SetMeterType(mtNormal);
  meter->SetShowPercent(false);
  meter->SetMax(100);
  meter->SetValue(50);
  forms::TBitmap tile;
  tile.SetPixelFormat(forms::pf32bit);
  tile.SetSize(10, 10);
  tile.Canvas()->Brush()->SetColor(forms::clYellow);
  tile.Canvas()->FillRect(forms::Rect(0, 0, 10, 10));
  tile.Canvas()->Brush()->SetColor(forms::clNavy);
  tile.Canvas()->FillRect(forms::Rect(0, 0, 5, 10));
  meter->SetBitmap(&tile);
  const Shot s = Paint();
  // Bar area starts one pixel left of the interior (x = -1 there), so tile
  // columns start at control x = 0, 10, 20, ...; the bar ends at 211.
  EXPECT_EQ(s(1, 30), forms::clNavy);
  EXPECT_EQ(s(6, 30), forms::clYellow);
  EXPECT_EQ(s(200 + 1, 30), forms::clNavy);
  EXPECT_EQ(s(200 + 6, 30), forms::clYellow);
  EXPECT_EQ(s(215, 30), forms::clWhite);
}

TEST(FcTrapezoid, CornersFollowDirectionAndShape) {
  const TRect r{0, 0, 100, 20};
  using P = forms::TPoint;
  // Horizontal, large to small towards the right: the right edge is narrow.
  auto t = MeterTrapezoid(r, dirRight, tdLargeToSmall, tsCenter, 6);
  EXPECT_EQ(t[0], (P{0, 0}));
  EXPECT_EQ(t[1], (P{100, 7}));
  EXPECT_EQ(t[2], (P{100, 13}));
  EXPECT_EQ(t[3], (P{0, 20}));
  t = MeterTrapezoid(r, dirRight, tdSmallToLarge, tsLeft, 6);
  EXPECT_EQ(t[0], (P{0, 0}));
  EXPECT_EQ(t[3], (P{0, 6}));
  EXPECT_EQ(t[1], (P{100, 0}));
  // Vertical growing up, large to small: the top edge is narrow.
  t = MeterTrapezoid(TRect{0, 0, 20, 100}, dirUp, tdLargeToSmall, tsRight, 6);
  EXPECT_EQ(t[0], (P{14, 0}));
  EXPECT_EQ(t[1], (P{20, 0}));
  EXPECT_EQ(t[2], (P{20, 100}));
  EXPECT_EQ(t[3], (P{0, 100}));
  // The narrow edge is never wider than the meter.
  t = MeterTrapezoid(TRect{0, 0, 100, 4}, dirRight, tdLargeToSmall, tsCenter, 6);
  EXPECT_EQ(t[1], (P{100, 0}));
  EXPECT_EQ(t[2], (P{100, 4}));

  // Clipping takes the slanted edges' positions at the sub-rectangle.
  const auto full = MeterTrapezoid(r, dirRight, tdLargeToSmall, tsCenter, 6);
  const auto half = ClipTrapezoid(full, TRect{0, 0, 50, 20}, dirRight);
  EXPECT_EQ(half[0], (P{0, 0}));
  EXPECT_EQ(half[1], (P{50, 3}));
  EXPECT_EQ(half[2], (P{50, 16}));
  EXPECT_EQ(half[3], (P{0, 20}));
  const auto in = InflateTrapezoid(full, -2);
  EXPECT_EQ(in[0], (P{2, 2}));
  EXPECT_EQ(in[2], (P{98, 11}));
}

TEST_F(FcMeterTest, TrapezoidalLedMeterKeepsItsSegmentsInsideTheShape) {
  meter->SetMeterShape(msTrapezoidal);
  meter->SetValue(1000);
  for (int g = 1; g <= 3; ++g) meter->SetSegCount(g, 5);
  const Shot s = Paint();
  // The narrow right end: segments there are only a few rows high, the
  // rest is button face.
  EXPECT_EQ(s(15, 30), kGreen);
  EXPECT_EQ(s(15, 8), kGreen) << "a tall segment at the wide end";
  EXPECT_EQ(s(405, 30), 0x000000FFu) << "the last segment";
  EXPECT_EQ(s(400, 8), forms::ColorToRGB(forms::clBtnFace)) << "outside the narrow end";
}

}  // namespace
