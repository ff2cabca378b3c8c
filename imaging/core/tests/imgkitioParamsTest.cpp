// The input/output parameters: defaults, resets, copies, the setters that
// set several fields at once, and the colour-conversion kinds.
#include "imaging/core/imgkitioParams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "platform/rtl/DateUtils.h"

using namespace imaging;

namespace {

// An input/output component with a platform bitmap and an attached view
// that records the resolutions it hears.
class FakeOwner : public TIOParamsOwner {
public:
  bool PlatformBitmapSize(int32_t& width, int32_t& height) override {
    if (!hasBitmap) return false;
    width = 640;
    height = 480;
    return true;
  }
  void ViewSetDPIX(int32_t dpi) override { viewDpiX = dpi; }
  void ViewSetDPIY(int32_t dpi) override { viewDpiY = dpi; }
  bool hasBitmap = true;
  int32_t viewDpiX = 0;
  int32_t viewDpiY = 0;
};

}  // namespace

TEST(IOParams, DefaultsOfEveryGroup) {
  TIOParamsVals p;
  EXPECT_EQ(p.BitsPerSample, 8);
  EXPECT_EQ(p.SamplesPerPixel, 3);
  EXPECT_EQ(p.DpiX(), 300);
  EXPECT_EQ(p.DpiY(), 300);
  EXPECT_EQ(p.TiffPhotometric, 2);
  EXPECT_EQ(p.TiffPageNumber, -1);
  EXPECT_EQ(p.TiffPageCount, -1);
  EXPECT_EQ(p.TiffOrientation(), 1);
  EXPECT_EQ(p.ExifOrientation, 0);  // the EXIF block starts cleared
  EXPECT_EQ(p.TiffJpegQuality, 80);
  EXPECT_EQ(p.GifVersion, "GIF89a");
  EXPECT_EQ(p.GifDisposal, 2);
  EXPECT_EQ(p.JpegQuality, 80);
  EXPECT_EQ(p.JpegScale, 1);
  EXPECT_EQ(p.JpegScaleUsed, 1);
  EXPECT_EQ(p.J2kColorSpace, 1);
  EXPECT_EQ(p.J2kRate, 1.0);
  EXPECT_EQ(p.PcxVersion, 5);
  EXPECT_TRUE(p.PcxCompression);
  EXPECT_EQ(p.BmpVersion, 1);
  EXPECT_EQ(p.IcoBackgroundColor, CreateRGB(255, 255, 255));
  EXPECT_EQ(p.CurBackgroundColor, CreateRGB(255, 255, 255));
  EXPECT_EQ(p.PngCompression, 5);
  EXPECT_TRUE(p.TgaCompressed);
  EXPECT_EQ(p.TgaGamma, 2.2);
  EXPECT_EQ(p.TgaDateTime, rtl::Date());
  EXPECT_EQ(p.PsPaperWidth, 595);
  EXPECT_EQ(p.PsPaperHeight, 842);
  EXPECT_EQ(p.PsCompression, 1);
  EXPECT_EQ(p.PsTitle, "No Title");
  EXPECT_EQ(p.PdfCompression, 2);
  EXPECT_EQ(p.RawGamma, 0.6);
  EXPECT_TRUE(p.RawQuickInterpolate);
  EXPECT_EQ(p.RawRowAlign, 8);
  EXPECT_EQ(p.IcoSizes[0].Width, 64);
  EXPECT_EQ(p.IcoSizes[0].Height, 64);
  EXPECT_EQ(p.IcoSizes[1].Width, 0);
  EXPECT_EQ(p.IcoBitCounts[0], 8);
  EXPECT_EQ(p.IcoBitCounts[15], 0);
  EXPECT_EQ(p.Palette(), nullptr);
  EXPECT_FALSE(p.HasImagingAnnot());
}

