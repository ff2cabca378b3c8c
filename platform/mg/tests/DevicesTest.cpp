#include <gtest/gtest.h>

#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

namespace {
struct TwoCameras : DeviceProvider {
  std::vector<std::shared_ptr<Moniker>> Enumerate(const GUID& category) override {
    if (category != CLSID_VideoInputDeviceCategory) return {};
    std::vector<std::shared_ptr<Moniker>> list;
    for (int i = 0; i < 2; ++i) {
      auto m = std::make_shared<Moniker>("@test:cam" + std::to_string(i), [] { return MakeSource(); });
      m->Properties().Write("FriendlyName", "Test Camera " + std::to_string(i));
      m->Properties().Write("CLSID", CLSID_VfwCapture.ToString());
      m->Properties().Write("DevicePath", "/dev/test" + std::to_string(i));
      list.push_back(m);
    }
    return list;
  }
};
}  // namespace

TEST(Devices, EnumeratesProviderMonikersWithPropertyBags) {
  auto provider = std::make_shared<TwoCameras>();
  SystemDeviceEnum::AddProvider(provider);
  SystemDeviceEnum devEnum;
  IEnumMoniker e;
  ASSERT_EQ(devEnum.CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0), S_OK);
  std::shared_ptr<Moniker> m;
  std::vector<std::string> names;
  while (e.Next(m)) {
    std::shared_ptr<PropertyBag> bag;
    ASSERT_EQ(m->BindToStorage(&bag), S_OK);
    std::string name, clsid;
    ASSERT_EQ(bag->Read("FriendlyName", &name), S_OK);
    ASSERT_EQ(bag->Read("CLSID", &clsid), S_OK);
    EXPECT_EQ(GUID::FromText(clsid), CLSID_VfwCapture);
    names.push_back(name);
    EXPECT_EQ(bag->Read("Missing", &name), E_INVALIDARG);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Test Camera 0", "Test Camera 1"}));
  IEnumMoniker audio;
  EXPECT_EQ(devEnum.CreateClassEnumerator(CLSID_AudioInputDeviceCategory, &audio, 0), S_FALSE);

  // Bind the second camera straight into a graph.
  e.Reset();
  e.Skip(1);
  ASSERT_TRUE(e.Next(m));
  auto g = FilterGraph::Create();
  std::shared_ptr<BaseFilter> f;
  ASSERT_EQ(g->AddSourceFilterForMoniker(m, "Video Capture", &f), S_OK);
  EXPECT_EQ(f->Name(), "Video Capture");
  SystemDeviceEnum::RemoveProvider(provider);
  EXPECT_EQ(devEnum.CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &e, 0), S_FALSE);
}

TEST(Devices, LegacyCategoryListsTheRegisteredFilters) {
  SystemDeviceEnum devEnum;
  IEnumMoniker e;
  ASSERT_EQ(devEnum.CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &e, 0), S_OK);
  bool found = false;
  for (auto& m : e.Items()) {
    std::string name;
    m->Properties().Read("FriendlyName", &name);
    if (name != "Smart Tee") continue;
    found = true;
    std::shared_ptr<BaseFilter> f;
    ASSERT_EQ(m->BindToObject(&f), S_OK);
    EXPECT_EQ(f->ClassId(), CLSID_SmartTee);
  }
  EXPECT_TRUE(found);
}

TEST(Devices, ClassFactoryCreatesByClassId) {
  std::shared_ptr<BaseFilter> f;
  EXPECT_EQ(ClassFactory::CreateInstance(CLSID_InfTee, &f), S_OK);
  EXPECT_EQ(f->ClassId(), CLSID_InfTee);
  std::shared_ptr<ISampleGrabber> grabber;
  EXPECT_EQ(ClassFactory::CreateInstance(CLSID_SampleGrabber, &grabber), S_OK);
  EXPECT_TRUE(grabber);
  EXPECT_EQ(ClassFactory::CreateInstance(GUID::FromText("{00000000-1111-2222-3333-444444444444}"), &f),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(f);
}

namespace {
// A converter from a private subtype to RGB32 that records which instance was used.
const GUID kPrivate = GUID::FromFourCC("PRIV");
struct PrivateDecoder : BaseFilter {
  explicit PrivateDecoder(const CLSID& id) : BaseFilter(id) {
    AddPin(std::make_shared<Pin>(this, "in", PINDIR_INPUT));
    AddPin(std::make_shared<Pin>(this, "out", PINDIR_OUTPUT));
  }
  HRESULT CheckMediaType(const Pin& p, const AM_MEDIA_TYPE& mt) const override {
    return mt.subtype == (p.Direction() == PINDIR_INPUT ? kPrivate : MEDIASUBTYPE_RGB32) ? S_OK : S_FALSE;
  }
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& p) const override {
    if (p.Direction() == PINDIR_INPUT) return {};
    return {MakeVideoType(MEDIASUBTYPE_RGB32, 8, 4, kPeriod)};
  }
};
}  // namespace

