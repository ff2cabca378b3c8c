#include "controls/pb/PbCustomButton.h"

#include <algorithm>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Api.h"

using namespace forms;
using namespace win;

namespace controls {

void PaintParentBackground(TCanvas* canvas, TControl* control) {
  if (canvas) DrawParentBackground(control, canvas->Handle());
}

namespace {

std::unique_ptr<TFont> CopyOf(TFont* font) {
  auto copy = std::make_unique<TFont>();
  copy->Assign(font);
  return copy;
}


}  // namespace

TPbCustomButton::TPbCustomButton(TComponent* owner) : TCustomControl(owner) {
  TControlStyle style = ControlStyle();
  style.Exclude(csAcceptsControls);
  style.Exclude(csDoubleClicks);
  SetControlStyle(style);
  SetText("");
  fontMouseHover_ = CopyOf(Font());
  fontMouseDown_ = CopyOf(Font());
  fontDisabled_ = CopyOf(Font());
}

TPbCustomButton::~TPbCustomButton() { repeatTimer_.reset(); }

template <class T>
void TPbCustomButton::Change(T& field, T value) {
  if (field == value) return;
  field = value;
  Repaint();
}

void TPbCustomButton::SetCaption(const String& s) {
  caption_ = s;
  SetText(s);
  Repaint();
}

void TPbCustomButton::SetDefault(bool v) {
  default_ = v;
  if (!HandleAllocated()) return;
  if (TCustomForm* form = GetParentForm())
    form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
}

void TPbCustomButton::SetTransparent(bool v) { Change(transparent_, v); }
void TPbCustomButton::SetEnableTransparentColor(bool v) { Change(enableTransparentColor_, v); }
void TPbCustomButton::SetTransparentColor(TColor v) { Change(transparentColor_, v); }
void TPbCustomButton::SetFocusedRectMargin(int v) { Change(focusedRectMargin_, v); }
void TPbCustomButton::SetTextAlign(TPbTextAlign v) { Change(textAlign_, v); }
void TPbCustomButton::SetPictureAlign(TPbPicAlign v) { Change(pictureAlign_, v); }
void TPbCustomButton::SetTextX(int v) { Change(textX_, v); }
void TPbCustomButton::SetTextY(int v) { Change(textY_, v); }
void TPbCustomButton::SetPictureX(int v) { Change(pictureX_, v); }
void TPbCustomButton::SetPictureY(int v) { Change(pictureY_, v); }
void TPbCustomButton::SetMultiLines(bool v) { Change(multiLines_, v); }
void TPbCustomButton::SetStretch(bool v) { Change(stretch_, v); }
void TPbCustomButton::SetDrawFocused(bool v) { Change(drawFocused_, v); }
void TPbCustomButton::SetDrawBorder(bool v) { Change(drawBorder_, v); }

void TPbCustomButton::SetFontMouseHover(TFont* f) {
  fontMouseHover_->Assign(f);
  Repaint();
}
void TPbCustomButton::SetFontMouseDown(TFont* f) {
  fontMouseDown_->Assign(f);
  Repaint();
}
void TPbCustomButton::SetFontDisabled(TFont* f) {
  fontDisabled_->Assign(f);
  Repaint();
}

void TPbCustomButton::SetEnabled(bool enabled) {
  TCustomControl::SetEnabled(enabled);
  Repaint();
}

void TPbCustomButton::CreateWnd() {
  TCustomControl::CreateWnd();
  active_ = default_;
}

// ---- painting ----

void TPbCustomButton::Paint() {
  const int w = Width(), h = Height();
  TBitmap face;
  face.SetSize(w, h);
  TCanvas* fc = face.Canvas();
  const TRect client = ClientRect();
  if (transparent_) {
    // A button on a tab sheet asks for what lies behind the sheet, at the
    // sheet's place in its own parent.
    TControl* behind = this;
    if (dynamic_cast<TTabSheet*>(Parent())) behind = Parent();
    PaintParentBackground(fc, behind);
  } else {
    fc->Brush()->SetColor(Color());
    fc->FillRect(client);
  }

  auto picture = std::make_unique<TPicture>();
  if (GetStatePicture(picture.get())) {
    try {
      TBitmap work;
      work.SetSize(w, h);
      BitBlt(work.Canvas()->Handle(), 0, 0, w, h, fc->Handle(), 0, 0, SRCCOPY);
      PaintPicture(work.Canvas(), picture.get());
      if (enableTransparentColor_)
        TransparentBlt(fc->Handle(), 0, 0, w, h, work.Canvas()->Handle(), 0, 0, w, h,
                       ColorToRGB(transparentColor_));
      else
        BitBlt(fc->Handle(), 0, 0, w, h, work.Canvas()->Handle(), 0, 0, SRCCOPY);
    } catch (const std::exception&) {
      // A picture that cannot be drawn leaves the background alone.
    }
  }
  picture.reset();

  if (drawBorder_) PaintBorder(fc);
  if (drawFocused_ && Focused() && TabStop()) PaintFocusRect(fc);
  if (!rtl::Trim(caption_).empty()) PaintCaption(fc, caption_);
  Canvas()->CopyRect(client, fc, client);
}

void TPbCustomButton::PaintPicture(TCanvas* canvas, TPicture* picture) {
  if (!picture || !picture->Graphic()) return;
  const int pw = picture->Width(), ph = picture->Height();
  if (pw == 0 || ph == 0) return;
  const int W = Width(), H = Height();
  int x = 0, y = 0;
  switch (pictureAlign_) {
    case paTopLeft: break;
    case paTopCenter: x = (W - pw) / 2; break;
    case paTopRight: x = W - pw; break;
    case paMiddleLeft:
    case paLeft: y = (H - ph) / 2; break;
    case paMiddleCenter:
    case paCenter: x = (W - pw) / 2; y = (H - ph) / 2; break;
    case paMiddleRight:
    case paRight: x = W - pw; y = (H - ph) / 2; break;
    case paBottomLeft: y = H - ph; break;
    case paBottomCenter: x = (W - pw) / 2; y = H - ph; break;
    case paBottomRight: x = W - pw; y = H - ph; break;
    case paCustom: x = pictureX_; y = pictureY_; break;
  }
  if (stretch_)
    canvas->StretchDraw(Rect(x, y, W, H), picture->Graphic());
  else
    canvas->Draw(x, y, picture->Graphic());
}

void TPbCustomButton::PaintCaption(TCanvas* canvas, const String&) {
  canvas->Brush()->SetStyle(bsClear);
  UINT flags = multiLines_ ? (DT_WORDBREAK | DT_EXPANDTABS | DT_EDITCONTROL)
                           : (DT_WORDBREAK | DT_EXPANDTABS | DT_SINGLELINE);
  switch (textAlign_) {
    case taTopLeft: break;
    case taTopCenter: flags |= DT_CENTER; break;
    case taTopRight: flags |= DT_RIGHT; break;
    case taMiddleLeft:
    case taLeft: flags |= DT_VCENTER; break;
    case taMiddleCenter:
    case taCenter: flags |= DT_VCENTER | DT_CENTER; break;
    case taMiddleRight:
    case taRight: flags |= DT_VCENTER | DT_RIGHT; break;
    case taBottomLeft: flags |= DT_BOTTOM; break;
    case taBottomCenter: flags |= DT_BOTTOM | DT_CENTER; break;
    case taBottomRight: flags |= DT_BOTTOM | DT_RIGHT; break;
    case taCustom: break;
  }
  TRect r = textAlign_ == taCustom ? Rect(textX_, textY_, ClientWidth(), ClientHeight()) : ClientRect();
  if (!Enabled()) {
    canvas->SetFont(fontDisabled_.get());
  } else if (pressed_) {
    canvas->SetFont(fontMouseDown_.get());
    if (textAlign_ != taCustom) r = Rect(r.left + 1, r.top + 1, r.right + 1, r.bottom + 1);
  } else if (hover_) {
    canvas->SetFont(fontMouseHover_.get());
  } else {
    canvas->SetFont(Font());
  }
  canvas->RequiredState({csHandleValid, csFontValid, csBrushValid});
  DrawTextA(canvas->Handle(), caption_.c_str(), -1, &r, flags);
}

void TPbCustomButton::PaintFocusRect(TCanvas* canvas) {
  const TRect c = ClientRect();
  const int m = focusedRectMargin_;
  canvas->DrawFocusRect(Rect(c.left + m, c.top + m, c.right - m, c.bottom - m));
}

void TPbCustomButton::PaintBorder(TCanvas* canvas) {
  canvas->Brush()->SetStyle(bsClear);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(1);
  canvas->Pen()->SetColor(Enabled() ? TColor(0x000000) : TColor(0x808080));
  const TRect r = ClientRect();
  canvas->Rectangle(r);
}

bool TPbCustomButton::GetStatePicture(TPicture*) { return false; }

// ---- mouse, keys and messages ----

void TPbCustomButton::StopRepeat() { repeatTimer_.reset(); }

void TPbCustomButton::RepeatTick(TObject*) {
  if (OnMouseContinuouslyDown) OnMouseContinuouslyDown(this);
}

void TPbCustomButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    pressed_ = true;
    if (!repeatTimer_) {
      repeatTimer_ = std::make_unique<TTimer>(nullptr);
      repeatTimer_->SetEnabled(false);
      repeatTimer_->OnTimer = [this](TObject* s) { RepeatTick(s); };
      repeatTimer_->SetInterval(static_cast<uint32_t>(std::max(repeatInterval_, 0)));
      repeatTimer_->SetEnabled(true);
    }
    if (TabStop() && CanFocus() && Enabled() && Visible()) {
      try {
        SetFocus();
      } catch (const std::exception&) {
        // Focus is a courtesy here; the press goes on without it.
      }
    }
    Repaint();
  }
  TCustomControl::MouseDown(button, shift, x, y);
}

