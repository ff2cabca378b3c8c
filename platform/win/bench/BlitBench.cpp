// Blits of a 1920x1080 32-bit picture against a plain memcpy of the same
// bytes and against pixman doing the same operation on the same buffers.
// The pairs run interleaved over several repetitions; the ratios printed
// at the end are of the medians.
// Goals: BitBlt copy <= 1.1x memcpy; AlphaBlend and StretchBlt <= 1.2x pixman.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
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

// The same operations through pixman on the DIBs' own memory.
pixman_image_t* Wrap(const Dib& d, int w, int h) {
  return pixman_image_create_bits_no_clear(PIXMAN_a8r8g8b8, w, h, d.bits, w * 4);
}

void PixmanComposite(benchmark::State& state, pixman_op_t op, int sw, int sh, int dw, int dh,
                     pixman_filter_t filter, bool box) {
  Dib src(sw, sh), dst(dw, dh);
  pixman_image_t* s = Wrap(src, sw, sh);
  pixman_image_t* d = Wrap(dst, dw, dh);
  if (sw != dw || sh != dh) {
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(sw) / dw),
                                pixman_double_to_fixed(static_cast<double>(sh) / dh));
    pixman_image_set_transform(s, &t);
    if (box) {
      // The area average: a box the size of one destination pixel.
      int n = 0;
      pixman_fixed_t* params = pixman_filter_create_separable_convolution(
          &n, pixman_double_to_fixed(static_cast<double>(sw) / dw), pixman_double_to_fixed(static_cast<double>(sh) / dh),
          PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 1, 1);
      pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
      free(params);
    } else {
      pixman_image_set_filter(s, filter, nullptr, 0);
    }
  }
  for (auto _ : state) {
    pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, 0, 0, dw, dh);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
}

void PixmanCopy(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_SRC, kWidth, kHeight, kWidth, kHeight, PIXMAN_FILTER_NEAREST, false);
}
void PixmanNearestHalfToFull(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_SRC, kWidth / 2, kHeight / 2, kWidth, kHeight, PIXMAN_FILTER_NEAREST, false);
}
void PixmanBoxFullToHalf(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_SRC, kWidth, kHeight, kWidth / 2, kHeight / 2, PIXMAN_FILTER_NEAREST, true);
}
void PixmanBilinearFullToHalf(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_SRC, kWidth, kHeight, kWidth / 2, kHeight / 2, PIXMAN_FILTER_BILINEAR, false);
}
void PixmanOver(benchmark::State& state) {
  PixmanComposite(state, PIXMAN_OP_OVER, kWidth, kHeight, kWidth, kHeight, PIXMAN_FILTER_NEAREST, false);
}

BENCHMARK(Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(BitBltSrcCopy)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanNearestHalfToFull)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchBltHalfToFull)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBoxFullToHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBilinearFullToHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(StretchBltHalftoneFullToHalf)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanOver)->Unit(benchmark::kMillisecond);
BENCHMARK(AlphaBlendPerPixel)->Unit(benchmark::kMillisecond);

// Keeps every repetition's time per iteration and prints the ratios of
// the medians at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        times_[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
      else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
        medians_[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
  }
  double Median(const std::string& name) const {
    if (auto m = medians_.find(name); m != medians_.end()) return m->second;
    auto it = times_.find(name);
    if (it == times_.end() || it->second.empty()) return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
  void PrintRatios() const {
    struct Pair {
      const char *ours, *peer;
      double goal;
    } pairs[] = {
        {"BitBltSrcCopy", "Memcpy", 1.1},
        {"BitBltSrcCopy", "PixmanCopy", 0},
        {"StretchBltHalfToFull", "PixmanNearestHalfToFull", 1.2},
        {"StretchBltHalftoneFullToHalf", "PixmanBoxFullToHalf", 1.2},
        {"StretchBltHalftoneFullToHalf", "PixmanBilinearFullToHalf", 0},
        {"AlphaBlendPerPixel", "PixmanOver", 1.2},
    };
    std::printf("\nmedians (ms) and ratios:\n");
    for (const Pair& p : pairs) {
      const double a = Median(p.ours), b = Median(p.peer);
      if (a <= 0 || b <= 0) continue;
      std::printf("%-30s %8.3f  %-26s %8.3f  ratio %5.2f", p.ours, a, p.peer, b, a / b);
      if (p.goal > 0) std::printf("  (goal <= %.1f: %s)", p.goal, a / b <= p.goal ? "met" : "not met");
      std::printf("\n");
    }
  }

private:
  std::map<std::string, std::vector<double>> times_;
  std::map<std::string, double> medians_;
};

}  // namespace

int main(int argc, char** argv) {
  // Several repetitions in random order, so ours and the peers share the
  // machine's moods; flags given on the command line come later and win.
  std::vector<char*> args{argv[0], const_cast<char*>("--benchmark_repetitions=7"),
                          const_cast<char*>("--benchmark_enable_random_interleaving=true"),
                          const_cast<char*>("--benchmark_min_time=0.2")};
  args.insert(args.end(), argv + 1, argv + argc);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
