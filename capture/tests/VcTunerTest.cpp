// Crossbar routing, TV tuning and the channel scan on the simulated TV
// card, and the DV transport on the simulated camcorder.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "capture/VcCrossbar.h"
#include "capture/VcDVTransport.h"
#include "capture/VcEngine.h"
#include "capture/VcTuner.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/sim/SimDv.h"
#include "platform/mg/sim/SimTv.h"

namespace {

using namespace capture;
using captest::LogEntry;

// A crossbar with a pin table of its own; inputs in `refused` cannot be
// routed.
class FakeCrossbar : public mg::IAMCrossbar {
public:
  struct PinRow {
    mg::LONG type, related;
  };
  FakeCrossbar(std::vector<PinRow> in, std::vector<PinRow> out) : inputs(std::move(in)), outputs(std::move(out)) {
    routes.assign(outputs.size(), 0);
  }
  mg::HRESULT get_PinCounts(mg::LONG* o, mg::LONG* i) override {
    *o = static_cast<mg::LONG>(outputs.size());
    *i = static_cast<mg::LONG>(inputs.size());
    return mg::S_OK;
  }
  mg::HRESULT CanRoute(mg::LONG o, mg::LONG i) override {
    return o >= 0 && o < static_cast<mg::LONG>(outputs.size()) && i >= 0 &&
                   i < static_cast<mg::LONG>(inputs.size()) && !refused.count(i)
               ? mg::S_OK
               : mg::S_FALSE;
  }
  mg::HRESULT Route(mg::LONG o, mg::LONG i) override {
    calls.push_back({o, i});
    if (CanRoute(o, i) != mg::S_OK) return mg::E_FAIL;
    routes[static_cast<size_t>(o)] = i;
    return mg::S_OK;
  }
  mg::HRESULT get_IsRoutedTo(mg::LONG o, mg::LONG* i) override {
    if (o < 0 || o >= static_cast<mg::LONG>(outputs.size())) return mg::E_INVALIDARG;
    *i = routes[static_cast<size_t>(o)];
    return mg::S_OK;
  }
  mg::HRESULT get_CrossbarPinInfo(mg::BOOL isInput, mg::LONG index, mg::LONG* related, mg::LONG* type) override {
    const auto& list = isInput ? inputs : outputs;
    if (index < 0 || index >= static_cast<mg::LONG>(list.size())) return mg::E_INVALIDARG;
    *related = list[static_cast<size_t>(index)].related;
    *type = list[static_cast<size_t>(index)].type;
    return mg::S_OK;
  }
  std::vector<PinRow> inputs, outputs;
  std::vector<mg::LONG> routes;
  std::set<mg::LONG> refused;
  std::vector<std::pair<mg::LONG, mg::LONG>> calls;
};

using mg::PhysConn_Audio_AudioDecoder;
using mg::PhysConn_Audio_Line;
using mg::PhysConn_Audio_Tuner;
using mg::PhysConn_Video_Composite;
using mg::PhysConn_Video_SVideo;
using mg::PhysConn_Video_Tuner;
using mg::PhysConn_Video_VideoDecoder;

// The TV card's own layout: tuner, composite, composite, S-Video, audio
// tuner, audio line; video and audio decoder outputs.
std::shared_ptr<FakeCrossbar> TvLikeCrossbar() {
  return std::make_shared<FakeCrossbar>(
      std::vector<FakeCrossbar::PinRow>{{PhysConn_Video_Tuner, 4},
                                        {PhysConn_Video_Composite, 5},
                                        {PhysConn_Video_Composite, 5},
                                        {PhysConn_Video_SVideo, 5},
                                        {PhysConn_Audio_Tuner, 0},
                                        {PhysConn_Audio_Line, 1}},
      std::vector<FakeCrossbar::PinRow>{{PhysConn_Video_VideoDecoder, 1}, {PhysConn_Audio_AudioDecoder, 0}});
}

TEST(VcCrossbarText, ConnectorNamesAndTheVideoInputList) {
  const std::pair<int32_t, const char*> names[] = {{1, "Tuner"},       {3, "SVideo"},           {5, "YRYBY"},
                                                    {10, "1394"},       {15, "black"},           {4096, "Audio Tuner"},
                                                    {4105, "Audio Decoder"}, {0, ""},            {16, ""},
                                                    {4106, ""}};
  for (const auto& [type, name] : names) EXPECT_EQ(GetConnectorName(type), name) << type;

  auto xbar = TvLikeCrossbar();
  const TVideoInputList list = ListCrossbarVideoInputs(xbar.get());
  EXPECT_EQ(list.Names, "Tuner\r\nComposite\r\nComposite 1\r\nSVideo");
  EXPECT_EQ(list.PinIndexes, (std::vector<int32_t>{0, 1, 2, 3}));
  // Without a video output there is nothing to choose.
  FakeCrossbar audioOnly({{PhysConn_Audio_Line, -1}}, {{PhysConn_Audio_AudioDecoder, -1}});
  EXPECT_EQ(ListCrossbarVideoInputs(&audioOnly).Names, "");
  EXPECT_EQ(ListCrossbarVideoInputs(nullptr).Names, "");
}

TEST(VcCrossbarText, RoutingTextsAreReadAndAppliedWhole) {
  FakeCrossbar two({{1, -1}, {1, -1}, {2, -1}, {2, -1}, {3, -1}}, {{12, -1}, {12, -1}});
  two.routes = {1, 4};
  EXPECT_EQ(GetCrossbarRouting(&two), "2!1!4!");
  EXPECT_EQ(GetCrossbarRouting(nullptr), "");

  struct Case {
    const char* text;
    std::vector<mg::LONG> routesAfter;
  };
  const Case cases[] = {
      {"2!0!3!", {0, 3}},  {"3!0!1!2!", {1, 4}}, {"2!1!x!", {1, 4}}, {"2!0!", {1, 4}},
      {"!2!0!3!", {1, 4}}, {"2!0!3", {1, 4}},     {"", {1, 4}},       {"2!99999999999!0!", {1, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    two.routes = {1, 4};
    EXPECT_TRUE(SetCrossbarRouting(&two, c.text));
    EXPECT_EQ(two.routes, c.routesAfter);
  }
  // An input the crossbar does not have refuses the whole text.
  for (const char* text : {"2!0!5!", "2!-2!0!"}) {
    two.calls.clear();
    EXPECT_FALSE(SetCrossbarRouting(&two, text)) << text;
    EXPECT_TRUE(two.calls.empty()) << text;
  }
  two.calls.clear();
  EXPECT_TRUE(SetCrossbarRouting(&two, "2!-1!4!")) << "-1 leaves an output unrouted";
  EXPECT_EQ(two.calls, (std::vector<std::pair<mg::LONG, mg::LONG>>{{0, -1}, {1, 4}}));
  FakeCrossbar three({{1, -1}, {1, -1}, {2, -1}, {2, -1}, {3, -1}}, {{12, -1}, {12, -1}, {12, -1}});
  three.routes = {0, 0, 0};
  SetCrossbarRouting(&three, "2!1!4!");
  EXPECT_TRUE(three.calls.empty());
}

class VcTuner : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    SetGraphSchedulerFactory([] { return std::make_shared<mg::ManualScheduler>(); });
  }
  TVidCap* Control(const mg::sim::DeviceOptions& options) {
    PlugIn(options, "Sim Device");
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    vc->OnTVChannelSelected = [this](forms::TObject*, const TTVChannelInfo& i) {
      events.push_back("selected " + std::to_string(i.Channel));
      infos.push_back(i);
    };
    vc->OnTVChannelScanStarted = [this](forms::TObject*, int32_t lo, int32_t hi) {
      events.push_back("started " + std::to_string(lo) + "-" + std::to_string(hi));
    };
    vc->OnTVChannelScanCompleted = [this](forms::TObject*) { events.push_back("completed"); };
    return vc;
  }
  static std::shared_ptr<mg::sim::SimTvCapture> Card(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::sim::SimTvCapture>(e.VideoDeviceFilter);
  }
  static mg::LONG RoutedTo(const std::shared_ptr<mg::sim::SimCrossbar>& x, mg::LONG out) {
    mg::LONG in = -1;
    x->get_IsRoutedTo(out, &in);
    return in;
  }
  std::vector<std::string> events;
  std::vector<TTVChannelInfo> infos;
};

// Composite takes the audio line along, through the route tree when the
// card has its audio crossbar and through the related pin without one; the
// tuner input retunes the stored channel, and leaving it stops tuning.
TEST_F(VcTuner, SelectingAnInputRoutesItsAudioAndTheTunerRetunes) {
  TVidCap* vc = Control(mg::sim::TvOptions{});
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  auto card = Card(e);
  ASSERT_TRUE(card);
  EXPECT_EQ(vc->GetVideoInputs(), "Tuner\r\nComposite\r\nComposite 1\r\nSVideo");
  ASSERT_TRUE(e.CrossbarTree);
  EXPECT_EQ(e.CrossbarTree->RouteCount(), 4);
  EXPECT_TRUE(e.Sel.TunerInputSelected);

  for (const bool withTree : {true, false}) {
    SCOPED_TRACE(withTree ? "route tree" : "related pin");
    if (!withTree) e.CrossbarTree.reset();
    card->VideoCrossbar()->Route(1, 4);  // the tuner's audio
    vc->SetVideoInput(1);
    EXPECT_EQ(RoutedTo(card->VideoCrossbar(), 0), 1);
    EXPECT_EQ(RoutedTo(card->VideoCrossbar(), 1), 5) << "Audio Line follows Composite";
    EXPECT_FALSE(e.Sel.TunerInputSelected);
    EXPECT_FALSE(e.TuneChannel(5, -1)) << "no tuning on the composite input";
    vc->SetVideoInput(0);
    EXPECT_EQ(RoutedTo(card->VideoCrossbar(), 1), 4);
    EXPECT_TRUE(e.Sel.TunerInputSelected);
  }
  clock.Advance(200);
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.back().Channel, vc->GetTVChannel());

