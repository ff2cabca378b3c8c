#include "platform/forms/Controls.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/Display.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Paint.h"
#include "platform/win/Shapes.h"
#include "platform/win/Window.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

const std::vector<UINT> kWatched = {CM_TEXTCHANGED,        CM_ENABLEDCHANGED,     CM_VISIBLECHANGED,
                                    CM_COLORCHANGED,       CM_PARENTCOLORCHANGED, CM_FONTCHANGED,
                                    CM_PARENTFONTCHANGED,  CM_SHOWHINTCHANGED,    CM_PARENTSHOWHINTCHANGED,
                                    CM_CURSORCHANGED,      CM_MOUSEENTER,         CM_MOUSELEAVE,
                                    CM_SYSCOLORCHANGE};

// Windowed and graphic controls that log the component messages they get.
template <class Base>
class Logged : public Base {
public:
  explicit Logged(TComponent* owner, std::vector<std::string>* log = nullptr, std::string id = "")
      : Base(owner), log_(log), id_(std::move(id)) {}
  void Dispatch(TMessage& m) override {
    if (log_ && std::find(kWatched.begin(), kWatched.end(), m.Msg) != kWatched.end())
      log_->push_back(id_ + ":" + std::to_string(m.Msg - CM_BASE));
    if (m.Msg == win::WM_USER + 3) {
      m.Result = 42;
      return;
    }
    Base::Dispatch(m);
  }

private:
  std::vector<std::string>* log_;
  std::string id_;
};
using LoggedPanel = Logged<TCustomControl>;
using LoggedGraphic = Logged<TGraphicControl>;

std::string Cm(const char* id, UINT msg) { return std::string(id) + ":" + std::to_string(msg - CM_BASE); }

class ControlsTest : public FormsFixture {
protected:
  TForm* MakeForm(int w = 300, int h = 200) {
    auto* f = new TForm(nullptr);
    f->SetBorderStyle(bsNone);
    f->SetBounds(100, 100, w, h);
    return f;
  }
};

}  // namespace

TEST_F(ControlsTest, HandlesAreMadeOnDemandParentFirstAndLeadBackToTheControl) {
  TForm* form = MakeForm();
  auto* panel = new LoggedPanel(form);
  panel->SetBounds(10, 20, 100, 50);
  panel->SetParent(form);
  auto* inner = new LoggedPanel(form);
  inner->SetParent(panel);
  EXPECT_FALSE(form->HandleAllocated());
  EXPECT_FALSE(panel->HandleAllocated());

  win::HWND h = inner->Handle();
  ASSERT_TRUE(form->HandleAllocated());
  ASSERT_TRUE(panel->HandleAllocated());
  EXPECT_EQ(win::GetParent(h), panel->Handle());
  EXPECT_EQ(win::GetParent(panel->Handle()), form->Handle());
  EXPECT_EQ(FindControl(h), inner);
  EXPECT_EQ(FindControl(form->Handle()), form);
  EXPECT_EQ(CreationControl(), nullptr);
  char cls[64] = {};
  win::GetClassNameA(panel->Handle(), cls, sizeof cls);
  EXPECT_EQ(String(cls), panel->ClassName());
  win::RECT r;
  win::GetWindowRect(panel->Handle(), &r);
  EXPECT_EQ(r.left - 100, 10);
  EXPECT_EQ(r.top - 100, 20);

  // The lookup atom carries the instance and the thread in hex.
  const String name = ControlAtomName();
  ASSERT_EQ(name.size(), 26u);
  EXPECT_EQ(name.substr(0, 18), "ControlOfs00400000");
  EXPECT_EQ(std::stoul(name.substr(18), nullptr, 16), win::GetCurrentThreadId());
  char atomName[64] = {};
  win::GlobalGetAtomNameA(ControlAtom(), atomName, sizeof atomName);
  EXPECT_EQ(String(atomName), name);

  // Re-creating keeps the text and makes the children again.
  panel->SetText("caption");
  win::HWND before = panel->Handle();
  panel->RecreateWnd();
  EXPECT_NE(panel->Handle(), before);
  EXPECT_FALSE(win::IsWindow(before));
  EXPECT_EQ(panel->Text(), "caption");
  EXPECT_TRUE(inner->HandleAllocated());
  EXPECT_EQ(win::GetParent(inner->Handle()), panel->Handle());
  delete form;
  EXPECT_FALSE(win::IsWindow(before));
}

