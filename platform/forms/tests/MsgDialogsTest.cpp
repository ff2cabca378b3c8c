#include <gtest/gtest.h>

#include <functional>

#include "platform/forms/MsgDialogs.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace forms;
using formstest::FormsFixture;

std::vector<TButton*> Buttons(TCustomForm* form) {
  std::vector<TButton*> out;
  for (int i = 0; i < form->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TButton*>(form->Controls(i))) out.push_back(b);
  return out;
}

// Records the dialogs and answers with a scripted action on the form.
class ScriptedPresenter : public TDialogPresenter {
public:
  int ShowDialog(TCustomForm* dialog) override {
    seen.push_back(dialog->Caption());
    names.clear();
    for (TButton* b : Buttons(dialog)) names.push_back(b->Name());
    return answer ? answer(dialog) : mrNone;
  }
  std::function<int(TCustomForm*)> answer;
  std::vector<String> seen;
  std::vector<String> names;
};

// Whether the image shows the stock icon of that number, pixel for pixel.
bool SameIcon(TImage* image, uintptr_t id) {
  if (!image->Picture()->Graphic()) return false;
  TIcon expected;
  expected.SetHandle(win::CopyIcon(win::LoadIconA(nullptr, win::MAKEINTRESOURCEA(id))));
  TBitmap* want = expected.Image();
  TBitmap* have = image->Picture()->Icon()->Image();
  for (int y = 0; y < 32; y += 3)
    for (int x = 0; x < 32; x += 3)
      if (want->Canvas()->Pixels(x, y) != have->Canvas()->Pixels(x, y)) return false;
  return true;
}

