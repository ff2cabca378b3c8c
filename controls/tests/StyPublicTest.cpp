#include "controls/sty/STYPublic.h"

#include <gtest/gtest.h>

#include <vector>

#include "controls/sty/STYComboBox.h"
#include "controls/sty/STYEdit.h"
#include "controls/sty/STYForm.h"
#include "controls/sty/STYMgr.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace controls;
using namespace forms;

namespace {

// A bitmap from rows of colours.
void Fill(TBitmap& b, const std::vector<std::vector<TColor>>& rows) {
  b.SetPixelFormat(pf24bit);
  b.SetSize(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      b.Canvas()->SetPixel(static_cast<int>(x), static_cast<int>(y), rows[y][x]);
    }
}

class StyRegion : public formstest::FormsFixture {
protected:
  // The region the helper gives a fresh window for `rows` and key.
  win::HRGN RegionFor(const std::vector<std::vector<TColor>>& rows, TColor key) {
    TBitmap b;
    Fill(b, rows);
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 50, 50);
    CreateRegionFromBitmap(form->Handle(), &b, key);
    win::HRGN rgn = win::CreateRectRgn(0, 0, 0, 0);
    win::GetWindowRgn(form->Handle(), rgn);
    return rgn;
  }
  TForm* form = nullptr;
};

TEST_F(StyRegion, RunsOfNonKeyPixelsRowByRow) {
  const TColor k = clFuchsia, o = clNavy, p = clSystemColor | 5;
  struct Case {
    const char* what;
    std::vector<std::vector<TColor>> rows;
    TColor key;
    std::vector<win::RECT> expected;
  };
  const Case cases[] = {
      {"a run reaching the right edge is kept", {{k, o, o}}, k, {{1, 0, 3, 1}}},
      {"all key: empty", {{k, k}, {k, k}}, k, {}},
      {"no key: every row whole", {{o, o, o}, {o, o, o}}, k, {{0, 0, 3, 2}}},
      {"runs split by key pixels", {{o, k, o, o}, {k, o, k, k}}, k, {{0, 0, 1, 1}, {2, 0, 4, 1}, {1, 1, 2, 2}}},
      {"a system-colour key matches nothing", {{o, k}}, p, {{0, 0, 2, 1}}},
      {"not even its own colour", {{static_cast<TColor>(ColorToRGB(p)), o}}, p, {{0, 0, 2, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    win::HRGN got = RegionFor(c.rows, c.key);
    win::HRGN want = win::CreateRectRgn(0, 0, 0, 0);
    for (const win::RECT& r : c.expected) {
      win::HRGN one = win::CreateRectRgnIndirect(&r);
      win::CombineRgn(want, want, one, win::RGN_OR);
      win::DeleteObject(one);
    }
    EXPECT_TRUE(win::EqualRgn(got, want));
    win::DeleteObject(got);
    win::DeleteObject(want);
    delete form;
  }
}

TEST(StyPublic, InRectCountsAllFourEdges) {
  const TRect r = Rect(10, 20, 30, 40);
  struct Case {
    int x, y;
    bool in;
  };
  for (Case c : {Case{10, 20, true}, Case{30, 40, true}, Case{30, 20, true}, Case{10, 40, true}, Case{9, 25, false},
                 Case{31, 25, false}, Case{15, 41, false}, Case{15, 19, false}}) {
    EXPECT_EQ(InRect(c.x, c.y, r), c.in) << c.x << "," << c.y;
    EXPECT_EQ(PointInRect(Point(c.x, c.y), r), c.in);
  }
}

TEST(StyPublic, CopyBitmapSliceTakesEqualSlicesAndDropsTheRest) {
  TBitmap source;
  source.SetPixelFormat(pf24bit);
  source.SetSize(100, 2);
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 2; ++y) source.Canvas()->SetPixel(x, y, x | (y << 8));
  TBitmap dest;
  CopyBitmapSlice(&source, &dest, 3, 3);
  ASSERT_EQ(dest.Width(), 33);
  ASSERT_EQ(dest.Height(), 2);
  EXPECT_EQ(dest.Canvas()->Pixels(0, 0), 66);
  EXPECT_EQ(dest.Canvas()->Pixels(32, 1), 98 | (1 << 8));
  CopyBitmapSlice(&source, &dest, 3, 1);
  EXPECT_EQ(dest.Canvas()->Pixels(0, 0), 0);
  EXPECT_EQ(dest.Canvas()->Pixels(32, 0), 32);
}

TEST(StyPublic, RotateBitmap180TurnsEveryPixel) {
  TBitmap b;
  Fill(b, {{clRed, clGreen, clBlue}, {clWhite, clBlack, clYellow}});
  RotateBitmap180(&b);
  const std::vector<std::vector<TColor>> want{{clYellow, clBlack, clWhite}, {clBlue, clGreen, clRed}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b.Canvas()->Pixels(x, y), want[y][x]) << x << "," << y;
}

TEST(StyPublic, TilePictureStartsAtTheOriginWhateverTheRectangle) {
  TBitmap tile;
  tile.SetPixelFormat(pf24bit);
  tile.SetSize(16, 16);
  tile.Canvas()->Brush()->SetColor(clBlue);
  tile.Canvas()->FillRect(Rect(0, 0, 16, 16));
  tile.Canvas()->SetPixel(0, 0, clRed);
  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(40, 20);
  canvas.Canvas()->Brush()->SetColor(clWhite);
  canvas.Canvas()->FillRect(Rect(0, 0, 40, 20));
  TilePicture(canvas.Canvas(), &tile, Rect(5, 5, 45, 25));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 40; ++x) {
      const bool origin = x % 16 == 0 && y % 16 == 0;
      ASSERT_EQ(canvas.Canvas()->Pixels(x, y), origin ? clRed : clBlue) << x << "," << y;
    }
  }
}

