#include "controls/sty/STYEdit.h"

#include "controls/sty/STYMgr.h"
#include "controls/sty/STYPublic.h"
#include "platform/win/Api.h"

namespace controls {

using namespace forms;

TstyEdit::TstyEdit(TComponent* owner) : TCustomEdit(owner) {
  controlStyle_.Include(csOpaque);
  SetBorderStyle(bsNone);
  SetBorderWidth(2);
  SetUIStyle(OwnerFormUIStyle(owner));
}

void TstyEdit::SetUIStyle(TstyUIStyle style) {
  uiStyle_ = style;
  TstyUIStyle builtIn;
  if (ResolveUIStyle(fileTheme_, uiStyle_, builtIn)) {
    borderColor_ = fileTheme_->GetColor(styControlBorderColor);
  } else {
    borderColor_ = GetStyThemeColor(builtIn, styControlBorderColor);
  }
  UIStyleChanged();
  Invalidate();
}

void TstyEdit::SetFileTheme(TstyFileTheme* theme) {
  if (fileTheme_ && fileTheme_ != theme) fileTheme_->RemoveFreeNotification(this);
  fileTheme_ = theme;
  if (fileTheme_) fileTheme_->FreeNotification(this);
  SetUIStyle(uiStyle_);
}

void TstyEdit::SetBorderColor(TColor color) {
  borderColor_ = color;
  Invalidate();
}

void TstyEdit::SetBorderWidth(int width) {
  if (width == borderWidth_) return;
  borderWidth_ = width;
  if (HandleAllocated()) {
    win::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                      win::SWP_NOMOVE | win::SWP_NOSIZE | win::SWP_NOZORDER | win::SWP_NOACTIVATE |
                          win::SWP_FRAMECHANGED);
  }
}

void TstyEdit::Notification(TComponent* component, TOperation operation) {
  TCustomEdit::Notification(component, operation);
  if (operation == opRemove && component == fileTheme_) {
    fileTheme_ = nullptr;
    SetUIStyle(DeepBlue);
  }
}

void TstyEdit::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case win::WM_NCCALCSIZE: {
      TCustomEdit::Dispatch(m);
      if (!m.LParam) return;
      win::RECT* r = m.WParam ? &reinterpret_cast<win::NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0]
                              : reinterpret_cast<win::RECT*>(m.LParam);
      *r = Rect(r->left + borderWidth_, r->top + borderWidth_, r->right - borderWidth_, r->bottom - borderWidth_);
      return;
    }
    case win::WM_ERASEBKGND:
    case win::WM_PAINT:
      TCustomEdit::Dispatch(m);
      if (HandleAllocated()) DrawControlBorder(this, borderColor_, Color(), true);
      return;
    default:
      TCustomEdit::Dispatch(m);
  }
}

}  // namespace controls
