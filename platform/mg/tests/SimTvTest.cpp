#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "platform/mg/CaptureGraphBuilder.h"
#include "platform/mg/tests/SimTestSupport.h"
#include "platform/rtl/Registry.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

std::shared_ptr<SimTvCapture> MakeCard(TvOptions o = {}) {
  return SimTvCapture::Create(std::make_shared<DevicePresence>(), o);
}

template <class I>
std::shared_ptr<I> Find(const GUID* category, const std::shared_ptr<BaseFilter>& from) {
  auto builder = CaptureGraphBuilder::Create();
  std::shared_ptr<I> out;
  builder->FindInterface(category, nullptr, from, &out);
  return out;
}

struct PinRow {
  LONG type, related;
};

std::vector<PinRow> PinTable(IAMCrossbar& x, bool inputs) {
  LONG outs = 0, ins = 0;
  x.get_PinCounts(&outs, &ins);
  std::vector<PinRow> rows;
  for (LONG i = 0; i < (inputs ? ins : outs); ++i) {
    PinRow r{};
    EXPECT_EQ(x.get_CrossbarPinInfo(inputs, i, &r.related, &r.type), S_OK);
    rows.push_back(r);
  }
  return rows;
}

bool operator==(const PinRow& a, const PinRow& b) { return a.type == b.type && a.related == b.related; }

// HKEY_LOCAL_MACHINE in a folder of the test's own.
class MachineHive {
public:
  // One folder per process: ctest runs the tests of this file side by side.
  MachineHive()
      : dir_(std::filesystem::path(::testing::TempDir()) / ("sim_tv_hive_" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, dir_.string());
  }
  ~MachineHive() {
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, "");
    std::filesystem::remove_all(dir_);
  }

private:
  std::filesystem::path dir_;
};

}  // namespace

TEST(SimTv, BuilderFindsTheUpstreamFiltersOfTheCard) {
  auto card = MakeCard();
  const std::shared_ptr<BaseFilter> capture = card;
  EXPECT_TRUE(Find<IAMTVTuner>(&LOOK_UPSTREAM_ONLY, capture));
  EXPECT_TRUE(Find<IAMAnalogVideoDecoder>(nullptr, capture));
  EXPECT_TRUE(Find<IAMTVAudio>(nullptr, capture));
  EXPECT_TRUE(Find<IAMVideoProcAmp>(nullptr, capture));
  EXPECT_TRUE(mg::QueryInterface<IAMStreamConfig>(card->Output()));
  auto video = Find<IAMCrossbar>(&LOOK_UPSTREAM_ONLY, capture);
  ASSERT_TRUE(video);
  EXPECT_EQ(video.get(), static_cast<IAMCrossbar*>(card->VideoCrossbar().get()));
  auto audio = Find<IAMCrossbar>(&LOOK_UPSTREAM_ONLY, card->VideoCrossbar());
  ASSERT_TRUE(audio);
  EXPECT_EQ(audio.get(), static_cast<IAMCrossbar*>(card->AudioCrossbar().get()));

  // The capture filter's analog input is where the chain ends.
  auto builder = CaptureGraphBuilder::Create();
  std::shared_ptr<Pin> in;
  ASSERT_EQ(builder->FindPin(capture, PINDIR_INPUT, nullptr, &MEDIATYPE_AnalogVideo, 0, 0, &in), S_OK);
  EXPECT_EQ(in->ConnectedTo()->Owner(), card->VideoCrossbar());
}

TEST(SimTv, VideoCrossbarPinsRelateAndRouteByMedia) {
  auto card = MakeCard();
  IAMCrossbar& x = *card->VideoCrossbar();
  EXPECT_EQ(PinTable(x, true), (std::vector<PinRow>{{PhysConn_Video_Tuner, 4},
                                                    {PhysConn_Video_Composite, 5},
                                                    {PhysConn_Video_Composite, 5},
                                                    {PhysConn_Video_SVideo, 5},
                                                    {PhysConn_Audio_Tuner, 0},
                                                    {PhysConn_Audio_Line, 1}}));
  EXPECT_EQ(PinTable(x, false),
            (std::vector<PinRow>{{PhysConn_Video_VideoDecoder, 1}, {PhysConn_Audio_AudioDecoder, 0}}));
  EXPECT_EQ(x.CanRoute(0, 3), S_OK);
  EXPECT_EQ(x.CanRoute(0, 5), S_FALSE);
  EXPECT_EQ(x.CanRoute(1, 4), S_OK);
  EXPECT_EQ(x.CanRoute(2, 0), E_INVALIDARG);
  EXPECT_TRUE(FAILED(x.Route(1, 2)));
  LONG routed = -2;
  ASSERT_EQ(x.get_IsRoutedTo(0, &routed), S_OK);
  EXPECT_EQ(routed, 0);
  ASSERT_EQ(x.Route(0, 3), S_OK);
  ASSERT_EQ(x.get_IsRoutedTo(0, &routed), S_OK);
  EXPECT_EQ(routed, 3);
  IAMCrossbar& a = *card->AudioCrossbar();
  EXPECT_EQ(PinTable(a, true).size(), 2u);
  EXPECT_EQ(PinTable(a, false), (std::vector<PinRow>{{PhysConn_Audio_AudioDecoder, -1}}));
}

