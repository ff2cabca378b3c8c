#pragma once
// The display: the headless screen that composes the visible top-level
// windows in z-order (their regions, colour keys and alpha) into one
// picture, the layered-window calls, and the interface a real backend (X11)
// implements to show windows instead.
#include <functional>
#include <memory>
#include <string>

#include "platform/win/Blit.h"
#include "platform/win/Surface.h"
#include "platform/win/Types.h"

namespace win {

// Told about changes to top-level windows. Calls arrive on the thread that
// made the change, possibly with the window manager's lock held: a backend
// must not call back into the window system from them, only note the work.
class DisplayBackend {
public:
  virtual ~DisplayBackend() = default;
  // Shown, hidden, moved, resized, restacked, reshaped or re-layered.
  virtual void WindowChanged(HWND /*topLevel*/) {}
  // Pixels of a top-level surface changed (surface coordinates).
  virtual void SurfaceChanged(HWND /*topLevel*/, const RECT& /*rect*/) {}
  virtual void Beep(UINT /*type*/) {}
  // SetCursor chose another pointer shape.
  virtual void CursorChanged(HCURSOR /*cursor*/) {}
};
// Installs a backend (not owned); null returns to the headless display.
void SetDisplayBackend(DisplayBackend* backend);

// Lets the calling (GUI) thread's message retrieval also serve another event
// source: whenever `fd` turns readable the thread's message wait wakes, and
// `service` runs on that thread at the start of every message retrieval (so
// it must be cheap when there is nothing to do). Also call `RequestService`
// from any thread to have it run soon. fd < 0 removes the source.
void SetExternalWaitSource(int fd, std::function<void()> service);
void RequestService();

// Chooses the display at start: X11 when $DISPLAY names a server that
// answers, the headless display otherwise. True when X11 was chosen.
bool InitDisplay();
// Closes the X11 display, if open, and returns to the headless one.
void ShutdownDisplay();

// Composes the virtual screen as it stands: the desktop colour, then every
// visible top-level window from the bottom up. Pixels are opaque 0xFFRRGGBB.
std::shared_ptr<Surface> ComposeScreen();
// One composed pixel as a COLORREF.
COLORREF GetScreenPixel(int x, int y);
// A copy of a top-level window's pixels (window coordinates), or null.
std::shared_ptr<Surface> CaptureWindow(HWND hwnd);

// PNG pictures of the composed screen and of one top-level window.
bool SaveScreenPng(const std::string& path);
bool SaveWindowPng(HWND hwnd, const std::string& path);

// Layered windows (WS_EX_LAYERED).
BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF key, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND hwnd, COLORREF* key, BYTE* alpha, DWORD* flags);
// The window shows `source` (premultiplied 0xAARRGGBB pixels with
// ULW_ALPHA) from `sourceOrigin`, sized `size`, at `screenPos` when given,
// with a constant alpha and an optional colour key. Drawing through DCs on
// such a window no longer shows.
// The platform's form: the picture comes from a memory DC's bitmap
// (`hdcDst` is not used); with ULW_ALPHA and AC_SRC_ALPHA the bitmap's
// pixels are premultiplied BGRA. Without a source DC only the placement
// changes.
BOOL UpdateLayeredWindow(HWND hwnd, HDC hdcDst, const POINT* pptDst, const SIZE* psize, HDC hdcSrc,
                         const POINT* pptSrc, COLORREF crKey, const BLENDFUNCTION* pblend, DWORD flags);
BOOL UpdateLayeredWindowFromSurface(HWND hwnd, const POINT* screenPos, const SIZE* size, const Surface& source,
                                    POINT sourceOrigin, COLORREF key, BYTE constantAlpha, DWORD flags);

}  // namespace win
