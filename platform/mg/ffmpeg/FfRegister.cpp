#include "platform/mg/ffmpeg/FfRegister.h"

#include <mutex>

#include "platform/mg/ffmpeg/FfAviMux.h"
#include "platform/mg/ffmpeg/FfCompressor.h"

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
    SystemDeviceEnum::AddProvider(std::make_shared<CompressorProvider>());
  });
}

}  // namespace mg::ff
