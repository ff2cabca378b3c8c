// Where BeginPaint gets its device context.
#include "platform/win/WindowInternal.h"

namespace win::detail {

HDC AcquirePaintDc(HWND, const Region*) { return nullptr; }
void ReleasePaintDc(HWND, HDC) {}

}  // namespace win::detail

namespace win::detail {

bool EraseWithClassBrush(HWND, HDC hdc) { return hdc != nullptr && false; }
HBRUSH DefaultControlColor(HDC, UINT) { return nullptr; }

}  // namespace win::detail
