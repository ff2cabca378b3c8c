// Wall time of a thumbnail view, set up as the media browser sets up its
// own, filling itself with the thumbnails of every JPEG in a folder through
// its background loaders (one per processor), from the first paint until
// every cell shows its picture.
//
//   imaging_views_bench_ThumbViewBench <folder> [runs]
//
// Prints one line per run and the median: "thumbview <files> files <ms> ms".
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "imaging/views/ikmview.h"
#include "platform/forms/Forms.h"

namespace {

using namespace forms;
using Clock = std::chrono::steady_clock;

double FillOnce(const std::vector<std::string>& files) {
  auto* form = new TForm(nullptr);
  form->SetBorderStyle(bsNone);
  // Every cell visible at once: the whole folder is asked for at the first
  // paint, as a large window over a small folder would.
  const int columns = 20;
  const int rows = (static_cast<int>(files.size()) + columns - 1) / columns;
  form->SetBounds(0, 0, columns * 84 + 4, rows * 64 + 4);
  auto* view = new imaging::TImgKitMView(form);
  view->SetParent(form);
  view->SetAlign(alClient);
  view->SetBorderStyle(bsNone);
  view->SetBackground(clWhite);
  view->SetStoreType(imaging::iktThumb);
  view->SetThumbWidth(80);
  view->SetThumbHeight(60);
  view->SetGridWidth(-1);
  view->SetSelectionWidth(2);
  view->SetImageCacheSize(4);
  view->SetStyle(imaging::ikmsFlat);
  view->SetThumbnailsBackground(static_cast<TColor>(win::RGB(240, 202, 166)));
  view->SetThumbnailsBorderColor(clBlack);
  view->SetFillCellBackground(true);
  view->SoftShadow().Enabled = true;
  view->SetEnableMultiSelect(true);
  view->SetDisplayCacheEnabled(true);
  view->ThreadPoolSize = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  form->Show();
  Application->ProcessMessages();
  for (const std::string& file : files) {
    const int32_t slot = view->GetImageCount();
    view->InsertImageNoSelect(slot);
    view->SetImageFileName(slot, file);
  }
  Application->ProcessMessages();

  const Clock::time_point start = Clock::now();
  view->Invalidate();
  Application->ProcessMessages();
  if (!view->WaitForBackgroundLoads(600000)) {
    std::fprintf(stderr, "the loads did not end\n");
    std::exit(1);
  }
  // The completions' repaints draw every cell with its shadow.
  Application->ProcessMessages();
  view->Invalidate();
  Application->ProcessMessages();
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();

  for (int32_t i = 0; i < view->GetImageCount(); ++i) {
    if (!view->HasStoredImage(i) || view->GetStoredWidth(i) != 80) {
      std::fprintf(stderr, "slot %d has no 80-pixel thumbnail\n", i);
      std::exit(1);
    }
  }
  delete form;
  Application->ProcessMessages();
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <folder> [runs]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
    if (entry.path().extension() == ".jpg") files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    times.push_back(FillOnce(files));
    std::printf("run %d: %.1f ms\n", r + 1, times.back());
  }
  std::sort(times.begin(), times.end());
  std::printf("thumbview %zu files %.1f ms\n", files.size(), times[times.size() / 2]);
  return 0;
}
