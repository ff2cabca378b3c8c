#pragma once
// A push button drawn entirely from pictures: the face is composed off
// screen (the parent's background or a colour, the state picture, border,
// focus rectangle and caption) and copied in one go. While the left button
// is held it fires OnMouseContinuouslyDown every 100 ms.
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/Timers.h"

namespace controls {

enum TPbTextAlign {
  taTopLeft, taTopCenter, taTopRight, taMiddleLeft, taMiddleCenter, taMiddleRight,
  taBottomLeft, taBottomCenter, taBottomRight, taCenter, taLeft, taRight, taCustom
};
enum TPbPicAlign {
  paTopLeft, paTopCenter, paTopRight, paMiddleLeft, paMiddleCenter, paMiddleRight,
  paBottomLeft, paBottomCenter, paBottomRight, paCenter, paLeft, paRight, paCustom
};

// Paints what the control's parent shows behind the control into the
// canvas: the parent erases and paints itself into the canvas's DC, shifted
// by the control's position and clipped to the parent's client area.
void PaintParentBackground(forms::TCanvas* canvas, forms::TControl* control);

class TPbCustomButton : public forms::TCustomControl {
public:
  explicit TPbCustomButton(forms::TComponent* owner);
  ~TPbCustomButton() override;

  const forms::String& Caption() const { return caption_; }
  void SetCaption(const forms::String& s);
  bool Cancel() const { return cancel_; }
  void SetCancel(bool v) { cancel_ = v; }
  bool Default() const { return default_; }
  void SetDefault(bool v);
  // The button acts as the form's default button just now.
  bool Active() const { return active_; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  forms::TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(forms::TModalResult v) { modalResult_ = v; }
  bool EnableTransparentColor() const { return enableTransparentColor_; }
  void SetEnableTransparentColor(bool v);
  forms::TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(forms::TColor v);
  int FocusedRectMargin() const { return focusedRectMargin_; }
  void SetFocusedRectMargin(int v);
  TPbTextAlign TextAlign() const { return textAlign_; }
  void SetTextAlign(TPbTextAlign v);
  TPbPicAlign PictureAlign() const { return pictureAlign_; }
  void SetPictureAlign(TPbPicAlign v);
  int TextX() const { return textX_; }
  void SetTextX(int v);
  int TextY() const { return textY_; }
  void SetTextY(int v);
  int PictureX() const { return pictureX_; }
  void SetPictureX(int v);
  int PictureY() const { return pictureY_; }
  void SetPictureY(int v);
  bool MultiLines() const { return multiLines_; }
  void SetMultiLines(bool v);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool v);
  bool DrawFocused() const { return drawFocused_; }
  void SetDrawFocused(bool v);
  bool DrawBorder() const { return drawBorder_; }
  void SetDrawBorder(bool v);
  forms::TFont* FontMouseHover() const { return fontMouseHover_.get(); }
  void SetFontMouseHover(forms::TFont* f);
  forms::TFont* FontMouseDown() const { return fontMouseDown_.get(); }
  void SetFontMouseDown(forms::TFont* f);
  forms::TFont* FontDisabled() const { return fontDisabled_.get(); }
  void SetFontDisabled(forms::TFont* f);
  void SetEnabled(bool enabled) override;

  bool Hovered() const { return hover_; }
  bool Pressed() const { return pressed_; }

  void Click() override;

  forms::TNotifyEvent OnMouseExit;
  forms::TNotifyEvent OnMouseContinuouslyDown;

protected:
  virtual void PaintPicture(forms::TCanvas* canvas, forms::TPicture* picture);
  virtual void PaintCaption(forms::TCanvas* canvas, const forms::String& text);
  virtual void PaintFocusRect(forms::TCanvas* canvas);
  virtual void PaintBorder(forms::TCanvas* canvas);
  virtual bool GetStatePicture(forms::TPicture* dest);

  void CreateWnd() override;
  void Paint() override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseMove(forms::TShiftState shift, int x, int y) override;
  void Dispatch(forms::TMessage& m) override;

private:
  void StopRepeat();
  void RepeatTick(forms::TObject*);
  // Stores a changed value and paints again; an equal value does nothing.
  template <class T>
  void Change(T& field, T value);

  forms::String caption_;
  bool cancel_ = false;
  bool default_ = false;
  bool active_ = false;
  bool transparent_ = false;
  forms::TModalResult modalResult_ = forms::mrNone;
  bool enableTransparentColor_ = false;
  forms::TColor transparentColor_ = forms::clFuchsia;
  std::unique_ptr<forms::TTimer> repeatTimer_;
  int repeatInterval_ = 100;
  int focusedRectMargin_ = 2;
  TPbTextAlign textAlign_ = taCenter;
  TPbPicAlign pictureAlign_ = paTopLeft;
  int textX_ = 0, textY_ = 0;
  int pictureX_ = 0, pictureY_ = 0;
  bool multiLines_ = false;
  std::unique_ptr<forms::TFont> fontMouseHover_;
  std::unique_ptr<forms::TFont> fontMouseDown_;
  std::unique_ptr<forms::TFont> fontDisabled_;
  bool stretch_ = false;
  bool drawFocused_ = true;
  bool drawBorder_ = false;
  bool hover_ = false;
  bool pressed_ = false;
};

}  // namespace controls
