// The Fc frame drawings: every frame style's pixels on a small bitmap, the
// rounded and combined frames, the dotted focus frame and the check glyph.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "controls/fc/FcCommon.h"

using namespace controls;
using forms::TBitmap;

namespace {

constexpr TColor kBack = 0x00123456;

std::unique_ptr<TBitmap> Board(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(forms::pf32bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(kBack);
  b->Canvas()->FillRect(forms::Rect(0, 0, w, h));
  return b;
}

TColor Rgb(TColor c) { return static_cast<TColor>(forms::ColorToRGB(c)); }

// A picture as rows of letters, each letter standing for a colour.
void ExpectPicture(TBitmap* b, const std::vector<std::string>& rows, const std::map<char, TColor>& legend) {
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
      const char k = rows[y][x];
      const TColor want = k == '.' ? kBack : Rgb(legend.at(k));
      ASSERT_EQ(b->Canvas()->Pixels(x, y), want) << "pixel " << x << ',' << y << " ('" << k << "')";
    }
}

TEST(FcFrames, SidesOwnTheirCornersAndSkipNone) {
  auto b = Board(6, 5);
  TRect r = PaintSides(b->Canvas(), forms::Rect(0, 0, 6, 5), forms::clRed, forms::clBlue, sdAllSides);
  EXPECT_EQ(r, forms::Rect(1, 1, 5, 4));
  ExpectPicture(b.get(), {"rrrrrb", "r....b", "r....b", "r....b", "bbbbbb"}, {{'r', forms::clRed}, {'b', forms::clBlue}});

  // clNone leaves its pair out but the rectangle still shrinks.
  auto c = Board(6, 5);
  r = PaintSides(c->Canvas(), forms::Rect(0, 0, 6, 5), forms::clNone, forms::clBlue, TSides{sdLeft, sdTop, sdRight});
  EXPECT_EQ(r, forms::Rect(1, 1, 5, 5));
  ExpectPicture(c.get(), {".....b", ".....b", ".....b", ".....b", ".....b"}, {{'b', forms::clBlue}});
}

TEST(FcFrames, EverySystemStyle) {
  // Legend: H highlight, S shadow, D dark shadow, L light, F face, T text,
  // W window.
  const std::map<char, TColor> legend = {{'H', forms::clBtnHighlight}, {'S', forms::clBtnShadow},
                                         {'D', forms::cl3DDkShadow},   {'L', forms::cl3DLight},
                                         {'F', forms::clBtnFace},      {'T', forms::clBtnText}};
  struct Case {
    TFrameStyle style;
    TRect inside;
    std::vector<std::string> picture;
  };
  const Case cases[] = {
      {fsNone, {0, 0, 6, 6}, {"......", "......", "......", "......", "......", "......"}},
      {fsFlat, {1, 1, 5, 5}, {"DDDDDD", "D....D", "D....D", "D....D", "D....D", "DDDDDD"}},
      {fsStatus, {1, 1, 5, 5}, {"SSSSSH", "S....H", "S....H", "S....H", "S....H", "HHHHHH"}},
      {fsPopup, {1, 1, 5, 5}, {"HHHHHS", "H....S", "H....S", "H....S", "H....S", "SSSSSS"}},
      {fsFlatBold, {2, 2, 4, 4}, {"SSSSSS", "SSSSSS", "SS..SS", "SS..SS", "SSSSSS", "SSSSSS"}},
      {fsLowered, {2, 2, 4, 4}, {"SSSSSH", "SDDDLH", "SD..LH", "SD..LH", "SLLLLH", "HHHHHH"}},
      {fsRaised, {2, 2, 4, 4}, {"LLLLLD", "LHHHSD", "LH..SD", "LH..SD", "LSSSSD", "DDDDDD"}},
      {fsButtonUp, {2, 2, 4, 4}, {"HHHHHD", "HLLLSD", "HL..SD", "HL..SD", "HSSSSD", "DDDDDD"}},
      {fsButtonDown, {2, 2, 4, 4}, {"TTTTTT", "TSSSST", "TS..ST", "TS..ST", "TSSSST", "TTTTTT"}},
      // Etched: the upper-left colour outside at the top and left and inside
      // at the bottom and right.
      {fsGroove, {2, 2, 4, 4}, {"SSSSSH", "SHHHSH", "SH..SH", "SH..SH", "SSSSSH", "HHHHHH"}},
      {fsBump, {2, 2, 4, 4}, {"HHHHHS", "HSSSHS", "HS..HS", "HS..HS", "HHHHHS", "SSSSSS"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.style));
    auto b = Board(6, 6);
    EXPECT_EQ(PaintBorderSides(b->Canvas(), forms::Rect(0, 0, 6, 6), c.style, sdAllSides), c.inside);
    ExpectPicture(b.get(), c.picture, legend);
  }
}

TEST(FcFrames, EtchedCornersWhenSidesAreMissing) {
  const std::map<char, TColor> legend = {{'H', forms::clBtnHighlight}, {'S', forms::clBtnShadow}};
  // Left and top only: the lines run on to the far edges.
  auto b = Board(5, 5);
  EXPECT_EQ(PaintBorderSides(b->Canvas(), forms::Rect(0, 0, 5, 5), fsGroove, TSides{sdLeft, sdTop}),
            forms::Rect(2, 2, 5, 5));
  ExpectPicture(b.get(), {"SSSSS", "SHHHH", "SH...", "SH...", "SH..."}, legend);
  // Right and bottom only.
  auto c = Board(5, 5);
  PaintBorderSides(c->Canvas(), forms::Rect(0, 0, 5, 5), fsGroove, TSides{sdRight, sdBottom});
  ExpectPicture(c.get(), {"...SH", "...SH", "...SH", "SSSSH", "HHHHH"}, legend);
}

TEST(FcFrames, ColourDerivedStyles) {
  const TColor base = 0x00808040;
  const std::map<char, TColor> legend = {
      {'a', DarkenColor(base, 50)}, {'b', DarkenColor(base, 100)}, {'c', LightenColor(base, 40)},
      {'d', LightenColor(base, 50)}, {'e', LightenColor(base, 100)}};
  struct Case {
    TFrameStyle style;
    std::vector<std::string> picture;
  };
  const Case cases[] = {
      {fsFlat, {"aaaaa", "a...a", "a...a", "a...a", "aaaaa"}},
      {fsLowered, {"aaaae", "abbde", "ab.de", "addde", "eeeee"}},
      {fsRaised, {"ddddb", "deeab", "de.ab", "daaab", "bbbbb"}},
      {fsButtonUp, {"eeeeb", "eccab", "ec.ab", "eaaab", "bbbbb"}},
      {fsButtonDown, {"bbbbb", "baaab", "ba.ab", "baaab", "bbbbb"}},
      {fsStatus, {"aaaae", "a...e", "a...e", "a...e", "eeeee"}},
      {fsPopup, {"eeeea", "e...a", "e...a", "e...a", "aaaaa"}},
      {fsGroove, {"aaaae", "aeeae", "ae.ae", "aaaae", "eeeee"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.style));
    auto b = Board(5, 5);
    PaintColorBorderSides(b->Canvas(), forms::Rect(0, 0, 5, 5), base, c.style, sdAllSides);
    ExpectPicture(b.get(), c.picture, legend);
  }
}

TEST(FcFrames, RoundedFlatFrameCutsItsCorners) {
  auto b = Board(6, 6);
  EXPECT_EQ(PaintRoundedFlatFrame(b->Canvas(), forms::Rect(0, 0, 6, 6), forms::clRed, sdAllSides),
            forms::Rect(2, 2, 4, 4));
  ExpectPicture(b.get(), {"..rr..", ".r..r.", "r....r", "r....r", ".r..r.", "..rr.."}, {{'r', forms::clRed}});
  auto c = Board(6, 4);
  PaintRoundedFlatFrame(c->Canvas(), forms::Rect(0, 0, 6, 4), forms::clRed, TSides{sdLeft, sdTop});
  ExpectPicture(c.get(), {"..rrrr", ".r....", "r.....", "r....."}, {{'r', forms::clRed}});
}

TEST(FcFrames, InnerAndOuterFrames) {
  TInnerOuterFrame f;
  f.outer = fsFlat;
  f.flatColor = forms::clRed;
  f.borderWidth = 1;
  f.borderColor = forms::clBlue;
  f.inner = fsFlat;
  auto b = Board(8, 8);
  EXPECT_EQ(PaintInnerOuterFrames(b->Canvas(), forms::Rect(0, 0, 8, 8), f), forms::Rect(3, 3, 5, 5));
  ExpectPicture(b.get(), {"rrrrrrrr", "rbbbbbbr", "rbrrrrbr", "rbr..rbr", "rbr..rbr", "rbrrrrbr", "rbbbbbbr",
                          "rrrrrrrr"},
                {{'r', forms::clRed}, {'b', forms::clBlue}});
  // Outline only: the inner flat frame leaves its corner pixels.
  f.borderWidth = 0;
  f.outlineOnly = true;
  f.flatAdjustment = 0;
  auto c = Board(6, 6);
  EXPECT_EQ(PaintInnerOuterFrames(c->Canvas(), forms::Rect(0, 0, 6, 6), f), forms::Rect(2, 2, 4, 4));
  ExpectPicture(c.get(), {"rrrrrr", "r.rr.r", "rr..rr", "rr..rr", "r.rr.r", "rrrrrr"}, {{'r', forms::clRed}});
}

TEST(FcFrames, DottedFocusFrameSetsEverySecondPixelBlack) {
  auto b = Board(7, 5);
  EXPECT_EQ(PaintDottedFocusFrame(b->Canvas(), forms::Rect(0, 0, 7, 5)), forms::Rect(1, 1, 6, 4));
  ExpectPicture(b.get(), {".k.k.k.", "k.....k", ".......", "k.....k", ".k.k.k."}, {{'k', forms::clBlack}});
}

TEST(FcFrames, CheckGlyphLooks) {
  const std::map<char, TColor> legend = {{'f', forms::clGray},   {'w', forms::clWhite}, {'m', forms::clNavy},
                                         {'p', DarkenColor(forms::clYellow, 20)},
                                         {'d', forms::clSilver}, {'s', forms::clBtnShadow}, {'r', forms::clRed},
                                         {'y', forms::clYellow}, {'i', forms::clInfoBk}};
  TCheckGlyphColors colors;
  colors.frame = forms::clGray;
  colors.mark = forms::clNavy;
  colors.fill = forms::clWhite;
  colors.focus = forms::clYellow;
  colors.disabled = forms::clSilver;
  colors.hot2 = forms::clRed;
  struct Case {
    const char* what;
    TCheckBoxState state;
    int look;
    bool focused;
    bool readOnly;
    std::vector<std::string> picture;
  };
  const Case cases[] = {
      {"checked",
       cbChecked,
       0,
       false,
       false,
       {"fffffffffffff", "fwwwwwwwwwwwf", "fwwwwwwwwwwwf", "fwwwwwwwwmwwf", "fwwwwwwwmmwwf", "fwwmwwwmmmwwf",
        "fwwmmwmmmwwwf", "fwwmmmmmwwwwf", "fwwwmmmwwwwwf", "fwwwwmwwwwwwf", "fwwwwwwwwwwwf", "fwwwwwwwwwwwf",
        "fffffffffffff"}},
      {"grayed, focused",
       cbGrayed,
       0,
       true,
       false,
       {"fffffffffffff", "fyyyyyyyyyyyf", "fyyyyyyyyyyyf", "fyymmmmmmmyyf", "fyymmmmmmmyyf", "fyymmmmmmmyyf",
        "fyymmmmmmmyyf", "fyymmmmmmmyyf", "fyymmmmmmmyyf", "fyymmmmmmmyyf", "fyyyyyyyyyyyf", "fyyyyyyyyyyyf",
        "fffffffffffff"}},
      {"pressed", cbUnchecked, 1, false, false, {"fffffffffffff", "fpppppppppppf", "fpppppppppppf"}},
      {"disabled grayed",
       cbGrayed,
       3,
       false,
       false,
       {"fffffffffffff", "fdddddddddddf", "fdddddddddddf", "fddsssssssddf"}},
      {"read-only keeps its colour unless asked to on focus",
       cbUnchecked,
       0,
       true,
       true,
       {"fffffffffffff", "fyyyyyyyyyyyf"}},
      {"read-only, not focused", cbUnchecked, 0, false, true, {"fffffffffffff", "fiiiiiiiiiiif"}},
      {"hot frame", cbUnchecked, 2, false, false, {"rrrrrrrrrrrrr", "rrrrrrrrrrrrr", "rrwwwwwwwwwrr"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto b = Board(13, 13);
    TCheckGlyphColors k = colors;
    k.readOnly = c.readOnly;
    PaintCheckGlyph(b->Canvas(), forms::Rect(0, 0, 13, 13), c.state, c.look, c.focused,
                    c.look == 2 ? htsFrame : htsInterior, k);
    ExpectPicture(b.get(), c.picture, legend);
  }
}

TEST(FcFrames, CheckGlyphDisabledGrayedMarkIsTheButtonShadow) {
  // The grayed square in a disabled glyph is drawn in the button shadow,
  // whatever the mark colour.
  auto b = Board(13, 13);
  TCheckGlyphColors k;
  k.mark = forms::clRed;
  PaintCheckGlyph(b->Canvas(), forms::Rect(0, 0, 13, 13), cbGrayed, 3, false, htsInterior, k);
  EXPECT_EQ(b->Canvas()->Pixels(6, 6), Rgb(forms::clBtnShadow));
}

TEST(FcFrames, HighlightRingOnlyOnHighColourDisplays) {
  TCheckGlyphColors k;
  k.fill = forms::clWhite;
  k.hot1 = forms::clYellow;
  k.hot2 = forms::clRed;
  auto hot = Board(13, 13);
  PaintCheckGlyph(hot->Canvas(), forms::Rect(0, 0, 13, 13), cbUnchecked, 2, false, htsInterior, k);
  // The ring is two pixels wide inside the box; its middle keeps the fill.
  EXPECT_NE(hot->Canvas()->Pixels(1, 1), forms::clWhite);
  EXPECT_NE(hot->Canvas()->Pixels(2, 6), forms::clWhite);
  EXPECT_EQ(hot->Canvas()->Pixels(6, 6), forms::clWhite);
  EXPECT_EQ(hot->Canvas()->Pixels(3, 3), forms::clWhite);

  const bool was = IsHighColorDisplay();
  SetHighColorDisplay(false);
  auto flat = Board(13, 13);
  PaintCheckGlyph(flat->Canvas(), forms::Rect(0, 0, 13, 13), cbUnchecked, 2, false, htsInterior, k);
  SetHighColorDisplay(was);
  EXPECT_EQ(flat->Canvas()->Pixels(1, 1), forms::clWhite);
}

}  // namespace
