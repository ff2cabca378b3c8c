// The V4L2 backend over recorded driver answers: which nodes are capture
// devices, the formats, sizes and rates the drivers' answers become, the
// controls, the inputs and tuner of a TV card, and streaming with its
// dropped frames and a device that goes away.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "FakeV4l2.h"
#include "SimTestSupport.h"
#include "platform/mg/sim/SimTv.h"
#include "platform/mg/v4l2/V4l2Capture.h"
#include "platform/mg/v4l2/V4l2Provider.h"

namespace {

using namespace mg;
using namespace mg::v4l2;
using fakev4l2::FakeV4l2;
using fakev4l2::Frame;

std::string Fixture(const char* name) { return std::string(VORIX_TEST_DATA "/v4l2/") + name; }

struct Bound {
  std::shared_ptr<FakeV4l2> fake;
  std::shared_ptr<V4l2DeviceProvider> provider;
  std::shared_ptr<V4l2CaptureFilter> filter;
};

Bound Bind(const char* fixture) {
  Bound b;
  b.fake = std::make_shared<FakeV4l2>(Fixture(fixture));
  b.provider = std::make_shared<V4l2DeviceProvider>(b.fake);
  auto list = b.provider->Enumerate(CLSID_VideoInputDeviceCategory);
  std::shared_ptr<BaseFilter> f;
  if (!list.empty() && list[0]->BindToObject(&f) == S_OK) b.filter = std::dynamic_pointer_cast<V4l2CaptureFilter>(f);
  return b;
}

std::string Describe(const AM_MEDIA_TYPE& mt) {
  const auto* vih = mt.FormatAs<VIDEOINFOHEADER>();
  const uint32_t fcc = mt.subtype == MEDIASUBTYPE_RGB24   ? MAKEFOURCC('R', 'G', 'B', '3')
                       : mt.subtype == MEDIASUBTYPE_RGB32  ? MAKEFOURCC('R', 'G', 'B', '4')
                       : mt.subtype == MEDIASUBTYPE_RGB565 ? MAKEFOURCC('R', '5', '6', '5')
                       : mt.subtype == MEDIASUBTYPE_RGB555 ? MAKEFOURCC('R', '5', '5', '5')
                                                           : mt.subtype.Data1;
  std::string s(reinterpret_cast<const char*>(&fcc), 4);
  return s + " " + std::to_string(vih->bmiHeader.biWidth) + "x" + std::to_string(vih->bmiHeader.biHeight);
}

// "FOURCC WxH min-max" for every capability of the pin.
std::vector<std::string> Capabilities(Pin& pin) {
  auto config = QueryInterface<IAMStreamConfig>(pin.shared_from_this());
  int count = 0, size = 0;
  config->GetNumberOfCapabilities(&count, &size);
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE mt;
    VIDEO_STREAM_CONFIG_CAPS caps;
    config->GetStreamCaps(i, &mt, reinterpret_cast<uint8_t*>(&caps));
    out.push_back(Describe(mt) + " " + std::to_string(caps.MinFrameInterval) + "-" +
                  std::to_string(caps.MaxFrameInterval));
  }
  return out;
}

TEST(V4l2Devices, CaptureNodesAreListedWithTheirCardNamesAndBus) {
  struct Case {
    const char* fixture;
    std::vector<std::string> names;
    std::vector<std::string> displayNames;
  };
  const Case cases[] = {
      // The camera's metadata node is no capture device.
      {"uvc-webcam.txt", {"HD Pro Webcam C920"}, {"@v4l2:/dev/video0:usb-0000:00:14.0-1"}},
      {"bttv-tuner.txt", {"BT878 video (Hauppauge (bt878))"}, {"@v4l2:/dev/video0:PCI:0000:05:00.0"}},
  };
  for (const Case& c : cases) {
    auto fake = std::make_shared<FakeV4l2>(Fixture(c.fixture));
    V4l2DeviceProvider provider(fake);
    std::vector<std::string> names, displays;
    for (auto& m : provider.Enumerate(CLSID_VideoInputDeviceCategory)) {
      std::string name;
      m->Properties().Read("FriendlyName", &name);
      names.push_back(name);
      displays.push_back(m->DisplayName());
    }
    EXPECT_EQ(names, c.names) << c.fixture;
    EXPECT_EQ(displays, c.displayNames) << c.fixture;
    EXPECT_TRUE(provider.Enumerate(CLSID_AudioInputDeviceCategory).empty());
    EXPECT_TRUE(provider.AnyDevice());
    EXPECT_EQ(fake->OpenDescriptors(), 0) << "listing leaves no node open";
  }
}

