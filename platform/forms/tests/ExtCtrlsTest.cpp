#include "platform/forms/ExtCtrls.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class ExtCtrlsTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 420, 320);
    form->SetColor(clBlue);
  }
  template <class T>
  T* Make(TWinControl* parent, int x, int y, int w, int h) {
    auto* c = new T(form);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    return c;
  }
  uint32_t Rgb(int x, int y) {
    if (!shot) shot = win::CaptureWindow(form->Handle());
    return shot->Pixel(x, y) & 0xFFFFFF;
  }
  void ShowAndShoot() {
    form->Show();
    Pump();
    shot = win::CaptureWindow(form->Handle());
  }
  static uint32_t Sys(int index) {
    const win::COLORREF c = win::GetSysColor(index);
    return (static_cast<uint32_t>(win::GetRValue(c)) << 16) | (static_cast<uint32_t>(win::GetGValue(c)) << 8) |
           win::GetBValue(c);
  }
  TForm* form = nullptr;
  std::shared_ptr<win::Surface> shot;
};

TEST_F(ExtCtrlsTest, PanelBevelsFrameItAndInsetItsAlignedChildren) {
  auto* panel = Make<TPanel>(form, 10, 10, 100, 60);
  panel->SetBevelInner(bvLowered);
  panel->SetBorderWidth(3);
  panel->SetBevelWidth(2);
  auto* inner = Make<TPanel>(panel, 0, 0, 10, 10);
  inner->SetBevelOuter(bvNone);
  inner->SetAlign(alClient);
  inner->SetColor(clRed);
  ShowAndShoot();
  // Two raised pixels, three of border, two lowered ones: seven in all.
  EXPECT_EQ(inner->BoundsRect(), Rect(7, 7, 93, 53));
  EXPECT_EQ(Rgb(10, 10), Sys(win::COLOR_BTNHIGHLIGHT)) << "raised: light top-left";
  EXPECT_EQ(Rgb(11, 11), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Rgb(109, 69), Sys(win::COLOR_BTNSHADOW)) << "raised: dark bottom-right";
  EXPECT_EQ(Rgb(12, 12), Sys(win::COLOR_BTNFACE)) << "the border";
  EXPECT_EQ(Rgb(15, 15), Sys(win::COLOR_BTNSHADOW)) << "lowered: dark top-left";
  EXPECT_EQ(Rgb(17, 17), 0xFF0000u);
}

TEST_F(ExtCtrlsTest, BevelShapesDrawOnlyTheirEdges) {
  auto* top = Make<TBevel>(form, 10, 10, 50, 20);
  top->SetShape(bsTopLine);
  auto* box = Make<TBevel>(form, 10, 40, 50, 20);
  box->SetStyle(bsRaised);
  ShowAndShoot();
  EXPECT_EQ(Rgb(30, 10), Sys(win::COLOR_BTNSHADOW)) << "lowered line: shadow over light";
  EXPECT_EQ(Rgb(30, 11), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Rgb(30, 20), 0x0000FFu) << "the rest shows the form";
  EXPECT_EQ(Rgb(10, 40), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Rgb(59, 59), Sys(win::COLOR_BTNSHADOW));
  EXPECT_EQ(Rgb(30, 50), 0x0000FFu);
}

TEST_F(ExtCtrlsTest, ImagePlacesItsPictureAsStretchProportionalAndCenterSay) {
  struct Row {
    int pw, ph;
    bool stretch, proportional, center;
    TRect expected;
  };
  const Row rows[] = {
      {40, 20, false, false, false, Rect(0, 0, 40, 20)},
      {40, 20, false, false, true, Rect(30, 40, 70, 60)},
      {40, 20, true, false, false, Rect(0, 0, 100, 100)},
      {40, 20, true, true, false, Rect(0, 0, 100, 50)},
      {40, 20, false, true, false, Rect(0, 0, 40, 20)},  // small pictures do not grow
      {200, 100, false, true, true, Rect(0, 25, 100, 75)},
      {50, 200, true, true, true, Rect(37, 0, 62, 100)},
  };
  auto* image = Make<TImage>(form, 0, 0, 100, 100);
  for (const Row& row : rows) {
    TBitmap bmp;
    bmp.SetSize(row.pw, row.ph);
    image->Picture()->SetGraphic(&bmp);
    image->SetStretch(row.stretch);
    image->SetProportional(row.proportional);
    image->SetCenter(row.center);
    EXPECT_EQ(image->DestRect(), row.expected)
        << row.pw << "x" << row.ph << " stretch " << row.stretch << " proportional " << row.proportional
        << " center " << row.center;
  }
}

