// The video formats of a bound device: discovery on the simulated camera
// and its cache, the list rules, the format steps as the renderer sees
// them, and the picture and camera control tables on a running camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcGraphHelpers.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/sim/SimDevices.h"

namespace {

using namespace capture;
using captest::LogEntry;

class VcFormats : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
  }
  // A control bound to the device plugged in last, with no frame grabber.
  TVidCap* BoundControl() {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->Engine()->VideoDevice = VideoCaptureDevices()->Count() - 1;
    vc->Engine()->BindVideoDevice();
    return vc;
  }
  int Discoveries() const {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [](const LogEntry& l) {
      return l.type == i_begin_discovering_device && l.msg.rfind("one-time video", 0) == 0;
    }));
  }
  static std::vector<std::string> Lines(const rtl::TStringList& list) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < list.Count(); ++i) out.push_back(list[i]);
    return out;
  }
  static std::shared_ptr<mg::VideoRenderer> Renderer(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  }
  static std::shared_ptr<mg::sim::SimCamera> Camera(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::sim::SimCamera>(e.VideoDeviceFilter);
  }
  // The mean luma of the renderer's next frame (RGB24 or RGB32, any row order).
  double NextFrameLuma(const TVcEngine& e) {
    scheduler->Pump(1);
    mg::AM_MEDIA_TYPE mt;
    Renderer(e)->Input()->ConnectionMediaType(&mt);
    const int bytes = mt.BitmapHeader()->biBitCount / 8;
    const std::vector<uint8_t> frame = Renderer(e)->LastFrame();
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i + 2 < frame.size(); i += static_cast<size_t>(bytes), ++n)
      sum += 0.114 * frame[i] + 0.587 * frame[i + 1] + 0.299 * frame[i + 2];
    return n ? sum / static_cast<double>(n) : -1;
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
};

const std::vector<std::string> kCameraSizes = {"    160x120", " 160x120", " 176x144", " 320x240",
                                               " 352x288",    " 640x480", " 800x600", "1280x720"};

TEST_F(VcFormats, CameraDiscoveryFillsAndCachesTheListsAndTheNextBindingReadsTheCache) {
  PlugCameras(1);
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  EXPECT_EQ(Discoveries(), 1);
  EXPECT_TRUE(e.DeviceSettings.Video[vds_DeviceDiscovered].BoolValue);
  EXPECT_EQ(Lines(e.Sel.VideoSizes), kCameraSizes);
  const std::vector<std::string> subtypes = {
      mg::MEDIASUBTYPE_YUY2.ToString(), mg::MEDIASUBTYPE_YUY2.ToString(), mg::MEDIASUBTYPE_RGB24.ToString(),
      mg::MEDIASUBTYPE_RGB32.ToString(), mg::MEDIASUBTYPE_I420.ToString(), mg::MEDIASUBTYPE_MJPG.ToString()};
  EXPECT_EQ(Lines(e.Sel.VideoSubtypes), subtypes);
  EXPECT_EQ(vc->GetVideoSizes(), "Default\r\n160x120\r\n176x144\r\n320x240\r\n352x288\r\n640x480\r\n800x600\r\n1280x720\r\n");
  EXPECT_EQ(vc->GetVideoSubtypes(), "Default\r\nYUY2\r\nRGB24\r\nRGB32\r\nI420\r\nMJPG\r\n");
  EXPECT_EQ(vc->GetVideoWidth(), 160);
  EXPECT_EQ(vc->GetVideoHeight(), 120);
  // The camera's controls and flags were read while the lists were made.
  EXPECT_TRUE(vc->IsVideoQualityAvailable());
  EXPECT_TRUE(vc->IsCameraControlAvailable());
  EXPECT_FALSE(vc->IsTVTunerAvailable());
  EXPECT_FALSE(vc->IsDVDevice());
  EXPECT_EQ(vc->GetVideoQualityMin(0), -64);
  EXPECT_EQ(vc->GetVideoQualityMax(0), 64);
  EXPECT_EQ(vc->GetCameraControlMax(3), 400);
  EXPECT_EQ(e.FilterGraph, nullptr) << "discovery leaves no graph";
  EXPECT_FALSE(VideoCaptureDevices()->Info(0)->InUse);

  rtl::TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(e.BoundVideoDeviceKey(), false));
  for (size_t i = 0; i < kCameraSizes.size(); ++i) EXPECT_EQ(reg.ReadString(FormatCacheName("FMT", int32_t(i))), kCameraSizes[i]);
  for (size_t i = 0; i < subtypes.size(); ++i) EXPECT_EQ(reg.ReadString(FormatCacheName("SUB", int32_t(i))), subtypes[i]);
  EXPECT_FALSE(reg.ValueExists(FormatCacheName("FMT", int32_t(kCameraSizes.size()))));

  // A second control, and a second binding of the first: the cache answers.
  TVidCap* other = BoundControl();
  e.BindVideoDevice();
  EXPECT_EQ(Discoveries(), 1);
  EXPECT_EQ(Lines(other->Engine()->Sel.VideoSizes), kCameraSizes);
  EXPECT_EQ(Lines(other->Engine()->Sel.VideoSubtypes), subtypes);
}

