// The program the folder-picker and wide-dialog checks drive. It opens a
// small main form and takes commands on stdin, reporting on stdout:
//
//   pick <path>   runs a folder picker with Path <path> ("-" for empty);
//                 once the browser is up it prints DIALOG, OK <0|1> (the OK
//                 button's state) and CHILD x y (the screen point of the
//                 first sub-folder of the selection, opened); every
//                 selection prints SELECTED <path> and OK <0|1>; at the end
//                 RESULT <0|1> <Path>
//   pickfs        the same with file-system folders only and an empty Path
//   message       a wide message box (text outside any 8-bit code page),
//                 Yes and No; prints DIALOG, then ANSWER <modal result>
//   quit          ends the program
#include <iostream>
#include <string>

#include "controls/uc/JAMDialogs.h"
#include "controls/uc/UcDialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/TreeView.h"
#include "platform/rtl/Text.h"
#include "platform/shell/BrowseForFolder.h"
#include "platform/win/Window.h"
#include "tests/e2e/E2eProgram.h"

namespace {

using namespace forms;
using e2e::Say;

std::string Point(TControl* c, int x, int y) {
  const TPoint p = c->ClientToScreen(forms::Point(x, y));
  return std::to_string(p.x) + " " + std::to_string(p.y);
}

void Pick(const std::string& path, bool fileSystemOnly) {
  controls::TShBrowseForFolder picker(Application->MainForm());
  picker.SetTitle(u"Choose the storage folder \u0416\u4e2d");
  picker.SetPath(path == "-" ? rtl::WideString() : rtl::Utf8ToWide(path));
  if (fileSystemOnly) picker.SetOptions(controls::TShBrowseFlags{controls::bfNewDialogStyle, controls::bfFileSystemOnly});
  bool first = true;
  picker.OnChange = [&](TObject*) {
    win::HWND dialog = picker.DialogWindow();
    const bool ok = win::IsWindowEnabled(win::GetDlgItem(dialog, shell::kBrowseOkId));
    if (!first) {
      Say("SELECTED " + rtl::WideToUtf8(picker.Path()));
      Say(std::string("OK ") + (ok ? "1" : "0"));
      return;
    }
    first = false;
    // The browser has its place already; it shows right after this.
    auto* tree = dynamic_cast<TTreeView*>(FindControl(win::GetDlgItem(dialog, shell::kBrowseTreeId)));
    Say("DIALOG");
    Say(std::string("OK ") + (ok ? "1" : "0"));
    TTreeNode* selected = tree->Selected();
    selected->Expand(false);
    if (TTreeNode* child = selected->GetFirstChild()) {
      child->MakeVisible();
      const TRect r = child->DisplayRect(true);
      Say("CHILD " + Point(tree, r.left + 4, (r.top + r.bottom) / 2));
    }
  };
  const bool chosen = picker.Execute();
  Say(std::string("RESULT ") + (chosen ? "1 " : "0 ") + rtl::WideToUtf8(picker.Path()));
}

void Message() {
  controls::UcApplication()->SetTitle(u"Vorix \u65e5\u672c");
  // The dialog says DIALOG once it is up.
  struct Announce : forms::TDialogPresenter {
    int ShowDialog(TCustomForm* dialog) override {
      dialog->OnActivate = [dialog](TObject*) {
        dialog->OnActivate = nullptr;
        Say("DIALOG");
      };
      return dialog->ShowModal();
    }
  } announce;
  forms::ScopedDialogPresenter scoped(&announce);
  const int answer = controls::WideMessageBoxAt(u"\u0424\u0430\u0439\u043b \u00ab\u4e2d\u6587\u00bb \u2014 delete?",
                                                forms::mtConfirmation, forms::TMsgDlgButtons{forms::mbYes, forms::mbNo},
                                                0, -1, -1);
  Say("ANSWER " + std::to_string(answer));
}

void RunCommand(const std::string& line) {
  if (line == "quit")
    Application->Terminate();
  else if (line.rfind("pick ", 0) == 0)
    Pick(line.substr(5), false);
  else if (line == "pickfs")
    Pick("-", true);
  else if (line == "message")
    Message();
  else if (!line.empty())
    Say("ERROR unknown " + line);
}

}  // namespace

int main() {
  if (!e2e::OpenDisplay()) return 1;
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-uc");
  form->SetBounds(10, 10, 200, 100);
  return e2e::RunCommands(RunCommand);
}
