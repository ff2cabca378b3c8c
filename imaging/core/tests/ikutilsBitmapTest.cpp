#include "imaging/core/ikutilsBitmap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <tuple>

#include "imaging/core/ikutils.h"
#include "imaging/core/tests/IkTestFolder.h"

namespace imaging {
namespace {

namespace fs = std::filesystem;

using testing::ReadAll;
// Row r of every test picture: byte i of the row holds r * 31 + i * 7.
uint8_t PatternByte(int32_t row, int32_t i) { return static_cast<uint8_t>(row * 31 + i * 7); }

void FillPattern(TIKBitmap& bmp) {
  for (int32_t r = 0; r < bmp.Height(); ++r) {
    auto* row = static_cast<uint8_t*>(bmp.ScanLine(r));
    for (int32_t i = 0; i < bmp.RowLength(); ++i) row[i] = PatternByte(r, i);
  }
}

// Compares the pixel bytes of each row (not the padding).
::testing::AssertionResult HasPattern(TIKBitmap& bmp) {
  const int32_t used = static_cast<int32_t>((static_cast<int64_t>(bmp.Width()) * bmp.BitCount() + 7) / 8);
  for (int32_t r = 0; r < bmp.Height(); ++r) {
    const auto* row = static_cast<const uint8_t*>(bmp.ScanLine(r));
    for (int32_t i = 0; i < used; ++i) {
      if (row[i] != PatternByte(r, i)) {
        return ::testing::AssertionFailure() << "row " << r << " byte " << i << " is " << int(row[i]);
      }
    }
  }
  return ::testing::AssertionSuccess();
}

using IkBitmap = testing::SmallThresholdTest;

TEST_F(IkBitmap, NewBitmapDefaults) {
  TIKBitmap bmp;
  EXPECT_TRUE(bmp.IsEmpty());
  EXPECT_EQ(bmp.PixelFormat(), ikNoFormat);
  EXPECT_EQ(bmp.Location(), ikFile);
  EXPECT_EQ(bmp.Access(), ikaRead | ikaWrite);
  EXPECT_EQ(bmp.RowAlignment(), 32);
  EXPECT_EQ(bmp.PaletteCapacity(), 256);
  EXPECT_EQ(bmp.DitherMethod(), 1);
  EXPECT_EQ(bmp.AllocationKind(), 0);
  EXPECT_EQ(bmp.MemoryThreshold(), 1000);
  EXPECT_FALSE(bmp.HasAlphaChannel());
  // No raster for a size that is not above 0 or for no format; no file either.
  for (auto [w, h, f] : {std::tuple{0, 5, ikRGB24}, std::tuple{5, -1, ikRGB24}, std::tuple{-5, 5, ikGray8},
                         std::tuple{5, 5, ikNoFormat}}) {
    bmp.Allocate(w, h, f);
    EXPECT_TRUE(bmp.IsEmpty());
    EXPECT_EQ(bmp.RowLength(), 0);
  }
  EXPECT_TRUE(Files().empty());
}

TEST(IkBitmapThreshold, HalfOfTheAvailableMemoryIn64Bits) {
  TIKBitmap bmp;
  const int64_t available = AvailablePhysicalMemory();
  // Machines with more than 4 GiB free must not wrap to a tiny threshold.
  EXPECT_GT(bmp.MemoryThreshold(), available / 4);
  EXPECT_LE(bmp.MemoryThreshold(), available);
}

TEST_F(IkBitmap, RowLengthsAndBottomUpMemoryRows) {
  struct Case {
    int32_t width;
    TIKPixelFormat format;
    int32_t rowLength;
  };
  for (const Case& c : {Case{100, ikRGB24, 300}, Case{33, ikMono1, 8}, Case{3, ikGray8, 4}, Case{3, ikRGB48, 20},
                        Case{5, ikCMYK, 20}}) {
    TIKBitmap bmp;
    bmp.SetMemoryThreshold(int64_t{1} << 40);
    bmp.Allocate(c.width, 10, c.format);
    EXPECT_EQ(bmp.RowLength(), c.rowLength) << IKPixelFormatInfo(c.format).Name;
    ASSERT_EQ(bmp.Location(), ikMemory);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(bmp.Bits()) % 32, 0u);
    // Row 0, the top row, is the last row of the block.
    EXPECT_EQ(bmp.ScanLine(0), bmp.Bits() + 9 * c.rowLength);
    EXPECT_EQ(bmp.ScanLine(9), bmp.Bits());
  }
}

TEST_F(IkBitmap, LocationFollowsTheMemoryThreshold) {
  struct Case {
    int32_t width, height;
    TIKPixelFormat format;
    TIKLocation asked, expected;
  };
  const Case cases[] = {
      {8, 8, ikRGB24, ikFile, ikMemory},       // 192 bytes
      {8, 8, ikRGB24, ikMemory, ikMemory},     //
      {100, 100, ikRGB24, ikFile, ikFile},     // 30000 bytes
      {100, 100, ikRGB24, ikMemory, ikFile},   //
      {100, 10, ikGray8, ikFile, ikFile},      // exactly 1000: stays where asked
      {100, 10, ikGray8, ikMemory, ikMemory},  //
  };
  const std::regex pattern("IMG-[0-9A-F]{8}\\.tmp");
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " asked " << int(c.asked));
    TIKBitmap bmp;
    if (c.asked == ikMemory) bmp.SetLocation(ikMemory);
    bmp.Allocate(c.width, c.height, c.format);
    EXPECT_EQ(bmp.Location(), c.expected);
    if (c.expected == ikFile) {
      ASSERT_EQ(Files().size(), 1u);
      EXPECT_TRUE(std::regex_match(Files()[0], pattern)) << Files()[0];
      EXPECT_EQ(bmp.FileBuffer()->FileName(), folder_ + Files()[0]);
      EXPECT_EQ(fs::file_size(bmp.FileBuffer()->FileName()), static_cast<uintmax_t>(bmp.RowLength()) * c.height);
      bmp.FreeImage(true);
      EXPECT_TRUE(bmp.IsEmpty());
      EXPECT_EQ(bmp.Location(), ikFile);  // a preference that outlives the raster
    } else {
      EXPECT_TRUE(Files().empty());
    }
    EXPECT_TRUE(Files().empty());
  }
  {
    TIKBitmap bmp;
    bmp.Allocate(100, 100, ikRGB24);
    ASSERT_EQ(Files().size(), 1u);
  }
  EXPECT_TRUE(Files().empty()) << "the file goes with the bitmap";
}

