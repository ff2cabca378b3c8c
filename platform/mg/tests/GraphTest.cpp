#include <gtest/gtest.h>

#include <filesystem>

#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

TEST(Graph, AddFilterMakesNamesUniqueAndFindsThem) {
  auto g = FilterGraph::Create();
  auto a = std::make_shared<NullRenderer>(), b = std::make_shared<NullRenderer>(), c = std::make_shared<NullRenderer>();
  EXPECT_EQ(g->AddFilter(a, "Render"), S_OK);
  EXPECT_EQ(g->AddFilter(b, "Render"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(g->AddFilter(c, "Render"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(b->Name(), "Render 0001");
  EXPECT_EQ(c->Name(), "Render 0002");
  std::shared_ptr<BaseFilter> found;
  EXPECT_EQ(g->FindFilterByName("Render 0001", &found), S_OK);
  EXPECT_EQ(found, b);
  EXPECT_EQ(g->FindFilterByName("nope", &found), VFW_E_NOT_FOUND);
  FILTER_INFO info;
  ASSERT_EQ(a->QueryFilterInfo(&info), S_OK);
  EXPECT_EQ(info.pGraph, g);

  Enumerator<std::shared_ptr<BaseFilter>> e;
  ASSERT_EQ(g->EnumFilters(&e), S_OK);
  std::shared_ptr<BaseFilter> items[4];
  uint32_t fetched = 0;
  EXPECT_EQ(e.Next(4, items, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(g->AddFilter(nullptr, "x"), E_POINTER);
}

TEST(Graph, ConnectDirectChecksTypesDirectionsAndMembership) {
  auto g = FilterGraph::Create();
  auto src = MakeSource(MEDIASUBTYPE_RGB24);
  auto grab = std::make_shared<SampleGrabber>();
  AM_MEDIA_TYPE want;
  want.majortype = MEDIATYPE_Video;
  want.subtype = MEDIASUBTYPE_RGB32;
  grab->SetMediaType(&want);
  g->AddFilter(src, "src");
  EXPECT_EQ(g->ConnectDirect(src->Output(), grab->Input(), nullptr), VFW_E_NOT_IN_GRAPH);
  g->AddFilter(grab, "grab");
  EXPECT_EQ(g->ConnectDirect(src->Output(), grab->Input(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(g->ConnectDirect(grab->Input(), src->Output(), nullptr), VFW_E_INVALID_DIRECTION);
  want.subtype = MEDIASUBTYPE_RGB24;
  grab->SetMediaType(&want);
  ASSERT_EQ(g->ConnectDirect(src->Output(), grab->Input(), nullptr), S_OK);
  EXPECT_EQ(g->ConnectDirect(src->Output(), grab->Input(), nullptr), VFW_E_ALREADY_CONNECTED);
  AM_MEDIA_TYPE mt;
  ASSERT_EQ(grab->GetConnectedMediaType(&mt), S_OK);
  EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(mt.FormatAs<VIDEOINFOHEADER>()->bmiHeader.biWidth, 8);
  EXPECT_EQ(src->Output()->ConnectedTo(), grab->Input());
}

TEST(Graph, RemovedFilterIsDisconnectedAndFailsCleanly) {
  ManualGraph m;
  auto src = MakeSource();
  auto tee = std::make_shared<InfTee>();
  auto r1 = std::make_shared<NullRenderer>(), r2 = std::make_shared<NullRenderer>();
  for (auto [f, n] : {std::pair<std::shared_ptr<BaseFilter>, const char*>{src, "src"}, {tee, "tee"}, {r1, "r1"}, {r2, "r2"}})
    m.graph->AddFilter(f, n);
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), tee->Input(), nullptr), S_OK);
  ASSERT_EQ(m.graph->ConnectDirect(tee->FreeOutput(), r1->Input(), nullptr), S_OK);
  ASSERT_EQ(m.graph->ConnectDirect(tee->FreeOutput(), r2->Input(), nullptr), S_OK);

  m.graph->Run();
  EXPECT_EQ(m.graph->RemoveFilter(r2), VFW_E_NOT_STOPPED);
  m.graph->Stop();
  ASSERT_EQ(m.graph->RemoveFilter(r2), S_OK);
  EXPECT_EQ(m.graph->RemoveFilter(r2), VFW_E_NOT_FOUND);
  EXPECT_FALSE(r2->Input()->IsConnected());
  EXPECT_EQ(r2->Graph(), nullptr);
  int freeOutputs = 0;
  for (auto& p : tee->Pins()) freeOutputs += p->Direction() == PINDIR_OUTPUT && !p->IsConnected();
  EXPECT_EQ(freeOutputs, 2);
  EXPECT_EQ(m.graph->ConnectDirect(tee->FreeOutput(), r2->Input(), nullptr), VFW_E_NOT_IN_GRAPH);
  EXPECT_EQ(m.graph->Render(r2->Input()), VFW_E_NOT_IN_GRAPH);

  m.graph->Run();
  m.scheduler->Pump(3);
  EXPECT_EQ(r1->Samples(), 3);
  EXPECT_EQ(r2->Samples(), 0);
  // A removed filter's pin refuses samples instead of touching the graph.
  MediaSample s(4);
  EXPECT_EQ(r2->Input()->Receive(s), VFW_E_WRONG_STATE);
}

TEST(Graph, RenderInsertsTheColourSpaceConverterForYuv) {
  ManualGraph m;
  auto src = MakeSource(MEDIASUBTYPE_YUY2, 16, 8);
  m.graph->AddFilter(src, "src");
  ASSERT_EQ(m.graph->Render(src->Output()), S_OK);
  std::shared_ptr<BaseFilter> csc, vr;
  ASSERT_EQ(m.graph->FindFilterByName("Color Space Converter", &csc), S_OK);
  ASSERT_EQ(m.graph->FindFilterByName("Video Renderer", &vr), S_OK);
  EXPECT_EQ(csc->ClassId(), CLSID_ColorSpaceConverter);
  AM_MEDIA_TYPE mt;
  auto renderer = std::static_pointer_cast<VideoRenderer>(vr);
  ASSERT_EQ(renderer->Input()->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(mt.subtype, MEDIASUBTYPE_RGB32);

  m.graph->Run();
  m.scheduler->Pump(2);
  EXPECT_EQ(renderer->FramesDrawn(), 2);
  EXPECT_EQ(renderer->LastFrame().size(), 16u * 8u * 4u);
  // The graph answers for the renderer's window.
  auto window = m.graph->QueryInterface<IVideoWindow>();
  ASSERT_TRUE(window);
  window->SetWindowPosition(5, 6, 70, 80);
  LONG l, t, w, h;
  renderer->GetWindowPosition(&l, &t, &w, &h);
  EXPECT_EQ(w, 70);
  EXPECT_FALSE(m.graph->QueryInterface<IBasicAudio>());
}

TEST(Graph, RenderFailsCleanlyWithoutAPath) {
  ManualGraph m;
  // A format no registered decoder takes, whatever other tests registered.
  auto src = MakeSource(FourCCGuid(MAKEFOURCC('Z', 'Q', 'X', '9')), 16, 8);
  m.graph->AddFilter(src, "src");
  EXPECT_EQ(m.graph->Render(src->Output()), VFW_E_CANNOT_RENDER);
  EXPECT_EQ(m.graph->Filters().size(), 1u);  // trial filters are taken out again
}

TEST(Graph, OneCompleteEventOnceEveryRendererHasFinished) {
  ManualGraph m;
  int frames = 2;
  auto src = MakeSource(MEDIASUBTYPE_RGB24, 8, 4, [&](uint8_t*, long size, int64_t k) { return k < frames ? size : -1; });
  auto tee = std::make_shared<InfTee>();
  auto r1 = std::make_shared<NullRenderer>(), r2 = std::make_shared<NullRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(tee, "tee");
  m.graph->AddFilter(r1, "r1");
  m.graph->AddFilter(r2, "r2");
  m.graph->ConnectDirect(src->Output(), tee->Input(), nullptr);
  m.graph->ConnectDirect(tee->FreeOutput(), r1->Input(), nullptr);
  m.graph->ConnectDirect(tee->FreeOutput(), r2->Input(), nullptr);
  m.graph->Run();
  DrainEvents(*m.graph);
  m.scheduler->Pump(5);
  auto events = DrainEvents(*m.graph);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EC_COMPLETE);
  long code = 0;
  intptr_t p1, p2;
  EXPECT_EQ(m.graph->GetEvent(&code, &p1, &p2, 0), E_ABORT);
}

TEST(Graph, DefaultHandlingSwallowsRepaintUntilCancelled) {
  auto g = FilterGraph::Create();
  g->Notify(EC_REPAINT, 0, 0);
  g->SetSyncSource(std::make_shared<ManualClock>());
  EXPECT_TRUE(DrainEvents(*g).empty());
  g->CancelDefaultHandling(EC_REPAINT);
  g->Notify(EC_REPAINT, 0, 0);
  auto events = DrainEvents(*g);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].code, EC_REPAINT);
}

TEST(Graph, NotifyWindowGetsTheRegisteredMessagePerEvent) {
  struct Posted {
    win::HWND hwnd;
    uint32_t msg;
    uintptr_t w;
    intptr_t l;
  };
  std::vector<Posted> posted;
  SetNotifyPoster([&](win::HWND h, uint32_t msg, uintptr_t w, intptr_t l) { posted.push_back({h, msg, w, l}); });
  auto g = FilterGraph::Create();
  auto hwnd = win::ValueToHandle<win::HWND>(0x1234);
  g->SetNotifyWindow(hwnd, 0x8001, 1);
  g->Notify(EC_DEVICE_LOST, 0, 0);
  g->Notify(EC_PAUSED, 0, 0);
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].hwnd, hwnd);
  EXPECT_EQ(posted[0].msg, 0x8001u);
  EXPECT_EQ(posted[0].w, 0u);
  EXPECT_EQ(posted[0].l, 1);
  EXPECT_EQ(g->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY), S_OK);
  g->Notify(EC_PAUSED, 0, 0);
  EXPECT_EQ(posted.size(), 2u);
  EXPECT_EQ(g->SetNotifyFlags(7), E_INVALIDARG);
  SetNotifyPoster(nullptr);
  EXPECT_EQ(DrainEvents(*g).size(), 3u);
}

TEST(Graph, LiveGraphSeeksOnlyItsCurrentPosition) {
  ManualGraph m;
  auto src = MakeSource();
  auto r = std::make_shared<NullRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(r, "r");
  m.graph->ConnectDirect(src->Output(), r->Input(), nullptr);
  DWORD caps = 0;
  ASSERT_EQ(m.graph->GetCapabilities(&caps), S_OK);
  EXPECT_EQ(caps & AM_SEEKING_CanSeekAbsolute, 0u);
  int64_t v = 0;
  EXPECT_EQ(m.graph->GetDuration(&v), E_NOTIMPL);
  EXPECT_EQ(m.graph->IsFormatSupported(&TIME_FORMAT_FRAME), S_FALSE);
  EXPECT_EQ(m.graph->SetTimeFormat(&TIME_FORMAT_FRAME), E_INVALIDARG);
  m.graph->Run();
  m.scheduler->Pump(4);
  ASSERT_EQ(m.graph->GetCurrentPosition(&v), S_OK);
  EXPECT_EQ(v, 3 * kPeriod);
}

TEST(Graph, FrameStepLetsTheAskedFramesThroughThenPauses) {
  ManualGraph m;
  auto src = MakeSource(MEDIASUBTYPE_RGB32);
  auto vr = std::make_shared<VideoRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(vr, "vr");
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), vr->Input(), nullptr), S_OK);
  EXPECT_EQ(m.graph->CanStep(0, nullptr), S_OK);
  m.graph->Pause();
  DrainEvents(*m.graph);
  ASSERT_EQ(m.graph->Step(2, nullptr), S_OK);
  m.scheduler->Pump(5);
  EXPECT_EQ(vr->FramesDrawn(), 2);
  FILTER_STATE state;
  m.graph->GetState(0, &state);
  EXPECT_EQ(state, State_Paused);
  auto events = DrainEvents(*m.graph);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().code, EC_STEP_COMPLETE);
  m.graph->Run();
  m.scheduler->Pump(3);
  EXPECT_EQ(vr->FramesDrawn(), 5);
}

