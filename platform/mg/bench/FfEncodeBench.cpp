// CPU per frame of MJPEG-in-AVI recording through the graph against the
// ffmpeg command line encoding the same raw frames, in the same run.
// Goal: ratio (graph / ffmpeg) at most 1.1.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfRegister.h"

namespace {

using namespace mg;

constexpr int kWidth = 640, kHeight = 480, kFrames = 150;
constexpr REFERENCE_TIME kPeriod = 400'000;
constexpr double kQuality = 0.75;  // qscale 9, as -q:v 9 below

double ProcessCpu() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

double ChildrenCpu() {
  rusage ru{};
  getrusage(RUSAGE_CHILDREN, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Camera-like frames: a gradient with a moving box and some noise, so the
// encoder does real work.
std::vector<std::vector<uint8_t>> MakeFrames(int count) {
  std::vector<std::vector<uint8_t>> frames;
  uint32_t seed = 12345;
  for (int k = 0; k < count; ++k) {
    std::vector<uint8_t> f(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* p = &f[(static_cast<size_t>(y) * kWidth + x) * 3];
        seed = seed * 1664525u + 1013904223u;
        const int n = static_cast<int>(seed >> 28);
        const bool box = x >= k * 3 && x < k * 3 + 80 && y >= 200 && y < 280;
        p[0] = static_cast<uint8_t>(box ? 40 : (x * 255 / kWidth + n) & 0xFF);
        p[1] = static_cast<uint8_t>(box ? 200 : (y * 255 / kHeight + n) & 0xFF);
        p[2] = static_cast<uint8_t>((x + y + n) & 0xFF);
      }
    frames.push_back(std::move(f));
  }
  return frames;
}

// CPU seconds for recording `count` frames through the graph.
double GraphCpu(const std::vector<std::vector<uint8_t>>& frames, int count, const std::string& file) {
  auto graph = FilterGraph::Create();
  auto scheduler = std::make_shared<ManualScheduler>();
  graph->SetScheduler(scheduler);
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(graph);
  std::shared_ptr<BaseFilter> mux;
  builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr);
  auto src = std::make_shared<CallbackSource>(
      MakeVideoType(MEDIASUBTYPE_RGB24, kWidth, kHeight, kPeriod), kPeriod,
      [&frames](uint8_t* buf, long size, int64_t k) {
        const auto& f = frames[static_cast<size_t>(k) % frames.size()];
        const long n = std::min<long>(size, static_cast<long>(f.size()));
        std::memcpy(buf, f.data(), static_cast<size_t>(n));
        return n;
      });
  std::shared_ptr<BaseFilter> comp;
  ClassFactory::CreateInstance(ff::FindEncoder("mjpeg")->clsid, &comp);
  QueryInterface<IAMVideoCompression>(comp)->put_Quality(kQuality);
  graph->AddFilter(src, "Camera");
  graph->AddFilter(comp, "MJPEG");
  builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, src, comp, mux);
  const double start = ProcessCpu();
  graph->Run();
  scheduler->Pump(count);
  graph->Stop();
  return ProcessCpu() - start;
}

// CPU seconds of the ffmpeg command line encoding `count` raw frames.
double FfmpegCpu(const std::string& raw, int count, const std::string& file) {
  const double start = ChildrenCpu();
  const std::string cmd = "ffmpeg -nostdin -v error -y -threads 1 -f rawvideo -pix_fmt bgr24 -s 640x480 -r 25 -i '" +
                          raw + "' -frames:v " + std::to_string(count) +
                          " -c:v mjpeg -pix_fmt yuvj420p -q:v 9 -threads 1 '" + file + "'";
  if (std::system(cmd.c_str()) != 0) return -1;
  return ChildrenCpu() - start;
}

void BM_MjpegAviCpuPerFrameVsFfmpeg(benchmark::State& state) {
  ff::RegisterFfmpegFilters();
  const auto dir = std::filesystem::temp_directory_path() / ("mgffbench" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto frames = MakeFrames(kFrames);
  const std::string raw = (dir / "frames.bgr").string();
  {
    std::ofstream out(raw, std::ios::binary);
    for (auto& f : frames) out.write(reinterpret_cast<const char*>(f.data()), static_cast<long>(f.size()));
  }
  double graph = 0, ffmpeg = 0, graphTotal = 0, ffmpegTotal = 0;
  int runs = 0;
  for (auto _ : state) {
    // The cost of a run with one frame is the fixed part (start, headers,
    // process start-up for the command line); the rest is per frame.
    const double g1 = GraphCpu(frames, 1, (dir / "g1.avi").string());
    const double gn = GraphCpu(frames, kFrames, (dir / "g.avi").string());
    const double f1 = FfmpegCpu(raw, 1, (dir / "f1.avi").string());
    const double fn = FfmpegCpu(raw, kFrames, (dir / "f.avi").string());
    if (std::getenv("MGFF_BENCH_VERBOSE"))
      std::printf("graph 1: %.3f s, %d: %.3f s; ffmpeg 1: %.3f s, %d: %.3f s\n", g1, kFrames, gn, f1, kFrames, fn);
    graphTotal += gn - g1;
    ffmpegTotal += fn - f1;
    runs += kFrames - 1;
  }
  graph = graphTotal / runs;
  ffmpeg = ffmpegTotal / runs;
  state.counters["graph_ms_per_frame"] = graph * 1000;
  state.counters["ffmpeg_ms_per_frame"] = ffmpeg * 1000;
  state.counters["ratio"] = ffmpeg > 0 ? graph / ffmpeg : 0;
  std::printf("MJPEG AVI 640x480: graph %.3f ms/frame, ffmpeg %.3f ms/frame, CPU ratio %.3f (goal <= 1.1)\n",
              graph * 1000, ffmpeg * 1000, ffmpeg > 0 ? graph / ffmpeg : 0.0);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}
BENCHMARK(BM_MjpegAviCpuPerFrameVsFfmpeg)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
