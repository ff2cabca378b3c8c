#include "platform/win/ImageFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "platform/win/Dib.h"

namespace {

namespace fs = std::filesystem;
using win::Surface;

class ImageFilesTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("vorix_imagefiles_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

  // A 7x5 picture (odd width, so rows need padding) with distinct corners.
  void MakeReference() {
    Run("convert -size 7x5 xc:white -fill red -draw 'point 0,0' -fill '#00ff00' -draw 'point 6,0' "
        "-fill blue -draw 'point 0,4' -fill '#808000' -draw 'point 3,2' " + Path("ref.png"));
  }
  static void ExpectSameRgb(const Surface& a, const Surface& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    for (int y = 0; y < a.Height(); ++y)
      for (int x = 0; x < a.Width(); ++x)
        ASSERT_EQ(a.Pixel(x, y) & 0xFFFFFF, b.Pixel(x, y) & 0xFFFFFF) << x << "," << y;
  }
  fs::path dir_;
};

TEST_F(ImageFilesTest, PngFromImageMagickLoadsWithOpaqueAlpha) {
  MakeReference();
  auto s = win::LoadPng(Path("ref.png"));
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Width(), 7);
  EXPECT_EQ(s->Height(), 5);
  EXPECT_EQ(s->Pixel(0, 0), 0xFFFF0000u);
  EXPECT_EQ(s->Pixel(6, 0), 0xFF00FF00u);
  EXPECT_EQ(s->Pixel(0, 4), 0xFF0000FFu);
  EXPECT_EQ(s->Pixel(3, 2), 0xFF808000u);
  EXPECT_EQ(s->Pixel(1, 1), 0xFFFFFFFFu);
}

TEST_F(ImageFilesTest, PngKindsDecodeToTheSamePixels) {
  MakeReference();
  auto ref = win::LoadPng(Path("ref.png"));
  ASSERT_TRUE(ref);
  for (const char* opts : {"-define png:color-type=3 PNG8:", "-depth 16 PNG48:", "-interlace PNG PNG24:"}) {
    const std::string out = Path("kind.png");
    Run("convert " + Path("ref.png") + " " + opts + out);
    auto s = win::LoadPng(out);
    ASSERT_TRUE(s) << opts;
    ExpectSameRgb(*ref, *s);
  }
  Run("convert -size 3x2 xc:gray50 -type Grayscale PNG8:" + Path("grey.png"));
  auto grey = win::LoadPng(Path("grey.png"));
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->Pixel(2, 1) & 0xFFFFFF, 0x7F7F7Fu);
}

TEST_F(ImageFilesTest, PngRoundTripKeepsStraightAlphaAndOpaqueSaveDropsIt) {
  Surface s(3, 2);
  s.SetPixel(0, 0, 0x80FF0000u);
  s.SetPixel(1, 0, 0x00123456u);
  s.SetPixel(2, 1, 0xFF010203u);
  ASSERT_TRUE(win::SavePngWithAlpha(s, Path("a.png")));
  auto back = win::LoadPng(Path("a.png"));
  ASSERT_TRUE(back);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(back->Pixel(x, y), s.Pixel(x, y));

  ASSERT_TRUE(win::SavePng(s, Path("o.png")));
  auto opaque = win::LoadPng(Path("o.png"));
  ASSERT_TRUE(opaque);
  EXPECT_EQ(opaque->Pixel(1, 0), 0xFF123456u);
  // An independent reader agrees on size and colour.
  Run("test \"$(convert " + Path("o.png") + " -format '%w %h %[pixel:p{2,1}]' info:)\" = '3 2 srgb(1,2,3)'");
}

