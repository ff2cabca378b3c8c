// Selecting the engine's devices: the event, discovery once and the cache
// after it, the settings of the device left behind, bad registry values,
// the associated audio device, the first idle moment and the manager's
// rebuild through the lists' hooks.
#include <tuple>

#include "capture/VcRegistry.h"
#include "capture/tests/VcDevicesTestUtil.h"

using namespace capture;

namespace {

class BindFixture : public vcdevtest::DevicesFixture {
protected:
  // Discovery that writes a cache, as the format code does, and counts.
  void InstallDiscovery() {
    TDiscoveryHooks hooks;
    hooks.DiscoverVideoDevice = [this](TVcEngine& e) {
      ++videoDiscoveries;
      e.Sel.VideoSizes.Clear();
      e.Sel.VideoSubtypes.Clear();
      for (const char* s : {"    320x240", " 320x240", " 640x480"}) e.Sel.VideoSizes.Add(s);
      for (const char* s : {"RGB24", "YUY2"}) e.Sel.VideoSubtypes.Add(s);
      WriteFormatCache(e.BoundVideoDeviceKey(), {"    320x240", " 320x240", " 640x480"}, {"RGB24", "YUY2"});
      return true;
    };
    hooks.DiscoverAudioDevice = [this](TVcEngine&) {
      ++audioDiscoveries;
      return true;
    };
    hooks.GetSelectedVideoSize = [](TVcEngine& e, int32_t, int32_t& w, int32_t& h) {
      if (e.Sel.VideoSizes.Count() < 2) return false;
      w = 640;
      h = 480;
      return true;
    };
    SetDiscoveryHooks(hooks);
  }
  TVidCap* Control() {
    TVidCap* vc = MakeControl();
    vc->OnVideoDeviceSelected = [this](forms::TObject*) { ++videoSelected; };
    vc->OnAudioDeviceSelected = [this](forms::TObject*) { ++audioSelected; };
    return vc;
  }
  int videoDiscoveries = 0, audioDiscoveries = 0, videoSelected = 0, audioSelected = 0;
};

}  // namespace

TEST_F(BindFixture, BindingRaisesItsEventAndDiscoversOnce) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  InstallDiscovery();
  TVidCap* first = Control();
  TVcEngine& e = *first->Engine();
  EXPECT_EQ(e.VideoWidth, 320);
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(videoDiscoveries, 1);
  EXPECT_EQ(videoSelected, 1);
  EXPECT_EQ(e.BoundVideoDevice, 0);
  EXPECT_TRUE(e.VideoDeviceReady);
  EXPECT_FALSE(e.VideoDeviceBinding);
  EXPECT_EQ(e.VideoWidth, 640);
  EXPECT_EQ(e.VideoHeight, 480);
  EXPECT_EQ(BusyCursorCount(), 0);
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(e.BoundVideoDeviceKey(), false));
    EXPECT_TRUE(reg.ReadBool("_DeviceDiscovered"));
  }

  // Binding again, from this engine or another, takes the cache.
  ASSERT_TRUE(e.BindVideoDevice());
  TVidCap* second = Control();
  ASSERT_TRUE(second->Engine()->BindVideoDevice());
  EXPECT_EQ(videoDiscoveries, 1);
  EXPECT_EQ(videoSelected, 3);
  // The lists the cache filled are the ones the public lists show.
  EXPECT_EQ(second->GetVideoSubtypes(), "Default\r\nYUY2\r\n");
  EXPECT_EQ(second->GetVideoSizes(), "Default\r\n320x240\r\n640x480\r\n");

  // Without its cache values the device is discovered again.
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(e.BoundVideoDeviceKey(), false));
    reg.DeleteValue("FMT000");
  }
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(videoDiscoveries, 2);
}

TEST_F(BindFixture, UndiscoveredDeviceIsBoundWithoutEventOrSavedValues) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TDiscoveryHooks failing;
  failing.DiscoverVideoDevice = [](TVcEngine&) { return false; };
  SetDiscoveryHooks(failing);
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(e.BindVideoDevice());
  EXPECT_EQ(e.BoundVideoDevice, 0);
  EXPECT_TRUE(e.VideoDeviceReady);
  EXPECT_EQ(videoSelected, 0);
  EXPECT_EQ(e.VideoWidth, 320);
  rtl::TRegistry raw;
  EXPECT_FALSE(raw.OpenKey(e.BoundVideoDeviceKey(), false) && raw.ValueExists("_DeviceDiscovered"));
}

