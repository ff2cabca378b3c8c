// Document annotations: the stream layout we write, round trips of text and
// point marks, and reads of damaged streams that stop at the first block
// running past the end.
#include "imaging/core/ikutilsAnnot.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace imaging;

namespace {

using Bytes = std::vector<uint8_t>;

int32_t LE32(const Bytes& b, size_t at) {
  int32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}

void PutLE32(Bytes& b, size_t at, int32_t v) { std::memcpy(b.data() + at, &v, 4); }

std::unique_ptr<TIKImagingObject> Mark(int32_t type, int32_t fontHeight = 0) {
  auto m = std::make_unique<TIKImagingObject>();
  for (size_t i = 0; i < m->Attributes.size(); ++i) m->Attributes[i] = static_cast<uint8_t>(i);
  std::memcpy(m->Attributes.data(), &type, 4);
  m->SetFontHeight(fontHeight);
  return m;
}

// Offsets of the blocks of a stream we wrote: each named block is
// 8 (type, header size) + 8 (name) + 4 (size) + data.
size_t NamedBlockSize(size_t data) { return 20 + data; }

std::unique_ptr<TIKImagingAnnot> Load(const Bytes& b) {
  auto a = std::make_unique<TIKImagingAnnot>();
  // An exact-size copy: the sanitizer build sees any over-read.
  const Bytes exact(b);
  a->LoadFromBuffer(exact.empty() ? nullptr : exact.data(), static_cast<int64_t>(exact.size()));
  return a;
}

}  // namespace

TEST(ImagingAnnot, EmptyListSavesNothing) {
  TIKImagingAnnot a;
  EXPECT_TRUE(a.SaveToBuffer().empty());
  a.LoadFromBuffer(nullptr, 0);
  EXPECT_TRUE(a.Marks.empty());
}

TEST(ImagingAnnot, TextMarkLayoutAndRoundTrip) {
  ASSERT_EQ(AnnotScreenDpiY, 96);
  TIKImagingAnnot a;
  a.Marks.push_back(Mark(8, 12));
  a.Marks.back()->Text = "Approved";
  a.Changed = true;
  const Bytes b = a.SaveToBuffer();

  size_t at = 0;
  EXPECT_EQ(LE32(b, 0), 0);
  EXPECT_EQ(LE32(b, 4), 1);
  at = 8;
  const auto expectBlock = [&](int32_t kind, const char* name, const std::string& data) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LE32(b, at), kind);
    EXPECT_EQ(LE32(b, at + 4), 12);
    char padded[8] = {};
    std::memcpy(padded, name, std::strlen(name));
    EXPECT_EQ(std::memcmp(b.data() + at + 8, padded, 8), 0);
    EXPECT_EQ(LE32(b, at + 16), static_cast<int32_t>(data.size()));
    EXPECT_EQ(std::memcmp(b.data() + at + 20, data.data(), data.size()), 0);
    at += NamedBlockSize(data.size());
  };
  expectBlock(2, "OiGroup", std::string("0", 2));
  expectBlock(2, "OiIndex", std::string("1", 2));
  EXPECT_EQ(LE32(b, at), 5);
  EXPECT_EQ(LE32(b, at + 4), 164);
  EXPECT_EQ(std::memcmp(b.data() + at + 8, a.Marks[0]->Attributes.data(), 164), 0);
  at += 8 + 164;
  std::string text(16, '\0');
  const int32_t textRecord[4] = {0, 1000, 750, 8};
  std::memcpy(text.data(), textRecord, 16);
  text += std::string("Approved", 9);
  expectBlock(6, "OiAnText", text);
  expectBlock(6, "OiGroup", std::string("0", 2));
  expectBlock(6, "OiIndex", std::string("0", 2));
  EXPECT_EQ(at, b.size());

  const auto back = Load(b);
  ASSERT_EQ(back->Marks.size(), 1u);
  EXPECT_EQ(back->Marks[0]->Attributes, a.Marks[0]->Attributes);
  EXPECT_EQ(back->Marks[0]->Text, "Approved");
  EXPECT_EQ(back->Marks[0]->FontHeight(), 12);
  EXPECT_FALSE(back->Changed);
}

TEST(ImagingAnnot, PointMarksRoundTripAndTypeZeroMakesNoMark) {
  TIKImagingAnnot a;
  a.Marks.push_back(Mark(3));
  a.Marks.back()->Points = {{1, 2}, {-30, 40}, {500, -6}};
  a.Marks.push_back(Mark(4));
  a.Marks.back()->Points = {{7, 7}};
  a.Marks.push_back(Mark(0));
  const Bytes b = a.SaveToBuffer();

  const auto back = Load(b);
  ASSERT_EQ(back->Marks.size(), 2u);
  EXPECT_EQ(back->Marks[0]->MarkType(), 3);
  EXPECT_EQ(back->Marks[0]->Points, a.Marks[0]->Points);
  EXPECT_EQ(back->Marks[1]->Points, a.Marks[1]->Points);

  TIKImagingAnnot copy;
  copy.Assign(back.get());
  ASSERT_EQ(copy.Marks.size(), 2u);
  EXPECT_EQ(copy.Marks[0]->Points, a.Marks[0]->Points);
  EXPECT_NE(copy.Marks[0].get(), back->Marks[0].get());
}

