// The JPEG filter against libjpeg-turbo's own command-line tools: pixels
// equal djpeg's at every scale, automatic scaling, resolution, the start
// search, truncated and empty data, ICC chunks, and the markers written.
#include "imaging/core/jpegfilt.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsICC.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/imgkitioRegistry.h"
#include "imaging/core/tests/IkImageFixtures.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/Streams.h"

namespace imaging {
namespace {

using namespace testing;

class JpegFilter : public TempFolderTest {
protected:
  std::string Path(const std::string& name) const { return folder_ + name; }
  // Makes a picture with ImageMagick; the arguments go before the output.
  std::string Make(const std::string& name, const std::string& args) {
    const std::string p = Path(name);
    EXPECT_TRUE(RunTool("convert " + args + " " + p)) << args;
    return p;
  }
  std::string Plasma(const std::string& name, const std::string& size, const std::string& options) {
    return Make(name, "-seed 7 -size " + size + " plasma:fractal " + options);
  }
  // Reads a file; the abort flag comes back in `aborted`.
  void Read(const std::vector<uint8_t>& bytes, TIKBitmap& b, TIOParamsVals& p, bool& aborted, bool paramsOnly = false) {
    TIKMemStream s(bytes.empty() ? nullptr : bytes.data(), static_cast<int64_t>(bytes.size()));
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    ReadJpegStream(&s, nullptr, &b, true, false, true, false, paramsOnly, pr, p);
    aborted = abort;
  }
  void ReadFile(const std::string& path, TIKBitmap& b, TIOParamsVals& p, bool& aborted, bool paramsOnly = false) {
    Read(FileBytes(path), b, p, aborted, paramsOnly);
  }
  RgbaImage Djpeg(const std::string& path, const std::string& scale) {
    const std::string out = path + "." + std::to_string(std::hash<std::string>{}(scale)) + ".pnm";
    EXPECT_TRUE(RunTool("djpeg -dct int -scale " + scale + " -outfile " + out + " " + path));
    return ReadPnm(out);
  }
};

TEST_F(JpegFilter, DecodesTheSamePixelsAsDjpegAtEveryScale) {
  const std::string files[] = {
      Plasma("base.jpg", "333x247", "-quality 85 -sampling-factor 2x2"),
      Plasma("full.jpg", "333x247", "-quality 92 -sampling-factor 1x1"),
      Plasma("prog.jpg", "333x247", "-quality 80 -interlace JPEG"),
      Plasma("gray.jpg", "333x247", "-colorspace gray -quality 75"),
  };
  struct Scale {
    uint8_t param;
    const char* djpeg;
    int32_t denominator;
  };
  for (const std::string& f : files)
    for (const Scale& s : {Scale{1, "1/1", 1}, Scale{2, "1/2", 2}, Scale{3, "1/4", 4}, Scale{4, "1/8", 8}}) {
      TIKBitmap b;
      TIOParamsVals p;
      p.JpegScale = s.param;
      bool aborted = true;
      ReadFile(f, b, p, aborted);
      EXPECT_FALSE(aborted) << f;
      EXPECT_EQ(p.JpegScaleUsed, s.denominator);
      EXPECT_EQ(p.JpegOriginalWidth, 333);
      EXPECT_EQ(b.PixelFormat(), ikRGB24);
      EXPECT_EQ(MaxColorDifference(b, Djpeg(f, s.djpeg)), 0) << f << " at " << s.djpeg;
    }

  // What the reader reports about the files themselves.
  TIKBitmap b;
  TIOParamsVals p;
  bool aborted = false;
  ReadFile(files[2], b, p, aborted, true);
  EXPECT_TRUE(p.JpegProgressive);
  EXPECT_EQ(p.JpegColorSpace, 2);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_TRUE(b.IsEmpty());
  p.NativePixelFormat = true;
  ReadFile(files[3], b, p, aborted);
  EXPECT_EQ(p.JpegColorSpace, 1);
  EXPECT_EQ(p.SamplesPerPixel, 1);
  EXPECT_EQ(b.PixelFormat(), ikGray8);
  EXPECT_EQ(MaxColorDifference(b, Djpeg(files[3], "1/1")), 0);
}

TEST_F(JpegFilter, CmykFilesKeepTheirSamplesOrBecomeRgb) {
  const std::string f = Plasma("cmyk.jpg", "64x48", "-colorspace CMYK -quality 90");
  TIKBitmap b;
  TIOParamsVals p;
  bool aborted = true;
  p.NativePixelFormat = true;
  ReadFile(f, b, p, aborted);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(p.SamplesPerPixel, 4);
  EXPECT_TRUE(p.JpegColorSpace == 3 || p.JpegColorSpace == 4);
  EXPECT_EQ(b.PixelFormat(), ikCMYK);
  p.NativePixelFormat = false;
  ReadFile(f, b, p, aborted);
  EXPECT_EQ(b.PixelFormat(), ikRGB24);
  EXPECT_EQ(b.Width(), 64);
}

TEST_F(JpegFilter, AutomaticScaleTakesTheSmallestThatCoversTheWantedSize) {
  const std::string f = Make("big.jpg", "-size 2000x1500 gradient:navy-gold -quality 70");
  struct Case {
    int32_t wantW, wantH, denominator, outW, outH;
  };
  for (const Case& c : {Case{160, 120, 8, 250, 188}, Case{300, 200, 4, 500, 375}, Case{0, 0, 1, 2000, 1500},
                        Case{1001, 10, 1, 2000, 1500}}) {
    TIKBitmap b;
    TIOParamsVals p;
    p.JpegScale = 0;
    p.Width = c.wantW;
    p.Height = c.wantH;
    bool aborted = true;
    ReadFile(f, b, p, aborted, true);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(p.JpegScaleUsed, c.denominator) << c.wantW << "x" << c.wantH;
    EXPECT_EQ(p.Width, c.outW);
    EXPECT_EQ(p.Height, c.outH);
  }
}

TEST_F(JpegFilter, ResolutionFromTheJfifDensity) {
  struct Case {
    const char* args;
    int32_t dpi;
  };
  for (const Case& c : {Case{"-units PixelsPerCentimeter -density 118", 299}, Case{"-units PixelsPerInch -density 72", 72}}) {
    const std::string f = Make("d.jpg", std::string("-size 16x16 xc:teal ") + c.args);
    TIKBitmap b;
    TIOParamsVals p;
    bool aborted = true;
    ReadFile(f, b, p, aborted, true);
    EXPECT_EQ(p.DpiX(), c.dpi) << c.args;
    EXPECT_EQ(p.DpiY(), c.dpi) << c.args;
  }
}

TEST_F(JpegFilter, StartWithinOneHundredBytesTruncatedAndEmptyData) {
  const std::string f = Plasma("t.jpg", "120x90", "-quality 90");
  const std::vector<uint8_t> jpeg = FileBytes(f);
  const RgbaImage reference = Djpeg(f, "1/1");

  for (size_t prefix : {size_t{0}, size_t{99}, size_t{100}}) {
    std::vector<uint8_t> bytes(prefix, 0x20);
    bytes.insert(bytes.end(), jpeg.begin(), jpeg.end());
    TIKMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(FindJpegStart(s), prefix < 100 ? static_cast<int64_t>(prefix) : -1);
    EXPECT_EQ(s.Position(), 0);
    TIKBitmap b;
    TIOParamsVals p;
    bool aborted = false;
    Read(bytes, b, p, aborted);
    EXPECT_EQ(aborted, prefix >= 100) << prefix;
    if (prefix < 100) {
      EXPECT_EQ(MaxColorDifference(b, reference), 0);
    }
  }

  // Cut inside the scan data: the whole image comes back, its first rows
  // decoded as in the full file, and the library's warning is kept.
  std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(jpeg.size() / 2));
  TIKBitmap b;
  TIOParamsVals p;
  bool aborted = true;
  Read(cut, b, p, aborted);
  EXPECT_FALSE(aborted);
  ASSERT_EQ(b.Width(), 120);
  ASSERT_EQ(b.Height(), 90);
  EXPECT_GT(p.JpegWarningCount, 0);
  for (int32_t x = 0; x < 120; ++x) {
    const uint8_t* px = reference.At(x, 0);
    EXPECT_EQ(b.GetPixelRGB(x, 0), (TRGB{px[2], px[1], px[0]}));
  }