  // The routing is kept with the device and put back on the next graph.
  vc->SetVideoInput(3);
  ASSERT_TRUE(vc->Stop());
  EXPECT_EQ(e.DeviceSettings.Video[vds_AMVideoCrossbar].StrValue, "2!3!5!");
  EXPECT_TRUE(e.DeviceSettings.Video[vds_VIDEOCROSSBARAVAIL].BoolValue);
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(RoutedTo(Card(e)->VideoCrossbar(), 0), 3);
  EXPECT_EQ(vc->GetVideoInput(), 3);
  ASSERT_TRUE(vc->Stop());

  // A stored routing that names a missing pin is refused with a report.
  e.DeviceSettings.Video[vds_AMVideoCrossbar].StrValue = "2!9!5!";
  log.clear();
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_TRUE(Logged("crossbar routing index out of range"));
  EXPECT_EQ(RoutedTo(Card(e)->VideoCrossbar(), 0), 3);
  vc->Stop();
}

// A list index is mapped to its crossbar pin, an index outside the list
// never reaches the crossbar, and a route the crossbar refuses leaves the
// audio and the tuner state alone.
TEST_F(VcTuner, InputIndexesAreCheckedAndMappedToTheirPins) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  auto xbar = std::make_shared<FakeCrossbar>(
      std::vector<FakeCrossbar::PinRow>{{PhysConn_Audio_Line, -1}, {PhysConn_Video_Composite, 0},
                                        {PhysConn_Video_Tuner, -1}},
      std::vector<FakeCrossbar::PinRow>{{PhysConn_Video_VideoDecoder, 1}, {PhysConn_Audio_AudioDecoder, 0}});
  e.VideoCrossbar = xbar;
  EXPECT_EQ(e.ListVideoInputs(), "Composite\r\nTuner");
  e.SelectVideoInput(1);
  EXPECT_EQ(xbar->routes[0], 2) << "Tuner is pin 2, not pin 1";
  EXPECT_TRUE(e.Sel.TunerInputSelected);
  EXPECT_EQ(e.GetRoutedVideoInput(), 1);
  e.SelectVideoInput(0);
  EXPECT_EQ(xbar->routes, (std::vector<mg::LONG>{1, 0})) << "Composite with its related Audio Line";
  EXPECT_FALSE(e.Sel.TunerInputSelected);

  for (const int32_t bad : {2, -1, 7}) {
    log.clear();
    xbar->calls.clear();
    e.SelectVideoInput(bad);
    EXPECT_TRUE(xbar->calls.empty()) << bad;
    EXPECT_EQ(log, (std::vector<LogEntry>{{e_index_out_of_range, "ERROR", "Video input index out of range"}}));
  }

  log.clear();
  xbar->calls.clear();
  xbar->refused = {2};
  e.SelectVideoInput(1);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_failed_to_connect_crossbar_pin, "ERROR", "Cannot route video crossbar input"}}));
  EXPECT_EQ(xbar->calls.size(), 1u) << "no audio routing after the refusal";
  EXPECT_FALSE(e.Sel.TunerInputSelected);
  e.VideoCrossbar.reset();
}

