// The graph's notification message, posted to the application's window.
#include "platform/win/Messages.h"

namespace mg {

void PostWindowMessage(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  win::PostMessage(hwnd, msg, wParam, lParam);
}

}  // namespace mg
