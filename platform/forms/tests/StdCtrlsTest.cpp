#include "platform/forms/StdCtrls.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/ExtCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class StdCtrlsTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
  }
  template <class T>
  T* Make(TWinControl* parent, int x, int y, int w, int h, const String& caption = "") {
    auto* c = new T(form);
    c->SetParent(parent);
    c->SetBounds(x, y, w, h);
    if (!caption.empty()) c->SetCaption(caption);
    return c;
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  // Logs the BM_ messages reaching the control, as a subclass sees them.
  void Spy(TWinControl* c, std::vector<std::string>& log) {
    auto inner = c->WindowProc;
    c->WindowProc = [inner, &log](TMessage& m) {
      if (m.Msg == win::BM_SETSTATE) log.push_back("state" + std::to_string(m.WParam));
      if (m.Msg == win::BM_SETCHECK) log.push_back("check" + std::to_string(m.WParam));
      inner(m);
    };
  }
  static void KeyWith(win::UINT modifier, win::UINT vk) {
    win::InjectKey(modifier, true);
    win::InjectKeyPress(vk);
    win::InjectKey(modifier, false);
    Pump();
  }
  TForm* form = nullptr;
};

TEST_F(StdCtrlsTest, ButtonPressesItselfAndClicksOnlyWhenReleasedInside) {
  auto* b = Make<TButton>(form, 10, 10, 80, 25, "Go");
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  std::vector<std::string> log;
  ShowForm();
  Spy(b, log);

  Click(b, 20, 10);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"state1", "state0"}));
  EXPECT_TRUE(b->Focused());

  // Pressed, dragged off and released outside: no click, and the pushed
  // look goes as the pointer leaves.
  log.clear();
  win::POINT p = At(b, 20, 10), out = At(b, 200, 100);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  win::InjectMouseMove(out.x, out.y);
  Pump();
  EXPECT_EQ(win::SendMessageA(b->Handle(), win::BM_GETSTATE, 0, 0) & win::BST_PUSHED, 0);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"state1", "state0"}));

  // A subclass that swallows the pushed state swallows the click too.
  log.clear();
  auto inner = b->WindowProc;
  b->WindowProc = [inner](TMessage& m) {
    if (m.Msg == win::BM_SETSTATE) return;
    inner(m);
  };
  Click(b, 20, 10);
  EXPECT_EQ(clicks, 1);

  // Space presses and clicks from the keyboard.
  b->WindowProc = inner;
  Key(win::VK_SPACE);
  EXPECT_EQ(clicks, 2);
}

TEST_F(StdCtrlsTest, EnterAndEscapePressTheDefaultAndCancelButtonsThroughTheForm) {
  auto* edit = Make<TEdit>(form, 10, 10, 100, 21);
  auto* ok = Make<TButton>(form, 10, 50, 75, 25, "&OK");
  auto* cancel = Make<TButton>(form, 100, 50, 75, 25, "Cancel");
  auto* other = Make<TButton>(form, 190, 50, 75, 25, "&Other");
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  int okClicks = 0, otherClicks = 0;
  ok->OnClick = [&](TObject*) { ++okClicks; };
  other->OnClick = [&](TObject*) { ++otherClicks; };
  ShowForm();
  edit->SetFocus();
  Pump();

  auto isDefaultStyle = [](TButton* b) {
    return (win::GetWindowLongA(b->Handle(), win::GWL_STYLE) & win::BS_TYPEMASK) == win::BS_DEFPUSHBUTTON;
  };
  EXPECT_TRUE(isDefaultStyle(ok));
  Key(win::VK_RETURN);
  EXPECT_EQ(okClicks, 1);
  EXPECT_EQ(form->ModalResult(), mrOk);

  form->SetModalResult(mrNone);
  Key(win::VK_ESCAPE);
  EXPECT_EQ(form->ModalResult(), mrCancel);

  // A focused button takes Enter (and the default look) from the default.
  other->SetFocus();
  Pump();
  EXPECT_TRUE(isDefaultStyle(other));
  EXPECT_FALSE(isDefaultStyle(ok));
  Key(win::VK_RETURN);
  EXPECT_EQ(otherClicks, 1);
  EXPECT_EQ(okClicks, 1);
  edit->SetFocus();
  Pump();
  EXPECT_TRUE(isDefaultStyle(ok));

  // Alt with the accelerator clicks it.
  KeyWith(win::VK_MENU, 'O');
  EXPECT_EQ(otherClicks + okClicks, 3);
  EXPECT_EQ(okClicks, 2) << "'&OK' comes before '&Other' in the form";
}

