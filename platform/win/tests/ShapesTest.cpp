#include "platform/win/Shapes.h"

#include <gtest/gtest.h>

#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
using gditest::Canvas;
using gditest::Rows;

struct LineCase {
  POINT from, to;
  const char* art;
};

// The end point is never drawn, in every direction.
TEST(Lines, EndPointIsExcludedInEveryDirection) {
  const LineCase cases[] = {
      {{0, 1}, {4, 1}, ".....\n####.\n.....\n"},
      {{4, 1}, {0, 1}, ".....\n.####\n.....\n"},
      {{2, 0}, {2, 3}, "..#..\n..#..\n..#..\n"},
      {{0, 0}, {3, 3}, "#....\n.#...\n..#..\n"},
      {{3, 2}, {3, 2}, ".....\n.....\n.....\n"},
      {{0, 0}, {5, 2}, "##...\n..##.\n....#\n"},
  };
  for (const auto& c : cases) {
    Canvas canvas(5, 3);
    MoveToEx(canvas.dc(), c.from.x, c.from.y, nullptr);
    LineTo(canvas.dc(), c.to.x, c.to.y);
    EXPECT_EQ(canvas.Art(), c.art) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
    POINT pos;
    GetCurrentPositionEx(canvas.dc(), &pos);
    EXPECT_EQ(pos, c.to);
  }
}

TEST(Lines, PolylineJoinsSegmentsAndDottedPenKeepsItsPhase) {
  Canvas canvas(8, 3);
  const POINT pts[] = {{0, 0}, {7, 0}, {7, 2}, {0, 2}};
  Polyline(canvas.dc(), pts, 4);
  // The corner belongs to the segment that starts there.
  EXPECT_EQ(canvas.Art(), Rows({"########", ".......#", ".#######"}));

  Canvas dotted(12, 1);
  HPEN pen = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dotted.dc(), pen);
  SetBkMode(dotted.dc(), TRANSPARENT);
  const POINT run[] = {{0, 0}, {5, 0}, {12, 0}};
  Polyline(dotted.dc(), run, 3);
  EXPECT_EQ(dotted.Art(), "###...###...\n");
  // Opaque gaps take the background colour.
  dotted.Fill(RGB(255, 255, 255));
  SetBkMode(dotted.dc(), OPAQUE);
  SetBkColor(dotted.dc(), RGB(255, 0, 0));
  Polyline(dotted.dc(), run, 3);
  EXPECT_EQ(dotted.Art({{RGB(255, 0, 0), 'r'}}), "###rrr###rrr\n");
  SelectObject(dotted.dc(), old);
  DeleteObject(pen);
}

// Right and bottom edges are exclusive; without a pen the fill is one
// pixel smaller; the pen draws over the brush's edge.
TEST(Shapes, RectangleEdgesWithAndWithoutPen) {
  Canvas canvas(6, 5);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ oldBrush = SelectObject(canvas.dc(), red);
  Rectangle(canvas.dc(), 1, 1, 5, 4);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}}), Rows({"......", ".####.", ".#rr#.", ".####.", "......"}));

  canvas.Fill(RGB(255, 255, 255));
  HGDIOBJ oldPen = SelectObject(canvas.dc(), GetStockObject(NULL_PEN));
  Rectangle(canvas.dc(), 1, 1, 5, 4);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}}), Rows({"......", ".rrr..", ".rrr..", "......", "......"}));
  // Reversed corners draw the same rectangle.
  canvas.Fill(RGB(255, 255, 255));
  Rectangle(canvas.dc(), 5, 4, 1, 1);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}}), Rows({"......", ".rrr..", ".rrr..", "......", "......"}));
  SelectObject(canvas.dc(), oldPen);
  SelectObject(canvas.dc(), oldBrush);
  DeleteObject(red);
}

