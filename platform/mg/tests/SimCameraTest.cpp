#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/tests/SimTestSupport.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

std::shared_ptr<SimCamera> MakeCamera(CameraOptions o = {}) {
  return std::make_shared<SimCamera>(std::make_shared<DevicePresence>(), o);
}

CameraOptions Rgb32(int w = 320, int h = 240) {
  CameraOptions o;
  o.subtype = MEDIASUBTYPE_RGB32;
  o.width = w;
  o.height = h;
  return o;
}

// Runs the camera for `frames` frames and reads each delivered frame back.
std::vector<RgbImage> Capture(const std::shared_ptr<SimCamera>& cam, int frames) {
  DeviceRun run(cam, cam->Output());
  EXPECT_EQ(run.connected, S_OK);
  EXPECT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(frames);
  const AM_MEDIA_TYPE mt = cam->CurrentFormat();
  const BITMAPINFOHEADER* bih = mt.BitmapHeader();
  std::vector<RgbImage> out;
  for (auto& s : run.sink->Samples()) {
    RgbImage img;
    EXPECT_TRUE(ReadPicture(s.bytes.data(), static_cast<uint32_t>(s.bytes.size()), mt.subtype, bih->biWidth,
                            std::abs(bih->biHeight), &img));
    out.push_back(std::move(img));
  }
  return out;
}

// The grid cells (8 x 6) in which two pictures differ.
std::set<int> ChangedCells(const RgbImage& a, const RgbImage& b, const MotionScript& grid) {
  std::set<int> cells;
  for (int c = 0; c < grid.Cols() * grid.Rows(); ++c) {
    int x, y, w, h;
    grid.CellRect(c, a.width, a.height, &x, &y, &w, &h);
    for (int yy = y; yy < y + h; ++yy)
      for (int xx = x; xx < x + w; ++xx)
        if (a.At(xx, yy) != b.At(xx, yy)) cells.insert(c);
  }
  return cells;
}

int BarCentre(int bar, int width) { return bar * width / 8 + width / 16; }

}  // namespace

