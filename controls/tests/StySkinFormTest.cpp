#include "controls/sty/STYSkinForm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/tests/ToolCheck.h"
#include "platform/win/Api.h"

using namespace controls;
using namespace forms;

namespace {

namespace fs = std::filesystem;

class StySkinFormTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    dir = fs::temp_directory_path() / ("sty-skin-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    form = new TForm(nullptr);
    form->SetBounds(50, 40, 300, 200);
    skin = new TstySkinForm(form);
    skin->SetParent(form);
    skin->OnRegionChanged = [this](TObject*) { ++regionChanges; };
  }
  void TearDown() override {
    FormsFixture::TearDown();
    fs::remove_all(dir);
  }
  // A glyph drawn by ImageMagick: a filled shape inside a fuchsia outline.
  void MakeGlyph(TBitmap& glyph, int w, int h, const std::string& draw) {
    const fs::path file = dir / "glyph.bmp";
    const std::string cmd = "convert -size " + std::to_string(w) + "x" + std::to_string(h) +
                            " xc:'#FF00FF' -fill '#3060A0' " + draw + " BMP3:" + file.string() + " 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    glyph.LoadFromFile(file.string());
  }
  win::HRGN FormRegion() {
    win::HRGN rgn = win::CreateRectRgn(0, 0, 0, 0);
    win::GetWindowRgn(form->Handle(), rgn);
    return rgn;
  }
  fs::path dir;
  TForm* form = nullptr;
  TstySkinForm* skin = nullptr;
  int regionChanges = 0;
};

TEST_F(StySkinFormTest, GlyphShapesAndSizesTheBorderlessForm) {
  VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  EXPECT_EQ(form->BorderStyle(), bsNone);
  TBitmap glyph;
  MakeGlyph(glyph, 640, 480,
            "-draw 'roundrectangle 10,10 629,469 60,60' -fill '#FF00FF' -draw 'circle 320,240 320,300'");
  if (HasFatalFailure()) return;
  skin->SetBounds(7, 9, 20, 20);
  skin->SetGlyph(&glyph);
  EXPECT_EQ(form->ClientWidth(), 640);
  EXPECT_EQ(form->ClientHeight(), 480);
  EXPECT_EQ(skin->BoundsRect(), Rect(0, 0, 640, 480));
  EXPECT_EQ(regionChanges, 1);
  win::HRGN rgn = FormRegion();
  TCanvas* c = glyph.Canvas();
  int wrong = 0, inside = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool shape = c->Pixels(x, y) != clFuchsia;
      inside += shape;
      if ((win::PtInRegion(rgn, x, y) != 0) != shape) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(inside, 0);
  EXPECT_LT(inside, 640 * 480) << "the outline and the hole are cut away";
  win::DeleteObject(rgn);
  // The composed screen shows the glyph where the region is and the desktop
  // elsewhere.
  form->Show();
  Pump();
  const win::POINT o = form->ClientToScreen(Point(0, 0));
  EXPECT_EQ(win::GetScreenPixel(o.x + 320, o.y + 100), win::RGB(0x30, 0x60, 0xA0));
  EXPECT_NE(win::GetScreenPixel(o.x + 320, o.y + 240), win::RGB(0xFF, 0x00, 0xFF)) << "the hole is not drawn";
}

TEST_F(StySkinFormTest, SettingTheSameKeyRebuildsTheRegionAndANewSizeResizes) {
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(4, 2);
  glyph.Canvas()->Brush()->SetColor(clNavy);
  glyph.Canvas()->FillRect(Rect(0, 0, 4, 2));
  skin->SetGlyph(&glyph);
  // Drawing on the glyph itself changes nothing until a setter runs.
  skin->Glyph()->Canvas()->SetPixel(0, 0, clFuchsia);
  win::HRGN before = FormRegion();
  EXPECT_TRUE(win::PtInRegion(before, 0, 0));
  skin->SetTransparentColor(clFuchsia);
  win::HRGN after = FormRegion();
  EXPECT_FALSE(win::PtInRegion(after, 0, 0));
  EXPECT_TRUE(win::PtInRegion(after, 1, 0));
  EXPECT_EQ(regionChanges, 2);
  win::DeleteObject(before);
  win::DeleteObject(after);

  glyph.SetSize(30, 12);
  skin->SetGlyph(&glyph);
  EXPECT_EQ(regionChanges, 3);
  EXPECT_EQ(skin->Width(), 30);
  EXPECT_EQ(form->ClientWidth(), 30);
  EXPECT_EQ(form->ClientHeight(), 12);
}

