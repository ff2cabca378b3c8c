#include <gtest/gtest.h>

#include "platform/mg/Filter.h"
#include "platform/mg/Guids.h"
#include "platform/mg/MediaType.h"

using namespace mg;

TEST(Guid, PrintsUpperCaseWithBracesAndParsesBack) {
  EXPECT_EQ(CLSID_SmartTee.ToString(), "{CC58E280-8AA1-11D1-B3F1-00AA003761C5}");
  EXPECT_EQ(MEDIASUBTYPE_YUY2.ToString(), "{32595559-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(GUID::FromText("{cc58e280-8aa1-11d1-b3f1-00aa003761c5}"), CLSID_SmartTee);
  EXPECT_EQ(GUID::FromText("62BE5D10-60EB-11D0-BD3B-00A0C911CE86"), CLSID_SystemDeviceEnum);
  EXPECT_EQ(GUID::FromFourCC("dvsd"), MEDIASUBTYPE_dvsd);
  EXPECT_TRUE(MEDIASUBTYPE_I420.IsFourCC());
  EXPECT_FALSE(MEDIASUBTYPE_RGB24.IsFourCC());
}

TEST(Guid, RejectsMalformedText) {
  for (const char* bad : {"", "{}", "{CC58E280-8AA1-11D1-B3F1-00AA003761C5", "CC58E280-8AA1-11D1-B3F1-00AA003761C",
                          "{CC58E280-8AA1-11D1-B3F100AA003761C5-}", "{GC58E280-8AA1-11D1-B3F1-00AA003761C5}",
                          "{CC58E280+8AA1-11D1-B3F1-00AA003761C5}"}) {
    GUID g = CLSID_InfTee;
    EXPECT_FALSE(GUID::TryParse(bad, g)) << bad;
    EXPECT_EQ(g, CLSID_InfTee) << bad;
  }
}

TEST(MediaType, VideoInfoBlockKeepsThePlatformOffsets) {
  AM_MEDIA_TYPE mt = MakeVideoType(MEDIASUBTYPE_RGB24, 321, 240, 333'667);
  ASSERT_EQ(mt.cbFormat(), 88u);
  auto i32 = [&](size_t off) {
    int32_t v;
    std::memcpy(&v, mt.pbFormat() + off, 4);
    return v;
  };
  int64_t avg;
  std::memcpy(&avg, mt.pbFormat() + 40, 8);
  EXPECT_EQ(avg, 333'667);
  EXPECT_EQ(i32(48), 40);    // biSize
  EXPECT_EQ(i32(52), 321);   // biWidth
  EXPECT_EQ(i32(56), 240);   // biHeight
  EXPECT_EQ(i32(68), 964 * 240);  // biSizeImage: 963-byte rows padded to 964
  EXPECT_EQ(mt.lSampleSize, 964u * 240u);
  EXPECT_EQ(mt.BitmapHeader()->biBitCount, 24);
}

TEST(MediaType, FrameSizes) {
  struct Case {
    GUID subtype;
    int w, h;
    uint32_t bytes;
  } cases[] = {
      {MEDIASUBTYPE_RGB32, 10, 3, 120}, {MEDIASUBTYPE_RGB24, 5, 2, 32},  {MEDIASUBTYPE_RGB565, 3, 2, 16},
      {MEDIASUBTYPE_YUY2, 6, 2, 24},    {MEDIASUBTYPE_I420, 4, 4, 24},   {MEDIASUBTYPE_RGB8, 3, 1, 4},
      {MEDIASUBTYPE_RGB24, 5, -2, 32},  {MEDIASUBTYPE_MJPG, 4, 4, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(FrameSize(c.subtype, c.w, c.h), c.bytes) << c.subtype.ToString();
}

TEST(MediaType, WildcardsMatch) {
  AM_MEDIA_TYPE want;
  want.majortype = MEDIATYPE_Video;
  want.subtype = MEDIASUBTYPE_RGB24;
  EXPECT_TRUE(want.Matches(MakeVideoType(MEDIASUBTYPE_RGB24, 4, 4, 0)));
  EXPECT_FALSE(want.Matches(MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4, 0)));
  EXPECT_TRUE(AM_MEDIA_TYPE{}.Matches(MakePcmAudioType(44100, 2, 16)));
  EXPECT_EQ(MakePcmAudioType(44100, 2, 16).FormatAs<WAVEFORMATEX>()->nAvgBytesPerSec, 176400u);
}

TEST(MediaSample, TimesAndFlags) {
  MediaSample s(16);
  EXPECT_EQ(s.GetTime(nullptr, nullptr), VFW_E_SAMPLE_TIME_NOT_SET);
  REFERENCE_TIME a = 10, b = 20, x = 0, y = 0;
  s.SetTime(&a, nullptr);
  EXPECT_EQ(s.GetTime(&x, &y), VFW_S_NO_STOP_TIME);
  EXPECT_EQ(x, 10);
  s.SetTime(&a, &b);
  EXPECT_EQ(s.GetTime(&x, &y), S_OK);
  EXPECT_EQ(y, 20);
  EXPECT_EQ(s.SetActualDataLength(17), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s.IsSyncPoint(), S_FALSE);
  s.SetSyncPoint(true);
  EXPECT_EQ(s.IsSyncPoint(), S_OK);
}

TEST(MemAllocator, ReusesReturnedSamplesAndGrowsWhenAllAreOut) {
  MemAllocator a;
  std::shared_ptr<MediaSample> s1, s2, s3;
  EXPECT_EQ(a.GetBuffer(s1), VFW_E_NOT_COMMITTED);
  ALLOCATOR_PROPERTIES p;
  p.cBuffers = 2;
  p.cbBuffer = 64;
  a.SetProperties(p, nullptr);
  ASSERT_EQ(a.Commit(), S_OK);
  ASSERT_EQ(a.GetBuffer(s1), S_OK);
  ASSERT_EQ(a.GetBuffer(s2), S_OK);
  ASSERT_EQ(a.GetBuffer(s3), S_OK);
  EXPECT_EQ(a.PoolSize(), 3u);
  EXPECT_EQ(s3->GetSize(), 64);
  MediaSample* first = s1.get();
  s1.reset();
  ASSERT_EQ(a.GetBuffer(s1), S_OK);
  EXPECT_EQ(s1.get(), first);
  EXPECT_EQ(a.PoolSize(), 3u);
}
