// The wrappers of the standard controls: buttons, check boxes, radio
// buttons, group boxes and labels. (Edits are in StdCtrlsEdit.cpp.)
#include "platform/forms/StdCtrls.h"

#include <algorithm>
#include <cctype>

#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

bool IsAccel(WPARAM ch, const String& text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::toupper(static_cast<unsigned char>(text[i + 1])) == std::toupper(static_cast<int>(ch & 0xFF));
  }
  return false;
}

// ---- TButtonControl ----

TButtonControl::TButtonControl(TComponent* owner) : TWinControl(owner) {
  RegisterStdControlClasses();
  SetControlStyle(TControlStyle{csSetCaption, csDoubleClicks});
  SetTabStop(true);
}

void TButtonControl::SendFont() {
  if (HandleAllocated()) SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
}

void TButtonControl::CreateWnd() {
  TWinControl::CreateWnd();
  SendFont();
}

void TButtonControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_FONTCHANGED:
      SendFont();
      break;
    case CM_TEXTCHANGED:
      Invalidate();
      break;
    case WM_LBUTTONDBLCLK:
      // A double click on a button is a second press.
      m.Msg = WM_LBUTTONDOWN;
      TWinControl::Dispatch(m);
      m.Msg = WM_LBUTTONDBLCLK;
      return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

// ---- TButton ----

TButton::TButton(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 75, 25); }

void TButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= (active_ || default_) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  p.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}

void TButton::SetDefault(bool v) {
  if (default_ == v) return;
  default_ = v;
  if (!HandleAllocated()) {
    active_ = v;
    return;
  }
  // The focused button stays the one Enter presses.
  TCustomForm* form = GetParentForm();
  TWinControl* focused = form ? form->ActiveControl() : nullptr;
  if (!dynamic_cast<TButton*>(focused)) SetButtonStyle(v);
}

void TButton::SetButtonStyle(bool makeDefault) {
  active_ = makeDefault;
  if (!HandleAllocated()) return;
  const DWORD want = makeDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
  if ((static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE)) & BS_TYPEMASK) != want)
    SendMessageA(Handle(), BM_SETSTYLE, want, TRUE);
}

void TButton::Click() {
  if (modalResult_ != mrNone)
    if (TCustomForm* form = GetParentForm()) form->SetModalResult(modalResult_);
  TButtonControl::Click();
}

void TButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) Click();
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
      if (IsAccel(m.WParam, Caption()) && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      break;
    case CM_FOCUSCHANGED: {
      auto* focused = reinterpret_cast<TWinControl*>(m.LParam);
      if (auto* b = dynamic_cast<TButton*>(focused))
        SetButtonStyle(b == this);
      else
        SetButtonStyle(default_);
      break;
    }
    default:
      break;
  }
  TButtonControl::Dispatch(m);
}

// ---- TCustomCheckBox ----

TCustomCheckBox::TCustomCheckBox(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 97, 17); }

void TCustomCheckBox::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= BS_3STATE;
  if (alignment_ == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(Handle(), BM_SETCHECK, static_cast<WPARAM>(state_), 0);
}

void TCustomCheckBox::SetAlignment(TAlignment a) {
  if (alignment_ == a) return;
  alignment_ = a;
  RecreateWnd();
}

void TCustomCheckBox::SetState(TCheckBoxState s) {
  if (state_ == s) return;
  state_ = s;
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, static_cast<WPARAM>(state_), 0);
  if (!ClicksDisabled()) Click();
}

void TCustomCheckBox::Toggle() {
  switch (state_) {
    case cbUnchecked:
      SetState(cbChecked);
      break;
    case cbChecked:
      SetState(allowGrayed_ ? cbGrayed : cbUnchecked);
      break;
    case cbGrayed:
      SetState(cbUnchecked);
      break;
  }
}

void TCustomCheckBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) Toggle();
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(m.WParam, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) Toggle();
        m.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TButtonControl::Dispatch(m);
}

// ---- TRadioButton ----

TRadioButton::TRadioButton(TComponent* owner) : TButtonControl(owner) {
  SetBounds(0, 0, 113, 17);
  SetTabStop(false);
}

void TRadioButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, "BUTTON");
  p.Style |= BS_RADIOBUTTON;
  if (alignment_ == taLeftJustify) p.Style |= BS_LEFTTEXT;
}

void TRadioButton::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageA(Handle(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetAlignment(TAlignment a) {
  if (alignment_ == a) return;
  alignment_ = a;
  RecreateWnd();
}

void TRadioButton::SetChecked(bool v) {
  if (checked_ == v) return;
  checked_ = v;
  // Only the checked button of a group is a tab stop: Tab enters the
  // group there, and the arrows move within it.
  SetTabStop(v);
  if (HandleAllocated()) SendMessageA(Handle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!v) return;
  if (TWinControl* parent = Parent())
    for (int i = 0; i < parent->ControlCount(); ++i)
      if (auto* sibling = dynamic_cast<TRadioButton*>(parent->Controls(i)); sibling && sibling != this)
        sibling->SetChecked(false);
  if (!ClicksDisabled()) Click();
}

void TRadioButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) SetChecked(true);
      else if (HIWORD(m.WParam) == BN_DOUBLECLICKED) DblClick();
      return;
    case CM_DIALOGCHAR:
      if (IsAccel(m.WParam, Caption()) && CanFocus()) {
        SetFocus();
        if (Focused()) SetChecked(true);
        m.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TButtonControl::Dispatch(m);
}

// ---- TGroupBox ----

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks,
                                csReplicatable, csParentBackground});
  SetBounds(0, 0, 185, 105);
}

