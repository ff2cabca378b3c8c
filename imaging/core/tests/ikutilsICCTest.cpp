#include "imaging/core/ikutilsICC.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "imaging/core/tests/IkPixelTestSupport.h"
#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/tests/ToolCheck.h"

namespace imaging {
namespace {

// A CMYK profile that Debian ships with Ghostscript.
const char* const kCmykProfile = "/usr/share/color/icc/ghostscript/default_cmyk.icc";

TEST(IkICC, BytesThatAreNoProfileAreRefused) {
  TIKICC icc;
  const char garbage[] = "this is not an ICC profile at all, just text of some length";
  EXPECT_FALSE(icc.LoadFromBuffer(garbage, sizeof garbage));
  EXPECT_FALSE(icc.IsValid());
  EXPECT_EQ(icc.Size(), static_cast<int32_t>(sizeof garbage));
  EXPECT_FALSE(icc.LoadFromBuffer(nullptr, 0));
  TIKICC srgb;
  srgb.OpenSRGB();
  EXPECT_TRUE(srgb.IsValid());
  uint8_t in[3] = {1, 2, 3}, out[3] = {9, 9, 9};
  EXPECT_FALSE(icc.Transform(&srgb, iccBGR, 1, out, in, 0, 0, iccBGR));
  EXPECT_EQ(out[0], 9);
}

TEST(IkICC, SRGBToSRGBKeepsColours) {
  TIKICC a, b;
  a.OpenSRGB();
  b.OpenSRGB();
  std::vector<uint8_t> in, out;
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int bl = 0; bl < 256; bl += 15) in.insert(in.end(), {uint8_t(bl), uint8_t(g), uint8_t(r)});
  out.resize(in.size());
  const auto n = static_cast<int32_t>(in.size() / 3);
  ASSERT_TRUE(a.Transform(&b, iccBGR, n, out.data(), in.data(), 0, 0, iccBGR));
  EXPECT_TRUE(a.Transformed());
  for (size_t i = 0; i < in.size(); ++i) ASSERT_NEAR(out[i], in[i], 1) << i;
  // The caller's source bytes stay as they were.
  EXPECT_EQ(in[2], 0);
  EXPECT_EQ(in[5], 0);
}

TEST(IkICC, EveryDestinationLayoutIsWritten) {
  TIKICC a, b;
  a.OpenSRGB();
  b.OpenSRGB();
  const uint8_t bgr[3] = {30, 100, 220};
  uint8_t rgb[3] = {0, 0, 0};
  ASSERT_TRUE(a.Transform(&b, iccBGR, 1, rgb, bgr, 0, 0, iccRGB));
  EXPECT_NEAR(rgb[0], 220, 1);
  EXPECT_NEAR(rgb[2], 30, 1);
  uint16_t wide[3] = {0, 0, 0};
  ASSERT_TRUE(a.Transform(&b, iccBGR, 1, wide, bgr, 0, 0, iccRGB48));
  EXPECT_NEAR(wide[0], 220 * 257, 257);
  EXPECT_NEAR(wide[2], 30 * 257, 257);
  // A layout the destination profile cannot take is refused, untouched.
  uint8_t gray[1] = {77};
  EXPECT_FALSE(a.Transform(&b, iccBGR, 1, gray, bgr, 0, 0, iccGray));
  EXPECT_EQ(gray[0], 77);
}

// CMYK through the Ghostscript profile gives what LittleCMS's own
// calculator gives for the same colours.
TEST(IkICC, CmykToRgbMatchesTransicc) {
  VORIX_NEED_TOOL(testtools::OnPath("transicc"), "transicc (liblcms2-utils)");
  const std::string bytes = testing::ReadAll(kCmykProfile);
  VORIX_NEED_TOOL(!bytes.empty(), "The Ghostscript CMYK profile");
  TIKICC cmyk, srgb;
  ASSERT_TRUE(cmyk.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size())));
  srgb.OpenSRGB();
  std::vector<uint8_t> in;
  const uint8_t levels[] = {0, 51, 128, 204, 255};
  for (uint8_t c : levels)
    for (uint8_t m : levels)
      for (uint8_t y : levels)
        for (uint8_t k : {0, 64, 200}) in.insert(in.end(), {c, m, y, k});
  const auto n = static_cast<int32_t>(in.size() / 4);
  std::vector<uint8_t> out(static_cast<size_t>(n) * 3);
  ASSERT_TRUE(cmyk.Transform(&srgb, iccCMYK, n, out.data(), in.data(), 0, 0, iccRGB));

  char path[] = "/tmp/vorix-cmyk-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  {
    std::ostringstream lines;
    for (size_t i = 0; i < in.size(); i += 4) {
      char line[96];
      std::snprintf(line, sizeof line, "%.6f %.6f %.6f %.6f\n", in[i] / 2.55, in[i + 1] / 2.55, in[i + 2] / 2.55,
                    in[i + 3] / 2.55);
      lines << line;
    }
    const std::string text = lines.str();
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
  }
  bool ok = false;
  const std::string result = testing::RunCommand(std::string("transicc -ew -c2 -t0 -n -i ") + kCmykProfile +
                                                     " -o '*sRGB' < " + path + " 2>/dev/null",
                                                 &ok);
  std::remove(path);
  ASSERT_TRUE(ok);
  // The calculator's banner, where it prints one on standard output, ends
  // with "details."; the figures follow.
  const size_t banner = result.find("details.");
  std::istringstream values(banner == std::string::npos ? result : result.substr(banner + 8));
  for (int32_t i = 0; i < n; ++i) {
    for (int ch = 0; ch < 3; ++ch) {
      int32_t v = -1;
      ASSERT_TRUE(values >> v) << i;
      ASSERT_NEAR(out[static_cast<size_t>(i) * 3 + ch], v >> 8, 1)
          << "CMYK " << int(in[4 * i]) << "," << int(in[4 * i + 1]) << "," << int(in[4 * i + 2]) << ","
          << int(in[4 * i + 3]) << " channel " << ch;
    }
  }
}

