#include "controls/sty/STYForm.h"

#include "controls/sty/STYMgr.h"

namespace controls {

TstyForm::TstyForm(forms::TComponent* owner) : forms::TCustomPanel(owner) {}

void TstyForm::SetUIStyle(TstyUIStyle style) {
  uiStyle_ = style;
  Invalidate();
}

void TstyForm::SetFileTheme(TstyFileTheme* theme) {
  if (theme == fileTheme_) return;
  if (fileTheme_) fileTheme_->RemoveFreeNotification(this);
  fileTheme_ = theme;
  if (fileTheme_) fileTheme_->FreeNotification(this);
  SetUIStyle(uiStyle_);
}

void TstyForm::Notification(forms::TComponent* component, forms::TOperation operation) {
  forms::TCustomPanel::Notification(component, operation);
  if (operation == forms::opRemove && component == fileTheme_) {
    fileTheme_ = nullptr;
    SetUIStyle(DeepBlue);
  }
}

}  // namespace controls