TEST(SimCamera, OffersEveryFormatAndSizeThroughStreamConfig) {
  auto cam = MakeCamera();
  auto config = mg::QueryInterface<IAMStreamConfig>(cam->Output());
  ASSERT_TRUE(config);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  std::set<GUID> subtypes;
  int minArea = INT32_MAX, maxArea = 0;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE mt;
    VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<uint8_t*>(&caps)), S_OK);
    subtypes.insert(mt.subtype);
    EXPECT_EQ(caps.MinFrameInterval, 333'333);
    EXPECT_EQ(caps.MaxFrameInterval, 2'000'000);
    EXPECT_EQ(caps.MaxOutputSize.cx, mt.BitmapHeader()->biWidth);
    minArea = std::min(minArea, caps.MaxOutputSize.cx * caps.MaxOutputSize.cy);
    maxArea = std::max(maxArea, caps.MaxOutputSize.cx * caps.MaxOutputSize.cy);
  }
  EXPECT_EQ(subtypes, (std::set<GUID>{MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_I420,
                                      MEDIASUBTYPE_MJPG}));
  EXPECT_EQ(minArea, 160 * 120);
  EXPECT_EQ(maxArea, 1280 * 720);
  AM_MEDIA_TYPE dummy;
  EXPECT_EQ(config->GetStreamCaps(count, &dummy, reinterpret_cast<uint8_t*>(&dummy)), S_FALSE);

  // Setting a format: a listed size at 5 to 30 frames a second only.
  struct Case {
    GUID subtype;
    int w, h;
    REFERENCE_TIME interval;
    bool ok;
  };
  const Case cases[] = {
      {MEDIASUBTYPE_RGB24, 640, 480, 2'000'000, true}, {MEDIASUBTYPE_I420, 1280, 720, 333'333, true},
      {MEDIASUBTYPE_MJPG, 160, 120, 400'000, true},    {MEDIASUBTYPE_RGB24, 100, 100, 400'000, false},
      {MEDIASUBTYPE_YUY2, 320, 240, 200'000, false},   {MEDIASUBTYPE_YUY2, 320, 240, 2'500'000, false},
      {MEDIASUBTYPE_RGB565, 320, 240, 400'000, false},
  };
  for (const Case& c : cases) {
    const AM_MEDIA_TYPE mt = mg::MakeCaptureVideoType(c.subtype, c.w, c.h, c.interval);
    EXPECT_EQ(SUCCEEDED(config->SetFormat(&mt)), c.ok) << c.w << "x" << c.h << " " << c.interval;
    if (!c.ok) continue;
    AM_MEDIA_TYPE now;
    ASSERT_EQ(config->GetFormat(&now), S_OK);
    EXPECT_EQ(now.subtype, c.subtype);
    EXPECT_EQ(now.FormatAs<VIDEOINFOHEADER>()->AvgTimePerFrame, c.interval);
    EXPECT_EQ(cam->FramePeriod(), c.interval);
  }
}

TEST(SimCamera, DeliversFramesOfTheConnectedFormatStampedByFrame) {
  for (const GUID& subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_I420}) {
    CameraOptions o = Rgb32(176, 144);
    o.subtype = subtype;
    o.interval = 400'000;
    auto cam = MakeCamera(o);
    DeviceRun run(cam, cam->Output());
    ASSERT_EQ(run.connected, S_OK);
    ASSERT_EQ(run.graph->Run(), S_OK);
    run.scheduler->Pump(3);
    const auto samples = run.sink->Samples();
    ASSERT_EQ(samples.size(), 3u);
    for (size_t k = 0; k < samples.size(); ++k) {
      EXPECT_EQ(samples[k].bytes.size(), FrameSize(subtype, 176, 144));
      EXPECT_EQ(samples[k].start, static_cast<REFERENCE_TIME>(k) * 400'000);
      EXPECT_EQ(samples[k].mediaStart, static_cast<int64_t>(k));
    }
    // The white bar survives every conversion.
    RgbImage img;
    ASSERT_TRUE(ReadPicture(samples[0].bytes.data(), static_cast<uint32_t>(samples[0].bytes.size()), subtype, 176,
                            144, &img));
    const uint32_t p = img.At(BarCentre(0, 176), 100);
    EXPECT_GE((p >> 16) & 255, 250u) << subtype.ToString();
    EXPECT_GE(p & 255, 250u);
  }
}

TEST(SimCamera, PatternIsColourBarsWithTheFrameNumber) {
  auto cam = MakeCamera(Rgb32());
  const auto frames = Capture(cam, 8);
  ASSERT_EQ(frames.size(), 8u);
  for (int bar = 0; bar < 8; ++bar) EXPECT_EQ(frames[0].At(BarCentre(bar, 320), 120), kBarColours[bar]) << bar;
  // Only the caption in the top-left cell tells one frame from the next.
  MotionScript grid;
  EXPECT_EQ(ChangedCells(frames[6], frames[7], grid), (std::set<int>{0}));
  // Without the number, frames are identical.
  cam = MakeCamera(Rgb32());
  cam->SetShowFrameNumber(false);
  const auto plain = Capture(cam, 2);
  EXPECT_EQ(plain[0].pixels, plain[1].pixels);
}

TEST(SimCamera, ProcAmpChangesThePixelsAsDocumented) {
  const RgbImage base = MakeCamera(Rgb32())->RenderPicture(0);
  struct Case {
    LONG property, value;
    uint32_t (*expect)(uint32_t);
  };
  const Case cases[] = {
      {VideoProcAmp_Brightness, 40,
       [](uint32_t p) { return Rgb(std::min(255u, ((p >> 16) & 255) + 40), std::min(255u, ((p >> 8) & 255) + 40),
                                   std::min(255u, (p & 255) + 40)); }},
      {VideoProcAmp_Contrast, 25,  // half the swing around 128
       [](uint32_t p) {
         auto f = [](int v) { return static_cast<int>(std::lround((v - 128) * 0.5 + 128)); };
         return Rgb(f((p >> 16) & 255), f((p >> 8) & 255), f(p & 255));
       }},
      {VideoProcAmp_ColorEnable, 0,
       [](uint32_t p) {
         const int y = static_cast<int>(std::lround(0.299 * ((p >> 16) & 255) + 0.587 * ((p >> 8) & 255) + 0.114 * (p & 255)));
         return Rgb(y, y, y);
       }},
  };
  for (const Case& c : cases) {
    auto cam = MakeCamera(Rgb32());
    ASSERT_EQ(cam->Set(c.property, c.value, VideoProcAmp_Flags_Manual), S_OK);
    const RgbImage img = cam->RenderPicture(0);
    for (int bar = 0; bar < 8; ++bar) {
      const int x = BarCentre(bar, 320);
      const uint32_t want = c.expect(base.At(x, 120));
      const uint32_t got = img.At(x, 120);
      for (int s : {0, 8, 16}) EXPECT_NEAR(static_cast<int>((got >> s) & 255), static_cast<int>((want >> s) & 255), 1)
                                   << "property " << c.property << " bar " << bar;
    }
  }
}

TEST(SimCamera, ControlsReportTheirRangesAndRefuseWhatIsOutside) {
  auto cam = MakeCamera();
  auto camera = mg::QueryInterface<IAMCameraControl>(std::static_pointer_cast<BaseFilter>(cam));
  auto procAmp = mg::QueryInterface<IAMVideoProcAmp>(std::static_pointer_cast<BaseFilter>(cam));
  ASSERT_TRUE(camera && procAmp);
  LONG lo, hi, step, def, caps, v, flags;
  for (LONG p = 0; p < 10; ++p) {
    ASSERT_EQ(procAmp->GetRange(p, &lo, &hi, &step, &def, &caps), S_OK);
    ASSERT_EQ(procAmp->Get(p, &v, &flags), S_OK);
    EXPECT_EQ(v, def);
    EXPECT_EQ(procAmp->Set(p, hi + 1, VideoProcAmp_Flags_Manual), E_INVALIDARG);
    EXPECT_EQ(procAmp->Set(p, hi, VideoProcAmp_Flags_Manual), S_OK);
  }
  for (LONG p = 0; p < 7; ++p) {
    ASSERT_EQ(camera->GetRange(p, &lo, &hi, &step, &def, &caps), S_OK);
    EXPECT_EQ(camera->Set(p, lo - 1, CameraControl_Flags_Manual), E_INVALIDARG);
  }
  EXPECT_EQ(procAmp->GetRange(10, &lo, &hi, &step, &def, &caps), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(camera->Get(7, &v, &flags), E_PROP_ID_UNSUPPORTED);
  // Automatic control only where the range says so; it settles on the default.
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Auto), E_INVALIDARG);
  ASSERT_EQ(procAmp->Set(VideoProcAmp_Gain, 0, VideoProcAmp_Flags_Auto), S_OK);
  ASSERT_EQ(procAmp->Get(VideoProcAmp_Gain, &v, &flags), S_OK);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
  EXPECT_EQ(v, ProcAmpRange(VideoProcAmp_Gain)->def);
}

TEST(SimCamera, CameraAndVideoControlMoveThePattern) {
  const RgbImage base = MakeCamera(Rgb32())->RenderPicture(0);
  auto panned = MakeCamera(Rgb32());
  ASSERT_EQ(panned->SetCamera(CameraControl_Pan, 45, CameraControl_Flags_Manual), S_OK);  // an eighth of the width
  auto flipped = MakeCamera(Rgb32());
  ASSERT_EQ(flipped->SetMode(flipped->Output().get(), VideoControlFlag_FlipHorizontal), S_OK);
  auto exposed = MakeCamera(Rgb32());
  ASSERT_EQ(exposed->SetCamera(CameraControl_Exposure, -7, CameraControl_Flags_Manual), S_OK);  // half the light
  const RgbImage p = panned->RenderPicture(0), f = flipped->RenderPicture(0), e = exposed->RenderPicture(0);
  for (int bar = 0; bar < 8; ++bar) {
    const int x = BarCentre(bar, 320);
    EXPECT_EQ(p.At(x, 120), base.At(BarCentre((bar + 7) % 8, 320), 120)) << bar;
    EXPECT_EQ(f.At(x, 120), base.At(319 - x, 120)) << bar;
    const uint32_t b = base.At(x, 120);
    for (int s : {0, 8, 16})
      EXPECT_NEAR(static_cast<int>((e.At(x, 120) >> s) & 255), static_cast<int>((b >> s) & 255) / 2, 1) << bar;
  }
  LONG caps = 0, mode = 0;
  ASSERT_EQ(flipped->GetCaps(flipped->Output().get(), &caps), S_OK);
  EXPECT_EQ(caps, VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical);
  ASSERT_EQ(flipped->GetMode(flipped->Output().get(), &mode), S_OK);
  EXPECT_EQ(mode, VideoControlFlag_FlipHorizontal);
  EXPECT_EQ(flipped->SetMode(flipped->Output().get(), VideoControlFlag_Trigger), E_INVALIDARG);
  EXPECT_EQ(flipped->SetMode(nullptr, 0), E_INVALIDARG);
}

TEST(SimCamera, ScriptedBoxChangesExactlyTheExpectedCells) {
  auto cam = MakeCamera(Rgb32());  // 320 x 240: cells of 40 x 40
  cam->SetShowFrameNumber(false);
  MotionScript script;
  script.Still(2).MoveBox(40, 80, 120, 80, 3).Still(2).Flash(47, 1).MoveBox(120, 80, 140, 100, 2).HideBox();
  cam->SetMotionScript(script);
  const auto frames = Capture(cam, 11);
  ASSERT_EQ(frames.size(), 11u);
  const std::vector<std::set<int>> expected = {
      {},              // 0 -> 1: still, nothing shown
      {17},            // 1 -> 2: the box appears in cell (1, 2)
      {17, 18},        // 2 -> 3: one cell to the right
      {18, 19},        // 3 -> 4
      {},              // 4 -> 5: still
      {},              // 5 -> 6
      {47},            // 6 -> 7: the bottom-right cell flashes
      {47},            // 7 -> 8: and is back; the box has not moved yet (first frame of the move)
      {19, 20, 27, 28},// 8 -> 9: half a cell right and down straddles four cells
      {19, 20, 27, 28},// 9 -> 10: hidden
  };
  for (size_t k = 0; k + 1 < frames.size(); ++k)
    EXPECT_EQ(ChangedCells(frames[k], frames[k + 1], script), expected[k]) << "frames " << k << " -> " << k + 1;
}

TEST(SimCamera, ScriptedDropsAreCountedAndSkipped) {
  auto cam = MakeCamera(Rgb32(160, 120));
  cam->DropFrames({2, 5});
  DeviceRun run(cam, cam->Output());
  ASSERT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(8);
  std::vector<int64_t> indexes;
  for (auto& s : run.sink->Samples()) indexes.push_back(s.mediaStart);
  EXPECT_EQ(indexes, (std::vector<int64_t>{0, 1, 3, 4, 6, 7}));
  auto dropped = mg::QueryInterface<IAMDroppedFrames>(std::static_pointer_cast<BaseFilter>(cam));
  LONG n = 0, ok = 0, list[4] = {}, copied = 0, avg = 0;
  ASSERT_EQ(dropped->GetNumDropped(&n), S_OK);
  ASSERT_EQ(dropped->GetNumNotDropped(&ok), S_OK);
  ASSERT_EQ(dropped->GetDroppedInfo(4, list, &copied), S_OK);
  ASSERT_EQ(dropped->GetAverageFrameSize(&avg), S_OK);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(ok, 6);
  EXPECT_EQ(copied, 2);
  EXPECT_EQ(list[1], 5);
  EXPECT_EQ(avg, 160 * 120 * 4);
}

TEST(SimCamera, PreviewOnlyVariantHasNoCapturePin) {
  CameraOptions o;
  o.previewOnly = true;
  auto cam = MakeCamera(o);
  auto builder = CaptureGraphBuilder::Create();
  std::shared_ptr<Pin> pin;
  EXPECT_EQ(builder->FindPin(cam, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, 0, 0, &pin), E_FAIL);
  ASSERT_EQ(builder->FindPin(cam, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, 0, 0, &pin), S_OK);
  EXPECT_EQ(pin->Name(), "Preview");
  EXPECT_TRUE(mg::QueryInterface<IAMStreamConfig>(pin));
}

TEST(SimCamera, MjpgFramesDecodeToThePattern) {
  CameraOptions o;
  o.subtype = MEDIASUBTYPE_MJPG;
  auto cam = MakeCamera(o);
  DeviceRun run(cam, cam->Output());
  ASSERT_EQ(run.connected, S_OK);
  ASSERT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(2);
  const auto samples = run.sink->Samples();
  ASSERT_EQ(samples.size(), 2u);
  const auto& jpeg = samples[1].bytes;
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_LT(jpeg.size(), 320u * 240u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  // ffmpeg decodes it; the bars come back close to their colours.
  const std::string path = ::testing::TempDir() + "/sim_camera_frame_" + std::to_string(::getpid()) + ".jpg";
  WriteFile(path, jpeg);
  const std::string raw = RunCommand("ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
  ASSERT_EQ(raw.size(), 320u * 240u * 3u);
  for (int bar = 0; bar < 8; ++bar) {
    const size_t at = (static_cast<size_t>(120) * 320 + static_cast<size_t>(BarCentre(bar, 320))) * 3;
    const uint32_t want = kBarColours[bar];
    EXPECT_NEAR(static_cast<uint8_t>(raw[at]), (want >> 16) & 255, 12) << bar;
    EXPECT_NEAR(static_cast<uint8_t>(raw[at + 1]), (want >> 8) & 255, 12) << bar;
    EXPECT_NEAR(static_cast<uint8_t>(raw[at + 2]), want & 255, 12) << bar;
  }
}

TEST(SimCamera, SetFormatOnAConnectedPinReconnects) {
  auto cam = MakeCamera();
  DeviceRun run(cam, cam->Output());
  ASSERT_EQ(run.connected, S_OK);
  auto config = mg::QueryInterface<IAMStreamConfig>(cam->Output());
  const AM_MEDIA_TYPE rgb = mg::MakeCaptureVideoType(MEDIASUBTYPE_RGB24, 160, 120, 1'000'000);
  ASSERT_EQ(config->SetFormat(&rgb), S_OK);
  EXPECT_EQ(run.sink->Input()->CurrentType().subtype, MEDIASUBTYPE_RGB24);
  ASSERT_EQ(run.graph->Run(), S_OK);
  EXPECT_EQ(config->SetFormat(&rgb), VFW_E_NOT_STOPPED);
  run.scheduler->Pump(2);
  const auto samples = run.sink->Samples();
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[0].bytes.size(), 160u * 120u * 3u);
  EXPECT_EQ(samples[1].start, 1'000'000);
}