TEST_F(StdCtrlsTest, CheckBoxCyclesItsStatesThroughTheWindowsCheckMessage) {
  auto* cb = Make<TCheckBox>(form, 10, 10, 120, 17, "&Loop");
  int clicks = 0;
  cb->OnClick = [&](TObject*) { ++clicks; };
  std::vector<std::string> log;
  ShowForm();
  Spy(cb, log);

  Click(cb, 5, 8);
  EXPECT_EQ(cb->State(), cbChecked);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(log, (std::vector<std::string>{"state1", "state0", "check1"}));
  Click(cb, 5, 8);
  EXPECT_EQ(cb->State(), cbUnchecked);

  cb->SetAllowGrayed(true);
  Click(cb, 5, 8);
  Key(win::VK_SPACE);
  EXPECT_EQ(cb->State(), cbGrayed);
  EXPECT_EQ(win::SendMessageA(cb->Handle(), win::BM_GETCHECK, 0, 0), win::BST_INDETERMINATE);
  Key(win::VK_SPACE);
  EXPECT_EQ(cb->State(), cbUnchecked);
  EXPECT_EQ(clicks, 5);

  // The accelerator toggles too.
  KeyWith(win::VK_MENU, 'L');
  EXPECT_TRUE(cb->Checked());
}

TEST_F(StdCtrlsTest, RadioButtonsUncheckTheirSiblingsOnlyAndArrowsMoveTheCheck) {
  auto* group = Make<TGroupBox>(form, 10, 10, 150, 100, "Mode");
  auto* a = Make<TRadioButton>(group, 8, 20, 100, 17, "A");
  auto* b = Make<TRadioButton>(group, 8, 40, 100, 17, "B");
  auto* c = Make<TRadioButton>(group, 8, 60, 100, 17, "C");
  auto* outside = Make<TRadioButton>(form, 200, 20, 100, 17, "Outside");
  std::vector<std::string> clicks;
  for (TRadioButton* r : {a, b, c, outside}) r->OnClick = [&clicks, r](TObject*) { clicks.push_back(r->Caption()); };
  outside->SetChecked(true);
  a->SetChecked(true);
  ShowForm();

  Click(b, 5, 8);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(outside->Checked()) << "another parent is another group";
  EXPECT_TRUE(b->TabStop());
  EXPECT_FALSE(a->TabStop());
  EXPECT_EQ(win::SendMessageA(a->Handle(), win::BM_GETCHECK, 0, 0), win::BST_UNCHECKED);

  Key(win::VK_DOWN);
  EXPECT_TRUE(c->Focused());
  EXPECT_TRUE(c->Checked());
  EXPECT_FALSE(b->Checked());
  Key(win::VK_UP);
  EXPECT_TRUE(b->Checked());
  EXPECT_EQ(clicks, (std::vector<std::string>{"Outside", "A", "B", "C", "B"}));
}

