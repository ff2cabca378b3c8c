// Fonts, pens, brushes and the canvas drawing through them, on bitmaps.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/forms/Graphics.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

// fontconfig keeps parts of its parsed configuration for the life of the
// process, which the leak checker of sanitizer builds reports at exit.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace forms {
namespace {

std::unique_ptr<TBitmap> WhiteBitmap(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  return b;
}

TEST(FontTest, SizeAndHeightAreOneValue) {
  struct Case {
    bool setSize;
    int value;
    int size, height;
  } cases[] = {
      {true, 8, 8, -11},    {true, 10, 10, -13}, {true, 12, 12, -16}, {false, -16, 12, -16},
      {false, 20, -15, 20}, {true, -9, -9, 12},  {false, -11, 8, -11},
  };
  for (const Case& c : cases) {
    TFont f;
    if (c.setSize)
      f.SetSize(c.value);
    else
      f.SetHeight(c.value);
    EXPECT_EQ(f.Size(), c.size) << c.value;
    EXPECT_EQ(f.Height(), c.height) << c.value;
  }
}

TEST(FontTest, HandleFollowsTheAttributes) {
  TFont f;
  f.SetName("Arial");
  f.SetHeight(-20);
  f.SetStyle({fsBold, fsItalic});
  win::LOGFONTA lf;
  ASSERT_NE(win::GetObjectA(f.Handle(), sizeof(lf), &lf), 0);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(lf.lfWeight, win::FW_BOLD);
  EXPECT_EQ(lf.lfItalic, 1);
  EXPECT_STREQ(lf.lfFaceName, "Arial");

  f.SetStyle({fsUnderline});
  ASSERT_NE(win::GetObjectA(f.Handle(), sizeof(lf), &lf), 0);
  EXPECT_EQ(lf.lfWeight, win::FW_NORMAL);
  EXPECT_EQ(lf.lfUnderline, 1);

  // A font taken over by handle reports what it was made with.
  TFont g;
  g.SetHandle(win::CreateFontA(-30, 0, 0, 0, win::FW_BOLD, 0, 0, 1, 0, 0, 0, 0, 0, "Tahoma"));
  EXPECT_EQ(g.Name(), "Tahoma");
  EXPECT_EQ(g.Height(), -30);
  EXPECT_EQ(g.Style(), (TFontStyles{fsBold, fsStrikeOut}));
}

TEST(GraphicsObjectTest, ChangeEventsFireOnRealChangesOnly) {
  int fonts = 0, pens = 0, brushes = 0;
  TFont f;
  TPen p;
  TBrush b;
  f.OnChange = [&](TObject*) { ++fonts; };
  p.OnChange = [&](TObject*) { ++pens; };
  b.OnChange = [&](TObject*) { ++brushes; };
  f.SetSize(f.Size());
  f.SetColor(f.Color());
  f.SetName(f.Name());
  p.SetColor(clBlack);
  p.SetWidth(1);
  b.SetColor(clWhite);
  EXPECT_EQ(fonts + pens + brushes, 0);
  f.SetSize(14);
  f.SetColor(clRed);
  f.SetStyle({fsBold});
  p.SetWidth(3);
  p.SetMode(pmXor);
  b.SetStyle(bsClear);
  // A colour given to a clear brush makes it solid again.
  b.SetColor(clWhite);
  EXPECT_EQ(b.Style(), bsSolid);
  EXPECT_EQ(fonts, 3);
  EXPECT_EQ(pens, 2);
  EXPECT_EQ(brushes, 2);

  TFont copy;
  copy.Assign(&f);
  EXPECT_EQ(copy.Size(), 14);
  EXPECT_EQ(copy.Color(), clRed);
  EXPECT_EQ(copy.Style(), TFontStyles{fsBold});
  EXPECT_THROW(copy.Assign(&p), rtl::EConvertError);
}

TEST(CanvasTest, ShapesUseThePenAndBrushInForceAtTheCall) {
  auto bmp = WhiteBitmap(20, 20);
  TCanvas* c = bmp->Canvas();
  c->Pen()->SetColor(clBlue);
  c->Brush()->SetColor(clRed);
  c->Rectangle(2, 2, 10, 10);
  EXPECT_EQ(c->Pixels(2, 2), clBlue);
  EXPECT_EQ(c->Pixels(9, 5), clBlue);
  EXPECT_EQ(c->Pixels(5, 5), clRed);
  EXPECT_EQ(c->Pixels(10, 10), clWhite);

  // Changing a tool the DC already holds takes effect at the next call.
  c->Brush()->SetColor(clLime);
  c->FillRect(Rect(12, 12, 16, 16));
  EXPECT_EQ(c->Pixels(12, 12), clLime);
  c->Pen()->SetStyle(psClear);
  c->Rectangle(0, 12, 6, 18);
  EXPECT_EQ(c->Pixels(0, 12), clLime);

  c->Pen()->SetStyle(psSolid);
  c->Pen()->SetColor(clBlack);
  c->MoveTo(0, 19);
  c->LineTo(5, 19);
  EXPECT_EQ(c->PenPos(), Point(5, 19));
  EXPECT_EQ(c->Pixels(4, 19), clBlack);
  EXPECT_EQ(c->Pixels(5, 19), clWhite);

  c->SetPixel(19, 0, clFuchsia);
  EXPECT_EQ(c->Pixels(19, 0), clFuchsia);
  EXPECT_EQ(c->Pixels(25, 0), static_cast<TColor>(win::CLR_INVALID));

  c->Brush()->SetColor(clBlack);
  c->FrameRect(Rect(0, 0, 4, 4));
  EXPECT_EQ(c->Pixels(0, 3), clBlack);
  EXPECT_EQ(c->Pixels(1, 1), clWhite);
}

TEST(CanvasTest, PenModeXorInvertsAndRestores) {
  auto bmp = WhiteBitmap(10, 10);
  TCanvas* c = bmp->Canvas();
  c->Brush()->SetColor(clRed);
  c->FillRect(Rect(0, 0, 10, 10));
  c->Pen()->SetColor(clWhite);
  c->Pen()->SetMode(pmXor);
  c->MoveTo(0, 5);
  c->LineTo(10, 5);
  EXPECT_EQ(c->Pixels(3, 5), clAqua);
  c->MoveTo(0, 5);
  c->LineTo(10, 5);
  EXPECT_EQ(c->Pixels(3, 5), clRed);
}

TEST(CanvasTest, ClearBrushMakesTextTransparent) {
  auto inked = [](TBrushStyle style) {
    auto bmp = WhiteBitmap(60, 30);
    TCanvas* c = bmp->Canvas();
    c->Font()->SetColor(clBlack);
    c->Brush()->SetColor(clYellow);
    c->Brush()->SetStyle(style);
    c->TextOut(2, 2, "Hi");
    int black = 0, yellow = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 60; ++x) {
        black += c->Pixels(x, y) == clBlack;
        yellow += c->Pixels(x, y) == clYellow;
      }
    return std::pair{black, yellow};
  };
  const auto [solidInk, solidBack] = inked(bsSolid);
  const auto [clearInk, clearBack] = inked(bsClear);
  EXPECT_GT(solidInk, 0);
  EXPECT_GT(solidBack, 0);
  EXPECT_GT(clearInk, 0);
  EXPECT_EQ(clearBack, 0);
}