TEST(IOParams, SetDefaultParamsRestoresEverythingAndTellsTheView) {
  FakeOwner owner;
  TIOParamsVals p(&owner);
  EXPECT_EQ(p.Width, 640);
  EXPECT_EQ(p.Height, 480);
  EXPECT_EQ(owner.viewDpiX, 300);
  EXPECT_EQ(owner.viewDpiY, 300);

  p.SetDpiX(72);
  p.JpegQuality = 30;
  p.GifComments.Add("note");
  p.JpegMarkers.AddMarker(0xFE, "c", 1);
  p.IptcInfo.AddRecord(2, 5, "t", 1);
  p.ImagingAnnot()->Marks.push_back(std::make_unique<TIKImagingObject>());
  const TRGB colours[2] = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6)};
  p.SetPalette(colours, 2);
  p.CurHotSpotX = 5;
  p.SetImageIndex(4);
  p.HasExif = true;
  p.ExifMake = "maker";
  EXPECT_EQ(owner.viewDpiX, 72);

  p.SetDefaultParams();
  EXPECT_EQ(owner.viewDpiX, 300);
  EXPECT_EQ(p.DpiX(), 300);
  EXPECT_EQ(p.JpegQuality, 80);
  EXPECT_EQ(p.GifComments.Count(), 0);
  EXPECT_EQ(p.JpegMarkers.Count(), 0);
  EXPECT_EQ(p.IptcInfo.Count(), 0);
  EXPECT_FALSE(p.HasImagingAnnot());
  EXPECT_EQ(p.PaletteCount(), 0);
  EXPECT_EQ(p.Palette(), nullptr);
  EXPECT_EQ(p.CurHotSpotX, 0);
  EXPECT_EQ(p.GifImageIndex, 0);
  EXPECT_FALSE(p.HasExif);
  EXPECT_EQ(p.ExifMake, "");
  EXPECT_EQ(p.Width, 640);

  owner.hasBitmap = false;
  p.Width = 5;
  p.SetDefaultParams();
  EXPECT_EQ(p.Width, 0);
}

TEST(IOParams, DpiAndMultiFieldSetters) {
  TIOParamsVals p;
  p.SetDpiX(96);
  EXPECT_EQ(p.DpiX(), 96);
  EXPECT_EQ(p.ExifXResolution, 96.0);
  p.SetDpiY(72.9);
  EXPECT_EQ(p.DpiY(), 72);
  EXPECT_EQ(p.ExifYResolution, 72.0);
  p.SetDpiX(-72.9);
  EXPECT_EQ(p.DpiX(), -72);
  p.SetDpiX(1e300);  // a damaged header must not reach an undefined conversion
  EXPECT_EQ(p.DpiX(), 2147483647);
  p.SetDpiX(std::nan(""));
  EXPECT_EQ(p.DpiX(), 0);

  p.SetImageIndex(3);
  for (int32_t v : {p.ImageIndex, p.TiffImageIndex, p.DcxPageIndex, p.GifImageIndex, p.IcoImageIndex,
                    p.CurImageIndex})
    EXPECT_EQ(v, 3);
  p.SetImageCount(12);
  for (int32_t v : {p.ImageCount, p.TiffImageCount, p.AviFrameCount, p.GifImageCount, p.MediaFileFrameCount})
    EXPECT_EQ(v, 12);
  p.SetLoadThumbnail(true);
  EXPECT_TRUE(p.GetThumbnail);
  EXPECT_TRUE(p.JpegLoadThumbnail);
  p.SetUseRawPreview(true);
  EXPECT_TRUE(p.RawGetEmbeddedPreview);
  p.SetExifOrientation(6);
  EXPECT_EQ(p.TiffOrientation(), 6);
  EXPECT_EQ(p.ExifOrientation, 6);
  p.SetTiffOrientation(3);
  EXPECT_EQ(p.ExifOrientation, 3);
  p.SetExifPrimaryChromaticities(5, 0.25);
  EXPECT_EQ(p.GetExifPrimaryChromaticities(5), 0.25);
  p.SetExifISOSpeedRatings(1, 400);
  EXPECT_EQ(p.ExifISOSpeedRatings[1], 400);
}