TEST(V4l2Devices, TheCamerasListsBecomeStreamCapsWithoutItsBrokenEntries) {
  Bound b = Bind("uvc-webcam.txt");
  ASSERT_NE(b.filter, nullptr);
  // Sizes smallest first per format; the zero size and the 0/0 and
  // 100000-fps intervals are gone.
  EXPECT_EQ(Capabilities(*b.filter->Output()), (std::vector<std::string>{
                                                   "YUY2 160x120 333333-666667",
                                                   "YUY2 320x240 333333-666667",
                                                   "YUY2 640x480 333333-2000000",
                                                   "YUY2 1280x720 1000000-2000000",
                                                   "YUY2 1920x1080 2000000-2000000",
                                                   "MJPG 320x240 333333-333333",
                                                   "MJPG 640x480 333333-666667",
                                                   "MJPG 1280x720 333333-666667",
                                                   "MJPG 1920x1080 333333-333333",
                                               }));
  // It starts with what the device was set to.
  AM_MEDIA_TYPE mt;
  QueryInterface<IAMStreamConfig>(b.filter->Output())->GetFormat(&mt);
  EXPECT_EQ(Describe(mt), "YUY2 640x480");
  EXPECT_EQ(mt.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame, 333333);
}

TEST(V4l2Devices, ACardWithoutSizeListsOffersTheSizesItsDriverKeeps) {
  Bound b = Bind("bttv-tuner.txt");
  ASSERT_NE(b.filter, nullptr);
  const auto caps = Capabilities(*b.filter->Output());
  // Eight formats we carry (grey is not one) at the eight ladder sizes
  // within 924x576, all at the PAL frame period G_PARM gives.
  ASSERT_EQ(caps.size(), 64u);
  EXPECT_EQ(caps.front(), "R555 160x120 400000-400000");
  EXPECT_EQ(caps[7], "R555 768x576 400000-400000");
  EXPECT_EQ(caps.back(), "YV12 768x576 400000-400000");
  for (const auto& c : caps) EXPECT_EQ(c.find("800x600"), std::string::npos) << c;
  AM_MEDIA_TYPE mt;
  QueryInterface<IAMStreamConfig>(b.filter->Output())->GetFormat(&mt);
  EXPECT_EQ(Describe(mt), "RGB3 320x240");
  EXPECT_GT(mt.BitmapHeader()->biHeight, 0) << "RGB is bottom-up";
}

