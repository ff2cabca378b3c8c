#pragma once
// A combo box painted flat: after the system has drawn it, a frame in
// BorderColor, the drop-down button as a block in ButtonColor with a
// separator and a small arrow in ArrowColor (or a style bitmap), and a
// frame round the open list.
#include "controls/sty/STYThemes.h"
#include "platform/forms/StdCtrls.h"

namespace controls {

class TstyCustomComboBox : public forms::TCustomComboBox, public IstyStyled {
public:
  explicit TstyCustomComboBox(forms::TComponent* owner);

  forms::TColor BorderColor() const { return borderColor_; }
  void SetBorderColor(forms::TColor color);
  forms::TColor ButtonColor() const { return buttonColor_; }
  void SetButtonColor(forms::TColor color);
  forms::TColor ArrowColor() const { return arrowColor_; }
  void SetArrowColor(forms::TColor color);
  TstyUIStyle UIStyle() const { return uiStyle_; }
  // Also resets ArrowColor to black.
  void SetUIStyle(TstyUIStyle style) override;
  TstyFileTheme* FileTheme() const { return fileTheme_; }
  void SetFileTheme(TstyFileTheme* theme) override;
  void SetEnabled(bool enabled) override;
  // Right-to-left reading (the separator then goes on the button's right
  // edge when the system's locale reads that way too).
  bool RightToLeft() const { return rightToLeft_; }
  void SetRightToLeft(bool v);

protected:
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void Dispatch(forms::TMessage& m) override;

private:
  void DrawComboFrame();
  void DrawArrow(forms::TCanvas* canvas, int x, int y);
  forms::TColor borderColor_ = forms::clBlack;
  forms::TColor buttonColor_ = forms::clBtnFace;
  forms::TColor arrowColor_ = forms::clBlack;
  TstyUIStyle uiStyle_ = DeepBlue;
  TstyFileTheme* fileTheme_ = nullptr;
  bool rightToLeft_ = false;
};

class TstyComboBox : public TstyCustomComboBox {
public:
  using TstyCustomComboBox::TstyCustomComboBox;
};

// Whether the system's locale is one that reads right to left (settable,
// off by default).
bool SysLocaleMiddleEast();
void SetSysLocaleMiddleEast(bool v);

}  // namespace controls
