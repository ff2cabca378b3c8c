#pragma once
// Pieces the standard controls' window classes and wrappers share.
#include "platform/rtl/Types.h"
#include "platform/win/Types.h"

namespace forms {

inline void InflateRectBy(win::RECT& r, int dx, int dy) {
  r.left -= dx, r.top -= dy, r.right += dx, r.bottom += dy;
}
inline void OffsetRectBy(win::RECT& r, int dx, int dy) {
  r.left += dx, r.top += dy, r.right += dx, r.bottom += dy;
}
// Text in the button colours; disabled text is embossed (highlight below
// right, shadow on top).
void DrawStdText(win::HDC dc, const String& text, win::RECT r, win::UINT flags, bool enabled);
class TFont;
// The height of a line of text in `font`.
int FontTextHeight(TFont* font);
void RegisterListClasses();
// A combo box's list and edit windows (null when it has none).
win::HWND ComboListWindow(win::HWND combo);
win::HWND ComboEditWindow(win::HWND combo);
win::LRESULT EditProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
// A control class's WM_PAINT: into the DC the message brings (a parent
// printing the control) or else through BeginPaint.
win::LRESULT PaintControlWindow(win::HWND hwnd, win::WPARAM wParam, void (*paint)(win::HWND, win::HDC));
// A control class's WM_ERASEBKGND: the client area in the button face.
win::LRESULT EraseWithButtonFace(win::HWND hwnd, win::WPARAM wParam);

}  // namespace forms