TEST(IOParams, ResetLoadInfoClearsWhatReadersFillAndKeepsTheRest) {
  TIOParamsVals p;
  p.JpegQuality = 55;
  p.TiffCompression = 5;
  p.JpegScale = 0;
  p.SetImageIndex(2);
  p.NativePixelFormat = true;
  p.TiffPageName = "page";
  p.TiffDocumentName = "doc";
  p.TgaAuthor = "me";
  p.GifComments.Add("comment");
  p.PngTextKeys.Add("Title");
  p.PnmComments.Add("# made");
  p.IptcInfo.AddRecord(2, 5, "t", 1);
  p.ImagingAnnot();
  p.JpegMarkers.AddMarker(0xE0, "JFIF", 4);
  p.JpegMarkers.AddMarker(0xE1, "Exif", 4);
  p.JpegMarkers.AddMarker(0xE1, "XMP", 3);
  p.HasExif = true;
  p.ExifThumbnail = std::make_unique<TIKBitmap>();
  p.ExifXPTitle = u"title";
  p.ExifWhitePoint = {0.3, 0.3};

  p.ResetLoadInfo();
  EXPECT_EQ(p.JpegQuality, 55);
  EXPECT_EQ(p.TiffCompression, 5);
  EXPECT_EQ(p.JpegScale, 0);
  EXPECT_EQ(p.GifImageIndex, 2);
  EXPECT_TRUE(p.NativePixelFormat);
  EXPECT_EQ(p.TiffPageName, "");
  EXPECT_EQ(p.TiffDocumentName, "");
  EXPECT_EQ(p.TgaAuthor, "");
  EXPECT_EQ(p.GifComments.Count(), 0);
  EXPECT_EQ(p.PngTextKeys.Count(), 0);
  EXPECT_EQ(p.PnmComments.Count(), 0);
  EXPECT_EQ(p.IptcInfo.Count(), 0);
  EXPECT_FALSE(p.HasImagingAnnot());
  EXPECT_EQ(p.JpegMarkers.Count(), 0);
  EXPECT_FALSE(p.HasExif);
  EXPECT_EQ(p.ExifThumbnail, nullptr);
  EXPECT_TRUE(p.ExifXPTitle.empty());
  EXPECT_EQ(p.ExifWhitePoint[0], 0.0);

  // ResetExif alone removes only the first APP1 marker.
  p.JpegMarkers.AddMarker(0xE0, "JFIF", 4);
  p.JpegMarkers.AddMarker(0xE1, "Exif", 4);
  p.JpegMarkers.AddMarker(0xE1, "XMP", 3);
  p.ResetExif();
  ASSERT_EQ(p.JpegMarkers.Count(), 2);
  EXPECT_EQ(p.JpegMarkers.MarkerLength(1), 3);
}

TEST(IOParams, AssignCopiesOwnedObjectsAndAssignSaveOptionsOnlyWriterOptions) {
  FakeOwner owner;
  TIOParamsVals source;
  source.JpegQuality = 42;
  source.TiffCompression = 8;
  source.SetTiffOrientation(8);
  source.FileName = "a.jpg";
  source.SetDpiX(150);
  source.PngTextKeys.Add("Author");
  source.JpegMarkers.AddMarker(0xFE, "hello", 5);
  source.IptcInfo.AddRecord(2, 120, "caption", 7);
  source.ImagingAnnot()->Marks.push_back(std::make_unique<TIKImagingObject>());
  source.ImagingAnnot()->Marks.back()->Text = "mark";
  source.ExifThumbnail = std::make_unique<TIKBitmap>();
  source.ExifThumbnail->Allocate(4, 3, ikRGB24);
  const TRGB colours[3] = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6), CreateRGB(7, 8, 9)};
  source.SetPalette(colours, 3);
  source.GifTransparent = true;

  TIOParamsVals copy(&owner);
  copy.Assign(source);
  EXPECT_EQ(copy.Owner(), &owner);
  EXPECT_EQ(copy.JpegQuality, 42);
  EXPECT_EQ(copy.FileName, "a.jpg");
  EXPECT_EQ(copy.DpiX(), 150);
  EXPECT_EQ(copy.TiffOrientation(), 8);
  EXPECT_EQ(copy.PngTextKeys.Get(0), "Author");
  ASSERT_EQ(copy.JpegMarkers.Count(), 1);
  EXPECT_NE(copy.JpegMarkers.MarkerData(0), source.JpegMarkers.MarkerData(0));
  ASSERT_EQ(copy.IptcInfo.Count(), 1);
  ASSERT_TRUE(copy.HasImagingAnnot());
  EXPECT_EQ(copy.ImagingAnnot()->Marks[0]->Text, "mark");
  ASSERT_NE(copy.ExifThumbnail, nullptr);
  EXPECT_NE(copy.ExifThumbnail.get(), source.ExifThumbnail.get());
  EXPECT_EQ(copy.ExifThumbnail->Width(), 4);
  ASSERT_EQ(copy.PaletteCount(), 3);
  EXPECT_NE(copy.Palette(), source.Palette());
  EXPECT_EQ(copy.Palette()[2], CreateRGB(7, 8, 9));

  TIOParamsVals options;
  options.AssignSaveOptions(source);
  EXPECT_EQ(options.JpegQuality, 42);
  EXPECT_EQ(options.TiffCompression, 8);
  EXPECT_EQ(options.ExifOrientation, 8);
  EXPECT_EQ(options.FileName, "");
  EXPECT_EQ(options.DpiX(), 300);
  EXPECT_FALSE(options.GifTransparent);
  EXPECT_EQ(options.JpegMarkers.Count(), 0);
  EXPECT_EQ(options.PaletteCount(), 0);
}

