#pragma once
// Reference clocks in 100-ns units. The system clock follows the process
// clock of platform/rtl (so a test's virtual clock drives it too); the
// manual clock moves only when told, for frame-by-frame tests.
#include <atomic>

#include "platform/mg/Object.h"

namespace mg {

class IReferenceClock {
public:
  virtual ~IReferenceClock() = default;
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
  REFERENCE_TIME Now() {
    REFERENCE_TIME t = 0;
    GetTime(&t);
    return t;
  }
};

class ReferenceClock : public Object, public IReferenceClock {};

class SystemReferenceClock : public ReferenceClock {
public:
  HRESULT GetTime(REFERENCE_TIME* time) override;
};

class ManualClock : public ReferenceClock {
public:
  HRESULT GetTime(REFERENCE_TIME* time) override;
  void Set(REFERENCE_TIME t) { now_.store(t); }
  void Advance(REFERENCE_TIME d) { now_.fetch_add(d); }
  REFERENCE_TIME Current() const { return now_.load(); }

private:
  std::atomic<REFERENCE_TIME> now_{0};
};

// A clock running at `speed` times another (a custom clock for slowed or
// sped-up capture); GetTime scales the time elapsed since it was made.
class RateClock : public ReferenceClock {
public:
  RateClock(std::shared_ptr<ReferenceClock> base, double speed);
  HRESULT GetTime(REFERENCE_TIME* time) override;
  void SetSpeed(double speed);

private:
  std::shared_ptr<ReferenceClock> base_;
  std::atomic<double> speed_;
  REFERENCE_TIME origin_;
};

}  // namespace mg
