#pragma once
// TIOParamsVals, the parameter set of one image: what the last reader found
// (format, size, resolution, per-format details, metadata) and what the
// next writer shall produce; the progress record every reader and writer
// receives; and the component-wide colour-conversion function that readers
// and writers use to move rows between the file's and the buffer's layouts.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "imaging/core/ikdefs.h"
#include "imaging/core/ikutilsAnnot.h"
#include "imaging/core/ikutilsMarkers.h"
#include "platform/forms/Classes.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Streams.h"

namespace imaging {

class TIKBitmap;
class TIKICC;

// What a parameter set needs from the input/output component that owns it.
class TIOParamsOwner {
public:
  virtual ~TIOParamsOwner() = default;
  // The size of the owner's platform bitmap; false when it has none.
  virtual bool PlatformBitmapSize(int32_t& width, int32_t& height) = 0;
  // Forwards a resolution change to the attached view, when there is one.
  virtual void ViewSetDPIX(int32_t dpi) = 0;
  virtual void ViewSetDPIY(int32_t dpi) = 0;
};

// The codec entry points a parameter set carries, so that a caller can
// put its own codec in place for one image.
using TTiffLzwDecompressProc = uint8_t* (*)(const uint8_t* data, int32_t rowLength, void*& state);
using TTiffLzwCompressProc = void (*)(const uint8_t* data, int32_t count, rtl::TStream* stream, void*& state);
using TGifLzwDecodeProc = void (*)(rtl::TStream* stream, int32_t height, int32_t width, uint8_t* indices,
                                   bool interlaced);
using TGifLzwEncodeProc = void (*)(rtl::TStream* stream, int32_t height, int32_t width, int32_t bits,
                                   const uint8_t* indices, bool interlaced);

// The component-wide codec defaults every parameter set starts from; the
// codec modules install themselves here.
extern TTiffLzwDecompressProc DefTiffLzwDecompress;
extern TTiffLzwCompressProc DefTiffLzwCompress;
extern TGifLzwDecodeProc DefGifLzwDecompress;
extern TGifLzwEncodeProc DefGifLzwCompress;

// The resolution a parameter set starts with, in dots per inch.
extern std::atomic<int32_t> DefaultDpiX;
extern std::atomic<int32_t> DefaultDpiY;

// The gray level of a colour: (red x GrayWeightRed + green x
// GrayWeightGreen + blue x GrayWeightBlue) div 100.
extern std::atomic<int32_t> GrayWeightRed;
extern std::atomic<int32_t> GrayWeightGreen;
extern std::atomic<int32_t> GrayWeightBlue;

// Progress of one read or write. A filter reports Trunc(Counter x Step)
// through Callback (when set) and tests AbortFlag between rows; it sets the
// flag instead of raising when the data is bad or a write fails.
using TIKProgressProc = void (*)(void* data, forms::TObject* sender, int32_t percent);
struct TProgressRec {
  TIKProgressProc Callback = nullptr;
  void* CallbackData = nullptr;
  forms::TObject* Sender = nullptr;
  int32_t Counter = 0;
  int32_t Total = 0;
  double Step = 0;
  double Step2 = 0;
  std::atomic<bool>* AbortFlag = nullptr;
};

// The EXIF fields of a parameter set, cleared together.
struct TIOExifFields {
  bool HasExif = false;
  // Set through SetExifOrientation, which keeps TiffOrientation in step.
  int32_t ExifOrientation = 0;
  String ExifImageDescription;
  String ExifMake;
  String ExifModel;
  double ExifXResolution = 0;
  double ExifYResolution = 0;
  int32_t ExifResolutionUnit = 0;
  String ExifSoftware;
  String ExifArtist;
  String ExifDateTime;
  std::array<double, 2> ExifWhitePoint{};
  std::array<double, 6> ExifPrimaryChromaticities{};
  std::array<double, 3> ExifYCbCrCoefficients{};
  int32_t ExifYCbCrPositioning = 0;
  std::array<double, 6> ExifReferenceBlackWhite{};
  String ExifCopyright;
  double ExifExposureTime = 0;
  double ExifFNumber = 0;
  int32_t ExifExposureProgram = 0;
  std::array<int32_t, 2> ExifISOSpeedRatings{};
  String ExifVersion;
  String ExifDateTimeOriginal;
  String ExifDateTimeDigitized;
  double ExifCompressedBitsPerPixel = 0;
  double ExifShutterSpeedValue = 0;
  double ExifApertureValue = 0;
  double ExifBrightnessValue = 0;
  double ExifExposureBiasValue = 0;
  double ExifMaxApertureValue = 0;
  double ExifSubjectDistance = 0;
  int32_t ExifMeteringMode = 0;
  int32_t ExifLightSource = 0;
  int32_t ExifFlash = 0;
  double ExifFocalLength = 0;
  String ExifSubsecTime;
  String ExifSubsecTimeOriginal;
  String ExifSubsecTimeDigitized;
  String ExifFlashPixVersion;
  int32_t ExifColorSpace = 0;
  int32_t ExifPixelXDimension = 0;
  int32_t ExifPixelYDimension = 0;
  String ExifRelatedSoundFile;
  double ExifFocalPlaneXResolution = 0;
  double ExifFocalPlaneYResolution = 0;
  int32_t ExifFocalPlaneResolutionUnit = 0;
  double ExifExposureIndex = 0;
  int32_t ExifSensingMethod = 0;
  int32_t ExifFileSource = 0;
  int32_t ExifSceneType = 0;
  String ExifUserComment;
  String ExifUserCommentCode;
  rtl::WideString ExifXPTitle;
  rtl::WideString ExifXPComment;
  rtl::WideString ExifXPAuthor;
  rtl::WideString ExifXPKeywords;
  rtl::WideString ExifXPSubject;
};

// The plain fields of a parameter set, copied and reset as one.
struct TIOParamsFields : TIOExifFields {
  struct TIcoSize {
    int32_t Width = 0;
    int32_t Height = 0;
  };

