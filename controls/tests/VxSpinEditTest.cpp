// The numeric spin edit: text in each number form, clamping, the characters
// it takes, stepping by buttons and keys with the 400/100 ms repeat, and the
// keys it hands on to the form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/vx/VXSpin.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"
#include "platform/win/Api.h"

using namespace forms;

namespace controls {
namespace {

class VxSpinEditTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    rtl::FormatSettings().DecimalSeparator = '.';
    win::ClearBeeps();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 200);
    edit = new TVxSpinEdit(form);
    edit->SetParent(form);
    edit->SetBounds(20, 20, 100, 24);
    edit->OnChange = [this](TObject*) { ++changes; };
    edit->OnTopClick = [this](TObject*) { ++tops; };
    edit->OnBottomClick = [this](TObject*) { ++bottoms; };
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  // Presses the spin button at one of its points and keeps the button down.
  void PressSpin(int x, int y) {
    const win::POINT p = At(edit->SpinButton(), x, y);
    win::InjectMouseMove(p.x, p.y);
    win::InjectMouseButton(0, true);
    Pump();
  }
  TForm* form = nullptr;
  TVxSpinEdit* edit = nullptr;
  int changes = 0, tops = 0, bottoms = 0;
};

TEST_F(VxSpinEditTest, ValuesAreWrittenInTheFormOfTheValueType) {
  struct Row {
    TValueType type;
    double min, max, value;
    const char* text;
  };
  const Row rows[] = {
      {vtInteger, 0, 0, -5, "-5"},       // equal limits are no limits
      {vtInteger, 0, 0, 2.5, "2"},       // halves to even
      {vtInteger, 0, 0, 3.5, "4"},
      {vtInteger, 1, 10, 12, "10"},
      {vtInteger, 1, 10, -3, "1"},
      {vtFloat, 0, 0, 0.5, "0.50"},
      {vtFloat, 0, 0, -1234.125, "-1234.13"},
      {vtFloat, 0, 1, 7, "1.00"},
      {vtHex, 0, 0, 255, "FF"},
      {vtHex, 0, 0, 0, "0"},
      {vtHex, 0, 0, 4095.5, "1000"},
  };
  for (const Row& row : rows) {
    edit->SetValueType(row.type);
    edit->SetMinValue(row.min);
    edit->SetMaxValue(row.max);
    edit->SetValue(row.value);
    EXPECT_EQ(edit->Text(), row.text) << row.value;
  }
  // Three decimals where asked.
  edit->SetValueType(vtFloat);
  edit->SetMaxValue(0);
  edit->SetValue(2.5);
  edit->SetDecimal(3);
  EXPECT_EQ(edit->Text(), "2.500");
}

TEST_F(VxSpinEditTest, CrossedLimitsAndHugeValuesGiveDefinedTexts) {
  // Minimum above maximum: below the minimum gives the minimum, anything
  // else the maximum (a plain clamp would be undefined here).
  edit->SetMinValue(10);
  edit->SetMaxValue(1);
  struct Row {
    double value;
    const char* text;
  };
  for (const Row& row : {Row{-5, "10"}, Row{5, "10"}, Row{50, "1"}, Row{10, "1"}}) {
    edit->SetValue(row.value);
    EXPECT_EQ(edit->Text(), row.text) << row.value;
  }
  // A float beyond the 64-bit range turned into an integer saturates.
  edit->SetMinValue(0);
  edit->SetMaxValue(0);
  edit->SetValueType(vtFloat);
  edit->SetText("1e300");
  edit->SetValueType(vtInteger);
  EXPECT_EQ(edit->Text(), "9223372036854775807");
  edit->SetValue(-1e300);
  EXPECT_EQ(edit->Text(), "-9223372036854775808");
}

