// Registration of the common-control window classes.
#include "platform/forms/ComCtrls.h"

#include <mutex>

#include "platform/win/Api.h"

namespace forms {

using namespace win;

LRESULT TrackBarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT TabControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

void Register(const char* name, WNDPROC proc) {
  WNDCLASSA existing;
  if (GetClassInfoA(nullptr, name, &existing)) return;
  WNDCLASSA wc;
  wc.style = CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace

void RegisterComCtrlClasses() {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  Register("msctls_trackbar32", &TrackBarProc);
  Register("msctls_updown32", &UpDownProc);
  Register("SysTabControl32", &TabControlProc);
}

}  // namespace forms
