// Real preview graphs on the simulated devices: the base and device graph,
// the display, the restart's failure paths and the helper layer under them.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/Devices.h"
#include "platform/mg/SystemFilters.h"

namespace {

using namespace capture;
using captest::LogEntry;
using forms::TObject;

// A filter whose input takes nothing: a renderer or decoder that cannot
// be connected.
class RefusingFilter : public mg::BaseFilter {
public:
  RefusingFilter(const mg::CLSID& clsid, bool renderer) : mg::BaseFilter(clsid), renderer_(renderer) {
    AddPin(std::make_shared<mg::Pin>(this, "In", mg::PINDIR_INPUT));
    if (!renderer) AddPin(std::make_shared<mg::Pin>(this, "Out", mg::PINDIR_OUTPUT));
  }
  mg::HRESULT CheckMediaType(const mg::Pin&, const mg::AM_MEDIA_TYPE&) const override {
    return mg::VFW_E_TYPE_NOT_ACCEPTED;
  }
  bool IsRenderer() const override { return renderer_; }

private:
  bool renderer_;
};

// Puts a refusing filter under a class id for the life of the object and
// the real one back afterwards.
class RefuseClass {
public:
  RefuseClass(const mg::CLSID& clsid, bool renderer) : clsid_(clsid) {
    had_ = mg::ClassFactory::Find(clsid, &saved_);
    mg::FilterRegistration reg;
    reg.clsid = clsid;
    reg.name = "refusing";
    reg.merit = mg::MERIT_DO_NOT_USE;
    reg.role = renderer ? mg::FilterRole::Renderer : mg::FilterRole::Other;
    reg.create = [clsid, renderer] { return std::make_shared<RefusingFilter>(clsid, renderer); };
    mg::ClassFactory::Register(reg);
  }
  ~RefuseClass() { Restore(); }
  void Restore() {
    if (done_) return;
    done_ = true;
    if (had_)
      mg::ClassFactory::Register(saved_);
    else
      mg::ClassFactory::Unregister(clsid_);
  }

private:
  mg::CLSID clsid_;
  mg::FilterRegistration saved_;
  bool had_ = false;
  bool done_ = false;
};

class VcGraphBuild : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    // Formats are known for every device: binding finds it discovered.
    SetDiscoveryHooks({[](TVcEngine&) { return true; }, {}, {}, {}});
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
  }
  // A control on the device plugged in last (the lists keep the entries
  // of devices that went), with no frame grabber.
  TVidCap* PreviewControl() {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    if (VideoCaptureDevices() && VideoCaptureDevices()->Count() > 0)
      vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    return vc;
  }
  // A camcorder sends frames only while its tape plays.
  static void PlayTape(TVcEngine& e) {
    if (auto t = mg::QueryInterface<mg::IAMExtTransport>(e.VideoDeviceFilter)) t->put_Mode(mg::ED_MODE_PLAY);
  }
  static std::vector<mg::CLSID> Classes(const TVcEngine& e) {
    std::vector<mg::CLSID> out;
    if (e.FilterGraph)
      for (const auto& f : e.FilterGraph->Filters()) out.push_back(f->ClassId());
    return out;
  }
  static bool Has(const TVcEngine& e, const mg::CLSID& c) {
    const auto v = Classes(e);
    return std::find(v.begin(), v.end(), c) != v.end();
  }
  std::shared_ptr<mg::VideoRenderer> Renderer(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  }
  // Pumps n frames and answers their start times at the renderer.
  std::vector<mg::REFERENCE_TIME> PumpTimes(const TVcEngine& e, int n) {
    std::vector<mg::REFERENCE_TIME> times;
    auto r = Renderer(e);
    auto manual = e.FilterGraph ? std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler()) : nullptr;
    for (int i = 0; i < n && r && manual; ++i) {
      manual->Pump(1);
      mg::REFERENCE_TIME t = -1;
      r->LastFrame(&t);
      times.push_back(t);
    }
    return times;
  }
  // Idle, no graph, no device held.
  void ExpectIdleAndFree(const TVcEngine& e) {
    EXPECT_EQ(e.State, es_Idle);
    EXPECT_FALSE(e.GraphActive);
    EXPECT_EQ(e.FilterGraph, nullptr);
    EXPECT_EQ(e.VideoDeviceFilter, nullptr);
    EXPECT_EQ(e.MainVideoPin, nullptr);
    EXPECT_EQ(e.Attachments[da_Main].Renderer, nullptr);
    EXPECT_EQ(e.InUseRef, nullptr);
    for (int i = 0; VideoCaptureDevices() && i < VideoCaptureDevices()->Count(); ++i)
      EXPECT_FALSE(VideoCaptureDevices()->Info(i)->InUse) << i;
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
};

