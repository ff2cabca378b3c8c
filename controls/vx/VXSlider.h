#pragma once
// A track bar drawn from four bitmaps (a thumb and a ruler per
// orientation). The ruler is stretched to the track by repeating its
// middle; ticks sit beside it; the thumb is dragged, stepped by keys, or
// walked towards the pointer by a held click on the ruler (every 400 ms).
#include <array>
#include <cstdint>
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/Exceptions.h"

namespace controls {

enum TSliderOrientation { soHorizontal, soVertical };
enum TSliderOption { soShowFocus, soShowPoints, soSmooth, soRulerOpaque, soThumbOpaque };
using TSliderOptions = forms::SetOf<TSliderOption>;
using TNumThumbStates = int;  // 1 or 2

// Cursor numbers of the screen's cursor table.
inline constexpr forms::TCursor crVxHand = 14000;
inline constexpr forms::TCursor crVxDrag = 14001;

// Puts the hand and the drag cursor into the screen's cursor table (once).
void RegisterVxCursors();

// Draws a rectangle of the bitmap (all of it when the source extent is
// below 1; at its own size when the destination extent is below 1) with
// pixels of `keyColor` left out: clNone draws it opaque, clDefault keys on
// its bottom-left pixel, a monochrome bitmap keys on white.
void StretchBitmapKeyed(forms::TCanvas* canvas, int destX, int destY, int destW, int destH, int srcX, int srcY,
                        int srcW, int srcH, forms::TBitmap* bitmap, forms::TColor keyColor);
void DrawBitmapKeyed(forms::TCanvas* canvas, int x, int y, forms::TColor keyColor, forms::TBitmap* bitmap);
void DrawBitmapRectKeyed(forms::TCanvas* canvas, int x, int y, const forms::TRect& rect, forms::TColor keyColor,
                         forms::TBitmap* bitmap);
// Stretches the source onto the destination leaving out the key colour,
// through a monochrome mask.
void MaskedStretchBlt(win::HDC destDC, int x, int y, int w, int h, win::HDC srcDC, int srcX, int srcY, int srcW,
                      int srcH, win::COLORREF keyColor, win::HPALETTE palette);
// Right and bottom edges included.
bool PointInRectInclusive(forms::TPoint p, const forms::TRect& r);

class TVxCustomSlider : public forms::TCustomControl {
public:
  enum ImageIndex { ImageHThumbIndex = 0, ImageHRulerIndex = 1, ImageVThumbIndex = 2, ImageVRulerIndex = 3 };

  explicit TVxCustomSlider(forms::TComponent* owner);
  ~TVxCustomSlider() override;

  int32_t Value() const { return value_; }
  void SetValue(int32_t v);
  int32_t MinValue() const { return minValue_; }
  void SetMinValue(int32_t v);
  int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(int32_t v);
  int32_t Increment() const { return increment_; }
  // Raises rtl::Exception "Value must be between 1 and <range>" outside 1..range.
  void SetIncrement(int32_t v);
  TSliderOptions Options() const { return options_; }
  void SetOptions(TSliderOptions v);
  forms::TBevelCut BevelStyle() const { return bevelStyle_; }
  void SetBevelStyle(forms::TBevelCut v);
  TNumThumbStates NumThumbStates() const { return numThumbStates_; }
  void SetNumThumbStates(TNumThumbStates v);
  TSliderOrientation Orientation() const { return orientation_; }
  void SetOrientation(TSliderOrientation v);
  int EdgeSize() const { return edgeSize_; }
  void SetEdgeSize(int v);

