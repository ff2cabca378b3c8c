// The program the Fc and layered-window checks drive. It opens one window and
// reports on stdout, one line per event; commands arrive on stdin, read on a
// timer so the message loop never blocks.
//
//   fc_app splash <png>   a 496 x 193 layered splash at (60, 50) showing the picture
//   fc_app checkbox       a form with a glyph check box (prints BOX x y, then
//                         CLICK <state> whenever the state changes)
//
// Commands: "quit" ends the program.
#include <iostream>
#include <string>

#include "tests/e2e/E2eProgram.h"
#include "controls/fc/FcRadChk.h"
#include "controls/layered/LayeredWnd.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"
#include "platform/win/Display.h"
#include "platform/win/X11Backend.h"

namespace {

using namespace forms;
using e2e::Say;

void BuildSplash(const std::string& picture) {
  controls::TfrmLayered* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-fc-splash");
  form->SetBounds(60, 50, 496, 193);
  form->SetBackgroundImage(picture);
  form->Repaint();
}

void BuildCheckBox() {
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-fc-checkbox");
  form->SetBorderStyle(bsNone);
  form->SetBounds(40, 30, 240, 80);
  auto* box = new controls::TFcCheckBox(form);
  box->SetParent(form);
  box->SetBounds(20, 30, 160, 17);
  box->SetCaption("Motion Detection");
  box->SetAllowGrayed(false);
  box->OnClick = [box](TObject*) { Say("CLICK " + std::to_string(static_cast<int>(box->State()))); };
  const TPoint at = box->ClientToScreen(Point(5, 8));
  Say("BOX " + std::to_string(at.x) + " " + std::to_string(at.y));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!e2e::OpenDisplay()) return 1;
  if (mode == "splash" && argc > 2) {
    BuildSplash(argv[2]);
  } else if (mode == "checkbox") {
    BuildCheckBox();
  } else {
    std::cerr << "usage: fc_app splash <png> | checkbox\n";
    return 2;
  }
  return e2e::RunCommands(e2e::QuitOnly, true, [] {
    if (auto* splash = dynamic_cast<controls::TfrmLayered*>(Application->MainForm())) splash->Repaint();
  });
}
