#include "platform/mg/sim/SimDevices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"

namespace mg::sim {

namespace {

const char* DefaultName(const DeviceOptions& o) {
  switch (o.index()) {
    case 0:
      return std::get<CameraOptions>(o).previewOnly ? "Sim Camera (Preview)" : "Sim Camera";
    case 1:
      return std::get<AudioOptions>(o).fourInputs ? "Sim Audio (4 inputs)" : "Sim Audio";
    case 2:
      return "Sim TV";
    default:
      return "Sim DV";
  }
}

CLSID ClassOf(const DeviceOptions& o) {
  switch (o.index()) {
    case 0:
      return CLSID_SimCamera;
    case 1:
      return CLSID_SimAudio;
    case 2:
      return CLSID_SimTvCapture;
    default:
      return CLSID_SimDv;
  }
}

// Device paths in the form the platform gives them; the camcorder's is the
// AV/C unit form with vendor, model and unit id.
std::string DisplayNameOf(const DeviceOptions& o, int id) {
  char unit[32];
  std::snprintf(unit, sizeof unit, "%016X", id);
  switch (o.index()) {
    case 0:
      return "@device:pnp:\\\\?\\sim#camera#" + std::string(unit) + "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
    case 1:
      return "@device:cm:{33D9A762-90C8-11D0-BD43-00A0C911CE86}\\sim audio " + std::to_string(id);
    case 2:
      return "@device:pnp:\\\\?\\sim#tv#" + std::string(unit) + "#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
    default:
      return "@device:pnp:\\\\?\\avc#simvendor&simdv-0001#" + std::string(unit) +
             "#{6994ad05-93ef-11d0-a3cc-00a0c9223196}\\global";
  }
}

std::shared_ptr<BaseFilter> MakeFilter(const DeviceOptions& o, const std::shared_ptr<DevicePresence>& presence) {
  if (!presence->present.load()) return nullptr;
  switch (o.index()) {
    case 0:
      return std::make_shared<SimCamera>(presence, std::get<CameraOptions>(o));
    case 1:
      return std::make_shared<SimAudioCard>(presence, std::get<AudioOptions>(o));
    case 2:
      return SimTvCapture::Create(presence, std::get<TvOptions>(o));
    default:
      return std::make_shared<SimDvCamcorder>(presence, std::get<DvOptions>(o));
  }
}

std::mutex& WindowsMutex() {
  static std::mutex m;
  return m;
}
std::vector<win::HWND>& Windows() {
  static std::vector<win::HWND> list;
  return list;
}

std::mutex& InstallMutex() {
  static std::mutex m;
  return m;
}
bool& Installed() {
  static bool installed = false;
  return installed;
}

}  // namespace

std::shared_ptr<SimDeviceProvider> SimDeviceProvider::Instance() {
  static const std::shared_ptr<SimDeviceProvider> provider = [] {
    auto p = std::make_shared<SimDeviceProvider>();
    p->Reset();
    return p;
  }();
  return provider;
}

int SimDeviceProvider::AddLocked(const DeviceOptions& options, const std::string& name) {
  SimDevice d;
  d.id = nextId_++;
  d.friendlyName = name.empty() ? DefaultName(options) : name;
  d.displayName = DisplayNameOf(options, d.id);
  d.options = options;
  d.presence = std::make_shared<DevicePresence>();
  devices_.push_back(d);
  return d.id;
}

int SimDeviceProvider::PlugIn(const DeviceOptions& options, const std::string& name) {
  int id;
  {
    std::lock_guard lock(mutex_);
    id = AddLocked(options, name);
  }
  NotifyDeviceChange();
  return id;
}

bool SimDeviceProvider::Unplug(int id) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(devices_.begin(), devices_.end(), [id](const SimDevice& d) { return d.id == id; });
    if (it == devices_.end()) return false;
    it->presence->present.store(false);
    devices_.erase(it);
  }
  NotifyDeviceChange();
  return true;
}

void SimDeviceProvider::Clear() {
  std::lock_guard lock(mutex_);
  for (auto& d : devices_) d.presence->present.store(false);
  devices_.clear();
}

void SimDeviceProvider::Reset() {
  Clear();
  std::lock_guard lock(mutex_);
  AddLocked(CameraOptions{}, {});
  AddLocked(TvOptions{}, {});
  AddLocked(DvOptions{}, {});
  AddLocked(AudioOptions{}, {});
}

std::vector<SimDevice> SimDeviceProvider::Devices() const {
  std::lock_guard lock(mutex_);
  return devices_;
}

std::vector<std::shared_ptr<Moniker>> SimDeviceProvider::Enumerate(const GUID& category) {
  const bool audio = category == CLSID_AudioInputDeviceCategory;
  if (!audio && category != CLSID_VideoInputDeviceCategory) return {};
  std::vector<std::shared_ptr<Moniker>> list;
  int waveIn = 0;
  for (const SimDevice& d : Devices()) {
    if (d.IsAudio() != audio) continue;
    const DeviceOptions options = d.options;
    const std::shared_ptr<DevicePresence> presence = d.presence;
    auto m = std::make_shared<Moniker>(d.displayName, [options, presence] { return MakeFilter(options, presence); });
    m->Properties().Write("FriendlyName", d.friendlyName);
    m->Properties().Write("CLSID", ClassOf(d.options).ToString());
    if (audio) {
      m->Properties().Write("WaveInID", static_cast<int32_t>(waveIn++));
    } else {
      const size_t at = d.displayName.find("\\\\?\\");
      m->Properties().Write("DevicePath", at == std::string::npos ? d.displayName : d.displayName.substr(at));
    }
    list.push_back(std::move(m));
  }
  return list;
}

void InstallSimDevices() {
  std::lock_guard lock(InstallMutex());
  if (Installed()) return;
  Installed() = true;
  SystemDeviceEnum::AddProvider(SimDeviceProvider::Instance());
}

void UninstallSimDevices() {
  std::lock_guard lock(InstallMutex());
  if (!Installed()) return;
  Installed() = false;
  SystemDeviceEnum::RemoveProvider(SimDeviceProvider::Instance());
}

bool SimDevicesWanted(bool realDevicePresent) {
  const char* v = std::getenv("VORIX_SIM_DEVICES");
  if (v && std::strcmp(v, "1") == 0) return true;
  if (v && std::strcmp(v, "0") == 0) return false;
  return !realDevicePresent;
}

void RegisterDeviceChangeWindow(win::HWND hwnd) {
  std::lock_guard lock(WindowsMutex());
  auto& list = Windows();
  if (std::find(list.begin(), list.end(), hwnd) == list.end()) list.push_back(hwnd);
}

void UnregisterDeviceChangeWindow(win::HWND hwnd) {
  std::lock_guard lock(WindowsMutex());
  std::erase(Windows(), hwnd);
}

void NotifyDeviceChange() {
  std::vector<win::HWND> list;
  {
    std::lock_guard lock(WindowsMutex());
    list = Windows();
  }
  // Posted, so a change found on any thread reaches each window on its own.
  for (win::HWND h : list) win::PostMessage(h, win::WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
}

}  // namespace mg::sim
