#include "platform/win/Caret.h"

#include <mutex>

#include "platform/win/Blit.h"
#include "platform/win/Dc.h"
#include "platform/win/Metrics.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace {

constexpr UINT_PTR kCaretTimer = 0xFFFF0002;

struct CaretState {
  std::recursive_mutex mutex;
  HWND owner{};
  int width = 0, height = 0;
  POINT pos{0, 0};
  int hidden = 1;
  bool drawn = false;
  UINT blink = 530;
};

CaretState& caret() {
  static CaretState c;
  return c;
}

// Inverts the caret's pixels (caller holds the caret lock).
void toggle(CaretState& c) {
  if (!c.owner || !IsWindow(c.owner)) return;
  if (HDC dc = GetDC(c.owner)) {
    PatBlt(dc, c.pos.x, c.pos.y, c.width, c.height, DSTINVERT);
    ReleaseDC(c.owner, dc);
  }
  c.drawn = !c.drawn;
}

void blinkProc(HWND, UINT, UINT_PTR, DWORD) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (c.hidden == 0) toggle(c);
}

void erase(CaretState& c) {
  if (c.drawn) toggle(c);
}

}  // namespace

namespace detail {

void HideCaretForPaint(HWND hwnd) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (c.owner == hwnd) {
    erase(c);
    ++c.hidden;
  }
}

void ShowCaretAfterPaint(HWND hwnd) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (c.owner == hwnd && c.hidden > 0 && --c.hidden == 0) toggle(c);
}

void CaretOwnerGone(HWND hwnd) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (c.owner == hwnd) c.owner = nullptr, c.drawn = false, c.hidden = 1;
}

}  // namespace detail

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
  if (!IsWindow(hwnd)) return FALSE;
  DestroyCaret();
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  c.owner = hwnd;
  c.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  c.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
  c.pos = {0, 0};
  c.hidden = 1;
  c.drawn = false;
  SetTimer(hwnd, kCaretTimer, c.blink, blinkProc);
  return TRUE;
}

BOOL DestroyCaret() {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (!c.owner) return FALSE;
  erase(c);
  KillTimer(c.owner, kCaretTimer);
  c.owner = nullptr;
  c.hidden = 1;
  return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (!c.owner || (hwnd && hwnd != c.owner) || c.hidden == 0) return FALSE;
  if (--c.hidden == 0) {
    toggle(c);
    SetTimer(c.owner, kCaretTimer, c.blink, blinkProc);  // a fresh blink period
  }
  return TRUE;
}

BOOL HideCaret(HWND hwnd) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (!c.owner || (hwnd && hwnd != c.owner)) return FALSE;
  erase(c);
  ++c.hidden;
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (!c.owner) return FALSE;
  const bool wasDrawn = c.drawn;
  erase(c);
  c.pos = {x, y};
  if (wasDrawn || c.hidden == 0) toggle(c);
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  if (!point || !c.owner) return FALSE;
  *point = c.pos;
  return TRUE;
}

UINT GetCaretBlinkTime() {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  return c.blink;
}

BOOL SetCaretBlinkTime(UINT ms) {
  auto& c = caret();
  std::lock_guard lock(c.mutex);
  c.blink = ms ? ms : 530;
  return TRUE;
}

}  // namespace win
