// How long the GUI thread is held when the browser opens an album of a few
// hundred files: the scan as built (slots with names, thumbnails loaded by
// the view's workers once in view) against the same scan loading every
// thumbnail on the spot. The pictures are real JPEGs made by ImageMagick.
//
//   app_bench_BrowserScanBench [--benchmark_...]
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/MainUnit.h"
#include "app/Program.h"
#include "platform/rtl/Text.h"

namespace {

namespace fs = std::filesystem;

struct Album {
  std::string root, folder;
  app::TfrmMain* main = nullptr;

  Album() {
    char pattern[] = "/tmp/vorix-scan-bench-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    root = pattern;
    setenv("HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/home/.config").c_str(), 1);
    fs::create_directories(root + "/home");
    fs::create_directories(root + "/prog");
    folder = root + "/album/";
    fs::create_directories(folder);
    const std::string seed = folder + "seed.jpg";
    const std::string make = "convert -size 640x480 plasma:fractal -quality 85 '" + seed + "' 2>/dev/null";
    if (std::system(make.c_str()) != 0 || !fs::exists(seed)) {
      std::fprintf(stderr, "ImageMagick convert is needed\n");
      std::exit(1);
    }
    // 250 pictures and 50 videos with their companions: 300 slots.
    for (int i = 0; i < 300; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "pic%03d.jpg", i);
      fs::copy_file(seed, folder + name);
      if (i >= 250) {
        std::snprintf(name, sizeof name, "pic%03d.avi", i);
        std::FILE* f = std::fopen((folder + name).c_str(), "wb");
        if (f) std::fclose(f);
      }
    }
    fs::remove(seed);
    main = app::StartProgram(root + "/prog/", false);
  }
  ~Album() {
    app::EndProgram();
    fs::remove_all(root);
  }
};

Album& TheAlbum() {
  static Album album;
  return album;
}

// The scan the browser runs: the GUI is free again when it returns.
void BM_OpenAlbum(benchmark::State& state) {
  Album& a = TheAlbum();
  for (auto _ : state) {
    a.main->imvViewer->Clear();
    a.main->ScanMediaFolder(3, a.folder, false);
    benchmark::DoNotOptimize(a.main->imvViewer->GetImageCount());
  }
  state.counters["slots"] = a.main->imvViewer->GetImageCount();
}
BENCHMARK(BM_OpenAlbum)->Unit(benchmark::kMillisecond);

// The same scan with every thumbnail read while its slot is added.
void BM_OpenAlbumLoadingEachThumbnail(benchmark::State& state) {
  Album& a = TheAlbum();
  for (auto _ : state) {
    a.main->imvViewer->Clear();
    a.main->ScanMediaFolder(3, a.folder, false);
    for (int32_t i = 0; i < a.main->imvViewer->GetImageCount(); ++i)
      a.main->imvViewer->SetImageFromFile(i, a.main->imvViewer->GetImageFileName(i));
  }
  state.counters["slots"] = a.main->imvViewer->GetImageCount();
}
BENCHMARK(BM_OpenAlbumLoadingEachThumbnail)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
