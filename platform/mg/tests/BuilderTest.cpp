#include <gtest/gtest.h>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

namespace {
struct BuilderFixture : ManualGraph {
  std::shared_ptr<CaptureGraphBuilder> builder = CaptureGraphBuilder::Create();
  std::shared_ptr<CallbackSource> src = MakeSource(MEDIASUBTYPE_RGB32, 16, 8);
  BuilderFixture() {
    builder->SetFiltergraph(graph);
    graph->AddFilter(src, "Video Capture");
  }
  std::shared_ptr<BaseFilter> Find(const std::string& name) {
    std::shared_ptr<BaseFilter> f;
    graph->FindFilterByName(name, &f);
    return f;
  }
};

// A stand-in for a device's upstream crossbar: one input pin and one output.
struct Passthrough : BaseFilter, IAMCrossbar {
  Passthrough() : BaseFilter(GUID_NULL) {
    AddPin(std::make_shared<Pin>(this, "in", PINDIR_INPUT));
    AddPin(std::make_shared<Pin>(this, "out", PINDIR_OUTPUT));
  }
  HRESULT get_PinCounts(LONG* o, LONG* i) override { *o = *i = 1; return S_OK; }
  HRESULT CanRoute(LONG, LONG) override { return S_OK; }
  HRESULT Route(LONG, LONG) override { return S_OK; }
  HRESULT get_IsRoutedTo(LONG, LONG* i) override { *i = 0; return S_OK; }
  HRESULT get_CrossbarPinInfo(BOOL, LONG, LONG* rel, LONG* type) override {
    *rel = 0;
    *type = PhysConn_Video_Composite;
    return S_OK;
  }
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& p) const override {
    return p.Direction() == PINDIR_OUTPUT ? std::vector<AM_MEDIA_TYPE>{MakeVideoType(MEDIASUBTYPE_RGB32, 16, 8, kPeriod)}
                                          : std::vector<AM_MEDIA_TYPE>{};
  }
};
}  // namespace

TEST(Builder, PreviewWithoutAPreviewPinGoesThroughASmartTee) {
  BuilderFixture b;
  EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, b.src, nullptr, nullptr),
            VFW_S_NOPREVIEWPIN);
  auto tee = std::dynamic_pointer_cast<SmartTee>(b.Find("Smart Tee"));
  ASSERT_TRUE(tee);
  EXPECT_EQ(b.src->Output()->ConnectedTo(), tee->Input());
  EXPECT_TRUE(tee->PreviewOutput()->IsConnected());
  EXPECT_FALSE(tee->CaptureOutput()->IsConnected());

  // The capture stream continues from the tee's capture output.
  auto sink = std::make_shared<NullRenderer>();
  b.graph->AddFilter(sink, "sink");
  EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, b.src, nullptr, sink), S_OK);
  EXPECT_EQ(tee->CaptureOutput()->ConnectedTo(), sink->Input());
  b.graph->Run();
  b.scheduler->Pump(3);
  EXPECT_EQ(sink->Samples(), 3);
  auto vr = std::dynamic_pointer_cast<VideoRenderer>(b.Find("Video Renderer"));
  ASSERT_TRUE(vr);
  EXPECT_EQ(vr->FramesDrawn(), 3);
}

TEST(Builder, PreviewPinIsUsedWhenThereIsOne) {
  BuilderFixture b;
  auto preview = MakeSource(MEDIASUBTYPE_RGB32, 16, 8, IndexFill(), PIN_CATEGORY_PREVIEW);
  b.graph->AddFilter(preview, "Preview Device");
  EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, preview, nullptr, nullptr), S_OK);
  EXPECT_FALSE(b.Find("Smart Tee"));
  EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, b.src, nullptr, nullptr), E_FAIL);
}