TEST(Devices, IntelligentConnectPrefersTheHigherMerit) {
  const CLSID low = GUID::FromText("{11111111-0000-0000-0000-000000000001}");
  const CLSID high = GUID::FromText("{11111111-0000-0000-0000-000000000002}");
  const CLSID unused = GUID::FromText("{11111111-0000-0000-0000-000000000003}");
  auto reg = [](const CLSID& id, const char* name, uint32_t merit) {
    FilterRegistration r;
    r.clsid = id;
    r.name = name;
    r.merit = merit;
    r.role = FilterRole::Transform;
    r.inputTypes = {{MEDIATYPE_Video, kPrivate}};
    r.create = [id] { return std::make_shared<PrivateDecoder>(id); };
    ClassFactory::Register(r);
  };
  reg(low, "low decoder", MERIT_NORMAL);
  reg(high, "high decoder", MERIT_PREFERRED);
  reg(unused, "never decoder", MERIT_DO_NOT_USE);
  AM_MEDIA_TYPE mt = MakeVideoType(MEDIASUBTYPE_RGB32, 8, 4, kPeriod);
  mt.subtype = kPrivate;
  auto g = FilterGraph::Create();
  auto src = std::make_shared<CallbackSource>(mt, kPeriod, IndexFill());
  auto vr = std::make_shared<VideoRenderer>();
  g->AddFilter(src, "src");
  g->AddFilter(vr, "vr");
  ASSERT_EQ(g->Connect(src->Output(), vr->Input()), S_OK);
  std::shared_ptr<BaseFilter> used;
  EXPECT_EQ(g->FindFilterByName("high decoder", &used), S_OK);
  EXPECT_EQ(g->FindFilterByName("low decoder", &used), VFW_E_NOT_FOUND);
  for (auto& id : {low, high, unused}) ClassFactory::Unregister(id);
}

TEST(Devices, AddSourceFilterNeedsAFileAndAHandler) {
  auto g = FilterGraph::Create();
  std::shared_ptr<BaseFilter> f;
  EXPECT_EQ(g->AddSourceFilter("/nonexistent/clip.avi", "", &f), HRESULT_FILE_NOT_FOUND);
  EXPECT_EQ(g->AddSourceFilter(VORIX_SOURCE_DIR "/CMakeLists.txt", "", &f), VFW_E_UNKNOWN_FILE_TYPE);
  EXPECT_EQ(g->RenderFile("/nonexistent/clip.avi", ""), HRESULT_FILE_NOT_FOUND);
}

namespace {
struct Tunable : BaseFilter, ISpecifyPropertyPages {
  int brightness = 5;
  Tunable() : BaseFilter(GUID_NULL) {}
  HRESULT GetPages(std::vector<PropertyPage>* pages) override {
    PropertyDescriptor d;
    d.name = "Brightness";
    d.min = 0;
    d.max = 10;
    d.def = 5;
    d.get = [this] { return brightness; };
    d.set = [this](int v) { brightness = v; };
    pages->push_back({"Video Proc Amp", {d}});
    return S_OK;
  }
};
}  // namespace

TEST(Devices, PropertyFramesGoThroughTheInstalledPresenter) {
  auto f = std::make_shared<Tunable>();
  auto plain = std::make_shared<NullRenderer>();
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, "Camera", {plain}), E_NOINTERFACE);
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, "Camera", {f, plain}), S_FALSE);  // nobody to show them
  std::string caption;
  SetPropertyFramePresenter([&](win::HWND, const std::string& c, std::vector<PropertyPage>& pages) {
    caption = c;
    if (pages.size() != 1 || pages[0].properties.size() != 1) return E_FAIL;
    pages[0].properties[0].set(pages[0].properties[0].get() + 3);  // the user moves the slider
    return S_OK;
  });
  EXPECT_EQ(OleCreatePropertyFrame(nullptr, "Camera", {f}), S_OK);
  SetPropertyFramePresenter(nullptr);
  EXPECT_EQ(caption, "Camera");
  EXPECT_EQ(f->brightness, 8);
}
