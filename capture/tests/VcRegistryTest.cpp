// The component's registry tree: the reader's kind rules, a round trip of
// every entry of the three records with the kind it is stored as, the
// user-settings switch, bad values that are skipped while the rest loads,
// the version stamp, compressor state and the format cache.
#include <cstring>

#include "capture/VcRegistry.h"
#include "capture/tests/VcDevicesTestUtil.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfCompressor.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/rtl/StringList.h"

using namespace capture;
using vcdevtest::DevicesFixture;

namespace {

const char* kKey = "\\Software\\TVidCap\\Test\\";

void WriteRaw(const char* name, uint32_t kind, const std::vector<uint8_t>& data) {
  rtl::TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kKey, true));
  reg.WriteRawValue(name, kind, data.data(), static_cast<int32_t>(data.size()));
}

uint32_t StoredKind(const String& key, const String& name) {
  rtl::TRegistry reg;
  uint32_t kind = 0xFFFF;
  std::vector<uint8_t> data;
  if (!reg.OpenKey(key, false) || !reg.ReadRawValue(name, kind, data)) return 0xFFFF;
  return kind;
}

class RegistryFixture : public DevicesFixture {};

}  // namespace

TEST_F(RegistryFixture, ReadersTakeOnlyTheirOwnKinds) {
  WriteRaw("dword", rtl::REG_DWORD, {7, 0, 0, 0});
  WriteRaw("sz", rtl::REG_SZ, {'a', 'b', 0, 'c'});
  WriteRaw("expand", rtl::REG_EXPAND_SZ, {'%', 'x', '%'});
  WriteRaw("bin8", rtl::REG_BINARY, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F});  // 1.5
  WriteRaw("bin3", rtl::REG_BINARY, {1, 2, 3});
  WriteRaw("none3", rtl::REG_NONE, {4, 5, 6});
  WriteRaw("multi", rtl::REG_MULTI_SZ, {'a', 0, 0});
  WriteRaw("short", rtl::REG_DWORD, {1, 2});  // a DWORD that is not four bytes

  TRegistry2 reg(false);
  ASSERT_TRUE(reg.OpenKey(kKey, false));
  struct Case {
    const char* name;
    bool asInt, asString, asDouble, asBinary3;
  };
  const Case cases[] = {
      {"dword", true, false, false, false},  {"sz", false, true, false, false},
      {"expand", false, true, false, false}, {"bin8", false, false, true, false},
      {"bin3", false, false, false, true},   {"none3", false, false, false, true},
      {"multi", false, false, false, false}, {"short", false, false, false, false},
      {"missing", false, false, false, false},
  };
  for (const Case& c : cases) {
    int32_t i = -1;
    String s = "untouched";
    double d = -1;
    bool b = false;
    uint8_t buf[3] = {};
    EXPECT_EQ(reg.ReadInteger(c.name, i), c.asInt) << c.name;
    EXPECT_EQ(reg.ReadBool(c.name, b), c.asInt) << c.name;
    EXPECT_EQ(reg.ReadString(c.name, s), c.asString) << c.name;
    if (!c.asString) {
      EXPECT_EQ(s, "") << c.name;  // emptied on failure
    }
    EXPECT_EQ(reg.ReadDouble(c.name, d), c.asDouble) << c.name;
    EXPECT_EQ(reg.ReadBinary(c.name, buf, 3), c.asBinary3) << c.name;
  }
  int32_t i = 0;
  String s;
  double d = 0;
  bool b = false;
  ASSERT_TRUE(reg.ReadInteger("dword", i) && reg.ReadBool("dword", b));
  EXPECT_EQ(i, 7);
  EXPECT_TRUE(b);
  ASSERT_TRUE(reg.ReadString("sz", s));
  EXPECT_EQ(s, "ab");  // cut at the first zero
  ASSERT_TRUE(reg.ReadDouble("bin8", d));
  EXPECT_EQ(d, 1.5);

  uint8_t raw[8];
  int32_t size = 0;
  TRegDataKind kind = rdk_Other;
  ASSERT_TRUE(reg.QueryValue("expand", raw, sizeof raw, size, kind));
  EXPECT_EQ(kind, rdk_ExpandString);
  EXPECT_EQ(size, 3);
  EXPECT_FALSE(reg.QueryValue("bin8", raw, 4, size, kind));  // too small a buffer
  EXPECT_EQ(size, 8);
  EXPECT_EQ(RegTypeToDataKind(rtl::REG_MULTI_SZ), rdk_Other);

  // A double setting goes out as eight binary bytes and comes back only
  // from such a value; untyped settings are neither written nor read.
  auto setting = [](const char* name, int32_t type) {
    TSetting s;
    s.Name = name;
    s.Type = type;
    return s;
  };
  TSetting half = setting("half", st_Double);
  half.DoubleValue = 0.5;
  WriteSetting(reg, half);
  EXPECT_EQ(StoredKind(kKey, "half"), rtl::REG_BINARY);
  half.DoubleValue = 0;
  EXPECT_TRUE(ReadSetting(reg, half));
  EXPECT_EQ(half.DoubleValue, 0.5);
  TSetting asDouble = setting("dword", st_Double);
  EXPECT_FALSE(ReadSetting(reg, asDouble));
  TSetting none = setting("none", st_None);
  WriteSetting(reg, none);
  EXPECT_FALSE(reg.ValueExists("none"));
  EXPECT_FALSE(ReadSetting(reg, none));
}