TEST_F(IkBitmap, FallsBackToMemoryWhenNoFileCanBeMade) {
  DefaultTempDirectory = folder_ + "missing/";
  TIKBitmap bmp;
  bmp.Allocate(100, 100, ikRGB24);
  EXPECT_EQ(bmp.Location(), ikMemory);
  FillPattern(bmp);
  EXPECT_TRUE(HasPattern(bmp));
}

TEST_F(IkBitmap, HeaderSizedRastersAreRefused) {
  struct Case {
    int32_t width, height;
    TIKPixelFormat format;
  };
  const Case cases[] = {
      {50000, 50000, ikRGB24},     // 7.5 GB: the 32-bit product wraps
      {2147483647, 1, ikRGB48},    // one row beyond 32 bits
      {2147483647, 2147483647, ikMono1},
      {46341, 46341, ikGray8},     // just above 2 GiB
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height);
    for (TIKLocation where : {ikMemory, ikFile, ikTBitmap}) {
      TIKBitmap bmp;
      bmp.SetLocation(where);
      try {
        bmp.Allocate(c.width, c.height, c.format);
        ADD_FAILURE() << "allocated";
      } catch (const EIKError& e) {
        EXPECT_NE(e.Message().find("too large"), String::npos) << e.Message();
        EXPECT_NE(e.Message().find(std::to_string(c.width) + " x " + std::to_string(c.height)), String::npos);
      }
      EXPECT_TRUE(bmp.IsEmpty());
      EXPECT_EQ(bmp.Width(), 0);
      EXPECT_EQ(bmp.GetTBitmap(), nullptr);
      EXPECT_TRUE(Files().empty());
      // The bitmap still works afterwards.
      bmp.Allocate(4, 4, ikGray8);
      EXPECT_EQ(bmp.RowLength(), 4);
    }
  }
  uint8_t buffer[16] = {};
  TIKBitmap wrapped;
  EXPECT_THROW(wrapped.EncapsulateMemory(buffer, 50000, 50000, ikRGB24, true), EIKError);
  EXPECT_TRUE(wrapped.IsEmpty());
  // The largest size that fits stays allowed: nothing is refused that the
  // 32-bit arithmetic could address.
  TIKBitmap edge;
  edge.Allocate(1, 1, ikRGB48);
  EXPECT_EQ(edge.RowLength(), 8);
}

