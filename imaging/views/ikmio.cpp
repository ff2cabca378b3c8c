#include "imaging/views/ikmio.h"

#include "imaging/core/ikdefs.h"
#include "imaging/core/ikutilsBitmap.h"
#include "imaging/core/iktwain.h"
#include "imaging/core/ikwia.h"
#include "imaging/views/ikmview.h"

namespace imaging {

using namespace forms;

TImgKitMIO::TImgKitMIO(TComponent* owner)
    : TComponent(owner),
      twainParams_(std::make_unique<TIKTWainParams>(nullptr, true)),
      previewFont_(std::make_unique<TFont>()) {}

TImgKitMIO::~TImgKitMIO() {
  Detach();
  while (!params_.empty()) params_.pop_back();
}

void TImgKitMIO::Detach() {
  if (!view_) return;
  view_->RemoveObserverHandle(observer_);
  view_->RemoveFreeNotification(this);
  observer_ = -1;
  view_ = nullptr;
}

void TImgKitMIO::SetAttachedMView(TIKView* view) {
  auto* mview = dynamic_cast<TImgKitMView*>(view);
  if (view && !mview) throw EIKError("TImgKitMIO needs a thumbnail view");
  Detach();
  view_ = mview;
  if (!view_) return;
  view_->FreeNotification(this);
  observer_ = view_->RegisterObserverCallback([this](TObject* sender, int32_t change) { ViewChanged(sender, change); });
  while (ParamsCount() < view_->GetImageCount()) InsertParams(ParamsCount());
}

void TImgKitMIO::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && view_ && component == static_cast<TComponent*>(view_)) Detach();
}

void TImgKitMIO::ViewChanged(TObject*, int32_t change) {
  if (change == ikvcDestroying) {
    // The view drops the record itself right after this call.
    observer_ = -1;
    view_ = nullptr;
    return;
  }
  if (change != ikvcChanged || !view_) return;
  const int32_t index = view_->GetChangeIndex();
  const int32_t index2 = view_->GetChangeIndex2();
  switch (view_->GetChangeKind()) {
    case ikmcInsert: InsertParams(index); break;
    case ikmcDelete: DeleteParams(index); break;
    case ikmcMove: MoveParams(index, index2); break;
    case ikmcSwap: SwapParams(index, index2); break;
    default: break;
  }
}

TIOParamsVals* TImgKitMIO::GetImageParams(int32_t index) const {
  if (index < 0 || index >= ParamsCount()) return nullptr;
  return params_[index].get();
}

void TImgKitMIO::InsertParams(int32_t index) {
  auto record = std::make_unique<TIOParamsVals>(nullptr);
  if (!params_.empty()) {
    const int32_t from = (index >= 0 && index < ParamsCount()) ? index : ParamsCount() - 1;
    record->AssignSaveOptions(*params_[from]);
  }
  if (index >= 0 && index < ParamsCount()) {
    params_.insert(params_.begin() + index, std::move(record));
  } else {
    params_.push_back(std::move(record));
  }
}

void TImgKitMIO::DeleteParams(int32_t index) {
  if (index < 0 || index >= ParamsCount()) return;
  params_.erase(params_.begin() + index);
}

void TImgKitMIO::MoveParams(int32_t index, int32_t newIndex) {
  if (index < 0 || index >= ParamsCount() || newIndex < 0 || newIndex == index) return;
  const int32_t count = ParamsCount();
  std::unique_ptr<TIOParamsVals> record = std::move(params_[index]);
  params_.erase(params_.begin() + index);
  if (newIndex < count) {
    params_.insert(params_.begin() + newIndex, std::move(record));
  } else {
    params_.push_back(std::move(record));
  }
}

void TImgKitMIO::SwapParams(int32_t i, int32_t j) {
  if (i < 0 || j < 0 || i >= ParamsCount() || j >= ParamsCount()) return;
  std::swap(params_[i], params_[j]);
}

void TImgKitMIO::DoAcquireBitmap(TIKBitmap* bitmap, TIOParamsVals*& params) {
  params = nullptr;
  bool handled = false;
  if (OnAcquireBitmap) OnAcquireBitmap(this, bitmap, handled);
  if (handled || !view_) return;
  AcquirePosition = std::clamp(AcquirePosition, 0, view_->GetImageCount());
  view_->InsertImageNoSelect(AcquirePosition);
  params = GetImageParams(AcquirePosition);
  // Square-pixel adjustment of acquired images waits for the resolution
  // adjustment of the input/output component; the image goes in as it came.
  view_->SetIKBitmap(AcquirePosition, bitmap);
  view_->SetImageDelayTime(AcquirePosition, 100);
  ++AcquirePosition;
  ++acquireCounter_;
}

void TImgKitMIO::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

TIKWia* TImgKitMIO::GetWia() {
  if (!wia_) wia_ = std::make_unique<TIKWia>(nullptr);
  return wia_.get();
}

void TImgKitMIO::SetPreviewFont(TFont* font) {
  if (font) previewFont_->Assign(font);
}

}  // namespace imaging
