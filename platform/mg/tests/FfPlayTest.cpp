// File playback: clips made by ffmpeg, played through the graph, compared
// with ffmpeg's own decode of the same clips.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/mg/ffmpeg/FfCodecs.h"
#include "platform/mg/ffmpeg/FfDecoder.h"
#include "platform/mg/ffmpeg/FfSource.h"
#include "platform/mg/tests/FfTestSupport.h"

namespace mg {
namespace {

using fftest::TempDir;

// Every buffer the grabber sees, with its time.
struct Collector : ISampleGrabberCB {
  std::vector<std::vector<uint8_t>> frames;
  std::vector<double> times;
  HRESULT SampleCB(double, MediaSample*) override { return S_OK; }
  HRESULT BufferCB(double t, uint8_t* p, LONG n) override {
    frames.emplace_back(p, p + n);
    times.push_back(t);
    return S_OK;
  }
};

// ffmpeg's decode of a clip as top-down BGR24 frames.
std::vector<std::vector<uint8_t>> ReferenceFrames(const std::string& file, int w, int h) {
  const std::string raw = fftest::Run("ffmpeg -v error -i '" + file + "' -map 0:v:0 -vsync passthrough -f rawvideo -pix_fmt bgr24 -");
  const size_t size = static_cast<size_t>(w) * h * 3;
  std::vector<std::vector<uint8_t>> list;
  for (size_t off = 0; off + size <= raw.size(); off += size)
    list.emplace_back(raw.begin() + static_cast<long>(off), raw.begin() + static_cast<long>(off + size));
  return list;
}

// Mean absolute difference of a bottom-up RGB24 bitmap from a top-down frame.
double MeanDiff(const std::vector<uint8_t>& bottomUp, const std::vector<uint8_t>& topDown, int w, int h) {
  const int stride = (w * 3 + 3) & ~3;
  if (bottomUp.size() < static_cast<size_t>(stride) * h || topDown.size() < static_cast<size_t>(w) * h * 3) return 1e9;
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x)
      sum += std::abs(bottomUp[static_cast<size_t>(h - 1 - y) * stride + x] - topDown[static_cast<size_t>(y) * w * 3 + x]);
  return sum / (static_cast<double>(w) * h * 3);
}

// A source, a grabber asking for RGB24 and a null renderer, joined by
// intelligent connection (which brings the decoder).
struct GrabGraph {
  test::ManualGraph g;
  std::shared_ptr<BaseFilter> source;
  std::shared_ptr<SampleGrabber> grabber = std::make_shared<SampleGrabber>();
  std::shared_ptr<NullRenderer> sink = std::make_shared<NullRenderer>();
  std::shared_ptr<Collector> collector = std::make_shared<Collector>();
  HRESULT hr = E_FAIL;

