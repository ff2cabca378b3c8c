// How many capture devices there are, and the binding of the chosen ones.
// Until the component keeps device lists of its own, the counts come from
// the system's device enumerator.
#include "capture/VcEngine.h"
#include "capture/VcProperties.h"
#include "platform/rtl/StringUtils.h"
#include "platform/mg/Devices.h"
#include "platform/mg/Guids.h"

namespace capture {

namespace {

// The friendly names of the devices of a category, in enumeration order.
std::vector<String> DeviceNamesOf(const mg::GUID& category) {
  std::vector<String> names;
  mg::SystemDeviceEnum devices;
  mg::IEnumMoniker e;
  if (devices.CreateClassEnumerator(category, &e, 0) != mg::S_OK) return names;
  std::shared_ptr<mg::Moniker> m;
  while (e.Next(1, &m, nullptr) == mg::S_OK) {
    std::string name;
    m->Properties().Read("FriendlyName", &name);
    names.push_back(name);
  }
  return names;
}

int32_t CountDevices(const mg::GUID& category) { return static_cast<int32_t>(DeviceNamesOf(category).size()); }

std::vector<String> NamesOfKind(TDeviceKind kind) {
  switch (kind) {
    case dev_VideoCapture: return DeviceNamesOf(mg::CLSID_VideoInputDeviceCategory);
    case dev_AudioCapture: return DeviceNamesOf(mg::CLSID_AudioInputDeviceCategory);
    default: return {};  // compressors come with the device lists
  }
}

}  // namespace

int32_t TVcEngine::VideoDeviceCount() const { return CountDevices(mg::CLSID_VideoInputDeviceCategory); }
int32_t TVcEngine::AudioDeviceCount() const { return CountDevices(mg::CLSID_AudioInputDeviceCategory); }

void TVcEngine::EnsureDevicesBound() {
  if (BoundVideoDevice == -1 && VideoDevice >= 0 && VideoDevice < VideoDeviceCount()) BoundVideoDevice = VideoDevice;
  if (BoundAudioDevice == -1 && AudioDevice >= 0 && AudioDevice < AudioDeviceCount()) BoundAudioDevice = AudioDevice;
}

int32_t DeviceCount(const TVcEngine&, TDeviceKind Kind) { return static_cast<int32_t>(NamesOfKind(Kind).size()); }

String DeviceName(const TVcEngine&, TDeviceKind Kind, int32_t Index) {
  const std::vector<String> names = NamesOfKind(Kind);
  return Index >= 0 && Index < static_cast<int32_t>(names.size()) ? names[Index] : String();
}

String DeviceNames(const TVcEngine&, TDeviceKind Kind) {
  String text;
  for (const String& n : NamesOfKind(Kind)) text += n + "\r\n";
  return text;
}

int32_t FindDevice(const TVcEngine&, TDeviceKind Kind, const String& Name) {
  const std::vector<String> names = NamesOfKind(Kind);
  for (size_t i = 0; i < names.size(); ++i)
    if (rtl::SameText(names[i], Name)) return static_cast<int32_t>(i);
  return -1;
}

// The bound device's inputs, formats, standards and controls are read by
// the device graph; until one is built the device shows none of them.
String VideoInputNames(const TVcEngine&) { return String(); }
String AudioInputNames(const TVcEngine&) { return String(); }
void RouteVideoInput(TVcEngine&) {}
void ApplyAudioInput(TVcEngine&) {}
void ApplyDeviceControls(TVcEngine&) {}
bool SizeOfListEntry(const TVcEngine&, int32_t, int32_t&, int32_t&) { return false; }
String AnalogVideoStandardNames(const TVcEngine&) { return String(); }

void TuneCurrentChannel(TVcEngine& Engine) {
  if (Engine.Sel.HasTVTuner && Engine.ChannelScanRunning)
    Engine.ReportIf(true, SEV_ERROR, "TV commands not allowed during tv auto tuning",
                    e_tv_command_not_allowed_during_tv_tuning);
}

bool ShowDeviceDialog(TVcEngine&, int32_t) { return false; }

}  // namespace capture
