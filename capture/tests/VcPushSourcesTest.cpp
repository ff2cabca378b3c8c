// The pushed video sources: a set-of-bitmaps file made from ImageMagick's
// BMP files played once and repeated, records that are cut short or lie
// about their lengths, and bitmaps handed over by the application.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "capture/VcEngine.h"
#include "capture/VcPushSources.h"
#include "capture/tests/VcManualGraphFixture.h"
#include "platform/win/Bitmap.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"

namespace {

using namespace capture;
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

void PutLe32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 24-bit BMP of one colour, made by ImageMagick.
Bytes MakeBmp(const std::string& dir, int red, int w = 320, int h = 240) {
  const std::string path = dir + "/c" + std::to_string(red) + ".bmp";
  const std::string cmd = "convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:'rgb(" +
                          std::to_string(red) + ",20,30)' -type TrueColor BMP3:" + path;
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return ReadAll(path);
}

Bytes SetOfBitmaps(const std::vector<Bytes>& records) {
  Bytes f = {'V', 'X', 'S', '1'};
  for (const Bytes& r : records) {
    PutLe32(f, static_cast<uint32_t>(r.size()));
    f.insert(f.end(), r.begin(), r.end());
  }
  return f;
}

void WriteAll(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

class VcPushSources : public captest::ManualGraphFixture {
protected:
  void SetUp() override {
    ManualGraphFixture::SetUp();
    PlugCameras(1);
  }
  TVidCap* Control(TVideoSource source) {
    TVidCap* vc = MakeControl();
    vc->SetFrameGrabber(fg_PreviewStream);
    vc->SetAudioRecording(false);
    vc->SetAudioDeviceRendering(false);
    vc->SetVideoSource(source);
    vc->OnFrameCaptureCompleted = [this](TObject*, const TFrameData& d, TFrameCaptureDest, const String&, bool) {
      // The red of the picture's first pixel tells which one it is.
      const auto* bits = static_cast<const uint8_t*>(d.DIBSection.dsBm.bmBits);
      reds.push_back(bits ? bits[2] : -1);
    };
    return vc;
  }
  // One frame from the source, taken as a snapshot; false once none came.
  static bool Step(TVidCap* vc) {
    TVcEngine& e = *vc->Engine();
    auto s = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler());
    if (!vc->CaptureFrameTo(fc_TBitmap, "")) return false;
    const bool pushed = s && s->Pump(1) > 0;
    e.PeriodicWork();
    e.Grab.CaptureRequested = false;
    return pushed;
  }
  std::vector<int> reds;
};

TEST_F(VcPushSources, ImagesFilePlaysItsPicturesOnceOrOverAndOver) {
  const std::string dir = dir_.string();
  const std::string file = dir + "/set.dat";
  WriteAll(file, SetOfBitmaps({MakeBmp(dir, 10), MakeBmp(dir, 20), MakeBmp(dir, 30)}));
  for (bool repeat : {false, true}) {
    SCOPED_TRACE(repeat);
    reds.clear();
    TVidCap* vc = Control(vs_VideoFromImages);
    vc->SetVideoFromImages_TemporaryFile(file);
    vc->SetVideoFromImages_RepeatIndefinitely(repeat);
    ASSERT_TRUE(vc->StartPreview());
    ASSERT_TRUE(vc->Engine()->ImagesFile && vc->Engine()->ImagesFile->IsOpen());
    for (int i = 0; i < 8; ++i) Step(vc);
    const std::vector<int> want = repeat ? std::vector<int>{10, 20, 30, 10, 20, 30, 10, 20} : std::vector<int>{10, 20, 30};
    EXPECT_EQ(reds, want);
    vc->Stop();
    EXPECT_FALSE(vc->Engine()->ImagesFile) << "the teardown closes the file";
    delete vc;
  }
  // No file: the graph cannot be built.
  TVidCap* vc = Control(vs_VideoFromImages);
  vc->SetVideoFromImages_TemporaryFile(dir + "/missing.dat");
  EXPECT_FALSE(vc->StartPreview());
  delete vc;
}

TEST_F(VcPushSources, ShortRecordsAreRefusedNotReadPast) {
  const std::string dir = dir_.string();
  const Bytes good = MakeBmp(dir, 40, 64, 48);
  Bytes cut = good;
  cut.resize(cut.size() - 1);  // one byte short of a frame
  Bytes lying = good;
  lying[10] = 200;  // pixels said to start further in than the record allows
  struct Case {
    const char* name;
    Bytes file;
    std::vector<int> frames;
  };
  Bytes pastEnd = SetOfBitmaps({good});
  PutLe32(pastEnd, 0x7FFFFFF0);  // a length far beyond the file
  pastEnd.insert(pastEnd.end(), good.begin(), good.end());
  const Case cases[] = {
      {"cut", SetOfBitmaps({good, cut, good}), {40}},
      {"offset", SetOfBitmaps({good, lying}), {40}},
      {"length past the end", pastEnd, {40}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reds.clear();
    log.clear();
    const std::string file = dir + "/bad.dat";
    WriteAll(file, c.file);
    TVidCap* vc = Control(vs_VideoFromImages);
    vc->SetVideoFromImages_TemporaryFile(file);
    vc->SetVideoFromImages_RepeatIndefinitely(true);
    ASSERT_TRUE(vc->StartPreview());
    for (int i = 0; i < 4; ++i) Step(vc);
    EXPECT_EQ(reds, c.frames);
    bool reported = false;
    for (const auto& l : log) reported |= l.msg.find("images file") != std::string::npos;
    EXPECT_TRUE(reported);
    vc->Stop();
    delete vc;
  }
}

TEST(VcImagesFile, FormatIsTheFirstRecordsBitmapHeader) {
  struct Case {
    uint32_t offBits;
    size_t size;  // 0: no format
  };
  // The header, 40 bytes, sits between the 14-byte file header and the
  // pixels; an offset inside the file header or past the record is refused.
  const Case cases[] = {{54, 40}, {66, 52}, {13, 0}, {53, 0}, {500, 0}};
  for (const Case& c : cases) {
    Bytes rec(100, 0);
    rec[0] = 'B';
    rec[1] = 'M';
    rec[10] = static_cast<uint8_t>(c.offBits);
    rec[11] = static_cast<uint8_t>(c.offBits >> 8);
    rec[14] = 40;
    Bytes file = SetOfBitmaps({rec});
    TImagesFile f;
    ASSERT_TRUE(f.Attach(fmemopen(file.data(), file.size(), "rb")));
    EXPECT_EQ(f.Header(), 0x31535856u);
    Bytes format;
    EXPECT_EQ(f.Format(format), c.size > 0) << c.offBits;
    EXPECT_EQ(format.size(), c.size);
    if (c.size) {
      EXPECT_EQ(format[0], 40);
    }
    // The reader is back at the first record.
    uint8_t pixel[10];
    EXPECT_EQ(f.NextFrame(pixel, 10), c.offBits + 10 <= 100 && c.offBits >= 54 ? TImagesFile::rd_Frame : TImagesFile::rd_Bad);
  }
}

TEST_F(VcPushSources, ApplicationBitmapsOfTheRightSizeAreStreamed) {
  // 24-bit sections of 30 x 20: rows of 90 bytes padded to 92.
  auto makeDib = [](int bits, uint8_t red) {
    win::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(win::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 30;
    info.bmiHeader.biHeight = 20;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<win::WORD>(bits);
    void* p = nullptr;
    win::HBITMAP h = win::CreateDIBSection(nullptr, &info, win::DIB_RGB_COLORS, &p, nullptr, 0);
    win::DIBSECTION ds{};
    win::GetObject(h, sizeof ds, &ds);
    if (bits >= 24)
      for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) static_cast<uint8_t*>(p)[y * ds.dsBm.bmWidthBytes + x * (bits / 8) + 2] = red;
    return h;
  };
  int asked = 0;
  TVidCap* vc = Control(vs_VideoFromBitmaps);
  vc->OnVideoFromBitmaps_FormatNeeded = [&](TObject*, win::HBITMAP& h) { h = makeDib(24, 0); };
  vc->OnVideoFromBitmaps_NextFrameNeeded = [&](TObject*, win::HBITMAP& h, bool& end) {
    ++asked;
    // The third picture is the last; the fourth is of another size and is
    // never reached.
    h = makeDib(asked == 4 ? 32 : 24, static_cast<uint8_t>(50 * asked));
    end = asked == 3;
  };
  ASSERT_TRUE(vc->StartPreview());
  EXPECT_TRUE(vc->Engine()->RecordingFromBitmap.FormatValid);
  for (int i = 0; i < 5; ++i) Step(vc);
  EXPECT_EQ(reds, (std::vector<int>{50, 100}));
  EXPECT_EQ(asked, 3) << "the stream ended with the picture that said so";
  vc->Stop();

  // A picture of another size ends the stream at once.
  reds.clear();
  asked = 3;
  ASSERT_TRUE(vc->StartPreview());
  Step(vc);
  EXPECT_TRUE(reds.empty());
  vc->Stop();

  // A 16-bit format makes every frame request end the stream.
  vc->OnVideoFromBitmaps_FormatNeeded = [&](TObject*, win::HBITMAP& h) { h = makeDib(16, 0); };
  asked = 0;
  if (vc->StartPreview()) {
    EXPECT_FALSE(vc->Engine()->RecordingFromBitmap.FormatValid);
    Step(vc);
    EXPECT_EQ(asked, 0);
    vc->Stop();
  }
  delete vc;
}

}  // namespace

namespace {

using namespace capture;

TEST_F(VcPushSources, SlaveTakesOnlyAFrameAsLongAsItsBuffer) {
  TVidCap* vc = MakeControl();
  TVcEngine& e = *vc->Engine();
  std::vector<uint8_t> buffer(16, 0xEE);
  EXPECT_FALSE(e.NextSlaveFrame(buffer.data(), 16)) << "nothing ready";
  struct Case {
    size_t frame;
    bool taken;
  };
  for (const Case& c : {Case{16, true}, Case{15, false}, Case{40, true}}) {
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    e.Grab.SlaveFrame.assign(c.frame, 0x11);
    e.Grab.SlaveFrameReady = true;
    e.Grab.SlaveWaiting = false;
    EXPECT_EQ(e.NextSlaveFrame(buffer.data(), 16), c.taken) << c.frame;
    EXPECT_EQ(buffer[15], c.taken ? 0x11 : 0xEE);
    // Either way the master may hand over the next frame.
    EXPECT_TRUE(e.Grab.SlaveWaiting);
    EXPECT_FALSE(e.Grab.SlaveFrameReady);
  }
  mg::AM_MEDIA_TYPE type;
  bool flag = true;
  EXPECT_FALSE(e.ExternalMediaType(type, flag));
  bool eos = false;
  EXPECT_FALSE(e.NextExternalFrame(buffer.data(), 16, eos));
  delete vc;
}

}  // namespace
