#include "controls/fcborder_treevw/FcBorder.h"

#include <algorithm>
#include <cstdint>

#include "controls/fc/FcGrafx.h"
#include "platform/rtl/Format.h"
#include "platform/win/Api.h"
#include "platform/win/Region.h"

namespace controls {

using forms::TBitmap;
using forms::TCanvas;
using forms::TPoint;

namespace {

int FrameInset(TFrameStyleEx style, int bevelWidth) {
  switch (style) {
    case fsNone: return 0;
    case fsFlat: return 1;
    case fsStatus:
    case fsPopup: return bevelWidth;
    default: return 2;
  }
}

void ShrinkSides(TRect& r, TSides sides, int by) {
  if (sides.Contains(sdLeft)) r.left += by;
  if (sides.Contains(sdTop)) r.top += by;
  if (sides.Contains(sdRight)) r.right -= by;
  if (sides.Contains(sdBottom)) r.bottom -= by;
}

std::vector<TPoint> Points(const TTrapezoid& t) { return {t[0], t[1], t[2], t[3]}; }

// Polygons are drawn with their right and bottom edges one pixel in, so a
// filled shape stays inside the rectangle it was computed from.
TTrapezoid PulledIn(TTrapezoid t) {
  t[1].x -= 1;
  t[2].x -= 1;
  t[2].y -= 1;
  t[3].y -= 1;
  return t;
}

// The two-coloured edge of a trapezoid, `count` lines thick; style 1 is
// raised (light first), style 2 sunk.
void TrapezoidBevel(TCanvas* c, const TTrapezoid& t, int style, int count) {
  const TColor first = style == 1 ? forms::clBtnHighlight : forms::clBtnShadow;
  const TColor second = style == 1 ? forms::clBtnShadow : forms::clBtnHighlight;
  c->Pen()->SetWidth(1);
  c->Pen()->SetStyle(forms::psSolid);
  for (int k = 0; k < count; ++k) {
    const TPoint start = forms::Point(t[1].x - k - 1, t[1].y + k);
    c->Pen()->SetColor(first);
    c->MoveTo(start.x, start.y);
    c->LineTo(t[2].x - k - 1, t[2].y - k - 1);
    c->LineTo(t[3].x + k, t[3].y - k - 1);
    c->Pen()->SetColor(second);
    c->LineTo(t[0].x + k, t[0].y + k);
    c->LineTo(start.x, start.y);
  }
}

int Interpolate(int from, int to, int at, int fromAt, int toAt) {
  if (toAt == fromAt) return from;
  return static_cast<int>(from + static_cast<double>(to - from) * (at - fromAt) / (toAt - fromAt));
}

// q * k div span without overflowing for wide ranges.
int Scaled(int q, int k, int span) {
  return static_cast<int>(static_cast<int64_t>(q) * k / span);
}

}  // namespace

// ---- trapezoid geometry ----

TTrapezoid MeterTrapezoid(const TRect& r, TDirection direction, TTrapDirect trapDir, TTrapShape shape, int minimum) {
  const bool vertical = direction == dirUp || direction == dirDown;
  const int across = vertical ? r.right - r.left : r.bottom - r.top;
  const int n = std::min(across, minimum);
  const int e = shape == tsLeft ? 0 : shape == tsCenter ? (across - n) / 2 : across - n;
  TTrapezoid t;
  if (vertical) {
    const bool topNarrow = (trapDir == tdLargeToSmall && direction == dirUp) ||
                           (trapDir == tdSmallToLarge && direction == dirDown);
    if (topNarrow)
      t = {forms::Point(r.left + e, r.top), forms::Point(r.left + e + n, r.top), forms::Point(r.right, r.bottom),
           forms::Point(r.left, r.bottom)};
    else
      t = {forms::Point(r.left, r.top), forms::Point(r.right, r.top), forms::Point(r.left + e + n, r.bottom),
           forms::Point(r.left + e, r.bottom)};
  } else {
    const bool rightNarrow = (trapDir == tdLargeToSmall && direction == dirRight) ||
                             (trapDir == tdSmallToLarge && direction == dirLeft);
    if (rightNarrow)
      t = {forms::Point(r.left, r.top), forms::Point(r.right, r.top + e), forms::Point(r.right, r.top + e + n),
           forms::Point(r.left, r.bottom)};
    else
      t = {forms::Point(r.left, r.top + e), forms::Point(r.right, r.top), forms::Point(r.right, r.bottom),
           forms::Point(r.left, r.top + e + n)};
  }
  return t;
}

TTrapezoid ClipTrapezoid(const TTrapezoid& t, const TRect& sub, TDirection direction) {
  if (direction == dirUp || direction == dirDown) {
    auto leftAt = [&](int y) { return Interpolate(t[0].x, t[3].x, y, t[0].y, t[3].y); };
    auto rightAt = [&](int y) { return Interpolate(t[1].x, t[2].x, y, t[1].y, t[2].y); };
    return {forms::Point(leftAt(sub.top), sub.top), forms::Point(rightAt(sub.top), sub.top),
            forms::Point(rightAt(sub.bottom), sub.bottom), forms::Point(leftAt(sub.bottom), sub.bottom)};
  }
  auto upperAt = [&](int x) { return Interpolate(t[0].y, t[1].y, x, t[0].x, t[1].x); };
  auto lowerAt = [&](int x) { return Interpolate(t[3].y, t[2].y, x, t[3].x, t[2].x); };
  return {forms::Point(sub.left, upperAt(sub.left)), forms::Point(sub.right, upperAt(sub.right)),
          forms::Point(sub.right, lowerAt(sub.right)), forms::Point(sub.left, lowerAt(sub.left))};
}

TTrapezoid InflateTrapezoid(const TTrapezoid& t, int a) {
  return {forms::Point(t[0].x - a, t[0].y - a), forms::Point(t[1].x + a, t[1].y - a),
          forms::Point(t[2].x + a, t[2].y + a), forms::Point(t[3].x - a, t[3].y + a)};
}

// ---- border ----

TFcBorder::TFcBorder(forms::TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 50, 50);
  SetCaption("");
}

