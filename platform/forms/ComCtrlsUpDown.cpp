// The "msctls_updown32" window class and TUpDown. A step asks the parent
// first (WM_NOTIFY UDN_DELTAPOS, refused by a non-zero answer), then moves,
// writes the position into the buddy window with UDS_SETBUDDYINT, and
// tells the parent by WM_VSCROLL (WM_HSCROLL when horizontal) with
// SB_THUMBPOSITION. With UDS_ARROWKEYS the buddy's window is subclassed so
// that the up and down arrows typed into it step too.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/forms/ComCtrls.h"
#include "platform/forms/StdCtrlsInternal.h"
#include "platform/win/Api.h"

namespace forms {

using namespace win;

namespace {

constexpr const char* kUpDownProp = "VorixUpDownState";
constexpr const char* kBuddyProcProp = "VorixUpDownBuddyProc";
constexpr const char* kBuddyOwnerProp = "VorixUpDownOfBuddy";

struct UpDownState {
  int min = 0, max = 100, pos = 0;
  UINT increment = 1;
  int base = 10;
  HWND buddy = nullptr;
  int pressed = 0;  // +1 the up (right) button held, -1 the down (left) one
};

// Holding a button down steps again after a pause, then quickly.
constexpr UINT_PTR kRepeatTimer = 1;
constexpr UINT kFirstRepeat = 400, kRepeat = 100;

UpDownState* StateOf(HWND hwnd) { return static_cast<UpDownState*>(GetPropA(hwnd, kUpDownProp)); }
DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)); }
bool Horizontal(HWND hwnd) { return (StyleOf(hwnd) & UDS_HORZ) != 0; }

int Lo(const UpDownState* st) { return std::min(st->min, st->max); }
int Hi(const UpDownState* st) { return std::max(st->min, st->max); }

std::string FormatPos(int v, int base, bool thousands) {
  if (base == 16) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", static_cast<unsigned>(v) & 0xFFFFu);
    return buf;
  }
  const std::string digits = std::to_string(v < 0 ? -static_cast<long long>(v) : static_cast<long long>(v));
  std::string out = v < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (thousands && i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

void UpdateBuddy(HWND hwnd, UpDownState* st) {
  if (!st->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT) || !IsWindow(st->buddy)) return;
  const std::string text = FormatPos(st->pos, st->base, !(StyleOf(hwnd) & UDS_NOTHOUSANDS));
  SetWindowTextA(st->buddy, text.c_str());
}

// The buddy's text as a position; false when it is no number.
bool ReadBuddy(HWND hwnd, const UpDownState* st, int& out) {
  if (!st->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT) || !IsWindow(st->buddy)) return false;
  char buf[64];
  const int len = GetWindowTextA(st->buddy, buf, sizeof buf);
  std::string text;
  for (int i = 0; i < len; ++i)
    if (buf[i] != ',' && buf[i] != ' ') text += buf[i];
  if (text.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, st->base == 16 ? 16 : 10);
  if (*end) return false;
  out = static_cast<int>(std::clamp<long>(v, Lo(st), Hi(st)));
  return true;
}

void Step(HWND hwnd, UpDownState* st, int dir) {
  int pos = st->pos;
  ReadBuddy(hwnd, st, pos);
  // A range given upside down steps the other way.
  const long long delta = static_cast<long long>(dir) * st->increment * (st->min > st->max ? -1 : 1);
  long long next = pos + delta;
  if (next > Hi(st)) next = (StyleOf(hwnd) & UDS_WRAP) ? Lo(st) : Hi(st);
  if (next < Lo(st)) next = (StyleOf(hwnd) & UDS_WRAP) ? Hi(st) : Lo(st);
  HWND parent = GetParent(hwnd);
  if (parent) {
    NMUPDOWN nm;
    nm.hwndFrom = hwnd;
    nm.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    nm.code = static_cast<UINT>(UDN_DELTAPOS);
    nm.iPos = pos;
    nm.iDelta = static_cast<int>(delta);
    if (SendMessageA(parent, WM_NOTIFY, nm.idFrom, reinterpret_cast<LPARAM>(&nm))) return;
    if (!IsWindow(hwnd)) return;
  }
  st->pos = static_cast<int>(next);
  UpdateBuddy(hwnd, st);
  if (parent)
    SendMessageA(parent, Horizontal(hwnd) ? WM_HSCROLL : WM_VSCROLL,
                 MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(st->pos)), reinterpret_cast<LPARAM>(hwnd));
}

void EndScroll(HWND hwnd) {
  if (HWND parent = GetParent(hwnd))
    SendMessageA(parent, Horizontal(hwnd) ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0),
                 reinterpret_cast<LPARAM>(hwnd));
}

