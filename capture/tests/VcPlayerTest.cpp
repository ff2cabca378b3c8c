// The clip player on clips made by ffmpeg: opening, positions and the
// track bar, the run/pause/stop cycle, stepped playback under the virtual
// clock, the end of the clip, and clips that are cut short or empty.
#include <gtest/gtest.h>

#include <fstream>

#include "capture/VcEngine.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/forms/ComCtrls.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace {

using namespace capture;
using captest::LogEntry;

constexpr int64_t kSecond = 10'000'000;

class VcPlayer : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
  }
  // 10 s of 25 frames a second: 250 frames of 400,000 units.
  std::string TenSecondClip() {
    const std::string file = (dir_ / "ten.avi").string();
    if (!std::filesystem::exists(file)) {
      EXPECT_TRUE(mg::fftest::MakeClip(file, "-f lavfi -i testsrc=d=10:r=25:size=160x120 -c:v mpeg4 -g 25"));
    }
    return file;
  }
  // A control holding the clip, opened and left paused.
  TVidCap* Open(const std::string& file) {
    TVidCap* vc = MakeControl();
    // The test does the worker's passes itself, at the times it chooses.
    vc->Engine()->EndWorker();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetAutoStartPlayer(false);
    trackBar = new forms::TTrackBar(form);
    trackBar->SetParent(form);
    vc->SetPlayerTrackBar(trackBar);
    vc->OnPlayerEndOfStream = [this](forms::TObject*) { ++endOfStream; };
    vc->SetPlayerFileName(file);
    vc->OpenPlayer();
    return vc;
  }
  // The position the graph reports.
  static int64_t Position(TVcEngine& e) {
    int64_t p = -1;
    if (e.PlayerSeeking) e.PlayerSeeking->GetCurrentPosition(&p);
    return p;
  }
  // Lets the graph event handling and the queued follow-up run, as the
  // control's window and worker would.
  void DeliverGraphEvents(TVcEngine& e) {
    e.ProcessGraphEvents();
    while (e.RunNextTask()) {
    }
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
  forms::TTrackBar* trackBar = nullptr;
  int endOfStream = 0;
};

