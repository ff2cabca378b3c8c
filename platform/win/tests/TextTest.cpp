#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/win/Font.h"
#include "platform/win/PenBrush.h"
#include "platform/win/tests/GdiTestUtil.h"

namespace {

using namespace win;
using gditest::Canvas;

HFONT MakeFont(const char* face, int height, int weight = FW_NORMAL, int escapement = 0, bool underline = false) {
  LOGFONTA lf;
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfEscapement = escapement;
  lf.lfUnderline = underline;
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirectA(&lf);
}

// The bounding box of every pixel that is not the background.
RECT Ink(const Canvas& c, int w, int h, uint32_t background = 0xFFFFFF) {
  RECT r{w, h, 0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((c.At(x, y) & 0xFFFFFF) != background) {
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
      }
  return r;
}

bool SamePixels(const Canvas& a, const Canvas& b, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

TEST(Fonts, SubstitutionTableResolvesToShippedFonts) {
  struct Case {
    const char* face;
    bool bold;
    const char* file;
  } cases[] = {
      {"Arial", false, "LiberationSans-Regular.ttf"},
      {"arial", true, "LiberationSans-Bold.ttf"},
      {"MS Sans Serif", false, "LiberationSans-Regular.ttf"},
      {"Tahoma", false, "DejaVuSans.ttf"},
      {"Tahoma", true, "DejaVuSans-Bold.ttf"},
      {"Courier New", false, "LiberationMono-Regular.ttf"},
      {"No Such Face 123", false, "DejaVuSans.ttf"},
      {"", false, "DejaVuSans.ttf"},
  };
  for (const auto& c : cases) {
    const std::string file = ResolveFontFile(c.face, c.bold, false);
    EXPECT_EQ(file.substr(file.rfind('/') + 1), c.file) << c.face;
  }
}

TEST(Fonts, HeightsInPixelsAndCells) {
  Canvas canvas(4, 4);
  for (int h : {8, 11, 13, 16, 20, 27, 40}) {
    for (int sign : {-1, 1}) {
      HFONT f = MakeFont("Arial", sign * h);
      HGDIOBJ old = SelectObject(canvas.dc(), f);
      TEXTMETRICW tm;
      ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
      EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
      if (sign > 0) {
        EXPECT_EQ(tm.tmHeight, h) << "cell height " << h;
      }
      // A character height is the em: the cell minus the internal leading.
      if (sign < 0) {
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, h) << "char height " << h;
      }
      EXPECT_GT(tm.tmAveCharWidth, 0);
      EXPECT_EQ(tm.tmPitchAndFamily & 1, 1);  // variable pitch
      SelectObject(canvas.dc(), old);
      DeleteObject(f);
    }
  }
  // Bold is heavier and wider.
  HFONT regular = MakeFont("Tahoma", -13), bold = MakeFont("Tahoma", -13, FW_BOLD);
  SIZE a, b;
  SelectObject(canvas.dc(), regular);
  GetTextExtentPoint32A(canvas.dc(), "Weight", 6, &a);
  SelectObject(canvas.dc(), bold);
  GetTextExtentPoint32A(canvas.dc(), "Weight", 6, &b);
  EXPECT_GT(b.cx, a.cx);
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(regular);
  DeleteObject(bold);
}

TEST(Text, ExtentAgreesWithWhatIsDrawn) {
  for (const char* face : {"Arial", "Tahoma", "MS Sans Serif", "Courier New"}) {
    Canvas canvas(200, 40);
    HFONT f = MakeFont(face, -16);
    SelectObject(canvas.dc(), f);
    SetBkMode(canvas.dc(), TRANSPARENT);
    const char* text = "Hxg Quick 123";
    SIZE size;
    ASSERT_TRUE(GetTextExtentPoint32A(canvas.dc(), text, 13, &size));
    TextOutA(canvas.dc(), 10, 5, text, 13);
    const RECT ink = Ink(canvas, 200, 40);
    EXPECT_GE(ink.left, 10) << face;
    EXPECT_LE(ink.left, 12) << face;
    EXPECT_LE(ink.right, 10 + size.cx + 1) << face;
    EXPECT_GE(ink.right, 10 + size.cx - 4) << face;
    EXPECT_GE(ink.top, 5) << face;
    EXPECT_LE(ink.bottom, 5 + size.cy) << face;
    EXPECT_GE(ink.bottom, 5 + size.cy - 5) << face;  // the descender of g
    // Opaque mode fills exactly the cell.
    canvas.Fill(RGB(255, 255, 255));
    SetBkMode(canvas.dc(), OPAQUE);
    SetBkColor(canvas.dc(), RGB(0, 0, 255));
    TextOutA(canvas.dc(), 10, 5, text, 13);
    EXPECT_EQ(Ink(canvas, 200, 40).left, 10);
    const RECT box = Ink(canvas, 200, 40);
    EXPECT_EQ(box, (RECT{10, 5, 10 + size.cx, 5 + size.cy})) << face;
    SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
    DeleteObject(f);
  }
}

TEST(Text, AlignmentAndCurrentPosition) {
  Canvas canvas(120, 30);
  HFONT f = MakeFont("Arial", -14);
  SelectObject(canvas.dc(), f);
  SIZE size;
  GetTextExtentPoint32A(canvas.dc(), "MMM", 3, &size);
  SetBkColor(canvas.dc(), RGB(0, 0, 255));
  SetTextAlign(canvas.dc(), TA_RIGHT | TA_BOTTOM);
  TextOutA(canvas.dc(), 100, 25, "MMM", 3);
  EXPECT_EQ(Ink(canvas, 120, 30), (RECT{100 - size.cx, 25 - size.cy, 100, 25}));
  canvas.Fill(RGB(255, 255, 255));
  SetTextAlign(canvas.dc(), TA_UPDATECP);
  MoveToEx(canvas.dc(), 3, 0, nullptr);
  TextOutA(canvas.dc(), 50, 50, "MMM", 3);  // coordinates ignored
  POINT pos;
  GetCurrentPositionEx(canvas.dc(), &pos);
  EXPECT_EQ(pos, (POINT{3 + size.cx, 0}));
  EXPECT_EQ(Ink(canvas, 120, 30).left, 3);
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
}

TEST(Text, ExtTextOutOpaqueRectangleAndClip) {
  Canvas canvas(60, 20);
  HFONT f = MakeFont("Arial", -14);
  SelectObject(canvas.dc(), f);
  SetBkMode(canvas.dc(), TRANSPARENT);
  SetBkColor(canvas.dc(), RGB(0, 255, 0));
  const RECT r{5, 2, 20, 18};
  ExtTextOutA(canvas.dc(), 0, 0, ETO_OPAQUE | ETO_CLIPPED, &r, "WWWWWWWW", 8, nullptr);
  EXPECT_EQ(Ink(canvas, 60, 20), r);
  EXPECT_EQ(GetPixel(canvas.dc(), 5, 17), RGB(0, 255, 0));
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
}

TEST(Text, EscapementRotatesTheRun) {
  Canvas canvas(60, 120);
  HFONT f = MakeFont("Arial", -16, FW_NORMAL, 2700);  // reads downwards
  SelectObject(canvas.dc(), f);
  SetBkMode(canvas.dc(), TRANSPARENT);
  TextOutA(canvas.dc(), 40, 10, "Rotated", 7);
  const RECT ink = Ink(canvas, 60, 120);
  EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));
  EXPECT_GE(ink.top, 10);
  EXPECT_LE(ink.right, 40);  // the ascent lies left of the reference point
  SelectObject(canvas.dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
}

// One font drawn from two threads at once, each into its own DC: the
// shared glyph cache gives both the same pixels.
TEST(Text, SharedFontFromTwoThreads) {
  HFONT f = MakeFont("Arial", -15);
  auto draw = [&](Canvas* c) {
    SelectObject(c->dc(), f);
    for (int i = 0; i < 20; ++i) TextOutA(c->dc(), 0, 0, "Threads share glyphs 0123456789", 31);
  };
  Canvas a(260, 20), b(260, 20);
  std::thread t1(draw, &a), t2(draw, &b);
  t1.join();
  t2.join();
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 260; ++x) ASSERT_EQ(a.At(x, y), b.At(x, y)) << x << "," << y;
  SelectObject(a.dc(), GetStockObject(SYSTEM_FONT));
  SelectObject(b.dc(), GetStockObject(SYSTEM_FONT));
  DeleteObject(f);
}

