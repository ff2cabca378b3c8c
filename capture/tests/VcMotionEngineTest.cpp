// Motion detection on the simulated camera: still frames, a scripted box
// whose move changes a known set of pixels, the detection rate limit, and
// the properties that reach the detector.
#include <gtest/gtest.h>

#include <sstream>

#include "capture/VcEngine.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/mg/sim/SimCamera.h"
#include "platform/mg/sim/SimDevices.h"

namespace {

using namespace capture;

class VcMotionEngine : public captest::ManualGraphFixture {
protected:
  // A 320 x 240 RGB24 camera without its frame number, so that still
  // frames are equal, previewed with the alarms' settings: one cell per
  // pixel, one digit for all.
  TVidCap* Control() {
    mg::sim::CameraOptions camera;
    camera.subtype = mg::MEDIASUBTYPE_RGB24;
    PlugIn(camera);
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_PreviewStream);
    vc->SetAudioRecording(false);
    vc->SetAudioDeviceRendering(false);
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    vc->SetMotionDetector_Enabled(true);
    EXPECT_TRUE(vc->MotionDetector_SetGridSize(320, 240));
    vc->MotionDetector_SetGlobalSensitivity(5);
    vc->OnMotionDetected = [this](TObject*, double ratio, const TFrameData& d, bool& capture) {
      EXPECT_FALSE(capture);
      EXPECT_NE(d.Bitmap, nullptr);
      events.push_back({d.FrameNumber, d.FrameTime, true, ratio});
    };
    vc->OnMotionNotDetected = [this](TObject*, const TFrameData& d, bool&) {
      events.push_back({d.FrameNumber, d.FrameTime, false, 0});
    };
    return vc;
  }
  static std::shared_ptr<mg::sim::SimCamera> Camera(TVcEngine& e) {
    auto cam = mg::sim::SimFilterAs<mg::sim::SimCamera>(e.VideoDeviceFilter);
    if (cam) cam->SetShowFrameNumber(false);
    return cam;
  }
  static void Step(TVcEngine& e, int n) {
    for (int i = 0; i < n; ++i) {
      if (auto s = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler())) s->Pump(1);
      e.PeriodicWork();
    }
  }
  struct Event {
    int32_t frame;
    int64_t time;
    bool moved;
    double ratio;
  };
  std::vector<Event> events;
};

TEST_F(VcMotionEngine, StillFramesAndAMovingBoxGiveTheExactRatio) {
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  auto cam = Camera(e);
  ASSERT_NE(cam, nullptr);
  // The grabber hands the detector 32-bit frames of the camera's pixels.
  ASSERT_EQ(e.Grab.GrabberType.subtype, mg::MEDIASUBTYPE_RGB32);
  // Camera frames 0-4 still; then the one-cell box (40 x 40) appears at
  // x 40, moves to 80 and to 120 (y 80), and stays.
  mg::sim::MotionScript script;
  script.Still(5).MoveBox(40, 80, 120, 80, 3).Still(4);
  cam->SetMotionScript(script);
  Step(e, 11);
  // Every pixel of every row is sampled. The cells' right edges round
  // so that the first cell column and row hold two pixels each (the top
  // left cell four) and the last ones none; the compared sum weighs the
  // k-th pixel of a cell k times: 10 + 238 x 3 + 318 x 3 + 318 x 238.
  const double compared = 77362;
  struct Want {
    bool moved;
    double ratio;
  };
  const Want want[] = {
      {false, 0},                // frame 4: still
      {false, 0},                // 5
      {true, 1600 / compared},   // 6: the box appears
      {true, 3200 / compared},   // 7: moved off its old place onto a new one
      {true, 3200 / compared},   // 8
      {false, 0},                // 9: still again
      {false, 0}, {false, 0},
  };
  ASSERT_EQ(events.size(), std::size(want));
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i].frame, static_cast<int32_t>(i) + 4);
    EXPECT_EQ(events[i].moved, want[i].moved);
    EXPECT_DOUBLE_EQ(events[i].ratio, want[i].ratio);
  }

  // Every other pixel of every other row: each sampled pixel has a cell of
  // its own and the ratio is the plain share, 800 of 160 x 120.
  vc->Stop();
  events.clear();
  vc->SetMotionDetector_ReduceCPULoad(2);
  ASSERT_TRUE(vc->StartPreview());
  cam = Camera(e);
  cam->SetMotionScript(script);
  Step(e, 9);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_DOUBLE_EQ(events[2].ratio, 400.0 / 19200);
  EXPECT_DOUBLE_EQ(events[3].ratio, 800.0 / 19200);
  EXPECT_DOUBLE_EQ(events[4].ratio, 800.0 / 19200);
  EXPECT_FALSE(events[5].moved);
  vc->Stop();
  delete vc;
}

TEST_F(VcMotionEngine, RateLimitSkipsFramesAndSwitchingOffStopsEvents) {
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  vc->SetMotionDetector_MaxDetectionsPerSecond(5);
  ASSERT_TRUE(vc->StartPreview());
  Camera(e);
  Step(e, 40);
  ASSERT_GE(events.size(), 3u);
  for (size_t i = 1; i < events.size(); ++i) EXPECT_GE(events[i].time - events[i - 1].time, 2'000'000);
  // Off at once, without a new graph.
  const size_t seen = events.size();
  vc->SetMotionDetector_Enabled(false);
  EXPECT_FALSE(e.MotionActive);
  Step(e, 20);
  EXPECT_EQ(events.size(), seen);
  // And on again: the frames are copied for the detector from the next on.
  vc->SetMotionDetector_Enabled(true);
  Step(e, 20);
  EXPECT_GT(events.size(), seen);
  vc->Stop();
  delete vc;
}

