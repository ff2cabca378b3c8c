#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

struct Drawn {
  int index;
  TRect rect;
  TOwnerDrawState state;
};

class OwnerDrawTest : public FormsFixture {
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
  // Records every row drawn and paints it red, so the screen shows where
  // the canvas drew.
  template <class T>
  void Record(T* control) {
    control->OnDrawItem = [this, control](TWinControl* sender, int index, TRect rect, TOwnerDrawState state) {
      EXPECT_EQ(sender, control);
      drawn.push_back({index, rect, state});
      control->Canvas()->Brush()->SetColor(clRed);
      control->Canvas()->FillRect(rect);
    };
  }
  void Repaint(TWinControl* c) {
    drawn.clear();
    win::InvalidateRect(c->Handle(), nullptr, win::TRUE);
    win::UpdateWindow(c->Handle());
    Pump();
  }
  const Drawn* Find(int index) const {
    for (const Drawn& d : drawn)
      if (d.index == index) return &d;
    return nullptr;
  }
  TForm* form = nullptr;
  std::vector<Drawn> drawn;
};

TEST_F(OwnerDrawTest, FixedListDrawsEachVisibleRowThroughOnDrawItem) {
  auto* list = Make<TListBox>(10, 10, 120, 50);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  for (const char* s : {"a", "b", "c", "d"}) list->Items()->Add(s);
  Record(list);
  ShowForm();
  list->SetFocus();
  list->SetItemIndex(1);
  Repaint(list);

  const int w = list->ClientWidth();
  // Rows 0..2 reach into the 50-pixel client; row 3 lies below it.
  ASSERT_NE(Find(0), nullptr);
  ASSERT_NE(Find(1), nullptr);
  ASSERT_NE(Find(2), nullptr);
  EXPECT_EQ(Find(3), nullptr);
  EXPECT_EQ(Find(0)->rect, Rect(0, 0, w, 20));
  EXPECT_EQ(Find(1)->rect, Rect(0, 20, w, 40));
  EXPECT_EQ(Find(2)->rect, Rect(0, 40, w, 60));
  EXPECT_TRUE(Find(1)->state.Contains(odSelected));
  EXPECT_TRUE(Find(1)->state.Contains(odFocused));
  EXPECT_FALSE(Find(0)->state.Contains(odSelected));
  EXPECT_FALSE(Find(0)->state.Contains(odFocused));
  EXPECT_EQ(list->ItemRect(2), Rect(0, 40, w, 60));
  // The canvas drew into the list's rows on screen.
  const win::POINT p = At(list, 5, 5);
  EXPECT_EQ(win::GetScreenPixel(p.x, p.y), win::RGB(255, 0, 0));

  // Without OnDrawItem a row shows its own text on the selection colour.
  list->OnDrawItem = nullptr;
  Repaint(list);
  const win::POINT q = At(list, list->ClientWidth() - 3, 30);
  EXPECT_EQ(win::GetScreenPixel(q.x, q.y), win::GetSysColor(win::COLOR_HIGHLIGHT));
}

TEST_F(OwnerDrawTest, VariableListTakesEachRowsHeightFromOnMeasureItem) {
  auto* list = Make<TListBox>(10, 10, 120, 40);
  list->SetStyle(lbOwnerDrawVariable);
  std::vector<int> measured;
  list->OnMeasureItem = [&](TWinControl*, int index, int& height) {
    measured.push_back(index);
    height = 10 + 5 * index;
  };
  for (const char* s : {"a", "b", "c", "d"}) list->Items()->Add(s);
  EXPECT_EQ(measured, (std::vector<int>{0, 1, 2, 3}));
  Record(list);
  ShowForm();
  Repaint(list);

  const int w = list->ClientWidth();
  const TRect want[] = {Rect(0, 0, w, 10), Rect(0, 10, w, 25), Rect(0, 25, w, 45), Rect(0, 45, w, 70)};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list->ItemRect(i), want[i]) << i;
  // The client is under 45 pixels high: row 3 is not drawn.
  ASSERT_LT(list->ClientHeight(), 45);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(Find(i), nullptr) << i;
    EXPECT_EQ(Find(i)->rect, want[i]) << i;
  }
  EXPECT_EQ(Find(3), nullptr);
  EXPECT_EQ(list->ItemAtPos(Point(5, 24), true), 1);
  EXPECT_EQ(list->ItemAtPos(Point(5, 25), true), 2);
  EXPECT_EQ(list->ItemAtPos(Point(5, 39), true), -1);
  // Scrolled down one row, the rows below move up by that row's height.
  list->SetTopIndex(1);
  EXPECT_EQ(list->ItemRect(2), Rect(0, 15, w, 35));
  // An inserted row is measured at its own index.
  measured.clear();
  list->Items()->Insert(0, "z");
  EXPECT_EQ(measured, (std::vector<int>{0}));
}

