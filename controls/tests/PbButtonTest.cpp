// The picture button: where pictures and captions land, the state pictures,
// the repeat while held, keys and the dialog keys, and a face with an alpha
// PNG over the parent's background checked against ImageMagick.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "controls/pb/PbButton.h"
#include "controls/tests/PbTestUtil.h"
#include "platform/forms/Actions.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/PngImage.h"
#include "platform/forms/tests/GraphicsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/tests/ToolCheck.h"

using namespace forms;
// Inside the controls namespace its alignment names win over the class
// library's of the same spelling.
namespace controls {
using controlstest::BoxOfColour;
using controlstest::Face;
using controlstest::Rgb;

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kGreen = 0x00FF00;

class PbButtonTest : public controlstest::FormFixture {
protected:
  void SetUp() override {
    FormFixture::SetUp();
    button = new TPbButton(form);
    button->SetParent(form);
    button->SetBounds(20, 30, 40, 30);
    button->SetColor(clWhite);
  }
  // A red picture with a blue marker pixel at its top-left corner.
  void GivePicture(int w, int h, int markerColumns = 1) {
    auto b = controlstest::Solid(w, h, kRed);
    for (int x = 0; x < markerColumns; ++x) controlstest::SetRgb(b.get(), x, 0, kBlue);
    TPicture p;
    p.SetGraphic(b.get());
    button->SetPicNormal(&p);
  }
  TPbButton* button = nullptr;
};

TEST_F(PbButtonTest, PicturePlacementFollowsTheAlignmentTable) {
  GivePicture(10, 6);
  struct Row {
    TPbPicAlign align;
    int x, y;
  };
  // W = 40, H = 30, w = 10, h = 6.
  const Row rows[] = {
      {paTopLeft, 0, 0},       {paTopCenter, 15, 0},     {paTopRight, 30, 0},     {paMiddleLeft, 0, 12},
      {paMiddleCenter, 15, 12}, {paMiddleRight, 30, 12}, {paBottomLeft, 0, 24},   {paBottomCenter, 15, 24},
      {paBottomRight, 30, 24}, {paCenter, 15, 12},       {paLeft, 0, 12},         {paRight, 30, 12},
      {paCustom, 7, 3},
  };
  button->SetPictureX(7);
  button->SetPictureY(3);
  for (const Row& row : rows) {
    button->SetPictureAlign(row.align);
    auto face = Face(button);
    EXPECT_EQ(BoxOfColour(face.get(), kBlue), Bounds(row.x, row.y, 1, 1)) << "align " << row.align;
    const TRect red = BoxOfColour(face.get(), kRed);
    EXPECT_EQ(red, Bounds(row.x, row.y, 10, 6)) << "align " << row.align;
  }
}

TEST_F(PbButtonTest, APictureWiderThanTheButtonStartsLeftOfItAndStretchFillsToTheCorner) {
  // Centred, 15 wide on a 10 wide button: x = (10 - 15) / 2 = -2, so of three
  // marker columns only the last one shows.
  button->SetWidth(10);
  GivePicture(15, 6, 3);
  button->SetPictureAlign(paMiddleCenter);
  auto face = Face(button);
  EXPECT_EQ(BoxOfColour(face.get(), kBlue), Bounds(0, 12, 1, 1));

  // Stretched pictures run from their origin to the right and bottom edges.
  button->SetWidth(40);
  GivePicture(10, 6);
  button->SetStretch(true);
  face = Face(button);
  const TRect red = BoxOfColour(face.get(), kRed);
  EXPECT_EQ(red.left, 15);
  EXPECT_EQ(red.top, 12);
  EXPECT_EQ(red.right, 40);
  EXPECT_EQ(red.bottom, 30);
  button->SetPictureAlign(paBottomRight);
  face = Face(button);
  EXPECT_EQ(BoxOfColour(face.get(), kRed), Bounds(30, 24, 10, 6));
}

TEST_F(PbButtonTest, CaptionPlacementFollowsTheAlignmentTableAndShiftsWhilePressed) {
  button->SetBounds(20, 30, 120, 60);
  button->SetCaption("Hg");
  button->Font()->SetColor(clBlack);
  auto ink = [](uint32_t c) { return c != kWhite; };
  enum H { L, C, R };
  enum V { T, M, B };
  struct Row {
    TPbTextAlign align;
    H h;
    V v;
  };
  const Row rows[] = {
      {taTopLeft, L, T},    {taTopCenter, C, T},    {taTopRight, R, T},    {taMiddleLeft, L, M},
      {taMiddleCenter, C, M}, {taMiddleRight, R, M}, {taBottomLeft, L, B},  {taBottomCenter, C, B},
      {taBottomRight, R, B}, {taCenter, C, M},      {taLeft, L, M},        {taRight, R, M},
  };
  ShowForm();
  for (const Row& row : rows) {
    button->SetTextAlign(row.align);
    auto face = Face(button);
    const TRect r = controlstest::BoxOf(face.get(), ink);
    ASSERT_GT(r.right, r.left) << "no caption for align " << row.align;
    const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
    if (row.h == L) {
      EXPECT_LT(r.left, 6) << row.align;
    }
    if (row.h == C) {
      EXPECT_NEAR(cx, 60, 3) << row.align;
    }
    if (row.h == R) {
      EXPECT_GT(r.right, 114) << row.align;
    }
    if (row.v == T) {
      EXPECT_LT(r.top, 8) << row.align;
    }
    if (row.v == M) {
      EXPECT_NEAR(cy, 30, 6) << row.align;
    }
    if (row.v == B) {
      EXPECT_GT(r.bottom, 50) << row.align;
    }

    // Held down, the caption moves one pixel right and down.
    const win::POINT p = At(button, 2, 2);
    win::InjectMouseMove(p.x, p.y);
    win::InjectMouseButton(0, true);
    Pump();
    ASSERT_TRUE(button->Pressed());
    auto pressed = Face(button);
    win::InjectMouseButton(0, false);
    Pump();
    // (Right and bottom may be cut off by the button's edge.)
    const TRect s = controlstest::BoxOf(pressed.get(), ink);
    EXPECT_EQ(s.left, r.left + 1) << row.align;
    EXPECT_EQ(s.top, r.top + 1) << row.align;
  }

  // A custom origin is the caption rectangle's corner and does not move.
  button->SetTextAlign(taCustom);
  button->SetTextX(10);
  button->SetTextY(40);
  auto face = Face(button);
  const TRect r = controlstest::BoxOf(face.get(), ink);
  EXPECT_GE(r.left, 10);
  EXPECT_LE(r.left, 13);
  EXPECT_GE(r.top, 40);
  EXPECT_LE(r.top, 45);
  const win::POINT p = At(button, 2, 2);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  auto pressed = Face(button);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(controlstest::BoxOf(pressed.get(), ink), r);
}

TEST_F(PbButtonTest, ACaptionOfBlanksDrawsNothingAndMultiLineCaptionsWrapFromTheTop) {
  button->SetBounds(20, 30, 60, 60);
  button->Font()->SetColor(clBlack);
  auto ink = [](uint32_t c) { return c != kWhite; };
  button->SetCaption("   ");
  auto face = Face(button);
  EXPECT_EQ(controlstest::BoxOf(face.get(), ink), Rect(0, 0, 0, 0));

  button->SetCaption("one two three four");
  button->SetTextAlign(taBottomCenter);
  face = Face(button);
  const TRect single = controlstest::BoxOf(face.get(), ink);
  EXPECT_GT(single.top, 40);
  button->SetMultiLines(true);
  face = Face(button);
  const TRect r = controlstest::BoxOf(face.get(), ink);
  EXPECT_LT(r.top, 6) << "bottom placement does not apply to wrapped captions";
  EXPECT_GT(r.bottom - r.top, single.bottom - single.top + 8) << "the caption did not wrap";
}

TEST_F(PbButtonTest, TheStatePictureFallsBackToTheNormalOne) {
  auto picture = [](uint32_t rgb) {
    auto b = controlstest::Solid(8, 8, rgb);
    auto p = std::make_unique<TPicture>();
    p->SetGraphic(b.get());
    return p;
  };
  ShowForm();
  // Nothing at all: only the background.
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), kWhite);
  button->SetPicNormal(picture(kRed).get());
  button->SetEnabled(false);
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), kRed) << "disabled without its own picture";
  button->SetPicDisabled(picture(kBlue).get());
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), kBlue);
  button->SetEnabled(true);
  button->SetPicMouseHover(picture(kGreen).get());
  button->SetPicMouseDown(picture(0x808000).get());
  MoveTo(button, 3, 3);
  EXPECT_TRUE(button->Hovered());
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), kGreen);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), 0x808000u);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(Rgb(Face(button).get(), 2, 2), kGreen);
}

