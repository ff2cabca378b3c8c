// The virtual image list: block sizes, the least-recently-used limit on
// heap copies, lending, first-fit reuse, and the temporary file's life.
#include "imaging/core/ikutilsImageList.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/tests/IkTestFolder.h"

namespace imaging {
namespace {

using testing::TempFolderTest;

// A picture whose every pixel depends on its position and a seed.
void Paint(TIKBitmap& b, int32_t w, int32_t h, uint8_t seed, bool alpha = false) {
  b.Allocate(w, h, ikRGB24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.SetPixelRGB24(x, y, TRGB{static_cast<uint8_t>(x + seed), static_cast<uint8_t>(y * 3), seed});
  if (alpha) {
    TIKBitmap* a = b.GetAlphaChannel();
    a->SetFull(false);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) b.SetAlphaPixel(x, y, static_cast<uint8_t>(x * 7 + y));
  }
}

bool SamePixels(TIKBitmap& a, TIKBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat()) return false;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (!(a.GetPixelRGB(x, y) == b.GetPixelRGB(x, y))) return false;
  return true;
}

using ImageList = TempFolderTest;

TEST_F(ImageList, BlockSizesPadRowsAndAddTheAlphaPlane) {
  struct Case {
    int32_t w, h, bpp;
    bool alpha;
    int64_t bytes;
  };
  for (const Case& c : {Case{80, 60, 24, false, 14400}, Case{80, 60, 24, true, 19201}, Case{17, 3, 1, false, 12}})
    EXPECT_EQ(TIKVirtualImageList::BlockSize(c.w, c.h, c.bpp, c.alpha), c.bytes) << c.w << "x" << c.h;

  // The blocks really lie one after another in the file at those sizes.
  TIKVirtualImageList list("ILIST");
  TIKBitmap a, b, mono;
  Paint(a, 80, 60, 1, true);
  Paint(b, 80, 60, 2);
  mono.Allocate(17, 3, ikMono1);
  auto ha = list.AddImage(&a);
  auto hb = list.AddImage(&b);
  auto hm = list.AddImage(&mono);
  EXPECT_EQ(ha->Position, 0);
  EXPECT_EQ(hb->Position, 19201);
  EXPECT_EQ(hm->Position, 19201 + 14400);
  EXPECT_EQ(hm->Size, 12);
}

TEST_F(ImageList, ImagesComeBackWithTheirPixelsAndAlpha) {
  TIKVirtualImageList list("ILIST");
  TIKBitmap withAlpha, opaque, mono;
  Paint(withAlpha, 30, 20, 5, true);
  Paint(opaque, 30, 20, 9);
  opaque.GetAlphaChannel();  // a fully opaque plane
  mono.Allocate(17, 3, ikMono1);
  static_cast<uint8_t*>(mono.ScanLine(1))[0] = 0x92;
  static_cast<uint8_t*>(mono.ScanLine(1))[2] = 0x80;
  auto h1 = list.AddImage(&withAlpha);
  auto h2 = list.AddImage(&opaque);
  auto h3 = list.AddImage(&mono);

  TIKBitmap out;
  list.CopyToBitmap(h1, &out);
  ASSERT_TRUE(SamePixels(out, withAlpha));
  ASSERT_TRUE(out.HasAlphaChannel());
  EXPECT_EQ(out.GetAlphaPixel(4, 3), withAlpha.GetAlphaPixel(4, 3));
  EXPECT_EQ(out.GetAlphaPixel(29, 19), withAlpha.GetAlphaPixel(29, 19));
  EXPECT_NE(list.GetAlphaBits(h1), nullptr);

  list.CopyToBitmap(h2, &out);
  EXPECT_TRUE(SamePixels(out, opaque));
  EXPECT_FALSE(out.HasAlphaChannel());
  EXPECT_EQ(list.GetAlphaBits(h2), nullptr);

  list.CopyToBitmap(h3, &out);
  EXPECT_EQ(out.PixelFormat(), ikMono1);
  EXPECT_TRUE(SamePixels(out, mono));

  // The raw rows run bottom-up from the returned address.
  auto* bits = static_cast<uint8_t*>(list.GetImageBits(h2));
  ASSERT_NE(bits, nullptr);
  const TRGB bottomLeft = opaque.GetPixelRGB24(0, 19);
  EXPECT_EQ(bits[0], bottomLeft.b);
  EXPECT_EQ(bits[2], bottomLeft.r);
}

TEST_F(ImageList, AtMostMaxMappedCopiesLeastRecentlyUsedGoesFirst) {
  TIKVirtualImageList list("ICACHE");
  list.SetMaxMapped(4);
  std::vector<TIKVirtualImageList::Handle> handles;
  std::vector<std::unique_ptr<TIKBitmap>> pictures;
  for (uint8_t i = 0; i < 5; ++i) {
    pictures.push_back(std::make_unique<TIKBitmap>());
    Paint(*pictures.back(), 20, 10, i);
    handles.push_back(list.AddImage(pictures.back().get()));
  }
  EXPECT_EQ(list.MappedCount(), 4);
  EXPECT_EQ(handles[0]->Address, nullptr);

  // Reading all five in turn: the fifth pushes out the first.
  for (int i = 0; i < 4; ++i) ASSERT_NE(list.GetImageBits(handles[i]), nullptr);
  EXPECT_NE(handles[0]->Address, nullptr);
  EXPECT_EQ(handles[4]->Address, nullptr);
  list.GetImageBits(handles[4]);
  EXPECT_EQ(handles[0]->Address, nullptr);
  EXPECT_EQ(list.MappedCount(), 4);

  // Mapped anew from the file, with the pixels that were written back.
  TIKBitmap out;
  list.CopyToBitmap(handles[0], &out);
  EXPECT_NE(handles[0]->Address, nullptr);
  EXPECT_TRUE(SamePixels(out, *pictures[0]));
  EXPECT_EQ(handles[1]->Address, nullptr);

  // Below 1 counts as 1.
  list.SetMaxMapped(0);
  list.GetImageBits(handles[1]);
  EXPECT_EQ(list.MappedCount(), 1);
}

TEST_F(ImageList, LendingSharesOneBitmapUntilTheLastRelease) {
  TIKVirtualImageList list("ILIST");
  TIKBitmap pic;
  Paint(pic, 12, 8, 3);
  auto h = list.AddImage(&pic);

  TIKBitmap* first = list.GetBitmap(h);
  TIKBitmap* second = list.GetBitmap(h);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(h->Lent);
  EXPECT_TRUE(SamePixels(*first, pic));

  // Changes written back on release; the size follows the lent bitmap.
  first->SetPixelRGB24(0, 0, TRGB{1, 2, 3});
  list.ReleaseBitmap(first, true);
  EXPECT_TRUE(h->Lent);
  EXPECT_EQ(list.GetImageWidth(h), 12);
  list.ReleaseBitmapByHandle(h, false);
  EXPECT_FALSE(h->Lent);
  list.ReleaseBitmapByHandle(h, false);  // nothing lent: nothing happens
  TIKBitmap stray;
  list.ReleaseBitmap(&stray, true);

  TIKBitmap out;
  list.CopyToBitmap(h, &out);
  EXPECT_EQ(out.GetPixelRGB24(0, 0), (TRGB{1, 2, 3}));

  // A write-back of another size moves the image to a new block.
  TIKBitmap* lent = list.GetBitmap(h);
  lent->Allocate(40, 30, ikRGB24);
  lent->Fill(0);
  list.ReleaseBitmap(lent, true);
  EXPECT_EQ(list.GetImageWidth(h), 40);
  EXPECT_EQ(list.GetOriginalWidth(h), 40);
  list.CopyToBitmap(h, &out);
  EXPECT_EQ(out.Width(), 40);
  EXPECT_EQ(out.Height(), 30);
}

TEST_F(ImageList, FreedBlocksAreReusedFirstFitAndTheFileGoesWithTheList) {
  String fileName;
  {
    TIKVirtualImageList list("ILIST");
    fileName = list.FileName();
    EXPECT_TRUE(std::filesystem::exists(fileName));
    EXPECT_EQ(std::filesystem::path(fileName).filename().string().rfind("ILIST-", 0), 0u);
    EXPECT_EQ(std::filesystem::file_size(fileName), 262144u);

    TIKBitmap big, other, small;
    Paint(big, 80, 60, 1);
    Paint(other, 80, 60, 2);
    Paint(small, 40, 30, 3);
    auto h1 = list.AddImage(&big);
    auto h2 = list.AddImage(&other);
    const int64_t freed = h1->Position;
    list.Delete(h1);
    auto h3 = list.AddImage(&small);
    EXPECT_EQ(h3->Position, freed);
    TIKBitmap out;
    list.CopyToBitmap(h2, &out);
    EXPECT_TRUE(SamePixels(out, other));
    list.CopyToBitmap(h3, &out);
    EXPECT_TRUE(SamePixels(out, small));

    // Growing beyond the first 256 KiB.
    TIKBitmap huge;
    Paint(huge, 400, 300, 4);
    auto h4 = list.AddImage(&huge);
    EXPECT_GT(list.FileSize(), 262144);
    list.CopyToBitmap(h4, &out);
    EXPECT_TRUE(SamePixels(out, huge));

    // The last image gone, the file starts over at the growth step.
    list.Delete(h2);
    list.Delete(h3);
    list.Delete(h4);
    EXPECT_EQ(list.ImageCount(), 0);
    auto h5 = list.AddImage(&small);
    EXPECT_EQ(h5->Position, 0);
  }
  EXPECT_FALSE(std::filesystem::exists(fileName));
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace imaging