TEST(Shapes, WidePenIsCentredAndInsideFrameStaysInside) {
  Canvas canvas(9, 9);
  HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(canvas.dc(), wide);
  SelectObject(canvas.dc(), GetStockObject(NULL_BRUSH));
  Rectangle(canvas.dc(), 2, 2, 7, 7);
  EXPECT_EQ(canvas.Art(), Rows({".........", ".#######.", ".#######.", ".#######.", ".###.###.", ".#######.",
                                ".#######.", ".#######.", "........."}));
  canvas.Fill(RGB(255, 255, 255));
  HPEN inside = CreatePen(PS_INSIDEFRAME, 2, RGB(0, 0, 0));
  SelectObject(canvas.dc(), inside);
  Rectangle(canvas.dc(), 1, 1, 8, 8);
  EXPECT_EQ(canvas.Art(), Rows({".........", ".#######.", ".#######.", ".##...##.", ".##...##.", ".##...##.",
                                ".#######.", ".#######.", "........."}));
  SelectObject(canvas.dc(), old);
  DeleteObject(wide);
  DeleteObject(inside);
}

TEST(Lines, WidePenEndCaps) {
  struct Case {
    DWORD cap;
    const char* art;
  } cases[] = {
      {PS_ENDCAP_FLAT, "........\n..###...\n..###...\n..###...\n........\n"},
      {PS_ENDCAP_SQUARE, "........\n.######.\n.######.\n.######.\n........\n"},  // half the width past each end
  };
  for (const auto& c : cases) {
    Canvas canvas(8, 5);
    LOGBRUSH lb{BS_SOLID, RGB(0, 0, 0), 0};
    HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | c.cap, 3, &lb, 0, nullptr);
    HGDIOBJ old = SelectObject(canvas.dc(), pen);
    MoveToEx(canvas.dc(), 2, 2, nullptr);
    LineTo(canvas.dc(), 5, 2);
    EXPECT_EQ(canvas.Art(), c.art) << c.cap;
    SelectObject(canvas.dc(), old);
    DeleteObject(pen);
  }
}

TEST(Shapes, EllipseTouchesEverySideAndIsSymmetric) {
  for (auto [w, h] : std::vector<std::pair<int, int>>{{7, 5}, {8, 8}, {11, 6}, {2, 2}, {1, 4}}) {
    Canvas canvas(w + 2, h + 2);
    SelectObject(canvas.dc(), GetStockObject(BLACK_BRUSH));
    Ellipse(canvas.dc(), 1, 1, 1 + w, 1 + h);
    const std::string art = canvas.Art();
    std::vector<std::string> rows;
    for (size_t p = 0; p < art.size(); p = art.find('\n', p) + 1) rows.push_back(art.substr(p, art.find('\n', p) - p));
    EXPECT_EQ(rows.front(), std::string(static_cast<size_t>(w + 2), '.'));
    EXPECT_EQ(rows.back(), std::string(static_cast<size_t>(w + 2), '.'));
    EXPECT_NE(rows[1].find('#'), std::string::npos) << w << "x" << h;
    EXPECT_NE(rows[static_cast<size_t>(h)].find('#'), std::string::npos);
    bool left = false, right = false;
    for (const auto& r : rows) {
      EXPECT_EQ(r[0], '.');
      EXPECT_EQ(r.back(), '.');
      left |= r[1] == '#';
      right |= r[static_cast<size_t>(w)] == '#';
      EXPECT_EQ(r, std::string(r.rbegin(), r.rend())) << w << "x" << h;
    }
    EXPECT_TRUE(left && right) << w << "x" << h;
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i], rows[rows.size() - 1 - i]);
  }
  Canvas small(7, 7);
  Ellipse(small.dc(), 0, 0, 7, 7);
  EXPECT_EQ(small.Art(), Rows({"..###..", ".#...#.", "#.....#", "#.....#", "#.....#", ".#...#.", "..###.."}));
}

