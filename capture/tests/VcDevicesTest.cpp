// The device lists: names, instances, driver suffixes, the move of video
// devices that say "audio", exclusion and preference order of the
// compressors, rebuilds that keep entries, finding devices by name and
// binding them into a graph.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "capture/VcRegistry.h"
#include "capture/tests/VcDevicesTestUtil.h"
#include "platform/rtl/Registry.h"
#include "platform/mg/Guids.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfRegister.h"

using namespace capture;
using vcdevtest::DevicesFixture;

namespace {

const mg::GUID kTestCategory = mg::MakeGuid(0x7E570001, 0x1111, 0x2222, 0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66);

}  // namespace

TEST(VcDevicesHelpers, DeviceKeyKeepsOnlyLettersDigitsBlanksDashesAndBraces) {
  EXPECT_EQ(DeviceKey("@device:pnp:\\\\?\\usb#vid_046d&pid_0825#{65e8}\\global", "Cam (WDM) #2"),
            "devicepnpusbvid046dpid0825{65e8}globalCam WDM 2");
  EXPECT_EQ(DeviceKey("", "a-b_c.d"), "a-bcd");
}

TEST(VcDevicesHelpers, AvcNameSplitsAtTheFirstDashAfterTheFirstCharacter) {
  struct Case {
    const char* display;
    bool found;
    const char* name1;
    const char* name2;
  };
  const Case cases[] = {
      {"@device:pnp:\\\\?\\avc#sony&dcr-trv900#0800460104#{6994}\\global", true, "sony dcr", "trv900"},
      {"@device:pnp:\\\\?\\avc#panasonic&camcorder#1#x", true, "panasonic camcorder", "panasonic camcorder"},
      {"@device:pnp:\\\\?\\avc#-lead#1", true, "-lead", "-lead"},  // a dash in front does not split
      {"@device:pnp:\\\\?\\avc##1", false, "", ""},                 // nothing before the "#"
      {"@device:pnp:\\\\?\\avc#unterminated", false, "", ""},
      {"@device:pnp:\\\\?\\usb#vid&pid#1", false, "", ""},
  };
  for (const Case& c : cases) {
    String n1, n2;
    EXPECT_EQ(ParseAvcName(c.display, n1, n2), c.found) << c.display;
    EXPECT_EQ(n1, c.name1) << c.display;
    EXPECT_EQ(n2, c.name2) << c.display;
  }
}

TEST(VcDevicesHelpers, ExclusionTokensMatchTheUpperCasedName) {
  EXPECT_TRUE(NameNotExcluded("WMVideo9 Encoder DMO", ""));
  EXPECT_FALSE(NameNotExcluded("WMVideo9 Encoder DMO", "ENCODER DMO!XLDECOMPRESS"));
  EXPECT_FALSE(NameNotExcluded("my xlDecompress codec", "ENCODER DMO!XLDECOMPRESS"));
  EXPECT_TRUE(NameNotExcluded("Encoder", "ENCODER DMO!XLDECOMPRESS"));
  // Empty tokens (doubled or trailing "!") exclude nothing.
  EXPECT_TRUE(NameNotExcluded("anything", "!!"));
  size_t pos = 0;
  EXPECT_EQ(NextListToken(pos, "ab!!c"), "ab");
  EXPECT_EQ(NextListToken(pos, "ab!!c"), "");
  EXPECT_EQ(NextListToken(pos, "ab!!c"), "c");
  EXPECT_EQ(pos, 5u);
}

TEST(VcDevicesHelpers, LinesCountAndIndex) {
  EXPECT_EQ(LineCount(""), 0);
  EXPECT_EQ(LineCount("a\nb\n"), 2);
  EXPECT_EQ(LineCount("a\r\nb"), 2);
  EXPECT_EQ(LineCount("a\n\nb\n"), 3);
  EXPECT_EQ(GetLine("a\r\nb\r\n", 1), "b");
  EXPECT_EQ(GetLine("a\nb\n", 2), "");
  EXPECT_EQ(GetLine("a\nb\n", -1), "");
  EXPECT_EQ(TVCountryTuningSpace(31), 99990031);
}