TEST_F(ControlsTest, WindowProcCanBeReplacedAndChainedAndDispatchReachesHandlers) {
  TForm* form = MakeForm();
  auto* panel = new LoggedPanel(form);
  panel->SetParent(form);
  EXPECT_TRUE(panel->IsOwnWindowProc());
  EXPECT_EQ(win::SendMessageA(panel->Handle(), win::WM_USER + 3, 0, 0), 42);

  std::vector<UINT> seen;
  TWndMethod old = panel->WindowProc;
  panel->WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == win::WM_USER + 4) {
      m.Result = 7;
      return;
    }
    old(m);
  };
  EXPECT_FALSE(panel->IsOwnWindowProc());
  EXPECT_EQ(win::SendMessageA(panel->Handle(), win::WM_USER + 4, 0, 0), 7);
  EXPECT_EQ(panel->Perform(win::WM_USER + 3, 0, 0), 42);
  EXPECT_EQ(seen, (std::vector<UINT>{win::WM_USER + 4, win::WM_USER + 3}));
  panel->WindowProc = old;
  EXPECT_TRUE(panel->IsOwnWindowProc());
  // Unhandled messages end in the window class's procedure.
  EXPECT_EQ(panel->Perform(win::WM_GETTEXTLENGTH, 0, 0), 0);
  panel->SetText("abc");
  EXPECT_EQ(win::GetWindowTextLengthA(panel->Handle()), 3);
  delete form;
}

// Which property set by code sends which component message, and to whom.
TEST_F(ControlsTest, PropertySettersFireTheirChangeMessages) {
  std::vector<std::string> log;
  TForm* form = MakeForm();
  auto* parent = new LoggedPanel(form, &log, "p");
  parent->SetParent(form);
  auto* child = new LoggedGraphic(form, &log, "c");
  child->SetParent(parent);
  auto* own = new LoggedGraphic(form, &log, "o");
  own->SetParent(parent);
  own->SetParentColor(false);
  own->SetParentFont(false);
  own->SetParentShowHint(false);
  child->SetParentColor(true);
  parent->Handle();

  struct Row {
    const char* name;
    std::function<void()> act;
    std::vector<std::string> expected;
  };
  const std::vector<Row> rows = {
      {"text differs", [&] { parent->SetText("x"); }, {Cm("p", CM_TEXTCHANGED)}},
      {"text same", [&] { parent->SetText("x"); }, {}},
      {"graphic caption", [&] { child->SetCaption("y"); }, {Cm("c", CM_TEXTCHANGED)}},
      {"enabled", [&] { child->SetEnabled(false); }, {Cm("c", CM_ENABLEDCHANGED)}},
      {"enabled same", [&] { child->SetEnabled(false); }, {}},
      {"visible", [&] { child->SetVisible(false); }, {Cm("c", CM_VISIBLECHANGED)}},
      {"colour",
       [&] { parent->SetColor(clRed); },
       {Cm("p", CM_COLORCHANGED), Cm("c", CM_PARENTCOLORCHANGED), Cm("c", CM_COLORCHANGED),
        Cm("o", CM_PARENTCOLORCHANGED)}},
      {"font",
       [&] { parent->Font()->SetSize(14); },
       {Cm("p", CM_FONTCHANGED), Cm("c", CM_PARENTFONTCHANGED), Cm("c", CM_FONTCHANGED),
        Cm("o", CM_PARENTFONTCHANGED)}},
      {"show hint",
       [&] { parent->SetShowHint(true); },
       {Cm("p", CM_SHOWHINTCHANGED), Cm("c", CM_PARENTSHOWHINTCHANGED), Cm("c", CM_SHOWHINTCHANGED),
        Cm("o", CM_PARENTSHOWHINTCHANGED)}},
      {"cursor", [&] { child->SetCursor(crHandPoint); }, {Cm("c", CM_CURSORCHANGED)}},
      {"own colour", [&] { child->SetColor(clLime); }, {Cm("c", CM_COLORCHANGED)}},
  };
  for (const Row& row : rows) {
    log.clear();
    row.act();
    EXPECT_EQ(log, row.expected) << row.name;
  }
  // What came from the parent stuck where it was inherited, not elsewhere.
  EXPECT_EQ(child->Font()->Size(), 14);
  EXPECT_NE(own->Font()->Size(), 14);
  EXPECT_TRUE(child->ShowHint());
  EXPECT_FALSE(own->ShowHint());
  // Setting an inherited property by code ends the inheritance.
  EXPECT_FALSE(child->ParentColor());
  EXPECT_EQ(child->Color(), clLime);
  EXPECT_TRUE(child->ParentFont());
  child->Font()->SetStyle({fsBold});
  EXPECT_FALSE(child->ParentFont());
  delete form;
}