TEST(Graph, ReconnectExChangesTheConnectionType) {
  ManualGraph m;
  auto src = MakeSource(MEDIASUBTYPE_YUY2, 8, 4);
  auto csc = std::make_shared<ColorSpaceConverter>();
  auto vr = std::make_shared<VideoRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(csc, "csc");
  m.graph->AddFilter(vr, "vr");
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), csc->Input(), nullptr), S_OK);
  ASSERT_EQ(m.graph->ConnectDirect(csc->Output(), vr->Input(), nullptr), S_OK);
  EXPECT_EQ(vr->Input()->CurrentType().subtype, MEDIASUBTYPE_RGB32);
  AM_MEDIA_TYPE rgb565 = MakeVideoType(MEDIASUBTYPE_RGB565, 8, 4, kPeriod);
  ASSERT_EQ(m.graph->ReconnectEx(vr->Input(), &rgb565), S_OK);
  EXPECT_EQ(vr->Input()->CurrentType().subtype, MEDIASUBTYPE_RGB565);
  // A type the peer refuses leaves the old connection in place.
  AM_MEDIA_TYPE big = MakeVideoType(MEDIASUBTYPE_RGB24, 16, 4, kPeriod);
  EXPECT_EQ(m.graph->ReconnectEx(csc->Output(), &big), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(vr->Input()->CurrentType().subtype, MEDIASUBTYPE_RGB565);
  m.graph->Run();
  m.scheduler->Pump(1);
  EXPECT_EQ(vr->LastFrame().size(), 8u * 4u * 2u);
  EXPECT_EQ(m.graph->Reconnect(vr->Input()), VFW_E_NOT_STOPPED);
}

