// The frame grabber on the simulated camera: frame numbers and times,
// snapshots to BMP and JPEG read back by djpeg and ImageMagick, bursts,
// the text overlay in recorded frames decoded by ffmpeg, and the grabber's
// own guards (oversized samples, a template replaced while it is drawn).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "capture/VcEngine.h"
#include "capture/VcGraphHelpers.h"
#include "capture/VcProperties.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/mg/SystemFilters.h"
#include "platform/forms/Shape.h"
#include "platform/rtl/DateUtils.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"

namespace {

using namespace capture;

using captest::Shell;

TEST(VcFrameTime, SplitsIntoItsParts) {
  struct Case {
    int64_t time;
    int64_t hundredthsTotal, secondsTotal;
    int32_t hundredths, minutesTotal, seconds, hours, minutes;
  };
  const Case cases[] = {
      {37'654'321'000, 376'543, 3'765, 43, 62, 45, 1, 2},
      {0, 0, 0, 0, 0, 0, 0, 0},
      {99'999, 0, 0, 0, 0, 0, 0, 0},
      {100'000, 1, 0, 1, 0, 0, 0, 0},
      {36'000'000'000, 360'000, 3'600, 0, 60, 0, 1, 0},
      // Before the base: the parts truncate toward zero.
      {-12'345'678, -123, -1, -23, 0, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    TFrameInfo i;
    i.FrameTime = c.time;
    SplitFrameTimeParts(i);
    EXPECT_EQ(i.TotalHundredths, c.hundredthsTotal);
    EXPECT_EQ(i.TotalSeconds, c.secondsTotal);
    EXPECT_EQ(i.Hundredths, c.hundredths);
    EXPECT_EQ(i.TotalMinutes, c.minutesTotal);
    EXPECT_EQ(i.Seconds, c.seconds);
    EXPECT_EQ(i.Hours, c.hours);
    EXPECT_EQ(i.Minutes, c.minutes);
  }
}

class VcFrameGrab : public captest::ManualGraphFixture {
protected:
  void SetUp() override {
    ManualGraphFixture::SetUp();
    storage = (dir_ / "shots").string();
  }
  TVidCap* Control(TFrameGrabber where) {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(where);
    vc->SetCompressionMode(cm_NoCompression);
    vc->SetAudioRecording(false);
    vc->SetAudioDeviceRendering(false);
    vc->SetRecordingInNativeFormat(false);
    vc->SetStoragePath(storage);
    vc->SetAutoFileName(fn_Sequential);
    vc->SetAutoFilePrefix("shot");
    vc->SetVideoDevice(VideoCaptureDevices()->Count() - 1);
    vc->OnFrameProgress = [this](TObject*, const TFrameInfo& i) { progress.push_back(i); };
    vc->OnFrameCaptureCompleted = [this](TObject*, const TFrameData& d, TFrameCaptureDest dest, const String& name,
                                         bool ok) {
      shots.push_back({d.FrameNumber, dest, name, ok, d.Bitmap ? d.Bitmap->Width() : 0,
                       d.Bitmap ? d.Bitmap->Height() : 0});
    };
    return vc;
  }
  // One frame from the camera, then the periodic work takes it.
  static void Step(TVcEngine& e, int n = 1) {
    for (int i = 0; i < n; ++i) {
      if (auto s = Scheduler(e)) s->Pump(1);
      e.PeriodicWork();
    }
  }
  struct Shot {
    int32_t frame;
    TFrameCaptureDest dest;
    std::string name;
    bool ok;
    int width, height;
  };
  std::vector<TFrameInfo> progress;
  std::vector<Shot> shots;
};

TEST_F(VcFrameGrab, FramesCountFromOneAtEachGraphAndEachRecording) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  ASSERT_NE(e.Grab.MainGrabber, nullptr);
  EXPECT_EQ(e.Grab.MainGrabber->Name().rfind("GRB_RGB", 0), 0u) << e.Grab.MainGrabber->Name();
  Step(e, 3);
  ASSERT_EQ(progress.size(), 3u);
  const int64_t period = progress[1].FrameTime;
  EXPECT_GT(period, 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(progress[i].FrameNumber, i + 1);
    EXPECT_EQ(progress[i].FrameTime, i * period);
  }
  // A frame that arrives while the last one waits is not delivered.
  Scheduler(e)->Pump(2);
  e.PeriodicWork();
  EXPECT_EQ(progress.back().FrameNumber, 4);
  vc->Stop();

  progress.clear();
  ASSERT_TRUE(vc->StartRecording());
  Step(e, 2);
  ASSERT_EQ(progress.size(), 2u);
  EXPECT_EQ(progress[0].FrameNumber, 1);
  EXPECT_EQ(progress[0].FrameTime, 0);
  EXPECT_EQ(progress[1].FrameNumber, 2);
  vc->StopRecording();
  delete vc;
}

TEST_F(VcFrameGrab, SnapshotsToBmpAndJpegAtTheZoomedSizes) {
  mg::sim::CameraOptions camera;
  camera.width = 640;
  camera.height = 480;
  // The device's own size list, to pick 640 x 480 from.
  SetDiscoveryHooks({});
  PlugIn(camera);
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  const String sizes = vc->GetVideoSizes();
  ASSERT_EQ(IndexOfLine(sizes, "640x480"), 5) << sizes;
  vc->SetVideoSize(5);
  ASSERT_TRUE(vc->StartPreview());
  Step(e);
  struct Case {
    int zoom;
    TFrameCaptureDest dest;
    const char* name;
    int width, height;
  };
  const Case cases[] = {
      {100, fc_BmpFile, "full.bmp", 640, 480}, {50, fc_BmpFile, "half.bmp", 320, 240},
      {33, fc_BmpFile, "third.bmp", 211, 158}, {100, fc_JpegFile, "full.jpg", 640, 480},
      {50, fc_JpegFile, "half.jpg", 320, 240}, {33, fc_JpegFile, "third.jpg", 211, 158},
      {50, fc_TBitmap, "", 320, 240},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shots.clear();
    vc->SetFrameCaptureZoomSize(c.zoom);
    const std::string path = c.name[0] ? storage + "/" + c.name : "";
    ASSERT_TRUE(vc->CaptureFrameTo(c.dest, path));
    Step(e);
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_TRUE(shots[0].ok);
    EXPECT_EQ(shots[0].name, path);
    EXPECT_EQ(shots[0].width, c.width);
    EXPECT_EQ(shots[0].height, c.height);
    if (c.dest == fc_TBitmap) continue;
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_EQ(Shell("identify -format '%m %wx%h' '" + path + "'"),
              std::string(c.dest == fc_JpegFile ? "JPEG " : "BMP3 ") + size);
    if (c.dest == fc_JpegFile) {
      // djpeg reads it back to a picture of the same size.
      EXPECT_EQ(Shell("djpeg -pnm '" + path + "' | head -c 20 | sed -n 2p"),
                std::to_string(c.width) + " " + std::to_string(c.height) + "\n");
      EXPECT_NE(Shell("identify -verbose '" + path + "'").find("Interlace: None"), std::string::npos);
    }
  }
  // The camera's test picture, not an empty bitmap: the two files of the
  // same frame differ only by the JPEG's losses.
  EXPECT_GT(std::stod(Shell("identify -format '%[fx:standard_deviation]' '" + storage + "/full.bmp'")), 0.05);
  EXPECT_LT(std::stod(Shell("compare -metric RMSE '" + storage + "/full.bmp' '" + storage +
                            "/full.jpg' null: 2>&1 | sed 's/.*(\\(.*\\))/\\1/'")),
            0.05);

  // Progressive files say so.
  vc->SetJPEGProgressiveDisplay(true);
  vc->SetFrameCaptureZoomSize(100);
  ASSERT_TRUE(vc->CaptureFrameTo(fc_JpegFile, storage + "/progressive"));
  Step(e);
  EXPECT_NE(Shell("identify -verbose '" + storage + "/progressive.jpg'").find("Interlace: JPEG"), std::string::npos);
  EXPECT_EQ(Shell("djpeg '" + storage + "/progressive.jpg' | head -c 2"), "P6");
  delete vc;
}

TEST_F(VcFrameGrab, SnapshotNamesAndRefusals) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  Step(e);
  struct Case {
    TFrameCaptureDest dest;
    std::string given, written;
  };
  const Case cases[] = {
      {fc_JpegFile, "a/pic.png", "a/pic.jpg"},
      {fc_JpegFile, "a/pic.JPG", "a/pic.JPG"},
      {fc_JpegFile, "b.dir/pic", "b.dir/pic.jpg"},
      {fc_BmpFile, "c/deep/er/pic", "c/deep/er/pic.bmp"},
      {fc_BmpFile, "", "shot000001.bmp"},
      {fc_JpegFile, "", "shot000001.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    shots.clear();
    const std::string given = c.given.empty() ? "" : storage + "/" + c.given;
    ASSERT_TRUE(vc->CaptureFrameTo(c.dest, given));
    EXPECT_FALSE(vc->CaptureFrameTo(c.dest, given)) << "one request at a time";
    Step(e);
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_TRUE(shots[0].ok);
    EXPECT_EQ(shots[0].name, storage + "/" + c.written);
    EXPECT_TRUE(std::filesystem::exists(storage + "/" + c.written));
  }
  // A folder that cannot be made: reported, and the event says so.
  shots.clear();
  std::ofstream(storage + "/file") << "x";
  ASSERT_TRUE(vc->CaptureFrameTo(fc_BmpFile, storage + "/file/sub/pic.bmp"));
  Step(e);
  ASSERT_EQ(shots.size(), 1u);
  EXPECT_FALSE(shots[0].ok);
  EXPECT_EQ(shots[0].name, "");
  EXPECT_TRUE(Logged("cannot create directory: " + storage + "/file/sub"));
  vc->Stop();
  EXPECT_FALSE(vc->CaptureFrameTo(fc_BmpFile, "x.bmp")) << "no graph";
  delete vc;
}

TEST_F(VcFrameGrab, BurstTakesEveryThirdFrameThreeTimesThenStops) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  Step(e, 5);
  const int32_t before = progress.back().FrameNumber;
  vc->SetBurstCount(3);
  vc->SetBurstInterval(2);
  vc->SetBurstType(fc_TBitmap);
  vc->SetBurstMode(true);
  Step(e, 9);
  EXPECT_TRUE(vc->BurstMode());
  Step(e);
  EXPECT_FALSE(vc->BurstMode()) << "the tenth frame ends it";
  std::vector<int32_t> taken;
  for (const Shot& s : shots) taken.push_back(s.frame - before);
  EXPECT_EQ(taken, (std::vector<int32_t>{1, 4, 7}));
  Step(e, 6);
  EXPECT_EQ(shots.size(), 3u);

  // Without a count the burst runs until it is switched off, to files.
  shots.clear();
  vc->SetBurstCount(0);
  vc->SetBurstInterval(0);
  vc->SetBurstType(fc_BmpFile);
  vc->SetBurstMode(true);
  Step(e, 5);
  vc->SetBurstMode(false);
  Step(e, 3);
  ASSERT_EQ(shots.size(), 5u);
  for (const Shot& s : shots) EXPECT_TRUE(s.ok && std::filesystem::exists(s.name)) << s.name;
  delete vc;
}

// The text is drawn into the frames the file gets: the recording with the
// overlay differs from the one without only inside the text's rectangle.
TEST_F(VcFrameGrab, TextOverlayLandsInsideItsRectangleInRecordedFrames) {
  PlugIn(mg::sim::CameraOptions{});
  auto record = [&](bool overlay) {
    TVidCap* vc = Control(fg_BothStreams);
    vc->SetAutoFilePrefix(overlay ? "marked" : "plain");
    vc->SetTextOverlay_String("Cam %frame_count%\r\nsecond line");
    vc->SetTextOverlay_Left(40);
    vc->SetTextOverlay_Top(30);
    vc->SetTextOverlay_Right(200);
    vc->SetTextOverlay_Enabled(overlay);
    TVcEngine& e = *vc->Engine();
    EXPECT_TRUE(vc->StartRecording());
    EXPECT_NE(e.Grab.MainGrabber, nullptr);
    Step(e, 10);
    vc->StopRecording();
    delete vc;
    return storage + "/" + (overlay ? "marked" : "plain") + "000001.avi";
  };
  const std::string plain = record(false), marked = record(true);
  const std::string size =
      Shell("ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 '" + marked + "'");
  int w = 0, h = 0;
  ASSERT_EQ(std::sscanf(size.c_str(), "%d,%d", &w, &h), 2) << size;
  auto frames = [&](const std::string& file) {
    std::string raw = Shell("ffmpeg -v error -i '" + file + "' -f rawvideo -pix_fmt rgb24 -");
    return raw;
  };
  const std::string a = frames(plain), b = frames(marked);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a.size(), static_cast<size_t>(w * h * 3 * 10));
  size_t inside = 0, outside = 0;
  for (size_t p = 0; p < a.size(); p += 3) {
    if (a.compare(p, 3, b, p, 3) == 0) continue;
    const int x = static_cast<int>((p / 3) % w), y = static_cast<int>((p / 3 / w) % h);
    if (x >= 40 && x < 200 && y >= 30 && y < 30 + 60)
      ++inside;
    else
      ++outside;
  }
  EXPECT_GT(inside, 1000u);
  EXPECT_EQ(outside, 0u);
}

TEST_F(VcFrameGrab, OverlayTextFromTheTemplate) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  clock.clock().SetNow(rtl::EncodeDate(2026, 3, 1) + (14 * 60 + 5) / 1440.0);
  e.Sel.CustomText[3] = "lobby";
  TFrameInfo info;
  info.FrameNumber = 125;
  info.FrameTime = 37'654'321'000;
  SplitFrameTimeParts(info);
  info.DVTimecodeValid = true;
  info.DVTimecodeHours = 1;
  info.DVTimecodeMinutes = 2;
  info.DVTimecodeSeconds = 3;
  info.DVTimecodeFrames = 24;
  info.DVDateValid = true;
  info.DVYear = 2004;
  info.DVMonth = 2;
  info.DVDay = 29;
  info.DVHour = 23;
  info.DVMinute = 59;
  info.DVSecond = 58;
  const std::pair<std::string, std::string> cases[] = {
      {"Cam %frame_count% at %sys_time[hh:nn]%", "Cam 125 at 14:05"},
      {"%time_full%", "01:02:45 43"},
      {"%time_sec%", "3765.43"},
      {"%time_100ns%", "37654321000"},
      {"100% sure", "100"},
      {"%custom3%|%custom10%", "lobby|%custom10%"},
      {"%time_code%", "01:02:03:24"},
      {"%dv_time[yyyy-mm-dd hh:nn:ss]%", "2004-02-29 23:59:58"},
  };
  for (const auto& [tmpl, want] : cases) {
    SCOPED_TRACE(tmpl);
    vc->SetTextOverlay_String(tmpl);
    String text;
    ASSERT_TRUE(e.BuildOverlayText(info, text));
    EXPECT_EQ(text, want);
  }
  // Without a time code or a valid DV date those tokens draw nothing.
  info.DVTimecodeValid = false;
  info.DVHour = 24;
  vc->SetTextOverlay_String("[%time_code%%dv_time[hh]%]");
  String text;
  ASSERT_TRUE(e.BuildOverlayText(info, text));
  EXPECT_EQ(text, "[]");
  delete vc;
}

TEST_F(VcFrameGrab, DVDatesOutsideTheCalendarAreCleared) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_Disabled);
  TVcEngine& e = *vc->Engine();
  vc->SetFrameGrabber(fg_Disabled);
  e.Latched.FrameGrabber = fg_Disabled;
  struct Case {
    int y, m, d;
    bool valid;
  };
  for (const Case& c : {Case{2004, 2, 29, true}, Case{2005, 2, 29, false}, Case{1900, 2, 29, false},
                        Case{2000, 2, 29, true}, Case{2005, 4, 31, false}, Case{0, 1, 1, false},
                        Case{2005, 13, 1, false}}) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    TDVDateRecord r{true, c.y, c.m, c.d, 10, 20, 30};
    e.DVDateCallback(r);
    EXPECT_EQ(r.Valid, c.valid);
    EXPECT_EQ(e.Grab.Current.Info.DVDateValid, c.valid);
    EXPECT_EQ(e.Grab.Current.Info.DVYear, c.valid ? c.y : 0);
  }
  delete vc;
}

