#include "imaging/core/ikwia.h"

namespace imaging {

int32_t TWiaEventCallBack::ImageEventCallback(TIKWiaEventId eventId) {
  if (!owner_) return 0;
  uint8_t code = ikWiaEventNone;
  switch (eventId) {
    case TIKWiaEventId::ItemTreeUpdated: code = ikWiaItemsTreeUpdated; break;
    case TIKWiaEventId::ItemCreated: code = ikWiaItemCreated; break;
    case TIKWiaEventId::ItemDeleted: code = ikWiaItemDeleted; break;
    case TIKWiaEventId::Other: return 0;
  }
  owner_->lastEvent_ = code;
  if (owner_->OnItemsTreeUpdated) owner_->OnItemsTreeUpdated(owner_);
  return 0;
}

TIKWia::TIKWia(TImgKitIO* owner) : owner_(owner), sink_(std::make_unique<TWiaEventCallBack>(this)) {
  // There is no image-acquisition device manager to create on Linux, so
  // no event is registered with one; the three registrations stay empty.
}

TIKWia::~TIKWia() {
  for (auto& r : registrations_) {
    if (r) r->ForgetOwner();
    r.reset();
  }
  sink_->ForgetOwner();
  deviceManager_.reset();
  ClearDevices();
  rootItem_.reset();
}

int32_t TIKWia::RegisteredEvents() const {
  int32_t n = 0;
  for (const auto& r : registrations_)
    if (r) ++n;
  return n;
}

void TIKWia::ClearDevices() { devices_.clear(); }

}  // namespace imaging
