// The shared geometry routines and shadow painters, and the palette
// dialog's grid, highlight and pick, on the headless display.
#include "imaging/views/ikutilsPalette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/forms/Forms.h"
#include "platform/forms/Graphics.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Shapes.h"

namespace imaging {
namespace {

TEST(ConstrainLine, SnapsToVerticalHorizontalOrDiagonal) {
  struct Case {
    int32_t x0, y0, x1, y1, ex, ey;
  };
  for (const Case& c : {Case{0, 0, 100, 10, 100, 0},     // horizontal
                        Case{0, 0, 10, 100, 0, 100},     // vertical
                        Case{0, 0, 50, 40, 50, 50},      // diagonal, shorter side grows
                        Case{0, 0, 40, 50, 50, 50},
                        Case{100, 100, 50, 60, 60, 60},  // diagonal, longer side shrinks
                        Case{100, 100, 60, 50, 60, 60},
                        Case{100, 0, 50, 40, 50, 50},    // DX > 0, DY <= 0
                        Case{0, 100, 40, 50, 50, 50},    // DY > 0, DX <= 0
                        Case{0, 0, 0, 0, 0, 0}}) {
    int32_t x = c.x1, y = c.y1;
    ConstrainLineAngle(c.x0, c.y0, x, y);
    EXPECT_EQ(x, c.ex) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
    EXPECT_EQ(y, c.ey) << c.x0 << "," << c.y0 << " -> " << c.x1 << "," << c.y1;
  }
}

TEST(Geometry, OverlapSegmentClassesAndPoints) {
  EXPECT_TRUE(RectsOverlap(10, 10, 0, 0, 10, 10, 20, 20));  // touching corner
  EXPECT_FALSE(RectsOverlap(0, 0, 9, 9, 10, 10, 20, 20));
  EXPECT_TRUE(RectsOverlap(25, 5, 5, 25, 10, 10, 20, 20));
  EXPECT_FALSE(RectsOverlap(21, 0, 30, 30, 10, 10, 20, 20));

  struct Case {
    int32_t xa, ya, xb, yb, expected;
  };
  // Rectangle 10..20 both ways.
  for (const Case& c : {Case{0, 15, 30, 15, 0},    // both ends outside, opposite sides
                        Case{12, 12, 18, 18, 2},   // both inside
                        Case{15, 15, 30, 15, 1},   // one end out to the right
                        Case{15, 15, 15, 40, 1},   // one end out below
                        Case{15, 15, 30, 30, 1},   // out diagonally
                        Case{0, 0, 30, 30, 0}}) {  // both outside across the corners
    EXPECT_EQ(ClassifySegmentInRect(10, 10, 20, 20, c.xa, c.ya, c.xb, c.yb), c.expected)
        << c.xa << "," << c.ya << "-" << c.xb << "," << c.yb;
  }
  EXPECT_TRUE(IKPointInRect(10, 20, 10, 10, 20, 20));
  EXPECT_FALSE(IKPointInRect(21, 15, 10, 10, 20, 20));
}

// A white 64 x 64 surface to paint shadows on.
struct Surface {
  forms::TBitmap bitmap;
  Surface() {
    bitmap.SetPixelFormat(forms::pf24bit);
    bitmap.SetSize(64, 64);
    bitmap.Canvas()->Brush()->SetColor(forms::clWhite);
    bitmap.Canvas()->FillRect(forms::Rect(0, 0, 64, 64));
  }
  win::COLORREF At(int x, int y) { return win::GetPixel(bitmap.Canvas()->Handle(), x, y); }
};

TEST(Shadows, StyleTwoDarkensTowardsTheObject) {
  Surface s;
  const forms::TColor color = forms::clWhite;
  DrawVerticalShadow(s.bitmap.Canvas(), 10, 0, 10, 40, 2, color);
  // One column: m = e^(-0.1 - 9/6) = e^-1.6.
  const int expected = static_cast<int>(std::trunc(255 * std::exp(-1.6)));
  EXPECT_EQ(static_cast<int>(s.At(10, 20) & 0xFF), expected);
  EXPECT_EQ(s.At(11, 20), 0xFFFFFFu & 0xFFFFFF);

  Surface h;
  DrawHorizontalShadow(h.bitmap.Canvas(), 0, 10, 40, 14, 2, forms::clWhite);
  // Row i: pen colour scaled by e^(-0.1 - ((5 - i) / (5 / 3))^2 / 6); the
  // first row is the faintest.
  const int row0 = static_cast<int>(h.At(20, 10) & 0xFF), row4 = static_cast<int>(h.At(20, 14) & 0xFF);
  EXPECT_LT(row0, row4);
  const double t = 5.0 / (5.0 / 3.0);
  EXPECT_EQ(row0, static_cast<int>(std::trunc(255 * std::exp(-0.1 - t * t / 6))));
}

TEST(Shadows, StyleThreeStaysInsideItsStrip) {
  Surface s;
  DrawVerticalShadow(s.bitmap.Canvas(), 20, 10, 24, 40, 3, forms::clBlack);
  int painted = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      if ((s.At(x, y) & 0xFFFFFF) != 0xFFFFFF) {
        ++painted;
        EXPECT_TRUE(x >= 20 && x <= 24 && y >= 10 && y <= 40) << x << "," << y;
      }
    }
  }
  EXPECT_GT(painted, 0);
  // Grey: all three channels alike.
  const win::COLORREF c = s.At(20, 12);
  EXPECT_EQ(c & 0xFF, (c >> 8) & 0xFF);
}

