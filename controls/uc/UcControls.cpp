#include "controls/uc/UcControls.h"

#include "controls/uc/UcForms.h"
#include "controls/uc/UcGraphics.h"
#include "controls/uc/UcStdCtrls.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/forms/Actions.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Text.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"

namespace controls {

using namespace forms;

const THintWindowClassInfo TUcCustomHintWindow::ClassInfo{
    &THintWindow::ClassInfo, [](TComponent* owner) { return new TUcCustomHintWindow(owner); }};

WideString WideShortHint(const WideString& hint) {
  const size_t bar = hint.find(u'|');
  return bar == WideString::npos ? hint : hint.substr(0, bar);
}

WideString WideLongHint(const WideString& hint) {
  const size_t bar = hint.find(u'|');
  return bar == WideString::npos ? hint : hint.substr(bar + 1);
}

WideString GetInheritedWideHint(TControl* control) {
  // The wide captions and hints of every control come with the wide
  // controls core; until then the wide controls of this library answer
  // their own, every other control its 8-bit hint.
  for (TControl* c = control; c; c = c->Parent()) {
    WideString hint;
    if (auto* label = dynamic_cast<TUcCustomLabel*>(c))
      hint = label->Hint();
    else if (auto* button = dynamic_cast<TUcButton*>(c))
      hint = button->Hint();
    else if (auto* form = dynamic_cast<TUcForm*>(c))
      hint = form->Hint();
    else
      hint = rtl::AnsiToWide(c->Hint());
    if (!hint.empty()) return hint;
  }
  return {};
}

void PrepareWideHint(TMessage& message) {
  if (!IsUnicodePlatform() || !message.LParam) return;
  auto* info = reinterpret_cast<THintInfo*>(message.LParam);
  const THintWindowClassInfo* cls = info->HintWindowClass ? info->HintWindowClass : &THintWindow::ClassInfo;
  if (cls != &THintWindow::ClassInfo && !cls->InheritsFrom(&TUcCustomHintWindow::ClassInfo)) return;
  if (cls == &THintWindow::ClassInfo) info->HintWindowClass = &TUcCustomHintWindow::ClassInfo;
  info->HintData = info;
  info->HintStr = rtl::WideToAnsi(WideShortHint(GetInheritedWideHint(info->HintControl)));
}

bool IsWideHintData(void* data) {
  if (!data) return false;
  const auto* info = static_cast<const THintInfo*>(data);
  return info->HintData == data && info->HintWindowClass &&
         info->HintWindowClass->InheritsFrom(&TUcCustomHintWindow::ClassInfo);
}

WideString GetWideHintText(const THintInfo& info) {
  const WideString converted = rtl::AnsiToWide(info.HintStr);
  if (converted.empty()) return converted;
  const WideString wide = WideShortHint(GetInheritedWideHint(info.HintControl));
  if (rtl::WideToAnsi(wide) == info.HintStr) return wide;
  if (Application && Application->HintShortCuts() && info.HintControl) {
    auto* action = dynamic_cast<TCustomAction*>(info.HintControl->Action());
    if (action && action->ShortCut() != 0) {
      const String shortcut = ShortCutToText(action->ShortCut());
      if (rtl::WideToAnsi(wide) + " (" + shortcut + ")" == info.HintStr)
        // The shortcut's wide text comes with the wide menus; its 8-bit
        // text converted stands in.
        return wide + u" (" + rtl::AnsiToWide(shortcut) + u")";
    }
  }
  return converted;
}

void TUcCustomHintWindow::SetWideCaption(const WideString& caption) {
  caption_ = caption;
  SetCaption(rtl::WideToAnsi(caption));
  if (!activating_) {
    const win::SIZE size = WideCanvasTextExtent(Canvas(), caption_);
    SetWidth(size.cx + 6);
    SetHeight(size.cy + 6);
  }
}

void TUcCustomHintWindow::ActivateHint(TRect rect, const rtl::String& hint) {
  activating_ = true;
  try {
    caption_ = rtl::AnsiToWide(hint);
    THintWindow::ActivateHint(rect, hint);
  } catch (...) {
    activating_ = false;
    throw;
  }
  activating_ = false;
}

void TUcCustomHintWindow::ActivateHintData(TRect rect, const rtl::String& hint, void* data) {
  if (!IsUnicodePlatform() || !IsWideHintData(data)) {
    ActivateHint(rect, hint);
    return;
  }
  blockPaint_ = activating_ = true;
  try {
    const WideString text = GetWideHintText(*static_cast<const THintInfo*>(data));
    caption_ = text;
    THintWindow::ActivateHint(rect, rtl::WideToAnsi(text));
    caption_ = text;
  } catch (...) {
    blockPaint_ = activating_ = false;
    throw;
  }
  blockPaint_ = activating_ = false;
  Invalidate();
}

TRect TUcCustomHintWindow::CalcHintRect(int maxWidth, const rtl::String& hint, void* data) {
  if (!IsUnicodePlatform() || !IsWideHintData(data)) return THintWindow::CalcHintRect(maxWidth, hint, data);
  const WideString text = GetWideHintText(*static_cast<const THintInfo*>(data));
  win::RECT r{0, 0, maxWidth, 0};
  Canvas()->Font()->Assign(Screen->HintFont());
  WDrawText(Canvas()->Handle(), text.c_str(), static_cast<int>(text.size()), &r,
            win::DT_CALCRECT | win::DT_NOPREFIX | win::DT_WORDBREAK);
  return TRect{0, 0, r.right + 6, r.bottom + 2};
}

void TUcCustomHintWindow::Paint() {
  if (blockPaint_) return;
  if (!IsUnicodePlatform()) {
    THintWindow::Paint();
    return;
  }
  win::RECT r{2, 2, ClientWidth(), ClientHeight()};
  Canvas()->Font()->Assign(Screen->HintFont());
  win::HDC dc = Canvas()->Handle();
  win::SetBkMode(dc, win::TRANSPARENT);
  win::SetTextColor(dc, ColorToRGB(Screen->HintFont()->Color()));
  WDrawText(dc, caption_.c_str(), static_cast<int>(caption_.size()), &r, win::DT_NOPREFIX | win::DT_WORDBREAK);
}

}  // namespace controls
