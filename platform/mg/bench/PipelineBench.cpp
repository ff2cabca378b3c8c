// Frames per second of 1920x1080 RGB32 video through an Infinite Pin Tee,
// the colour space converter (to RGB24), a sample grabber with a callback
// and a null renderer, against the floor of one memcpy per frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/mg/SystemFilters.h"

using namespace mg;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 4;

struct Touch : ISampleGrabberCB {
  uint64_t sum = 0;
  HRESULT SampleCB(double, MediaSample*) override { return S_OK; }
  HRESULT BufferCB(double, uint8_t* buf, LONG len) override {
    sum += buf[0] + buf[len - 1];
    return S_OK;
  }
};

double MemcpySecondsPerFrame() {
  std::vector<uint8_t> a(kFrameBytes, 1), b(kFrameBytes);
  const int n = 50;
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < n; ++i) {
    a[0] = static_cast<uint8_t>(i);
    std::memcpy(b.data(), a.data(), kFrameBytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / n;
}

void BM_MemcpyFloor(benchmark::State& state) {
  std::vector<uint8_t> a(kFrameBytes, 1), b(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), kFrameBytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);

void BM_TeeConverterGrabberNull(benchmark::State& state) {
  auto graph = FilterGraph::Create();
  auto scheduler = std::make_shared<ManualScheduler>();
  graph->SetScheduler(scheduler);
  // The source only stamps a byte: the frame content stays from the first fill.
  auto src = std::make_shared<CallbackSource>(
      MakeVideoType(MEDIASUBTYPE_RGB32, kWidth, kHeight, 333'667), 333'667,
      [](uint8_t* buf, long size, int64_t k) {
        buf[0] = static_cast<uint8_t>(k);
        return size;
      });
  auto tee = std::make_shared<InfTee>();
  auto csc = std::make_shared<ColorSpaceConverter>();
  auto grab = std::make_shared<SampleGrabber>();
  auto sink = std::make_shared<NullRenderer>();
  auto touch = std::make_shared<Touch>();
  AM_MEDIA_TYPE want;
  want.majortype = MEDIATYPE_Video;
  want.subtype = MEDIASUBTYPE_RGB24;
  grab->SetMediaType(&want);
  grab->SetCallback(touch, 1);
  graph->AddFilter(src, "src");
  graph->AddFilter(tee, "tee");
  graph->AddFilter(csc, "csc");
  graph->AddFilter(grab, "grab");
  graph->AddFilter(sink, "sink");
  bool ok = graph->ConnectDirect(src->Output(), tee->Input(), nullptr) == S_OK &&
            graph->ConnectDirect(tee->FreeOutput(), csc->Input(), nullptr) == S_OK &&
            graph->Connect(csc->Output(), grab->Input()) == S_OK &&
            graph->ConnectDirect(grab->Output(), sink->Input(), nullptr) == S_OK;
  if (!ok) {
    state.SkipWithError("could not build the graph");
    return;
  }
  graph->Run();
  scheduler->Pump(2);  // first fills and pool warm-up
  for (auto _ : state) scheduler->Pump(1);
  graph->Stop();
  const double floor = MemcpySecondsPerFrame();
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["memcpy_floor_fps"] = 1.0 / floor;
  state.counters["frames"] = static_cast<double>(sink->Samples());
  benchmark::DoNotOptimize(touch->sum);
}
BENCHMARK(BM_TeeConverterGrabberNull)->Unit(benchmark::kMillisecond);

// Prints frames per second and the ratio to the memcpy floor for the pipeline run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.benchmark_name().find("TeeConverter") == std::string::npos || r.iterations == 0) continue;
      const double secondsPerFrame = r.GetAdjustedRealTime() / 1e3;  // reported in milliseconds
      const auto it = r.counters.find("memcpy_floor_fps");
      if (it == r.counters.end() || secondsPerFrame <= 0) continue;
      const double fps = 1.0 / secondsPerFrame;
      std::printf("pipeline: %.1f frames/s, memcpy floor: %.1f frames/s, ratio %.3f of the floor\n", fps,
                  it->second.value, fps / it->second.value);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
