// The glyph check box on a real form: state cycles by mouse and keys, OnClick
// rules, read-only, accelerators, custom glyph strips, the focus frame, the
// action link, and transparency over a transparent panel. Also the button
// base's caption passes.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "controls/fc/FcRadChk.h"
#include "controls/tests/FcTestUtil.h"
#include "platform/forms/Actions.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace controls;
using formstest::FormsFixture;
using forms::TForm;

namespace {

class FcCheckBoxTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(forms::bsNone);
    form->SetBounds(100, 100, 300, 200);
    box = new TFcCheckBox(form);
    box->SetParent(form);
    box->SetBounds(20, 20, 150, 17);
    box->SetCaption("Motion Detection");
    box->OnClick = [this](forms::TObject*) { ++clicks; };
    other = new forms::TEdit(form);
    other->SetParent(form);
    other->SetBounds(20, 60, 100, 20);
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  void PressAt(int x, int y) {
    const win::POINT p = At(box, x, y);
    win::InjectMouseMove(p.x, p.y);
    win::InjectMouseButton(0, true);
    Pump();
  }
  void MoveTo(int x, int y) {
    const win::POINT p = At(box, x, y);
    win::InjectMouseMove(p.x, p.y);
    Pump();
  }
  void Release() {
    win::InjectMouseButton(0, false);
    Pump();
  }
  TForm* form = nullptr;
  TFcCheckBox* box = nullptr;
  forms::TEdit* other = nullptr;
  int clicks = 0;
};

TEST_F(FcCheckBoxTest, ClicksCycleTheStates) {
  struct Case {
    bool allowGrayed;
    TCheckBoxState after[3];
  };
  for (const Case c : {Case{false, {cbChecked, cbUnchecked, cbChecked}}, Case{true, {cbGrayed, cbChecked, cbUnchecked}}}) {
    SCOPED_TRACE(c.allowGrayed);
    box->SetState(cbUnchecked);
    box->SetAllowGrayed(c.allowGrayed);
    ShowForm();
    clicks = 0;
    for (TCheckBoxState want : c.after) {
      Click(box, 5, 8);
      EXPECT_EQ(box->State(), want);
      EXPECT_EQ(box->Perform(win::BM_GETCHECK, 0, 0), static_cast<win::LRESULT>(want));
    }
    EXPECT_EQ(clicks, 3);
  }
}

TEST_F(FcCheckBoxTest, StateByCodeFiresOnClickOnceAndCheckedIsItsShortHand) {
  box->SetState(cbGrayed);
  EXPECT_EQ(clicks, 1);
  box->SetState(cbGrayed);
  EXPECT_EQ(clicks, 1) << "the same state again";
  box->SetChecked(true);
  EXPECT_EQ(box->State(), cbChecked);
  box->SetChecked(false);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(clicks, 3);
}

TEST_F(FcCheckBoxTest, SpaceTogglesOnReleaseAndEscapeCancels) {
  ShowForm();
  box->SetFocus();
  Pump();
  Key(win::VK_SPACE);
  EXPECT_EQ(box->State(), cbChecked);
  win::InjectKey(win::VK_SPACE, true);
  Pump();
  EXPECT_TRUE(box->ShowingPressed());
  win::InjectKey(win::VK_ESCAPE, true);
  win::InjectKey(win::VK_ESCAPE, false);
  Pump();
  EXPECT_FALSE(box->ShowingPressed());
  win::InjectKey(win::VK_SPACE, false);
  Pump();
  EXPECT_EQ(box->State(), cbChecked) << "Escape before the release cancels";
  EXPECT_EQ(clicks, 1);
}

TEST_F(FcCheckBoxTest, ReleaseOutsideDoesNotToggleAndComingBackDoes) {
  ShowForm();
  PressAt(5, 8);
  EXPECT_TRUE(box->ShowingPressed());
  MoveTo(200, 8);
  EXPECT_FALSE(box->ShowingPressed());
  Release();
  EXPECT_EQ(box->State(), cbUnchecked);
  PressAt(5, 8);
  MoveTo(200, 8);
  MoveTo(30, 16);
  EXPECT_TRUE(box->ShowingPressed());
  Release();
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(clicks, 1);
}

