// The BMP filter against ImageMagick and netpbm: every depth and
// compression they write reads as its PNG twin, our files read back in
// bmptopnm, the RLE byte sequences, and headers whose sizes lie.
#include "imaging/core/bmpfilt.h"

#include <gtest/gtest.h>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/ikutilsMask.h"
#include "imaging/core/ikutilsStreams.h"
#include "imaging/core/imgkitio.h"
#include "imaging/core/tests/IkImageFixtures.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/Streams.h"

namespace imaging {
namespace {

using namespace testing;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}
void SetLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

struct ReadResult {
  bool aborted = false;
  std::unique_ptr<TIKMask> mask;
};

ReadResult ReadBytes(const std::vector<uint8_t>& bytes, TIKBitmap& b, TIOParamsVals& p) {
  TIKMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  ReadResult r;
  ReadBmpImage(s, &b, 0, p, pr, false, false, r.mask, false);
  r.aborted = abort;
  return r;
}

std::vector<uint8_t> WriteToBytes(TIKBitmap& b, TIOParamsVals& p, bool* aborted = nullptr) {
  rtl::TMemoryStream s;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  WriteBmpImage(s, &b, p, pr);
  if (aborted) *aborted = abort;
  std::vector<uint8_t> out(static_cast<size_t>(s.Size()));
  s.SetPosition(0);
  s.Read(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

class BmpFilter : public TempFolderTest {
protected:
  std::string Path(const std::string& n) const { return folder_ + n; }
  // A colourful 37 x 23 picture (odd width: every row is padded).
  std::string Source() {
    const std::string p = Path("src.png");
    if (!std::filesystem::exists(p)) {
      EXPECT_TRUE(RunTool("convert -seed 3 -size 37x23 plasma:fractal " + p));
    }
    return p;
  }
};

TEST_F(BmpFilter, EveryKindTheToolsWriteReadsAsItsPngTwin) {
  struct Case {
    const char* name;
    std::string make;  // {src} and {out} are replaced
    int32_t bits;
    int tolerance;
    bool alpha;
  };
  const Case cases[] = {
      {"im-24", "convert {src} BMP3:{out}", 24, 0, false},
      {"im-os2-24", "convert {src} BMP2:{out}", 24, 0, false},
      {"im-v5-24", "convert {src} -alpha off BMP:{out}", 24, 0, false},
      {"im-8-rle", "convert {src} -colors 200 -type palette BMP3:{out}", 8, 0, false},
      {"im-8", "convert {src} -colors 200 -type palette -compress none BMP3:{out}", 8, 0, false},
      {"im-4", "convert {src} -colors 16 BMP3:{out}", 4, 0, false},
      {"im-1", "convert {src} -monochrome BMP3:{out}", 1, 0, false},
      {"im-gray", "convert {src} -colorspace gray -type grayscale BMP3:{out}", 8, 0, false},
      // 16-bit samples are widened differently by the tools: within a step.
      {"im-565", "convert {src} -define bmp:subtype=RGB565 {out}", 16, 8, false},
      {"im-555", "convert {src} -define bmp:subtype=RGB555 {out}", 16, 8, false},
      {"im-32-alpha", "convert {src} -alpha set -channel A -fx 'i/w' +channel BMP:{out}", 32, 0, true},
      {"pbm-24", "pngtopnm {src} | ppmtobmp -windows -bpp 24 > {out}", 24, 0, false},
      {"pbm-os2-24", "pngtopnm {src} | ppmtobmp -os2 -bpp 24 > {out}", 24, 0, false},
      {"pbm-8", "convert {src} -colors 100 ppm:- | ppmtobmp -bpp 8 > {out}", 8, 0, false},
      {"pbm-os2-8", "convert {src} -colors 100 ppm:- | ppmtobmp -os2 -bpp 8 > {out}", 8, 0, false},
      {"pbm-4", "convert {src} -colors 12 ppm:- | ppmtobmp -bpp 4 > {out}", 4, 0, false},
      {"pbm-1", "convert {src} -monochrome ppm:- | ppmtobmp -bpp 1 > {out}", 1, 0, false},
  };
  const std::string src = Source();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string out = Path(std::string(c.name) + ".bmp"), twin = Path(std::string(c.name) + ".png");
    std::string cmd = c.make;
    cmd.replace(cmd.find("{src}"), 5, src);
    cmd.replace(cmd.find("{out}"), 5, out);
    ASSERT_TRUE(RunTool(cmd));
    ASSERT_TRUE(RunTool("convert " + out + " PNG32:" + twin));
    const RgbaImage expected = ReadPng(twin);

    std::vector<uint8_t> bytes = FileBytes(out);
    for (bool topDown : {false, true}) {
      if (topDown) {
        // The same picture stored top row first.
        if (Le32(bytes, 14) == 12 || bytes[30] != 0) continue;
        const int32_t h = static_cast<int32_t>(Le32(bytes, 22));
        const uint32_t rowSize = ((Le32(bytes, 18) * bytes[28] + 31) / 32) * 4;
        std::vector<uint8_t> flipped = bytes;
        SetLe32(flipped, 22, static_cast<uint32_t>(-h));
        const size_t offset = Le32(bytes, 10);
        for (int32_t y = 0; y < h; ++y)
          std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset + (h - 1 - y) * rowSize), rowSize,
                      flipped.begin() + static_cast<std::ptrdiff_t>(offset + y * rowSize));
        bytes = flipped;
      }
      TIKBitmap b;
      TIOParamsVals p;
      ReadResult r = ReadBytes(bytes, b, p);
      EXPECT_FALSE(r.aborted);
      EXPECT_EQ(p.Width, 37);
      EXPECT_EQ(b.PixelFormat(), c.bits == 1 ? ikMono1 : ikRGB24);
      EXPECT_LE(MaxColorDifference(b, expected), c.tolerance) << (topDown ? "top-down" : "bottom-up");
      ASSERT_EQ(r.mask != nullptr, c.alpha);
      if (r.mask) {
        int worst = 0;
        for (int32_t y = 0; y < 23; ++y)
          for (int32_t x = 0; x < 37; ++x) worst = std::max(worst, std::abs(r.mask->GetPixel(x, y) - expected.At(x, y)[3]));
        EXPECT_EQ(worst, 0);
      }
    }
  }
}