// What setting a property by code fires, one row per rule.
TEST_F(StdCtrlsTest, PropertiesSetByCodeFireTheirEventsAsTheTableSays) {
  struct Row {
    const char* what;
    std::function<int(bool withHandle)> run;  // answers the events fired
    int expected;
  };
  auto edit = [&](bool memo, const String& first, const String& second) {
    return [=, this](bool withHandle) {
      TCustomEdit* e = memo ? static_cast<TCustomEdit*>(Make<TMemo>(form, 0, 0, 100, 50))
                            : static_cast<TCustomEdit*>(Make<TEdit>(form, 0, 0, 100, 21));
      if (withHandle) e->HandleNeeded();
      e->SetText(first);
      int n = 0;
      e->OnChange = [&n](TObject*) { ++n; };
      e->SetText(second);
      delete e;
      return n;
    };
  };
  const Row rows[] = {
      {"TEdit.Text changed", edit(false, "a", "b"), 1},
      {"TEdit.Text unchanged", edit(false, "a", "a"), 0},
      {"TMemo.Text changed", edit(true, "a", "b\r\nc"), 1},
      {"TMemo.Text unchanged", edit(true, "a", "a"), 0},
      {"TCheckBox.Checked", [&](bool h) {
         auto* cb = Make<TCheckBox>(form, 0, 0, 80, 17);
         if (h) cb->HandleNeeded();
         int n = 0;
         cb->OnClick = [&n](TObject*) { ++n; };
         cb->SetChecked(true);
         cb->SetChecked(true);
         cb->SetChecked(false);
         delete cb;
         return n;
       }, 2},
      {"TRadioButton.Checked", [&](bool h) {
         auto* r1 = Make<TRadioButton>(form, 0, 0, 80, 17);
         auto* r2 = Make<TRadioButton>(form, 0, 20, 80, 17);
         if (h) r1->HandleNeeded();
         int n = 0;
         r1->OnClick = r2->OnClick = [&n](TObject*) { ++n; };
         r1->SetChecked(true);
         r2->SetChecked(true);  // unchecks r1 without a click of its own
         r2->SetChecked(false);
         const int result = r1->Checked() ? -1 : n;
         delete r1;
         delete r2;
         return result;
       }, 2},
      {"TListBox.ItemIndex", [&](bool) {
         auto* list = Make<TListBox>(form, 0, 0, 80, 60);
         list->Items()->Add("a");
         list->Items()->Add("b");
         int n = 0;
         list->OnClick = list->OnDblClick = [&n](TObject*) { ++n; };
         list->SetItemIndex(1);
         list->SetItemIndex(0);
         delete list;
         return n;
       }, 0},
      {"TComboBox.ItemIndex", [&](bool) {
         int n = 0;
         for (TComboBoxStyle style : {csDropDown, csDropDownList, csSimple}) {
           auto* combo = Make<TComboBox>(form, 0, 0, 80, 60);
           combo->SetStyle(style);
           combo->Items()->Add("a");
           combo->Items()->Add("b");
           combo->OnChange = combo->OnSelect = combo->OnClick = [&n](TObject*) { ++n; };
           combo->SetItemIndex(1);
           combo->SetItemIndex(-1);
           delete combo;
         }
         return n;
       }, 0},
  };
  for (const Row& row : rows)
    for (bool withHandle : {false, true})
      EXPECT_EQ(row.run(withHandle), row.expected) << row.what << (withHandle ? " (with window)" : " (no window)");
}

TEST_F(StdCtrlsTest, LabelSizesItselfDrawsWhereItsAlignedAndFocusesItsControl) {
  auto* label = Make<TLabel>(form, 10, 10, 10, 10, "Name");
  const int oneLineH = label->Height();
  EXPECT_GT(label->Width(), 20);
  EXPECT_GT(oneLineH, 8);
  const int w = label->Width();
  label->SetCaption("Name and more");
  EXPECT_GT(label->Width(), w);

  // Wrapping keeps the width and grows downwards.
  label->SetWordWrap(true);
  label->SetWidth(40);
  label->SetCaption("one two three four");
  EXPECT_EQ(label->Width(), 40);
  EXPECT_GE(label->Height(), 3 * oneLineH);

  // Without an accelerator shown, "&" is a character and widens the text.
  auto* amp = Make<TLabel>(form, 10, 100, 10, 10, "&Name");
  const int withAccel = amp->Width();
  amp->SetShowAccelChar(false);
  EXPECT_GT(amp->Width(), withAccel);

  auto* edit = Make<TEdit>(form, 100, 100, 100, 21);
  amp->SetShowAccelChar(true);
  amp->SetFocusControl(edit);
  auto* fixed = Make<TLabel>(form, 10, 200, 10, 10, "X");
  fixed->SetAutoSize(false);
  fixed->SetBounds(10, 200, 120, 40);
  fixed->SetAlignment(taRightJustify);
  fixed->SetLayout(tlBottom);
  fixed->SetTransparent(false);
  fixed->SetColor(clWhite);
  fixed->Font()->SetColor(clBlack);
  ShowForm();

  KeyWith(win::VK_MENU, 'N');
  EXPECT_TRUE(edit->Focused());

  // The "X" is at the bottom right: dark pixels there, none at the top left.
  auto shot = win::CaptureWindow(form->Handle());
  ASSERT_TRUE(shot);
  auto dark = [&](int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if ((shot->Pixel(10 + x, 200 + y) & 0xFF) < 128) ++n;
    return n;
  };
  EXPECT_GT(dark(100, 20, 120, 40), 5);
  EXPECT_EQ(dark(0, 0, 100, 20), 0);
  EXPECT_EQ(win::GetScreenPixel(At(form, 15, 205).x, At(form, 15, 205).y), win::RGB(255, 255, 255));
  fixed->SetTransparent(true);
  Pump();
  EXPECT_EQ(win::GetScreenPixel(At(form, 15, 205).x, At(form, 15, 205).y), ColorToRGB(form->Color()));
}

}  // namespace

