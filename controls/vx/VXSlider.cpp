#include "controls/vx/VXSlider.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/pb/PbCustomButton.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Resources.h"
#include "platform/rtl/Streams.h"
#include "platform/win/Api.h"

using namespace forms;
using namespace win;

namespace controls {

extern const rtl::ResourceTable controlsResources;

namespace {

// The ruler starts this far inside the track area and ends as far before
// its end.
constexpr int kMargin = 6;
constexpr UINT_PTR kTrackTimer = 1;
constexpr UINT kTrackDelay = 400;

const char* const kDefaultImages[4] = {"W95_HTB", "W95_HRL", "W95_VTB", "W95_VRL"};

// Halves to even, as the slider's arithmetic rounds.
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }

std::unique_ptr<rtl::TMemoryStream> ResourceStream(const char* name) {
  const rtl::ResourceEntry& entry = rtl::GetResource(controlsResources, name);
  auto stream = std::make_unique<rtl::TMemoryStream>();
  stream->Write(entry.Data, static_cast<int64_t>(entry.Size));
  stream->Seek(0, rtl::soBeginning);
  return stream;
}

HCURSOR CursorFromResource(const char* name, DWORD hotX, DWORD hotY) {
  const rtl::ResourceEntry& entry = rtl::GetResource(controlsResources, name);
  std::unique_ptr<Surface> pixels = LoadBmpFromMemory(entry.Data, entry.Size);
  if (!pixels) return nullptr;
  const int w = pixels->Width(), h = pixels->Height();
  std::vector<uint32_t> bits(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) std::copy(pixels->Row(y), pixels->Row(y) + w, bits.begin() + y * w);
  HBITMAP color = CreateBitmap(w, h, 1, 32, bits.data());
  HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
  ICONINFO info;
  info.fIcon = FALSE;
  info.xHotspot = hotX;
  info.yHotspot = hotY;
  info.hbmMask = mask;
  info.hbmColor = color;
  HCURSOR cursor = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  return cursor;
}

void Frame3D(TCanvas* canvas, TRect r, TColor topLeft, TColor bottomRight) {
  canvas->Pen()->SetWidth(1);
  --r.right;
  --r.bottom;
  canvas->Pen()->SetColor(topLeft);
  canvas->Polyline({Point(r.left, r.bottom), Point(r.left, r.top), Point(r.right, r.top)});
  canvas->Pen()->SetColor(bottomRight);
  canvas->Polyline({Point(r.right, r.top), Point(r.right, r.bottom), Point(r.left - 1, r.bottom)});
}

}  // namespace

void RegisterVxCursors() {
  static bool done = false;
  if (done || !Screen) return;
  done = true;
  // Hot spots: the fingertip of the pointing hand, the palm of the grip.
  Screen->SetCursors(crVxHand, CursorFromResource("VX_HANDCUR", 6, 1));
  Screen->SetCursors(crVxDrag, CursorFromResource("VX_DRAGCUR", 8, 8));
}

bool PointInRectInclusive(TPoint p, const TRect& r) {
  return r.left <= p.x && p.x <= r.right && r.top <= p.y && p.y <= r.bottom;
}