TEST(ColorConversion, EveryKind) {
  TIOParamsVals p;
  const auto convert = [&](std::vector<uint8_t> src, uint8_t from, uint8_t to, size_t outSize, int32_t count) {
    std::vector<uint8_t> out(outSize, 0xEE);
    IKConvertColorFunction(src.data(), from, out.data(), &p, count, to);
    return out;
  };
  using V = std::vector<uint8_t>;
  // 0 -> 1: red and blue exchanged.
  EXPECT_EQ(convert({10, 20, 30, 40, 50, 60}, iecRGB, iecBGR, 6, 2), (V{30, 20, 10, 60, 50, 40}));
  EXPECT_EQ(convert({10, 20, 30}, iecBGR, iecBGR, 3, 1), (V{10, 20, 30}));
  // 1 -> 2: black gives k = 1 and 0, 0, 0, 1; (b 0, g 100, r 200) gives k 200.
  EXPECT_EQ(convert({0, 0, 0, 0, 100, 200}, iecBGR, iecCMYK, 8, 2), (V{0, 0, 0, 1, 255, 127, 0, 200}));
  // 1 -> 5: (21 x 200 + 71 x 100 + 8 x 50) div 100 = 117.
  EXPECT_EQ(convert({50, 100, 200}, iecBGR, iecGray8, 1, 1), (V{117}));
  // 2 -> 1: red = c x k / 255 ...
  EXPECT_EQ(convert({255, 127, 0, 200}, iecCMYK, iecBGR, 3, 1), (V{0, 99, 200}));
  // 6 and 7 -> 1: the high byte of each sample.
  EXPECT_EQ(convert({0x11, 0xA0, 0x22, 0xB0, 0x33, 0xC0}, iecRGB48LE, iecBGR, 3, 1), (V{0xC0, 0xB0, 0xA0}));
  EXPECT_EQ(convert({0xA0, 0x11, 0xB0, 0x22, 0xC0, 0x33}, iecRGB48BE, iecBGR, 3, 1), (V{0xC0, 0xB0, 0xA0}));
  // A pair without a rule leaves the destination alone.
  EXPECT_EQ(convert({1, 2, 3}, iecGray8, iecCMYK, 4, 1), (V{0xEE, 0xEE, 0xEE, 0xEE}));

  // 1 -> 4 and 4 -> 1 go through the CIELab routines.
  const TRGB orange = CreateRGB(255, 128, 0);
  const TCIELab lab = RGBToCIELab(PackRGB(orange));
  const V labBytes = convert({orange.b, orange.g, orange.r}, iecBGR, iecCIELab, 3, 1);
  EXPECT_EQ(labBytes, (V{lab.l, static_cast<uint8_t>(lab.a), static_cast<uint8_t>(lab.b)}));
  const TRGB back = CIELabToRGB(PackCIELab(lab));
  EXPECT_EQ(convert(labBytes, iecCIELab, iecBGR, 3, 1), (V{back.b, back.g, back.r}));

  // 3 -> 1: the source row is complemented in place, then converted.
  V inverted{0, 128, 255, 55};
  V out(3);
  IKConvertColorFunction(inverted.data(), iecCMYKInv, out.data(), &p, 1, iecBGR);
  EXPECT_EQ(inverted, (V{255, 127, 0, 200}));
  EXPECT_EQ(out, (V{0, 99, 200}));
}
