#include "platform/forms/TreeView.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"
#include "platform/win/Display.h"
#include "platform/win/ScrollBars.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class TreeViewTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 300, 300);
    tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(10, 10, 200, 250);
    tree->SetBorderStyle(bsNone);
    // A          (a1, a2 (a2x), a3)
    // B
    // C          (c1)
    a = tree->Items()->Add(nullptr, "A");
    a1 = tree->Items()->AddChild(a, "a1");
    a2 = tree->Items()->AddChild(a, "a2");
    a2x = tree->Items()->AddChild(a2, "a2x");
    a3 = tree->Items()->AddChild(a, "a3");
    b = tree->Items()->Add(a, "B");
    c = tree->Items()->Add(nullptr, "C");
    c1 = tree->Items()->AddChild(c, "c1");
    tree->OnChange = [this](TObject*, TTreeNode* n) { log.push_back("change " + (n ? n->Text() : "-")); };
  }
  void ShowForm() {
    form->Show();
    tree->SetFocus();
    Pump();
  }
  String Sel() const { return tree->Selected() ? tree->Selected()->Text() : "-"; }
  // The middle of a node's label on the screen-facing client area.
  win::POINT LabelCentre(TTreeNode* n) {
    const TRect r = n->DisplayRect(true);
    return win::POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  TForm* form = nullptr;
  TTreeView* tree = nullptr;
  TTreeNode *a, *a1, *a2, *a2x, *a3, *b, *c, *c1;
  std::vector<std::string> log;
};

TEST_F(TreeViewTest, NodesKeepTheirPlaceLevelAndOrder) {
  TTreeNode* first = tree->Items()->AddFirst(b, "first");
  TTreeNode* beforeC = tree->Items()->Insert(c, "beforeC");
  TTreeNode* a0 = tree->Items()->AddChildFirst(a, "a0");
  std::string order;
  for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) order += n->Text() + ",";
  EXPECT_EQ(order, "first,A,a0,a1,a2,a2x,a3,B,beforeC,C,c1,");
  EXPECT_EQ(tree->Items()->Count(), 11);
  EXPECT_EQ(tree->Items()->Item(5), a2x);
  EXPECT_EQ(a2x->AbsoluteIndex(), 5);
  EXPECT_EQ(a2x->Level(), 2);
  EXPECT_EQ(a2x->Parent()->Parent(), a);
  EXPECT_EQ(first->Parent(), nullptr);
  EXPECT_EQ(beforeC->Index(), 3);
  EXPECT_EQ(a0->getNextSibling(), a1);
  EXPECT_EQ(a3->getNextSibling(), nullptr);
  EXPECT_EQ(a->Count(), 4);
  EXPECT_EQ(a->Item(2), a2);
  EXPECT_THROW(a->Item(4), rtl::EListError);
  EXPECT_THROW(tree->Items()->Item(11), rtl::EListError);
  EXPECT_TRUE(a->HasChildren());
  EXPECT_FALSE(b->HasChildren());
  b->SetHasChildren(true);
  EXPECT_TRUE(b->HasChildren()) << "a node can promise children before it has them";
  int data = 3;
  TTreeNode* withData = tree->Items()->AddChildObject(b, "d", &data);
  EXPECT_EQ(withData->Data(), &data);
  EXPECT_EQ(c1->GetPrev(), c);
  EXPECT_EQ(c->GetPrev(), beforeC);
  EXPECT_EQ(beforeC->GetPrev(), withData);
}

TEST_F(TreeViewTest, DeletingTellsEachNodeAndMovesTheSelection) {
  std::vector<std::string> deleted;
  tree->OnDeletion = [&](TObject*, TTreeNode* n) { deleted.push_back(n->Text()); };
  tree->SetSelected(a2x);
  EXPECT_TRUE(a->Expanded() && a2->Expanded()) << "selecting shows the node";
  log.clear();
  a2->Delete();
  EXPECT_EQ(deleted, (std::vector<std::string>{"a2x", "a2"}));
  EXPECT_EQ(Sel(), "a3") << "the selection goes to the next sibling of the removed branch";
  EXPECT_EQ(log, (std::vector<std::string>{"change a3"}));
  EXPECT_EQ(a->Count(), 2);
  a3->Delete();
  EXPECT_EQ(Sel(), "a1") << "else to the previous one";
  a1->Delete();
  EXPECT_EQ(Sel(), "A") << "else to the parent";
  deleted.clear();
  tree->Items()->Clear();
  EXPECT_EQ(tree->Items()->Count(), 0);
  EXPECT_EQ(tree->Selected(), nullptr);
  EXPECT_EQ(deleted.size(), 4u);
}