TEST_F(VcPlayer, OpeningReadsTheClipsLengthAndPositionsAreClampedToWholeFrames) {
  TVidCap* vc = Open(TenSecondClip());
  TVcEngine& e = *vc->Engine();
  ASSERT_EQ(e.State, es_PlayerOpen);
  EXPECT_EQ(e.GraphState, gs_Paused);
  EXPECT_EQ(e.ClipDuration, 10 * kSecond);
  EXPECT_EQ(e.ClipFrameCount, 250);
  EXPECT_EQ(e.FrameDuration, 400'000);
  EXPECT_TRUE(e.CanStep);
  EXPECT_EQ(e.AudioPresent, 1);
  EXPECT_EQ(trackBar->Min(), 1);
  EXPECT_EQ(trackBar->Max(), 250);
  // The player's own renderer shows the clip.
  ASSERT_NE(e.Attachments[da_Main].Renderer, nullptr);
  EXPECT_EQ(e.VideoWidth, 160);
  EXPECT_NE(e.VideoDecoderName, "none");

  struct Case {
    int64_t asked, used, shown;  // shown: the start of the frame the graph shows
    int bar;
  };
  for (const Case c : {Case{-5, 0, 0, 1}, Case{20 * kSecond, 99'600'000, 99'600'000, 250},
                       Case{5 * kSecond, 5 * kSecond, 5 * kSecond, 126},
                       Case{99'600'000, 99'600'000, 99'600'000, 250}, Case{390'000, 390'000, 400'000, 2}}) {
    SCOPED_TRACE(c.asked);
    EXPECT_EQ(e.SeekPlayer(c.asked), c.used);
    EXPECT_EQ(Position(e), c.shown);
    EXPECT_EQ(trackBar->Position(), c.bar);
  }
  // The public positioning goes through the same clamp, and only when the
  // position changes.
  vc->SetPlayerPosition(12 * kSecond);
  EXPECT_EQ(Position(e), 99'600'000);
  vc->SetPlayerPosition(-1);
  EXPECT_EQ(Position(e), 99'600'000);

  // Moving the bar while paused shows that frame.
  trackBar->SetPosition(51);
  EXPECT_EQ(Position(e), 50 * 400'000);
  // A bar that goes first is forgotten; positioning goes on without it.
  delete trackBar;
  trackBar = nullptr;
  EXPECT_EQ(vc->PlayerTrackBar(), nullptr);
  EXPECT_EQ(e.SeekPlayer(kSecond), kSecond);
  EXPECT_TRUE(vc->Stop());
  // Stopped, nothing of the clip is held.
  EXPECT_EQ(e.PlayerSeeking, nullptr);
  EXPECT_EQ(e.FilterGraph, nullptr);
  EXPECT_EQ(e.State, es_Idle);
}

TEST_F(VcPlayer, RunRewindsAtTheEndAndTheClipsEndIsAnnounced) {
  TVidCap* vc = Open(TenSecondClip());
  TVcEngine& e = *vc->Engine();
  ASSERT_EQ(e.State, es_PlayerOpen);
  // 9.9 s is before the last frame's start less a margin: running goes on
  // from there; 9.96 s rewinds first.
  e.SeekPlayer(99'000'000);
  vc->RunPlayer();
  EXPECT_EQ(e.GraphState, gs_Running);
  EXPECT_EQ(Position(e), 99'000'000);
  vc->PausePlayer();
  EXPECT_EQ(e.GraphState, gs_Paused);
  EXPECT_TRUE(e.PausedByRequest);
  EXPECT_EQ(e.RepositionRequest, 2);
  e.SeekPlayer(20 * kSecond);
  vc->RunPlayer();
  EXPECT_EQ(Position(e), 0);
  ASSERT_EQ(e.GraphState, gs_Running);

  // Played to its end: the end is announced once and the next run starts
  // again from the first frame.
  for (int i = 0; i < 400 && endOfStream == 0; ++i) {
    scheduler->Pump(1);
    DeliverGraphEvents(e);
  }
  EXPECT_EQ(endOfStream, 1);
  EXPECT_TRUE(e.AtEnd);
  EXPECT_EQ(e.RepositionRequest, 3);
  e.PlayerPeriodicWork();  // pauses first
  e.PlayerPeriodicWork();  // then shows the last frame
  EXPECT_EQ(e.RepositionRequest, 0);
  EXPECT_EQ(Position(e), 99'600'000);
  EXPECT_EQ(trackBar->Position(), 250);
  vc->RunPlayer();
  EXPECT_EQ(Position(e), 0);
  EXPECT_FALSE(e.AtEnd);

  // Stop asks for the first frame.
  e.PostTask(TASK_STOP_PLAYER);
  while (e.RunNextTask()) {
  }
  EXPECT_EQ(e.RepositionRequest, 1);
  EXPECT_FALSE(e.PausedByRequest);
}

TEST_F(VcPlayer, SteppedPlaybackAdvancesAFramePerFortyMillisecondsTimesTheSpeed) {
  TVidCap* vc = Open(TenSecondClip());
  TVcEngine& e = *vc->Engine();
  ASSERT_EQ(e.State, es_PlayerOpen);
  vc->SetPlayerFastSeekSpeedRatio(4);

  // Forwards at speed 1, then 2, then fast (4).
  e.SeekPlayer(0);
  ASSERT_TRUE(e.StartStepping(false, false));
  EXPECT_TRUE(e.SteppedPlayback);
  EXPECT_EQ(e.StepTarget, 0);
  struct Step {
    uint32_t ms;
    int64_t frame;  // expected position in frames after the step
  };
  for (const Step s : {Step{40, 1}, Step{40, 2}, Step{80, 4}, Step{20, 4}, Step{20, 5}}) {
    clock.Advance(s.ms);
    e.PlayerStep(false);
    EXPECT_EQ(Position(e), s.frame * 400'000) << s.ms;
  }
  vc->SetPlayerSpeedRatio(2.0);
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_EQ(Position(e), 7 * 400'000);
  vc->FastForwardPlayer();
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_EQ(Position(e), 11 * 400'000);
  EXPECT_EQ(trackBar->Position(), 12);

  // Backwards from the first frame jumps to the last one and goes on down.
  vc->SetPlayerSpeedRatio(1.0);
  vc->PausePlayer();
  EXPECT_FALSE(e.SteppedPlayback);
  e.SeekPlayer(0);
  vc->RunPlayerBackwards();
  ASSERT_TRUE(e.SteppedPlayback);
  EXPECT_EQ(Position(e), 99'600'000);
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_EQ(Position(e), 99'200'000);

  // Reaching the start stops stepping at frame 1.
  e.SeekPlayer(2 * 400'000);
  vc->PausePlayer();
  vc->RunPlayerBackwards();
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_TRUE(e.SteppedPlayback);
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_FALSE(e.SteppedPlayback);
  EXPECT_EQ(Position(e), 0);
  EXPECT_EQ(trackBar->Position(), 1);

  // Forwards past the end stops and announces the end of the clip.
  e.SeekPlayer(99'200'000);
  vc->FastForwardPlayer();
  clock.Advance(40);
  e.PlayerStep(false);
  EXPECT_FALSE(e.SteppedPlayback);
  DeliverGraphEvents(e);
  EXPECT_EQ(endOfStream, 1);

  // Slow stepping lets the graph through one frame per step.
  vc->PausePlayer();
  e.SeekPlayer(10 * 400'000);
  e.StartSlowStepping();
  ASSERT_TRUE(e.SlowStepping);
  auto renderer = std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  ASSERT_NE(renderer, nullptr);
  const int64_t drawn = renderer->FramesDrawn();
  clock.Advance(40);
  e.PlayerStep(false);
  scheduler->Pump(3);
  EXPECT_EQ(renderer->FramesDrawn(), drawn + 1);
  e.SeekPlayer(99'600'000);
  clock.Advance(40);
  e.PlayerStep(false);
  scheduler->Pump(3);
  DeliverGraphEvents(e);
  clock.Advance(40);
  e.PlayerStep(false);
  DeliverGraphEvents(e);
  EXPECT_FALSE(e.SteppedPlayback);
  EXPECT_EQ(endOfStream, 2);

  // The periodic work takes a step every 7th pass.
  e.SeekPlayer(0);
  vc->PausePlayer();
  e.RepositionRequest = 0;
  vc->FastForwardPlayer();
  for (int i = 0; i < 6; ++i) {
    clock.Advance(15);
    e.PlayerPeriodicWork();
  }
  EXPECT_EQ(Position(e), 0);
  clock.Advance(15);
  e.PlayerPeriodicWork();
  EXPECT_GT(Position(e), 0);
}

TEST_F(VcPlayer, RateWithoutAudioGoesToTheClockAndRefusalsAreReported) {
  TVidCap* vc = Open(TenSecondClip());
  TVcEngine& e = *vc->Engine();
  ASSERT_EQ(e.State, es_PlayerOpen);
  // The clip has no sound, so audio rendering is off for it.
  EXPECT_FALSE(e.Latched.PlayerAudioRendering);
  for (const auto& [rate, value] : std::vector<std::pair<double, int32_t>>{{0.5, 1304}, {1.0, 652}, {2.0, 326}}) {
    e.SetPlaybackRate(rate);
    EXPECT_EQ(e.PlayerClockValue, value) << rate;
  }
  // Without a clip, the player's methods refuse.
  vc->Stop();
  log.clear();
  vc->FastForwardPlayer();
  EXPECT_EQ(log, (std::vector<LogEntry>{{w_not_playing, "WARNING", "no clip opened"}}));
  EXPECT_FALSE(e.StartStepping(true, false));
}

TEST_F(VcPlayer, AForcedCodecGoesIntoTheGraphFirstAndOneNotFoundIsReported) {
  const std::string clip = TenSecondClip();
  struct Case {
    const char* codec;
    const char* report;  // empty: none
  };
  for (const Case c : {Case{"Video Decoder", ""}, Case{"{6A1F3C11-4D47-4646-803A-566F72697802}", ""},
                       Case{"No Such Decoder", "player codec not found"},
                       Case{"{00000000-1111-2222-3333-444444444444}", "cannot bind player codec"}}) {
    SCOPED_TRACE(c.codec);
    log.clear();
    TVidCap* vc = MakeControl();
    vc->Engine()->EndWorker();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetAutoStartPlayer(false);
    vc->SetPlayerForcedCodec(c.codec);
    vc->SetPlayerFileName(clip);
    // The clip plays either way.
    EXPECT_TRUE(vc->OpenPlayer());
    TVcEngine& e = *vc->Engine();
    const bool reported = std::any_of(log.begin(), log.end(), [&](const LogEntry& l) { return l.msg == c.report; });
    EXPECT_EQ(reported, *c.report != 0);
    if (!*c.report) {
      int decoders = 0;
      for (const auto& f : e.FilterGraph->Filters()) decoders += f->ClassId() == mg::ff::CLSID_FfVideoDecoder;
      EXPECT_EQ(decoders, 1) << "the forced decoder is the one the clip uses";
    }
    vc->Stop();
    delete vc;
  }
}

TEST_F(VcPlayer, ClipsCutShortOrEmptyAreReportedAndNeverDivideByZero) {
  const std::string good = TenSecondClip();
  std::ifstream in(good, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string cut = (dir_ / "cut.avi").string();
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() * 4 / 10);
  const std::string empty = (dir_ / "empty.avi").string();
  ASSERT_TRUE(mg::fftest::MakeClip(empty, "-f lavfi -i testsrc=d=1:r=25:size=160x120 -frames:v 0 -c:v mpeg4"));
  const std::string junk = (dir_ / "junk.avi").string();
  std::ofstream(junk, std::ios::binary) << std::string(3000, 'Z');

  for (const std::string& file : {cut, empty, junk}) {
    SCOPED_TRACE(file);
    log.clear();
    TVidCap* vc = Open(file);
    TVcEngine& e = *vc->Engine();
    if (e.State == es_PlayerOpen) {
      // Whatever it holds, every position and step stays defined.
      EXPECT_GT(e.FrameDuration, 0);
      e.SeekPlayer(5 * kSecond);
      e.SeekPlayer(-5);
      e.StartStepping(false, false);
      clock.Advance(40);
      e.PlayerStep(false);
      e.PlayerPeriodicWork();
      vc->RunPlayer();
      for (int i = 0; i < 300 && endOfStream == 0; ++i) {
        scheduler->Pump(1);
        DeliverGraphEvents(e);
      }
      // Cut short: the end comes where the data ends. Data that cannot be
      // read on stops the graph with an error: that too ends the clip, told.
      if (file == cut) {
        // Its frames are counted by what is there, at the clip's own rate.
        EXPECT_EQ(e.FrameDuration, 400'000);
        EXPECT_EQ(e.ClipFrameCount * 400'000, e.ClipDuration);
        EXPECT_LT(e.ClipFrameCount, 250);
        EXPECT_EQ(endOfStream, 1);
        vc->RunPlayer();
        ASSERT_EQ(e.GraphState, gs_Running);
        e.FilterGraph->Notify(mg::EC_ERRORABORT, mg::E_FAIL, 0);
        DeliverGraphEvents(e);
        EXPECT_EQ(endOfStream, 2);
        EXPECT_EQ(log.back(), (LogEntry{e_failed_to_render_file, "WARNING", "the clip cannot be read to its end"}));
      }
      if (e.ClipFrameCount <= 0) {
        EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                                [](const LogEntry& l) { return l.msg.rfind("the clip holds no frames", 0) == 0; }));
      }
      vc->Stop();
    } else {
      EXPECT_EQ(e.State, es_Idle);
      EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const LogEntry& l) { return l.msg == "cannot play " + file; }));
    }
    endOfStream = 0;
  }
}

}  // namespace