namespace {

// A dialog of one of each, filled in from the keyboard alone.
TEST_F(StdCtrlsTest, DialogIsFilledInAndClosedFromTheKeyboard) {
  auto* name = Make<TEdit>(form, 10, 10, 150, 21);
  auto* loop = Make<TCheckBox>(form, 10, 40, 150, 17, "&Loop");
  auto* size = Make<TComboBox>(form, 10, 65, 150, 21);
  size->SetStyle(csDropDownList);
  for (const char* s : {"Small", "Large"}) size->Items()->Add(s);
  size->SetItemIndex(0);
  auto* notes = Make<TMemo>(form, 10, 95, 150, 60);
  auto* ok = Make<TButton>(form, 10, 165, 75, 25, "OK");
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto* cancel = Make<TButton>(form, 95, 165, 75, 25, "Cancel");
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  ShowForm();
  name->SetFocus();
  Pump();

  win::InjectText(u"clip");
  Key(win::VK_TAB);
  EXPECT_TRUE(loop->Focused());
  Key(win::VK_SPACE);
  Key(win::VK_TAB);
  EXPECT_TRUE(size->Focused());
  Key(win::VK_DOWN);
  Key(win::VK_TAB);
  EXPECT_TRUE(notes->Focused());
  win::InjectText(u"a");
  Key(win::VK_RETURN);
  win::InjectText(u"b");
  Pump();
  EXPECT_EQ(form->ModalResult(), mrNone) << "Enter is a new line in the memo";
  // Shift+Tab goes back; Alt+L toggles the box from anywhere.
  KeyWith(win::VK_SHIFT, win::VK_TAB);
  EXPECT_TRUE(size->Focused());
  KeyWith(win::VK_MENU, 'L');
  KeyWith(win::VK_MENU, 'L');
  name->SetFocus();
  Pump();
  Key(win::VK_RETURN);

  EXPECT_EQ(form->ModalResult(), mrOk);
  EXPECT_EQ(name->Text(), "clip");
  EXPECT_TRUE(loop->Checked());
  EXPECT_EQ(size->Text(), "Large");
  EXPECT_EQ(notes->Lines()->Count(), 2);
  EXPECT_EQ(notes->Lines()->Get(1), "b");
}

}  // namespace

