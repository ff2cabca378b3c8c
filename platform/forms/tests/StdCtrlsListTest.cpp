#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class ListTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
  }
  template <class T>
  T* Make(int x, int y, int w, int h) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(x, y, w, h);
    return c;
  }
  void ShowForm() {
    form->Show();
    Pump();
  }
  static void Fill(rtl::TStrings* items, std::initializer_list<const char*> texts) {
    for (const char* t : texts) items->Add(t);
  }
  TForm* form = nullptr;
};

TEST_F(ListTest, ListBoxItemsLiveInItsWindowAndSurviveItBeingMadeAgain) {
  auto* list = Make<TListBox>(10, 10, 120, 100);
  Fill(list->Items(), {"pear", "apple", "fig"});
  int tag = 7;
  list->Items()->PutObject(1, &tag);
  EXPECT_EQ(win::SendMessageA(list->Handle(), win::LB_GETCOUNT, 0, 0), 3);
  list->SetItemIndex(2);

  list->SetSorted(true);
  EXPECT_EQ(list->Items()->CommaText(), "apple,fig,pear");
  EXPECT_EQ(list->Items()->GetObject(0), &tag);
  EXPECT_EQ(list->ItemIndex(), 2) << "the index is kept across the new window";
  list->Items()->Delete(0);
  EXPECT_EQ(list->Items()->IndexOf("pear"), 1);
  EXPECT_THROW(list->Items()->Get(5), rtl::EListError);
  EXPECT_EQ(win::SendMessageA(list->Handle(), win::LB_FINDSTRINGEXACT, static_cast<win::WPARAM>(-1),
                              reinterpret_cast<win::LPARAM>("PEAR")),
            1);
}

TEST_F(ListTest, ListBoxClicksAndKeysSelectAndTellButCodeDoesNot) {
  auto* list = Make<TListBox>(10, 10, 120, 100);
  Fill(list->Items(), {"a", "b", "c", "d"});
  int clicks = 0, doubles = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->OnDblClick = [&](TObject*) { ++doubles; };
  ShowForm();
  const int ih = list->ItemHeight();
  ASSERT_GT(ih, 5);

  list->SetItemIndex(1);
  EXPECT_EQ(clicks, 0);
  Click(list, 10, ih * 2 + 2);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(clicks, 1);
  Key(win::VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 3);
  Key(win::VK_HOME);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(clicks, 3);
  Key(win::VK_HOME);
  EXPECT_EQ(clicks, 3) << "no change, no click";
  const win::POINT p = At(list, 10, 2);
  win::InjectDoubleClick(p.x, p.y);
  Pump();
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(list->ItemAtPos(Point(5, ih + 1), true), 1);
  EXPECT_EQ(list->ItemAtPos(Point(5, ih * 10), true), -1);
  EXPECT_EQ(list->ItemRect(1).top, ih);
}

TEST_F(ListTest, MultiSelectListTogglesItemsAndCounts) {
  auto* list = Make<TListBox>(10, 10, 120, 100);
  Fill(list->Items(), {"a", "b", "c"});
  list->SetMultiSelect(true);
  ShowForm();
  EXPECT_EQ(list->Items()->Count(), 3);
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  EXPECT_EQ(list->SelCount(), 2);
  Click(list, 10, list->ItemHeight() * 2 + 1);
  EXPECT_FALSE(list->Selected(2));
  EXPECT_EQ(list->SelCount(), 1);
  list->ClearSelection();
  EXPECT_EQ(list->SelCount(), 0);
  EXPECT_THROW(list->Selected(9), rtl::EListError);
}