// A sample longer than the picture the connection describes must not run
// past the grabber's DIB: the callback sees only the picture's bytes.
TEST_F(VcFrameGrab, OversizedSampleIsCutToThePicture) {
  auto type = mg::MakeVideoType(mg::MEDIASUBTYPE_RGB32, 64, 48, 400'000);
  const long frame = 64 * 48 * 4;
  auto source = std::make_shared<mg::CallbackSource>(type, 400'000, [](uint8_t* b, long size, int64_t) {
    std::fill(b, b + size, 0x5A);
    return size;
  });
  auto graph = mg::FilterGraph::Create();
  // Nothing is pumped: the only samples are the two handed in below.
  graph->SetScheduler(std::make_shared<mg::ManualScheduler>());
  auto grabber = CreateGrabberFilter();
  graph->AddFilter(source, "src");
  graph->AddFilter(grabber, "grb");
  TGrabberBlock* block = mg::QueryInterface<IVcGrabberControl>(grabber)->Init(gm_RGB);
  ASSERT_NE(block, nullptr);
  for (auto& s : block->Streams) s = true;
  block->Deliver = true;
  std::vector<int32_t> lengths;
  block->FrameCallback = [&](TGrabberBlock&, TGrabbedFrame& f) { lengths.push_back(f.Length); };
  ASSERT_GE(graph->ConnectDirect(source->Output(), grabber->Pins()[0], nullptr), 0);
  graph->Run();
  mg::MediaSample big(static_cast<size_t>(frame) * 3);
  big.SetActualDataLength(frame * 3);
  grabber->Pins()[0]->Receive(big);
  mg::MediaSample small(100);
  small.SetActualDataLength(100);
  grabber->Pins()[0]->Receive(small);
  graph->Stop();
  EXPECT_EQ(lengths, (std::vector<int32_t>{frame, 100}));
  // Modes whose code is not in this build are refused, not faked.
  for (int32_t mode : {3, 5, 6, 7})
    EXPECT_EQ(mg::QueryInterface<IVcGrabberControl>(CreateGrabberFilter())->Init(mode), nullptr) << mode;
}