TEST_F(TreeViewTest, ChangingAndExpandingCanBeRefused) {
  bool allowChange = true, allowExpand = true, allowCollapse = true;
  tree->OnChanging = [&](TObject*, TTreeNode* n, bool& allow) {
    log.push_back("changing " + n->Text());
    allow = allowChange;
  };
  tree->OnExpanding = [&](TObject*, TTreeNode* n, bool& allow) {
    log.push_back("expanding " + n->Text());
    allow = allowExpand;
  };
  tree->OnCollapsing = [&](TObject*, TTreeNode* n, bool& allow) {
    log.push_back("collapsing " + n->Text());
    allow = allowCollapse;
  };
  tree->SetSelected(b);
  allowChange = false;
  tree->SetSelected(c);
  EXPECT_EQ(Sel(), "B");
  allowChange = true;
  allowExpand = false;
  a->Expand(false);
  EXPECT_FALSE(a->Expanded());
  allowExpand = true;
  b->Expand(false);
  EXPECT_FALSE(b->Expanded()) << "a node without children does not expand and asks nobody";
  a->Expand(true);
  EXPECT_TRUE(a2->Expanded());
  tree->SetSelected(a2x);
  allowCollapse = false;
  a->Collapse(false);
  EXPECT_TRUE(a->Expanded());
  allowCollapse = true;
  log.clear();
  a->Collapse(false);
  EXPECT_EQ(Sel(), "A") << "a selection hidden by a collapse moves up to the collapsed node";
  EXPECT_EQ(log, (std::vector<std::string>{"collapsing A", "changing A", "change A"}));
  EXPECT_TRUE(a2->Expanded()) << "a plain collapse leaves the children's state alone";
  tree->FullExpand();
  EXPECT_TRUE(a->Expanded() && a2->Expanded() && c->Expanded());
  tree->FullCollapse();
  EXPECT_FALSE(a->Expanded() || a2->Expanded() || c->Expanded());
}

TEST_F(TreeViewTest, KeysWalkTheVisibleRows) {
  ShowForm();
  struct Step {
    win::UINT key;
    const char* selected;
  } steps[] = {
      {win::VK_DOWN, "A"},      // nothing selected: the first row
      {win::VK_DOWN, "B"},      // A is collapsed
      {win::VK_UP, "A"},       {win::VK_RIGHT, "A"},  // expands
      {win::VK_DOWN, "a1"},     {win::VK_DOWN, "a2"},  {win::VK_ADD, "a2"},  {win::VK_DOWN, "a2x"},
      {win::VK_LEFT, "a2"},     // a leaf goes to its parent
      {win::VK_LEFT, "a2"},     // an expanded node collapses
      {win::VK_DOWN, "a3"},     {win::VK_END, "C"},    {win::VK_RIGHT, "C"}, {win::VK_RIGHT, "c1"},
      {win::VK_HOME, "A"},      {win::VK_SUBTRACT, "A"}, {win::VK_DOWN, "B"}, {win::VK_UP, "A"},
      {win::VK_UP, "A"},        // stays on the first row
      {'C', "C"},               // a letter goes to the next node starting with it
      {'A', "A"},               // round from the end
      {'C', "C"},  {'C', "c1"},  {'C', "C"},  // letters ignore case; hidden nodes are skipped
      {'Q', "C"},
  };
  for (const auto& s : steps) {
    Key(s.key);
    EXPECT_EQ(Sel(), s.selected) << "after key " << s.key;
  }
  EXPECT_FALSE(a2->Expanded());
  EXPECT_FALSE(a->Expanded());
  EXPECT_TRUE(c->Expanded());
}

