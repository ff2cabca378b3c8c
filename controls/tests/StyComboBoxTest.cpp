#include "controls/sty/STYComboBox.h"

#include <gtest/gtest.h>

#include <memory>

#include "controls/sty/STYPublic.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace controls;
using namespace forms;

namespace {

class StyComboBoxTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 200, 60);
    form->SetColor(clWhite);
    combo = new TstyComboBox(form);
    combo->SetParent(form);
    combo->SetStyle(csDropDownList);
    combo->SetBounds(10, 10, 120, 22);
    combo->SetColor(clYellow);
    for (const char* s : {"one", "two", "three", "four", "five"}) combo->Items()->Add(s);
  }
  // Window coordinates of the combo box, and its client coordinates.
  uint32_t Px(int x, int y) { return shot->Pixel(10 + x, 10 + y) & 0xFFFFFF; }
  uint32_t Cx(int x, int y) {
    const win::POINT o = combo->ClientToScreen(Point(x, y)), f = form->ClientToScreen(Point(0, 0));
    return shot->Pixel(o.x - f.x, o.y - f.y) & 0xFFFFFF;
  }
  void Shoot() {
    form->Show();
    Pump();
    form->Repaint();
    combo->Repaint();
    Pump();
    shot = win::CaptureWindow(form->Handle());
  }
  win::RECT Button() {
    win::COMBOBOXINFO info;
    info.cbSize = sizeof(info);
    EXPECT_TRUE(win::GetComboBoxInfo(combo->Handle(), &info));
    return info.rcButton;
  }
  // The arrow's top-left corner in the combo's client coordinates.
  win::POINT ArrowAt() {
    const win::RECT b = Button();
    return {b.left + (b.right - b.left) / 2 - 3, (b.bottom - b.top) / 2};
  }
  int CountInCombo(uint32_t rgb) {
    // Window pixels: the frame lies on the window's edge.
    int n = 0;
    for (int y = 0; y < combo->Height(); ++y)
      for (int x = 0; x < combo->Width(); ++x) n += Px(x, y) == rgb;
    return n;
  }
  TForm* form = nullptr;
  TstyComboBox* combo = nullptr;
  std::shared_ptr<win::Surface> shot;
};

TEST_F(StyComboBoxTest, DeepBlueDrawsAFrameAFlatButtonASeparatorAndTheArrow) {
  EXPECT_EQ(combo->UIStyle(), DeepBlue);
  EXPECT_EQ(combo->ButtonColor(), 0x00E8E8E8);
  combo->SetBorderColor(clRed);
  combo->SetArrowColor(clBlue);
  Shoot();
  const win::RECT b = Button();
  EXPECT_EQ(Px(0, 0), 0xFF0000u);
  EXPECT_EQ(Px(combo->Width() - 1, combo->Height() - 1), 0xFF0000u);
  EXPECT_EQ(Px(1, 1), 0xFFFF00u) << "the inner line in Color";
  EXPECT_EQ(Cx(b.left, b.top + 3), 0xFF0000u) << "separator";
  EXPECT_EQ(Cx(b.left + 2, b.top + 2), 0xE8E8E8u) << "flat button";
  const win::POINT a = ArrowAt();
  EXPECT_EQ(Cx(a.x + 3, a.y + 1), 0x0000FFu);
  EXPECT_EQ(Cx(a.x, a.y), 0x0000FFu);
  EXPECT_EQ(Cx(a.x + 6, a.y), 0x0000FFu);
  EXPECT_EQ(Cx(a.x + 3, a.y + 4), 0xE8E8E8u) << "below the tip";
}

TEST_F(StyComboBoxTest, ADisabledArrowIsGreyWithAWhiteShadow) {
  combo->SetEnabled(false);
  Shoot();
  const win::POINT a = ArrowAt();
  EXPECT_EQ(Cx(a.x, a.y), 0x808080u);
  EXPECT_EQ(Cx(a.x + 3, a.y + 3), 0x808080u);
  EXPECT_EQ(Cx(a.x + 4, a.y + 4), 0xFFFFFFu);
  EXPECT_EQ(Cx(a.x + 7, a.y + 1), 0xFFFFFFu);
  EXPECT_EQ(Cx(a.x + 3, a.y + 1), 0x808080u);
}

