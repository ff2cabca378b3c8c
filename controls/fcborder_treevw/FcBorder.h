#pragma once
// The border control (a windowless frame that reports the area inside it as
// its client rectangle) and the level meter drawn inside such a frame: a
// flat, bevelled or textured bar with its percentage, or a row of LED-like
// segments in three colour groups, rectangular or trapezoidal.
#include <array>
#include <memory>
#include <vector>

#include "controls/fc/FcCommon.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Graphics.h"

namespace controls {

class TFcBorder : public forms::TGraphicControl, public IFcFrameControllerNotify {
public:
  explicit TFcBorder(forms::TComponent* owner);
  ~TFcBorder() override;

  // The area inside the frame.
  TRect ClientRect() const override;

  TFrameStyleEx BorderOuter() const { return borderOuter_; }
  virtual void SetBorderOuter(TFrameStyleEx v);
  TFrameStyleEx BorderInner() const { return borderInner_; }
  virtual void SetBorderInner(TFrameStyleEx v);
  int BorderWidth() const { return borderWidth_; }
  virtual void SetBorderWidth(int v);
  int BevelWidth() const { return bevelWidth_; }
  virtual void SetBevelWidth(int v);
  TSides BorderSides() const { return borderSides_; }
  virtual void SetBorderSides(TSides v);
  TColor BorderColor() const { return borderColor_; }
  virtual void SetBorderColor(TColor v);
  TColor BorderHighlight() const { return borderHighlight_; }
  virtual void SetBorderHighlight(TColor v);
  TColor BorderShadow() const { return borderShadow_; }
  virtual void SetBorderShadow(TColor v);
  TColor FlatColor() const { return flatColor_; }
  virtual void SetFlatColor(TColor v);
  int FlatColorAdjustment() const { return flatColorAdjustment_; }
  virtual void SetFlatColorAdjustment(int v);
  TFcFrameController* FrameController() const { return frameController_; }
  virtual void SetFrameController(TFcFrameController* v);
  TFcFrameControllerNotifications FrameControllerNotifications() const { return notifications_; }
  void SetFrameControllerNotifications(TFcFrameControllerNotifications v) { notifications_ = v; }

  // Shrinks `rect` by the border band and the frames on their sides.
  virtual void AdjustFrameRect(TRect& rect) const;
  // The colour inside a rounded flat frame.
  virtual TColor InteriorColor() const { return 0x0000FFFF; }
  void UpdateFrameControllerSettings(TFcFrameControllerProperty property) override;
  void Dispatch(forms::TMessage& message) override;

protected:
  void Paint() override;
  void Notification(forms::TComponent* component, forms::TOperation operation) override;

private:
  TFrameStyleEx borderOuter_ = fsGroove;
  TFrameStyleEx borderInner_ = fsNone;
  int borderWidth_ = 0;
  int bevelWidth_ = 1;
  TSides borderSides_ = sdAllSides;
  TColor borderColor_ = forms::clBtnFace;
  TColor borderHighlight_ = forms::clBtnHighlight;
  TColor borderShadow_ = forms::clBtnShadow;
  TColor flatColor_ = forms::clBtnShadow;
  int flatColorAdjustment_ = 30;
  TFcFrameController* frameController_ = nullptr;
  TFcFrameControllerNotifications notifications_ = AllFrameControllerNotifications();
};

enum TFcMeterType { mtNormal, mtBar3D, mtLED };
enum TFcMeterShape { msRectangular, msTrapezoidal };
enum TDirection { dirUp, dirDown, dirLeft, dirRight };
enum TTrapDirect { tdLargeToSmall, tdSmallToLarge };
enum TTrapShape { tsLeft, tsCenter, tsRight };

// Corners in the order top-left, top-right, bottom-right, bottom-left.
using TTrapezoid = std::array<forms::TPoint, 4>;

// The trapezoid of `rect` for a meter growing in `direction`: the edge
// across the growth direction is narrowed to `minimum` at one end.
TTrapezoid MeterTrapezoid(const TRect& rect, TDirection direction, TTrapDirect trapDir, TTrapShape shape,
                          int minimum);
// The part of a trapezoid over a sub-rectangle: the corners take the
// sub-rectangle's edges along the growth direction and the slanted edges'
// positions there.
TTrapezoid ClipTrapezoid(const TTrapezoid& t, const TRect& sub, TDirection direction);
TTrapezoid InflateTrapezoid(const TTrapezoid& t, int amount);

class TFcMeter : public TFcBorder {
public:
  explicit TFcMeter(forms::TComponent* owner);
  ~TFcMeter() override;