TEST_F(VcMotionEngine, RecordingOnMotionPausesWhenQuietAndResumesWithoutAGap) {
  TVidCap* vc = Control();
  TVcEngine& e = *vc->Engine();
  vc->SetCompressionMode(cm_NoCompression);
  vc->SetRecordingInNativeFormat(false);
  vc->SetStoragePath(storage);
  vc->SetAutoFileName(fn_Sequential);
  vc->SetAutoFilePrefix("rm");
  vc->SetRecordingOnMotion_Enabled(true);
  vc->SetRecordingOnMotion_NoMotionPauseDelayMs(2000);
  ASSERT_TRUE(vc->StartRecording());
  ASSERT_NE(e.Grab.VideoLockShift, nullptr);
  // Camera frames 0-4 still, the box moving on 5-14, still until 44, the
  // box again on 45-49, then still.
  mg::sim::MotionScript script;
  script.Still(5).MoveBox(0, 80, 180, 80, 10).Still(30).MoveBox(180, 80, 0, 120, 5).Still(10);
  Camera(e)->SetMotionScript(script);
  // 100 ms of the tick count per frame. Whether the recording is paused
  // after each frame's periodic work:
  std::vector<bool> paused;
  for (int i = 0; i < 56; ++i) {
    Step(e, 1);
    paused.push_back(e.Sel.PausedByNoMotion);
    clock.Advance(100);
  }
  std::vector<bool> want(56, false);
  // Quiet from the start: paused at the first compared frame past the
  // third (index 3) until the box moves (index 5).
  want[3] = want[4] = true;
  // The box stops after index 14; more than 2000 ms later (index 35) the
  // recording pauses; the box's move back starts where it stood (index
  // 45), so its first step (index 46) resumes it.
  for (int i = 35; i < 46; ++i) want[i] = true;
  auto text = [](const std::vector<bool>& v) {
    std::string t;
    for (bool b : v) t += b ? 'P' : '.';
    return t;
  };
  EXPECT_EQ(text(paused), text(want));
  vc->StopRecording();
  for (int i = 0; i < 5; ++i) {
    forms::Application->ProcessMessages();
    clock.Advance(20);
  }
  // A frame goes to the file unless it arrived while paused: 0-3, 6-35
  // and 47-55.
  const std::string file = storage + "/rm000001.avi";
  const std::string out =
      captest::Shell("ffprobe -v error -select_streams v:0 -show_frames -show_entries frame=pts -of csv=p=0 '" +
                     file + "'");
  std::istringstream lines(out);
  std::vector<int> pts;
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) pts.push_back(std::stoi(line));
  ASSERT_EQ(pts.size(), 4u + 30u + 9u) << out << captest::Shell("ls -la " + storage);
  for (size_t i = 0; i < pts.size(); ++i) EXPECT_EQ(pts[i], static_cast<int>(i)) << "no gap at frame " << i;
  delete vc;
}

TEST_F(VcMotionEngine, PropertiesReachTheDetector) {
  TVidCap* vc = MakeControl();
  TImplMotionDetector& d = *vc->Engine()->MotionDetector;
  d.SkipNextResult = false;
  vc->SetMotionDetector_GreyScale(true);
  EXPECT_TRUE(d.GreyScale);
  EXPECT_TRUE(d.SkipNextResult);
  d.SkipNextResult = false;
  vc->SetMotionDetector_GreyScale(true);
  EXPECT_FALSE(d.SkipNextResult) << "an unchanged value";
  vc->SetMotionDetector_ReduceVideoNoise(true);
  EXPECT_TRUE(d.SkipNextResult);
  d.FrameSizeChanged = false;
  vc->SetMotionDetector_ReduceCPULoad(1);
  EXPECT_TRUE(d.FrameSizeChanged) << "an unchanged value still recomputes the step";
  vc->SetMotionDetector_ReduceCPULoad(0);
  EXPECT_EQ(d.ReduceCPULoad, 1);
  vc->SetMotionDetector_MaxDetectionsPerSecond(3);
  EXPECT_EQ(d.MinCompareInterval, 3'333'333);
  vc->SetMotionDetector_MaxDetectionsPerSecond(-1);
  EXPECT_EQ(d.MinCompareInterval, 3'333'333);
  vc->SetMotionDetector_MaxDetectionsPerSecond(0);
  EXPECT_EQ(d.MinCompareInterval, 0);
  vc->SetMotionDetector_CompareGreen(false);
  EXPECT_FALSE(d.CompareGreen);
  vc->SetMotionDetector_Grid("12 34 ");
  EXPECT_FALSE(d.GridValid) << "a 10 x 10 grid";
  ASSERT_TRUE(vc->MotionDetector_SetGridSize(2, 2));
  vc->SetMotionDetector_Grid("12 34 ");
  EXPECT_EQ(vc->MotionDetector_Grid(), "12 34 ");
  EXPECT_EQ(d.Digit(1, 1), 4);
  EXPECT_FALSE(vc->MotionDetector_SetGridSize(0, 2));
  EXPECT_TRUE(vc->MotionDetector_SetGridSize(2, 2));
  EXPECT_EQ(d.Digit(1, 1), 4) << "the same size keeps the digits";
  delete vc;
}

}  // namespace
