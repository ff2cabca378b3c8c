// The program the picture-button and slider checks drive: a form with a
// picture button, a bitmap slider and a spin edit. It reports on stdout,
// one line per event, and reads commands from stdin on a timer.
//
//   pb_app [button.png]   prints BUTTON, THUMB and SPINUP (screen points to
//                         aim at), RULER (the slider's travel in screen x:
//                         start and end), XID (on X) and READY
//
// Events: CLICK, REPEAT, CHANGE <value>, CHANGED <value>, SPIN <text>.
// Commands: "value" prints VALUE <slider value>, "quit" ends the program (BYE).
#include <iostream>
#include <string>

#include "tests/e2e/E2eProgram.h"
#include "controls/pb/PbButton.h"
#include "controls/vx/VXSlider.h"
#include "controls/vx/VXSpin.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"
#include "platform/win/Api.h"
#include "platform/win/Display.h"
#include "platform/win/X11Backend.h"

namespace {

using namespace forms;
using e2e::Say;

void SayPoint(const char* tag, TControl* c, int x, int y) {
  const TPoint p = c->ClientToScreen(Point(x, y));
  Say(std::string(tag) + " " + std::to_string(p.x) + " " + std::to_string(p.y));
}

controls::TVxSlider* g_slider = nullptr;

void Build(const char* picture) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-e2e-pb");
  form->SetBorderStyle(bsNone);
  form->SetBounds(40, 30, 320, 200);
  form->SetColor(clSilver);

  auto* button = new controls::TPbButton(form);
  button->SetParent(form);
  button->SetBounds(20, 20, 80, 40);
  button->SetTransparent(true);
  button->SetCaption("Start");
  if (picture) {
    button->PicNormal()->LoadFromFile(picture);
  }
  button->OnClick = [](TObject*) { Say("CLICK"); };
  button->OnMouseContinuouslyDown = [](TObject*) { Say("REPEAT"); };

  auto* slider = new controls::TVxSlider(form);
  g_slider = slider;
  slider->SetParent(form);
  slider->SetBounds(20, 80, 150, 40);
  controls::TSliderOptions options = slider->Options();
  options.Exclude(controls::soSmooth);
  slider->SetOptions(options);
  slider->OnChange = [slider](TObject*) { Say("CHANGE " + std::to_string(slider->Value())); };
  slider->OnChanged = [slider](TObject*) { Say("CHANGED " + std::to_string(slider->Value())); };

  auto* spin = new controls::TVxSpinEdit(form);
  spin->SetParent(form);
  spin->SetBounds(200, 20, 80, 24);
  spin->SetMinValue(0);
  spin->SetMaxValue(9);
  spin->OnChange = [spin](TObject*) { Say("SPIN " + spin->Text()); };

  Application->MainForm()->Show();
  Application->ProcessMessages();
  SayPoint("BUTTON", button, 40, 20);
  const TRect thumb = slider->ThumbRect();
  SayPoint("THUMB", slider, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
  const TPoint start = slider->ClientToScreen(Point(slider->OffsetOfValue(slider->MinValue()), 0));
  const TPoint end = slider->ClientToScreen(Point(slider->OffsetOfValue(slider->MaxValue()), 0));
  Say("RULER " + std::to_string(start.x) + " " + std::to_string(end.x));
  controls::TVxSpinButton* b = spin->SpinButton();
  SayPoint("SPINUP", b, b->Width() / 4, b->Height() / 4);
}

void RunCommand(const std::string& line) {
  if (line == "quit") {
    Application->Terminate();
  } else if (line == "value") {
    Application->ProcessMessages();
    Say("VALUE " + std::to_string(g_slider->Value()));
  } else if (!line.empty()) {
    Say("ERROR unknown " + line);
  }
}


}  // namespace

int main(int argc, char** argv) {
  if (!e2e::OpenDisplay()) return 1;
  try {
    Build(argc > 1 ? argv[1] : nullptr);
  } catch (const rtl::Exception& e) {
    std::cerr << "cannot build the form: " << e.Message() << "\n";
    return 1;
  }
  return e2e::RunCommands(RunCommand, /*showMainForm=*/false);
}