TEST_F(BmpFilter, NativePalettesAndParameters) {
  const std::string out = Path("p.bmp");
  ASSERT_TRUE(RunTool("convert " + Source() + " -colors 16 -density 300 -units PixelsPerInch BMP3:" + out));
  TIKBitmap b;
  TIOParamsVals p;
  p.NativePixelFormat = true;
  EXPECT_FALSE(ReadBytes(FileBytes(out), b, p).aborted);
  EXPECT_EQ(b.PixelFormat(), ikPalette8);
  EXPECT_EQ(p.BitsPerSample, 4);
  EXPECT_EQ(p.SamplesPerPixel, 1);
  EXPECT_EQ(p.BmpVersion, 1);
  EXPECT_EQ(p.DpiX(), 300);
  EXPECT_EQ(p.PaletteCount(), 16);
  EXPECT_LE(MaxColorDifference(b, ReadPng((RunTool("convert " + out + " PNG32:" + Path("p.png")), Path("p.png")))), 0);

  // A white-black palette: set bits still mean white.
  std::vector<uint8_t> mono;
  {
    TIKBitmap m;
    m.Allocate(9, 2, ikMono1);
    static_cast<uint8_t*>(m.ScanLine(0))[0] = 0x10;  // x = 3
    TIOParamsVals w;
    w.BitsPerSample = 1;
    mono = WriteToBytes(m, w);
  }
  const size_t table = 14 + 40;
  std::swap_ranges(mono.begin() + table, mono.begin() + table + 4, mono.begin() + table + 4);
  for (size_t row = 0; row < 2; ++row)
    for (size_t i = 0; i < 4; ++i) mono[Le32(mono, 10) + row * 4 + i] ^= 0xFF;
  TIKBitmap m;
  TIOParamsVals q;
  ReadBytes(mono, m, q);
  EXPECT_EQ(m.GetPixelRGB(3, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(m.GetPixelRGB(4, 0), (TRGB{0, 0, 0}));
}

TEST_F(BmpFilter, OurFilesReadBackInBmptopnm) {
  TIKBitmap rich, few, sixteen, two;
  TIOParamsVals ignored;
  ReadBytes(FileBytes((RunTool("convert " + Source() + " BMP3:" + Path("r.bmp")), Path("r.bmp"))), rich, ignored);
  ReadBytes(FileBytes((RunTool("convert " + Source() + " -colors 200 BMP3:" + Path("f.bmp")), Path("f.bmp"))), few, ignored);
  ReadBytes(FileBytes((RunTool("convert " + Source() + " -colors 16 BMP3:" + Path("s.bmp")), Path("s.bmp"))), sixteen, ignored);
  two.Allocate(37, 23, ikRGB24);
  for (int32_t y = 0; y < 23; ++y)
    for (int32_t x = 0; x < 37; ++x) two.SetPixelRGB24(x, y, (x * y) % 3 ? TRGB{200, 30, 10} : TRGB{10, 60, 250});
  rich.GetAlphaChannel()->SetFull(false);
  rich.SetAlphaPixel(5, 5, 17);
  struct Case {
    const char* name;
    TIKBitmap* image;
    int32_t bitsPerSample, samples, version, compression, bitCount;
  };
  const Case cases[] = {
      {"24", &rich, 8, 3, 1, 0, 32},  // an alpha plane makes it 32-bit
      {"8", &few, 8, 1, 1, 0, 8},
      {"8-rle", &few, 8, 1, 1, 1, 8},
      {"8-os2", &few, 8, 1, 2, 1, 8},  // OS/2 files are never compressed
      {"8-v3", &few, 8, 1, 3, 0, 8},
      {"4", &sixteen, 4, 1, 1, 0, 4},
      {"4-rle", &sixteen, 4, 1, 1, 1, 4},
      {"1", &two, 1, 1, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIOParamsVals p;
    p.BitsPerSample = c.bitsPerSample;
    p.SamplesPerPixel = c.samples;
    p.BmpVersion = static_cast<uint8_t>(c.version);
    p.BmpCompression = static_cast<uint8_t>(c.compression);
    bool aborted = true;
    const std::vector<uint8_t> bytes = WriteToBytes(*c.image, p, &aborted);
    EXPECT_FALSE(aborted);
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    const uint32_t headerSize = Le32(bytes, 14);
    EXPECT_EQ(headerSize, c.version == 2 ? 12u : c.version == 3 ? 64u : 40u);
    EXPECT_EQ(bytes[headerSize == 12 ? 24 : 28], c.bitCount);
    if (headerSize != 12) {
      EXPECT_EQ(Le32(bytes, 30), c.compression ? (c.bitCount == 4 ? 2u : 1u) : 0u);
    }
    const std::string file = Path(std::string("ours-") + c.name + ".bmp");
    WriteBytes(file, bytes);
    // netpbm knows no 64-byte header (nor does ImageMagick read its colour
    // table right); those files are checked by our own reader alone.
    if (c.version != 3) {
      ASSERT_TRUE(RunTool("bmptopnm " + file + " > " + file + ".ppm"));
      EXPECT_EQ(MaxColorDifference(*c.image, ReadPnm(file + ".ppm")), 0);
    }
    // And our own reader agrees, the alpha byte included. A 1-bit file
    // comes back as a black-and-white buffer: the darker colour black.
    TIKBitmap back;
    TIOParamsVals q;
    ReadResult r = ReadBytes(bytes, back, q);
    if (c.bitCount == 1) {
      for (int32_t y = 0; y < 23; ++y)
        for (int32_t x = 0; x < 37; ++x)
          EXPECT_EQ(back.GetPixelRGB(x, y).r, c.image->GetPixelRGB(x, y).r == 10 ? 0 : 255) << x << "," << y;
    } else {
      EXPECT_EQ(MaxColorDifference(back, ToRgba(*c.image)), 0);
    }
    if (c.bitCount == 32) {
      ASSERT_NE(r.mask, nullptr);
      EXPECT_EQ(r.mask->GetPixel(5, 5), 17);
      EXPECT_EQ(r.mask->GetPixel(6, 5), 255);
    }
  }
}

TEST_F(BmpFilter, RleSequencesAndRowPadding) {
  struct Case {
    std::vector<uint8_t> row;
    std::vector<uint8_t> rle8;
  };
  for (const Case& c : {Case{{1, 1, 1, 2, 3}, {3, 1, 1, 2, 1, 3, 0, 0}}, Case{{1, 2, 3}, {0, 3, 1, 2, 3, 0, 0, 0}},
                        Case{{7}, {1, 7, 0, 0}}}) {
    std::vector<uint8_t> out;
    EncodeBmpRle8(c.row.data(), static_cast<int32_t>(c.row.size()), out);
    EXPECT_EQ(out, c.rle8);
  }
  std::vector<uint8_t> out;
  const std::vector<uint8_t> row4 = {1, 2, 3, 4, 4, 4};
  EncodeBmpRle4(row4.data(), 6, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 3, 0x12, 0x30, 3, 0x44, 0, 0}));

  // A 5 x 1 8-bit image: rows of 8 bytes, the file size as written, and
  // the end-of-bitmap pair after the last RLE row.
  TIKBitmap b;
  b.Allocate(5, 1, ikPalette8);
  for (int32_t x = 0; x < 5; ++x) static_cast<uint8_t*>(b.ScanLine(0))[x] = static_cast<uint8_t>(x < 3 ? 1 : x);
  TIOParamsVals p;
  p.SamplesPerPixel = 1;
  std::vector<uint8_t> bytes = WriteToBytes(b, p);
  EXPECT_EQ(Le32(bytes, 2), bytes.size());
  EXPECT_EQ(bytes.size() - Le32(bytes, 10), 8u);
  p.BmpCompression = 1;
  bytes = WriteToBytes(b, p);
  const std::vector<uint8_t> tail(bytes.begin() + Le32(bytes, 10), bytes.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{3, 1, 1, 3, 1, 4, 0, 0, 0, 1}));
  EXPECT_EQ(Le32(bytes, 34), tail.size());

  // Decoding: runs and literals past the width are dropped, a delta past
  // the last row ends the picture.
  std::vector<uint8_t> rle(bytes.begin(), bytes.begin() + Le32(bytes, 10));
  SetLe32(rle, 18, 4);
  SetLe32(rle, 22, 2);
  const std::vector<uint8_t> packets = {6, 9, 0, 0, 0, 2, 1, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 2, 0, 9, 3, 4, 0, 0, 3, 4};
  rle.insert(rle.end(), packets.begin(), packets.end());
  SetLe32(rle, 2, static_cast<uint32_t>(rle.size()));
  TIKBitmap d;
  TIOParamsVals q;
  q.NativePixelFormat = true;
  EXPECT_FALSE(ReadBytes(rle, d, q).aborted);
  auto index = [&](int32_t x, int32_t y) { return static_cast<uint8_t*>(d.ScanLine(y))[x]; };
  EXPECT_EQ(index(0, 1), 9);  // bottom row first
  EXPECT_EQ(index(3, 1), 9);
  EXPECT_EQ(index(0, 0), 0);  // skipped by the delta
  EXPECT_EQ(index(1, 0), 1);
  EXPECT_EQ(index(3, 0), 3);
}