TEST_F(VcTuner, AutoTuneKeysAndTables) {
  EXPECT_EQ(AutoTuneKeyPath(31, 0), "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS31-1\\");
  EXPECT_EQ(AutoTuneKeyPath(31, 1), "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS31-0\\");
  EXPECT_EQ(AutoTuneKeyPath(TVCountryTuningSpace(31), 0),
            "\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS99990031-1\\");
  const int32_t pairs[7] = {4, 55250000, 5, 0, 6, 0, 77};
  const auto* bytes = reinterpret_cast<const uint8_t*>(pairs);
  for (const int32_t size : {24, 28}) {
    EXPECT_EQ(AutoTuneFrequencyIn(bytes, size, 4), 55250000);
    EXPECT_EQ(AutoTuneFrequencyIn(bytes, size, 5), 0);
    EXPECT_EQ(AutoTuneFrequencyIn(bytes, size, 7), -1);
  }
  EXPECT_EQ(AutoTuneFrequencyIn(bytes, 7, 4), -1);

  {
    auto reg = OpenAutoTuneKey(31, 0);
    ASSERT_TRUE(reg);
    reg->WriteBinary("AutoTune", pairs, 24);
  }
  auto reg = OpenAutoTuneKey(31, 0);
  EXPECT_EQ(ReadAutoTuneFrequency(*reg, 4), 55250000);
  EXPECT_EQ(ReadAutoTuneFrequency(*reg, 7), -1);
  reg->WriteString("AutoTune", "4");
  EXPECT_EQ(ReadAutoTuneFrequency(*reg, 4), -1) << "only binary pairs count";
}