class DrawTextTest : public ::testing::Test {
protected:
  void SetUp() override { font_ = MakeFont("Tahoma", -13); }
  void TearDown() override { DeleteObject(font_); }
  void Prepare(Canvas& c) {
    SelectObject(c.dc(), font_);
    SetBkMode(c.dc(), TRANSPARENT);
  }
  HFONT font_ = nullptr;
};

TEST_F(DrawTextTest, CalcRectMatchesDrawnBounds) {
  const char* text = "The quick brown fox jumps over the lazy dog";
  Canvas canvas(200, 200);
  Prepare(canvas);
  RECT calc{10, 10, 90, 10};
  const int h = DrawTextA(canvas.dc(), text, -1, &calc, DT_WORDBREAK | DT_CALCRECT);
  TEXTMETRICW tm;
  GetTextMetricsW(canvas.dc(), &tm);
  EXPECT_EQ(h % tm.tmHeight, 0);
  EXPECT_GE(h / tm.tmHeight, 3);
  EXPECT_EQ(calc.bottom - calc.top, h);
  EXPECT_LE(calc.right, 90);
  RECT draw{10, 10, 90, 200};
  EXPECT_EQ(DrawTextA(canvas.dc(), text, -1, &draw, DT_WORDBREAK), h);
  const RECT ink = Ink(canvas, 200, 200);
  EXPECT_GE(ink.left, calc.left);
  EXPECT_LE(ink.right, calc.right + 1);
  EXPECT_GE(ink.bottom, calc.bottom - tm.tmDescent - 2);
  EXPECT_LE(ink.bottom, calc.bottom);
  // Single line: the width is the run's extent.
  RECT one{0, 0, 0, 0};
  DrawTextA(canvas.dc(), "Single", -1, &one, DT_SINGLELINE | DT_CALCRECT);
  SIZE size;
  GetTextExtentPoint32A(canvas.dc(), "Single", 6, &size);
  EXPECT_EQ(one, (RECT{0, 0, size.cx, size.cy}));
}

