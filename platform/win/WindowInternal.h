#pragma once
// The window manager's own structures, shared by the files of the window
// system and no one else.
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/HandleTable.h"
#include "platform/win/Messages.h"
#include "platform/win/Region.h"
#include "platform/win/Surface.h"
#include "platform/win/Window.h"

namespace win::detail {

struct ThreadQueue;

struct WndClass {
  std::u16string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  bool unicode = false;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE instance{};
  HICON icon{};
  HICON iconSmall{};
  HCURSOR cursor{};
  HBRUSH background{};
  std::u16string menuName;
};

struct Wnd {
  HWND handle{};
  std::shared_ptr<WndClass> cls;
  std::shared_ptr<ThreadQueue> queue;  // the creating thread's; null for the desktop
  DWORD style = 0;
  DWORD exStyle = 0;
  WNDPROC proc = nullptr;
  bool unicode = false;
  HINSTANCE instance{};
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  std::vector<uint8_t> extra;
  HWND parent{};  // the desktop for top-level windows
  HWND owner{};
  std::vector<HWND> children;  // topmost first
  // In the parent's client coordinates (screen coordinates for top-level
  // windows, whose parent is the desktop).
  RECT window;
  RECT client;
  RECT normal;  // restored placement of a minimised or maximised window
  std::u16string text;
  std::map<ATOM, HANDLE> props;

  // Painting state; the update region is in client coordinates.
  Region update;
  bool erase = false;
  bool frameDirty = false;
  bool internalPaint = false;
  bool redrawOff = false;

  std::optional<Region> shape;  // window coordinates

  // Layered windows: SetLayeredWindowAttributes, or a surface of
  // premultiplied pixels given by UpdateLayeredWindow.
  DWORD layeredFlags = 0;
  COLORREF colorKey = 0;
  BYTE alpha = 255;
  std::shared_ptr<Surface> layeredSurface;
  BYTE layeredAlpha = 255;
  DWORD ulwFlags = 0;
  COLORREF ulwKey = 0;

  std::shared_ptr<Surface> surface;  // top-level windows only

  // The window's own scroll bars: [0] horizontal, [1] vertical.
  struct ScrollBar {
    int min = 0, max = 100, pos = 0, track = 0;
    UINT page = 0;
    UINT disabled = 0;  // ESB_* arrows
  };
  ScrollBar scroll[2];

  bool destroying = false;
  bool destroyed = false;
};

// One lock guards the window tree and every Wnd's fields. It is never held
// while a window procedure runs.
std::recursive_mutex& TreeLock();
using TreeGuard = std::lock_guard<std::recursive_mutex>;

HandleTable<Wnd>& WindowTable();
std::shared_ptr<Wnd> FindWnd(HWND hwnd);
HWND DesktopHandle();
std::shared_ptr<Wnd> DesktopWnd();

// Geometry helpers (tree lock held by the caller).
POINT ClientOriginOnScreen(const Wnd& w);
POINT WindowOriginOnScreen(const Wnd& w);
RECT WindowRectOnScreen(const Wnd& w);
bool IsVisibleChain(const Wnd& w);
std::shared_ptr<Wnd> TopLevelOf(const std::shared_ptr<Wnd>& w);
bool IsTopLevel(const Wnd& w);
// Made with HWND_MESSAGE as parent.
bool IsMessageOnly(const Wnd& w);
std::shared_ptr<Wnd> MessageRootWnd();
bool IsDescendant(HWND ancestor, HWND hwnd);

// Messages.
struct SentMessage;
struct ThreadQueue {
  DWORD threadId = 0;
  std::mutex mutex;
  std::condition_variable cv;
  bool changed = false;  // something arrived since the last look
  bool alive = true;
  std::deque<std::shared_ptr<SentMessage>> incoming;
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quit = false;
  int quitCode = 0;
  // Touched only by the owning thread.
  MSG last;
  int dispatchDepth = 0;
  std::vector<std::shared_ptr<SentMessage>> receiving;
};

std::shared_ptr<ThreadQueue> CurrentQueue();
std::shared_ptr<ThreadQueue> QueueOfThread(DWORD threadId);
// Marks the queue changed and wakes its thread.
void Wake(ThreadQueue& q);
void PostInput(ThreadQueue& q, const MSG& msg);

// Calls the window's procedure, converting between the caller's encoding
// and the procedure's; the message must be for a window of this thread.
LRESULT CallWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicodeCaller);
LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode);
// Records a procedure's encoding for CallWindowProc.
void NoteProc(WNDPROC proc, bool unicode);

// Timers.
struct DueTimer {
  HWND hwnd;
  UINT_PTR id;
  TIMERPROC proc;
};
std::optional<DueTimer> TakeDueTimer(ThreadQueue& q, HWND filter, bool remove);
std::optional<uint64_t> NextTimerDueFor(const ThreadQueue& q);
void KillWindowTimers(HWND hwnd);
void KillThreadTimers(DWORD threadId);

