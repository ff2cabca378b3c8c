// The periodic work of an active graph: frame counts and frame progress,
// the re-encoding percentage, and the DV transport poll.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "VcWorkerTestUtil.h"

using namespace capture;
using vcworkertest::ClockedFixture;

namespace {

// Frame counters that answer from a script.
class ScriptedCounters : public mg::IAMDroppedFrames {
public:
  mg::LONG dropped = 0, delivered = 0;
  mg::HRESULT GetNumDropped(mg::LONG* p) override {
    *p = dropped;
    return mg::S_OK;
  }
  mg::HRESULT GetNumNotDropped(mg::LONG* p) override {
    *p = delivered;
    return mg::S_OK;
  }
  mg::HRESULT GetDroppedInfo(mg::LONG, mg::LONG*, mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetAverageFrameSize(mg::LONG*) override { return mg::E_NOTIMPL; }
};

class ScriptedSeeking : public mg::IMediaSeeking {
public:
  int64_t position = 0;
  mg::HRESULT GetCurrentPosition(int64_t* p) override {
    *p = position;
    return mg::S_OK;
  }
  mg::HRESULT GetCapabilities(mg::DWORD*) override { return mg::E_NOTIMPL; }
  mg::HRESULT CheckCapabilities(mg::DWORD*) override { return mg::E_NOTIMPL; }
  mg::HRESULT IsFormatSupported(const mg::GUID*) override { return mg::E_NOTIMPL; }
  mg::HRESULT QueryPreferredFormat(mg::GUID*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetTimeFormat(mg::GUID*) override { return mg::E_NOTIMPL; }
  mg::HRESULT IsUsingTimeFormat(const mg::GUID*) override { return mg::E_NOTIMPL; }
  mg::HRESULT SetTimeFormat(const mg::GUID*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetDuration(int64_t*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetStopPosition(int64_t*) override { return mg::E_NOTIMPL; }
  mg::HRESULT ConvertTimeFormat(int64_t*, const mg::GUID*, int64_t, const mg::GUID*) override {
    return mg::E_NOTIMPL;
  }
  mg::HRESULT SetPositions(int64_t*, mg::DWORD, int64_t*, mg::DWORD) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetPositions(int64_t*, int64_t*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetAvailable(int64_t*, int64_t*) override { return mg::E_NOTIMPL; }
  mg::HRESULT SetRate(double) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetRate(double*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetPreroll(int64_t*) override { return mg::E_NOTIMPL; }
};

class ScriptedTransport : public mg::IAMExtTransport {
public:
  mg::LONG mode = 0;
  bool fail = false;
  int reads = 0;
  mg::HRESULT get_Mode(mg::LONG* p) override {
    ++reads;
    *p = mode;
    return fail ? mg::E_FAIL : mg::S_OK;
  }
  mg::HRESULT GetCapability(mg::LONG, mg::LONG*, double*) override { return mg::E_NOTIMPL; }
  mg::HRESULT put_MediaState(mg::LONG) override { return mg::E_NOTIMPL; }
  mg::HRESULT get_MediaState(mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT put_LocalControl(mg::LONG) override { return mg::E_NOTIMPL; }
  mg::HRESULT get_LocalControl(mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetStatus(mg::LONG, mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetTransportBasicParameters(mg::LONG, mg::LONG*, std::string*) override { return mg::E_NOTIMPL; }
  mg::HRESULT SetTransportBasicParameters(mg::LONG, mg::LONG, const std::string&) override { return mg::E_NOTIMPL; }
  mg::HRESULT put_Mode(mg::LONG) override { return mg::E_NOTIMPL; }
  mg::HRESULT put_Rate(double) override { return mg::E_NOTIMPL; }
  mg::HRESULT get_Rate(double*) override { return mg::E_NOTIMPL; }
};

class VcPeriodic : public ClockedFixture {
protected:
  void SetUp() override {
    ClockedFixture::SetUp();
    vc = MakeControl();
    e = vc->Engine();
    vc->OnFrameProgress = [this](forms::TObject*, const TFrameInfo& info) {
      progress.push_back({info.FrameNumber, info.DroppedFrames});
    };
  }
  // A running preview, as far as the worker can tell.
  void Previewing() {
    e->MediaControl = std::make_shared<vcworkertest::CountingControl>();
    e->State = es_Preview;
    e->GraphState = gs_Running;
    e->GraphActive = true;
  }
  TVidCap* vc = nullptr;
  TVcEngine* e = nullptr;
  std::vector<std::pair<int32_t, int32_t>> progress;  // frame number, dropped
};

// Drops while fewer than 10 frames were delivered set the baseline; later
// ones count. Without the frame grabber, progress comes once per change of
// the delivered count, from the worker's own cycles.
TEST_F(VcPeriodic, FrameCountsAndProgressWithoutTheGrabber) {
  Previewing();
  auto counters = std::make_shared<ScriptedCounters>();
  e->Periodic.DroppedFrames = counters;
  e->Periodic.FrameGrabberDisabled = true;
  struct Step {
    mg::LONG dropped, delivered;
  };
  const Step steps[] = {{3, 5}, {3, 5}, {4, 9}, {6, 10}, {6, 10}, {6, 10}, {9, 25}};
  for (const Step& s : steps) {
    counters->dropped = s.dropped;
    counters->delivered = s.delivered;
    clock.Advance(15);
  }
  EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{5, 0}, {9, 0}, {10, 2}, {25, 5}}));
}

// With the grabber, a new frame left by the callback is announced once.
TEST_F(VcPeriodic, NewFrameFromTheCallbackIsAnnouncedOnce) {
  Previewing();
  clock.Advance(45);
  EXPECT_TRUE(progress.empty());
  e->Periodic.NewFrame = true;
  e->Grab.NewFramePublished = true;
  clock.Advance(45);
  EXPECT_EQ(progress.size(), 1u);
  EXPECT_FALSE(e->Periodic.NewFrame);

  // An idle engine's graph is not active: no periodic work at all.
  e->GraphActive = false;
  e->Periodic.NewFrame = true;
  clock.Advance(45);
  EXPECT_EQ(progress.size(), 1u);
}

// The re-encoding percentage is computed every 11th pass and posted only
// when its rounded value changes, never above 100; a copy of preallocated
// data reports as such.
TEST_F(VcPeriodic, ReencodingProgressEveryEleventhPass) {
  auto seeking = std::make_shared<ScriptedSeeking>();
  e->Periodic.ProgressSeeking = seeking;
  e->ProgressInfo.Duration = 1000;
  e->State = es_Reencoding;
  e->EventNotificationSynchrone = true;
  std::vector<std::string> seen;
  vc->OnReencodingProgress = [&](forms::TObject*, const TProgressInfo& p) {
    seen.push_back("re " + std::to_string(p.Percent));
  };
  vc->OnCopyPreallocDataProgress = [&](forms::TObject*, const TProgressInfo& p) {
    seen.push_back("copy " + std::to_string(p.Percent));
  };
  // Positions in thousandths of the job, each held for 11 passes.
  for (int64_t position : {0, 4, 5, 15, 25, 1005, 1010, 999}) {
    seeking->position = position;
    for (int pass = 0; pass < 10; ++pass) e->PeriodicWork();
    if (position != 0) {
      EXPECT_NE(e->ProgressInfo.Position, position) << "read only on the 11th pass";
    }
    e->PeriodicWork();
    EXPECT_EQ(e->ProgressInfo.Position, position);
  }
  // 0.4 and 0.5 round to 0, 1.5 and 2.5 to 2, 100.5 to 100; 101 is over.
  EXPECT_EQ(seen, (std::vector<std::string>{"re 0", "re 2", "re 100"}));
  e->Periodic.CopyingPreallocData = true;
  seeking->position = 500;
  for (int pass = 0; pass < 11; ++pass) e->PeriodicWork();
  EXPECT_EQ(seen.back(), "copy 50");

  // A job of no length reports nothing (and divides by nothing).
  e->ProgressInfo.Duration = 0;
  seeking->position = 700;
  for (int pass = 0; pass < 22; ++pass) e->PeriodicWork();
  EXPECT_EQ(seen.size(), 4u);
}

// The tape transport is read on every 10th call, and a change of its mode
// is reported once.
TEST_F(VcPeriodic, DVTransportPolledEveryTenthCall) {
  auto transport = std::make_shared<ScriptedTransport>();
  std::vector<int32_t> states;
  vc->OnDVCommandCompleted = [&](forms::TObject*, int32_t state, const String&) { states.push_back(state); };
  EXPECT_FALSE(e->HasDVTransport());
  e->Periodic.ExtTransport = transport;
  ASSERT_TRUE(e->HasDVTransport());

  transport->mode = 802;
  std::vector<int> reportedAt;
  for (int call = 1; call <= 50; ++call) {
    if (call == 21) transport->mode = 806;
    if (call == 35) transport->fail = true;
    if (e->PollDVTransport()) reportedAt.push_back(call);
  }
  EXPECT_EQ(transport->reads, 5);
  EXPECT_EQ(reportedAt, (std::vector<int>{10, 30}));
  EXPECT_EQ(states, (std::vector<int32_t>{802, 806}));

  // The worker polls while the graph is active.
  Previewing();
  transport->fail = false;
  transport->mode = 801;
  clock.Advance(15 * 10);
  EXPECT_EQ(states.back(), 801);
}

}  // namespace
