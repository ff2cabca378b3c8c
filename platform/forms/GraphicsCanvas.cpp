// The canvas: lazy selection of the drawing tools into its DC, the lock,
// and the drawing calls.
#include <algorithm>

#include "platform/forms/Graphics.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Blit.h"
#include "platform/win/ClassicLook.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/GdiObject.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace forms {

using namespace win;

namespace {

constexpr int kPenModes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,        R2_NOT,
                             R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                             R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,   R2_NOTMERGEPEN,
                             R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,     R2_NOTXORPEN};

const TCanvasStates kAllValid{csHandleValid, csFontValid, csPenValid, csBrushValid};

}  // namespace

UINT TextFormatFlags(TTextFormat format) {
  static constexpr UINT kFlags[] = {DT_BOTTOM,      DT_CALCRECT,      DT_CENTER,       DT_EDITCONTROL,
                                    DT_END_ELLIPSIS, DT_PATH_ELLIPSIS, DT_EXPANDTABS,   DT_EXTERNALLEADING,
                                    DT_LEFT,         DT_MODIFYSTRING,  DT_NOCLIP,       DT_NOPREFIX,
                                    DT_RIGHT,        DT_RTLREADING,    DT_SINGLELINE,   DT_TOP,
                                    DT_VCENTER,      DT_WORDBREAK,     DT_HIDEPREFIX,   DT_NOFULLWIDTHCHARBREAK,
                                    DT_PREFIXONLY,   DT_TABSTOP,       DT_WORD_ELLIPSIS};
  UINT flags = 0;
  for (int i = 0; i <= tfWordEllipsis; ++i)
    if (format.Contains(static_cast<TTextFormats>(i))) flags |= kFlags[i];
  return flags;
}

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  font_->OnChange = [this](TObject*) { FontChanged(); };
  pen_->OnChange = [this](TObject*) { PenChanged(); };
  brush_->OnChange = [this](TObject*) { BrushChanged(); };
}

TCanvas::~TCanvas() {
  // A subclass has freed its own DC by now; a DC handed in is the caller's
  // and only loses our objects.
  SetHandle(nullptr);
}

HDC TCanvas::Handle() {
  Changing();
  RequiredState(kAllValid);
  return handle_;
}

void TCanvas::SetHandle(HDC dc) {
  if (handle_ == dc) return;
  if (handle_) {
    DeselectHandles();
    handle_ = nullptr;
    state_.Exclude(csHandleValid);
  }
  if (dc) {
    state_.Include(csHandleValid);
    handle_ = dc;
  }
}

void TCanvas::CreateHandle() {}

void TCanvas::RequiredState(TCanvasStates required) {
  const TCanvasStates needed = required - state_;
  if (needed.Empty()) return;
  if (needed.Contains(csHandleValid)) {
    CreateHandle();
    if (!handle_) throw EInvalidOperation("Canvas does not allow drawing");
  }
  if (needed.Contains(csFontValid)) CreateFont();
  if (needed.Contains(csPenValid)) CreatePen();
  if (needed.Contains(csBrushValid)) CreateBrush();
  state_ = state_ + needed;
}

void TCanvas::CreateFont() {
  SelectObject(handle_, font_->Handle());
  SetTextColor(handle_, ColorToRGB(font_->Color()));
}

void TCanvas::CreatePen() {
  SelectObject(handle_, pen_->Handle());
  SetROP2(handle_, kPenModes[pen_->Mode()]);
}

void TCanvas::CreateBrush() {
  SelectObject(handle_, brush_->Handle());
  // A solid brush paints text backgrounds and hatch gaps in its colour;
  // any other leaves them alone, which is what makes bsClear text
  // transparent.
  if (brush_->Style() == bsSolid) {
    SetBkColor(handle_, ColorToRGB(brush_->Color()));
    SetBkMode(handle_, OPAQUE);
  } else {
    SetBkColor(handle_, ~ColorToRGB(brush_->Color()) & 0xFFFFFF);
    SetBkMode(handle_, TRANSPARENT);
  }
}

void TCanvas::DeselectHandles() {
  if (!handle_) return;
  if (state_.Contains(csPenValid)) SelectObject(handle_, GetStockObject(BLACK_PEN));
  if (state_.Contains(csBrushValid)) SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
  if (state_.Contains(csFontValid)) SelectObject(handle_, GetStockObject(SYSTEM_FONT));
  state_ = state_ - TCanvasStates{csPenValid, csBrushValid, csFontValid};
}

void TCanvas::FontChanged() {
  if (state_.Contains(csFontValid)) {
    state_.Exclude(csFontValid);
    SelectObject(handle_, GetStockObject(SYSTEM_FONT));
  }
}

void TCanvas::PenChanged() {
  if (state_.Contains(csPenValid)) {
    state_.Exclude(csPenValid);
    SelectObject(handle_, GetStockObject(BLACK_PEN));
  }
}