TEST_F(RegistryFixture, EveryEntryRoundTripsWithItsKind) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.BoundVideoDevice = 0;
  e.BoundAudioDevice = 0;

  // A value unlike its default in every entry, by type.
  auto fill = [](TSettingsRecord& record, int32_t salt) {
    for (size_t i = 0; i < record.size(); ++i) {
      TSetting& s = record[i];
      s.IntValue = static_cast<int32_t>(1000 * salt + i);
      s.StrValue = "text " + std::to_string(salt) + "." + std::to_string(i);
      s.BoolValue = true;
      if (s.Type == st_Bytes)
        for (int32_t b = 0; b < s.BinSize; ++b) s.BinData[b] = static_cast<uint8_t>(b * 7 + i);
    }
  };
  fill(e.DeviceSettings.Video, 1);
  fill(e.DeviceSettings.Audio, 2);
  fill(e.DeviceSettings.Global, 3);
  const std::vector<uint8_t> quality(e.DeviceSettings.VideoQualityTable.begin(), e.DeviceSettings.VideoQualityTable.end());
  const std::vector<uint8_t> camera(e.DeviceSettings.CameraControlTable.begin(), e.DeviceSettings.CameraControlTable.end());
  e.SaveVideoDeviceSettings();
  e.SaveAudioDeviceSettings();
  e.SaveGlobalSettings();

  const String videoKey = VideoCaptureDevices()->GetRegistryKey(0);
  const String audioKey = AudioCaptureDevices()->GetRegistryKey(0);
  struct Record {
    TSettingsRecord* record;
    String key;
    size_t count;
  };
  const Record records[] = {{&e.DeviceSettings.Video, videoKey, 57},
                            {&e.DeviceSettings.Audio, audioKey, 13},
                            {&e.DeviceSettings.Global, GetGlobalKey(), 2}};
  for (const Record& r : records) {
    ASSERT_EQ(r.record->size(), r.count);
    for (const TSetting& s : *r.record) {
      const uint32_t expected = s.Type == st_String ? rtl::REG_SZ : s.Type == st_Bytes ? rtl::REG_BINARY : rtl::REG_DWORD;
      EXPECT_EQ(StoredKind(r.key, s.Name), expected) << s.Name;
      if (s.Type == st_Bytes) {
        EXPECT_EQ(StoredKind(r.key, s.Name + "Size"), rtl::REG_DWORD) << s.Name;
      }
    }
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(r.key, false));
    rtl::TStringList values;
    reg.GetValueNames(values);
    EXPECT_EQ(static_cast<size_t>(values.Count()), r.count + (r.record == &e.DeviceSettings.Video ? 2 : 0));
  }
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(videoKey, false));
    EXPECT_TRUE(reg.ValueExists("CameraControlValues "));  // with its blank
    EXPECT_EQ(reg.ReadInteger("VideoQualityValuesSize"), 240);
    EXPECT_EQ(reg.ReadInteger("CameraControlValues Size"), 168);
    EXPECT_EQ(reg.ReadInteger("_DeviceDiscovered"), 1);
  }

  e.ResetVideoDeviceSettings();
  e.ResetAudioDeviceSettings();
  e.ResetGlobalSettings();
  e.DeviceSettings.VideoQualityTable.fill(0);
  e.DeviceSettings.CameraControlTable.fill(0);
  EXPECT_TRUE(e.LoadVideoDeviceSettings());
  EXPECT_TRUE(e.LoadAudioDeviceSettings());
  EXPECT_TRUE(e.LoadGlobalSettings());
  for (int r = 0; r < 3; ++r) {
    const TSettingsRecord& got = *records[r].record;
    for (size_t i = 0; i < got.size(); ++i) {
      const TSetting& s = got[i];
      switch (s.Type) {
        case st_Integer:
          EXPECT_EQ(s.IntValue, static_cast<int32_t>(1000 * (r + 1) + i)) << s.Name;
          break;
        case st_String:
          EXPECT_EQ(s.StrValue, "text " + std::to_string(r + 1) + "." + std::to_string(i)) << s.Name;
          break;
        case st_Boolean:
          EXPECT_TRUE(s.BoolValue) << s.Name;
          break;
        default:
          break;
      }
    }
  }
  EXPECT_EQ(std::vector<uint8_t>(e.DeviceSettings.VideoQualityTable.begin(), e.DeviceSettings.VideoQualityTable.end()),
            quality);
  EXPECT_EQ(std::vector<uint8_t>(e.DeviceSettings.CameraControlTable.begin(), e.DeviceSettings.CameraControlTable.end()),
            camera);
}