// An override frequency wins over the tables and marks the overrides in
// use; a write the registry refuses is reported.
TEST_F(VcTuner, FrequencyOverridesAreWrittenReadAndReported) {
  TVidCap* vc = Control(mg::sim::TvOptions{});
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  log.clear();
  vc->SetTVCountryCode(31);
  vc->SetTVInputType(0);
  vc->SetTVFrequencyOverride(21, 480'000'000);
  {
    rtl::TRegistry reg;
    reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS99990031-1"));
    EXPECT_EQ(reg.ReadInteger("21"), 480'000'000);
  }
  vc->SetTVChannel(21);
  clock.Advance(100);
  ASSERT_FALSE(infos.empty());
  EXPECT_EQ(infos.back().Channel, 21);
  EXPECT_EQ(infos.back().OverrideFrequency, 480'000'000);
  EXPECT_EQ(infos.back().VideoFrequency, 480'000'000) << "the tuner took it from the override key";
  EXPECT_TRUE(e.OverridesInUse);

  // Switching the overrides off retunes from the table.
  vc->SetTVUseFrequencyOverrides(false);
  clock.Advance(100);
  EXPECT_FALSE(e.OverridesInUse);
  EXPECT_EQ(infos.back().OverrideFrequency, -1);
  EXPECT_EQ(infos.back().Frequency, mg::sim::TvChannelFrequency(31, mg::TunerInputCable, 21));
  vc->SetTVUseFrequencyOverrides(true);

  vc->SetTVFrequencyOverride(21, -1);
  {
    rtl::TRegistry reg;
    reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS99990031-1"));
    EXPECT_FALSE(reg.ValueExists("21"));
  }
  EXPECT_TRUE(log.empty());

  // The registry's file cannot be replaced while its lock is a folder.
  const std::string lock = rtl::RegistryFileName(rtl::HKEY_LOCAL_MACHINE) + ".lock";
  std::filesystem::remove(lock);
  std::filesystem::create_directories(lock);
  vc->SetTVFrequencyOverride(22, 500'000'000);
  std::filesystem::remove_all(lock);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_failed, "ERROR", "cannot write TV frequency override for channel 22"}}));
  vc->Stop();
}

