#pragma once
// TTimer: OnTimer every Interval milliseconds while Enabled, on the thread
// that made the timer, through the window system's timers (so a virtual
// clock drives it in tests).
#include <cstdint>

#include "platform/forms/Components.h"
#include "platform/win/Types.h"

namespace forms {

class TTimer : public TComponent {
public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  // Enabling an enabled timer changes nothing (the count goes on).
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return interval_; }
  // A new interval starts the count again; 0 stops the ticks.
  void SetInterval(uint32_t ms);

  TNotifyEvent OnTimer;

  // Runs the OnTimer of the timer with that id, if it still exists (the
  // timers' window calls it).
  static void Tick(uintptr_t id);

protected:
  virtual void Timer();

private:
  void UpdateTimer();

  bool enabled_ = true;
  uint32_t interval_ = 1000;
  uintptr_t id_ = 0;
  bool running_ = false;
  win::HWND window_ = nullptr;
};

}  // namespace forms