  // ---- common ----
  int32_t BitsPerSample = 8;
  String FileName;
  int32_t SamplesPerPixel = 3;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t FileType = 0;

  // ---- pages and frames ----
  int32_t ImageIndex = 0;
  int32_t ImageCount = 0;
  bool GetThumbnail = false;

  // ---- TIFF ----
  uint8_t TiffCompression = 0;
  int32_t TiffImageIndex = 0;
  uint8_t TiffPhotometric = 2;
  int32_t TiffPlanarConfig = 1;
  int32_t TiffXPos = 0;
  int32_t TiffYPos = 0;
  String TiffDocumentName;
  String TiffImageDescription;
  String TiffPageName;
  int32_t TiffPageNumber = -1;
  int32_t TiffPageCount = -1;
  TTiffLzwDecompressProc TiffLzwDecompress = nullptr;
  TTiffLzwCompressProc TiffLzwCompress = nullptr;
  bool TiffAutoRotate = false;
  int32_t TiffJpegQuality = 80;
  uint8_t TiffJpegColorSpace = 2;
  int32_t TiffImageCount = 0;
  int32_t TiffFillOrder = 1;

  // ---- DCX ----
  int32_t DcxPageIndex = 0;

  // ---- GIF ----
  String GifVersion = "GIF89a";
  int32_t GifImageIndex = 0;
  int32_t GifLeft = 0;
  int32_t GifTop = 0;
  int32_t GifDelay = 0;
  bool GifTransparent = false;
  TRGB GifTransparentColor{};
  bool GifInterlaced = false;
  int32_t GifScreenWidth = 0;
  int32_t GifScreenHeight = 0;
  TRGB GifBackgroundColor{};
  uint8_t GifAspectByte = 0;
  uint8_t GifDisposal = 2;
  TGifLzwDecodeProc GifLzwDecompress = nullptr;
  TGifLzwEncodeProc GifLzwCompress = nullptr;
  int32_t GifImageCount = 0;

  // ---- JPEG ----
  uint8_t JpegColorSpace = 2;
  int32_t JpegQuality = 80;
  uint8_t JpegDctMethod = 0;
  bool JpegOptimalHuffman = false;
  int32_t JpegSmoothing = 0;
  bool JpegProgressive = false;
  uint8_t JpegScale = 1;
  int32_t JpegScaleUsed = 1;
  int32_t JpegWarningCount = 0;
  int32_t JpegWarningCode = 0;
  int32_t JpegOriginalWidth = 0;
  int32_t JpegOriginalHeight = 0;
  bool ExifAutoRotate = false;
  bool JpegLoadThumbnail = false;

  // ---- JPEG 2000 ----
  uint8_t J2kColorSpace = 1;
  double J2kRate = 1.0;
  uint8_t J2kProgressionOrder = 0;