TFcBorder::~TFcBorder() {
  AttachFrameController(this, frameController_, nullptr);
}

TRect TFcBorder::ClientRect() const {
  TRect r = TGraphicControl::ClientRect();
  AdjustFrameRect(r);
  return r;
}

void TFcBorder::AdjustFrameRect(TRect& r) const {
  r.left += borderWidth_;
  r.top += borderWidth_;
  r.right -= borderWidth_;
  r.bottom -= borderWidth_;
  ShrinkSides(r, borderSides_, FrameInset(borderOuter_, bevelWidth_));
  ShrinkSides(r, borderSides_, FrameInset(borderInner_, bevelWidth_));
  if (r.right < r.left || r.bottom < r.top) r = TRect{0, 0, 0, 0};
}

#define FC_BORDER_SETTER(Name, Type, field) \
  void TFcBorder::Set##Name(Type v) {       \
    if (field == v) return;                 \
    field = v;                              \
    Invalidate();                           \
  }
FC_BORDER_SETTER(BorderOuter, TFrameStyleEx, borderOuter_)
FC_BORDER_SETTER(BorderInner, TFrameStyleEx, borderInner_)
FC_BORDER_SETTER(BorderWidth, int, borderWidth_)
FC_BORDER_SETTER(BevelWidth, int, bevelWidth_)
FC_BORDER_SETTER(BorderColor, TColor, borderColor_)
FC_BORDER_SETTER(BorderHighlight, TColor, borderHighlight_)
FC_BORDER_SETTER(BorderShadow, TColor, borderShadow_)
FC_BORDER_SETTER(FlatColor, TColor, flatColor_)
FC_BORDER_SETTER(FlatColorAdjustment, int, flatColorAdjustment_)
#undef FC_BORDER_SETTER

void TFcBorder::SetBorderSides(TSides v) {
  if (borderSides_ == v) return;
  borderSides_ = v;
  Invalidate();
}

void TFcBorder::SetFrameController(TFcFrameController* v) {
  if (frameController_ == v) return;
  AttachFrameController(this, frameController_, v);
  Invalidate();
}

void TFcBorder::Notification(forms::TComponent* component, forms::TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == forms::opRemove && component == frameController_) frameController_ = nullptr;
}

void TFcBorder::UpdateFrameControllerSettings(TFcFrameControllerProperty p) {
  TFcFrameController* fc = frameController_;
  if (!fc || !fc->FrameVisible()) return;
  auto wanted = [&](TFcFrameControllerProperty q) { return (p == q || p == fcpAll) && notifications_.Contains(q); };
  if (wanted(fcpFrameStyle)) borderOuter_ = fc->FrameStyle();
  if (wanted(fcpFrameSides)) borderSides_ = fc->FrameSides();
  if (wanted(fcpFrameColor)) {
    flatColor_ = fc->FrameColor();
    flatColorAdjustment_ = 0;
  }
  if (wanted(fcpColor)) {
    SetColor(fc->Color());
    borderHighlight_ = LightenColor(Color(), 100);
    borderShadow_ = DarkenColor(Color(), 50);
  }
  if (wanted(fcpParentColor)) SetParentColor(fc->ParentColor());
  Invalidate();
}