TEST_F(IkBitmap, FileRowsAreWrittenBackWhenTheNextRowIsMapped) {
  TIKBitmap bmp;
  bmp.Allocate(100, 100, ikRGB24);
  ASSERT_EQ(bmp.Location(), ikFile);
  const std::string file = bmp.FileBuffer()->FileName();
  auto* row = static_cast<uint8_t*>(bmp.ScanLine(3));
  std::memset(row, 0xAB, 300);
  // Rows are top-down in the file; nothing reached it yet.
  EXPECT_EQ(ReadAll(file)[3 * 300], '\0');
  bmp.ScanLine(5);
  const std::string bytes = ReadAll(file);
  EXPECT_EQ(bytes.substr(3 * 300, 300), std::string(300, '\xAB'));
  EXPECT_EQ(bytes[2 * 300 + 299], '\0');
  EXPECT_EQ(bytes[4 * 300], '\0');
  EXPECT_EQ(static_cast<const uint8_t*>(bmp.ScanLine(3))[299], 0xAB);

  // A row mapped while the bitmap is read-only is never written back.
  bmp.SetAccess(ikaRead);
  std::memset(bmp.ScanLine(7), 0xCD, 300);
  bmp.ScanLine(8);
  bmp.SetAccess(ikaRead | ikaWrite);
  EXPECT_EQ(ReadAll(file)[7 * 300], '\0');

  FillPattern(bmp);
  EXPECT_TRUE(HasPattern(bmp));
}

TEST_F(IkBitmap, AlphaPlaneTracksFull) {
  TIKBitmap bmp;
  bmp.Allocate(5, 3, ikRGB24);
  TIKBitmap* alpha = bmp.GetAlphaChannel();
  ASSERT_NE(alpha, nullptr);
  EXPECT_TRUE(bmp.HasAlphaChannel());
  EXPECT_TRUE(alpha->IsAlphaPlane());
  EXPECT_EQ(alpha->PixelFormat(), ikGray8);
  EXPECT_EQ(alpha->Width(), 5);
  EXPECT_EQ(alpha->Height(), 3);
  EXPECT_TRUE(alpha->Full());
  EXPECT_EQ(bmp.GetAlphaPixel(4, 2), 255);
  EXPECT_EQ(alpha->GetAlphaChannel(), nullptr);  // a plane has no plane of its own

  bmp.SetFull(true);
  bmp.SetAlphaPixel(0, 0, 254);
  EXPECT_FALSE(alpha->Full());
  EXPECT_FALSE(bmp.Full());
  EXPECT_EQ(bmp.GetAlphaPixel(0, 0), 254);
  bmp.SetAlphaPixel(0, 0, 255);
  EXPECT_FALSE(alpha->Full());  // only a check can tell
  alpha->CheckFullyOpaque();
  EXPECT_TRUE(alpha->Full());
  alpha->SetAlphaPixel(1, 1, 0);  // on the plane itself: its own byte
  EXPECT_EQ(bmp.GetAlphaPixel(1, 1), 0);
  alpha->CheckFullyOpaque();
  EXPECT_FALSE(alpha->Full());

  // Made on demand by a pixel access, and gone with a new allocation.
  TIKBitmap other;
  other.Allocate(2, 2, ikGray8);
  other.SetAlphaPixel(1, 1, 9);
  EXPECT_TRUE(other.HasAlphaChannel());
  other.Allocate(2, 2, ikGray8);
  EXPECT_FALSE(other.HasAlphaChannel());
  other.GetAlphaChannel();
  other.RemoveAlphaChannel();
  EXPECT_FALSE(other.HasAlphaChannel());
}

