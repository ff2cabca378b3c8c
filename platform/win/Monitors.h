#pragma once
// The monitors of the display. The headless display starts with one
// 1280x1024 monitor; tests and the X11 backend set others. Work areas leave
// room for nothing unless told, as in a session without a task bar.
#include <vector>

#include "platform/win/Types.h"

namespace win {

inline constexpr DWORD MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2;
inline constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags = 0;
};

struct MonitorLayout {
  RECT monitor;
  RECT work;
};

// Replaces the monitors; the first is the primary one and should sit at
// (0, 0). An empty list restores the default single monitor.
void SetMonitorLayout(const std::vector<MonitorLayout>& monitors);
// One monitor of the given size at (0, 0), with the whole screen as work area.
void SetScreenSize(int width, int height);
std::vector<MonitorLayout> GetMonitorLayout();

HMONITOR MonitorFromPoint(POINT pt, DWORD flags);
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
BOOL GetMonitorInfo(HMONITOR monitor, MONITORINFO* info);
using MONITORENUMPROC = BOOL (*)(HMONITOR, HDC, RECT*, LPARAM);
// Only the whole-desktop form (no DC, no clip) is offered.
BOOL EnumDisplayMonitors(HDC hdc, const RECT* clip, MONITORENUMPROC proc, LPARAM data);

}  // namespace win