void TFcBorder::Dispatch(forms::TMessage& m) {
  // The mouse tracking events are the inherited ones; nothing more here.
  TGraphicControl::Dispatch(m);
}

void TFcBorder::Paint() {
  TCanvas* c = Canvas();
  TRect r{0, 0, Width(), Height()};
  if (ComponentState().Contains(forms::csDesigning) && borderOuter_ == fsNone && borderWidth_ != 0) {
    c->Pen()->SetStyle(forms::psDot);
    c->Pen()->SetColor(forms::clBlack);
    c->Brush()->SetStyle(forms::bsClear);
    c->Rectangle(r);
    c->Pen()->SetStyle(forms::psSolid);
    c->Brush()->SetStyle(forms::bsSolid);
    r = TRect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  TInnerOuterFrame f;
  f.outer = borderOuter_;
  f.inner = borderInner_;
  f.borderWidth = borderWidth_;
  f.sides = borderSides_;
  f.bevelWidth = bevelWidth_;
  f.borderColor = borderColor_;
  f.highlightColor = borderHighlight_;
  f.shadowColor = borderShadow_;
  f.flatColor = flatColor_;
  f.flatAdjustment = flatColorAdjustment_;
  f.interiorColor = InteriorColor();
  f.parentColor = Parent() ? Parent()->Color() : forms::clBtnFace;
  f.transparent = !ControlStyle().Contains(forms::csOpaque);
  PaintInnerOuterFrames(c, r, f);
}

// ---- meter ----

TFcMeter::TFcMeter(forms::TComponent* owner) : TFcBorder(owner), bitmap_(std::make_unique<TBitmap>()) {
  SetControlStyle(ControlStyle().Include(forms::csFramed).Include(forms::csOpaque));
  SetBorderOuter(fsStatus);
  SetBounds(Left(), Top(), 150, 30);
  SetColor(forms::clWindow);
  SetParentColor(true);
  bitmap_->OnChange = [this](forms::TObject*) { Changed(); };
}

TFcMeter::~TFcMeter() = default;

void TFcMeter::Changed() { Invalidate(); }

void TFcMeter::SetMin(int v) {
  if (v == max_) v = max_ - 1;
  if (min_ == v) return;
  min_ = v;
  Changed();
}

void TFcMeter::SetMax(int v) {
  if (v == min_) v = min_ + 1;
  if (max_ == v) return;
  max_ = v;
  Changed();
}

void TFcMeter::SetValue(int v) {
  v = v < min_ ? min_ : v > max_ ? max_ : v;
  if (value_ == v) return;
  value_ = v;
  Changed();
}

#define FC_METER_SETTER(Name, Type, field) \
  void TFcMeter::Set##Name(Type v) {       \
    if (field == v) return;                \
    field = v;                             \
    Changed();                             \
  }
FC_METER_SETTER(BarColor, TColor, barColor_)
FC_METER_SETTER(BackColor, TColor, backColor_)
FC_METER_SETTER(MeterType, TFcMeterType, meterType_)
FC_METER_SETTER(MeterShape, TFcMeterShape, meterShape_)
FC_METER_SETTER(TrapezoidDir, TTrapDirect, trapezoidDir_)
FC_METER_SETTER(TrapezoidShape, TTrapShape, trapezoidShape_)
FC_METER_SETTER(TrapezoidMin, int, trapezoidMin_)
FC_METER_SETTER(Direction, TDirection, direction_)
FC_METER_SETTER(BrushStyle, forms::TBrushStyle, brushStyle_)
FC_METER_SETTER(ShowPercent, bool, showPercent_)
FC_METER_SETTER(SegOffColor, TColor, segOffColor_)
#undef FC_METER_SETTER

void TFcMeter::SetSegSpacing(int v) {
  v = std::clamp(v, 0, 255);
  if (segSpacing_ == v) return;
  segSpacing_ = v;
  Changed();
}

void TFcMeter::SetBitmap(TBitmap* v) {
  if (v) bitmap_->Assign(v);
  else bitmap_->SetSize(0, 0);
  Changed();
}

int TFcMeter::Percent() const { return Scaled(value_ - min_, 100, max_ - min_); }

int TFcMeter::SegCount(int group) const {
  return group >= 1 && group <= 3 ? segCounts_[static_cast<size_t>(group - 1)] : 0;
}

