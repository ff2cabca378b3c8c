// The bitmap slider: its layout from the default pictures, the ruler built
// by repeating the picture's middle, value and offset in both directions,
// stepping by keys, ruler clicks and dragging, and what it paints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/tests/PbTestUtil.h"
#include "controls/vx/VXSlider.h"
#include "platform/rtl/Clock.h"

using namespace forms;

namespace controls {
namespace {

using controlstest::Face;
using controlstest::Rgb;

class VxSliderTest : public controlstest::FormFixture {
protected:
  void SetUp() override {
    FormFixture::SetUp();
    slider = new TVxSlider(form);
    slider->SetParent(form);
    slider->SetLeft(10);
    slider->SetTop(20);
    slider->OnChange = [this](TObject*) { changes.push_back(slider->Value()); };
    slider->OnChanged = [this](TObject*) { ++changed; };
  }
  // Presses at a client point and leaves the button down.
  void Press(int x, int y) {
    const win::POINT p = At(slider, x, y);
    win::InjectMouseMove(p.x, p.y);
    win::InjectMouseButton(0, true);
    Pump();
  }
  void Release() {
    win::InjectMouseButton(0, false);
    Pump();
  }
  TVxSlider* slider = nullptr;
  std::vector<int> changes;
  int changed = 0;
};

TEST_F(VxSliderTest, TheDefaultSliderLaysOutRulerAndThumbFromTheDefaultPictures) {
  EXPECT_EQ(slider->Width(), 150);
  EXPECT_EQ(slider->Height(), 40);
  EXPECT_TRUE(slider->TabStop());
  EXPECT_EQ(slider->ImageHThumb()->Width(), 18);
  EXPECT_EQ(slider->ImageHThumb()->Height(), 17);
  EXPECT_EQ(slider->ImageHRuler()->Width(), 10);
  EXPECT_EQ(slider->ImageHRuler()->Height(), 8);
  EXPECT_EQ(slider->Ruler()->Width(), 138);
  EXPECT_EQ(slider->RulerOrigin().x, 6);
  EXPECT_EQ(slider->RulerOrigin().y, 10);
  EXPECT_EQ(slider->ThumbRect(), Bounds(6, 6, 9, 17));
  EXPECT_EQ(slider->RulerLength(), 129);
  // Ticks start seven pixels below the taller of thumb and ruler.
  EXPECT_EQ(slider->PointsRect(), Rect(6, 24, 144, 39));
}

TEST_F(VxSliderTest, TheRulerRepeatsThePictureMiddleBetweenItsUnstretchedEnds) {
  // Ten columns of distinct colours; EdgeSize 2 keeps two at each end.
  auto picture = controlstest::Solid(10, 8, 0);
  for (int x = 0; x < 10; ++x)
    for (int y = 0; y < 8; ++y) controlstest::SetRgb(picture.get(), x, y, 0x101000u * (x + 1) + 1);
  slider->SetImageHRuler(picture.get());
  ShowForm();
  auto column = [&](TBitmap* b, int x) { return Rgb(b, x, 3); };
  struct Row {
    int width;  // of the slider; the ruler is 12 shorter
    std::vector<int> expected;  // picture column of every ruler column
  };
  const Row rows[] = {
      // L = 16: a = 12, tile 6, k = 2, r = 0.
      {28, {0, 1, 2, 3, 4, 5, 6, 7, 2, 3, 4, 5, 6, 7, 8, 9}},
      // L = 13: a = 9, k = 1, r = 3: the end piece starts 3 before the tile's end.
      {25, {0, 1, 2, 3, 4, 5, 6, 7, 5, 6, 7, 8, 9}},
      // L = 6: a = 2 < tile, k = 0: the start only, no end piece.
      {18, {0, 1, 2, 3, 4, 5}},
  };
  for (const Row& row : rows) {
    slider->SetWidth(row.width);
    TBitmap* ruler = slider->Ruler();
    ASSERT_EQ(ruler->Width(), static_cast<int>(row.expected.size())) << row.width;
    for (int x = 0; x < ruler->Width(); ++x)
      EXPECT_EQ(column(ruler, x), column(picture.get(), row.expected[static_cast<size_t>(x)]))
          << "width " << row.width << " column " << x;
  }
}

TEST_F(VxSliderTest, ValueIsClampedAndTellsOnlyRealChanges) {
  slider->SetValue(1000);
  slider->SetValue(100);
  EXPECT_EQ(slider->Value(), 100);
  EXPECT_EQ(changes, std::vector<int>{100});
  // An empty range is refused.
  slider->SetMinValue(100);
  EXPECT_EQ(slider->MinValue(), 0);
  // Narrowing the range pulls the value in and says so.
  slider->SetMaxValue(50);
  EXPECT_EQ(slider->Value(), 50);
  EXPECT_EQ(changes.back(), 50);
  // A range narrower than the increment shrinks the increment.
  slider->SetMaxValue(6);
  EXPECT_EQ(slider->Increment(), 6);
}

TEST_F(VxSliderTest, AnIncrementOutsideTheRangeRaisesAndChangesNothing) {
  for (int bad : {0, -3, 101}) {
    try {
      slider->SetIncrement(bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(), "Value must be between 1 and 100") << bad;
    }
  }
  EXPECT_EQ(slider->Increment(), 10);
  slider->SetIncrement(100);
  EXPECT_EQ(slider->Increment(), 100);
}

TEST_F(VxSliderTest, ValueAndOffsetRoundHalvesToEven) {
  // len 129, range 100: 50 is 64.5 pixels along, which rounds to 64.
  EXPECT_EQ(slider->OffsetOfValue(50), 6 + 64);
  EXPECT_EQ(slider->OffsetOfValue(0), 6);
  EXPECT_EQ(slider->OffsetOfValue(100), 6 + 129);
  // Snapped to the increment: q = 25 gives 20 and q = 35 gives 40.
  TSliderOptions o = slider->Options();
  o.Exclude(soSmooth);
  slider->SetOptions(o);
  struct Row {
    int offset, value;
  };
  const Row rows[] = {{6 + 32, 20}, {6 + 45, 40}, {6 + 19, 20}, {6 + 129, 100}, {0, 0}};
  for (const Row& row : rows) EXPECT_EQ(slider->ValueOfOffset(row.offset), row.value) << row.offset;
}

TEST_F(VxSliderTest, KeysStepToMultiplesOfTheIncrementAndTellTheEnd) {
  ShowForm();
  slider->SetFocus();
  slider->SetValue(15);
  struct Row {
    win::UINT key;
    int from, to;
  };
  const Row rows[] = {
      {win::VK_RIGHT, 15, 30}, {win::VK_LEFT, 15, 10}, {win::VK_END, 15, 100},
      {win::VK_HOME, 15, 0},   {win::VK_UP, 15, 15},   {win::VK_RIGHT, 100, 100},
  };
  for (const Row& row : rows) {
    slider->SetValue(row.from);
    const int before = changed;
    Key(row.key);
    EXPECT_EQ(slider->Value(), row.to) << row.key << " from " << row.from;
    EXPECT_EQ(changed - before, row.key == win::VK_UP ? 0 : 1) << row.key;
  }
  // Turned upright, the minimum sits at the bottom and Up increases.
  slider->SetOrientation(soVertical);
  EXPECT_EQ(slider->Width(), 40);
  EXPECT_EQ(slider->Height(), 150);
  slider->SetValue(0);
  EXPECT_GT(slider->ThumbRect().top, 100);
  Key(win::VK_UP);
  EXPECT_EQ(slider->Value(), 10);
  slider->SetValue(100);
  EXPECT_EQ(slider->ThumbRect().top, 6);
}

TEST_F(VxSliderTest, HoldingOnTheRulerStepsAtOnceThenEvery400MsUntilThePointer) {
  rtl::ScopedVirtualClock clock;
  ShowForm();
  const int y = slider->RulerOrigin().y + 2;
  const int x = slider->OffsetOfValue(45);
  Press(x, y);
  EXPECT_EQ(slider->Value(), 10);
  clock.Advance(399);
  Pump();
  EXPECT_EQ(slider->Value(), 10);
  clock.Advance(1);
  Pump();
  EXPECT_EQ(slider->Value(), 20);
  for (int i = 0; i < 10; ++i) {
    clock.Advance(400);
    Pump();
  }
  // The thumb stops once it has reached the pointer.
  EXPECT_EQ(slider->Value(), 40);
  EXPECT_EQ(changed, 0);
  Release();
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(changes, (std::vector<int>{10, 20, 30, 40}));
  // Left of the thumb steps down.
  Press(slider->OffsetOfValue(5), y);
  EXPECT_EQ(slider->Value(), 30);
  Release();
}

TEST_F(VxSliderTest, DraggingWithoutSmoothSnapsToTheIncrement) {
  ShowForm();
  TSliderOptions o = slider->Options();
  o.Exclude(soSmooth);
  slider->SetOptions(o);
  const TRect thumb = slider->ThumbRect();
  Press(thumb.left + 2, thumb.top + 5);
  MoveTo(slider, 6 + 64 + 2 + 3, thumb.top + 5);
  EXPECT_EQ(slider->Value(), 50);
  EXPECT_EQ(slider->ThumbRect().left, slider->OffsetOfValue(50));
  EXPECT_EQ(changed, 0);
  Release();
  EXPECT_EQ(changed, 1);
}

TEST_F(VxSliderTest, ASliderTooSmallForItsThumbDoesNotDivideByZero) {
  // 12 + thumb length gives a ruler with no travel; less gives negative travel.
  ShowForm();
  for (int width : {21, 15, 5}) {
    slider->SetWidth(width);
    slider->SetValue(50);
    EXPECT_EQ(slider->ValueOfOffset(slider->ThumbRect().left), 0) << width;
    // Left of the start, a negative travel would turn the sign round.
    EXPECT_EQ(slider->ValueOfOffset(0), 0) << width;
    EXPECT_EQ(slider->ValueOfOffset(40), 0) << width;
    EXPECT_EQ(slider->ThumbRect().left, 6) << width;
  }
  auto face = Face(slider);
  EXPECT_EQ(face->Width(), 5);
}

TEST_F(VxSliderTest, ImagesGivenByTheUserAreMarkedAndNoneBringsTheDefaultBack) {
  auto thumb = controlstest::Solid(20, 10, 0x00FF00);
  slider->SetOptions(TSliderOptions{soThumbOpaque, soRulerOpaque});
  slider->SetImageHThumb(thumb.get());
  EXPECT_EQ(slider->UserImages(), 1);
  EXPECT_EQ(slider->ThumbRect().right - slider->ThumbRect().left, 10);
  slider->SetImageHThumb(nullptr);
  EXPECT_EQ(slider->UserImages(), 0);
  EXPECT_EQ(slider->ImageHThumb()->Width(), 18);
  EXPECT_EQ(slider->Options(), TSliderOptions{soRulerOpaque});
  // EdgeSize must leave a middle in the ruler picture.
  slider->SetEdgeSize(5);
  EXPECT_EQ(slider->EdgeSize(), 2);
  slider->SetEdgeSize(4);
  EXPECT_EQ(slider->EdgeSize(), 4);
}

TEST_F(VxSliderTest, ARulerPictureWithNoMiddleLeftShowsItsStartOnly) {
  // The edge size was fine for the default picture but leaves no middle in
  // an eight-pixel one; the ruler then shows the picture's start.
  ShowForm();
  slider->SetEdgeSize(4);
  auto picture = controlstest::Solid(8, 8, 0);
  for (int x = 0; x < 8; ++x)
    for (int y = 0; y < 8; ++y) controlstest::SetRgb(picture.get(), x, y, 0x202000u * (x + 1) + 1);
  slider->SetImageHRuler(picture.get());
  TBitmap* ruler = slider->Ruler();
  ASSERT_EQ(ruler->Width(), 138);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(Rgb(ruler, x, 3), Rgb(picture.get(), x, 3)) << x;
  auto face = Face(slider);
  EXPECT_EQ(face->Width(), 150);
}

TEST_F(VxSliderTest, ThePaintShowsTheParentThroughKeyedPixelsAndTheDraggedThumbState) {
  form->SetColor(clRed);
  ShowForm();
  auto face = Face(slider);
  const TRect thumb = slider->ThumbRect();
  // The default thumb's point narrows: its bottom corners are key colour.
  EXPECT_EQ(Rgb(face.get(), thumb.left, thumb.bottom - 1), 0xFF0000u);
  EXPECT_EQ(Rgb(face.get(), thumb.left + 3, thumb.top + 3), 0xC0C0C0u);
  // Beside the thumb the ruler's groove; above it the parent.
  EXPECT_EQ(Rgb(face.get(), 60, slider->RulerOrigin().y + 3), 0x000000u);
  EXPECT_EQ(Rgb(face.get(), 60, slider->RulerOrigin().y), 0xFF0000u);
  // End ticks are 5 long, the others 3.
  const int tick0 = slider->OffsetOfValue(0) + 4, tick1 = slider->OffsetOfValue(10) + 4;
  const int top = slider->PointsRect().top;
  EXPECT_NE(Rgb(face.get(), tick0, top + 4), 0xFF0000u);
  EXPECT_NE(Rgb(face.get(), tick1, top + 2), 0xFF0000u);
  EXPECT_EQ(Rgb(face.get(), tick1, top + 4), 0xFF0000u);
  // While dragged, the thumb shows its second picture.
  Press(thumb.left + 3, thumb.top + 3);
  face = Face(slider);
  Release();
  EXPECT_EQ(Rgb(face.get(), thumb.left + 3, thumb.top + 3), 0x808080u);
}

TEST_F(VxSliderTest, TheThumbShowsTheHandCursor) {
  ShowForm();
  ASSERT_NE(Screen->Cursors(crVxHand), nullptr);
  ASSERT_NE(Screen->Cursors(crVxDrag), nullptr);
  const TRect thumb = slider->ThumbRect();
  MoveTo(slider, thumb.left + 2, thumb.top + 2);
  EXPECT_EQ(win::GetCursor(), Screen->Cursors(crVxHand));
  MoveTo(slider, 100, 35);
  EXPECT_NE(win::GetCursor(), Screen->Cursors(crVxHand));
}

}  // namespace
}  // namespace controls
