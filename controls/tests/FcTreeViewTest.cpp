// The framed tree view and the check tree on a real form: colours that
// follow the enabled and focus state, FullExpand and AutoSelect, node
// context menus by mouse and keyboard, wheel lines, the unfocused selection
// outline; the check tree's cascades, veto, deletion, mouse and Space.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "controls/fcborder_treevw/FcStartup.h"
#include "controls/fcborder_treevw/FcTreeVw.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"
#include "platform/win/Display.h"
#include "platform/win/ScrollBars.h"

using namespace controls;
using formstest::FormsFixture;
using forms::TTreeNode;

namespace {

// Records where it would pop up instead of running a menu loop.
class RecordingMenu : public forms::TPopupMenu {
public:
  using TPopupMenu::TPopupMenu;
  void Popup(int x, int y) override { shown.push_back(forms::Point(x, y)); }
  std::vector<forms::TPoint> shown;
};

template <class Tree>
class TreeFixture : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new forms::TForm(nullptr);
    form->SetBorderStyle(forms::bsNone);
    form->SetBounds(10, 10, 400, 300);
    tree = new Tree(form);
    tree->SetParent(form);
    tree->SetBounds(10, 10, 250, 220);
    edit = new forms::TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(280, 10, 100, 20);
  }
  void Show() {
    form->Show();
    Pump();
  }
  TTreeNode* Add(TTreeNode* parent, const std::string& text) { return tree->Items()->AddChild(parent, text); }
  // A point on the node's label, in tree client coordinates.
  static forms::TPoint OnText(TTreeNode* n) {
    const TRect r = n->DisplayRect(true);
    return forms::Point(r.left + 4, (r.top + r.bottom) / 2);
  }
  forms::TForm* form = nullptr;
  Tree* tree = nullptr;
  forms::TEdit* edit = nullptr;
};

using FcTreeViewTest = TreeFixture<TFcTreeView>;

TEST_F(FcTreeViewTest, ColoursFollowEnabledAndFocus) {
  tree->SetFocusColor(forms::clYellow);
  tree->SetDisabledColor(forms::clSilver);
  Show();
  EXPECT_EQ(tree->Color(), forms::clWindow);
  tree->SetFocus();
  Pump();
  EXPECT_EQ(tree->Color(), forms::clYellow) << "focused";
  edit->SetFocus();
  Pump();
  EXPECT_EQ(tree->Color(), forms::clWindow) << "focus gone";
  tree->SetEnabled(false);
  EXPECT_EQ(tree->Color(), forms::clSilver) << "disabled";
  tree->SetEnabled(true);
  EXPECT_EQ(tree->Color(), forms::clWindow) << "enabled again";

  // A user's colour becomes the normal colour; the focus colour follows it
  // only while the two were the same.
  tree->SetColor(forms::clAqua);
  EXPECT_EQ(tree->NormalColor(), forms::clAqua);
  EXPECT_EQ(tree->FocusColor(), forms::clYellow);
  tree->SetFocusColor(forms::clAqua);
  tree->SetColor(forms::clLime);
  EXPECT_EQ(tree->FocusColor(), forms::clLime);
  tree->SetFocus();
  Pump();
  EXPECT_EQ(tree->Color(), forms::clLime);
}

TEST_F(FcTreeViewTest, FullExpandKeepsAutoSelect) {
  TTreeNode* a = Add(nullptr, "Alarm");
  Add(Add(a, "Mail"), "Server");
  TTreeNode* b = Add(nullptr, "Upload");
  Add(b, "Folder");
  Show();
  tree->SetAutoExpand(true);
  tree->SetAutoSelect(true);
  EXPECT_FALSE(tree->AutoExpand()) << "AutoSelect turns AutoExpand off";
  tree->FullExpand();
  EXPECT_EQ(tree->Selected(), nullptr) << "FullExpand selects nothing";
  EXPECT_TRUE(tree->AutoSelect());
  for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
    EXPECT_TRUE(!n->HasChildren() || n->Expanded()) << n->Text();
  }
  // Collapsing selects the node first, expanding selects it afterwards.
  b->Collapse(false);
  EXPECT_EQ(tree->Selected(), b);
  a->Collapse(false);
  EXPECT_EQ(tree->Selected(), a);
  b->Expand(false);
  EXPECT_EQ(tree->Selected(), b);
  tree->SetAutoExpand(true);
  EXPECT_FALSE(tree->AutoSelect()) << "AutoExpand turns AutoSelect off";
}