TEST(Shapes, PolygonFillModesDiffer) {
  // A star drawn with one path: its centre is inside by winding only.
  const POINT star[] = {{5, 0}, {8, 10}, {0, 4}, {10, 4}, {2, 10}};
  Canvas alternate(11, 11), winding(11, 11);
  for (Canvas* c : {&alternate, &winding}) {
    SelectObject(c->dc(), GetStockObject(NULL_PEN));
    SelectObject(c->dc(), GetStockObject(BLACK_BRUSH));
  }
  SetPolyFillMode(winding.dc(), WINDING);
  Polygon(alternate.dc(), star, 5);
  Polygon(winding.dc(), star, 5);
  EXPECT_EQ(alternate.At(5, 6) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(winding.At(5, 6) & 0xFFFFFF, 0u);
  EXPECT_EQ(alternate.At(5, 2) & 0xFFFFFF, 0u);
  // A square polygon covers its left/top edges, not right/bottom.
  Canvas square(5, 5);
  SelectObject(square.dc(), GetStockObject(NULL_PEN));
  SelectObject(square.dc(), GetStockObject(BLACK_BRUSH));
  const POINT box[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
  Polygon(square.dc(), box, 4);
  EXPECT_EQ(square.Art(), Rows({".....", ".###.", ".###.", ".....", "....."}));
}

TEST(Shapes, Rop2ModesOnBlackAndWhite) {
  // Pen red over a white and a black pixel.
  struct Case {
    int rop;
    COLORREF onWhite, onBlack;
  } cases[] = {
      {R2_COPYPEN, RGB(255, 0, 0), RGB(255, 0, 0)},
      {R2_XORPEN, RGB(0, 255, 255), RGB(255, 0, 0)},
      {R2_NOT, RGB(0, 0, 0), RGB(255, 255, 255)},
      {R2_NOTXORPEN, RGB(255, 0, 0), RGB(0, 255, 255)},
      {R2_NOP, RGB(255, 255, 255), RGB(0, 0, 0)},
      {R2_MASKPEN, RGB(255, 0, 0), RGB(0, 0, 0)},
      {R2_MERGEPEN, RGB(255, 255, 255), RGB(255, 0, 0)},
      {R2_BLACK, 0, 0},
      {R2_WHITE, RGB(255, 255, 255), RGB(255, 255, 255)},
  };
  for (const auto& c : cases) {
    Canvas canvas(2, 1);
    SetPixel(canvas.dc(), 1, 0, 0);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(canvas.dc(), pen);
    EXPECT_EQ(SetROP2(canvas.dc(), c.rop), R2_COPYPEN);
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    LineTo(canvas.dc(), 2, 0);
    EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), c.onWhite) << c.rop;
    EXPECT_EQ(GetPixel(canvas.dc(), 1, 0), c.onBlack) << c.rop;
    SelectObject(canvas.dc(), old);
    DeleteObject(pen);
  }
}

TEST(Fills, FillRectFrameRectInvertRectAndSystemColourBrushes) {
  Canvas canvas(6, 4);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT r{1, 1, 5, 4};
  SetROP2(canvas.dc(), R2_XORPEN);  // FillRect ignores the mix mode
  FillRect(canvas.dc(), &r, blue);
  EXPECT_EQ(canvas.Art({{RGB(0, 0, 255), 'b'}}), Rows({"......", ".bbbb.", ".bbbb.", ".bbbb."}));
  canvas.Fill(RGB(255, 255, 255));
  FrameRect(canvas.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(canvas.Art(), Rows({"......", ".####.", ".#..#.", ".####."}));
  const RECT inv{0, 0, 2, 2};
  InvertRect(canvas.dc(), &inv);
  EXPECT_EQ(canvas.Art(), Rows({"##....", "#.###.", ".#..#.", ".####."}));
  // Reversed or empty rectangles draw nothing.
  const RECT empty{4, 4, 2, 2};
  EXPECT_TRUE(FillRect(canvas.dc(), &empty, blue));
  EXPECT_EQ(canvas.Art(), Rows({"##....", "#.###.", ".#..#.", ".####."}));
  // A system colour index + 1 stands for that colour's brush.
  const RECT one{0, 0, 1, 1};
  FillRect(canvas.dc(), &one, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNSHADOW + 1)));
  EXPECT_EQ(GetPixel(canvas.dc(), 0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(GetSysColorBrush(COLOR_BTNSHADOW), GetSysColorBrush(COLOR_BTNSHADOW));
  EXPECT_TRUE(DeleteObject(GetSysColorBrush(COLOR_BTNSHADOW)));  // ignored: still usable
  EXPECT_TRUE(FillRect(canvas.dc(), &one, GetSysColorBrush(COLOR_BTNSHADOW)));
  DeleteObject(blue);
}

TEST(Fills, HatchBrushFollowsBrushOriginAndBackgroundMode) {
  Canvas canvas(8, 8);
  HBRUSH hatch = CreateHatchBrush(HS_VERTICAL, RGB(0, 0, 0));
  SetBkMode(canvas.dc(), TRANSPARENT);
  const RECT all{0, 0, 8, 8};
  FillRect(canvas.dc(), &all, hatch);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(canvas.Art().substr(static_cast<size_t>(y) * 9, 8), ".......#");
  canvas.Fill(RGB(255, 255, 255));
  SetBrushOrgEx(canvas.dc(), 3, 0, nullptr);
  SetBkMode(canvas.dc(), OPAQUE);
  SetBkColor(canvas.dc(), RGB(255, 0, 0));
  FillRect(canvas.dc(), &all, hatch);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}}).substr(0, 9), "rr#rrrrr\n");
  DeleteObject(hatch);
}

