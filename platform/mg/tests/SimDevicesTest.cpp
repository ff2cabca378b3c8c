#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "platform/mg/tests/SimTestSupport.h"
#include "platform/mg/sim/SimStandIns.h"
#include "platform/win/Api.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

// The simulated provider installed with its standard set, for one test.
class SimDevicesTest : public ::testing::Test {
protected:
  void SetUp() override {
    SimDeviceProvider::Instance()->Reset();
    InstallSimDevices();
  }
  void TearDown() override {
    UninstallSimDevices();
    SimDeviceProvider::Instance()->Reset();
  }

  static std::vector<std::string> Names(const GUID& category) {
    SystemDeviceEnum devEnum;
    IEnumMoniker e;
    devEnum.CreateClassEnumerator(category, &e, 0);
    std::vector<std::string> names;
    for (auto& m : e.Items()) {
      std::string name;
      m->Properties().Read("FriendlyName", &name);
      names.push_back(name);
    }
    return names;
  }
  static std::shared_ptr<Moniker> Find(const GUID& category, const std::string& name) {
    SystemDeviceEnum devEnum;
    IEnumMoniker e;
    devEnum.CreateClassEnumerator(category, &e, 0);
    for (auto& m : e.Items()) {
      std::string n;
      m->Properties().Read("FriendlyName", &n);
      if (n == name) return m;
    }
    return nullptr;
  }
};

win::HWND MakeWindow() {
  static const bool registered = [] {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "SimDeviceChangeTest";
    return win::RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return win::CreateWindowExA(0, "SimDeviceChangeTest", "", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr);
}

// WM_DEVICECHANGE messages waiting for the window, taken off its queue.
std::vector<win::WPARAM> TakeDeviceChanges(win::HWND hwnd) {
  std::vector<win::WPARAM> list;
  win::MSG msg;
  while (win::PeekMessageA(&msg, hwnd, win::WM_DEVICECHANGE, win::WM_DEVICECHANGE, win::PM_REMOVE))
    list.push_back(msg.wParam);
  return list;
}

}  // namespace

TEST_F(SimDevicesTest, StandardSetIsEnumeratedAndBindsToItsFilters) {
  EXPECT_EQ(Names(CLSID_VideoInputDeviceCategory), (std::vector<std::string>{"Sim Camera", "Sim TV", "Sim DV"}));
  EXPECT_EQ(Names(CLSID_AudioInputDeviceCategory), (std::vector<std::string>{"Sim Audio"}));
  struct Case {
    GUID category;
    const char* name;
    CLSID clsid;
  };
  for (const Case& c : {Case{CLSID_VideoInputDeviceCategory, "Sim Camera", CLSID_SimCamera},
                        Case{CLSID_VideoInputDeviceCategory, "Sim TV", CLSID_SimTvCapture},
                        Case{CLSID_VideoInputDeviceCategory, "Sim DV", CLSID_SimDv},
                        Case{CLSID_AudioInputDeviceCategory, "Sim Audio", CLSID_SimAudio}}) {
    auto m = Find(c.category, c.name);
    ASSERT_TRUE(m) << c.name;
    std::string clsid;
    ASSERT_EQ(m->Properties().Read("CLSID", &clsid), S_OK);
    EXPECT_EQ(GUID::FromText(clsid), c.clsid);
    std::shared_ptr<BaseFilter> f;
    ASSERT_EQ(m->BindToObject(&f), S_OK);
    EXPECT_EQ(f->ClassId(), c.clsid);
  }
  // The camcorder's path is the AV/C unit form.
  std::string name;
  Find(CLSID_VideoInputDeviceCategory, "Sim DV")->GetDisplayName(&name);
  EXPECT_NE(name.find("\\\\?\\avc#simvendor&simdv-0001#"), std::string::npos) << name;
  PropertyValue waveIn;
  EXPECT_EQ(Find(CLSID_AudioInputDeviceCategory, "Sim Audio")->Properties().Read("WaveInID", &waveIn), S_OK);
}

