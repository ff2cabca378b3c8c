#pragma once
// The themed frame a form may carry. Here it is the style carrier only:
// controls made on a form look for the first frame among the form's child
// controls and start with its style. The frame's own painting is not part
// of this library yet.
#include "controls/sty/STYThemes.h"
#include "platform/forms/ExtCtrls.h"

namespace controls {

class TstyForm : public forms::TCustomPanel, public IstyStyled {
public:
  explicit TstyForm(forms::TComponent* owner);

  TstyUIStyle UIStyle() const { return uiStyle_; }
  void SetUIStyle(TstyUIStyle style) override;
  TstyFileTheme* FileTheme() const { return fileTheme_; }
  void SetFileTheme(TstyFileTheme* theme) override;

protected:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

private:
  TstyUIStyle uiStyle_ = DeepBlue;
  TstyFileTheme* fileTheme_ = nullptr;
};

}  // namespace controls