TEST_F(StyComboBoxTest, TheBitmapStylesStretchTheirButtonPicture) {
  struct Case {
    TstyUIStyle style;
    const char* picture;
    bool arrow;
  };
  for (Case c : {Case{WinXP, "WINXP_COMBOBOX_BUTTON", false}, Case{MacOS, "MACOS_COMBOBOX_BUTTON", true}}) {
    SCOPED_TRACE(c.picture);
    combo->SetUIStyle(c.style);
    Shoot();
    TBitmap pic;
    LoadStyBitmap(&pic, c.picture);
    const win::COLORREF corner = ColorToRGB(pic.Canvas()->Pixels(0, 0));
    const uint32_t want = (win::GetRValue(corner) << 16) | (win::GetGValue(corner) << 8) | win::GetBValue(corner);
    const win::RECT b = Button();
    EXPECT_EQ(Cx(b.left, b.top), want);
    EXPECT_EQ(Cx(b.right - 1, b.bottom - 1), want);
    const win::POINT a = ArrowAt();
    EXPECT_EQ(Cx(a.x + 3, a.y + 1) == 0, c.arrow);
  }
}

TEST_F(StyComboBoxTest, SettingTheStyleResetsTheArrowColour) {
  combo->SetArrowColor(clRed);
  combo->SetUIStyle(Protein);
  EXPECT_EQ(combo->ArrowColor(), clBlack);
  EXPECT_EQ(combo->BorderColor(), 0);
  EXPECT_EQ(combo->ButtonColor(), 0x00FBFBFB);
}

TEST_F(StyComboBoxTest, NoSkinnedFrameForTheSimpleStyleOrWithoutTheInfoFunction) {
  combo->SetBorderColor(clRed);
  combo->SetArrowColor(clRed);
  combo->SetStyle(csSimple);
  Shoot();
  EXPECT_EQ(CountInCombo(0xFF0000), 0) << "simple";
  combo->SetStyle(csDropDownList);
  Shoot();
  ASSERT_GT(CountInCombo(0xFF0000), 0);
  auto old = SetSystemFunctionResolver([](const char*) -> void* { return nullptr; });
  combo->SetStyle(csDropDown);  // a fresh window
  Shoot();
  EXPECT_EQ(CountInCombo(0xFF0000), 0) << "the platform's plain combo box";
  SetSystemFunctionResolver(old);
}

TEST_F(StyComboBoxTest, TheOpenListIsFramedAndLeavesNothingBehindWhenItCloses) {
  combo->SetBorderColor(clRed);
  Shoot();
  const auto before = win::ComposeScreen();
  int closeUps = 0;
  combo->OnCloseUp = [&](TObject*) { ++closeUps; };
  combo->SetDroppedDown(true);
  Pump();
  const win::HWND list = combo->ListHandle();
  ASSERT_TRUE(win::IsWindowVisible(list));
  win::RECT lr;
  win::GetWindowRect(list, &lr);
  ASSERT_GT(lr.bottom, 100) << "the list overhangs the form";
  auto screen = win::ComposeScreen();
  auto rgb = [&](int x, int y) { return screen->Pixel(x, y) & 0xFFFFFF; };
  const int midX = (lr.left + lr.right) / 2, midY = (lr.top + lr.bottom) / 2;
  for (auto [x, y] : {std::pair{lr.left, lr.top}, std::pair{lr.right - 1, lr.bottom - 1},
                      std::pair{midX, lr.bottom - 1}, std::pair{lr.left, midY}}) {
    EXPECT_EQ(rgb(x, y), 0xFF0000u) << x << "," << y;
  }
  combo->SetDroppedDown(false);
  Pump();
  EXPECT_EQ(closeUps, 1);
  const auto after = win::ComposeScreen();
  int differ = 0;
  for (int y = 0; y < after->Height(); ++y)
    for (int x = 0; x < after->Width(); ++x) differ += after->Pixel(x, y) != before->Pixel(x, y);
  EXPECT_EQ(differ, 0);
}

}  // namespace