TEST(Graph, SyncSourceReachesTheFiltersAndARateClockScalesTime) {
  auto g = FilterGraph::Create();
  auto base = std::make_shared<ManualClock>();
  base->Set(1000);
  auto fast = std::make_shared<RateClock>(base, 2.0);
  auto r = std::make_shared<NullRenderer>();
  g->AddFilter(r, "r");
  ASSERT_EQ(g->SetSyncSource(fast), S_OK);
  std::shared_ptr<ReferenceClock> got;
  r->GetSyncSource(&got);
  EXPECT_EQ(got, fast);
  base->Advance(500);
  EXPECT_EQ(fast->Now(), 2000);
  ASSERT_EQ(g->SetSyncSource(nullptr), S_OK);
  EXPECT_EQ(g->GetSyncSource(&got), S_FALSE);
  r->GetSyncSource(&got);
  EXPECT_FALSE(got);
}

TEST(Graph, RunFailsWhenAFilterCannotPause) {
  ManualGraph m;
  auto src = MakeSource();
  auto mux = std::make_shared<AviMuxStandIn>();
  auto writer = std::make_shared<FileWriter>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(mux, "mux");
  m.graph->AddFilter(writer, "writer");
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), mux->Pins()[1], nullptr), S_OK);
  ASSERT_EQ(m.graph->ConnectDirect(mux->Output(), writer->Pins()[0], nullptr), S_OK);
  EXPECT_EQ(m.graph->Run(), E_FAIL);  // the writer has no file
  FILTER_STATE state;
  m.graph->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(src->State(), State_Stopped);
  m.scheduler->Pump(2);
  EXPECT_EQ(mux->SamplesIn(), 0);

  const std::string path = ::testing::TempDir() + "/mg_writer_target.bin";
  ASSERT_EQ(writer->SetFileName(path, nullptr), S_OK);
  ASSERT_EQ(m.graph->Run(), S_OK);
  m.scheduler->Pump(2);
  EXPECT_EQ(mux->SamplesIn(), 2);
  m.graph->Stop();
  EXPECT_TRUE(std::filesystem::exists(path));
}
