#pragma once
// The simulated devices as the device enumerator sees them: one provider
// holding a list of plugged-in devices that tests plug and unplug. Every
// change reaches the windows registered for device changes as
// WM_DEVICECHANGE, as a hot-plugged device does.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "platform/mg/Devices.h"
#include "platform/mg/sim/SimAudio.h"
#include "platform/mg/sim/SimCamera.h"
#include "platform/mg/sim/SimDv.h"
#include "platform/mg/sim/SimTv.h"
#include "platform/win/Types.h"

namespace mg::sim {

// WM_DEVICECHANGE's event: something was added to or removed from the system.
inline constexpr uintptr_t DBT_DEVNODES_CHANGED = 0x0007;

using DeviceOptions = std::variant<CameraOptions, AudioOptions, TvOptions, DvOptions>;

struct SimDevice {
  int id = 0;
  std::string friendlyName;
  std::string displayName;
  DeviceOptions options;
  std::shared_ptr<DevicePresence> presence;
  bool IsAudio() const { return std::holds_alternative<AudioOptions>(options); }
};

class SimDeviceProvider : public DeviceProvider {
public:
  // The process-wide provider (not yet registered with the enumerator).
  static std::shared_ptr<SimDeviceProvider> Instance();

  // Adds a device and announces it; returns its id. An empty name gives
  // the kind's usual one ("Sim Camera", "Sim Audio", "Sim TV", "Sim DV").
  int PlugIn(const DeviceOptions& options, const std::string& name = {});
  // Removes a device and announces it; its filters stop delivering and
  // report EC_DEVICE_LOST. False for an unknown id.
  bool Unplug(int id);
  // Back to the standard set (camera, TV card, DV camcorder, sound card)
  // without announcing anything.
  void Reset();
  // Removes every device without announcing anything.
  void Clear();
  std::vector<SimDevice> Devices() const;

  std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) override;

private:
  int AddLocked(const DeviceOptions& options, const std::string& name);
  mutable std::mutex mutex_;
  std::vector<SimDevice> devices_;
  int nextId_ = 1;
};

// Registers the provider with the system device enumerator once, holding
// the standard set. Tests call it; the program calls it when
// SimDevicesWanted says so.
void InstallSimDevices();
void UninstallSimDevices();
// The program's rule: VORIX_SIM_DEVICES=1 always, =0 never, otherwise only
// when no real capture device is present.
bool SimDevicesWanted(bool realDevicePresent);

// Windows told of device changes (the program's hidden device window).
void RegisterDeviceChangeWindow(win::HWND hwnd);
void UnregisterDeviceChangeWindow(win::HWND hwnd);
// Posts WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to every registered window;
// the real backends' monitors call it too.
void NotifyDeviceChange();

// The filter a moniker of the simulated provider makes, for tests that
// want the device's own class (nullptr for other filters).
template <class T>
std::shared_ptr<T> SimFilterAs(const std::shared_ptr<BaseFilter>& f) {
  return std::dynamic_pointer_cast<T>(f);
}

}  // namespace mg::sim
