// Colour arithmetic and the frame drawings.
#include "controls/fc/FcCommon.h"

#include <algorithm>
#include <cmath>

#include "controls/fc/FcGrafx.h"
#include "platform/win/Api.h"

namespace controls {

using forms::ColorToRGB;

TFcFrameControllerNotifications AllFrameControllerNotifications() {
  TFcFrameControllerNotifications all;
  for (int p = fcpColor; p <= fcpFramingPreference; ++p) all.Include(static_cast<TFcFrameControllerProperty>(p));
  return all;
}

bool FcThemesEnabled() { return false; }

int FcMin(int a, int b) { return a < b ? a : b; }
int FcMax(int a, int b) { return a > b ? a : b; }

// ---- colours ----

namespace {

uint8_t RoundByte(double v) { return static_cast<uint8_t>(std::clamp(std::nearbyint(v), 0.0, 255.0)); }

// num / den (both not negative) to the nearest whole number, halves to even.
uint8_t RoundRatio(int num, int den) {
  int q = num / den;
  const int twice = 2 * (num % den);
  if (twice > den || (twice == den && (q & 1))) ++q;
  return static_cast<uint8_t>(std::min(q, 255));
}

TColor Rgb(uint8_t r, uint8_t g, uint8_t b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }

// Measured on first use rather than at load time, when the window system
// may not be set up yet. -1: not measured.
int highColor = -1;

}  // namespace

bool IsHighColorDisplay() {
  if (highColor < 0) {
    win::HDC screen = win::GetDC(nullptr);
    highColor = win::GetDeviceCaps(screen, win::NUMCOLORS) == -1 ? 1 : 0;
    win::ReleaseDC(nullptr, screen);
  }
  return highColor == 1;
}

void SetHighColorDisplay(bool high) { highColor = high ? 1 : 0; }

THsl SplitColorHSL(TColor color) {
  // The formula's divisions are done on whole numbers so that a value lying
  // exactly halfway between two steps rounds to even, free of float noise.
  const win::COLORREF c = ColorToRGB(color);
  const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  THsl out;
  out.lightness = RoundRatio((mx + mn) * 120, 255);
  if (mx == mn) return out;
  const int d = mx - mn;
  out.saturation = RoundRatio(d * 240, (mx + mn) < 255 ? mx + mn : 510 - mx - mn);
  // hue * 240 = (offset + (x - y) / d) * 40, plus 240 when negative.
  int num;
  if (r == mx) num = (g - b) * 40;
  else if (g == mx) num = (b - r + 2 * d) * 40;
  else num = (r - g + 4 * d) * 40;
  if (num < 0) num += 240 * d;
  out.hue = RoundRatio(num, d);
  return out;
}

uint8_t HueOfColor(TColor color) { return SplitColorHSL(color).hue; }

TColor ColorFromHSL(uint8_t hue, uint8_t saturation, uint8_t lightness) {
  // The hue scale ends at 239 here, not 240: a hue of 240 lands past the
  // last sextant and takes the first one's formula.
  const double h = hue / 239.0, s = saturation / 240.0, l = lightness / 240.0;
  const double v = l < 0.5 ? l * (1 + s) : l + s - l * s;
  if (v <= 0) return 0;
  const double m = 2 * l - v;
  const double sv = (v - m) / v;
  const double h6 = h * 6;
  const int sextant = static_cast<int>(std::trunc(h6));
  const double f = h6 - sextant;
  const double vsf = v * sv * f;
  const double up = m + vsf, down = v - vsf;
  double r, g, b;
  switch (sextant) {
    case 1: r = down, g = v, b = m; break;
    case 2: r = m, g = v, b = up; break;
    case 3: r = m, g = down, b = v; break;
    case 4: r = up, g = m, b = v; break;
    case 5: r = v, g = m, b = down; break;
    default: r = v, g = up, b = m; break;
  }
  auto ch = [](double x) { return RoundByte(std::min(x, 1.0) * 255); };
  return Rgb(ch(r), ch(g), ch(b));
}

TColor DarkenColor(TColor color, uint8_t amount) {
  const THsl hsl = SplitColorHSL(color);
  return ColorFromHSL(hsl.hue, hsl.saturation, static_cast<uint8_t>(std::max(0, hsl.lightness - amount)));
}

TColor LightenColor(TColor color, uint8_t amount) {
  const THsl hsl = SplitColorHSL(color);
  return ColorFromHSL(hsl.hue, hsl.saturation, static_cast<uint8_t>(std::min(255, hsl.lightness + amount)));
}

TColor AdjustColorLevel(TColor color, int amount) {
  if (amount < 0) return DarkenColor(color, static_cast<uint8_t>(-amount & 0xFF));
  if (amount > 0) return LightenColor(color, static_cast<uint8_t>(amount & 0xFF));
  return color;
}

TColor MixColors(TColor c1, TColor c2, uint8_t weight) {
  const win::COLORREF a = ColorToRGB(c1), b = ColorToRGB(c2);
  const double w = weight / 255.0;
  auto mix = [&](int shift) {
    return RoundByte(w * ((a >> shift) & 0xFF) + (1 - w) * ((b >> shift) & 0xFF));
  };
  return Rgb(mix(0), mix(8), mix(16));
}

TColor ComplementaryColor(TColor color, uint8_t lightness) {
  const uint8_t h = HueOfColor(color);
  return ColorFromHSL(static_cast<uint8_t>(h < 120 ? h + 120 : h - 120), 240, lightness);
}

// ---- frames ----

namespace {

void Line(TCanvas* canvas, int x1, int y1, int x2, int y2) {
  canvas->MoveTo(x1, y1);
  canvas->LineTo(x2, y2);
}

void SetPen(TCanvas* canvas, TColor color) {
  canvas->Pen()->SetStyle(forms::psSolid);
  canvas->Pen()->SetMode(forms::pmCopy);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetColor(color);
}

TRect Shrink(TRect r, TSides sides, int by) {
  if (sides.Contains(sdLeft)) r.left += by;
  if (sides.Contains(sdTop)) r.top += by;
  if (sides.Contains(sdRight)) r.right -= by;
  if (sides.Contains(sdBottom)) r.bottom -= by;
  return r;
}

// Two lines per side: the upper-left colour outside at the top and left
// and inside at the bottom and right, the lower-right colour the other way.
TRect PaintEtched(TCanvas* canvas, const TRect& rect, TColor ul, TColor lr, TSides sides) {
  const bool left = sides.Contains(sdLeft), top = sides.Contains(sdTop);
  const bool right = sides.Contains(sdRight), bottom = sides.Contains(sdBottom);
  if (right) canvas->SetPixel(rect.right - 1, rect.top, lr);
  else if (top) canvas->SetPixel(rect.right - 1, rect.top, ul);
  if (bottom) canvas->SetPixel(rect.left, rect.bottom - 1, lr);
  else if (left) canvas->SetPixel(rect.left, rect.bottom - 1, ul);
  if (top && !left) canvas->SetPixel(rect.left, rect.top + 1, lr);
  if (left && !top) canvas->SetPixel(rect.left + 1, rect.top, lr);
  if (bottom && !right) canvas->SetPixel(rect.right - 1, rect.bottom - 2, ul);
  if (right && !bottom) canvas->SetPixel(rect.right - 2, rect.bottom - 1, ul);
  TRect r{rect.left + 1, rect.top + 1, rect.right, rect.bottom};
  PaintSides(canvas, r, lr, lr, sides);
  r = {rect.left, rect.top, rect.right - 1, rect.bottom - 1};
  PaintSides(canvas, r, ul, ul, sides);
  return Shrink(rect, sides, 2);
}

struct Edge {
  TColor outerUl, outerLr, innerUl, innerLr;
};

TRect PaintTwoLevel(TCanvas* canvas, const TRect& rect, const Edge& e, TSides sides) {
  const TRect r = PaintSides(canvas, rect, e.outerUl, e.outerLr, sides);
  return PaintSides(canvas, r, e.innerUl, e.innerLr, sides);
}

struct SideColors {
  TColor ul, lr;
};
// Upper-left and lower-right colours of the one-level system frames.
constexpr SideColors kSystemSides[] = {
    {forms::clWindow, forms::clWindow},             // fsNone
    {forms::cl3DDkShadow, forms::cl3DDkShadow},     // fsFlat
    {forms::clBtnShadow, forms::clBtnHighlight},    // fsGroove
    {forms::clBtnHighlight, forms::clBtnShadow},    // fsBump
    {forms::clBtnShadow, forms::clBtnHighlight},    // fsLowered
    {forms::clNone, forms::clNone},                 // fsButtonDown
    {forms::cl3DDkShadow, forms::clBtnFace},        // fsRaised
    {forms::clNone, forms::clNone},                 // fsButtonUp
    {forms::clBtnShadow, forms::clBtnHighlight},    // fsStatus
    {forms::clBtnHighlight, forms::clBtnShadow},    // fsPopup
    {forms::clBtnShadow, forms::clBtnShadow},       // fsFlatBold
};

constexpr Edge kRaised{forms::cl3DLight, forms::cl3DDkShadow, forms::clBtnHighlight, forms::clBtnShadow};
constexpr Edge kLowered{forms::clBtnShadow, forms::clBtnHighlight, forms::cl3DDkShadow, forms::cl3DLight};
constexpr Edge kButtonUp{forms::clBtnHighlight, forms::cl3DDkShadow, forms::cl3DLight, forms::clBtnShadow};
constexpr Edge kButtonDown{forms::clBtnText, forms::clBtnText, forms::clBtnShadow, forms::clBtnShadow};

}  // namespace

TRect PaintSides(TCanvas* canvas, TRect rect, TColor upperLeft, TColor lowerRight, TSides sides) {
  if (upperLeft != forms::clNone) {
    SetPen(canvas, upperLeft);
    if (sides.Contains(sdLeft)) Line(canvas, rect.left, rect.top, rect.left, rect.bottom);
    if (sides.Contains(sdTop)) Line(canvas, rect.left, rect.top, rect.right, rect.top);
  }
  if (lowerRight != forms::clNone) {
    SetPen(canvas, lowerRight);
    if (sides.Contains(sdRight)) Line(canvas, rect.right - 1, rect.top, rect.right - 1, rect.bottom);
    if (sides.Contains(sdBottom)) Line(canvas, rect.left, rect.bottom - 1, rect.right, rect.bottom - 1);
  }
  return Shrink(rect, sides, 1);
}

TRect PaintBevel(TCanvas* canvas, TRect rect, TColor upperLeft, TColor lowerRight, int width, TSides sides) {
  canvas->Pen()->SetWidth(1);
  for (int i = 0; i < width; ++i) rect = PaintSides(canvas, rect, upperLeft, lowerRight, sides);
  return rect;
}

TRect PaintBox(TCanvas* canvas, TRect rect, TColor color) {
  return PaintSides(canvas, rect, color, color, sdAllSides);
}

TRect PaintBorderSides(TCanvas* canvas, TRect rect, TFrameStyle style, TSides sides) {
  if (style < fsNone || style > fsFlatBold) return rect;
  const SideColors c = kSystemSides[style];
  switch (style) {
    case fsNone: return rect;
    case fsFlat:
    case fsStatus:
    case fsPopup: return PaintSides(canvas, rect, c.ul, c.lr, sides);
    case fsLowered: return PaintTwoLevel(canvas, rect, kLowered, sides);
    case fsRaised: return PaintTwoLevel(canvas, rect, kRaised, sides);
    case fsButtonDown: return PaintTwoLevel(canvas, rect, kButtonDown, sides);
    case fsButtonUp: return PaintTwoLevel(canvas, rect, kButtonUp, sides);
    case fsFlatBold: return PaintBevel(canvas, rect, c.ul, c.lr, 2, sides);
    case fsGroove:
    case fsBump: return PaintEtched(canvas, rect, c.ul, c.lr, sides);
    default: return rect;
  }
}

TRect PaintColorBorderSides(TCanvas* canvas, TRect rect, TColor base, TFrameStyle style, TSides sides) {
  const TColor d50 = DarkenColor(base, 50), d100 = DarkenColor(base, 100);
  const TColor l40 = LightenColor(base, 40), l50 = LightenColor(base, 50), l100 = LightenColor(base, 100);
  switch (style) {
    case fsNone: return rect;
    case fsFlat: return PaintSides(canvas, rect, d50, d50, sides);
    case fsGroove: return PaintEtched(canvas, rect, d50, l100, sides);
    case fsLowered: return PaintTwoLevel(canvas, rect, {d50, l100, d100, l50}, sides);
    case fsRaised: return PaintTwoLevel(canvas, rect, {l50, d100, l100, d50}, sides);
    case fsButtonUp: return PaintTwoLevel(canvas, rect, {l100, d100, l40, d50}, sides);
    case fsButtonDown: return PaintTwoLevel(canvas, rect, {d100, d100, d50, d50}, sides);
    case fsStatus: return PaintSides(canvas, rect, d50, l100, sides);
    case fsPopup: return PaintSides(canvas, rect, l100, d50, sides);
    case fsFlatBold: return PaintBevel(canvas, rect, d50, d50, 2, sides);
    default: return PaintEtched(canvas, rect, l100, d50, sides);
  }
}

TRect PaintColorButtonSides(TCanvas* canvas, TRect rect, TColor base, TSides sides, bool down) {
  return PaintColorBorderSides(canvas, rect, base, down ? fsButtonDown : fsButtonUp, sides);
}

TRect PaintRoundedFlatFrame(TCanvas* canvas, TRect rect, TColor color, TSides sides) {
  const bool left = sides.Contains(sdLeft), top = sides.Contains(sdTop);
  const bool right = sides.Contains(sdRight), bottom = sides.Contains(sdBottom);
  const int y1 = top ? rect.top + 2 : rect.top, y2 = bottom ? rect.bottom - 2 : rect.bottom;
  const int x1 = left ? rect.left + 2 : rect.left, x2 = right ? rect.right - 2 : rect.right;
  SetPen(canvas, color);
  if (left) Line(canvas, rect.left, y1, rect.left, y2);
  if (top) Line(canvas, x1, rect.top, x2, rect.top);
  if (right) Line(canvas, rect.right - 1, y1, rect.right - 1, y2);
  if (bottom) Line(canvas, x1, rect.bottom - 1, x2, rect.bottom - 1);
  if (left && top) canvas->SetPixel(rect.left + 1, rect.top + 1, color);
  if (right && top) canvas->SetPixel(rect.right - 2, rect.top + 1, color);
  if (left && bottom) canvas->SetPixel(rect.left + 1, rect.bottom - 2, color);
  if (right && bottom) canvas->SetPixel(rect.right - 2, rect.bottom - 2, color);
  return Shrink(rect, sides, 2);
}

TRect PaintInnerOuterFrames(TCanvas* canvas, TRect rect, const TInnerOuterFrame& f) {
  const TColor c = AdjustColorLevel(f.flatColor, f.flatAdjustment);
  const bool framedInside = f.borderWidth > 0 || f.inner != fsNone;
  switch (f.outer) {
    case fsFlat: rect = PaintBevel(canvas, rect, c, c, 1, f.sides); break;
    case fsFlatBold: rect = PaintBevel(canvas, rect, c, c, 2, f.sides); break;
    case fsFlatRounded: {
      if (!f.transparent) {
        TRect r = PaintBevel(canvas, rect, f.parentColor, f.parentColor, 1, f.sides);
        const TColor in = framedInside ? f.borderColor : f.interiorColor;
        PaintBevel(canvas, r, in, in, 1, f.sides);
      } else if (framedInside) {
        PaintBevel(canvas, Shrink(rect, f.sides, 1), f.borderColor, f.borderColor, 1, f.sides);
      }
      rect = PaintRoundedFlatFrame(canvas, rect, c, f.sides);
      break;
    }
    case fsStatus: rect = PaintBevel(canvas, rect, f.shadowColor, f.highlightColor, f.bevelWidth, f.sides); break;
    case fsPopup: rect = PaintBevel(canvas, rect, f.highlightColor, f.shadowColor, f.bevelWidth, f.sides); break;
    default: rect = PaintBorderSides(canvas, rect, f.outer, f.sides); break;
  }
  if (f.borderWidth > 0) rect = PaintBevel(canvas, rect, f.borderColor, f.borderColor, f.borderWidth, f.sides);
  switch (f.inner) {
    case fsFlat:
      if (f.outlineOnly) {
        // The outline without its corner pixels.
        SetPen(canvas, c);
        Line(canvas, rect.left, rect.top + 1, rect.left, rect.bottom - 1);
        Line(canvas, rect.left + 1, rect.top, rect.right - 1, rect.top);
        Line(canvas, rect.right - 1, rect.top + 1, rect.right - 1, rect.bottom - 1);
        Line(canvas, rect.left + 1, rect.bottom - 1, rect.right - 1, rect.bottom - 1);
        return Shrink(rect, sdAllSides, 1);
      }
      return PaintBevel(canvas, rect, c, c, 1, f.sides);
    case fsFlatBold: return PaintBevel(canvas, rect, c, c, 2, f.sides);
    case fsFlatRounded: {
      TRect r = PaintBevel(canvas, rect, f.borderColor, f.borderColor, 1, f.sides);
      if (!f.transparent) PaintBevel(canvas, r, f.interiorColor, f.interiorColor, 1, f.sides);
      return PaintRoundedFlatFrame(canvas, rect, c, f.sides);
    }
    case fsStatus: return PaintBevel(canvas, rect, f.shadowColor, f.highlightColor, f.bevelWidth, f.sides);
    case fsPopup: return PaintBevel(canvas, rect, f.highlightColor, f.shadowColor, f.bevelWidth, f.sides);
    default: return PaintBorderSides(canvas, rect, f.inner, f.sides);
  }
}

void PaintControlFrame(TCanvas* canvas, int width, int height, bool keepEdge, TSides sides, TColor frameColor,
                       TColor controlColor, TFrameStyle style) {
  const TRect r{0, 0, width, height};
  if (!keepEdge) PaintBevel(canvas, r, controlColor, controlColor, 2, sdAllSides);
  if (style == fsFlat) PaintSides(canvas, r, frameColor, frameColor, sides);
  else if (style == fsFlatBold) PaintBevel(canvas, r, frameColor, frameColor, 2, sides);
  else if (controlColor == forms::clWindow) PaintBorderSides(canvas, r, style, sides);
  else PaintColorBorderSides(canvas, r, controlColor, style, sides);
}

TRect PaintDottedFocusFrame(TCanvas* canvas, TRect rect) {
  for (int y = rect.top + 1; y < rect.bottom; y += 2) {
    canvas->SetPixel(rect.left, y, forms::clBlack);
    canvas->SetPixel(rect.right - 1, y, forms::clBlack);
  }
  for (int x = rect.left + 1; x < rect.right; x += 2) {
    canvas->SetPixel(x, rect.top, forms::clBlack);
    canvas->SetPixel(x, rect.bottom - 1, forms::clBlack);
  }
  return Shrink(rect, sdAllSides, 1);
}

void PaintCheckGlyph(TCanvas* canvas, TRect rect, TCheckBoxState state, int look, bool focused,
                     TFcButtonHotTrackStyle hotStyle, const TCheckGlyphColors& colors) {
  const bool hot = look == 2;
  TRect in = PaintBox(canvas, rect, hot && hotStyle == htsFrame ? colors.hot2 : colors.frame);
  TColor mark = colors.mark;
  switch (look) {
    case 1: canvas->Brush()->SetColor(DarkenColor(colors.focus, 20)); break;
    case 3:
      canvas->Brush()->SetColor(colors.disabled);
      mark = forms::clBtnShadow;
      break;
    case 0:
    case 2:
      if (!focused) canvas->Brush()->SetColor(colors.readOnly ? colors.readOnlyColor : colors.fill);
      else canvas->Brush()->SetColor(colors.readOnly && colors.readOnlyColorOnFocus ? colors.readOnlyColor
                                                                                     : colors.focus);
      break;
    default: break;
  }
  canvas->Brush()->SetStyle(forms::bsSolid);
  canvas->FillRect(in);
  if (state == cbChecked) {
    static constexpr int kTop[] = {4, 5, 6, 5, 4, 3, 2};
    for (int i = 0; i < 7; ++i)
      for (int k = 0; k < 3; ++k) canvas->SetPixel(in.left + 2 + i, in.top + kTop[i] + k, mark);
  } else if (state == cbGrayed) {
    canvas->Brush()->SetColor(mark);
    canvas->FillRect(TRect{in.left + 2, in.top + 2, in.right - 2, in.bottom - 2});
  }
  if (hot) {
    if (hotStyle == htsInterior) PaintHighlightRing(canvas, in, 1, colors.hot1, colors.hot2);
    else PaintBox(canvas, in, colors.hot2);
  }
}

void PaintHighlightRing(TCanvas* canvas, TRect rect, uint8_t kind, TColor first, TColor second) {
  if (!IsHighColorDisplay()) return;
  win::HDC dc = canvas->Handle();
  win::ExcludeClipRect(dc, rect.left + 2, rect.top + 2, rect.right - 2, rect.bottom - 2);
  DrawGradient(canvas, rect, kind, first, second, 1);
  win::SelectClipRgn(canvas->Handle(), nullptr);
}

void RedrawNonClientFrame(win::HWND hwnd, const TRect& rect) {
  win::HDC dc = win::GetWindowDC(hwnd);
  if (!dc) return;
  win::RECT clip{};
  const int kind = win::GetClipBox(dc, &clip);
  win::ReleaseDC(hwnd, dc);
  if (kind == win::ERROR || kind == win::NULLREGION) return;
  win::RedrawWindow(hwnd, &rect, nullptr, win::RDW_FRAME | win::RDW_INVALIDATE);
}

}  // namespace controls
