#include "platform/forms/Forms.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <functional>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/Dialogs.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Monitors.h"
#include "platform/win/Paint.h"
#include "platform/win/Window.h"

using namespace forms;
using formstest::FormsFixture;
using formstest::RecordingPresenter;

namespace {

// A push button as the standard controls make it: Default reacts to Enter
// and Cancel to Esc through CM_DIALOGKEY, and a click hands its
// ModalResult to the form.
class TestButton : public TCustomControl {
public:
  explicit TestButton(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 60, 24);
  }
  bool Default = false;
  bool Cancel = false;
  char accelerator = 0;
  TModalResult ModalResult = mrNone;
  int clicks = 0;

  void Click() override {
    ++clicks;
    if (ModalResult != mrNone)
      if (TCustomForm* form = GetParentForm()) form->SetModalResult(ModalResult);
    TCustomControl::Click();
  }
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_DIALOGCHAR && accelerator && std::toupper(static_cast<int>(m.WParam)) == accelerator) {
      Click();
      m.Result = 1;
      return;
    }
    if (m.Msg == CM_DIALOGKEY) {
      const bool enter = m.WParam == win::VK_RETURN && Default;
      const bool esc = m.WParam == win::VK_ESCAPE && Cancel;
      if ((enter || esc) && KeyDataToShiftState(m.LParam).Empty() && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
    }
    TCustomControl::Dispatch(m);
  }
};