  // Nothing at all, or only the start of image: an abort, and the buffer
  // is left alone.
  for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{0xFF, 0xD8, 0xFF}}) {
    TIKBitmap untouched;
    untouched.Allocate(3, 3, ikRGB24);
    TIOParamsVals q;
    aborted = false;
    Read(bytes, untouched, q, aborted);
    EXPECT_TRUE(aborted) << bytes.size();
    EXPECT_EQ(untouched.Width(), 3);
  }
}

TEST_F(JpegFilter, IccChunksAreJoinedAndBrokenOnesIgnored) {
  const std::string icc = "/usr/share/color/icc/ghostscript/a98.icc";
  const std::string f = Plasma("icc.jpg", "40x30", "-profile " + icc);
  const std::vector<uint8_t> profile = FileBytes(icc);
  std::vector<uint8_t> bytes = FileBytes(f);
  {
    TIOParamsVals p;
    TIKMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    ReadJpegIccProfile(s, p);
    EXPECT_EQ(s.Position(), 0);
    ASSERT_TRUE(p.HasInputICCProfile());
    EXPECT_EQ(p.InputICCProfile()->Bytes(), profile);
    // A full read keeps the APP2 marker (no transform ran) and the profile.
    TIKBitmap b;
    bool aborted = true;
    Read(bytes, b, p, aborted);
    EXPECT_GE(p.JpegMarkers.IndexOf(0xE2), 0);
    EXPECT_EQ(p.InputICCProfile()->Size(), static_cast<int32_t>(profile.size()));
  }
  // A chunk numbered 0, or beyond the announced count, spoils the profile.
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin("ICC_PROFILE"), std::end("ICC_PROFILE"));
  ASSERT_NE(at, bytes.end());
  for (uint8_t sequence : {uint8_t{0}, uint8_t{2}}) {
    std::vector<uint8_t> broken = bytes;
    broken[static_cast<size_t>(at - bytes.begin()) + 12] = sequence;
    TIOParamsVals p;
    TIKMemStream s(broken.data(), static_cast<int64_t>(broken.size()));
    ReadJpegIccProfile(s, p);
    EXPECT_FALSE(p.HasInputICCProfile()) << int(sequence);
  }
}

