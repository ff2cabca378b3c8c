#pragma once
// The caret: one blinking bar, owned by one window, drawn by inverting the
// pixels under it so that drawing it twice leaves nothing behind.
#include "platform/win/Types.h"

namespace win {

// Replaces any caret; the new one starts hidden. A zero width or height
// takes the border size.
BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height);
BOOL DestroyCaret();
// Show and hide nest: each HideCaret needs a ShowCaret. A null window means
// the caret's owner.
BOOL ShowCaret(HWND hwnd);
BOOL HideCaret(HWND hwnd);
// In the owner's client coordinates.
BOOL SetCaretPos(int x, int y);
BOOL GetCaretPos(POINT* point);
UINT GetCaretBlinkTime();
BOOL SetCaretBlinkTime(UINT ms);

}  // namespace win
