#include "WinTestUtil.h"

namespace wintest {

using namespace win;

MessageLog& Log() {
  static MessageLog log;
  return log;
}

static LRESULT recordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  UINT flags = 0;
  if ((msg == WM_WINDOWPOSCHANGING || msg == WM_WINDOWPOSCHANGED) && lParam)
    flags = reinterpret_cast<const WINDOWPOS*>(lParam)->flags;
  Log().Add({hwnd, msg, wParam, lParam, flags});
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char* TestClass() {
  static const bool registered = [] {
    WNDCLASSA wc;
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "VorixTestWindow";
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return "VorixTestWindow";
}

const char* DoubleClickClass() {
  static const bool registered = [] {
    WNDCLASSA wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "VorixTestDblClk";
    return RegisterClassA(&wc) != 0;
  }();
  (void)registered;
  return "VorixTestDblClk";
}

HWND MakeTopLevel(int x, int y, int w, int h, DWORD style, DWORD exStyle) {
  return CreateWindowExA(exStyle, TestClass(), "top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}

HWND MakeChild(HWND parent, int x, int y, int w, int h, DWORD style, int id) {
  return CreateWindowExA(0, TestClass(), "child", style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

void Cleanup() {
  std::vector<HWND> mine;
  EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM p) {
    reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&mine));
  for (HWND h : mine) DestroyWindow(h);
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  ResetInputState();
  SetMonitorLayout({});
  ClearBeeps();
  Log().Clear();
}

void FillWindow(HWND hwnd, uint32_t argb) {
  WindowDrawTarget t;
  if (!GetWindowDrawTarget(hwnd, false, &t)) return;
  for (const RECT& r : t.visible)
    for (LONG y = r.top; y < r.bottom; ++y)
      for (LONG x = r.left; x < r.right; ++x) t.surface->SetPixel(x, y, argb);
}

}  // namespace wintest
