// The Fc drawing routines on small bitmaps: gradient kinds and bands, tiles,
// keyed stretched copies and the parent's image behind a control.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "controls/fc/FcGrafx.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/win/Api.h"

using namespace controls;
using forms::TBitmap;
using forms::TColor;

namespace {

constexpr TColor kBack = 0x00123456;

std::unique_ptr<TBitmap> Canvas(int w, int h, TColor fill = kBack) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(forms::pf32bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(fill);
  b->Canvas()->FillRect(forms::Rect(0, 0, w, h));
  return b;
}

TColor Px(TBitmap* b, int x, int y) { return b->Canvas()->Pixels(x, y); }
int Red(TColor c) { return c & 0xFF; }

std::unique_ptr<TBitmap> Gradient(int w, int h, uint8_t kind, TColor c1, TColor c2, uint8_t steps) {
  auto b = Canvas(w, h);
  DrawGradient(b->Canvas(), forms::Rect(0, 0, w, h), kind, c1, c2, steps);
  return b;
}

TEST(FcGradient, VerticalRowsStepFromTheSecondColourAtTheBottom) {
  // Eight rows from red 255 at the bottom towards 0 in 16.16 steps of
  // -255/8: the top row stops one step short of the first colour.
  auto b = Gradient(20, 8, 2, forms::clBlack, forms::clRed, 1);
  const int want[] = {31, 63, 95, 127, 159, 191, 223, 255};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Px(b.get(), x, y), want[y]) << x << ',' << y;
}

TEST(FcGradient, HorizontalColumnsMirrorTheVerticalOnes) {
  auto b = Gradient(8, 11, 5, forms::clBlack, forms::clRed, 1);
  const int want[] = {31, 63, 95, 127, 159, 191, 223, 255};
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 11; ++y) ASSERT_EQ(Px(b.get(), x, y), want[x]) << x << ',' << y;
}

TEST(FcGradient, CentreKindsPutTheSecondColourInTheMiddle) {
  struct Case {
    uint8_t kind;
    bool vertical;
  };
  for (const Case c : {Case{3, true}, Case{6, false}}) {
    SCOPED_TRACE(int(c.kind));
    auto b = c.vertical ? Gradient(10, 9, c.kind, forms::clBlack, forms::clRed, 1)
                        : Gradient(9, 10, c.kind, forms::clBlack, forms::clRed, 1);
    auto at = [&](int i) { return c.vertical ? Px(b.get(), 5, i) : Px(b.get(), i, 5); };
    // Middle (9 div 2 = 4): the second colour; the far edge: the first.
    EXPECT_EQ(at(4), forms::clRed);
    EXPECT_EQ(at(8), forms::clBlack);
    // The near half steps 255 -> 0 in five, the far half 0 -> 255 in four.
    const int want[] = {51, 102, 153, 204, 255, 191, 127, 63, 0};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(Red(at(i)), want[i]) << i;
  }
}

TEST(FcGradient, StepsMakeBandsOfAtLeastThatManyRows) {
  struct Case {
    uint8_t steps;
    size_t bands;
    int firstBandRows;
  };
  // 64 rows; steps 16 allow bands of 255 div 16 + 1 = 16 steps.
  for (const Case c : {Case{1, 64, 1}, Case{2, 32, 2}, Case{8, 8, 8}, Case{16, 4, 16}, Case{0, 64, 1}}) {
    SCOPED_TRACE(int(c.steps));
    auto b = Gradient(8, 64, 2, forms::clBlack, forms::clRed, c.steps);
    std::set<TColor> colours;
    int bottomRun = 0;
    for (int y = 0; y < 64; ++y) colours.insert(Px(b.get(), 0, y));
    for (int y = 63; y >= 0 && Px(b.get(), 0, y) == forms::clRed; --y) ++bottomRun;
    EXPECT_EQ(colours.size(), c.bands);
    EXPECT_EQ(bottomRun, c.firstBandRows);
  }
}