int FontTextHeight(TFont* font) {
  // Measured on the screen: asking for a control's canvas here would make
  // its window, perhaps before it has a parent.
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  SIZE size{};
  GetTextExtentPoint32A(dc, "0", 1, &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cy;
}

void TGroupBox::AdjustClientRect(TRect& r) const {
  TCustomControl::AdjustClientRect(r);
  const int h = FontTextHeight(Font());
  r.top += h;
  r.left += 2, r.right -= 2, r.bottom -= 2;
  if (r.bottom < r.top) r.bottom = r.top;
}

void TGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  const int h = FontTextHeight(Font());
  TRect frame = Rect(0, h / 2, Width(), Height());
  DrawEdge(c->Handle(), &frame, EDGE_ETCHED, BF_RECT);
  const String text = Caption();
  if (text.empty()) return;
  HDC dc = c->Handle();
  RECT tr{8, 0, Width() - 8, h};
  DrawTextA(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_CALCRECT);
  c->Brush()->SetColor(Color());
  RECT back{tr.left - 1, tr.top, tr.right + 1, tr.bottom};
  c->FillRect(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  DrawStdText(dc, text, tr, DT_SINGLELINE | DT_LEFT, Enabled());
}

void TGroupBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_DIALOGCHAR:
      // The accelerator of a group goes to its first control.
      if (IsAccel(m.WParam, Caption()) && CanFocus()) {
        SelectNext(nullptr, true, true);
        m.Result = 1;
        return;
      }
      break;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      Realign();
      Invalidate();
      break;
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

// ---- TCustomLabel ----

TCustomLabel::TCustomLabel(TComponent* owner) : TGraphicControl(owner) {
  SetControlStyle(TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csOpaque, csReplicatable,
                                csDoubleClicks});
  SetBounds(0, 0, 65, 17);
  SetParentColor(true);
}

void TCustomLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TCustomLabel::SetAutoSize(bool v) {
  if (autoSize_ == v) return;
  autoSize_ = v;
  AdjustBounds();
}
void TCustomLabel::SetWordWrap(bool v) {
  if (wordWrap_ == v) return;
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}
void TCustomLabel::SetAlignment(TAlignment a) {
  if (alignment_ == a) return;
  alignment_ = a;
  Invalidate();
}
void TCustomLabel::SetLayout(TTextLayout l) {
  if (layout_ == l) return;
  layout_ = l;
  Invalidate();
}
void TCustomLabel::SetTransparent(bool v) {
  if (Transparent() == v) return;
  if (v)
    controlStyle_.Exclude(csOpaque);
  else
    controlStyle_.Include(csOpaque);
  Invalidate();
}
void TCustomLabel::SetShowAccelChar(bool v) {
  if (showAccelChar_ == v) return;
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

UINT TCustomLabel::DrawTextFlags() const {
  UINT flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  else if (alignment_ == taCenter) flags |= DT_CENTER;
  return flags;
}

void TCustomLabel::DoDrawText(TRect& r, UINT flags) {
  const String caption = Caption();
  // An empty line still has a height to measure.
  const bool blank = caption.empty() || (showAccelChar_ && caption == "&");
  const String text = (flags & DT_CALCRECT) && blank ? caption + String(1, ' ') : caption;
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  if (flags & DT_CALCRECT) {
    DrawTextA(dc, text.c_str(), -1, &r, flags);
    return;
  }
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  DrawStdText(dc, text, r, flags, Enabled());
}

void TCustomLabel::Paint() {
  TCanvas* c = Canvas();
  if (!Transparent()) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
  }
  TRect r = ClientRect();
  const UINT flags = DrawTextFlags();
  if (layout_ != tlTop) {
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    const int h = calc.bottom - calc.top;
    r.top = layout_ == tlBottom ? r.bottom - h : r.top + (r.bottom - r.top - h) / 2;
  }
  DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || ComponentState().Contains(csLoading)) return;
  // Measuring needs a DC: the parent's window, or the screen without one.
  if (!Parent() || !Parent()->HandleAllocated()) {
    HDC screen = GetDC(nullptr);
    TCanvas measure;
    measure.SetHandle(screen);
    measure.Font()->Assign(Font());
    const String caption = Caption();
    const String text = caption.empty() ? String(1, ' ') : caption;
    RECT r{0, 0, wordWrap_ ? Width() : 0, 0};
    DrawTextA(measure.Handle(), text.c_str(), -1, &r, DrawTextFlags() | DT_CALCRECT);
    measure.SetHandle(nullptr);
    ReleaseDC(nullptr, screen);
    SetBounds(Left(), Top(), wordWrap_ ? Width() : r.right, r.bottom);
    return;
  }
  TRect r = Rect(0, 0, wordWrap_ ? Width() : 0, 0);
  DoDrawText(r, DrawTextFlags() | DT_CALCRECT);
  Canvas()->Refresh();
  int left = Left();
  if (!wordWrap_ && alignment_ == taRightJustify) left += Width() - r.right;
  else if (!wordWrap_ && alignment_ == taCenter) left += (Width() - r.right) / 2;
  SetBounds(left, Top(), wordWrap_ ? Width() : r.right, r.bottom);
}

void TCustomLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::Dispatch(m);
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (focusControl_ && Enabled() && showAccelChar_ && IsAccel(m.WParam, Caption()) && focusControl_->CanFocus()) {
        focusControl_->SetFocus();
        m.Result = 1;
        return;
      }
      break;
    default:
      break;
  }
  TGraphicControl::Dispatch(m);
}

}  // namespace forms
