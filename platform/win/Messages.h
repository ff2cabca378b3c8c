#pragma once
// Messages: one queue per thread, posting and sending (across threads a
// send blocks the sender until the receiving thread has handled it, and a
// thread waiting for its own send still handles the messages sent to it),
// retrieval and dispatch, window procedures and timers.
//
// The unadorned names are the ANSI variants, as the program's String is
// ANSI text; the W variants take UTF-16.
#include <cstdint>

#include "platform/win/MessageIds.h"
#include "platform/win/Types.h"

namespace win {

struct MSG {
  HWND hwnd{};
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

using DWORD_PTR = uintptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr UINT PM_NOREMOVE = 0x0000, PM_REMOVE = 0x0001, PM_NOYIELD = 0x0002;
inline constexpr UINT SMTO_NORMAL = 0x0000, SMTO_BLOCK = 0x0001, SMTO_ABORTIFHUNG = 0x0002,
                      SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;
inline constexpr DWORD ISMEX_NOSEND = 0, ISMEX_SEND = 1;

// The kernel's thread id (gettid), as PostThreadMessage takes it.
DWORD GetCurrentThreadId();
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(hwnd, msg, wParam, lParam);
}
// Gives up after `timeoutMs` of real time when the receiving thread is
// another one; `result` may be null. Answers 0 on timeout or failure.
LRESULT SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            DWORD_PTR* result);
LRESULT SendMessageTimeoutW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                            DWORD_PTR* result);
inline LRESULT SendMessageTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeoutMs,
                                  DWORD_PTR* result) {
  return SendMessageTimeoutA(hwnd, msg, wParam, lParam, flags, timeoutMs, result);
}
// Sends without waiting when the receiver is another thread.
BOOL SendNotifyMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL SendNotifyMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A null window posts to the calling thread's queue.
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostMessageA(hwnd, msg, wParam, lParam);
}
BOOL PostThreadMessageA(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
inline BOOL PostThreadMessage(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostThreadMessageA(threadId, msg, wParam, lParam);
}
void PostQuitMessage(int exitCode);

// Filters: a null window takes every message of the thread, (HWND)-1 only
// thread messages; minFilter = maxFilter = 0 takes every number.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter, UINT removeFlags);
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter, UINT removeFlags);
inline BOOL PeekMessage(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter, UINT removeFlags) {
  return PeekMessageA(msg, hwnd, minFilter, maxFilter, removeFlags);
}
// FALSE for WM_QUIT, -1 for an invalid window filter.
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter);
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter);
inline BOOL GetMessage(MSG* msg, HWND hwnd, UINT minFilter, UINT maxFilter) {
  return GetMessageA(msg, hwnd, minFilter, maxFilter);
}
// Blocks until the queue has something new.
BOOL WaitMessage();
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
inline LRESULT DispatchMessage(const MSG* msg) { return DispatchMessageA(msg); }
DWORD GetMessageTime();
DWORD GetMessagePos();
BOOL InSendMessage();
DWORD InSendMessageEx(void* reserved);
// Answers a cross-thread send early so the sender may go on.
BOOL ReplyMessage(LRESULT result);

// Numbers 0xC000-0xFFFF, equal for equal names (case-insensitive).
UINT RegisterWindowMessageA(const char* name);
UINT RegisterWindowMessageW(const WCHAR* name);
inline UINT RegisterWindowMessage(const char* name) { return RegisterWindowMessageA(name); }

// Calls `proc` with the parameters in the caller's encoding, converting the
// text messages when the procedure is of the other kind.
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(proc, hwnd, msg, wParam, lParam);
}
LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Timers tick on the process clock (rtl::CurrentClock). WM_TIMER is made
// when the queue is otherwise empty and never stands twice in the queue.
// With a virtual clock, advancing it on the thread that owns a timer runs
// that thread's due messages and timers at each due tick, in order.
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// Hooks. Only WH_GETMESSAGE is carried: its procedure sees each message
// GetMessage or PeekMessage hands out (wParam PM_REMOVE or PM_NOREMOVE,
// lParam the MSG, which it may change, for example to WM_NULL).
struct HHOOK__;
using HHOOK = HHOOK__*;
using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);
inline constexpr int WH_GETMESSAGE = 3;
inline constexpr int HC_ACTION = 0;
// threadId 0 hooks every thread. The newest hook runs first.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
inline HHOOK SetWindowsHookEx(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
  return SetWindowsHookExA(idHook, proc, module, threadId);
}
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// Runs every message waiting for the calling thread, the way a loop of
// PeekMessage(PM_REMOVE), TranslateMessage and DispatchMessage would, and
// returns how many it dispatched. A WM_QUIT found is put back.
int PumpMessages();

}  // namespace win