TEST_F(BindFixture, RefusedBindings) {
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  int noDevices = 0;
  vc->OnNoVideoDevices = [&](forms::TObject*) { ++noDevices; };
  EXPECT_FALSE(e.BindVideoDevice());
  while (e.RaiseNextEvent()) {
  }
  EXPECT_EQ(noDevices, 1);
  EXPECT_FALSE(e.VideoDeviceReady);

  FreeDeviceLists();
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  CreateDeviceLists();
  e.VideoDevice = 5;
  EXPECT_FALSE(e.BindVideoDevice());
  EXPECT_TRUE(Logged("index of video capture device out of range"));
  EXPECT_EQ(e.BoundVideoDevice, -1);
  e.VideoDevice = -1;
  EXPECT_FALSE(e.BindVideoDevice());
  EXPECT_EQ(e.BoundVideoDevice, -1);
  e.VideoDevice = 0;
  e.VideoSource = vs_VideoFileOrURL;
  EXPECT_FALSE(e.BindVideoDevice());
  EXPECT_EQ(e.BoundVideoDevice, -1);
}

TEST_F(BindFixture, SwitchingSavesTheDeviceLeftAndKeepsGoodValuesBesideABadOne) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam A");
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam B");
  InstallDiscovery();
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(e.BindVideoDevice());
  const String keyA = e.BoundVideoDeviceKey();
  e.DeviceSettings.Video[vds_TVChannel].IntValue = 12;
  e.DeviceSettings.Video[vds_VideoSubtype].IntValue = 1;

  e.VideoDevice = 1;
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(e.DeviceSettings.Video[vds_TVChannel].IntValue, 0);  // B's own values
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(keyA, false));
    EXPECT_EQ(reg.ReadInteger("TVChannel"), 12);
    reg.WriteString("VideoSubtype", "not a number");
  }

  e.VideoDevice = 0;
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(e.DeviceSettings.Video[vds_TVChannel].IntValue, 12);
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoSubtype].IntValue, 0);
  EXPECT_EQ(videoDiscoveries, 2);
}

TEST_F(BindFixture, AudioBindingAndTheAssociatedDevice) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card One");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card Two");
  InstallDiscovery();
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  e.AssociateAudioAndVideoDevices = true;

  // A video device that names no audio device takes the bound one's name.
  e.AudioDevice = 0;
  ASSERT_TRUE(e.BindAudioDevice());
  EXPECT_EQ(audioDiscoveries, 1);
  EXPECT_EQ(audioSelected, 1);
  EXPECT_TRUE(e.AudioDeviceReady);
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(e.DeviceSettings.Video[vds_AudioDeviceAssociated].StrValue, "Card One (WDM)");

  // One that names a listed device switches the audio device to it.
  e.DeviceSettings.Video[vds_AudioDeviceAssociated].StrValue = "Card Two (WDM)";
  e.SaveVideoDeviceSettings();
  ASSERT_TRUE(e.BindVideoDevice());
  EXPECT_EQ(e.AudioDevice, 1);
  EXPECT_EQ(e.BoundAudioDevice, 1);
  EXPECT_EQ(audioSelected, 2);

  // The first card was discovered and saved: binding it again reads that.
  e.AudioDevice = 0;
  ASSERT_TRUE(e.BindAudioDevice());
  EXPECT_EQ(audioDiscoveries, 2);  // only "Card Two" was new
}

TEST_F(BindFixture, FirstIdleBindsOnceAndClearsTheCaption) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  InstallDiscovery();
  TVidCap* vc = Control();
  vc->SetCaption("starting");
  TVcEngine& e = *vc->Engine();
  e.PrepareAtFirstIdle();
  EXPECT_EQ(vc->Caption(), "");
  EXPECT_EQ(e.BoundVideoDevice, 0);
  EXPECT_EQ(e.BoundAudioDevice, 0);
  EXPECT_EQ(videoSelected, 1);
  EXPECT_EQ(audioSelected, 1);
  e.VideoDevice = -1;
  e.PrepareAtFirstIdle();
  EXPECT_EQ(videoSelected, 1);

  EXPECT_TRUE(e.BindChosenDevices());  // both ready: nothing to do
  EXPECT_EQ(videoSelected, 1);
}

TEST_F(BindFixture, ManagerRebuildReportsThroughTheLists) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TVidCap* vc = Control();
  std::vector<std::tuple<bool, bool, std::string, int>> seen;
  vc->OnDeviceArrivalOrRemoval = [&](forms::TObject*, bool arrival, bool video, const String& name, int32_t index) {
    seen.emplace_back(arrival, video, name, index);
  };
  ASSERT_NE(VideoCaptureDevices(), nullptr);
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  SyncManager()->RebuildDeviceLists();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_tuple(true, true, std::string("Cam #2 (WDM)"), 1));
  EXPECT_EQ(seen[1], std::make_tuple(true, false, std::string("Card (WDM)"), 0));
  EXPECT_EQ(VideoCaptureDevices()->Count(), 2);
}
