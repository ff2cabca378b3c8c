// TJPEGImage: files made by ImageMagick decoded exactly as djpeg decodes
// them, our files read back by djpeg and identify, settings and errors.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/forms/Jpeg.h"
#include "platform/forms/tests/GraphicsTestUtil.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/tests/ToolCheck.h"

namespace forms {
namespace {

using testutil::Output;
using testutil::Pnm;
using testutil::Shell;

class JpegTest : public ::testing::Test {
protected:
  void SetUp() override {
    VORIX_NEED_TOOL(testtools::OnPath("convert"), "ImageMagick");
    VORIX_NEED_TOOL(testtools::OnPath("djpeg"), "djpeg");
    source_ = dir_ / "rose.jpg";
    ASSERT_TRUE(Shell("convert rose: -quality 92 " + source_));
  }

  // Every pixel of `b` equals the djpeg output `pnm`.
  static void ExpectSamePixels(TBitmap& b, const Pnm& pnm) {
    ASSERT_EQ(b.Width(), pnm.width);
    ASSERT_EQ(b.Height(), pnm.height);
    for (int y = 0; y < pnm.height; ++y) {
      const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
      for (int x = 0; x < pnm.width; ++x) {
        const uint8_t* p = pnm.At(x, y);
        if (pnm.channels == 1) {
          ASSERT_EQ(row[x], p[0]) << x << "," << y;
        } else {
          ASSERT_EQ(row[x * 3 + 2], p[0]) << x << "," << y;
          ASSERT_EQ(row[x * 3 + 1], p[1]) << x << "," << y;
          ASSERT_EQ(row[x * 3], p[2]) << x << "," << y;
        }
      }
    }
  }

  testutil::ScratchDir dir_;
  std::string source_;
};

TEST_F(JpegTest, DecodesLikeDjpegAtEveryScale) {
  struct Case {
    TJPEGScale scale;
    const char* djpeg;
    int width, height;
  } cases[] = {
      {jsFullSize, "", 70, 46},
      {jsHalf, "-scale 1/2", 35, 23},
      {jsQuarter, "-scale 1/4", 18, 12},
      {jsEighth, "-scale 1/8", 9, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.djpeg);
    TJPEGImage j;
    j.SetScale(c.scale);
    j.LoadFromFile(source_);
    EXPECT_EQ(j.Width(), c.width);
    EXPECT_EQ(j.Height(), c.height);
    const std::string ref = dir_ / "ref.ppm";
    ASSERT_TRUE(Shell(std::string("djpeg -ppm ") + c.djpeg + " -outfile " + ref + " " + source_));
    Pnm pnm;
    ASSERT_TRUE(pnm.Read(ref));
    TBitmap* b = j.Bitmap();
    EXPECT_EQ(b->PixelFormat(), pf24bit);
    ExpectSamePixels(*b, pnm);
  }
}

TEST_F(JpegTest, GreyscaleDecodeIsAnEightBitGreyRamp) {
  TJPEGImage j;
  j.LoadFromFile(source_);
  EXPECT_EQ(j.Bitmap()->PixelFormat(), pf24bit);
  // Changing a decode setting decodes again from the data.
  j.SetGrayscale(true);
  TBitmap* b = j.Bitmap();
  EXPECT_EQ(b->PixelFormat(), pf8bit);
  const std::vector<uint32_t> table = b->ColorTable();
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[200], 0xC8C8C8u);
  const std::string ref = dir_ / "grey.pgm";
  ASSERT_TRUE(Shell("djpeg -grayscale -outfile " + ref + " " + source_));
  Pnm pnm;
  ASSERT_TRUE(pnm.Read(ref));
  ASSERT_EQ(pnm.channels, 1);
  ExpectSamePixels(*b, pnm);

  j.SetPixelFormat(jf8Bit);
  j.SetGrayscale(false);
  EXPECT_EQ(j.Bitmap()->PixelFormat(), pf8bit);
  EXPECT_GT(j.Bitmap()->ColorTable().size(), 16u);
}

TEST_F(JpegTest, SavedPicturesReadBackWithTheirSettings) {
  // A picture of flat blocks, so the decoded colours can be checked.
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(64, 32);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 32, 32));
  b.Canvas()->Brush()->SetColor(clBlue);
  b.Canvas()->FillRect(Rect(32, 0, 64, 32));

  struct Case {
    int quality;
    bool progressive, grey;
  } cases[] = {{90, false, false}, {40, true, false}, {75, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quality);
    TJPEGImage j;
    EXPECT_EQ(j.CompressionQuality(), 90);
    j.Assign(&b);
    j.SetCompressionQuality(c.quality);
    j.SetProgressiveEncoding(c.progressive);
    j.SetGrayscale(c.grey);
    const std::string file = dir_ / "out.jpg";
    j.SaveToFile(file);
    EXPECT_EQ(Output("identify -format '%w %h %Q %[interlace] %[colorspace]' " + file),
              "64 32 " + std::to_string(c.quality) + (c.progressive ? " JPEG" : " None") +
                  (c.grey ? " Gray" : " sRGB"));
    const std::string ref = dir_ / "out.pnm";
    ASSERT_TRUE(Shell("djpeg -outfile " + ref + " " + file));
    Pnm pnm;
    ASSERT_TRUE(pnm.Read(ref));
    ASSERT_EQ(pnm.channels, c.grey ? 1 : 3);
    const uint8_t* left = pnm.At(8, 16);
    const uint8_t* right = pnm.At(56, 16);
    if (c.grey) {
      EXPECT_NEAR(left[0], 76, 4);   // red's luma
      EXPECT_NEAR(right[0], 29, 4);  // blue's luma
    } else {
      EXPECT_GT(left[0], 240);
      EXPECT_LT(left[2], 16);
      EXPECT_LT(right[0], 16);
      EXPECT_GT(right[2], 240);
    }
  }
}