void MaskedStretchBlt(HDC destDC, int x, int y, int w, int h, HDC srcDC, int srcX, int srcY, int srcW, int srcH,
                      COLORREF keyColor, HPALETTE palette) {
  HDC maskDC = CreateCompatibleDC(destDC);
  HDC invDC = CreateCompatibleDC(destDC);
  HDC copyDC = CreateCompatibleDC(destDC);
  HDC workDC = CreateCompatibleDC(destDC);
  HBITMAP mask = CreateBitmap(srcW, srcH, 1, 1, nullptr);
  HBITMAP inv = CreateBitmap(srcW, srcH, 1, 1, nullptr);
  HBITMAP copy = CreateCompatibleBitmap(destDC, srcW, srcH);
  HBITMAP work = CreateCompatibleBitmap(destDC, w, h);
  HGDIOBJ oldMask = SelectObject(maskDC, mask);
  HGDIOBJ oldInv = SelectObject(invDC, inv);
  HGDIOBJ oldCopy = SelectObject(copyDC, copy);
  HGDIOBJ oldWork = SelectObject(workDC, work);
  HPALETTE oldPalettes[4] = {};
  if (palette) {
    HDC dcs[4] = {destDC, maskDC, copyDC, workDC};
    for (int i = 0; i < 4; ++i) {
      oldPalettes[i] = SelectPalette(dcs[i], palette, i == 0);
      RealizePalette(dcs[i]);
    }
  }
  SetMapMode(srcDC, GetMapMode(destDC));

  BitBlt(copyDC, 0, 0, srcW, srcH, srcDC, srcX, srcY, SRCCOPY);
  // Key pixels become 1 in the mask, everything else 0.
  SetBkColor(copyDC, 0x02000000u | (keyColor & 0xFFFFFF));
  BitBlt(maskDC, 0, 0, srcW, srcH, copyDC, 0, 0, SRCCOPY);
  BitBlt(invDC, 0, 0, srcW, srcH, maskDC, 0, 0, NOTSRCCOPY);
  BitBlt(workDC, 0, 0, w, h, destDC, x, y, SRCCOPY);
  SetBkColor(workDC, RGB(255, 255, 255));
  SetTextColor(workDC, RGB(0, 0, 0));
  SetStretchBltMode(workDC, COLORONCOLOR);
  // Keep the destination where the key was, black out the rest...
  StretchBlt(workDC, 0, 0, w, h, maskDC, 0, 0, srcW, srcH, SRCAND);
  // ...black out the key in the source, and lay the source into the hole.
  SetBkColor(copyDC, RGB(255, 255, 255));
  SetTextColor(copyDC, RGB(0, 0, 0));
  BitBlt(copyDC, 0, 0, srcW, srcH, invDC, 0, 0, SRCAND);
  StretchBlt(workDC, 0, 0, w, h, copyDC, 0, 0, srcW, srcH, SRCPAINT);
  BitBlt(destDC, x, y, w, h, workDC, 0, 0, SRCCOPY);

  if (palette) {
    HDC dcs[4] = {destDC, maskDC, copyDC, workDC};
    for (int i = 0; i < 4; ++i) SelectPalette(dcs[i], oldPalettes[i], TRUE);
  }
  SelectObject(maskDC, oldMask);
  SelectObject(invDC, oldInv);
  SelectObject(copyDC, oldCopy);
  SelectObject(workDC, oldWork);
  DeleteObject(mask);
  DeleteObject(inv);
  DeleteObject(copy);
  DeleteObject(work);
  DeleteDC(maskDC);
  DeleteDC(invDC);
  DeleteDC(copyDC);
  DeleteDC(workDC);
}

void StretchBitmapKeyed(TCanvas* canvas, int destX, int destY, int destW, int destH, int srcX, int srcY, int srcW,
                        int srcH, TBitmap* bitmap, TColor keyColor) {
  if (!canvas || !bitmap || bitmap->Empty()) return;
  if (destW < 1) destW = bitmap->Width();
  if (destH < 1) destH = bitmap->Height();
  if (srcW < 1 || srcH < 1) {
    srcX = 0;
    srcY = 0;
    srcW = bitmap->Width();
    srcH = bitmap->Height();
  }
  TCanvas* source = bitmap->Canvas();
  source->Lock();
  TNotifyEvent onChange = source->OnChange;
  source->OnChange = nullptr;
  try {
    HDC dest = canvas->Handle();
    HDC src = source->Handle();
    if (!bitmap->Monochrome()) SetStretchBltMode(dest, COLORONCOLOR);
    if (keyColor == clNone) {
      StretchBlt(dest, destX, destY, destW, destH, src, srcX, srcY, srcW, srcH, canvas->CopyMode());
    } else {
      if (keyColor == clDefault) keyColor = source->Pixels(0, bitmap->Height() - 1);
      const COLORREF key = bitmap->Monochrome() ? RGB(255, 255, 255) : ColorToRGB(keyColor);
      MaskedStretchBlt(dest, destX, destY, destW, destH, src, srcX, srcY, srcW, srcH, key, nullptr);
    }
  } catch (...) {
    source->OnChange = onChange;
    source->Unlock();
    throw;
  }
  source->OnChange = onChange;
  source->Unlock();
}