TEST_F(BmpFilter, HeadersThatLieAreBounded) {
  ASSERT_TRUE(RunTool("convert " + Source() + " -colors 200 -compress none BMP3:" + Path("l.bmp")));
  ASSERT_TRUE(RunTool("convert " + Source() + " -define bmp:subtype=RGB565 " + Path("v5.bmp")));
  const std::vector<uint8_t> good = FileBytes(Path("l.bmp"));

  struct Case {
    const char* name;
    size_t at;
    uint32_t value;
    bool aborted;
  };
  for (const Case& c : {Case{"huge width and height", 18, 60000, true}, Case{"negative width", 18, 0x80000000u, true},
                        Case{"header size past the end", 14, 0xFFFFFFF0u, false},
                        Case{"pixel offset past the end", 10, 0x7FFFFFF0u, false},
                        Case{"two colours for 200", 46, 2, false}, Case{"image size lies", 34, 0xFFFFFFFFu, false}}) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = good;
    SetLe32(bytes, c.at, c.value);
    if (c.at == 18) SetLe32(bytes, 22, c.value);
    TIKBitmap b;
    TIOParamsVals p;
    EXPECT_EQ(ReadBytes(bytes, b, p).aborted, c.aborted);
    if (c.aborted) {
      EXPECT_TRUE(b.IsEmpty());
    }
    if (c.at == 46) {
      // Indices beyond the two-entry table are black, not memory.
      EXPECT_EQ(p.PaletteCount(), 2);
      EXPECT_EQ(b.Width(), 37);
    }
  }

  // A short file keeps what it had.
  std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() - 200));
  TIKBitmap b;
  TIOParamsVals p;
  EXPECT_FALSE(ReadBytes(cut, b, p).aborted);
  EXPECT_EQ(b.Height(), 23);

  // A V5 header's masks come from the header, not from the pixels after
  // the colour table.
  TIKBitmap v5;
  TIOParamsVals q;
  ReadBytes(FileBytes(Path("v5.bmp")), v5, q);
  EXPECT_EQ(q.BmpVersion, 0);
  EXPECT_EQ(q.BitsPerSample, 5);
  ASSERT_TRUE(RunTool("convert " + Path("v5.bmp") + " PNG32:" + Path("v5.png")));
  EXPECT_LE(MaxColorDifference(v5, ReadPng(Path("v5.png"))), 8);

  // Not a bitmap at all.
  TIKBitmap none;
  EXPECT_TRUE(ReadBytes(std::vector<uint8_t>(40, 'x'), none, p).aborted);
  EXPECT_TRUE(ReadBytes(std::vector<uint8_t>{'B', 'M'}, none, p).aborted);
}

