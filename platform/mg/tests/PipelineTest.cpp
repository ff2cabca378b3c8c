// A synthetic source into a Smart Tee, a sample grabber and null renderers,
// pumped frame by frame on the manual scheduler.
#include <gtest/gtest.h>

#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

namespace {

struct Recorder : ISampleGrabberCB {
  std::vector<double> times;
  std::vector<uint8_t> firstBytes;
  std::function<void()> during;
  HRESULT SampleCB(double t, MediaSample* s) override {
    times.push_back(t);
    firstBytes.push_back(s->GetPointer()[0]);
    if (during) during();
    return S_OK;
  }
  HRESULT BufferCB(double t, uint8_t* buf, LONG len) override {
    times.push_back(t);
    firstBytes.push_back(len > 0 ? buf[0] : 0);
    if (during) during();
    return S_OK;
  }
};

struct TeePipeline : ManualGraph {
  std::shared_ptr<CallbackSource> src = MakeSource(MEDIASUBTYPE_RGB24, 8, 4);
  std::shared_ptr<SmartTee> tee = std::make_shared<SmartTee>();
  std::shared_ptr<SampleGrabber> grab = std::make_shared<SampleGrabber>();
  std::shared_ptr<NullRenderer> captured = std::make_shared<NullRenderer>();
  std::shared_ptr<NullRenderer> previewed = std::make_shared<NullRenderer>();
  std::shared_ptr<Recorder> rec = std::make_shared<Recorder>();