TEST(StyPublic, SlicedBitmapDrawsEndsAndStretchesTheMiddleOverTheKey) {
  // Three 4-pixel slices: red, green, blue; the bottom-left pixel (the
  // sampled key) is fuchsia-free grey in the left slice.
  TBitmap b;
  const TColor g = clGray, f = clFuchsia;
  Fill(b, {{clRed, clRed, clRed, f, clGreen, clGreen, clGreen, clGreen, clBlue, clBlue, clBlue, clBlue},
           {g, clRed, clRed, clRed, clGreen, clGreen, clGreen, clGreen, clBlue, clBlue, clBlue, f}});
  for (bool sampled : {false, true}) {
    SCOPED_TRACE(sampled ? "sampled key" : "fuchsia key");
    TBitmap out;
    out.SetPixelFormat(pf24bit);
    out.SetSize(30, 2);
    out.Canvas()->Brush()->SetColor(clWhite);
    out.Canvas()->FillRect(Rect(0, 0, 30, 2));
    DrawSlicedBitmap(&b, out.Canvas(), Rect(0, 0, 30, 2), sampled, false);
    TCanvas* c = out.Canvas();
    EXPECT_EQ(c->Pixels(3, 0), sampled ? clFuchsia : clWhite);
    EXPECT_EQ(c->Pixels(0, 1), sampled ? clWhite : clGray);
    EXPECT_EQ(c->Pixels(1, 0), clRed);
    EXPECT_EQ(c->Pixels(4, 0), clGreen);
    EXPECT_EQ(c->Pixels(25, 0), clGreen);
    EXPECT_EQ(c->Pixels(26, 0), clBlue);
    EXPECT_EQ(c->Pixels(29, 1), sampled ? clFuchsia : clWhite);
  }
}

TEST(StyPublic, SetControlRectSetsLeftTopWidthHeight) {
  TPanel panel(nullptr);
  SetControlRect(&panel, Rect(5, 6, 25, 46));
  EXPECT_EQ(panel.BoundsRect(), Rect(5, 6, 25, 46));
}