// The marker codes of a JPEG file up to the start of scan.
std::vector<uint8_t> MarkerCodes(const std::vector<uint8_t>& f) {
  std::vector<uint8_t> codes;
  size_t i = 2;
  codes.push_back(f[1]);
  while (i + 4 <= f.size() && f[i] == 0xFF) {
    codes.push_back(f[i + 1]);
    if (f[i + 1] == 0xDA) break;
    i += 2 + (f[i + 2] << 8 | f[i + 3]);
  }
  return codes;
}

TEST_F(JpegFilter, WrittenFilesCarryTheMarkersInOrderAndDecodeInDjpeg) {
  TIKBitmap pic;
  {
    TIOParamsVals p;
    bool aborted = true;
    ReadFile(Make("src.jpg", "-size 96x64 gradient:crimson-skyblue -quality 95"), pic, p, aborted);
  }
  struct Case {
    uint8_t colorSpace;
    std::vector<uint8_t> codes;
  };
  const std::string comment = "a comment";
  const std::vector<uint8_t> extraApp0 = {'J', 'F', 'X', 'X', 0, 0x13};
  for (const Case& c : {Case{2, {0xD8, 0xE0, 0xFE, 0xE0, 0xE1}}, Case{3, {0xD8, 0xE0, 0xEE, 0xFE, 0xE0, 0xE1}}}) {
    TIOParamsVals p;
    p.JpegColorSpace = c.colorSpace;
    p.JpegQuality = 90;
    p.SetDpiX(150);
    p.SetDpiY(150);
    p.JpegMarkers.AddMarker(0xFE, comment.data(), static_cast<int32_t>(comment.size()));
    p.JpegMarkers.AddMarker(0xEE, "Adobe!", 6);  // never written again
    p.JpegMarkers.AddMarker(0xE0, extraApp0.data(), static_cast<int32_t>(extraApp0.size()));
    p.JpegMarkers.AddMarker(0xE1, "Exif\0\0", 6);
    std::atomic<bool> abort{false};
    {
      rtl::TFileStream out(Path("w.jpg"), rtl::fmCreate);
      TProgressRec pr;
      pr.AbortFlag = &abort;
      WriteJpegStream(out, &pic, p, pr);
    }
    EXPECT_FALSE(abort);
    const std::vector<uint8_t> written = FileBytes(Path("w.jpg"));
    std::vector<uint8_t> codes = MarkerCodes(written);
    codes.resize(std::min(codes.size(), c.codes.size()));
    EXPECT_EQ(codes, c.codes) << int(c.colorSpace);

    // Read back: the second APP0 is kept, the JFIF header is not, the
    // density is ours.
    TIKBitmap back;
    TIOParamsVals q;
    bool aborted = true;
    ReadFile(Path("w.jpg"), back, q, aborted);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(q.DpiX(), 150);
    ASSERT_GE(q.JpegMarkers.Count(), 3);
    EXPECT_EQ(q.JpegMarkers.MarkerType(q.JpegMarkers.IndexOf(0xE0)), 0xE0);
    EXPECT_EQ(q.JpegMarkers.MarkerLength(q.JpegMarkers.IndexOf(0xE0)), static_cast<int32_t>(extraApp0.size()));
    if (c.colorSpace == 2) {
      EXPECT_EQ(MaxColorDifference(back, Djpeg(Path("w.jpg"), "1/1")), 0);
    }
    EXPECT_LT(MeanColorDifference(back, ToRgba(pic)), 4.0) << int(c.colorSpace);
  }
}

