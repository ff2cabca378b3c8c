// Selecting the engine's video and audio capture device: the settings of
// the device left behind are saved, the new device's loaded, its formats
// taken from the cache or discovered, and the selection announced.
#include "capture/VcDevices.h"
#include "capture/VcEngine.h"
#include "capture/VcLog.h"
#include "capture/VcWorker.h"
#include "capture/VidCap.h"
#include "platform/rtl/StringUtils.h"

namespace capture {

namespace {

TDiscoveryHooks g_discovery;

// The device lists exist and the manager that owns their rebuilds runs.
bool DeviceListsReady() { return DeviceManagerExists() && VideoCaptureDevices() != nullptr; }

// Keeps a guard set for the length of a binding.
class TGuard {
public:
  explicit TGuard(bool& Flag) : flag_(Flag) { flag_ = true; }
  ~TGuard() { flag_ = false; }
  TGuard(const TGuard&) = delete;
  TGuard& operator=(const TGuard&) = delete;

private:
  bool& flag_;
};

}  // namespace

void SetDiscoveryHooks(TDiscoveryHooks Hooks) { g_discovery = std::move(Hooks); }
const TDiscoveryHooks& DiscoveryHooks() { return g_discovery; }

// A test may stand in for any of these; otherwise the format and audio
// code answers.
bool TVcEngine::DiscoverVideoDevice() {
  return g_discovery.DiscoverVideoDevice ? g_discovery.DiscoverVideoDevice(*this) : RunVideoDiscovery();
}

bool TVcEngine::DiscoverAudioDevice() {
  return g_discovery.DiscoverAudioDevice ? g_discovery.DiscoverAudioDevice(*this) : RunAudioDiscovery();
}

bool TVcEngine::GetSelectedVideoSize(int32_t Index, int32_t& Width, int32_t& Height) {
  return g_discovery.GetSelectedVideoSize ? g_discovery.GetSelectedVideoSize(*this, Index, Width, Height)
                                          : ComputeSelectedVideoSize(Index, Width, Height);
}

void TVcEngine::SelectAudioInput() {
  if (g_discovery.SelectAudioInput)
    g_discovery.SelectAudioInput(*this);
  else
    RunSelectAudioInput();
}

bool TVcEngine::BindVideoDevice() {
  if (!DeviceListsReady() || VideoSource != vs_VideoCaptureDevice) return false;
  TDevices& videoList = *VideoCaptureDevices();
  if (videoList.Count() == 0) {
    PostEvent(qe_NoVideoDevices);
    return false;
  }
  if (VideoDevice < 0) return false;
  if (CheckIndex(VideoDevice, videoList.Count(), "video capture device") || VideoDeviceBinding) return false;

  TGuard guard(VideoDeviceBinding);
  SetBusyCursor(this, true);
  SaveVideoDeviceSettings();  // saves only a discovered device
  BoundVideoDevice = VideoDevice;
  ResetVideoDeviceSettings();
  // A key with a value that cannot be taken still gives every other value:
  // the user's settings are not thrown away for one bad entry. A missing
  // key leaves the defaults.
  LoadVideoDeviceSettings();
  bool discovered = LoadFormatCache();
  if (!discovered) discovered = DiscoverVideoDevice();
  DeviceSettings.Video[vds_DeviceDiscovered].BoolValue = discovered;
  SaveVideoDeviceSettings();
  SetBusyCursor(this, false);

  if (discovered) {
    if (!GetSelectedVideoSize(-1, VideoWidth, VideoHeight)) {
      VideoWidth = 320;
      VideoHeight = 240;
    }
    TraceLine(CF_DEFAULT, "call change video device");
    if (Owner && CanRaiseEvent(Owner->OnVideoDeviceSelected)) Owner->OnVideoDeviceSelected(Owner);
    TraceLine(CF_DEFAULT, "end call change video device");
  }

  if (AssociateAudioAndVideoDevices && AudioCaptureDevices()) {
    TDevices& audioList = *AudioCaptureDevices();
    TSetting& associated = DeviceSettings.Video[vds_AudioDeviceAssociated];
    if (!associated.StrValue.empty()) {
      for (int32_t i = 0; i < audioList.Count(); ++i)
        if (audioList.GetName(i) == associated.StrValue) {
          AudioDevice = i;
          BindAudioDevice();
          break;
        }
    } else if (BoundAudioDevice >= 0) {
      associated.StrValue = audioList.GetName(BoundAudioDevice);
    }
  }
  VideoDeviceReady = true;
  return discovered;
}

bool TVcEngine::BindAudioDevice() {
  if (!DeviceListsReady() || VideoSource != vs_VideoCaptureDevice || !AudioCaptureDevices()) return false;
  TDevices& audioList = *AudioCaptureDevices();
  if (audioList.Count() == 0 || AudioDevice < 0) return false;
  if (CheckIndex(AudioDevice, audioList.Count(), "audio capture device") || AudioDeviceBinding) return false;

  TGuard guard(AudioDeviceBinding);
  SetBusyCursor(this, true);
  SaveAudioDeviceSettings();
  BoundAudioDevice = AudioDevice;
  ResetAudioDeviceSettings();
  if (!BoundAudioDeviceKey().empty()) LoadAudioDeviceSettings();
  TSetting& discovered = DeviceSettings.Audio[ads_DeviceDiscovered];
  if (!discovered.BoolValue && DiscoverAudioDevice()) discovered.BoolValue = true;
  SaveAudioDeviceSettings();
  if (discovered.BoolValue) {
    if (AssociateAudioAndVideoDevices)
      DeviceSettings.Video[vds_AudioDeviceAssociated].StrValue = audioList.GetName(BoundAudioDevice);
    SelectAudioInput();
    if (Owner && CanRaiseEvent(Owner->OnAudioDeviceSelected)) Owner->OnAudioDeviceSelected(Owner);
  }
  SetBusyCursor(this, false);
  AudioDeviceReady = true;
  return discovered.BoolValue;
}

bool TVcEngine::BindChosenDevices() {
  if (!VideoDeviceReady) BindVideoDevice();
  if (!AudioDeviceReady) return BindAudioDevice();
  return true;
}

void TVcEngine::PrepareAtFirstIdle() {
  if (FirstIdleDone) return;
  FirstIdleDone = true;
  if (Owner) Owner->SetCaption("");
  if (BoundVideoDevice != VideoDevice) {
    BindAudioDevice();
    BindVideoDevice();
  }
}

}  // namespace capture
