#pragma once
// The glyph button: a small box beside a caption, drawn from a strip of
// custom glyphs, by its own hot-tracking painter or as the system's frame
// control, composed over a cached copy of what lies behind it so it can be
// transparent. The check box makes it two- or three-state.
#include <memory>

#include "controls/fc/FcButton.h"
#include "controls/fc/FcCommon.h"
#include "platform/forms/Actions.h"
#include "platform/forms/Graphics.h"
#include "platform/forms/StdCtrls.h"

namespace controls {

class TFcCustomGlyphButton : public TFcCustomButton, public IFcFrameControllerNotify {
public:
  explicit TFcCustomGlyphButton(forms::TComponent* owner);
  ~TFcCustomGlyphButton() override;

  forms::TBitmap* CustomGlyphs() const { return customGlyphs_.get(); }
  virtual void SetCustomGlyphs(forms::TBitmap* v);
  bool UseCustomGlyphs() const { return useCustomGlyphs_; }
  virtual void SetUseCustomGlyphs(bool v);
  forms::TAlignment Alignment() const { return alignment_; }
  virtual void SetAlignment(forms::TAlignment v);
  TColor FillColor() const { return fillColor_; }
  virtual void SetFillColor(TColor v);
  TColor FocusColor() const { return focusColor_; }
  virtual void SetFocusColor(TColor v);
  TColor FrameColor() const { return frameColor_; }
  virtual void SetFrameColor(TColor v);
  TColor DisabledColor() const { return disabledColor_; }
  virtual void SetDisabledColor(TColor v);
  bool ReadOnly() const { return readOnly_; }
  virtual void SetReadOnly(bool v);
  TColor ReadOnlyColor() const { return readOnlyColor_; }
  virtual void SetReadOnlyColor(TColor v);
  bool ReadOnlyColorOnFocus() const { return readOnlyColorOnFocus_; }
  void SetReadOnlyColorOnFocus(bool v);
  TColor TransparentColor() const { return transparentColor_; }
  virtual void SetTransparentColor(TColor v);
  TColor WinMaskColor() const { return winMaskColor_; }
  virtual void SetWinMaskColor(TColor v);
  TFcButtonHotTrackStyle HotTrackStyle() const { return hotTrackStyle_; }
  void SetHotTrackStyle(TFcButtonHotTrackStyle v);
  bool TabOnEnter() const { return tabOnEnter_; }
  void SetTabOnEnter(bool v) { tabOnEnter_ = v; }
  TFcFrameController* FrameController() const { return frameController_; }
  virtual void SetFrameController(TFcFrameController* v);
  TFcFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TFcFrameControllerNotifications v) { notifications_ = v; }

  virtual bool Checked() const { return false; }
  virtual void SetChecked(bool) {}

  int GlyphWidth() const { return glyphWidth_; }
  int GlyphHeight() const { return glyphHeight_; }
  forms::TPoint GlyphPosition() const;
  bool BackgroundStale() const { return backgroundStale_; }
  // Old forms' "Flat" switch.
  void ReadFlat(bool flat) { SetHotTrack(flat); }

  void UpdateFrameControllerSettings(TFcFrameControllerProperty property) override;
  void Dispatch(forms::TMessage& message) override;

protected:
  virtual void DrawGlyph(forms::TBitmap* glyph) = 0;
  // Sees the finished glyph of a transparent control.
  virtual void TransparentGlyphHook(forms::TBitmap*) {}
  virtual void ComposeGlyph(forms::TCanvas* canvas);
  // Copies cell `index` of a strip of `glyphWidth`-wide cells into `dest`.
  virtual void CopyGlyphCell(forms::TBitmap* strip, int index, forms::TBitmap* dest);

  void Paint() override;
  void PaintParentImage(win::HDC dc) override;
  TRect HotTrackRect() override;
  void ShowPressedChange() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;

  bool UsingMouse() const { return usingMouse_; }
  bool ClicksDisabled() const { return clicksDisabled_; }
  void SetClicksDisabled(bool v) { clicksDisabled_ = v; }
  int stateCount_ = 2;

private:
  void CustomGlyphsChanged(forms::TObject*);

  int glyphWidth_ = 13;
  int glyphHeight_ = 13;
  std::unique_ptr<forms::TBitmap> customGlyphs_;
  bool useCustomGlyphs_ = false;
  forms::TAlignment alignment_ = forms::taRightJustify;
  TColor fillColor_ = forms::clWindow;
  TColor focusColor_ = forms::clWindow;
  TColor frameColor_ = forms::clBtnShadow;
  TColor disabledColor_ = forms::clBtnFace;
  bool readOnly_ = false;
  TColor readOnlyColor_ = forms::clInfoBk;
  bool readOnlyColorOnFocus_ = false;
  TColor transparentColor_ = 0x00008080;
  TColor winMaskColor_ = 0x0000FF00;
  TFcButtonHotTrackStyle hotTrackStyle_ = htsInterior;
  bool tabOnEnter_ = false;
  TFcFrameController* frameController_ = nullptr;
  TFcFrameControllerNotifications notifications_ = AllFrameControllerNotifications();
  std::unique_ptr<forms::TBitmap> background_;
  bool backgroundStale_ = true;
  bool usingMouse_ = false;
  bool clicksDisabled_ = false;
};

class TFcCustomCheckBox;

// Ties the check box's checked state to an action's.
class TFcCheckedActionLink : public forms::TActionLink {
public:
  explicit TFcCheckedActionLink(TFcCustomCheckBox* client);
  bool IsCheckedLinked() const;
  void SetChecked(bool value) override;

private:
  TFcCustomCheckBox* box_;
};

class TFcCustomCheckBox : public TFcCustomGlyphButton {
public:
  explicit TFcCustomCheckBox(forms::TComponent* owner);
  ~TFcCustomCheckBox() override;

  TCheckBoxState State() const { return state_; }
  virtual void SetState(TCheckBoxState v);
  bool Checked() const override { return state_ == cbChecked; }
  void SetChecked(bool v) override { SetState(v ? cbChecked : cbUnchecked); }
  bool AllowGrayed() const { return allowGrayed_; }
  void SetAllowGrayed(bool v) { allowGrayed_ = v; }

  // The action's Checked shows on the box; changing it fires no OnClick.
  void SetAction(forms::TBasicAction* action);
  TFcCheckedActionLink* CheckedLink() const { return checkedLink_.get(); }
  void SetCheckedFromAction(bool v);

  void Dispatch(forms::TMessage& message) override;

protected:
  void Activate() override { Toggle(); }
  void Toggle();
  void DrawGlyph(forms::TBitmap* glyph) override;
  void KeyDown(uint16_t& key, forms::TShiftState shift) override;
  void KeyUp(uint16_t& key, forms::TShiftState shift) override;

private:
  TCheckBoxState state_ = cbUnchecked;
  bool allowGrayed_ = false;
  bool keyToggle_ = false;
  std::unique_ptr<TFcCheckedActionLink> checkedLink_;
};

class TFcCheckBox : public TFcCustomCheckBox {
public:
  explicit TFcCheckBox(forms::TComponent* owner);
};

}  // namespace controls
