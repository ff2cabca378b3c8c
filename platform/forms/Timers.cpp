#include "platform/forms/Timers.h"

#include <atomic>
#include <map>

#include "platform/forms/Forms.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace forms {

using namespace win;

namespace {

// Timers by id; a tick looks its timer up again, so a timer freed by its
// own OnTimer (or by another timer's) is simply gone.
thread_local std::map<uintptr_t, TTimer*> t_timers;
thread_local HWND t_window = nullptr;
std::atomic<uintptr_t> g_nextId{1};

LRESULT TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    TTimer::Tick(static_cast<uintptr_t>(wParam));
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND TimerWindow() {
  if (t_window && IsWindow(t_window)) return t_window;
  static const char* kClass = "TTimerWindow";
  WNDCLASSA wc;
  if (!GetClassInfoA(HInstance(), kClass, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = &TimerWndProc;
    wc.hInstance = HInstance();
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
  }
  t_window = CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, HInstance(), nullptr);
  return t_window;
}

}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner), id_(g_nextId++) {
  t_timers[id_] = this;
  UpdateTimer();
}

TTimer::~TTimer() {
  BeginDestruction();
  enabled_ = false;
  UpdateTimer();
  t_timers.erase(id_);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t ms) {
  if (interval_ == ms) return;
  interval_ = ms;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (running_ && window_ && IsWindow(window_)) KillTimer(window_, id_);
  running_ = false;
  if (!enabled_ || interval_ == 0) return;
  window_ = TimerWindow();
  running_ = SetTimer(window_, id_, interval_, nullptr) != 0;
}

void TTimer::Tick(uintptr_t id) {
  auto it = t_timers.find(id);
  if (it == t_timers.end()) return;
  TTimer* timer = it->second;
  try {
    timer->Timer();
  } catch (...) {
    Application->HandleException(timer);
  }
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

}  // namespace forms