TEST_F(SimDevicesTest, PlugAndUnplugReachTheRegisteredWindow) {
  win::HWND hwnd = MakeWindow();
  ASSERT_TRUE(hwnd);
  win::HWND other = MakeWindow();
  RegisterDeviceChangeWindow(hwnd);
  auto& provider = *SimDeviceProvider::Instance();
  CameraOptions preview;
  preview.previewOnly = true;
  const int id = provider.PlugIn(preview, "Desk Camera");
  EXPECT_EQ(TakeDeviceChanges(hwnd), (std::vector<win::WPARAM>{DBT_DEVNODES_CHANGED}));
  EXPECT_TRUE(TakeDeviceChanges(other).empty());
  EXPECT_EQ(Names(CLSID_VideoInputDeviceCategory).back(), "Desk Camera");
  const auto moniker = Find(CLSID_VideoInputDeviceCategory, "Desk Camera");

  EXPECT_TRUE(provider.Unplug(id));
  EXPECT_FALSE(provider.Unplug(id));
  EXPECT_EQ(TakeDeviceChanges(hwnd), (std::vector<win::WPARAM>{DBT_DEVNODES_CHANGED}));
  EXPECT_EQ(Names(CLSID_VideoInputDeviceCategory).size(), 3u);
  std::shared_ptr<BaseFilter> f;
  EXPECT_EQ(moniker->BindToObject(&f), E_FAIL);  // the device is gone

  UnregisterDeviceChangeWindow(hwnd);
  provider.PlugIn(AudioOptions{});
  EXPECT_TRUE(TakeDeviceChanges(hwnd).empty());
  win::DestroyWindow(hwnd);
  win::DestroyWindow(other);
}

TEST_F(SimDevicesTest, UnpluggingAStreamingDeviceReportsItLost) {
  auto& provider = *SimDeviceProvider::Instance();
  const int id = provider.PlugIn(CameraOptions{}, "Unplugged Camera");
  std::shared_ptr<BaseFilter> f;
  ASSERT_EQ(Find(CLSID_VideoInputDeviceCategory, "Unplugged Camera")->BindToObject(&f), S_OK);
  auto cam = SimFilterAs<SimCamera>(f);
  ASSERT_TRUE(cam);
  DeviceRun run(cam, cam->Output());
  ASSERT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(2);
  provider.Unplug(id);
  run.scheduler->Pump(3);
  EXPECT_EQ(run.sink->Samples().size(), 2u);
  long code = 0;
  intptr_t p1 = 0, p2 = 0;
  bool lost = false;
  while (run.graph->GetEvent(&code, &p1, &p2, 0) == S_OK) lost |= code == EC_DEVICE_LOST;
  EXPECT_TRUE(lost);
}

TEST(SimDevices, ProgramUsesThemWhenAskedOrWhenNothingRealIsThere) {
  struct Case {
    const char* env;
    bool real, wanted;
  };
  const Case cases[] = {{nullptr, false, true}, {nullptr, true, false}, {"1", true, true},
                        {"0", false, false},    {"yes", true, false}};
  for (const Case& c : cases) {
    if (c.env)
      ::setenv("VORIX_SIM_DEVICES", c.env, 1);
    else
      ::unsetenv("VORIX_SIM_DEVICES");
    EXPECT_EQ(SimDevicesWanted(c.real), c.wanted) << (c.env ? c.env : "unset") << " " << c.real;
  }
  ::unsetenv("VORIX_SIM_DEVICES");
}