TEST(Fills, MonochromePatternBrushTakesTextAndBackgroundColours) {
  const uint16_t rows[2] = {0x4000, 0x8000};  // 01, 10 in the top bits (16-bit rows)
  uint8_t bytes[4] = {0x40, 0, 0x80, 0};
  (void)rows;
  HBITMAP pattern = CreateBitmap(2, 2, 1, 1, bytes);
  HBRUSH brush = CreatePatternBrush(pattern);
  DeleteObject(pattern);  // the brush keeps its own copy
  Canvas canvas(4, 2);
  SetTextColor(canvas.dc(), RGB(255, 0, 0));
  SetBkColor(canvas.dc(), RGB(0, 0, 255));
  const RECT all{0, 0, 4, 2};
  FillRect(canvas.dc(), &all, brush);
  EXPECT_EQ(canvas.Art({{RGB(255, 0, 0), 'r'}, {RGB(0, 0, 255), 'b'}}), "rbrb\nbrbr\n");
  DeleteObject(brush);
}

TEST(Pixels, SetPixelGetPixelAndOutOfRange) {
  Canvas canvas(3, 3);
  EXPECT_EQ(SetPixel(canvas.dc(), 1, 2, RGB(10, 20, 30)), RGB(10, 20, 30));
  EXPECT_EQ(GetPixel(canvas.dc(), 1, 2), RGB(10, 20, 30));
  EXPECT_EQ(canvas.At(1, 2), 0x000A141Eu);  // GDI leaves alpha zero
  EXPECT_EQ(GetPixel(canvas.dc(), 3, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(canvas.dc(), -1, 0), CLR_INVALID);
  EXPECT_EQ(SetPixel(canvas.dc(), 5, 5, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
}

TEST(Shapes, ArcRunsCounterClockwiseByDefault) {
  Canvas ccw(9, 9), cw(9, 9);
  SetArcDirection(cw.dc(), AD_CLOCKWISE);
  // From the right (3 o'clock) to the top (12 o'clock).
  Arc(ccw.dc(), 0, 0, 9, 9, 9, 4, 4, 0);
  Arc(cw.dc(), 0, 0, 9, 9, 9, 4, 4, 0);
  EXPECT_EQ(GetPixel(ccw.dc(), 7, 1), 0u);           // upper right quadrant drawn
  EXPECT_EQ(GetPixel(ccw.dc(), 1, 7), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(cw.dc(), 7, 1), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(cw.dc(), 1, 7), 0u);            // the long way round
  Canvas pie(9, 9);
  SelectObject(pie.dc(), GetStockObject(BLACK_BRUSH));
  Pie(pie.dc(), 0, 0, 9, 9, 9, 4, 4, 0);
  EXPECT_EQ(GetPixel(pie.dc(), 6, 2), 0u);
  EXPECT_EQ(GetPixel(pie.dc(), 2, 6), RGB(255, 255, 255));
}

}  // namespace