TEST_F(VcFormats, DiscoverySortsTheDVCamcorderAndTheTVCardIntoTheirKinds) {
  PlugIn(mg::sim::DvOptions{});
  TVidCap* dv = BoundControl();
  EXPECT_TRUE(dv->IsDVDevice());
  EXPECT_FALSE(dv->IsTVTunerAvailable());
  EXPECT_EQ(Lines(dv->Engine()->Sel.VideoSizes),
            (std::vector<std::string>{"    half", "   dc", "  quarter", " half", "full"}));
  EXPECT_EQ(dv->GetVideoWidth(), 360) << "half of a 525-line picture";

  PlugIn(mg::sim::TvOptions{});
  TVidCap* tv = BoundControl();
  EXPECT_FALSE(tv->IsDVDevice());
  EXPECT_TRUE(tv->IsTVTunerAvailable());
  EXPECT_TRUE(tv->IsAnalogVideoDecoderAvailable());
  EXPECT_TRUE(tv->IsVideoCrossbarAvailable());
  EXPECT_NE(tv->GetAnalogVideoStandards(), "");
  // The decoder's sizes are listed, and the Default entry follows the standard.
  EXPECT_GE(tv->Engine()->Sel.VideoSizes.IndexOf(" 704x574"), 1);
  EXPECT_EQ(tv->GetVideoWidth(), 352);
}

