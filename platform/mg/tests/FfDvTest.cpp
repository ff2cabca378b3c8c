// The DV splitter on the simulated camcorder's interleaved stream, and DV
// written to AVI.
#include <gtest/gtest.h>

#include "platform/mg/ffmpeg/FfDecoder.h"
#include "platform/mg/ffmpeg/FfDvSplitter.h"
#include "platform/mg/sim/SimDv.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace mg {
namespace {

struct DvGraph {
  test::ManualGraph g;
  std::shared_ptr<sim::SimDvCamcorder> cam =
      std::make_shared<sim::SimDvCamcorder>(std::make_shared<sim::DevicePresence>(), sim::DvOptions{});
  std::shared_ptr<ff::FfDvSplitter> split = std::make_shared<ff::FfDvSplitter>();
  DvGraph() {
    ff::RegisterFfmpegFilters();
    g.graph->AddFilter(cam, "Camcorder");
    g.graph->AddFilter(split, "DV Splitter");
  }
};

TEST(FfDv, DvSplitterGivesPictureAndSoundOfTheCamcordersFrames) {
  DvGraph d;
  ASSERT_EQ(d.g.graph->ConnectDirect(d.cam->InterleavedPin(), d.split->Input(), nullptr), S_OK);
  auto video = std::make_shared<SampleGrabber>();
  auto audio = std::make_shared<SampleGrabber>();
  auto vsink = std::make_shared<NullRenderer>(), asink = std::make_shared<NullRenderer>();
  video->SetBufferSamples(1);
  audio->SetBufferSamples(1);
  for (auto& [f, n] : std::vector<std::pair<std::shared_ptr<BaseFilter>, const char*>>{
           {video, "V"}, {audio, "A"}, {vsink, "VS"}, {asink, "AS"}})
    d.g.graph->AddFilter(f, n);
  // Video reaches the grabber through the DV decoder, found by connection.
  ASSERT_EQ(d.g.graph->Connect(d.split->VideoOutput(), video->Input()), S_OK);
  ASSERT_EQ(d.g.graph->Connect(d.split->AudioOutput(), audio->Input()), S_OK);
  d.g.graph->ConnectDirect(video->Output(), vsink->Input(), nullptr);
  d.g.graph->ConnectDirect(audio->Output(), asink->Input(), nullptr);
  AM_MEDIA_TYPE vt, at;
  video->GetConnectedMediaType(&vt);
  audio->GetConnectedMediaType(&at);
  ASSERT_TRUE(vt.BitmapHeader());
  EXPECT_EQ(vt.BitmapHeader()->biWidth, 720);
  EXPECT_EQ(vt.BitmapHeader()->biHeight, 576);
  ASSERT_TRUE(at.FormatAs<WAVEFORMATEX>());
  EXPECT_EQ(at.FormatAs<WAVEFORMATEX>()->nSamplesPerSec, 48000u);
  EXPECT_EQ(at.FormatAs<WAVEFORMATEX>()->nChannels, 2);

  ASSERT_EQ(d.cam->put_Mode(ED_MODE_PLAY), S_OK);
  d.g.graph->Run();
  d.g.scheduler->Pump(10);
  d.g.graph->Stop();
  EXPECT_GE(video->Samples(), 8);
  EXPECT_EQ(audio->Samples(), video->Samples());
  // A PAL frame holds 1/25 s of 48 kHz stereo: 1920 samples, give or take
  // the locked-audio cycle.
  LONG bytes = 0;
  audio->GetCurrentBuffer(&bytes, nullptr);
  EXPECT_NEAR(bytes, 1920 * 4, 64 * 4);
  std::vector<uint8_t> pcm(static_cast<size_t>(bytes));
  audio->GetCurrentBuffer(&bytes, pcm.data());
  EXPECT_TRUE(std::any_of(pcm.begin(), pcm.end(), [](uint8_t b) { return b != 0; })) << "the tone is there";

  // Dropping alternate frames halves the video but keeps all the sound.
  const int64_t v0 = video->Samples(), a0 = audio->Samples();
  d.split->DiscardAlternateVideoFrames(1);
  d.g.graph->Run();
  d.g.scheduler->Pump(10);
  d.g.graph->Stop();
  EXPECT_NEAR(static_cast<double>(video->Samples() - v0), (audio->Samples() - a0) / 2.0, 1.0);
}

TEST(FfDv, DvFromTheCamcorderRecordsToAviThatFfprobeReads) {
  fftest::TempDir dir;
  const std::string file = dir / "dv.avi";
  DvGraph d;
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(d.g.graph);
  std::shared_ptr<BaseFilter> mux;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr), S_OK);
  ASSERT_EQ(d.g.graph->ConnectDirect(d.cam->InterleavedPin(), d.split->Input(), nullptr), S_OK);
  auto muxIn = [&] {
    for (auto& p : mux->Pins())
      if (p->Direction() == PINDIR_INPUT && !p->IsConnected()) return p;
    return std::shared_ptr<Pin>();
  };
  ASSERT_EQ(d.g.graph->ConnectDirect(d.split->VideoOutput(), muxIn(), nullptr), S_OK);
  ASSERT_EQ(d.g.graph->ConnectDirect(d.split->AudioOutput(), muxIn(), nullptr), S_OK);
  ASSERT_EQ(d.cam->put_Mode(ED_MODE_PLAY), S_OK);
  d.g.graph->Run();
  d.g.scheduler->Pump(25);
  d.g.graph->Stop();
  auto v = fftest::Probe(file, "v:0");
  EXPECT_EQ(v["codec_name"], "dvvideo");
  EXPECT_EQ(v["width"], "720");
  EXPECT_EQ(v["height"], "576");
  EXPECT_GE(std::stoi(v["nb_read_frames"].empty() ? "0" : v["nb_read_frames"]), 23);
  EXPECT_EQ(fftest::Probe(file, "a:0")["codec_name"], "pcm_s16le");
  EXPECT_GT(fftest::AudioSeconds(file, 48000), 0.9);
}

}  // namespace
}  // namespace mg