TEST_F(BmpFilter, ThroughTheComponentByName) {
  TImgKitIO io(nullptr);
  TIOParamsVals ignored;
  ReadBytes(FileBytes((RunTool("convert " + Source() + " BMP3:" + Path("s.bmp")), Path("s.bmp"))), *io.IKBitmap(), ignored);
  io.IKBitmap()->GetAlphaChannel()->SetFull(false);
  io.IKBitmap()->SetAlphaPixel(2, 3, 99);
  io.SaveImageByFileName(Path("out.bmp"));
  EXPECT_FALSE(io.Aborting);

  TImgKitIO reader(nullptr);
  reader.LoadFromFile(Path("out.bmp"));
  EXPECT_FALSE(reader.Aborting);
  EXPECT_EQ(reader.Params().FileType, ioBMP);
  EXPECT_EQ(MaxColorDifference(*reader.IKBitmap(), ToRgba(*io.IKBitmap())), 0);
  ASSERT_TRUE(reader.IKBitmap()->HasAlphaChannel());
  EXPECT_EQ(reader.IKBitmap()->GetAlphaPixel(2, 3), 99);
  ASSERT_TRUE(RunTool("bmptopnm " + Path("out.bmp") + " > " + Path("out.ppm")));
  EXPECT_EQ(MaxColorDifference(*reader.IKBitmap(), ReadPnm(Path("out.ppm"))), 0);
}

}  // namespace
}  // namespace imaging