class MsgDialogsTest : public FormsFixture {
protected:
  void TearDown() override {
    SetMessageBoxPresenter(nullptr);
    FormsFixture::TearDown();
  }
  // The dialog units measured apart from the dialog: the letters' average
  // width and the text height of the form's font.
  static TPoint ExpectedUnits(TFont* font) {
    win::HDC dc = win::CreateCompatibleDC(nullptr);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.SetFont(font);
    const TSize s = canvas.TextExtent("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    canvas.SetHandle(nullptr);
    win::DeleteDC(dc);
    return Point((s.cx / 26 + 1) / 2, s.cy);
  }
};

TEST_F(MsgDialogsTest, MessageDialogLayout) {
  std::unique_ptr<TMessageForm> form(
      CreateMessageDialog("The folder name existed", mtConfirmation, TMsgDlgButtons{mbCancel, mbNo, mbYes, mbHelp}));
  EXPECT_EQ(form->Caption(), "Confirm");
  EXPECT_EQ(form->BorderStyle(), bsDialog);
  const TPoint du = ExpectedUnits(form->Font());
  EXPECT_EQ(form->DialogUnits().x, du.x);
  ASSERT_GT(du.x, 0);

  auto buttons = Buttons(form.get());
  ASSERT_EQ(buttons.size(), 4u);
  const char* names[] = {"Yes", "No", "Cancel", "Help"};
  const TModalResult results[] = {mrYes, mrNo, mrCancel, mrNone};
  const int margin = (8 * du.x + 2) / 4, spacing = (4 * du.x + 2) / 4;
  const int width = buttons[0]->Width();
  EXPECT_GE(width, (50 * du.x + 2) / 4);
  const int group = 4 * width + 3 * spacing;
  for (size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_EQ(buttons[i]->Name(), names[i]);
    EXPECT_EQ(buttons[i]->ModalResult(), results[i]);
    EXPECT_EQ(buttons[i]->Width(), width);
    EXPECT_EQ(buttons[i]->Height(), (14 * du.y + 4) / 8);
    EXPECT_EQ(buttons[i]->Left(), (form->ClientWidth() - group) / 2 + static_cast<int>(i) * (width + spacing));
    EXPECT_EQ(buttons[i]->Top(), buttons[0]->Top());
  }
  EXPECT_TRUE(buttons[0]->Default());
  EXPECT_TRUE(buttons[2]->Cancel());
  EXPECT_FALSE(buttons[1]->Cancel());

  auto* image = dynamic_cast<TImage*>(form->FindComponent("Image"));
  auto* message = dynamic_cast<TLabel*>(form->FindComponent("Message"));
  ASSERT_TRUE(image && message);
  EXPECT_TRUE(SameIcon(image, win::IDI_QUESTION));
  EXPECT_FALSE(SameIcon(image, win::IDI_HAND));
  EXPECT_EQ(image->Left(), margin);
  EXPECT_EQ(message->Left(), margin + 32 + (10 * du.x + 2) / 4);
  EXPECT_EQ(message->Caption(), "The folder name existed");
  // Neither the text nor the buttons run off the client area.
  EXPECT_LE(message->Left() + message->Width(), form->ClientWidth() - margin);
  EXPECT_LE(buttons[0]->Top() + buttons[0]->Height(), form->ClientHeight() - (8 * du.y + 4) / 8);
  EXPECT_GE(buttons[0]->Top(), image->Top() + 32);

  form->Show();
  Pump();
  const std::string png = ::testing::TempDir() + "forms_message_dialog.png";
  EXPECT_TRUE(win::SaveWindowPng(form->Handle(), png));
  std::printf("message dialog picture: %s\n", png.c_str());
}

TEST_F(MsgDialogsTest, TypesAndDefaults) {
  struct Case {
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    const char* caption;
    uintptr_t icon;
    const char* defaultName;
    const char* cancelName;
  } cases[] = {
      {mtWarning, {mbOK}, "Warning", win::IDI_EXCLAMATION, "OK", "OK"},
      {mtError, {mbAbort, mbRetry, mbIgnore}, "Error", win::IDI_HAND, "Abort", ""},
      {mtInformation, {mbOK, mbCancel}, "Information", win::IDI_ASTERISK, "OK", "Cancel"},
      {mtConfirmation, {mbYes, mbNo}, "Confirm", win::IDI_QUESTION, "Yes", "No"},
      {mtCustom, {mbYesToAll, mbNoToAll, mbAll}, "Vorix test", 0, "All", ""},
  };
  Application->SetTitle("Vorix test");
  for (const auto& c : cases) {
    std::unique_ptr<TMessageForm> form(CreateMessageDialog("x", c.type, c.buttons));
    EXPECT_EQ(form->Caption(), c.caption);
    auto* image = dynamic_cast<TImage*>(form->FindComponent("Image"));
    EXPECT_EQ(image->Visible(), c.icon != 0) << c.caption;
    if (c.icon) {
      EXPECT_TRUE(SameIcon(image, c.icon)) << c.caption;
    }
    String def, cancel;
    for (TButton* b : Buttons(form.get())) {
      if (b->Default()) def += b->Name();
      if (b->Cancel()) cancel += b->Name();
    }
    EXPECT_EQ(def, c.defaultName) << c.caption;
    EXPECT_EQ(cancel, c.cancelName) << c.caption;
  }
}

TEST_F(MsgDialogsTest, ModalDialogAnswersTheClickedButton) {
  // The real modal form: the test clicks a button once the loop idles.
  struct Case {
    const char* what;
    std::function<void(TCustomForm*)> act;
    int expected;
  } cases[] = {
      {"click No",
       [](TCustomForm* f) {
         auto* no = dynamic_cast<TControl*>(f->FindComponent("No"));
         const win::POINT p = no->ClientToScreen(Point(no->Width() / 2, no->Height() / 2));
         win::InjectClick(p.x, p.y);
       },
       mrNo},
      {"Esc", [](TCustomForm*) { win::InjectKeyPress(win::VK_ESCAPE); }, mrCancel},
      {"Enter", [](TCustomForm*) { win::InjectKeyPress(win::VK_RETURN); }, mrYes},
  };
  for (const auto& c : cases) {
    bool acted = false;
    Application->OnIdle = [&](TObject*, bool& done) {
      done = false;
      TCustomForm* dialog = Screen->ActiveForm();
      if (acted || !dialog || !dialog->Visible()) return;
      acted = true;
      c.act(dialog);
    };
    EXPECT_EQ(MessageDlg("Replace the file?", mtConfirmation, mbYesNoCancel, 0), c.expected) << c.what;
    Application->OnIdle = nullptr;
  }
  EXPECT_EQ(Screen->FormCount(), 0) << "the dialog is freed";
}

TEST_F(MsgDialogsTest, MessageBoxesInputQueryAndShowMessage) {
  ScriptedPresenter presenter;
  ScopedDialogPresenter scope(&presenter);
  InstallMessageBoxDialogs();
  win::ClearBeeps();
  struct Case {
    win::UINT flags;
    std::vector<String> names;
    const char* defaultName;
  } cases[] = {
      {MB_OK | MB_ICONWARNING, {"OK"}, "OK"},
      {MB_RETRYCANCEL | MB_ICONERROR | MB_DEFBUTTON2, {"Retry", "Cancel"}, "Cancel"},
      {MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3, {"Yes", "No", "Cancel"}, "Cancel"},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, {"Abort", "Retry", "Ignore"}, "Retry"},
  };
  for (const auto& c : cases) {
    String def;
    int last = 0;
    presenter.answer = [&](TCustomForm* f) {
      for (TButton* b : Buttons(f))
        if (b->Default()) def = b->Name();
      last = Buttons(f).back()->ModalResult();
      return last;
    };
    const int answer = Application->MessageBox("Rename Failed!", "Vorix", c.flags);
    EXPECT_EQ(presenter.names, c.names);
    EXPECT_EQ(def, c.defaultName);
    EXPECT_EQ(presenter.seen.back(), "Vorix");
    EXPECT_EQ(answer, last);
    EXPECT_NE(last, 0);
  }
  const std::vector<win::UINT> beeps = win::RecordedBeeps();
  ASSERT_EQ(beeps.size(), 4u);
  EXPECT_EQ(beeps[0], MB_ICONWARNING);
  EXPECT_EQ(beeps[1], MB_ICONERROR);