TEST(FcGradient, DiagonalKindsRunFromTheirCorner) {
  // Kind 0: the first colour (black) at the bottom-left, the second (white)
  // towards the top-right. Kind 1: the second colour at the bottom-right,
  // the first towards the top-left. Colours only grow towards the light
  // corner.
  struct Case {
    uint8_t kind;
    int darkX, darkY, lightX, lightY, growX, growY;
  };
  for (const Case c : {Case{0, 0, 15, 15, 0, 1, -1}, Case{1, 0, 0, 15, 15, 1, 1}}) {
    SCOPED_TRACE(int(c.kind));
    auto b = Gradient(16, 16, c.kind, forms::clBlack, forms::clWhite, 1);
    EXPECT_LT(Red(Px(b.get(), c.darkX, c.darkY)), 32);
    EXPECT_GT(Red(Px(b.get(), c.lightX, c.lightY)), 223);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const int nx = x + c.growX, ny = y + c.growY;
        if (nx >= 0 && nx < 16) {
          ASSERT_LE(Red(Px(b.get(), x, y)), Red(Px(b.get(), nx, y))) << x << ',' << y;
        }
        if (ny >= 0 && ny < 16) {
          ASSERT_LE(Red(Px(b.get(), x, y)), Red(Px(b.get(), x, ny))) << x << ',' << y;
        }
      }
    }
    // Band edges run parallel to the diagonal between the other two corners.
    int same = 0, total = 0;
    for (int i = 1; i < 15; ++i) {
      const int x = i, y = c.kind == 0 ? i : 15 - i;
      const int x2 = x + 1, y2 = c.kind == 0 ? y + 1 : y - 1;
      if (y2 < 0 || y2 > 15) continue;
      ++total;
      same += Px(b.get(), x, y) == Px(b.get(), x2, y2);
    }
    EXPECT_GE(same * 10, total * 7) << same << " of " << total;
  }
}

// The top-left quadrant of a 9x9 box from red (centre) to black (edge) in
// five steps of 51, for the insets of kinds 8 and 4.
constexpr int kBoxPlain[5][5] = {{51, 51, 51, 51, 51},
                                 {51, 102, 102, 102, 102},
                                 {51, 102, 153, 153, 153},
                                 {51, 102, 153, 204, 204},
                                 {51, 102, 153, 204, 255}};
constexpr int kBoxWide[5][5] = {{51, 51, 51, 51, 51},
                                {102, 102, 102, 102, 102},
                                {102, 153, 153, 153, 153},
                                {102, 204, 204, 204, 204},
                                {102, 204, 255, 255, 255}};

TEST(FcGradient, BoxFillPaintsRingsOfTheTopLeftQuadrant) {
  struct Case {
    int xInset;
    const int (*want)[5];
  };
  for (const Case c : {Case{0, kBoxPlain}, Case{2, kBoxWide}}) {
    SCOPED_TRACE(c.xInset);
    auto b = Canvas(9, 9);
    FillBoxGradient(b->Canvas()->Handle(), 9, 9, c.xInset, 0, win::RGB(0, 0, 0), win::RGB(255, 0, 0), 1);
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 9; ++x) {
        const TColor want = x < 5 && y < 5 ? c.want[y][x] : kBack;
        ASSERT_EQ(Px(b.get(), x, y), want) << x << ',' << y;
      }
  }
}

TEST(FcGradient, BoxKindsKeepTheirQuadrantAndCopyItToTheCorners) {
  struct Case {
    uint8_t kind;
    const int (*want)[5];
  };
  for (const Case c : {Case{8, kBoxPlain}, Case{4, kBoxWide}}) {
    SCOPED_TRACE(int(c.kind));
    auto b = Gradient(9, 9, c.kind, forms::clBlack, forms::clRed, 1);
    // The quadrant's last row and column take the mirrored copies; the rest
    // stays as the box fill left it.
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) ASSERT_EQ(Px(b.get(), x, y), c.want[y][x]) << x << ',' << y;
  }
  // Kinds 7 and 9 have no first-colour fill under the bands: the quadrant
  // is all bands still.
  for (uint8_t kind : {7, 9}) {
    auto b = Gradient(9, 9, kind, forms::clBlack, forms::clRed, 1);
    std::set<TColor> seen;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) seen.insert(Px(b.get(), x, y));
    EXPECT_FALSE(seen.count(forms::clWhite)) << int(kind);
  }
}

