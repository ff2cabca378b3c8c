// The default window procedure: what a window does with the messages its
// own procedure passes on.
#include <algorithm>
#include <cstring>

#include "platform/win/Input.h"
#include "platform/win/Paint.h"
#include "platform/win/Sound.h"
#include "platform/win/WindowInternal.h"

namespace win {
namespace detail {
namespace {

constexpr WPARAM PRF_CHECKVISIBLE = 0x1, PRF_CLIENT = 0x4, PRF_ERASEBKGND = 0x8, PRF_CHILDREN = 0x10;

DWORD styleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }
DWORD exStyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)); }

HWND parentOfChild(HWND hwnd) { return (styleOf(hwnd) & WS_CHILD) ? GetParent(hwnd) : nullptr; }

void setText(HWND hwnd, std::u16string text) {
  bool caption = false;
  bool topLevel = false;
  {
    TreeGuard lock(TreeLock());
    auto w = FindWnd(hwnd);
    if (!w) return;
    w->text = std::move(text);
    topLevel = IsTopLevel(*w);
    caption = (w->style & WS_CAPTION) == WS_CAPTION;
    if (caption && IsVisibleChain(*w)) {
      w->frameDirty = true;
      if (w->queue) Wake(*w->queue);
    }
  }
  // A top-level window's text is its name on the desktop too.
  if (topLevel) DisplayWindowChanged(hwnd);
}

LRESULT getText(HWND hwnd, WPARAM size, LPARAM buffer, bool unicode) {
  const std::u16string text = InternalGetWindowText(hwnd);
  if (!buffer || size == 0) return 0;
  if (unicode) {
    auto* out = reinterpret_cast<WCHAR*>(buffer);
    const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
    std::copy_n(text.data(), n, out);
    out[n] = 0;
    return static_cast<LRESULT>(n);
  }
  const std::string a = WideToAnsi(text);
  auto* out = reinterpret_cast<char*>(buffer);
  const size_t n = AnsiCut(a, std::min(a.size(), static_cast<size_t>(size) - 1));
  std::memcpy(out, a.data(), n);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

HCURSOR cursorForHit(LRESULT hit) {
  switch (hit) {
    case HTLEFT: case HTRIGHT: return LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_SIZEWE));
    case HTTOP: case HTBOTTOM: return LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_SIZENS));
    case HTTOPLEFT: case HTBOTTOMRIGHT: return LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_SIZENWSE));
    case HTTOPRIGHT: case HTBOTTOMLEFT: return LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_SIZENESW));
    default: return LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  }
}