TEST(SimStandIns, MixerMonitorsDiskSpaceAndDriveKindAreInjectable) {
  EXPECT_EQ(GetSpeakerMixer(), nullptr);
  {
    ScopedSpeakerMixer scope(std::make_shared<SimSpeakerMixer>(30000, 40000));
    auto mixer = GetSpeakerMixer();
    ASSERT_TRUE(mixer);
    uint32_t l = 0, r = 0;
    ASSERT_TRUE(mixer->GetVolume(&l, &r));
    EXPECT_EQ(l, 30000u);
    EXPECT_EQ(r, 40000u);
    ASSERT_TRUE(mixer->SetVolume(1000, 70000));
    EXPECT_EQ(scope.mixer().History(), (std::vector<std::pair<uint32_t, uint32_t>>{{1000, 65535}}));
    scope.mixer().SetPresent(false);
    EXPECT_FALSE(mixer->GetVolume(&l, &r));
  }
  EXPECT_EQ(GetSpeakerMixer(), nullptr);

  const auto before = win::GetMonitorLayout();
  {
    ScopedMonitors monitors;
    int count = 0;
    win::EnumDisplayMonitors(nullptr, nullptr,
                             [](win::HMONITOR, win::HDC, win::RECT*, win::LPARAM data) -> win::BOOL {
                               ++*reinterpret_cast<int*>(data);
                               return 1;
                             },
                             reinterpret_cast<win::LPARAM>(&count));
    EXPECT_EQ(count, 2);
  }
  EXPECT_EQ(win::GetMonitorLayout().size(), before.size());

  const std::string tmp = ::testing::TempDir();
  {
    ScopedDiskSpace space;
    space.Set("/captures", 24'999'999, 1'000'000'000);
    space.Set("/captures/big", 5'000'000'000, 9'000'000'000);
    EXPECT_EQ(rtl::DiskFree("/captures/clip.avi"), 24'999'999);
    EXPECT_EQ(rtl::DiskFree("/captures/big/clip.avi"), 5'000'000'000);
    EXPECT_EQ(rtl::DiskSize("/captures"), 1'000'000'000);
    EXPECT_GT(rtl::DiskFree(tmp), 0);  // elsewhere the real file system answers
    EXPECT_NE(rtl::DiskFree("/capturesX"), 24'999'999);
  }
  {
    ScopedDriveKinds kinds;
    kinds.Set("/mnt/share", rtl::TDriveKind::Remote);
    EXPECT_EQ(DriveKindFor("/mnt/share/clip.avi"), rtl::TDriveKind::Remote);
    EXPECT_EQ(DriveKindFor(tmp), rtl::DriveKindOf(tmp));
  }
  EXPECT_EQ(DriveKindFor("/mnt/share/clip.avi"), rtl::DriveKindOf("/mnt/share/clip.avi"));
}

TEST(SimPropertyPages, PagesReadAndDriveTheDeviceControls) {
  std::map<std::string, int> wanted;
  std::vector<std::string> titles;
  SetPropertyFramePresenter([&](win::HWND, const std::string&, std::vector<PropertyPage>& pages) {
    for (auto& page : pages) {
      titles.push_back(page.title);
      for (auto& d : page.properties) {
        auto it = wanted.find(d.name);
        if (it == wanted.end()) continue;
        EXPECT_GE(it->second, d.min) << d.name;
        EXPECT_LE(it->second, d.max) << d.name;
        d.set(it->second);
        EXPECT_EQ(d.get(), it->second) << d.name;
      }
    }
    return S_OK;
  });
  auto presence = std::make_shared<DevicePresence>();
  auto cam = std::make_shared<SimCamera>(presence, CameraOptions{});
  wanted = {{"Brightness", 30}, {"Zoom", 200}, {"Flip Horizontal", 1}};
  ASSERT_EQ(OleCreatePropertyFrame(nullptr, "Sim Camera", {cam}), S_OK);
  EXPECT_EQ(titles, (std::vector<std::string>{"Video Proc Amp", "Camera Control", "Video Control"}));
  LONG v = 0, flags = 0;
  cam->Get(VideoProcAmp_Brightness, &v, &flags);
  EXPECT_EQ(v, 30);
  cam->GetCamera(CameraControl_Zoom, &v, &flags);
  EXPECT_EQ(v, 200);
  cam->GetMode(cam->Output().get(), &v);
  EXPECT_EQ(v, VideoControlFlag_FlipHorizontal);

  auto tv = SimTvCapture::Create(presence, TvOptions{});
  titles.clear();
  wanted = {{"Channel", 10}, {"0: Video Decoder Out", 3}};
  ASSERT_EQ(OleCreatePropertyFrame(nullptr, "Sim TV", {tv->Tuner(), tv->VideoCrossbar()}), S_OK);
  EXPECT_EQ(titles, (std::vector<std::string>{"TV Tuner", "Crossbar"}));
  tv->Tuner()->get_Channel(&v, nullptr, nullptr);
  EXPECT_EQ(v, 10);
  tv->VideoCrossbar()->get_IsRoutedTo(0, &v);
  EXPECT_EQ(v, 3);

  auto card = std::make_shared<SimAudioCard>(presence, AudioOptions{});
  wanted = {{"Input", 2}, {"Level", 40}};
  ASSERT_EQ(OleCreatePropertyFrame(nullptr, "Sim Audio", {card}), S_OK);
  BOOL on = 0;
  card->InputPins()[2]->get_Enable(&on);
  EXPECT_TRUE(on);
  double level = 0;
  card->get_MixLevel(&level);
  EXPECT_DOUBLE_EQ(level, 0.4);
  SetPropertyFramePresenter(nullptr);
}