TEST_F(ExtCtrlsTest, ImageSizesToAFileAndShowsTheParentThroughItsTransparentColour) {
  const std::string png = ::testing::TempDir() + "extctrls_image.png";
  // Red with a white square; the bottom-left pixel (red) is the key colour.
  const std::string cmd =
      "convert -size 33x17 xc:red -fill white -draw 'rectangle 10,5 20,10' '" + png + "' 2>/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  auto* image = Make<TImage>(form, 20, 20, 5, 5);
  image->SetAutoSize(true);
  image->Picture()->LoadFromFile(png);
  EXPECT_EQ(image->Width(), 33);
  EXPECT_EQ(image->Height(), 17);
  ShowAndShoot();
  EXPECT_EQ(Rgb(21, 21), 0xFF0000u);
  EXPECT_EQ(Rgb(35, 28), 0xFFFFFFu);

  TBitmap bmp;
  bmp.Assign(image->Picture()->Graphic());
  image->Picture()->SetGraphic(&bmp);
  image->SetTransparent(true);
  Pump();
  shot = win::CaptureWindow(form->Handle());
  EXPECT_EQ(Rgb(21, 21), 0x0000FFu) << "the form shows through";
  EXPECT_EQ(Rgb(35, 28), 0xFFFFFFu);
}

TEST_F(ExtCtrlsTest, RadioGroupMakesAButtonPerItemAndClicksWhenTheChoiceChanges) {
  auto* group = Make<TRadioGroup>(form, 10, 10, 200, 100);
  group->SetCaption("Size");
  for (const char* s : {"Small", "Medium", "Large", "Huge"}) group->Items()->Add(s);
  int clicks = 0;
  group->OnClick = [&](TObject*) { ++clicks; };
  ASSERT_EQ(group->ControlCount(), 4);
  EXPECT_EQ(group->Buttons(2)->Caption(), "Large");

  // Setting the index by code checks the button, and the button's click
  // reaches the group.
  group->SetItemIndex(1);
  EXPECT_TRUE(group->Buttons(1)->Checked());
  EXPECT_EQ(clicks, 1);
  group->SetItemIndex(1);
  EXPECT_EQ(clicks, 1);

  group->SetColumns(2);
  EXPECT_GT(group->Buttons(2)->Left(), group->Buttons(0)->Left());
  EXPECT_EQ(group->Buttons(2)->Top(), group->Buttons(0)->Top());
  form->Show();
  Pump();
  Click(group->Buttons(3), 5, 8);
  EXPECT_EQ(group->ItemIndex(), 3);
  EXPECT_FALSE(group->Buttons(1)->Checked());
  EXPECT_EQ(clicks, 2);

  group->Items()->Delete(3);
  EXPECT_EQ(group->ControlCount(), 3);
  EXPECT_EQ(group->ItemIndex(), -1);
}