TEST(OwnerWindow, FirstWindowedOwnerWithAHandle) {
  auto* form = new forms::TForm(nullptr);
  auto* child = new forms::TComponent(form);
  EXPECT_EQ(IKOwnerWindowHandle(child), nullptr);  // no handle is made
  form->HandleNeeded();
  EXPECT_EQ(IKOwnerWindowHandle(child), form->Handle());
  EXPECT_EQ(IKOwnerWindowHandle(nullptr), nullptr);
  delete form;
}

TEST(PaletteDialog, GridHighlightAndPick) {
  std::vector<uint8_t> palette(256 * 3);
  for (int i = 0; i < 256; ++i) {
    palette[3 * i] = static_cast<uint8_t>(i);
    palette[3 * i + 1] = static_cast<uint8_t>(255 - i);
    palette[3 * i + 2] = 7;
  }
  TImgKitPaletteDialog dialog(nullptr);
  EXPECT_EQ(dialog.Caption(), "Palette");
  EXPECT_EQ(dialog.Width(), 520);
  EXPECT_EQ(dialog.Height(), 199);
  EXPECT_EQ(dialog.CancelButton()->Left(), 4);
  EXPECT_EQ(dialog.CancelButton()->Top(), 136);
  EXPECT_EQ(dialog.HighlightedCell(), -1);
  dialog.SetPalette(palette.data(), 256);
  // 256 colours fill 8 rows of 32.
  EXPECT_EQ(TImgKitPaletteDialog::CellRect(255).top, 16 * 7 + 1);
  EXPECT_EQ(TImgKitPaletteDialog::CellRect(255).right, 16 * 31 + 16);
  // A click before any highlight picks nothing.
  dialog.PaletteClick();
  EXPECT_EQ(dialog.ModalResult(), forms::mrNone);
  dialog.PaletteMouseMove(0, 0);
  EXPECT_EQ(dialog.HighlightedCell(), 0);
  // Right of column 31 lies the next row's first cell.
  dialog.PaletteMouseMove(16 * 32 + 2, 1);
  EXPECT_EQ(dialog.HighlightedCell(), 32);
  // Past the last colour the highlight stays.
  dialog.PaletteMouseMove(5, 16 * 9 + 2);
  EXPECT_EQ(dialog.HighlightedCell(), 32);
  dialog.PaletteClick();
  EXPECT_EQ(dialog.ModalResult(), forms::mrOk);
  EXPECT_EQ(dialog.PickedColor(), static_cast<forms::TColor>(win::RGB(32, 223, 7)));
}

TEST(PaletteDialog, ExecutePaintsTheCellsAndAClickPicks) {
  std::vector<uint8_t> palette{255, 0, 0, 0, 255, 0, 0, 0, 255};
  TImgKitPaletteDialog dialog(nullptr);
  dialog.SetPalette(palette.data(), 3);
  dialog.OnActivate = [&](forms::TObject*) {
    forms::Application->ProcessMessages();
    // The second cell shows green with a white outline before any move.
    const win::POINT inside = dialog.ClientToScreen(forms::Point(16 + 8, 8));
    EXPECT_EQ(win::GetScreenPixel(inside.x, inside.y) & 0xFFFFFF, 0x00FF00u);
    const win::POINT edge = dialog.ClientToScreen(forms::Point(17, 1));
    EXPECT_EQ(win::GetScreenPixel(edge.x, edge.y) & 0xFFFFFF, 0xFFFFFFu);
    const win::POINT p = dialog.ClientToScreen(forms::Point(40, 8));
    win::InjectMouseMove(p.x, p.y);
    win::InjectClick(p.x, p.y);
  };
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.HighlightedCell(), 2);
  EXPECT_EQ(dialog.PickedColor(), static_cast<forms::TColor>(win::RGB(0, 0, 255)));
  // Escape cancels.
  dialog.OnActivate = [](forms::TObject*) { win::InjectKeyPress(win::VK_ESCAPE); };
  EXPECT_FALSE(dialog.Execute());
}

}  // namespace
}  // namespace imaging