void DrawBitmapKeyed(TCanvas* canvas, int x, int y, TColor keyColor, TBitmap* bitmap) {
  if (!bitmap) return;
  StretchBitmapKeyed(canvas, x, y, bitmap->Width(), bitmap->Height(), 0, 0, bitmap->Width(), bitmap->Height(),
                     bitmap, keyColor);
}

void DrawBitmapRectKeyed(TCanvas* canvas, int x, int y, const TRect& rect, TColor keyColor, TBitmap* bitmap) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  StretchBitmapKeyed(canvas, x, y, w, h, rect.left, rect.top, w, h, bitmap, keyColor);
}

// ---- TVxCustomSlider ----

TVxCustomSlider::TVxCustomSlider(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csOpaque, csDoubleClicks});
  SetBounds(Left(), Top(), 150, 40);
  SetTabStop(true);
  SetParentColor(true);
  ruler_ = std::make_unique<TBitmap>();
  for (int i = 0; i < 4; ++i) {
    images_[static_cast<size_t>(i)] = std::make_unique<TBitmap>();
    LoadDefaultImage(i);
    images_[static_cast<size_t>(i)]->OnChange = [this](TObject*) { ImageChanged(); };
  }
  RegisterVxCursors();
  creating_ = false;
  RebuildLayout();
}

TVxCustomSlider::~TVxCustomSlider() {
  OnChange = nullptr;
  OnChanged = nullptr;
  OnDrawPoints = nullptr;
  ruler_.reset();
  for (auto& image : images_) {
    image->OnChange = nullptr;
    image.reset();
  }
}

bool TVxCustomSlider::Reading() const { return ComponentState().Contains(csReading); }

void TVxCustomSlider::LoadDefaultImage(int index) {
  auto stream = ResourceStream(kDefaultImages[index]);
  images_[static_cast<size_t>(index)]->LoadFromStream(stream.get());
}

void TVxCustomSlider::ImageChanged() {
  if (!creating_) RebuildLayout();
}

void TVxCustomSlider::GetTrackArea(TRect& rect) const {
  rect = Rect(0, 0, Width(), Height());
  if (bevelStyle_ != bvNone)
    rect = Rect(rect.left + bevelWidth_, rect.top + bevelWidth_, rect.right - bevelWidth_, rect.bottom - bevelWidth_);
}

int TVxCustomSlider::TrackStart() const {
  TRect a;
  GetTrackArea(a);
  return (orientation_ == soHorizontal ? a.left : a.top) + kMargin;
}

int TVxCustomSlider::RulerLength() const {
  if (orientation_ == soHorizontal) return ruler_->Width() - ImageHThumb()->Width() / numThumbStates_;
  return ruler_->Height() - ImageVThumb()->Height();
}