TEST_F(VcFormats, SizeListRules) {
  TVcEngine& e = *MakeControl()->Engine();
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> added;
    std::vector<std::string> finished;
  };
  const Case cases[] = {
      {"first size is the Default", {{320, 240}, {640, 480}, {640, 480}}, {"    320x240", " 320x240", " 640x480"}},
      {"wide first size gives way to 352x288", {{720, 480}, {176, 144}, {352, 288}},
       {"   352x288", " 176x144", " 352x288", " 720x480"}},
      {"352x288 right behind the Default does not", {{720, 480}, {352, 288}}, {"    720x480", " 352x288", " 720x480"}},
      {"narrow sizes keep their blanks", {{88, 72}, {1280, 720}}, {"     88x72", "  88x72", "1280x720"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    e.Sel.VideoSizes.Clear();
    e.Sel.VideoSubtypes.Clear();
    for (auto [w, h] : c.added) e.AddVideoSize(w, h);
    e.FinishFormatLists();
    EXPECT_EQ(Lines(e.Sel.VideoSizes), c.finished);
  }
  // Walks from capabilities stop at their bounds and at zero sizes.
  e.Sel.VideoSizes.Clear();
  e.WalkSizesFromCaps(640, 480, 160, 120, 1280, 960);
  EXPECT_EQ(Lines(e.Sel.VideoSizes),
            (std::vector<std::string>{"    640x480", " 160x120", " 320x240", " 640x480", "1280x960"}));
  e.Sel.VideoSizes.Clear();
  e.WalkSizesFromCaps(0, 0, 0, 0, 0, 0);
  EXPECT_EQ(e.Sel.VideoSizes.Count(), 0);
}

TEST_F(VcFormats, SubtypeOrderAndTheEffectiveSubtype) {
  TVcEngine& e = *MakeControl()->Engine();
  auto type = [](const mg::GUID& g) {
    mg::AM_MEDIA_TYPE mt;
    mt.majortype = mg::MEDIATYPE_Video;
    mt.subtype = g;
    return mt;
  };
  for (const mg::GUID* g : {&mg::MEDIASUBTYPE_MJPG, &mg::MEDIASUBTYPE_RGB32, &mg::MEDIASUBTYPE_UYVY,
                            &mg::MEDIASUBTYPE_RGB555, &mg::MEDIASUBTYPE_I420, &mg::MEDIASUBTYPE_RGB32})
    e.AddVideoSubtype(type(*g));
  e.FinishFormatLists();
  std::vector<std::string> names;
  for (int32_t i = 0; i < e.Sel.VideoSubtypes.Count(); ++i) names.push_back(SubtypeEntryName(e.Sel.VideoSubtypes[i]));
  EXPECT_EQ(names, (std::vector<std::string>{"RGB555", "RGB555", "UYVY", "RGB32", "I420", "MJPG"}));

  e.Sel.VideoSubtypes.Clear();
  for (const mg::GUID* g : {&mg::MEDIASUBTYPE_YUY2, &mg::MEDIASUBTYPE_RGB24, &mg::MEDIASUBTYPE_RGB32})
    e.Sel.VideoSubtypes.Add(g->ToString());
  e.Sel.VideoSubtypes.Insert(0, e.Sel.VideoSubtypes[0]);
  struct Case {
    int32_t index;
    TFrameGrabber grabber;
    mg::GUID expected;
  };
  for (const Case& c : {Case{0, fg_BothStreams, mg::MEDIASUBTYPE_RGB24}, Case{0, fg_Disabled, mg::MEDIASUBTYPE_YUY2},
                        Case{3, fg_BothStreams, mg::MEDIASUBTYPE_RGB32}, Case{9, fg_Disabled, mg::MEDIASUBTYPE_YUY2}}) {
    e.ActiveSubtypeIndex = c.index;
    e.Latched.FrameGrabber = c.grabber;
    mg::GUID g;
    EXPECT_TRUE(e.GetEffectiveSubtype(g));
    EXPECT_EQ(g, c.expected) << c.index << " " << c.grabber;
  }
  e.Sel.VideoSubtypes.Clear();
  mg::GUID g;
  EXPECT_FALSE(e.GetEffectiveSubtype(g));
}

TEST_F(VcFormats, EntrySizesOfDVDevicesAndOutOfRangeSelections) {
  PlugIn(mg::sim::DvOptions{});
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  struct Case {
    int32_t index;
    bool pal, ok;
    int32_t w, h;
  };
  for (const Case& c : {Case{4, true, true, 720, 576}, Case{4, false, true, 720, 480}, Case{1, true, true, 88, 72},
                        Case{5, true, false, -1, -1}}) {
    e.DeviceSettings.Video[vds_IsDVPal].BoolValue = c.pal;
    int32_t w = 0, h = 0;
    EXPECT_EQ(e.GetVideoSizeAt(c.index, w, h), c.ok) << c.index;
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.w, c.h)) << c.index;
  }

  log.clear();
  e.StreamConfig = std::make_shared<mg::sim::SimCamera>(std::make_shared<mg::sim::DevicePresence>(),
                                                        mg::sim::CameraOptions{})
                       ->Output()
                       ->QueryInterface<mg::IAMStreamConfig>();
  e.DeviceSettings.Video[vds_VideoSize].IntValue = 9;
  EXPECT_FALSE(e.ApplyVideoFormatByCaps(nullptr));
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoSize].IntValue, 0);
  EXPECT_EQ(log, (std::vector<LogEntry>{
                     {e_index_out_of_range, "ERROR", "VideoSize index out of range, default size used"}}));
  e.StreamConfig.reset();
}

