// CIE L*a*b* for the ikCIELab pixel format: through CIE XYZ with the D65
// white point and the sRGB curve.
#include <cmath>

#include "imaging/core/ikutils.h"

namespace imaging {

namespace {

constexpr double kXn = 0.95047;
constexpr double kYn = 1.0;
constexpr double kZn = 1.08883;
constexpr double kEpsilon = 0.008856;

double ToLinear(uint8_t channel) {
  const double v = channel / 255.0;
  return v <= 0.03928 ? v / 12.92 : FastPower((v + 0.055) / 1.055, 2.4);
}

double LabF(double t) { return t > kEpsilon ? FastPower(t, 1.0 / 3.0) : 7.787 * t + 16.0 / 116.0; }

double FromLabF(double f) {
  const double cube = f * f * f;
  return cube > kEpsilon ? cube : (f - 0.13793103448) / 7.787;
}

uint8_t ToChannel(double linear) {
  const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * FastPower(linear, 1.0 / 2.4) - 0.055;
  const double scaled = std::nearbyint(v * 255.0);
  if (!(scaled > 0)) return 0;  // NaN from a negative base lands here too
  return scaled >= 255 ? 255 : static_cast<uint8_t>(scaled);
}

// The low 8 bits of trunc(v): out-of-gamut values wrap, as the byte format
// defines. Through int64, since a float outside int range has no int value.
uint8_t LowByte(double v) { return static_cast<uint8_t>(static_cast<int64_t>(std::trunc(v)) & 0xFF); }

}  // namespace

TCIELab RGBToCIELab(int32_t color) {
  const double r = ToLinear(static_cast<uint8_t>(color >> 16));
  const double g = ToLinear(static_cast<uint8_t>(color >> 8));
  const double b = ToLinear(static_cast<uint8_t>(color));
  const double x = (0.412453 * r + 0.35758 * g + 0.180423 * b) / kXn;
  const double y = (0.212671 * r + 0.71516 * g + 0.072169 * b) / kYn;
  const double z = (0.019334 * r + 0.119193 * g + 0.950227 * b) / kZn;
  const double fx = LabF(x), fy = LabF(y), fz = LabF(z);
  const double l = y > kEpsilon ? 116.0 * fy - 16.0 : 903.3 * y;
  TCIELab lab;
  lab.l = LowByte(l * 255.0 / 100.0);
  lab.a = static_cast<int8_t>(LowByte(500.0 * (fx - fy)));
  lab.b = static_cast<int8_t>(LowByte(200.0 * (fy - fz)));
  return lab;
}

TRGB CIELabToRGB(int32_t lab) {
  const double l = (lab & 0xFF) * 0.39215686275;
  const double a = static_cast<int8_t>(lab >> 8 & 0xFF);
  const double b = static_cast<int8_t>(lab >> 16 & 0xFF);
  const double fy = (l + 16.0) / 116.0;
  const double fx = fy + a / 500.0;
  const double fz = fy - b / 200.0;
  const double x = FromLabF(fx) * kXn;
  const double y = FromLabF(fy);
  const double z = FromLabF(fz) * kZn;
  const double rl = 3.2406 * x - 1.5372 * y - 0.4986 * z;
  const double gl = -0.9689 * x + 1.8758 * y + 0.0415 * z;
  const double bl = 0.0557 * x - 0.204 * y + 1.057 * z;
  return CreateRGB(ToChannel(rl), ToChannel(gl), ToChannel(bl));
}

}  // namespace imaging