void TFcMeter::SetSegCount(int group, int count) {
  if (group < 1 || group > 3 || count < 1 || count > 255) return;
  int& field = segCounts_[static_cast<size_t>(group - 1)];
  if (field == count) return;
  field = count;
  Changed();
}

TColor TFcMeter::SegColor(int group) const {
  return group >= 1 && group <= 3 ? segColors_[static_cast<size_t>(group - 1)] : forms::clNone;
}

void TFcMeter::SetSegColor(int group, TColor color) {
  if (group < 1 || group > 3) return;
  TColor& field = segColors_[static_cast<size_t>(group - 1)];
  if (field == color) return;
  field = color;
  Changed();
}

// Summed as whole numbers: added as bytes, three groups of 100 would make
// 44 segments and a total of 256 would make none (and a division by zero).
int TFcMeter::SegmentTotal() const { return segCounts_[0] + segCounts_[1] + segCounts_[2]; }

int TFcMeter::LitSegments() const { return Scaled(SegmentTotal(), value_ - min_, max_ - min_); }

void TFcMeter::Paint() {
  if (Height() < 4 || Width() < 4) return;
  const bool trapezoidal = meterShape_ == msTrapezoidal;
  const TRect client = ClientRect();
  if (!trapezoidal) TFcBorder::Paint();
  TRect r = trapezoidal ? TRect{0, 0, Width(), Height()} : client;
  if (r.right - r.left <= 0 || r.bottom - r.top <= 0) return;

  TBitmap work;
  work.SetSize(r.right - r.left, r.bottom - r.top);
  TCanvas* c = work.Canvas();
  c->Brush()->SetStyle(forms::bsSolid);
  c->Brush()->SetColor(trapezoidal ? forms::clBtnFace : backColor_);
  c->FillRect(TRect{0, 0, work.Width(), work.Height()});

  if (BorderOuter() == fsLowered || BorderOuter() == fsRaised) {
    if (trapezoidal) {
      const TTrapezoid t = Trapezoid(r, trapezoidMin_);
      if (backColor_ != forms::clBtnFace) {
        c->Brush()->SetColor(backColor_);
        c->Pen()->SetColor(backColor_);
        c->Polygon(Points(PulledIn(t)));
      }
      TrapezoidBevel(c, t, 1, BevelWidth());
    }
    bevelInUse_ = BevelWidth();
    r = TRect{r.left + bevelInUse_, r.top + bevelInUse_, r.right - bevelInUse_, r.bottom - bevelInUse_};
  } else {
    bevelInUse_ = 0;
  }
  if (!trapezoidal) {
    r = TRect{r.left - client.left - 1, r.top - client.top - 1, r.right - client.left, r.bottom - client.top};
  }
  if (meterType_ == mtLED) PaintSegments(c, r);
  else PaintBar(c, r, client);

  TCanvas* target = Canvas();
  target->SetCopyMode(forms::cmSrcCopy);
  target->Draw(trapezoidal ? 0 : client.left, trapezoidal ? 0 : client.top, &work);
}