TEST(VcDevicesHelpers, VfwDriverNamesAreTenLinesWithDotsForMissingDrivers) {
  EXPECT_EQ(GetVfwDriverNames(), ".\n.\n.\n.\n.\n.\n.\n.\n.\n.\n");
  SetVfwDriverNameSource([](int32_t i) { return i == 1 ? String("Old Capture Driver") : String(); });
  EXPECT_EQ(GetLine(GetVfwDriverNames(), 1), "Old Capture Driver");
  EXPECT_EQ(LineCount(GetVfwDriverNames()), 10);
  SetVfwDriverNameSource(nullptr);
}

TEST(VcDevicesHelpers, FindDeviceIndexWildcards) {
  const String names = "Sim Camera (WDM)\nSim Camera #2 (WDM)\nUSB Video (vfw)\nSim TV (WDM)\n";
  struct Case {
    const char* name;
    int32_t index;
  };
  const Case cases[] = {
      {"Sim Camera (WDM)", 0},
      {"  sim tv (wdm) ", 3},      // trimmed, any case
      {"Sim Camera", -1},          // no star: the whole name
      {"*camera*", 0},             // contains
      {"*#2*", 1},
      {"*(VFW)", 2},               // ends with
      {"*(wdm)", 0},
      {"sim t*", 3},               // begins with
      {"usb*", 2},
      {"*", -1},                   // a single star is a plain name
      {"**", -1},                  // two stars: a name ending with "*"
      {"*x*", -1},
      {"", -1},
      {"   ", -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindDeviceIndexIn(names, c.name), c.index) << "\"" << c.name << "\"";
  EXPECT_EQ(FindDeviceIndexIn("*\n", "*"), 0);
  EXPECT_EQ(FindDeviceIndexIn("a*b\nx*\n", "**"), 1);  // ends with "*"
}

// Any host, not only the program, gets the component's own device lists,
// binding and first-idle preparation without wiring anything.
TEST(VcDeviceHandling, TheComponentsOwnListsAndBindingAreInPlaceFromTheStart) {
  const TDeviceListHooks& h = DeviceListHooks();
  EXPECT_TRUE(h.Create && h.Rebuild && h.Free && h.BindVideoDevice && h.BindAudioDevice && h.PrepareAtFirstIdle);
}

TEST_F(DevicesFixture, TheFirstControlStampsTheRegistryAndBuildsTheLists) {
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey(GetRegistryRoot() + "Devices\\stale\\", true));
  reg.CloseKey();
  sim->PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = MakeControl();
  EXPECT_TRUE(reg.KeyExists(GetRegistryRoot() + RegistryVersionKey()));
  EXPECT_FALSE(reg.KeyExists(GetRegistryRoot() + "Devices\\stale\\"));
  EXPECT_GE(vc->GetVideoDeviceCount(), 1);
}