// A scan over channels 2 to 4 steps once every 200 ms, tells each channel,
// stores the channels with a picture and ends; a stop request ends the
// scan at the next step without tuning.
TEST_F(VcTuner, ChannelScanStepsThroughTheRangeAndStoresWhatItFound) {
  mg::sim::TvOptions o;
  o.minChannel = 2;
  o.maxChannel = 4;
  o.signalChannels = {3, 4};
  TVidCap* vc = Control(o);
  TVcEngine& e = *vc->Engine();
  vc->SetTVCountryCode(31);
  vc->SetTVInputType(0);
  ASSERT_TRUE(vc->StartPreview());
  clock.Advance(100);
  events.clear();
  infos.clear();

  ASSERT_TRUE(vc->StartTVChannelScan());
  EXPECT_FALSE(vc->StartTVChannelScan()) << "one scan at a time";
  log.clear();
  vc->SetTVChannel(9);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_tv_command_not_allowed_during_tv_tuning, "ERROR",
                                         "TV commands not allowed during tv auto tuning"}}));
  EXPECT_EQ(vc->GetTVChannel(), 9);
  for (int i = 0; i < 5; ++i) clock.Advance(200);
  // The completion is raised by the last step itself; that step's channel
  // event waits in the queue for the next notification cycle.
  EXPECT_EQ(events, (std::vector<std::string>{"started 2-4", "selected 2", "selected 3", "completed", "selected 4"}));
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].Locked, 0);
  EXPECT_EQ(infos[1].Locked, 1);
  EXPECT_FALSE(e.ChannelScanRunning);
  {
    auto reg = OpenAutoTuneKey(31, 0);
    ASSERT_TRUE(reg);
    EXPECT_EQ(ReadAutoTuneFrequency(*reg, 3), mg::sim::TvChannelFrequency(31, mg::TunerInputCable, 3));
    EXPECT_EQ(ReadAutoTuneFrequency(*reg, 4), mg::sim::TvChannelFrequency(31, mg::TunerInputCable, 4));
    EXPECT_EQ(ReadAutoTuneFrequency(*reg, 2), -1) << "no picture on 2";
  }

  // Stopped after its first channel.
  events.clear();
  ASSERT_TRUE(vc->StartTVChannelScan());
  clock.Advance(200);
  EXPECT_TRUE(vc->StopTVChannelScan());
  for (int i = 0; i < 3; ++i) clock.Advance(200);
  EXPECT_EQ(events, (std::vector<std::string>{"started 2-4", "selected 2", "completed"}));
  EXPECT_FALSE(vc->StopTVChannelScan());
  vc->Stop();
}