LRESULT defProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool unicode) {
  switch (msg) {
    case WM_NCCREATE: {
      if (lParam) {
        if (unicode) {
          const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
          if (cs->lpszName) setText(hwnd, cs->lpszName);
        } else {
          const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
          if (cs->lpszName) setText(hwnd, AnsiToWide(cs->lpszName));
        }
      }
      return TRUE;
    }
    case WM_NCCALCSIZE: {
      if (!lParam) return 0;
      RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
      *r = DefaultClientRect(styleOf(hwnd), exStyleOf(hwnd), *r);
      return 0;
    }
    case WM_NCHITTEST:
      return DefaultHitTest(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case WM_NCPAINT: {
      const HWND top = GetAncestor(hwnd, GA_ROOT);
      PaintDefaultFrame(hwnd, (styleOf(hwnd) & WS_CHILD) ? true : GetActiveWindow() == top);
      return 0;
    }
    case WM_NCACTIVATE:
      if (IsWindowVisible(hwnd)) PaintDefaultFrame(hwnd, wParam != 0);
      return TRUE;
    case WM_NCLBUTTONDOWN: {
      const LRESULT hit = static_cast<LRESULT>(wParam);
      if (hit == HTCAPTION) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, lParam);
      } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
        SendMessageA(hwnd, WM_SYSCOMMAND, SC_SIZE | static_cast<WPARAM>(hit - HTLEFT + 1), lParam);
      } else if (hit == HTVSCROLL || hit == HTHSCROLL) {
        TrackScrollBar(hwnd, hit == HTVSCROLL ? SB_VERT : SB_HORZ, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      } else if (hit == HTCLOSE || hit == HTMINBUTTON || hit == HTMAXBUTTON) {
        if (TrackCaptionButton(hwnd, hit)) {
          WPARAM cmd = SC_CLOSE;
          if (hit == HTMINBUTTON) cmd = SC_MINIMIZE;
          if (hit == HTMAXBUTTON) cmd = IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE;
          SendMessageA(hwnd, WM_SYSCOMMAND, cmd, lParam);
        }
      }
      return 0;
    }
    case WM_NCLBUTTONDBLCLK:
      if (wParam == static_cast<WPARAM>(HTCAPTION) && (styleOf(hwnd) & WS_MAXIMIZEBOX))
        SendMessageA(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, lParam);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MOVE:
        case SC_SIZE: RunMoveSizeLoop(hwnd, wParam, lParam); return 0;
        case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); return 0;
        case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); return 0;
        case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); return 0;
        case SC_CLOSE: SendMessageA(hwnd, WM_CLOSE, 0, 0); return 0;
        default: return 0;
      }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_ERASEBKGND:
      return EraseWithClassBrush(hwnd, reinterpret_cast<HDC>(wParam)) ? 1 : 0;
    case WM_SETTEXT:
      if (unicode) {
        setText(hwnd, lParam ? std::u16string(reinterpret_cast<const WCHAR*>(lParam)) : std::u16string());
      } else {
        setText(hwnd, lParam ? AnsiToWide(reinterpret_cast<const char*>(lParam)) : std::u16string());
      }
      return TRUE;
    case WM_GETTEXT:
      return getText(hwnd, wParam, lParam, unicode);
    case WM_GETTEXTLENGTH: {
      const std::u16string text = InternalGetWindowText(hwnd);
      return static_cast<LRESULT>(unicode ? text.size() : WideToAnsi(text).size());
    }
    case WM_SETCURSOR: {
      const LRESULT hit = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      if (HWND parent = parentOfChild(hwnd)) {
        if (SendMessageA(parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      }
      if (hit == HTERROR) {
        const UINT mouseMsg = HIWORD(static_cast<uintptr_t>(lParam));
        if (mouseMsg == WM_LBUTTONDOWN || mouseMsg == WM_RBUTTONDOWN || mouseMsg == WM_MBUTTONDOWN)
          MessageBeep(0);
        return FALSE;
      }
      if (hit == HTCLIENT) {
        const HCURSOR c = ValueToHandle<HCURSOR>(GetClassLongPtrA(hwnd, GCLP_HCURSOR));
        if (c) SetCursor(c);
        return c ? TRUE : FALSE;
      }
      SetCursor(cursorForHit(hit));
      return TRUE;
    }
    case WM_MOUSEACTIVATE: {
      if (HWND parent = parentOfChild(hwnd)) {
        if (const LRESULT r = SendMessageA(parent, WM_MOUSEACTIVATE, wParam, lParam)) return r;
      }
      return MA_ACTIVATE;
    }
    case WM_WINDOWPOSCHANGING: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(lParam);
      const DWORD style = styleOf(hwnd);
      if (wp && !(wp->flags & SWP_NOSIZE) && !(style & (WS_MINIMIZE | WS_MAXIMIZE)) &&
          ((style & WS_THICKFRAME) || !(style & (WS_POPUP | WS_CHILD)))) {
        MINMAXINFO mmi{};
        QueryMinMax(hwnd, &mmi);
        wp->cx = std::clamp<int>(wp->cx, std::min(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x), mmi.ptMaxTrackSize.x);
        wp->cy = std::clamp<int>(wp->cy, std::min(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y), mmi.ptMaxTrackSize.y);
      }
      return 0;
    }
    case WM_WINDOWPOSCHANGED: {
      const auto* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
      if (!wp) return 0;
      RECT client;
      {
        TreeGuard lock(TreeLock());
        auto w = FindWnd(hwnd);
        if (!w) return 0;
        client = w->client;
      }
      if (!(wp->flags & SWP_NOCLIENTMOVE))
        SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(client.left), static_cast<WORD>(client.top)));
      if (!(wp->flags & SWP_NOCLIENTSIZE)) {
        const DWORD style = styleOf(hwnd);
        const WPARAM kind = (style & WS_MINIMIZE) ? SIZE_MINIMIZED : (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
        SendMessageA(hwnd, WM_SIZE, kind,
                     MAKELPARAM(static_cast<WORD>(client.Width()), static_cast<WORD>(client.Height())));
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocus(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (static_cast<uint64_t>(lParam) & (1u << 29))) {
        SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_CLOSE, 0);
      }
      return 0;
    case WM_SYSKEYUP:
      // Shift+F10 is the keyboard's way to ask for a context menu.
      if (wParam == VK_F10 && (GetKeyState(VK_SHIFT) & 0x8000)) {
        SendMessageA(hwnd, WM_CONTEXTMENU, HandleToValue(hwnd), -1);
        return 0;
      }
      if (wParam == VK_F10 || wParam == VK_MENU) SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, 0);
      return 0;
    case WM_KEYUP:
      if (wParam == VK_APPS) SendMessageA(hwnd, WM_CONTEXTMENU, HandleToValue(hwnd), -1);
      return 0;
    case WM_RBUTTONUP: {
      // A right click asks for a context menu at the pointer, in screen coordinates.
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(hwnd, &pt);
      SendMessageA(hwnd, WM_CONTEXTMENU, HandleToValue(hwnd),
                   MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)));
      return 0;
    }
    case WM_NCRBUTTONUP:
      if (wParam != HTCAPTION && wParam != HTSYSMENU) SendMessageA(hwnd, WM_CONTEXTMENU, HandleToValue(hwnd), lParam);
      return 0;
    case WM_SYSCHAR:
      if (wParam != u'\r' && wParam != 0x1B)
        SendMessageA(GetAncestor(hwnd, GA_ROOT), WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
      return 0;
    case WM_CONTEXTMENU:
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      if (HWND parent = parentOfChild(hwnd)) return SendMessageA(parent, msg, wParam, lParam);
      return 0;
    case WM_NOTIFYFORMAT:
      return IsWindowUnicode(hwnd) ? NFR_UNICODE : NFR_ANSI;
    case WM_SETREDRAW: {
      TreeGuard lock(TreeLock());
      auto w = FindWnd(hwnd);
      if (!w) return 0;
      if (w->style & WS_CHILD) {
        // A child that may not redraw counts as hidden without being hidden.
        if (wParam) w->style |= WS_VISIBLE;
        else w->style &= ~WS_VISIBLE;
      }
      w->redrawOff = !wParam;
      return 0;
    }
    case WM_PRINT: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      const WPARAM flags = static_cast<WPARAM>(lParam);
      if ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(hwnd)) return 0;
      if (flags & PRF_ERASEBKGND) SendMessageA(hwnd, WM_ERASEBKGND, wParam, 0);
      if (flags & PRF_CLIENT) SendMessageA(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), lParam);
      return 0;
    }
    case WM_CANCELMODE:
      if (GetCapture() == hwnd) ReleaseCapture();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
      return -1;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(DefaultControlColor(reinterpret_cast<HDC>(wParam), msg));
    default:
      return 0;
  }
}

}  // namespace
}  // namespace detail

LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return detail::defProc(hwnd, msg, wParam, lParam, false);
}
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return detail::defProc(hwnd, msg, wParam, lParam, true);
}

}  // namespace win
