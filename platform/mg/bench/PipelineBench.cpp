// Frames per second of 1920x1080 RGB32 video through an Infinite Pin Tee,
// the colour space converter (to RGB24), a sample grabber with a callback
// and a null renderer, against the floor of one memcpy per frame.
//
// Then CPU per frame of the simulated camera against ffmpeg's testsrc2
// (goal: at most 2x at 640x480 and 1280x720), and of recording the camera
// through the MJPEG compressor into AVI against ffmpeg doing the same from
// testsrc2 (goal: at most 1.3x), both single-threaded. Ours and ffmpeg run
// in turn in every repetition; the fixed cost (start-up, headers) is taken
// out by subtracting a one-frame run, and the ratios are of the medians.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimCamera.h"

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

// ---- the simulated camera and recording against ffmpeg ----------------------------------------

double ProcessCpu() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double ChildrenCpu() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

double CommandCpu(const std::string& cmd) {
  const double start = ChildrenCpu();
  if (std::system(cmd.c_str()) != 0) return -1;
  return ChildrenCpu() - start;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::shared_ptr<sim::SimCamera> MakeCamera(const GUID& subtype, int w, int h) {
  sim::CameraOptions o;
  o.subtype = subtype;
  o.width = w;
  o.height = h;
  auto cam = std::make_shared<sim::SimCamera>(std::make_shared<sim::DevicePresence>(), o);
  // The box crosses the picture, so every frame has something to redraw.
  sim::MotionScript script;
  script.MoveBox(0, h / 3, w - w / 8, h / 2, 120).MoveBox(w - w / 8, h / 2, 0, h / 3, 120);
  cam->SetMotionScript(script);
  return cam;
}

// CPU seconds for `frames` frames of the camera into a null renderer.
double CameraCpu(const GUID& subtype, int w, int h, int frames) {
  const double start = ProcessCpu();
  auto graph = FilterGraph::Create();
  auto scheduler = std::make_shared<ManualScheduler>();
  graph->SetScheduler(scheduler);
  auto cam = MakeCamera(subtype, w, h);
  auto sink = std::make_shared<NullRenderer>();
  graph->AddFilter(cam, "Camera");
  graph->AddFilter(sink, "Sink");
  if (graph->ConnectDirect(cam->Output(), sink->Input(), nullptr) != S_OK) return -1;
  graph->Run();
  scheduler->Pump(frames);
  graph->Stop();
  return ProcessCpu() - start;
}

// CPU seconds for recording `frames` frames of the camera as MJPEG in AVI.
double CameraMjpegAviCpu(const GUID& subtype, int w, int h, int frames, const std::string& file) {
  const double start = ProcessCpu();
  auto graph = FilterGraph::Create();
  auto scheduler = std::make_shared<ManualScheduler>();
  graph->SetScheduler(scheduler);
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(graph);
  std::shared_ptr<BaseFilter> mux;
  builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr);
  auto cam = MakeCamera(subtype, w, h);
  std::shared_ptr<BaseFilter> comp;
  ClassFactory::CreateInstance(ff::FindEncoder("mjpeg")->clsid, &comp);
  QueryInterface<IAMVideoCompression>(comp)->put_Quality(0.75);  // qscale 9, as -q:v 9 below
  graph->AddFilter(cam, "Camera");
  graph->AddFilter(comp, "MJPEG");
  if (FAILED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, comp, mux))) return -1;
  graph->Run();
  scheduler->Pump(frames);
  graph->Stop();
  return ProcessCpu() - start;
}

std::string Testsrc2(int w, int h, int frames) {
  return "ffmpeg -nostdin -v error -y -threads 1 -filter_threads 1 -f lavfi -i testsrc2=size=" + std::to_string(w) +
         "x" + std::to_string(h) + ":rate=30 -frames:v " + std::to_string(frames);
}

struct PeerFigures {
  double ours = 0, peer = 0;  // milliseconds of CPU per frame, medians
};
std::vector<std::pair<std::string, PeerFigures>>& PeerResults() {
  static std::vector<std::pair<std::string, PeerFigures>> r;
  return r;
}

// Runs ours(n) - ours(1) and peer(n) - peer(1) in turn per iteration.
template <class Ours, class Peer>
void VersusPeer(benchmark::State& state, const std::string& name, int frames, Ours ours, Peer peer) {
  std::vector<double> o, p;
  for (auto _ : state) {
    const double o1 = ours(1), on = ours(frames);
    const double p1 = peer(1), pn = peer(frames);
    if (o1 < 0 || on < 0 || p1 < 0 || pn < 0) {
      state.SkipWithError("a run failed");
      return;
    }
    o.push_back((on - o1) / (frames - 1) * 1e3);
    p.push_back((pn - p1) / (frames - 1) * 1e3);
  }
  const PeerFigures f{Median(o), Median(p)};
  state.counters["ours_ms_per_frame"] = f.ours;
  state.counters["ffmpeg_ms_per_frame"] = f.peer;
  state.counters["ratio"] = f.peer > 0 ? f.ours / f.peer : 0;
  PeerResults().push_back({name, f});
}

void BM_SimCameraVsTestsrc2(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const GUID subtype = state.range(2) ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_I420;
  const int frames = 300;
  VersusPeer(state, std::string("camera ") + (state.range(2) ? "YUY2 " : "I420 ") + std::to_string(w) + "x" + std::to_string(h) + " vs testsrc2",
             frames, [&](int n) { return CameraCpu(subtype, w, h, n); },
             [&](int n) { return CommandCpu(Testsrc2(w, h, n) + " -f null - </dev/null"); });
}
BENCHMARK(BM_SimCameraVsTestsrc2)
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_CameraMjpegAviVsFfmpeg(benchmark::State& state) {
  ff::RegisterFfmpegFilters();
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const GUID subtype = state.range(2) ? MEDIASUBTYPE_YUY2 : MEDIASUBTYPE_I420;
  const auto dir = std::filesystem::temp_directory_path() / ("mgpipebench" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string ours = (dir / "ours.avi").string(), theirs = (dir / "ffmpeg.avi").string();
  const int frames = 150;
  VersusPeer(state, std::string("camera ") + (state.range(2) ? "YUY2 " : "I420 ") + std::to_string(w) + "x" + std::to_string(h) + " -> MJPEG -> AVI vs ffmpeg",
             frames, [&](int n) { return CameraMjpegAviCpu(subtype, w, h, n, ours); },
             [&](int n) {
               return CommandCpu(Testsrc2(w, h, n) + " -c:v mjpeg -q:v 9 -threads 1 '" + theirs + "' </dev/null");
             });
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_CameraMjpegAviVsFfmpeg)->Args({640, 480, 1})->Args({640, 480, 0})->Iterations(5)->Unit(benchmark::kMillisecond);

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
  if (!PeerResults().empty()) std::printf("\nCPU per frame, medians (single-threaded):\n");
  for (const auto& [name, f] : PeerResults()) {
    const double goal = name.find("MJPEG") != std::string::npos ? 1.3 : 2.0;
    const double ratio = f.peer > 0 ? f.ours / f.peer : 0;
    std::printf("%-52s ours %7.3f ms  ffmpeg %7.3f ms  ratio %5.2f (goal <= %.1f: %s)\n", name.c_str(), f.ours,
                f.peer, ratio, goal, ratio <= goal ? "met" : "not met");
  }
  benchmark::Shutdown();
  return 0;
}
