// The audio side of the capture control on the simulated sound card: the
// PCM table and its names, the chosen format arriving at the renderer,
// the card's inputs and their mixer, and the speaker line.
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/VcEngine.h"
#include "capture/VcFormats.h"
#include "capture/VcProperties.h"
#include "capture/tests/VidCapTestUtil.h"
#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/mg/sim/SimStandIns.h"

namespace {

using namespace capture;
using captest::LogEntry;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t eol = text.find("\r\n", pos);
    out.push_back(text.substr(pos, eol - pos));
    if (eol == std::string::npos) break;
    pos = eol + 2;
  }
  return out;
}

class VcAudio : public captest::VidCapFixture {
protected:
  void SetUp() override {
    VidCapFixture::SetUp();
    mg::ff::AudioRenderer::ForceNullOutput(true);
    SetGraphSchedulerFactory([this] {
      scheduler = std::make_shared<mg::ManualScheduler>();
      return scheduler;
    });
  }
  void TearDown() override {
    mg::ff::AudioRenderer::ForceNullOutput(false);
    VidCapFixture::TearDown();
  }
  // A camera and a sound card, the control previewing with sound.
  TVidCap* SoundControl(const mg::sim::AudioOptions& audio = {}) {
    PlugCameras(1);
    PlugIn(audio);
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_Disabled);
    vc->SetAudioDeviceRendering(true);
    vc->Engine()->BindVideoDevice();
    vc->Engine()->BindAudioDevice();
    return vc;
  }
  static std::shared_ptr<mg::ff::AudioRenderer> AudioRenderer(const TVcEngine& e) {
    for (const auto& f : e.FilterGraph->Filters())
      if (auto r = std::dynamic_pointer_cast<mg::ff::AudioRenderer>(f)) return r;
    return nullptr;
  }
  static std::shared_ptr<mg::sim::SimAudioCard> Card(const TVcEngine& e) {
    return std::dynamic_pointer_cast<mg::sim::SimAudioCard>(e.AudioDeviceFilter);
  }
  std::shared_ptr<mg::ManualScheduler> scheduler;
};

TEST_F(VcAudio, FormatTableAndItsNames) {
  struct Case {
    TAudioFormat format;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits, align;
    uint32_t bytes;
  };
  for (const Case& c : {Case{af_44100_16b_2ch, 2, 44100, 16, 4, 176400}, Case{af_8000_8b_1ch, 1, 8000, 8, 1, 8000},
                        Case{af_default, 2, 22050, 16, 4, 88200}, Case{af_11025_8b_2ch, 2, 11025, 8, 2, 22050}}) {
    mg::WAVEFORMATEX wave;
    wave.wFormatTag = 0x55;
    wave.cbSize = 9;
    FillWaveFormat(c.format, wave);
    EXPECT_EQ(wave.nChannels, c.channels) << c.format;
    EXPECT_EQ(wave.nSamplesPerSec, c.rate) << c.format;
    EXPECT_EQ(wave.wBitsPerSample, c.bits) << c.format;
    EXPECT_EQ(wave.nBlockAlign, c.align) << c.format;
    EXPECT_EQ(wave.nAvgBytesPerSec, c.bytes) << c.format;
    EXPECT_EQ(std::make_pair(wave.wFormatTag, wave.cbSize), std::make_pair(uint16_t{0x55}, uint16_t{9}));
  }
  // The names and the table agree line for line, so a line index is a value.
  SetTextLookup([](const String& key, const String& english) { return key == "IDS_MAIN_COMBO_PATH_1" ? "Vorgabe" : english; });
  const auto names = SplitLines(AudioFormatNames());
  SetTextLookup(nullptr);
  ASSERT_EQ(names.size(), 29u);
  EXPECT_EQ(names[0], "Vorgabe");
  EXPECT_EQ(names[1], "8000 Hz, 8-bit Mono");
  EXPECT_EQ(names[28], "48000 Hz, 16-bit Stereo");
  for (int v = 1; v <= 28; ++v) {
    const TAudioFormatSpec s = AudioFormatSpec(static_cast<TAudioFormat>(v));
    EXPECT_EQ(names[static_cast<size_t>(v)], std::to_string(s.Rate) + " Hz, " + std::to_string(s.Bits) + "-bit " +
                                                 (s.Channels == 1 ? "Mono" : "Stereo"));
  }
}