TEST(CanvasTest, TextMeasuresFollowTheFont) {
  auto bmp = WhiteBitmap(10, 10);
  TCanvas* c = bmp->Canvas();
  const int small = c->TextHeight("Wg");
  const int narrow = c->TextWidth("iii");
  EXPECT_GT(c->TextWidth("WWW"), narrow);
  EXPECT_EQ(c->TextExtent("Wg").cy, small);
  c->Font()->SetHeight(-30);
  EXPECT_GT(c->TextHeight("Wg"), small * 2);
  EXPECT_EQ(c->TextWidth(""), 0);

  // TextOut leaves the pen after the text.
  c->TextOut(1, 2, "iii");
  EXPECT_EQ(c->PenPos(), Point(1 + c->TextWidth("iii"), 2));
}

TEST(CanvasTest, TextRectClipsAndFormats) {
  auto bmp = WhiteBitmap(80, 30);
  TCanvas* c = bmp->Canvas();
  c->Font()->SetColor(clBlack);
  c->Brush()->SetStyle(bsClear);
  TRect r = Rect(0, 0, 80, 30);
  String text = "Ab";
  c->TextRect(r, text, {tfSingleLine, tfRight, tfVerticalCenter});
  int minX = 80;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 80; ++x)
      if (c->Pixels(x, y) != clWhite) minX = std::min(minX, x);
  EXPECT_GT(minX, 80 - c->TextWidth("Ab") - 2);

  TRect calc = Rect(0, 0, 0, 0);
  c->TextRect(calc, text, {tfCalcRect, tfSingleLine});
  EXPECT_EQ(calc.right, c->TextWidth("Ab"));
  EXPECT_EQ(calc.bottom, c->TextHeight("Ab"));

  // The clipped form paints nothing outside its rectangle.
  auto other = WhiteBitmap(80, 30);
  TCanvas* o = other->Canvas();
  o->Font()->SetColor(clBlack);
  o->TextRect(Rect(0, 0, 4, 30), 0, 0, "WWWW");
  for (int y = 0; y < 30; ++y)
    for (int x = 4; x < 80; ++x) ASSERT_EQ(o->Pixels(x, y), clWhite) << x << "," << y;
}