void TVxCustomSlider::BuildRuler() {
  TRect a;
  GetTrackArea(a);
  const bool horizontal = orientation_ == soHorizontal;
  TBitmap* image = horizontal ? ImageHRuler() : ImageVRuler();
  const int n = horizontal ? image->Width() : image->Height();
  const int cross = horizontal ? image->Height() : image->Width();
  const int e = edgeSize_;
  const int tile = n - 2 * e;
  const int length = std::max((horizontal ? a.right - a.left : a.bottom - a.top) - 2 * kMargin, 0);

  auto result = std::make_unique<TBitmap>();
  if (horizontal)
    result->SetSize(length, cross);
  else
    result->SetSize(cross, length);
  HDC dst = result->Canvas()->Handle();
  HDC src = image->Canvas()->Handle();
  // Copies [from, from + count) of the image to [to, to + count) of the
  // ruler along the axis, never past the ruler's end.
  auto copy = [&](int from, int to, int count) {
    count = std::min(count, length - to);
    if (count <= 0) return;
    if (horizontal)
      BitBlt(dst, to, 0, count, cross, src, from, 0, SRCCOPY);
    else
      BitBlt(dst, 0, to, cross, count, src, 0, from, SRCCOPY);
  };
  // A middle of no length cannot be repeated (an image changed after its
  // edge size was chosen): the ruler then shows the image's start only.
  const int a2 = length - 2 * e;
  if (tile > 0) {
    const int k = a2 / tile, r = a2 % tile;
    if (k >= 0) copy(0, 0, n - e);
    for (int i = 1; i <= k - 1; ++i) copy(e, e + i * tile, tile);
    if (k >= 1) copy(e + tile - r, e + k * tile, e + r);
  } else {
    copy(0, 0, n - e);
  }
  ruler_ = std::move(result);
}

void TVxCustomSlider::RebuildLayout() {
  const int32_t v = value_;
  BuildRuler();
  TRect a;
  GetTrackArea(a);
  const int rw = ruler_->Width(), rh = ruler_->Height();
  if (orientation_ == soHorizontal) {
    const int t = ImageHThumb()->Width() / numThumbStates_;
    const int h = ImageHThumb()->Height();
    if (rh < h) {
      thumbRect_ = Bounds(a.left + kMargin, a.top + kMargin, t, h);
      rulerOrigin_ = Point(a.left + kMargin, a.top + kMargin + (h - rh) / 2);
    } else {
      rulerOrigin_ = Point(a.left + kMargin, a.top + kMargin);
      thumbRect_ = Bounds(a.left + kMargin, a.top + kMargin + (rh - h) / 2, t, h);
    }
    pointsRect_ = Rect(rulerOrigin_.x, a.top + std::max(h, rh) + 7, rulerOrigin_.x + rw, a.bottom - a.top - 1);
  } else {
    const int w = ImageVThumb()->Width() / numThumbStates_;
    const int th = ImageVThumb()->Height();
    if (rw < w) {
      thumbRect_ = Bounds(a.left + kMargin, a.top + kMargin, w, th);
      rulerOrigin_ = Point(a.left + kMargin + (w - rw) / 2, a.top + kMargin);
    } else {
      rulerOrigin_ = Point(a.left + kMargin, a.top + kMargin);
      thumbRect_ = Bounds(a.left + kMargin + (rw - w) / 2, a.top + kMargin, w, th);
    }
    pointsRect_ = Rect(a.left + std::max(w, rw) + 7, rulerOrigin_.y, a.right - a.left - 1, rulerOrigin_.y + rh);
  }
  SetValue(v);
  Invalidate();
}

int TVxCustomSlider::OffsetOfValue(int32_t v) const {
  const int s = TrackStart();
  const int len = RulerLength();
  const double range = static_cast<double>(maxValue_) - minValue_;
  const int step = range > 0 ? RoundEven(len * (static_cast<double>(v) - minValue_) / range) : 0;
  int offset;
  if (orientation_ == soHorizontal) {
    offset = s + step;
  } else {
    TRect a;
    GetTrackArea(a);
    offset = a.bottom - kMargin - step - ImageVThumb()->Height();
  }
  return std::max(offset, s);
}

int32_t TVxCustomSlider::ValueOfOffset(int p) const {
  TRect a;
  GetTrackArea(a);
  if (orientation_ == soVertical) p = ClientHeight() - p - ImageVThumb()->Height();
  const int len = RulerLength();
  // A ruler with no travel (a slider too small for its thumb) has only one
  // place, the minimum.
  if (len <= 0) return minValue_;
  const double range = static_cast<double>(maxValue_) - minValue_;
  const int q = RoundEven((p - a.left - kMargin) * range / len);
  int d = q;
  if (!options_.Contains(soSmooth) && increment_ > 0)
    d = increment_ * RoundEven(static_cast<double>(q) / increment_);
  return std::min(std::max(d, 0) + minValue_, maxValue_);
}

