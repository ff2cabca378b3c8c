#pragma once
// Soft drop shadows through the alpha plane, the Gaussian blur they need,
// per-channel histogram matching and rounded corners.
#include <array>
#include <cstdint>

#include "imaging/core/ikdefs.h"
#include "imaging/core/imgkitioParams.h"
#include "platform/forms/Classes.h"

namespace imaging {

class TIKBitmap;

struct TGaussianKernel {
  uint8_t Radius = 1;
  // Offsets -100..100 at index offset + 100.
  std::array<double, 201> Weights{};
  // 16.16 fixed point, summing to about 65536.
  std::array<int32_t, 201> IntWeights{};
};

void BuildGaussianKernel(TGaussianKernel& kernel, double sigma);
// 8-bit gray and 24-bit RGB images; nothing for sigma <= 0.
void GaussianBlur(TIKBitmap* bitmap, forms::TObject* sender, TIKProgressProc callback, void* data, double sigma);
// A shadow of the image's own shape, blurred by `radius` and moved by the
// offsets, behind the image; with `enlarge` the canvas grows to hold it.
void AddSoftShadow(TIKBitmap* bitmap, int32_t offsetX, int32_t offsetY, forms::TObject* sender,
                   TIKProgressProc callback, void* data, uint32_t shadowColor, bool enlarge, double radius);
// Matches the blue, green and red channels of `bitmap` to those of an
// ikRGB24 reference.
void MatchHistograms(TIKBitmap* reference, TIKBitmap* bitmap);
// channel: 0 blue, 1 green, 2 red; ikRGB24 or ikRGB48 bitmaps.
void MatchChannel(TIKBitmap* bitmap, int32_t channel, const std::array<int64_t, 256>& referenceCounts,
                  int64_t referenceTotal);
// Makes the pixels outside the four corner curves transparent; true when
// the whole alpha plane is then 0.
bool RoundCorners(TIKBitmap* bitmap, int32_t rx, int32_t ry);

}  // namespace imaging
