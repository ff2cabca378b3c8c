#include "platform/win/ClassicLook.h"

#include <gtest/gtest.h>

#include "platform/win/Gradient.h"
#include "platform/win/Metrics.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
using gditest::Canvas;
using gditest::Rows;

// Distinct system colours so every layer shows in the pixel tables.
class ClassicLookTest : public ::testing::Test {
protected:
  void SetUp() override {
    const int which[] = {COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_BTNFACE,
                         COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNTEXT};
    const COLORREF colours[] = {kLight, kDark, kHighlight, kShadow, kFace, kWindow, kText, kText};
    SetSysColors(8, which, colours);
  }
  void TearDown() override { ResetSysColors(); }
  std::string Art(const Canvas& c) const {
    return c.Art({{kLight, 'L'}, {kDark, 'D'}, {kHighlight, 'H'}, {kShadow, 'S'}, {kFace, 'F'}, {kWindow, 'W'},
                  {kText, 'T'}});
  }
  static constexpr COLORREF kLight = RGB(200, 200, 200), kDark = RGB(40, 40, 40), kHighlight = RGB(250, 250, 250),
                            kShadow = RGB(120, 120, 120), kFace = RGB(180, 170, 160), kWindow = RGB(240, 255, 240),
                            kText = RGB(10, 0, 80);
};

TEST_F(ClassicLookTest, EdgesLayerByLayer) {
  struct Case {
    UINT edge, flags;
    const char* art;
  } cases[] = {
      {EDGE_RAISED, BF_RECT | BF_MIDDLE, "LLLLD\nLHHSD\nLHFSD\nLSSSD\nDDDDD\n"},
      {EDGE_SUNKEN, BF_RECT | BF_MIDDLE, "SSSSH\nSDDLH\nSDFLH\nSLLLH\nHHHHH\n"},
      {EDGE_ETCHED, BF_RECT, "SSSSH\nSHHSH\nSH.SH\nSSSSH\nHHHHH\n"},
      {EDGE_RAISED, BF_RECT | BF_SOFT, "HHHHD\nHLLSD\nHL.SD\nHSSSD\nDDDDD\n"},
      {BDR_RAISEDINNER, BF_LEFT | BF_BOTTOM, "H....\nH....\nH....\nH....\nSSSSS\n"},
      {EDGE_SUNKEN, BF_RECT | BF_FLAT, "SSSSS\nSFFFS\nSF.FS\nSFFFS\nSSSSS\n"},
  };
  for (const auto& c : cases) {
    Canvas canvas(5, 5);
    RECT r{0, 0, 5, 5};
    ASSERT_TRUE(DrawEdge(canvas.dc(), &r, c.edge, c.flags));
    EXPECT_EQ(Art(canvas), c.art) << std::hex << c.edge << " " << c.flags;
    EXPECT_EQ(r, (RECT{0, 0, 5, 5}));  // untouched without BF_ADJUST
  }
  RECT r{0, 0, 10, 10};
  Canvas canvas(10, 10);
  DrawEdge(canvas.dc(), &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, (RECT{2, 2, 8, 8}));
  r = {0, 0, 10, 10};
  DrawEdge(canvas.dc(), &r, BDR_SUNKENOUTER, BF_TOP | BF_ADJUST);
  EXPECT_EQ(r, (RECT{0, 1, 10, 10}));
}

TEST_F(ClassicLookTest, FocusRectangleIsDottedAndUndoesItself) {
  Canvas canvas(4, 3);
  const RECT r{0, 0, 4, 3};
  DrawFocusRect(canvas.dc(), &r);
  EXPECT_EQ(canvas.Art(), Rows({"#.#.", "...#", "#.#."}));
  DrawFocusRect(canvas.dc(), &r);
  EXPECT_EQ(canvas.Art(), Rows({"....", "....", "...."}));
}

TEST_F(ClassicLookTest, CheckBoxStates) {
  Canvas canvas(13, 13);
  RECT r{0, 0, 13, 13};
  DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONCHECK);
  std::string art = Art(canvas);
  EXPECT_EQ(art.substr(0, 14), "SSSSSSSSSSSSH\n");
  EXPECT_EQ(art.substr(14 * 6, 14), "SDWWWWWWWWWLH\n");
  DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  art = Art(canvas);
  EXPECT_EQ(std::count(art.begin(), art.end(), 'T'), 21);  // the seven-pixel check mark
  EXPECT_EQ(art.substr(14 * 3, 14), "SDWWWWWWWTWLH\n");
  // Pushed and inactive boxes have a face-coloured inside.
  DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_PUSHED);
  EXPECT_EQ(Art(canvas).substr(14 * 6, 14), "SDFFFFFFFFFLH\n");
}

TEST_F(ClassicLookTest, RadioButtonRingsAndDot) {
  Canvas canvas(12, 12, RGB(255, 0, 255));
  RECT r{0, 0, 12, 12};
  DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED);
  EXPECT_EQ(canvas.At(0, 0) & 0xFFFFFF, 0xFF00FFu);   // corners untouched
  EXPECT_EQ(canvas.At(11, 11) & 0xFFFFFF, 0xFF00FFu);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, 0), kShadow);   // outer ring, top
  EXPECT_EQ(GetPixel(canvas.dc(), 5, 11), kHighlight);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, 5), kText);     // the dot
  DrawFrameControl(canvas.dc(), &r, DFC_BUTTON, DFCS_BUTTONRADIO);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, 5), kWindow);
}

