#include "platform/mg/ffmpeg/FfRegister.h"

#include <mutex>

#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/ffmpeg/FfAsfWriter.h"
#include "platform/mg/ffmpeg/FfAviMux.h"
#include "platform/mg/ffmpeg/FfCompressor.h"
#include "platform/mg/ffmpeg/FfDecoder.h"
#include "platform/mg/ffmpeg/FfDvSplitter.h"
#include "platform/mg/ffmpeg/FfSource.h"
#include "platform/mg/ffmpeg/FfVideoWindow.h"

namespace mg::ff {

void RegisterFfmpegFilters() {
  static std::once_flag once;
  std::call_once(once, [] {
    InitLibrary();
    RegisterSystemFilters();
    for (const EncoderEntry& e : Encoders()) {
      FilterRegistration reg;
      reg.clsid = e.clsid;
      reg.name = e.friendlyName;
      reg.merit = MERIT_DO_NOT_USE;
      reg.role = FilterRole::Other;
      const CLSID clsid = e.clsid;
      reg.create = [clsid] { return CreateCompressor(clsid); };
      ClassFactory::Register(std::move(reg));
    }
    auto add = [](const CLSID& clsid, const char* name, uint32_t merit, FilterRole role,
                  std::function<std::shared_ptr<BaseFilter>()> create, std::vector<std::pair<GUID, GUID>> inputs = {},
                  std::vector<std::string> extensions = {}) {
      FilterRegistration reg;
      reg.clsid = clsid;
      reg.name = name;
      reg.merit = merit;
      reg.role = role;
      reg.create = std::move(create);
      reg.inputTypes = std::move(inputs);
      reg.extensions = std::move(extensions);
      ClassFactory::Register(std::move(reg));
    };
    add(CLSID_AviDest, "AVI Mux", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<FfMux>(CLSID_AviDest, "avi"); });
    add(CLSID_FileWriter, "File writer", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<FfFileWriter>(); });
    add(CLSID_FfFileSource, "Media File Source", MERIT_NORMAL, FilterRole::Source,
        [] { return std::make_shared<FfSource>(CLSID_FfFileSource); }, {},
        {".avi", ".asf", ".wmv", ".wma", ".dv", ".dif", ".mpg", ".mpeg", ".m1v", ".m2v", ".vob", ".ts", ".mp4",
         ".m4v", ".mov", ".3gp", ".mkv", ".webm", ".flv", ".wav", ".mp3", ".mp2", ".ogg", ".ogv"});
    add(CLSID_DVVideoCodec, "DV Video Decoder", MERIT_NORMAL + 1, FilterRole::Transform,
        [] { return std::make_shared<FfVideoDecoder>(CLSID_DVVideoCodec, true); },
        {{MEDIATYPE_Video, GUID_NULL}, {MEDIATYPE_Interleaved, GUID_NULL}});
    add(CLSID_FfVideoDecoder, "Video Decoder", MERIT_NORMAL, FilterRole::Transform,
        [] { return std::make_shared<FfVideoDecoder>(CLSID_FfVideoDecoder, false); }, {{MEDIATYPE_Video, GUID_NULL}});
    add(CLSID_FfAudioDecoder, "Audio Decoder", MERIT_NORMAL, FilterRole::Transform,
        [] { return std::make_shared<FfAudioDecoder>(); }, {{MEDIATYPE_Audio, GUID_NULL}});
    // The renderers draw into windows of the window system from here on.
    add(CLSID_VideoRenderer, "Video Renderer", MERIT_PREFERRED + 1, FilterRole::Renderer,
        [] { return std::make_shared<WindowedVideoRenderer>(CLSID_VideoRenderer); });
    add(CLSID_VideoMixingRenderer, "Video Mixing Renderer Filter", MERIT_DO_NOT_USE, FilterRole::Renderer,
        [] { return std::make_shared<WindowedVideoRenderer>(CLSID_VideoMixingRenderer); });
    add(CLSID_VideoMixingRenderer9, "Video Mixing Renderer 9", MERIT_DO_NOT_USE, FilterRole::Renderer,
        [] { return std::make_shared<WindowedVideoRenderer>(CLSID_VideoMixingRenderer9); });
    add(CLSID_WMAsfWriter, "WM ASF Writer", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<FfAsfWriter>(); });
    add(CLSID_DVSplitter, "DV Splitter", MERIT_NORMAL, FilterRole::Transform,
        [] { return std::make_shared<FfDvSplitter>(); }, {{MEDIATYPE_Interleaved, GUID_NULL}});
    add(CLSID_AudioRender, "Audio Renderer", MERIT_PREFERRED, FilterRole::Renderer,
        [] { return std::make_shared<AudioRenderer>(); });
    SystemDeviceEnum::AddProvider(std::make_shared<CompressorProvider>());
  });
}

}  // namespace mg::ff