  // InputQuery answers the edit's text on OK, keeps the value on Cancel.
  String value = "old";
  presenter.answer = [](TCustomForm* f) {
    EXPECT_EQ(dynamic_cast<TControl*>(f->FindComponent("Prompt"))->Caption(), "Please input new folder name");
    dynamic_cast<TControl*>(f->FindComponent("Edit"))->SetText("new folder");
    return mrOk;
  };
  EXPECT_TRUE(InputQuery("New folder", "Please input new folder name", value));
  EXPECT_EQ(value, "new folder");
  EXPECT_EQ(presenter.seen.back(), "New folder");
  presenter.answer = [](TCustomForm* f) {
    dynamic_cast<TControl*>(f->FindComponent("Edit"))->SetText("ignored");
    return mrCancel;
  };
  EXPECT_FALSE(InputQuery("New folder", "Name", value));
  EXPECT_EQ(value, "new folder");

  Application->SetTitle("Vorix Video Capture");
  presenter.answer = nullptr;
  ShowMessage("The folder name existed");
  EXPECT_EQ(presenter.seen.back(), "Vorix Video Capture");
  EXPECT_EQ(presenter.names, std::vector<String>{"OK"});
}

TEST_F(MsgDialogsTest, InputQueryTypedIntoTheRealForm) {
  const char* typed = "ab";
  int step = 0;
  Application->OnIdle = [&](TObject*, bool& done) {
    done = false;
    TCustomForm* dialog = Screen->ActiveForm();
    if (!dialog || !dialog->Visible()) return;
    if (step == 0) {
      win::InjectKeyPress(win::VK_BACK);
      for (const char* p = typed; *p; ++p) win::InjectKeyPress(static_cast<win::UINT>(std::toupper(*p)));
      win::InjectKeyPress(win::VK_RETURN);
    }
    ++step;
  };
  String value = "xyz";
  EXPECT_TRUE(InputQuery("New folder", "Name", value));
  // The value starts selected: Backspace clears it all.
  EXPECT_EQ(value, "ab");
}

}  // namespace