// The setter on the GUI thread and the drawing on a streaming thread: the
// drawing always sees one whole template, never a mix of two.
TEST_F(VcFrameGrab, TemplateReplacedWhileDrawnIsNeverSeenHalfWritten) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  const std::string one = "aaaa%frame_count%aaaa%frame_count%aaaa", two = "bb%time_sec%bb%time_sec%bb%time_sec%bb";
  vc->SetTextOverlay_String(one);
  TFrameInfo info;
  info.FrameNumber = 7;
  info.FrameTime = 12'300'000;
  SplitFrameTimeParts(info);
  std::atomic<bool> done{false};
  std::atomic<int> bad{0}, drawn{0};
  std::thread drawer([&] {
    while (!done) {
      String text;
      if (!e.BuildOverlayText(info, text)) continue;
      ++drawn;
      if (text != "aaaa7aaaa7aaaa" && text != "bb1.23bb1.23bb1.23bb") ++bad;
    }
  });
  // On a loaded machine the drawer may not run at all before the
  // replacements are over: they start once it draws and go on until it has
  // drawn a hundred more times among them.
  while (drawn == 0) std::this_thread::yield();
  const int before = drawn;
  for (int i = 0; i < 20'000 || drawn < before + 100; ++i) {
    ParseTextOverlay(e, i % 2 ? one : two);
    if (i >= 20'000) std::this_thread::yield();
  }
  done = true;
  drawer.join();
  EXPECT_EQ(bad, 0);
  delete vc;
}

}  // namespace