TEST_F(JpegTest, LoadedDataIsSavedUnchanged) {
  TJPEGImage j;
  j.LoadFromFile(source_);
  j.SetCompressionQuality(10);
  rtl::TMemoryStream s;
  j.SaveToStream(&s);
  const std::vector<uint8_t> original = testutil::ReadAll(source_);
  ASSERT_EQ(s.Size(), static_cast<int64_t>(original.size()));
  std::vector<uint8_t> saved(original.size());
  s.SetPosition(0);
  s.ReadBuffer(saved.data(), static_cast<int64_t>(saved.size()));
  EXPECT_EQ(saved, original);

  // Compress asks for new data with the settings in force.
  j.DIBNeeded();
  j.Compress();
  rtl::TMemoryStream again;
  j.SaveToStream(&again);
  EXPECT_LT(again.Size(), s.Size());
}

TEST_F(JpegTest, AssignsToAndFromBitmapsAndCopies) {
  TJPEGImage j;
  j.LoadFromFile(source_);
  TBitmap b;
  b.Assign(&j);
  EXPECT_EQ(b.Width(), 70);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.Canvas()->Pixels(10, 10), j.Bitmap()->Canvas()->Pixels(10, 10));

  TJPEGImage k;
  k.Assign(&j);
  EXPECT_EQ(k.Width(), 70);
  TJPEGImage fromBitmap;
  fromBitmap.Assign(&b);
  EXPECT_EQ(fromBitmap.Height(), 46);
  EXPECT_FALSE(fromBitmap.Empty());

  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(70, 46);
  canvas.Canvas()->Draw(0, 0, &j);
  EXPECT_EQ(canvas.Canvas()->Pixels(35, 20), b.Canvas()->Pixels(35, 20));
  EXPECT_THROW(j.SetWidth(3), EInvalidGraphicOperation);
}

TEST_F(JpegTest, BadDataRaisesEJpegAndQualityStaysInRange) {
  TJPEGImage j;
  rtl::TMemoryStream junk;
  junk.WriteBuffer("not a jpeg at all", 17);
  junk.SetPosition(0);
  try {
    j.LoadFromStream(&junk);
    FAIL() << "no error";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Message().rfind("JPEG error #", 0), 0u) << e.Message();
  }
  // A header that parses, then nothing: the error comes at decoding.
  std::vector<uint8_t> data = testutil::ReadAll(source_);
  rtl::TMemoryStream cut;
  cut.WriteBuffer(data.data(), 400);
  cut.SetPosition(0);
  TJPEGImage truncated;
  truncated.LoadFromStream(&cut);
  EXPECT_EQ(truncated.Width(), 70);
  EXPECT_NO_THROW(truncated.DIBNeeded());  // the library pads a short file and warns

  // A header claiming a picture too large to hold is refused, not
  // allocated.
  for (size_t i = 0; i + 9 < data.size(); ++i)
    if (data[i] == 0xFF && data[i + 1] == 0xC0) {
      data[i + 5] = data[i + 7] = 0xFD;
      data[i + 6] = data[i + 8] = 0xE8;
      break;
    }
  rtl::TMemoryStream huge;
  huge.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  huge.SetPosition(0);
  TJPEGImage big;
  big.LoadFromStream(&huge);
  EXPECT_EQ(big.Width(), 65000);
  EXPECT_THROW(big.DIBNeeded(), EJPEG);

  rtl::TMemoryStream empty;
  EXPECT_THROW(j.LoadFromStream(&empty), EJPEG);
  EXPECT_THROW(j.SaveToStream(&empty), EInvalidGraphic);

  j.SetCompressionQuality(0);
  EXPECT_EQ(j.CompressionQuality(), 1);
  j.SetCompressionQuality(250);
  EXPECT_EQ(j.CompressionQuality(), 100);
}

TEST_F(JpegTest, PictureLoadsByExtension) {
  TPicture p;
  int changes = 0;
  p.OnChange = [&](TObject*) { ++changes; };
  const std::string upper = dir_ / "ROSE.JPEG";
  ASSERT_TRUE(Shell("cp " + source_ + " " + upper));
  p.LoadFromFile(upper);
  EXPECT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  EXPECT_EQ(p.Width(), 70);
  EXPECT_EQ(changes, 1);
  try {
    p.LoadFromFile(dir_ / "picture.xyz");
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_NE(dynamic_cast<TJPEGImage*>(p.Graphic()), nullptr);
  // Asking for the bitmap replaces the JPEG with an empty bitmap.
  EXPECT_TRUE(p.Bitmap()->Empty());

  TPicture q;
  q.LoadFromFile(upper);
  TPicture copy;
  copy.Assign(&q);
  EXPECT_NE(copy.Graphic(), q.Graphic());
  EXPECT_EQ(copy.Height(), 46);
}

}  // namespace
}  // namespace forms
