// Colours, fonts, pens and brushes.
#include <cstdlib>
#include <cstring>

#include "platform/forms/Graphics.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Font.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Metrics.h"
#include "platform/win/PenBrush.h"

namespace forms {

using namespace win;

namespace {

// a * b / c rounded half away from zero.
int MulDivRound(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (std::llabs(c) * 2);
  return static_cast<int>(((p < 0) != (c < 0)) ? -q : q);
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---- TFont ----

TFont::TFont() : name_("MS Sans Serif"), height_(-11), color_(clWindowText), charset_(DEFAULT_CHARSET) {}

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (handle_ && ownsHandle_) DeleteObject(handle_);
  handle_ = nullptr;
  ownsHandle_ = false;
}

void TFont::Changed() {
  FreeHandle();
  TGraphicsObject::Changed();
}

void TFont::SetName(const String& name) {
  if (name.empty() || name == name_) return;
  name_ = name;
  Changed();
}

int TFont::Size() const { return -MulDivRound(height_, 72, pixelsPerInch_); }

void TFont::SetSize(int points) { SetHeight(-MulDivRound(points, pixelsPerInch_, 72)); }

void TFont::SetHeight(int pixels) {
  if (pixels == height_) return;
  height_ = pixels;
  Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TFont::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  // The colour is a DC attribute, not part of the font object: the handle
  // stays, only listeners hear of it.
  TGraphicsObject::Changed();
}

void TFont::SetCharset(TFontCharset charset) {
  if (charset == charset_) return;
  charset_ = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == pitch_) return;
  pitch_ = pitch;
  Changed();
}

void TFont::SetOrientation(int tenths) {
  if (tenths == orientation_) return;
  orientation_ = tenths;
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf;
    lf.lfHeight = height_;
    lf.lfEscapement = orientation_;
    lf.lfOrientation = orientation_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic) ? 1 : 0;
    lf.lfUnderline = style_.Contains(fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = style_.Contains(fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = charset_;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    handle_ = CreateFontIndirectA(&lf);
    ownsHandle_ = true;
  }
  return handle_;
}

void TFont::SetHandle(HFONT font) {
  LOGFONTA lf;
  if (!font || GetObjectA(font, sizeof(lf), &lf) == 0) return;
  FreeHandle();
  name_ = lf.lfFaceName;
  height_ = lf.lfHeight;
  TFontStyles s;
  if (lf.lfWeight >= FW_BOLD) s.Include(fsBold);
  if (lf.lfItalic) s.Include(fsItalic);
  if (lf.lfUnderline) s.Include(fsUnderline);
  if (lf.lfStrikeOut) s.Include(fsStrikeOut);
  style_ = s;
  charset_ = lf.lfCharSet;
  pitch_ = (lf.lfPitchAndFamily & 3) == FIXED_PITCH      ? fpFixed
           : (lf.lfPitchAndFamily & 3) == VARIABLE_PITCH ? fpVariable
                                                         : fpDefault;
  orientation_ = lf.lfEscapement;
  TGraphicsObject::Changed();
  handle_ = font;
  ownsHandle_ = true;
}

void TFont::Assign(TPersistent* source) {
  if (auto* f = dynamic_cast<TFont*>(source)) {
    if (f == this) return;
    FreeHandle();
    name_ = f->name_;
    height_ = f->height_;
    pixelsPerInch_ = f->pixelsPerInch_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    orientation_ = f->orientation_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---- TPen ----

TPen::TPen() = default;
TPen::~TPen() { FreeHandle(); }

void TPen::FreeHandle() {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}

void TPen::Changed() {
  FreeHandle();
  TGraphicsObject::Changed();
}

void TPen::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width < 0 || width == width_) return;
  width_ = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == mode_) return;
  mode_ = mode;
  TGraphicsObject::Changed();
}

HPEN TPen::Handle() {
  if (!handle_) {
    static constexpr int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(kStyles[style_], width_, ColorToRGB(color_));
  }
  return handle_;
}

void TPen::Assign(TPersistent* source) {
  if (auto* p = dynamic_cast<TPen*>(source)) {
    if (p == this) return;
    color_ = p->color_;
    width_ = p->width_;
    style_ = p->style_;
    mode_ = p->mode_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

// ---- TBrush ----

TBrush::TBrush() = default;
TBrush::~TBrush() { FreeHandle(); }

void TBrush::FreeHandle() {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}

void TBrush::Changed() {
  FreeHandle();
  TGraphicsObject::Changed();
}

void TBrush::SetColor(TColor color) {
  if (color == color_ && style_ != bsClear) return;
  color_ = color;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == style_ && !bitmap_) return;
  style_ = style;
  bitmap_ = nullptr;
  Changed();
}

void TBrush::SetBitmap(TBitmap* bitmap) {
  bitmap_ = bitmap;
  Changed();
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    if (bitmap_ && !bitmap_->Empty()) {
      handle_ = CreatePatternBrush(bitmap_->Handle());
    } else if (style_ == bsSolid) {
      handle_ = CreateSolidBrush(ColorToRGB(color_));
    } else if (style_ == bsClear) {
      LOGBRUSH lb;
      lb.lbStyle = BS_NULL;
      handle_ = CreateBrushIndirect(&lb);
    } else {
      static constexpr int kHatches[] = {HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS,
                                         HS_DIAGCROSS};
      handle_ = CreateHatchBrush(kHatches[style_ - bsHorizontal], ColorToRGB(color_));
    }
  }
  return handle_;
}

void TBrush::Assign(TPersistent* source) {
  if (auto* b = dynamic_cast<TBrush*>(source)) {
    if (b == this) return;
    color_ = b->color_;
    style_ = b->style_;
    bitmap_ = b->bitmap_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

}  // namespace forms
