#include "platform/mg/Devices.h"

#include <algorithm>
#include <cctype>

#include "platform/mg/SystemFilters.h"

namespace mg {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<FilterRegistration> filters;  // in registration order
  std::vector<std::shared_ptr<DeviceProvider>> providers;
};

Registry& TheRegistry() {
  static Registry r;
  return r;
}

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

// ---- ClassFactory -----------------------------------------------------------------------

namespace {
// `onlyIfAbsent` keeps a backend's registration when the system filters
// are registered after it.
void RegisterInternal(FilterRegistration registration, bool onlyIfAbsent) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (auto& f : r.filters)
    if (f.clsid == registration.clsid) {
      if (!onlyIfAbsent) f = std::move(registration);
      return;
    }
  r.filters.push_back(std::move(registration));
}
}  // namespace

void ClassFactory::Register(FilterRegistration registration) {
  RegisterSystemFilters();
  RegisterInternal(std::move(registration), false);
}

void ClassFactory::Unregister(const CLSID& clsid) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::erase_if(r.filters, [&](const FilterRegistration& f) { return f.clsid == clsid; });
}

bool ClassFactory::Find(const CLSID& clsid, FilterRegistration* out) {
  RegisterSystemFilters();
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  for (auto& f : r.filters)
    if (f.clsid == clsid) {
      if (out) *out = f;
      return true;
    }
  return false;
}

HRESULT ClassFactory::CreateInstance(const CLSID& clsid, std::shared_ptr<BaseFilter>* filter) {
  if (!filter) return E_POINTER;
  filter->reset();
  FilterRegistration reg;
  if (!Find(clsid, &reg) || !reg.create) return REGDB_E_CLASSNOTREG;
  *filter = reg.create();
  return *filter ? S_OK : E_FAIL;
}

std::vector<FilterRegistration> ClassFactory::ByRole(FilterRole role) {
  RegisterSystemFilters();
  Registry& r = TheRegistry();
  std::vector<FilterRegistration> list;
  {
    std::lock_guard lock(r.mutex);
    for (auto& f : r.filters)
      if (f.role == role) list.push_back(f);
  }
  std::stable_sort(list.begin(), list.end(), [](auto& a, auto& b) { return a.merit > b.merit; });
  return list;
}

bool ClassFactory::FindSourceFor(const std::string& path, FilterRegistration* out) {
  const std::string ext = LowerExtension(path);
  for (auto& reg : ByRole(FilterRole::Source))
    if (std::find(reg.extensions.begin(), reg.extensions.end(), ext) != reg.extensions.end() ||
        std::find(reg.extensions.begin(), reg.extensions.end(), "*") != reg.extensions.end()) {
      if (out) *out = reg;
      return true;
    }
  return false;
}

void RegisterSystemFilters() {
  static std::once_flag once;
  std::call_once(once, [] {
    auto add = [](const CLSID& clsid, const char* name, uint32_t merit, FilterRole role,
                  std::function<std::shared_ptr<BaseFilter>()> create,
                  std::vector<std::pair<GUID, GUID>> inputs = {}) {
      FilterRegistration reg;
      reg.clsid = clsid;
      reg.name = name;
      reg.merit = merit;
      reg.role = role;
      reg.create = std::move(create);
      reg.inputTypes = std::move(inputs);
      RegisterInternal(std::move(reg), true);
    };
    add(CLSID_SmartTee, "Smart Tee", MERIT_DO_NOT_USE, FilterRole::Other, [] { return std::make_shared<SmartTee>(); });
    add(CLSID_InfTee, "Infinite Pin Tee Filter", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<InfTee>(); });
    add(CLSID_NullRenderer, "Null Renderer", MERIT_DO_NOT_USE, FilterRole::Renderer,
        [] { return std::make_shared<NullRenderer>(); });
    add(CLSID_SampleGrabber, "SampleGrabber", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<SampleGrabber>(); });
    add(CLSID_ColorSpaceConverter, "Color Space Converter", MERIT_UNLIKELY, FilterRole::Transform,
        [] { return std::make_shared<ColorSpaceConverter>(); }, {{MEDIATYPE_Video, GUID_NULL}});
    add(CLSID_VideoRenderer, "Video Renderer", MERIT_PREFERRED + 1, FilterRole::Renderer,
        [] { return std::make_shared<VideoRenderer>(CLSID_VideoRenderer); });
    add(CLSID_VideoMixingRenderer, "Video Mixing Renderer Filter", MERIT_DO_NOT_USE, FilterRole::Renderer,
        [] { return std::make_shared<VideoRenderer>(CLSID_VideoMixingRenderer); });
    add(CLSID_VideoMixingRenderer9, "Video Mixing Renderer 9", MERIT_DO_NOT_USE, FilterRole::Renderer,
        [] { return std::make_shared<VideoRenderer>(CLSID_VideoMixingRenderer9); });
    add(CLSID_AviDest, "AVI Mux", MERIT_DO_NOT_USE, FilterRole::Other, [] { return std::make_shared<AviMuxStandIn>(); });
    add(CLSID_FileWriter, "File writer", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<FileWriter>(); });
    add(CLSID_WMAsfWriter, "WM ASF Writer", MERIT_DO_NOT_USE, FilterRole::Other,
        [] { return std::make_shared<AsfWriterStandIn>(); });
  });
}