TEST_F(DrawTextTest, LineBreaksAlignmentAndVerticalCentre) {
  Canvas canvas(100, 60);
  Prepare(canvas);
  TEXTMETRICW tm;
  GetTextMetricsW(canvas.dc(), &tm);
  RECT r{0, 0, 100, 60};
  EXPECT_EQ(DrawTextA(canvas.dc(), "a\r\nb\nc", -1, &r, DT_LEFT), 3 * tm.tmHeight);
  struct Breaks {
    const char* text;
    int lines;
  } breaks[] = {{"a\n\rb", 2}, {"a\n\nb", 3}, {"a\r\rb", 3}, {"a\n", 2}};
  for (const auto& b : breaks) {
    RECT calc{0, 0, 100, 0};
    EXPECT_EQ(DrawTextA(canvas.dc(), b.text, -1, &calc, DT_CALCRECT), b.lines * tm.tmHeight) << b.text;
  }
  // On one line the breaks show as spaces.
  RECT one{0, 0, 0, 0}, spaced{0, 0, 0, 0};
  DrawTextA(canvas.dc(), "a\r\nb", -1, &one, DT_SINGLELINE | DT_CALCRECT);
  DrawTextA(canvas.dc(), "a  b", -1, &spaced, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(one, spaced);
  canvas.Fill(RGB(255, 255, 255));
  SIZE size;
  GetTextExtentPoint32A(canvas.dc(), "Mid", 3, &size);
  const int offset = DrawTextA(canvas.dc(), "Mid", -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  const int top = (60 - tm.tmHeight) / 2;
  EXPECT_EQ(offset, top + tm.tmHeight);
  const RECT ink = Ink(canvas, 100, 60);
  EXPECT_GE(ink.left, (100 - size.cx) / 2);
  EXPECT_LE(ink.right, (100 - size.cx) / 2 + size.cx + 1);
  EXPECT_GE(ink.top, top);
  EXPECT_LE(ink.bottom, top + tm.tmHeight);
  // Right alignment ends at the right edge.
  canvas.Fill(RGB(255, 255, 255));
  DrawTextA(canvas.dc(), "Mid", -1, &r, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
  EXPECT_LE(Ink(canvas, 100, 60).right, 100);
  EXPECT_GE(Ink(canvas, 100, 60).right, 100 - 3);
  EXPECT_LE(Ink(canvas, 100, 60).bottom, 60);
}

// An ellipsis leaves the longest head that fits, then "...", drawn exactly
// as that shorter text would be.
TEST_F(DrawTextTest, EllipsesMatchTheShortenedText) {
  Canvas probe(1, 1);
  Prepare(probe);
  const std::string text = "Alarm recording from camera one";
  auto width = [&](const std::string& s) {
    SIZE size;
    GetTextExtentPoint32A(probe.dc(), s.c_str(), static_cast<int>(s.size()), &size);
    return size.cx;
  };
  const int box = width("Alarm recording") + 2;
  std::string expectEnd;
  for (size_t n = text.size(); n-- > 0;)
    if (width(text.substr(0, n) + "...") <= box) {
      expectEnd = text.substr(0, n) + "...";
      break;
    }
  const std::string path = "/home/user/Videos/capture/clip0001.avi";
  const int pathBox = width("/home/.../clip0001.avi") + 1;
  struct Case {
    std::string text;
    UINT format;
    int box;
    std::string expect;
  } cases[] = {
      {text, DT_END_ELLIPSIS, box, expectEnd},
      {text, DT_WORD_ELLIPSIS, box, "Alarm..."},
      {path, DT_PATH_ELLIPSIS, pathBox, ""},
      {"Short", DT_END_ELLIPSIS, box, "Short"},
  };
  for (const auto& c : cases) {
    Canvas a(220, 20), b(220, 20);
    Prepare(a);
    Prepare(b);
    RECT r{0, 0, c.box, 20};
    DrawTextA(a.dc(), c.text.c_str(), -1, &r, DT_SINGLELINE | DT_NOPREFIX | c.format);
    EXPECT_LE(Ink(a, 220, 20).right, c.box) << c.text;
    if (!c.expect.empty()) {
      RECT wide{0, 0, 220, 20};
      DrawTextA(b.dc(), c.expect.c_str(), -1, &wide, DT_SINGLELINE | DT_NOPREFIX);
      EXPECT_TRUE(SamePixels(a, b, 220, 20)) << c.text << " -> " << c.expect;
    } else {
      // The file name survives whole at the end.
      RECT tail{0, 0, 220, 20};
      const std::string file = "/clip0001.avi";
      DrawTextA(b.dc(), file.c_str(), -1, &tail, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
      EXPECT_GE(Ink(a, 220, 20).right, c.box - tail.right - 1 + tail.right - 3);
    }
  }
}

TEST_F(DrawTextTest, PrefixesUnderlineHideAndEscape) {
  auto draw = [&](const char* text, UINT format) {
    auto c = std::make_unique<Canvas>(80, 20);
    Prepare(*c);
    RECT r{0, 0, 80, 20};
    DrawTextA(c->dc(), text, -1, &r, DT_SINGLELINE | format);
    return c;
  };
  auto plain = draw("File", DT_NOPREFIX);
  auto marked = draw("&File", 0);
  auto hidden = draw("&File", DT_HIDEPREFIX);
  auto only = draw("&File", DT_PREFIXONLY);
  auto escaped = draw("A&&B", 0);
  auto literal = draw("A&B", DT_NOPREFIX);
  EXPECT_TRUE(SamePixels(*plain, *hidden, 80, 20));
  EXPECT_TRUE(SamePixels(*escaped, *literal, 80, 20));
  EXPECT_FALSE(SamePixels(*plain, *marked, 80, 20));
  // The underline sits under "F" only, below the baseline.
  Canvas probe(1, 1);
  Prepare(probe);
  SIZE f;
  GetTextExtentPoint32A(probe.dc(), "F", 1, &f);
  TEXTMETRICW tm;
  GetTextMetricsW(probe.dc(), &tm);
  const RECT underline = Ink(*only, 80, 20);
  EXPECT_EQ(underline, (RECT{0, tm.tmAscent + 1, f.cx, tm.tmAscent + 2}));
}

TEST_F(DrawTextTest, TabsExpandToStops) {
  Canvas canvas(200, 20);
  Prepare(canvas);
  TEXTMETRICW tm;
  GetTextMetricsW(canvas.dc(), &tm);
  RECT r{0, 0, 0, 0};
  DrawTextA(canvas.dc(), "a\tb", -1, &r, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
  SIZE b;
  GetTextExtentPoint32A(canvas.dc(), "b", 1, &b);
  EXPECT_EQ(r.right, 8 * tm.tmAveCharWidth + b.cx);
  // Four-character stops (the count rides in the format's second byte, so
  // it cannot be combined with DT_CALCRECT): the same pixels as placing "b"
  // by hand.
  RECT wide{0, 0, 200, 20};
  DrawTextA(canvas.dc(), "a\tb", -1, &wide, DT_SINGLELINE | DT_EXPANDTABS | DT_TABSTOP | (4 << 8));
  Canvas byHand(200, 20);
  Prepare(byHand);
  TextOutA(byHand.dc(), 0, 0, "a", 1);
  TextOutA(byHand.dc(), 4 * tm.tmAveCharWidth, 0, "b", 1);
  EXPECT_TRUE(SamePixels(canvas, byHand, 200, 20));
}

}  // namespace
