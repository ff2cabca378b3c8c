#pragma once
// A window class whose procedure records every message, for the window
// system's tests.
#include <algorithm>
#include <mutex>
#include <utility>
#include <string>
#include <vector>

#include "platform/win/Api.h"

namespace wintest {

struct Logged {
  win::HWND hwnd;
  win::UINT msg;
  win::WPARAM wParam;
  win::LPARAM lParam;
  // WINDOWPOS.flags of WM_WINDOWPOSCHANGING/CHANGED, copied while valid.
  win::UINT posFlags = 0;
};

class MessageLog {
public:
  void Add(const Logged& m) {
    std::lock_guard lock(mutex_);
    log_.push_back(m);
  }
  std::vector<Logged> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(log_, {});
  }
  // The messages of one window, or of all when hwnd is null, minus noise.
  std::vector<win::UINT> Msgs(win::HWND hwnd = nullptr, std::vector<win::UINT> only = {}) {
    std::lock_guard lock(mutex_);
    std::vector<win::UINT> out;
    for (const auto& m : log_) {
      if (hwnd && m.hwnd != hwnd) continue;
      if (!only.empty() && std::find(only.begin(), only.end(), m.msg) == only.end()) continue;
      out.push_back(m.msg);
    }
    return out;
  }
  std::vector<Logged> Of(win::UINT msg) {
    std::lock_guard lock(mutex_);
    std::vector<Logged> out;
    for (const auto& m : log_)
      if (m.msg == msg) out.push_back(m);
    return out;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    log_.clear();
  }

private:
  std::mutex mutex_;
  std::vector<Logged> log_;
};

MessageLog& Log();

// The recording class ("VorixTestWindow"), registered once. Its procedure
// logs and then defers to DefWindowProcA.
const char* TestClass();
// The same with CS_DBLCLKS.
const char* DoubleClickClass();

win::HWND MakeTopLevel(int x, int y, int w, int h, win::DWORD style = win::WS_POPUP | win::WS_VISIBLE,
                       win::DWORD exStyle = 0);
win::HWND MakeChild(win::HWND parent, int x, int y, int w, int h,
                    win::DWORD style = win::WS_CHILD | win::WS_VISIBLE, int id = 0);

// Destroys every top-level window of the calling thread and resets input,
// so one test's windows never leak into the next.
void Cleanup();

// Fills a top-level window's whole surface (window coordinates) with a
// colour, as a painter would.
void FillWindow(win::HWND hwnd, uint32_t argb);

}  // namespace wintest
