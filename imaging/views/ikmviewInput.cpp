// The thumbnail view under the user's hands: selecting with the mouse and
// the keys, Shift and Ctrl ranges, drag scrolling, and the slide show.
#include <algorithm>

#include "imaging/views/ikmview.h"
#include "platform/win/Input.h"
#include "platform/win/Messages.h"
#include "platform/win/Paint.h"

namespace imaging {

using namespace forms;

namespace {
// Sets a flag for the life of the object and puts the old value back.
class FlagScope {
public:
  FlagScope(bool& flag, bool value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~FlagScope() { flag_ = saved_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

private:
  bool& flag_;
  bool saved_;
};
}  // namespace

// ---------------------------------------------------------------- selecting

void TImgKitMView::SelectAtPos(int32_t x, int32_t y, TShiftState shift) {
  const bool savedAdd = addFlag_;
  if (shift.Contains(ssCtrl) || shift.Contains(ssShift)) addFlag_ = true;
  const int32_t i = ImageAtPos(x, y);
  if (i >= 0) {
    const int32_t s = selectedImage_;
    if (shift.Contains(ssShift) && (i != s || (addFlag_ && EnableMultiSelect()))) {
      auto add = [&](int32_t index) {
        if (index != s && index != i && IndexInRange(index) && !IsImageSelected(index)) SelectImageInternal(index);
      };
      if (MultiSelectionOptions.Contains(ikmoRegion)) {
        const int32_t sr = GetImageRow(s), sc = GetImageCol(s), ir = GetImageRow(i), ic = GetImageCol(i);
        for (int32_t r = std::min(sr, ir); r <= std::max(sr, ir); ++r)
          for (int32_t c = std::min(sc, ic); c <= std::max(sc, ic); ++c) add(CellToIndex(r, c));
      } else if (s < i) {
        for (int32_t k = s + 1; k < i; ++k) add(k);
      } else {
        for (int32_t k = s - 1; k > i; --k) add(k);
      }
    }
    SelectImageInternal(i);
    if (VisibleSelection()) UpdateEx(false);
    NotifyObservers();
  }
  addFlag_ = savedAdd;
}

void TImgKitMView::SelectRangeFromAnchor(int32_t anchor, int32_t x, int32_t y, TShiftState shift) {
  const bool savedKeep = keepFlag_;
  {
    FlagScope add(addFlag_, false);
    keepFlag_ = true;
    ClearSelection();
    SelectImageInternal(anchor < 0 ? 0 : anchor);
  }
  SelectAtPos(x, y, shift);
  keepFlag_ = savedKeep;
  rangeSelected_ = true;
}

// ---------------------------------------------------------------- mouse

void TImgKitMView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TIKView::MouseDown(button, shift, x, y);
  FlagScope interaction(userInteraction_, true);
  if (doubleClick_) {
    doubleClick_ = false;
    return;
  }
  if (CanFocus() && HandleAllocated()) SetFocus();
  pressX_ = x;
  pressY_ = y;
  pressViewX_ = viewX_;
  pressViewY_ = viewY_;
  pressIndex_ = lastIndex_ = ImageAtPos(x, y);
  rangeSelected_ = false;
  mouseDown_ = true;
  selectionChanged_ = false;
  if (MultiSelectionOptions.Contains(ikmoSelectOnMouseUp) || button != mbLeft || !MouseInteract().Contains(mmiSelect))
    return;
  const int32_t i = ImageAtPos(x, y);
  if (shift.Contains(ssShift)) {
    SelectRangeFromAnchor(anchor_, x, y, shift);
  } else if (i >= 0 && IsImageSelected(i)) {
    // A press on a selected slot may start a drag of the whole selection;
    // the release decides.
    anchor_ = i;
  } else {
    anchor_ = i;
    SelectAtPos(x, y, shift);
  }
}

void TImgKitMView::MouseMove(TShiftState shift, int x, int y) {
  TIKView::MouseMove(shift, x, y);
  if (!mouseDown_ || !MouseCapture()) return;
  FlagScope interaction(userInteraction_, true);
  if (MouseInteract().Contains(mmiSelect) && EnableMultiSelect()) {
    const int32_t i = ImageAtPos(x, y);
    if (i != -1 && i != lastIndex_) {
      lastIndex_ = i;
      SelectRangeFromAnchor(pressIndex_, x, y, shift + TShiftState{ssShift});
    }
  }
  if (MouseInteract().Contains(mmiScroll)) {
    SetViewXY(pressViewX_ + pressX_ - x, pressViewY_ + pressY_ - y);
    DoViewChange(0);
  }
}

void TImgKitMView::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TIKView::MouseUp(button, shift, x, y);
  if (!mouseDown_) return;
  mouseDown_ = false;
  if (playing_ || button != mbLeft) return;
  FlagScope interaction(userInteraction_, true);
  if (MultiSelectionOptions.Contains(ikmoSelectOnMouseUp)) {
    if (!rangeSelected_ && MouseInteract().Contains(mmiSelect)) SelectAtPos(x, y, shift);
  } else if (!selectionChanged_) {
    SelectAtPos(x, y, shift);
  }
  if (MouseInteract().Contains(mmiScroll)) SetViewXY(pressViewX_ + pressX_ - x, pressViewY_ + pressY_ - y);
}

// ---------------------------------------------------------------- keys

void TImgKitMView::KeyDown(uint16_t& key, TShiftState shift) {
  TIKView::KeyDown(key, shift);
  if (playing_ || !KeyInteract().Contains(mkiMoveSelected)) return;
  int32_t direction = -1;
  switch (key) {
    case win::VK_LEFT: direction = 0; break;
    case win::VK_RIGHT: direction = 1; break;
    case win::VK_UP: direction = 2; break;
    case win::VK_DOWN: direction = 3; break;
    case win::VK_HOME: direction = 4; break;
    case win::VK_END: direction = 5; break;
    case win::VK_NEXT: direction = 6; break;
    case win::VK_PRIOR: direction = 7; break;
    default: return;
  }
  FlagScope interaction(userInteraction_, true);
  const bool modifier = EnableMultiSelect() && (shift.Contains(ssCtrl) || shift.Contains(ssShift));
  {
    FlagScope add(addFlag_, modifier ? true : addFlag_);
    FlagScope keep(keepFlag_, modifier ? true : keepFlag_);
    KeyMoveSelection(direction);
    DoViewChange(0);
  }
  UpdateEx(false);
}

void TImgKitMView::KeyMoveSelection(int32_t direction) {
  const int32_t count = GetImageCount();
  if (count == 0) return;
  const int32_t s = selectedImage_;
  const int32_t columns = ColumnCount();
  const int32_t rowStep = VertBorder() + ThumbHeight();
  const int32_t page = rowStep > 0 ? columns * ((ClientHeight() - VertBorder()) / rowStep) : 0;
  auto visible = [&] { return IsImageVisible(selectedImage_) == 2; };
  auto cell = [&](int32_t& x, int32_t& y) {
    TIKMViewSlot* slot = Slot(selectedImage_);
    x = slot ? slot->CellX : 0;
    y = slot ? slot->CellY : 0;
  };
  auto towardsEnd = [&] {
    int32_t x, y;
    cell(x, y);
    SetViewY(y + ThumbHeight() + VertBorder() - ClientHeight());
    if (!visible()) SetViewX(x + ThumbWidth() + HorizBorder() - ClientWidth());
  };
  auto towardsStart = [&] {
    int32_t x, y;
    cell(x, y);
    SetViewY(y - VertBorder());
    if (!visible()) SetViewX(x - HorizBorder());
  };
  switch (direction) {
    case 0:
      if (s < 0) return;
      SetSelectedImage(s - 1);
      break;
    case 1:
      SetSelectedImage(s + 1);
      break;
    case 2:
      if (s < 0) return;
      SetSelectedImage(GridWidth() != 0 ? std::max(s - columns, 0) : s - 1);
      break;
    case 3:
      SetSelectedImage(GridWidth() != 0 ? std::min(s + columns, count - 1) : s + 1);
      break;
    case 4:
      SetSelectedImage(0);
      break;
    case 5:
      SetSelectedImage(count - 1);
      break;
    case 6:
      SetSelectedImage(std::min(s + page, count - 1));
      break;
    case 7:
      if (s < 0) return;
      SetSelectedImage(std::max(s - page, 0));
      break;
    default:
      return;
  }
  if (selectedImage_ < 0 || visible()) return;
  int32_t x, y;
  cell(x, y);
  switch (direction) {
    case 0:
      SetViewXY(x - HorizBorder(), y - VertBorder());
      break;
    case 1:
      SetViewXY(x + ThumbWidth() + HorizBorder() - ClientWidth(), y + ThumbHeight() + VertBorder() - ClientHeight());
      break;
    case 2:
    case 7:
      towardsStart();
      break;
    case 4:
      SetViewXY(0, 0);
      break;
    default:
      towardsEnd();
      break;
  }
}

// ---------------------------------------------------------------- slide show

void TImgKitMView::StopSlideShow() {
  if (playing_ && !destroying_) SetPlaying(false);
  playing_ = false;
}

void TImgKitMView::SetPlaying(bool value) {
  if (value == playing_) return;
  if (value) {
    savedDisplayMode_ = DisplayMode();
    savedSelected_ = selectedImage_;
    DeselectAll();
  }
  playing_ = value;
  PlayStep();
  if (!value) {
    SetDisplayMode(savedDisplayMode_);
    SetSelectedImage(savedSelected_);
  }
}

void TImgKitMView::PlayStep() {
  if (inPlayStep_ || destroying_) return;
  FlagScope guard(inPlayStep_, true);
  if (playTimer_) {
    if (HandleAllocated()) win::KillTimer(Handle(), 1);
    playTimer_ = false;
  }
  if (!playing_) return;
  if (DisplayMode() != mdSingle) {
    displayMode_ = mdSingle;
    Update();
  }
  const int32_t count = GetImageCount();
  if (playIndex_ >= count) playIndex_ = count - 1;
  if (playIndex_ < 0) {
    playIndex_ = 0;
    return;
  }
  const int32_t shown = playIndex_;
  if (HandleAllocated()) {
    Invalidate();
    win::UpdateWindow(Handle());
    win::ValidateRect(Handle(), nullptr);
  }
  if (playIndex_ == count - 1) {
    playIndex_ = 0;
    NotifyObservers();
  } else {
    ++playIndex_;
  }
  if (HandleAllocated()) {
    win::SetTimer(Handle(), 1, static_cast<win::UINT>(std::max(GetImageDelayTime(shown), 10)), nullptr);
    playTimer_ = true;
  }
}

}  // namespace imaging
