// The JPEG marker list and the IPTC records: byte-exact serialisation, and
// reads that end cleanly at truncated or lying lengths.
#include "imaging/core/ikutilsMarkers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace imaging;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Dataset(uint8_t record, uint8_t dataset, const std::string& data) {
  Bytes b(5 + data.size());
  b[0] = 0x1C;
  b[1] = record;
  b[2] = dataset;
  b[3] = static_cast<uint8_t>(data.size() >> 8);
  b[4] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), b.begin() + 5);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  size_t n = 0;
  for (const Bytes& p : parts) n += p.size();
  Bytes all(n);
  size_t at = 0;
  for (const Bytes& p : parts) {
    std::copy(p.begin(), p.end(), all.begin() + static_cast<std::ptrdiff_t>(at));
    at += p.size();
  }
  return all;
}

std::string DataOf(const TIKIPTCInfoList& list, int32_t i) {
  return std::string(reinterpret_cast<const char*>(list.Data(i)), static_cast<size_t>(list.DataLength(i)));
}

}  // namespace

TEST(IptcInfoList, OneRecordSavesByteExactWithAndWithoutTheWrapper) {
  TIKIPTCInfoList list;
  list.AddRecord(2, 120, "abc", 3);
  list.AddRecord(2, 0, "\x00\x04", 2);  // a version dataset of our own is not written twice
  list.AddRecord(2, 25, nullptr, 0);    // nor an empty record

  const Bytes wrapped = list.SaveToBuffer(true);
  const Bytes expectWrapped = Concat({{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0, '8', 'B',
                                       'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 8},
                                      Dataset(2, 120, "abc")});
  EXPECT_EQ(wrapped, expectWrapped);
  ASSERT_EQ(wrapped.size(), 34u);

  const Bytes bare = list.SaveToBuffer(false);
  const Bytes expectBare = Concat({{0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02}, Dataset(2, 120, "abc"), {0}});
  EXPECT_EQ(bare, expectBare);
  ASSERT_EQ(bare.size(), 16u);

  EXPECT_TRUE(TIKIPTCInfoList().SaveToBuffer(true).empty());
}

TEST(IptcInfoList, LongRecordUsesTheExtendedLengthAndReadsBackWhole) {
  std::string data(40000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  TIKIPTCInfoList list;
  list.AddRecord(2, 202, data.data(), static_cast<int32_t>(data.size()));
  const Bytes saved = list.SaveToBuffer(true);
  const Bytes header{0x1C, 0x02, 202, 0x80, 0x04, 0x00, 0x00, 0x9C, 0x40};
  ASSERT_GE(saved.size(), 26 + header.size());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), saved.begin() + 26));
  // The size field counts the 9 header bytes and the data; the padding byte
  // of the odd total is outside it.
  EXPECT_EQ(saved.size(), 26u + 9 + 40000 + 1);
  EXPECT_EQ((Bytes{saved.begin() + 22, saved.begin() + 26}), (Bytes{0, 0, 0x9C, 0x49}));

  TIKIPTCInfoList back;
  back.LoadFromBuffer(saved.data(), static_cast<int64_t>(saved.size()));
  ASSERT_EQ(back.Count(), 1);
  EXPECT_EQ(back.RecordNumber(0), 2);
  EXPECT_EQ(back.DatasetNumber(0), 202);
  EXPECT_EQ(DataOf(back, 0), data);
  EXPECT_FALSE(back.Modified());
}

TEST(IptcInfoList, LoadingSkipsAPhotoshopWrapperEvenWhenItsSizeHolds28) {
  // 0x1C = 28 = 5 + 23: a size field holding the tag byte must not be taken
  // for the first dataset.
  const Bytes first = Dataset(2, 105, std::string(23, 'h'));
  const Bytes block = Concat({{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0, '8', 'B', 'I', 'M',
                               0x04, 0x04, 0, 0, 0, 0, 0, 0x1C},
                              first});
  TIKIPTCInfoList list;
  list.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.DatasetNumber(0), 105);
  EXPECT_EQ(DataOf(list, 0), std::string(23, 'h'));

  // The IPTC resource is found behind other resources; a block with other
  // resources only has no datasets, whatever their bytes hold.
  const Bytes other{'8', 'B', 'I', 'M', 0x03, 0xED, 3, 'a', 'b', 'c', 0, 0, 0, 3, 0x1C, 2, 5, 0};
  const Bytes iptc{'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 7};
  const Bytes signature{'P', 'h', 'o', 't', 'o', 's', 'h', 'o', 'p', ' ', '3', '.', '0', 0};
  const Bytes two = Concat({signature, other, iptc, Dataset(2, 90, "xy"), {0}});
  list.LoadFromBuffer(two.data(), static_cast<int64_t>(two.size()));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.DatasetNumber(0), 90);
  const Bytes none = Concat({signature, other});
  list.LoadFromBuffer(none.data(), static_cast<int64_t>(none.size()));
  EXPECT_EQ(list.Count(), 0);

  // Junk in front of a bare stream is skipped up to the first tag byte.
  const Bytes junk = Concat({{0x00, 0x41, 0x42}, Dataset(2, 5, "name"), Dataset(2, 80, "by")});
  list.LoadFromBuffer(junk.data(), static_cast<int64_t>(junk.size()));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(DataOf(list, 1), "by");
}

