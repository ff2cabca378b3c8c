#include "controls/uc/UcStdCtrls.h"

#include "controls/uc/UcControls.h"
#include "controls/uc/UcSysUtils.h"
#include "platform/forms/ControlMessages.h"
#include "controls/uc/UcWindows.h"
#include "platform/rtl/Text.h"
#include "platform/win/Font.h"
#include "platform/win/Dc.h"

namespace controls {

using namespace forms;

void TUcCustomLabel::SetCaption(const WideString& caption) {
  caption_ = caption;
  forms::TCustomLabel::SetText(rtl::WideToAnsi(caption));
  Invalidate();
}

void TUcCustomLabel::SetHint(const WideString& hint) {
  hint_ = hint;
  forms::TCustomLabel::SetHint(rtl::WideToAnsi(hint));
}

void TUcCustomLabel::DoDrawWideText(TRect& r, win::UINT flags) {
  WideString text = GetLabelText();
  // An empty line still has a height to measure.
  if (((flags & win::DT_CALCRECT) && text.empty()) || (ShowAccelChar() && text == u"&")) text += u' ';
  if (!ShowAccelChar()) flags |= win::DT_NOPREFIX;
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  win::HDC dc = c->Handle();
  win::SetBkMode(dc, win::TRANSPARENT);
  win::RECT rect{r.left, r.top, r.right, r.bottom};
  if (Enabled() || (flags & win::DT_CALCRECT)) {
    win::SetTextColor(dc, ColorToRGB(Font()->Color()));
    WDrawText(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
  } else {
    // Engraved: the highlight one pixel down and right, the shadow on top.
    rect = win::RECT{rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1};
    win::SetTextColor(dc, ColorToRGB(clBtnHighlight));
    WDrawText(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
    rect = win::RECT{rect.left - 1, rect.top - 1, rect.right - 1, rect.bottom - 1};
    win::SetTextColor(dc, ColorToRGB(clBtnShadow));
    WDrawText(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
  }
  r = TRect{rect.left, rect.top, rect.right, rect.bottom};
}

void TUcCustomLabel::Paint() {
  TCanvas* c = Canvas();
  if (!Transparent()) {
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(ClientRect());
  }
  TRect r = ClientRect();
  const win::UINT flags = DrawTextFlags();
  if (Layout() != tlTop) {
    TRect calc = r;
    DoDrawWideText(calc, flags | win::DT_CALCRECT);
    const int h = calc.bottom - calc.top;
    r.top = Layout() == tlBottom ? r.bottom - h : r.top + (r.bottom - r.top - h) / 2;
  }
  DoDrawWideText(r, flags);
}

void TUcCustomLabel::Dispatch(TMessage& m) {
  if (m.Msg == CM_HINTSHOW) PrepareWideHint(m);
  forms::TCustomLabel::Dispatch(m);
}

// The button stands in for the trapped windowed controls here, whose
// message hook comes with the Unicode windows.
void TUcButton::Dispatch(TMessage& m) {
  if (m.Msg == CM_HINTSHOW) PrepareWideHint(m);
  forms::TButton::Dispatch(m);
}

void TUcButton::SetCaption(const WideString& caption) {
  caption_ = caption;
  forms::TButton::SetText(rtl::WideToAnsi(caption));
  if (HandleAllocated()) win::SetWindowTextW(Handle(), caption_.c_str());
}

void TUcButton::SetHint(const WideString& hint) {
  hint_ = hint;
  forms::TButton::SetHint(rtl::WideToAnsi(hint));
}

}  // namespace controls
