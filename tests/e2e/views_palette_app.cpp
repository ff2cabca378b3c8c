// The program the imaging views' palette check drives: the palette dialog
// with a 256-colour ramp as the main window. It prints CELL <x> <y> (the
// screen centre of cell 37), XID (on X) and READY; a click on a cell prints
// PICKED <rrggbb>; "quit" ends the program (BYE).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "imaging/views/ikutilsPalette.h"
#include "tests/e2e/E2eProgram.h"

namespace {

using namespace forms;
using e2e::Say;

std::vector<uint8_t> g_palette;

void Build() {
  g_palette.resize(256 * 3);
  for (int i = 0; i < 256; ++i) {
    g_palette[3 * i] = static_cast<uint8_t>(i);
    g_palette[3 * i + 1] = static_cast<uint8_t>((i * 7) & 0xFF);
    g_palette[3 * i + 2] = static_cast<uint8_t>(255 - i);
  }
  auto* dialog = new imaging::TImgKitPaletteDialog(nullptr);
  dialog->SetPalette(g_palette.data(), 256);
  dialog->OnClick = [dialog](TObject*) {
    dialog->PaletteClick();
    if (dialog->ModalResult() != mrOk) return;
    const win::COLORREF c = ColorToRGB(dialog->PickedColor());
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
    Say(std::string("PICKED ") + text);
  };
  Application->SetMainForm(dialog);
}

}  // namespace

int main() {
  if (!e2e::OpenDisplay()) return 1;
  Build();
  return e2e::RunCommands(e2e::QuitOnly, /*showMainForm=*/true, [] {
    TCustomForm* dialog = Application->MainForm();
    const TRect cell = imaging::TImgKitPaletteDialog::CellRect(37);
    const TPoint p = dialog->ClientToScreen(Point((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2));
    Say("CELL " + std::to_string(p.x) + " " + std::to_string(p.y));
  });
}