TEST_F(RegistryFixture, DefaultsAndSaveConditions) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  sim->PlugIn(mg::sim::AudioOptions{}, "Card");
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  const TSettingsRecord& v = e.DeviceSettings.Video;
  EXPECT_EQ(v[vds_AudioInputLevelAssociated].IntValue, 50000);
  EXPECT_EQ(v[vds_DummyMAYNOTBESAVED].IntValue, 2147483647);
  EXPECT_EQ(v[vds_TVConnectInput].IntValue, 2147483647);
  EXPECT_EQ(v[vds_ANVOutputEnable].IntValue, 2147483647);
  EXPECT_TRUE(v[vds_VideoQualityAuto].BoolValue);
  EXPECT_TRUE(v[vds_CameraControlAuto].BoolValue);
  EXPECT_EQ(v[vds_VideoQualityValues].BinSize, 240);
  EXPECT_EQ(v[vds_CameraControlValues].BinSize, 168);
  EXPECT_EQ(e.DeviceSettings.Audio[ads_SpeakerVolume].IntValue, 50000);

  // Nothing bound, or bound but not discovered: nothing written.
  e.SaveVideoDeviceSettings();
  e.BoundVideoDevice = 0;
  e.BoundAudioDevice = 0;
  e.SaveVideoDeviceSettings();
  e.SaveAudioDeviceSettings();
  TRegistry2 reg(false);
  EXPECT_FALSE(reg.KeyExists(VideoCaptureDevices()->GetRegistryKey(0)));
  EXPECT_FALSE(reg.KeyExists(AudioCaptureDevices()->GetRegistryKey(0)));
  EXPECT_FALSE(e.LoadVideoDeviceSettings());  // no key: false, nothing changes

  // Another source than a capture device keeps video settings out.
  e.DeviceSettings.Video[vds_DeviceDiscovered].BoolValue = true;
  e.VideoSource = vs_VideoFileOrURL;
  e.SaveVideoDeviceSettings();
  EXPECT_FALSE(reg.KeyExists(VideoCaptureDevices()->GetRegistryKey(0)));
  e.VideoSource = vs_VideoCaptureDevice;
  e.SaveVideoDeviceSettings();
  EXPECT_TRUE(reg.KeyExists(VideoCaptureDevices()->GetRegistryKey(0)));
}