namespace {

// A 32-bit DIB section of the given size, all black; its pixels' bounds
// (left, top, right, bottom, exclusive) of those that are not black.
struct Canvas32 {
  Canvas32(int w, int h) : width(w), height(h) {
    win::BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    dib = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
  }
  ~Canvas32() { win::DeleteObject(dib); }
  std::array<int, 4> Bounds() const {
    std::array<int, 4> b{width, height, -1, -1};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (bits[y * width + x] & 0xFFFFFF) {
          b[0] = std::min(b[0], x);
          b[1] = std::min(b[1], y);
          b[2] = std::max(b[2], x + 1);
          b[3] = std::max(b[3], y + 1);
        }
    return b;
  }
  int width, height;
  win::HBITMAP dib = nullptr;
  uint32_t* bits = nullptr;
};

}  // namespace

TEST_F(VcFrameGrab, ShapeAndAlignedTextLandWhereTheirRectanglesSay) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  auto* shape = new forms::TShape(form);
  shape->SetShape(forms::stCircle);
  shape->SetBounds(10, 5, 100, 60);
  shape->Pen()->SetColor(forms::clRed);
  shape->Brush()->SetColor(forms::clRed);
  vc->SetShapeOverlay(shape);
  vc->SetShapeOverlayEnabled(true);
  TFrameInfo info;
  {
    Canvas32 c(400, 200);
    e.DrawOverlays(info, c.dib);
    // A circle as wide as the shape is high, centred across it.
    EXPECT_EQ(c.Bounds(), (std::array<int, 4>{30, 5, 90, 65}));
  }
  shape->SetEnabled(false);
  {
    Canvas32 c(400, 200);
    e.DrawOverlays(info, c.dib);
    EXPECT_EQ(c.Bounds()[2], -1) << "a disabled shape is not drawn";
  }
  vc->SetShapeOverlayEnabled(false);
  vc->SetTextOverlay_Enabled(true);
  vc->SetTextOverlay_String("words that wrap at the right edge of the text rectangle");
  vc->SetTextOverlay_Left(100);
  vc->SetTextOverlay_Top(10);
  vc->SetTextOverlay_Right(320);
  vc->SetTextOverlay_Align(tf_Right);
  {
    Canvas32 c(400, 200);
    e.DrawOverlays(info, c.dib);
    const auto b = c.Bounds();
    EXPECT_GE(b[0], 100);
    EXPECT_LE(b[2], 320);
    EXPECT_GE(b[2], 314) << "right-aligned lines end at the right edge";
    EXPECT_GE(b[1], 10);
    EXPECT_GT(b[3] - b[1], 2 * e.Sel.TextOverlayFont->Size()) << "the text wrapped onto more lines";
  }
  // Opaque: the background colour fills behind the text.
  vc->SetTextOverlay_Transparent(false);
  vc->SetTextOverlay_BkColor(forms::clBlue);
  {
    Canvas32 c(400, 200);
    e.DrawOverlays(info, c.dib);
    int blue = 0;
    for (int i = 0; i < 400 * 200; ++i) blue += (c.bits[i] & 0xFFFFFF) == 0x0000FF;
    EXPECT_GT(blue, 500);
  }
  delete vc;
}