TEST_F(TreeViewTest, ClickSelectsAndClicksOnTheButtonExpand) {
  ShowForm();
  int clicks = 0;
  tree->OnClick = [&](TObject*) { ++clicks; };
  win::POINT p = LabelCentre(b);
  Click(tree, p.x, p.y);
  EXPECT_EQ(Sel(), "B");
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(tree->Focused());

  // The button sits in the indent left of the node; the hit test finds it.
  const int y = (a->DisplayRect(false).top + a->DisplayRect(false).bottom) / 2;
  int buttonX = -1;
  for (int x = 0; x < 40 && buttonX < 0; ++x) {
    TVHITTESTINFO info{{x, y}, 0, nullptr};
    win::SendMessageA(tree->Handle(), TVM_HITTEST, 0, reinterpret_cast<win::LPARAM>(&info));
    if (info.flags & TVHT_ONITEMBUTTON) {
      buttonX = x;
      EXPECT_EQ(info.hItem, a);
    }
  }
  ASSERT_GE(buttonX, 0);
  Click(tree, buttonX + 2, y);
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(Sel(), "B") << "the button does not select";
  p = LabelCentre(a2);
  Click(tree, p.x, p.y);
  EXPECT_EQ(Sel(), "a2");
  Click(tree, p.x, 240);  // below the last row
  EXPECT_EQ(Sel(), "a2");
  Click(tree, buttonX + 2, y);
  EXPECT_FALSE(a->Expanded());
  EXPECT_EQ(Sel(), "A");
}

TEST_F(TreeViewTest, MessagesReachTheNodes) {
  const win::HWND h = tree->Handle();
  auto send = [h](win::UINT msg, win::WPARAM w, const void* l) {
    return win::SendMessageA(h, msg, w, reinterpret_cast<win::LPARAM>(l));
  };
  auto item = [](win::LRESULT r) { return reinterpret_cast<TTreeNode*>(r); };
  char cls[64] = {};
  win::GetClassNameA(h, cls, sizeof cls);
  EXPECT_STREQ(cls, kTreeViewClassName);
  EXPECT_EQ(send(TVM_GETCOUNT, 0, nullptr), 8);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_ROOT, nullptr)), a);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_CHILD, a)), a1);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_NEXT, a1)), a2);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_PREVIOUS, a1)), nullptr);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_PARENT, a2x)), a2);
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, a)), b) << "a is collapsed";
  EXPECT_EQ(send(TVM_EXPAND, TVE_TOGGLE, a), 1);
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(send(TVM_EXPAND, TVE_EXPAND, a), 0) << "already expanded";
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_LASTVISIBLE, nullptr)), c);
  send(TVM_SELECTITEM, TVGN_CARET, c1);
  EXPECT_EQ(Sel(), "c1");
  EXPECT_TRUE(c->Expanded());
  EXPECT_EQ(item(send(TVM_GETNEXTITEM, TVGN_CARET, nullptr)), c1);
  win::RECT r{};
  std::memcpy(static_cast<void*>(&r), &a1, sizeof a1);
  ASSERT_EQ(send(TVM_GETITEMRECT, 1, &r), 1);
  EXPECT_EQ(r.top, tree->ItemHeight());
  EXPECT_GT(r.left, a->DisplayRect(true).left) << "children are indented";
  send(TVM_DELETEITEM, 0, a);
  EXPECT_EQ(send(TVM_GETCOUNT, 0, nullptr), 3);
  send(TVM_DELETEITEM, 0, nullptr);
  EXPECT_EQ(send(TVM_GETCOUNT, 0, nullptr), 0);
}

