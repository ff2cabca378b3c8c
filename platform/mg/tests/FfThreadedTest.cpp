// The FFmpeg filters on real streaming threads (run under the thread
// sanitizer too): two sources feeding one mux, and seeking while a clip
// plays.
#include <gtest/gtest.h>

#include "platform/mg/tests/FfTestSupport.h"

namespace mg {
namespace {

// Ends after `frames` buffers; period 0 so nothing waits for time.
FillFunction Limited(FillFunction inner, int64_t frames) {
  return [inner, frames](uint8_t* buf, long size, int64_t k) { return k < frames ? inner(buf, size, k) : -1L; };
}

TEST(FfThreaded, VideoAndAudioThreadsRecordIntoOneAviFile) {
  ff::RegisterFfmpegFilters();
  fftest::TempDir dir;
  const std::string file = dir / "t.avi";
  auto graph = FilterGraph::Create();
  graph->SetScheduler(std::make_shared<ThreadedScheduler>());
  auto builder = CaptureGraphBuilder::Create();
  builder->SetFiltergraph(graph);
  std::shared_ptr<BaseFilter> mux;
  ASSERT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Avi, file, &mux, nullptr), S_OK);
  auto cam = std::make_shared<CallbackSource>(MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, test::kPeriod), 0,
                                              Limited(fftest::PictureFill(64, 48), 30));
  AM_MEDIA_TYPE pcm = MakePcmAudioType(8000, 1, 16);
  pcm.lSampleSize = 640;
  auto mic = std::make_shared<CallbackSource>(pcm, 0, Limited([](uint8_t* b, long, int64_t k) {
    std::memset(b, static_cast<int>(k), 640);
    return 640L;
  }, 30));
  std::shared_ptr<BaseFilter> comp;
  ASSERT_EQ(ClassFactory::CreateInstance(ff::FindEncoder("mjpeg")->clsid, &comp), S_OK);
  graph->AddFilter(cam, "Camera");
  graph->AddFilter(mic, "Microphone");
  graph->AddFilter(comp, "MJPEG");
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, comp, mux), S_OK);
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic, nullptr, mux), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  long code = 0;
  ASSERT_EQ(graph->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  graph->Stop();
  EXPECT_EQ(fftest::Probe(file, "v:0")["nb_read_frames"], "30");
  EXPECT_NEAR(fftest::AudioSeconds(file, 8000), 30 * 320 / 8000.0, 0.001);
}

TEST(FfThreaded, SeekingWhileAClipPlaysNeverTearsTheStream) {
  ff::RegisterFfmpegFilters();
  fftest::TempDir dir;
  const std::string file = dir / "p.avi";
  ASSERT_TRUE(fftest::MakeClip(file, "-f lavfi -i testsrc=size=64x48:rate=25:duration=2 -c:v mpeg4 -g 5"));
  auto graph = FilterGraph::Create();
  graph->SetScheduler(std::make_shared<ThreadedScheduler>());
  std::shared_ptr<BaseFilter> src;
  ASSERT_EQ(graph->AddSourceFilter(file, "Source", &src), S_OK);
  auto grab = std::make_shared<SampleGrabber>();
  auto sink = std::make_shared<NullRenderer>();
  grab->SetBufferSamples(1);
  graph->AddFilter(grab, "Grabber");
  graph->AddFilter(sink, "Sink");
  ASSERT_EQ(graph->Connect(src->Pins()[0], grab->Input()), S_OK);
  ASSERT_EQ(graph->ConnectDirect(grab->Output(), sink->Input(), nullptr), S_OK);
  // Fifty times real speed: the paced thread runs through the clip quickly.
  ASSERT_EQ(graph->SetRate(50.0), S_OK);
  ASSERT_EQ(graph->SetTimeFormat(&TIME_FORMAT_FRAME), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  for (int i = 0; i < 20; ++i) {
    int64_t pos = (i * 7) % 40;
    EXPECT_EQ(graph->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    LONG size = 0;
    grab->GetCurrentBuffer(&size, nullptr);
  }
  int64_t end = 45;
  graph->SetPositions(&end, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  long code = 0;
  ASSERT_EQ(graph->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  graph->Stop();
  EXPECT_GT(grab->Samples(), 0);
}

}  // namespace
}  // namespace mg