// The pixel format asked of the grabber reaches it whatever the device
// sends: the device is asked for the nearest subtype it offers and a
// converter makes up the rest; the frames handed on have that depth.
TEST_F(VcFrameGrab, GrabberGetsThePixelFormatAsked) {
  SetDiscoveryHooks({});
  PlugIn(mg::sim::CameraOptions{});
  struct Case {
    TFrameGrabberRGBFormat format;
    mg::GUID device, grabber;
    int bits;
  };
  const Case cases[] = {
      {fgf_RGB24, mg::MEDIASUBTYPE_RGB24, mg::MEDIASUBTYPE_RGB24, 24},
      {fgf_RGB32, mg::MEDIASUBTYPE_RGB32, mg::MEDIASUBTYPE_RGB32, 32},
      // The camera has no 5-6-5 subtype: it is asked for RGB32.
      {fgf_RGB565, mg::MEDIASUBTYPE_RGB32, mg::MEDIASUBTYPE_RGB565, 16},
      {fgf_RGB555, mg::MEDIASUBTYPE_RGB32, mg::MEDIASUBTYPE_RGB555, 16},
  };
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    vc->SetFrameGrabberRGBFormat(c.format);
    ASSERT_TRUE(vc->StartPreview());
    mg::AM_MEDIA_TYPE device, grabber;
    for (const auto& p : e.VideoDeviceFilter->Pins())
      if (p->IsConnected()) p->ConnectionMediaType(&device);
    ASSERT_NE(e.Grab.MainGrabber, nullptr);
    e.Grab.MainGrabber->Pins()[0]->ConnectionMediaType(&grabber);
    EXPECT_EQ(device.subtype, c.device);
    EXPECT_EQ(grabber.subtype, c.grabber);
    shots.clear();
    int bits = 0;
    vc->OnFrameCaptureCompleted = [&](TObject*, const TFrameData& d, TFrameCaptureDest, const String&, bool) {
      bits = d.DIBSection.dsBm.bmBitsPixel;
    };
    Step(e);
    ASSERT_TRUE(vc->CaptureFrameTo(fc_TBitmap, ""));
    Step(e);
    EXPECT_GT(bits, 0);
    EXPECT_EQ(e.Grab.Current.Data.DIBSection.dsBm.bmBitsPixel, c.bits);
    vc->Stop();
  }
  delete vc;
}

