#pragma once
// The real capture devices: the V4L2 and ALSA providers, and device arrival
// and removal from udev. A hotplug event tells the providers which device
// came or went (so filters of a removed one report it lost), then reaches
// the windows registered for device changes as WM_DEVICECHANGE.
#include <functional>
#include <memory>
#include <string>

#include "platform/mg/alsa/AlsaCapture.h"
#include "platform/mg/v4l2/V4l2Io.h"
#include "platform/mg/v4l2/V4l2Provider.h"

namespace mg {

struct HotplugEvent {
  std::string action;     // "add", "remove", "change"
  std::string subsystem;  // "video4linux", "sound"
  std::string devnode;    // "/dev/video0", "/dev/snd/controlC1", ...
};

struct RealDeviceOptions {
  std::shared_ptr<v4l2::V4l2Io> io;       // the kernel when empty
  alsa::AlsaDeviceProvider::Lister cards; // the sound cards present when empty
  bool monitor = true;                    // watch udev
  bool speakerMixer = true;               // the default card's mixer as the speaker mixer
};

// Registers the providers with the device enumerator (once; a second call
// replaces them), starts the udev monitor and installs the speaker mixer
// when asked.
void InstallRealDevices(const RealDeviceOptions& options = {});
void UninstallRealDevices();
// Whether a video capture device is present now (the installed V4L2
// provider finds one).
bool AnyRealVideoDevice();
std::shared_ptr<v4l2::V4l2DeviceProvider> InstalledV4l2Provider();
std::shared_ptr<alsa::AlsaDeviceProvider> InstalledAlsaProvider();

// What a udev event does; the monitor calls it, tests inject events here.
void DispatchHotplugEvent(const HotplugEvent& event);

// The program's rule, with VORIX_SIM_DEVICES: "1" gives the simulated
// devices only, "0" the real ones only; unset, the real ones, and the
// simulated ones beside them when no real video device is present.
bool RealDevicesWanted();

}  // namespace mg