TEST_F(PbButtonTest, EachStateDrawsTheCaptionInItsOwnFont) {
  button->SetBounds(20, 30, 80, 30);
  button->SetCaption("MMMM");
  auto font = [](TColor colour) {
    auto f = std::make_unique<TFont>();
    f->SetColor(colour);
    return f;
  };
  button->Font()->SetColor(clBlack);
  button->SetFontMouseHover(font(clRed).get());
  button->SetFontMouseDown(font(clBlue).get());
  button->SetFontDisabled(font(clLime).get());
  // The strongest ink: the stems of the Ms cover whole pixels.
  auto inkColour = [&] {
    auto face = Face(button);
    uint32_t best = kWhite;
    auto weight = [](uint32_t c) { return (c >> 16) + ((c >> 8) & 0xFF) + (c & 0xFF); };
    for (int y = 0; y < face->Height(); ++y)
      for (int x = 0; x < face->Width(); ++x)
        if (weight(Rgb(face.get(), x, y)) < weight(best)) best = Rgb(face.get(), x, y);
    return best;
  };
  ShowForm();
  EXPECT_EQ(inkColour(), 0x000000u);
  MoveTo(button, 3, 3);
  EXPECT_EQ(inkColour(), kRed);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_EQ(inkColour(), kBlue);
  win::InjectMouseButton(0, false);
  Pump();
  // Disabled wins over every other state.
  MoveTo(button, 3, 3);
  button->SetEnabled(false);
  EXPECT_EQ(inkColour(), kGreen);
}