TEST_F(DevicesFixture, CaptureListsNameInstancesSuffixesAndMoveAudioDevices) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::CameraOptions{}, "Line Audio Grabber");
  sim->PlugIn(mg::sim::AudioOptions{}, "Sound Card");
  sim->PlugIn(mg::sim::DvOptions{}, "Microsoft DV Camera and VCR");
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Old Capture Driver", mg::CLSID_VfwCapture.ToString());
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Mystery Device", "");
  SetVfwDriverNameSource([](int32_t i) { return i == 3 ? String("old capture driver") : String(); });
  CreateDeviceLists();

  TDevices& video = *VideoCaptureDevices();
  TDevices& audio = *AudioCaptureDevices();
  EXPECT_EQ(Names(video), (std::vector<std::string>{"Cam (WDM)", "Cam #2 (WDM)", "Microsoft DV Camera and VCR (WDM)",
                                                    "Old Capture Driver (vfw)", "Mystery Device (vfw)"}));
  EXPECT_EQ(Names(audio), (std::vector<std::string>{"Sound Card (WDM)", "Line Audio Grabber (WDM)"}));
  EXPECT_EQ(video.GetNamesText(),
            "Cam (WDM)\nCam #2 (WDM)\nMicrosoft DV Camera and VCR (WDM)\nOld Capture Driver (vfw)\nMystery Device (vfw)\n");

  const TCapDeviceInfo& second = *video.Info(1);
  EXPECT_EQ(second.Instance, 2);
  EXPECT_TRUE(second.IsWDM);
  EXPECT_TRUE(second.Present);
  EXPECT_FALSE(second.WasPresent);
  EXPECT_EQ(second.Category, mg::CLSID_VideoInputDeviceCategory);
  EXPECT_FALSE(second.IsDV);

  const TCapDeviceInfo& dv = *video.Info(2);
  EXPECT_TRUE(dv.IsDV);
  EXPECT_EQ(dv.AvcName1, "simvendor simdv");
  EXPECT_EQ(dv.AvcName2, "0001");

  EXPECT_FALSE(video.Info(3)->IsWDM);
  EXPECT_EQ(video.Info(3)->VfwIndex, 3);  // found ignoring case
  EXPECT_FALSE(video.Info(4)->IsWDM);     // no class: neither kind
  EXPECT_EQ(video.Info(4)->VfwIndex, -1);

  const TCapDeviceInfo& moved = *audio.Info(1);
  EXPECT_TRUE(moved.Moved);
  EXPECT_EQ(moved.Category, mg::CLSID_VideoInputDeviceCategory);
  EXPECT_FALSE(audio.Info(0)->Moved);
  EXPECT_EQ(audio.Info(0)->Category, mg::CLSID_AudioInputDeviceCategory);

  EXPECT_EQ(video.GetName(5), "");
  EXPECT_EQ(video.GetName(-1), "");
  EXPECT_EQ(video.GetRegistryKey(0), "\\Software\\TVidCap\\Devices\\" + video.Info(0)->Key);
  EXPECT_EQ(video.GetRegistryKey(9), "");
}

TEST_F(DevicesFixture, RebuildKeepsEntriesAndReportsArrivalsAndRemovals) {
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Cam");
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Cam");
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Audio Grabber");
  hand->Add(mg::CLSID_AudioInputDeviceCategory, "Card");
  CreateDeviceLists();
  TDevices& video = *VideoCaptureDevices();
  TDevices& audio = *AudioCaptureDevices();
  ASSERT_EQ(video.Count(), 2);
  ASSERT_EQ(audio.Count(), 2);

  // Nothing changed: nothing to report, nothing added, the moved entry
  // not listed twice.
  EXPECT_TRUE(RebuildCaptureDeviceLists().empty());
  EXPECT_EQ(audio.Count(), 2);

  hand->devices[0].present = false;  // the first "Cam"
  hand->SetPresent("Audio Grabber", false);
  std::vector<TDeviceChange> changes = RebuildCaptureDeviceLists();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_FALSE(changes[0].IsArrival);
  EXPECT_TRUE(changes[0].IsVideoDevice);
  EXPECT_EQ(changes[0].DeviceIndex, 0);
  EXPECT_EQ(changes[0].DeviceName, "Cam (WDM)");
  EXPECT_FALSE(changes[1].IsArrival);
  EXPECT_FALSE(changes[1].IsVideoDevice);
  EXPECT_EQ(changes[1].DeviceName, "Audio Grabber (WDM)");
  EXPECT_EQ(Names(video), (std::vector<std::string>{"Cam (WDM)", "Cam #2 (WDM)"}));
  EXPECT_FALSE(video.Info(0)->Present);
  EXPECT_TRUE(video.Info(0)->WasPresent);
  EXPECT_TRUE(video.Info(1)->Present);

  hand->devices[0].present = true;
  hand->SetPresent("Audio Grabber", true);
  changes = RebuildCaptureDeviceLists();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_TRUE(changes[0].IsArrival);
  EXPECT_EQ(changes[0].DeviceIndex, 0);
  EXPECT_TRUE(changes[1].IsArrival);
  EXPECT_EQ(changes[1].DeviceIndex, 1);
  EXPECT_EQ(video.Count(), 2);  // the same entry came back
  EXPECT_EQ(audio.Count(), 2);

  // A video device moved to the audio list and an audio device arriving
  // together: both are announced.
  hand->Add(mg::CLSID_VideoInputDeviceCategory, "Second Audio Grabber");
  hand->Add(mg::CLSID_AudioInputDeviceCategory, "Second Card");
  changes = RebuildCaptureDeviceLists();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].DeviceName, "Second Audio Grabber (WDM)");
  EXPECT_EQ(changes[1].DeviceName, "Second Card (WDM)");
  EXPECT_TRUE(changes[0].IsArrival && changes[1].IsArrival);
  EXPECT_FALSE(changes[0].IsVideoDevice || changes[1].IsVideoDevice);
}