// Every control of this batch, normal, focused and disabled, for a look.
TEST_F(ExtCtrlsTest, SheetOfTheStandardControls) {
  form->SetColor(clBtnFace);
  form->SetBounds(50, 50, 560, 370);
  const char* names[] = {"Normal", "Focused", "Disabled"};
  std::vector<TWinControl*> focusMe;
  for (int col = 0; col < 3; ++col) {
    const int x = 10 + col * 180;
    auto* head = Make<TLabel>(form, x, 5, 0, 0);
    head->SetCaption(names[col]);
    auto* panel = Make<TPanel>(form, x, 22, 170, 270);
    panel->SetBevelOuter(bvLowered);
    panel->SetCaption("");
    auto* button = Make<TButton>(panel, 8, 8, 75, 25);
    button->SetCaption("&Button");
    auto* def = Make<TButton>(panel, 88, 8, 75, 25);
    def->SetCaption("Default");
    def->SetDefault(true);
    auto* check = Make<TCheckBox>(panel, 8, 40, 150, 17);
    check->SetCaption("&Check box");
    check->SetChecked(true);
    auto* grey = Make<TCheckBox>(panel, 8, 58, 150, 17);
    grey->SetCaption("Grayed");
    grey->SetAllowGrayed(true);
    grey->SetState(cbGrayed);
    auto* group = Make<TGroupBox>(panel, 8, 78, 155, 58);
    group->SetCaption("Group");
    auto* r1 = Make<TRadioButton>(group, 8, 16, 120, 17);
    r1->SetCaption("&Radio one");
    r1->SetChecked(true);
    auto* r2 = Make<TRadioButton>(group, 8, 34, 120, 17);
    r2->SetCaption("Radio two");
    auto* edit = Make<TEdit>(panel, 8, 142, 155, 21);
    edit->SetText("Edit text");
    auto* memo = Make<TMemo>(panel, 8, 168, 155, 56);
    memo->SetScrollBars(ssVertical);
    memo->SetText("A memo with a line long enough to wrap\r\nand another");
    auto* label = Make<TLabel>(panel, 8, 230, 0, 0);
    label->SetCaption("&Label");
    auto* bevel = Make<TBevel>(panel, 8, 248, 155, 2);
    bevel->SetShape(bsTopLine);
    auto* image = Make<TImage>(panel, 140, 230, 16, 16);
    if (col == 0) {
      auto* list = Make<TListBox>(form, 10, 300, 120, 60);
      for (const char* s : {"List one", "List two", "List three"}) list->Items()->Add(s);
      list->SetItemIndex(1);
      auto* combo = Make<TComboBox>(form, 140, 300, 120, 21);
      combo->SetStyle(csDropDownList);
      for (const char* s : {"Combo one", "Combo two"}) combo->Items()->Add(s);
      combo->SetItemIndex(0);
      auto* dropDown = Make<TComboBox>(form, 140, 330, 120, 21);
      dropDown->SetText("Typed");
      auto* radios = Make<TRadioGroup>(form, 270, 295, 270, 70);
      radios->SetCaption("Radio group");
      radios->SetColumns(2);
      for (const char* s : {"First", "Second", "Third"}) radios->Items()->Add(s);
      radios->SetItemIndex(2);
      focusMe.push_back(list);
      focusMe.push_back(combo);
    }
    TBitmap bmp;
    bmp.SetSize(16, 16);
    bmp.Canvas()->Brush()->SetColor(clTeal);
    bmp.Canvas()->FillRect(Rect(0, 0, 16, 16));
    image->Picture()->SetGraphic(&bmp);
    if (col == 1) focusMe.insert(focusMe.end(), {button, check, r1, edit, memo});
    if (col == 2) panel->SetEnabled(false), button->SetEnabled(false), check->SetEnabled(false),
                  grey->SetEnabled(false), r1->SetEnabled(false), r2->SetEnabled(false), edit->SetEnabled(false),
                  memo->SetEnabled(false), label->SetEnabled(false), group->SetEnabled(false);
  }
  form->Show();
  Pump();
  // One focused control can be shown at a time: a sheet per control.
  for (size_t i = 0; i < focusMe.size(); ++i) {
    focusMe[i]->SetFocus();
    Pump();
    if (auto* e = dynamic_cast<TCustomEdit*>(focusMe[i])) e->SelectAll();
    Pump();
    const std::string png = ::testing::TempDir() + "stdctrls_sheet_" + std::to_string(i) + ".png";
    ASSERT_TRUE(win::SaveWindowPng(form->Handle(), png));
  }
  EXPECT_TRUE(focusMe.back()->Focused());
}

}  // namespace