TEST_F(OwnerDrawTest, VirtualListAsksOnDataOnlyForTheRowsItShows) {
  auto* list = Make<TListBox>(10, 10, 120, 60);
  list->SetStyle(lbVirtual);
  list->SetItemHeight(20);
  std::vector<int> asked;
  list->OnData = [&](TWinControl*, int index, String& data) {
    asked.push_back(index);
    data = "row " + std::to_string(index);
  };
  list->SetCount(100000);
  ShowForm();
  asked.clear();
  list->SetTopIndex(500);
  Repaint(list);
  EXPECT_EQ(asked, (std::vector<int>{500, 501, 502}));
  EXPECT_EQ(list->Count(), 100000);
  EXPECT_EQ(list->Items()->Get(77), "row 77");
  EXPECT_EQ(win::SendMessageA(list->Handle(), win::LB_GETCOUNT, 0, 0), 100000);

  // A new window keeps the count, not the rows.
  list->SetBorderStyle(bsNone);
  EXPECT_EQ(list->Count(), 100000);
  // Only a virtual list takes a bare count.
  auto* plain = Make<TListBox>(10, 100, 50, 50);
  EXPECT_THROW(plain->SetCount(3), rtl::EListError);
  EXPECT_EQ(win::SendMessageA(plain->Handle(), win::LB_SETCOUNT, 3, 0), win::LB_ERR);
}

TEST_F(OwnerDrawTest, OwnerDrawComboDrawsItsFaceAndItsDroppedRowsThroughOnDrawItem) {
  auto* combo = Make<TComboBox>(10, 10, 150, 24);
  combo->SetStyle(csOwnerDrawFixed);
  combo->SetItemHeight(18);
  for (const char* s : {"one", "two", "three"}) combo->Items()->Add(s);
  Record(combo);
  ShowForm();
  combo->SetItemIndex(2);
  Repaint(combo);

  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].index, 2);
  EXPECT_TRUE(drawn[0].state.Contains(odComboBoxEdit));

  combo->SetDroppedDown(true);
  Pump();
  drawn.clear();
  win::InvalidateRect(combo->ListHandle(), nullptr, win::TRUE);
  win::UpdateWindow(combo->ListHandle());
  Pump();
  std::vector<int> rows;
  for (const Drawn& d : drawn)
    if (!d.state.Contains(odComboBoxEdit)) rows.push_back(d.index);
  EXPECT_EQ(rows, (std::vector<int>{0, 1, 2}));
  const Drawn* last = nullptr;
  for (const Drawn& d : drawn)
    if (d.index == 2 && !d.state.Contains(odComboBoxEdit)) last = &d;
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->rect.top, 36);
  EXPECT_EQ(last->rect.bottom, 54);
  EXPECT_TRUE(last->state.Contains(odSelected));

  // The combo describes its parts.
  win::COMBOBOXINFO info;
  info.cbSize = sizeof info;
  ASSERT_TRUE(win::GetComboBoxInfo(combo->Handle(), &info));
  EXPECT_EQ(info.hwndList, combo->ListHandle());
  EXPECT_EQ(info.hwndItem, nullptr) << "a drop-down list has no edit";
  EXPECT_EQ(info.rcButton.right, combo->ClientWidth());
  EXPECT_EQ(info.stateButton, win::STATE_SYSTEM_PRESSED);
  combo->SetDroppedDown(false);
  ASSERT_TRUE(win::GetComboBoxInfo(combo->Handle(), &info));
  EXPECT_EQ(info.stateButton, 0u);
  info.cbSize = 0;
  EXPECT_FALSE(win::GetComboBoxInfo(combo->Handle(), &info));
}

TEST_F(OwnerDrawTest, VariableComboMeasuresEachRowAndDefaultDrawingShowsTheRowsOwnText) {
  auto* combo = Make<TComboBox>(10, 10, 150, 24);
  combo->SetStyle(csOwnerDrawVariable);
  combo->OnMeasureItem = [](TWinControl*, int index, int& height) { height = 12 + index; };
  for (const char* s : {"one", "two", "three"}) combo->Items()->Add(s);
  ShowForm();
  EXPECT_EQ(win::SendMessageA(combo->Handle(), win::CB_GETITEMHEIGHT, 2, 0), 14);
  EXPECT_EQ(win::SendMessageA(combo->Handle(), win::CB_GETITEMHEIGHT, 0, 0), 12);
}

// A control that records the reflected messages it gets.
class Reflected : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::vector<win::UINT> got;
  win::LPARAM lastParam = 0;