TEST_F(RegistryFixture, UserSettingsAreWrittenButLoadedOnlyWhenStored) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.BoundVideoDevice = 0;
  e.DeviceSettings.Video[vds_DeviceDiscovered].BoolValue = true;
  e.DeviceSettings.Video[vds_VideoSize].IntValue = 4;
  e.DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue = true;
  e.SaveVideoDeviceSettings();

  e.StoreDeviceSettingsInRegistry = false;
  e.ResetVideoDeviceSettings();
  EXPECT_TRUE(e.LoadVideoDeviceSettings());
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoSize].IntValue, 0);        // a user setting: not loaded
  EXPECT_TRUE(e.DeviceSettings.Video[vds_IsTVTunerAvail].BoolValue);   // found by discovery: loaded
  e.DeviceSettings.Video[vds_VideoSize].IntValue = 6;
  e.SaveVideoDeviceSettings();  // still written
  e.StoreDeviceSettingsInRegistry = true;
  e.ResetVideoDeviceSettings();
  EXPECT_TRUE(e.LoadVideoDeviceSettings());
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoSize].IntValue, 6);

  // The name of the selected input lives in memory only.
  e.DeviceSettings.Video[vds_VideoInput].IntValue = 2;
  e.DeviceSettings.Video[vds_VideoInputName].StrValue = "Composite";
  e.SaveVideoDeviceSettings();
  e.ResetVideoDeviceSettings();
  e.LoadVideoDeviceSettings();
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoInput].IntValue, 2);
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoInputName].StrValue, "");
}

TEST_F(RegistryFixture, BadValuesAreSkippedWithATraceLineAndTheRestLoads) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  e.BoundVideoDevice = 0;
  e.DeviceSettings.Video[vds_DeviceDiscovered].BoolValue = true;
  e.DeviceSettings.Video[vds_TVChannel].IntValue = 21;
  e.DeviceSettings.Video[vds_AMVideoCrossbar].StrValue = "1!0!";
  e.DeviceSettings.Video[vds_VideoSize].IntValue = 3;
  e.DeviceSettings.VideoQualityTable.fill(9);
  e.SaveVideoDeviceSettings();

  const String key = VideoCaptureDevices()->GetRegistryKey(0);
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    const std::vector<uint8_t> short100(100, 0xEE);
    reg.WriteBinaryData("VideoQualityValues", short100.data(), 100);  // not 240 bytes
    reg.WriteString("VideoSize", "large");                            // a string where a DWORD belongs
    reg.WriteRawValue("TVMode", rtl::REG_QWORD, "\1\0\0\0\0\0\0\0", 8);
    reg.WriteInteger("AMAudioCrossbar", 5);
  }
  SetTraceOn();
  e.ResetVideoDeviceSettings();
  e.DeviceSettings.VideoQualityTable.fill(0);
  EXPECT_FALSE(e.LoadVideoDeviceSettings());
  const TSettingsRecord& v = e.DeviceSettings.Video;
  EXPECT_EQ(v[vds_VideoSize].IntValue, 0);
  EXPECT_EQ(v[vds_TVMode].IntValue, 0);
  EXPECT_EQ(v[vds_AMAudioCrossbar].StrValue, "");
  EXPECT_EQ(e.DeviceSettings.VideoQualityTable[0], 0);  // the table kept whole
  EXPECT_EQ(v[vds_TVChannel].IntValue, 21);              // the rest loaded
  EXPECT_EQ(v[vds_AMVideoCrossbar].StrValue, "1!0!");
  EXPECT_TRUE(v[vds_DeviceDiscovered].BoolValue);

  ASSERT_NE(TraceLog(), nullptr);
  const String trace = TraceLog()->Lines().Text();
  for (const char* name : {"VideoQualityValues", "VideoSize", "TVMode", "AMAudioCrossbar"})
    EXPECT_NE(trace.find("registry value \"" + String(name) + "\""), String::npos) << name;
  EXPECT_EQ(trace.find("registry value \"TVChannel\""), String::npos);
}

