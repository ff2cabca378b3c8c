// libFuzzer driver for the file playback path: the bytes are a clip that
// the file source opens, and the graph renders and plays to the end on the
// manual scheduler. Whatever the bytes, this must neither crash nor hang.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/ffmpeg/FfSource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace mg;
  static bool ready = [] {
    ff::RegisterFfmpegFilters();
    ff::AudioRenderer::ForceNullOutput(true);
    return true;
  }();
  (void)ready;
  const int fd = ::memfd_create("clip", 0);
  if (fd < 0) return 0;
  if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  {
    auto graph = FilterGraph::Create();
    auto scheduler = std::make_shared<ManualScheduler>();
    graph->SetScheduler(scheduler);
    auto source = std::make_shared<ff::FfSource>(ff::CLSID_FfFileSource);
    if (SUCCEEDED(source->Load(path, nullptr)) && SUCCEEDED(graph->AddFilter(source, "Source"))) {
      for (auto& pin : source->Pins()) graph->Render(pin);
      graph->Run();
      for (int i = 0; i < 200 && scheduler->Pump(1) > 0; ++i) {
      }
      graph->Stop();
    }
  }
  ::close(fd);
  return 0;
}