TEST(Builder, FileOutputThroughMuxAndWriter) {
  BuilderFixture b;
  std::shared_ptr<BaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  const std::string path = ::testing::TempDir() + "/mg_builder_out.avi";
  ASSERT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, path, &mux, &sink), S_OK);
  EXPECT_EQ(mux->ClassId(), CLSID_AviDest);
  std::string cur;
  sink->GetCurFile(&cur, nullptr);
  EXPECT_EQ(cur, path);
  ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, b.src, nullptr, mux), S_OK);
  EXPECT_TRUE(mux->QueryInterface<IConfigAviMux>());
  EXPECT_TRUE(mux->QueryInterface<IConfigInterleaving>());
  // The mux inputs offer stream control; a free one is always left.
  std::shared_ptr<Pin> in;
  ASSERT_EQ(b.builder->FindPin(mux, PINDIR_INPUT, nullptr, nullptr, 0, 0, &in), S_OK);
  EXPECT_TRUE(in->QueryInterface<IAMStreamControl>());
  EXPECT_EQ(b.builder->FindPin(mux, PINDIR_INPUT, nullptr, nullptr, 1, 0, &in), S_OK);

  std::shared_ptr<BaseFilter> asf;
  ASSERT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Asf, path + ".asf", &asf, &sink), S_OK);
  EXPECT_EQ(asf->ClassId(), CLSID_WMAsfWriter);
  EXPECT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Avi, "", &asf, &sink), E_INVALIDARG);
}

TEST(Builder, FindInterfaceSearchesPinsUpstreamAndDownstream) {
  BuilderFixture b;
  auto xbar = std::make_shared<Passthrough>();
  auto vr = std::make_shared<VideoRenderer>();
  // The crossbar is upstream of a filter with an input: put a grabber there.
  auto grab = std::make_shared<SampleGrabber>();
  b.graph->AddFilter(xbar, "xbar");
  b.graph->AddFilter(grab, "grab");
  b.graph->AddFilter(vr, "vr");
  ASSERT_EQ(b.graph->ConnectDirect(xbar->Pins()[1], grab->Input(), nullptr), S_OK);
  ASSERT_EQ(b.graph->ConnectDirect(grab->Output(), vr->Input(), nullptr), S_OK);

  // A second crossbar upstream of the first.
  auto xbar2 = std::make_shared<Passthrough>();
  b.graph->AddFilter(xbar2, "xbar2");
  ASSERT_EQ(b.graph->ConnectDirect(xbar2->Pins()[1], xbar->Pins()[0], nullptr), S_OK);

  std::shared_ptr<IAMCrossbar> crossbar;
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, grab, &crossbar), S_OK);
  EXPECT_EQ(crossbar, std::dynamic_pointer_cast<IAMCrossbar>(xbar));
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, xbar, &crossbar), S_OK);
  EXPECT_EQ(crossbar, std::dynamic_pointer_cast<IAMCrossbar>(xbar));
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, xbar, &crossbar), S_OK);
  EXPECT_EQ(crossbar, std::dynamic_pointer_cast<IAMCrossbar>(xbar2));
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, xbar2, &crossbar), E_NOINTERFACE);
  EXPECT_EQ(b.builder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, grab, &crossbar), E_NOINTERFACE);
  std::shared_ptr<IVideoWindow> window;
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, grab, &window), S_OK);
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, grab, &window), E_NOINTERFACE);

  std::shared_ptr<IAMStreamControl> control;
  EXPECT_EQ(b.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, b.src, &control), S_OK);
  EXPECT_EQ(control, b.src->Output()->QueryInterface<IAMStreamControl>());
  EXPECT_EQ(b.builder->FindInterface(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, b.src, &control), E_FAIL);
  std::shared_ptr<IAMDroppedFrames> dropped;
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, b.src, &dropped), S_OK);
}