TEST_F(VcAudio, TheChosenFormatIsWhatArrivesAtTheRenderer) {
  TVidCap* vc = SoundControl();
  TVcEngine& e = *vc->Engine();
  struct Case {
    TAudioFormat format;
    uint32_t rate;
    uint16_t channels;
  };
  // af_default leaves the card's own 44.1 kHz stereo.
  for (const Case& c : {Case{af_8000_16b_1ch, 8000, 1}, Case{af_48000_16b_2ch, 48000, 2}, Case{af_default, 44100, 2}}) {
    SCOPED_TRACE(c.rate);
    vc->SetAudioFormat(c.format);
    ASSERT_TRUE(vc->StartPreview());
    auto renderer = AudioRenderer(e);
    ASSERT_NE(renderer, nullptr);
    mg::AM_MEDIA_TYPE mt;
    ASSERT_EQ(renderer->Input()->ConnectionMediaType(&mt), mg::S_OK);
    const auto* wave = mt.FormatAs<mg::WAVEFORMATEX>();
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->nSamplesPerSec, c.rate);
    EXPECT_EQ(wave->nChannels, c.channels);
    // One second of sound is one second's worth of samples.
    scheduler->AdvanceTo(mg::UNITS);
    EXPECT_EQ(renderer->BytesRendered(), int64_t(c.rate) * c.channels * 2);
    EXPECT_TRUE(vc->Stop());
  }
  EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](const LogEntry& l) { return l.type == w_set_audio_format; }));
}

TEST_F(VcAudio, OnlyAPcmCardTakesTheChosenFormat) {
  mg::AM_MEDIA_TYPE mpeg;
  mpeg.majortype = mg::MEDIATYPE_Audio;
  mpeg.subtype = mg::MEDIASUBTYPE_MPEG1AudioPayload;
  mg::WAVEFORMATEX wave;
  wave.wFormatTag = mg::WAVE_FORMAT_MPEG;
  wave.nChannels = 2;
  wave.nSamplesPerSec = 48000;
  mpeg.SetFormat(mg::FORMAT_WaveFormatEx, wave);
  TVcEngine& e = *MakeControl()->Engine();
  struct Case {
    const char* name;
    bool pcm;
    TAudioFormat format;
    uint16_t tag;
    uint32_t rate;
    bool warned;
  };
  for (const Case& c : {Case{"mpeg card", false, af_8000_16b_1ch, mg::WAVE_FORMAT_MPEG, 48000, true},
                        Case{"default format", true, af_default, mg::WAVE_FORMAT_PCM, 44100, false},
                        Case{"pcm card", true, af_16000_8b_2ch, mg::WAVE_FORMAT_PCM, 16000, false}}) {
    SCOPED_TRACE(c.name);
    mg::sim::AudioOptions options;
    if (!c.pcm) options.initial = mpeg;
    auto card = std::make_shared<mg::sim::SimAudioCard>(std::make_shared<mg::sim::DevicePresence>(), options);
    log.clear();
    e.AudioFormat = c.format;
    e.ApplyAudioFormat(card->Output());
    const mg::AM_MEDIA_TYPE current = card->CurrentFormat();
    const auto* now = current.FormatAs<mg::WAVEFORMATEX>();
    EXPECT_EQ(now->wFormatTag, c.tag);
    EXPECT_EQ(now->nSamplesPerSec, c.rate);
    const std::vector<LogEntry> warning = {{w_set_audio_format, "WARNING", "audio format applies only to PCM"}};
    EXPECT_EQ(log, c.warned ? warning : std::vector<LogEntry>{});
  }
}

TEST_F(VcAudio, DiscoveryListsTheInputsAndTellsASoundCard) {
  for (bool four : {false, true}) {
    SCOPED_TRACE(four);
    ResetComponent();
    UnplugAll();
    mg::sim::AudioOptions options;
    options.fourInputs = four;
    TVidCap* vc = SoundControl(options);
    TVcEngine& e = *vc->Engine();
    EXPECT_TRUE(e.DeviceSettings.Audio[ads_DeviceDiscovered].BoolValue);
    EXPECT_EQ(e.DeviceSettings.Audio[ads_AIsSoundCard].BoolValue, !four) << "five inputs make a sound card";
    const auto inputs = SplitLines(vc->GetAudioInputs());
    ASSERT_EQ(inputs.size(), four ? 4u : 5u);
    EXPECT_EQ(inputs[0], "Line");
    EXPECT_EQ(inputs[1], "Microphone");
    EXPECT_EQ(e.DeviceSettings.Audio[ads_AudioInputName].StrValue, "Line") << "the first input is chosen";
    EXPECT_EQ(e.AudioDeviceFilter, nullptr) << "discovery leaves no graph";
    delete vc;
  }
}