TEST_F(DevicesFixture, CompressorPreferenceOrderExchangesMatchesToTheFront) {
  for (const char* n : {"Cinepak", "MJPEG Codec", "MPEG-4 V3", "DivX Pro", "Indeo", "MPEG-1 Enc", "MPEG-4 V2",
                        "WMVideo9 Encoder DMO"})
    hand->Add(kTestCategory, n);
  TDevices video(dk_VideoCompressor, nullptr, false, String(), "ENCODER DMO!XLDECOMPRESS", kTestCategory,
                 "video compressor");
  EXPECT_EQ(Names(video), (std::vector<std::string>{"MPEG-4 V3", "MPEG-4 V2", "MPEG-1 Enc", "DivX Pro", "MJPEG Codec",
                                                    "Cinepak", "Indeo"}));

  hand->devices.clear();
  for (const char* n : {"IMA ADPCM", "PCM", "MPEG Layer-3", "Windows Media Audio V2", "GSM 6.10"})
    hand->Add(kTestCategory, n);
  TDevices audio(dk_AudioCompressor, nullptr, false, String(), "ENCODER DMO", kTestCategory, "audio compressor");
  EXPECT_EQ(Names(audio),
            (std::vector<std::string>{"Windows Media Audio V2", "PCM", "MPEG Layer-3", "IMA ADPCM", "GSM 6.10"}));
}