TEST(SimTv, ChannelTablesGiveFrequenciesAndTheSoundCarrier) {
  struct Case {
    LONG country;
    TunerInputType input;
    LONG channel, hz;
  };
  const Case cases[] = {
      {1, TunerInputAntenna, 2, 55'250'000},  {1, TunerInputAntenna, 7, 175'250'000},
      {1, TunerInputAntenna, 14, 471'250'000}, {1, TunerInputCable, 14, 121'250'000},
      {1, TunerInputCable, 69, 493'250'000},   {49, TunerInputAntenna, 21, 471'250'000},
      {49, TunerInputAntenna, 5, 175'250'000}, {33, TunerInputAntenna, 21, 471'250'000},
  };
  MachineHive hive;
  auto card = MakeCard();
  IAMTVTuner& t = *card->Tuner();
  for (const Case& c : cases) {
    ASSERT_EQ(t.put_CountryCode(c.country), S_OK);
    ASSERT_EQ(t.put_TuningSpace(c.country), S_OK);
    ASSERT_EQ(t.put_InputType(0, c.input), S_OK);
    ASSERT_EQ(t.put_Channel(c.channel, AMTUNER_SUBCHAN_DEFAULT, AMTUNER_SUBCHAN_DEFAULT), S_OK);
    LONG video = 0, audio = 0;
    ASSERT_EQ(t.get_VideoFrequency(&video), S_OK);
    ASSERT_EQ(t.get_AudioFrequency(&audio), S_OK);
    EXPECT_EQ(video, c.hz) << c.country << " ch " << c.channel;
    EXPECT_EQ(audio, c.hz + 4'500'000);
  }
  LONG lo = 0, hi = 0;
  ASSERT_EQ(t.ChannelMinMax(&lo, &hi), S_OK);
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 69);
  EXPECT_EQ(t.put_Channel(1, -1, -1), E_INVALIDARG);
  EXPECT_EQ(t.put_Channel(70, -1, -1), E_INVALIDARG);
}

TEST(SimTv, ConfiguredChannelsCarryAPictureAndTheOthersSnow) {
  TvOptions o;
  o.signalChannels = {4};
  auto card = MakeCard(o);
  card->SetShowFrameNumber(false);
  IAMTVTuner& t = *card->Tuner();
  struct Case {
    LONG channel;
    bool signal;
  };
  for (const Case& c : {Case{4, true}, Case{5, false}}) {
    ASSERT_EQ(t.put_Channel(c.channel, -1, -1), S_OK);
    LONG strength = -5, locked = -5;
    ASSERT_EQ(t.SignalPresent(&strength), S_OK);
    ASSERT_EQ(card->get_HorizontalLocked(&locked), S_OK);
    EXPECT_EQ(strength, c.signal ? AMTUNER_SIGNALPRESENT : AMTUNER_NOSIGNAL);
    EXPECT_EQ(locked, c.signal ? 1 : 0);
    const RgbImage a = card->RenderPicture(0), b = card->RenderPicture(1);
    // A picture holds still; snow changes from frame to frame.
    EXPECT_EQ(a.pixels == b.pixels, c.signal) << c.channel;
    if (c.signal) {
      EXPECT_EQ(a.At(a.width / 2 + 20, a.height / 2), kBarColours[4]);
    }
  }
  // The channel number is on the picture.
  o.signalChannels = {4, 10};
  auto other = MakeCard(o);
  other->SetShowFrameNumber(false);
  other->Tuner()->put_Channel(4, -1, -1);
  const RgbImage four = other->RenderPicture(0);
  other->Tuner()->put_Channel(10, -1, -1);
  EXPECT_NE(four.pixels, other->RenderPicture(0).pixels);
  // A composite input shows the pattern whatever the tuner does.
  other->Tuner()->put_Channel(5, -1, -1);
  ASSERT_EQ(other->VideoCrossbar()->Route(0, 1), S_OK);
  LONG locked = 0;
  other->get_HorizontalLocked(&locked);
  EXPECT_EQ(locked, 1);
}