TEST_F(ControlsTest, ResizeFiresOnlyWhenTheSizeChanges) {
  TForm* form = MakeForm();
  auto* g = new LoggedGraphic(form);
  g->SetParent(form);
  auto* w = new LoggedPanel(form);
  w->SetParent(form);
  form->Handle();
  int gResized = 0, wResized = 0;
  g->OnResize = [&](TObject*) { ++gResized; };
  w->OnResize = [&](TObject*) { ++wResized; };
  g->SetBounds(1, 1, 10, 10);
  g->SetBounds(5, 5, 10, 10);
  w->SetBounds(1, 1, 10, 10);
  w->SetBounds(5, 5, 10, 10);
  w->SetWidth(20);
  EXPECT_EQ(gResized, 1);
  EXPECT_EQ(wResized, 2);
  EXPECT_EQ(w->BoundsRect(), Rect(5, 5, 25, 15));
  delete form;
}

TEST_F(ControlsTest, AlignmentFillsEdgesInOrderAndAnchorsFollowTheParent) {
  TForm* form = MakeForm(300, 200);
  auto* host = new LoggedPanel(form);
  host->SetBounds(0, 0, 200, 100);
  host->SetParent(form);
  auto make = [&](TAlign a, int l, int t, int w, int h) {
    auto* c = new LoggedPanel(form);
    c->SetBounds(l, t, w, h);
    c->SetParent(host);
    c->SetAlign(a);
    return c;
  };
  auto* top2 = make(alTop, 0, 50, 10, 10);
  auto* top1 = make(alTop, 0, 0, 10, 20);
  auto* bottom = make(alBottom, 0, 0, 10, 15);
  auto* left = make(alLeft, 0, 0, 30, 10);
  auto* right = make(alRight, 0, 0, 25, 10);
  auto* client = make(alClient, 0, 0, 1, 1);
  EXPECT_EQ(top1->BoundsRect(), Rect(0, 0, 200, 20));
  EXPECT_EQ(top2->BoundsRect(), Rect(0, 20, 200, 30));
  EXPECT_EQ(bottom->BoundsRect(), Rect(0, 85, 200, 100));
  EXPECT_EQ(left->BoundsRect(), Rect(0, 30, 30, 85));
  EXPECT_EQ(right->BoundsRect(), Rect(175, 30, 200, 85));
  EXPECT_EQ(client->BoundsRect(), Rect(30, 30, 175, 85));
  // A hidden aligned control gives its room up.
  top2->SetVisible(false);
  EXPECT_EQ(left->BoundsRect(), Rect(0, 20, 30, 85));

  auto* stage = new LoggedPanel(form);
  stage->SetBounds(0, 100, 200, 100);
  stage->SetParent(form);
  auto anchored = [&](TAnchors a) {
    auto* c = new LoggedGraphic(form);
    c->SetParent(stage);
    c->SetBounds(50, 40, 20, 10);
    c->SetAnchors(a);
    return c;
  };
  auto* fixed = anchored({akLeft, akTop});
  auto* toRight = anchored({akRight, akBottom});
  auto* stretch = anchored({akLeft, akRight, akTop, akBottom});
  auto* floating = anchored({});
  stage->Handle();
  stage->SetBounds(0, 100, 260, 120);
  EXPECT_EQ(fixed->BoundsRect(), Rect(50, 40, 70, 50));
  EXPECT_EQ(toRight->BoundsRect(), Rect(110, 60, 130, 70));
  EXPECT_EQ(stretch->BoundsRect(), Rect(50, 40, 130, 70));
  EXPECT_EQ(floating->BoundsRect(), Rect(80, 50, 100, 60));
  // Growing back does not drift.
  stage->SetBounds(0, 100, 200, 100);
  EXPECT_EQ(toRight->BoundsRect(), Rect(50, 40, 70, 50));
  delete form;
}

