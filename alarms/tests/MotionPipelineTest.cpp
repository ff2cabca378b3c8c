// The motion events frame by frame on the virtual clock: the level, the
// quiet frames, the delay count, picture pacing, recording on motion and
// the free-space watch.
#include "alarms/tests/AlarmTestSupport.h"

namespace {

using alarmtest::AlarmTest;

class MotionPipeline : public AlarmTest {
protected:
  void SetUp() override {
    AlarmTest::SetUp();
    // Only the pipeline is looked at here: no action writes anything.
    g_.bSavePicture = false;
  }
};

TEST_F(MotionPipeline, LevelsDecideBetweenQuietMotionAndTheLine) {
  struct Case {
    double ratio;
    bool detector;
    double motionRatio;
    bool stopArmed, firstMotion, alarmArmed;
  };
  g_.AlarmLine = 300;
  g_.AlarmDelay = 0;
  for (const Case& c : {Case{0.0009, true, 90, true, true, false},        // 0.9 counts as quiet
                        Case{0.00091, true, 91, false, true, false},      // 0.91 is motion below the line
                        Case{0.3, true, 30000, false, false, true},       // at the line
                        Case{0.123456, true, 12345, false, true, false},  // 123.45, below
                        Case{0.5, false, 50000, false, true, false}}) {   // detection off: the level only
    SCOPED_TRACE(c.ratio);
    g_.isMotionDetector = c.detector;
    g_.FirstMotion = true;
    stopRecord_->SetEnabled(false);
    alarmDelay_->SetEnabled(false);
    bool capture = false;
    Alarm().VidCapMotionDetected(nullptr, c.ratio, data_, capture);
    EXPECT_EQ(g_.MotionRatio, c.motionRatio);
    EXPECT_EQ(stopRecord_->Enabled(), c.stopArmed);
    EXPECT_EQ(g_.FirstMotion, c.firstMotion);
    EXPECT_EQ(alarmDelay_->Enabled(), c.alarmArmed);
  }
  // Off, the frame without motion changes nothing either.
  g_.MotionRatio = 7;
  Frame(0);
  EXPECT_EQ(g_.MotionRatio, 7);
  EXPECT_FALSE(stopRecord_->Enabled());
}

TEST_F(MotionPipeline, TheAlarmComesOnceMotionHeldTheLineForTheDelay) {
  struct Case {
    double delay;
    int line;
    int framesBeforeAlarm;  // frames 100 ms apart at level 500
  };
  for (const Case& c : {Case{1.0, 300, 10}, Case{0, 300, 0}, Case{0.25, 0, 3}, Case{1.0, 500, 10}}) {
    SCOPED_TRACE(c.delay);
    g_.AlarmDelay = c.delay;
    g_.AlarmLine = c.line;
    Frame(0);
    int frames = 0;
    alarmDelay_->SetEnabled(false);
    alarmDelay_->OnTimer = nullptr;  // the actions are not under test here
    while (!alarmDelay_->Enabled() && frames < 50) {
      Frame(500);
      if (!alarmDelay_->Enabled()) {
        clock_.Advance(100);
        ++frames;
      }
    }
    EXPECT_EQ(frames, c.framesBeforeAlarm);
    // The frame is kept for the alarm's pictures.
    EXPECT_EQ(image_->Picture()->Width(), 32);
  }
}

TEST_F(MotionPipeline, QuietFramesNeitherResetNorAdvanceTheCountButFramesBelowTheLineDo) {
  g_.AlarmDelay = 1.0;
  g_.AlarmLine = 300;
  Alarm();
  alarmDelay_->OnTimer = nullptr;
  Frame(500, 500);
  // Levels 0.5 and 500 alternating: the 0.5 frames hold the count.
  for (int i = 0; i < 3; ++i) {
    Frame(0.5, 100);
    Frame(500, 100);
  }
  EXPECT_EQ(Alarm().MotionLastTick - Alarm().MotionStartTick, 1000u);
  EXPECT_TRUE(alarmDelay_->Enabled());
  alarmDelay_->SetEnabled(false);
  // A frame above 0.9 but below the line resets it.
  Frame(100);
  EXPECT_TRUE(g_.FirstMotion);
  EXPECT_EQ(Alarm().MotionStartTick, 0u);
  Frame(500, 900);
  Frame(500);
  EXPECT_FALSE(alarmDelay_->Enabled());
  // So does a frame without motion.
  Frame(0);
  EXPECT_TRUE(g_.FirstMotion);
  EXPECT_EQ(Alarm().MotionLastTick, 0u);
}

TEST(MotionPipelineWrap, TheDelayCountSpansTheWrapOfTheTickCounter) {
  // The 32-bit tick count wraps 400 ms into the count.
  rtl::ScopedVirtualClock clock((uint64_t{1} << 32) - 400);
  app::TGlobalVars g;
  forms::TTimer t1(nullptr), t2(nullptr), t3(nullptr), t4(nullptr), t5(nullptr), t6(nullptr), t7(nullptr);
  for (forms::TTimer* t : {&t1, &t2, &t3, &t4, &t5, &t6, &t7}) t->SetEnabled(false);
  alarmtest::HostRecorder host(g, &t5);
  g.isMotionDetector = true;
  g.AlarmDelay = 1.0;
  alarms::TMotionAlarm alarm(g, host, {&t1, &t2, &t3, &t4, &t5, &t6, &t7}, nullptr);
  t1.OnTimer = nullptr;
  capture::TFrameData frame;
  bool capture = false;
  for (int i = 0; i < 10; ++i) {
    alarm.VidCapMotionDetected(nullptr, 0.5, frame, capture);
    EXPECT_FALSE(t1.Enabled()) << i;
    clock.Advance(100);
  }
  alarm.VidCapMotionDetected(nullptr, 0.5, frame, capture);
  EXPECT_LT(alarm.MotionLastTick, alarm.MotionStartTick);
  EXPECT_TRUE(t1.Enabled());
}

TEST_F(MotionPipeline, ThePictureIntervalMakesAPictureDueOnlyAfterItElapsedAtTheLine) {
  g_.AlarmLine = 300;
  g_.AlternationSavePicureTime = 2.0;
  Alarm();
  alarmDelay_->OnTimer = nullptr;
  Frame(500, 1999);
  EXPECT_FALSE(g_.SavePictureDue);
  Frame(500, 10);  // the same frame again does not restart the interval
  EXPECT_TRUE(g_.SavePictureDue);
  EXPECT_FALSE(savePicture_->Enabled()) << "one-shot";
  Frame(500);
  EXPECT_TRUE(savePicture_->Enabled()) << "re-armed by the next frame at the line";
  // Below the line the interval and the due picture are dropped.
  Frame(100, 5000);
  EXPECT_FALSE(g_.SavePictureDue);
  // With each picture saved nothing is due or timed.
  g_.SaveEachPicture = true;
  g_.SavePictureDue = true;
  Frame(500);
  EXPECT_FALSE(g_.SavePictureDue);
  EXPECT_FALSE(savePicture_->Enabled());
}

TEST_F(MotionPipeline, MotionStartsARecordingAndAQuietPeriodStopsIt) {
  struct Case {
    bool beginOnMotion;
    double firstLevel;  // the first frame
    bool startsAtFirst;
    double threshold;
  };
  g_.bRecordVideo = true;
  g_.AlarmLine = 300;
  g_.NoMotionDetectionDelayStopTime = 5;
  Alarm();
  alarmDelay_->OnTimer = nullptr;
  for (const Case& c : {Case{true, 1, true, 0.001}, Case{false, 1, false, 0.3}, Case{false, 300, true, 0.3}}) {
    SCOPED_TRACE(c.firstLevel);
    g_.MotioningBeginRecord = c.beginOnMotion;
    host_->calls.clear();
    Frame(c.firstLevel, 10);
    EXPECT_EQ(host_->threshold, c.threshold);
    EXPECT_EQ(host_->calls, c.startsAtFirst ? std::vector<std::string>{"start"} : std::vector<std::string>{});
    if (!c.startsAtFirst) {
      Frame(300, 10);
      EXPECT_EQ(host_->calls, std::vector<std::string>{"start"});
    }
    EXPECT_TRUE(host_->recording);
    EXPECT_TRUE(host_->onMotion);
    EXPECT_TRUE(g_.AlarmRecording);
    EXPECT_TRUE(Alarm().OwnsRecording());
    // Quiet: the stop comes 5 s after the first quiet frame; more quiet
    // frames do not restart the countdown.
    Frame(0, 2000);
    Frame(0.5, 2999);
    EXPECT_TRUE(host_->recording);
    // The stop goes through the start-record timer, 10 ms later.
    clock_.Advance(11);
    EXPECT_EQ(host_->calls, (std::vector<std::string>{"start", "stop"}));
    EXPECT_FALSE(host_->recording);
    EXPECT_FALSE(g_.AlarmRecording);
    EXPECT_FALSE(stopRecord_->Enabled());
  }
  const int writes = host_->thresholdWrites;
  Frame(300);
  Frame(400);
  EXPECT_EQ(host_->thresholdWrites, writes) << "an unchanged threshold is not written again";
}

TEST_F(MotionPipeline, WithoutQuietStopTheRecordingRunsAndSwitchingRecordVideoOffStopsIt) {
  g_.bRecordVideo = true;
  g_.NoMotionStopRecording = false;
  Frame(500, 10);
  Frame(0, 60'000);
  EXPECT_TRUE(host_->recording);
  EXPECT_TRUE(stopRecord_->Enabled()) << "it fires again after every interval";
  g_.bRecordVideo = false;
  Frame(500, 10);
  EXPECT_EQ(host_->calls, (std::vector<std::string>{"start", "stop"}));
  EXPECT_FALSE(host_->onMotion);
  EXPECT_FALSE(g_.AlarmRecording);
}

TEST_F(MotionPipeline, ARecordingStartedByHandIsNotCutByTheAlarm) {
  g_.bRecordVideo = true;
  Alarm().UserToggledRecording();
  host_->ToggleRecording();  // the user's Start
  ASSERT_TRUE(host_->recording);
  Frame(500, 10);
  Frame(500, 10);
  Frame(0, 10'000);
  EXPECT_EQ(host_->calls, std::vector<std::string>{"start"});
  EXPECT_TRUE(host_->recording);
  // Once the user stops, motion starts the alarm's own.
  Alarm().UserToggledRecording();
  host_->ToggleRecording();
  Frame(500, 10);
  EXPECT_EQ(host_->calls, (std::vector<std::string>{"start", "stop", "start"}));
  EXPECT_TRUE(Alarm().OwnsRecording());
}

TEST_F(MotionPipeline, ARefusedStartIsNotTriedOnEveryFrame) {
  g_.bRecordVideo = true;
  g_.MinFreeSpace = 500;
  host_->freeMB = 10;
  for (int i = 0; i < 100; ++i) Frame(500, 40);  // four seconds at 25 frames a second
  EXPECT_EQ(host_->calls, std::vector<std::string>{"start"});
  EXPECT_EQ(host_->hints, std::vector<std::string>{"Do not have enough space!"});
  EXPECT_FALSE(g_.AlarmRecording);
  // After the pause a new try; with room it records.
  host_->freeMB = 1000;
  clock_.Advance(alarms::TMotionAlarm::kRefusedStartPauseMs);
  Frame(500, 10);
  EXPECT_EQ(host_->calls, (std::vector<std::string>{"start", "start"}));
  EXPECT_TRUE(host_->recording);
}

TEST_F(MotionPipeline, AZeroQuietPeriodStillStopsTheRecording) {
  g_.bRecordVideo = true;
  g_.NoMotionDetectionDelayStopTime = 0;
  Frame(500, 10);
  Frame(0);
  EXPECT_EQ(stopRecord_->Interval(), 1000u);
  clock_.Advance(1010);
  EXPECT_EQ(host_->calls, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(MotionPipeline, TheFreeSpaceWatchStopsTheRecordingBelowTheMinimum) {
  struct Case {
    int64_t freeBytes;  // -1: the drive cannot be read
    bool stopSwitch;
    bool stops;
  };
  g_.MinFreeSpace = 500;
  for (const Case& c : {Case{600ll << 20, true, false}, Case{(500ll << 20) - 1, true, true}, Case{-1, true, true},
                        Case{100ll << 20, false, false}}) {
    SCOPED_TRACE(c.freeBytes);
    rtl::SetDiskSpaceQuery([&](const rtl::String&, int64_t& free, int64_t& total) {
      free = c.freeBytes;
      total = 1ll << 40;
      return c.freeBytes >= 0;
    });
    g_.NoEnoughSpcaeStopRecord = c.stopSwitch;
    g_.bRecordVideo = true;
    host_->hints.clear();
    if (!host_->recording) host_->ToggleRecording();
    ASSERT_TRUE(freeSpace_->Enabled());
    Alarm();
    clock_.Advance(1000);
    EXPECT_EQ(host_->recording, !c.stops);
    EXPECT_EQ(g_.bRecordVideo, !c.stops);
    EXPECT_EQ(freeSpace_->Enabled(), !c.stops);
    EXPECT_EQ(host_->hints, c.stops ? std::vector<std::string>{"Do not have enough space!"}
                                    : std::vector<std::string>{});
  }
  rtl::SetDiskSpaceQuery(nullptr);
}

}  // namespace