TEST(StyPublic, ComboInfoOnASystemWithoutItIsLookedUpOnceAndAlwaysFails) {
  int lookups = 0;
  auto old = SetSystemFunctionResolver([&](const char*) -> void* {
    ++lookups;
    return nullptr;
  });
  win::COMBOBOXINFO info;
  info.cbSize = sizeof(info);
  EXPECT_FALSE(CallGetComboBoxInfo(nullptr, &info));
  EXPECT_FALSE(CallGetComboBoxInfo(nullptr, &info));
  EXPECT_EQ(lookups, 1);
  SetSystemFunctionResolver(old);
}

}  // namespace

namespace {

class StyPublicWindows : public formstest::FormsFixture {
protected:
  void TearDown() override {
    win::SetMonitorLayout({});
    FormsFixture::TearDown();
  }
};

TEST_F(StyPublicWindows, WorkAreaIsTheMainFormsMonitorsElseTheSystems) {
  win::SetMonitorLayout({{{0, 0, 800, 600}, {0, 0, 800, 570}}, {{800, 0, 1824, 768}, {830, 0, 1824, 768}}});
  TRect r{};
  GetWorkAreaRect(r);
  EXPECT_EQ(r, Rect(0, 0, 800, 570)) << "no main form";
  auto* main = new TForm(nullptr);
  main->SetBounds(1000, 100, 200, 100);
  Application->SetMainForm(main);
  GetWorkAreaRect(r);
  EXPECT_EQ(r, Rect(830, 0, 1824, 768));
}

TEST_F(StyPublicWindows, FormActivityWithAndWithoutAMainForm) {
  auto* a = new TForm(nullptr);
  auto* b = new TForm(nullptr);
  a->SetBounds(10, 10, 100, 80);
  b->SetBounds(200, 10, 100, 80);
  a->Show();
  b->Show();
  b->SetFocus();
  Pump();
  ASSERT_TRUE(b->Active());
  EXPECT_FALSE(IsFormActive(a)) << "no main form: the form's own flag";
  EXPECT_TRUE(IsFormActive(b));
  Application->SetMainForm(a);
  ASSERT_TRUE(Application->Active());
  EXPECT_TRUE(IsFormActive(a)) << "the main form counts as active while the program is";
  EXPECT_TRUE(IsFormActive(nullptr));
  EXPECT_TRUE(IsFormActive(b));
  a->SetFocus();
  Pump();
  EXPECT_FALSE(IsFormActive(b));
}

TEST_F(StyPublicWindows, ParentBackgroundPaintsNothingWithoutAParent) {
  TPanel orphan(nullptr);
  orphan.SetBounds(5, 5, 10, 10);
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 4);
  b.Canvas()->Brush()->SetColor(clLime);
  b.Canvas()->FillRect(Rect(0, 0, 4, 4));
  DrawParentBackground(b.Canvas(), &orphan);
  EXPECT_EQ(b.Canvas()->Pixels(2, 2), clLime);
}

}  // namespace

namespace {

class StyChildrenStyle : public formstest::FormsFixture {};

TEST_F(StyChildrenStyle, OnlyTheFramesDirectStyledChildrenTakeTheStyleAndTheme) {
  auto* form = new TForm(nullptr);
  auto* frame = new TstyForm(form);
  frame->SetParent(form);
  auto* edit = new TstyEdit(form);
  edit->SetParent(frame);
  auto* combo = new TstyComboBox(form);
  combo->SetParent(frame);
  auto* panel = new TPanel(form);
  panel->SetParent(frame);
  auto* nested = new TstyEdit(form);
  nested->SetParent(panel);
  TstyFileTheme theme(nullptr);
  SetChildrenUIStyle(frame, WinXP, &theme);
  EXPECT_EQ(edit->UIStyle(), WinXP);
  EXPECT_EQ(edit->FileTheme(), &theme);
  EXPECT_EQ(edit->BorderColor(), 0x00686868);
  EXPECT_EQ(combo->UIStyle(), WinXP);
  EXPECT_EQ(combo->FileTheme(), &theme);
  EXPECT_EQ(combo->ButtonColor(), 0x00DEEBEF);
  EXPECT_EQ(nested->UIStyle(), DeepBlue) << "not a direct child";
  EXPECT_EQ(nested->FileTheme(), nullptr);
  // The controls go first; the theme must not tell them of its end later.
  delete form;
}

}  // namespace