TEST(V4l2Devices, ACameraWithSizeAndRateRangesOffersTheUsualSizesWithinThem) {
  Bound b = Bind("pi-camera.txt");
  ASSERT_NE(b.filter, nullptr);
  const auto caps = Capabilities(*b.filter->Output());
  // I420, YUY2 and MJPG (from JPEG; RGB3 and H264 are not carried), each at
  // the fourteen usual sizes within 32..2592 x 32..1944 and the largest,
  // at 1/90 to 1 s a frame.
  ASSERT_EQ(caps.size(), 45u);
  EXPECT_EQ(caps.front(), "I420 160x120 111111-10000000");
  EXPECT_EQ(caps[13], "I420 1920x1080 111111-10000000");
  EXPECT_EQ(caps[14], "I420 2592x1944 111111-10000000");
  EXPECT_EQ(caps.back(), "MJPG 2592x1944 111111-10000000");
  AM_MEDIA_TYPE now;
  QueryInterface<IAMStreamConfig>(b.filter->Output())->GetFormat(&now);
  EXPECT_EQ(Describe(now), "I420 1024x768");
  // Any rate inside the range is the driver's to take.
  const AM_MEDIA_TYPE mjpg = mg::MakeCaptureVideoType(MEDIASUBTYPE_MJPG, 1280, 720, 400'000);
  ASSERT_EQ(QueryInterface<IAMStreamConfig>(b.filter->Output())->SetFormat(&mjpg), S_OK);
  EXPECT_EQ(b.fake->CurrentFormat("/dev/video0").pixelformat, V4L2_PIX_FMT_JPEG);
  EXPECT_EQ(b.fake->CurrentInterval("/dev/video0"), std::make_pair(1u, 25u));
  LONG caps2 = 0;
  b.filter->GetCaps(b.filter->Output().get(), &caps2);
  EXPECT_EQ(caps2, VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical);
  ASSERT_EQ(b.filter->SetMode(b.filter->Output().get(), VideoControlFlag_FlipVertical), S_OK);
  EXPECT_EQ(b.fake->ControlValue("/dev/video0", V4L2_CID_VFLIP), 1);
  EXPECT_EQ(b.fake->ControlValue("/dev/video0", V4L2_CID_HFLIP), 0);
  // Colour on and off is the colour-effects menu's none and black-and-white.
  LONG v = -1, flags = 0;
  ASSERT_EQ(b.filter->Get(VideoProcAmp_ColorEnable, &v, &flags), S_OK);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(b.filter->Set(VideoProcAmp_ColorEnable, 0, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(b.fake->ControlValue("/dev/video0", V4L2_CID_COLORFX), V4L2_COLORFX_BW);
}

TEST(V4l2Devices, SetFormatSetsTheDeviceAndRefusesWhatItDoesNotOffer) {
  Bound b = Bind("uvc-webcam.txt");
  auto config = QueryInterface<IAMStreamConfig>(b.filter->Output());
  const AM_MEDIA_TYPE mjpg = mg::MakeCaptureVideoType(MEDIASUBTYPE_MJPG, 1280, 720, 666'667);
  ASSERT_EQ(config->SetFormat(&mjpg), S_OK);
  const v4l2_pix_format cur = b.fake->CurrentFormat("/dev/video0");
  EXPECT_EQ(cur.pixelformat, V4L2_PIX_FMT_MJPEG);
  EXPECT_EQ(cur.width, 1280u);
  EXPECT_EQ(cur.height, 720u);
  EXPECT_EQ(b.fake->CurrentInterval("/dev/video0"), std::make_pair(1u, 15u));
  AM_MEDIA_TYPE now;
  config->GetFormat(&now);
  EXPECT_EQ(Describe(now), "MJPG 1280x720");
  EXPECT_EQ(now.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame, 666'666) << "the driver's own 1/15";
  // Only the format set is offered from now on, as capture pins do.
  EXPECT_EQ(b.filter->Output()->MediaTypes().size(), 1u);

  for (const AM_MEDIA_TYPE& bad : {mg::MakeCaptureVideoType(MEDIASUBTYPE_MJPG, 800, 600, 333'333),
                                   mg::MakeCaptureVideoType(MEDIASUBTYPE_RGB24, 640, 480, 333'333),
                                   mg::MakeCaptureVideoType(MEDIASUBTYPE_YUY2, 1920, 1080, 333'333)})
    EXPECT_EQ(config->SetFormat(&bad), VFW_E_INVALIDMEDIATYPE) << Describe(bad);
}

TEST(V4l2Devices, ProcAmpAndCameraControlMapOntoTheDriversControls) {
  Bound b = Bind("uvc-webcam.txt");
  const std::string dev = "/dev/video0";
  struct Range {
    LONG property;
    HRESULT hr;
    LONG min, max, step, def, caps;
  };
  constexpr LONG M = VideoProcAmp_Flags_Manual, A = VideoProcAmp_Flags_Auto;
  const Range procAmp[] = {
      {VideoProcAmp_Brightness, S_OK, 0, 255, 1, 128, M},
      {VideoProcAmp_Hue, sim::E_PROP_ID_UNSUPPORTED, 0, 0, 0, 0, 0},
      {VideoProcAmp_WhiteBalance, S_OK, 2000, 6500, 1, 4000, M | A},
      {VideoProcAmp_BacklightCompensation, S_OK, 0, 1, 1, 0, M},
      {VideoProcAmp_Gain, S_OK, 0, 255, 1, 0, M},
  };
  for (const Range& r : procAmp) {
    LONG mn = 0, mx = 0, st = 0, df = 0, cp = 0;
    EXPECT_EQ(b.filter->GetRange(r.property, &mn, &mx, &st, &df, &cp), r.hr) << r.property;
    if (r.hr == S_OK) {
      EXPECT_EQ(std::vector<LONG>({mn, mx, st, df, cp}), std::vector<LONG>({r.min, r.max, r.step, r.def, r.caps}))
          << r.property;
    }
  }
  auto camera = QueryInterface<IAMCameraControl>(b.filter);
  ASSERT_NE(camera, nullptr);
  // Pan and tilt in degrees, exposure as log2 seconds (3..2047 x 100 us).
  const Range cameraRanges[] = {
      {CameraControl_Pan, S_OK, -10, 10, 1, 0, M},
      {CameraControl_Roll, sim::E_PROP_ID_UNSUPPORTED, 0, 0, 0, 0, 0},
      {CameraControl_Zoom, S_OK, 100, 500, 1, 100, M},
      {CameraControl_Exposure, S_OK, -12, -2, 1, -5, M | A},
      {CameraControl_Focus, S_OK, 0, 250, 5, 0, M | A},
  };
  for (const Range& r : cameraRanges) {
    LONG mn = 0, mx = 0, st = 0, df = 0, cp = 0;
    EXPECT_EQ(camera->GetRange(r.property, &mn, &mx, &st, &df, &cp), r.hr) << r.property;
    if (r.hr == S_OK) {
      EXPECT_EQ(std::vector<LONG>({mn, mx, st, df, cp}), std::vector<LONG>({r.min, r.max, r.step, r.def, r.caps}))
          << r.property;
    }
  }

  // A manual value turns the automatic switch off first (the driver
  // refuses the value otherwise); automatic turns it back on.
  LONG v = 0, flags = 0;
  ASSERT_EQ(b.filter->Get(VideoProcAmp_WhiteBalance, &v, &flags), S_OK);
  EXPECT_EQ(flags, A);
  ASSERT_EQ(b.filter->Set(VideoProcAmp_WhiteBalance, 5000, M), S_OK);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5000);
  ASSERT_EQ(b.filter->Get(VideoProcAmp_WhiteBalance, &v, &flags), S_OK);
  EXPECT_EQ(std::make_pair(v, flags), std::make_pair(LONG{5000}, M));
  ASSERT_EQ(b.filter->Set(VideoProcAmp_WhiteBalance, 0, A), S_OK);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_AUTO_WHITE_BALANCE), 1);
  EXPECT_EQ(b.filter->Set(VideoProcAmp_Brightness, 256, M), E_INVALIDARG);
  EXPECT_EQ(b.filter->Set(VideoProcAmp_Brightness, 10, A), E_INVALIDARG) << "no automatic brightness";

  ASSERT_EQ(camera->Set(CameraControl_Pan, -5, M), S_OK);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_PAN_ABSOLUTE), -18000);
  ASSERT_EQ(camera->Set(CameraControl_Exposure, -6, M), S_OK);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_EXPOSURE_ABSOLUTE), 156);
  ASSERT_EQ(camera->Get(CameraControl_Exposure, &v, &flags), S_OK);
  EXPECT_EQ(std::make_pair(v, flags), std::make_pair(LONG{-6}, M));
  ASSERT_EQ(camera->Set(CameraControl_Exposure, 0, A), S_OK);
  EXPECT_EQ(b.fake->ControlValue(dev, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_APERTURE_PRIORITY);

  // No flips on this camera, and a webcam is no analog decoder or crossbar.
  LONG vcaps = -1;
  EXPECT_EQ(b.filter->GetCaps(b.filter->Output().get(), &vcaps), S_OK);
  EXPECT_EQ(vcaps, 0);
  EXPECT_EQ(QueryInterface<IAMAnalogVideoDecoder>(b.filter), nullptr);
  EXPECT_EQ(b.filter->Crossbar(), nullptr);
  EXPECT_EQ(b.filter->Pins().size(), 1u);
}

TEST(V4l2Devices, TheTvCardsInputsTunerAndStandards) {
  Bound b = Bind("bttv-tuner.txt");
  const std::string dev = "/dev/video0";
  ASSERT_NE(b.filter->Crossbar(), nullptr);
  ASSERT_NE(b.filter->Tuner(), nullptr);
  EXPECT_EQ(QueryInterface<IAMCameraControl>(b.filter), nullptr);
  auto crossbar = b.filter->Crossbar();
  LONG outs = 0, ins = 0;
  crossbar->get_PinCounts(&outs, &ins);
  EXPECT_EQ(std::make_pair(outs, ins), std::make_pair(LONG{1}, LONG{4}));
  std::vector<LONG> types;
  for (LONG i = 0; i < ins; ++i) {
    LONG related = 0, type = 0;
    crossbar->get_CrossbarPinInfo(1, i, &related, &type);
    types.push_back(type);
  }
  EXPECT_EQ(types, (std::vector<LONG>{PhysConn_Video_Tuner, PhysConn_Video_Composite, PhysConn_Video_SVideo,
                                      PhysConn_Video_Composite}));
  ASSERT_EQ(crossbar->Route(0, 2), S_OK);
  EXPECT_EQ(b.fake->Input(dev), 2);
  LONG routed = -1;
  crossbar->get_IsRoutedTo(0, &routed);
  EXPECT_EQ(routed, 2);
  EXPECT_EQ(crossbar->Route(0, 7), E_INVALIDARG);
  // The graph builder finds the tuner upstream of the crossbar, and the
  // crossbar upstream of the capture filter.
  EXPECT_TRUE(b.filter->Pins()[1]->IsConnected());
  EXPECT_TRUE(b.filter->Tuner()->Pins()[0]->IsConnected());

  // US cable: channel 3 is 61.25 MHz (980 x 62.5 kHz) and carries a station.
  auto tuner = b.filter->Tuner();
  ASSERT_EQ(crossbar->Route(0, 0), S_OK);
  tuner->put_CountryCode(1);
  tuner->put_InputType(0, TunerInputCable);
  LONG signal = -1, found = -1, freq = 0, locked = -1;
  ASSERT_EQ(tuner->put_Channel(3, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT), S_OK);
  EXPECT_EQ(b.fake->Frequency(dev), 980u);
  tuner->SignalPresent(&signal);
  EXPECT_EQ(signal, AMTUNER_SIGNALPRESENT);
  tuner->get_VideoFrequency(&freq);
  EXPECT_EQ(freq, 61'250'000);
  auto decoder = QueryInterface<IAMAnalogVideoDecoder>(b.filter);
  ASSERT_NE(decoder, nullptr);
  decoder->get_HorizontalLocked(&locked);
  EXPECT_EQ(locked, 1);
  // The station sends stereo; the tuner's sound mode is the card's.
  LONG modes = 0, mode = 0;
  tuner->GetHardwareSupportedTVAudioModes(&modes);
  EXPECT_EQ(modes, sim::AMTVAUDIO_MODE_MONO | sim::AMTVAUDIO_MODE_STEREO | sim::AMTVAUDIO_MODE_LANG_A |
                       sim::AMTVAUDIO_MODE_LANG_B);
  tuner->GetAvailableTVAudioModes(&modes);
  EXPECT_EQ(modes, sim::AMTVAUDIO_MODE_MONO | sim::AMTVAUDIO_MODE_STEREO);
  tuner->get_TVAudioMode(&mode);
  EXPECT_EQ(mode, sim::AMTVAUDIO_MODE_STEREO);
  ASSERT_EQ(tuner->put_TVAudioMode(sim::AMTVAUDIO_MODE_LANG_B), S_OK);
  EXPECT_EQ(b.fake->AudioMode(dev), uint32_t(V4L2_TUNER_MODE_LANG2));
  EXPECT_EQ(tuner->put_TVAudioMode(sim::AMTVAUDIO_MODE_LANG_C), E_INVALIDARG);
  ASSERT_EQ(tuner->AutoTune(4, &found), S_OK);
  EXPECT_EQ(found, 0);
  decoder->get_HorizontalLocked(&locked);
  EXPECT_EQ(locked, 0);

  LONG formats = 0, format = 0, lines = 0;
  decoder->get_AvailableTVFormats(&formats);
  EXPECT_EQ(formats & (AnalogVideo_NTSC_M | AnalogVideo_PAL_B | AnalogVideo_PAL_I | AnalogVideo_SECAM_L),
            AnalogVideo_NTSC_M | AnalogVideo_PAL_B | AnalogVideo_PAL_I | AnalogVideo_SECAM_L);
  decoder->get_TVFormat(&format);
  EXPECT_EQ(format, AnalogVideo_PAL_B) << "the first of the PAL group the driver reports";
  ASSERT_EQ(decoder->put_TVFormat(AnalogVideo_NTSC_M), S_OK);
  EXPECT_EQ(b.fake->Standard(dev), V4L2_STD_NTSC_M);
  decoder->get_TVFormat(&format);
  EXPECT_EQ(format, AnalogVideo_NTSC_M);
  decoder->get_NumberOfLines(&lines);
  EXPECT_EQ(lines, 525);
  EXPECT_EQ(decoder->put_TVFormat(AnalogVideo_NTSC_M | AnalogVideo_PAL_B), E_INVALIDARG);
  ASSERT_EQ(decoder->put_VCRHorizontalLocking(1), S_OK);
  LONG vcr = 0;
  QueryInterface<IAMAnalogVideoDecoder>(b.filter)->get_VCRHorizontalLocking(&vcr);
  EXPECT_EQ(vcr, 1) << "kept by the filter, not by one answer to a query";
}

// YUYV frames of 320x240 whose bytes tell them apart.
std::vector<uint8_t> YuyvFrame(uint8_t tag, size_t size = 320 * 240 * 2) { return std::vector<uint8_t>(size, tag); }

struct V4l2Streaming : ::testing::Test {
  void Start(const char* fixture, const AM_MEDIA_TYPE& type) {
    b = Bind(fixture);
    ASSERT_NE(b.filter, nullptr);
    ASSERT_EQ(QueryInterface<IAMStreamConfig>(b.filter->Output())->SetFormat(&type), S_OK);
    run = std::make_unique<simtest::DeviceRun>(b.filter, b.filter->Output());
    ASSERT_EQ(run->connected, S_OK);
    ASSERT_EQ(run->graph->Run(), S_OK);
  }
  std::vector<long> Events() {
    std::vector<long> codes;
    long code;
    intptr_t p1, p2;
    while (run->graph->GetEvent(&code, &p1, &p2, 0) == S_OK) codes.push_back(code);
    return codes;
  }
  Bound b;
  std::unique_ptr<simtest::DeviceRun> run;
};

TEST_F(V4l2Streaming, FramesArriveInOrderAndOddBuffersCountAsDropped) {
  Start("uvc-webcam.txt", mg::MakeCaptureVideoType(MEDIASUBTYPE_YUY2, 320, 240, 333'333));
  const std::string dev = "/dev/video0";
  EXPECT_TRUE(b.fake->Streaming(dev));
  b.fake->QueueFrame(dev, {YuyvFrame(1)});
  b.fake->QueueFrame(dev, {YuyvFrame(2)});
  b.fake->QueueFrame(dev, {YuyvFrame(3), 2});                    // the driver lost two before it
  b.fake->QueueFrame(dev, {YuyvFrame(4), 0, -1, true});          // flagged bad
  b.fake->QueueFrame(dev, {YuyvFrame(5, 1000)});                 // short
  b.fake->QueueFrame(dev, {YuyvFrame(6), 0, 10'000'000});        // claims more than its buffer
  b.fake->QueueFrame(dev, {YuyvFrame(7)});
  run->scheduler->Pump(9);  // two rounds find no frame ready
  const auto samples = run->sink->Samples();
  std::vector<int> tags;
  std::vector<int64_t> indexes;
  for (auto& s : samples) {
    ASSERT_EQ(s.bytes.size(), 320u * 240 * 2);
    tags.push_back(s.bytes[0]);
    indexes.push_back(s.mediaStart);
  }
  EXPECT_EQ(tags, (std::vector<int>{1, 2, 3, 6, 7}));
  EXPECT_EQ(indexes, (std::vector<int64_t>{0, 1, 4, 7, 8})) << "frame numbers count the lost ones";
  LONG dropped = 0, notDropped = 0, copied = 0, avg = 0;
  b.filter->GetNumDropped(&dropped);
  b.filter->GetNumNotDropped(&notDropped);
  b.filter->GetAverageFrameSize(&avg);
  EXPECT_EQ(dropped, 4);
  EXPECT_EQ(notDropped, 5);
  EXPECT_EQ(avg, 320 * 240 * 2);
  LONG which[8] = {};
  b.filter->GetDroppedInfo(8, which, &copied);
  EXPECT_EQ(std::vector<LONG>(which, which + copied), (std::vector<LONG>{2, 3, 5, 6}));
  run->graph->Stop();
  EXPECT_FALSE(b.fake->Streaming(dev));
  EXPECT_EQ(b.fake->MappedBuffers(), 0);
}

TEST_F(V4l2Streaming, RgbFramesAreTurnedBottomUpWithPaddedRows) {
  // 24-bit at 160x120: rows of 480 bytes, already a multiple of four.
  Start("bttv-tuner.txt", mg::MakeCaptureVideoType(MEDIASUBTYPE_RGB24, 160, 120, 400'000));
  std::vector<uint8_t> frame(160 * 3 * 120);
  for (size_t y = 0; y < 120; ++y) std::memset(frame.data() + y * 480, static_cast<int>(y), 480);
  b.fake->QueueFrame("/dev/video0", {frame});
  run->scheduler->Pump(1);
  const auto samples = run->sink->Samples();
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].bytes[0], 119) << "the bottom row comes first";
  EXPECT_EQ(samples[0].bytes[119 * 480], 0);
}

TEST_F(V4l2Streaming, ADeviceThatGoesAwayIsReportedLostOnce) {
  struct Case {
    const char* how;
    bool byUdev;
  };
  for (const Case c : {Case{"driver answers ENODEV", false}, Case{"udev removal", true}}) {
    Start("uvc-webcam.txt", mg::MakeCaptureVideoType(MEDIASUBTYPE_YUY2, 320, 240, 333'333));
    b.fake->QueueFrame("/dev/video0", {YuyvFrame(1)});
    run->scheduler->Pump(1);
    if (c.byUdev)
      b.provider->NodeRemoved("/dev/video0");
    else
      b.fake->Unplug("/dev/video0");
    run->scheduler->Pump(3);
    const auto codes = Events();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EC_DEVICE_LOST), 1) << c.how;
    EXPECT_EQ(run->sink->Samples().size(), 1u) << c.how;
    run->graph->Stop();
    // A gone device cannot be bound again.
    if (c.byUdev) {
      std::shared_ptr<BaseFilter> f;
      auto list = b.provider->Enumerate(CLSID_VideoInputDeviceCategory);
      ASSERT_EQ(list.size(), 1u) << "the node is still there";
      EXPECT_EQ(list[0]->BindToObject(&f), S_OK) << "a replugged node is a new device";
    } else {
      EXPECT_TRUE(b.provider->Enumerate(CLSID_VideoInputDeviceCategory).empty());
    }
    run.reset();
  }
}

}  // namespace

namespace {

// Counts samples and lets a test wait for a number of them.
class CountingSink : public mg::BaseFilter {
public:
  CountingSink() : BaseFilter(mg::GUID_NULL) { AddPin(std::make_shared<mg::Pin>(this, "In", mg::PINDIR_INPUT)); }
  std::shared_ptr<mg::Pin> Input() const { return PinAt(0); }
  mg::HRESULT OnReceive(mg::Pin&, mg::MediaSample&) override {
    std::lock_guard lock(mutex_);
    ++count_;
    changed_.notify_all();
    return mg::S_OK;
  }
  bool WaitFor(int n) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return count_ >= n; });
  }
  int Count() {
    std::lock_guard lock(mutex_);
    return count_;
  }

private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

// The streaming thread dequeues while the test's thread queues frames and
// then stops the graph: no frame is delivered after Stop returns, and the
// buffers are given back.
TEST(V4l2Threaded, StreamingThreadAndStopShareTheDeviceSafely) {
  Bound b = Bind("uvc-webcam.txt");
  ASSERT_NE(b.filter, nullptr);
  const mg::AM_MEDIA_TYPE mt = mg::MakeCaptureVideoType(mg::MEDIASUBTYPE_YUY2, 160, 120, 333'333);
  ASSERT_EQ(mg::QueryInterface<mg::IAMStreamConfig>(b.filter->Output())->SetFormat(&mt), mg::S_OK);
  auto graph = mg::FilterGraph::Create();
  graph->SetScheduler(std::make_shared<mg::ThreadedScheduler>());
  auto sink = std::make_shared<CountingSink>();
  graph->AddFilter(b.filter, "Camera");
  graph->AddFilter(sink, "Sink");
  ASSERT_EQ(graph->ConnectDirect(b.filter->Output(), sink->Input(), nullptr), mg::S_OK);
  ASSERT_EQ(graph->Run(), mg::S_OK);
  for (int i = 0; i < 10; ++i) b.fake->QueueFrame("/dev/video0", {std::vector<uint8_t>(160 * 120 * 2, uint8_t(i))});
  EXPECT_TRUE(sink->WaitFor(10));
  for (int i = 0; i < 5; ++i) b.fake->QueueFrame("/dev/video0", {std::vector<uint8_t>(160 * 120 * 2, 1)});
  graph->Stop();
  const int atStop = sink->Count();
  EXPECT_FALSE(b.fake->Streaming("/dev/video0"));
  EXPECT_EQ(b.fake->MappedBuffers(), 0);
  EXPECT_EQ(sink->Count(), atStop);
}

}  // namespace