void TFcMeter::PaintBar(TCanvas* c, TRect r, TRect cl) {
  const int q = value_ - min_;
  const int span = max_ - min_;
  const bool trapezoidal = meterShape_ == msTrapezoidal;
  const bool smallToLarge = trapezoidal && trapezoidDir_ == tdSmallToLarge;
  TTrapezoid tc{}, tr{};
  if (smallToLarge) {
    tc = Trapezoid(cl, trapezoidMin_);
    tr = Trapezoid(r, trapezoidMin_ - 2 * bevelInUse_);
  }
  switch (direction_) {
    case dirRight:
      r.right = Scaled(q, r.right, span);
      cl.right = r.right;
      r.right = std::max(r.right, r.left);
      break;
    case dirDown:
      r.bottom = Scaled(q, r.bottom, span);
      cl.bottom = r.bottom;
      r.bottom = std::max(r.bottom, r.top);
      break;
    case dirUp:
      r.top = std::min(r.bottom + r.top - Scaled(q, r.bottom, span), r.bottom);
      cl.top = r.top;
      break;
    case dirLeft:
      r.left = std::min(r.right + r.left - Scaled(q, r.right, span), r.right);
      cl.left = r.left;
      break;
  }
  if (smallToLarge) {
    tc = ClipTrapezoid(tc, cl, direction_);
    tr = ClipTrapezoid(tr, r, direction_);
  } else if (trapezoidal) {
    tr = Trapezoid(r, trapezoidMin_ - 2 * bevelInUse_);
  }
  const TTrapezoid bar = PulledIn(tr);

  if (!bitmap_->Empty()) {
    if (!trapezoidal) {
      TileBitmap(c, bitmap_.get(), r);
    } else if (value_ > 0) {
      std::vector<win::POINT> pts;
      for (const TPoint& p : bar) pts.push_back(win::POINT{p.x, p.y});
      win::HRGN rgn = win::CreatePolygonRgn(pts.data(), 4, win::WINDING);
      win::SelectClipRgn(c->Handle(), rgn);
      TileBitmap(c, bitmap_.get(), r);
      win::SelectClipRgn(c->Handle(), nullptr);
      win::DeleteObject(rgn);
    }
  } else {
    c->Brush()->SetStyle(brushStyle_);
    c->Brush()->SetColor(barColor_);
    c->Pen()->SetColor(barColor_);
    if (!trapezoidal) {
      if (brushStyle_ == forms::bsSolid) c->FillRect(r);
      else c->Rectangle(r);
    } else if (value_ > 0) {
      c->Polygon(Points(bar));
    }
    c->Brush()->SetStyle(forms::bsSolid);
  }

  if (meterType_ == mtBar3D && 2 * BevelWidth() < cl.right - cl.left && 2 * BevelWidth() < cl.bottom - cl.top) {
    if (!trapezoidal) {
      PaintBevel(c, r, forms::clBtnHighlight, forms::clBtnShadow, BevelWidth(), sdAllSides);
    } else {
      TrapezoidBevel(c, smallToLarge ? tc : Trapezoid(cl, trapezoidMin_), 2, BevelWidth());
    }
  }

  if (showPercent_) {
    forms::String text = rtl::Format("%d%%", {Scaled(q, 100, span)});
    if (text.size() > 15) text.resize(15);
    c->Brush()->SetStyle(forms::bsClear);
    c->Font()->Assign(Font());
    c->TextOut((ClientWidth() - c->TextWidth(text)) / 2, (ClientHeight() - c->TextHeight(text)) / 2, text);
    c->Brush()->SetStyle(forms::bsSolid);
  }
}

void TFcMeter::PaintSegments(TCanvas* c, TRect r) {
  const int n = SegmentTotal();
  if (n <= 0) return;
  const int lit = LitSegments();
  const int s = segSpacing_;
  const bool trapezoidal = meterShape_ == msTrapezoidal;
  TTrapezoid t{};
  if (trapezoidal) t = InflateTrapezoid(Trapezoid(r, trapezoidMin_ - 2 * bevelInUse_), -s);
  r = TRect{r.left + s + 1, r.top + s, r.right - s - 1, r.bottom - s};
  c->Pen()->SetStyle(forms::psSolid);
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(forms::clBlack);
  c->Brush()->SetStyle(forms::bsSolid);
  c->Brush()->SetColor(segColors_[0]);

  const bool horizontal = direction_ == dirRight || direction_ == dirLeft;
  int width, height, x, y;
  if (horizontal) {
    width = (r.right - r.left - s * (n - 2)) / n;
    height = r.bottom - r.top;
    x = direction_ == dirRight ? r.left : r.right - width;
    y = r.top;
  } else {
    height = (r.bottom - r.top - s * (n - 2)) / n;
    width = r.right - r.left;
    x = r.left;
    y = direction_ == dirDown ? r.top : r.bottom - height;
  }
  // Segments too narrow to be seen are not drawn at all (a negative size
  // would draw them backwards over their neighbours).
  if (width < 1 || height < 1) return;
  const int step = (horizontal ? width : height) + s;
  const bool backwards = direction_ == dirUp || direction_ == dirLeft;

  int group = 0, inGroup = 0;
  bool off = false;
  for (int k = 0; k < n; ++k) {
    if (k < lit && group < 3 && inGroup >= segCounts_[static_cast<size_t>(group)]) {
      ++group;
      if (group < 3) {
        inGroup = 0;
        c->Brush()->SetColor(segColors_[static_cast<size_t>(group)]);
      }
    }
    if (k >= lit && !off) {
      off = true;
      c->Brush()->SetColor(segOffColor_);
    }
    const TRect seg{x, y, x + width, y + height};
    if (!trapezoidal) {
      c->FillRect(TRect{seg.left, seg.top + 1, seg.right, seg.bottom});
    } else {
      c->Polygon(Points(PulledIn(ClipTrapezoid(t, seg, direction_))));
    }
    if (horizontal) x += backwards ? -step : step;
    else y += backwards ? -step : step;
    ++inGroup;
  }
}

}  // namespace controls
