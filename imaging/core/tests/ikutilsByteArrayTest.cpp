// The growable byte array, the counting null stream and the colour count.
#include "imaging/core/ikutilsByteArray.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ikutilsStreams.h"

using namespace imaging;

TEST(ByteArray, GrowsInStepsAndShrinksOnlyByMoreThanAStep) {
  TIKByteArray a;
  EXPECT_EQ(a.Capacity(), 8192);
  const uint8_t* block = a.Data();
  for (int i = 0; i < 8192; ++i) a.AddByte(static_cast<uint8_t>(i));
  EXPECT_EQ(a.Data(), block);
  EXPECT_EQ(a.Capacity(), 8192);
  a.AddByte(0xAB);
  EXPECT_EQ(a.Size(), 8193);
  EXPECT_EQ(a.Capacity(), 8193 + 8192);
  EXPECT_EQ(a.Data()[8191], static_cast<uint8_t>(8191));
  EXPECT_EQ(a.Data()[8192], 0xAB);

  TIKByteArray big;
  big.SetSize(100000);
  EXPECT_EQ(big.Capacity(), 108192);
  for (int i = 0; i < 10; ++i) big.Data()[i] = static_cast<uint8_t>(100 + i);
  block = big.Data();
  big.SetSize(108000);  // inside the block
  big.SetSize(100000);  // spare room of exactly one step: the block stays
  EXPECT_EQ(big.Data(), block);
  EXPECT_EQ(big.Capacity(), 108192);
  big.SetSize(10);
  EXPECT_EQ(big.Capacity(), 8202);
  EXPECT_EQ(big.Size(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(big.Data()[i], 100 + i);

  EXPECT_THROW(big.SetSize(-1), EIKError);
  EXPECT_THROW(big.SetSize(2147483647), EIKError);
  EXPECT_EQ(big.Size(), 10);
}

TEST(ByteArray, AppendFromStreamTakesWhatTheStreamHas) {
  const uint8_t data[] = {1, 2, 3, 4, 5, 6, 7, 8};
  TIKMemStream s(data, 8);
  s.Seek(3, rtl::soBeginning);
  TIKByteArray a;
  a.AddByte(9);
  EXPECT_EQ(a.AppendFromStream(s, 100), 5);
  EXPECT_EQ(a.Size(), 6);
  EXPECT_EQ((std::vector<uint8_t>(a.Data(), a.Data() + 6)), (std::vector<uint8_t>{9, 4, 5, 6, 7, 8}));
  EXPECT_EQ(a.AppendFromStream(s, 10), 0);
  EXPECT_EQ(a.AppendFromStream(s, -4), 0);
  EXPECT_EQ(a.Size(), 6);
}

TEST(NulStream, CountsWithoutStoring) {
  TNulStream s;
  std::vector<uint8_t> chunk(250);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.Write(chunk.data(), 250), 250);
  EXPECT_EQ(s.Size(), 1000);
  EXPECT_EQ(s.Seek(0, rtl::soEnd), 1000);
  EXPECT_EQ(s.Seek(10, rtl::soEnd), 990);
  EXPECT_EQ(s.Size(), 1000);
  EXPECT_EQ(s.Read(nullptr, 20), 20);  // reads report the full count
  EXPECT_EQ(s.Size(), 1010);
  EXPECT_EQ(s.Seek(5000, rtl::soBeginning), 5000);
  EXPECT_EQ(s.Size(), 5000);
  EXPECT_EQ(s.Seek(-100, rtl::soCurrent), 4900);
  EXPECT_EQ(s.Size(), 5000);
}

TEST(ColorCountFromBits, ThirtyTwoBitArithmetic) {
  struct Case {
    int32_t bits, samples, count;
  };
  const Case cases[] = {{8, 3, 16777216}, {1, 1, 2},  {16, 2, 0}, {4, 1, 16},
                        {8, 0, 1},        {8, -2, 1}, {32, 1, 1}, {33, 2, 4}};
  for (const Case& c : cases) EXPECT_EQ(ColorCountFromBits(c.bits, c.samples), c.count) << c.bits << " " << c.samples;
}