// Each channel shows its own picture on the tuner input.
TEST_F(VcTuner, TheChannelChangesThePicture) {
  TVidCap* vc = Control(mg::sim::TvOptions{});
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  auto manual = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler());
  auto renderer = std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[da_Main].Renderer);
  ASSERT_TRUE(manual && renderer);
  Card(e)->SetShowFrameNumber(false);
  auto picture = [&] {
    manual->Pump(1);
    return renderer->LastFrame();
  };
  vc->SetTVChannel(3);
  const auto three = picture();
  vc->SetTVChannel(4);
  const auto four = picture();
  vc->SetTVChannel(3);
  EXPECT_FALSE(three.empty());
  EXPECT_NE(three, four);
  EXPECT_EQ(picture(), three);
  vc->Stop();
}

TEST(VcDVTransportTable, CommandsStatesAndTimeCodes) {
  const std::tuple<int32_t, int32_t, const char*> rows[] = {
      {0, 4296, "play"},          {1, 4297, "stop"},         {7, 4904, "record freeze"}, {9, 4304, "fwd"},
      {10, 4905, "rev"},          {12, 5029, "fastest fwd"}, {15, 5032, "slowest rev"},  {16, 0, "not in VCR mode"},
      {-1, 0, "not in VCR mode"},
  };
  for (const auto& [command, mode, name] : rows) {
    EXPECT_EQ(TransportModeOfCommand(command), mode) << command;
    EXPECT_EQ(TransportStateName(mode), name) << mode;
  }
  EXPECT_EQ(TransportStateName(4306), "not supported");

  const TDVTimecode t = DecodeBcdTimecode(0x01234509);
  EXPECT_TRUE(t.Valid);
  EXPECT_EQ((std::vector<int32_t>{t.Hours, t.Minutes, t.Seconds, t.Frames}), (std::vector<int32_t>{1, 23, 45, 9}));
  EXPECT_FALSE(DecodeBcdTimecode(0x012345FF).Valid);
  EXPECT_FALSE(DecodeBcdTimecode(0x0123FF09).Valid);
}