TEST(FcGradient, DegenerateCases) {
  // Equal colours paint one colour; a box under 5 pixels is one colour; an
  // empty rectangle and an unknown kind paint nothing over the canvas.
  struct Case {
    const char* what;
    int w, h;
    uint8_t kind;
    TColor c1, c2;
    TColor want;
  };
  const Case cases[] = {
      {"diagonal, equal colours", 9, 9, 0, forms::clLime, forms::clLime, forms::clLime},
      {"reverse diagonal, equal colours", 9, 9, 1, forms::clLime, forms::clLime, forms::clLime},
      {"box, equal colours", 9, 9, 8, forms::clLime, forms::clLime, forms::clLime},
      {"wide box, equal colours", 9, 9, 4, forms::clLime, forms::clLime, forms::clLime},
      {"box narrower than 5", 4, 9, 8, forms::clLime, forms::clRed, forms::clLime},
      {"box lower than 5", 9, 4, 7, forms::clLime, forms::clRed, forms::clLime},
  };
  for (const Case& c : cases) {
    auto b = Gradient(c.w, c.h, c.kind, c.c1, c.c2, 1);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) ASSERT_EQ(Px(b.get(), x, y), c.want) << c.what << " at " << x << ',' << y;
  }
  auto b = Canvas(6, 6);
  DrawGradient(b->Canvas(), forms::Rect(2, 2, 2, 6), 2, forms::clBlack, forms::clRed, 1);
  DrawGradient(b->Canvas(), forms::Rect(0, 0, 6, 6), 10, forms::clBlack, forms::clRed, 1);
  // An unknown kind still draws its (untouched, white) bitmap.
  EXPECT_EQ(Px(b.get(), 3, 3), forms::clWhite);
  auto c = Canvas(6, 6);
  DrawGradient(c->Canvas(), forms::Rect(2, 2, 2, 6), 2, forms::clBlack, forms::clRed, 1);
  EXPECT_EQ(Px(c.get(), 2, 3), kBack);
}

TEST(FcGradient, DoublingCopiesTheFilledBlockToTheTotalSize) {
  auto b = Canvas(11, 7);
  win::HDC dc = b->Canvas()->Handle();
  win::SetPixel(dc, 1, 1, win::RGB(200, 0, 0));
  win::SetPixel(dc, 2, 1, win::RGB(0, 200, 0));
  // The 2x1 block at (1, 1) grows to 9x5, every copy a whole block.
  DoublingFillBlit(dc, 1, 1, 9, 5, 2, 1, win::SRCCOPY);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 11; ++x) {
      TColor want = kBack;
      if (x >= 1 && x < 10 && y >= 1 && y < 6) want = ((x - 1) % 2 == 0) ? 0x0000C8 : 0x00C800;
      ASSERT_EQ(Px(b.get(), x, y), want) << x << ',' << y;
    }
}

TEST(FcGraphics, TileCoversTheRectangleAndClipsTheLastTiles) {
  auto tile = Canvas(3, 2);
  tile->Canvas()->SetPixel(0, 0, forms::clRed);
  tile->Canvas()->SetPixel(2, 1, forms::clBlue);
  auto b = Canvas(12, 8, forms::clWhite);
  TileBitmap(b->Canvas(), tile.get(), forms::Rect(1, 1, 9, 6));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) {
      TColor want = forms::clWhite;
      if (x >= 1 && x < 9 && y >= 1 && y < 6) {
        const int tx = (x - 1) % 3, ty = (y - 1) % 2;
        want = tx == 0 && ty == 0 ? forms::clRed : tx == 2 && ty == 1 ? forms::clBlue : kBack;
      }
      ASSERT_EQ(Px(b.get(), x, y), want) << x << ',' << y;
    }
  // A rectangle smaller than the tile takes one clipped piece.
  auto small = Canvas(4, 4, forms::clWhite);
  TileBitmap(small->Canvas(), tile.get(), forms::Rect(2, 2, 4, 3));
  EXPECT_EQ(Px(small.get(), 2, 2), forms::clRed);
  EXPECT_EQ(Px(small.get(), 3, 2), kBack);
  EXPECT_EQ(Px(small.get(), 2, 3), forms::clWhite);
}