TEST_F(DevicesFixture, CompressorListsFromTheInstalledEncoders) {
  mg::ff::RegisterFfmpegFilters();
  hand->Add(mg::CLSID_VideoCompressorCategory, "WMVideo8 Encoder DMO");
  hand->Add(mg::CLSID_AudioCompressorCategory, "WMAudio Encoder DMO");
  CreateDeviceLists();
  const TDevices& video = *VideoCompressors();
  const TDevices& audio = *AudioCompressors();

  size_t videoEncoders = 0, audioEncoders = 0;
  for (const mg::ff::EncoderEntry& e : mg::ff::Encoders()) (e.video ? videoEncoders : audioEncoders)++;
  EXPECT_EQ(static_cast<size_t>(video.Count()), videoEncoders);  // the DMO left out
  EXPECT_EQ(static_cast<size_t>(audio.Count()), audioEncoders);

  // The rules' matches lead, in rule order; no suffixes on compressors.
  auto rank = [](const std::string& name, const std::vector<std::pair<std::string, std::string>>& rules) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    for (size_t r = 0; r < rules.size(); ++r)
      if (upper.find(rules[r].first) != std::string::npos &&
          (rules[r].second.empty() || upper.find(rules[r].second) == std::string::npos))
        return r;
    return rules.size();
  };
  const std::vector<std::pair<std::string, std::string>> videoRules = {
      {"MPEG-4", ""}, {"MPEG", ""}, {"DIVX", ""}, {"XVID", ""}, {"MJPEG", ""}};
  const std::vector<std::pair<std::string, std::string>> audioRules = {
      {"WINDOWS MEDIA AUDIO V2", ""}, {"PCM", "ADPCM"}, {"MPEG", ""}};
  for (auto [list, rules] : {std::pair{&video, videoRules}, std::pair{&audio, audioRules}}) {
    const std::vector<std::string> names = Names(*list);
    ASSERT_FALSE(names.empty());
    size_t previous = 0;
    bool inFront = true;
    for (const std::string& n : names) {
      EXPECT_EQ(n.find(" (WDM)"), std::string::npos);
      const size_t r = rank(n, rules);
      if (r == rules.size()) {
        inFront = false;
        continue;
      }
      EXPECT_TRUE(inFront) << n << " matches a rule but follows a name that matches none";
      EXPECT_GE(r, previous) << n;
      previous = r;
    }
  }
  // Every listed compressor is an encoder the ffmpeg program also lists,
  // as video or audio as its list says.
  std::map<std::string, char> cli;
  if (FILE* p = ::popen("ffmpeg -hide_banner -encoders 2>/dev/null", "r")) {
    char line[512];
    bool body = false;
    while (std::fgets(line, sizeof line, p)) {
      char flags[16] = {}, name[128] = {};
      if (body && std::sscanf(line, " %15s %127s", flags, name) == 2) cli[name] = flags[0];
      if (std::strstr(line, "------")) body = true;
    }
    ::pclose(p);
  }
  ASSERT_FALSE(cli.empty()) << "ffmpeg -encoders gave nothing";
  // Encoders sharing a description are told apart by their instance.
  for (auto [list, type] : {std::pair{&video, 'V'}, std::pair{&audio, 'A'}})
    for (int32_t i = 0; i < list->Count(); ++i) {
      const TCapDeviceInfo& info = *list->Info(i);
      int seen = 0;
      const auto e = std::find_if(mg::ff::Encoders().begin(), mg::ff::Encoders().end(),
                                  [&](const mg::ff::EncoderEntry& x) {
                                    return x.friendlyName == info.Name && ++seen == info.Instance;
                                  });
      ASSERT_NE(e, mg::ff::Encoders().end()) << list->GetName(i);
      EXPECT_EQ(cli[e->encoder], type) << list->GetName(i) << " (" << e->encoder << ")";
      if (info.Instance > 1) {
        EXPECT_EQ(list->GetName(i), info.Name + " #" + std::to_string(info.Instance));
      }
    }
  EXPECT_NE(video.GetName(0).find("MPEG-4"), std::string::npos);
  EXPECT_EQ(audio.GetName(0), "Windows Media Audio V2");
  EXPECT_EQ(audio.GetName(1), "PCM");
}

TEST_F(DevicesFixture, FindDeviceMonikerModes) {
  hand->Add(kTestCategory, "Alpha Camera");
  hand->Add(kTestCategory, "Beta Camera Pro");
  struct Case {
    const char* name;
    int32_t mode;
    const char* found;  // nullptr: none
  };
  const Case cases[] = {
      {"Beta Camera Pro", 0, "Beta Camera Pro"}, {"beta camera pro", 0, nullptr},  // exact, case-sensitive
      {"Camera", 0, nullptr},                    {"Camera", 1, "Alpha Camera"},
      {"Pro", 1, "Beta Camera Pro"},             {"Camera!Pro", 2, "Beta Camera Pro"},
      {"Camera!Gamma", 2, nullptr},              {"Camera!Pro", 1, nullptr},
  };
  for (const Case& c : cases) {
    String friendly;
    std::shared_ptr<mg::Moniker> m;
    EXPECT_EQ(FindDeviceMoniker(kTestCategory, c.name, c.mode, friendly, m), c.found != nullptr) << c.name;
    if (c.found) {
      EXPECT_EQ(friendly, c.found) << c.name;
    }
    EXPECT_EQ(m != nullptr, c.found != nullptr);
  }
  String friendly;
  std::shared_ptr<mg::Moniker> m;
  const String key = DeviceKey(hand->devices[1].displayName, "Beta Camera Pro");
  EXPECT_TRUE(FindDeviceMoniker(kTestCategory, key, 3, friendly, m));
  EXPECT_EQ(friendly, "Beta Camera Pro");
}