// ---- property bags and monikers ----------------------------------------------------------------

HRESULT PropertyBag::Read(const std::string& name, PropertyValue* value) const {
  if (!value) return E_POINTER;
  std::lock_guard lock(mutex_);
  auto it = values_.find(name);
  if (it == values_.end()) return E_INVALIDARG;
  *value = it->second;
  return S_OK;
}

HRESULT PropertyBag::Read(const std::string& name, std::string* value) const {
  if (!value) return E_POINTER;
  PropertyValue v;
  const HRESULT hr = Read(name, &v);
  if (FAILED(hr)) return hr;
  if (auto* s = std::get_if<std::string>(&v))
    *value = *s;
  else
    *value = std::to_string(std::get<int32_t>(v));
  return S_OK;
}

HRESULT PropertyBag::Write(const std::string& name, PropertyValue value) {
  std::lock_guard lock(mutex_);
  values_[name] = std::move(value);
  return S_OK;
}

Moniker::Moniker(std::string displayName, std::function<std::shared_ptr<BaseFilter>()> bind)
    : displayName_(std::move(displayName)), bag_(std::make_shared<PropertyBag>()), bind_(std::move(bind)) {}

HRESULT Moniker::GetDisplayName(std::string* name) const {
  if (!name) return E_POINTER;
  *name = displayName_;
  return S_OK;
}

HRESULT Moniker::BindToStorage(std::shared_ptr<PropertyBag>* bag) const {
  if (!bag) return E_POINTER;
  *bag = bag_;
  return S_OK;
}

HRESULT Moniker::BindToObject(std::shared_ptr<BaseFilter>* filter) const {
  if (!filter) return E_POINTER;
  *filter = bind_ ? bind_() : nullptr;
  return *filter ? S_OK : E_FAIL;
}

std::shared_ptr<Moniker> MakeFilterMoniker(const GUID& category, const FilterRegistration& reg) {
  auto create = reg.create;
  auto m = std::make_shared<Moniker>("@device:sw:" + category.ToString() + "\\" + reg.clsid.ToString(),
                                     [create] { return create ? create() : nullptr; });
  m->Properties().Write("FriendlyName", reg.name);
  m->Properties().Write("CLSID", reg.clsid.ToString());
  m->Properties().Write("Merit", static_cast<int32_t>(reg.merit));
  return m;
}

// ---- the system device enumerator ---------------------------------------------------------------

void SystemDeviceEnum::AddProvider(std::shared_ptr<DeviceProvider> provider) {
  if (!provider) return;
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.providers.push_back(std::move(provider));
}

void SystemDeviceEnum::RemoveProvider(const std::shared_ptr<DeviceProvider>& provider) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  std::erase(r.providers, provider);
}

void SystemDeviceEnum::ClearProviders() {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.providers.clear();
}

HRESULT SystemDeviceEnum::CreateClassEnumerator(const GUID& category, IEnumMoniker* e, DWORD) {
  if (!e) return E_POINTER;
  std::vector<std::shared_ptr<Moniker>> list;
  if (category == CLSID_LegacyAmFilterCategory) {
    RegisterSystemFilters();
    Registry& r = TheRegistry();
    std::vector<FilterRegistration> regs;
    {
      std::lock_guard lock(r.mutex);
      regs = r.filters;
    }
    for (auto& reg : regs) list.push_back(MakeFilterMoniker(category, reg));
  }
  std::vector<std::shared_ptr<DeviceProvider>> providers;
  {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    providers = r.providers;
  }
  // Providers are asked without the registry lock: they may open devices.
  for (auto& p : providers)
    for (auto& m : p->Enumerate(category))
      if (m) list.push_back(std::move(m));
  *e = IEnumMoniker(std::move(list));
  return e->Items().empty() ? S_FALSE : S_OK;
}

// ---- property frames ----------------------------------------------------------------------------

namespace {
std::mutex presenterMutex;
PropertyFramePresenter& Presenter() {
  static PropertyFramePresenter p;
  return p;
}
}  // namespace

void SetPropertyFramePresenter(PropertyFramePresenter presenter) {
  std::lock_guard lock(presenterMutex);
  Presenter() = std::move(presenter);
}

HRESULT OleCreatePropertyFrame(win::HWND parent, const std::string& caption,
                               const std::vector<std::shared_ptr<Object>>& objects) {
  std::vector<PropertyPage> pages;
  for (auto& o : objects) {
    auto spec = mg::QueryInterface<ISpecifyPropertyPages>(o);
    if (!spec) continue;
    std::vector<PropertyPage> some;
    if (SUCCEEDED(spec->GetPages(&some))) pages.insert(pages.end(), some.begin(), some.end());
  }
  if (pages.empty()) return E_NOINTERFACE;
  PropertyFramePresenter presenter;
  {
    std::lock_guard lock(presenterMutex);
    presenter = Presenter();
  }
  return presenter ? presenter(parent, caption, pages) : S_FALSE;
}

}  // namespace mg