TEST_F(VcGraphBuild, CameraPreviewDeliversFramesTracesItsTreeAndStopReleasesEverything) {
  PlugCameras(1);
  SetTraceOn();
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  const int traceFrom = TraceCount();
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(e.State, es_Preview);
  EXPECT_EQ(e.GraphState, gs_Running);
  EXPECT_FALSE(e.UsesDVSource());
  ASSERT_NE(Renderer(e), nullptr);
  EXPECT_EQ(Renderer(e)->ClassId(), mg::CLSID_VideoRenderer) << "a capture source takes the standard renderer";
  EXPECT_TRUE(VideoCaptureDevices()->Info(0)->InUse);
  // The size is read from the renderer's connection.
  mg::AM_MEDIA_TYPE mt;
  ASSERT_EQ(Renderer(e)->Input()->ConnectionMediaType(&mt), mg::S_OK);
  ASSERT_NE(mt.FormatAs<mg::VIDEOINFOHEADER>(), nullptr);
  EXPECT_EQ(e.VideoWidth, mt.FormatAs<mg::VIDEOINFOHEADER>()->bmiHeader.biWidth);
  EXPECT_GT(e.VideoWidth, 0);

  const auto times = PumpTimes(e, 4);
  EXPECT_EQ(Renderer(e)->FramesDrawn(), 4);
  ASSERT_EQ(times.size(), 4u);
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << i;

  // The tree: the device, what hangs below it, then everything else.
  const std::string device = e.VideoDeviceFilter->Name();
  std::vector<std::string> tree;
  bool in = false;
  for (const std::string& l : TraceTexts(traceFrom)) {
    if (l.find("video tree") != std::string::npos && l.find("end") == std::string::npos) in = true;
    if (in && !l.empty() && l.find("=====") == std::string::npos) tree.push_back(l);
    if (l == "UNC end") in = false;
  }
  ASSERT_GE(tree.size(), 8u);
  const std::vector<std::string> expected = {"video tree", "." + device, "  .rndr", "video tree end",
                                             "audio tree", "audio tree end", "UNC", "UNC end"};
  EXPECT_EQ(std::vector<std::string>(tree.end() - 8, tree.end()), expected);

  std::weak_ptr<mg::BaseFilter> device0 = e.VideoDeviceFilter;
  std::weak_ptr<mg::BaseFilter> renderer = e.Attachments[da_Main].Renderer;
  std::weak_ptr<mg::FilterGraph> graph = e.FilterGraph;
  EXPECT_TRUE(vc->Stop());
  ExpectIdleAndFree(e);
  EXPECT_TRUE(device0.expired());
  EXPECT_TRUE(renderer.expired());
  EXPECT_TRUE(graph.expired());

  // The device is free: another control takes it.
  TVidCap* other = PreviewControl();
  EXPECT_TRUE(other->StartPreview());
  EXPECT_EQ(other->Engine()->State, es_Preview);
}

TEST_F(VcGraphBuild, DVCamcorderIsRecognisedAndPreviewedThroughTheDVPath) {
  struct Case {
    const char* name;
    bool interleavedOnly;
    bool splitter;
  };
  for (const Case c : {Case{"interleaved only", true, true}, Case{"DV video output", false, false}}) {
    SCOPED_TRACE(c.name);
    UnplugAll();
    mg::sim::DvOptions dv;
    dv.interleavedOnly = c.interleavedOnly;
    PlugIn(dv);
    TVidCap* vc = PreviewControl();
    TVcEngine& e = *vc->Engine();
    ASSERT_TRUE(vc->StartPreview());
    PlayTape(e);
    EXPECT_TRUE(e.UsesDVSource());
    EXPECT_TRUE(e.Sel.IsDV);
    EXPECT_EQ(Has(e, mg::CLSID_DVSplitter), c.splitter);
    EXPECT_TRUE(Has(e, mg::CLSID_DVVideoCodec));
    const auto times = PumpTimes(e, 3);
    EXPECT_EQ(Renderer(e)->FramesDrawn(), 3);
    EXPECT_LT(times[0], times[2]);
    EXPECT_EQ(e.VideoWidth, 720);
    EXPECT_EQ(e.VideoHeight, 576);
    EXPECT_TRUE(vc->Stop());
    ExpectIdleAndFree(e);
    delete vc;
  }
}