// A time-code reader answering a scripted field.
class ScriptedTimecode : public mg::IAMTimecodeReader {
public:
  uint32_t field = 0;
  bool fail = false;
  mg::HRESULT GetTCRMode(mg::LONG, mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT SetTCRMode(mg::LONG, mg::LONG) override { return mg::E_NOTIMPL; }
  mg::HRESULT put_VITCLine(mg::LONG) override { return mg::E_NOTIMPL; }
  mg::HRESULT get_VITCLine(mg::LONG*) override { return mg::E_NOTIMPL; }
  mg::HRESULT GetTimecode(mg::TIMECODE_SAMPLE* s) override {
    EXPECT_EQ(s->dwFlags, 4121u);
    if (fail) return mg::E_FAIL;
    s->timecode.dwFrames = field;
    return mg::S_OK;
  }
};

TEST_F(VcTuner, TimeCodeReadsAreChangesOnlyWhenNew) {
  TVcEngine& e = *MakeControl()->Engine();
  auto reader = std::make_shared<ScriptedTimecode>();
  e.TimecodeReader = reader;
  TFrameInfo info;
  reader->field = 0x01234509;
  EXPECT_TRUE(e.ReadTimeCode(info));
  EXPECT_TRUE(info.DVTimecodeValid);
  EXPECT_EQ((std::vector<int32_t>{info.DVTimecodeHours, info.DVTimecodeMinutes, info.DVTimecodeSeconds,
                                  info.DVTimecodeFrames}),
            (std::vector<int32_t>{1, 23, 45, 9}));
  EXPECT_FALSE(e.ReadTimeCode(info)) << "the same time code again";
  reader->field = 0x012345FF;
  EXPECT_FALSE(e.ReadTimeCode(info));
  EXPECT_FALSE(info.DVTimecodeValid);
  EXPECT_EQ(info.DVTimecodeHours, 0);
  reader->field = 0x01234510;
  EXPECT_TRUE(e.ReadTimeCode(info));
  reader->fail = true;
  EXPECT_FALSE(e.ReadTimeCode(info));
  EXPECT_FALSE(info.DVTimecodeValid);
  e.TimecodeReader.reset();
}

// A command moves the camcorder's transport, and the poll reports the new
// state once, by name; the signal standard comes from the transport.
TEST_F(VcTuner, DVCommandMovesTheTapeAndIsReportedOnce) {
  mg::sim::DvOptions dv;
  dv.settlingPolls = 1;
  TVidCap* vc = Control(dv);
  TVcEngine& e = *vc->Engine();
  std::vector<std::pair<int32_t, std::string>> completed;
  vc->OnDVCommandCompleted = [&](forms::TObject*, int32_t mode, const String& name) {
    completed.push_back({mode, name});
  };
  ASSERT_TRUE(vc->StartPreview());
  ASSERT_TRUE(e.ExtTransport);
  int64_t duration = 0;
  EXPECT_TRUE(e.ReadDVSignalStandard(duration));
  EXPECT_EQ(duration, 400000);
  EXPECT_TRUE(e.DeviceSettings.Video[vds_IsDVPal].BoolValue);

  clock.Advance(15 * 20);
  completed.clear();
  ASSERT_TRUE(vc->DVCommand(7));
  for (int i = 0; i < 40; ++i) clock.Advance(15);
  EXPECT_EQ(completed, (std::vector<std::pair<int32_t, std::string>>{{4904, "record freeze"}}));
  mg::LONG mode = 0;
  e.ExtTransport->get_Mode(&mode);
  EXPECT_EQ(mode, 4904);
  ASSERT_TRUE(vc->DVCommand(0));
  for (int i = 0; i < 40; ++i) clock.Advance(15);
  EXPECT_EQ(completed.back(), (std::pair<int32_t, std::string>{4296, "play"}));
  EXPECT_EQ(completed.size(), 2u);
  vc->Stop();
}

// A DV decoder that remembers what it was told.
class FakeDvDecoder : public mg::BaseFilter, public mg::IIPDVDec, public mg::IDVRGB219 {
public:
  FakeDvDecoder() : mg::BaseFilter(mg::CLSID_DVVideoCodec) {}
  mg::HRESULT get_IPDisplay(int* d) override {
    *d = display;
    return mg::S_OK;
  }
  mg::HRESULT put_IPDisplay(int d) override {
    display = d;
    return mg::S_OK;
  }
  mg::HRESULT SetRGB219(mg::BOOL b) override {
    rgb219 = b;
    return mg::S_OK;
  }
  int display = 0;
  mg::BOOL rgb219 = 7;
};

TEST_F(VcTuner, DVDecoderTakesTheChosenSizeAndRange) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  auto decoder = std::make_shared<FakeDvDecoder>();
  e.ApplyDVDecoderSettings(decoder);
  EXPECT_EQ(decoder->display, 0) << "no size list, nothing set";
  for (const char* s : {"    half", "   dc", "  quarter", " half", "full"}) e.Sel.VideoSizes.Add(s);
  struct Case {
    int32_t size;
    int display;
  };
  for (const Case c : {Case{1, mg::DVRESOLUTION_DC}, Case{2, mg::DVRESOLUTION_QUARTER}, Case{3, mg::DVRESOLUTION_HALF},
                       Case{4, mg::DVRESOLUTION_FULL}}) {
    e.DeviceSettings.Video[vds_VideoSize].IntValue = c.size;
    e.ApplyDVDecoderSettings(decoder);
    EXPECT_EQ(decoder->display, c.display) << c.size;
  }
  EXPECT_EQ(decoder->rgb219, 0);
  EXPECT_TRUE(log.empty());
  vc->SetDVRgb219(true);
  e.DeviceSettings.Video[vds_VideoSize].IntValue = 7;
  e.ApplyDVDecoderSettings(decoder);
  EXPECT_EQ(e.DeviceSettings.Video[vds_VideoSize].IntValue, 0);
  EXPECT_EQ(decoder->display, mg::DVRESOLUTION_HALF);
  EXPECT_EQ(decoder->rgb219, -1);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_index_out_of_range, "ERROR",
                                         "DV VideoSize index out of range, index 0 used instead"}}));
}

}  // namespace