TEST_F(FcCheckBoxTest, ReadOnlyIgnoresTheUserButNotCode) {
  box->SetReadOnly(true);
  ShowForm();
  Click(box, 5, 8);
  box->SetFocus();
  Pump();
  Key(win::VK_SPACE);
  box->Perform(forms::CM_DIALOGCHAR, 'M', 0);
  EXPECT_EQ(box->State(), cbUnchecked);
  EXPECT_EQ(clicks, 0);
  box->SetState(cbChecked);
  EXPECT_EQ(clicks, 1);
}

TEST_F(FcCheckBoxTest, AcceleratorFocusesAndToggles) {
  box->SetCaption("&Motion Detection");
  ShowForm();
  other->SetFocus();
  Pump();
  EXPECT_EQ(box->Perform(forms::CM_DIALOGCHAR, 'm', 0), 1);
  EXPECT_TRUE(box->Focused());
  EXPECT_EQ(box->State(), cbChecked);
  EXPECT_EQ(box->Perform(forms::CM_DIALOGCHAR, 'x', 0), 0);
  EXPECT_EQ(box->State(), cbChecked);
}

TEST_F(FcCheckBoxTest, DisabledBoxIgnoresPressesAndGivesUpTheFocus) {
  ShowForm();
  box->SetFocus();
  Pump();
  ASSERT_TRUE(box->Focused());
  box->SetEnabled(false);
  Pump();
  EXPECT_FALSE(box->Focused());
  Click(box, 5, 8);
  EXPECT_EQ(box->State(), cbUnchecked);
}

TEST_F(FcCheckBoxTest, EnterMovesOnWhenAsked) {
  box->SetTabOnEnter(true);
  ShowForm();
  box->SetFocus();
  Pump();
  Key(win::VK_RETURN);
  EXPECT_TRUE(other->Focused());
  EXPECT_EQ(box->State(), cbUnchecked);
}

TEST_F(FcCheckBoxTest, ActionCheckedShowsWithoutOnClick) {
  forms::TAction action(nullptr);
  action.SetChecked(true);
  box->SetAction(&action);
  EXPECT_TRUE(box->Checked());
  action.SetChecked(false);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 0);
  ASSERT_NE(box->CheckedLink(), nullptr);
  EXPECT_TRUE(box->CheckedLink()->IsCheckedLinked());
  box->SetAction(nullptr);
  EXPECT_EQ(box->CheckedLink(), nullptr);
}

// A strip of nine cells, each filled with its own colour inside an olive
// (transparent) margin; a lime pixel at the cell's centre becomes clWindow.
std::unique_ptr<forms::TBitmap> Strip(int cell) {
  auto b = std::make_unique<forms::TBitmap>();
  b->SetPixelFormat(forms::pf32bit);
  b->SetSize(cell * 9, cell);
  forms::TCanvas* c = b->Canvas();
  c->Brush()->SetColor(0x00008080);
  c->FillRect(forms::Rect(0, 0, cell * 9, cell));
  for (int k = 0; k < 9; ++k) {
    c->Brush()->SetColor(static_cast<forms::TColor>(0x000010 * (k + 1)));
    c->FillRect(forms::Rect(k * cell + 2, 2, k * cell + cell - 2, cell - 2));
    c->SetPixel(k * cell + cell / 2, cell / 2, forms::clLime);
  }
  return b;
}

using fctest::Shot;

forms::TColor ScreenAt(forms::TControl* c, int x, int y) { return Shot(c)(x, y); }

TEST_F(FcCheckBoxTest, CustomGlyphStripPicksItsCell) {
  auto strip = Strip(13);
  box->SetColor(forms::clYellow);
  box->SetCustomGlyphs(strip.get());
  EXPECT_TRUE(box->UseCustomGlyphs());
  EXPECT_EQ(box->GlyphWidth(), 13);  // 117 div 9
  EXPECT_EQ(box->GlyphHeight(), 13);
  ShowForm();
  const forms::TPoint g = box->GlyphPosition();
  EXPECT_EQ(g, forms::Point(0, 2));
  struct Case {
    TCheckBoxState state;
    bool enabled;
    int cell;
  };
  for (const Case c : {Case{cbUnchecked, true, 0}, Case{cbChecked, true, 1}, Case{cbGrayed, true, 2},
                       Case{cbUnchecked, false, 6}, Case{cbChecked, false, 7}, Case{cbGrayed, false, 8}}) {
    box->SetState(c.state);
    box->SetEnabled(c.enabled);
    box->Repaint();
    Pump();
    EXPECT_EQ(ScreenAt(box, g.x + 3, g.y + 3), 0x10 * (c.cell + 1)) << c.cell;
    // The olive margin shows the box's colour; the lime mark becomes clWindow.
    EXPECT_EQ(ScreenAt(box, g.x, g.y), forms::clYellow);
    EXPECT_EQ(ScreenAt(box, g.x + 6, g.y + 6), static_cast<forms::TColor>(forms::ColorToRGB(forms::clWindow)));
  }
  // While pressed the enabled cells move three along.
  box->SetEnabled(true);
  box->SetState(cbChecked);
  PressAt(3, 5);
  EXPECT_EQ(ScreenAt(box, g.x + 3, g.y + 3), 0x10 * 5);
  Release();
  // Emptying the strip goes back to the 13 x 13 frame control.
  box->SetCustomGlyphs(nullptr);
  EXPECT_FALSE(box->UseCustomGlyphs());
}