// Every failure of a build ends idle with its reports, holds nothing, and
// a second start after the cause is gone succeeds.
TEST_F(VcGraphBuild, FailedBuildsEndIdleAndTheNextStartSucceeds) {
  struct Case {
    const char* name;
    bool dv;
    std::vector<std::pair<mg::CLSID, bool>> refused;  // class, is a renderer
    std::string report;
  };
  const std::vector<Case> cases = {
      {"no renderer connects",
       false,
       {{mg::CLSID_VideoRenderer, true}, {mg::CLSID_VideoMixingRenderer, true}, {mg::CLSID_VideoMixingRenderer9, true}},
       "failed to start preview"},
      {"the DV decoder refuses the stream", true, {{mg::CLSID_DVVideoCodec, false}}, "failed to start preview"},
      {"the DV splitter refuses the stream", true, {{mg::CLSID_DVSplitter, false}}, "failed to start preview"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnplugAll();
    if (c.dv) {
      mg::sim::DvOptions dv;
      dv.interleavedOnly = true;
      PlugIn(dv);
    } else {
      PlugCameras(1);
    }
    log.clear();
    std::vector<std::unique_ptr<RefuseClass>> refusals;
    for (const auto& [clsid, renderer] : c.refused) refusals.push_back(std::make_unique<RefuseClass>(clsid, renderer));
    TVidCap* vc = PreviewControl();
    TVcEngine& e = *vc->Engine();
    EXPECT_FALSE(vc->StartPreview());
    ExpectIdleAndFree(e);
    EXPECT_TRUE(e.PreviewPending);
    EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_preview, "ERROR", c.report}));

    refusals.clear();
    EXPECT_TRUE(vc->StartPreview()) << "a failed start leaves nothing in the way of the next";
    EXPECT_EQ(e.State, es_Preview);
    PlayTape(e);
    PumpTimes(e, 2);
    EXPECT_EQ(Renderer(e)->FramesDrawn(), 2);
    vc->Stop();
    delete vc;
  }
}

TEST_F(VcGraphBuild, NoDeviceAndADeviceInUseAreRefused) {
  TVidCap* vc = PreviewControl();
  EXPECT_FALSE(vc->StartPreview());
  ExpectIdleAndFree(*vc->Engine());
  EXPECT_TRUE(Logged("no video capture device available"));

  PlugCameras(1);
  ASSERT_TRUE(vc->StartPreview());
  TVidCap* second = PreviewControl();
  log.clear();
  EXPECT_FALSE(second->StartPreview());
  EXPECT_EQ(second->Engine()->State, es_Idle);
  EXPECT_EQ(second->Engine()->FilterGraph, nullptr);
  EXPECT_TRUE(Logged(VideoCaptureDevices()->GetName(0) + " is already in use"));
  EXPECT_EQ(log.back(), (LogEntry{e_failed_to_start_preview, "ERROR", "failed to start preview"}));
  EXPECT_EQ(vc->Engine()->State, es_Preview) << "the first control keeps its preview";
  EXPECT_TRUE(VideoCaptureDevices()->Info(0)->InUse);
  PumpTimes(*vc->Engine(), 1);
  EXPECT_EQ(Renderer(*vc->Engine())->FramesDrawn(), 1);
}