  int Min() const { return min_; }
  virtual void SetMin(int v);
  int Max() const { return max_; }
  virtual void SetMax(int v);
  int Value() const { return value_; }
  virtual void SetValue(int v);
  TColor BarColor() const { return barColor_; }
  virtual void SetBarColor(TColor v);
  TColor BackColor() const { return backColor_; }
  virtual void SetBackColor(TColor v);
  TFcMeterType MeterType() const { return meterType_; }
  virtual void SetMeterType(TFcMeterType v);
  TFcMeterShape MeterShape() const { return meterShape_; }
  virtual void SetMeterShape(TFcMeterShape v);
  TTrapDirect TrapezoidDir() const { return trapezoidDir_; }
  virtual void SetTrapezoidDir(TTrapDirect v);
  TTrapShape TrapezoidShape() const { return trapezoidShape_; }
  virtual void SetTrapezoidShape(TTrapShape v);
  int TrapezoidMin() const { return trapezoidMin_; }
  virtual void SetTrapezoidMin(int v);
  TDirection Direction() const { return direction_; }
  virtual void SetDirection(TDirection v);
  forms::TBitmap* Bitmap() const { return bitmap_.get(); }
  virtual void SetBitmap(forms::TBitmap* v);
  forms::TBrushStyle BrushStyle() const { return brushStyle_; }
  virtual void SetBrushStyle(forms::TBrushStyle v);
  bool ShowPercent() const { return showPercent_; }
  virtual void SetShowPercent(bool v);
  virtual int Percent() const;
  int SegSpacing() const { return segSpacing_; }
  virtual void SetSegSpacing(int v);
  TColor SegOffColor() const { return segOffColor_; }
  virtual void SetSegOffColor(TColor v);
  // Groups 1..3, counts 1..255 (others are ignored).
  virtual int SegCount(int group) const;
  virtual void SetSegCount(int group, int count);
  virtual TColor SegColor(int group) const;
  virtual void SetSegColor(int group, TColor color);

  // The total of the three group counts.
  int SegmentTotal() const;
  // How many segments the value lights.
  int LitSegments() const;

  TColor InteriorColor() const override { return backColor_; }

protected:
  void Paint() override;

private:
  void PaintBar(forms::TCanvas* c, TRect r, TRect client);
  void PaintSegments(forms::TCanvas* c, TRect r);
  TTrapezoid Trapezoid(const TRect& r, int minimum) const {
    return MeterTrapezoid(r, direction_, trapezoidDir_, trapezoidShape_, minimum);
  }
  void Changed();

  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  TFcMeterType meterType_ = mtLED;
  TFcMeterShape meterShape_ = msRectangular;
  TDirection direction_ = dirRight;
  TColor barColor_ = 0x000000FF;
  TColor backColor_ = 0x00000000;
  forms::TBrushStyle brushStyle_ = forms::bsSolid;
  std::unique_ptr<forms::TBitmap> bitmap_;
  bool showPercent_ = true;
  int segSpacing_ = 2;
  TColor segOffColor_ = 0x00000000;
  std::array<int, 3> segCounts_{5, 3, 2};
  std::array<TColor, 3> segColors_{0x00008000, 0x0000FFFF, 0x000000FF};
  TTrapDirect trapezoidDir_ = tdLargeToSmall;
  TTrapShape trapezoidShape_ = tsCenter;
  int trapezoidMin_ = 6;
  int bevelInUse_ = 0;
};

}  // namespace controls