int TVxCustomSlider::SnapOffset(int p) const {
  const int s = TrackStart();
  const int end = s + std::max(RulerLength(), 0);
  p = std::max(p, s);
  p = OffsetOfValue(ValueOfOffset(std::min(p, end)));
  return std::min(p, end);
}

void TVxCustomSlider::InvalidateThumb() {
  if (!HandleAllocated()) return;
  RECT r = thumbRect_;
  InvalidateRect(Handle(), &r, FALSE);
}

void TVxCustomSlider::MoveThumbTo(int offset) {
  const int p = SnapOffset(offset);
  InvalidateThumb();
  const int w = thumbRect_.right - thumbRect_.left, h = thumbRect_.bottom - thumbRect_.top;
  if (orientation_ == soHorizontal)
    thumbRect_ = Bounds(p, thumbRect_.top, w, h);
  else
    thumbRect_ = Bounds(thumbRect_.left, p, w, h);
  InvalidateThumb();
  if (dragging_) {
    const int32_t v = ValueOfOffset(p);
    if (v != value_) {
      value_ = v;
      Change();
    }
  }
}

void TVxCustomSlider::SetValue(int32_t v) {
  v = std::clamp(v, minValue_, std::max(minValue_, maxValue_));
  const int32_t old = value_;
  value_ = v;
  const bool wasDragging = dragging_;
  dragging_ = false;
  MoveThumbTo(OffsetOfValue(v));
  dragging_ = wasDragging;
  if (value_ != old) Change();
}

void TVxCustomSlider::SetRange(int32_t newMin, int32_t newMax) {
  if (newMin >= newMax && !Reading()) return;
  minValue_ = newMin;
  maxValue_ = newMax;
  if (!Reading() && maxValue_ < minValue_ + increment_) increment_ = maxValue_ - minValue_;
  if (options_.Contains(soShowPoints)) Invalidate();
  SetValue(value_);
  RangeUpdated();
}

void TVxCustomSlider::SetMinValue(int32_t v) {
  if (v != minValue_) SetRange(v, maxValue_);
}

void TVxCustomSlider::SetMaxValue(int32_t v) {
  if (v != maxValue_) SetRange(minValue_, v);
}

void TVxCustomSlider::SetIncrement(int32_t v) {
  const int32_t range = maxValue_ - minValue_;
  if (!Reading() && !(v > 0 && v <= range))
    throw rtl::Exception(rtl::Format("Value must be between %d and %d", {1, range}));
  if (v > 0 && v != increment_) {
    increment_ = v;
    SetValue(value_);
    Invalidate();
  }
}

void TVxCustomSlider::SetOptions(TSliderOptions v) {
  if (v == options_) return;
  options_ = v;
  Invalidate();
}

void TVxCustomSlider::SetBevelStyle(TBevelCut v) {
  if (v == bevelStyle_) return;
  bevelStyle_ = v;
  RebuildLayout();
  Update();
}

void TVxCustomSlider::SetNumThumbStates(TNumThumbStates v) {
  v = std::clamp(v, 1, 2);
  if (v == numThumbStates_) return;
  numThumbStates_ = v;
  RebuildLayout();
}

void TVxCustomSlider::SetOrientation(TSliderOrientation v) {
  if (v == orientation_) return;
  const int oldWidth = Width(), oldHeight = Height();
  orientation_ = v;
  RebuildLayout();
  if (!ComponentState().Contains(csLoading) && !ComponentState().Contains(csUpdating))
    SetBounds(Left(), Top(), oldHeight, oldWidth);
}

void TVxCustomSlider::SetEdgeSize(int v) {
  const int length = orientation_ == soHorizontal ? ImageHRuler()->Width() : ImageVRuler()->Height();
  if (2 * v >= length || v == edgeSize_) return;
  edgeSize_ = v;
  RebuildLayout();
}