TEST_F(FcTreeViewTest, RightClickShowsTheNodesMenuOnce) {
  for (int i = 0; i < 4; ++i) Add(nullptr, "Node " + std::to_string(i));
  auto* menu = new RecordingMenu(form);
  auto* formMenu = new RecordingMenu(form);
  tree->SetPopupMenu(menu);
  form->SetPopupMenu(formMenu);
  std::vector<TTreeNode*> asked;
  tree->OnNodeContextMenu = [&](forms::TObject*, TTreeNode* node, forms::TPoint&, forms::TPopupMenu*&) {
    asked.push_back(node);
  };
  Show();
  TTreeNode* n2 = tree->Items()->Item(2);
  const forms::TPoint at = OnText(n2);
  Click(tree, at.x, at.y);  // selects another node than the one right-clicked
  TTreeNode* n1 = tree->Items()->Item(1);
  const forms::TPoint at1 = OnText(n1);
  const win::POINT screen = At(tree, at1.x, at1.y);
  win::InjectClick(screen.x, screen.y, 1);
  Pump();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], n1) << "the node under the pointer";
  ASSERT_EQ(menu->shown.size(), 1u) << "no second menu from the context-menu message";
  EXPECT_EQ(menu->shown[0], (forms::TPoint{screen.x, screen.y}));
  EXPECT_EQ(menu->PopupComponent(), tree);
  EXPECT_TRUE(formMenu->shown.empty());

  // A handler that takes the menu away: nothing shows, and the context
  // menu message that follows is ignored too.
  tree->OnNodeContextMenu = [&](forms::TObject*, TTreeNode*, forms::TPoint&, forms::TPopupMenu*& m) { m = nullptr; };
  win::InjectClick(screen.x, screen.y, 1);
  Pump();
  EXPECT_EQ(menu->shown.size(), 1u);
  EXPECT_TRUE(formMenu->shown.empty());
}

TEST_F(FcTreeViewTest, KeyboardMenuForTheCurrentNode) {
  for (int i = 0; i < 3; ++i) Add(nullptr, "Node " + std::to_string(i));
  auto* menu = new RecordingMenu(form);
  tree->SetPopupMenu(menu);
  Show();
  tree->SetFocus();
  Pump();
  // No node selected: the menu shows once at the client origin.
  Key(win::VK_APPS);
  ASSERT_EQ(menu->shown.size(), 1u);
  EXPECT_EQ(menu->shown[0], tree->ClientToScreen(forms::Point(0, 0)));
  // With a selected node: at the middle of its text.
  TTreeNode* n = tree->Items()->Item(1);
  tree->SetSelected(n);
  Key(win::VK_APPS);
  ASSERT_EQ(menu->shown.size(), 2u);
  const TRect r = n->DisplayRect(true);
  EXPECT_EQ(menu->shown[1], tree->ClientToScreen(forms::Point((r.left + r.right) / 2, (r.top + r.bottom) / 2)));
  // The context-menu message with a current node is not shown again; with
  // none, a point asks for the no-node menu there.
  tree->Perform(win::WM_CONTEXTMENU, 0, -1);
  EXPECT_EQ(menu->shown.size(), 2u);
  tree->SetSelected(nullptr);
  TTreeNode* asked = n;
  tree->OnNodeContextMenu = [&](forms::TObject*, TTreeNode* node, forms::TPoint&, forms::TPopupMenu*&) { asked = node; };
  const forms::TPoint p = tree->ClientToScreen(forms::Point(100, 180));
  tree->Perform(win::WM_CONTEXTMENU, 0, win::MAKELPARAM(static_cast<win::WORD>(p.x), static_cast<win::WORD>(p.y)));
  EXPECT_EQ(asked, nullptr);
  ASSERT_EQ(menu->shown.size(), 3u);
  EXPECT_EQ(menu->shown[2], p);
}