TEST_F(DevicesFixture, BindDeviceCorrectsTheIndexLogsAndHoldsExclusiveUse) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam A");
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam B");
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam C");
  TVidCap* first = MakeControl();
  TVidCap* second = MakeControl();
  TVcEngine& e1 = *first->Engine();
  TVcEngine& e2 = *second->Engine();
  TDevices* list = VideoCaptureDevices();
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 3);

  auto graph = std::make_shared<mg::FilterGraph>();
  TCapDeviceInfo* ref = nullptr;
  std::shared_ptr<mg::BaseFilter> filter;
  int32_t index = -1;
  EXPECT_FALSE(e1.BindDevice(graph, list, "", true, ref, true, filter, "", index));
  EXPECT_TRUE(Logged("video devicenot selected!"));

  index = 5;
  ASSERT_TRUE(e1.BindDevice(graph, list, "Composite", true, ref, true, filter, "", index));
  EXPECT_EQ(index, 0);
  EXPECT_TRUE(Logged("video deviceindex out of range, index 0 used instead"));
  EXPECT_TRUE(Logged("using video device:\nCam A (WDM)\non input Composite"));
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(ref, list->Info(0));
  EXPECT_TRUE(list->Info(0)->InUse);
  std::shared_ptr<mg::BaseFilter> named;
  EXPECT_EQ(graph->FindFilterByName("0 Cam A (WDM)", &named), mg::S_OK);
  EXPECT_EQ(named, filter);

  // Another engine asking for the same device is refused.
  log.clear();
  auto graph2 = std::make_shared<mg::FilterGraph>();
  TCapDeviceInfo* ref2 = nullptr;
  std::shared_ptr<mg::BaseFilter> filter2;
  index = 0;
  EXPECT_FALSE(e2.BindDevice(graph2, list, "", true, ref2, true, filter2, "", index));
  EXPECT_EQ(ref2, nullptr);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].msg, "Cam A (WDM) is already in use");
  EXPECT_EQ(log[0].type, e_device_in_use_in_another_graph);
  EXPECT_EQ(log[0].severity, "ERROR");

  // The holder's teardown frees the device, and the other engine gets it.
  e1.InUseRef = ref;
  e1.ClearGraph(true);
  EXPECT_FALSE(list->Info(0)->InUse);
  EXPECT_EQ(e1.InUseRef, nullptr);
  index = 0;
  EXPECT_TRUE(e2.BindDevice(graph2, list, "", false, ref2, true, filter2, "", index));
  EXPECT_TRUE(list->Info(0)->InUse);

  // Without exclusive use the entry is bound under the given name and
  // the flag is left alone.
  index = 2;
  EXPECT_TRUE(e2.BindListEntry(graph2, list, true, filter2, "VIDC", index));
  EXPECT_TRUE(Logged("using video device: Cam C (WDM)"));
  EXPECT_FALSE(list->Info(2)->InUse);
  EXPECT_EQ(graph2->FindFilterByName("VIDC", &named), mg::S_OK);

  // A device that went away is not bound.
  sim->Clear();
  index = 1;
  EXPECT_FALSE(e2.BindListEntry(graph2, list, false, filter2, "", index));
}
