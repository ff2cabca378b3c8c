// ALSA capture and playback for real, through ALSA's own userspace
// plugins in a private configuration: the `file` plugin reads a tone made
// by ffmpeg as the capture and writes what is played to a file, over the
// `null` plugin, so no sound card is needed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "SimTestSupport.h"
#include "platform/mg/alsa/AlsaCapture.h"
#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace {

using namespace mg;
using namespace mg::alsa;
namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class AlsaPlugins : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vorix-alsa-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const char* old = std::getenv("ALSA_CONFIG_PATH");
    hadOld = old != nullptr;
    if (old) oldPath = old;
  }
  void TearDown() override {
    if (hadOld)
      ::setenv("ALSA_CONFIG_PATH", oldPath.c_str(), 1);
    else
      ::unsetenv("ALSA_CONFIG_PATH");
    fs::remove_all(dir);
  }
  // A tone of `seconds` by ffmpeg in the sample format, as raw samples.
  fs::path Tone(const std::string& sampleFormat, int rate, int channels, double seconds) {
    const fs::path wav = dir / "tone.wav", raw = dir / ("tone-" + sampleFormat + ".raw");
    simtest::RunCommand("ffmpeg -v error -y -f lavfi -i 'sine=frequency=440:duration=" + std::to_string(seconds) +
                        "' -ac " + std::to_string(channels) + " -ar " + std::to_string(rate) + " -c:a pcm_" +
                        sampleFormat + " '" + wav.string() + "'");
    // ffmpeg's own decode of the WAV is what the capture must give back.
    simtest::RunCommand("ffmpeg -v error -y -i '" + wav.string() + "' -f " + sampleFormat + " '" + raw.string() + "'");
    return raw;
  }
  // The PCMs "vorixcapture" (reads `infile`) and "default" (writes `outfile`).
  // Each configuration gets a file of its own: ALSA keeps its parsed
  // configuration until the file list changes, and a file rewritten within
  // the same second can look unchanged to it.
  void Configure(const fs::path& infile, const fs::path& outfile) {
    const fs::path conf = dir / ("asound-" + std::to_string(++configs) + ".conf");
    std::ofstream(conf) << "pcm.vorixcapture {\n  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n"
                        << "  infile \"" << infile.string() << "\"\n  format \"raw\"\n}\n"
                        << "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" << outfile.string()
                        << "\"\n  format \"raw\"\n}\n";
    ::setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);
  }
  std::shared_ptr<AlsaCaptureFilter> Bind(AlsaDeviceProvider& provider) {
    auto list = provider.Enumerate(CLSID_AudioInputDeviceCategory);
    std::shared_ptr<BaseFilter> f;
    if (list.size() != 1 || list[0]->BindToObject(&f) != S_OK) return nullptr;
    return std::dynamic_pointer_cast<AlsaCaptureFilter>(f);
  }
  static AlsaDeviceProvider TestCard(const std::string& id = "test") {
    return AlsaDeviceProvider([id] { return std::vector<CaptureCard>{{"vorixcapture", id, "Test Microphone", ""}}; });
  }
  fs::path dir;
  int configs = 0;
  bool hadOld = false;
  std::string oldPath;
};

TEST_F(AlsaPlugins, CaptureGivesTheFilesSamplesInEachFormat) {
  struct Case {
    const char* sampleFormat;
    int rate, channels, bits;
  };
  for (const Case& c : {Case{"s16le", 44100, 2, 16}, Case{"u8", 8000, 1, 8}, Case{"s16le", 22050, 1, 16}}) {
    SCOPED_TRACE(c.rate);
    const fs::path raw = Tone(c.sampleFormat, c.rate, c.channels, 1.0);
    Configure(raw, dir / "played.raw");
    AlsaDeviceProvider provider = TestCard();
    auto card = Bind(provider);
    ASSERT_NE(card, nullptr);
    EXPECT_TRUE(card->InputPins().empty()) << "no mixer behind the plugin";
    const AM_MEDIA_TYPE mt = MakePcmAudioType(static_cast<uint32_t>(c.rate), static_cast<uint16_t>(c.channels),
                                              static_cast<uint16_t>(c.bits));
    ASSERT_EQ(QueryInterface<IAMStreamConfig>(card->Output())->SetFormat(&mt), S_OK);
    simtest::DeviceRun run(card, card->Output());
    ASSERT_EQ(run.connected, S_OK);
    ASSERT_EQ(run.graph->Run(), S_OK);
    run.scheduler->Pump(5);
    std::vector<uint8_t> got;
    std::vector<REFERENCE_TIME> starts;
    for (auto& s : run.sink->Samples()) {
      got.insert(got.end(), s.bytes.begin(), s.bytes.end());
      starts.push_back(s.start);
    }
    run.graph->Stop();
    const size_t bytes = static_cast<size_t>(c.rate / 10) * static_cast<size_t>(c.channels * c.bits / 8) * 5;
    const std::vector<uint8_t> want = ReadAll(raw);
    ASSERT_EQ(got.size(), bytes);
    ASSERT_GE(want.size(), bytes);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin())) << "the samples are the file's";
    EXPECT_EQ(starts, (std::vector<REFERENCE_TIME>{0, 1'000'000, 2'000'000, 3'000'000, 4'000'000}));
  }
}