TEST_F(FcCheckBoxTest, FocusFrameIsAsWideAsTheCaptionPlusThree) {
  box->SetColor(forms::clWhite);
  box->Font()->SetColor(forms::clWhite);  // keeps the caption out of the count
  ShowForm();
  box->SetFocus();
  Pump();
  int left = -1, right = -1;
  const Shot focused(box);
  for (int x = 0; x < box->Width(); ++x)
    if (focused(x, 0) == forms::clBlack) {
      if (left < 0) left = x;
      right = x;
    }
  forms::TCanvas* probe = form->Canvas();
  probe->Font()->Assign(box->Font());
  const int textWidth = probe->TextWidth("Motion Detection");
  // The frame starts past the glyph (13 + 4 from the shrunk edge).
  EXPECT_EQ(left, 13 + 4 + 1);
  EXPECT_NEAR(right, 13 + 4 + textWidth + 3 - 1, 1);
  box->SetCaption("");
  Pump();
  const Shot plain(box);
  for (int x = 0; x < box->Width(); ++x) ASSERT_NE(plain(x, 0), forms::clBlack) << x;
}

TEST_F(FcCheckBoxTest, HotTrackingRingFollowsTheMouse) {
  box->SetHotTrack(true);
  ShowForm();
  const forms::TPoint g = box->GlyphPosition();
  const auto window = static_cast<forms::TColor>(forms::ColorToRGB(forms::clWindow));
  MoveTo(250, 100);
  EXPECT_EQ(ScreenAt(box, g.x + 1, g.y + 1), window);
  MoveTo(60, 8);
  EXPECT_TRUE(box->MouseOverButton());
  // The ring runs inside the box's outline; the middle keeps the fill.
  EXPECT_NE(ScreenAt(box, g.x + 1, g.y + 1), window);
  EXPECT_EQ(ScreenAt(box, g.x + 6, g.y + 6), window);
  MoveTo(250, 100);
  EXPECT_FALSE(box->MouseOverButton());
  EXPECT_EQ(ScreenAt(box, g.x + 1, g.y + 1), window);
}