// Samples of both streams reach the application: kept by the engine and
// raised from the periodic work, or at once on the streaming thread.
TEST_F(VcFrameGrab, SamplesOfBothStreamsReachTheApplication) {
  PlugIn(mg::sim::CameraOptions{});
  PlugIn(mg::sim::AudioOptions{});
  for (bool async : {true, false}) {
    SCOPED_TRACE(async);
    TVidCap* vc = Control(fg_PreviewStream);
    TVcEngine& e = *vc->Engine();
    vc->SetAudioDevice(vc->GetAudioDeviceCount() - 1);
    vc->SetAudioDeviceRendering(true);
    vc->SetSampleCapture_Video(sc_AfterOnDraw);
    vc->SetSampleCapture_Audio(sc_Native);
    vc->SetSampleCaptureAsyncEvent(async);
    struct Got {
      int32_t kind, length, width;
      bool onPeriodicWork;
    };
    std::vector<Got> video, audio;
    bool inPeriodic = false;
    auto record = [&](std::vector<Got>& to) {
      return [&](TObject*, const TSampleData& d) {
        const auto* bih = static_cast<const mg::BITMAPINFOHEADER*>(d.BitmapInfoHeader);
        to.push_back({d.SampleKind, d.DataLength, bih ? bih->biWidth : -1, inPeriodic});
      };
    };
    vc->OnSampleCapture_Video = record(video);
    vc->OnSampleCapture_Audio = record(audio);
    ASSERT_TRUE(vc->StartPreview());
    ASSERT_NE(e.Grab.VideoSampleGrabber, nullptr);
    ASSERT_NE(e.Grab.AudioSampleGrabber, nullptr);
    for (int i = 0; i < 3; ++i) {
      Scheduler(e)->Pump(1);
      inPeriodic = true;
      e.PeriodicWork();
      inPeriodic = false;
    }
    ASSERT_FALSE(video.empty());
    ASSERT_FALSE(audio.empty());
    EXPECT_EQ(video[0].kind, 0);
    EXPECT_EQ(video[0].width, e.Grab.GrabberType.BitmapHeader()->biWidth);
    EXPECT_EQ(video[0].length, static_cast<int32_t>(e.Grab.GrabberType.BitmapHeader()->biSizeImage));
    EXPECT_EQ(audio[0].kind, 7);
    EXPECT_EQ(audio[0].width, -1);
    EXPECT_GT(audio[0].length, 0);
    for (const Got& g : video) EXPECT_EQ(g.onPeriodicWork, async);
    for (const Got& g : audio) EXPECT_EQ(g.onPeriodicWork, async);
    if (!async) {
      EXPECT_EQ(video.size(), 3u);
    }
    vc->Stop();
    delete vc;
  }
}

