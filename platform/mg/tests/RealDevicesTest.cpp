// The real-device providers together: what a udev event does to the
// device list, the filters and the windows told of device changes, the
// program's choice between real and simulated devices, the udev monitor's
// start and stop, and, with VORIX_REAL_DEVICES=1, the machine's own
// camera, sound card and speaker line.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeV4l2.h"
#include "SimTestSupport.h"
#include "platform/mg/RealDevices.h"
#include "platform/mg/alsa/AlsaSpeakerMixer.h"
#include "platform/mg/udev/UdevMonitor.h"
#include "platform/mg/v4l2/V4l2Capture.h"
#include "platform/win/Api.h"

namespace {

using namespace mg;

win::HWND MakeWindow() {
  static const bool registered = [] {
    win::WNDCLASSA wc;
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "RealDeviceChangeTest";
    return win::RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return win::CreateWindowExA(0, "RealDeviceChangeTest", "", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr);
}

int TakeDeviceChanges(win::HWND hwnd) {
  int n = 0;
  win::MSG msg;
  while (win::PeekMessageA(&msg, hwnd, win::WM_DEVICECHANGE, win::WM_DEVICECHANGE, win::PM_REMOVE)) ++n;
  return n;
}

bool RealDevicesAsked() {
  const char* v = std::getenv("VORIX_REAL_DEVICES");
  return v && std::string(v) == "1";
}

class RealDevices : public ::testing::Test {
protected:
  void SetUp() override {
    fake = std::make_shared<fakev4l2::FakeV4l2>(VORIX_TEST_DATA "/v4l2/uvc-webcam.txt");
    RealDeviceOptions o;
    o.io = fake;
    o.cards = [] { return std::vector<alsa::CaptureCard>{{"null", "hw:2,0", "USB Microphone", ""}}; };
    o.monitor = false;
    o.speakerMixer = false;
    InstallRealDevices(o);
    hwnd = MakeWindow();
    sim::RegisterDeviceChangeWindow(hwnd);
  }
  void TearDown() override {
    sim::UnregisterDeviceChangeWindow(hwnd);
    win::DestroyWindow(hwnd);
    UninstallRealDevices();
  }
  static std::shared_ptr<Moniker> First(const GUID& category) {
    SystemDeviceEnum devEnum;
    IEnumMoniker e;
    devEnum.CreateClassEnumerator(category, &e, 0);
    return e.Items().empty() ? nullptr : e.Items()[0];
  }
  std::shared_ptr<fakev4l2::FakeV4l2> fake;
  win::HWND hwnd = nullptr;
};

TEST_F(RealDevices, HotplugEventsTellTheProvidersAndTheWindows) {
  ASSERT_NE(First(CLSID_VideoInputDeviceCategory), nullptr);
  ASSERT_NE(First(CLSID_AudioInputDeviceCategory), nullptr);
  EXPECT_TRUE(AnyRealVideoDevice());
  std::shared_ptr<BaseFilter> camera, mic;
  ASSERT_EQ(First(CLSID_VideoInputDeviceCategory)->BindToObject(&camera), S_OK);
  ASSERT_EQ(First(CLSID_AudioInputDeviceCategory)->BindToObject(&mic), S_OK);
  auto node = std::dynamic_pointer_cast<v4l2::V4l2CaptureFilter>(camera)->Node();

  struct Case {
    HotplugEvent event;
    int messages;
  };
  const Case cases[] = {
      {{"change", "video4linux", "/dev/video0"}, 0},
      {{"add", "usb", "/dev/bus/usb/001/004"}, 0},
      {{"remove", "sound", "/dev/snd/pcmC1D0c"}, 1},  // another card
      {{"add", "video4linux", "/dev/video2"}, 1},
  };
  for (const Case& c : cases) {
    DispatchHotplugEvent(c.event);
    EXPECT_EQ(TakeDeviceChanges(hwnd), c.messages) << c.event.action << " " << c.event.devnode;
  }
  EXPECT_TRUE(node->Present());

  // The camera's node goes: its filter is gone, and a new binding fails
  // until the node is back.
  fake->Unplug("/dev/video0");
  DispatchHotplugEvent({"remove", "video4linux", "/dev/video0"});
  EXPECT_EQ(TakeDeviceChanges(hwnd), 1);
  EXPECT_FALSE(node->Present());
  EXPECT_EQ(First(CLSID_VideoInputDeviceCategory), nullptr);
  EXPECT_FALSE(AnyRealVideoDevice());
  fake->Replug("/dev/video0");
  DispatchHotplugEvent({"add", "video4linux", "/dev/video0"});
  std::shared_ptr<BaseFilter> again;
  ASSERT_EQ(First(CLSID_VideoInputDeviceCategory)->BindToObject(&again), S_OK);
  EXPECT_TRUE(std::dynamic_pointer_cast<v4l2::V4l2CaptureFilter>(again)->Node()->Present());

  // The sound card's control node goes: card 2's capture is gone.
  auto monikerOfMic = First(CLSID_AudioInputDeviceCategory);
  DispatchHotplugEvent({"remove", "sound", "/dev/snd/controlC2"});
  std::shared_ptr<BaseFilter> none;
  EXPECT_EQ(monikerOfMic->BindToObject(&none), E_FAIL);
  EXPECT_EQ(TakeDeviceChanges(hwnd), 2);
}

TEST(RealDeviceChoice, SimulatedDevicesOnlyWhenAskedOrWithoutARealCamera) {
  struct Case {
    const char* env;
    bool real;
    bool simWithCamera, simWithout;
  };
  const char* old = std::getenv("VORIX_SIM_DEVICES");
  const std::string saved = old ? old : "";
  for (const Case& c : {Case{nullptr, true, false, true}, Case{"1", false, true, true}, Case{"0", true, false, false}}) {
    if (c.env)
      ::setenv("VORIX_SIM_DEVICES", c.env, 1);
    else
      ::unsetenv("VORIX_SIM_DEVICES");
    EXPECT_EQ(RealDevicesWanted(), c.real) << (c.env ? c.env : "unset");
    EXPECT_EQ(sim::SimDevicesWanted(true), c.simWithCamera) << (c.env ? c.env : "unset");
    EXPECT_EQ(sim::SimDevicesWanted(false), c.simWithout) << (c.env ? c.env : "unset");
  }
  if (old)
    ::setenv("VORIX_SIM_DEVICES", saved.c_str(), 1);
  else
    ::unsetenv("VORIX_SIM_DEVICES");
}

TEST(UdevMonitor, StartsWhereUdevCanBeWatchedAndStopsAtOnce) {
  if (!udev::StartMonitor()) GTEST_SKIP() << "udev cannot be watched here (no netlink socket)";
  EXPECT_TRUE(udev::StartMonitor()) << "a second start keeps the running monitor";
  udev::StopMonitor();
  udev::StopMonitor();
}

// The machine's own devices, with VORIX_REAL_DEVICES=1.
TEST(OwnDevices, TheFirstCameraStreamsFrames) {
  if (!RealDevicesAsked()) GTEST_SKIP() << "the machine's own devices are tried only with VORIX_REAL_DEVICES=1";
  v4l2::V4l2DeviceProvider provider(v4l2::SystemV4l2Io());
  auto list = provider.Enumerate(CLSID_VideoInputDeviceCategory);
  if (list.empty()) GTEST_SKIP() << "VORIX_REAL_DEVICES=1, but there is no /dev/video* capture device";
  std::shared_ptr<BaseFilter> f;
  ASSERT_EQ(list[0]->BindToObject(&f), S_OK);
  auto camera = std::dynamic_pointer_cast<v4l2::V4l2CaptureFilter>(f);
  simtest::DeviceRun run(camera, camera->Output());
  ASSERT_EQ(run.connected, S_OK);
  ASSERT_EQ(run.graph->Run(), S_OK);
  // Each round waits for the camera's next frame (half a second at most).
  for (int i = 0; i < 40 && run.sink->Samples().size() < 5; ++i) run.scheduler->Pump(1);
  EXPECT_GE(run.sink->Samples().size(), 5u);
}

TEST(OwnDevices, TheFirstSoundCardCapturesAndTheSpeakerLineKeepsItsVolume) {
  if (!RealDevicesAsked()) GTEST_SKIP() << "the machine's own devices are tried only with VORIX_REAL_DEVICES=1";
  alsa::AlsaDeviceProvider provider;
  auto list = provider.Enumerate(CLSID_AudioInputDeviceCategory);
  if (list.empty()) GTEST_SKIP() << "VORIX_REAL_DEVICES=1, but there is no sound card with a capture PCM";
  std::shared_ptr<BaseFilter> f;
  ASSERT_EQ(list[0]->BindToObject(&f), S_OK);
  auto card = std::dynamic_pointer_cast<alsa::AlsaCaptureFilter>(f);
  {
    simtest::DeviceRun run(card, card->Output());
    ASSERT_EQ(run.graph->Run(), S_OK);
    run.scheduler->Pump(3);
    ASSERT_EQ(run.sink->Samples().size(), 3u);
    EXPECT_EQ(run.sink->Samples()[0].bytes.size(), 44100u / 10 * 4);
  }
  alsa::AlsaSpeakerMixer mixer;
  uint32_t l = 0, r = 0;
  if (!mixer.GetVolume(&l, &r)) GTEST_SKIP() << "the default card has no Master or PCM playback volume";
  ASSERT_TRUE(mixer.SetVolume(30000, 20000));
  uint32_t l2 = 0, r2 = 0;
  ASSERT_TRUE(mixer.GetVolume(&l2, &r2));
  EXPECT_NEAR(l2, 30000, 2000);
  EXPECT_LE(r2, l2);
  mixer.SetVolume(l, r);
}

}  // namespace