TEST_F(FcTreeViewTest, WheelScrollsBySystemLines) {
  for (int i = 0; i < 60; ++i) Add(nullptr, "Node " + std::to_string(i));
  int wheelEvents = 0;
  tree->OnMouseWheelDown = [&](forms::TObject*, forms::TShiftState, forms::TPoint, bool&) { ++wheelEvents; };
  tree->OnMouseWheelUp = [&](forms::TObject*, forms::TShiftState, forms::TPoint, bool&) { ++wheelEvents; };
  Show();
  tree->SetFocus();
  MoveTo(tree, 50, 50);
  auto pos = [&] {
    win::SCROLLINFO si{};
    si.fMask = win::SIF_POS;
    win::GetScrollInfo(tree->Handle(), win::SB_VERT, &si);
    return si.nPos;
  };
  win::InjectMouseWheel(-120);
  Pump();
  EXPECT_EQ(pos(), 3);
  EXPECT_EQ(tree->TopItem(), tree->Items()->Item(3));
  win::InjectMouseWheel(120);
  Pump();
  win::InjectMouseWheel(120);
  Pump();
  EXPECT_EQ(pos(), 0) << "never above the top";
  EXPECT_EQ(tree->TopItem(), tree->Items()->Item(0));
  EXPECT_EQ(wheelEvents, 0);
}

TEST_F(FcTreeViewTest, ImageIndexAskedOncePerNode) {
  forms::TImageList images(nullptr);
  images.SetWidth(16);
  images.SetHeight(16);
  tree->SetImages(&images);
  for (int i = 0; i < 5; ++i) Add(nullptr, "Node " + std::to_string(i));
  int asked = 0;
  tree->OnGetImageIndex = [&](forms::TObject*, TTreeNode* n) {
    ++asked;
    n->SetImageIndex(0);
  };
  Show();
  asked = 0;
  tree->Repaint();
  Pump();
  EXPECT_EQ(asked, 5);
  tree->SetImages(nullptr);
}

