#pragma once
// A single-line edit with a flat frame: no 3D border, a two-pixel margin
// drawn as a line in BorderColor outside a line in the edit's own colour.
// The border colour follows UIStyle or the theme file.
#include "controls/sty/STYThemes.h"
#include "platform/forms/StdCtrls.h"

namespace controls {

class TstyEdit : public forms::TCustomEdit, public IstyStyled {
public:
  explicit TstyEdit(forms::TComponent* owner);

  forms::TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(forms::TColor color);
  TstyUIStyle UIStyle() const { return uiStyle_; }
  void SetUIStyle(TstyUIStyle style) override;
  TstyFileTheme* FileTheme() const { return fileTheme_; }
  void SetFileTheme(TstyFileTheme* theme) override;
  // The non-client margin on every side, in pixels.
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int width);

protected:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void Dispatch(forms::TMessage& m) override;
  // Called after every style change.
  virtual void UIStyleChanged() {}

private:
  forms::TColor borderColor_ = forms::clBlack;
  TstyUIStyle uiStyle_ = DeepBlue;
  TstyFileTheme* fileTheme_ = nullptr;
  int borderWidth_ = 0;
};

}  // namespace controls
