// Frames of video files made by ffmpeg, read through the component and
// compared with ffmpeg's own decode of the same frames.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <condition_variable>
#include <mutex>
#include <set>
#include <sstream>

#include "imaging/core/ikds.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioVideo.h"
#include "imaging/core/tests/IkMediaTestSupport.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/mg/Interfaces.h"
#include "platform/mg/MediaType.h"
#include "platform/mg/sim/SimTv.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Api.h"

namespace imaging {
namespace {

using testing::Bgr24Rows;
using testing::FfmpegFrame;
using testing::MakeMedia;

// 30 pixels of 3 bytes do not fill whole 4-byte rows, so every frame
// crosses the grabber's padded rows.
const std::string kSource = "-f lavfi -i testsrc=size=30x22:rate=25 ";

class VideoFrames : public testing::TempFolderTest {
protected:
  std::string Clip(const std::string& name, const std::string& args) {
    const std::string path = folder_ + name;
    EXPECT_TRUE(MakeMedia(path, args)) << args;
    return path;
  }
  // Counts completion events of the component.
  int finishes = 0;
  void Watch(TImgKitIO& io) {
    io.OnFinishWork = [this](forms::TObject*) { ++finishes; };
  }
};

TEST_F(VideoFrames, AviFramesEqualFfmpegsDecode) {
  struct Case {
    const char* name;
    const char* args;
    double tolerance;  // mean difference per byte; lossy codecs convert their colours on the way
  };
  for (const Case& c : {Case{"raw.avi", "-frames:v 10 -c:v rawvideo -pix_fmt bgr24", 0.0},
                        Case{"ffv1.avi", "-frames:v 10 -c:v ffv1 -pix_fmt bgr0", 0.0},
                        Case{"mjpeg.avi", "-frames:v 10 -c:v mjpeg", 3.0}}) {
    SCOPED_TRACE(c.name);
    const std::string file = Clip(c.name, kSource + c.args);
    TImgKitIO io(nullptr);
    Watch(io);
    finishes = 0;
    ASSERT_EQ(io.OpenAVIFile(file), 10);
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params().AviFrameCount, 10);
    for (int k : {0, 7, 3, 9}) {
      SCOPED_TRACE(k);
      io.LoadFromAVI(k);
      EXPECT_FALSE(io.Aborting);
      ASSERT_EQ(io.IKBitmap()->Width(), 30);
      ASSERT_EQ(io.IKBitmap()->Height(), 22);
      EXPECT_EQ(io.IKBitmap()->PixelFormat(), ikRGB24);
      const std::string want = FfmpegFrame(file, k);
      ASSERT_EQ(want.size(), 30u * 22 * 3);
      const std::string got = Bgr24Rows(*io.IKBitmap());
      if (c.tolerance == 0.0) {
        EXPECT_TRUE(got == want);
      } else {
        double sum = 0;
        for (size_t i = 0; i < want.size(); ++i)
          sum += std::abs(static_cast<uint8_t>(got[i]) - static_cast<uint8_t>(want[i]));
        EXPECT_LT(sum / static_cast<double>(want.size()), c.tolerance);
      }
    }
    EXPECT_EQ(finishes, 4);
    EXPECT_EQ(io.Params().AviFrameDelay, 40);
    EXPECT_EQ(io.Params().Width, 30);
    EXPECT_EQ(io.Params().Height, 22);
    EXPECT_EQ(io.Params().BitsPerSample, 8);
    EXPECT_EQ(io.Params().SamplesPerPixel, 3);
    EXPECT_EQ(io.Params().DpiX(), DefaultDpiX.load());
    io.CloseAVIFile();
  }
}

TEST_F(VideoFrames, AviFrameDelayFollowsTheStreamRate) {
  struct Case {
    const char* rate;
    int32_t delay;
  };
  for (const Case& c : {Case{"25", 40}, Case{"30000/1001", 33}, Case{"10", 100}}) {
    SCOPED_TRACE(c.rate);
    const std::string file = Clip("rate.avi", std::string("-f lavfi -i testsrc=size=16x16:rate=") + c.rate +
                                                  " -frames:v 3 -c:v ffv1 -pix_fmt bgr0");
    TImgKitIO io(nullptr);
    ASSERT_EQ(io.OpenAVIFile(file), 3);
    io.LoadFromAVI(1);
    EXPECT_EQ(io.Params().AviFrameDelay, c.delay);
  }
}

TEST(VideoFrameMath, ZeroRatesAndFrameTimesNeverDivide) {
  struct DelayCase {
    uint32_t rate, scale;
    int32_t delay;
  };
  for (const DelayCase& c : {DelayCase{25, 1, 40}, DelayCase{30000, 1001, 33}, DelayCase{0, 1, 0},
                             DelayCase{25, 0, 0}, DelayCase{0, 0, 0}, DelayCase{1, 4000000000u, 2147483647}}) {
    EXPECT_EQ(AviFrameDelayOf(c.rate, c.scale), c.delay) << c.rate << "/" << c.scale;
  }
  struct CountCase {
    int64_t d, n, t;
    int64_t frames, multiplier;
  };
  for (const CountCase& c : {
           CountCase{100'000'000, 250, 400'000, 250, 1},             // the source counts frames
           CountCase{100'000'000, 100'000'000, 400'000, 250, 400'000},  // it cannot: media time
           CountCase{100'000'000, 100'000'000, 0, 0, 1},               // and no frame time is known
           CountCase{300'000, 300'000, 400'000, 0, 400'000},           // shorter than one frame
       }) {
    const TIKMediaFrameCount r = MediaFrameCountOf(c.d, c.n, c.t);
    EXPECT_EQ(r.Frames, c.frames) << c.d << " " << c.n << " " << c.t;
    EXPECT_EQ(r.Multiplier, c.multiplier);
  }
}

TEST_F(VideoFrames, OutOfRangeFramesLoadNothingButStillFinish) {
  const std::string file = Clip("r.avi", kSource + "-frames:v 4 -c:v ffv1 -pix_fmt bgr0");
  TImgKitIO io(nullptr);
  Watch(io);
  // No file open yet.
  io.LoadFromAVI(0);
  EXPECT_EQ(finishes, 1);
  EXPECT_TRUE(io.IKBitmap()->IsEmpty());
  ASSERT_EQ(io.OpenAVIFile(file), 4);
  io.LoadFromAVI(2);
  const std::string frame2 = Bgr24Rows(*io.IKBitmap());
  for (int32_t index : {-1, 4, 1000}) {
    SCOPED_TRACE(index);
    finishes = 0;
    io.LoadFromAVI(index);
    EXPECT_EQ(finishes, 1);
    EXPECT_FALSE(io.Aborting);
    EXPECT_TRUE(Bgr24Rows(*io.IKBitmap()) == frame2);
  }
}

TEST_F(VideoFrames, FilesWithoutVideoOpenAsNothing) {
  const std::string wav = Clip("tone.wav", "-f lavfi -i sine=duration=0.3");
  const std::string text = folder_ + "not-a-clip.avi";
  std::ofstream(text) << "plain text";
  for (const std::string& file : {wav, text}) {
    SCOPED_TRACE(file);
    TImgKitIO io(nullptr);
    EXPECT_EQ(io.OpenAVIFile(file), 0);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(io.Params().AviFrameCount, 0);
    // No file counts as open afterwards.
    int finished = 0;
    io.OnFinishWork = [&](forms::TObject*) { ++finished; };
    io.LoadFromAVI(0);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(io.IKBitmap()->IsEmpty());
    // Nor does a load by an ".avi" name pass for a success.
    if (file == text) {
      finished = 0;
      io.LoadImageByFileName(file);
      EXPECT_EQ(finished, 1);
      EXPECT_TRUE(io.Aborting);
      EXPECT_TRUE(io.IKBitmap()->IsEmpty());
    }
    // The media-file path finds no frame time to divide by.
    EXPECT_EQ(io.OpenMediaFile(file), 0);
    EXPECT_TRUE(io.Aborting);
  }
}

TEST_F(VideoFrames, OpeningASecondAviClosesTheFirst) {
  const std::string a = Clip("a.avi", kSource + "-frames:v 5 -c:v ffv1 -pix_fmt bgr0");
  const std::string b = Clip("b.avi", "-f lavfi -i testsrc=size=40x20:rate=25 -frames:v 3 -c:v ffv1 -pix_fmt bgr0");
  TImgKitIO io(nullptr);
  ASSERT_EQ(io.OpenAVIFile(a), 5);
  ASSERT_EQ(io.OpenAVIFile(b), 3);
  io.LoadFromAVI(4);  // beyond the second file
  EXPECT_TRUE(io.IKBitmap()->IsEmpty());
  io.LoadFromAVI(2);
  EXPECT_EQ(io.IKBitmap()->Width(), 40);
  EXPECT_TRUE(Bgr24Rows(*io.IKBitmap()) == FfmpegFrame(b, 2));
}

TEST_F(VideoFrames, AviByNameOrContentLoadsTheIndexedFrame) {
  const std::string file = Clip("Clip.AVI", kSource + "-frames:v 6 -c:v ffv1 -pix_fmt bgr0");
  for (bool byContent : {false, true}) {
    SCOPED_TRACE(byContent ? "by content" : "by name");
    TImgKitIO io(nullptr);
    Watch(io);
    finishes = 0;
    io.Params().ImageIndex = 5;
    if (byContent)
      io.LoadFromFile(file);
    else
      io.LoadImageByFileName(file);
    EXPECT_EQ(finishes, 1);
    EXPECT_FALSE(io.Aborting);
    EXPECT_TRUE(Bgr24Rows(*io.IKBitmap()) == FfmpegFrame(file, 5));
    EXPECT_EQ(io.Params().FileType, ioAVI);
    EXPECT_EQ(io.Params().FileName, file);
    EXPECT_EQ(io.Params().AviFrameCount, 6);
  }
  // The media graph picks its file source by the name, as the platform
  // does: AVI content under another name is detected but not played, and
  // the load says so.
  const std::string renamed = folder_ + "clip.bin";
  std::filesystem::copy_file(file, renamed);
  TImgKitIO io(nullptr);
  Watch(io);
  finishes = 0;
  io.LoadFromFile(renamed);
  EXPECT_EQ(finishes, 1);
  EXPECT_TRUE(io.Aborting);
  EXPECT_TRUE(io.IKBitmap()->IsEmpty());
}

TEST_F(VideoFrames, AviThumbnailsLoadOnABackgroundThread) {
  const std::string file = Clip("bg.avi", kSource + "-frames:v 3 -c:v ffv1 -pix_fmt bgr0");
  TImgKitIO io(nullptr);
  TIKBitmap borrowed;
  io.AttachIKBitmap(&borrowed);
  io.AsyncMode = true;
  testing::FinishWatch done;
  done.Attach(io);
  // As the thumbnail loaders call it.
  io.LoadFromFile(file);
  ASSERT_TRUE(done.WaitFor(1));
  io.WaitForIOThreads(false);
  EXPECT_EQ(done.count, 1);
  EXPECT_TRUE(done.onOwnThread);
  EXPECT_TRUE(Bgr24Rows(borrowed) == FfmpegFrame(file, 0));
}

TEST_F(VideoFrames, MediaFileFramesCountAndMatchFfmpeg) {
  struct Case {
    const char* name;
    const char* args;
  };
  // AVI keeps a frame count in its header; Matroska does not, so its count
  // comes from the duration.
  for (const Case& c : {Case{"ten.avi", "-t 10 -c:v ffv1 -pix_fmt bgr0"},
                        Case{"ten.mkv", "-t 10 -c:v ffv1 -pix_fmt bgr0"}}) {
    SCOPED_TRACE(c.name);
    const std::string file = Clip(c.name, kSource + c.args);
    TImgKitIO io(nullptr);
    Watch(io);
    finishes = 0;
    EXPECT_FALSE(io.IsMediaFileOpen());
    ASSERT_EQ(io.OpenMediaFile(file), 250);
    EXPECT_TRUE(io.IsMediaFileOpen());
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params().MediaFileFrameCount, 250);
    EXPECT_EQ(io.Params().Width, 30);
    EXPECT_EQ(io.Params().Height, 22);
    EXPECT_EQ(io.Params().FileName, file);
    for (int k : {0, 131, 249, 17}) {
      SCOPED_TRACE(k);
      io.LoadFromMediaFile(k);
      EXPECT_EQ(io.Params().ImageIndex, k);
      EXPECT_TRUE(Bgr24Rows(*io.IKBitmap()) == FfmpegFrame(file, k));
    }
    EXPECT_EQ(io.Params().MediaFileFrameDelay, 4);
    // Frames of media files come without completion events.
    EXPECT_EQ(finishes, 0);
    io.CloseMediaFile();
    EXPECT_FALSE(io.IsMediaFileOpen());
  }
}

TEST_F(VideoFrames, NoMediaFileLeavesImageAndParamsAlone) {
  TImgKitIO io(nullptr);
  io.Params().ImageIndex = 3;
  io.LoadFromMediaFile(7);
  EXPECT_EQ(io.Params().ImageIndex, 3);
  EXPECT_TRUE(io.IKBitmap()->IsEmpty());
}

TEST_F(VideoFrames, FramesCopyIntoBitmapsOfAnyEarlierShape) {
  const std::string file = Clip("shape.avi", kSource + "-frames:v 2 -c:v ffv1 -pix_fmt bgr0");
  TIKDirectShow ds;
  ds.FileInput = file;
  ds.Grab = true;
  ds.Connect();
  ASSERT_TRUE(ds.IsConnected());
  ds.Pause();
  EXPECT_TRUE(ds.IsActive());
  int32_t w = 0, h = 0;
  String subtype;
  ds.GetVideoSize(w, h, subtype);
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 22);
  EXPECT_EQ(subtype, "RGB24");
  EXPECT_EQ(ds.AvgTimePerFrame(), 400'000);
  ds.SetTimeFormat(ikTimeFormatFrame);
  EXPECT_EQ(ds.Duration(), 2);
  ds.Seek(1);
  for (TIKPixelFormat f : {ikRGB24, ikGray8, ikMono1}) {
    TIKBitmap b;
    b.Allocate(7, 3, f);
    ASSERT_TRUE(ds.GetFrame(&b));
    EXPECT_EQ(b.PixelFormat(), ikRGB24);
    EXPECT_TRUE(Bgr24Rows(b) == FfmpegFrame(file, 1));
  }
  ds.Disconnect();
  EXPECT_FALSE(ds.IsConnected());
  EXPECT_FALSE(ds.IsActive());
  TIKBitmap b;
  EXPECT_FALSE(ds.GetFrame(&b));
}

}  // namespace
}  // namespace imaging

