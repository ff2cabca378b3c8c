#pragma once
// The X11 display: top-level windows shown as X windows, X input turned into
// the platform's messages. No X types appear here; Xlib stays in the .cpp.
#include "platform/win/Types.h"

namespace win {

// Opens the named X display (null for $DISPLAY) and shows windows there from
// now on. False when the server does not answer; the headless display stays.
bool InitX11Display(const char* name);
bool X11DisplayActive();
// The X window (an XID) that shows a top-level window, 0 when none.
unsigned long X11WindowOf(HWND hwnd);
// A round trip to the server, then every event it sent is turned into
// messages and every pending change is pushed: after it, input that other
// clients sent before the call is in the message queue.
void X11Sync();

}  // namespace win
