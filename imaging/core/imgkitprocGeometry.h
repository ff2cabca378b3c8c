#pragma once
// Geometric transforms of an image buffer: the resampling dispatcher (alpha
// plane included), the nearest-pixel stretch, mirroring, quarter turns and
// rotation by any angle (three shears for 24-bit images, sampling for 1-bit
// images).
#include <cstdint>
#include <functional>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "imaging/core/imgkitprocResample.h"
#include "platform/forms/Classes.h"

namespace imaging {

class TIKBitmap;

using TIKProgressEvent = std::function<void(forms::TObject* Sender, int32_t per)>;

// `target` is already allocated at the new size. A source with an alpha
// plane first has its fully transparent pixels turned gray 128.
void ResampleImage(TIKBitmap* source, TIKBitmap* target, TResampleFilter filter, const TIKProgressEvent& progress,
                   forms::TObject* sender);
// ikRGB24: every pixel whose alpha is 0 takes `color` (packed RGB).
void FillTransparentWithColor(TIKBitmap* bitmap, uint32_t color);
// Nearest-pixel resize of any pixel format into the target's size.
TIKBitmap* StretchIKBitmap(TIKBitmap* source, TIKBitmap* target, forms::TObject* sender,
                           const TIKProgressEvent& progress);
// 0 left-right, 1 top-bottom; the alpha plane too.
void FlipIKBitmap(TIKBitmap* bitmap, int32_t direction);
// The target becomes H x W in the source's pixel format.
void Rotate90CW(TIKBitmap* source, TIKBitmap* target);
void Rotate90CCW(TIKBitmap* source, TIKBitmap* target);
// Positive angles (degrees) turn counter-clockwise on screen; `background`
// is a packed RGB colour for the uncovered corners.
void RotateIKBitmap(TIKBitmap* bitmap, bool antiAlias, forms::TObject* sender, double angle, uint32_t background,
                    const TIKProgressEvent& progress);
void Rotate1Bit(TIKBitmap* bitmap, bool background, TProgressRec& progress, double angle);

}  // namespace imaging