TEST_F(VxSpinEditTest, TextThatIsNoNumberReadsAsTheMinimum) {
  struct Row {
    TValueType type;
    const char* text;
    double value;
  };
  edit->SetMinValue(3.7);
  edit->SetMaxValue(20);
  const Row rows[] = {
      {vtInteger, "abc", 3}, {vtInteger, "12", 12}, {vtFloat, "abc", 3.7}, {vtFloat, "1.25", 1.25},
      {vtHex, "ff", 255},    {vtHex, "xyz", 3},     {vtInteger, "", 3},
  };
  for (const Row& row : rows) {
    edit->SetValueType(row.type);
    edit->SetText(row.text);
    EXPECT_DOUBLE_EQ(edit->Value(), row.value) << row.text;
  }
}

TEST_F(VxSpinEditTest, ChangingTheTypeRewritesTheTextAndRoundsTheIncrement) {
  edit->SetValueType(vtFloat);
  edit->SetIncrement(0.4);
  edit->SetValue(26);
  edit->SetValueType(vtHex);
  EXPECT_EQ(edit->Text(), "1A");
  EXPECT_EQ(edit->Increment(), 1) << "0.4 rounds to 0, which becomes 1";
  edit->SetIncrement(2.5);
  edit->SetValueType(vtInteger);
  EXPECT_EQ(edit->Text(), "26");
  EXPECT_EQ(edit->Increment(), 2);
}

TEST_F(VxSpinEditTest, AcceptsOnlyCharactersThatCanBelongToANumber) {
  struct Row {
    TValueType type;
    const char* text;
    bool editorEnabled;
    char key;
    bool accepted;
  };
  const Row rows[] = {
      {vtInteger, "1", true, '7', true},   {vtInteger, "1", true, '-', true},  {vtInteger, "1", true, '+', true},
      {vtInteger, "1", true, 'a', false},  {vtInteger, "1", true, '.', false}, {vtInteger, "1", true, '\b', true},
      {vtInteger, "1", true, '\r', true},  {vtFloat, "1", true, '.', true},    {vtFloat, "1.5", true, '.', false},
      {vtFloat, "1", true, 'e', true},     {vtFloat, "1E5", true, 'e', false}, {vtFloat, "1e5", true, 'E', false},
      {vtHex, "1", true, 'f', true},       {vtHex, "1", true, 'F', true},      {vtHex, "1", true, 'g', false},
      {vtInteger, "1", false, '7', false}, {vtInteger, "1", false, '\b', false}, {vtInteger, "1", false, '\r', true},
  };
  for (const Row& row : rows) {
    edit->SetValueType(row.type);
    edit->SetText(row.text);
    edit->SetEditorEnabled(row.editorEnabled);
    EXPECT_EQ(edit->AcceptsChar(row.key), row.accepted)
        << "type " << row.type << " text " << row.text << " key " << int(row.key) << " editor " << row.editorEnabled;
  }
  // The locale's separator, not the point.
  rtl::FormatSettings().DecimalSeparator = ',';
  edit->SetValueType(vtFloat);
  edit->SetEditorEnabled(true);
  edit->SetText("1");
  EXPECT_TRUE(edit->AcceptsChar(','));
  EXPECT_FALSE(edit->AcceptsChar('.'));
  rtl::FormatSettings().DecimalSeparator = '.';
}

TEST_F(VxSpinEditTest, TypedCharactersAreFilteredWithABeep) {
  edit->SetValueType(vtHex);
  ShowForm();
  edit->SetFocus();
  edit->SetText("");
  Pump();
  win::InjectText(u"1g");
  Pump();
  EXPECT_EQ(edit->Text(), "1");
  EXPECT_EQ(win::RecordedBeeps().size(), 1u);
  // Leaving the edit re-clamps what was typed.
  edit->SetValueType(vtInteger);
  edit->SetMinValue(1);
  edit->SetMaxValue(10);
  edit->SetText("");
  win::InjectText(u"15");
  Pump();
  EXPECT_EQ(edit->Text(), "15");
  auto* other = new TEdit(form);
  other->SetParent(form);
  other->SetBounds(20, 80, 100, 24);
  other->SetFocus();
  Pump();
  EXPECT_EQ(edit->Text(), "10");
}

