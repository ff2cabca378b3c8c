#include "platform/win/Monitors.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "platform/win/Window.h"

namespace win {
namespace {

std::mutex& monitorMutex() {
  static std::mutex m;
  return m;
}

std::vector<MonitorLayout>& monitors() {
  static std::vector<MonitorLayout> list{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}};
  return list;
}

// Monitors are few and fixed between layout changes, so a handle is simply
// the monitor's position in the list plus one.
HMONITOR handleOf(size_t index) { return ValueToHandle<HMONITOR>(index + 1); }

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

long long distanceSquared(const RECT& r, POINT p) {
  const long long dx = p.x < r.left ? r.left - p.x : (p.x >= r.right ? p.x - r.right + 1 : 0);
  const long long dy = p.y < r.top ? r.top - p.y : (p.y >= r.bottom ? p.y - r.bottom + 1 : 0);
  return dx * dx + dy * dy;
}

long long overlapArea(const RECT& a, const RECT& b) {
  const long long w = std::min(a.right, b.right) - std::max(a.left, b.left);
  const long long h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

}  // namespace

void SetMonitorLayout(const std::vector<MonitorLayout>& list) {
  std::lock_guard lock(monitorMutex());
  if (list.empty()) {
    monitors() = {{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}};
  } else {
    monitors() = list;
  }
}

void SetScreenSize(int width, int height) { SetMonitorLayout({{{0, 0, width, height}, {0, 0, width, height}}}); }

std::vector<MonitorLayout> GetMonitorLayout() {
  std::lock_guard lock(monitorMutex());
  return monitors();
}

HMONITOR MonitorFromPoint(POINT pt, DWORD flags) {
  const auto list = GetMonitorLayout();
  size_t nearest = 0;
  long long best = LLONG_MAX;
  for (size_t i = 0; i < list.size(); ++i) {
    if (contains(list[i].monitor, pt)) return handleOf(i);
    const long long d = distanceSquared(list[i].monitor, pt);
    if (d < best) best = d, nearest = i;
  }
  if (flags == MONITOR_DEFAULTTONULL) return nullptr;
  return handleOf(flags == MONITOR_DEFAULTTONEAREST ? nearest : 0);
}

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
  if (!rect) return nullptr;
  const auto list = GetMonitorLayout();
  long long bestArea = 0;
  size_t best = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    const long long a = overlapArea(list[i].monitor, *rect);
    if (a > bestArea) bestArea = a, best = i;
  }
  if (bestArea > 0) return handleOf(best);
  const POINT centre{(rect->left + rect->right) / 2, (rect->top + rect->bottom) / 2};
  return MonitorFromPoint(centre, flags);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT r;
  if (!GetWindowRect(hwnd, &r)) return flags == MONITOR_DEFAULTTONULL ? nullptr : handleOf(0);
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info) {
  if (!info) return FALSE;
  const auto list = GetMonitorLayout();
  const uintptr_t v = HandleToValue(monitor);
  if (v == 0 || v > list.size()) return FALSE;
  info->rcMonitor = list[v - 1].monitor;
  info->rcWork = list[v - 1].work;
  info->dwFlags = v == 1 ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

BOOL EnumDisplayMonitors(HDC, const RECT*, MONITORENUMPROC proc, LPARAM data) {
  if (!proc) return FALSE;
  const auto list = GetMonitorLayout();
  for (size_t i = 0; i < list.size(); ++i) {
    RECT r = list[i].monitor;
    if (!proc(handleOf(i), nullptr, &r, data)) break;
  }
  return TRUE;
}

}  // namespace win
