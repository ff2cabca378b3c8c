// Times the component's re-encoding job: a clip given by VORIX_REENCODE_CLIP
// (a capture file, uncompressed) compressed into an AVI with the MPEG-4
// Part 2 compressor at its default settings, as a recording compressed
// after recording is. The graph runs on its own streaming threads, as in
// the program; the figure is the process's CPU time for the whole job.
// VORIX_REENCODE_OUT names the file to write (default: a scratch folder).
// tools/reencode-bench.sh makes the clip and sets the same job beside the
// ffmpeg command line.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VidCap.h"
#include "platform/forms/Forms.h"
#include "platform/mg/Devices.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/TempFiles.h"

namespace {

namespace fs = std::filesystem;
using namespace capture;

struct Setup {
  fs::path dir;
  forms::TForm* form = nullptr;
  TVidCap* vc = nullptr;
  std::string clip;

  Setup() {
    const char* clipEnv = std::getenv("VORIX_REENCODE_CLIP");
    clip = clipEnv ? clipEnv : "";
    dir = fs::temp_directory_path() / ("vorix-reencode-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "private");
    rtl::SetTempPath((dir / "private").string());
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, dir.string());
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, dir.string());
    mg::ff::RegisterFfmpegFilters();
    auto sim = mg::sim::SimDeviceProvider::Instance();
    mg::SystemDeviceEnum::AddProvider(sim);
    sim->PlugIn(mg::sim::CameraOptions{});
    SetDiscoveryHooks({[](TVcEngine&) { return true; }, {}, {}, {}});
    form = new forms::TForm(nullptr);
    vc = new TVidCap(form);
    vc->SetParent(form);
    vc->HandleNeeded();
    const TDevices* list = VideoCompressors();
    for (int32_t i = 0; list && i < list->Count(); ++i)
      if (list->GetName(i) == "MPEG-4 Part 2 Video Encoder") vc->SetVideoCompressor(i);
  }
  ~Setup() {
    delete form;
    fs::remove_all(dir);
  }
};

// Made and freed by main, while the class library's globals live.
Setup* theSetup = nullptr;
Setup& TheSetup() { return *theSetup; }

void BM_ReencodeToMpeg4(benchmark::State& state) {
  Setup& s = TheSetup();
  TVcEngine& e = *s.vc->Engine();
  if (s.clip.empty() || !fs::exists(s.clip)) {
    state.SkipWithError("set VORIX_REENCODE_CLIP to a clip");
    return;
  }
  TReencodingSettings job;
  job.SourceVideoClip = s.clip;
  const char* out = std::getenv("VORIX_REENCODE_OUT");
  job.NewVideoClip = out ? out : (s.dir / "out.avi").string();
  job.IncludeAudioStream = false;
  job.UseFrameGrabber = false;
  job.UseVideoCompressor = true;
  bool completed = false;
  s.vc->OnReencodingCompleted = [&](forms::TObject*, const String&, const String&, bool ok) { completed = ok; };
  for (auto _ : state) {
    completed = false;
    if (!e.Reencode(job, false)) {
      state.SkipWithError("the job did not start");
      return;
    }
    // The end of the stream comes back through the window messages.
    while (e.State == es_Reencoding) {
      forms::Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < 50 && !completed; ++i) {
      forms::Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!completed) {
      state.SkipWithError("the job did not complete");
      return;
    }
  }
  state.counters["bytes"] = static_cast<double>(fs::file_size(job.NewVideoClip));
}
BENCHMARK(BM_ReencodeToMpeg4)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  theSetup = new Setup;
  benchmark::RunSpecifiedBenchmarks();
  delete theSetup;
  benchmark::Shutdown();
  return 0;
}
