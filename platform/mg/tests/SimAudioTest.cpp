#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "platform/mg/tests/SimTestSupport.h"

using namespace mg;
using namespace mg::sim;
using namespace mg::simtest;

namespace {

std::shared_ptr<SimAudioCard> MakeCard(AudioOptions o = {}) {
  return std::make_shared<SimAudioCard>(std::make_shared<DevicePresence>(), o);
}

struct Stereo {
  std::vector<double> left, right;
};

// Buffer `index` of a 16-bit card as samples in -1..1.
Stereo Samples16(const SimAudioCard& card, int64_t index) {
  std::vector<uint8_t> buf(48000 * 4);
  const uint32_t n = card.RenderBuffer(index, buf.data(), static_cast<uint32_t>(buf.size()));
  const AM_MEDIA_TYPE mt = card.CurrentFormat();
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  Stereo s;
  for (uint32_t at = 0; at + wf->nBlockAlign <= n; at += wf->nBlockAlign) {
    auto v = [&](int c) { return static_cast<int16_t>(buf[at + c * 2] | (buf[at + c * 2 + 1] << 8)) / 32767.0; };
    s.left.push_back(v(0));
    s.right.push_back(wf->nChannels == 2 ? v(1) : v(0));
  }
  return s;
}

double Peak(const std::vector<double>& v) {
  double p = 0;
  for (double x : v) p = std::max(p, std::fabs(x));
  return p;
}

// Energy of the signal at `freq` (Goertzel), relative to the signal's own.
double ShareAt(const std::vector<double>& v, double freq, double rate) {
  const double w = 2 * M_PI * freq / rate;
  double s1 = 0, s2 = 0;
  for (double x : v) {
    const double s0 = x + 2 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2;
  const double total = std::inner_product(v.begin(), v.end(), v.begin(), 0.0);
  return total > 0 ? 2 * power / (total * static_cast<double>(v.size())) : 0;
}

}  // namespace

TEST(SimAudio, FiveInputsMakeASoundCardAndTheVariantHasFour) {
  auto card = MakeCard();
  std::vector<std::string> names;
  for (auto& p : card->InputPins()) names.push_back(p->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"Line", "Microphone", "CD", "Aux", "Video"}));
  AudioOptions four;
  four.fourInputs = true;
  EXPECT_EQ(MakeCard(four)->InputPins().size(), 4u);
  // Every input answers as an input mixer; the card itself has one too.
  for (auto& p : card->InputPins()) EXPECT_TRUE(mg::QueryInterface<IAMAudioInputMixer>(std::static_pointer_cast<Pin>(p)));
  EXPECT_TRUE(mg::QueryInterface<IAMAudioInputMixer>(std::static_pointer_cast<BaseFilter>(card)));
}

TEST(SimAudio, StreamConfigOffersEveryPcmFormat) {
  auto card = MakeCard();
  auto config = mg::QueryInterface<IAMStreamConfig>(card->Output());
  ASSERT_TRUE(config);
  AM_MEDIA_TYPE mt;
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  const WAVEFORMATEX* wf = mt.FormatAs<WAVEFORMATEX>();
  EXPECT_EQ(wf->nSamplesPerSec, 44100u);
  EXPECT_EQ(wf->wBitsPerSample, 16);
  EXPECT_EQ(wf->nChannels, 2);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 28);
  EXPECT_EQ(size, static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)));
  std::set<std::tuple<uint32_t, uint16_t, uint16_t>> seen;
  for (int i = 0; i < count; ++i) {
    AUDIO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<uint8_t*>(&caps)), S_OK);
    wf = mt.FormatAs<WAVEFORMATEX>();
    ASSERT_EQ(wf->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(caps.MaximumSampleFrequency, wf->nSamplesPerSec);
    seen.insert({wf->nSamplesPerSec, wf->wBitsPerSample, wf->nChannels});
    EXPECT_EQ(config->SetFormat(&mt), S_OK);
  }
  EXPECT_EQ(seen.size(), 28u);
  const AM_MEDIA_TYPE odd = MakePcmAudioType(96000, 2, 16);
  EXPECT_EQ(config->SetFormat(&odd), VFW_E_INVALIDMEDIATYPE);
}

TEST(SimAudio, SelectedInputIsRecognisedByItsTone) {
  auto card = MakeCard();
  const auto pins = card->InputPins();
  for (size_t i = 0; i < pins.size(); ++i) {
    ASSERT_EQ(pins[i]->put_Enable(1), S_OK);
    // One input records at a time.
    for (size_t j = 0; j < pins.size(); ++j) {
      BOOL on = 0;
      pins[j]->get_Enable(&on);
      EXPECT_EQ(on != 0, i == j);
    }
    const Stereo s = Samples16(*card, 3);
    ASSERT_EQ(s.left.size(), 4410u);
    for (size_t j = 0; j < pins.size(); ++j)
      EXPECT_EQ(ShareAt(s.left, AudioInputs()[j].frequency, 44100) > 0.9, i == j) << "input " << i << " tone " << j;
    EXPECT_NEAR(Peak(s.left), 0.5, 0.01);
  }
}

