// The camera-control answers of a capture filter.
#pragma once

#include <memory>

#include "platform/mg/Interfaces.h"
#include "platform/mg/Object.h"

namespace mg {

// IAMCameraControl shares its method names with IAMVideoProcAmp, so a
// capture filter answers for it through this companion object, which
// forwards to the filter's GetCameraRange/SetCamera/GetCamera while the
// filter lives.
template <class Owner>
class CameraControlFacet : public Object, public IAMCameraControl {
public:
  explicit CameraControlFacet(std::weak_ptr<Owner> owner) : owner_(std::move(owner)) {}
  HRESULT GetRange(LONG p, LONG* pMin, LONG* pMax, LONG* pStep, LONG* pDefault, LONG* pCaps) override {
    auto o = owner_.lock();
    return o ? o->GetCameraRange(p, pMin, pMax, pStep, pDefault, pCaps) : E_UNEXPECTED;
  }
  HRESULT Set(LONG p, LONG value, LONG flags) override {
    auto o = owner_.lock();
    return o ? o->SetCamera(p, value, flags) : E_UNEXPECTED;
  }
  HRESULT Get(LONG p, LONG* value, LONG* flags) override {
    auto o = owner_.lock();
    return o ? o->GetCamera(p, value, flags) : E_UNEXPECTED;
  }

private:
  std::weak_ptr<Owner> owner_;
};

}  // namespace mg
