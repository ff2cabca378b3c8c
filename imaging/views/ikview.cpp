#include "imaging/views/ikview.h"

#include "platform/forms/ControlMessages.h"
#include "platform/rtl/Exceptions.h"
#include "platform/win/Styles.h"

namespace imaging {

using namespace forms;

namespace {
[[noreturn]] void AbstractCall() { throw EIKAbstractError("Abstract Error"); }
}  // namespace

TIKView::TIKView(TComponent* owner) : TCustomControl(owner) {
  // The view paints every pixel of its client area itself.
  TControlStyle style = ControlStyle();
  style.Include(csOpaque);
  style.Include(csAcceptsControls);
  style.Include(csReplicatable);
  style.Include(csNeedsBorderPaint);
  SetControlStyle(style);
  OnMouseEnter = nullptr;
  OnMouseLeave = nullptr;
  background_ = clBtnFace;
  borderStyle_ = bsSingle;
  ctl3D_ = true;
}

TIKView::~TIKView() {
  // Every observer hears once that the view goes away, oldest first; a
  // callback may not come back to remove itself, its record is gone then.
  while (!observers_.empty()) {
    std::unique_ptr<Observer> first = std::move(observers_.front());
    observers_.erase(observers_.begin());
    if (first->callback) first->callback(this, ikvcDestroying);
  }
  observersGone_ = true;
}

void TIKView::SetBackground(TColor color) { background_ = color; }

void TIKView::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Recreate();
}

void TIKView::SetCtl3D(bool value) {
  if (value == ctl3D_) return;
  ctl3D_ = value;
  Recreate();
}

void TIKView::Recreate() {
  ++recreateCount_;
  if (HandleAllocated()) RecreateWnd();
}

TIKBitmap* TIKView::GetAlphaChannel() { AbstractCall(); }
bool TIKView::HasAlphaChannel() { AbstractCall(); }
void TIKView::RemoveAlphaChannel(bool) { AbstractCall(); }
void TIKView::LockPaint() { AbstractCall(); }
int32_t TIKView::UnlockPaint() { AbstractCall(); }
int32_t TIKView::UnlockPaintNoUpdate() { AbstractCall(); }

void TIKView::SetDPIX(int32_t value) {
  if (value != 0) dpiX_ = value;
}

void TIKView::SetDPIY(int32_t value) {
  if (value != 0) dpiY_ = value;
}

void TIKView::SetDPI(int32_t x, int32_t y) {
  SetDPIX(x);
  SetDPIY(y);
}

void TIKView::NotifyObservers() {
  // A callback may register or remove observers; walk by index over the
  // list as it stands at each step.
  for (size_t i = 0; i < observers_.size(); ++i) {
    Observer* o = observers_[i].get();
    if (o && o->callback) {
      TObserverCallback call = o->callback;
      call(this, ikvcChanged);
    }
  }
}

intptr_t TIKView::RegisterObserverCallback(TObserverCallback callback) {
  auto record = std::make_unique<Observer>();
  record->callback = std::move(callback);
  record->id = nextObserverId_++;
  const intptr_t handle = record->id;
  observers_.push_back(std::move(record));
  return handle;
}

void TIKView::RemoveObserverHandle(intptr_t handle) {
  if (observersGone_ || handle < 0) return;
  for (auto it = observers_.begin(); it != observers_.end(); ++it) {
    if ((*it)->id == handle) {
      observers_.erase(it);
      return;
    }
  }
}

int32_t TIKView::RegisterObserver(std::function<void(int32_t change)> observer) {
  return static_cast<int32_t>(RegisterObserverCallback(
      [observer = std::move(observer)](TObject*, int32_t change) { observer(change); }));
}

void TIKView::RemoveObserver(int32_t handle) { RemoveObserverHandle(handle); }

bool TIKView::HasParentWindow() { return Parent() != nullptr || ParentWindow() != nullptr; }

void TIKView::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  if (borderStyle_ == bsSingle) {
    if (ctl3D_) {
      params.ExStyle |= win::WS_EX_CLIENTEDGE;
    } else {
      params.Style |= win::WS_BORDER;
    }
  }
  params.WindowClass.style &= ~(win::CS_HREDRAW | win::CS_VREDRAW);
}

void TIKView::WndProc(TMessage& message) {
  TCustomControl::WndProc(message);
  if (message.Msg == CM_MOUSEENTER) {
    if (OnMouseEnter) OnMouseEnter(this);
  } else if (message.Msg == CM_MOUSELEAVE) {
    if (OnMouseLeave) OnMouseLeave(this);
  }
}

}  // namespace imaging
