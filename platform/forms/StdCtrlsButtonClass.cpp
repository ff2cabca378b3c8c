// The "BUTTON" window class: push buttons, check boxes, radio buttons and
// group boxes. Every state change goes through the window's own procedure
// as a message (BM_SETSTATE while pressed, BM_SETCHECK for the auto
// styles), so a subclass sees and may filter each one; a click is told to
// the parent only when the button is still pushed on release.
#include <algorithm>
#include <mutex>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kButtonProp = "VorixButtonState";

struct ButtonState {
  LRESULT check = BST_UNCHECKED;
  bool pushed = false;
  bool tracking = false;  // the left button went down on us
  bool spaceDown = false;
  HFONT font = nullptr;
};

ButtonState* StateOf(HWND hwnd) { return static_cast<ButtonState*>(GetPropA(hwnd, kButtonProp)); }

UINT TypeOf(HWND hwnd) { return static_cast<UINT>(GetWindowLongA(hwnd, GWL_STYLE)) & BS_TYPEMASK; }

bool IsCheckType(UINT t) { return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE; }
bool IsRadioType(UINT t) { return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON; }
bool IsPushType(UINT t) { return t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON; }

void Notify(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  const int id = GetDlgCtrlID(hwnd);
  SendMessageA(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), reinterpret_cast<LPARAM>(hwnd));
}