TEST_F(JpegFilter, ThroughTheComponentByName) {
  TImgKitIO io(nullptr);
  TIKBitmap pic;
  {
    TIOParamsVals p;
    bool aborted = true;
    ReadFile(Plasma("src.jpg", "50x40", "-quality 95"), pic, p, aborted);
  }
  io.IKBitmap()->Assign(&pic);
  io.Params().JpegQuality = 90;
  io.SaveImageByFileName(Path("out.jpg"));
  EXPECT_FALSE(io.Aborting);
  EXPECT_EQ(DetectFileFormat(Path("out.jpg"), true), ioJPEG);

  TImgKitIO reader(nullptr);
  reader.LoadFromFile(Path("out.jpg"));
  EXPECT_FALSE(reader.Aborting);
  EXPECT_EQ(reader.Params().FileType, ioJPEG);
  EXPECT_EQ(MaxColorDifference(*reader.IKBitmap(), Djpeg(Path("out.jpg"), "1/1")), 0);

  // Data that is no JPEG, named as one: the load aborts.
  WriteBytes(Path("bad.jpg"), std::vector<uint8_t>(300, 7));
  reader.LoadFromFileJPEG(Path("bad.jpg"));
  EXPECT_TRUE(reader.Aborting);
}

}  // namespace
}  // namespace imaging