namespace imaging {
namespace {

const char* FrameWindowClass() {
  static const bool registered = [] {
    win::WNDCLASSA wc{};
    wc.lpfnWndProc = win::DefWindowProcA;
    wc.lpszClassName = "VorixFrameSink";
    return win::RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return "VorixFrameSink";
}

TEST_F(VideoFrames, EachGrabbedFrameIsPostedToTheNotifyWindow) {
  const std::string file = Clip("notify.avi", kSource + "-frames:v 3 -c:v ffv1 -pix_fmt bgr0");
  const win::HWND window =
      win::CreateWindowExA(0, FrameWindowClass(), "", win::WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  {
    TIKDirectShow ds;
    ds.FileInput = file;
    ds.Grab = true;
    ds.SetNotifyWindow(window, IKMSG_DSHOWFRAME, IKMSG_DSHOWEVENT);
    ds.Connect();
    ds.Pause();
    ds.SetTimeFormat(ikTimeFormatFrame);
    for (int64_t k : {2, 0}) ds.Seek(k);
    int frames = 0;
    win::MSG msg;
    while (win::PeekMessageA(&msg, window, IKMSG_DSHOWFRAME, IKMSG_DSHOWFRAME, win::PM_REMOVE)) {
      ++frames;
      EXPECT_EQ(msg.wParam, 0u);
      EXPECT_EQ(msg.lParam, reinterpret_cast<win::LPARAM>(&ds));
    }
    EXPECT_EQ(frames, 2);
  }
  win::DestroyWindow(window);
}

}  // namespace
}  // namespace imaging

namespace imaging {
namespace {

TEST(CaptureSource, ConnectListsTheSourcesFormatsAndCrossbarInputs) {
  auto card = mg::sim::SimTvCapture::Create(std::make_shared<mg::sim::DevicePresence>(), {});
  TIKDirectShow ds;
  ds.VideoCaptureFilter = card;
  ds.Grab = true;
  ds.Connect();
  ASSERT_TRUE(ds.IsConnected());
  ASSERT_TRUE(ds.StreamConfig());
  EXPECT_TRUE(ds.Crossbar());
  EXPECT_TRUE(ds.TVTuner());

  // One entry per capability the card reports, as the card reports it.
  auto config = mg::QueryInterface<mg::IAMStreamConfig>(card->Output());
  ASSERT_TRUE(config);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), mg::S_OK);
  ASSERT_GT(count, 0);
  ASSERT_EQ(ds.VideoFormats.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    mg::AM_MEDIA_TYPE type;
    mg::VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(i, &type, reinterpret_cast<uint8_t*>(&caps)), mg::S_OK);
    const TIKVideoFormat& f = ds.VideoFormats[static_cast<size_t>(i)];
    EXPECT_FALSE(f.Subtype.empty());
    EXPECT_EQ(f.MaxWidth, caps.MaxOutputSize.cx);
    EXPECT_EQ(f.MaxHeight, caps.MaxOutputSize.cy);
    EXPECT_EQ(f.MinWidth, caps.MinOutputSize.cx);
    EXPECT_EQ(f.GranularityX, caps.OutputGranularityX);
    // Names of the set standard bits, one blank between, none at the ends.
    std::set<String> names;
    std::istringstream words(f.VideoStandards);
    for (String w; words >> w;) names.insert(w);
    for (const auto& [bit, name] : {std::pair{mg::AnalogVideo_NTSC_M, "NTSC_M"}, std::pair{mg::AnalogVideo_PAL_B, "PAL_B"},
                                    std::pair{mg::AnalogVideo_SECAM_L, "SECAM_L"}})
      EXPECT_EQ((caps.VideoStandard & static_cast<uint32_t>(bit)) != 0, names.count(name) == 1) << name;
    EXPECT_EQ(f.VideoStandards, rtl::Trim(f.VideoStandards));
    EXPECT_EQ(f.VideoStandards.find("  "), String::npos);
  }
  std::vector<String> inputs;
  for (const auto& pin : card->VideoCrossbar()->Pins())
    if (pin->Direction() == mg::PINDIR_INPUT) inputs.push_back(pin->Name());
  ASSERT_FALSE(inputs.empty());
  ASSERT_EQ(ds.CrossbarInputs.Count(), static_cast<int32_t>(inputs.size()));
  for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(ds.CrossbarInputs[static_cast<int32_t>(i)], inputs[i]);
  ds.Disconnect();
  EXPECT_FALSE(ds.Crossbar());
}

}  // namespace
}  // namespace imaging