TEST_F(IkBitmap, TransferToMovesEverythingAndLeavesAWorkingEmptySource) {
  TIKBitmap source;
  source.Allocate(100, 100, ikRGB24);  // in a file
  FillPattern(source);
  source.SetAlphaPixel(2, 2, 10);
  source.SetDitherMethod(0);
  const std::string file = source.FileBuffer()->FileName();
  TIKBitmap dest;
  dest.SetLocation(ikMemory);
  dest.Allocate(8, 8, ikGray8);
  dest.GetAlphaChannel();

  source.TransferTo(&dest);
  EXPECT_TRUE(source.IsEmpty());
  EXPECT_EQ(source.PixelFormat(), ikNoFormat);
  EXPECT_FALSE(source.HasAlphaChannel());
  EXPECT_FALSE(source.FileBuffer()->IsAllocated());
  EXPECT_EQ(source.Location(), ikFile);
  EXPECT_EQ(dest.Location(), ikFile);
  EXPECT_EQ(dest.FileBuffer()->FileName(), file);  // the same file, not a copy
  EXPECT_EQ(dest.Width(), 100);
  EXPECT_EQ(dest.DitherMethod(), 0);
  EXPECT_EQ(dest.GetAlphaPixel(2, 2), 10);
  EXPECT_TRUE(HasPattern(dest));
  EXPECT_EQ(Files().size(), 2u);  // the raster and, above the threshold too, its alpha plane

  source.Allocate(100, 100, ikRGB24);
  FillPattern(source);
  EXPECT_TRUE(HasPattern(source));
  EXPECT_EQ(Files().size(), 3u);

  // Onto itself: nothing moves, nothing is lost.
  dest.TransferTo(&dest);
  EXPECT_TRUE(HasPattern(dest));
  EXPECT_THROW(dest.TransferTo(dest.GetAlphaChannel()), EIKError);
  EXPECT_THROW(dest.GetAlphaChannel()->TransferTo(&dest), EIKError);
  EXPECT_TRUE(HasPattern(dest));
}

TEST_F(IkBitmap, SetLocationKeepsPixelsPaletteAndAlpha) {
  TIKBitmap bmp;
  bmp.SetMemoryThreshold(int64_t{1} << 40);
  bmp.SetLocation(ikMemory);
  bmp.Allocate(7, 5, ikPalette8);
  FillPattern(bmp);
  bmp.SetPaletteColor(3, CreateRGB(10, 20, 30));
  bmp.SetAlphaPixel(1, 1, 77);
  bmp.SetFull(true);

  bmp.SetLocation(ikTBitmap);
  EXPECT_EQ(bmp.Location(), ikTBitmap);
  forms::TBitmap* platform = bmp.GetTBitmap();
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(platform->PixelFormat(), forms::pf8bit);
  EXPECT_EQ(platform->ColorTable()[3], 0x0A141Eu);
  EXPECT_EQ(bmp.PixelFormat(), ikPalette8);
  EXPECT_EQ(bmp.ScanLine(0), platform->ScanLine(0));
  EXPECT_TRUE(HasPattern(bmp));
  EXPECT_FALSE(bmp.Full());
  EXPECT_EQ(bmp.GetAlphaPixel(1, 1), 77);
  EXPECT_EQ(bmp.GetAlphaChannel()->Location(), ikMemory);  // the plane keeps its own place

  bmp.SetMemoryThreshold(0);
  bmp.SetLocation(ikFile);
  EXPECT_EQ(bmp.Location(), ikFile);
  EXPECT_TRUE(HasPattern(bmp));
  EXPECT_EQ(bmp.GetPaletteColor(3), CreateRGB(10, 20, 30));
  EXPECT_EQ(bmp.GetAlphaPixel(1, 1), 77);
  // Above the threshold a move to memory leaves the raster in a file.
  bmp.SetLocation(ikMemory);
  EXPECT_EQ(bmp.Location(), ikFile);
  EXPECT_TRUE(HasPattern(bmp));
  bmp.SetMemoryThreshold(int64_t{1} << 40);
  bmp.SetLocation(ikTBitmap);
  bmp.SetLocation(ikMemory);
  EXPECT_EQ(bmp.Location(), ikMemory);
  EXPECT_TRUE(HasPattern(bmp));
  EXPECT_TRUE(Files().empty());
}