TEST_F(ControlsTest, CoordinatesMapThroughNestedControls) {
  TForm* form = MakeForm();
  auto* panel = new LoggedPanel(form);
  panel->SetBounds(10, 20, 100, 100);
  panel->SetParent(form);
  auto* g = new LoggedGraphic(form);
  g->SetBounds(5, 6, 10, 10);
  g->SetParent(panel);
  form->Show();
  EXPECT_EQ(g->ClientToScreen(Point(1, 2)), Point(100 + 10 + 5 + 1, 100 + 20 + 6 + 2));
  EXPECT_EQ(g->ScreenToClient(Point(116, 128)), Point(1, 2));
  EXPECT_EQ(panel->ControlAtPos(Point(7, 8), false), g);
  EXPECT_EQ(panel->ControlAtPos(Point(50, 50), false), nullptr);
  g->SetEnabled(false);
  EXPECT_EQ(panel->ControlAtPos(Point(7, 8), false), nullptr);
  EXPECT_EQ(panel->ControlAtPos(Point(7, 8), true), g);
  EXPECT_EQ(FindDragTarget(Point(116, 128), true), g);
  EXPECT_EQ(FindDragTarget(Point(150, 150), true), panel);
  delete form;
}

TEST_F(ControlsTest, MouseEventsClicksAndCaptureOnGraphicAndWindowedControls) {
  TForm* form = MakeForm();
  auto* g = new LoggedGraphic(form);
  g->SetBounds(10, 10, 40, 40);
  g->SetParent(form);
  auto* w = new LoggedPanel(form);
  w->SetBounds(100, 10, 40, 40);
  w->SetParent(form);
  form->Show();
  Pump();

  std::vector<std::string> events;
  auto hook = [&](TControl* c, const std::string& id) {
    c->OnMouseDown = [&events, id](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      events.push_back(id + " down " + std::to_string(b) + (s.Contains(ssDouble) ? "d" : "") + " " +
                       std::to_string(x) + "," + std::to_string(y));
    };
    c->OnMouseUp = [&events, id](TObject*, TMouseButton, TShiftState, int x, int y) {
      events.push_back(id + " up " + std::to_string(x) + "," + std::to_string(y));
    };
    c->OnClick = [&events, id](TObject*) { events.push_back(id + " click"); };
    c->OnDblClick = [&events, id](TObject*) { events.push_back(id + " dblclick"); };
  };
  hook(g, "g");
  hook(w, "w");

  Click(g, 3, 4);
  EXPECT_EQ(events, (std::vector<std::string>{"g down 0 3,4", "g click", "g up 3,4"}));
  events.clear();
  Click(w, 5, 6);
  EXPECT_EQ(events, (std::vector<std::string>{"w down 0 5,6", "w click", "w up 5,6"}));

  // Pressed inside, released outside: the control keeps the mouse but no
  // click happens.
  events.clear();
  win::POINT p = At(g, 5, 5);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, true);
  Pump();
  EXPECT_EQ(CaptureControl(), g);
  EXPECT_EQ(win::GetCapture(), form->Handle());
  p = At(w, 5, 5);
  win::InjectMouseMove(p.x, p.y);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"g down 0 5,5", "g up 95,5"}));
  EXPECT_EQ(CaptureControl(), nullptr);
  EXPECT_EQ(win::GetCapture(), nullptr);
  // A window captured directly counts as its control's capture.
  win::SetCapture(w->Handle());
  EXPECT_TRUE(w->MouseCapture());
  w->SetMouseCapture(false);
  EXPECT_EQ(win::GetCapture(), nullptr);

  events.clear();
  p = At(g, 2, 2);
  win::InjectDoubleClick(p.x, p.y);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"g down 0 2,2", "g click", "g up 2,2", "g dblclick", "g down 0d 2,2",
                                              "g click", "g up 2,2"}));
  delete form;
}

