#pragma once
// Routines of the colour-reduction, quantizer and resampling units that the
// image buffer's conversion and drawing call. Those units are not in the
// tree yet: until they are, each of these raises EIKError saying so, and
// ikutilsPending.cpp, which holds only those placeholders, goes when they
// arrive (this header then forwards to them).
#include <cstdint>

#include "imaging/core/ikdefs.h"

namespace imaging {

class TIKBitmap;

// The resampling filters, in their stored order.
enum TResampleFilter : uint8_t {
  rfNone,
  rfTriangle,
  rfHermite,
  rfBell,
  rfBSpline,
  rfLanczos3,
  rfMitchell,
  rfNearest,
  rfLinear,
  rfFastLinear,
  rfBilinear,
  rfBicubic,
  rfProjectBW,
  rfProjectWB,
};

// `dest` (ikMono1, the source's size) gets a set bit for every pixel whose
// gray is not below the gray of the image's mean colour.
void ThresholdToBWMean(TIKBitmap* source, TIKBitmap* dest);
// `dest` (ikPalette8, the source's size) gets a palette of at most
// `colors` entries chosen for the ikRGB24 source and an index per pixel.
void QuantizeToPalette(TIKBitmap* source, TIKBitmap* dest, int32_t colors);
// Resize `source` into `dest`, whose size and format are already set.
void Resample24(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter);
void Resample1Bit(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter);
void ResampleGray8(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter);
// Area average of the 1-bit rectangle (x1, y1)-(x2, y2) into the whole
// ikRGB24 `dest`.
void Stretch1BitRect(TIKBitmap* source, int32_t x1, int32_t y1, TIKBitmap* dest, int32_t y2, int32_t x2);

}  // namespace imaging
