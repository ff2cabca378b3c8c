#include "controls/sty/STYEdit.h"

#include <gtest/gtest.h>

#include <memory>

#include "controls/sty/STYForm.h"
#include "controls/sty/STYMgr.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace controls;
using namespace forms;

namespace {

class ColourTheme : public TstyFileTheme {
public:
  using TstyFileTheme::TstyFileTheme;
  bool IsValid() const override { return true; }
  int32_t GetInt(int index) const override { return index == styControlBorderColor ? 0x000000FF : 0; }
};

class StyEditTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(30, 30, 200, 80);
    form->SetColor(clWhite);
  }
  TstyEdit* MakeEdit() {
    auto* e = new TstyEdit(form);
    e->SetParent(form);
    e->SetBounds(10, 10, 120, 24);
    e->SetColor(clYellow);
    return e;
  }
  uint32_t Px(int x, int y) { return shot->Pixel(x, y) & 0xFFFFFF; }
  void Shoot() {
    form->Show();
    Pump();
    form->Repaint();
    Pump();
    shot = win::CaptureWindow(form->Handle());
  }
  // Outer line at the edit's edge, inner line one pixel in; the client
  // area starts two pixels in.
  void ExpectFrame(uint32_t outer, uint32_t inner) {
    for (auto [x, y] : {std::pair{10, 10}, std::pair{129, 33}, std::pair{70, 10}, std::pair{10, 20}}) {
      EXPECT_EQ(Px(x, y), outer) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{11, 11}, std::pair{128, 32}, std::pair{70, 11}, std::pair{11, 20}}) {
      EXPECT_EQ(Px(x, y), inner) << x << "," << y;
    }
  }
  TForm* form = nullptr;
  std::shared_ptr<win::Surface> shot;
};

uint32_t Rgb(TColor c) {
  const win::COLORREF v = ColorToRGB(c);
  return (static_cast<uint32_t>(win::GetRValue(v)) << 16) | (win::GetGValue(v) << 8) | win::GetBValue(v);
}

TEST_F(StyEditTest, EachStyleFramesTheEditInItsBorderColour) {
  struct Case {
    TstyUIStyle style;
    uint32_t frame;
  };
  for (Case c : {Case{DeepBlue, 0x000000}, Case{WinXP, 0x686868}, Case{MacOS, 0x7F7F7F}, Case{Protein, 0x000000},
                 Case{FromThemeFile, 0x000000}}) {
    SCOPED_TRACE(static_cast<int>(c.style));
    TstyEdit* edit = MakeEdit();
    edit->SetUIStyle(c.style);
    Shoot();
    ExpectFrame(c.frame, 0xFFFF00);
    delete edit;
  }
}

TEST_F(StyEditTest, TheFrameTakesTheTwoPixelMarginAndFollowsColourAndBorderColor) {
  TstyEdit* edit = MakeEdit();
  EXPECT_EQ(edit->UIStyle(), DeepBlue) << "a form without a frame gives DeepBlue";
  EXPECT_EQ(edit->BorderStyle(), bsNone);
  edit->HandleNeeded();
  EXPECT_EQ(edit->ClientWidth(), 116);
  EXPECT_EQ(edit->ClientHeight(), 20);
  edit->SetColor(clAqua);
  edit->SetBorderColor(clRed);
  Shoot();
  ExpectFrame(0xFF0000, 0x00FFFF);
  EXPECT_EQ(Px(12, 12), 0x00FFFFu) << "the client area is the edit's own";
}

TEST_F(StyEditTest, AnEditMadeOnAFramedFormTakesTheFramesStyle) {
  auto* frame = new TstyForm(form);
  frame->SetParent(form);
  frame->SetUIStyle(WinXP);
  TstyEdit* edit = MakeEdit();
  EXPECT_EQ(edit->UIStyle(), WinXP);
  EXPECT_EQ(edit->BorderColor(), 0x00686868);
}

TEST_F(StyEditTest, AThemeFileGivesTheColourAndFreeingItFallsBackToDeepBlue) {
  TstyEdit* edit = MakeEdit();
  auto* theme = new ColourTheme(form);
  edit->SetUIStyle(FromThemeFile);
  EXPECT_EQ(edit->BorderColor(), 0) << "no file yet";
  edit->SetFileTheme(theme);
  EXPECT_EQ(edit->BorderColor(), 0x000000FF);
  Shoot();
  ExpectFrame(Rgb(0x000000FF), 0xFFFF00);
  delete theme;
  EXPECT_EQ(edit->FileTheme(), nullptr);
  EXPECT_EQ(edit->UIStyle(), DeepBlue);
  Shoot();
  ExpectFrame(0x000000, 0xFFFF00);
}

}  // namespace