void TVxCustomSlider::SetImage(int index, TBitmap* bitmap) {
  if (index < 0 || index > 3) return;
  const uint8_t bit = static_cast<uint8_t>(1u << index);
  if (bitmap) {
    images_[static_cast<size_t>(index)]->Assign(bitmap);
    userImages_ |= bit;
    return;
  }
  LoadDefaultImage(index);
  userImages_ &= static_cast<uint8_t>(~bit);
  if (!Reading()) {
    TSliderOptions o = options_;
    o.Exclude(index == ImageHThumbIndex || index == ImageVThumbIndex ? soThumbOpaque : soRulerOpaque);
    options_ = o;
    Invalidate();
  }
}

void TVxCustomSlider::Loaded() {
  TCustomControl::Loaded();
  for (int i = 0; i < 4; ++i)
    if (userImages_ & (1u << i)) {
      TBitmap* image = Image(i);
      TBitmap copy;
      copy.Assign(image);
      image->Assign(&copy);
    }
}

void TVxCustomSlider::AlignControls(TControl* control, TRect& rect) {
  if (bevelStyle_ != bvNone)
    rect = Rect(rect.left + bevelWidth_, rect.top + bevelWidth_, rect.right - bevelWidth_, rect.bottom - bevelWidth_);
  TCustomControl::AlignControls(control, rect);
}

void TVxCustomSlider::Change() {
  if (OnChange) OnChange(this);
}

void TVxCustomSlider::Changed() {
  if (OnChanged) OnChanged(this);
}

// ---- stepping and tracking ----

void TVxCustomSlider::StepValue(int code) {
  int32_t v = value_;
  const double rounded = increment_ > 0 ? increment_ * std::nearbyint(static_cast<double>(value_) / increment_) : value_;
  switch (code) {
    case 1: v = minValue_; break;
    case 2: v = maxValue_; break;
    case 3: v = static_cast<int32_t>(rounded) + increment_; break;
    case 4: v = static_cast<int32_t>(rounded) - increment_; break;
    default: return;
  }
  v = std::clamp(v, minValue_, std::max(minValue_, maxValue_));
  if (v != value_) SetValue(v);
}

int TVxCustomSlider::SideOf(TPoint p) const {
  if (orientation_ == soHorizontal) {
    if (p.x < thumbRect_.left) return 4;
    if (p.x > thumbRect_.right) return 3;
  } else {
    if (p.y < thumbRect_.top) return 3;
    if (p.y > thumbRect_.bottom) return 4;
  }
  return 0;
}

void TVxCustomSlider::TrackStep() {
  if (SideOf(trackPoint_) != trackSide_) return;
  StepValue(trackSide_);
  if (!timerRunning_ && HandleAllocated()) {
    SetTimer(Handle(), kTrackTimer, kTrackDelay, nullptr);
    timerRunning_ = true;
  }
}

void TVxCustomSlider::StopTracking() {
  if (timerRunning_ && HandleAllocated()) KillTimer(Handle(), kTrackTimer);
  timerRunning_ = false;
  tracking_ = false;
  ReleaseCapture();
  Changed();
}

// ---- mouse and keys ----

void TVxCustomSlider::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || shift.Contains(ssDouble)) return;
  if (CanFocus()) SetFocus();
  const TPoint p = Point(x, y);
  if (PointInRectInclusive(p, thumbRect_)) {
    ThumbPressed(button, shift, x, y);
    return;
  }
  TRect ruler = Bounds(rulerOrigin_.x, rulerOrigin_.y, ruler_->Width(), ruler_->Height());
  if (orientation_ == soHorizontal) {
    ruler.top -= 3;
    ruler.bottom += 3;
  } else {
    ruler.left -= 3;
    ruler.right += 3;
  }
  if (PointInRectInclusive(p, ruler) && IsChangeAllowed()) {
    SetCapture(Handle());
    tracking_ = true;
    trackPoint_ = p;
    trackSide_ = SideOf(p);
    TrackStep();
  }
}

