#pragma once
// A graphic control that turns its owner form into a borderless window
// whose outline and face are a bitmap: the form's region keeps only the
// glyph's pixels that differ from TransparentColor, its client area takes
// the glyph's size, and pressing any mouse button on the glyph drags the
// window.
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"

namespace controls {

class TstySkinForm : public forms::TGraphicControl {
public:
  explicit TstySkinForm(forms::TComponent* owner);
  ~TstySkinForm() override;

  forms::TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(forms::TBitmap* glyph);
  forms::TColor TransparentColor() const { return transparentColor_; }
  // Re-shapes the form even when the colour is the one it has.
  void SetTransparentColor(forms::TColor color);

  forms::TNotifyEvent OnRegionChanged;
  forms::TNotifyEvent OnPaint;

protected:
  void Paint() override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;

private:
  void ApplyGlyph();
  forms::TCustomForm* form_ = nullptr;
  // Made whatever the owner, so painting always has a glyph to look at.
  std::unique_ptr<forms::TBitmap> glyph_;
  forms::TColor transparentColor_ = forms::clFuchsia;
};

}  // namespace controls