// What a release with the button pushed does: the auto styles change their
// own check first, then the parent hears of the click.
void Clicked(HWND hwnd) {
  const UINT type = TypeOf(hwnd);
  ButtonState* st = StateOf(hwnd);
  if (type == BS_AUTOCHECKBOX) {
    SendMessageA(hwnd, BM_SETCHECK, st->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
  } else if (type == BS_AUTO3STATE) {
    SendMessageA(hwnd, BM_SETCHECK, (st->check + 1) % 3, 0);
  } else if (type == BS_AUTORADIOBUTTON) {
    SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
    HWND parent = GetParent(hwnd);
    for (HWND h = parent ? GetWindow(parent, GW_CHILD) : nullptr; h; h = GetWindow(h, GW_HWNDNEXT)) {
      if (h == hwnd || !StateOf(h) || TypeOf(h) != BS_AUTORADIOBUTTON) continue;
      SendMessageA(h, BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  Notify(hwnd, BN_CLICKED);
}

void Release(HWND hwnd, bool click) {
  ButtonState* st = StateOf(hwnd);
  const bool pushed = st->pushed;
  st->tracking = false;
  st->spaceDown = false;
  if (pushed) SendMessageA(hwnd, BM_SETSTATE, FALSE, 0);
  // The window may be gone after the state change.
  if (click && pushed && IsWindow(hwnd)) Clicked(hwnd);
}

void Paint(HWND hwnd, HDC dc) {
  ButtonState* st = StateOf(hwnd);
  RECT r;
  GetClientRect(hwnd, &r);
  const DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
  const UINT type = style & BS_TYPEMASK;
  const bool enabled = IsWindowEnabled(hwnd);
  const bool focused = GetFocus() == hwnd;
  HGDIOBJ oldFont = SelectObject(dc, st->font ? static_cast<HGDIOBJ>(st->font) : GetStockObject(DEFAULT_GUI_FONT));
  char buf[512];
  const int len = GetWindowTextA(hwnd, buf, sizeof buf);
  const String text(buf, static_cast<size_t>(std::max(0, len)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));

  if (type == BS_GROUPBOX) {
    SIZE ext{};
    GetTextExtentPoint32A(dc, "0", 1, &ext);
    RECT frame{r.left, r.top + ext.cy / 2, r.right, r.bottom};
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!text.empty()) {
      RECT tr{8, 0, r.right - 8, ext.cy};
      DrawTextA(dc, text.c_str(), -1, &tr, DT_SINGLELINE | DT_CALCRECT);
      RECT back{tr.left - 1, tr.top, tr.right + 1, tr.bottom};
      FillRect(dc, &back, GetSysColorBrush(COLOR_BTNFACE));
      DrawStdText(dc, text, tr, DT_SINGLELINE | DT_LEFT, enabled);
    }
  } else if (IsPushType(type) || type == BS_OWNERDRAW) {
    RECT face = r;
    const bool isDefault = type == BS_DEFPUSHBUTTON;
    if (isDefault) {
      FrameRect(dc, &face, GetSysColorBrush(COLOR_WINDOWFRAME));
      InflateRectBy(face, -1, -1);
    }
    if (st->pushed && isDefault) {
      FrameRect(dc, &face, GetSysColorBrush(COLOR_BTNSHADOW));
      InflateRectBy(face, -1, -1);
      FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
    } else {
      DrawFrameControl(dc, &face, DFC_BUTTON,
                       DFCS_BUTTONPUSH | (st->pushed ? DFCS_PUSHED : 0) | (enabled ? 0 : DFCS_INACTIVE));
    }
    RECT tr = r;
    if (st->pushed) OffsetRectBy(tr, 1, 1);
    DrawStdText(dc, text, tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER, enabled);
    if (focused) {
      RECT fr = r;
      InflateRectBy(fr, -4, -4);
      DrawFocusRect(dc, &fr);
    }
  } else if (IsCheckType(type) || IsRadioType(type)) {
    const int box = 13;
    const bool leftText = (style & BS_LEFTTEXT) != 0;
    RECT br{leftText ? r.right - box : r.left, r.top + (r.bottom - r.top - box) / 2, 0, 0};
    br.right = br.left + box;
    br.bottom = br.top + box;
    UINT state = IsRadioType(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (st->check == BST_INDETERMINATE) state = DFCS_BUTTON3STATE | DFCS_CHECKED;
    else if (st->check == BST_CHECKED) state |= DFCS_CHECKED;
    if (st->pushed) state |= DFCS_PUSHED;
    if (!enabled) state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &br, DFC_BUTTON, state);
    RECT tr{leftText ? r.left : r.left + box + 4, r.top, leftText ? r.right - box - 4 : r.right, r.bottom};
    RECT calc = tr;
    DrawTextA(dc, text.c_str(), -1, &calc, DT_SINGLELINE | DT_CALCRECT);
    const int h = calc.bottom - calc.top;
    calc.top = r.top + (r.bottom - r.top - h) / 2;
    calc.bottom = calc.top + h;
    if (leftText) OffsetRectBy(calc, tr.right - calc.right, 0);
    DrawStdText(dc, text, calc, DT_SINGLELINE | DT_LEFT, enabled);
    if (focused && !text.empty()) {
      RECT fr{calc.left - 1, calc.top, std::min(calc.right + 1, r.right), calc.bottom};
      DrawFocusRect(dc, &fr);
    }
  }
  SelectObject(dc, oldFont);
}

LRESULT ButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ButtonState* st = StateOf(hwnd);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      if (!st) SetPropA(hwnd, kButtonProp, new ButtonState);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      RemovePropA(hwnd, kButtonProp);
      delete st;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_GETDLGCODE: {
      const UINT type = TypeOf(hwnd);
      if (type == BS_GROUPBOX) return DLGC_STATIC;
      if (IsRadioType(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      return DLGC_BUTTON;
    }
    case WM_SETFONT:
      st->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(st->font);
    case WM_SETTEXT:
    case WM_ENABLE: {
      const LRESULT res = DefWindowProcA(hwnd, msg, wParam, lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return res;
    }
    case WM_NCHITTEST:
      if (TypeOf(hwnd) == BS_GROUPBOX) return HTTRANSPARENT;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (TypeOf(hwnd) == BS_GROUPBOX) return 0;
      if (msg == WM_LBUTTONDBLCLK && (IsRadioType(TypeOf(hwnd)) || TypeOf(hwnd) == BS_OWNERDRAW)) {
        Notify(hwnd, BN_DOUBLECLICKED);
        return 0;
      }
      SetCapture(hwnd);
      if (GetFocus() != hwnd) SetFocus(hwnd);
      st = StateOf(hwnd);
      if (!st) return 0;
      st->tracking = true;
      SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
      return 0;
    case WM_MOUSEMOVE:
      if (st->tracking && GetCapture() == hwnd) {
        RECT r;
        GetClientRect(hwnd, &r);
        const POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const bool inside = p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
        if (inside != st->pushed) SendMessageA(hwnd, BM_SETSTATE, inside ? TRUE : FALSE, 0);
      }
      return 0;
    case WM_LBUTTONUP:
      if (st->tracking) {
        if (GetCapture() == hwnd) {
          st->tracking = false;
          ReleaseCapture();
        }
        Release(hwnd, true);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (st->tracking) Release(hwnd, false);
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && TypeOf(hwnd) != BS_GROUPBOX) {
        if (!st->spaceDown) {
          st->spaceDown = true;
          SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
        }
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_KEYUP:
      if (wParam == VK_SPACE && st->spaceDown) {
        Release(hwnd, true);
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_SETFOCUS: {
      InvalidateRect(hwnd, nullptr, TRUE);
      // Arriving by the keyboard on an unchecked radio button checks it,
      // as the arrows in a group of them do.
      if (IsRadioType(TypeOf(hwnd)) && st->check != BST_CHECKED && GetKeyState(VK_LBUTTON) >= 0)
        Notify(hwnd, BN_CLICKED);
      return 0;
    }
    case WM_KILLFOCUS:
      if (st->tracking && GetCapture() == hwnd) ReleaseCapture();
      if (st->pushed || st->spaceDown) Release(hwnd, false);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case BM_GETCHECK:
      return static_cast<LRESULT>(st->check);
    case BM_SETCHECK: {
      const UINT type = TypeOf(hwnd);
      LRESULT v = static_cast<LRESULT>(wParam);
      if (v == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) v = BST_CHECKED;
      if (v > BST_INDETERMINATE) v = BST_CHECKED;
      if (v != st->check && (IsCheckType(type) || IsRadioType(type))) {
        st->check = v;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case BM_GETSTATE:
      return static_cast<LRESULT>(st->check | (st->pushed ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0));
    case BM_SETSTATE:
      if ((wParam != 0) != st->pushed) {
        st->pushed = wParam != 0;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case BM_SETSTYLE: {
      const DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
      SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG_PTR>((style & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK)));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      if (!IsWindowEnabled(hwnd)) return 0;
      SendMessageA(hwnd, BM_SETSTATE, TRUE, 0);
      if (IsWindow(hwnd)) Release(hwnd, true);
      return 0;
    case WM_ERASEBKGND:
      return EraseWithButtonFace(hwnd, wParam);
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

LRESULT PaintControlWindow(HWND hwnd, WPARAM wParam, void (*paint)(HWND, HDC)) {
  if (wParam) {
    paint(hwnd, reinterpret_cast<HDC>(wParam));
    return 0;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  paint(hwnd, dc);
  EndPaint(hwnd, &ps);
  return 0;
}

LRESULT EraseWithButtonFace(HWND hwnd, WPARAM wParam) {
  RECT r;
  GetClientRect(hwnd, &r);
  FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
  return 1;
}

void DrawStdText(HDC dc, const String& text, RECT r, UINT flags, bool enabled) {
  if (enabled) {
    DrawTextA(dc, text.c_str(), -1, &r, flags);
    return;
  }
  const COLORREF old = SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
  RECT shadow = r;
  OffsetRectBy(shadow, 1, 1);
  DrawTextA(dc, text.c_str(), -1, &shadow, flags);
  SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  DrawTextA(dc, text.c_str(), -1, &r, flags);
  SetTextColor(dc, old);
}

void RegisterStdControlClasses() {
  // Checked each time rather than once: a class unregistered by someone
  // comes back on the next control made.
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  WNDCLASSA existing;
  if (!GetClassInfoA(nullptr, "BUTTON", &existing)) {
    WNDCLASSA wc;
    wc.style = CS_DBLCLKS | CS_PARENTDC | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &ButtonProc;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "BUTTON";
    RegisterClassA(&wc);
  }
  if (!GetClassInfoA(nullptr, "EDIT", &existing)) {
    WNDCLASSA ec;
    ec.style = CS_DBLCLKS | CS_PARENTDC;
    ec.lpfnWndProc = &EditProc;
    ec.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_IBEAM));
    ec.lpszClassName = "EDIT";
    RegisterClassA(&ec);
  }
  if (!GetClassInfoA(nullptr, "LISTBOX", &existing) || !GetClassInfoA(nullptr, "COMBOBOX", &existing) ||
      !GetClassInfoA(nullptr, "ComboLBox", &existing))
    RegisterListClasses();
}

}  // namespace forms