  explicit TeePipeline(LONG method = 0) {
    graph->AddFilter(src, "src");
    graph->AddFilter(tee, "Smart Tee");
    graph->AddFilter(grab, "SampleGrabber");
    graph->AddFilter(captured, "capture sink");
    graph->AddFilter(previewed, "preview sink");
    AM_MEDIA_TYPE want;
    want.majortype = MEDIATYPE_Video;
    want.subtype = MEDIASUBTYPE_RGB24;
    grab->SetMediaType(&want);
    grab->SetBufferSamples(1);
    grab->SetCallback(rec, method);
    EXPECT_EQ(graph->ConnectDirect(src->Output(), tee->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(tee->CaptureOutput(), grab->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(grab->Output(), captured->Input(), nullptr), S_OK);
    EXPECT_EQ(graph->ConnectDirect(tee->PreviewOutput(), previewed->Input(), nullptr), S_OK);
  }
};

}  // namespace

TEST(Pipeline, EveryFrameReachesCaptureAndPreviewWithItsTimes) {
  for (LONG method : {0, 1}) {
    TeePipeline p(method);
    p.graph->Run();
    EXPECT_EQ(p.scheduler->Pump(10), 10);
    EXPECT_EQ(p.captured->Samples(), 10);
    EXPECT_EQ(p.previewed->Samples(), 10);
    EXPECT_EQ(p.captured->LastStart(), 9 * kPeriod);
    EXPECT_EQ(p.previewed->LastStart(), -1);  // the preview branch gets untimed samples
    ASSERT_EQ(p.rec->times.size(), 10u);
    for (size_t k = 0; k < 10; ++k) {
      EXPECT_DOUBLE_EQ(p.rec->times[k], 0.04 * static_cast<double>(k)) << k;
      EXPECT_EQ(p.rec->firstBytes[k], k);
    }
    LONG size = 0;
    ASSERT_EQ(p.grab->GetCurrentBuffer(&size, nullptr), S_OK);
    EXPECT_EQ(size, 24 * 4);
    std::vector<uint8_t> buf(static_cast<size_t>(size));
    LONG small = size - 1;
    EXPECT_EQ(p.grab->GetCurrentBuffer(&small, buf.data()), E_OUTOFMEMORY);
    ASSERT_EQ(p.grab->GetCurrentBuffer(&size, buf.data()), S_OK);
    EXPECT_EQ(buf.front(), 9);
    EXPECT_EQ(buf.back(), 9);
    LONG dropped = -1, kept = -1;
    p.src->GetNumDropped(&dropped);
    p.src->GetNumNotDropped(&kept);
    EXPECT_EQ(dropped, 0);
    EXPECT_EQ(kept, 10);
  }
}

TEST(Pipeline, PreviewDropsFramesTheCaptureBranchMadeLate) {
  TeePipeline p;
  int k = 0;
  // Every third frame the capture branch takes two frame periods.
  p.rec->during = [&] {
    if (k++ % 3 == 0) p.scheduler->Clock()->Advance(2 * kPeriod);
  };
  p.graph->Run();
  p.scheduler->Pump(9);
  EXPECT_EQ(p.captured->Samples(), 9);
  EXPECT_EQ(p.tee->PreviewDropped(), 3);
  EXPECT_EQ(p.previewed->Samples(), 6);
}

TEST(Pipeline, GrabberBeforeTheFirstSampleAndOneShot) {
  TeePipeline p;
  LONG size = 0;
  EXPECT_EQ(p.grab->GetCurrentBuffer(&size, nullptr), VFW_E_WRONG_STATE);
  p.grab->SetOneShot(1);
  p.graph->Run();
  DrainEvents(*p.graph);
  p.scheduler->Pump(4);
  EXPECT_EQ(p.rec->times.size(), 1u);
  EXPECT_EQ(p.captured->Samples(), 1);
  EXPECT_EQ(p.previewed->Samples(), 4);
  // The capture renderer ended its stream; the preview one has not.
  auto events = DrainEvents(*p.graph);
  EXPECT_TRUE(events.empty());
}

TEST(Pipeline, StreamControlPassesOnlyTheScheduledFramesAndReportsBoth) {
  struct Case {
    const char* name;
    int64_t startFrame;  // -1: now
    int64_t stopFrame;   // -1: never
    BOOL extra;
    int64_t first, last;  // frames delivered
  } cases[] = {
      {"window", 3, 6, 0, 3, 5},
      {"window with the extra frame", 3, 6, 1, 3, 6},
      {"start now, stop later", -1, 4, 0, 0, 3},
      {"start later, never stop", 5, -1, 0, 5, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ManualGraph m;
    std::vector<int64_t> seen;
    auto src = MakeSource();
    auto grab = std::make_shared<SampleGrabber>();
    auto rec = std::make_shared<Recorder>();
    grab->SetCallback(rec, 0);
    m.graph->AddFilter(src, "src");
    m.graph->AddFilter(grab, "grab");
    ASSERT_EQ(m.graph->ConnectDirect(src->Output(), grab->Input(), nullptr), S_OK);
    auto control = src->Output()->QueryInterface<IAMStreamControl>();
    ASSERT_TRUE(control);
    const REFERENCE_TIME start = c.startFrame * kPeriod, stop = c.stopFrame < 0 ? MAX_TIME : c.stopFrame * kPeriod;
    control->StopAt(&stop, c.extra, 22);
    control->StartAt(c.startFrame < 0 ? nullptr : &start, 11);
    m.graph->Run();
    DrainEvents(*m.graph);
    m.scheduler->Pump(10);
    ASSERT_EQ(rec->firstBytes.size(), static_cast<size_t>(c.last - c.first + 1));
    EXPECT_EQ(rec->firstBytes.front(), c.first);
    EXPECT_EQ(rec->firstBytes.back(), c.last);
    auto events = DrainEvents(*m.graph);
    std::vector<long> codes;
    for (auto& e : events) {
      if (e.code != EC_STREAM_CONTROL_STARTED && e.code != EC_STREAM_CONTROL_STOPPED) continue;
      codes.push_back(e.code);
      EXPECT_EQ(e.p1, reinterpret_cast<intptr_t>(src->Output().get()));
      EXPECT_EQ(e.p2, e.code == EC_STREAM_CONTROL_STARTED ? 11 : 22);
    }
    std::vector<long> want{EC_STREAM_CONTROL_STARTED};
    if (c.stopFrame >= 0) want.push_back(EC_STREAM_CONTROL_STOPPED);
    EXPECT_EQ(codes, want);
  }
}

TEST(Pipeline, SwitchingAStreamOffAndOnAgain) {
  ManualGraph m;
  auto src = MakeSource();
  auto sink = std::make_shared<NullRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(sink, "sink");
  m.graph->ConnectDirect(src->Output(), sink->Input(), nullptr);
  auto control = src->Output()->QueryInterface<IAMStreamControl>();
  m.graph->Run();
  m.scheduler->Pump(2);
  // Off: never start again, stop now.
  control->StartAt(&MAX_TIME, 0);
  control->StopAt(nullptr, 0, 0);
  m.scheduler->Pump(3);
  EXPECT_EQ(sink->Samples(), 2);
  AM_STREAM_INFO info;
  control->GetInfo(&info);
  EXPECT_TRUE(info.dwFlags & AM_STREAM_INFO_DISCARDING);
  // On: never stop, start now.
  control->StopAt(&MAX_TIME, 1, 0);
  control->StartAt(nullptr, 0);
  m.scheduler->Pump(3);
  EXPECT_EQ(sink->Samples(), 5);
  int stopped = 0;
  for (auto& e : DrainEvents(*m.graph)) stopped += e.code == EC_STREAM_CONTROL_STOPPED;
  EXPECT_EQ(stopped, 1);
}

TEST(Pipeline, AdvanceToMakesEverySampleDueInTimeOrder) {
  ManualGraph m;
  std::vector<std::pair<char, REFERENCE_TIME>> order;
  auto video = MakeSource();
  auto audio = std::make_shared<CallbackSource>(MakePcmAudioType(8000, 1, 16), 1'000'000, IndexFill(1600));
  struct Probe : NullRenderer {
    char tag;
    std::vector<std::pair<char, REFERENCE_TIME>>& out;
    Probe(char t, std::vector<std::pair<char, REFERENCE_TIME>>& o) : tag(t), out(o) {}
    HRESULT OnReceive(Pin& pin, MediaSample& s) override {
      out.emplace_back(tag, s.StartTime());
      return NullRenderer::OnReceive(pin, s);
    }
  };
  auto v = std::make_shared<Probe>('v', order), a = std::make_shared<Probe>('a', order);
  m.graph->AddFilter(video, "video");
  m.graph->AddFilter(audio, "audio");
  m.graph->AddFilter(v, "v");
  m.graph->AddFilter(a, "a");
  ASSERT_EQ(m.graph->ConnectDirect(video->Output(), v->Input(), nullptr), S_OK);
  ASSERT_EQ(m.graph->ConnectDirect(audio->Output(), a->Input(), nullptr), S_OK);
  m.graph->Run();
  EXPECT_EQ(m.scheduler->AdvanceTo(2'000'000), 7);
  const std::vector<std::pair<char, REFERENCE_TIME>> want{{'v', 0},         {'a', 0},         {'v', 400'000},
                                                          {'v', 800'000},   {'a', 1'000'000}, {'v', 1'200'000},
                                                          {'v', 1'600'000}};
  EXPECT_EQ(order, want);
  EXPECT_EQ(m.scheduler->StreamTime(), 2'000'000);
  m.graph->Stop();
  EXPECT_EQ(m.scheduler->AdvanceTo(4'000'000), 0);
}
