// The program the thumbnail view check drives: a form filled by a thumbnail
// view set up as the media browser sets up its own, showing every picture
// of the folder given as the argument (one slot each, its thumbnail loaded
// at once, its file name as the bottom caption). It prints ORIGIN <x> <y>
// (the view's client origin on the screen), COUNT <slots> <columns>
// <failed loads>, CELL <i> <x> <y> <w> <h> for
// the first slots (client coordinates of the thumbnail area), XID and
// READY; "quit" ends the program (BYE).
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/views/ikmview.h"
#include "platform/rtl/Text.h"
#include "tests/e2e/E2eProgram.h"

namespace {

using namespace forms;
using e2e::Say;

imaging::TImgKitMView* g_view = nullptr;
int g_failed = 0;

void Build(const std::string& folder) {
  auto* form = new TForm(nullptr);
  form->SetCaption("Thumbnails");
  form->SetBounds(40, 40, 640, 480);
  auto* view = new imaging::TImgKitMView(form);
  view->SetParent(form);
  view->SetAlign(alClient);
  // The media browser's settings.
  view->SetBackground(clWhite);
  view->SetCtl3D(false);
  view->SetParentCtl3D(false);
  view->SetStoreType(imaging::iktThumb);
  view->SetThumbWidth(80);
  view->SetThumbHeight(60);
  view->SetMouseInteract(imaging::TIKMMouseInteract{imaging::mmiScroll, imaging::mmiSelect});
  view->SetGridWidth(-1);
  view->SetSelectionWidth(2);
  view->SetSelectionColor(clRed);
  view->SetImageCacheSize(4);
  view->SetStyle(imaging::ikmsFlat);
  view->SetThumbnailsBackground(static_cast<TColor>(win::RGB(240, 202, 166)));
  view->SetThumbnailsBorderColor(clBlack);
  view->SetFillCellBackground(true);
  view->EnableAlphaChannel = true;
  view->SoftShadow().Enabled = true;
  view->SetEnableMultiSelect(true);
  view->SetDisplayCacheEnabled(true);
  g_view = view;

  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    const int32_t slot = view->AppendImage();
    if (!view->SetImageFromFile(slot, file)) ++g_failed;
    view->SetImageFileName(slot, file);
    view->GetImageBottomText(slot)->SetCaption(rtl::AnsiToWide(std::filesystem::path(file).filename().string()));
  }
  view->DeselectAll();
  view->SetSelectedImage(0);
  Application->SetMainForm(form);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !e2e::OpenDisplay()) return 1;
  Build(argv[1]);
  return e2e::RunCommands(e2e::QuitOnly, /*showMainForm=*/true, [] {
    Application->ProcessMessages();
    const TPoint origin = g_view->ClientToScreen(Point(0, 0));
    Say("ORIGIN " + std::to_string(origin.x) + " " + std::to_string(origin.y));
    Say("COUNT " + std::to_string(g_view->GetImageCount()) + " " + std::to_string(g_view->ColumnCount()) + " " +
        std::to_string(g_failed));
    for (int32_t i = 0; i < std::min(g_view->GetImageCount(), 12); ++i) {
      const int32_t col = g_view->GetImageCol(i), row = g_view->GetImageRow(i);
      const int32_t x = 4 + col * 84 - g_view->ViewX(), y = 4 + row * 64 - g_view->ViewY();
      Say("CELL " + std::to_string(i) + " " + std::to_string(x) + " " + std::to_string(y) + " 80 60 " +
          std::to_string(g_view->BottomGap()));
    }
  });
}