void TVxCustomSlider::MouseMove(TShiftState shift, int x, int y) {
  if (shift.Contains(ssLeft) && dragging_)
    ThumbDragged(shift, x, y);
  else if (tracking_)
    trackPoint_ = Point(x, y);
  TCustomControl::MouseMove(shift, x, y);
}

void TVxCustomSlider::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (tracking_) StopTracking();
  if (dragging_) ThumbReleased(button, shift, x, y);
  TCustomControl::MouseUp(button, shift, x, y);
}

void TVxCustomSlider::ThumbPressed(TMouseButton button, TShiftState, int x, int y) {
  if (CanFocus()) SetFocus();
  if (button != mbLeft || !IsChangeAllowed()) return;
  dragging_ = true;
  highlight_ = true;
  grabOffset_ = orientation_ == soHorizontal ? x - thumbRect_.left : y - thumbRect_.top;
  InvalidateThumb();
  Update();
}

void TVxCustomSlider::ThumbDragged(TShiftState shift, int x, int y) {
  if (!shift.Contains(ssLeft) || !IsChangeAllowed()) return;
  MoveThumbTo((orientation_ == soHorizontal ? x : y) - grabOffset_);
}

void TVxCustomSlider::ThumbReleased(TMouseButton button, TShiftState, int, int) {
  if (button != mbLeft) return;
  dragging_ = false;
  highlight_ = false;
  InvalidateThumb();
  Update();
  if (IsChangeAllowed()) Changed();
}

void TVxCustomSlider::KeyDown(uint16_t& key, TShiftState shift) {
  int code = 0;
  if (shift.Empty()) {
    switch (key) {
      case VK_HOME: code = 1; break;
      case VK_END: code = 2; break;
      case VK_LEFT: code = orientation_ == soHorizontal ? 4 : 0; break;
      case VK_RIGHT: code = orientation_ == soHorizontal ? 3 : 0; break;
      case VK_UP: code = orientation_ == soVertical ? 3 : 0; break;
      case VK_DOWN: code = orientation_ == soVertical ? 4 : 0; break;
      default: break;
    }
  }
  if (code != 0 && IsChangeAllowed()) {
    key = 0;
    StepValue(code);
    Changed();
  }
  TCustomControl::KeyDown(key, shift);
}

// ---- painting ----

void TVxCustomSlider::PaintTicks(int32_t step, int tickLength, int endTickLength) {
  TCanvas* canvas = Canvas();
  canvas->Pen()->SetColor(clWindowText);
  const int len = RulerLength();
  const int32_t range = maxValue_ - minValue_;
  if (step <= 0 || range <= 0 || len <= 0) return;
  int count = 0;
  int32_t stride = step;
  for (int m = 1;; ++m) {
    stride = step * m;
    const int n = RoundEven(static_cast<double>(range) / stride);
    count = n + 1;
    const int spacing = count > 1 ? len / n : len;
    if (spacing >= 4 || spacing >= len) break;
  }
  const int t = ImageHThumb()->Width() / numThumbStates_;
  int32_t v = minValue_;
  for (int i = 1; i <= count; ++i) {
    if (i == count) v = maxValue_;
    const int length = v == minValue_ || v == maxValue_ ? endTickLength : tickLength;
    if (orientation_ == soHorizontal) {
      const int x = OffsetOfValue(v) + t / 2;
      canvas->MoveTo(x, pointsRect_.top);
      canvas->LineTo(x, pointsRect_.top + length);
    } else {
      const int y = OffsetOfValue(v) + ImageVThumb()->Height() / 2;
      canvas->MoveTo(pointsRect_.left, y);
      canvas->LineTo(pointsRect_.left + length, y);
    }
    v += stride;
  }
}