TEST_F(ListTest, DropDownListDropsOnThePressAndTheChoiceClosesIt) {
  auto* combo = Make<TComboBox>(10, 10, 120, 21);
  combo->SetStyle(csDropDownList);
  Fill(combo->Items(), {"one", "two", "three", "four"});
  std::vector<std::string> events;
  combo->OnChange = [&](TObject*) { events.push_back("change"); };
  combo->OnDropDown = [&](TObject*) { events.push_back("drop"); };
  combo->OnCloseUp = [&](TObject*) { events.push_back("closeup"); };
  combo->SetDropDownCount(3);
  ShowForm();

  // A subclass of the combo sees the press that drops the list.
  int presses = 0;
  auto inner = combo->WindowProc;
  combo->WindowProc = [&, inner](TMessage& m) {
    if (m.Msg == win::WM_LBUTTONDOWN) ++presses;
    inner(m);
  };
  Click(combo, 20, 10);
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(presses, 1);
  const win::HWND list = combo->ListHandle();
  EXPECT_TRUE(win::IsWindowVisible(list));
  win::RECT lr, cr;
  win::GetWindowRect(list, &lr);
  win::GetWindowRect(combo->Handle(), &cr);
  EXPECT_EQ(lr.top, cr.bottom) << "just under the combo";
  const int ih = static_cast<int>(win::SendMessageA(combo->Handle(), win::CB_GETITEMHEIGHT, 0, 0));
  EXPECT_EQ(lr.bottom - lr.top, 3 * ih + 2) << "DropDownCount rows";

  // Choosing the second item.
  win::InjectClick(lr.left + 10, lr.top + 1 + ih + ih / 2);
  Pump();
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_FALSE(win::IsWindowVisible(list));
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "two");
  EXPECT_EQ(events, (std::vector<std::string>{"drop", "closeup", "change"}));

  // Code sets the index quietly; the keys do not.
  events.clear();
  combo->SetItemIndex(3);
  EXPECT_EQ(combo->Text(), "four");
  EXPECT_TRUE(events.empty());
  combo->SetFocus();
  Pump();
  Key(win::VK_UP);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(events, (std::vector<std::string>{"change"}));

  // Escape closes a dropped list and keeps the choice it had.
  events.clear();
  Key(win::VK_F4);
  ASSERT_TRUE(combo->DroppedDown());
  Key(win::VK_DOWN);
  Key(win::VK_ESCAPE);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(events, (std::vector<std::string>{"drop", "closeup"}));
}

TEST_F(ListTest, DropDownComboTypesInItsOwnEditWindow) {
  auto* combo = Make<TComboBox>(10, 10, 120, 21);
  Fill(combo->Items(), {"alpha", "beta"});
  int changes = 0, selects = 0;
  combo->OnChange = [&](TObject*) { ++changes; };
  combo->OnSelect = [&](TObject*) { ++selects; };
  ShowForm();
  const win::HWND edit = combo->EditHandle();
  ASSERT_NE(edit, nullptr);
  EXPECT_NE(edit, combo->ListHandle());
  char cls[32] = {};
  win::GetClassNameA(edit, cls, sizeof cls);
  EXPECT_STREQ(cls, "EDIT");

  Click(combo, 10, 10);
  EXPECT_FALSE(combo->DroppedDown()) << "the text part types; only the button drops";
  win::InjectText(u"xy");
  Pump();
  EXPECT_EQ(combo->Text(), "xy");
  EXPECT_EQ(changes, 2);
  combo->SetItemIndex(1);
  EXPECT_EQ(combo->Text(), "beta");
  EXPECT_EQ(changes, 2);

  Click(combo, 115, 10);
  ASSERT_TRUE(combo->DroppedDown());
  win::RECT lr;
  win::GetWindowRect(combo->ListHandle(), &lr);
  win::InjectClick(lr.left + 5, lr.top + 3);
  Pump();
  EXPECT_EQ(combo->Text(), "alpha");
  EXPECT_EQ(selects, 1) << "OnSelect, when set, stands in for OnChange";
  EXPECT_EQ(changes, 2);

  // From the edit window the arrows move in the list and Tab leaves.
  auto* next = Make<TEdit>(10, 100, 80, 21);
  combo->SetFocus();
  Pump();
  EXPECT_EQ(win::GetFocus(), edit);
  Key(win::VK_DOWN);
  EXPECT_EQ(combo->Text(), "beta");
  EXPECT_EQ(selects, 2);
  Key(win::VK_TAB);
  EXPECT_TRUE(next->Focused());

  // The items and the choice survive a change of style.
  combo->SetStyle(csSimple);
  EXPECT_EQ(combo->Items()->Count(), 2);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_TRUE(win::IsWindowVisible(combo->ListHandle())) << "a simple combo always shows its list";
}

}  // namespace