TEST_F(ClassicLookTest, ScrollArrowsPointAndShiftWhenPushed) {
  auto inkOf = [&](UINT state) {
    Canvas canvas(16, 16);
    RECT r{0, 0, 16, 16};
    DrawFrameControl(canvas.dc(), &r, DFC_SCROLL, state);
    RECT box{16, 16, 0, 0};
    int count = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        if (GetPixel(canvas.dc(), x, y) == kText) {
          ++count;
          box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
                 std::max<LONG>(box.bottom, y + 1)};
        }
    return std::make_pair(box, count);
  };
  const auto [up, upCount] = inkOf(DFCS_SCROLLUP);
  EXPECT_EQ(upCount, 16);  // rows of 1, 3, 5, 7
  EXPECT_EQ(up.right - up.left, 7);
  EXPECT_EQ(up.bottom - up.top, 4);
  const auto [left, leftCount] = inkOf(DFCS_SCROLLLEFT);
  EXPECT_EQ(leftCount, 16);
  EXPECT_EQ(left.right - left.left, 4);
  const auto [pushed, pushedCount] = inkOf(DFCS_SCROLLUP | DFCS_PUSHED);
  EXPECT_EQ(pushed, (RECT{up.left + 1, up.top + 1, up.right + 1, up.bottom + 1}));
  EXPECT_EQ(pushedCount, 16);
}

TEST_F(ClassicLookTest, CaptionButtonsDrawTheirGlyphs) {
  for (UINT kind : {DFCS_CAPTIONCLOSE, DFCS_CAPTIONMIN, DFCS_CAPTIONMAX, DFCS_CAPTIONRESTORE, DFCS_CAPTIONHELP}) {
    Canvas canvas(16, 14);
    RECT r{0, 0, 16, 14};
    DrawFrameControl(canvas.dc(), &r, DFC_CAPTION, kind);
    const std::string art = Art(canvas);
    EXPECT_GT(std::count(art.begin(), art.end(), 'T'), 4) << kind;
    EXPECT_EQ(art[0], 'H') << kind;  // soft raised edge
  }
}

TEST(Gradient, RectangleCornersAndDirection) {
  Canvas canvas(4, 3);
  TRIVERTEX v[2];
  v[0] = {0, 0, 0xFF00, 0, 0, 0};
  v[1] = {4, 3, 0, 0, 0xFF00, 0};
  GRADIENT_RECT32 rect{0, 1};
  ASSERT_TRUE(GradientFill(canvas.dc(), v, 2, &rect, 1, GRADIENT_FILL_RECT_H));
  EXPECT_EQ(canvas.At(0, 0), 0x00FF0000u);
  EXPECT_EQ(canvas.At(3, 0), 0x003F00BFu);  // one step short of blue
  EXPECT_EQ(canvas.At(3, 2), canvas.At(3, 0));
  ASSERT_TRUE(GradientFill(canvas.dc(), v, 2, &rect, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(canvas.At(3, 0), 0x00FF0000u);
  EXPECT_EQ(canvas.At(0, 2), 0x005500AAu);
  SetGradientFillAvailable(false);
  canvas.Fill(RGB(255, 255, 255));
  EXPECT_FALSE(GradientFill(canvas.dc(), v, 2, &rect, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(canvas.At(0, 0), 0x00FFFFFFu);
  SetGradientFillAvailable(true);
}

TEST(Gradient, TriangleCornersTakeTheirVertexColours) {
  Canvas canvas(11, 11);
  TRIVERTEX v[3];
  v[0] = {0, 0, 0xFF00, 0, 0, 0};
  v[1] = {10, 0, 0, 0xFF00, 0, 0};
  v[2] = {0, 10, 0, 0, 0xFF00, 0};
  GRADIENT_TRIANGLE tri{0, 1, 2};
  ASSERT_TRUE(GradientFill(canvas.dc(), v, 3, &tri, 1, GRADIENT_FILL_TRIANGLE));
  EXPECT_EQ(canvas.At(0, 0), 0x00FF0000u);
  // Mostly green and mostly blue near the other corners.
  EXPECT_LT((canvas.At(8, 0) >> 16) & 0xFF, 0x40u);
  EXPECT_GT((canvas.At(8, 0) >> 8) & 0xFF, 0xC0u);
  EXPECT_GT(canvas.At(0, 8) & 0xFF, 0xC0u);
  EXPECT_EQ(canvas.At(9, 0), 0x00FFFFFFu);  // right edge excluded
  EXPECT_EQ(canvas.At(10, 10), 0x00FFFFFFu);  // outside
  GRADIENT_TRIANGLE bad{0, 1, 7};
  EXPECT_FALSE(GradientFill(canvas.dc(), v, 3, &bad, 1, GRADIENT_FILL_TRIANGLE));
}

}  // namespace