TEST_F(PbButtonTest, KeyColouredPixelsShowTheBackgroundAndTheBorderTellsEnabledFromDisabled) {
  auto b = controlstest::Solid(40, 30, kRed);
  controlstest::SetRgb(b.get(), 5, 5, 0xFF00FF);
  TPicture p;
  p.SetGraphic(b.get());
  button->SetPicNormal(&p);
  button->SetColor(clBlue);
  EXPECT_EQ(Rgb(Face(button).get(), 5, 5), 0xFF00FFu);
  button->SetEnableTransparentColor(true);
  EXPECT_EQ(Rgb(Face(button).get(), 5, 5), kBlue);
  EXPECT_EQ(Rgb(Face(button).get(), 6, 5), kRed);

  button->SetDrawBorder(true);
  auto face = Face(button);
  EXPECT_EQ(Rgb(face.get(), 0, 10), 0x000000u);
  EXPECT_EQ(Rgb(face.get(), 39, 29), 0x000000u);
  EXPECT_EQ(Rgb(face.get(), 1, 10), kRed);
  button->SetEnabled(false);
  EXPECT_EQ(Rgb(Face(button).get(), 20, 0), 0x808080u);
}

TEST_F(PbButtonTest, HoldingFiresARepeatEvery100MsAndReleasingOneClick) {
  rtl::ScopedVirtualClock clock;
  int repeats = 0, clicks = 0;
  button->OnMouseContinuouslyDown = [&](TObject*) { ++repeats; };
  button->OnClick = [&](TObject*) { ++clicks; };
  ShowForm();
  MoveTo(button, 5, 5);
  win::InjectMouseButton(0, true);
  Pump();
  for (int i = 0; i < 7; ++i) {
    clock.Advance(50);
    Pump();
  }
  EXPECT_EQ(repeats, 3);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button->Pressed());
  clock.Advance(500);
  Pump();
  EXPECT_EQ(repeats, 3) << "the repeat goes on after the release";
}