TEST_F(ControlsTest, MouseEnterAndLeaveFollowThePointerAlsoWhileCaptured) {
  TForm* form = MakeForm();
  auto* g = new LoggedGraphic(form);
  g->SetBounds(10, 10, 40, 40);
  g->SetParent(form);
  auto* w = new LoggedPanel(form);
  w->SetBounds(100, 10, 40, 40);
  w->SetParent(form);
  form->Show();
  Pump();
  std::vector<std::string> events;
  g->OnMouseEnter = [&](TObject*) { events.push_back("enter g"); };
  g->OnMouseLeave = [&](TObject*) { events.push_back("leave g"); };
  w->OnMouseEnter = [&](TObject*) { events.push_back("enter w"); };
  w->OnMouseLeave = [&](TObject*) { events.push_back("leave w"); };

  MoveTo(g, 5, 5);
  MoveTo(g, 6, 6);
  MoveTo(w, 5, 5);
  MoveTo(form, 250, 150);
  EXPECT_EQ(events, (std::vector<std::string>{"enter g", "leave g", "enter w", "leave w"}));
  EXPECT_EQ(MouseControl(), form);

  // The windowed control holds the mouse; moving off and back still tells.
  events.clear();
  MoveTo(w, 5, 5);
  win::InjectMouseButton(0, true);
  Pump();
  ASSERT_EQ(win::GetCapture(), w->Handle());
  MoveTo(g, 5, 5);
  MoveTo(w, 6, 6);
  win::InjectMouseButton(0, false);
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"enter w", "leave w", "enter g", "leave g", "enter w"}));
  delete form;
}

TEST_F(ControlsTest, ZOrderOfGraphicControlsDecidesWhoGetsTheMouse) {
  TForm* form = MakeForm();
  auto* a = new LoggedGraphic(form);
  a->SetBounds(10, 10, 40, 40);
  a->SetParent(form);
  auto* b = new LoggedGraphic(form);
  b->SetBounds(20, 20, 40, 40);
  b->SetParent(form);
  EXPECT_EQ(form->ControlAtPos(Point(30, 30), false), b);
  a->BringToFront();
  EXPECT_EQ(form->ControlAtPos(Point(30, 30), false), a);
  EXPECT_EQ(form->Controls(1), a);
  a->SendToBack();
  EXPECT_EQ(form->ControlAtPos(Point(30, 30), false), b);
  EXPECT_EQ(form->Controls(0), a);
  delete form;
}

TEST_F(ControlsTest, ExceptionsInHandlersReachTheApplication) {
  TForm* form = MakeForm();
  auto* w = new LoggedPanel(form);
  w->SetBounds(10, 10, 40, 40);
  w->SetParent(form);
  form->Show();
  Pump();
  w->OnClick = [](TObject*) { throw rtl::EConvertError("'x' is not a valid integer value"); };
  std::string caught;
  TObject* sender = nullptr;
  Application->OnException = [&](TObject* s, const std::exception& e) {
    sender = s;
    caught = e.what();
  };
  Click(w, 5, 5);
  EXPECT_EQ(caught, "'x' is not a valid integer value");
  EXPECT_EQ(sender, w);
  // An abort is silent.
  caught.clear();
  w->OnClick = [](TObject*) { throw rtl::EAbort("stop"); };
  Click(w, 5, 5);
  EXPECT_EQ(caught, "");
  delete form;
}

TEST_F(ControlsTest, KeyEventsReachTheFocusedControlAndACharSetToZeroIsSwallowed) {
  TForm* form = MakeForm();
  auto* w = new LoggedPanel(form);
  w->SetBounds(10, 10, 40, 40);
  w->SetParent(form);
  w->SetTabStop(true);
  form->SetActiveControl(w);
  form->Show();
  Pump();
  ASSERT_TRUE(w->Focused());
  std::vector<std::string> events;
  w->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState s) {
    events.push_back("down " + std::to_string(key) + (s.Contains(ssShift) ? " shift" : ""));
  };
  w->OnKeyPress = [&](TObject*, char& key) {
    events.push_back(std::string("press ") + key);
    if (key == 'x') key = 0;
  };
  w->OnKeyUp = [&](TObject*, uint16_t& key, TShiftState) { events.push_back("up " + std::to_string(key)); };
  // What the window class's own procedure gets of the characters.
  static std::string charsForTheClass;
  charsForTheClass.clear();
  w->SetDefWndProc([](win::HWND h, win::UINT msg, win::WPARAM wp, win::LPARAM lp) -> win::LRESULT {
    if (msg == win::WM_CHAR) charsForTheClass += static_cast<char>(wp);
    return win::DefWindowProcA(h, msg, wp, lp);
  });
  win::InjectText(u"axc");
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down 65", "press a", "up 65", "down 88", "press x", "up 88",
                                              "down 67", "press c", "up 67"}));
  EXPECT_EQ(charsForTheClass, "ac");
  // The form sees them first with KeyPreview.
  events.clear();
  form->SetKeyPreview(true);
  form->OnKeyPress = [&](TObject*, char& key) { events.push_back(std::string("form ") + key); };
  win::InjectText(u"b");
  Pump();
  EXPECT_EQ(events, (std::vector<std::string>{"down 66", "form b", "press b", "up 66"}));
  delete form;
}

