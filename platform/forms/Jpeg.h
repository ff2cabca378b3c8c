#pragma once
// JPEG pictures. The compressed data and the decoded bitmap are kept side
// by side: a loaded picture saves its original bytes unchanged, and one
// made from a bitmap is compressed when first saved, with the settings in
// force then.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/forms/Graphics.h"

namespace forms {

// A JPEG that cannot be read or written (the library's error number in
// the message).
class EJPEG : public rtl::Exception { using Exception::Exception; };

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };
using TJPEGQualityRange = int;

class TJPEGImage : public TGraphic {
public:
  TJPEGImage();
  ~TJPEGImage() override;

  bool Empty() const override;
  // The decoded size: the file's size reduced by Scale.
  int Width() const override;
  int Height() const override;
  void SetWidth(int width) override;
  void SetHeight(int height) override;

  // 1..100; values outside are brought to the nearest end.
  TJPEGQualityRange CompressionQuality() const { return quality_; }
  void SetCompressionQuality(TJPEGQualityRange quality);
  bool ProgressiveEncoding() const { return progressiveEncoding_; }
  void SetProgressiveEncoding(bool on) { progressiveEncoding_ = on; }
  bool ProgressiveDisplay() const { return progressiveDisplay_; }
  void SetProgressiveDisplay(bool on) { progressiveDisplay_ = on; }
  // Decode (and encode) in grey.
  bool Grayscale() const { return grayscale_; }
  void SetGrayscale(bool on);
  TJPEGScale Scale() const { return scale_; }
  void SetScale(TJPEGScale scale);
  TJPEGPerformance Performance() const { return performance_; }
  void SetPerformance(TJPEGPerformance performance);
  TJPEGPixelFormat PixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TJPEGPixelFormat format);
  bool Smoothing() const { return smoothing_; }
  void SetSmoothing(bool on);

  // Decodes the data into the bitmap now (EJPEG on bad data).
  void DIBNeeded();
  // Compresses the bitmap now, replacing any data held.
  void Compress();
  // Makes sure compressed data exists.
  void JPEGNeeded();
  // The decoded picture (pf24bit, or pf8bit for grey and jf8Bit).
  TBitmap* Bitmap();

  void LoadFromStream(rtl::TStream* stream) override;
  void SaveToStream(rtl::TStream* stream) override;
  void Assign(TPersistent* source) override;

protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;
  void AssignTo(TPersistent* dest) override;

private:
  void FreeBitmap();
  std::vector<uint8_t> data_;
  int dataWidth_ = 0, dataHeight_ = 0;
  bool dataGray_ = false;
  std::unique_ptr<TBitmap> bitmap_;
  int quality_ = 90;
  bool progressiveEncoding_ = false;
  bool progressiveDisplay_ = false;
  bool grayscale_ = false;
  TJPEGScale scale_ = jsFullSize;
  TJPEGPerformance performance_ = jpBestQuality;
  TJPEGPixelFormat pixelFormat_ = jf24Bit;
  bool smoothing_ = true;
};

}  // namespace forms