TEST(IptcInfoList, TruncatedOrLyingDatasetsEndTheReadAndKeepTheOnesBefore) {
  const Bytes good = Concat({Dataset(2, 5, "name"), Dataset(2, 80, "by")});
  struct Case {
    const char* what;
    Bytes tail;
  };
  const Case cases[] = {
      {"data cut short", {0x1C, 2, 120, 0x00, 0x10, 'a', 'b'}},
      {"header without data", {0x1C, 2, 120, 0x00, 0x01}},
      {"extended length cut inside its four bytes", {0x1C, 2, 120, 0x80, 0x04, 0x00, 0x00}},
      {"extended length of 2^32 - 1", {0x1C, 2, 120, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}},
      {"extended length of 2^31", {0x1C, 2, 120, 0x80, 0x04, 0x80, 0x00, 0x00, 0x00, 'x'}},
      {"no tag byte", {0x1D, 2, 120, 0x00, 0x01, 'x'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // An exact-size heap copy, so that the sanitizer build sees any
    // over-read.
    const Bytes block = Concat({good, c.tail});
    TIKIPTCInfoList list;
    list.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(DataOf(list, 0), "name");
    EXPECT_EQ(DataOf(list, 1), "by");
  }
  // Every prefix of a valid stream reads without error.
  const Bytes full = Concat({good, Dataset(2, 120, "caption")});
  for (size_t n = 0; n <= full.size(); ++n) {
    const Bytes prefix(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    TIKIPTCInfoList list;
    list.LoadFromBuffer(prefix.empty() ? nullptr : prefix.data(), static_cast<int64_t>(n));
    EXPECT_LE(list.Count(), 3);
  }
}

TEST(IptcInfoList, ModifiedFollowsChangesAndLoads) {
  TIKIPTCInfoList list;
  const Bytes block = Dataset(2, 5, "x");
  list.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  EXPECT_FALSE(list.Modified());
  list.AddRecord(2, 25, "k", 1);
  EXPECT_TRUE(list.Modified());

  TIKIPTCInfoList copy;
  copy.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  copy.Assign(&list);
  EXPECT_TRUE(copy.Modified());
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(DataOf(copy, 1), "k");
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Count(), 2);
  EXPECT_THROW(list.RecordNumber(2), rtl::EListError);
  EXPECT_THROW(list.AddRecord(2, 5, "x", -1), EIKError);
}

TEST(MarkerList, KeepsPayloadsTypesAndTheSixteenBitLength) {
  TIKMarkerList list;
  const std::string exif = "Exif";
  list.AddMarker(0xE1, exif.data(), 4);
  list.AddMarker(0xFE, "comment", 7);
  list.AddMarker(0xE1, "second", 6);
  EXPECT_EQ(list.IndexOf(0xE1), 0);
  EXPECT_EQ(list.IndexOf(0xFE), 1);
  EXPECT_EQ(list.IndexOf(0xED), -1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(list.MarkerData(1)), 7), "comment");

  std::vector<uint8_t> big(70000, 0x5A);
  list.SetMarker(1, 0xED, big.data(), 70000);
  EXPECT_EQ(list.MarkerType(1), 0xED);
  EXPECT_EQ(list.MarkerLength(1), 4464);

  TIKMarkerList copy;
  copy.AddMarker(0xE0, "JFIF", 4);
  copy.Assign(&list);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(copy.MarkerLength(1), 4464);
  EXPECT_NE(copy.MarkerData(0), list.MarkerData(0));

  list.Delete(0);
  EXPECT_EQ(list.IndexOf(0xE1), 1);
  EXPECT_THROW(list.Delete(5), rtl::EListError);
  EXPECT_THROW(list.MarkerData(-1), rtl::EListError);
  EXPECT_THROW(list.AddMarker(0xE1, "x", -1), EIKError);
  list.AddMarker(0xE2, nullptr, 0);
  EXPECT_EQ(list.MarkerLength(2), 0);
}