TEST_F(ControlsTest, ContextMenusGoToTheControlUnderTheMouseThenItsParents) {
  TForm* form = MakeForm();
  auto* w = new LoggedPanel(form);
  w->SetBounds(10, 10, 100, 100);
  w->SetParent(form);
  auto* g = new LoggedGraphic(form);
  g->SetBounds(10, 10, 20, 20);
  g->SetParent(w);
  form->Show();
  Pump();
  int menuA = 0, menuB = 0;  // stand-ins: only their addresses are used
  auto* a = reinterpret_cast<TPopupMenu*>(&menuA);
  auto* b = reinterpret_cast<TPopupMenu*>(&menuB);
  std::vector<std::string> popped;
  TPopupMenuHandler previous = SetPopupMenuHandler([&](TPopupMenu* menu, TControl* control, TPoint at) {
    popped.push_back(std::string(menu == a ? "a" : "b") + (control == g ? " on g " : " on w ") +
                     std::to_string(at.x) + "," + std::to_string(at.y));
    return true;
  });
  g->SetPopupMenu(a);
  w->SetPopupMenu(b);
  auto send = [&](TPoint screen) {
    return win::SendMessageA(w->Handle(), win::WM_CONTEXTMENU, reinterpret_cast<win::WPARAM>(w->Handle()),
                             win::MAKELPARAM(static_cast<win::WORD>(screen.x), static_cast<win::WORD>(screen.y)));
  };
  EXPECT_EQ(send(g->ClientToScreen(Point(1, 1))), 1);
  EXPECT_EQ(send(w->ClientToScreen(Point(80, 80))), 1);
  // The keyboard's menu opens at the control's corner.
  send(Point(-1, -1));
  const TPoint corner = w->ClientToScreen(Point(0, 0));
  EXPECT_EQ(popped, (std::vector<std::string>{"a on g 121,121", "b on w 190,190",
                                              "b on w " + std::to_string(corner.x) + "," +
                                                  std::to_string(corner.y)}));
  // OnContextPopup may take it over; a graphic control without a menu
  // leaves it to its parent.
  popped.clear();
  bool asked = false;
  g->OnContextPopup = [&](TObject*, TPoint p, bool& handled) {
    asked = p == Point(1, 1);
    handled = false;
  };
  g->SetPopupMenu(nullptr);
  send(g->ClientToScreen(Point(1, 1)));
  EXPECT_TRUE(asked);
  EXPECT_EQ(popped, (std::vector<std::string>{"b on w 121,121"}));
  SetPopupMenuHandler(previous);
  delete form;
}