TEST_F(IkBitmap, FormatsTheTBitmapLocationCannotHold) {
  for (TIKPixelFormat format : {ik32f, ikCMYK, ikRGB48, ikCIELab}) {
    const String message = String(IKPixelFormatInfo(format).Name) + " pixel format not allowed when Location=ikTBitmap";
    TIKBitmap bmp;
    bmp.SetLocation(ikTBitmap);
    try {
      bmp.Allocate(10, 10, format);
      ADD_FAILURE() << message;
    } catch (const EIKError& e) {
      EXPECT_EQ(e.Message(), message);
    }
    EXPECT_EQ(bmp.Location(), ikTBitmap);
    ASSERT_NE(bmp.GetTBitmap(), nullptr);
    EXPECT_EQ(bmp.GetTBitmap()->Width(), 1);
    EXPECT_EQ(bmp.GetTBitmap()->Height(), 1);

    // Moving such a raster there is refused before anything moves.
    TIKBitmap held;
    held.SetLocation(ikMemory);
    held.Allocate(6, 4, format);
    FillPattern(held);
    EXPECT_THROW(held.SetLocation(ikTBitmap), EIKError);
    EXPECT_EQ(held.Location(), ikMemory);
    EXPECT_EQ(held.PixelFormat(), format);
    EXPECT_TRUE(HasPattern(held));
  }
  TIKBitmap gray;
  gray.SetLocation(ikTBitmap);
  gray.Allocate(10, 10, ikGray16);
  EXPECT_EQ(gray.PixelFormat(), ikGray8);
  EXPECT_EQ(gray.RowLength(), 12);
  EXPECT_TRUE(IsGrayColorTable(gray.GetTBitmap()));

  // A 16-bit gray raster moved there keeps its high bytes.
  TIKBitmap deep;
  deep.SetLocation(ikMemory);
  deep.Allocate(3, 1, ikGray16);
  const uint16_t samples[3] = {0x1234, 0xFF00, 0x00FF};
  std::memcpy(deep.ScanLine(0), samples, sizeof samples);
  deep.SetLocation(ikTBitmap);
  EXPECT_EQ(deep.PixelFormat(), ikGray8);
  const auto* row = static_cast<const uint8_t*>(deep.ScanLine(0));
  EXPECT_EQ(row[0], 0x12);
  EXPECT_EQ(row[1], 0xFF);
  EXPECT_EQ(row[2], 0x00);
}

TEST_F(IkBitmap, AssignCopiesAlphaAndDitherAssignImageKeepsOwnAlpha) {
  TIKBitmap source;
  source.SetLocation(ikMemory);
  source.Allocate(6, 4, ikPalette8);
  FillPattern(source);
  source.SetPaletteColor(200, CreateRGB(1, 2, 3));
  source.SetAlphaPixel(5, 3, 40);
  source.SetDitherMethod(0);
  source.SetFull(true);

  auto makeDest = [] {
    auto dest = std::make_unique<TIKBitmap>();
    dest->SetLocation(ikMemory);
    dest->Allocate(2, 2, ikRGB24);
    dest->SetAlphaPixel(0, 0, 7);
    return dest;
  };

  auto assigned = makeDest();
  assigned->Assign(&source);
  EXPECT_EQ(assigned->PixelFormat(), ikPalette8);
  EXPECT_TRUE(HasPattern(*assigned));
  EXPECT_EQ(assigned->GetPaletteColor(200), CreateRGB(1, 2, 3));
  EXPECT_EQ(assigned->GetAlphaPixel(5, 3), 40);
  EXPECT_EQ(assigned->GetAlphaPixel(0, 0), 255);
  EXPECT_EQ(assigned->DitherMethod(), 0);
  EXPECT_FALSE(assigned->Full());
  // Independent copies.
  source.SetAlphaPixel(5, 3, 41);
  EXPECT_EQ(assigned->GetAlphaPixel(5, 3), 40);

  auto image = makeDest();
  image->AssignImage(&source);
  EXPECT_TRUE(HasPattern(*image));
  EXPECT_EQ(image->GetPaletteColor(200), CreateRGB(1, 2, 3));
  EXPECT_EQ(image->GetAlphaPixel(0, 0), 7);  // its own plane, kept
  EXPECT_EQ(image->DitherMethod(), 1);
  EXPECT_FALSE(image->Full());

  // A source without a plane takes the destination's away; an empty one
  // and the bitmap itself change nothing.
  TIKBitmap plain;
  plain.Allocate(3, 3, ikGray8);
  auto stripped = makeDest();
  stripped->Assign(&plain);
  EXPECT_FALSE(stripped->HasAlphaChannel());
  TIKBitmap empty;
  stripped->Assign(&empty);
  EXPECT_EQ(stripped->Width(), 3);
  assigned->Assign(assigned.get());
  EXPECT_TRUE(HasPattern(*assigned));
  // A platform bitmap is imported.
  forms::TBitmap platform;
  platform.SetPixelFormat(forms::pf24bit);
  platform.SetSize(2, 1);
  static_cast<uint8_t*>(platform.ScanLine(0))[3] = 9;
  assigned->Assign(&platform);
  EXPECT_EQ(assigned->PixelFormat(), ikRGB24);
  EXPECT_EQ(assigned->Width(), 2);
  EXPECT_EQ(assigned->GetPixelRGB24(1, 0).b, 9);
}

