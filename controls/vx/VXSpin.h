#pragma once
// A numeric edit with spin buttons: the number lives in the text (integer,
// decimal or hexadecimal), steps by Increment with the buttons or the arrow
// keys, is clamped to MinValue..MaxValue, and characters that cannot belong
// to a number are refused. The buttons are a square split diagonally into
// an up and a down half (repeating while held) or an up-down control.
#include <cstdint>
#include <memory>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timers.h"

namespace controls {

enum TValueType { vtInteger, vtFloat, vtHex };
enum TSpinButtonKind { bkStandard, bkDiagonal };

// The narrower of a scroll bar's width and 15.
int DefaultSpinButtonWidth();

class TVxSpinButton : public forms::TGraphicControl {
public:
  enum THalf { shNone, shUpper, shLower };

  explicit TVxSpinButton(forms::TComponent* owner);
  ~TVxSpinButton() override;

  forms::TBitmap* UpGlyph() const { return upGlyph_.get(); }
  forms::TBitmap* DownGlyph() const { return downGlyph_.get(); }
  void SetUpGlyph(forms::TBitmap* b) { upGlyph_->Assign(b); }
  void SetDownGlyph(forms::TBitmap* b) { downGlyph_->Assign(b); }
  forms::TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(forms::TWinControl* c);
  THalf PressedHalf() const { return pressed_; }
  // The half a client point belongs to.
  THalf HalfAt(int x, int y) const;

  forms::TNotifyEvent OnTopClick;
  forms::TNotifyEvent OnBottomClick;

protected:
  void Paint() override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseMove(forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  void Dispatch(forms::TMessage& m) override;

private:
  void DrawFace(forms::TBitmap* face, THalf state);
  void RebuildFaces();
  void ClickHalf(THalf half);
  void RepeatTick(forms::TObject*);
  void GlyphChanged(forms::TObject*);

  std::unique_ptr<forms::TBitmap> upGlyph_;
  std::unique_ptr<forms::TBitmap> downGlyph_;
  std::unique_ptr<forms::TBitmap> faces_[3];
  bool rebuild_ = true;
  THalf pressed_ = shNone;
  THalf downHalf_ = shNone;
  bool dragging_ = false;
  std::unique_ptr<forms::TTimer> repeatTimer_;
  forms::TWinControl* focusControl_ = nullptr;
};

// The platform's up-down reduced to single clicks: every step answers
// OnClick and the position goes back to 0.
class TVxUpDown : public forms::TUpDown {
public:
  explicit TVxUpDown(forms::TComponent* owner);
  ~TVxUpDown() override;
  void SetBounds(int left, int top, int width, int height) override;

protected:
  void Dispatch(forms::TMessage& m) override;

private:
  bool changing_ = false;
};

class TVxSpinEdit : public forms::TCustomEdit {
public:
  explicit TVxSpinEdit(forms::TComponent* owner);
  ~TVxSpinEdit() override;

  // The text as a number; text that is no number reads as MinValue
  // (truncated for the integer types).
  double Value() const;
  // Clamped and written as text in the form of ValueType.
  void SetValue(double v);
  double MinValue() const { return minValue_; }
  void SetMinValue(double v) { minValue_ = v; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double v) { maxValue_ = v; }
  double Increment() const { return increment_; }
  void SetIncrement(double v) { increment_ = v; }
  TValueType ValueType() const { return valueType_; }
  void SetValueType(TValueType v);
  uint8_t Decimal() const { return decimal_; }
  void SetDecimal(uint8_t v);
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v) { editorEnabled_ = v; }
  TSpinButtonKind ButtonKind() const { return buttonKind_; }
  void SetButtonKind(TSpinButtonKind v);
  bool ArrowKeys() const { return arrowKeys_; }
  void SetArrowKeys(bool v);
  forms::TAlignment Alignment() const { return alignment_; }
  void SetAlignment(forms::TAlignment v);

  // Equal limits mean none.
  double ClampValue(double v) const;
  int MinEditHeight();

  TVxSpinButton* SpinButton() const { return button_; }
  TVxUpDown* UpDown() const { return upDown_; }

  virtual bool AcceptsChar(char key);
  virtual void StepUp(forms::TObject* sender);
  virtual void StepDown(forms::TObject* sender);

  forms::TNotifyEvent OnTopClick;
  forms::TNotifyEvent OnBottomClick;

protected:
  void CreateParams(forms::TCreateParams& p) override;
  void CreateWnd() override;
  void KeyDown(uint16_t& key, forms::TShiftState shift) override;
  void KeyPress(char& key) override;
  void Change() override;
  void Dispatch(forms::TMessage& m) override;

private:
  void Step(double delta, const forms::TNotifyEvent& after);
  void RebuildSpinButton();
  void PlaceSpinButton();
  void UpdateEditRect();

  double minValue_ = 0, maxValue_ = 0, increment_ = 1;
  TValueType valueType_ = vtInteger;
  uint8_t decimal_ = 2;
  bool editorEnabled_ = true;
  TSpinButtonKind buttonKind_ = bkDiagonal;
  TSpinButtonKind effectiveKind_ = bkDiagonal;
  bool arrowKeys_ = true;
  forms::TAlignment alignment_ = forms::taLeftJustify;
  TVxUpDown* upDown_ = nullptr;
  TVxSpinButton* button_ = nullptr;
  forms::TWinControl* holder_ = nullptr;
  bool changing_ = false;
};

}  // namespace controls