// A focusable control; it can ask for Enter for itself, as a multi-line
// edit does.
class TestEdit : public TCustomControl {
public:
  explicit TestEdit(TComponent* owner) : TCustomControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 80, 20);
  }
  bool wantsReturn = false;
  bool wantsChars = false;
  void Dispatch(TMessage& m) override {
    if (m.Msg == win::WM_GETDLGCODE && wantsChars) {
      m.Result = win::DLGC_WANTCHARS;
      return;
    }
    if (m.Msg == CM_WANTSPECIALKEY && m.WParam == win::VK_RETURN && wantsReturn) {
      m.Result = 1;
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

class TDialogForm : public TForm {
public:
  explicit TDialogForm(TComponent* owner) : TForm(owner) {
    SetBorderStyle(bsDialog);
    SetBounds(0, 0, 240, 120);
    edit = new TestEdit(this);
    edit->SetParent(this);
    edit->SetBounds(10, 10, 100, 20);
    ok = new TestButton(this);
    ok->SetParent(this);
    ok->SetBounds(10, 60, 60, 24);
    ok->Default = true;
    ok->ModalResult = mrOk;
    cancel = new TestButton(this);
    cancel->SetParent(this);
    cancel->SetBounds(90, 60, 60, 24);
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    SetActiveControl(edit);
  }
  TestEdit* edit;
  TestButton* ok;
  TestButton* cancel;
};

class FormsTest : public FormsFixture {};

}  // namespace

TEST_F(FormsTest, EnterAndEscReachTheDefaultAndCancelButtons) {
  auto* form = new TDialogForm(nullptr);
  form->Show();
  Pump();
  ASSERT_TRUE(form->edit->Focused());
  Key(win::VK_RETURN);
  EXPECT_EQ(form->ok->clicks, 1);
  EXPECT_EQ(form->cancel->clicks, 0);
  Key(win::VK_ESCAPE);
  EXPECT_EQ(form->cancel->clicks, 1);
  EXPECT_EQ(form->ok->clicks, 1);

  // A control that wants Enter keeps it; the form's OnKeyDown with
  // KeyPreview sees keys first and can swallow them.
  form->edit->wantsReturn = true;
  Key(win::VK_RETURN);
  EXPECT_EQ(form->ok->clicks, 1);
  std::vector<uint16_t> previewed;
  form->SetKeyPreview(true);
  form->OnKeyDown = [&](TObject*, uint16_t& key, TShiftState) {
    previewed.push_back(key);
    if (key == win::VK_ESCAPE) key = 0;
  };
  int editKeys = 0;
  form->edit->OnKeyDown = [&](TObject*, uint16_t&, TShiftState) { ++editKeys; };
  Key(win::VK_ESCAPE);
  Key('A');
  EXPECT_EQ(previewed, (std::vector<uint16_t>{win::VK_ESCAPE, 'A'}));
  EXPECT_EQ(editKeys, 1);
  EXPECT_EQ(form->cancel->clicks, 1);

  // Tab walks the tab order.
  Key(win::VK_TAB);
  EXPECT_TRUE(form->ok->Focused());
  EXPECT_EQ(form->ActiveControl(), form->ok);
  win::InjectKey(win::VK_SHIFT, true);
  Key(win::VK_TAB);
  win::InjectKey(win::VK_SHIFT, false);
  Pump();
  EXPECT_TRUE(form->edit->Focused());
  delete form;
}

TEST_F(FormsTest, ShowModalReturnsTheResultOfAScriptedClickAndDisablesOtherWindows) {
  auto* main = new TForm(nullptr);
  main->SetBounds(0, 0, 400, 300);
  main->Show();
  auto* dialog = new TDialogForm(main);
  dialog->SetPosition(poOwnerFormCenter);
  bool mainDisabledDuringModal = false;
  // Script the user once the dialog is up: the modal loop delivers it.
  std::function<void()> script;
  dialog->OnActivate = [&](TObject*) {
    if (script) std::exchange(script, nullptr)();
  };
  script = [&] {
    win::POINT p = dialog->ok->ClientToScreen(Point(5, 5));
    win::InjectClick(p.x, p.y);
  };
  dialog->ok->OnClick = [&](TObject*) { mainDisabledDuringModal = !win::IsWindowEnabled(main->Handle()); };
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(mainDisabledDuringModal);
  EXPECT_TRUE(win::IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(dialog->Visible());
  // Centred on its owner.
  EXPECT_EQ(dialog->Left(), (400 - 240) / 2);
  EXPECT_EQ(dialog->Top(), (300 - 120) / 2);

  // Esc during the loop, and a close query that refuses once.
  int queries = 0;
  dialog->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = ++queries > 1; };
  script = [&] {
    win::InjectKeyPress(win::VK_ESCAPE);
    win::InjectKeyPress(win::VK_ESCAPE);
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(queries, 2);
  EXPECT_THROW({
    dialog->Show();
    dialog->ShowModal();
  }, EInvalidOperation);
  delete main;
}

// A modal window opened from a stay-on-top window would sit below it, out
// of sight while it holds the program.
TEST_F(FormsTest, AModalWindowOpenedFromAStayOnTopWindowShowsAboveIt) {
  auto* onTop = new TForm(nullptr);
  onTop->SetFormStyle(fsStayOnTop);
  onTop->SetBounds(0, 0, 400, 300);
  onTop->Show();
  Pump();
  auto* dialog = new TDialogForm(nullptr);
  bool topmostWhileShown = false;
  win::HWND topWhileShown = nullptr;
  dialog->OnActivate = [&](TObject*) {
    topmostWhileShown = (win::GetWindowLongA(dialog->Handle(), win::GWL_EXSTYLE) & win::WS_EX_TOPMOST) != 0;
    topWhileShown = win::GetTopWindow(nullptr);
    win::InjectKeyPress(win::VK_ESCAPE);
  };
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_TRUE(topmostWhileShown);
  EXPECT_EQ(topWhileShown, dialog->Handle());
  EXPECT_FALSE(win::GetWindowLongA(dialog->Handle(), win::GWL_EXSTYLE) & win::WS_EX_TOPMOST)
      << "back to an ordinary window once closed";
  delete dialog;
  delete onTop;
}

TEST_F(FormsTest, CloseActionsDecideWhatHappensToTheForm) {
  auto* main = new TForm(nullptr);
  Application->SetMainForm(main);
  auto* f = new TForm(nullptr);
  f->Show();
  TCloseAction next = caHide;
  f->OnClose = [&](TObject*, TCloseAction& a) { a = next; };
  bool canClose = false;
  f->OnCloseQuery = [&](TObject*, bool& c) { c = canClose; };
  f->Close();
  EXPECT_TRUE(f->Visible());
  canClose = true;
  next = caNone;
  f->Close();
  EXPECT_TRUE(f->Visible());
  next = caMinimize;
  f->Close();
  EXPECT_EQ(f->WindowState(), wsMinimized);
  EXPECT_TRUE(win::IsIconic(f->Handle()));
  next = caHide;
  f->Close();
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(win::IsWindowVisible(f->Handle()));

  // Freed once the loop comes round; a watcher hears of it.
  struct Watcher : TComponent {
    using TComponent::TComponent;
    bool gone = false;
    void Notification(TComponent*, TOperation op) override { gone = gone || op == opRemove; }
  } watcher(nullptr);
  f->FreeNotification(&watcher);
  int destroyed = 0;
  f->OnDestroy = [&](TObject*) { ++destroyed; };
  f->AfterConstruction();
  next = caFree;
  const int formsBefore = Screen->FormCount();
  f->Close();
  EXPECT_FALSE(watcher.gone);
  Pump();
  EXPECT_TRUE(watcher.gone);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(Screen->FormCount(), formsBefore - 1);

  // Closing the main form ends the program's loop (in an application of
  // its own, as a terminated one stays so).
  TApplication* saved = Application;
  Application = new TApplication(nullptr);
  Application->SetMainForm(main);
  main->Close();
  EXPECT_FALSE(Application->Terminated());
  Application->ProcessMessages();
  EXPECT_TRUE(Application->Terminated());
  delete Application;
  Application = saved;
}

namespace {
class TMainTestForm;
TMainTestForm* frmMain = nullptr;
TForm* frmSecond = nullptr;
class TMainTestForm : public TForm {
public:
  explicit TMainTestForm(TComponent* owner) : TForm(owner) {
    OnCreate = [this](TObject*) { referenceSetInOnCreate = frmMain == this; };
  }
  bool referenceSetInOnCreate = false;
};
}  // namespace

TEST_F(FormsTest, CreateFormSetsTheReferenceBeforeOnCreateAndTheFirstIsTheMainForm) {
  Application->CreateForm(frmMain);
  Application->CreateForm(frmSecond);
  EXPECT_TRUE(frmMain->referenceSetInOnCreate);
  EXPECT_EQ(Application->MainForm(), frmMain);
  EXPECT_EQ(frmMain->Owner(), Application);
  // The application owns them: freeing one leaves the list.
  const int n = Application->ComponentCount();
  delete frmSecond;
  EXPECT_EQ(Application->ComponentCount(), n - 1);
  delete frmMain;
  frmMain = nullptr;
  frmSecond = nullptr;
}

TEST_F(FormsTest, OwnerFreesOwnedFormsAndControlsLastCreatedFirst) {
  std::vector<std::string> order;
  auto* owner = new TForm(nullptr);
  auto track = [&](TComponent* c, const std::string& id) {
    struct Tag : TComponent {
      Tag(TComponent* watched, std::vector<std::string>* log, std::string id)
          : TComponent(nullptr), log_(log), id_(std::move(id)) {
        watched->FreeNotification(this);
      }
      void Notification(TComponent*, TOperation op) override {
        if (op == opRemove) log_->push_back(id_);
      }
      std::vector<std::string>* log_;
      std::string id_;
    };
    return std::make_unique<Tag>(c, &order, id);
  };
  auto* child = new TForm(owner);
  auto* panel = new TCustomControl(owner);
  panel->SetParent(owner);
  auto* label = new TGraphicControl(owner);
  label->SetParent(panel);
  auto t1 = track(child, "child form");
  auto t2 = track(panel, "panel");
  auto t3 = track(label, "label");
  auto t4 = track(owner, "owner");
  owner->Show();
  child->Show();
  delete owner;
  EXPECT_EQ(order, (std::vector<std::string>{"owner", "label", "panel", "child form"}));
}

TEST_F(FormsTest, ColourKeyAndAlphaReachTheLayeredWindow) {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(50, 50, 100, 100);
  f->SetColor(clFuchsia);
  f->SetTransparentColorValue(clFuchsia);
  f->SetTransparentColor(true);
  f->Show();
  win::UpdateWindow(f->Handle());
  win::COLORREF key = 0;
  win::BYTE alpha = 0;
  win::DWORD flags = 0;
  ASSERT_TRUE(win::GetLayeredWindowAttributes(f->Handle(), &key, &alpha, &flags));
  EXPECT_EQ(key, win::RGB(255, 0, 255));
  EXPECT_EQ(flags, win::LWA_COLORKEY);
  // The key colour shows what is behind: the desktop.
  EXPECT_NE(win::GetScreenPixel(60, 60), win::RGB(255, 0, 255));

  f->SetAlphaBlendValue(128);
  f->SetAlphaBlend(true);
  ASSERT_TRUE(win::GetLayeredWindowAttributes(f->Handle(), &key, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_EQ(flags, win::LWA_COLORKEY | win::LWA_ALPHA);
  // A re-created window (new border) keeps the settings.
  f->SetBorderStyle(bsSingle);
  ASSERT_TRUE(win::GetLayeredWindowAttributes(f->Handle(), &key, &alpha, &flags));
  EXPECT_EQ(alpha, 128);
  EXPECT_TRUE(f->Visible());
  EXPECT_TRUE(win::IsWindowVisible(f->Handle()));
  delete f;
}

TEST_F(FormsTest, BorderStylesShapeTheWindowAndPositionsPlaceIt) {
  struct Row {
    TFormBorderStyle style;
    win::DWORD has, hasNot;
  };
  const std::vector<Row> rows = {
      {bsNone, win::WS_POPUP, win::WS_CAPTION | win::WS_THICKFRAME},
      {bsSingle, win::WS_CAPTION | win::WS_SYSMENU | win::WS_MINIMIZEBOX, win::WS_THICKFRAME},
      {bsSizeable, win::WS_CAPTION | win::WS_THICKFRAME | win::WS_MAXIMIZEBOX, 0},
      {bsDialog, win::WS_CAPTION | win::WS_SYSMENU, win::WS_THICKFRAME | win::WS_MINIMIZEBOX},
  };
  for (const Row& row : rows) {
    TForm f(nullptr);
    f.SetBorderStyle(row.style);
    const auto style = static_cast<win::DWORD>(win::GetWindowLongA(f.Handle(), win::GWL_STYLE));
    EXPECT_EQ(style & row.has, row.has) << row.style;
    EXPECT_EQ(style & row.hasNot, 0u) << row.style;
  }
  TForm f(nullptr);
  f.SetBorderStyle(bsSingle);
  f.SetClientWidth(200);
  f.SetClientHeight(100);
  f.SetPosition(poScreenCenter);
  f.SetFormStyle(fsStayOnTop);
  f.Show();
  EXPECT_EQ(f.ClientWidth(), 200);
  EXPECT_EQ(f.ClientHeight(), 100);
  EXPECT_EQ(f.Left(), (Screen->Width() - f.Width()) / 2);
  EXPECT_EQ(f.Top(), (Screen->Height() - f.Height()) / 2);
  EXPECT_TRUE(win::GetWindowLongA(f.Handle(), win::GWL_EXSTYLE) & win::WS_EX_TOPMOST);
}

TEST_F(FormsTest, ShowHideActivateEventsAndTheScreensForms) {
  auto* a = new TForm(nullptr);
  auto* b = new TForm(nullptr);
  std::vector<std::string> log;
  a->OnShow = [&](TObject*) { log.push_back("show a " + std::to_string(win::IsWindowVisible(a->Handle()))); };
  a->OnHide = [&](TObject*) { log.push_back("hide a"); };
  a->OnActivate = [&](TObject*) { log.push_back("activate a"); };
  a->OnDeactivate = [&](TObject*) { log.push_back("deactivate a"); };
  b->OnActivate = [&](TObject*) { log.push_back("activate b"); };
  a->Show();
  Pump();
  EXPECT_EQ(Screen->ActiveForm(), a);
  b->Show();
  Pump();
  EXPECT_EQ(Screen->ActiveForm(), b);
  EXPECT_EQ(Screen->Forms(0), b);
  a->Hide();
  EXPECT_EQ(log, (std::vector<std::string>{"show a 0", "activate a", "deactivate a", "activate b", "hide a"}));
  EXPECT_GE(Screen->FormCount(), 2);
  delete a;
  delete b;
  EXPECT_EQ(Screen->FormCount(), 0);
}

TEST_F(FormsTest, TheDefaultExceptionHandlerShowsABoxTitledWithTheTitle) {
  RecordingPresenter presenter;
  ScopedMessageBoxPresenter scope(&presenter);
  const String oldTitle = Application->Title();
  Application->SetTitle("Vorix Capture");
  try {
    throw rtl::EConvertError("'' is not a valid integer value");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  ASSERT_EQ(presenter.boxes.size(), 1u);
  EXPECT_EQ(presenter.boxes[0].caption, "Vorix Capture");
  EXPECT_EQ(presenter.boxes[0].text, "'' is not a valid integer value");
  EXPECT_EQ(presenter.boxes[0].flags & MB_ICONMASK, MB_ICONERROR);

  // From a handler deep in a message, the same way.
  auto* f = new TForm(nullptr);
  f->SetBounds(0, 0, 100, 100);
  f->OnClick = [](TObject*) { throw rtl::Exception("Value must be between 1 and 10"); };
  f->Show();
  Pump();
  Click(f, 10, 10);
  ASSERT_EQ(presenter.boxes.size(), 2u);
  EXPECT_EQ(presenter.boxes[1].text, "Value must be between 1 and 10");
  Application->SetTitle(oldTitle);
  delete f;

  EXPECT_EQ(DefaultMessageBoxAnswer(MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(DefaultMessageBoxAnswer(MB_OKCANCEL), IDOK);
}

TEST_F(FormsTest, IdleHandlersAllRunAndAnyOfThemCanAskForMore) {
  std::vector<std::string> calls;
  Application->OnIdle = [&](TObject*, bool& done) {
    calls.push_back("OnIdle");
    done = true;
  };
  // The device manager's kind of handler: it keeps the loop from waiting.
  const int busy = Application->AddIdleHandler([&](TObject*, bool& done) {
    calls.push_back("devices");
    done = false;
  });
  const int other = Application->AddIdleHandler([&](TObject*, bool& done) {
    calls.push_back("other");
    done = true;
  });
  win::PostMessageA(nullptr, win::WM_NULL, 0, 0);
  Application->HandleMessage();
  EXPECT_TRUE(calls.empty()) << "a waiting message is handled without idling";
  Application->HandleMessage();
  EXPECT_EQ(calls, (std::vector<std::string>{"OnIdle", "devices", "other"}));
  calls.clear();
  Application->RemoveIdleHandler(other);
  Application->HandleMessage();
  EXPECT_EQ(calls, (std::vector<std::string>{"OnIdle", "devices"}));
  Application->RemoveIdleHandler(busy);
}

TEST_F(FormsTest, ScreenCursorMonitorsAndWorkArea) {
  win::SetMonitorLayout({{Rect(0, 0, 1280, 1024), Rect(0, 0, 1280, 994)},
                         {Rect(1280, 0, 2304, 768), Rect(1280, 0, 2304, 768)}});
  EXPECT_EQ(Screen->MonitorCount(), 2);
  EXPECT_EQ(Screen->WorkAreaRect(), Rect(0, 0, 1280, 994));
  EXPECT_EQ(Screen->Monitors(1).BoundsRect(), Rect(1280, 0, 2304, 768));
  EXPECT_TRUE(Screen->Monitors(0).Primary());
  EXPECT_EQ(Screen->Width(), 1280);
  win::SetMonitorLayout({});

  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(win::StandardCursorId(win::GetCursor()), win::IDC_WAIT);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(win::StandardCursorId(Screen->Cursors(crHandPoint)), win::IDC_HAND);
  win::HCURSOR custom = win::LoadCursorA(nullptr, win::MAKEINTRESOURCEA(win::IDC_CROSS));
  Screen->SetCursors(1778, custom);
  EXPECT_EQ(Screen->Cursors(1778), custom);

  // A control's cursor shows over it while the screen's is the default;
  // the screen's wins otherwise.
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(0, 0, 100, 100);
  f->SetCursor(crIBeam);
  f->Show();
  MoveTo(f, 10, 10);
  EXPECT_EQ(win::StandardCursorId(win::GetCursor()), win::IDC_IBEAM);
  Screen->SetCursor(crHourGlass);
  MoveTo(f, 11, 11);
  EXPECT_EQ(win::StandardCursorId(win::GetCursor()), win::IDC_WAIT);
  delete f;
}

namespace {
// A control that edits its hint record, or refuses the hint.
class HintedControl : public TGraphicControl {
public:
  using TGraphicControl::TGraphicControl;
  bool refuse = false;
  void Dispatch(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      info->HintStr += "!";
      m.Result = refuse ? 1 : 0;
      return;
    }
    TGraphicControl::Dispatch(m);
  }
};
}  // namespace

TEST_F(FormsTest, HintsShowAfterThePauseAndHideAfterTheirTime) {
  rtl::ScopedVirtualClock clock;
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetBounds(0, 0, 200, 100);
  auto* a = new HintedControl(f);
  a->SetBounds(10, 10, 40, 40);
  a->SetParent(f);
  a->SetHint("Snapshot|Takes a picture now");
  a->SetShowHint(true);
  auto* b = new HintedControl(f);
  b->SetBounds(100, 10, 40, 40);
  b->SetParent(f);
  f->Show();
  Pump();
  std::vector<std::string> shown;
  Application->ShowHintWindow = [&](const THintInfo& info) {
    shown.push_back(info.HintStr + (info.HintControl == a ? " on a" : ""));
  };
  Application->HideHintWindow = [&] { shown.push_back("hide"); };

  MoveTo(a, 5, 5);
  EXPECT_EQ(Application->Hint(), "Takes a picture now");
  clock.Advance(Application->HintPause() - 1);
  EXPECT_TRUE(shown.empty());
  clock.Advance(1);
  EXPECT_EQ(shown, (std::vector<std::string>{"Snapshot! on a"}));
  clock.Advance(Application->HintHidePause());
  EXPECT_EQ(shown, (std::vector<std::string>{"Snapshot! on a", "hide"}));

  // Moving on hides at once; a control without a hint shows none.
  shown.clear();
  MoveTo(b, 5, 5);
  MoveTo(a, 6, 6);
  clock.Advance(Application->HintPause());
  MoveTo(b, 6, 6);
  EXPECT_EQ(shown, (std::vector<std::string>{"Snapshot! on a", "hide"}));
  EXPECT_EQ(Application->Hint(), "");
  clock.Advance(5000);
  EXPECT_EQ(shown.size(), 2u);

  // Refused by the control, or cancelled by a click before the pause.
  shown.clear();
  a->refuse = true;
  MoveTo(a, 5, 5);
  clock.Advance(Application->HintPause());
  a->refuse = false;
  MoveTo(b, 5, 5);
  MoveTo(a, 5, 5);
  Click(a, 5, 5);
  clock.Advance(Application->HintPause());
  EXPECT_TRUE(shown.empty());
  Application->ShowHintWindow = nullptr;
  Application->HideHintWindow = nullptr;
  delete f;
}

TEST_F(FormsTest, WorkerThreadsReachTheGuiThreadThroughTheMessageLoop) {
  Application->Initialize();
  std::atomic<bool> done{false};
  uint32_t ranOn = 0;
  std::thread worker([&] {
    rtl::TThread::Synchronize(nullptr, [&] { ranOn = rtl::GetCurrentThreadId(); });
    done = true;
    win::PostMessageA(Application->Handle(), win::WM_NULL, 0, 0);  // wakes the loop to see it
  });
  while (!done) Application->HandleMessage();
  worker.join();
  EXPECT_EQ(ranOn, rtl::GetCurrentThreadId());
}

TEST_F(FormsTest, AutoSizeMinimizeRestoreAndFocusLeavingADisabledControl) {
  auto* f = new TDialogForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetAutoSize(true);
  EXPECT_EQ(f->ClientWidth(), 150);
  EXPECT_EQ(f->ClientHeight(), 84);
  f->ok->SetTop(100);
  EXPECT_EQ(f->ClientHeight(), 124);

  Application->SetMainForm(f);
  f->Show();
  Pump();
  ASSERT_TRUE(f->edit->Focused());
  f->edit->SetEnabled(false);
  EXPECT_FALSE(f->edit->Focused());
  EXPECT_FALSE(f->edit->CanFocus());
  EXPECT_THROW(f->edit->SetFocus(), EInvalidOperation);

  int minimized = 0, restored = 0;
  Application->OnMinimize = [&](TObject*) { ++minimized; };
  Application->OnRestore = [&](TObject*) { ++restored; };
  Application->Minimize();
  EXPECT_TRUE(win::IsIconic(f->Handle()));
  EXPECT_EQ(f->WindowState(), wsMinimized);
  Application->Restore();
  EXPECT_FALSE(win::IsIconic(f->Handle()));
  EXPECT_EQ(f->WindowState(), wsNormal);
  EXPECT_EQ(minimized, 1);
  EXPECT_EQ(restored, 1);
  Application->OnMinimize = nullptr;
  Application->OnRestore = nullptr;
  delete f;
}

TEST_F(FormsTest, OnMessageAndWindowHooksSeeMessagesFirst) {
  constexpr win::UINT kPrivate = 0xBCB3;  // a number the program posts itself
  std::vector<std::string> seen;
  const int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg != kPrivate) return false;
    seen.push_back("hook " + std::to_string(m.WParam));
    m.Result = 1;
    return true;
  });
  Application->OnMessage = [&](win::MSG& msg, bool& handled) {
    if (msg.message != kPrivate) return;
    seen.push_back("OnMessage " + std::to_string(msg.wParam));
    handled = msg.wParam == 2;
  };
  win::PostMessageA(Application->Handle(), kPrivate, 1, 0);
  win::PostMessageA(Application->Handle(), kPrivate, 2, 0);
  Pump();
  EXPECT_EQ(seen, (std::vector<std::string>{"OnMessage 1", "hook 1", "OnMessage 2"}));
  EXPECT_EQ(win::SendMessageA(Application->Handle(), kPrivate, 3, 0), 1);
  Application->UnhookMainWindow(hook);
  seen.clear();
  win::SendMessageA(Application->Handle(), kPrivate, 4, 0);
  EXPECT_TRUE(seen.empty());
}

TEST_F(FormsTest, CharactersWorkAsAcceleratorsUnlessTheFocusedControlTakesThem) {
  auto* form = new TDialogForm(nullptr);
  form->ok->accelerator = 'O';
  form->Show();
  Pump();
  ASSERT_TRUE(form->edit->Focused());
  std::string typed;
  form->edit->OnKeyPress = [&](TObject*, char& key) { typed += key; };
  Key('O');
  EXPECT_EQ(form->ok->clicks, 1);
  EXPECT_EQ(typed, "");
  Key('Q');
  EXPECT_EQ(typed, "q");
  form->edit->wantsChars = true;
  Key('O');
  EXPECT_EQ(form->ok->clicks, 1);
  EXPECT_EQ(typed, "qo");
  delete form;
}