namespace {

// An opaque label painted by its parent: whatever it leaves behind when its
// text gets shorter, it moves, hides or goes must show the parent again,
// not old text.
class LabelTraceTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
  }
  // The form as it is on the screen, read once per look.
  void Look() {
    shot = win::CaptureWindow(form->Handle());
    ASSERT_TRUE(shot);
  }
  win::COLORREF At(int x, int y) const {
    const uint32_t p = shot->Pixel(x, y);
    return win::RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Pixels inside `was` but outside `now` (form coordinates) that are not
  // `background`.
  int Strays(const TRect& was, const TRect& now, win::COLORREF background) const {
    int n = 0;
    for (int y = was.top; y < was.bottom; ++y)
      for (int x = was.left; x < was.right; ++x) {
        const bool inside = x >= now.left && x < now.right && y >= now.top && y < now.bottom;
        if (!inside && At(x, y) != background) ++n;
      }
    return n;
  }
  int Dark(const TRect& r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const win::COLORREF px = At(x, y);
        if ((px & 0xFF) + ((px >> 8) & 0xFF) + ((px >> 16) & 0xFF) < 300) ++n;
      }
    return n;
  }
  TRect OnForm(TControl* c) const {
    const TPoint o = form->ScreenToClient(c->ClientToScreen(Point(0, 0)));
    return Rect(o.x, o.y, o.x + c->Width(), o.y + c->Height());
  }
  TForm* form = nullptr;
  std::shared_ptr<win::Surface> shot;
};

TEST_F(LabelTraceTest, OpaqueLabelShowsItsParentWhereItNoLongerIs) {
  enum Change { shrink, hide, remove };
  const struct {
    const char* what;
    bool inGroup;
    TColor groupColour;  // clNone: the group's own default colour
    TAlignment alignment;
    int moveBy;
    Change change;
  } cases[] = {
      {"on the form", false, clNone, taLeftJustify, 0, shrink},
      {"on the form, right-aligned", false, clNone, taRightJustify, 0, shrink},
      {"on the form, moved", false, clNone, taLeftJustify, 40, shrink},
      {"on the form, hidden", false, clNone, taLeftJustify, 0, hide},
      {"on the form, taken off it", false, clNone, taLeftJustify, 0, remove},
      {"in a group box", true, clNone, taLeftJustify, 0, shrink},
      {"in a group box, right-aligned", true, clNone, taRightJustify, 0, shrink},
      {"in a group box, moved", true, clNone, taLeftJustify, -30, shrink},
      {"in a group box, hidden", true, clNone, taLeftJustify, 0, hide},
      {"in a group box of its own colour", true, clWhite, taLeftJustify, 0, shrink},
      {"in a group box of its own colour, moved", true, clWhite, taLeftJustify, 25, shrink},
      {"in a group box of its own colour, taken off it", true, clWhite, taLeftJustify, 0, remove},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    form->SetColor(clAqua);
    TWinControl* parent = form;
    TGroupBox* group = nullptr;
    if (c.inGroup) {
      group = new TGroupBox(form);
      group->SetParent(form);
      group->SetBounds(20, 20, 340, 200);
      if (c.groupColour != clNone) group->SetColor(c.groupColour);
      parent = group;
    }
    auto* label = new TLabel(form);
    label->SetParent(parent);
    // Wide enough that a right-aligned label shrinking to its text stays
    // inside its parent.
    label->SetBounds(60, 60, 250, 10);
    label->SetAlignment(c.alignment);
    label->Font()->SetColor(clBlack);
    ASSERT_FALSE(label->Transparent());
    form->Show();
    label->SetCaption("-50% of a rather long text");
    Pump();
    const TRect was = OnForm(label);
    ASSERT_GT(was.right - was.left, 100);
    Look();
    ASSERT_GT(Dark(was), 20) << "the long text is on the screen";

    TRect now{};
    switch (c.change) {
      case shrink:
        label->SetCaption("0%");
        if (c.moveBy) label->SetLeft(label->Left() + c.moveBy);
        Pump();
        now = OnForm(label);
        ASSERT_LT(now.right - now.left, 40);
        break;
      case hide:
        label->SetVisible(false);
        break;
      case remove:
        label->SetParent(nullptr);
        break;
    }
    Pump();
    Look();
    const win::COLORREF background = ColorToRGB(parent->Color());
    EXPECT_EQ(Strays(was, now, background), 0) << "old text left where the label no longer is";
    if (c.change == shrink) {
      EXPECT_GT(Dark(now), 5) << "the short text is drawn";
      // The label fills all of itself with its colour, which is its parent's.
      EXPECT_EQ(At(now.right - 1, now.top), background);
      EXPECT_EQ(At(now.left, now.bottom - 1), background);
    }

    delete label;
    delete group;
    Pump();
  }
}

}  // namespace