TEST_F(PbButtonTest, ReleasingOutsideIsNoClickAndTheFaceIsNormalOnceThePointerLeaves) {
  int clicks = 0, exits = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->OnMouseExit = [&](TObject*) { ++exits; };
  ShowForm();
  MoveTo(button, 5, 5);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_TRUE(button->Pressed());
  MoveTo(button, 80, 5);
  EXPECT_FALSE(button->Pressed());
  EXPECT_FALSE(button->Hovered());
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(clicks, 0);
  MoveTo(button, 200, 150);
  EXPECT_GE(exits, 1);
}

TEST_F(PbButtonTest, KeysClickAFocusedButtonAndDialogKeysReachDefaultAndCancel) {
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  button->SetModalResult(mrOk);
  // Without TabStop a click does not take the focus.
  ShowForm();
  Click(button, 5, 5);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(button->Focused());
  EXPECT_EQ(form->ModalResult(), mrOk);
  form->SetModalResult(mrNone);

  button->SetTabStop(true);
  Click(button, 5, 5);
  EXPECT_TRUE(button->Focused());
  EXPECT_EQ(clicks, 2);
  win::InjectKey(win::VK_SPACE, true);
  Pump();
  EXPECT_TRUE(button->Pressed());
  win::InjectKey(win::VK_SPACE, false);
  Pump();
  EXPECT_EQ(clicks, 3);
  EXPECT_FALSE(button->Pressed());

  // Enter from elsewhere clicks only a default button; Escape only a cancel one.
  auto* other = new TPbButton(form);
  other->SetParent(form);
  other->SetBounds(150, 30, 40, 30);
  other->SetTabStop(true);
  other->SetFocus();
  Pump();
  auto dialogKey = [&](win::UINT vk) { return form->Perform(CM_DIALOGKEY, vk, 0); };
  EXPECT_EQ(dialogKey(win::VK_RETURN), 0);
  EXPECT_EQ(dialogKey(win::VK_ESCAPE), 0);
  button->SetDefault(true);
  EXPECT_TRUE(button->Active());
  button->SetCancel(true);
  dialogKey(win::VK_RETURN);
  EXPECT_EQ(clicks, 4);
  dialogKey(win::VK_ESCAPE);
  EXPECT_EQ(clicks, 5);
  // A standard push button taking the focus takes the default role away.
  auto* standard = new TButton(form);
  standard->SetParent(form);
  standard->SetBounds(150, 100, 75, 25);
  standard->SetFocus();
  Pump();
  EXPECT_FALSE(button->Active());
  dialogKey(win::VK_RETURN);
  EXPECT_EQ(clicks, 5) << "Enter belongs to the focused push button";
  other->SetFocus();
  Pump();
  EXPECT_TRUE(button->Active());
  // Alt+letter of the caption's accelerator.
  button->SetCaption("&Go");
  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 'g', 0), 1);
  EXPECT_EQ(clicks, 6);
  EXPECT_EQ(button->Perform(CM_DIALOGCHAR, 'x', 0), 0);
}