TEST_F(FcTreeViewTest, UnfocusedSelectionIsOutlined) {
  Add(nullptr, "Alarm");
  TTreeNode* n = Add(nullptr, "Upload");
  tree->SetHideSelection(false);
  tree->SelectionPen()->SetColor(forms::clRed);
  Show();
  tree->SetSelected(n);
  edit->SetFocus();
  Pump();
  tree->Repaint();
  Pump();
  const TRect r = n->DisplayRect(true);
  auto screen = win::ComposeScreen();
  auto px = [&](int x, int y) {
    const win::POINT p = At(tree, x, y);
    const uint32_t argb = screen->Pixel(p.x, p.y);
    return static_cast<forms::TColor>(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
  };
  EXPECT_EQ(px(r.left, (r.top + r.bottom) / 2), forms::clRed);
  EXPECT_EQ(px(r.right - 1, (r.top + r.bottom) / 2), forms::clRed);
  EXPECT_EQ(px((r.left + r.right) / 2, r.top), forms::clRed);
}

TEST_F(FcTreeViewTest, CustomFrameFollowsHotTracking) {
  tree->SetFrameColor(forms::clRed);
  tree->SetFrameHotColor(forms::clBlue);
  tree->SetFrameHotTrack(true);
  EXPECT_TRUE(tree->FrameVisible()) << "hot tracking needs the frame";
  Show();
  // The window's outermost pixel, just outside the client area's edge.
  auto corner = [&] {
    Pump();
    auto screen = win::ComposeScreen();
    win::RECT wr{};
    win::GetWindowRect(tree->Handle(), &wr);
    const uint32_t argb = screen->Pixel(wr.left, wr.top + 20);
    return static_cast<forms::TColor>(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
  };
  EXPECT_EQ(corner(), forms::clRed);
  tree->SetFocus();
  EXPECT_EQ(corner(), forms::clBlue) << "hot while focused";
  edit->SetFocus();
  EXPECT_EQ(corner(), forms::clRed);
}

TEST_F(FcTreeViewTest, FrameControllerSetsThePublishedProperties) {
  auto* fc = new TFcFrameController(form);
  tree->SetFrameControllerNotifications(AllFrameControllerNotifications().Exclude(fcpFocusColor));
  tree->SetFocusColor(forms::clYellow);
  fc->SetFrameVisible(true);
  fc->SetFrameColor(forms::clRed);
  fc->SetFocusColor(forms::clLime);
  tree->SetFrameController(fc);
  EXPECT_TRUE(tree->FrameVisible());
  EXPECT_EQ(tree->FrameColor(), forms::clRed);
  EXPECT_EQ(tree->FocusColor(), forms::clYellow) << "not among the tree's notifications";
  fc->SetFrameSides(TSides{sdLeft, sdTop});
  EXPECT_EQ(tree->FrameSides(), (TSides{sdLeft, sdTop}));
  delete fc;
  EXPECT_EQ(tree->FrameController(), nullptr);
}

TEST(FcStartup, ComPairingAndVersions) {
  int inits = 0, uninits = 0;
  win::HRESULT answer = win::S_OK;
  TFcComStartup com({[&] {
                       ++inits;
                       return answer;
                     },
                     [&] { ++uninits; }});
  com.Start();
  com.Finish();
  EXPECT_EQ(uninits, 1);
  answer = win::S_FALSE;  // already initialised counts as success
  com.Start();
  com.Finish();
  EXPECT_EQ(uninits, 2);
  answer = win::RPC_E_CHANGED_MODE;
  com.Start();
  com.Finish();
  EXPECT_EQ(uninits, 2) << "a failed start is not undone";
  EXPECT_EQ(inits, 3);

  // The platform's own pairing.
  const int before = win::CoInitializeCount();
  TFcComStartup real;
  real.Start();
  EXPECT_TRUE(real.Initialized());
  real.Finish();
  EXPECT_EQ(win::CoInitializeCount(), before);

  TFcFileVersion v;
  ASSERT_TRUE(GetFileVersionWords("comctl32.dll", v));
  EXPECT_GE(v.ms, (4u << 16) | 72u);
  EXPECT_FALSE(GetFileVersionWords("/bin/sh", v)) << "no version resource";
  ReadFcPlatformInfo("comctl32.dll", "no-such-shell.dll");
  EXPECT_TRUE(IsWindowsNT());
  EXPECT_EQ(FcPlatformInfo().shell.ms, 0u);
  EXPECT_EQ(FcPlatformInfo().shell.ls, 0u);
  EXPECT_EQ(FcPlatformInfo().comCtl.Major(), 5);
  ReadFcPlatformInfo();
  EXPECT_EQ(FcPlatformInfo().shell.Major(), 6);
}

// ---- check tree ----

class FcCheckTreeTest : public TreeFixture<TFcCheckTree> {
protected:
  void SetUp() override {
    TreeFixture::SetUp();
    // Alarm
    //   Mail (Server, Account)
    //   Upload (Folder)
    //   Sound
    alarm = Add(nullptr, "Alarm");
    mail = Add(alarm, "Mail");
    server = Add(mail, "Server");
    account = Add(mail, "Account");
    upload = Add(alarm, "Upload");
    folder = Add(upload, "Folder");
    sound = Add(alarm, "Sound");
    other = Add(nullptr, "Other");
    tree->OnStateChange = [this](forms::TObject*, TTreeNode* n, TFcCheckState s) {
      changes.push_back(n->Text() + "=" + std::to_string(s));
    };
    tree->OnUpdateChildren = [this](forms::TObject*) { ++updates; };
    tree->OnCascadeComplete = [this](forms::TObject*, TTreeNode*) { ++completes; };
    Show();
    tree->FullExpand();
    Pump();
  }
  // The states in depth-first order, as one string.
  std::string States() {
    std::string s;
    for (TTreeNode* n = tree->Items()->GetFirstNode(); n; n = n->GetNext()) s += std::to_string(n->StateIndex());
    return s;
  }
  void ClickBox(TTreeNode* n) {
    const TRect r = n->DisplayRect(true);
    Click(tree, r.left - 8, (r.top + r.bottom) / 2);
  }
  TTreeNode *alarm, *mail, *server, *account, *upload, *folder, *sound, *other;
  std::vector<std::string> changes;
  int updates = 0, completes = 0;
};

TEST_F(FcCheckTreeTest, NewNodesShowUncheckedWithoutEvents) {
  EXPECT_EQ(States(), "11111111");
  EXPECT_TRUE(changes.empty());
  EXPECT_TRUE(tree->ReadOnly());
  EXPECT_EQ(tree->CheckImages()->Count(), 4);
  EXPECT_EQ(tree->StateImages(), tree->CheckImages());
}

TEST_F(FcCheckTreeTest, CascadesDownAndUp) {
  tree->ToggleCheckState(alarm);
  EXPECT_EQ(States(), "22222221") << "every descendant checked";
  EXPECT_EQ(updates, 1) << "OnUpdateChildren once per cascade";
  EXPECT_EQ(completes, 1);
  tree->ToggleCheckState(server);
  EXPECT_EQ(States(), "33122221") << "Mail and Alarm partially checked";
  tree->ToggleCheckState(account);
  EXPECT_EQ(States(), "31112221");
  tree->ToggleCheckState(mail);
  EXPECT_EQ(States(), "22222221") << "a partial node becomes checked";
  tree->ToggleCheckState(alarm);
  EXPECT_EQ(States(), "11111111");
}

TEST_F(FcCheckTreeTest, BoxlessChildrenDoNotCount) {
  tree->SetSilentStateChanges(true);
  tree->SetNodeCheckState(account, csUnknown);
  tree->SetSilentStateChanges(false);
  EXPECT_TRUE(changes.empty()) << "silent changes are not told";
  tree->ToggleCheckState(server);
  EXPECT_EQ(mail->StateIndex(), csChecked) << "Account has no box";
  tree->ToggleCheckState(account);
  EXPECT_EQ(account->StateIndex(), csUnknown) << "a node without a box is left alone";
  // A parent whose remaining children have no box becomes unchecked.
  tree->Items()->Delete(server);
  EXPECT_EQ(mail->StateIndex(), csUnchecked);
}

TEST_F(FcCheckTreeTest, VetoKeepsTheNodeButTheCascadeRuns) {
  tree->OnStateChanging = [&](forms::TObject*, TTreeNode* n, TFcCheckState, bool& allow) { allow = n != mail; };
  tree->ToggleCheckState(mail);
  EXPECT_EQ(mail->StateIndex(), csUnchecked);
  EXPECT_EQ(updates, 1) << "the descendants were visited";
  EXPECT_EQ(completes, 1);
  tree->OnStateChanging = [&](forms::TObject*, TTreeNode* n, TFcCheckState, bool& allow) { allow = n != alarm; };
  tree->ToggleCheckState(folder);
  EXPECT_EQ(upload->StateIndex(), csChecked) << "the ancestors were recomputed";
  EXPECT_EQ(alarm->StateIndex(), csUnchecked) << "except the one that refused";
}

TEST_F(FcCheckTreeTest, WithoutCascadeOnlyTheNodeChanges) {
  tree->SetCascadeChecks(false);
  tree->ToggleCheckState(mail);
  EXPECT_EQ(States(), "12111111");
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(completes, 1);
}

TEST_F(FcCheckTreeTest, DeletingTheOnlyUncheckedChildChecksTheParent) {
  tree->ToggleCheckState(alarm);
  tree->ToggleCheckState(sound);
  EXPECT_EQ(alarm->StateIndex(), csPartiallyChecked);
  tree->Items()->Delete(sound);
  EXPECT_EQ(States(), "2222221") << "Alarm and all it holds checked";
}

TEST_F(FcCheckTreeTest, ClickOnTheBoxToggles) {
  ClickBox(upload);
  EXPECT_EQ(upload->StateIndex(), csChecked);
  EXPECT_EQ(folder->StateIndex(), csChecked);
  EXPECT_EQ(alarm->StateIndex(), csPartiallyChecked);
  const forms::TPoint t = OnText(sound);
  Click(tree, t.x, t.y);
  EXPECT_EQ(sound->StateIndex(), csUnchecked) << "a click on the text selects only";
  EXPECT_EQ(tree->Selected(), sound);
}

TEST_F(FcCheckTreeTest, PressOnTheBoxReleasedOutsideDoesNotToggleLater) {
  const TRect r = sound->DisplayRect(true);
  const win::POINT box = At(tree, r.left - 8, (r.top + r.bottom) / 2);
  win::InjectMouseMove(box.x, box.y);
  win::InjectMouseButton(0, true);
  Pump();
  const win::POINT outside = At(tree, 300, 260);
  win::InjectMouseMove(outside.x, outside.y);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(sound->StateIndex(), csUnchecked);
  // A later plain click on the same node's text must not toggle it.
  const forms::TPoint t = OnText(sound);
  Click(tree, t.x, t.y);
  EXPECT_EQ(sound->StateIndex(), csUnchecked);
  EXPECT_EQ(completes, 0);
}

TEST_F(FcCheckTreeTest, SpaceTogglesAndDoesNotSearch) {
  std::string typed;
  tree->OnKeyPress = [&](forms::TObject*, char& c) { typed += c; };
  tree->SetFocus();
  tree->SetSelected(sound);
  Pump();
  Key(win::VK_SPACE);
  EXPECT_EQ(sound->StateIndex(), csChecked);
  EXPECT_EQ(tree->Selected(), sound) << "no search moved the selection";
  EXPECT_EQ(typed, "") << "the space never arrives as a character";
  Key(win::VK_SPACE);
  EXPECT_EQ(sound->StateIndex(), csUnchecked);
}

TEST_F(FcCheckTreeTest, BoxesArePainted) {
  tree->ToggleCheckState(upload);
  tree->Repaint();
  Pump();
  auto screen = win::ComposeScreen();
  auto px = [&](int x, int y) {
    const win::POINT p = At(tree, x, y);
    const uint32_t argb = screen->Pixel(p.x, p.y);
    return static_cast<forms::TColor>(((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16));
  };
  // The box sits left of the text: its frame in the frame colour, the
  // checked one with the mark in the highlight colour.
  auto boxHas = [&](TTreeNode* n, forms::TColor c) {
    const TRect r = n->DisplayRect(true);
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left - 16; x < r.left; ++x)
        if (static_cast<uint32_t>(px(x, y)) == forms::ColorToRGB(c)) return true;
    return false;
  };
  EXPECT_TRUE(boxHas(upload, forms::clBtnShadow));
  EXPECT_TRUE(boxHas(upload, forms::clHighlight));
  EXPECT_TRUE(boxHas(sound, forms::clBtnShadow));
  EXPECT_FALSE(boxHas(sound, forms::clHighlight));
}

}  // namespace
