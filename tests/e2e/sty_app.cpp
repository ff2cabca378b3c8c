// The program the style family's end-to-end checks drive: a form shaped and
// faced by a skin glyph read from a BMP file, with a transparent picture
// panel and a flat combo box on it. It reports on stdout, one line per
// event, and reads commands from stdin on a timer.
//
//   sty_app skin <glyph.bmp>   prints RECT lines (the window region), WINDOW,
//                              XID (on X) and READY
//
// Commands: "where" prints WINDOW, "save <png>" writes the window as the
// program renders it, "quit" ends the program (BYE).
#include <poll.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "controls/sty/STYComboBox.h"
#include "controls/sty/STYImagePanel.h"
#include "controls/sty/STYSkinForm.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Timers.h"
#include "platform/win/Api.h"
#include "platform/win/Display.h"
#include "platform/win/Region.h"
#include "platform/win/X11Backend.h"

namespace {

using namespace forms;
using namespace controls;

void Say(const std::string& line) { std::cout << line << std::endl; }

std::string RectLine(const char* tag, const win::RECT& r) {
  std::ostringstream s;
  s << tag << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom;
  return s.str();
}

void ReportPlacement() {
  win::RECT r{};
  win::GetWindowRect(Application->MainForm()->Handle(), &r);
  Say(RectLine("WINDOW", r));
}

// The window region as the platform holds it, one RECT line per rectangle.
void ReportRegion(win::HWND hwnd) {
  win::HRGN rgn = win::CreateRectRgn(0, 0, 0, 0);
  if (win::GetWindowRgn(hwnd, rgn) != win::ERROR) {
    const win::DWORD bytes = win::GetRegionData(rgn, 0, nullptr);
    std::vector<char> buffer(bytes);
    auto* data = reinterpret_cast<win::RGNDATA*>(buffer.data());
    if (win::GetRegionData(rgn, bytes, data) != 0) {
      const auto* rects = reinterpret_cast<const win::RECT*>(data->Buffer);
      for (win::DWORD i = 0; i < data->rdh.nCount; ++i) Say(RectLine("RECT", rects[i]));
    }
  }
  win::DeleteObject(rgn);
}

bool BuildSkin(const std::string& glyphFile) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("vorix-e2e-sty-skin");
  form->SetBounds(30, 20, 100, 100);
  auto* skin = new TstySkinForm(form);
  skin->SetParent(form);
  TBitmap glyph;
  try {
    glyph.LoadFromFile(glyphFile);
  } catch (const rtl::Exception& e) {
    std::cerr << "cannot read the glyph: " << e.Message() << "\n";
    return false;
  }
  skin->SetGlyph(&glyph);
  auto* panel = new TstyImagePanel(form);
  panel->SetParent(form);
  panel->SetBounds(40, 40, 120, 24);
  panel->SetTransparent(true);
  panel->SetCaption("Album");
  auto* combo = new TstyComboBox(form);
  combo->SetParent(form);
  combo->SetStyle(csDropDownList);
  combo->SetBounds(40, 80, 120, 22);
  for (const char* s : {"First", "Second"}) combo->Items()->Add(s);
  combo->SetItemIndex(0);
  ReportRegion(form->Handle());
  ReportPlacement();
  return true;
}

void RunCommand(const std::string& line) {
  std::istringstream in(line);
  std::string verb, rest;
  in >> verb;
  std::getline(in >> std::ws, rest);
  if (verb == "quit") {
    Application->Terminate();
  } else if (verb == "where") {
    Application->ProcessMessages();
    ReportPlacement();
  } else if (verb == "save") {
    Application->ProcessMessages();
    Say(win::SaveWindowPng(Application->MainForm()->Handle(), rest) ? "SAVED" : "ERROR save");
  } else if (!verb.empty()) {
    Say("ERROR unknown " + verb);
  }
}

// Whole lines of stdin become commands; the end of input ends the program,
// so a driver that dies takes it along.
class CommandReader {
public:
  void Poll() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP))) {
      char chunk[512];
      const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
      if (n <= 0) {
        Application->Terminate();
        return;
      }
      pending_.append(chunk, static_cast<size_t>(n));
      for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        const std::string one = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        RunCommand(one);
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
  if (mode != "skin" || argc < 3) {
    std::cerr << "usage: sty_app skin <glyph.bmp>\n";
    return 2;
  }
  if (!BuildSkin(argv[2])) return 1;
  CommandReader reader;
  TTimer timer(nullptr);
  timer.SetInterval(20);
  timer.OnTimer = [&reader](TObject*) { reader.Poll(); };
  timer.SetEnabled(true);
  Application->MainForm()->Show();
  Application->ProcessMessages();
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