TEST_F(VcAudio, TheChosenInputAloneIsEnabledAndTakesTheLevels) {
  TVidCap* vc = SoundControl();
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  auto card = Card(e);
  ASSERT_NE(card, nullptr);
  const auto pins = card->InputPins();
  int selected = 0;
  vc->OnAudioDeviceSelected = [&](forms::TObject*) { ++selected; };
  vc->SetAudioInput(1);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(e.DeviceSettings.Audio[ads_AudioInputName].StrValue, "Microphone");
  EXPECT_FALSE(pins[0]->Snapshot().enable);
  EXPECT_EQ(pins[0]->Snapshot().level, 0.0);
  EXPECT_TRUE(pins[1]->Snapshot().enable);
  EXPECT_EQ(e.InputMixer, std::dynamic_pointer_cast<mg::IAMAudioInputMixer>(pins[1]));

  const double cardLevel = card->Snapshot().level;
  struct Case {
    int32_t level, balance;
    double mix, pan;
  };
  for (const Case& c : {Case{65535, -32768, 1.0, -1.0}, Case{0, 32767, 0.0, 1.0}, Case{32768, 0, 32768 / 65535.0, 0.0}}) {
    vc->SetAudioInputLevel(c.level);
    vc->SetAudioInputBalance(c.balance);
    EXPECT_DOUBLE_EQ(pins[1]->Snapshot().level, c.mix) << c.level;
    EXPECT_DOUBLE_EQ(pins[1]->Snapshot().pan, c.pan) << c.balance;
  }
  EXPECT_GT(PanOf(-16384), -1.0);
  EXPECT_LT(PanOf(-16384), 0.0);
  EXPECT_EQ(card->Snapshot().level, cardLevel) << "the pin took every call, the card none";

  // Without a pin's mixer the card's own takes the levels.
  e.InputMixer.reset();
  vc->SetAudioInputLevel(65535);
  EXPECT_EQ(card->Snapshot().level, 1.0);

  log.clear();
  vc->SetAudioInputLevel(70000);
  vc->SetAudioInputBalance(-40000);
  EXPECT_EQ(log, (std::vector<LogEntry>{{e_value_out_of_range, "ERROR", "Audio level value out of range"},
                                        {e_value_out_of_range, "ERROR", "Audio Balance value out of range"}}));
  EXPECT_EQ(vc->GetAudioInputLevel(), 65535);
  EXPECT_EQ(vc->GetAudioInputBalance(), 0);
}

TEST_F(VcAudio, SpeakerArithmeticStaysInsideTheLine) {
  struct Write {
    int32_t volume, balance;
    uint32_t left, right;
  };
  // At full volume and centre the right channel would come to 65537:
  // held at the top of the line instead.
  for (const Write& c : {Write{50000, 16384, 24999, 50000}, Write{50000, -16384, 50000, 25001},
                         Write{50000, 0, 50000, 50002}, Write{65535, 0, 65535, 65535}, Write{65535, -1, 65535, 65535},
                         Write{65535, 32767, 0, 65535}, Write{65535, -32768, 65535, 0}, Write{0, 0, 0, 0}}) {
    uint32_t left = 0, right = 0;
    SpeakerChannelsOf(c.volume, c.balance, left, right);
    EXPECT_EQ(std::make_pair(left, right), std::make_pair(c.left, c.right)) << c.volume << " " << c.balance;
  }
  struct Read {
    uint32_t left, right;
    int32_t volume, balance;
  };
  for (const Read& c : {Read{50000, 25000, 50000, -16384}, Read{25000, 50000, 50000, 16384}, Read{300, 300, 300, 0},
                        Read{65535, 0, 65535, -32768}, Read{0, 65535, 65535, 32767}}) {
    int32_t volume = 0, balance = 0;
    SpeakerLevelsOf(c.left, c.right, volume, balance);
    EXPECT_EQ(std::make_pair(volume, balance), std::make_pair(c.volume, c.balance)) << c.left << " " << c.right;
  }
  int32_t v = 0, b = 0;
  EXPECT_FALSE(GetSpeakerLevels(v, b)) << "no mixer";
  EXPECT_FALSE(SetSpeakerLevels(1, 0));
  mg::sim::ScopedSpeakerMixer scoped;
  EXPECT_TRUE(SetSpeakerLevels(65535, 0));
  EXPECT_EQ(scoped.mixer().History().back(), std::make_pair(65535u, 65535u));
  scoped.mixer().SetPresent(false);
  EXPECT_FALSE(SetSpeakerLevels(1, 0));
}

TEST_F(VcAudio, SpeakerLevelsAreSavedAtTheStartAndGivenBackAtTheEnd) {
  for (bool control : {true, false}) {
    SCOPED_TRACE(control);
    ResetComponent();
    UnplugAll();
    mg::sim::ScopedSpeakerMixer scoped(std::make_shared<mg::sim::SimSpeakerMixer>(40000, 20000));
    TVidCap* vc = SoundControl();
    vc->SetSpeakerControl(control);
    ASSERT_TRUE(vc->StartPreview());
    vc->SetMuteAudioRendering(true);
    EXPECT_TRUE(vc->Stop());
    using Levels = std::vector<std::pair<uint32_t, uint32_t>>;
    // The saved pair goes back through the same arithmetic, whose 32767
    // divisors move the quieter side by one.
    const Levels expected = control ? Levels{{0, 0}, {40000, 20001}} : Levels{};
    EXPECT_EQ(scoped.mixer().History(), expected);
    delete vc;
  }
}

}  // namespace