TEST_F(VcFormats, BlockHelpers) {
  struct FourCC {
    const char* name;
    uint32_t compression;
    uint16_t bits;
  };
  for (const FourCC& c : {FourCC{"BITF32", mg::BI_BITFIELDS, 32}, FourCC{"RGB24", mg::BI_RGB, 24},
                          FourCC{"RLE4", 2, 4}, FourCC{"YV12", mg::MAKEFOURCC('Y', 'V', '1', '2'), 12},
                          FourCC{"YUV9", mg::MAKEFOURCC('Y', 'U', 'V', '9'), 9}, FourCC{"rgb24", 77, 7},
                          FourCC{"RGB", 77, 7}}) {
    uint32_t compression = 77;
    uint16_t bits = 7;
    ParseFourCCName(c.name, compression, bits);
    EXPECT_EQ(std::make_pair(compression, bits), std::make_pair(c.compression, c.bits)) << c.name;
  }
  struct Size {
    const char* text;
    bool ok;
    int32_t w, h;
  };
  for (const Size& c : {Size{" 352x288", true, 352, 288}, Size{"x288", false, 0, 0}, Size{"352x0", false, 352, 0},
                        Size{" 64 x 48 ", true, 64, 48}, Size{"half", false, 0, 0}}) {
    int32_t w = 0, h = 0;
    EXPECT_EQ(ParseSizeText(c.text, w, h), c.ok) << c.text;
    if (std::string(c.text).find('x') != std::string::npos && c.text[0] != 'x') {
      EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.w, c.h)) << c.text;
    }
  }
  mg::BITMAPINFOHEADER bih;
  bih.biWidth = 33;
  bih.biHeight = -10;
  bih.biBitCount = 24;
  EXPECT_EQ(DibImageSize(&bih), 100 * 10);
  EXPECT_EQ(DibImageSize(nullptr), 0);

  struct Kind {
    mg::GUID major, format;
    int32_t kind;
  };
  for (const Kind& k : {Kind{mg::MEDIATYPE_Video, mg::FORMAT_VideoInfo, 0}, Kind{mg::MEDIATYPE_Video, mg::FORMAT_VideoInfo2, 1},
                        Kind{mg::MEDIATYPE_Interleaved, mg::FORMAT_DvInfo, 2}, Kind{mg::MEDIATYPE_Stream, mg::FORMAT_MPEGVideo, 3},
                        Kind{mg::MEDIATYPE_Stream, mg::FORMAT_MPEG2Video, 4}, Kind{mg::MEDIATYPE_Stream, mg::FORMAT_MPEGStreams, 5},
                        Kind{mg::MEDIATYPE_Stream, mg::FORMAT_WaveFormatEx, 6}, Kind{mg::MEDIATYPE_Audio, mg::FORMAT_WaveFormatEx, 7},
                        Kind{mg::MEDIATYPE_Video, mg::FORMAT_DvInfo, 8}}) {
    mg::AM_MEDIA_TYPE mt;
    mt.majortype = k.major;
    mt.formattype = k.format;
    EXPECT_EQ(GetVideoFormatKind(mt), k.kind);
  }

  // Frame durations from the frame rate; a rate of 0 becomes 15 a second.
  TVcEngine& e = *MakeControl()->Engine();
  mg::AM_MEDIA_TYPE mt = mg::MakeCaptureVideoType(mg::MEDIASUBTYPE_RGB24, 320, 240, 0);
  for (auto [rate, duration] : {std::pair{2997, 333667}, std::pair{2500, 400000}, std::pair{0, 666667}}) {
    e.ActiveFrameRate = rate;
    EXPECT_TRUE(e.SetFrameDuration(0, mt));
    EXPECT_EQ(mt.FormatAs<mg::VIDEOINFOHEADER>()->AvgTimePerFrame, duration) << rate;
  }
  EXPECT_EQ(e.ActiveFrameRate, 1500);
  EXPECT_FALSE(e.SetFrameDuration(2, mt));
}

