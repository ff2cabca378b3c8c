#include "platform/mg/ReferenceClock.h"

#include <cmath>

#include "platform/rtl/Clock.h"

namespace mg {

HRESULT SystemReferenceClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = static_cast<REFERENCE_TIME>(rtl::GetTickCount64()) * MILLISECONDS;
  return S_OK;
}

HRESULT ManualClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = now_.load();
  return S_OK;
}

RateClock::RateClock(std::shared_ptr<ReferenceClock> base, double speed)
    : base_(std::move(base)), speed_(speed), origin_(base_ ? base_->Now() : 0) {}

HRESULT RateClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  if (!base_) return E_UNEXPECTED;
  const double elapsed = static_cast<double>(base_->Now() - origin_);
  *time = origin_ + static_cast<REFERENCE_TIME>(std::llround(elapsed * speed_.load()));
  return S_OK;
}

void RateClock::SetSpeed(double speed) { speed_.store(speed); }

}  // namespace mg