TEST(CanvasTest, GivenHandleGetsStockObjectsBackOnRelease) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  win::HBITMAP bm = win::CreateBitmap(8, 8, 1, 32, nullptr);
  win::HGDIOBJ old = win::SelectObject(dc, bm);
  {
    TCanvas c;
    EXPECT_THROW(c.MoveTo(0, 0), EInvalidOperation);
    c.SetHandle(dc);
    c.Brush()->SetColor(clRed);
    c.Rectangle(0, 0, 8, 8);
    EXPECT_NE(win::GetCurrentObject(dc, win::OBJ_BRUSH), win::GetStockObject(win::HOLLOW_BRUSH));
    c.SetHandle(nullptr);
    EXPECT_EQ(win::GetCurrentObject(dc, win::OBJ_BRUSH), win::GetStockObject(win::HOLLOW_BRUSH));
    EXPECT_EQ(win::GetCurrentObject(dc, win::OBJ_PEN), win::GetStockObject(win::BLACK_PEN));
    EXPECT_EQ(win::GetPixel(dc, 4, 4), win::RGB(255, 0, 0));
  }
  win::SelectObject(dc, old);
  win::DeleteObject(bm);
  win::DeleteDC(dc);
}

TEST(CanvasTest, ChangeEventsBracketEveryDrawingCall) {
  // Drawing on a bitmap's canvas changes the bitmap.
  auto bmp = WhiteBitmap(10, 10);
  int bitmapChanges = 0;
  bmp->OnChange = [&](TObject*) { ++bitmapChanges; };
  bmp->Canvas()->SetPixel(1, 1, clRed);
  bmp->Canvas()->FillRect(Rect(0, 0, 2, 2));
  EXPECT_EQ(bitmapChanges, 2);

  TCanvas* c = bmp->Canvas();
  std::string log;
  c->OnChanging = [&](TObject*) { log += '<'; };
  c->OnChange = [&](TObject*) { log += '>'; };
  c->FillRect(Rect(0, 0, 2, 2));
  c->LineTo(3, 3);
  EXPECT_EQ(log, "<><>");
}