LRESULT BuddyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kBuddyProcProp));
  HWND updown = static_cast<HWND>(GetPropA(hwnd, kBuddyOwnerProp));
  if (msg == WM_KEYDOWN && (wParam == VK_UP || wParam == VK_DOWN) && updown && IsWindowEnabled(updown)) {
    if (UpDownState* st = StateOf(updown)) {
      Step(updown, st, wParam == VK_UP ? 1 : -1);
      return 0;
    }
  }
  if (msg == WM_KEYUP && (wParam == VK_UP || wParam == VK_DOWN) && updown) {
    EndScroll(updown);
    return 0;
  }
  if (msg == WM_GETDLGCODE && updown)
    return (old ? CallWindowProcA(old, hwnd, msg, wParam, lParam) : 0) | DLGC_WANTARROWS;
  return old ? CallWindowProcA(old, hwnd, msg, wParam, lParam) : DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Unhook(HWND buddy) {
  if (!buddy || !IsWindow(buddy) || !GetPropA(buddy, kBuddyProcProp)) return;
  // Only when no one subclassed it after us; else our procedure stays and
  // passes everything on.
  if (reinterpret_cast<WNDPROC>(GetWindowLongA(buddy, GWLP_WNDPROC)) == &BuddyProc) {
    SetWindowLongA(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GetPropA(buddy, kBuddyProcProp)));
    RemovePropA(buddy, kBuddyProcProp);
  }
  RemovePropA(buddy, kBuddyOwnerProp);
}

void Hook(HWND hwnd, HWND buddy) {
  if (!(StyleOf(hwnd) & UDS_ARROWKEYS) || GetPropA(buddy, kBuddyProcProp)) {
    if (GetPropA(buddy, kBuddyProcProp)) SetPropA(buddy, kBuddyOwnerProp, hwnd);
    return;
  }
  const LONG_PTR old = SetWindowLongA(buddy, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BuddyProc));
  SetPropA(buddy, kBuddyProcProp, reinterpret_cast<void*>(old));
  SetPropA(buddy, kBuddyOwnerProp, hwnd);
}

