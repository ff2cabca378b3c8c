// The program the level meter and tree checks drive: one window laid out as
// the motion settings window places them, a 424 x 60 meter at the middle
// level and a check tree. It reports on stdout, one line per event.
//
//   fcmeter_app
//
// Prints METER x y (the meter's top-left on the screen), BOX <node> x y (the
// middle of each node's box on the screen), then STATE <node> <state>
// whenever a node's box changes. Commands: "quit" ends the program.
#include <iostream>
#include <string>

#include "controls/fcborder_treevw/FcBorder.h"
#include "controls/fcborder_treevw/FcStartup.h"
#include "controls/fcborder_treevw/FcTreeVw.h"
#include "platform/forms/Forms.h"
#include "tests/e2e/E2eProgram.h"

namespace {

using namespace forms;
using e2e::Say;

controls::TFcCheckTree* g_tree = nullptr;

void Build() {
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-fc-meter");
  form->SetBorderStyle(bsNone);
  form->SetBounds(30, 40, 480, 320);

  auto* meter = new controls::TFcMeter(form);
  meter->SetParent(form);
  meter->SetBounds(20, 20, 424, 60);
  meter->SetMax(1000);
  meter->SetMin(0);
  meter->SetBackColor(clWhite);
  meter->SetSegOffColor(clWhite);
  for (int g = 1; g <= 3; ++g) meter->SetSegCount(g, 35);
  meter->SetSegColor(2, clBlue);
  meter->SetValue(500);

  g_tree = new controls::TFcCheckTree(form);
  g_tree->SetParent(form);
  g_tree->SetBounds(20, 100, 250, 180);
  g_tree->SetShowButtons(false);
  g_tree->SetShowLines(false);
  g_tree->SetIndent(19);
  TTreeNode* alarm = g_tree->Items()->AddChild(nullptr, "Alarm");
  g_tree->Items()->AddChild(alarm, "Mail");
  g_tree->Items()->AddChild(alarm, "Upload");
  g_tree->Items()->AddChild(alarm, "Sound");
  g_tree->FullExpand();
  g_tree->OnStateChange = [](TObject*, TTreeNode* n, controls::TFcCheckState s) {
    Say("STATE " + n->Text() + " " + std::to_string(static_cast<int>(s)));
  };
}

void Announce() {
  TControl* meter = Application->MainForm()->Controls(0);
  const TPoint m = meter->ClientToScreen(Point(0, 0));
  Say("METER " + std::to_string(m.x) + " " + std::to_string(m.y));
  for (TTreeNode* n = g_tree->Items()->GetFirstNode(); n; n = n->GetNext()) {
    const TRect r = n->DisplayRect(true);
    const TPoint p = g_tree->ClientToScreen(Point(r.left - 8, (r.top + r.bottom) / 2));
    Say("BOX " + n->Text() + " " + std::to_string(p.x) + " " + std::to_string(p.y));
  }
}

}  // namespace

int main() {
  controls::FcLibraryStartup();
  if (!e2e::OpenDisplay()) return 1;
  Build();
  const int status = e2e::RunCommands(e2e::QuitOnly, true, Announce);
  controls::FcLibraryShutdown();
  return status;
}