TEST_F(TreeViewTest, CustomDrawSeesEachRowAndCanTakeOverIt) {
  tree->SetColor(clWhite);
  tree->SetHideSelection(true);
  tree->SetSelected(b);
  std::vector<std::string> rows;
  bool bSelectedState = false;
  tree->OnCustomDrawItem = [&](TCustomTreeView* sender, TTreeNode* n, TCustomDrawState st, bool& def) {
    rows.push_back(n->Text());
    if (n == b) bSelectedState = st.Contains(cdsSelected);
    if (n == c) {
      // The row is ours: paint it red and skip the standard drawing.
      auto* cv = static_cast<TTreeView*>(sender)->Canvas();
      cv->Brush()->SetColor(clRed);
      cv->FillRect(n->DisplayRect(false));
      def = false;
    }
  };
  std::vector<int> stages;
  tree->OnAdvancedCustomDraw = [&](TCustomTreeView*, const TRect&, TCustomDrawStage s, bool&) {
    stages.push_back(s);
  };
  form->Show();
  form->SetFocus();
  Pump();
  EXPECT_EQ(rows, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(stages, (std::vector<int>{cdPrePaint, cdPostPaint}));
  EXPECT_FALSE(bSelectedState) << "HideSelection hides it while the tree has no focus";
  auto shot = win::CaptureWindow(form->Handle());
  const TRect cr = c->DisplayRect(false);
  EXPECT_EQ(shot->Pixel(10 + 150, 10 + cr.top + 3) & 0xFFFFFF, 0xFF0000u);
  const TRect br = b->DisplayRect(false);
  EXPECT_EQ(shot->Pixel(10 + 150, 10 + br.top + 3) & 0xFFFFFF, 0xFFFFFFu);
  rows.clear();
  tree->SetFocus();
  Pump();
  EXPECT_TRUE(bSelectedState);
  EXPECT_FALSE(rows.empty());
}

TEST_F(TreeViewTest, LongTreesScrollToTheSelectionAndByTheBar) {
  for (int i = 0; i < 40; ++i) tree->Items()->AddChild(c1, "n" + std::to_string(i));
  c->Expand(true);
  ShowForm();
  const win::HWND h = tree->Handle();
  const int rowsShown = tree->ClientHeight() / tree->ItemHeight();
  win::SCROLLINFO si;
  si.fMask = win::SIF_ALL;
  ASSERT_TRUE(win::GetScrollInfo(h, win::SB_VERT, &si));
  EXPECT_EQ(si.nMax, 3 + 1 + 40 - 1) << "A, B, C, c1 and the forty";
  EXPECT_EQ(static_cast<int>(si.nPage), rowsShown);
  EXPECT_EQ(si.nPos, 0);

  Key(win::VK_END);
  EXPECT_EQ(Sel(), "n39");
  const int lastTop = 44 - rowsShown;
  EXPECT_EQ(tree->TopItem()->AbsoluteIndex(), lastTop + 4) << "the last row is shown at the bottom (a's four children hidden)";
  EXPECT_EQ(win::GetScrollPos(h, win::SB_VERT), lastTop);
  Key(win::VK_HOME);
  EXPECT_EQ(tree->TopItem(), a);

  win::SendMessageA(h, win::WM_VSCROLL, win::MAKEWPARAM(win::SB_THUMBPOSITION, 10), 0);
  EXPECT_EQ(tree->TopItem()->Text(), "n6");
  EXPECT_EQ(win::GetScrollPos(h, win::SB_VERT), 10);
  win::SendMessageA(h, win::WM_VSCROLL, win::SB_BOTTOM, 0);
  EXPECT_EQ(win::GetScrollPos(h, win::SB_VERT), lastTop);
  win::SendMessageA(h, win::WM_VSCROLL, win::SB_LINEDOWN, 0);
  EXPECT_EQ(win::GetScrollPos(h, win::SB_VERT), lastTop) << "no further than the last page";

  MoveTo(tree, 50, 50);
  win::InjectMouseWheel(120);
  Pump();
  EXPECT_EQ(win::GetScrollPos(h, win::SB_VERT), lastTop - 3);
  // The rows under the pointer are the ones shown now.
  EXPECT_EQ(tree->GetNodeAt(50, 1), tree->TopItem());

  // Collapsing the long branch leaves nothing to scroll.
  Key(win::VK_END);
  c->Collapse(false);
  EXPECT_EQ(tree->TopItem(), a);
  EXPECT_EQ(Sel(), "C");
}

TEST_F(TreeViewTest, SelectionIsHighlightedOnlyWhileFocusedUnlessShownAlways) {
  auto* other = new TTreeView(form);
  other->SetParent(form);
  other->SetBounds(220, 10, 70, 40);
  a->Expand(true);
  tree->SetSelected(a2x);
  ShowForm();
  const TRect r = a2x->DisplayRect(true);
  // Inside the label, clear of the focus frame and of the letters.
  const int x = 10 + r.left - 2, y = 10 + r.top + 1;
  auto rgb = [this](int px, int py) { return win::CaptureWindow(form->Handle())->Pixel(px, py) & 0xFFFFFF; };
  const win::COLORREF hl = win::GetSysColor(win::COLOR_HIGHLIGHT);
  const uint32_t highlight = (win::GetRValue(hl) << 16) | (win::GetGValue(hl) << 8) | win::GetBValue(hl);
  EXPECT_EQ(rgb(x + 3, y), highlight);
  ASSERT_TRUE(win::SaveWindowPng(form->Handle(), ::testing::TempDir() + "treeview_sheet.png"));
  other->SetFocus();
  Pump();
  EXPECT_NE(rgb(x + 3, y), highlight);
  const uint32_t hidden = rgb(x + 3, y);
  tree->SetHideSelection(false);
  Pump();
  EXPECT_NE(rgb(x + 3, y), hidden) << "an unfocused selection still shows";
}

TEST_F(TreeViewTest, ClicksAreToldToTheParentAndComeBackReflected) {
  ShowForm();
  std::vector<int> codes;
  bool answerRightClick = false;
  TWndMethod old = tree->WindowProc;
  tree->WindowProc = [&](TMessage& m) {
    old(m);
    if (m.Msg != CN_NOTIFY) return;
    const auto* nm = reinterpret_cast<const win::NMHDR*>(m.LParam);
    EXPECT_EQ(nm->hwndFrom, tree->Handle());
    codes.push_back(static_cast<int>(nm->code));
    if (static_cast<int>(nm->code) == win::NM_RCLICK && answerRightClick) m.Result = 1;
  };
  int menus = 0;
  tree->OnContextPopup = [&](TObject*, TPoint, bool& handled) {
    ++menus;
    handled = true;
  };
  const win::POINT p = LabelCentre(c);
  Click(tree, p.x, p.y);
  EXPECT_EQ(codes, (std::vector<int>{win::NM_CLICK}));
  codes.clear();
  win::POINT s = At(tree, p.x, p.y);
  win::InjectClick(s.x, s.y, 1);
  Pump();
  EXPECT_EQ(codes, (std::vector<int>{win::NM_RCLICK}));
  EXPECT_EQ(menus, 1) << "an unanswered right click brings the context menu";
  EXPECT_EQ(Sel(), "C") << "a right click selects the node under it";
  answerRightClick = true;
  win::InjectClick(s.x, s.y, 1);
  Pump();
  EXPECT_EQ(menus, 1) << "an answered one does not";
  tree->WindowProc = old;
}

TEST_F(TreeViewTest, StateAndNodeImagesTakeTheirPlaceBeforeTheLabel) {
  // Three 16x16 images: blue, red, lime.
  TBitmap strip;
  strip.SetPixelFormat(pf24bit);
  strip.SetSize(48, 16);
  const TColor colours[] = {clBlue, clRed, clLime};
  for (int k = 0; k < 3; ++k) {
    strip.Canvas()->Brush()->SetColor(colours[k]);
    strip.Canvas()->FillRect(Rect(k * 16, 0, k * 16 + 16, 16));
  }
  TImageList states(nullptr, 16, 16), images(nullptr, 16, 16);
  states.Add(&strip, nullptr);
  images.Add(&strip, nullptr);
  const int plainLeft = b->DisplayRect(true).left;
  tree->SetStateImages(&states);
  tree->SetImages(&images);
  b->SetStateIndex(1);  // red box
  b->SetImageIndex(0);  // blue when not selected
  b->SetSelectedIndex(2);  // lime when selected
  c->SetStateIndex(0);  // index 0 means no state image
  int asked = 0;
  tree->OnGetImageIndex = [&](TObject*, TTreeNode* n) { asked += n == b; };
  ShowForm();
  const int y = b->DisplayRect(false).top + 8;
  EXPECT_EQ(b->DisplayRect(true).left, plainLeft + 16 + 18);
  EXPECT_EQ(c->DisplayRect(true).left, plainLeft + 18);
  EXPECT_EQ(tree->GetHitTestInfoAt(plainLeft + 4, y), TVHT_ONITEMSTATEICON);
  EXPECT_EQ(tree->GetHitTestInfoAt(plainLeft + 20, y), TVHT_ONITEMICON);
  EXPECT_EQ(tree->GetHitTestInfoAt(b->DisplayRect(true).left + 2, y), TVHT_ONITEMLABEL);
  EXPECT_EQ(tree->GetHitTestInfoAt(190, y), TVHT_ONITEMRIGHT);
  auto rgb = [this](int x, int yy) { return win::CaptureWindow(form->Handle())->Pixel(10 + x, 10 + yy) & 0xFFFFFF; };
  EXPECT_EQ(rgb(plainLeft + 8, y), 0xFF0000u);
  EXPECT_EQ(rgb(plainLeft + 24, y), 0x0000FFu);
  EXPECT_GT(asked, 0);
  tree->SetSelected(b);
  Pump();
  EXPECT_EQ(rgb(plainLeft + 24, y), 0x00FF00u) << "the selected image";

  // The question comes back reflected, where the control may answer it.
  TWndMethod old = tree->WindowProc;
  tree->WindowProc = [&](TMessage& m) {
    old(m);
    auto* info = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
    if (m.Msg == CN_NOTIFY && static_cast<int>(info->hdr.code) == win::TVN_GETDISPINFOA && info->item.hItem == c)
      info->item.iImage = 1;
  };
  tree->Invalidate();
  Pump();
  const int cy = c->DisplayRect(false).top + 8;
  EXPECT_EQ(rgb(plainLeft + 8, cy), 0xFF0000u) << "c has no image of its own";
  tree->WindowProc = old;
}

}  // namespace