TEST_F(IkBitmap, AssignBetweenFilesAndIntoTheTBitmapLocation) {
  TIKBitmap source;
  source.Allocate(120, 20, ikRGB24);
  ASSERT_EQ(source.Location(), ikFile);
  FillPattern(source);
  source.SetFull(true);
  TIKBitmap dest;
  dest.Allocate(110, 20, ikRGB24);
  ASSERT_EQ(dest.Location(), ikFile);
  dest.Assign(&source);
  EXPECT_EQ(dest.Location(), ikFile);
  EXPECT_NE(dest.FileBuffer()->FileName(), source.FileBuffer()->FileName());
  EXPECT_EQ(ReadAll(dest.FileBuffer()->FileName()), ReadAll(source.FileBuffer()->FileName()));
  EXPECT_TRUE(HasPattern(dest));
  EXPECT_FALSE(dest.Full());

  TIKBitmap wrapped;
  wrapped.SetLocation(ikTBitmap);
  wrapped.Assign(&source);
  EXPECT_EQ(wrapped.Location(), ikTBitmap);
  EXPECT_EQ(wrapped.GetTBitmap()->PixelFormat(), forms::pf24bit);
  EXPECT_TRUE(wrapped.Full());  // only this location keeps the source's flag
  EXPECT_TRUE(HasPattern(wrapped));
  TIKBitmap cmyk;
  cmyk.Allocate(2, 2, ikCMYK);
  EXPECT_THROW(wrapped.Assign(&cmyk), EIKError);
  EXPECT_TRUE(HasPattern(wrapped));
}

TEST_F(IkBitmap, WrappedTBitmapIsReReadWhenItsOwnerChangesIt) {
  TIKBitmap bmp;
  bmp.SetLocation(ikTBitmap);
  bmp.Allocate(10, 6, ikRGB24);
  bmp.GetAlphaChannel();
  forms::TBitmap* platform = bmp.GetTBitmap();
  platform->SetSize(20, 9);
  EXPECT_EQ(bmp.Width(), 20);
  EXPECT_EQ(bmp.Height(), 9);
  EXPECT_EQ(bmp.GetAlphaChannel()->Width(), 20);
  EXPECT_EQ(bmp.ScanLine(8), platform->ScanLine(8));
  FillPattern(bmp);
  EXPECT_TRUE(HasPattern(bmp));

  // Resized behind the buffer's back: the next row access follows the
  // move instead of writing into freed rows.
  platform->SetSize(30, 4);
  std::memset(bmp.ScanLine(3), 1, 90);
  EXPECT_EQ(bmp.RowLength(), 92);

  platform->SetPixelFormat(forms::pf8bit);
  EXPECT_EQ(bmp.PixelFormat(), ikPalette8);
  EXPECT_EQ(bmp.PaletteLength(), 256);
  SetGrayColorTable(platform);
  EXPECT_EQ(bmp.PixelFormat(), ikGray8);
  EXPECT_EQ(bmp.PaletteLength(), 0);

  // A depth the buffer has no format for becomes 24 bits, so its rows are
  // as long as the buffer says.
  platform->SetPixelFormat(forms::pf4bit);
  EXPECT_EQ(bmp.PixelFormat(), ikRGB24);
  EXPECT_EQ(platform->PixelFormat(), forms::pf24bit);
  EXPECT_EQ(bmp.RowLength(), TBitmapRowLength(30, forms::pf24bit));
}

