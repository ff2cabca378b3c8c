#include "controls/fc/FcButton.h"

#include <array>

#include "platform/forms/Forms.h"
#include "platform/win/Api.h"

namespace controls {

using forms::TMessage;

TFcCustomButton::TFcCustomButton(forms::TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(forms::TControlStyle{forms::csCaptureMouse, forms::csSetCaption, forms::csDoubleClicks,
                                       forms::csReplicatable, forms::csReflector});
  SetBounds(Left(), Top(), 115, 17);
  SetTabStop(true);
}

TFcCustomButton::~TFcCustomButton() = default;

#define FC_BUTTON_SETTER(Name, Type, field) \
  void TFcCustomButton::Set##Name(Type v) { \
    if (field == v) return;                 \
    field = v;                              \
    Invalidate();                           \
  }
FC_BUTTON_SETTER(AlignmentVertical, TAlignmentVertical, alignmentVertical_)
FC_BUTTON_SETTER(HotTrack, bool, hotTrack_)
FC_BUTTON_SETTER(HighlightColor, TColor, highlightColor_)
FC_BUTTON_SETTER(HotTrackColor, TColor, hotTrackColor_)
FC_BUTTON_SETTER(HotTrackColorType, TFcHotTrackColorType, hotTrackColorType_)
FC_BUTTON_SETTER(LightTextStyle, bool, lightTextStyle_)
FC_BUTTON_SETTER(TextStyle, TTextStyle, textStyle_)
FC_BUTTON_SETTER(TextHighlightColor, TColor, textHighlightColor_)
FC_BUTTON_SETTER(TextShadowColor, TColor, textShadowColor_)
FC_BUTTON_SETTER(TextShadowDepth, int, textShadowDepth_)
FC_BUTTON_SETTER(ThemeAware, bool, themeAware_)
FC_BUTTON_SETTER(Transparent, bool, transparent_)
#undef FC_BUTTON_SETTER

void TFcCustomButton::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != forms::mbLeft || !Enabled()) return;
  SetFocus();
  if (!Focused()) return;
  pressed_ = true;
  ShowPressedChange();
  dragging_ = true;
}

void TFcCustomButton::MouseMove(forms::TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  // The bottom edge counts as inside, as it always has for these buttons.
  const bool inside = x >= 0 && x < ClientWidth() && y >= 0 && y <= ClientHeight();
  if (inside == pressed_) return;
  pressed_ = inside;
  ShowPressedChange();
}

void TFcCustomButton::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (!dragging_) return;
  dragging_ = false;
  pressed_ = false;
  if (x >= 0 && x < ClientWidth() && y >= 0 && y < ClientHeight()) Activate();
  ShowPressedChange();
}

void TFcCustomButton::InvalidateHotTrack() {
  if (!(hotTrack_ || (themeAware_ && FcThemesEnabled())) || !HandleAllocated()) return;
  const TRect r = HotTrackRect();
  win::InvalidateRect(Handle(), &r, win::FALSE);
}

void TFcCustomButton::Dispatch(TMessage& m) {
  const bool designing = ComponentState().Contains(forms::csDesigning);
  switch (m.Msg) {
    case forms::CM_MOUSEENTER:
      if (designing) break;
      mouseOver_ = true;
      TCustomControl::Dispatch(m);
      InvalidateHotTrack();
      return;
    case forms::CM_MOUSELEAVE:
      if (designing) break;
      mouseOver_ = false;
      TCustomControl::Dispatch(m);
      InvalidateHotTrack();
      return;
    case win::WM_SETFOCUS:
    case win::WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      ShowFocusChange();
      return;
    case forms::CM_ENABLEDCHANGED:
      if (!Enabled() && Parent() && HandleAllocated() && Focused()) {
        // Focus goes back to the form rather than staying on a dead control.
        if (forms::TCustomForm* form = GetParentForm(); form && form->HandleAllocated())
          win::SetFocus(form->Handle());
      }
      if (HandleAllocated() && !designing) win::EnableWindow(Handle(), Enabled());
      TCustomControl::Dispatch(m);
      Invalidate();
      return;
    case forms::CM_TEXTCHANGED:
      TCustomControl::Dispatch(m);
      Repaint();
      return;
    case win::WM_ERASEBKGND:
      if (transparent_) {
        PaintParentImage(reinterpret_cast<win::HDC>(m.WParam));
        m.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

void TFcCustomButton::DrawCaption(forms::TCanvas* canvas, TRect r, win::UINT format) {
  const forms::String text = Caption();
  canvas->Brush()->SetStyle(forms::bsClear);
  canvas->Font()->Assign(Font());
  auto draw = [&](TRect at, TColor color) {
    canvas->Font()->SetColor(color);
    canvas->RequiredState({forms::csHandleValid, forms::csFontValid, forms::csBrushValid});
    win::HDC dc = canvas->Handle();
    win::SetBkMode(dc, win::TRANSPARENT);
    win::SetTextColor(dc, forms::ColorToRGB(color));
    win::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &at, format);
  };
  TRect measure = r;
  canvas->RequiredState({forms::csHandleValid, forms::csFontValid});
  win::DrawTextA(canvas->Handle(), text.c_str(), static_cast<int>(text.size()), &measure,
                 format | win::DT_CALCRECT | win::DT_EXPANDTABS | win::DT_WORDBREAK | win::DT_VCENTER |
                     win::DT_CENTER);
  const int h = measure.bottom - measure.top;
  switch (alignmentVertical_) {
    case avTop: r.bottom = r.top + h; break;
    case avCenter:
      r.top = (r.top + r.bottom - h) / 2;
      r.bottom = r.top + h;
      break;
    case avBottom: r.top = r.bottom - h - 1; break;
  }
  if (UseRightToLeftReading()) format |= win::DT_RTLREADING;
  if (!Enabled()) {
    draw(r, forms::clGrayText);
  } else {
    const TColor font = Font()->Color();
    auto moved = [](TRect at, int dx, int dy) { return TRect{at.left + dx, at.top + dy, at.right + dx, at.bottom + dy}; };
    if (textStyle_ == tsRaised || textStyle_ == tsRecessed) {
      const TColor a = textStyle_ == tsRaised ? textHighlightColor_ : textShadowColor_;
      const TColor b = textStyle_ == tsRaised ? textShadowColor_ : textHighlightColor_;
      if (textStyle_ == tsRecessed || !lightTextStyle_) draw(moved(r, 1, 1), b);
      if (textStyle_ == tsRaised || !lightTextStyle_) draw(moved(r, -1, -1), a);
    } else if (textStyle_ == tsShadow) {
      const bool right = (format & win::DT_RIGHT) != 0;
      draw(moved(r, right ? 0 : textShadowDepth_, textShadowDepth_), textShadowColor_);
    }
    // Right-aligned captions always give up the shadow's depth on the left.
    if (format & win::DT_RIGHT) r = moved(r, -textShadowDepth_, 0);
    draw(r, font);
    canvas->Font()->SetColor(font);
  }
  canvas->Brush()->SetStyle(forms::bsSolid);
}

const forms::String& FcButtonCaption(int kind) {
  static const std::array<forms::String, 11> kCaptions = {"",       "OK",      "Cancel", "&Help",   "&Yes", "&No",
                                                         "&Close", "Abort",   "&Retry", "&Ignore", "&All"};
  static const forms::String kNone;
  return kind >= 0 && kind < static_cast<int>(kCaptions.size()) ? kCaptions[static_cast<size_t>(kind)] : kNone;
}

}  // namespace controls
