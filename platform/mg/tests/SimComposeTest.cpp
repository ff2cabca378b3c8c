// The camera composes frames over a cached still picture; every delivered
// frame must be byte for byte what converting the whole rendered picture
// gives, whatever moves, flips or changes between frames.
#include <gtest/gtest.h>

#include "platform/mg/tests/SimTestSupport.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

struct Step {
  int frames;
  PictureSettings settings;  // applied through the controls before the step
};

void SetAll(SimCamera& cam, const PictureSettings& s) {
  cam.Set(VideoProcAmp_Brightness, s.brightness, VideoProcAmp_Flags_Manual);
  cam.Set(VideoProcAmp_Hue, s.hue, VideoProcAmp_Flags_Manual);
  cam.Set(VideoProcAmp_Gamma, s.gamma, VideoProcAmp_Flags_Manual);
  cam.SetCamera(CameraControl_Pan, s.pan, CameraControl_Flags_Manual);
  cam.SetCamera(CameraControl_Zoom, s.zoom, CameraControl_Flags_Manual);
  cam.SetMode(cam.Output().get(), (s.flipHorizontal ? VideoControlFlag_FlipHorizontal : 0) |
                                      (s.flipVertical ? VideoControlFlag_FlipVertical : 0));
}

TEST(SimCompose, FramesEqualTheWholeRenderedPictureConverted) {
  PictureSettings plain, flipped, toned, moved;
  flipped.flipHorizontal = flipped.flipVertical = true;
  toned.brightness = 20, toned.hue = 40, toned.gamma = 150, toned.flipHorizontal = true;
  moved.pan = 30, moved.zoom = 150, moved.flipVertical = true;
  // The box leaves the picture on both sides, a cell flashes, the frame
  // number grows from one digit to two and the settings change mid-run.
  MotionScript script;
  script.SetBoxSize(37, 23).MoveBox(-20, -10, 170, 130, 9).Flash(13, 2).MoveBox(150, 5, -5, 100, 4).HideBox();
  const std::vector<Step> steps = {{5, plain}, {4, flipped}, {3, toned}, {4, moved}, {2, plain}};
  struct Case {
    GUID subtype;
    int w, h;
    bool number;
  } cases[] = {
      {MEDIASUBTYPE_YUY2, 176, 144, true}, {MEDIASUBTYPE_I420, 176, 144, true},
      {MEDIASUBTYPE_RGB24, 160, 120, true}, {MEDIASUBTYPE_RGB32, 160, 120, false},
      {MEDIASUBTYPE_MJPG, 160, 120, true},
  };
  for (const Case& c : cases) {
    CameraOptions o;
    o.subtype = c.subtype;
    o.width = c.w;
    o.height = c.h;
    auto cam = std::make_shared<SimCamera>(std::make_shared<DevicePresence>(), o);
    cam->SetMotionScript(script);
    cam->SetShowFrameNumber(c.number);
    DeviceRun run(cam, cam->Output());
    ASSERT_EQ(run.connected, S_OK);
    ASSERT_EQ(run.graph->Run(), S_OK);
    int64_t index = 0;
    for (const Step& step : steps) {
      SetAll(*cam, step.settings);
      run.scheduler->Pump(step.frames);
      const auto samples = run.sink->Samples();
      ASSERT_EQ(samples.size(), static_cast<size_t>(index + step.frames));
      for (; index < static_cast<int64_t>(samples.size()); ++index) {
        const RgbImage picture = cam->RenderPicture(index);
        std::vector<uint8_t> want(static_cast<size_t>(c.w) * c.h * 4);
        uint32_t n;
        if (c.subtype == MEDIASUBTYPE_MJPG) {
          MjpegEncoder encoder(c.w, c.h);
          n = encoder.Encode(picture, want.data(), static_cast<uint32_t>(want.size()));
        } else {
          n = ConvertPicture(picture, c.subtype, want.data(), static_cast<uint32_t>(want.size()));
        }
        want.resize(n);
        EXPECT_EQ(samples[static_cast<size_t>(index)].bytes, want) << "frame " << index << " of " << c.w << "x" << c.h;
      }
    }
  }
}

// A rectangle conversion writes exactly the bytes its pixels give.
TEST(SimCompose, ConvertRectTouchesOnlyItsPixels) {
  RgbImage a(10, 6), b(10, 6);
  DrawColourBars(a, {});
  b = a;
  b.FillRect(3, 1, 4, 3, kBoxColour);
  for (const GUID& subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32}) {
    const uint32_t size = ImageBytes(subtype, 10, 6);
    std::vector<uint8_t> whole(size), patched(size);
    ConvertPicture(b, subtype, whole.data(), size);
    ConvertPicture(a, subtype, patched.data(), size);
    const bool evenX = subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_I420;
    const bool evenY = subtype == MEDIASUBTYPE_I420;
    ConvertRect(b, subtype, patched.data(), evenX ? 2 : 3, evenY ? 0 : 1, 7, 4);
    EXPECT_EQ(patched, whole);
  }
}

}  // namespace