TEST_F(IkBitmap, EncapsulationsWrapWithoutCopyingOrOwning) {
  forms::TBitmap platform;
  platform.SetPixelFormat(forms::pf1bit);
  platform.SetSize(33, 3);
  {
    TIKBitmap bmp;
    bmp.EncapsulateTBitmap(&platform, true);
    EXPECT_EQ(bmp.Location(), ikTBitmap);
    EXPECT_TRUE(bmp.PlatformBitmapNotOwned());
    EXPECT_EQ(bmp.PixelFormat(), ikMono1);
    EXPECT_EQ(bmp.RowLength(), 8);
    EXPECT_EQ(bmp.ScanLine(2), platform.ScanLine(2));
    // Reallocating reuses the caller's bitmap.
    bmp.Allocate(16, 2, ikRGB24);
    EXPECT_EQ(bmp.GetTBitmap(), &platform);
    EXPECT_EQ(platform.PixelFormat(), forms::pf24bit);
    EXPECT_EQ(platform.Width(), 16);
  }
  EXPECT_EQ(platform.Width(), 16);  // still the caller's

  forms::TBitmap nibbles;
  nibbles.SetPixelFormat(forms::pf4bit);
  nibbles.SetSize(7, 2);
  TIKBitmap wrapped;
  wrapped.EncapsulateTBitmap(&nibbles, true);
  EXPECT_EQ(wrapped.PixelFormat(), ikRGB24);
  EXPECT_EQ(nibbles.PixelFormat(), forms::pf24bit);
  std::memset(wrapped.ScanLine(0), 0x55, static_cast<size_t>(wrapped.RowLength()));

  alignas(4) uint8_t raster[2 * 8] = {};
  {
    TIKBitmap bmp;
    bmp.EncapsulateMemory(raster, 2, 2, ikRGB24, true);
    EXPECT_TRUE(bmp.MemoryNotOwned());
    EXPECT_EQ(bmp.Location(), ikMemory);
    EXPECT_EQ(bmp.Bits(), raster);
    static_cast<uint8_t*>(bmp.ScanLine(0))[0] = 9;  // top row: the last in memory
    bmp.EncapsulateMemory(nullptr, 1, 1, ikGray8, false);
    EXPECT_EQ(bmp.Width(), 2);
  }
  EXPECT_EQ(raster[8], 9);
}

TEST_F(IkBitmap, PaletteIndexesOutsideTheTableDoNothing) {
  TIKBitmap bmp;
  bmp.Allocate(2, 2, ikPalette8);
  bmp.SetPaletteColor(255, CreateRGB(9, 9, 9));
  bmp.SetPaletteColor(256, CreateRGB(1, 1, 1));
  bmp.SetPaletteColor(-1, CreateRGB(1, 1, 1));
  EXPECT_EQ(bmp.GetPaletteColor(255), CreateRGB(9, 9, 9));
  EXPECT_EQ(bmp.GetPaletteColor(256), TRGB{});
  EXPECT_EQ(bmp.GetPaletteColor(-1), TRGB{});
  TIKBitmap rgb;
  rgb.Allocate(2, 2, ikRGB24);
  EXPECT_EQ(rgb.PaletteLength(), 0);
  EXPECT_EQ(rgb.GetPaletteColor(0), TRGB{});
}

TEST_F(IkBitmap, PageAllocatedRasters) {
  TIKBitmap bmp;
  bmp.SetAllocationKind(1);
  bmp.SetLocation(ikMemory);
  bmp.Allocate(9, 9, ikRGB24);
  EXPECT_EQ(bmp.Location(), ikMemory);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(bmp.Bits()) % 32, 0u);
  FillPattern(bmp);
  EXPECT_TRUE(HasPattern(bmp));
}

}  // namespace
}  // namespace imaging
