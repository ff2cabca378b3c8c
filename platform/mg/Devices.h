#pragma once
// Creating filters by class id, and finding devices. Filters register in
// one table with a merit (which one intelligent connection tries first);
// devices come from providers (simulated, V4L2, ALSA, ...) registered at
// start, and appear as monikers with a property bag.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "platform/mg/Filter.h"

namespace mg {

inline constexpr uint32_t MERIT_PREFERRED = 0x800000;
inline constexpr uint32_t MERIT_NORMAL = 0x600000;
inline constexpr uint32_t MERIT_UNLIKELY = 0x400000;
inline constexpr uint32_t MERIT_DO_NOT_USE = 0x200000;
inline constexpr uint32_t MERIT_SW_COMPRESSOR = 0x100000;
inline constexpr uint32_t MERIT_HW_COMPRESSOR = 0x100050;

// What the graph may do with a registered filter on its own.
enum class FilterRole { Other, Transform, Renderer, Source };

struct FilterRegistration {
  CLSID clsid;
  std::string name;
  uint32_t merit = MERIT_NORMAL;
  FilterRole role = FilterRole::Other;
  // Major/sub types its input takes; empty: try it with anything.
  std::vector<std::pair<GUID, GUID>> inputTypes;
  // File extensions (lower case, with the dot) a source opens.
  std::vector<std::string> extensions;
  std::function<std::shared_ptr<BaseFilter>()> create;
};

// The class table. The system filters are in it from the start; backends
// add theirs (a later registration of the same class id replaces it).
class ClassFactory {
public:
  static void Register(FilterRegistration registration);
  static void Unregister(const CLSID& clsid);
  static HRESULT CreateInstance(const CLSID& clsid, std::shared_ptr<BaseFilter>* filter);
  template <class I>
  static HRESULT CreateInstance(const CLSID& clsid, std::shared_ptr<I>* out) {
    std::shared_ptr<BaseFilter> f;
    const HRESULT hr = CreateInstance(clsid, &f);
    if (FAILED(hr)) return hr;
    *out = mg::QueryInterface<I>(f);
    return *out ? S_OK : E_NOINTERFACE;
  }
  static bool Find(const CLSID& clsid, FilterRegistration* out);
  // Registrations of a role, highest merit first (ties in registration order).
  static std::vector<FilterRegistration> ByRole(FilterRole role);
  // The source filter registered for the extension of `path`, if any.
  static bool FindSourceFor(const std::string& path, FilterRegistration* out);
};

// Makes sure the system filters are registered (idempotent; the graph
// calls it, so does the device enumerator).
void RegisterSystemFilters();

// Values of a device's property bag: text (FriendlyName, CLSID as
// "{...}", DevicePath) or a number (WaveInID, FccHandler).
using PropertyValue = std::variant<std::string, int32_t>;

class PropertyBag : public Object {
public:
  HRESULT Read(const std::string& name, PropertyValue* value) const;
  HRESULT Read(const std::string& name, std::string* value) const;
  HRESULT Write(const std::string& name, PropertyValue value);

private:
  mutable std::mutex mutex_;
  std::map<std::string, PropertyValue> values_;
};

class Moniker : public Object {
public:
  Moniker(std::string displayName, std::function<std::shared_ptr<BaseFilter>()> bind);
  HRESULT GetDisplayName(std::string* name) const;
  const std::string& DisplayName() const { return displayName_; }
  // The property bag (BindToStorage of the platform).
  HRESULT BindToStorage(std::shared_ptr<PropertyBag>* bag) const;
  PropertyBag& Properties() { return *bag_; }
  // Creates the device's filter; E_FAIL when the device is gone.
  HRESULT BindToObject(std::shared_ptr<BaseFilter>* filter) const;
  HRESULT IsEqual(const Moniker& other) const { return displayName_ == other.displayName_ ? S_OK : S_FALSE; }

private:
  std::string displayName_;
  std::shared_ptr<PropertyBag> bag_;
  std::function<std::shared_ptr<BaseFilter>()> bind_;
};

using IEnumMoniker = Enumerator<std::shared_ptr<Moniker>>;

class DeviceProvider {
public:
  virtual ~DeviceProvider() = default;
  // The devices of `category` present now, in a stable order.
  virtual std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) = 0;
};

class SystemDeviceEnum : public Object {
public:
  static void AddProvider(std::shared_ptr<DeviceProvider> provider);
  static void RemoveProvider(const std::shared_ptr<DeviceProvider>& provider);
  static void ClearProviders();
  // S_FALSE with an empty enumerator when the category has no device.
  // The legacy filter category lists the registered filters.
  HRESULT CreateClassEnumerator(const GUID& category, IEnumMoniker* e, DWORD flags);
};

using ICreateDevEnum = SystemDeviceEnum;
using IMoniker = Moniker;
using IPropertyBag = PropertyBag;

// A moniker with FriendlyName and CLSID for a filter registration.
std::shared_ptr<Moniker> MakeFilterMoniker(const GUID& category, const FilterRegistration& reg);

}  // namespace mg
