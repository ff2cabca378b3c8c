// Hue, saturation and lightness on the 0-240 scale, checked against Python's
// colorsys scaled the same way, and the colour arithmetic built on them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "controls/fc/FcCommon.h"
#include "platform/rtl/tests/PythonRunner.h"

using namespace controls;

namespace {

TColor Rgb(int r, int g, int b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }

std::vector<int> Ramp(int last, int step) {
  std::vector<int> v;
  for (int i = 0; i <= last; i += step) v.push_back(i);
  if (v.back() != last) v.push_back(last);
  return v;
}

TEST(FcColor, SplitAgreesWithColorsys) {
  std::ostringstream in;
  for (int r : Ramp(255, 15))
    for (int g : Ramp(255, 15))
      for (int b : Ramp(255, 15)) in << r << ' ' << g << ' ' << b << '\n';
  for (int v = 0; v < 256; ++v) in << v << ' ' << (255 - v) << ' ' << (v * 7 % 256) << '\n';
  const std::string out = rtltest::RunPythonOnInput(R"(
import colorsys, sys
from fractions import Fraction
# colorsys's float steps can land a hair off an exact half; the true values
# are ratios of small whole numbers, so snap to them before rounding to even.
def scaled(v):
    return round(Fraction(v * 240).limit_denominator(100000))
for line in open(sys.argv[1]):
    r, g, b = map(int, line.split())
    h, l, s = colorsys.rgb_to_hls(r / 255, g / 255, b / 255)
    print(r, g, b, scaled(h), scaled(s), scaled(l))
)",
                                                    in.str());
  std::istringstream lines(out);
  int r, g, b, h, s, l, checked = 0;
  while (lines >> r >> g >> b >> h >> s >> l) {
    const THsl got = SplitColorHSL(Rgb(r, g, b));
    ASSERT_EQ((std::vector<int>{got.hue, got.saturation, got.lightness}), (std::vector<int>{h, s, l}))
        << "rgb " << r << ',' << g << ',' << b;
    ++checked;
  }
  EXPECT_GT(checked, 5000);
}

TEST(FcColor, FromHslAgreesWithColorsysOnA239HueScale) {
  // The hue is divided by 239, not 240, and lightness may run past 240
  // (lightening); channels are capped at 255.
  std::ostringstream in;
  for (int h : Ramp(255, 7))
    for (int s : Ramp(240, 16))
      for (int l : Ramp(255, 5)) in << h << ' ' << s << ' ' << l << '\n';
  const std::string out = rtltest::RunPythonOnInput(R"(
import colorsys, sys
for line in open(sys.argv[1]):
    h, s, l = map(int, line.split())
    rgb = colorsys.hls_to_rgb(h / 239, l / 240, s / 240)
    print(h, s, l, *[round(min(c, 1.0) * 255) for c in rgb])
)",
                                                    in.str());
  std::istringstream lines(out);
  int h, s, l, r, g, b, checked = 0;
  while (lines >> h >> s >> l >> r >> g >> b) {
    const TColor got = ColorFromHSL(static_cast<uint8_t>(h), static_cast<uint8_t>(s), static_cast<uint8_t>(l));
    ASSERT_EQ(got, Rgb(r, g, b)) << "hsl " << h << ',' << s << ',' << l;
    ++checked;
  }
  EXPECT_GT(checked, 10000);
}

TEST(FcColor, PureRedRoundTrips) {
  const THsl red = SplitColorHSL(forms::clRed);
  EXPECT_EQ(red.hue, 0);
  EXPECT_EQ(red.saturation, 240);
  EXPECT_EQ(red.lightness, 120);
  EXPECT_EQ(ColorFromHSL(0, 240, 120), forms::clRed);
  EXPECT_EQ(HueOfColor(forms::clBlue), 160);
}

TEST(FcColor, LightenAndDarken) {
  struct Case {
    const char* what;
    TColor got, want;
  };
  const Case cases[] = {
      {"darker than black stays black", DarkenColor(forms::clRed, 200), forms::clBlack},
      {"darken by the whole lightness", DarkenColor(forms::clRed, 120), forms::clBlack},
      {"lighten past 240 is white", LightenColor(forms::clRed, 200), forms::clWhite},
      {"lighten red by 60", LightenColor(forms::clRed, 60), ColorFromHSL(0, 240, 180)},
      {"darken red by 60", DarkenColor(forms::clRed, 60), ColorFromHSL(0, 240, 60)},
      {"system colours resolve first", DarkenColor(forms::clBtnShadow, 50),
       DarkenColor(static_cast<TColor>(forms::ColorToRGB(forms::clBtnShadow)), 50)},
      {"adjust 0 keeps even a system colour", AdjustColorLevel(forms::clBtnFace, 0), forms::clBtnFace},
      {"adjust down", AdjustColorLevel(forms::clRed, -60), DarkenColor(forms::clRed, 60)},
      {"adjust up", AdjustColorLevel(forms::clRed, 60), LightenColor(forms::clRed, 60)},
      {"adjust takes the low byte", AdjustColorLevel(forms::clRed, 256 + 60), LightenColor(forms::clRed, 60)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  // The frame controller's border highlight and shadow from the button shadow.
  const THsl shadow = SplitColorHSL(forms::clBtnShadow);
  EXPECT_EQ(SplitColorHSL(LightenColor(forms::clBtnShadow, 100)).lightness, std::min(240, shadow.lightness + 100));
  EXPECT_EQ(SplitColorHSL(DarkenColor(forms::clBtnShadow, 50)).lightness, std::max(0, shadow.lightness - 50));
}

TEST(FcColor, MixAndComplement) {
  EXPECT_EQ(MixColors(forms::clWhite, forms::clBlack, 255), forms::clWhite);
  EXPECT_EQ(MixColors(forms::clWhite, forms::clBlack, 0), forms::clBlack);
  EXPECT_EQ(MixColors(forms::clWhite, forms::clBlack, 128), Rgb(128, 128, 128));
  // 190/255 of white over the check box's default hot colour.
  EXPECT_EQ(MixColors(forms::clWhite, 0x00149BF0, 190), Rgb(251, 230, 195));
  EXPECT_EQ(ComplementaryColor(forms::clRed, 120), ColorFromHSL(120, 240, 120));
  EXPECT_EQ(ComplementaryColor(forms::clBlue, 120), ColorFromHSL(40, 240, 120));
}

}  // namespace