// Painting.
// A window of this thread that needs WM_PAINT under the filter.
HWND FindPaintWindow(ThreadQueue& q, HWND filter);
// Sends WM_NCPAINT to windows of this thread whose frame alone is dirty.
void FlushFramePaints(ThreadQueue& q);
void InvalidateWhole(const std::shared_ptr<Wnd>& w, bool children);
// The rectangle of `w`'s surface that moved or was reshaped, for the
// display; called with the tree lock held.
void NoteSurfaceChange(const Wnd& topLevel, const RECT& rect);

// Focus, activation and capture lose a window that goes away.
void ForgetWindowInput(HWND hwnd);
// When `hwnd` is the active window, hands activation on (it is hiding).
void ActivateOtherWindow(HWND hwnd);
void SetActiveOnShow(HWND hwnd);

// Text.
std::u16string AnsiToWide(const char* text);
std::u16string AnsiToWide(const char* text, size_t length);
std::string WideToAnsi(const std::u16string& text);
// The longest prefix of at most `n` bytes that ends on a character boundary.
size_t AnsiCut(const std::string& text, size_t n);
bool IsAtomPointer(const void* name);
ATOM AddAtomW(const std::u16string& name);
ATOM FindAtomW(const std::u16string& name);
std::u16string AtomName(ATOM atom);

// The non-client area of the default procedure.
RECT DefaultClientRect(DWORD style, DWORD exStyle, const RECT& window);
LRESULT DefaultHitTest(HWND hwnd, POINT screen);
void PaintDefaultFrame(HWND hwnd, bool active);
void RunMoveSizeLoop(HWND hwnd, WPARAM command, LPARAM where);

// The display backend hears about surfaces and windows changing.
void DisplayWindowChanged(HWND topLevel);

}  // namespace win::detail

namespace win::detail {
// The deepest window under a screen point and its hit-test answer.
// Windows answering HTTRANSPARENT are passed through. With `hitTest`
// false no WM_NCHITTEST is sent and the answer is HTCLIENT or HTNOWHERE.
HWND WindowAtPoint(POINT screen, bool hitTest, LRESULT* hit);
// The frame widths the default non-client area gives a style.
RECT FrameInsets(DWORD style, DWORD exStyle);
}  // namespace win::detail

namespace win::detail {
// A DC on the client area clipped to `clip` (client coordinates) when
// given, for BeginPaint and the erase of RedrawWindow.
HDC AcquirePaintDc(HWND hwnd, const Region* clip);
void ReleasePaintDc(HWND hwnd, HDC hdc);
bool IsLockedForUpdate(const Wnd& w);
void QueryMinMax(HWND hwnd, MINMAXINFO* mmi);
}  // namespace win::detail

namespace win::detail {
bool TrackCaptionButton(HWND hwnd, LRESULT code);
DWORD CurrentThreadId();
}  // namespace win::detail

namespace win::detail {
// WM_ERASEBKGND's default: fills the client area with the class brush;
// false when the class has none.
bool EraseWithClassBrush(HWND hwnd, HDC hdc);
// WM_CTLCOLOR*'s default brush (and text colours set on `hdc`).
HBRUSH DefaultControlColor(HDC hdc, UINT msg);
}  // namespace win::detail

namespace win::detail {
// Keeps the key state GetKeyState reports in step with the input messages
// taken from the queue.
void NoteInputRetrieved(const MSG& m);
}  // namespace win::detail

namespace win::detail {
// Writes the window text into a caption band (window coordinates).
void DrawCaptionText(HWND hwnd, const RECT& band, bool active, bool small);
}  // namespace win::detail

namespace win::detail {
// Lets the WH_GETMESSAGE hooks see (and change) a message being handed out.
void RunGetMessageHooks(MSG* msg, bool removed);
}  // namespace win::detail

namespace win::detail {
// Where the parts of a window scroll bar lie (window coordinates).
struct ScrollLayout {
  RECT bar;  // empty when the bar is not shown
  RECT lineUp, lineDown, thumb;
  bool vertical;
};
ScrollLayout LayoutScrollBar(HWND hwnd, int bar);
void PaintScrollBars(HWND hwnd);
// WM_NCLBUTTONDOWN on HTHSCROLL/HTVSCROLL: sends the scroll messages.
void TrackScrollBar(HWND hwnd, int bar, POINT screen);
}  // namespace win::detail

namespace win::detail {
void BackendCursor(HCURSOR cursor);
}  // namespace win::detail

namespace win::detail {
// The US-layout key (and whether Shift is needed) that types `c`, or 0.
UINT KeyForChar(char16_t c, bool* shift);
}  // namespace win::detail

namespace win::detail {
// BeginPaint hides the caret of the window it paints and EndPaint shows it.
void HideCaretForPaint(HWND hwnd);
void ShowCaretAfterPaint(HWND hwnd);
void CaretOwnerGone(HWND hwnd);
}  // namespace win::detail