TEST_F(VxSpinEditTest, TabbingInSelectsTheWholeNumber) {
  auto* before = new TEdit(form);
  before->SetParent(form);
  before->SetBounds(20, 80, 100, 24);
  before->SetTabOrder(0);
  edit->SetValue(1234);
  ShowForm();
  before->SetFocus();
  Pump();
  Key(win::VK_TAB);
  ASSERT_TRUE(edit->Focused());
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), 4);
}

TEST_F(VxSpinEditTest, StepsTellChangesOnlyWhenTheTextChanges) {
  edit->SetValueType(vtFloat);
  edit->SetIncrement(0.1);
  edit->SetMinValue(0);
  edit->SetMaxValue(0.7);
  edit->SetValue(0.5);
  changes = 0;
  edit->StepUp(nullptr);
  EXPECT_EQ(edit->Text(), "0.60");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(edit->Modified());
  edit->StepUp(nullptr);
  edit->StepUp(nullptr);
  EXPECT_EQ(edit->Text(), "0.70");
  EXPECT_EQ(changes, 2) << "a step at the limit changes nothing";
  EXPECT_EQ(tops, 3) << "but still tells of the click";
  edit->StepDown(nullptr);
  EXPECT_EQ(edit->Text(), "0.60");
  EXPECT_EQ(bottoms, 1);
  // A read-only edit only beeps.
  edit->SetReadOnly(true);
  edit->StepUp(nullptr);
  EXPECT_EQ(edit->Text(), "0.60");
  EXPECT_EQ(tops, 3);
  EXPECT_EQ(win::RecordedBeeps().size(), 1u);
}

TEST_F(VxSpinEditTest, ArrowKeysStepUnlessTurnedOff) {
  ShowForm();
  edit->SetFocus();
  Pump();
  Key(win::VK_UP);
  Key(win::VK_UP);
  Key(win::VK_DOWN);
  EXPECT_EQ(edit->Text(), "1");
  edit->SetArrowKeys(false);
  Key(win::VK_UP);
  EXPECT_EQ(edit->Text(), "1");
}

TEST_F(VxSpinEditTest, TheDiagonalButtonSplitsAlongItsDiagonal) {
  TVxSpinButton button(nullptr);
  ASSERT_EQ(button.Width(), 20);
  ASSERT_EQ(button.Height(), 20);
  EXPECT_EQ(button.HalfAt(15, 15), TVxSpinButton::shLower);
  EXPECT_EQ(button.HalfAt(4, 4), TVxSpinButton::shUpper);
  EXPECT_EQ(button.HalfAt(10, 10), TVxSpinButton::shUpper);
  EXPECT_EQ(button.HalfAt(10, 11), TVxSpinButton::shLower);
}

TEST_F(VxSpinEditTest, PressingTheUpperHalfSinksItsArrowButNotTheOther) {
  ShowForm();
  TVxSpinButton* button = edit->SpinButton();
  const int w = button->Width(), h = button->Height();
  auto arrows = [&] {
    TBitmap face;
    face.SetPixelFormat(pf32bit);
    face.SetSize(w, h);
    auto* holder = button->Parent();
    holder->Perform(win::WM_PAINT, reinterpret_cast<win::WPARAM>(face.Canvas()->Handle()), 0);
    // Black pixels away from the frame and the diagonal are the arrows'.
    std::vector<TPoint> upper, lower;
    for (int y = 2; y < h - 2; ++y)
      for (int x = 2; x < w - 2; ++x)
        if ((face.Canvas()->Pixels(x, y) & 0xFFFFFF) == 0 && std::abs((h - y) - x) > 2)
          (button->HalfAt(x, y) == TVxSpinButton::shUpper ? upper : lower).push_back(Point(x, y));
    return std::make_pair(upper, lower);
  };
  const auto normal = arrows();
  ASSERT_FALSE(normal.first.empty());
  ASSERT_FALSE(normal.second.empty());
  PressSpin(w / 4, h / 4);
  const auto pressed = arrows();
  win::InjectMouseButton(0, false);
  Pump();
  ASSERT_EQ(pressed.first.size(), normal.first.size());
  for (size_t i = 0; i < normal.first.size(); ++i) {
    EXPECT_EQ(pressed.first[i].x, normal.first[i].x + 1);
    EXPECT_EQ(pressed.first[i].y, normal.first[i].y + 1);
  }
  EXPECT_EQ(pressed.second, normal.second);
}