// Extra filters go in line at their place; one that cannot be made or has
// no output is reported and left out, and the chain goes on.
TEST_F(VcFrameGrab, ExtraFiltersGoInLineAndUnusableOnesAreLeftOut) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  const mg::GUID unknown = mg::GUID::FromText("{0BADF00D-0000-4000-8000-000000000001}");
  auto& source = e.Sel.ThirdPartyFilters[tpf_VideoSource];
  source[0] = {unknown, true, "Ghost", nullptr};
  source[1] = {mg::CLSID_ColorSpaceConverter, true, "Conv", nullptr};
  source[2] = {mg::CLSID_NullRenderer, true, "Sink", nullptr};
  source[3] = {mg::CLSID_InfTee, false, "Off", nullptr};
  source[4] = {mg::CLSID_InfTee, true, "Tee", nullptr};
  e.Sel.ThirdPartyFilters[tpf_VideoPreview][0] = {mg::CLSID_InfTee, true, "PreviewTee", nullptr};
  std::vector<std::pair<int, int>> connected;
  vc->OnThirdPartyFilterConnected = [&](TObject*, TThirdPartyFilterList where, int32_t index,
                                        std::shared_ptr<mg::Object> intf) {
    EXPECT_NE(intf, nullptr);
    connected.emplace_back(where, index);
  };
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(connected, (std::vector<std::pair<int, int>>{{tpf_VideoSource, 1}, {tpf_VideoSource, 4},
                                                          {tpf_VideoPreview, 0}}));
  EXPECT_TRUE(Logged("create third party filter"));
  EXPECT_TRUE(Logged("cannot find output pin: Sink"));
  EXPECT_TRUE(Logged("filter inserted on video source:Conv"));
  EXPECT_TRUE(Logged("filter inserted on video preview:PreviewTee"));
  std::shared_ptr<mg::BaseFilter> found;
  EXPECT_EQ(e.FilterGraph->FindFilterByName("Tee", &found), mg::S_OK);
  EXPECT_NE(e.FilterGraph->FindFilterByName("Sink", &found), mg::S_OK) << "removed again";
  Step(e, 2);
  EXPECT_EQ(progress.size(), 2u) << "frames pass the chain";
  vc->Stop();
  EXPECT_EQ(source[1].Filter, nullptr) << "released with the graph";
  delete vc;
}

// Without a grabber no frame is copied, yet progress still follows the
// frames the device delivered, and no snapshot can be asked for.
TEST_F(VcFrameGrab, WithoutGrabberProgressFollowsTheDeliveredCount) {
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_Disabled);
  TVcEngine& e = *vc->Engine();
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_EQ(e.Grab.MainGrabber, nullptr);
  EXPECT_TRUE(e.NoFrameGrabber);
  Step(e, 3);
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[0].FrameNumber, 1);
  EXPECT_EQ(progress[2].FrameNumber, 3);
  EXPECT_FALSE(vc->CaptureFrameTo(fc_TBitmap, ""));
  delete vc;
}