TEST(ImagingAnnot, TheOlderFormReadsFourMoreBytesPerBlock) {
  // Format word 0: every named block carries four bytes after its size.
  Bytes b(8, 0);
  const auto add32 = [&](int32_t v) {
    b.resize(b.size() + 4);
    PutLE32(b, b.size() - 4, v);
  };
  add32(5);
  add32(164);
  auto m = Mark(7, 24);
  b.insert(b.end(), m->Attributes.begin(), m->Attributes.end());
  add32(6);
  add32(12);
  const char name[8] = {'O', 'i', 'A', 'n', 'T', 'e', 'x', 't'};
  b.insert(b.end(), name, name + 8);
  add32(19);
  add32(0x7777);  // the extra word
  for (int32_t v : {0, 1000, 1500, 2}) add32(v);
  b.insert(b.end(), {'O', 'K', 0});
  const auto back = Load(b);
  ASSERT_EQ(back->Marks.size(), 1u);
  EXPECT_EQ(back->Marks[0]->Text, "OK");
  // round(72000 / 1500 x 24 / 96) = 12
  EXPECT_EQ(back->Marks[0]->FontHeight(), 12);
}

TEST(ImagingAnnot, DamagedStreamsStopAtTheFirstOverrunAndKeepEarlierMarks) {
  TIKImagingAnnot a;
  a.Marks.push_back(Mark(3));
  a.Marks.back()->Points = {{1, 2}, {3, 4}};
  a.Marks.push_back(Mark(9, 10));
  a.Marks.back()->Text = "second";
  const Bytes full = a.SaveToBuffer();

  // A cut at a block boundary reads as a shorter stream: the mark in
  // progress is kept with the blocks it has. A cut inside a block drops
  // the mark in progress, and the marks before it stay.
  const size_t attributesEnd = 8 + 2 * NamedBlockSize(2) + 8 + 164;
  const size_t pointsEnd = attributesEnd + NamedBlockSize(8 + 16);
  const size_t secondStart = pointsEnd + 2 * NamedBlockSize(2);
  ASSERT_EQ(secondStart, full.size() - (8 + 164) - NamedBlockSize(16 + 7) - 2 * NamedBlockSize(2));
  for (size_t n = 1; n < full.size(); ++n) {
    const auto back = Load(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
    const bool boundary = n == attributesEnd || n == pointsEnd || n == pointsEnd + NamedBlockSize(2);
    const size_t secondAttributesEnd = secondStart + 8 + 164;
    const size_t textEnd = secondAttributesEnd + NamedBlockSize(16 + 7);
    const bool secondBoundary = n == secondAttributesEnd || n == textEnd || n == textEnd + NamedBlockSize(2);
    const size_t expected = secondBoundary ? 2 : boundary || n == secondStart || n >= secondStart + 8 ? 1 : 0;
    ASSERT_EQ(back->Marks.size(), expected) << n;
    if (expected >= 1 && n >= pointsEnd) {
      EXPECT_EQ(back->Marks[0]->Points, a.Marks[0]->Points);
    }
  }

  struct Lie {
    const char* what;
    size_t at;  // offset in the second mark's text block
    int32_t value;
    size_t marks;
    const char* text;
  };
  const size_t textBlock = secondStart + 8 + 164;
  const Lie lies[] = {
      {"data size past the end", textBlock + 16, 0x7FFFFFFF, 1, nullptr},
      {"negative data size", textBlock + 16, -20, 1, nullptr},
      {"text length past its block", textBlock + 20 + 12, 5000, 2, "second"},
      {"negative text length", textBlock + 20 + 12, -1, 2, ""},
      {"creation scale 0", textBlock + 20 + 8, 0, 2, "second"},
  };
  for (const Lie& l : lies) {
    SCOPED_TRACE(l.what);
    Bytes b = full;
    PutLE32(b, l.at, l.value);
    const auto back = Load(b);
    ASSERT_EQ(back->Marks.size(), l.marks);
    if (l.text) {
      EXPECT_EQ(back->Marks[1]->Text, l.text);
    }
  }
  // A creation scale of 0 leaves the stored height instead of dividing by 0.
  Bytes b = full;
  PutLE32(b, textBlock + 20 + 8, 0);
  EXPECT_EQ(Load(b)->Marks[1]->FontHeight(), 10);

  // A point count larger than the block holds takes the points present.
  b = full;
  const size_t pointBlock = 8 + 2 * NamedBlockSize(2) + 8 + 164;
  PutLE32(b, pointBlock + 20 + 4, 1000000);
  EXPECT_EQ(Load(b)->Marks[0]->Points, a.Marks[0]->Points);
}
