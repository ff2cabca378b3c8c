// The audio renderer's volume and balance, and audio through RenderFile.
#include <gtest/gtest.h>

#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace mg {
namespace {

class FfAudio : public ::testing::Test {
protected:
  void SetUp() override {
    ff::RegisterFfmpegFilters();
    // Tests must not depend on (or disturb) a sound card.
    ff::AudioRenderer::ForceNullOutput(true);
  }
  void TearDown() override { ff::AudioRenderer::ForceNullOutput(false); }
};

// A stereo source whose every sample is 10000 on both sides.
std::shared_ptr<CallbackSource> FlatStereo() {
  AM_MEDIA_TYPE mt = MakePcmAudioType(8000, 2, 16);
  mt.lSampleSize = 320 * 4;
  return std::make_shared<CallbackSource>(mt, test::kPeriod, [](uint8_t* buf, long size, int64_t) {
    auto* s = reinterpret_cast<int16_t*>(buf);
    for (long i = 0; i < size / 2; ++i) s[i] = 10000;
    return size;
  });
}

TEST_F(FfAudio, VolumeAndBalanceScaleEachSideInHundredthsOfADecibel) {
  struct Case {
    LONG volume, balance;
    int left, right;
  };
  for (const Case& c : {Case{0, 0, 10000, 10000}, Case{-600, 0, 5012, 5012}, Case{-10000, 0, 0, 0},
                        Case{0, 2000, 1000, 10000}, Case{0, -600, 10000, 5012}, Case{-600, 10000, 0, 5012}}) {
    SCOPED_TRACE(testing::Message() << c.volume << " " << c.balance);
    test::ManualGraph g;
    auto src = FlatStereo();
    auto r = std::make_shared<ff::AudioRenderer>();
    ASSERT_EQ(r->put_Volume(c.volume), S_OK);
    ASSERT_EQ(r->put_Balance(c.balance), S_OK);
    g.graph->AddFilter(src, "Tone");
    g.graph->AddFilter(r, "Speaker");
    ASSERT_EQ(g.graph->ConnectDirect(src->Output(), r->Input(), nullptr), S_OK);
    g.graph->Run();
    g.scheduler->Pump(2);
    EXPECT_TRUE(r->IsNullOutput());
    EXPECT_EQ(r->BytesRendered(), 2 * 320 * 4);
    auto last = r->LastBuffer();
    ASSERT_EQ(last.size(), 640u);
    EXPECT_NEAR(last[0], c.left, 1);
    EXPECT_NEAR(last[1], c.right, 1);
    g.graph->Stop();
  }
  ff::AudioRenderer r;
  EXPECT_EQ(r.put_Volume(1), E_INVALIDARG);
  EXPECT_EQ(r.put_Volume(-10001), E_INVALIDARG);
  EXPECT_EQ(r.put_Balance(10001), E_INVALIDARG);
}

TEST_F(FfAudio, RenderFileRendersSoundThroughTheGraphsBasicAudio) {
  fftest::TempDir dir;
  const std::string file = dir / "av.avi";
  ASSERT_TRUE(fftest::MakeClip(file, "-f lavfi -i testsrc=size=96x64:rate=25:duration=1 -f lavfi -i "
                                     "sine=frequency=440:sample_rate=22050:duration=1 -c:v mjpeg -c:a mp2"));
  test::ManualGraph g;
  ASSERT_EQ(g.graph->RenderFile(file, ""), S_OK);
  auto audio = QueryInterface<IBasicAudio>(g.graph);
  ASSERT_TRUE(audio);
  EXPECT_EQ(audio->put_Volume(-10000), S_OK);  // mute
  std::shared_ptr<ff::AudioRenderer> renderer;
  for (auto& f : g.graph->Filters())
    if (auto r = std::dynamic_pointer_cast<ff::AudioRenderer>(f)) renderer = r;
  ASSERT_TRUE(renderer);
  g.graph->Run();
  g.scheduler->Pump(40);
  long code = 0;
  EXPECT_EQ(g.graph->WaitForCompletion(0, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // A second of 22050 Hz mono, 16 bits, give or take the codec's padding.
  EXPECT_NEAR(static_cast<double>(renderer->BytesRendered()), 44100.0, 44100 * 0.06);
  for (int16_t s : renderer->LastBuffer()) ASSERT_EQ(s, 0);
  g.graph->Stop();
}

}  // namespace
}  // namespace mg