TEST_F(RegistryFixture, VersionStampClearsTheTreeOnce) {
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\TVidCap\\Devices\\OldCam", true));
    reg.WriteString("FMT000", " 640x480");
    ASSERT_TRUE(reg.OpenKey("\\Software\\Other\\Keep", true));
    reg.WriteInteger("x", 1);
  }
  CheckRegistryVersion();
  TRegistry2 reg(false);
  EXPECT_FALSE(reg.KeyExists("\\Software\\TVidCap\\Devices\\OldCam"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Other\\Keep"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\TVidCap\\v7.2 (build 7.2.4 rev n, March 14, 2005)"));

  // With the stamp in place, device data stays.
  ASSERT_TRUE(reg.OpenKey("\\Software\\TVidCap\\Devices\\NewCam", true));
  CheckRegistryVersion();
  EXPECT_TRUE(reg.KeyExists("\\Software\\TVidCap\\Devices\\NewCam"));
}

TEST_F(RegistryFixture, CompressorStateSurvivesThroughItsKey) {
  mg::ff::RegisterFfmpegFilters();
  const mg::ff::EncoderEntry* mjpeg = mg::ff::FindEncoder("mjpeg");
  ASSERT_NE(mjpeg, nullptr);
  const String key = GetRegistryRoot() + "Devices\\TestCompressor";

  auto first = mg::ff::CreateCompressor(mjpeg->clsid);
  auto compression = mg::QueryInterface<mg::IAMVideoCompression>(first);
  ASSERT_NE(compression, nullptr);
  ASSERT_EQ(compression->put_KeyFrameRate(7), mg::S_OK);
  ASSERT_EQ(compression->put_Quality(0.25), mg::S_OK);
  EXPECT_FALSE(ReadFilterStateFromRegistry(first, key));  // nothing stored yet
  ASSERT_TRUE(WriteFilterStateToRegistry(first, key));
  EXPECT_EQ(StoredKind(key, "WDMState"), rtl::REG_BINARY);
  EXPECT_EQ(StoredKind(key, "WDMStateSize"), rtl::REG_DWORD);
  EXPECT_FALSE(WriteFilterStateToRegistry(nullptr, key));
  EXPECT_FALSE(WriteFilterStateToRegistry(first, ""));

  auto second = mg::ff::CreateCompressor(mjpeg->clsid);
  ASSERT_TRUE(ReadFilterStateFromRegistry(second, key));
  mg::LONG keyFrames = 0;
  double quality = 0;
  auto c2 = mg::QueryInterface<mg::IAMVideoCompression>(second);
  c2->get_KeyFrameRate(&keyFrames);
  c2->get_Quality(&quality);
  EXPECT_EQ(keyFrames, 7);
  EXPECT_DOUBLE_EQ(quality, 0.25);

  // A size that does not match the state is refused.
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    reg.WriteInteger("WDMStateSize", reg.ReadInteger("WDMStateSize") + 1);
  }
  EXPECT_FALSE(ReadFilterStateFromRegistry(mg::ff::CreateCompressor(mjpeg->clsid), key));
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    reg.WriteInteger("WDMStateSize", 0x7FFFFFFF);
  }
  EXPECT_FALSE(ReadFilterStateFromRegistry(mg::ff::CreateCompressor(mjpeg->clsid), key));
}

TEST_F(RegistryFixture, FormatCacheNumbersRunUntilTheFirstGap) {
  sim->PlugIn(mg::sim::CameraOptions{}, "Cam");
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  EXPECT_FALSE(e.LoadFormatCache());  // nothing bound
  e.BoundVideoDevice = 0;
  EXPECT_FALSE(e.LoadFormatCache());
  const String key = VideoCaptureDevices()->GetRegistryKey(0);
  WriteFormatCache(key, {" 320x240", "", " 640x480"}, {"RGB24"});
  {
    rtl::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(key, false));
    reg.WriteString("FMT004", " 800x600");  // after a gap: not read
  }
  ASSERT_TRUE(e.LoadFormatCache());
  EXPECT_EQ(e.Sel.VideoSizes.Text(), " 320x240\n 640x480\n");
  EXPECT_EQ(e.Sel.VideoSubtypes.Text(), "RGB24\n");
  EXPECT_EQ(FormatCacheName("SUB", 12), "SUB012");

  // A shorter cache replaces a longer one whole.
  WriteFormatCache(key, {" 160x120"}, {});
  EXPECT_FALSE(e.LoadFormatCache());
  EXPECT_EQ(e.Sel.VideoSizes.Text(), " 160x120\n");
}