TEST_F(ImageFilesTest, BrokenOrMissingFilesFailCleanly) {
  EXPECT_FALSE(win::LoadPng(Path("missing.png")));
  EXPECT_FALSE(win::LoadBmp(Path("missing.bmp")));
  MakeReference();
  std::ifstream in(Path("ref.png"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (size_t cut : {size_t{8}, size_t{40}, bytes.size() / 2}) {
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_FALSE(win::LoadPngFromMemory(d, cut)) << cut;
  }
  const uint8_t junk[] = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26};
  EXPECT_FALSE(win::LoadBmpFromMemory(junk, sizeof junk));
  EXPECT_FALSE(win::SavePng(Surface(), Path("empty.png")));
}

// Every depth a reader must accept, as independent tools write them.
TEST_F(ImageFilesTest, BmpOfEveryToolWrittenDepthMatchesThePng) {
  MakeReference();
  auto ref = win::LoadPng(Path("ref.png"));
  ASSERT_TRUE(ref);
  const std::string ppm = "pngtopnm " + Path("ref.png") + " | ppmtobmp ";
  const std::vector<std::pair<std::string, int>> cases = {
      {ppm + "-bpp 24 > " + Path("b.bmp") + " 2>/dev/null", 24},
      {ppm + "-bpp 8 > " + Path("b.bmp") + " 2>/dev/null", 8},
      {ppm + "-bpp 4 > " + Path("b.bmp") + " 2>/dev/null", 4},
      {ppm + "-windows -bpp 8 > " + Path("b.bmp") + " 2>/dev/null", 8},
      {"convert " + Path("ref.png") + " -type palette -compress RLE BMP3:" + Path("b.bmp"), 8},
      {"convert " + Path("ref.png") + " -type TrueColor BMP3:" + Path("b.bmp"), 24},
      {"convert " + Path("ref.png") + " -type TrueColorAlpha -alpha on BMP:" + Path("b.bmp"), 32},
  };
  for (const auto& [command, depth] : cases) {
    Run(command);
    win::BmpFile file;
    ASSERT_TRUE(win::ReadBmpFile(Path("b.bmp"), &file)) << command;
    win::DibFormat f;
    ASSERT_TRUE(f.Parse(file.info.data(), file.info.size()));
    EXPECT_EQ(f.bitCount, depth) << command;
    auto s = win::LoadBmp(Path("b.bmp"));
    ASSERT_TRUE(s) << command;
    ExpectSameRgb(*ref, *s);
  }
  // Two colours become a 1-bit file.
  Run("convert -size 9x3 xc:black -fill white -draw 'point 8,0' -draw 'point 0,2' " + Path("mono.png"));
  Run("pngtopnm " + Path("mono.png") + " | ppmtobmp -bpp 1 > " + Path("m.bmp") + " 2>/dev/null");
  auto mono = win::LoadBmp(Path("m.bmp"));
  ASSERT_TRUE(mono);
  ExpectSameRgb(*win::LoadPng(Path("mono.png")), *mono);
}

// A top-down file: the same picture with the rows stored first-to-last and
// a negative height.
TEST_F(ImageFilesTest, TopDownBmpFileMatchesItsBottomUpTwin) {
  MakeReference();
  Run("pngtopnm " + Path("ref.png") + " | ppmtobmp -bpp 24 > " + Path("up.bmp") + " 2>/dev/null");
  std::ifstream in(Path("up.bmp"), std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const uint32_t offBits = bytes[10] | (bytes[11] << 8);
  int32_t height;
  std::memcpy(&height, &bytes[22], 4);
  ASSERT_EQ(height, 5);
  const size_t stride = win::DibStride(7, 24);
  std::vector<uint8_t> flipped(bytes);
  for (int y = 0; y < 5; ++y)
    std::memcpy(&flipped[offBits + stride * static_cast<size_t>(y)], &bytes[offBits + stride * static_cast<size_t>(4 - y)], stride);
  height = -5;
  std::memcpy(&flipped[22], &height, 4);
  auto up = win::LoadBmpFromMemory(bytes.data(), bytes.size());
  auto down = win::LoadBmpFromMemory(flipped.data(), flipped.size());
  ASSERT_TRUE(up && down);
  ExpectSameRgb(*up, *down);
  ExpectSameRgb(*win::LoadPng(Path("ref.png")), *down);
}

TEST_F(ImageFilesTest, SavedBmpReadsBackAndImageMagickAgrees) {
  MakeReference();
  auto ref = win::LoadPng(Path("ref.png"));
  for (int depth : {24, 32}) {
    ASSERT_TRUE(win::SaveBmp(*ref, Path("w.bmp"), depth));
    auto back = win::LoadBmp(Path("w.bmp"));
    ASSERT_TRUE(back);
    ExpectSameRgb(*ref, *back);
    Run("convert " + Path("w.bmp") + " PNG24:" + Path("w.png"));
    ExpectSameRgb(*ref, *win::LoadPng(Path("w.png")));
  }
}

// Hand-made streams for what the tools above do not write: RLE4 with
// deltas and absolute runs, 5-6-5 bit fields, top-down rows.
TEST(Dib, Rle4WithAbsoluteRunsAndDelta) {
  std::vector<uint8_t> info(40 + 16 * 4, 0);
  win::BITMAPINFOHEADER h;
  h.biWidth = 6;
  h.biHeight = 3;
  h.biBitCount = 4;
  h.biCompression = win::BI_RLE4;
  std::memcpy(info.data(), &h, 40);
  for (int i = 0; i < 16; ++i) info[40 + 4 * i] = static_cast<uint8_t>(i * 16);  // blue = 16 * index
  const uint8_t rle[] = {
      4, 0x12,              // row 0 (bottom): 1 2 1 2
      0, 0,                 // end of line
      0, 3, 0x34, 0x50,     // row 1: absolute 3 4 5 (two bytes: already word-aligned)
      0, 2, 1, 1,           // delta: right 1, up 1 -> x 4, row 2
      2, 0x77,              // row 2: x 4..5 = 7
      0, 1};                // end of bitmap
  win::DibFormat f;
  ASSERT_TRUE(f.Parse(info.data(), info.size()));
  Surface s;
  ASSERT_TRUE(win::DibToSurface(f, rle, sizeof rle, &s));
  auto idx = [&](int x, int y) { return static_cast<int>(s.Pixel(x, y) & 0xFF) / 16; };
  EXPECT_EQ(idx(0, 2), 1);
  EXPECT_EQ(idx(1, 2), 2);
  EXPECT_EQ(idx(3, 2), 2);
  EXPECT_EQ(idx(4, 2), 0);
  EXPECT_EQ(idx(0, 1), 3);
  EXPECT_EQ(idx(2, 1), 5);
  EXPECT_EQ(idx(3, 1), 0);
  EXPECT_EQ(idx(3, 0), 0);
  EXPECT_EQ(idx(4, 0), 7);
  EXPECT_EQ(idx(5, 0), 7);
}

TEST(Dib, SixteenBitFieldsExpandToFullScaleAndRoundTrip) {
  struct {
    win::BITMAPINFOHEADER h;
    uint32_t masks[3];
  } info{};
  info.h.biWidth = 3;
  info.h.biHeight = -1;  // top-down
  info.h.biBitCount = 16;
  info.h.biCompression = win::BI_BITFIELDS;
  info.masks[0] = 0xF800, info.masks[1] = 0x07E0, info.masks[2] = 0x001F;
  win::DibFormat f;
  ASSERT_TRUE(f.Parse(&info, sizeof info));
  EXPECT_TRUE(f.topDown);
  const uint16_t px[4] = {0xF800, 0x07E0, 0x8410, 0};
  uint32_t out[3];
  win::DibRowTo32(f, reinterpret_cast<const uint8_t*>(px), out, 3);
  EXPECT_EQ(out[0], 0xFF0000u);
  EXPECT_EQ(out[1], 0x00FF00u);
  EXPECT_EQ(out[2], 0x848284u);  // half scale with the high bits replicated
  uint16_t back[4] = {};
  win::DibRowFrom32(f, out, reinterpret_cast<uint8_t*>(back), 3);
  EXPECT_EQ(back[0], px[0]);
  EXPECT_EQ(back[1], px[1]);
  EXPECT_EQ(back[2], px[2]);
  // BI_RGB 16 bits means 5-5-5.
  info.h.biCompression = win::BI_RGB;
  ASSERT_TRUE(f.Parse(&info, 40));
  const uint16_t white555 = 0x7FFF;
  win::DibRowTo32(f, reinterpret_cast<const uint8_t*>(&white555), out, 1);
  EXPECT_EQ(out[0], 0xFFFFFFu);
}

TEST(Dib, RejectsLayoutsThePlatformRefuses) {
  win::BITMAPINFOHEADER h;
  h.biWidth = 4;
  h.biHeight = 4;
  for (auto [bits, compression] : std::vector<std::pair<int, uint32_t>>{{2, win::BI_RGB}, {24, win::BI_RLE8}, {8, win::BI_RLE4}, {8, 7}}) {
    h.biBitCount = static_cast<uint16_t>(bits);
    h.biCompression = compression;
    win::DibFormat f;
    EXPECT_FALSE(f.Parse(&h, sizeof h)) << bits << "/" << compression;
  }
  h.biBitCount = 8;  // palette missing from the available bytes
  h.biCompression = win::BI_RGB;
  win::DibFormat f;
  EXPECT_FALSE(f.Parse(&h, sizeof h));
}

}  // namespace