// A panel that shows its parent through itself: it erases with its
// parent's drawing, as the classic look does not do that by style alone.
class SeeThroughPanel : public forms::TCustomControl {
public:
  explicit SeeThroughPanel(forms::TComponent* owner) : TCustomControl(owner) {
    SetControlStyle(ControlStyle() + forms::TControlStyle{forms::csAcceptsControls, forms::csParentBackground});
  }

protected:
  void Dispatch(forms::TMessage& m) override {
    if (m.Msg == win::WM_ERASEBKGND && m.WParam) {
      forms::DrawParentBackground(this, reinterpret_cast<win::HDC>(m.WParam));
      m.Result = 1;
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

forms::TColor PicturePixel(int x, int y) { return static_cast<forms::TColor>(((x * 7) & 0xFF) | (((y * 11) & 0xFF) << 8) | 0x400000); }

TEST_F(FcCheckBoxTest, TransparentBoxOnATransparentPanelShowsThePictureBeneath) {
  auto* image = new forms::TImage(form);
  image->SetParent(form);
  image->SetBounds(0, 0, 300, 200);
  forms::TBitmap* pic = image->Picture()->Bitmap();
  pic->SetPixelFormat(forms::pf32bit);
  pic->SetSize(300, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) pic->Canvas()->SetPixel(x, y, PicturePixel(x, y));
  auto* panel = new SeeThroughPanel(form);
  panel->SetParent(form);
  panel->SetBounds(30, 40, 220, 100);
  box->SetParent(panel);
  box->SetBounds(10, 20, 180, 17);
  box->SetTransparent(true);
  box->Font()->SetColor(0x00860900);
  auto strip = Strip(13);
  box->SetCustomGlyphs(strip.get());
  ShowForm();
  box->Invalidate();
  Pump();
  const Shot shot(box);
  auto picAt = [&](int x, int y) { return PicturePixel(30 + 10 + x, 40 + 20 + y); };
  const forms::TPoint g = box->GlyphPosition();
  // The glyph's olive margin and the space around the glyph.
  EXPECT_EQ(shot(g.x, g.y), picAt(g.x, g.y));
  EXPECT_EQ(shot(g.x + 12, g.y + 12), picAt(g.x + 12, g.y + 12));
  EXPECT_EQ(shot(g.x + 3, g.y + 3), 0x10);
  int mismatches = 0;
  for (int y = 0; y < box->Height(); ++y)
    for (int x = 0; x < box->Width(); ++x) {
      const bool inGlyphFace = x >= g.x + 2 && x < g.x + 11 && y >= g.y + 2 && y < g.y + 11;
      if (inGlyphFace) continue;
      if (shot(x, y) != picAt(x, y)) ++mismatches;
    }
  // Only the caption's own pixels differ from the picture.
  EXPECT_GT(mismatches, 20);
  const int textWidth = [&] {
    form->Canvas()->Font()->Assign(box->Font());
    return form->Canvas()->TextWidth("Motion Detection");
  }();
  for (int y = 0; y < box->Height(); ++y)
    for (int x = 13 + 4 + textWidth + 2; x < box->Width(); ++x)
      ASSERT_EQ(shot(x, y), picAt(x, y)) << x << ',' << y;
  for (int x = 0; x < box->Width(); ++x) ASSERT_EQ(shot(x, 0), picAt(x, 0)) << x;
}

// ---- button base ----

class CaptionProbe : public TFcCustomButton {
public:
  using TFcCustomButton::TFcCustomButton;
  std::set<forms::TColor> Colours(int w, int h) {
    forms::TBitmap b;
    b.SetPixelFormat(forms::pf32bit);
    b.SetSize(w, h);
    b.Canvas()->Brush()->SetColor(forms::clWhite);
    b.Canvas()->FillRect(forms::Rect(0, 0, w, h));
    DrawCaption(b.Canvas(), forms::Rect(0, 0, w, h), win::DT_EXPANDTABS | win::DT_WORDBREAK);
    std::set<forms::TColor> seen;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) seen.insert(b.Canvas()->Pixels(x, y));
    return seen;
  }
  int activations = 0;

protected:
  void Activate() override { ++activations; }
};

TEST(FcButtonCaption, TextStylePasses) {
  CaptionProbe p(nullptr);
  // Tall upright strokes leave whole pixels of each pass uncovered.
  p.SetCaption("III");
  p.Font()->SetSize(28);
  p.Font()->SetStyle(forms::TFontStyles{forms::fsBold});
  p.Font()->SetColor(forms::clBlack);
  p.SetTextHighlightColor(forms::clRed);
  p.SetTextShadowColor(forms::clBlue);
  struct Case {
    TTextStyle style;
    bool light;
    bool red, blue;
  };
  const Case cases[] = {{tsNormal, false, false, false}, {tsRaised, false, true, true}, {tsRaised, true, true, false},
                        {tsRecessed, true, true, false},  {tsRecessed, false, true, true}, {tsShadow, false, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.style) * 10 + c.light);
    p.SetTextStyle(c.style);
    p.SetLightTextStyle(c.light);
    const auto seen = p.Colours(120, 60);
    EXPECT_TRUE(seen.count(forms::clBlack));
    EXPECT_EQ(seen.count(forms::clRed) > 0, c.red);
    EXPECT_EQ(seen.count(forms::clBlue) > 0, c.blue);
  }
  // Disabled: one pass in the grey text colour.
  p.SetTextStyle(tsRaised);
  p.SetEnabled(false);
  const auto seen = p.Colours(120, 60);
  EXPECT_FALSE(seen.count(forms::clBlack));
  EXPECT_FALSE(seen.count(forms::clRed));
  EXPECT_TRUE(seen.count(static_cast<forms::TColor>(forms::ColorToRGB(forms::clGrayText))));
}

}  // namespace