TEST_F(StySkinFormTest, AnEmptyGlyphChangesNothingAndPaintsABlackFrame) {
  form->SetColor(clWhite);
  skin->SetBounds(10, 10, 40, 20);
  TBitmap empty;
  skin->SetGlyph(&empty);
  skin->SetTransparentColor(clLime);
  EXPECT_EQ(regionChanges, 0);
  EXPECT_EQ(skin->BoundsRect(), Rect(10, 10, 50, 30));
  win::HRGN rgn = win::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(win::GetWindowRgn(form->Handle(), rgn), win::ERROR) << "no region was given";
  win::DeleteObject(rgn);
  form->Show();
  Pump();
  auto shot = win::CaptureWindow(form->Handle());
  const win::POINT o = form->ClientOrigin();
  win::RECT wr;
  win::GetWindowRect(form->Handle(), &wr);
  const int dx = o.x - wr.left, dy = o.y - wr.top;
  auto px = [&](int x, int y) { return shot->Pixel(dx + x, dy + y) & 0xFFFFFF; };
  EXPECT_EQ(px(10, 10), 0u);
  EXPECT_EQ(px(49, 29), 0u);
  EXPECT_EQ(px(30, 10), 0u);
  EXPECT_EQ(px(11, 11), 0xFFFFFFu) << "inside the frame the form shows";
}

TEST_F(StySkinFormTest, PressingOnTheGlyphDragsTheWindow) {
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(120, 80);
  glyph.Canvas()->Brush()->SetColor(clTeal);
  glyph.Canvas()->FillRect(Rect(0, 0, 120, 80));
  skin->SetGlyph(&glyph);
  int downs = 0;
  skin->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  form->Show();
  Pump();
  win::RECT start;
  win::GetWindowRect(form->Handle(), &start);
  const win::POINT p = At(skin, 30, 20);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  win::InjectMouseMove(p.x + 25, p.y + 10);
  win::InjectMouseMove(p.x + 40, p.y + 15);
  win::InjectMouseButton(0, false);
  Pump();
  win::RECT end;
  win::GetWindowRect(form->Handle(), &end);
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(end.left - start.left, 40);
  EXPECT_EQ(end.top - start.top, 15);
  EXPECT_EQ(win::GetCapture(), nullptr);
}

TEST_F(StySkinFormTest, TheRightButtonAlsoStartsACaptionMove) {
  TBitmap glyph;
  glyph.SetSize(50, 50);
  skin->SetGlyph(&glyph);
  form->Show();
  Pump();
  // The move request is recorded here rather than run, so the test does not
  // hold the pointer.
  std::vector<std::pair<win::WPARAM, win::LPARAM>> moves;
  TWndMethod old = form->WindowProc;
  form->WindowProc = [&](TMessage& m) {
    if (m.Msg == win::WM_NCLBUTTONDOWN) {
      moves.emplace_back(m.WParam, m.LParam);
      return;
    }
    old(m);
  };
  std::vector<TMouseButton> buttons;
  skin->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState, int, int) { buttons.push_back(b); };
  const win::POINT p = At(skin, 10, 10);
  win::InjectClick(p.x, p.y, 1);
  Pump();
  form->WindowProc = old;
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0], mbRight);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].first, static_cast<win::WPARAM>(win::HTCAPTION));
  EXPECT_EQ(moves[0].second, 0);
  EXPECT_EQ(win::GetCapture(), nullptr);
}

TEST(StySkinFormOwner, AnOwnerThatIsNoFormStillPaintsSafely) {
  TComponent owner(nullptr);
  TstySkinForm skin(&owner);
  ASSERT_NE(skin.Glyph(), nullptr);
  TBitmap glyph;
  glyph.SetSize(5, 5);
  skin.SetGlyph(&glyph);
  EXPECT_EQ(skin.Glyph()->Width(), 5);
}

}  // namespace