TEST_F(AlsaPlugins, TheStreamConfigOffersThePcmFormatsAndRefusesOthers) {
  Configure(Tone("s16le", 44100, 2, 0.2), dir / "played.raw");
  AlsaDeviceProvider provider = TestCard();
  auto list = provider.Enumerate(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(list.size(), 1u);
  std::string name;
  list[0]->Properties().Read("FriendlyName", &name);
  EXPECT_EQ(name, "Test Microphone");
  EXPECT_EQ(list[0]->DisplayName(), "@alsa:test");
  EXPECT_TRUE(provider.Enumerate(CLSID_VideoInputDeviceCategory).empty());
  auto card = Bind(provider);
  auto config = QueryInterface<IAMStreamConfig>(card->Output());
  int count = 0, size = 0;
  config->GetNumberOfCapabilities(&count, &size);
  EXPECT_EQ(count, 28);
  EXPECT_EQ(size, static_cast<int>(sizeof(AUDIO_STREAM_CONFIG_CAPS)));
  AM_MEDIA_TYPE now;
  config->GetFormat(&now);
  EXPECT_EQ(now.FormatAs<WAVEFORMATEX>()->nSamplesPerSec, 44100u);
  AM_MEDIA_TYPE odd = MakePcmAudioType(44100, 2, 24);
  EXPECT_EQ(config->SetFormat(&odd), VFW_E_INVALIDMEDIATYPE);
  odd = MakePcmAudioType(96000, 2, 16);
  EXPECT_EQ(config->SetFormat(&odd), VFW_E_INVALIDMEDIATYPE);
}

TEST_F(AlsaPlugins, ARemovedCardIsReportedLostOnce) {
  Configure(Tone("s16le", 44100, 2, 1.0), dir / "played.raw");
  AlsaDeviceProvider provider = TestCard("hw:3,0");
  auto card = Bind(provider);
  ASSERT_NE(card, nullptr);
  simtest::DeviceRun run(card, card->Output());
  ASSERT_EQ(run.graph->Run(), S_OK);
  run.scheduler->Pump(1);
  provider.CardRemoved(2);  // another card
  run.scheduler->Pump(1);
  provider.CardRemoved(3);
  run.scheduler->Pump(3);
  int lost = 0;
  long code;
  intptr_t p1, p2;
  while (run.graph->GetEvent(&code, &p1, &p2, 0) == S_OK) lost += code == EC_DEVICE_LOST;
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(run.sink->Samples().size(), 2u);
  run.graph->Stop();
}

TEST_F(AlsaPlugins, TheAudioRendererPlaysToTheDefaultPcm) {
  const fs::path played = dir / "played.raw";
  Configure(Tone("s16le", 8000, 2, 0.2), played);
  ff::RegisterFfmpegFilters();
  ff::AudioRenderer::ForceNullOutput(false);
  {
    test::ManualGraph g;
    AM_MEDIA_TYPE mt = MakePcmAudioType(8000, 2, 16);
    mt.lSampleSize = 320 * 4;
    auto src = std::make_shared<CallbackSource>(mt, test::kPeriod, [](uint8_t* buf, long size, int64_t n) {
      auto* s = reinterpret_cast<int16_t*>(buf);
      for (long i = 0; i < size / 2; ++i) s[i] = static_cast<int16_t>(n * 1000 + i);
      return size;
    });
    auto r = std::make_shared<ff::AudioRenderer>();
    g.graph->AddFilter(src, "Tone");
    g.graph->AddFilter(r, "Speaker");
    ASSERT_EQ(g.graph->ConnectDirect(src->Output(), r->Input(), nullptr), S_OK);
    g.graph->Run();
    g.scheduler->Pump(3);
    EXPECT_FALSE(r->IsNullOutput()) << "the default PCM took the stream";
    g.graph->Stop();
  }
  const std::vector<uint8_t> out = ReadAll(played);
  ASSERT_GE(out.size(), 640u * 2);
  const auto* s = reinterpret_cast<const int16_t*>(out.data());
  for (int i = 0; i < 640; ++i) ASSERT_EQ(s[i], i) << i;
  EXPECT_EQ(s[640], 1000);
}

}  // namespace
