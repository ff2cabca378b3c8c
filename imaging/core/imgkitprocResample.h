#pragma once
// Resizing one image buffer into another whose size is already set, with
// one of the resampling filters: two-pass kernel resampling, the fast
// linear paths, the area resampling of the bilinear and bicubic filters,
// the black/white projections and the area average of 1-bit rectangles.
#include <cstdint>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/forms/Classes.h"

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

// The kernel of a filter that has one (rfTriangle .. rfLinear) and its
// support radius; null kernel for the others.
struct TResampleKernel {
  double (*Kernel)(double x);
  double Support;
};
TResampleKernel ResampleKernelOf(TResampleFilter filter);

// An ikRGB24 source into an ikRGB24 destination (1-bit for the
// projections); other sources are left alone. Progress through `callback`
// when one is given.
void Resample24(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter, forms::TObject* sender = nullptr,
                TIKProgressProc callback = nullptr, void* data = nullptr);
// A 1-bit source into 24-bit gray, or into 1 bit for the projections.
void Resample1Bit(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter);
// 8-bit single-channel planes (alpha planes).
void ResampleGray8(TIKBitmap* source, TIKBitmap* dest, TResampleFilter filter);
// Area average of the 1-bit rectangle (x1, y1)-(x2, y2) into the whole
// ikRGB24 `dest`, as gray.
void Stretch1BitRect(TIKBitmap* source, int32_t x1, int32_t y1, TIKBitmap* dest, int32_t y2, int32_t x2);

// The routines behind the dispatch, for callers that pick one themselves.
void FastLinear24(TIKBitmap* source, TIKBitmap* dest, forms::TObject* sender = nullptr,
                  TIKProgressProc callback = nullptr, void* data = nullptr);
void FastLinear8(TIKBitmap* source, TIKBitmap* dest);
// `cubic` false: linear interpolation.
void AreaResample24(TIKBitmap* source, TIKBitmap* dest, bool cubic, forms::TObject* sender = nullptr,
                    TIKProgressProc callback = nullptr, void* data = nullptr);
// keepBright true: a destination bit is set when any pixel of its block is
// bright; false: cleared when any is dark.
void Project1Bit(TIKBitmap* source, TIKBitmap* dest, bool keepBright);
void Project24To1Bit(TIKBitmap* source, TIKBitmap* dest, bool keepBright, forms::TObject* sender = nullptr,
                     TIKProgressProc callback = nullptr, void* data = nullptr);

}  // namespace imaging