TEST_F(VcFormats, ForcedFoldersAreMadeWithTheirParents) {
  const std::string base = (dir_ / "a").string();
  EXPECT_TRUE(ForceFolders(""));
  EXPECT_TRUE(ForceFolders(base + "/b/c/"));
  EXPECT_TRUE(FolderExists(base + "/b/c"));
  EXPECT_TRUE(ForceFolders(base + "/b"));
  ForceFileFolder(base + "/d/e/clip.avi");
  EXPECT_TRUE(FolderExists(base + "/d/e"));
  EXPECT_FALSE(FolderExists(base + "/d/e/clip.avi"));
  std::FILE* f = std::fopen((base + "/file").c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_FALSE(ForceFolders(base + "/file/sub")) << "a file stands where a folder should";
}

TEST_F(VcFormats, ACacheSkipsEmptyValuesAndStopsAtAMissingOne) {
  PlugCameras(1);
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  const String key = e.BoundVideoDeviceKey();
  struct Case {
    const char* name;
    bool sizeMissing;
    int32_t sizes;
  };
  for (const Case& c : {Case{"empty value", false, 4}, Case{"missing value", true, 2}}) {
    WriteFormatCache(key, {"    320x240", " 320x240", "", " 640x480", " 800x600"}, {"A", "B", "C"});
    if (c.sizeMissing) {
      rtl::TRegistry reg;
      ASSERT_TRUE(reg.OpenKey(key, false));
      reg.DeleteValue("FMT002");
    }
    EXPECT_TRUE(e.LoadFormatCache()) << c.name;
    EXPECT_EQ(e.Sel.VideoSizes.Count(), c.sizes) << c.name;
    EXPECT_EQ(e.Sel.VideoSubtypes.Count(), 3) << c.name;
  }
}

TEST_F(VcFormats, TheDevicesCurrentFormatSelectsItsEntries) {
  PlugCameras(1);
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  auto camera = std::make_shared<mg::sim::SimCamera>(std::make_shared<mg::sim::DevicePresence>(), mg::sim::CameraOptions{});
  e.StreamConfig = camera->Output()->QueryInterface<mg::IAMStreamConfig>();
  mg::AM_MEDIA_TYPE chosen = mg::MakeCaptureVideoType(mg::MEDIASUBTYPE_RGB32, 640, 480, 400000);
  ASSERT_EQ(e.StreamConfig->SetFormat(&chosen), mg::S_OK);
  e.ReadCurrentVideoFormat();
  EXPECT_EQ(vc->GetVideoSubtype(), 3);
  EXPECT_EQ(vc->GetVideoSize(), 5);
  int32_t rate = 0;
  EXPECT_TRUE(e.ReadFormatFrameRate(rate));
  EXPECT_EQ(rate, 2500);
  e.StreamConfig.reset();
  EXPECT_FALSE(e.ReadFormatFrameRate(rate));
}

TEST_F(VcFormats, SizeSubtypeAndFrameRateReachTheRenderer) {
  PlugCameras(1);
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  struct Case {
    int32_t size, subtype;
    double rate;
    int32_t w, h;
    mg::GUID expected;
    mg::REFERENCE_TIME duration;
  };
  const Case cases[] = {
      {0, 0, 29.97, 160, 120, mg::MEDIASUBTYPE_YUY2, 333667},
      {5, 3, 10, 640, 480, mg::MEDIASUBTYPE_RGB32, 1000000},
      {7, 2, 25, 1280, 720, mg::MEDIASUBTYPE_RGB24, 400000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    vc->SetVideoSize(c.size);
    vc->SetVideoSubtype(c.subtype);
    vc->SetFrameRate(c.rate);
    ASSERT_TRUE(vc->StartPreview());
    mg::AM_MEDIA_TYPE source;
    ASSERT_EQ(Camera(e)->Output()->ConnectionMediaType(&source), mg::S_OK);
    EXPECT_EQ(source.subtype, c.expected);
    mg::AM_MEDIA_TYPE shown;
    ASSERT_EQ(Renderer(e)->Input()->ConnectionMediaType(&shown), mg::S_OK);
    uint32_t rate = 0;
    int64_t duration = 0;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(GetVideoFrameInfo(shown, rate, duration, w, h));
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(c.w, c.h));
    EXPECT_EQ(duration, c.duration);
    EXPECT_EQ(e.VideoWidth, c.w);
    scheduler->Pump(2);
    EXPECT_EQ(Renderer(e)->FramesDrawn(), 2);
    EXPECT_TRUE(vc->Stop());
  }
}

TEST_F(VcFormats, OneDeviceFamilyGetsNoFormatStep) {
  struct Case {
    const char* name;
    bool applied;
  };
  for (const Case& c : {Case{"PINNACLE MovieBox Deluxe", false}, Case{"Pinnacle PCTV", true}}) {
    SCOPED_TRACE(c.name);
    ResetComponent();
    UnplugAll();
    PlugIn(mg::sim::CameraOptions{}, c.name);
    TVidCap* vc = BoundControl();
    vc->SetVideoSize(5);  // 640x480
    vc->SetVideoSubtype(2);
    ASSERT_TRUE(vc->StartPreview());
    mg::AM_MEDIA_TYPE mt;
    ASSERT_EQ(Camera(*vc->Engine())->Output()->ConnectionMediaType(&mt), mg::S_OK);
    EXPECT_EQ(mt.BitmapHeader()->biWidth == 640 && mt.subtype == mg::MEDIASUBTYPE_RGB24, c.applied);
    delete vc;
  }
}

TEST_F(VcFormats, PictureControlsChangeThePixelsAndAutoPutsTheDefaultsBack) {
  PlugCameras(1);
  TVidCap* vc = BoundControl();
  TVcEngine& e = *vc->Engine();
  vc->SetVideoSubtype(2);  // RGB24 at the renderer
  ASSERT_TRUE(vc->StartPreview());
  ASSERT_NE(e.VideoProcAmp, nullptr);
  auto procAmp = [&](mg::LONG property) {
    mg::LONG value = 0, flags = 0;
    Camera(e)->Get(property, &value, &flags);
    return std::make_pair(value, flags);
  };
  auto camera = [&](mg::LONG property) {
    mg::LONG value = 0, flags = 0;
    e.CameraControl->Get(property, &value, &flags);
    return std::make_pair(value, flags);
  };
  constexpr mg::LONG kAuto = mg::VideoProcAmp_Flags_Auto, kManual = mg::VideoProcAmp_Flags_Manual;
  EXPECT_EQ(procAmp(mg::VideoProcAmp_WhiteBalance), std::make_pair(4600, kAuto)) << "Auto is the default";
  const double base = NextFrameLuma(e);

  EXPECT_TRUE(vc->SetVideoQualityValue(0, 64));
  EXPECT_EQ(procAmp(mg::VideoProcAmp_Brightness), std::make_pair(64, kManual));
  EXPECT_GT(NextFrameLuma(e), base + 20);
  EXPECT_TRUE(vc->SetVideoQualityValue(0, -64));
  EXPECT_LT(NextFrameLuma(e), base - 20);
  EXPECT_EQ(vc->GetVideoQualityValue(0), -64);
  EXPECT_TRUE(vc->SetVideoQualityValue(7, 2800));
  EXPECT_EQ(procAmp(mg::VideoProcAmp_WhiteBalance), std::make_pair(2800, kManual)) << "by hand even in Auto mode";

  // Refusals leave value and device alone.
  for (auto [index, v] : {std::pair{10, 0}, std::pair{-1, 0}, std::pair{0, 65}, std::pair{0, -65}})
    EXPECT_FALSE(vc->SetVideoQualityValue(index, v)) << index << " " << v;
  EXPECT_EQ(vc->GetVideoQualityValue(0), -64);
  EXPECT_EQ(vc->GetVideoQualityValue(99), 0) << "outside the table reads nothing";

  // Auto on puts the defaults on with the auto flag where the device has
  // one; Auto off puts the stored values back by hand.
  vc->SetVideoQualityAuto(false);
  EXPECT_EQ(procAmp(mg::VideoProcAmp_Brightness), std::make_pair(-64, kManual));
  vc->SetVideoQualityAuto(true);
  EXPECT_EQ(procAmp(mg::VideoProcAmp_WhiteBalance), std::make_pair(4600, kAuto));
  vc->SetVideoQualityAuto(false);
  EXPECT_EQ(procAmp(mg::VideoProcAmp_WhiteBalance), std::make_pair(2800, kManual));
  EXPECT_TRUE(vc->SetVideoQualityValue(0, 0));
  EXPECT_TRUE(vc->SetVideoQualityValue(7, 4600));
  EXPECT_NEAR(NextFrameLuma(e), base, 1.0);

  // Camera control: exposure by hand, then Auto.
  ASSERT_NE(e.CameraControl, nullptr);
  EXPECT_TRUE(vc->SetCameraControlValue(4, -2));
  EXPECT_EQ(camera(mg::CameraControl_Exposure), std::make_pair(-2, mg::CameraControl_Flags_Manual));
  EXPECT_FALSE(vc->SetCameraControlValue(7, 0));
  vc->SetCameraControlAuto(false);
  vc->SetCameraControlAuto(true);
  EXPECT_EQ(camera(mg::CameraControl_Exposure), std::make_pair(-6, mg::CameraControl_Flags_Auto));

  // With the settings off, neither Auto nor a new graph touches the device.
  vc->SetVideoQualityAuto(false);
  vc->SetVideoQualitySettings(false);
  vc->SetVideoQualityAuto(true);
  EXPECT_EQ(procAmp(mg::VideoProcAmp_WhiteBalance), std::make_pair(4600, kManual));
  EXPECT_TRUE(vc->Stop());
  vc->SetVideoQualityAuto(false);
  EXPECT_TRUE(vc->SetVideoQualityValue(0, 40));
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(procAmp(mg::VideoProcAmp_Brightness).first, 0) << "a fresh camera, left as it starts";
  EXPECT_TRUE(vc->Stop());
  vc->SetVideoQualitySettings(true);
  vc->SetVideoQualityValue(0, 40);
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(procAmp(mg::VideoProcAmp_Brightness), std::make_pair(40, kManual));
}

}  // namespace