namespace {

// A derived tree sees each expand, collapse and deletion once, after the
// change (before it, for a deletion), through its own overrides.
class HookedTree : public TTreeView {
public:
  using TTreeView::TTreeView;
  std::vector<std::string> seen;

protected:
  void Expand(TTreeNode* n) override {
    seen.push_back("expanded " + n->Text() + (n->Expanded() ? "" : " (not yet)"));
    TTreeView::Expand(n);
  }
  void Collapse(TTreeNode* n) override {
    seen.push_back("collapsed " + n->Text());
    TTreeView::Collapse(n);
  }
  void Delete(TTreeNode* n) override {
    seen.push_back("delete " + n->Text() + (n->Parent() ? " of " + n->Parent()->Text() : ""));
    TTreeView::Delete(n);
  }
};

TEST_F(TreeViewTest, DerivedTreesSeeExpandCollapseAndDeletion) {
  auto* h = new HookedTree(form);
  h->SetParent(form);
  TTreeNode* p = h->Items()->AddChild(nullptr, "p");
  h->Items()->AddChild(p, "q");
  int events = 0;
  h->OnExpanded = h->OnCollapsed = h->OnDeletion = [&](TObject*, TTreeNode*) { ++events; };
  p->Expand(false);
  p->Collapse(false);
  h->Items()->Delete(p);
  EXPECT_EQ(h->seen, (std::vector<std::string>{"expanded p", "collapsed p", "delete q of p", "delete p"}));
  EXPECT_EQ(events, 4) << "the events still fire";
}

TEST_F(TreeViewTest, SettingTheSameIndexRepaintsNothing) {
  ShowForm();
  a->SetImageIndex(2);
  a->SetStateIndex(1);
  Pump();
  int paints = 0;
  tree->OnCustomDraw = [&](TCustomTreeView*, const TRect&, bool&) { ++paints; };
  a->SetImageIndex(2);
  a->SetSelectedIndex(a->SelectedIndex());
  a->SetStateIndex(1);
  Pump();
  EXPECT_EQ(paints, 0) << "an unchanged index does not invalidate (a handler that sets it while painting would loop)";
  a->SetStateIndex(2);
  Pump();
  EXPECT_EQ(paints, 1);
}

}  // namespace