void TCanvas::BrushChanged() {
  if (state_.Contains(csBrushValid)) {
    state_.Exclude(csBrushValid);
    SelectObject(handle_, GetStockObject(HOLLOW_BRUSH));
  }
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Refresh() { DeselectHandles(); }

// ---- locking ----

void TCanvas::Lock() {
  {
    std::lock_guard<std::mutex> g(countLock_);
    ++lockCount_;
  }
  lock_.lock();
}

void TCanvas::Unlock() {
  lock_.unlock();
  std::lock_guard<std::mutex> g(countLock_);
  --lockCount_;
}

bool TCanvas::TryLock() {
  std::lock_guard<std::mutex> g(countLock_);
  // A zero count means nobody holds or waits for the lock, and new lockers
  // count themselves in under countLock_ first, so the attempt succeeds;
  // it is only an attempt so the two locks are never waited for in the
  // opposite order to Lock's.
  if (lockCount_ != 0 || !lock_.try_lock()) return false;
  ++lockCount_;
  return true;
}

int TCanvas::LockCount() const {
  std::lock_guard<std::mutex> g(countLock_);
  return lockCount_;
}

// ---- drawing ----

TPoint TCanvas::PenPos() {
  RequiredState({csHandleValid});
  TPoint p;
  GetCurrentPositionEx(handle_, &p);
  return p;
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState({csHandleValid});
  MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::LineTo(handle_, x, y);
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Polyline(handle_, points.data(), static_cast<int>(points.size()));
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Polygon(handle_, points.data(), static_cast<int>(points.size()));
  Changed();
}

void TCanvas::PolyBezier(const std::vector<TPoint>& points) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::PolyBezier(handle_, points.data(), static_cast<DWORD>(points.size()));
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Rectangle(handle_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::RoundRect(handle_, x1, y1, x2, y2, x3, y3);
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Ellipse(handle_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Arc(handle_, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Pie(handle_, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequiredState({csHandleValid, csPenValid, csBrushValid});
  win::Chord(handle_, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  win::FillRect(handle_, &r, brush_->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  win::FrameRect(handle_, &r, brush_->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  win::DrawFocusRect(handle_, &r);
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  ExtTextOutA(handle_, x, y, static_cast<UINT>(textFlags_), nullptr, text.data(), static_cast<UINT>(text.size()),
              nullptr);
  MoveTo(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const String& text) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  UINT options = ETO_CLIPPED | static_cast<UINT>(textFlags_);
  if (brush_->Style() != bsClear) options |= ETO_OPAQUE;
  ExtTextOutA(handle_, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(TRect& r, String& text, TTextFormat format) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  // The drawing layer takes the text read-only, so the ellipsised form is
  // never written back.
  const UINT flags = TextFormatFlags(format) & ~DT_MODIFYSTRING;
  DrawTextA(handle_, text.data(), static_cast<int>(text.size()), &r, flags);
  Changed();
}

TSize TCanvas::TextExtent(const String& text) {
  RequiredState({csHandleValid, csFontValid});
  TSize s;
  GetTextExtentPoint32A(handle_, text.data(), static_cast<int>(text.size()), &s);
  return s;
}

int TCanvas::TextWidth(const String& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const String& text) { return TextExtent(text).cy; }

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  StretchDraw(Bounds(x, y, graphic->Width(), graphic->Height()), graphic);
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequiredState({csHandleValid});
  // Monochrome pictures draw in the font and brush colours.
  SetBkColor(handle_, ColorToRGB(brush_->Color()));
  SetTextColor(handle_, ColorToRGB(font_->Color()));
  graphic->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  Changing();
  RequiredState({csHandleValid, csFontValid, csBrushValid});
  canvas->RequiredState({csHandleValid, csBrushValid});
  StretchBlt(handle_, dest.left, dest.top, dest.Width(), dest.Height(), canvas->handle_, source.left, source.top,
             source.Width(), source.Height(), static_cast<DWORD>(copyMode_));
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  if (!bitmap || bitmap->Empty()) return;
  const int w = source.Width(), h = source.Height();
  if (w <= 0 || h <= 0) return;
  Changing();
  RequiredState({csHandleValid, csBrushValid});
  // The source part and a patch of our brush, both 32 bits; pixels of the
  // key colour take the brush's pixel.
  TBitmap picture, patch;
  picture.SetPixelFormat(pf32bit);
  picture.SetSize(w, h);
  patch.SetPixelFormat(pf32bit);
  patch.SetSize(w, h);
  BitBlt(picture.Canvas()->Handle(), 0, 0, w, h, bitmap->Canvas()->Handle(), source.left, source.top, SRCCOPY);
  patch.Canvas()->Brush()->Assign(brush_.get());
  patch.Canvas()->FillRect(Rect(0, 0, w, h));
  const COLORREF key = ColorToRGB(color);
  const uint32_t keyPixel = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<uint32_t*>(picture.ScanLine(y));
    const auto* fill = static_cast<const uint32_t*>(patch.ScanLine(y));
    for (int x = 0; x < w; ++x)
      if ((row[x] & 0xFFFFFF) == keyPixel) row[x] = fill[x];
  }
  StretchBlt(handle_, dest.left, dest.top, dest.Width(), dest.Height(), picture.Canvas()->Handle(), 0, 0, w, h,
             SRCCOPY);
  Changed();
}

TColor TCanvas::Pixels(int x, int y) {
  RequiredState({csHandleValid});
  return static_cast<TColor>(GetPixel(handle_, x, y));
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Changing();
  RequiredState({csHandleValid, csPenValid});
  SetPixelV(handle_, x, y, ColorToRGB(color));
  Changed();
}

TRect TCanvas::ClipRect() {
  RequiredState({csHandleValid});
  TRect r;
  GetClipBox(handle_, &r);
  return r;
}

}  // namespace forms