TEST_F(PbButtonTest, ALinkedActionSetsTheCaptionAndRunsOnClick) {
  int runs = 0;
  auto* action = new TAction(form);
  action->SetCaption("Record");
  action->OnExecute = [&](TObject*) { ++runs; };
  button->SetAction(action);
  EXPECT_EQ(button->Caption(), "Record");
  action->SetCaption("Stop");
  EXPECT_EQ(button->Caption(), "Stop");
  ShowForm();
  Click(button, 5, 5);
  EXPECT_EQ(runs, 1);
}

TEST_F(PbButtonTest, OnlyAChangedValueRepaints) {
  int paints = 0;
  struct Counting : TPbButton {
    using TPbButton::TPbButton;
    int* count = nullptr;
    void Paint() override {
      ++*count;
      TPbButton::Paint();
    }
  };
  auto* counted = new Counting(form);
  counted->count = &paints;
  counted->SetParent(form);
  counted->SetBounds(100, 100, 40, 30);
  ShowForm();
  using Setter = std::function<void(bool)>;
  const std::vector<std::pair<const char*, Setter>> setters = {
      {"Transparent", [&](bool v) { counted->SetTransparent(v); }},
      {"Stretch", [&](bool v) { counted->SetStretch(v); }},
      {"DrawBorder", [&](bool v) { counted->SetDrawBorder(v); }},
      {"MultiLines", [&](bool v) { counted->SetMultiLines(v); }},
      {"TextX", [&](bool v) { counted->SetTextX(v ? 5 : 0); }},
      {"PictureAlign", [&](bool v) { counted->SetPictureAlign(v ? paRight : paTopLeft); }},
      {"FocusedRectMargin", [&](bool v) { counted->SetFocusedRectMargin(v ? 4 : 2); }},
  };
  for (const auto& [name, set] : setters) {
    paints = 0;
    set(false);
    EXPECT_EQ(paints, 0) << name << " set to its current value repainted";
    set(true);
    EXPECT_GE(paints, 1) << name << " changed without a repaint";
    set(false);
  }
  paints = 0;
  counted->SetCaption("");
  counted->SetFontMouseHover(counted->FontMouseHover());
  EXPECT_GE(paints, 2) << "captions and fonts repaint always";
}

TEST_F(PbButtonTest, AnAlphaPictureOverTheParentMatchesImageMagickCompositing) {
  VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
  testutil::ScratchDir dir;
  const std::string bg = dir / "bg.bmp", pic = dir / "button.png", expected = dir / "expected.png";
  ASSERT_TRUE(testutil::Shell("convert -size 120x80 gradient:'#ff8000-#0040c0' -rotate 90 BMP3:" + bg));
  ASSERT_TRUE(testutil::Shell(
      "convert -size 48x32 xc:none -fill 'rgba(20,200,60,0.55)' -draw 'roundrectangle 2,2 45,29 8,8' "
      "-fill 'rgba(255,255,255,0.9)' -draw 'circle 24,16 24,8' -define png:color-type=6 " + pic));
  const std::string whole = dir / "whole.png";
  ASSERT_TRUE(testutil::Shell("composite -geometry +30+20 " + pic + " " + bg + " " + whole));
  ASSERT_TRUE(testutil::Shell("convert " + whole + " -crop 48x32+30+20 +repage " + expected));

  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(0, 0, 120, 80);
  image->Picture()->LoadFromFile(bg);
  button->SetBounds(30, 20, 48, 32);
  button->SetTransparent(true);
  button->PicNormal()->LoadFromFile(pic);
  ShowForm();
  auto face = Face(button);
  std::unique_ptr<win::Surface> ref = win::LoadPng(expected);
  ASSERT_TRUE(ref);
  ASSERT_EQ(ref->Width(), 48);
  int worst = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 48; ++x) {
      const uint32_t got = Rgb(face.get(), x, y), want = ref->Pixel(x, y) & 0xFFFFFF;
      for (int shift : {0, 8, 16})
        worst = std::max(worst, std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)));
    }
  EXPECT_LE(worst, 1);
}

}  // namespace
}  // namespace controls
