// How many capture devices there are, and the binding of the chosen ones.
// Until the component keeps device lists of its own, the counts come from
// the system's device enumerator.
#include "capture/VcEngine.h"
#include "platform/mg/Devices.h"
#include "platform/mg/Guids.h"

namespace capture {

namespace {

int32_t CountDevices(const mg::GUID& category) {
  mg::SystemDeviceEnum devices;
  mg::IEnumMoniker e;
  if (devices.CreateClassEnumerator(category, &e, 0) != mg::S_OK) return 0;
  int32_t count = 0;
  std::shared_ptr<mg::Moniker> m;
  while (e.Next(1, &m, nullptr) == mg::S_OK) ++count;
  return count;
}

}  // namespace

int32_t TVcEngine::VideoDeviceCount() const { return CountDevices(mg::CLSID_VideoInputDeviceCategory); }
int32_t TVcEngine::AudioDeviceCount() const { return CountDevices(mg::CLSID_AudioInputDeviceCategory); }

void TVcEngine::EnsureDevicesBound() {
  if (BoundVideoDevice == -1 && VideoDevice >= 0 && VideoDevice < VideoDeviceCount()) BoundVideoDevice = VideoDevice;
  if (BoundAudioDevice == -1 && AudioDevice >= 0 && AudioDevice < AudioDeviceCount()) BoundAudioDevice = AudioDevice;
}

}  // namespace capture
