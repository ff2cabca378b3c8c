#include "controls/sty/STYImagePanel.h"

#include <gtest/gtest.h>

#include <memory>

#include "controls/sty/STYSkinForm.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace controls;
using namespace forms;

namespace {

class StyImagePanelTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(20, 20, 200, 120);
    form->SetColor(clWhite);
    panel = new TstyImagePanel(form);
    panel->SetParent(form);
    panel->SetBounds(30, 20, 40, 20);
    panel->SetColor(clGreen);
  }
  // The form's pixels as shown (0xRRGGBB).
  uint32_t Px(int x, int y) { return shot->Pixel(x, y) & 0xFFFFFF; }
  void Shoot() {
    form->Show();
    Pump();
    form->Repaint();
    shot = win::CaptureWindow(form->Handle());
  }
  static std::unique_ptr<TBitmap> Solid(int w, int h, TColor color) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(pf24bit);
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(color);
    b->Canvas()->FillRect(Rect(0, 0, w, h));
    return b;
  }
  void SetPicture(TBitmap* b) {
    TPicture p;
    p.SetBitmap(b);
    panel->SetPicture(&p);
  }
  TForm* form = nullptr;
  TstyImagePanel* panel = nullptr;
  std::shared_ptr<win::Surface> shot;
};

TEST_F(StyImagePanelTest, AutoSizeTakesThePicturesSidesTheAlignmentLeavesFree) {
  struct Case {
    TAlign align;
    bool width, height;
  };
  for (Case c : {Case{alNone, true, true}, Case{alBottom, false, true}, Case{alTop, false, true},
                 Case{alLeft, true, false}, Case{alRight, true, false}, Case{alClient, false, false}}) {
    SCOPED_TRACE(static_cast<int>(c.align));
    auto* p = new TstyImagePanel(form);
    p->SetParent(form);
    p->SetAlign(c.align);
    const TRect before = p->BoundsRect();
    p->SetAutoSize(true);
    auto b = Solid(17, 13, clRed);
    TPicture pic;
    pic.SetBitmap(b.get());
    p->SetPicture(&pic);
    EXPECT_EQ(p->Width(), c.width ? 17 : before.right - before.left);
    EXPECT_EQ(p->Height(), c.height ? 13 : before.bottom - before.top);
    delete p;
  }
}

TEST_F(StyImagePanelTest, ATransparentPanelShowsExactlyWhatItsParentPaints) {
  // The parent's face is a skin glyph with a pattern, so any offset shows.
  auto* skin = new TstySkinForm(form);
  skin->SetParent(form);
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(200, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 200; ++x) glyph.Canvas()->SetPixel(x, y, ((x * 7) & 0xFF) | (((y * 5) & 0xFF) << 8) | 0x400000);
  skin->SetGlyph(&glyph);
  panel->SetVisible(false);
  Shoot();
  auto behind = shot;
  panel->SetVisible(true);
  panel->SetTransparent(true);
  Shoot();
  int differ = 0;
  for (int y = 20; y < 40; ++y)
    for (int x = 30; x < 70; ++x) differ += (shot->Pixel(x, y) != behind->Pixel(x, y));
  EXPECT_EQ(differ, 0);
  // A caption goes on top of it.
  panel->SetCaption("Hi");
  panel->Font()->SetColor(clBlack);
  Shoot();
  int black = 0;
  for (int y = 20; y < 40; ++y)
    for (int x = 30; x < 70; ++x) black += Px(x, y) == 0;
  EXPECT_GT(black, 0);
}

TEST_F(StyImagePanelTest, AnOpaquePanelFillsWhatItsPictureDoesNotCover) {
  Shoot();
  EXPECT_EQ(Px(30, 20), 0x008000u) << "no picture: Color";
  EXPECT_EQ(Px(69, 39), 0x008000u);
  auto small = Solid(10, 6, clRed);
  SetPicture(small.get());
  Shoot();
  EXPECT_EQ(Px(30, 20), 0xFF0000u);
  EXPECT_EQ(Px(39, 25), 0xFF0000u);
  EXPECT_EQ(Px(40, 25), 0x008000u) << "beside the picture";
  EXPECT_EQ(Px(35, 26), 0x008000u) << "below the picture";
}

TEST_F(StyImagePanelTest, TileRepeatsFromTheCornerAndStretchFillsThePanel) {
  auto tile = Solid(16, 16, clBlue);
  tile->Canvas()->SetPixel(0, 0, clRed);
  SetPicture(tile.get());
  panel->SetDrawStyle(styTile);
  Shoot();
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool origin = x % 16 == 0 && y % 16 == 0;
      ASSERT_EQ(Px(30 + x, 20 + y), origin ? 0xFF0000u : 0x0000FFu) << x << "," << y;
    }
  }
  // Two columns, left red and right blue, stretched over 40 x 20.
  auto halves = Solid(2, 1, clRed);
  halves->Canvas()->SetPixel(1, 0, clBlue);
  SetPicture(halves.get());
  panel->SetDrawStyle(styStretch);
  Shoot();
  EXPECT_EQ(Px(30, 20), 0xFF0000u);
  EXPECT_EQ(Px(49, 39), 0xFF0000u);
  EXPECT_EQ(Px(50, 20), 0x0000FFu);
  EXPECT_EQ(Px(69, 39), 0x0000FFu);
}

TEST_F(StyImagePanelTest, CaptionsAreCentredOrPutToTheirSideAndBlankOnesAreNotDrawn) {
  panel->SetBounds(10, 10, 180, 40);
  panel->Font()->SetColor(clBlack);
  auto inkBox = [&]() {
    TRect box{1000, 1000, -1, -1};
    for (int y = 10; y < 50; ++y)
      for (int x = 10; x < 190; ++x)
        if (Px(x, y) != 0x008000u) box = Rect(std::min<int>(box.left, x), std::min<int>(box.top, y),
                                              std::max<int>(box.right, x + 1), std::max<int>(box.bottom, y + 1));
    return box;
  };
  panel->SetCaption("   ");
  Shoot();
  EXPECT_EQ(inkBox().right, -1) << "blanks only: nothing drawn";

  panel->SetCaption("Wide caption");
  Shoot();
  TRect box = inkBox();
  ASSERT_GT(box.right, box.left);
  EXPECT_NEAR((box.left + box.right) / 2.0, 100.0, 3.0);
  EXPECT_NEAR((box.top + box.bottom) / 2.0, 30.0, 3.0);

  panel->SetAlignment(taLeftJustify);
  Shoot();
  EXPECT_LE(inkBox().left, 12);
  panel->SetAlignment(taRightJustify);
  Shoot();
  EXPECT_GE(inkBox().right, 188);

  // Surrounding blanks are drawn with the text: the ink moves left of the
  // right edge by the blanks' width.
  panel->SetCaption("Wide caption    ");
  Shoot();
  EXPECT_LT(inkBox().right, 185);
}

}  // namespace
