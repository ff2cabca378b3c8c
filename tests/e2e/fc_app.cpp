// The program the Fc and layered-window checks drive. It opens one window and
// reports on stdout, one line per event; commands arrive on stdin, read on a
// timer so the message loop never blocks.
//
//   fc_app splash <png>   a 496 x 193 layered splash at (60, 50) showing the picture
//   fc_app checkbox       a form with a glyph check box (prints BOX x y, then
//                         CLICK <state> whenever the state changes)
//
// Commands: "quit" ends the program.
#include <poll.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "controls/fc/FcRadChk.h"
#include "controls/layered/LayeredWnd.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"
#include "platform/win/Display.h"
#include "platform/win/X11Backend.h"

namespace {

using namespace forms;

void Say(const std::string& line) { std::cout << line << std::endl; }

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

class CommandReader {
public:
  void Poll() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP))) {
      char chunk[256];
      const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        Application->Terminate();
        return;
      }
      pending_.append(chunk, static_cast<size_t>(n));
      for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (line == "quit") Application->Terminate();
        else if (!line.empty()) Say("ERROR unknown " + line);
      }
    }
  }

private:
  std::string pending_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (std::getenv("DISPLAY") && !win::InitDisplay()) {
    std::cerr << "cannot open the X display\n";
    return 1;
  }
  Application->Initialize();
  if (mode == "splash" && argc > 2) {
    BuildSplash(argv[2]);
  } else if (mode == "checkbox") {
    BuildCheckBox();
  } else {
    std::cerr << "usage: fc_app splash <png> | checkbox\n";
    return 2;
  }
  CommandReader reader;
  TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&reader](TObject*) { reader.Poll(); };
  timer.SetEnabled(true);
  Application->MainForm()->Show();
  Application->ProcessMessages();
  if (auto* splash = dynamic_cast<controls::TfrmLayered*>(Application->MainForm())) splash->Repaint();
  if (win::X11DisplayActive()) {
    win::X11Sync();
    Say("XID " + std::to_string(win::X11WindowOf(Application->MainForm()->Handle())));
  }
  Say("READY");
  Application->Run();
  Application->SetMainForm(nullptr);
  while (Screen->FormCount() > 0) delete Screen->Forms(0);
  win::ShutdownDisplay();
  Say("BYE");
  return 0;
}