// A multiplexed master hands each frame to the waiting slave of the
// channel its first byte names; a no-signal frame goes nowhere.
TEST_F(VcFrameGrab, MasterRoutesFramesByChannelAndDropsNoSignalFrames) {
  TVidCap* master = MakeControl();
  TVidCap* slave0 = MakeControl();
  TVidCap* slave1 = MakeControl();
  TVcEngine& e = *master->Engine();
  e.GraphActive = true;
  e.Grab.MainGrabber = CreateGrabberFilter();
  e.Slave[0] = slave0->Engine();
  e.Slave[1] = slave1->Engine();
  // A 35 x 24 24-bit frame: rows of 105 bytes padded to 108.
  win::BITMAPINFO info{};
  info.bmiHeader.biWidth = 35;
  info.bmiHeader.biHeight = 24;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  win::HBITMAP dib = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &bits, nullptr, 0);
  win::DIBSECTION section{};
  win::GetObject(dib, sizeof section, &section);
  ASSERT_EQ(section.dsBm.bmWidthBytes, 108);
  const size_t size = 108 * 24;
  auto* px = static_cast<uint8_t*>(bits);
  auto send = [&](uint8_t channel) {
    mg::MediaSample sample(size);
    sample.SetActualDataLength(static_cast<mg::LONG>(size));
    std::memcpy(sample.GetPointer(), px, size);
    sample.GetPointer()[0] = channel;
    TGrabbedFrame f;
    f.Sample = &sample;
    f.Length = static_cast<int32_t>(size);
    f.Dib = dib;
    f.Section = &section;
    f.Bits = px;
    TGrabberBlock block;
    e.MasterFrameCallback(block, f);
  };
  std::memset(px, 0x40, size);
  slave0->Engine()->Grab.SlaveWaiting = true;
  slave1->Engine()->Grab.SlaveWaiting = true;
  send(7);
  EXPECT_TRUE(slave0->Engine()->Grab.SlaveFrameReady) << "channel 7 counts as 0";
  EXPECT_EQ(slave0->Engine()->Grab.SlaveFrame.size(), size);
  EXPECT_FALSE(slave0->Engine()->Grab.SlaveWaiting);
  EXPECT_FALSE(slave1->Engine()->Grab.SlaveFrameReady);
  send(1);
  EXPECT_TRUE(slave1->Engine()->Grab.SlaveFrameReady);
  // Blue at the nine probes (rows 14, 12, 10; columns 10, 17, 25): no
  // signal, nobody gets it.
  for (size_t row : {14, 12, 10})
    for (size_t col : {10, 17, 25}) {
      uint8_t* p = px + row * 108 + col * 3;
      p[0] = 192;
      p[1] = p[2] = 0;
    }
  slave1->Engine()->Grab.SlaveWaiting = true;
  slave1->Engine()->Grab.SlaveFrameReady = false;
  send(1);
  EXPECT_FALSE(slave1->Engine()->Grab.SlaveFrameReady);
  EXPECT_TRUE(slave1->Engine()->Grab.SlaveWaiting);
  e.GraphActive = false;
  e.Slave[0] = e.Slave[1] = nullptr;
  win::DeleteObject(dib);
  delete slave1;
  delete slave0;
  delete master;
}

// On real streaming threads: the callback hands frames over under the
// frame lock while this thread takes them, draws overlays meanwhile and
// asks for snapshots; every frame number comes once and in order.
TEST_F(VcFrameGrab, FramesHandedOverFromARealStreamingThread) {
  SetGraphSchedulerFactory([] { return std::make_shared<mg::ThreadedScheduler>(); });
  PlugIn(mg::sim::CameraOptions{});
  TVidCap* vc = Control(fg_PreviewStream);
  TVcEngine& e = *vc->Engine();
  vc->SetTextOverlay_String("frame %frame_count%");
  vc->SetTextOverlay_Enabled(true);
  ASSERT_TRUE(vc->StartPreview());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int asked = 0;
  while (shots.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    if (asked < 3 && vc->CaptureFrameTo(fc_TBitmap, "")) ++asked;
    ParseTextOverlay(e, asked % 2 ? "odd %frame_count%" : "even %time_sec%");
    e.PeriodicWork();
    // The graph's clock follows the test's clock.
    clock.Advance(5);
    std::this_thread::yield();
  }
  vc->Stop();
  ASSERT_EQ(shots.size(), 3u);
  for (const Shot& s : shots) EXPECT_TRUE(s.ok && s.width > 0);
  ASSERT_GE(progress.size(), 3u);
  for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i].FrameNumber, progress[i - 1].FrameNumber);
  delete vc;
}