// A renderer that will not connect: the graph goes back to the device side
// as saved and the second try takes the standard renderer.
TEST_F(VcGraphBuild, ARendererThatFailsIsTakenOutAndTheStandardOneTried) {
  PlugCameras(1);
  SetTraceOn();
  RefuseClass vmr9(mg::CLSID_VideoMixingRenderer9, true);
  TVidCap* vc = PreviewControl();
  vc->SetVideoRenderer(vr_VMR9);
  TVcEngine& e = *vc->Engine();
  const int from = TraceCount();
  ASSERT_TRUE(vc->StartPreview());
  const auto lines = TraceTexts(from);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "GRAPH RESTORED..."), lines.end());
  EXPECT_EQ(Renderer(e)->ClassId(), mg::CLSID_VideoRenderer);
  EXPECT_EQ(Classes(e).size(), 2u) << "device and renderer only: the refused one is gone";
  PumpTimes(e, 2);
  EXPECT_EQ(Renderer(e)->FramesDrawn(), 2);
}

TEST_F(VcGraphBuild, ANestedRestartReturnsFalseAndLeavesTheBuildAlone) {
  PlugCameras(1);
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  int nested = -1;
  std::shared_ptr<mg::FilterGraph> before, after;
  vc->OnReinitializing = [&](TObject*) {
    before = e.FilterGraph;
    log.clear();
    nested = e.RestartGraph(es_Preview) ? 1 : 0;
    after = e.FilterGraph;
  };
  EXPECT_TRUE(e.RestartGraph(es_Preview));
  EXPECT_EQ(nested, 0);
  EXPECT_EQ(before, after);
  EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const LogEntry& l) { return l.severity == "ERROR"; }));
  EXPECT_EQ(e.State, es_Preview);
  EXPECT_EQ(e.GraphState, gs_Running);
  PumpTimes(e, 1);
  EXPECT_EQ(Renderer(e)->FramesDrawn(), 1);
}

