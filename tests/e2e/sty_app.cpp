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
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/E2eProgram.h"
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
using e2e::Say;
using namespace controls;

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


}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!e2e::OpenDisplay()) return 1;
  if (mode != "skin" || argc < 3) {
    std::cerr << "usage: sty_app skin <glyph.bmp>\n";
    return 2;
  }
  if (!BuildSkin(argv[2])) return 1;
  return e2e::RunCommands(RunCommand);
}
