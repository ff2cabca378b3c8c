#pragma once
// The windowed base of the Fc button-like controls: press and hover
// tracking with activation on a release inside, a caption drawn plain,
// raised, recessed or shadowed, the parent's image as background when
// transparent, and hot-tracking repaints limited to one rectangle.
#include "controls/fc/FcCommon.h"
#include "platform/forms/Controls.h"

namespace controls {

enum TAlignmentVertical { avTop, avCenter, avBottom };
enum TFcHotTrackColorType { htctComplement, htctActual };
enum TTextStyle { tsNormal, tsRaised, tsRecessed, tsShadow };

class TFcCustomButton : public forms::TCustomControl {
public:
  explicit TFcCustomButton(forms::TComponent* owner);
  ~TFcCustomButton() override;

  TAlignmentVertical AlignmentVertical() const { return alignmentVertical_; }
  virtual void SetAlignmentVertical(TAlignmentVertical v);
  bool HotTrack() const { return hotTrack_; }
  virtual void SetHotTrack(bool v);
  TColor HighlightColor() const { return highlightColor_; }
  virtual void SetHighlightColor(TColor v);
  TColor HotTrackColor() const { return hotTrackColor_; }
  void SetHotTrackColor(TColor v);
  TFcHotTrackColorType HotTrackColorType() const { return hotTrackColorType_; }
  void SetHotTrackColorType(TFcHotTrackColorType v);
  bool LightTextStyle() const { return lightTextStyle_; }
  virtual void SetLightTextStyle(bool v);
  TTextStyle TextStyle() const { return textStyle_; }
  virtual void SetTextStyle(TTextStyle v);
  TColor TextHighlightColor() const { return textHighlightColor_; }
  virtual void SetTextHighlightColor(TColor v);
  TColor TextShadowColor() const { return textShadowColor_; }
  virtual void SetTextShadowColor(TColor v);
  int TextShadowDepth() const { return textShadowDepth_; }
  virtual void SetTextShadowDepth(int v);
  bool ThemeAware() const { return themeAware_; }
  virtual void SetThemeAware(bool v);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool v);

  bool MouseOverButton() const { return mouseOver_; }
  bool ShowingPressed() const { return pressed_; }
  bool Dragging() const { return dragging_; }

  void Dispatch(forms::TMessage& message) override;

protected:
  virtual void PaintParentImage(win::HDC) {}
  virtual void ShowPressedChange() {}
  virtual void ShowFocusChange() { Repaint(); }
  virtual TRect HotTrackRect() { return ClientRect(); }
  // Draws the caption into `rect` of `canvas` with DrawText flags `format`.
  virtual void DrawCaption(forms::TCanvas* canvas, TRect rect, win::UINT format);
  virtual void Activate() = 0;

  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseMove(forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;

  void SetPressedLook(bool v) { pressed_ = v; }
  bool UseRightToLeftReading() const { return false; }

private:
  void InvalidateHotTrack();

  TAlignmentVertical alignmentVertical_ = avCenter;
  bool hotTrack_ = false;
  TColor highlightColor_ = forms::clHighlight;
  TColor hotTrackColor_ = 0x00149BF0;
  TFcHotTrackColorType hotTrackColorType_ = htctActual;
  bool lightTextStyle_ = false;
  TTextStyle textStyle_ = tsNormal;
  TColor textHighlightColor_ = forms::clBtnHighlight;
  TColor textShadowColor_ = forms::clBtnShadow;
  int textShadowDepth_ = 2;
  bool themeAware_ = true;
  bool transparent_ = false;
  bool mouseOver_ = false;
  bool pressed_ = false;
  bool dragging_ = false;
};

// The captions of the class library's standard button kinds, kind 0 empty.
const forms::String& FcButtonCaption(int kind);

}  // namespace controls