  // ---- PCX, BMP, icons and cursors ----
  int32_t PcxVersion = 5;
  bool PcxCompression = true;
  uint8_t BmpVersion = 1;
  uint8_t BmpCompression = 0;
  int32_t IcoImageIndex = 0;
  TRGB IcoBackgroundColor = CreateRGB(255, 255, 255);
  int32_t CurImageIndex = 0;
  int32_t CurHotSpotX = 0;
  int32_t CurHotSpotY = 0;
  TRGB CurBackgroundColor = CreateRGB(255, 255, 255);

  // ---- PNG ----
  bool PngInterlaced = false;
  TRGB PngBackgroundColor{};
  uint8_t PngFilter = 0;
  int32_t PngCompression = 5;

  // ---- Targa ----
  int32_t TgaXOrigin = 0;
  int32_t TgaYOrigin = 0;
  bool TgaCompressed = true;
  String TgaImageId;
  String TgaAuthor;
  rtl::TDateTime TgaDateTime = 0;
  String TgaJobName;
  TRGB TgaKeyColor{};
  double TgaAspectRatio = 1.0;
  double TgaGamma = 2.2;
  bool TgaGrayscale = false;

  // ---- video frames ----
  int32_t AviFrameCount = 0;
  int32_t AviFrameDelay = 0;
  int32_t MediaFileFrameCount = 0;
  int32_t MediaFileFrameDelay = 0;

  // ---- PostScript and PDF ----
  int32_t PsPaperWidth = 595;
  int32_t PsPaperHeight = 842;
  uint8_t PsCompression = 1;
  String PsTitle = "No Title";
  int32_t PdfPaperWidth = 595;
  int32_t PdfPaperHeight = 842;
  uint8_t PdfCompression = 2;
  String PdfTitle;
  String PdfAuthor;
  String PdfSubject;
  String PdfKeywords;
  String PdfCreator;
  String PdfProducer;

  // ---- camera RAW ----
  bool RawHalfSize = false;
  double RawGamma = 0.6;
  double RawBright = 1.0;
  double RawRedScale = 1.0;
  double RawBlueScale = 1.0;
  bool RawQuickInterpolate = true;
  bool RawUseAutoWB = false;
  bool RawUseCameraWB = false;
  bool RawFourColorRGB = false;
  String RawCamera;
  bool RawGetEmbeddedPreview = false;
  bool RawAutoAdjustColors = false;

  // ---- raw pixel data ----
  bool RawBlueFirst = false;
  bool RawPlanar = false;
  int32_t RawRowAlign = 8;
  int32_t RawHeaderSize = 0;

  // ---- pixel format and palette ----
  bool NativePixelFormat = false;

  // ---- icon sizes for writing ----
  std::array<TIcoSize, 16> IcoSizes{};
  std::array<int32_t, 16> IcoBitCounts{};

protected:
  int32_t dpiX_ = 300;
  int32_t dpiY_ = 300;
  int32_t tiffOrientation_ = 1;
  int32_t paletteCount_ = 0;
};

class TIOParamsVals : public TIOParamsFields {
public:
  explicit TIOParamsVals(TIOParamsOwner* owner = nullptr);
  ~TIOParamsVals();
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  TIOParamsOwner* Owner() const { return owner_; }

  // Every field to its default; the owner's view hears the resolution.
  void SetDefaultParams();
  // Clears what a reader fills, before it runs: metadata, comments and the
  // descriptive texts. Load inputs and save options keep their values.
  void ResetLoadInfo();
  void ResetExif();
  // A copy of every field, the owned objects into this set's own; the
  // owner stays.
  void Assign(const TIOParamsVals& source);
  // Only the options that steer writers.
  void AssignSaveOptions(const TIOParamsVals& source);

  // ---- common ----
  int32_t DpiX() const { return dpiX_; }
  int32_t DpiY() const { return dpiY_; }
  // The value goes to ExifXResolution / ExifYResolution too, and to the
  // owner's view. The double forms keep the whole part.
  void SetDpiX(int32_t value);
  void SetDpiY(int32_t value);
  void SetDpiX(double value);
  void SetDpiY(double value);

  // ---- pages and frames ----
  // The six index fields at once.
  void SetImageIndex(int32_t value);
  // The five count fields at once.
  void SetImageCount(int32_t value);
  // GetThumbnail and JpegLoadThumbnail.
  void SetLoadThumbnail(bool value);
  void SetUseRawPreview(bool value) { RawGetEmbeddedPreview = value; }

