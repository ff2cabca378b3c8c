// Image lists: adding with masks and mask colours, strips, drawing enabled
// and disabled, indexes.
#include <gtest/gtest.h>

#include "platform/forms/ImgList.h"

namespace forms {
namespace {

// A strip of `count` 4x4 images: image i is filled with colours[i] and
// has a teal frame (the mask colour).
std::unique_ptr<TBitmap> Strip(const std::vector<TColor>& colours) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(4 * static_cast<int>(colours.size()), 4);
  b->Canvas()->Brush()->SetColor(clTeal);
  b->Canvas()->FillRect(Rect(0, 0, b->Width(), 4));
  for (size_t i = 0; i < colours.size(); ++i) {
    b->Canvas()->Brush()->SetColor(colours[i]);
    b->Canvas()->FillRect(Rect(static_cast<int>(i) * 4 + 1, 1, static_cast<int>(i) * 4 + 3, 3));
  }
  return b;
}

std::unique_ptr<TBitmap> Yellow(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(clYellow);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

TEST(ImageListTest, AddMaskedCutsStripsAndKeysTheColour) {
  TImageList list(nullptr, 4, 4);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  auto strip = Strip({clRed, clBlue, clLime});
  EXPECT_EQ(list.AddMasked(strip.get(), clTeal), 0);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.AddMasked(Strip({clNavy}).get(), clDefault), 3);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(changes, 2);

  auto back = Yellow(10, 10);
  list.Draw(back->Canvas(), 2, 3, 1);
  EXPECT_EQ(back->Canvas()->Pixels(2, 3), clYellow);
  EXPECT_EQ(back->Canvas()->Pixels(3, 4), clBlue);
  EXPECT_EQ(back->Canvas()->Pixels(5, 6), clYellow);
  list.Draw(back->Canvas(), 2, 3, 3);
  EXPECT_EQ(back->Canvas()->Pixels(4, 5), clNavy);

  // A background colour fills the masked pixels.
  list.SetBkColor(clWhite);
  list.Draw(back->Canvas(), 2, 3, 0);
  EXPECT_EQ(back->Canvas()->Pixels(2, 3), clWhite);
  EXPECT_EQ(back->Canvas()->Pixels(3, 4), clRed);

  list.SetMasked(false);
  list.SetBkColor(clNone);
  list.Draw(back->Canvas(), 0, 0, 2);
  EXPECT_EQ(back->Canvas()->Pixels(0, 0), clTeal);
}

TEST(ImageListTest, AddTakesAMonochromeMaskWhiteMeaningClear) {
  TImageList list(nullptr, 4, 4);
  auto image = Strip({clRed});
  TBitmap mask;
  mask.SetSize(4, 4);
  mask.SetMonochrome(true);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(0, 0, 4, 4));
  mask.Canvas()->SetPixel(0, 0, clWhite);
  EXPECT_EQ(list.Add(image.get(), &mask), 0);
  EXPECT_EQ(list.Add(image.get(), nullptr), 1);
  auto back = Yellow(8, 4);
  list.Draw(back->Canvas(), 0, 0, 0);
  list.Draw(back->Canvas(), 4, 0, 1);
  EXPECT_EQ(back->Canvas()->Pixels(0, 0), clYellow);
  EXPECT_EQ(back->Canvas()->Pixels(1, 0), clTeal);
  EXPECT_EQ(back->Canvas()->Pixels(4, 0), clTeal);

  TBitmap out;
  list.GetBitmap(0, &out);
  EXPECT_EQ(out.Width(), 4);
  EXPECT_EQ(out.Canvas()->Pixels(1, 1), clRed);
}

TEST(ImageListTest, DisabledImagesAreAGreyRelief) {
  TImageList list(nullptr, 4, 4);
  list.AddMasked(Strip({clRed}).get(), clTeal);
  auto back = Yellow(6, 6);
  list.Draw(back->Canvas(), 0, 0, 0, false);
  const TColor shadow = static_cast<TColor>(ColorToRGB(clBtnShadow));
  const TColor light = static_cast<TColor>(ColorToRGB(clBtnHighlight));
  EXPECT_EQ(back->Canvas()->Pixels(1, 1), shadow);
  EXPECT_EQ(back->Canvas()->Pixels(2, 2), shadow);
  EXPECT_EQ(back->Canvas()->Pixels(3, 3), light);
  EXPECT_EQ(back->Canvas()->Pixels(0, 0), clYellow);
}

TEST(ImageListTest, IndexesAndSizeChanges) {
  TImageList list(nullptr, 4, 4);
  list.AddMasked(Strip({clRed, clBlue}).get(), clTeal);
  list.Replace(0, Strip({clLime}).get(), nullptr);
  auto back = Yellow(4, 4);
  list.Draw(back->Canvas(), 0, 0, 0);
  EXPECT_EQ(back->Canvas()->Pixels(1, 1), clLime);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_THROW(list.Delete(1), EInvalidOperation);
  EXPECT_THROW(list.Replace(-1, Strip({clRed}).get(), nullptr), EInvalidOperation);
  list.Draw(back->Canvas(), 0, 0, 7);  // out of range draws nothing
  list.SetWidth(8);
  EXPECT_EQ(list.Count(), 0);

  TComponent owner(nullptr);
  auto* owned = new TImageList(&owner);
  EXPECT_EQ(owned->Width(), 16);
  EXPECT_EQ(owner.ComponentCount(), 1);
}

}  // namespace
}  // namespace forms