  forms::TBitmap* Image(int index) const { return images_[static_cast<size_t>(index)].get(); }
  // A bitmap is copied and counts as the user's; null brings back the
  // default picture.
  void SetImage(int index, forms::TBitmap* bitmap);
  forms::TBitmap* ImageHThumb() const { return Image(ImageHThumbIndex); }
  forms::TBitmap* ImageHRuler() const { return Image(ImageHRulerIndex); }
  forms::TBitmap* ImageVThumb() const { return Image(ImageVThumbIndex); }
  forms::TBitmap* ImageVRuler() const { return Image(ImageVRulerIndex); }
  void SetImageHThumb(forms::TBitmap* b) { SetImage(ImageHThumbIndex, b); }
  void SetImageHRuler(forms::TBitmap* b) { SetImage(ImageHRulerIndex, b); }
  void SetImageVThumb(forms::TBitmap* b) { SetImage(ImageVThumbIndex, b); }
  void SetImageVRuler(forms::TBitmap* b) { SetImage(ImageVRulerIndex, b); }
  // Bit i set: image i was given by the user.
  uint8_t UserImages() const { return userImages_; }

  // The laid-out geometry: the ruler stretched to the track, where it is
  // drawn, where the thumb is, and the thumb's travel.
  forms::TBitmap* Ruler() const { return ruler_.get(); }
  forms::TPoint RulerOrigin() const { return rulerOrigin_; }
  forms::TRect ThumbRect() const { return thumbRect_; }
  forms::TRect PointsRect() const { return pointsRect_; }
  int RulerLength() const;
  int OffsetOfValue(int32_t v) const;
  int32_t ValueOfOffset(int offset) const;

  // Draws the default ticks on the control canvas (for OnDrawPoints).
  virtual void PaintTicks(int32_t step, int tickLength, int endTickLength);

  forms::TNotifyEvent OnChange;
  forms::TNotifyEvent OnChanged;
  forms::TNotifyEvent OnDrawPoints;

protected:
  virtual bool IsChangeAllowed() { return true; }
  virtual void GetTrackArea(forms::TRect& rect) const;
  virtual int32_t ReadValue() const { return value_; }
  virtual void RebuildLayout();
  virtual void RangeUpdated() {}
  virtual void ThumbPressed(forms::TMouseButton button, forms::TShiftState shift, int x, int y);
  virtual void ThumbDragged(forms::TShiftState shift, int x, int y);
  virtual void ThumbReleased(forms::TMouseButton button, forms::TShiftState shift, int x, int y);
  virtual void Change();
  virtual void Changed();

  void Loaded() override;
  void AlignControls(forms::TControl* control, forms::TRect& rect) override;
  void Paint() override;
  void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void MouseMove(forms::TShiftState shift, int x, int y) override;
  void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
  void KeyDown(uint16_t& key, forms::TShiftState shift) override;
  void Dispatch(forms::TMessage& m) override;

private:
  bool Reading() const;
  int TrackStart() const;
  void BuildRuler();
  void LoadDefaultImage(int index);
  void ImageChanged();
  void SetRange(int32_t newMin, int32_t newMax);
  int SnapOffset(int offset) const;
  void MoveThumbTo(int offset);
  void StepValue(int code);
  int SideOf(forms::TPoint p) const;
  void TrackStep();
  void StopTracking();
  void InvalidateThumb();
  void WMPaint(forms::TMessage& m);

  std::array<std::unique_ptr<forms::TBitmap>, 4> images_;
  uint8_t userImages_ = 0;
  std::unique_ptr<forms::TBitmap> ruler_;
  forms::TPoint rulerOrigin_{};
  forms::TRect thumbRect_{};
  forms::TRect pointsRect_{};
  TNumThumbStates numThumbStates_ = 2;
  int bevelWidth_ = 1;
  TSliderOrientation orientation_ = soHorizontal;
  TSliderOptions options_{soShowFocus, soShowPoints, soSmooth};
  forms::TBevelCut bevelStyle_ = forms::bvNone;
  int edgeSize_ = 2;
  int32_t minValue_ = 0, maxValue_ = 100;
  int32_t increment_ = 10;
  int32_t value_ = 0;
  bool creating_ = true;
  bool focused_ = false, dragging_ = false, highlight_ = false, tracking_ = false, timerRunning_ = false;
  int grabOffset_ = 0;
  forms::TPoint trackPoint_{};
  int trackSide_ = 0;
  bool memoryPaint_ = false;
};

class TVxSlider : public TVxCustomSlider {
public:
  using TVxCustomSlider::TVxCustomSlider;
};

}  // namespace controls