  explicit GrabGraph(const std::string& file) {
    ff::RegisterFfmpegFilters();
    if (FAILED(hr = g.graph->AddSourceFilter(file, "Source", &source))) return;
    AM_MEDIA_TYPE want;
    want.majortype = MEDIATYPE_Video;
    want.subtype = MEDIASUBTYPE_RGB24;
    grabber->SetMediaType(&want);
    grabber->SetBufferSamples(1);
    grabber->SetCallback(collector, 1);
    g.graph->AddFilter(grabber, "Grabber");
    g.graph->AddFilter(sink, "Sink");
    std::shared_ptr<Pin> video;
    for (auto& p : source->Pins())
      if (p->Direction() == PINDIR_OUTPUT && PinHasMajorType(*p, MEDIATYPE_Video)) video = p;
    if (!video) {
      hr = VFW_E_NOT_FOUND;
      return;
    }
    if (FAILED(hr = g.graph->Connect(video, grabber->Input()))) return;
    hr = g.graph->ConnectDirect(grabber->Output(), sink->Input(), nullptr);
  }
  // Pumps until the stream ends (or `limit` rounds).
  void PlayToEnd(int limit = 1000) {
    for (int i = 0; i < limit && sink->Samples() >= 0; ++i) {
      if (g.scheduler->Pump(1) == 0) break;
      bool done = false;
      for (auto& e : test::DrainEvents(*g.graph)) {
        events.push_back(e);
        done = done || e.code == EC_COMPLETE || e.code == EC_ERRORABORT;
      }
      if (done) break;
    }
  }
  std::vector<test::Event> events;
  bool Saw(long code) const {
    return std::any_of(events.begin(), events.end(), [&](auto& e) { return e.code == code; });
  }
};

struct ClipCase {
  const char* name;
  const char* args;  // ffmpeg output options
  int w, h, frames;
};

class FfPlay : public ::testing::Test {
protected:
  void SetUp() override { ff::RegisterFfmpegFilters(); }
  TempDir dir;
  std::string Clip(const std::string& name, const std::string& args) {
    const std::string file = dir / name;
    EXPECT_TRUE(fftest::MakeClip(file, args)) << args;
    return file;
  }
};

const std::string kTestSrc = "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 ";

TEST_F(FfPlay, ClipsOfEachContainerDecodeLikeFfmpeg) {
  for (const ClipCase& c : {
           ClipCase{"a.avi", "-c:v mpeg4 -g 5", 160, 120, 25},
           ClipCase{"b.avi", "-c:v mjpeg", 160, 120, 25},
           ClipCase{"c.wmv", "-c:v wmv2", 160, 120, 25},
           ClipCase{"d.mpg", "-c:v mpeg1video -f mpeg", 160, 120, 25},
           ClipCase{"e.mp4", "-c:v libx264 -pix_fmt yuv420p", 160, 120, 25},
           ClipCase{"f.dv", "-vf scale=720:576 -c:v dvvideo -pix_fmt yuv420p -r 25", 720, 576, 25},
           ClipCase{"g.avi", "-c:v rawvideo -pix_fmt bgr24", 160, 120, 25},
       }) {
    SCOPED_TRACE(c.name);
    const std::string file = Clip(c.name, kTestSrc + c.args);
    GrabGraph gg(file);
    ASSERT_EQ(gg.hr, S_OK);
    ASSERT_EQ(gg.g.graph->Run(), S_OK);
    gg.PlayToEnd();
    gg.g.graph->Stop();
    EXPECT_TRUE(gg.Saw(EC_COMPLETE));
    EXPECT_FALSE(gg.Saw(EC_ERRORABORT));
    const auto ref = ReferenceFrames(file, c.w, c.h);
    ASSERT_EQ(ref.size(), static_cast<size_t>(c.frames));
    ASSERT_EQ(gg.collector->frames.size(), ref.size());
    for (size_t i = 0; i < ref.size(); i += 6) EXPECT_LT(MeanDiff(gg.collector->frames[i], ref[i], c.w, c.h), 3.0) << i;
    // Times run from 0 at the frame rate.
    EXPECT_NEAR(gg.collector->times[10], 0.4, 0.001);
  }
}

TEST_F(FfPlay, RenderFileBuildsSourceDecoderAndRendererAndPlaysToCompletion) {
  const std::string file = Clip("r.avi", kTestSrc + "-f lavfi -i sine=d=1 -c:v mpeg4 -c:a mp2");
  test::ManualGraph g;
  const HRESULT hr = g.graph->RenderFile(file, "");
  ASSERT_TRUE(SUCCEEDED(hr)) << HResultText(hr);
  std::shared_ptr<VideoRenderer> renderer;
  bool decoder = false;
  for (auto& f : g.graph->Filters()) {
    if (auto r = std::dynamic_pointer_cast<VideoRenderer>(f)) renderer = r;
    decoder = decoder || f->ClassId() == ff::CLSID_FfVideoDecoder;
  }
  ASSERT_TRUE(renderer);
  EXPECT_TRUE(decoder);
  int64_t frames = 0;
  ASSERT_EQ(g.graph->SetTimeFormat(&TIME_FORMAT_FRAME), S_OK);
  EXPECT_EQ(g.graph->GetDuration(&frames), S_OK);
  EXPECT_EQ(frames, 25);
  g.graph->Run();
  g.scheduler->Pump(40);
  EXPECT_EQ(renderer->FramesDrawn(), 25);
  long code = 0;
  EXPECT_EQ(g.graph->WaitForCompletion(0, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  g.graph->Stop();
}

TEST_F(FfPlay, RenderFileUsesADecoderAlreadyInTheGraph) {
  const std::string file = Clip("pre.avi", kTestSrc + "-c:v mpeg4");
  test::ManualGraph g;
  std::shared_ptr<BaseFilter> mine;
  ASSERT_EQ(ClassFactory::CreateInstance(ff::CLSID_FfVideoDecoder, &mine), S_OK);
  ASSERT_EQ(g.graph->AddFilter(mine, "Mine"), S_OK);
  ASSERT_TRUE(SUCCEEDED(g.graph->RenderFile(file, "")));
  int decoders = 0;
  for (auto& f : g.graph->Filters()) decoders += f->ClassId() == ff::CLSID_FfVideoDecoder;
  EXPECT_EQ(decoders, 1);
  bool connected = false;
  for (auto& p : mine->Pins()) connected = connected || p->IsConnected();
  EXPECT_TRUE(connected);
}

TEST_F(FfPlay, SeekingToFrameNShowsFrameNInFramesAndMediaTime) {
  const std::string file = Clip("s.avi", kTestSrc + "-c:v mpeg4 -g 8");
  const auto ref = ReferenceFrames(file, 160, 120);
  ASSERT_EQ(ref.size(), 25u);
  GrabGraph gg(file);
  ASSERT_EQ(gg.hr, S_OK);
  auto seek = QueryInterface<IMediaSeeking>(gg.g.graph);
  ASSERT_EQ(seek->IsFormatSupported(&TIME_FORMAT_FRAME), S_OK);
  ASSERT_EQ(seek->SetTimeFormat(&TIME_FORMAT_FRAME), S_OK);
  int64_t duration = 0;
  EXPECT_EQ(seek->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 25);
  int64_t t = 0;
  EXPECT_EQ(seek->ConvertTimeFormat(&t, &TIME_FORMAT_MEDIA_TIME, 13, &TIME_FORMAT_FRAME), S_OK);
  EXPECT_EQ(t, 13 * 400'000);

  // Paused: the frame at the new position comes through as a still.
  ASSERT_EQ(gg.g.graph->Pause(), S_OK);
  for (int64_t n : {13, 3, 22, 0}) {
    SCOPED_TRACE(n);
    const size_t before = gg.collector->frames.size();
    int64_t pos = n;
    ASSERT_EQ(seek->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    ASSERT_EQ(gg.collector->frames.size(), before + 1);
    EXPECT_LT(MeanDiff(gg.collector->frames.back(), ref[static_cast<size_t>(n)], 160, 120), 3.0);
    int64_t cur = -1;
    seek->GetCurrentPosition(&cur);
    EXPECT_EQ(cur, n);
  }
  // Running from a media-time position goes on from that frame.
  ASSERT_EQ(seek->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME), S_OK);
  int64_t pos = 17 * 400'000;
  seek->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  gg.g.graph->Run();
  gg.collector->frames.clear();
  gg.g.scheduler->Pump(3);
  ASSERT_GE(gg.collector->frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_LT(MeanDiff(gg.collector->frames[i], ref[18 + i], 160, 120), 3.0) << i;
  gg.g.graph->Stop();
}

TEST_F(FfPlay, NegativeRatePlaysBackwardsFrameByFrame) {
  const std::string file = Clip("b.avi", kTestSrc + "-c:v mpeg4 -g 6");
  const auto ref = ReferenceFrames(file, 160, 120);
  GrabGraph gg(file);
  ASSERT_EQ(gg.hr, S_OK);
  auto seek = QueryInterface<IMediaSeeking>(gg.g.graph);
  DWORD caps = AM_SEEKING_CanPlayBackwards;
  EXPECT_EQ(seek->CheckCapabilities(&caps), S_OK);
  seek->SetTimeFormat(&TIME_FORMAT_FRAME);
  int64_t pos = 11;
  seek->SetPositions(&pos, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  ASSERT_EQ(seek->SetRate(-1.0), S_OK);
  gg.g.graph->Run();
  gg.PlayToEnd(30);
  gg.g.graph->Stop();
  ASSERT_EQ(gg.collector->frames.size(), 12u);  // 11 down to 0
  for (size_t i = 0; i < 12; ++i) EXPECT_LT(MeanDiff(gg.collector->frames[i], ref[11 - i], 160, 120), 3.0) << i;
  for (size_t i = 1; i < 12; ++i) EXPECT_GT(gg.collector->times[i], gg.collector->times[i - 1]);
  EXPECT_TRUE(gg.Saw(EC_COMPLETE));
}

TEST_F(FfPlay, FrameStepShowsOneFrameAtATime) {
  const std::string file = Clip("st.avi", kTestSrc + "-c:v mjpeg");
  test::ManualGraph g;
  ASSERT_EQ(g.graph->RenderFile(file, ""), S_OK);
  std::shared_ptr<VideoRenderer> renderer;
  for (auto& f : g.graph->Filters())
    if (auto r = std::dynamic_pointer_cast<VideoRenderer>(f)) renderer = r;
  ASSERT_TRUE(renderer);
  ASSERT_EQ(g.graph->CanStep(0, nullptr), S_OK);
  g.graph->Pause();
  ASSERT_EQ(g.graph->Step(1, nullptr), S_OK);
  g.scheduler->Pump(3);
  EXPECT_EQ(renderer->FramesDrawn(), 1);
  auto events = test::DrainEvents(*g.graph);
  EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](auto& e) { return e.code == EC_STEP_COMPLETE; }));
  g.graph->Stop();
}

TEST_F(FfPlay, DvDecoderGivesFullHalfQuarterAndDcSizes) {
  const std::string file = Clip("dv.dv", kTestSrc + "-vf scale=720:576 -c:v dvvideo -pix_fmt yuv420p -r 25");
  for (const auto& [res, w, h] : std::vector<std::tuple<int, int, int>>{
           {DVRESOLUTION_FULL, 720, 576}, {DVRESOLUTION_HALF, 360, 288}, {DVRESOLUTION_QUARTER, 180, 144},
           {DVRESOLUTION_DC, 90, 72}}) {
    SCOPED_TRACE(res);
    test::ManualGraph g;
    std::shared_ptr<BaseFilter> src;
    ASSERT_EQ(g.graph->AddSourceFilter(file, "DV", &src), S_OK);
    auto dec = std::make_shared<ff::FfVideoDecoder>(CLSID_DVVideoCodec, true);
    ASSERT_EQ(dec->put_IPDisplay(res), S_OK);
    EXPECT_EQ(dec->put_IPDisplay(999), E_INVALIDARG);
    auto grab = std::make_shared<SampleGrabber>();
    auto sink = std::make_shared<NullRenderer>();
    grab->SetBufferSamples(1);
    g.graph->AddFilter(dec, "DV Video Decoder");
    g.graph->AddFilter(grab, "Grabber");
    g.graph->AddFilter(sink, "Sink");
    ASSERT_EQ(src->Pins()[0]->Name(), "DVVidOut0");
    ASSERT_EQ(g.graph->ConnectDirect(src->Pins()[0], dec->Input(), nullptr), S_OK);
    ASSERT_EQ(g.graph->Connect(dec->Output(), grab->Input()), S_OK);
    ASSERT_EQ(g.graph->ConnectDirect(grab->Output(), sink->Input(), nullptr), S_OK);
    AM_MEDIA_TYPE mt;
    grab->GetConnectedMediaType(&mt);
    ASSERT_TRUE(mt.BitmapHeader());
    EXPECT_EQ(mt.BitmapHeader()->biWidth, w);
    EXPECT_EQ(mt.BitmapHeader()->biHeight, h);
    g.graph->Run();
    g.scheduler->Pump(2);
    LONG size = 0;
    EXPECT_EQ(grab->GetCurrentBuffer(&size, nullptr), S_OK);
    EXPECT_EQ(size, static_cast<LONG>(FrameSize(MEDIASUBTYPE_RGB24, w, h)));
    g.graph->Stop();
  }
}

TEST_F(FfPlay, BadClipsFailCleanly) {
  // Not a clip at all: the source refuses it.
  {
    const std::string junk = dir / "junk.avi";
    std::ofstream(junk, std::ios::binary) << std::string(5000, '\x5a');
    test::ManualGraph g;
    const HRESULT hr = g.graph->RenderFile(junk, "");
    EXPECT_TRUE(FAILED(hr)) << HResultText(hr);
    EXPECT_TRUE(g.graph->Filters().empty());
    EXPECT_EQ(g.graph->RenderFile(dir / "missing.avi", ""), HRESULT_FILE_NOT_FOUND);
  }
  const std::string good = Clip("good.avi", kTestSrc + "-c:v mpeg4 -g 5");
  const auto bytes = fftest::ReadFile(good);
  // Cut short: plays what is there, then reports the error.
  {
    const std::string cut = dir / "cut.avi";
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size() * 6 / 10));
    GrabGraph gg(cut);
    if (SUCCEEDED(gg.hr)) {
      gg.g.graph->Run();
      gg.PlayToEnd(100);
      gg.g.graph->Stop();
      EXPECT_TRUE(gg.Saw(EC_ERRORABORT));
      EXPECT_LT(gg.collector->frames.size(), 25u);
    }
  }
  // Damaged in the middle: never a crash or a hang, and the stream ends.
  {
    std::vector<uint8_t> damaged = bytes;
    std::srand(7);
    for (size_t i = damaged.size() / 3; i < damaged.size() * 2 / 3; i += 7) damaged[i] = static_cast<uint8_t>(std::rand());
    const std::string bad = dir / "bad.avi";
    std::ofstream(bad, std::ios::binary).write(reinterpret_cast<const char*>(damaged.data()), static_cast<long>(damaged.size()));
    GrabGraph gg(bad);
    if (SUCCEEDED(gg.hr)) {
      gg.g.graph->Run();
      gg.PlayToEnd(200);
      gg.g.graph->Stop();
      EXPECT_TRUE(gg.Saw(EC_COMPLETE) || gg.Saw(EC_ERRORABORT));
    }
  }
}

}  // namespace
}  // namespace mg
