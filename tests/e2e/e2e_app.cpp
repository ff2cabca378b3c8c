// The program the end-to-end checks drive: it opens the windows a check
// needs and reports what happened on stdout, one line per event, so the
// driver can follow it without reading its memory. Commands arrive on stdin
// one per line; they are read on a timer so the message loop never blocks.
//
//   e2e_app shaped     a borderless form clipped to a region (prints RECT lines)
//   e2e_app layered    a popup with per-pixel alpha (opaque, half and clear parts)
//   e2e_app form       an edit and a button (prints CHANGE, CLICK, TEXT)
//   e2e_app sheet      a form of standard controls in a fixed state
//
// Commands: "save <png>" writes the program's own rendering of its window,
// "front" brings the window to the front,
// "copy-text <text>", "copy-files <path>..." fill the clipboard,
// "paste" prints CLIPBOARD and FILES lines, "quit" ends the program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/E2eProgram.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timers.h"
#include "platform/win/Api.h"
#include "platform/win/Clipboard.h"
#include "platform/win/Display.h"
#include "platform/win/Region.h"
#include "platform/win/Styles.h"
#include "platform/win/X11Backend.h"
#include "platform/rtl/Text.h"

namespace {

using namespace forms;
using e2e::Say;

std::string RectLine(const char* tag, const win::RECT& r) {
  std::ostringstream s;
  s << tag << ' ' << r.left << ' ' << r.top << ' ' << r.right << ' ' << r.bottom;
  return s.str();
}

// The region's rectangles in window coordinates, one RECT line each, so the
// driver can compare them with the X shape rectangles.
void ReportRegion(win::HRGN rgn) {
  const win::DWORD bytes = win::GetRegionData(rgn, 0, nullptr);
  std::vector<char> buffer(bytes);
  auto* data = reinterpret_cast<win::RGNDATA*>(buffer.data());
  if (win::GetRegionData(rgn, bytes, data) == 0) return;
  const auto* rects = reinterpret_cast<const win::RECT*>(data->Buffer);
  for (win::DWORD i = 0; i < data->rdh.nCount; ++i) Say(RectLine("RECT", rects[i]));
}

void ReportPlacement(TCustomForm* form) {
  win::RECT r{};
  win::GetWindowRect(form->Handle(), &r);
  Say(RectLine("WINDOW", r));
}

TForm* MakeForm(const char* caption, int left, int top, int width, int height) {
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption(caption);
  form->SetBounds(left, top, width, height);
  return form;
}

void BuildShaped() {
  TForm* form = MakeForm("vorix-e2e-shaped", 40, 30, 200, 160);
  form->SetBorderStyle(bsNone);
  form->SetColor(clRed);
  // An ellipse with a square hole and a separate bar below: several bands,
  // curved edges and a hole, so a shape that only keeps the bounding box or
  // drops the hole shows.
  win::HRGN rgn = win::CreateEllipticRgn(0, 0, 200, 120);
  win::HRGN hole = win::CreateRectRgn(80, 40, 120, 80);
  win::HRGN bar = win::CreateRectRgn(20, 130, 180, 150);
  win::CombineRgn(rgn, rgn, hole, win::RGN_DIFF);
  win::CombineRgn(rgn, rgn, bar, win::RGN_OR);
  win::DeleteObject(hole);
  win::DeleteObject(bar);
  ReportRegion(rgn);
  win::SetWindowRgn(form->Handle(), rgn, win::TRUE);  // the window owns it now
  ReportPlacement(form);
}

void BuildLayered() {
  TForm* form = MakeForm("vorix-e2e-layered", 60, 50, 120, 80);
  form->SetBorderStyle(bsNone);
  win::HWND h = form->Handle();
  win::SetWindowLongA(h, win::GWL_EXSTYLE, win::GetWindowLongA(h, win::GWL_EXSTYLE) | win::WS_EX_LAYERED);
  // Left third opaque blue, middle third half-transparent blue
  // (premultiplied), right third fully clear.
  win::Surface pixels(120, 80);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 120; ++x) pixels.SetPixel(x, y, x < 40 ? 0xFF0000FFu : x < 80 ? 0x80000080u : 0u);
  const win::POINT at{60, 50};
  const win::SIZE size{120, 80};
  win::UpdateLayeredWindowFromSurface(h, &at, &size, pixels, win::POINT{0, 0}, 0, 255, win::ULW_ALPHA);
  ReportPlacement(form);
}

void BuildForm() {
  TForm* form = MakeForm("vorix-e2e-form", 50, 40, 300, 140);
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 200, 22);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(10, 50, 100, 28);
  button->SetCaption("Press");
  edit->OnChange = [edit](TObject*) { Say("CHANGE " + edit->Text()); };
  button->OnClick = [edit](TObject*) {
    Say("CLICK");
    Say("TEXT " + edit->Text());
  };
  form->SetActiveControl(edit);
  ReportPlacement(form);
  win::POINT e = edit->ClientToScreen(Point(100, 11));
  win::POINT b = button->ClientToScreen(Point(50, 14));
  Say("EDIT " + std::to_string(e.x) + ' ' + std::to_string(e.y));
  Say("BUTTON " + std::to_string(b.x) + ' ' + std::to_string(b.y));
}