TEST(SimTv, DecoderTakesItsThreeStandards) {
  auto card = MakeCard();
  LONG formats = 0, lines = 0, now = 0;
  ASSERT_EQ(card->get_AvailableTVFormats(&formats), S_OK);
  EXPECT_EQ(formats, AnalogVideo_NTSC_M | AnalogVideo_PAL_B | AnalogVideo_SECAM_L);
  ASSERT_EQ(card->get_NumberOfLines(&lines), S_OK);
  EXPECT_EQ(lines, 525);
  ASSERT_EQ(card->put_TVFormat(AnalogVideo_SECAM_L), S_OK);
  ASSERT_EQ(card->get_NumberOfLines(&lines), S_OK);
  EXPECT_EQ(lines, 625);
  ASSERT_EQ(card->Tuner()->get_TVFormat(&now), S_OK);
  EXPECT_EQ(now, AnalogVideo_SECAM_L);
  EXPECT_EQ(card->put_TVFormat(AnalogVideo_PAL_D), E_INVALIDARG);
  EXPECT_EQ(card->put_TVFormat(AnalogVideo_PAL_B | AnalogVideo_NTSC_M), E_INVALIDARG);
  LONG v = -1;
  ASSERT_EQ(card->put_VCRHorizontalLocking(1), S_OK);
  ASSERT_EQ(card->get_VCRHorizontalLocking(&v), S_OK);
  EXPECT_EQ(v, 1);
  LONG modes = 0;
  ASSERT_EQ(card->TvAudio()->GetHardwareSupportedTVAudioModes(&modes), S_OK);
  EXPECT_TRUE(modes & AMTVAUDIO_MODE_STEREO);
  EXPECT_EQ(card->TvAudio()->put_TVAudioMode(AMTVAUDIO_MODE_LANG_C), E_INVALIDARG);
}

TEST(SimTv, AutoTuneIsStoredAndOverridesAreRead) {
  MachineHive hive;
  TvOptions o;
  o.signalChannels = {3, 4};
  auto card = MakeCard(o);
  IAMTVTuner& t = *card->Tuner();
  ASSERT_EQ(t.put_CountryCode(31), S_OK);
  ASSERT_EQ(t.put_TuningSpace(31), S_OK);
  ASSERT_EQ(t.put_InputType(0, TunerInputCable), S_OK);
  std::vector<LONG> found;
  for (LONG ch = 2; ch <= 5; ++ch) {
    LONG f = -1;
    ASSERT_EQ(t.AutoTune(ch, &f), S_OK);
    found.push_back(f);
  }
  EXPECT_EQ(found, (std::vector<LONG>{0, 1, 1, 0}));
  ASSERT_EQ(t.StoreAutoTune(), S_OK);
  rtl::TRegistry reg;
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS31-1"));
  int32_t pairs[4] = {};
  ASSERT_EQ(reg.ReadBinaryData("AutoTune", pairs, sizeof pairs), static_cast<int32_t>(sizeof pairs));
  EXPECT_EQ(pairs[0], 3);
  EXPECT_EQ(pairs[1], TvChannelFrequency(31, TunerInputCable, 3));
  EXPECT_EQ(pairs[2], 4);
  reg.CloseKey();

  // The stored table wins over the built-in one, and an override key over both.
  reg.SetAccess(rtl::KEY_ALL_ACCESS);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS31-1", false));
  const int32_t tuned[2] = {4, 62'000'000};
  reg.WriteBinaryData("AutoTune", tuned, sizeof tuned);
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\TV System Services\\TVAutoTune\\TS99990031-1", true));
  reg.WriteInteger("4", 123'456'789);
  reg.CloseKey();
  LONG hz = 0;
  ASSERT_EQ(t.put_Channel(4, -1, -1), S_OK);
  ASSERT_EQ(t.get_VideoFrequency(&hz), S_OK);
  EXPECT_EQ(hz, 62'000'000);
  ASSERT_EQ(t.put_TuningSpace(99990031), S_OK);
  ASSERT_EQ(t.get_VideoFrequency(&hz), S_OK);
  EXPECT_EQ(hz, 123'456'789);
  ASSERT_EQ(t.put_Channel(3, -1, -1), S_OK);  // no override for it
  ASSERT_EQ(t.get_VideoFrequency(&hz), S_OK);
  EXPECT_EQ(hz, TvChannelFrequency(31, TunerInputCable, 3));
}

TEST(SimTv, CardStreamsAndItsUpstreamFiltersGoWithIt) {
  std::weak_ptr<BaseFilter> tuner;
  {
    auto card = MakeCard();
    tuner = card->Tuner();
    DeviceRun run(card, card->Output());
    ASSERT_EQ(run.connected, S_OK);
    ASSERT_EQ(run.graph->Run(), S_OK);
    run.scheduler->Pump(2);
    EXPECT_EQ(run.sink->Samples().size(), 2u);
    EXPECT_EQ(run.sink->Samples()[0].bytes.size(), 320u * 240u * 2u);
  }
  EXPECT_TRUE(tuner.expired());
}

TEST(SimTv, RenderingTheCaptureFilterKeepsItsUpstreamFilters) {
  auto card = MakeCard();
  auto graph = FilterGraph::Create();
  graph->SetScheduler(std::make_shared<ManualScheduler>());
  ASSERT_EQ(graph->AddFilter(card, "Video Capture"), S_OK);
  auto builder = CaptureGraphBuilder::Create();
  ASSERT_EQ(builder->SetFiltergraph(graph), S_OK);
  ASSERT_TRUE(SUCCEEDED(builder->RenderStream(nullptr, nullptr, card, nullptr, nullptr)));
  EXPECT_TRUE(card->Output()->IsConnected());
  std::shared_ptr<IAMTVTuner> tuner;
  EXPECT_EQ(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, std::shared_ptr<BaseFilter>(card), &tuner), S_OK);
  EXPECT_EQ(tuner.get(), static_cast<IAMTVTuner*>(card->Tuner().get()));
}
