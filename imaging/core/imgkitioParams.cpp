#include "imaging/core/imgkitioParams.h"

#include "imaging/core/ikutilsICC.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ikutils.h"
#include "imaging/core/ikutilsBitmap.h"
#include "platform/rtl/DateUtils.h"

namespace imaging {

TTiffLzwDecompressProc DefTiffLzwDecompress = nullptr;
TTiffLzwCompressProc DefTiffLzwCompress = nullptr;
TGifLzwDecodeProc DefGifLzwDecompress = nullptr;
TGifLzwEncodeProc DefGifLzwCompress = nullptr;
std::atomic<int32_t> DefaultDpiX{300};
std::atomic<int32_t> DefaultDpiY{300};
std::atomic<int32_t> GrayWeightRed{21};
std::atomic<int32_t> GrayWeightGreen{71};
std::atomic<int32_t> GrayWeightBlue{8};
TIKConvertColorProc IKConvertColorFunction = IKDefaultConvertColor;
std::atomic<bool> EnableColorManagement{false};

namespace {

void CopyList(rtl::TStringList& to, const rtl::TStringList& from) {
  if (&to != &from) to.Assign(from);
}

}  // namespace

TIOParamsVals::TIOParamsVals(TIOParamsOwner* owner) : owner_(owner) { SetDefaultParams(); }

TIOParamsVals::~TIOParamsVals() = default;

TIKICC* TIOParamsVals::InputICCProfile() {
  if (!inputIcc_) inputIcc_ = std::make_unique<TIKICC>();
  return inputIcc_.get();
}

TIKICC* TIOParamsVals::OutputICCProfile() {
  if (!outputIcc_) {
    outputIcc_ = std::make_unique<TIKICC>();
    outputIcc_->OpenSRGB();
  }
  return outputIcc_.get();
}

void TIOParamsVals::SetDefaultParams() {
  static_cast<TIOParamsFields&>(*this) = TIOParamsFields{};
  palette_.reset();
  paletteCount_ = 0;
  if (owner_) {
    int32_t w = 0, h = 0;
    if (owner_->PlatformBitmapSize(w, h)) {
      Width = w;
      Height = h;
    }
  }
  SetDpiX(DefaultDpiX.load());
  SetDpiY(DefaultDpiY.load());
  GifComments.Clear();
  JpegMarkers.Clear();
  PngTextKeys.Clear();
  PngTextValues.Clear();
  PnmComments.Clear();
  ResetExif();
  imagingAnnot_.reset();
  inputIcc_.reset();
  TgaDateTime = rtl::Date();
  TiffLzwDecompress = DefTiffLzwDecompress;
  TiffLzwCompress = DefTiffLzwCompress;
  GifLzwDecompress = DefGifLzwDecompress;
  GifLzwCompress = DefGifLzwCompress;
  IcoSizes[0] = TIcoSize{64, 64};
  IcoBitCounts[0] = 8;
  IptcInfo.Clear();
}

void TIOParamsVals::ResetLoadInfo() {
  IptcInfo.Clear();
  // A profile belongs to the picture it came with.
  inputIcc_.reset();
  imagingAnnot_.reset();
  JpegMarkers.Clear();
  ResetExif();
  GifComments.Clear();
  PngTextKeys.Clear();
  PngTextValues.Clear();
  TiffDocumentName.clear();
  TiffImageDescription.clear();
  TiffPageName.clear();
  TgaImageId.clear();
  TgaAuthor.clear();
  TgaJobName.clear();
  PnmComments.Clear();
}

void TIOParamsVals::ResetExif() {
  static_cast<TIOExifFields&>(*this) = TIOExifFields{};
  ExifThumbnail.reset();
  const int32_t app1 = JpegMarkers.IndexOf(0xE1);
  if (app1 >= 0) JpegMarkers.Delete(app1);
}

void TIOParamsVals::Assign(const TIOParamsVals& source) {
  if (&source == this) return;
  static_cast<TIOParamsFields&>(*this) = source;
  CopyList(GifComments, source.GifComments);
  JpegMarkers.Assign(&source.JpegMarkers);
  CopyList(PngTextKeys, source.PngTextKeys);
  CopyList(PngTextValues, source.PngTextValues);
  IptcInfo.Assign(&source.IptcInfo);
  IptcInfo.SetModified(source.IptcInfo.Modified());
  CopyList(PnmComments, source.PnmComments);
  ExifThumbnail.reset();
  if (source.ExifThumbnail) {
    ExifThumbnail = std::make_unique<TIKBitmap>();
    ExifThumbnail->Assign(source.ExifThumbnail.get());
  }
  inputIcc_.reset();
  if (source.inputIcc_) InputICCProfile()->Assign(source.inputIcc_.get());
  imagingAnnot_.reset();
  if (source.imagingAnnot_) {
    imagingAnnot_ = std::make_unique<TIKImagingAnnot>();
    imagingAnnot_->Assign(source.imagingAnnot_.get());
    imagingAnnot_->Changed = source.imagingAnnot_->Changed;
  }
  palette_.reset();
  paletteCount_ = 0;
  SetPalette(source.palette_.get(), source.paletteCount_);
}

void TIOParamsVals::AssignSaveOptions(const TIOParamsVals& s) {
  BitsPerSample = s.BitsPerSample;
  SamplesPerPixel = s.SamplesPerPixel;
  TiffCompression = s.TiffCompression;
  TiffPhotometric = s.TiffPhotometric;
  TiffPlanarConfig = s.TiffPlanarConfig;
  SetTiffOrientation(s.TiffOrientation());
  TiffLzwDecompress = s.TiffLzwDecompress;
  TiffLzwCompress = s.TiffLzwCompress;
  TiffAutoRotate = s.TiffAutoRotate;
  TiffJpegQuality = s.TiffJpegQuality;
  TiffJpegColorSpace = s.TiffJpegColorSpace;
  TiffFillOrder = s.TiffFillOrder;
  GifInterlaced = s.GifInterlaced;
  GifLzwDecompress = s.GifLzwDecompress;
  GifLzwCompress = s.GifLzwCompress;
  JpegColorSpace = s.JpegColorSpace;
  JpegQuality = s.JpegQuality;
  JpegDctMethod = s.JpegDctMethod;
  JpegOptimalHuffman = s.JpegOptimalHuffman;
  JpegSmoothing = s.JpegSmoothing;
  JpegProgressive = s.JpegProgressive;
  J2kColorSpace = s.J2kColorSpace;
  J2kRate = s.J2kRate;
  J2kProgressionOrder = s.J2kProgressionOrder;
  PcxVersion = s.PcxVersion;
  PcxCompression = s.PcxCompression;
  BmpVersion = s.BmpVersion;
  BmpCompression = s.BmpCompression;
  PngInterlaced = s.PngInterlaced;
  PngFilter = s.PngFilter;
  PngCompression = s.PngCompression;
  TgaCompressed = s.TgaCompressed;
  TgaGrayscale = s.TgaGrayscale;
}

void TIOParamsVals::SetDpiX(int32_t value) {
  dpiX_ = value;
  ExifXResolution = value;
  if (owner_) owner_->ViewSetDPIX(value);
}

void TIOParamsVals::SetDpiY(int32_t value) {
  dpiY_ = value;
  ExifYResolution = value;
  if (owner_) owner_->ViewSetDPIY(value);
}

namespace {
// Trunc of a resolution that may come from a damaged header: values outside
// the 32-bit range (and NaN) must not reach an undefined conversion.
int32_t TruncDpi(double value) {
  if (!(value == value)) return 0;
  return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}
}  // namespace

void TIOParamsVals::SetDpiX(double value) { SetDpiX(TruncDpi(value)); }
void TIOParamsVals::SetDpiY(double value) { SetDpiY(TruncDpi(value)); }

void TIOParamsVals::SetImageIndex(int32_t value) {
  ImageIndex = value;
  TiffImageIndex = value;
  DcxPageIndex = value;
  GifImageIndex = value;
  IcoImageIndex = value;
  CurImageIndex = value;
}

void TIOParamsVals::SetImageCount(int32_t value) {
  ImageCount = value;
  TiffImageCount = value;
  AviFrameCount = value;
  GifImageCount = value;
  MediaFileFrameCount = value;
}

void TIOParamsVals::SetLoadThumbnail(bool value) {
  GetThumbnail = value;
  JpegLoadThumbnail = value;
}

void TIOParamsVals::SetTiffOrientation(int32_t value) {
  tiffOrientation_ = value;
  ExifOrientation = value;
}

TIKImagingAnnot* TIOParamsVals::ImagingAnnot() {
  if (!imagingAnnot_) imagingAnnot_ = std::make_unique<TIKImagingAnnot>();
  return imagingAnnot_.get();
}

void TIOParamsVals::SetPalette(const TRGB* colors, int32_t count) {
  if (count <= 0 || !colors) {
    palette_.reset();
    paletteCount_ = 0;
    return;
  }
  auto copy = std::make_unique<TRGB[]>(static_cast<size_t>(count));
  std::copy(colors, colors + count, copy.get());
  palette_ = std::move(copy);
  paletteCount_ = count;
}

// ---- colour conversion ----

void IKDefaultConvertColor(void* source, uint8_t sourceKind, void* dest, TIOParamsVals* params, int32_t count,
                           uint8_t destKind) {
  (void)params;  // the profile path reads the parameters' colour profiles
  if (count <= 0 || !source || !dest) return;
  const auto n = static_cast<size_t>(count);
  auto* s = static_cast<uint8_t*>(source);
  auto* d = static_cast<uint8_t*>(dest);
  const auto toCmyk = [&](uint8_t* from) {
    for (size_t i = 0; i < n; ++i) {
      const TCMYK c{from[4 * i], from[4 * i + 1], from[4 * i + 2], from[4 * i + 3]};
      const TRGB rgb = CMYKToRGB(c);
      std::memcpy(d + 3 * i, &rgb, 3);
    }
  };
  switch (sourceKind) {
    case iecRGB:
      if (destKind == iecBGR)
        for (size_t i = 0; i < n; ++i) {
          const uint8_t r = s[3 * i], g = s[3 * i + 1], b = s[3 * i + 2];
          d[3 * i] = b;
          d[3 * i + 1] = g;
          d[3 * i + 2] = r;
        }
      break;
    case iecBGR: {
      const auto* px = reinterpret_cast<const TRGB*>(s);
      switch (destKind) {
        case iecBGR: std::memmove(d, s, 3 * n); break;
        case iecCMYK:
          for (size_t i = 0; i < n; ++i) {
            const TCMYK c = RGBToCMYK(px[i]);
            std::memcpy(d + 4 * i, &c, 4);
          }
          break;
        case iecCIELab:
          for (size_t i = 0; i < n; ++i) {
            const TCIELab lab = RGBToCIELab(PackRGB(px[i]));
            std::memcpy(d + 3 * i, &lab, 3);
          }
          break;
        case iecGray8: {
          const int32_t wr = GrayWeightRed, wg = GrayWeightGreen, wb = GrayWeightBlue;
          for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>((wr * px[i].r + wg * px[i].g + wb * px[i].b) / 100);
          break;
        }
      }
      break;
    }
    case iecCMYK:
      if (destKind == iecBGR) toCmyk(s);
      break;
    case iecCMYKInv:
      if (destKind == iecBGR) {
        for (size_t i = 0; i < 4 * n; ++i) s[i] = static_cast<uint8_t>(255 - s[i]);
        toCmyk(s);
      }
      break;
    case iecCIELab:
      if (destKind == iecBGR)
        for (size_t i = 0; i < n; ++i) {
          const TRGB rgb = CIELabToRGB(s[3 * i] | s[3 * i + 1] << 8 | s[3 * i + 2] << 16);
          std::memcpy(d + 3 * i, &rgb, 3);
        }
      break;
    case iecRGB48LE:
    case iecRGB48BE:
      if (destKind == iecBGR) {
        // The high byte of each sample: the second byte little-endian, the
        // first big-endian.
        const size_t hi = sourceKind == iecRGB48LE ? 1 : 0;
        for (size_t i = 0; i < n; ++i) {
          const uint8_t r = s[6 * i + hi], g = s[6 * i + 2 + hi], b = s[6 * i + 4 + hi];
          d[3 * i] = b;
          d[3 * i + 1] = g;
          d[3 * i + 2] = r;
        }
      }
      break;
  }
}

}  // namespace imaging