// Sits at the buddy's side, taking the room from it.
void Align(HWND hwnd, HWND buddy) {
  const DWORD style = StyleOf(hwnd);
  if (!(style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT))) return;
  HWND parent = GetParent(hwnd);
  RECT b;
  GetWindowRect(buddy, &b);
  POINT tl{b.left, b.top}, br{b.right, b.bottom};
  if (parent) {
    ScreenToClient(parent, &tl);
    ScreenToClient(parent, &br);
  }
  RECT self;
  GetWindowRect(hwnd, &self);
  // Already beside it (the window re-made, the same buddy set again): the
  // buddy gave up its room before.
  const bool right = (style & UDS_ALIGNRIGHT) != 0;
  if (self.top == b.top && self.bottom == b.bottom && (right ? self.left == b.right : self.right == b.left)) return;
  const int w = self.right - self.left, h = br.y - tl.y;
  const int bw = std::max(0, br.x - tl.x - w);
  if (style & UDS_ALIGNRIGHT) {
    SetWindowPos(buddy, nullptr, tl.x, tl.y, bw, h, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(hwnd, nullptr, tl.x + bw, tl.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SetWindowPos(hwnd, nullptr, tl.x, tl.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(buddy, nullptr, tl.x + w, tl.y, bw, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// Which button a client point is on: +1 up (right), -1 down (left).
int ButtonAt(HWND hwnd, LPARAM lParam) {
  RECT r;
  GetClientRect(hwnd, &r);
  if (Horizontal(hwnd)) return GET_X_LPARAM(lParam) >= r.right / 2 ? 1 : -1;
  return GET_Y_LPARAM(lParam) < r.bottom / 2 ? 1 : -1;
}

void Paint(HWND hwnd, HDC dc) {
  UpDownState* st = StateOf(hwnd);
  RECT r;
  GetClientRect(hwnd, &r);
  const bool horz = Horizontal(hwnd);
  RECT up = r, down = r;
  if (horz) {
    down.right = up.left = r.right / 2;
  } else {
    up.bottom = down.top = r.bottom / 2;
  }
  const UINT inactive = IsWindowEnabled(hwnd) ? 0 : DFCS_INACTIVE;
  DrawFrameControl(dc, &up, DFC_SCROLL,
                   (horz ? DFCS_SCROLLRIGHT : DFCS_SCROLLUP) | (st->pressed == 1 ? DFCS_PUSHED : 0) | inactive);
  DrawFrameControl(dc, &down, DFC_SCROLL,
                   (horz ? DFCS_SCROLLLEFT : DFCS_SCROLLDOWN) | (st->pressed == -1 ? DFCS_PUSHED : 0) | inactive);
}

void Release(HWND hwnd, UpDownState* st) {
  if (!st->pressed) return;
  st->pressed = 0;
  KillTimer(hwnd, kRepeatTimer);
  InvalidateRect(hwnd, nullptr, TRUE);
  EndScroll(hwnd);
}

}  // namespace

LRESULT UpDownProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  UpDownState* st = StateOf(hwnd);
  if (!st && msg != WM_NCCREATE) return DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_NCCREATE:
      if (!st) SetPropA(hwnd, kUpDownProp, new UpDownState);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_NCDESTROY:
      if (st->buddy && GetPropA(st->buddy, kBuddyOwnerProp) == hwnd) Unhook(st->buddy);
      RemovePropA(hwnd, kUpDownProp);
      delete st;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      st->pressed = ButtonAt(hwnd, lParam);
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, TRUE);
      if (st->buddy && IsWindow(st->buddy) && GetFocus() != st->buddy) SetFocus(st->buddy);
      if ((st = StateOf(hwnd)) != nullptr && st->pressed) {
        SetTimer(hwnd, kRepeatTimer, kFirstRepeat, nullptr);
        Step(hwnd, st, st->pressed);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kRepeatTimer) return DefWindowProcA(hwnd, msg, wParam, lParam);
      if (!st->pressed || GetCapture() != hwnd) {
        KillTimer(hwnd, kRepeatTimer);
        return 0;
      }
      SetTimer(hwnd, kRepeatTimer, kRepeat, nullptr);
      Step(hwnd, st, st->pressed);
      return 0;
    case WM_LBUTTONUP:
      if (GetCapture() == hwnd) ReleaseCapture();
      if ((st = StateOf(hwnd)) != nullptr) Release(hwnd, st);
      return 0;
    case WM_CAPTURECHANGED:
      Release(hwnd, st);
      return 0;
    case WM_KEYDOWN:
      if ((StyleOf(hwnd) & UDS_ARROWKEYS) && (wParam == VK_UP || wParam == VK_DOWN)) {
        Step(hwnd, st, wParam == VK_UP ? 1 : -1);
        return 0;
      }
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      return PaintControlWindow(hwnd, wParam, Paint);
    case UDM_SETRANGE:
      st->max = static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)));
      st->min = static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)));
      st->pos = std::clamp(st->pos, Lo(st), Hi(st));
      return 0;
    case UDM_GETRANGE:
      return MAKELONG(static_cast<WORD>(st->max), static_cast<WORD>(st->min));
    case UDM_SETRANGE32:
      st->min = static_cast<int>(wParam);
      st->max = static_cast<int>(lParam);
      st->pos = std::clamp(st->pos, Lo(st), Hi(st));
      return 0;
    case UDM_GETRANGE32:
      if (wParam) *reinterpret_cast<int*>(wParam) = st->min;
      if (lParam) *reinterpret_cast<int*>(lParam) = st->max;
      return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
      const int old = st->pos;
      const int v = msg == UDM_SETPOS ? static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam)))
                                      : static_cast<int>(lParam);
      st->pos = std::clamp(v, Lo(st), Hi(st));
      UpdateBuddy(hwnd, st);
      return old;
    }
    case UDM_GETPOS:
    case UDM_GETPOS32: {
      int v = st->pos;
      const bool ok = !st->buddy || !(StyleOf(hwnd) & UDS_SETBUDDYINT) || ReadBuddy(hwnd, st, v);
      if (ok) st->pos = v;
      if (msg == UDM_GETPOS) return MAKELONG(static_cast<WORD>(st->pos), ok ? 0 : 1);
      if (lParam) *reinterpret_cast<BOOL*>(lParam) = ok ? FALSE : TRUE;
      return st->pos;
    }
    case UDM_SETBUDDY: {
      HWND old = st->buddy;
      if (old && GetPropA(old, kBuddyOwnerProp) == hwnd) Unhook(old);
      st->buddy = reinterpret_cast<HWND>(wParam);
      if (st->buddy) {
        Hook(hwnd, st->buddy);
        Align(hwnd, st->buddy);
        UpdateBuddy(hwnd, st);
      }
      return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY:
      return reinterpret_cast<LRESULT>(st->buddy);
    case UDM_SETACCEL:
      if (wParam == 0 || !lParam) return FALSE;
      st->increment = reinterpret_cast<const UDACCEL*>(lParam)->nInc;
      return TRUE;
    case UDM_GETACCEL:
      if (wParam > 0 && lParam) reinterpret_cast<UDACCEL*>(lParam)->nInc = st->increment;
      return 1;
    case UDM_SETBASE: {
      if (wParam != 10 && wParam != 16) return 0;
      const int old = st->base;
      st->base = static_cast<int>(wParam);
      UpdateBuddy(hwnd, st);
      return old;
    }
    case UDM_GETBASE:
      return st->base;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// ---- TUpDown ----

TUpDown::TUpDown(TComponent* owner) : TWinControl(owner) {
  RegisterComCtrlClasses();
  SetBounds(0, 0, 17, 25);
}

void TUpDown::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, "msctls_updown32");
  p.Style |= UDS_SETBUDDYINT | (alignButton_ == udRight ? UDS_ALIGNRIGHT : UDS_ALIGNLEFT);
  if (orientation_ == udHorizontal) p.Style |= UDS_HORZ;
  if (arrowKeys_) p.Style |= UDS_ARROWKEYS;
  if (wrap_) p.Style |= UDS_WRAP;
  if (!thousands_) p.Style |= UDS_NOTHOUSANDS;
}