TEST(CanvasTest, CopyRectUsesTheCopyMode) {
  auto src = WhiteBitmap(4, 4);
  src->Canvas()->Brush()->SetColor(clRed);
  src->Canvas()->FillRect(Rect(0, 0, 2, 4));
  auto dst = WhiteBitmap(8, 4);
  dst->Canvas()->CopyRect(Rect(0, 0, 8, 4), src->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(dst->Canvas()->Pixels(3, 1), clRed);
  EXPECT_EQ(dst->Canvas()->Pixels(4, 1), clWhite);
  dst->Canvas()->SetCopyMode(cmNotSrcCopy);
  dst->Canvas()->CopyRect(Rect(0, 0, 4, 4), src->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(dst->Canvas()->Pixels(0, 0), clAqua);
  EXPECT_EQ(dst->Canvas()->Pixels(3, 0), clBlack);
}

TEST(CanvasTest, BrushCopyReplacesOneColourWithTheBrush) {
  auto src = WhiteBitmap(4, 2);
  src->Canvas()->SetPixel(1, 0, clRed);
  src->Canvas()->SetPixel(2, 1, clBlue);
  auto dst = WhiteBitmap(4, 2);
  dst->Canvas()->Brush()->SetColor(clLime);
  dst->Canvas()->BrushCopy(Rect(0, 0, 4, 2), src.get(), Rect(0, 0, 4, 2), clWhite);
  EXPECT_EQ(dst->Canvas()->Pixels(0, 0), clLime);
  EXPECT_EQ(dst->Canvas()->Pixels(1, 0), clRed);
  EXPECT_EQ(dst->Canvas()->Pixels(2, 1), clBlue);
  EXPECT_EQ(dst->Canvas()->Pixels(3, 1), clLime);
}

TEST(CanvasTest, PolygonFillsWithTheBrushInsideThePen) {
  auto bmp = WhiteBitmap(12, 12);
  TCanvas* c = bmp->Canvas();
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clRed);
  c->Polygon({Point(1, 1), Point(10, 1), Point(10, 10), Point(1, 10)});
  EXPECT_EQ(c->Pixels(1, 1), clBlack);
  EXPECT_EQ(c->Pixels(5, 5), clRed);
  EXPECT_EQ(c->Pixels(10, 10), clBlack);
  EXPECT_EQ(c->Pixels(11, 11), clWhite);
  c->Brush()->SetStyle(bsClear);
  c->Ellipse(0, 0, 12, 12);
  EXPECT_EQ(c->Pixels(5, 5), clRed);
}

TEST(CanvasTest, ClipRectIsTheDrawableArea) {
  auto bmp = WhiteBitmap(30, 20);
  EXPECT_EQ(bmp->Canvas()->ClipRect(), Rect(0, 0, 30, 20));
}

TEST(CanvasLockTest, ReentrantForTheOwnerAndExclusiveAcrossThreads) {
  TCanvas c;
  c.Lock();
  c.Lock();
  EXPECT_EQ(c.LockCount(), 2);

  std::atomic<bool> tried{false}, tryResult{true}, entered{false};
  std::thread worker([&] {
    tryResult = c.TryLock();
    tried = true;
    c.Lock();
    entered = true;
    c.Unlock();
  });
  // The worker counts itself in before it waits for the lock.
  while (!tried || c.LockCount() < 3) std::this_thread::yield();
  EXPECT_FALSE(tryResult);
  EXPECT_FALSE(entered);
  c.Unlock();
  EXPECT_FALSE(entered);
  c.Unlock();
  worker.join();
  EXPECT_TRUE(entered);
  EXPECT_EQ(c.LockCount(), 0);
  EXPECT_TRUE(c.TryLock());
  EXPECT_EQ(c.LockCount(), 1);
  c.Unlock();
}

}  // namespace
}  // namespace forms
