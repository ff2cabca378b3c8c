#include "platform/mg/RealDevices.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/mg/alsa/AlsaSpeakerMixer.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/mg/udev/UdevMonitor.h"

namespace mg {

namespace {

struct Installed {
  std::mutex mutex;
  std::shared_ptr<v4l2::V4l2DeviceProvider> v4l2;
  std::shared_ptr<alsa::AlsaDeviceProvider> alsa;
};

Installed& TheInstalled() {
  static Installed i;
  return i;
}

// The card number of a sound device node ("controlC1", "pcmC1D0c"), -1 for none.
int SoundCardOf(const std::string& devnode) {
  const size_t slash = devnode.find_last_of('/');
  const std::string name = devnode.substr(slash == std::string::npos ? 0 : slash + 1);
  const size_t c = name.find('C');
  if (c == std::string::npos || (name.rfind("control", 0) != 0 && name.rfind("pcm", 0) != 0)) return -1;
  const char* digits = name.c_str() + c + 1;
  char* end = nullptr;
  const long n = std::strtol(digits, &end, 10);
  return end == digits ? -1 : static_cast<int>(n);
}

}  // namespace

void InstallRealDevices(const RealDeviceOptions& options) {
  UninstallRealDevices();
  Installed& in = TheInstalled();
  {
    std::lock_guard lock(in.mutex);
    in.v4l2 = std::make_shared<v4l2::V4l2DeviceProvider>(options.io ? options.io : v4l2::SystemV4l2Io());
    in.alsa = options.cards ? std::make_shared<alsa::AlsaDeviceProvider>(options.cards)
                            : std::make_shared<alsa::AlsaDeviceProvider>();
    SystemDeviceEnum::AddProvider(in.v4l2);
    SystemDeviceEnum::AddProvider(in.alsa);
  }
  if (options.monitor) udev::StartMonitor();
  if (options.speakerMixer) SetSpeakerMixer(std::make_shared<alsa::AlsaSpeakerMixer>());
}

void UninstallRealDevices() {
  udev::StopMonitor();
  Installed& in = TheInstalled();
  std::lock_guard lock(in.mutex);
  if (in.v4l2) SystemDeviceEnum::RemoveProvider(in.v4l2);
  if (in.alsa) SystemDeviceEnum::RemoveProvider(in.alsa);
  in.v4l2.reset();
  in.alsa.reset();
}

std::shared_ptr<v4l2::V4l2DeviceProvider> InstalledV4l2Provider() {
  std::lock_guard lock(TheInstalled().mutex);
  return TheInstalled().v4l2;
}

std::shared_ptr<alsa::AlsaDeviceProvider> InstalledAlsaProvider() {
  std::lock_guard lock(TheInstalled().mutex);
  return TheInstalled().alsa;
}

bool AnyRealVideoDevice() {
  auto v = InstalledV4l2Provider();
  return v && v->AnyDevice();
}

void DispatchHotplugEvent(const HotplugEvent& e) {
  const bool added = e.action == "add", removed = e.action == "remove";
  if (!added && !removed) return;
  if (e.subsystem == "video4linux") {
    if (auto v = InstalledV4l2Provider()) {
      if (removed)
        v->NodeRemoved(e.devnode);
      else
        v->NodeAdded(e.devnode);
    }
  } else if (e.subsystem == "sound") {
    const int card = SoundCardOf(e.devnode);
    if (auto a = InstalledAlsaProvider(); a && removed && card >= 0) a->CardRemoved(card);
  } else {
    return;
  }
  sim::NotifyDeviceChange();
}

bool RealDevicesWanted() {
  const char* v = std::getenv("VORIX_SIM_DEVICES");
  return !(v && std::strcmp(v, "1") == 0);
}

}  // namespace mg