namespace {
// A capture device whose analog input is fed by a crossbar it brings along.
struct AnalogCard : BaseFilter, StreamSource, IUpstreamCompanions {
  std::shared_ptr<Passthrough> xbar = std::make_shared<Passthrough>();
  int added = 0;
  AnalogCard() : BaseFilter(GUID_NULL) {
    AddPin(std::make_shared<Pin>(this, "Analog Video In", PINDIR_INPUT));
    auto out = std::make_shared<ControlledOutputPin>(this, "Capture");
    out->SetCategory(PIN_CATEGORY_CAPTURE);
    AddPin(out);
  }
  HRESULT AddUpstreamFilters(FilterGraph& graph) override {
    ++added;
    graph.AddFilter(xbar, "Analog Crossbar");
    return graph.ConnectDirect(xbar->Pins()[1], Pins()[0], nullptr);
  }
  std::vector<AM_MEDIA_TYPE> GetMediaTypes(const Pin& p) const override {
    return p.Direction() == PINDIR_OUTPUT ? std::vector<AM_MEDIA_TYPE>{MakeVideoType(MEDIASUBTYPE_RGB32, 16, 8, kPeriod)}
                                          : std::vector<AM_MEDIA_TYPE>{};
  }
  HRESULT PushOne(REFERENCE_TIME) override { return S_OK; }
  REFERENCE_TIME FramePeriod() const override { return kPeriod; }
};
}  // namespace

TEST(Builder, DevicesBringTheirUpstreamCrossbars) {
  BuilderFixture b;
  auto card = std::make_shared<AnalogCard>();
  b.graph->AddFilter(card, "Analog Capture");
  std::shared_ptr<IAMCrossbar> crossbar;
  ASSERT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, card, &crossbar), S_OK);
  EXPECT_EQ(crossbar, std::dynamic_pointer_cast<IAMCrossbar>(card->xbar));
  EXPECT_EQ(b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, card, nullptr, nullptr), VFW_S_NOPREVIEWPIN);
  EXPECT_EQ(card->added, 1);
}

TEST(Builder, RenderStreamFromAPinIntoTheMatchingInput) {
  BuilderFixture b;
  std::shared_ptr<BaseFilter> asf;
  std::shared_ptr<IFileSinkFilter> sink;
  ASSERT_EQ(b.builder->SetOutputFileName(&MEDIASUBTYPE_Asf, ::testing::TempDir() + "/mg_stream.asf", &asf, &sink), S_OK);
  ASSERT_EQ(b.builder->RenderStream(nullptr, &MEDIATYPE_Video, b.src->Output(), nullptr, asf), S_OK);
  EXPECT_EQ(b.src->Output()->ConnectedTo()->Name(), "Video Input 01");
}

TEST(Builder, FindPinByCategoryTypeAndConnection) {
  BuilderFixture b;
  std::shared_ptr<Pin> pin;
  EXPECT_EQ(b.builder->FindPin(b.src, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, 1, 0, &pin), S_OK);
  EXPECT_EQ(pin, b.src->Output());
  EXPECT_EQ(b.builder->FindPin(b.src, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, 1, 1, &pin), E_FAIL);
  EXPECT_EQ(b.builder->FindPin(b.src, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, 0, 0, &pin), E_FAIL);
  EXPECT_EQ(b.builder->FindPin(b.src, PINDIR_INPUT, nullptr, nullptr, 0, 0, &pin), E_FAIL);
  EXPECT_EQ(b.builder->FindPin(b.src, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Audio, 0, 0, &pin), E_FAIL);
}

TEST(Builder, ControlStreamSchedulesTheCapturePins) {
  BuilderFixture b;
  auto sink = std::make_shared<NullRenderer>();
  b.graph->AddFilter(sink, "sink");
  ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, b.src, nullptr, sink), S_OK);
  const REFERENCE_TIME start = 2 * kPeriod, stop = 4 * kPeriod;
  EXPECT_EQ(b.builder->ControlStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, nullptr, &start, &stop, 5, 6), S_OK);
  EXPECT_EQ(b.builder->ControlStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, b.src, &start, &stop, 5, 6), E_FAIL);
  b.graph->Run();
  b.scheduler->Pump(8);
  EXPECT_EQ(sink->Samples(), 2);
}