TEST(FcGraphics, TransparentStretchKeepsTheCanvasUnderTheKeyColour) {
  auto pic = Canvas(2, 2, forms::clOlive);
  pic->Canvas()->SetPixel(1, 0, forms::clRed);
  auto b = Canvas(6, 6, forms::clWhite);
  DrawTransparentStretched(b->Canvas(), pic.get(), forms::Rect(1, 1, 5, 5), forms::Rect(0, 0, 2, 2), forms::clOlive);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool red = x >= 3 && x < 5 && y >= 1 && y < 3;
      ASSERT_EQ(Px(b.get(), x, y), red ? forms::clRed : forms::clWhite) << x << ',' << y;
    }
}

// ---- the parent's image ----

class CountingPanel : public forms::TPanel {
public:
  using TPanel::TPanel;
  void Invalidate() override {
    ++invalidated;
    TPanel::Invalidate();
  }
  int invalidated = 0;
};

class PlainParent : public forms::TWinControl {
public:
  explicit PlainParent(forms::TComponent* owner) : TWinControl(owner) {}
  void Invalidate() override {
    ++invalidated;
    TWinControl::Invalidate();
  }
  int invalidated = 0;
};

TEST(FcGraphics, CopyParentImageLinesUpTheParentBehindTheControl) {
  auto form = std::make_unique<forms::TForm>(nullptr);
  form->SetBounds(0, 0, 200, 120);
  auto* panel = new CountingPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 10, 100, 60);
  panel->SetBevelOuter(forms::bvNone);
  panel->SetColor(forms::clYellow);
  auto* mark = new forms::TPanel(form.get());
  mark->SetParent(panel);
  mark->SetBounds(20, 20, 5, 5);
  auto* child = new forms::TPanel(form.get());
  child->SetParent(panel);
  child->SetBounds(18, 15, 30, 20);
  form->HandleNeeded();

  auto out = Canvas(30, 20, forms::clWhite);
  panel->invalidated = 0;
  CopyParentImage(child, out->Canvas()->Handle(), true);
  // The panel's own face shows; its windowed children do not.
  EXPECT_EQ(Px(out.get(), 0, 0), forms::clYellow);
  EXPECT_EQ(Px(out.get(), 29, 19), forms::clYellow);
  EXPECT_EQ(panel->invalidated, 0) << "a custom control repaints itself";

  auto* plain = new PlainParent(form.get());
  plain->SetParent(form.get());
  plain->SetBounds(120, 10, 50, 50);
  auto* inner = new forms::TPanel(form.get());
  inner->SetParent(plain);
  inner->SetBounds(5, 5, 10, 10);
  form->HandleNeeded();
  plain->invalidated = 0;
  CopyParentImage(inner, out->Canvas()->Handle(), true);
  EXPECT_EQ(plain->invalidated, 1);
  CopyParentImage(inner, out->Canvas()->Handle(), false);
  EXPECT_EQ(plain->invalidated, 1);

  // Without a parent nothing is drawn.
  forms::TPanel orphan(nullptr);
  auto untouched = Canvas(4, 4, forms::clWhite);
  CopyParentImage(&orphan, untouched->Canvas()->Handle(), true);
  EXPECT_EQ(Px(untouched.get(), 1, 1), forms::clWhite);
}

}  // namespace