void TVxCustomSlider::Paint() {
  TCanvas* canvas = Canvas();
  const bool copy = ControlState().Contains(csPaintCopy);
  TPoint thumb = Point(thumbRect_.left, thumbRect_.top);
  if (copy) {
    const int p = SnapOffset(OffsetOfValue(ReadValue()));
    if (orientation_ == soHorizontal)
      thumb.x = p;
    else
      thumb.y = p;
  }
  if (bevelStyle_ != bvNone) {
    if (bevelStyle_ == bvLowered)
      Frame3D(canvas, ClientRect(), clBtnShadow, clBtnHighlight);
    else
      Frame3D(canvas, ClientRect(), clBtnHighlight, clBtnShadow);
  }
  PaintParentBackground(canvas, this);
  if (ruler_->Width() > 0 && ruler_->Height() > 0)
    DrawBitmapKeyed(canvas, rulerOrigin_.x, rulerOrigin_.y,
                    options_.Contains(soRulerOpaque) ? clNone : ruler_->TransparentColor(), ruler_.get());
  if (options_.Contains(soShowFocus) && focused_ && !ComponentState().Contains(csDesigning)) {
    TRect r;
    GetTrackArea(r);
    canvas->DrawFocusRect(Rect(r.left + 2, r.top + 2, r.right - 2, r.bottom - 2));
  }
  if (options_.Contains(soShowPoints)) {
    if (OnDrawPoints)
      OnDrawPoints(this);
    else
      PaintTicks(increment_, 3, 5);
  }
  TBitmap* image = orientation_ == soHorizontal ? ImageHThumb() : ImageVThumb();
  if (image->Empty()) return;
  const int w = image->Width() / numThumbStates_;
  const bool second = numThumbStates_ == 2 && (!Enabled() || (!copy && highlight_));
  const TRect part = Bounds(second ? w : 0, 0, w, image->Height());
  DrawBitmapRectKeyed(canvas, thumb.x, thumb.y, part,
                      options_.Contains(soThumbOpaque) ? clNone : image->TransparentColor(), image);
}

void TVxCustomSlider::WMPaint(TMessage& m) {
  if (memoryPaint_) {
    TCustomControl::Dispatch(m);
    return;
  }
  Canvas()->Lock();
  const int w = ClientWidth(), h = ClientHeight();
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, std::max(w, 1), std::max(h, 1));
  ReleaseDC(nullptr, screen);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, bitmap);
  Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), reinterpret_cast<LPARAM>(mem));
  const WPARAM given = m.WParam;
  memoryPaint_ = true;
  m.WParam = reinterpret_cast<WPARAM>(mem);
  try {
    TCustomControl::Dispatch(m);
  } catch (...) {
    memoryPaint_ = false;
    m.WParam = given;
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bitmap);
    Canvas()->Unlock();
    throw;
  }
  memoryPaint_ = false;
  m.WParam = given;
  HDC dc = reinterpret_cast<HDC>(given);
  PAINTSTRUCT ps{};
  if (!dc) dc = BeginPaint(Handle(), &ps);
  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
  if (!given) EndPaint(Handle(), &ps);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bitmap);
  Canvas()->Unlock();
}

void TVxCustomSlider::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_TIMER:
      if (m.WParam == kTrackTimer && tracking_) TrackStep();
      return;
    case WM_GETDLGCODE:
      m.Result = DLGC_WANTARROWS;
      return;
    case WM_SETCURSOR:
      if (!ComponentState().Contains(csDesigning)) {
        POINT p{};
        GetCursorPos(&p);
        const TPoint c = ScreenToClient(p);
        if (c.x >= thumbRect_.left && c.x < thumbRect_.right && c.y >= thumbRect_.top && c.y < thumbRect_.bottom) {
          win::SetCursor(Screen->Cursors(crVxHand));
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_SIZE:
      TCustomControl::Dispatch(m);
      if (!Reading()) RebuildLayout();
      return;
    case CM_ENABLEDCHANGED:
      TCustomControl::Dispatch(m);
      InvalidateThumb();
      return;
    case CM_FOCUSCHANGED: {
      const bool now = reinterpret_cast<TControl*>(m.LParam) == this;
      if (now != focused_) {
        focused_ = now;
        if (options_.Contains(soShowFocus)) Invalidate();
      }
      break;
    }
    default:
      break;
  }
  TCustomControl::Dispatch(m);
}

}  // namespace controls