TEST_F(VxSpinEditTest, HoldingAHalfStepsAtOnceAfter400MsThenEvery100Ms) {
  rtl::ScopedVirtualClock clock;
  ShowForm();
  TVxSpinButton* button = edit->SpinButton();
  ASSERT_NE(button, nullptr);
  const int w = button->Width(), h = button->Height();
  PressSpin(w / 4, h / 4);
  EXPECT_EQ(button->PressedHalf(), TVxSpinButton::shUpper);
  EXPECT_EQ(edit->Text(), "1");
  clock.Advance(399);
  Pump();
  EXPECT_EQ(edit->Text(), "1");
  clock.Advance(1);
  Pump();
  EXPECT_EQ(edit->Text(), "2");
  for (int i = 0; i < 3; ++i) {
    clock.Advance(100);
    Pump();
  }
  EXPECT_EQ(edit->Text(), "5");
  // On the other half the stepping pauses and no half shows pressed.
  MoveTo(button, w - 3, h - 3);
  EXPECT_EQ(button->PressedHalf(), TVxSpinButton::shNone);
  clock.Advance(300);
  Pump();
  EXPECT_EQ(edit->Text(), "5");
  win::InjectMouseButton(0, false);
  Pump();
  clock.Advance(300);
  Pump();
  EXPECT_EQ(edit->Text(), "5");
  EXPECT_EQ(tops, 5);

  // The lower half steps down.
  PressSpin(w - 3, h - 3);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(edit->Text(), "4");
  EXPECT_EQ(bottoms, 1);
}

TEST_F(VxSpinEditTest, TheUpDownKindStepsOncePerClick) {
  edit->SetButtonKind(bkStandard);
  ASSERT_NE(edit->UpDown(), nullptr);
  EXPECT_EQ(edit->SpinButton(), nullptr);
  ShowForm();
  EXPECT_EQ(edit->UpDown()->Width(), DefaultSpinButtonWidth());
  Click(edit->UpDown(), 4, 3);
  Click(edit->UpDown(), 4, 3);
  EXPECT_EQ(edit->Text(), "2");
  Click(edit->UpDown(), 4, edit->UpDown()->Height() - 3);
  EXPECT_EQ(edit->Text(), "1");
  EXPECT_EQ(edit->UpDown()->Position(), 0);
  edit->SetButtonKind(bkDiagonal);
  EXPECT_EQ(edit->UpDown(), nullptr);
  EXPECT_NE(edit->SpinButton(), nullptr);
}

TEST_F(VxSpinEditTest, EnterReachesTheDefaultButtonEvenWithTheEditorOff) {
  int clicks = 0;
  auto* ok = new TButton(form);
  ok->SetParent(form);
  ok->SetBounds(20, 100, 75, 25);
  ok->SetDefault(true);
  ok->OnClick = [&](TObject*) { ++clicks; };
  edit->SetEditorEnabled(false);
  ShowForm();
  edit->SetFocus();
  Pump();
  Key(win::VK_RETURN);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(edit->Text(), "0");
  win::InjectText(u"5");
  Pump();
  EXPECT_EQ(edit->Text(), "0");
}

TEST_F(VxSpinEditTest, TheEditIsNeverLowerThanItsFontNeeds) {
  ShowForm();
  const int least = edit->MinEditHeight();
  EXPECT_GT(least, 10);
  edit->SetHeight(5);
  EXPECT_EQ(edit->Height(), least);
}

}  // namespace
}  // namespace controls
