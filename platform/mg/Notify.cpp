// The graph's notification message, posted to the application's window.
#include "platform/win/Types.h"

namespace mg {

void PostWindowMessage(win::HWND hwnd, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  (void)hwnd;
  (void)msg;
  (void)wParam;
  (void)lParam;
}

}  // namespace mg
