#pragma once
// Shared pieces of the image buffer's pixel-format conversion: the gray
// weights, the ordered-dither matrix and the float-sample arithmetic that
// the conversion and the renderers both use.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "imaging/core/ikdefs.h"

namespace imaging {

// Percent weights of red, green and blue in a gray level (defined with the
// image parameters); the component lets callers change them, so they are
// read at every conversion.
extern std::atomic<int32_t> GrayWeightRed;
extern std::atomic<int32_t> GrayWeightGreen;
extern std::atomic<int32_t> GrayWeightBlue;

inline int32_t GrayLevel(int32_t r, int32_t g, int32_t b) {
  return (r * GrayWeightRed + g * GrayWeightGreen + b * GrayWeightBlue) / 100;
}
inline int32_t GrayLevel(const TRGB& c) { return GrayLevel(c.r, c.g, c.b); }

// The 8 x 8 ordered-dither thresholds, indexed [x mod 8][y mod 8].
inline constexpr uint8_t BayerMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21},
};

// trunc(v x scale) keeping its low bits, as the component's float formats
// define it: 1.5 x 255 = 382 becomes 126 in a byte. Done through 64 bits
// so that a wild sample (NaN, huge) gives 0 instead of undefined
// behaviour.
inline int64_t TruncScaled(float v, double scale) {
  const double t = static_cast<double>(v) * scale;
  if (!std::isfinite(t) || std::fabs(t) >= 9.2e18) return 0;
  return static_cast<int64_t>(t);
}
inline uint8_t FloatToByte(float v) { return static_cast<uint8_t>(TruncScaled(v, 255.0)); }
inline uint16_t FloatToWord(float v) { return static_cast<uint16_t>(TruncScaled(v, 65535.0)); }

// Samples of rasters read and written through byte addresses.
template <class T>
T IKLoad(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T>
void IKStore(uint8_t* p, const T& v) {
  std::memcpy(p, &v, sizeof v);
}

// trunc of a caller's double, in 64 bits; NaN and values beyond 64 bits
// give 0.
inline int64_t TruncToInt64(double v) {
  if (!std::isfinite(v) || std::fabs(v) >= 9.2e18) return 0;
  return static_cast<int64_t>(v);
}

}  // namespace imaging
