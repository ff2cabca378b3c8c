// The CIELab conversion against LittleCMS: sRGB to Lab with a D65 white.
// The buffer's sRGB curve switches to the power law at 0.03928 where the
// sRGB standard says 0.04045; no 8-bit channel value lies between the two
// (10/255 = 0.0392 is below both, 11/255 = 0.0431 above both), so the two
// agree on every input a buffer can hold.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "imaging/core/ikutils.h"
// Last: its TRUE and FALSE macros would clash with the platform layer's names.
#include <lcms2.h>

namespace imaging {
namespace {

// LittleCMS works in a D50 connection space: the reference takes sRGB to
// XYZ there, adapts it to D65 (Bradford, as the sRGB profile was adapted the
// other way) and forms Lab against the D65 white; and back.
class LabReference {
public:
  LabReference() {
    const cmsCIExyY d65{0.3127, 0.3290, 1.0};
    cmsxyY2XYZ(&d65_, &d65);
    srgb_ = cmsCreate_sRGBProfile();
    xyz_ = cmsCreateXYZProfile();
    const cmsUInt32Number exact = cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE;
    toXyz_ = cmsCreateTransform(srgb_, TYPE_RGB_8, xyz_, TYPE_XYZ_DBL, INTENT_RELATIVE_COLORIMETRIC, exact);
    toRgb_ = cmsCreateTransform(xyz_, TYPE_XYZ_DBL, srgb_, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, exact);
  }
  ~LabReference() {
    cmsDeleteTransform(toXyz_);
    cmsDeleteTransform(toRgb_);
    cmsCloseProfile(srgb_);
    cmsCloseProfile(xyz_);
  }
  bool Ready() const { return toXyz_ && toRgb_; }
  cmsCIELab ToLab(uint8_t r, uint8_t g, uint8_t b) const {
    const uint8_t rgb[3] = {r, g, b};
    cmsCIEXYZ d50{}, adapted{};
    cmsDoTransform(toXyz_, rgb, &d50, 1);
    cmsAdaptToIlluminant(&adapted, cmsD50_XYZ(), &d65_, &d50);
    cmsCIELab lab{};
    cmsXYZ2Lab(&d65_, &lab, &adapted);
    return lab;
  }
  TRGB ToRgb(double l, double a, double b) const {
    const cmsCIELab lab{l, a, b};
    cmsCIEXYZ d65xyz{}, d50{};
    cmsLab2XYZ(&d65_, &d65xyz, &lab);
    cmsAdaptToIlluminant(&d50, &d65_, cmsD50_XYZ(), &d65xyz);
    uint8_t rgb[3] = {};
    cmsDoTransform(toRgb_, &d50, rgb, 1);
    return CreateRGB(rgb[0], rgb[1], rgb[2]);
  }

private:
  cmsCIEXYZ d65_{};
  cmsHPROFILE srgb_ = nullptr;
  cmsHPROFILE xyz_ = nullptr;
  cmsHTRANSFORM toXyz_ = nullptr;
  cmsHTRANSFORM toRgb_ = nullptr;
};

int32_t Packed(uint8_t r, uint8_t g, uint8_t b) { return r << 16 | g << 8 | b; }

TEST(IkCIELab, KnownValues) {
  EXPECT_EQ(RGBToCIELab(Packed(255, 255, 255)), (TCIELab{255, 0, 0}));
  EXPECT_EQ(CIELabToRGB(PackCIELab(TCIELab{255, 0, 0})), CreateRGB(255, 255, 255));
  EXPECT_EQ(RGBToCIELab(Packed(0, 0, 0)), (TCIELab{0, 0, 0}));
  EXPECT_EQ(CIELabToRGB(0), CreateRGB(0, 0, 0));
  const TCIELab red = RGBToCIELab(Packed(255, 0, 0));
  EXPECT_EQ(red, (TCIELab{135, 80, 67}));
  EXPECT_EQ(CIELabToRGB(PackCIELab(red)), CreateRGB(254, 0, 0));
  // Negative a* and b* wrap into two's-complement bytes.
  const TCIELab blue = RGBToCIELab(Packed(0, 0, 255));
  EXPECT_LT(blue.b, -100);
  EXPECT_EQ(static_cast<uint8_t>(blue.b), static_cast<uint8_t>(256 + blue.b));
}

TEST(IkCIELab, SignedBytesAreReadAsSigned) {
  LabReference ref;
  ASSERT_TRUE(ref.Ready());
  // b = 200 is b* = -56.
  const TRGB ours = CIELabToRGB(200 << 16 | 0 << 8 | 128);
  const TRGB theirs = ref.ToRgb(128 * 100.0 / 255.0, 0, -56);
  EXPECT_NEAR(ours.r, theirs.r, 1);
  EXPECT_NEAR(ours.g, theirs.g, 1);
  EXPECT_NEAR(ours.b, theirs.b, 1);
  EXPECT_GT(ours.b, ours.r);  // negative b* is blue
}

TEST(IkCIELab, AgreesWithLittleCms) {
  LabReference ref;
  ASSERT_TRUE(ref.Ready());
  std::vector<TRGB> sample;
  for (int r = 0; r <= 255; r += 51)
    for (int g = 0; g <= 255; g += 51)
      for (int b = 0; b <= 255; b += 51) sample.push_back(CreateRGB(r, g, b));
  for (int i = 0; i < 256; i += 5) sample.push_back(CreateRGB(i, i, i));
  // Around the curve's switch and a few arbitrary colours.
  for (int v : {9, 10, 11, 12}) sample.push_back(CreateRGB(v, 200, 30));
  sample.push_back(CreateRGB(12, 34, 56));
  sample.push_back(CreateRGB(250, 128, 7));
  sample.push_back(CreateRGB(90, 180, 240));

  for (const TRGB& c : sample) {
    SCOPED_TRACE(::testing::Message() << "rgb " << int(c.r) << "," << int(c.g) << "," << int(c.b));
    const TCIELab ours = RGBToCIELab(PackRGB(c));
    const cmsCIELab lab = ref.ToLab(c.r, c.g, c.b);
    // The same byte encoding of the reference: L scaled and truncated,
    // a and b truncated.
    EXPECT_NEAR(ours.l, std::trunc(lab.L * 255 / 100), 1);
    EXPECT_NEAR(ours.a, std::trunc(lab.a), 1);
    EXPECT_NEAR(ours.b, std::trunc(lab.b), 1);

    // Back: the same Lab bytes through both.
    const TRGB back = CIELabToRGB(PackCIELab(ours));
    const TRGB theirs = ref.ToRgb(ours.l * 100.0 / 255.0, ours.a, ours.b);
    EXPECT_NEAR(back.r, theirs.r, 1);
    EXPECT_NEAR(back.g, theirs.g, 1);
    EXPECT_NEAR(back.b, theirs.b, 1);
  }
}

TEST(IkCIELab, OutOfGamutLabClampsToRgbBytes) {
  // L* 0 with a* -128 lies outside sRGB: red and blue come out negative
  // and clamp to 0, green stays positive.
  const TRGB c = CIELabToRGB(0x8000);
  EXPECT_EQ(c.r, 0);
  EXPECT_EQ(c.b, 0);
  EXPECT_GT(c.g, 0);
}

}  // namespace
}  // namespace imaging
