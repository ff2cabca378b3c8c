// Blits of a 1920x1080 32-bit picture against a plain memcpy of the same
// bytes; prints each ratio after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"

namespace {

using namespace win;

constexpr int kWidth = 1920, kHeight = 1080;

struct Dib {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint32_t* bits = nullptr;
  Dib(int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(nullptr);
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; ++i) bits[i] = static_cast<uint32_t>(i * 2654435761u) | 0x80000000u;
  }
  ~Dib() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

void Memcpy(benchmark::State& state) {
  std::vector<uint32_t> a(static_cast<size_t>(kWidth) * kHeight, 1), b(a.size());
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * 4);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
}

void BitBltSrcCopy(benchmark::State& state) {
  Dib src(kWidth, kHeight), dst(kWidth, kHeight);
  for (auto _ : state) {
    BitBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, SRCCOPY);
    benchmark::ClobberMemory();
  }
}

void StretchBltHalfToFull(benchmark::State& state) {
  Dib src(kWidth / 2, kHeight / 2), dst(kWidth, kHeight);
  SetStretchBltMode(dst.dc, COLORONCOLOR);
  for (auto _ : state) {
    StretchBlt(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, kWidth / 2, kHeight / 2, SRCCOPY);
    benchmark::ClobberMemory();
  }
}

void StretchBltHalftoneFullToHalf(benchmark::State& state) {
  Dib src(kWidth, kHeight), dst(kWidth / 2, kHeight / 2);
  SetStretchBltMode(dst.dc, HALFTONE);
  for (auto _ : state) {
    StretchBlt(dst.dc, 0, 0, kWidth / 2, kHeight / 2, src.dc, 0, 0, kWidth, kHeight, SRCCOPY);
    benchmark::ClobberMemory();
  }
}

void AlphaBlendPerPixel(benchmark::State& state) {
  Dib src(kWidth, kHeight), dst(kWidth, kHeight);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  for (auto _ : state) {
    AlphaBlend(dst.dc, 0, 0, kWidth, kHeight, src.dc, 0, 0, kWidth, kHeight, blend);
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BitBltSrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchBltHalfToFull)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchBltHalftoneFullToHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(AlphaBlendPerPixel)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.iterations > 0) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
  }
  void PrintRatios() const {
    const auto base = times_.find("Memcpy");
    if (base == times_.end() || base->second <= 0) return;
    for (const auto& [name, t] : times_)
      if (name != "Memcpy") std::printf("%-24s %6.2fx memcpy\n", name.c_str(), t / base->second);
  }

private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