namespace {
// A control class of the window system's kind: it paints itself (into the
// DC it is given, or through BeginPaint) with the brush its parent answers.
win::LRESULT StaticLikeProc(win::HWND h, win::UINT msg, win::WPARAM wp, win::LPARAM lp) {
  if (msg != win::WM_PAINT) return win::DefWindowProcA(h, msg, wp, lp);
  win::PAINTSTRUCT ps;
  win::HDC dc = wp ? reinterpret_cast<win::HDC>(wp) : win::BeginPaint(h, &ps);
  auto brush = reinterpret_cast<win::HBRUSH>(
      win::SendMessageA(win::GetParent(h), win::WM_CTLCOLORSTATIC, reinterpret_cast<win::WPARAM>(dc),
                        reinterpret_cast<win::LPARAM>(h)));
  win::RECT r;
  win::GetClientRect(h, &r);
  if (brush) win::FillRect(dc, &r, brush);
  if (!wp) win::EndPaint(h, &ps);
  return 0;
}

class TStaticLike : public TWinControl {
public:
  using TWinControl::TWinControl;

protected:
  void CreateParams(TCreateParams& p) override {
    TWinControl::CreateParams(p);
    static const bool registered = [] {
      win::WNDCLASSA wc;
      wc.lpfnWndProc = &StaticLikeProc;
      wc.lpszClassName = "VorixStaticLike";
      return win::RegisterClassA(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    CreateSubClass(p, "VorixStaticLike");
  }
};
}  // namespace

TEST_F(ControlsTest, SubclassedSystemControlsPaintThemselvesInTheirOwnColours) {
  TForm* form = MakeForm();
  form->SetColor(clBlue);
  auto* s = new TStaticLike(form);
  s->SetBounds(10, 10, 50, 20);
  s->SetParent(form);
  s->SetColor(clLime);
  form->Show();
  Pump();
  EXPECT_EQ(s->DefWndProc(), &StaticLikeProc);
  EXPECT_EQ(win::GetWindowLongPtr(s->Handle(), win::GWL_WNDPROC),
            reinterpret_cast<win::LONG_PTR>(&TWinControl::StdWndProc));
  EXPECT_EQ(win::GetScreenPixel(100 + 20, 100 + 15), win::RGB(0, 255, 0));
  EXPECT_EQ(win::GetScreenPixel(100 + 70, 100 + 15), win::RGB(0, 0, 255));
  // Into a caller's DC, through the same procedure.
  win::HDC screen = win::GetDC(nullptr);
  win::HDC mem = win::CreateCompatibleDC(screen);
  win::HBITMAP bmp = win::CreateCompatibleBitmap(screen, 50, 20);
  win::ReleaseDC(nullptr, screen);
  win::HGDIOBJ old = win::SelectObject(mem, bmp);
  s->SetColor(clRed);
  s->Perform(win::WM_PAINT, reinterpret_cast<win::WPARAM>(mem), 0);
  EXPECT_EQ(win::GetPixel(mem, 5, 5), win::RGB(255, 0, 0));
  // A child id defaults to the handle.
  EXPECT_EQ(static_cast<uintptr_t>(win::GetWindowLongA(s->Handle(), win::GWL_ID)), win::HandleToValue(s->Handle()));
  win::SelectObject(mem, old);
  win::DeleteObject(bmp);
  win::DeleteDC(mem);
  delete form;
}

TEST_F(ControlsTest, TheWheelGoesToTheFocusedControlThenUpToWhoHandlesIt) {
  TForm* form = MakeForm();
  auto* w = new LoggedPanel(form);
  w->SetBounds(10, 10, 40, 40);
  w->SetParent(form);
  w->SetTabStop(true);
  form->SetActiveControl(w);
  form->Show();
  Pump();
  std::vector<std::string> seen;
  w->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint, bool& handled) {
    seen.push_back("w down");
    handled = true;
  };
  form->OnMouseWheel = [&](TObject*, TShiftState, int delta, TPoint, bool& handled) {
    seen.push_back("form " + std::to_string(delta));
    handled = true;
  };
  MoveTo(w, 5, 5);
  win::InjectMouseWheel(-win::WHEEL_DELTA);
  Pump();
  win::InjectMouseWheel(2 * win::WHEEL_DELTA);
  Pump();
  EXPECT_EQ(seen, (std::vector<std::string>{"w down", "form 240"}));
  delete form;
}

TEST_F(ControlsTest, SystemColourChangesReachEveryControlAndTheirBrushes) {
  std::vector<std::string> log;
  TForm* form = MakeForm();
  auto* panel = new LoggedPanel(form, &log, "p");
  panel->SetParent(form);
  panel->SetBounds(0, 0, 20, 20);
  auto* g = new LoggedGraphic(form, &log, "c");
  g->SetParent(panel);
  panel->SetColor(clBtnFace);
  form->Handle();
  const int index = win::COLOR_BTNFACE;
  const win::COLORREF green = win::RGB(0, 200, 0);
  win::SetSysColors(1, &index, &green);
  log.clear();
  win::SendMessageA(form->Handle(), win::WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(log, (std::vector<std::string>{Cm("p", CM_SYSCOLORCHANGE), Cm("c", CM_SYSCOLORCHANGE)}));
  win::HDC screen = win::GetDC(nullptr);
  win::HDC mem = win::CreateCompatibleDC(screen);
  win::HBITMAP bmp = win::CreateCompatibleBitmap(screen, 20, 20);
  win::ReleaseDC(nullptr, screen);
  win::HGDIOBJ old = win::SelectObject(mem, bmp);
  panel->Perform(win::WM_ERASEBKGND, reinterpret_cast<win::WPARAM>(mem), 0);
  EXPECT_EQ(win::GetPixel(mem, 5, 5), green);
  win::ResetSysColors();
  win::SelectObject(mem, old);
  win::DeleteObject(bmp);
  win::DeleteDC(mem);
  delete form;
}
