#include "imaging/core/ikutilsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/core/tests/IkTestFolder.h"
#include "platform/rtl/Streams.h"

namespace imaging {
namespace {

TEST(IkSupport, IntegerHelpers) {
  EXPECT_EQ(ClampInt(5, 0, 5), 5);
  EXPECT_EQ(ClampInt(-1, 0, 5), 0);
  EXPECT_EQ(ClampInt(9, 0, 5), 5);
  EXPECT_EQ(ClampByte(-3), 0);
  EXPECT_EQ(ClampByte(300), 255);
  struct Case {
    double x;
    int32_t ceiling, floor;
  } cases[] = {{-1.5, -1, -2}, {1.5, 2, 1}, {2.0, 2, 2}, {-2.0, -2, -2}, {0.0001, 1, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(IntCeiling(c.x), c.ceiling) << c.x;
    EXPECT_EQ(IntFloor(c.x), c.floor) << c.x;
  }
  int32_t x1 = 5, y1 = 1, x2 = 2, y2 = 7;
  OrderRectCorners(x1, y1, x2, y2);
  EXPECT_EQ(x1, 2);
  EXPECT_EQ(x2, 5);
  EXPECT_EQ(y1, 1);
  EXPECT_EQ(PackedRGBToGray(0xFF0000), 53);
  EXPECT_EQ(ColorToPackedRGB(0xAA112233), 0x332211u);
  EXPECT_EQ(MaybeSwap16(0x1234, true), 0x3412u);
  EXPECT_EQ(MaybeSwap16(0x1234, false), 0x1234u);
  EXPECT_EQ(MaybeSwap32(0x12345678, true), 0x78563412u);
  // Platform colours hold red in the low byte.
  EXPECT_EQ(ColorToRGBRecord(0x0000FF), CreateRGB(255, 0, 0));
  EXPECT_EQ(ColorToRGBRecord(0x804020), CreateRGB(0x20, 0x40, 0x80));
}

TEST(IkSupport, BezierEndsOnItsLastControlPoint) {
  std::vector<TIKPoint> points;
  BezierPoints({0, 10}, {0, 0}, {10, 0}, {10, 0}, 20, points);
  ASSERT_EQ(points.size(), 20u);
  EXPECT_EQ(points.back(), (TIKPoint{10, 0}));
  EXPECT_LT(points.front().y, 10);
  BezierPoints({0, 0}, {0, 0}, {0, 0}, {0, 0}, 0, points);
  EXPECT_TRUE(points.empty());
}

TEST(IkSupport, Base64GroupsAndLines) {
  char out[4];
  Base64Encode3(reinterpret_cast<const uint8_t*>("Man"), out, 3);
  EXPECT_EQ(std::string(out, 4), "TWFu");
  Base64Encode3(reinterpret_cast<const uint8_t*>("Ma"), out, 2);
  EXPECT_EQ(std::string(out, 4), "TWE=");
  Base64Encode3(reinterpret_cast<const uint8_t*>("M"), out, 1);
  EXPECT_EQ(std::string(out, 4), "TQ==");
  rtl::TMemoryStream stream;
  WriteBase64Lines(&stream, "AAAABBBBCCCCDDDD", 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())),
            "AAAABBBB\r\nCCCCDDDD\r\n");
}

class IkTempNames : public testing::TempFolderTest {};

TEST_F(IkTempNames, EachNameIsCreatedOnce) {
  String a, b;
  ASSERT_TRUE(MakeTempFileName("IMG", folder_, a));
  ASSERT_TRUE(MakeTempFileName("IMG", folder_, b));
  EXPECT_NE(a, b);
  EXPECT_TRUE(std::filesystem::exists(a));
  const String name = std::filesystem::path(a).filename();
  ASSERT_EQ(name.size(), 3 + 1 + 8 + 4);
  EXPECT_EQ(name.substr(0, 4), "IMG-");
  EXPECT_EQ(name.substr(12), ".tmp");
  EXPECT_EQ(name.substr(4, 8).find_first_not_of("0123456789ABCDEF"), String::npos);
  String none;
  EXPECT_FALSE(MakeTempFileName("IMG", folder_ + "missing/", none));
}

// A stream that takes only part of every write.
class ShortStream : public rtl::TMemoryStream {
public:
  int64_t Write(const void* buffer, int64_t count) override {
    return rtl::TMemoryStream::Write(buffer, count > 1 ? count - 1 : count);
  }
};

TEST(IkSupport, CheckedWritesReportShortWrites) {
  std::atomic<bool> aborting{false};
  rtl::TMemoryStream good;
  WriteStreamChecked(&good, aborting, "abcd", 4);
  EXPECT_FALSE(aborting);
  ShortStream bad;
  WriteStreamChecked(&bad, aborting, "abcd", 4);
  EXPECT_TRUE(aborting);
}

TEST(IkSupport, GlobalLockIsReentrant) {
  std::lock_guard outer(IKGlobalLock());
  EXPECT_TRUE(IKGlobalLock().try_lock());
  IKGlobalLock().unlock();
}

}  // namespace
}  // namespace imaging