void TPbCustomButton::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (x < 0 || y < 0 || x > Width() || y > Height()) {
    hover_ = false;
    pressed_ = false;
    Repaint();
  }
}

void TPbCustomButton::Click() {
  if (pressed_) {
    StopRepeat();
    pressed_ = false;
    Repaint();
  }
  if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  TCustomControl::Click();
}

void TPbCustomButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER:
      if (ComponentState().Contains(csDesigning)) return;
      hover_ = true;
      Repaint();
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      hover_ = false;
      pressed_ = false;
      StopRepeat();
      Repaint();
      if (OnMouseExit) OnMouseExit(this);
      return;
    case WM_KEYDOWN:
      TCustomControl::Dispatch(m);
      if ((m.WParam == VK_SPACE || m.WParam == VK_RETURN) && Focused() && Enabled()) {
        pressed_ = true;
        Repaint();
      }
      return;
    case WM_KEYUP:
      TCustomControl::Dispatch(m);
      if ((m.WParam == VK_SPACE || m.WParam == VK_RETURN) && Focused() && pressed_ && Enabled()) {
        pressed_ = false;
        Repaint();
        Click();
      }
      return;
    case CM_DIALOGKEY: {
      const bool enter = m.WParam == VK_RETURN && active_;
      const bool esc = m.WParam == VK_ESCAPE && cancel_;
      if ((enter || esc) && KeyDataToShiftState(m.LParam).Empty() && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    }
    case CM_DIALOGCHAR:
      TCustomControl::Dispatch(m);
      if (IsAccel(m.WParam, caption_) && Enabled()) {
        Click();
        m.Result = 1;
      } else {
        m.Result = 0;
      }
      return;
    case CM_FOCUSCHANGED: {
      TCustomControl::Dispatch(m);
      auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
      active_ = dynamic_cast<TButton*>(focused) ? false : default_;
      Repaint();
      return;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::Dispatch(m);
      Repaint();
      return;
    case WM_ERASEBKGND:
      // Paint covers every pixel; erasing first would only flicker.
      m.Result = 1;
      return;
    case CM_FONTCHANGED:
      Canvas()->SetFont(Font());
      Repaint();
      return;
    case CM_TEXTCHANGED:
      SetCaption(GetText());
      return;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

}  // namespace controls
