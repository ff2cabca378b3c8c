#include "platform/mg/ffmpeg/FfRegister.h"

#include <mutex>

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
    SystemDeviceEnum::AddProvider(std::make_shared<CompressorProvider>());
  });
}

}  // namespace mg::ff