TEST_F(VcGraphBuild, NoRendererEndsThePreviewInANullRenderer) {
  PlugCameras(1);
  TVidCap* vc = PreviewControl();
  vc->SetVideoRenderer(vr_None);
  vc->SetFrameGrabber(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_TRUE(Has(e, mg::CLSID_NullRenderer));
  EXPECT_EQ(e.Attachments[da_Main].Renderer, nullptr);
  scheduler->Pump(3);
  for (const auto& f : e.FilterGraph->Filters()) {
    if (auto n = std::dynamic_pointer_cast<mg::NullRenderer>(f)) {
      EXPECT_EQ(n->Samples(), 3);
    }
  }
}

// Without a renderer and a grabber no preview stream is needed: the graph
// holds the device alone and still runs.
TEST_F(VcGraphBuild, APreviewWithoutStreamRunsTheDeviceAlone) {
  PlugCameras(1);
  TVidCap* vc = PreviewControl();
  vc->SetVideoRenderer(vr_None);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(Classes(e).size(), 1u);
  EXPECT_EQ(e.GraphState, gs_Running);
}

// Where the video comes from: a capture pin, a preview-only pin; the encoder
// card family is told by name in any letter case, and a camera so named
// without the card's pins is still previewed as a camera.
TEST_F(VcGraphBuild, SourcePinsOfOrdinaryDevices) {
  SetTraceOn();
  struct Case {
    const char* name;
    bool previewOnly;
    bool pvr;
    const char* trace;
  };
  for (const Case c : {Case{"Sim Camera", false, false, "normal video cat capture"},
                       Case{"Sim Webcam", true, false, "normal video cat preview"},
                       Case{"hAUPPAUGE WinTV pvr 150", false, true, "normal video cat capture"},
                       Case{"Hauppauge WinTV", false, false, "normal video cat capture"}}) {
    SCOPED_TRACE(c.name);
    UnplugAll();
    mg::sim::CameraOptions camera;
    camera.previewOnly = c.previewOnly;
    PlugIn(camera, c.name);
    TVidCap* vc = PreviewControl();
    TVcEngine& e = *vc->Engine();
    EXPECT_EQ(e.IsHauppaugePVR(), c.pvr);
    const int from = TraceCount();
    ASSERT_TRUE(vc->StartPreview());
    const auto lines = TraceTexts(from);
    EXPECT_NE(std::find(lines.begin(), lines.end(), c.trace), lines.end());
    EXPECT_FALSE(e.UsesMPEGSource());
    PumpTimes(e, 2);
    EXPECT_EQ(Renderer(e)->FramesDrawn(), 2);
    delete vc;
  }
}

// ---- the helper layer ---------------------------------------------------------

class PinsFilter : public mg::BaseFilter {
public:
  explicit PinsFilter(std::vector<std::pair<std::string, mg::PIN_DIRECTION>> pins)
      : mg::BaseFilter(mg::GUID::FromText("{5E1C00FF-7A3D-4C21-9B51-564F52495801}")) {
    for (const auto& [name, dir] : pins) AddPin(std::make_shared<mg::Pin>(this, name, dir));
  }
};

TEST(VcGraphHelpers, SubtypeNames) {
  struct Case {
    std::string text, name;
  };
  for (const Case& c : std::vector<Case>{
           {mg::MEDIASUBTYPE_RGB24.ToString(), "RGB24"},
           {mg::MEDIASUBTYPE_RGB555.ToString(), "RGB555"},
           {mg::MEDIASUBTYPE_YUY2.ToString(), "YUY2"},
           {mg::MEDIASUBTYPE_dvsd.ToString(), "dvsd"},
           {mg::MEDIASUBTYPE_MPEG2_VIDEO.ToString(), "MPEG2"},
           {mg::MEDIASUBTYPE_ARGB32.ToString(), "ARGB32"},
           {"{E436EB7F-524F-11CE-9F53-0020AF0BA770}", "RGB"},
           {"{32595559-00", ""},
           {"x32595559-0000-0010-8000-00AA00389B71}", ""},
       })
    EXPECT_EQ(SubtypeName(c.text), c.name) << c.text;
  mg::GUID g;
  GuidFromText("  " + mg::MEDIASUBTYPE_YUY2.ToString() + " ", g);
  EXPECT_EQ(g, mg::MEDIASUBTYPE_YUY2);
  GuidFromText("32595559-0000-0010-8000-00AA00389B71", g);
  EXPECT_TRUE(g.IsNull()) << "36 characters are not the braced form";
  EXPECT_EQ(FourCCText(mg::MAKEFOURCC('d', 'v', 's', 'd')), "dvsd");
}

TEST(VcGraphHelpers, PinLookups) {
  auto f = std::make_shared<PinsFilter>(std::vector<std::pair<std::string, mg::PIN_DIRECTION>>{
      {"In A", mg::PINDIR_INPUT},
      {"Out capture", mg::PINDIR_OUTPUT},
      {"In B", mg::PINDIR_INPUT},
      {"OUT PREVIEW", mg::PINDIR_OUTPUT}});
  std::shared_ptr<mg::Pin> p;
  EXPECT_EQ(FindPinByName(f, mg::PINDIR_OUTPUT, "preview", p, false, true), mg::S_OK);
  EXPECT_EQ(p->Name(), "OUT PREVIEW");
  EXPECT_FALSE(FindPinByExactName(mg::PINDIR_OUTPUT, f, "preview", p, true));
  EXPECT_TRUE(FindPinByExactName(mg::PINDIR_OUTPUT, f, "PREVIEW", p, true));
  EXPECT_EQ(FindPinByName(f, mg::PINDIR_INPUT, "in", p, false, false), mg::E_FAIL);
  EXPECT_TRUE(FindPinByIndex(f, mg::PINDIR_OUTPUT, 1, p));
  EXPECT_EQ(p->Name(), "OUT PREVIEW") << "the input pin between is skipped";
  EXPECT_FALSE(FindPinByIndex(f, mg::PINDIR_OUTPUT, 2, p));
  EXPECT_EQ(GetPinNames(mg::PINDIR_INPUT, f), "In A\r\nIn B\r\n");
  EXPECT_NE(UniqueFilterName("x"), UniqueFilterName("x"));
  EXPECT_EQ(UniqueFilterName("Smart Tee").rfind("Smart Tee", 0), 0u);
  EXPECT_EQ(IndexOfLine("a\r\nB\r\nc", "b"), 1);
  EXPECT_EQ(IndexOfLine("a\r\nB", "d"), -1);
  rtl::TStringList l;
  for (const char* s : {"a", "b", "c"}) l.Add(s);
  MoveToTop(l, "c");
  EXPECT_EQ(l.Text(), "c\na\nb\n");
}

// The insertion routines on a live engine graph: what goes in where, and
// what a failure leaves behind.
TEST_F(VcGraphBuild, InsertionRoutinesPlaceFiltersAndUndoFailures) {
  PlugCameras(1);
  TVidCap* vc = PreviewControl();
  vc->SetVideoRenderer(vr_None);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  vc->Stop();
  // A device graph of our own on the engine.
  e.LatchSettings(false);
  e.State = es_Preview;
  ASSERT_TRUE(e.CreateDeviceGraph());
  ASSERT_TRUE(e.RetrieveSourcePins());
  std::shared_ptr<mg::Pin> pin = e.MainVideoPin;
  const std::string devicePin = pin->Name();

  // A Smart Tee: output 1 capture, output 2 preview; going on along output 2.
  std::shared_ptr<mg::Pin> capturePin;
  ASSERT_TRUE(e.InsertFilter2(mg::CLSID_SmartTee, "tee", pin, capturePin, pin));
  EXPECT_EQ(capturePin->Name(), "Capture");
  EXPECT_EQ(pin->Name(), "Preview");
  // An infinite tee in line: the pin moves to its output.
  ASSERT_TRUE(e.InsertFilterInline(mg::CLSID_InfTee, "inf", pin, &mg::MEDIATYPE_Video));
  EXPECT_EQ(pin->OwnerFilter()->ClassId(), mg::CLSID_InfTee);

  // A filter that does not connect is taken out again; the pin stays.
  {
    RefuseClass refuse(mg::CLSID_DVVideoCodec, false);
    const size_t before = e.FilterGraph->Filters().size();
    const auto was = pin;
    EXPECT_FALSE(e.InsertFilterInline(mg::CLSID_DVVideoCodec, "dv", pin, nullptr));
    EXPECT_EQ(e.FilterGraph->Filters().size(), before);
    EXPECT_EQ(pin, was);
    EXPECT_FALSE(pin->IsConnected());
  }
  // Saved at the device pin, the graph goes back to the device alone.
  const auto state = e.SaveFilterState(e.MainVideoPin);
  ASSERT_TRUE(e.TerminateWithNullRenderer(capturePin, false));
  std::shared_ptr<mg::Pin> found;
  ASSERT_TRUE(e.RestoreFilterState(*state, found));
  EXPECT_EQ(found->Name(), devicePin);
  EXPECT_EQ(found->OwnerFilter(), e.VideoDeviceFilter.get());
  EXPECT_EQ(e.FilterGraph->Filters().size(), state->Count()) << "the device side as saved";

  // Removing a chain from an unconnected pin takes nothing away.
  const size_t before = e.FilterGraph->Filters().size();
  ASSERT_FALSE(capturePin->IsConnected());
  RemoveDownstream(e.FilterGraph, capturePin, true);
  EXPECT_EQ(e.FilterGraph->Filters().size(), before);

  // A filter with a single output: added, refused, left in the graph.
  std::shared_ptr<mg::BaseFilter> f;
  std::shared_ptr<mg::Pin> i, o1, o2;
  const size_t count = e.FilterGraph->Filters().size();
  EXPECT_FALSE(AddFilterGetInput2Outputs(e, mg::CLSID_DVVideoCodec, "one out", f, i, o1, o2));
  EXPECT_NE(o1, nullptr);
  EXPECT_EQ(o2, nullptr);
  EXPECT_EQ(e.FilterGraph->Filters().size(), count + 1);
  e.ClearGraph(true);
  ExpectIdleAndFree(e);
}

// Real streaming threads: the preview runs, frames arrive and Stop ends it
// cleanly (the thread-sanitizer build looks at this one).
TEST_F(VcGraphBuild, ThreadedPreviewRunsAndStops) {
  SetGraphSchedulerFactory(nullptr);
  PlugCameras(1);
  TVidCap* vc = PreviewControl();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  auto r = Renderer(e);
  ASSERT_NE(r, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  // The graph's clock is the virtual one: time moves only when we move it,
  // and the streaming thread delivers what falls due.
  while (r->FramesDrawn() < 3 && std::chrono::steady_clock::now() < deadline) {
    clock.Advance(10);
    std::this_thread::yield();
  }
  EXPECT_GE(r->FramesDrawn(), 3);
  EXPECT_TRUE(vc->Stop());
  ExpectIdleAndFree(e);
}

}  // namespace