TEST(SimAudio, MixLevelScalesAndPanSplitsTheChannels) {
  struct Case {
    double level, pan;
    bool mono;
    double left, right;
  };
  const Case cases[] = {
      {1.0, 0.0, false, 0.5, 0.5},   {0.5, 0.0, false, 0.25, 0.25}, {1.0, -1.0, false, 0.5, 0.0},
      {1.0, 0.5, false, 0.25, 0.5},  {1.0, -1.0, true, 0.25, 0.25}, {0.0, 0.0, false, 0.0, 0.0},
      {-1.0, 0.0, false, 0.5, 0.5},  // automatic gain settles at full level
  };
  for (const Case& c : cases) {
    auto card = MakeCard();
    auto line = card->InputPins()[0];
    ASSERT_EQ(line->put_MixLevel(c.level), S_OK);
    ASSERT_EQ(line->put_Pan(c.pan), S_OK);
    ASSERT_EQ(line->put_Mono(c.mono), S_OK);
    const Stereo s = Samples16(*card, 0);
    EXPECT_NEAR(Peak(s.left), c.left, 0.01) << c.level << " " << c.pan;
    EXPECT_NEAR(Peak(s.right), c.right, 0.01) << c.level << " " << c.pan;
  }
  auto card = MakeCard();
  EXPECT_EQ(card->InputPins()[0]->put_MixLevel(1.5), E_INVALIDARG);
  EXPECT_EQ(card->InputPins()[0]->put_Pan(-2), E_INVALIDARG);
  // The card's own mixer scales whatever the inputs give.
  ASSERT_EQ(card->put_MixLevel(0.5), S_OK);
  EXPECT_NEAR(Peak(Samples16(*card, 0).left), 0.25, 0.01);
}

TEST(SimAudio, BuffersRunOnWithoutLosingSamples) {
  auto card = MakeCard();
  auto config = mg::QueryInterface<IAMStreamConfig>(card->Output());
  const AM_MEDIA_TYPE mt = MakePcmAudioType(11025, 1, 8);
  ASSERT_EQ(config->SetFormat(&mt), S_OK);
  DeviceRun run(card, card->Output());
  ASSERT_EQ(run.connected, S_OK);
  ASSERT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(10);
  const auto samples = run.sink->Samples();
  ASSERT_EQ(samples.size(), 10u);
  std::vector<uint8_t> all;
  for (size_t k = 0; k < samples.size(); ++k) {
    EXPECT_EQ(samples[k].start, static_cast<REFERENCE_TIME>(k) * SimAudioCard::kBufferPeriod);
    all.insert(all.end(), samples[k].bytes.begin(), samples[k].bytes.end());
  }
  // A second of 8-bit audio, centred on 128, one 440 Hz tone from end to end.
  ASSERT_EQ(all.size(), 11025u);
  std::vector<double> v;
  for (uint8_t b : all) v.push_back((b - 128) / 127.0);
  EXPECT_GT(ShareAt(v, 440, 11025), 0.95);
  EXPECT_NEAR(Peak(v), 0.5, 0.01);
}

TEST(SimAudio, ConfiguredNonPcmFormatDeliversSilenceOfThatFormat) {
  AudioOptions o;
  AM_MEDIA_TYPE mp2;
  mp2.majortype = MEDIATYPE_Audio;
  mp2.subtype = MEDIASUBTYPE_MPEG1AudioPayload;
  MPEG1WAVEFORMAT wf;
  wf.wfx.wFormatTag = WAVE_FORMAT_MPEG;
  wf.wfx.nChannels = 2;
  wf.wfx.nSamplesPerSec = 48000;
  wf.wfx.nBlockAlign = 1;
  wf.wfx.nAvgBytesPerSec = 24000;
  wf.fwHeadLayer = ACM_MPEG_LAYER2;
  mp2.SetFormat(FORMAT_WaveFormatEx, wf);
  o.initial = mp2;
  auto card = MakeCard(o);
  AM_MEDIA_TYPE now;
  ASSERT_EQ(mg::QueryInterface<IAMStreamConfig>(card->Output())->GetFormat(&now), S_OK);
  EXPECT_EQ(now.subtype, MEDIASUBTYPE_MPEG1AudioPayload);
  std::vector<uint8_t> buf(10000, 0xAA);
  EXPECT_EQ(card->RenderBuffer(0, buf.data(), static_cast<uint32_t>(buf.size())), 4800u);
  EXPECT_EQ(buf[0], 0);
}