void BuildSheet() {
  TForm* form = MakeForm("vorix-e2e-sheet", 20, 20, 360, 240);
  form->SetBorderStyle(bsNone);
  auto place = [form](TControl* c, int l, int t, int w, int h) {
    c->SetParent(form);
    c->SetBounds(l, t, w, h);
  };
  auto* label = new TLabel(form);
  place(label, 10, 10, 120, 16);
  label->SetCaption("Label &text");
  auto* edit = new TEdit(form);
  place(edit, 10, 30, 150, 22);
  edit->SetText("Edit text");
  auto* button = new TButton(form);
  place(button, 180, 28, 90, 26);
  button->SetCaption("Button");
  auto* check = new TCheckBox(form);
  place(check, 10, 62, 120, 18);
  check->SetCaption("Checked");
  check->SetChecked(true);
  auto* radio = new TRadioButton(form);
  place(radio, 140, 62, 120, 18);
  radio->SetCaption("Radio");
  radio->SetChecked(true);
  auto* list = new TListBox(form);
  place(list, 10, 90, 150, 80);
  for (const char* item : {"First", "Second", "Third"}) list->Items()->Add(item);
  auto* group = new TGroupBox(form);
  place(group, 180, 90, 160, 80);
  group->SetCaption("Group");
  ReportPlacement(form);
}

void PutClipboard(win::UINT format, const void* bytes, size_t size) {
  win::HGLOBAL block = win::GlobalAlloc(win::GHND, size);
  std::memcpy(win::GlobalLock(block), bytes, size);
  win::GlobalUnlock(block);
  win::SetClipboardData(format, block);
}

void CopyText(const std::string& text) {
  if (!win::OpenClipboard(nullptr)) return Say("ERROR clipboard busy");
  win::EmptyClipboard();
  PutClipboard(win::CF_TEXT, text.c_str(), text.size() + 1);
  win::CloseClipboard();
  Say("COPIED");
}

// A file list as the shell's drop block: a 20-byte header, then wide names
// each ending in a zero, and one more zero.
void CopyFiles(const std::vector<std::string>& paths) {
  std::vector<uint8_t> drop(20, 0);
  drop[0] = 20;
  drop[16] = 1;
  for (const std::string& p : paths) {
    for (char16_t c : rtl::Utf8ToWide(p)) drop.push_back(static_cast<uint8_t>(c)), drop.push_back(c >> 8);
    drop.insert(drop.end(), 2, 0);
  }
  drop.insert(drop.end(), 2, 0);
  if (!win::OpenClipboard(nullptr)) return Say("ERROR clipboard busy");
  win::EmptyClipboard();
  PutClipboard(win::CF_HDROP, drop.data(), drop.size());
  win::CloseClipboard();
  Say("COPIED");
}

void Paste() {
  if (!win::OpenClipboard(nullptr)) return Say("ERROR clipboard busy");
  if (win::HGLOBAL text = win::GetClipboardData(win::CF_TEXT))
    Say("CLIPBOARD " + std::string(static_cast<const char*>(win::GlobalLock(text))));
  if (win::HGLOBAL drop = win::GetClipboardData(win::CF_HDROP)) {
    const auto* bytes = static_cast<const uint8_t*>(win::GlobalLock(drop));
    const size_t size = win::GlobalSize(drop);
    uint32_t offset = 0;
    std::memcpy(&offset, bytes, 4);
    std::u16string name;
    for (size_t i = offset; i + 1 < size; i += 2) {
      char16_t c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
      if (c == 0) {
        if (name.empty()) break;
        Say("FILE " + rtl::WideToUtf8(name));
        name.clear();
      } else {
        name.push_back(c);
      }
    }
  }
  win::CloseClipboard();
  Say("PASTED");
}

void RunCommand(const std::string& line) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  std::string rest;
  std::getline(in >> std::ws, rest);
  if (verb == "quit") {
    Application->Terminate();
  } else if (verb == "save") {
    TCustomForm* form = Application->MainForm();
    Application->ProcessMessages();
    Say(form && win::SaveWindowPng(form->Handle(), rest) ? "SAVED" : "ERROR save");
  } else if (verb == "front") {
    Application->MainForm()->BringToFront();
    Application->ProcessMessages();
    Say("FRONT");
  } else if (verb == "copy-text") {
    CopyText(rest);
  } else if (verb == "copy-files") {
    std::vector<std::string> paths;
    std::istringstream again(rest);
    for (std::string p; again >> p;) paths.push_back(p);
    CopyFiles(paths);
  } else if (verb == "paste") {
    Paste();
  } else if (!verb.empty()) {
    Say("ERROR unknown " + verb);
  }
}


}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (!e2e::OpenDisplay()) return 1;
  if (mode == "shaped") {
    BuildShaped();
  } else if (mode == "layered") {
    BuildLayered();
  } else if (mode == "form") {
    BuildForm();
  } else if (mode == "sheet") {
    BuildSheet();
  } else {
    std::cerr << "usage: e2e_app shaped|layered|form|sheet\n";
    return 2;
  }
  return e2e::RunCommands(RunCommand);
}