  // ---- TIFF ----
  // Both setters set TiffOrientation and ExifOrientation.
  int32_t TiffOrientation() const { return tiffOrientation_; }
  void SetTiffOrientation(int32_t value);
  void SetExifOrientation(int32_t value) { SetTiffOrientation(value); }

  // ---- GIF ----
  rtl::TStringList GifComments;

  // ---- JPEG ----
  TIKMarkerList JpegMarkers;

  // ---- PNG ----
  rtl::TStringList PngTextKeys;
  rtl::TStringList PngTextValues;

  // ---- metadata ----
  TIKIPTCInfoList IptcInfo;
  std::unique_ptr<TIKBitmap> ExifThumbnail;
  // Made on first use.
  TIKImagingAnnot* ImagingAnnot();
  bool HasImagingAnnot() const { return imagingAnnot_ != nullptr; }
  rtl::TStringList PnmComments;

  // ---- EXIF arrays ----
  // Element access to the EXIF arrays; the caller stays within the array.
  int32_t GetExifISOSpeedRatings(int32_t i) const { return ExifISOSpeedRatings[static_cast<size_t>(i)]; }
  void SetExifISOSpeedRatings(int32_t i, int32_t v) { ExifISOSpeedRatings[static_cast<size_t>(i)] = v; }
  double GetExifWhitePoint(int32_t i) const { return ExifWhitePoint[static_cast<size_t>(i)]; }
  void SetExifWhitePoint(int32_t i, double v) { ExifWhitePoint[static_cast<size_t>(i)] = v; }
  double GetExifPrimaryChromaticities(int32_t i) const { return ExifPrimaryChromaticities[static_cast<size_t>(i)]; }
  void SetExifPrimaryChromaticities(int32_t i, double v) { ExifPrimaryChromaticities[static_cast<size_t>(i)] = v; }
  double GetExifYCbCrCoefficients(int32_t i) const { return ExifYCbCrCoefficients[static_cast<size_t>(i)]; }
  void SetExifYCbCrCoefficients(int32_t i, double v) { ExifYCbCrCoefficients[static_cast<size_t>(i)] = v; }
  double GetExifReferenceBlackWhite(int32_t i) const { return ExifReferenceBlackWhite[static_cast<size_t>(i)]; }
  void SetExifReferenceBlackWhite(int32_t i, double v) { ExifReferenceBlackWhite[static_cast<size_t>(i)] = v; }

  // ---- pixel format and palette ----
  // Null when there is no palette.
  TRGB* Palette() { return palette_.get(); }
  int32_t PaletteCount() const { return paletteCount_; }
  // A copy of `count` colours; 0 frees the palette.
  void SetPalette(const TRGB* colors, int32_t count);

  // ---- colour profiles ----
  // Made on first use: the input profile empty, the output profile as the
  // standard sRGB profile.
  TIKICC* InputICCProfile();
  TIKICC* OutputICCProfile();
  // Whether an input profile object exists (without making one).
  bool HasInputICCProfile() const { return inputIcc_ != nullptr; }


private:
  TIOParamsOwner* owner_;
  std::unique_ptr<TIKImagingAnnot> imagingAnnot_;
  std::unique_ptr<TRGB[]> palette_;
  std::unique_ptr<TIKICC> inputIcc_;
  std::unique_ptr<TIKICC> outputIcc_;
};


// Source and destination layouts of the colour conversion.
enum : uint8_t {
  iecRGB = 0,       // red, green, blue bytes (file order)
  iecBGR = 1,       // the buffer's 24-bit layout
  iecCMYK = 2,      // as the buffer's CMYK pixel stores it
  iecCMYKInv = 3,   // CMYK stored inverted
  iecCIELab = 4,
  iecGray8 = 5,
  iecRGB48LE = 6,   // 16-bit samples, little-endian
  iecRGB48BE = 7,   // 16-bit samples, big-endian
};

// Converts `count` pixels of one row from one layout to another. A pair the
// function has no rule for leaves the destination untouched. Inverted CMYK
// is complemented in the source row itself before it is converted.
using TIKConvertColorProc = void (*)(void* source, uint8_t sourceKind, void* dest, TIOParamsVals* params,
                                     int32_t count, uint8_t destKind);
void IKDefaultConvertColor(void* source, uint8_t sourceKind, void* dest, TIOParamsVals* params, int32_t count,
                           uint8_t destKind);
extern TIKConvertColorProc IKConvertColorFunction;
// Switches the colour-profile path of the conversion on.
extern std::atomic<bool> EnableColorManagement;

}  // namespace imaging
