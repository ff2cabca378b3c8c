// The colour space converter against ffmpeg's own conversion of the same bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/mg/tests/TestSupport.h"

using namespace mg;
using namespace mg::test;

namespace {

// Converts `in` through a graph: source of `from` -> converter -> renderer of `to`.
std::vector<uint8_t> Convert(const GUID& from, const GUID& to, int w, int h, const std::vector<uint8_t>& in) {
  ManualGraph m;
  auto src = MakeSource(from, w, h, [&](uint8_t* buf, long size, int64_t) {
    std::memcpy(buf, in.data(), std::min<size_t>(in.size(), static_cast<size_t>(size)));
    return static_cast<long>(in.size());
  });
  auto csc = std::make_shared<ColorSpaceConverter>();
  auto vr = std::make_shared<VideoRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(csc, "csc");
  m.graph->AddFilter(vr, "vr");
  EXPECT_EQ(m.graph->ConnectDirect(src->Output(), csc->Input(), nullptr), S_OK);
  AM_MEDIA_TYPE want = MakeVideoType(to, w, h, kPeriod);
  EXPECT_EQ(m.graph->ConnectDirect(csc->Output(), vr->Input(), &want), S_OK);
  m.graph->Run();
  m.scheduler->Pump(1);
  return vr->LastFrame();
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 37 + seed * 11 + (i / 7) * 5) & 0xFF);
  return v;
}

std::vector<uint8_t> FfmpegConvert(const char* fromFmt, const char* toFmt, int w, int h, const std::vector<uint8_t>& in) {
  const std::string dir = ::testing::TempDir();
  const std::string inPath = dir + "/mg_csc_in.raw", outPath = dir + "/mg_csc_out.raw";
  std::ofstream(inPath, std::ios::binary).write(reinterpret_cast<const char*>(in.data()), static_cast<std::streamsize>(in.size()));
  const std::string cmd = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt " + std::string(fromFmt) + " -s " +
                          std::to_string(w) + "x" + std::to_string(h) + " -i " + inPath +
                          " -sws_flags neighbor -f rawvideo -pix_fmt " + toFmt + " " + outPath;
  if (std::system(cmd.c_str()) != 0) return {};
  std::ifstream f(outPath, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(ColorSpaceConverter, YuvBecomesABottomUpBitmapMatchingFfmpeg) {
  struct Case {
    GUID subtype;
    const char* ffmpegName;
    size_t bytes;
  } cases[] = {
      {MEDIASUBTYPE_YUY2, "yuyv422", 16 * 8 * 2},
      {MEDIASUBTYPE_UYVY, "uyvy422", 16 * 8 * 2},
      {MEDIASUBTYPE_I420, "yuv420p", 16 * 8 * 3 / 2},
  };
  const int w = 16, h = 8;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ffmpegName);
    const auto in = Pattern(c.bytes, 3);
    const auto ours = Convert(c.subtype, MEDIASUBTYPE_RGB32, w, h, in);
    const auto ref = FfmpegConvert(c.ffmpegName, "bgr0", w, h, in);
    ASSERT_EQ(ref.size(), static_cast<size_t>(w * h * 4));
    ASSERT_EQ(ours.size(), ref.size());
    int worst = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 4; ++x) {
        if (x % 4 == 3) continue;
        const int a = ours[static_cast<size_t>((h - 1 - y) * w * 4 + x)];  // our row 0 is the bottom row
        const int b = ref[static_cast<size_t>(y * w * 4 + x)];
        worst = std::max(worst, std::abs(a - b));
      }
    EXPECT_LE(worst, 2);
  }
}

TEST(ColorSpaceConverter, YV12SwapsItsChromaPlanes) {
  const int w = 16, h = 8;
  auto i420 = Pattern(static_cast<size_t>(w * h * 3 / 2), 9);
  auto yv12 = i420;
  const size_t y = static_cast<size_t>(w * h), c = y / 4;
  std::copy(i420.begin() + static_cast<long>(y), i420.begin() + static_cast<long>(y + c), yv12.begin() + static_cast<long>(y + c));
  std::copy(i420.begin() + static_cast<long>(y + c), i420.end(), yv12.begin() + static_cast<long>(y));
  EXPECT_EQ(Convert(MEDIASUBTYPE_YV12, MEDIASUBTYPE_RGB24, w, h, yv12),
            Convert(MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB24, w, h, i420));
}

TEST(ColorSpaceConverter, RgbToRgbKeepsRowOrderAndPadding) {
  const int w = 5, h = 3;
  const auto in = Pattern(static_cast<size_t>(w * h * 4), 1);
  const auto out = Convert(MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24, w, h, in);
  ASSERT_EQ(out.size(), 16u * 3u);  // 15-byte rows padded to 16
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_EQ(out[static_cast<size_t>(row * 16 + x * 3 + ch)], in[static_cast<size_t>(row * w * 4 + x * 4 + ch)])
            << row << "," << x;
}

TEST(ColorSpaceConverter, TopDownRgbIsTurnedBottomUp) {
  const int w = 4, h = 3;
  const auto in = Pattern(static_cast<size_t>(w * h * 4), 2);
  ManualGraph m;
  AM_MEDIA_TYPE topDown = MakeVideoType(MEDIASUBTYPE_RGB32, w, -h, kPeriod);
  auto src = std::make_shared<CallbackSource>(topDown, kPeriod, [&](uint8_t* buf, long, int64_t) {
    std::memcpy(buf, in.data(), in.size());
    return static_cast<long>(in.size());
  });
  auto csc = std::make_shared<ColorSpaceConverter>();
  auto vr = std::make_shared<VideoRenderer>();
  m.graph->AddFilter(src, "src");
  m.graph->AddFilter(csc, "csc");
  m.graph->AddFilter(vr, "vr");
  ASSERT_EQ(m.graph->ConnectDirect(src->Output(), csc->Input(), nullptr), S_OK);
  AM_MEDIA_TYPE want = MakeVideoType(MEDIASUBTYPE_RGB24, w, h, kPeriod);
  ASSERT_EQ(m.graph->ConnectDirect(csc->Output(), vr->Input(), &want), S_OK);
  m.graph->Run();
  m.scheduler->Pump(1);
  const auto out = vr->LastFrame();
  ASSERT_EQ(out.size(), 12u * 3u);
  for (int row = 0; row < h; ++row)
    for (int x = 0; x < w; ++x)
      EXPECT_EQ(out[static_cast<size_t>(row * 12 + x * 3)], in[static_cast<size_t>((h - 1 - row) * w * 4 + x * 4)]);
}

TEST(ColorSpaceConverter, RefusesSizeChangesAndCompressedInput) {
  ColorSpaceConverter csc;
  EXPECT_EQ(csc.Input()->QueryAccept(MakeVideoType(MEDIASUBTYPE_MJPG, 8, 8, 0)), S_FALSE);
  EXPECT_EQ(csc.Input()->QueryAccept(MakeVideoType(MEDIASUBTYPE_YUY2, 8, 8, 0)), S_OK);
  EXPECT_EQ(csc.Output()->QueryAccept(MakeVideoType(MEDIASUBTYPE_RGB24, 8, 8, 0)), S_FALSE);  // input not connected
}