protected:
  void Dispatch(TMessage& m) override {
    if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x1000) {
      got.push_back(m.Msg);
      lastParam = m.LParam;
      m.Result = 42;
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

TEST_F(OwnerDrawTest, ParentReflectsNotificationsAndOwnerDrawingToTheChildNamed) {
  auto* child = Make<Reflected>(10, 10, 50, 50);
  ShowForm();
  win::HWND parent = form->Handle();
  win::NMHDR nm;
  nm.hwndFrom = child->Handle();
  nm.code = static_cast<win::UINT>(win::NM_CLICK);
  EXPECT_EQ(win::SendMessageA(parent, win::WM_NOTIFY, 0, reinterpret_cast<win::LPARAM>(&nm)), 42);
  EXPECT_EQ(child->lastParam, reinterpret_cast<win::LPARAM>(&nm));

  win::DRAWITEMSTRUCT dis;
  dis.CtlType = win::ODT_BUTTON;
  dis.hwndItem = child->Handle();
  win::SendMessageA(parent, win::WM_DRAWITEM, 0, reinterpret_cast<win::LPARAM>(&dis));
  win::MEASUREITEMSTRUCT mis;
  mis.CtlType = win::ODT_LISTBOX;
  mis.CtlID = static_cast<win::UINT>(win::GetDlgCtrlID(child->Handle()));
  win::SendMessageA(parent, win::WM_MEASUREITEM, mis.CtlID, reinterpret_cast<win::LPARAM>(&mis));
  win::DELETEITEMSTRUCT del;
  del.hwndItem = child->Handle();
  win::SendMessageA(parent, win::WM_DELETEITEM, 0, reinterpret_cast<win::LPARAM>(&del));
  win::COMPAREITEMSTRUCT cmp;
  cmp.hwndItem = child->Handle();
  win::SendMessageA(parent, win::WM_COMPAREITEM, 0, reinterpret_cast<win::LPARAM>(&cmp));
  EXPECT_EQ(child->got, (std::vector<win::UINT>{CN_NOTIFY, CN_DRAWITEM, CN_MEASUREITEM, CN_DELETEITEM, CN_COMPAREITEM}));

  // A menu's item is not a child's, and a notice from nobody we know stays put.
  child->got.clear();
  dis.CtlType = win::ODT_MENU;
  win::SendMessageA(parent, win::WM_DRAWITEM, 0, reinterpret_cast<win::LPARAM>(&dis));
  nm.hwndFrom = nullptr;
  win::SendMessageA(parent, win::WM_NOTIFY, 0, reinterpret_cast<win::LPARAM>(&nm));
  EXPECT_TRUE(child->got.empty());
}

TEST_F(OwnerDrawTest, EditCaretBlinksOnTheClock) {
  rtl::ScopedVirtualClock clock;
  auto* edit = Make<TEdit>(10, 10, 150, 24);
  edit->SetText("hello");
  ShowForm();
  edit->SetFocus();
  edit->SetSelStart(2);
  Pump();
  win::POINT caret;
  ASSERT_TRUE(win::GetCaretPos(&caret));
  EXPECT_GT(caret.x, 2);
  win::POINT at = caret;
  win::ClientToScreen(edit->Handle(), &at);
  const auto pixel = [&] { return win::GetScreenPixel(at.x, at.y + 2); };
  const win::COLORREF shown = pixel();
  std::vector<win::COLORREF> seen;
  for (int i = 0; i < 4; ++i) {
    clock.Advance(win::GetCaretBlinkTime());
    Pump();
    seen.push_back(pixel());
  }
  EXPECT_NE(seen[0], shown);
  EXPECT_EQ(seen[1], shown);
  EXPECT_NE(seen[2], shown);
  EXPECT_EQ(seen[3], shown);
  // Losing the focus takes the caret away: the spot stays as painted.
  auto* other = Make<TButton>(10, 50, 80, 24);
  other->SetFocus();
  Pump();
  const win::COLORREF left = pixel();
  EXPECT_EQ(left, seen[0]) << "the caret was shown first, then blinked off";
  for (int i = 0; i < 2; ++i) {
    clock.Advance(win::GetCaretBlinkTime());
    Pump();
    EXPECT_EQ(pixel(), left);
  }
}

TEST_F(OwnerDrawTest, TabLeavesAControlThatWantsAllKeysButNotTab) {
  auto* memo = Make<TMemo>(10, 10, 150, 60);
  auto* edit = Make<TEdit>(10, 100, 150, 24);
  ShowForm();
  memo->SetFocus();
  Pump();
  const win::LRESULT code = win::SendMessageA(memo->Handle(), win::WM_GETDLGCODE, 0, 0);
  ASSERT_TRUE(code & win::DLGC_WANTALLKEYS);
  ASSERT_FALSE(code & win::DLGC_WANTTAB);
  Key(win::VK_TAB);
  EXPECT_EQ(win::GetFocus(), edit->Handle());
  EXPECT_EQ(memo->Text(), "");

  memo->SetWantTabs(true);
  memo->SetFocus();
  Pump();
  Key(win::VK_TAB);
  EXPECT_EQ(win::GetFocus(), memo->Handle());
  EXPECT_EQ(memo->Text(), "\t");
}

}  // namespace