void TUpDown::CreateWnd() {
  TWinControl::CreateWnd();
  HWND h = Handle();
  SendMessageA(h, UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  UDACCEL accel;
  accel.nInc = static_cast<UINT>(increment_);
  SendMessageA(h, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
  SendMessageA(h, UDM_SETPOS32, 0, position_);
  if (associate_) SendMessageA(h, UDM_SETBUDDY, reinterpret_cast<WPARAM>(associate_->Handle()), 0);
}

void TUpDown::Send(UINT msg, WPARAM w, LPARAM l) {
  if (HandleAllocated()) SendMessageA(Handle(), msg, w, l);
}

int TUpDown::Position() const {
  // The buddy's text may have been typed into since.
  if (HandleAllocated())
    return static_cast<int>(SendMessageA(const_cast<TUpDown*>(this)->Handle(), UDM_GETPOS32, 0, 0));
  return position_;
}

void TUpDown::SetMin(int v) {
  min_ = v;
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  position_ = std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
}

void TUpDown::SetMax(int v) {
  max_ = v;
  Send(UDM_SETRANGE32, static_cast<WPARAM>(min_), max_);
  position_ = std::clamp(position_, std::min(min_, max_), std::max(min_, max_));
}

void TUpDown::SetPosition(int v) {
  position_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
  Send(UDM_SETPOS32, 0, position_);
}

void TUpDown::SetIncrement(int v) {
  increment_ = v;
  UDACCEL accel;
  accel.nInc = static_cast<UINT>(v);
  Send(UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
}

void TUpDown::SetAssociate(TWinControl* c) {
  if (c == this) c = nullptr;
  if (associate_ == c) return;
  if (associate_) associate_->RemoveFreeNotification(this);
  associate_ = c;
  if (associate_) associate_->FreeNotification(this);
  if (HandleAllocated()) Send(UDM_SETBUDDY, associate_ ? reinterpret_cast<WPARAM>(associate_->Handle()) : 0, 0);
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == opRemove && component == associate_) {
    associate_ = nullptr;
    Send(UDM_SETBUDDY, 0, 0);
  }
}

void TUpDown::SetAlignButton(TUDAlignButton v) {
  if (alignButton_ == v) return;
  alignButton_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TUpDown::SetOrientation(TUDOrientation v) {
  if (orientation_ == v) return;
  orientation_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TUpDown::SetWrap(bool v) {
  if (wrap_ == v) return;
  wrap_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TUpDown::SetArrowKeys(bool v) {
  if (arrowKeys_ == v) return;
  arrowKeys_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TUpDown::SetThousands(bool v) {
  if (thousands_ == v) return;
  thousands_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TUpDown::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY: {
      const auto* nm = reinterpret_cast<const NMUPDOWN*>(m.LParam);
      if (nm && nm->code == static_cast<UINT>(UDN_DELTAPOS)) {
        bool allow = true;
        if (OnChanging) OnChanging(this, allow);
        lastDelta_ = nm->iDelta;
        m.Result = allow ? 0 : 1;
        return;
      }
      break;
    }
    case CN_HSCROLL:
    case CN_VSCROLL:
      if (LOWORD(m.WParam) == SB_THUMBPOSITION) {
        const int v = static_cast<int>(SendMessageA(Handle(), UDM_GETPOS32, 0, 0));
        // The step's own direction, so a wrap from the top still counts as up.
        const bool next = lastDelta_ != 0 ? (lastDelta_ > 0) == (min_ <= max_) : v > position_;
        lastDelta_ = 0;
        position_ = v;
        if (OnClick) OnClick(this, next ? btNext : btPrev);
      }
      m.Result = 0;
      return;
    default:
      break;
  }
  TWinControl::Dispatch(m);
}

}  // namespace forms