TEST(IkICC, CopiesAndTheCachedTransformFollowTheProfiles) {
  const std::string bytes = testing::ReadAll(kCmykProfile);
  if (bytes.empty()) GTEST_SKIP() << "no CMYK profile";
  TIKICC cmyk, copy, srgb;
  ASSERT_TRUE(cmyk.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size())));
  copy.Assign(&cmyk);
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.Bytes(), cmyk.Bytes());
  srgb.OpenSRGB();
  const uint8_t white[4] = {0, 0, 0, 0};
  uint8_t out[3];
  ASSERT_TRUE(copy.Transform(&srgb, iccCMYK, 1, out, white, 0, 0, iccBGR));
  EXPECT_GE(out[0], 250);
  // Inverted CMYK: 255 everywhere is no ink.
  const uint8_t inverted[4] = {255, 255, 255, 255};
  ASSERT_TRUE(copy.Transform(&srgb, iccCMYKInv, 1, out, inverted, 0, 0, iccBGR));
  EXPECT_GE(out[1], 250);
  copy.Clear();
  EXPECT_FALSE(copy.IsValid());
  EXPECT_FALSE(copy.Transformed());

  // A destination that takes another profile is not reached through the
  // transform cached for its old one.
  TIKICC target;
  target.OpenSRGB();
  const uint8_t cyan[4] = {255, 0, 0, 0};
  ASSERT_TRUE(cmyk.Transform(&target, iccCMYK, 1, out, cyan, 0, 0, iccBGR));
  ASSERT_TRUE(target.LoadFromBuffer(bytes.data(), static_cast<int32_t>(bytes.size())));
  EXPECT_FALSE(cmyk.Transform(&target, iccCMYK, 1, out, cyan, 0, 0, iccBGR));
  uint8_t back[4] = {0, 0, 0, 0};
  EXPECT_TRUE(cmyk.Transform(&target, iccCMYK, 1, back, cyan, 0, 0, iccCMYK));
  EXPECT_GT(back[0], 200);  // CMYK to the same CMYK space keeps the cyan
}

}  // namespace
}  // namespace imaging
