// TWinControl: the window behind a control (class registration, creation
// with the hand-over to the control, destruction and re-creation), the
// child lists, alignment and anchors, keyboard routing, focus and tab
// order, painting with graphic children, and message reflection.
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/win/Blit.h"
#include "platform/win/Bitmap.h"
#include "platform/win/Dc.h"
#include "platform/win/GdiObject.h"
#include "platform/win/Input.h"
#include "platform/win/OwnerDraw.h"
#include "platform/win/Paint.h"
#include "platform/win/PenBrush.h"
#include "platform/win/Shapes.h"

namespace forms {

using namespace win;

namespace {

thread_local TWinControl* t_creationControl = nullptr;
thread_local ATOM t_controlAtom = 0;
ATOM g_windowAtom = 0;

String Hex8(uintptr_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.8X", static_cast<unsigned>(v & 0xFFFFFFFFu));
  return buf;
}

bool IsSpecialKey(WPARAM key) {
  switch (key) {
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_CANCEL:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
      return true;
    default:
      return false;
  }
}

}  // namespace

HINSTANCE HInstance() { return ValueToHandle<HINSTANCE>(0x00400000); }

TWinControl*& CreationControl() { return t_creationControl; }

String ControlAtomName() {
  return "ControlOfs" + Hex8(HandleToValue(HInstance())) + Hex8(GetCurrentThreadId());
}

String WindowAtomName() { return "VorixForms" + Hex8(static_cast<uintptr_t>(getpid())); }

ATOM ControlAtom() {
  if (!t_controlAtom) t_controlAtom = GlobalAddAtomA(ControlAtomName().c_str());
  return t_controlAtom;
}

ATOM WindowAtom() {
  if (!g_windowAtom) g_windowAtom = GlobalAddAtomA(WindowAtomName().c_str());
  return g_windowAtom;
}

TWinControl* FindControl(HWND hwnd) {
  if (!hwnd || !IsWindow(hwnd)) return nullptr;
  return static_cast<TWinControl*>(GetPropA(hwnd, MAKEINTATOMA(ControlAtom())));
}

// ---- window procedures ----

LRESULT TWinControl::InitWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = t_creationControl;
  t_creationControl = nullptr;
  if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
  control->handle_ = hwnd;
  SetPropA(hwnd, MAKEINTATOMA(ControlAtom()), control);
  SetPropA(hwnd, MAKEINTATOMA(WindowAtom()), control);
  // Set through the call of the window's kind, so a Unicode window stays one.
  const auto proc = reinterpret_cast<LONG_PTR>(&TWinControl::StdWndProc);
  if (IsWindowUnicode(hwnd))
    SetWindowLongPtrW(hwnd, GWL_WNDPROC, proc);
  else
    SetWindowLongPtr(hwnd, GWL_WNDPROC, proc);
  return StdWndProc(hwnd, msg, wParam, lParam);
}

LRESULT TWinControl::StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = FindControl(hwnd);
  if (!control) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  // Nothing thrown may unwind through the window system's C-style calls.
  try {
    if (control->WindowProc)
      control->WindowProc(m);
    else
      control->WndProc(m);
  } catch (...) {
    Application->HandleException(control);
  }
  return m.Result;
}

// ---- TWinControl ----

TWinControl::TWinControl(TComponent* owner) : TControl(owner), brush_(std::make_unique<TBrush>()) {
  defWndProc_ = &DefWindowProcA;
  SetColor(clBtnFace);
  brush_->SetColor(Color());
}

TWinControl::~TWinControl() {
  BeginDestruction();
  // A replaced WindowProc may belong to something already gone.
  WindowProc = [this](TMessage& m) { TWinControl::WndProc(m); };
  // Children go with their parent.
  while (!controls_.empty() || !winControls_.empty()) {
    TControl* child = !winControls_.empty() ? static_cast<TControl*>(winControls_.back()) : controls_.back();
    RemoveControl(child);
    delete child;
  }
  // Leave the parent now: past this destructor the parent could no longer
  // tell that this was a windowed control.
  if (parent_) parent_->RemoveControl(this);
  DestroyHandle();
}

HWND TWinControl::Handle() {
  if (!handle_) {
    if (parent_) parent_->HandleNeeded();
    if (!handle_) CreateHandle();
  }
  return handle_;
}

void TWinControl::SetParentWindow(HWND hwnd) {
  if (parentWindow_ == hwnd) return;
  parentWindow_ = hwnd;
  if (!parent_ && handle_) RecreateWnd();
}

void TWinControl::CreateParams(TCreateParams& p) {
  p = TCreateParams{};
  p.Caption = TextField();
  p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  if (parent_ || parentWindow_) {
    p.Style |= WS_CHILD;
    if (Visible()) p.Style |= WS_VISIBLE;
  }
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = Left();
  p.Y = Top();
  p.Width = Width();
  p.Height = Height();
  p.WndParent = parent_ ? parent_->handle_ : parentWindow_;
  p.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  p.WindowClass.lpfnWndProc = &DefWindowProcA;
  p.WindowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(IDC_ARROW));
  p.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& p, const char* className) {
  WNDCLASSA wc;
  if (!GetClassInfoA(HInstance(), className, &wc) && !GetClassInfoA(nullptr, className, &wc))
    throw EInvalidOperation(String("Window class not found: ") + className);
  const DWORD keep = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.style = (wc.style & ~keep) | (p.WindowClass.style & keep);
  p.WindowClass = wc;
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  CreateWnd();
  for (TWinControl* child : std::vector<TWinControl*>(winControls_)) child->CreateHandle();
  Realign();
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EInvalidOperation("Control '" + Name() + "' has no parent window");
  defWndProc_ = p.WindowClass.lpfnWndProc ? p.WindowClass.lpfnWndProc : &DefWindowProcA;
  WNDCLASSA existing;
  const bool registered = GetClassInfoA(HInstance(), p.WinClassName.c_str(), &existing) &&
                          existing.lpfnWndProc == &TWinControl::InitWndProc;
  if (!registered) {
    UnregisterClassA(p.WinClassName.c_str(), HInstance());
    WNDCLASSA wc = p.WindowClass;
    wc.lpfnWndProc = &TWinControl::InitWndProc;
    wc.hInstance = HInstance();
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassA(&wc)) throw EInvalidOperation("Cannot register window class " + p.WinClassName);
  }
  t_creationControl = this;
  try {
    CreateWindowHandle(p);
  } catch (...) {
    t_creationControl = nullptr;
    throw;
  }
  t_creationControl = nullptr;
  if (!handle_) throw EInvalidOperation("Error creating window for " + ClassName());
  // A child made without an id is known by its handle.
  if ((p.Style & WS_CHILD) && GetWindowLongA(handle_, GWL_ID) == 0)
    SetWindowLongA(handle_, GWL_ID, static_cast<LONG_PTR>(HandleToValue(handle_)));
  UpdateBounds();
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  HWND hwnd = CreateWindowExA(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width,
                              p.Height, p.WndParent, nullptr, HInstance(), p.Param);
  if (hwnd && !handle_) handle_ = hwnd;
}

void TWinControl::DestroyWnd() {
  if (handle_) DestroyWindow(handle_);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  controlState_.Include(csDestroyingHandle);
  for (TWinControl* child : std::vector<TWinControl*>(winControls_)) child->DestroyHandle();
  DestroyWnd();
  controlState_.Exclude(csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
  if (handle_) Perform(CM_RECREATEWND, 0, 0);
}

TControl* TWinControl::Controls(int index) const {
  const int n = static_cast<int>(controls_.size());
  if (index < 0 || index >= ControlCount())
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  if (index < n) return controls_[static_cast<size_t>(index)];
  return winControls_[static_cast<size_t>(index - n)];
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) const {
  auto hit = [&](TControl* c) {
    if (!c->Visible() || (!c->Enabled() && !allowDisabled)) return false;
    const TRect r = c->BoundsRect();
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
  };
  if (allowWinControls)
    for (auto it = winControls_.rbegin(); it != winControls_.rend(); ++it)
      if (hit(*it)) return *it;
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
    if (hit(*it)) return *it;
  return nullptr;
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

void TWinControl::InsertControl(TControl* control) {
  control->parent_ = this;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    winControls_.push_back(w);
    tabList_.push_back(w);
    if (handle_) w->CreateHandle();
  } else {
    controls_.push_back(control);
    control->InvalidateControl(true);
  }
}

void TWinControl::RemoveControl(TControl* control) {
  if (control->parent_ != this) return;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (TCustomForm* form = GetParentForm()) form->ControlRemoved(w);
    w->DestroyHandle();
    winControls_.erase(std::remove(winControls_.begin(), winControls_.end(), w), winControls_.end());
    tabList_.erase(std::remove(tabList_.begin(), tabList_.end(), w), tabList_.end());
  } else {
    control->InvalidateControl(true);
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  }
  control->parent_ = nullptr;
  if (control->Align() != alNone) Realign();
}

TRect TWinControl::ClientRect() const {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return r;
  }
  TCreateParams p;
  const_cast<TWinControl*>(this)->CreateParams(p);
  RECT frame{};
  AdjustWindowRectEx(&frame, p.Style, FALSE, p.ExStyle);
  return Rect(0, 0, std::max(0, Width() - (frame.right - frame.left)),
              std::max(0, Height() - (frame.bottom - frame.top)));
}

TPoint TWinControl::ClientOrigin() const {
  if (handle_) {
    POINT p{0, 0};
    win::ClientToScreen(handle_, &p);
    return p;
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
  if (left == Left() && top == Top() && width == Width() && height == Height()) return;
  if (handle_) {
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
  } else {
    const bool resized = width != Width() || height != Height();
    StoreBounds(left, top, width, height);
    if (resized) {
      Realign();
      Resize();
    }
  }
  if (!anchorMoving_) UpdateAnchorRules();
  RequestAlign();
}

void TWinControl::UpdateBounds() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  if (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD) {
    HWND parent = GetParent(handle_);
    if (parent) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  }
  StoreBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

String TWinControl::GetText() const {
  if (!handle_) return TextField();
  return TControl::GetText();
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0 && alignPending_) {
    alignPending_ = false;
    Realign();
  }
}

void TWinControl::Realign() { AlignFor(nullptr); }

void TWinControl::AlignFor(TControl* control) {
  if (alignDisabled_ > 0) {
    alignPending_ = true;
    return;
  }
  if (aligning_) return;
  TRect r = ClientRect();
  AdjustClientRect(r);
  AlignControls(control, r);
}

void TWinControl::AdjustClientRect(TRect&) const {}

void TWinControl::AlignControls(TControl* control, TRect& rect) {
  aligning_ = true;
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  auto placed = [&](TAlign a) {
    std::vector<TControl*> list;
    for (TControl* c : all)
      if (c->Align() == a && c->Visible()) list.push_back(c);
    // Controls sharing an edge keep the order of their positions.
    auto key = [a](TControl* c) {
      switch (a) {
        case alTop: return c->Top();
        case alBottom: return -(c->Top() + c->Height());
        case alLeft: return c->Left();
        case alRight: return -(c->Left() + c->Width());
        default: return 0;
      }
    };
    std::stable_sort(list.begin(), list.end(), [&](TControl* x, TControl* y) {
      if (key(x) != key(y)) return key(x) < key(y);
      return x == control && y != control;
    });
    return list;
  };
  auto move = [](TControl* c, int l, int t, int w, int h) {
    c->anchorMoving_ = true;
    c->SetBounds(l, t, std::max(0, w), std::max(0, h));
    c->anchorMoving_ = false;
  };
  try {
    for (TControl* c : placed(alTop)) {
      move(c, rect.left, rect.top, rect.right - rect.left, c->Height());
      rect.top += c->Height();
    }
    for (TControl* c : placed(alBottom)) {
      move(c, rect.left, rect.bottom - c->Height(), rect.right - rect.left, c->Height());
      rect.bottom -= c->Height();
    }
    for (TControl* c : placed(alLeft)) {
      move(c, rect.left, rect.top, c->Width(), rect.bottom - rect.top);
      rect.left += c->Width();
    }
    for (TControl* c : placed(alRight)) {
      move(c, rect.right - c->Width(), rect.top, c->Width(), rect.bottom - rect.top);
      rect.right -= c->Width();
    }
    for (TControl* c : placed(alClient)) move(c, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);

    // Anchored controls keep their distances to the anchored edges.
    const TRect client = ClientRect();
    for (TControl* c : all) {
      if (c->Align() != alNone) continue;
      const TAnchors a = c->Anchors();
      if (a == TAnchors{akLeft, akTop}) continue;
      const TRect& b = c->anchorBase_;
      const int dx = client.right - c->anchorParentSize_.cx, dy = client.bottom - c->anchorParentSize_.cy;
      int l = b.left, t = b.top, w = b.right - b.left, h = b.bottom - b.top;
      if (a.Contains(akRight)) {
        if (a.Contains(akLeft)) w += dx;
        else l += dx;
      } else if (!a.Contains(akLeft)) {
        l += dx / 2;
      }
      if (a.Contains(akBottom)) {
        if (a.Contains(akTop)) h += dy;
        else t += dy;
      } else if (!a.Contains(akTop)) {
        t += dy / 2;
      }
      move(c, l, t, w, h);
    }
  } catch (...) {
    aligning_ = false;
    throw;
  }
  aligning_ = false;
}

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  auto& list = parent_->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!parent_) return;
  auto& list = parent_->tabList_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  order = std::clamp(order, 0, static_cast<int>(list.size()));
  list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool v) {
  if (tabStop_ == v) return;
  tabStop_ = v;
  if (handle_) {
    LONG_PTR style = GetWindowLongA(handle_, GWL_STYLE);
    SetWindowLongA(handle_, GWL_STYLE, v ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP)));
  }
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm();
  if (!form) return false;
  for (const TControl* c = this; c; c = c->Parent()) {
    if (!c->Visible() || !c->Enabled()) return false;
    if (c == form) break;
  }
  return true;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  win::SetFocus(Handle());
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int n = static_cast<int>(list.size());
  int start = static_cast<int>(std::find(list.begin(), list.end(), current) - list.begin());
  if (start >= n) start = goForward ? n - 1 : 0;
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[static_cast<size_t>(i)];
    if (c == current) break;
    if ((!checkTabStop || c->TabStop()) && (!checkParent || c->Parent() == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop)) next->SetFocus();
}

void TWinControl::Broadcast(TMessage& m) {
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  for (TControl* c : all) {
    if (c->WindowProc)
      c->WindowProc(m);
    else
      c->WndProc(m);
    if (m.Result != 0) return;
  }
}

void TWinControl::NotifyControls(UINT msg) {
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  for (TControl* c : all) c->Perform(msg, 0, 0);
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, controlStyle_.Contains(csOpaque) ? FALSE : TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::SetEnabled(bool enabled) {
  if (Enabled() == enabled) return;
  if (!enabled && handle_ && (Focused() || IsChild(handle_, GetFocus()))) {
    // A control being disabled gives the focus up to its form.
    if (TCustomForm* form = GetParentForm(); form && form != this && form->HandleAllocated())
      win::SetFocus(form->Handle());
  }
  TControl::SetEnabled(enabled);
}

bool TWinControl::IsMenuKey(TMessage& m) {
  TCustomForm* form = GetParentForm();
  return form && form->IsShortCut(m);
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

bool TWinControl::DoKeyDown(TMessage& m) {
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview() && form->DoKeyDown(m)) return true;
  if (controlStyle_.Contains(csNoStdEvents)) return false;
  uint16_t key = static_cast<uint16_t>(m.WParam);
  KeyDown(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return true;
  m.WParam = key;
  return false;
}

bool TWinControl::DoKeyPress(TMessage& m) {
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview() && form->DoKeyPress(m)) return true;
  if (controlStyle_.Contains(csNoStdEvents)) return false;
  char key = static_cast<char>(m.WParam);
  KeyPress(key);
  if (key == 0) return true;
  m.WParam = static_cast<unsigned char>(key);
  return false;
}

bool TWinControl::DoKeyUp(TMessage& m) {
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview() && form->DoKeyUp(m)) return true;
  if (controlStyle_.Contains(csNoStdEvents)) return false;
  uint16_t key = static_cast<uint16_t>(m.WParam);
  KeyUp(key, KeyDataToShiftState(m.LParam));
  if (key == 0) return true;
  m.WParam = key;
  return false;
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

bool TWinControl::IsControlMouseMsg(TMessage& m) {
  TControl* target = nullptr;
  TControl* captured = CaptureControl();
  if (captured) {
    if (captured->Parent() == this) target = captured;
  } else {
    target = ControlAtPos(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), false);
  }
  if (!target || target == this) return false;
  const int x = GET_X_LPARAM(m.LParam) - target->Left(), y = GET_Y_LPARAM(m.LParam) - target->Top();
  m.Result = target->Perform(m.Msg, m.WParam, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  return true;
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      if (TCustomForm* form = GetParentForm()) {
        if (!form->SetFocusedControl(this)) return;
      }
      break;
    case WM_MOUSEMOVE: {
      UpdateMouseControl(ClientToScreen(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam))));
      TRACKMOUSEEVENT tme;
      tme.dwFlags = TME_LEAVE;
      tme.hwndTrack = handle_;
      if (handle_) TrackMouseEvent(&tme);
      break;
    }
    case WM_MOUSELEAVE: {
      POINT p;
      GetCursorPos(&p);
      UpdateMouseControl(p);
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Application->CancelHint();
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      Application->CancelHint();
      if (IsMenuKey(m)) return;
      if (DoKeyDown(m)) return;
      const WPARAM key = m.WParam;
      if (m.Msg == WM_KEYDOWN && IsSpecialKey(key)) {
        bool wanted = Perform(CM_WANTSPECIALKEY, key, m.LParam) != 0;
        if (!wanted) {
          const LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
          // Tab is claimed only by DLGC_WANTTAB: a control that wants every
          // other key still lets Tab move the focus.
          wanted = (key == VK_TAB ? (code & DLGC_WANTTAB) != 0 : (code & DLGC_WANTALLKEYS) != 0) ||
                   ((key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) &&
                    (code & DLGC_WANTARROWS));
        }
        if (!wanted) {
          TCustomForm* form = GetParentForm();
          if (form && form->Perform(CM_DIALOGKEY, key, m.LParam) != 0) return;
        }
      }
      break;
    }
    case WM_CHAR: {
      // A control that takes no characters lets them work as accelerators.
      const LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
      if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS))) {
        TCustomForm* form = GetParentForm();
        if (form && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
      }
      if (DoKeyPress(m)) return;
      break;
    }
    case WM_SYSCHAR:
      if (TCustomForm* form = GetParentForm()) {
        if (form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
      }
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(m)) return;
      break;
    case WM_DESTROY:
      // The text outlives the window, for the next one.
      SetTextField(GetText());
      break;
    case WM_NCDESTROY: {
      HWND hwnd = handle_;
      TControl::WndProc(m);
      if (hwnd) {
        RemovePropA(hwnd, MAKEINTATOMA(ControlAtom()));
        RemovePropA(hwnd, MAKEINTATOMA(WindowAtom()));
      }
      handle_ = nullptr;
      return;
    }
    default:
      break;
  }
  if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST && m.Msg != WM_MOUSEWHEEL && m.Msg != WM_MOUSEHWHEEL &&
      IsControlMouseMsg(m))
    return;
  TControl::WndProc(m);
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(m);
      return;
    case WM_WINDOWPOSCHANGED:
      UpdateBounds();
      DefaultHandler(m);
      return;
    case WM_SIZE:
      DefaultHandler(m);
      Realign();
      Resize();
      return;
    case WM_SETCURSOR:
      WMSetCursor(m);
      return;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORMSGBOX:
      WMCommandReflect(m);
      return;
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_NOTIFY:
      WMOwnerReflect(m);
      return;
    case WM_CONTEXTMENU:
      // A graphic child under the mouse gets the first say.
      if (m.LParam != -1 && m.Result == 0) {
        const TPoint at = ScreenToClient(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)));
        if (TControl* child = ControlAtPos(at, false)) {
          m.Result = child->Perform(WM_CONTEXTMENU, m.WParam, m.LParam);
          if (m.Result) return;
        }
      }
      TControl::Dispatch(m);
      return;
    case WM_CANCELMODE:
      if (TControl* c = CaptureControl(); c && (c == this || c->Parent() == this)) c->SetMouseCapture(false);
      DefaultHandler(m);
      return;
    case WM_CAPTURECHANGED:
      // The mouse went to another window: this control, or the graphic
      // child holding the mouse through this window, lets go.
      if (TControl* c = CaptureControl(); c && reinterpret_cast<HWND>(m.LParam) != handle_ &&
                                          (c == this || (c->Parent() == this && !dynamic_cast<TWinControl*>(c))))
        c->SetMouseCapture(false);
      DefaultHandler(m);
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      CMDialogKey(m);
      return;
    case CM_ENABLEDCHANGED:
      if (handle_) EnableWindow(handle_, Enabled() ? TRUE : FALSE);
      Invalidate();
      return;
    case CM_VISIBLECHANGED:
      if (handle_) ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
      return;
    case CM_COLORCHANGED:
      if (brush_) brush_->SetColor(Color());
      Invalidate();
      NotifyControls(CM_PARENTCOLORCHANGED);
      return;
    case WM_SYSCOLORCHANGE:
      DefaultHandler(m);
      Perform(CM_SYSCOLORCHANGE, 0, 0);
      return;
    case CM_SYSCOLORCHANGE:
      // A system colour's RGB changed: the brush is made again from it.
      brush_->SetColor(Color() == clBlack ? clWhite : clBlack);
      brush_->SetColor(Color());
      NotifyControls(CM_SYSCOLORCHANGE);
      Invalidate();
      return;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORSTATIC:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLORMSGBOX: {
      // The standard controls ask their parent for colours; the parent
      // reflects the question here and the control answers with its own.
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      m.Result = reinterpret_cast<LRESULT>(brush_->Handle());
      return;
    }
    case CM_FONTCHANGED:
      Invalidate();
      NotifyControls(CM_PARENTFONTCHANGED);
      return;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return;
    case CM_RECREATEWND: {
      if (!handle_ || recreating_) return;
      recreating_ = true;
      const bool focused = Focused();
      DestroyHandle();
      try {
        if (!parent_ || parent_->HandleAllocated()) CreateHandle();
      } catch (...) {
        recreating_ = false;
        throw;
      }
      recreating_ = false;
      if (focused && CanFocus()) win::SetFocus(handle_);
      return;
    }
    case CM_ENTER:
      DoEnter();
      return;
    case CM_EXIT:
      DoExit();
      return;
    case CM_FOCUSCHANGED:
      CMFocusChanged(m);
      return;
    default:
      TControl::Dispatch(m);
      return;
  }
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) {
    TControl::DefaultHandler(m);
    return;
  }
  if (m.Msg == WM_SETTEXT) SetTextField(m.LParam ? reinterpret_cast<const char*>(m.LParam) : "");
  m.Result = CallWindowProcA(defWndProc_, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::CMDialogKey(TMessage& m) { Broadcast(m); }

void TWinControl::CMFocusChanged(TMessage& m) {
  std::vector<TControl*> all(controls_.begin(), controls_.end());
  all.insert(all.end(), winControls_.begin(), winControls_.end());
  for (TControl* c : all) {
    TMessage copy = m;
    if (c->WindowProc)
      c->WindowProc(copy);
    else
      c->WndProc(copy);
  }
}

namespace {

// The child control an owner-draw or notification message speaks for; a
// menu's items are the form's own business.
HWND ReflectTarget(HWND self, const TMessage& m) {
  switch (m.Msg) {
    case WM_DRAWITEM: {
      const auto* d = reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam);
      return d && d->CtlType != ODT_MENU ? d->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
      const auto* d = reinterpret_cast<const MEASUREITEMSTRUCT*>(m.LParam);
      return d && d->CtlType != ODT_MENU && d->CtlID != 0 ? GetDlgItem(self, static_cast<int>(d->CtlID)) : nullptr;
    }
    case WM_DELETEITEM: {
      const auto* d = reinterpret_cast<const DELETEITEMSTRUCT*>(m.LParam);
      return d ? d->hwndItem : nullptr;
    }
    case WM_COMPAREITEM: {
      const auto* d = reinterpret_cast<const COMPAREITEMSTRUCT*>(m.LParam);
      return d ? d->hwndItem : nullptr;
    }
    case WM_NOTIFY: {
      const auto* d = reinterpret_cast<const NMHDR*>(m.LParam);
      return d ? d->hwndFrom : nullptr;
    }
    default:
      return nullptr;
  }
}

}  // namespace

void TWinControl::WMOwnerReflect(TMessage& m) {
  HWND from = ReflectTarget(handle_, m);
  TWinControl* child = from && from != handle_ ? FindControl(from) : nullptr;
  if (child) {
    m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TWinControl::WMCommandReflect(TMessage& m) {
  HWND from = reinterpret_cast<HWND>(m.LParam);
  TWinControl* child = from && from != handle_ ? FindControl(from) : nullptr;
  if (child) {
    m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
    return;
  }
  DefaultHandler(m);
}

void TWinControl::WMSetCursor(TMessage& m) {
  if (reinterpret_cast<HWND>(m.WParam) == handle_ && LOWORD(static_cast<uintptr_t>(m.LParam)) == HTCLIENT) {
    TCursor cursor = Screen->Cursor();
    if (cursor == crDefault) {
      POINT p;
      GetCursorPos(&p);
      TControl* child = ControlAtPos(ScreenToClient(p), false);
      cursor = child ? child->Cursor() : Cursor();
    }
    if (cursor != crDefault) {
      win::SetCursor(Screen->Cursors(cursor));
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
  HDC dc = reinterpret_cast<HDC>(m.WParam);
  // With double buffering the erase BeginPaint asks for is left out: it
  // happens in the buffer. Erasing into a DC someone else passes goes on.
  if (doubleBuffered_ && beginPainting_) {
    m.Result = 1;
    return;
  }
  if (!dc) return;
  // The classic look has no themed parents to show through: a control
  // asking for its parent's background still erases with its own brush,
  // so its colour (and the opaque children that share it) stays its own.
  // A control that wants to be see-through draws its parent itself.
  RECT r = ClientRect();
  FillRect(dc, &r, brush_->Handle());
  m.Result = 1;
}

void TWinControl::WMPaint(TMessage& m) {
  if (m.WParam) {
    PaintHandler(reinterpret_cast<HDC>(m.WParam));
    return;
  }
  if (!handle_) return;
  // A standard control of a system class paints itself, unless graphic
  // children or a buffer need the paint done here.
  if (!doubleBuffered_ && controls_.empty() && defWndProc_ != &DefWindowProcA) {
    DefaultHandler(m);
    return;
  }
  PAINTSTRUCT ps;
  beginPainting_ = true;
  HDC dc = BeginPaint(handle_, &ps);
  beginPainting_ = false;
  if (doubleBuffered_) {
    RECT cr;
    GetClientRect(handle_, &cr);
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, std::max(1, static_cast<int>(cr.right)), std::max(1, static_cast<int>(cr.bottom)));
    HGDIOBJ old = SelectObject(mem, bmp);
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem), 0);
    PaintHandler(mem);
    BitBlt(dc, 0, 0, cr.right, cr.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  } else {
    PaintHandler(dc);
  }
  EndPaint(handle_, &ps);
}

void TWinControl::PaintHandler(HDC dc) {
  bool opaqueChildren = false;
  for (TControl* c : controls_)
    if (c->Visible() && c->ControlStyle().Contains(csOpaque)) opaqueChildren = true;
  if (opaqueChildren) {
    // The window does not paint under opaque graphic children.
    const int saved = SaveDC(dc);
    for (TControl* c : controls_) {
      if (!c->Visible() || !c->ControlStyle().Contains(csOpaque)) continue;
      const TRect r = c->BoundsRect();
      ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
    }
    PaintWindow(dc);
    RestoreDC(dc, saved);
  } else {
    PaintWindow(dc);
  }
  PaintControls(dc, nullptr);
}

void TWinControl::PaintWindow(HDC dc) {
  // Our own window classes draw nothing of their own; a subclassed system
  // control paints into the DC it is given.
  if (defWndProc_ != &DefWindowProcA && handle_)
    CallWindowProcA(defWndProc_, handle_, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  bool started = first == nullptr;
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (!started) {
      if (c != first) continue;
      started = true;
    }
    if (!c->Visible() || c->painting_ > 0) continue;
    const TRect r = c->BoundsRect();
    if (!RectVisible(dc, &r)) continue;
    const int saved = SaveDC(dc);
    POINT org{};
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + c->Left(), org.y + c->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, c->Width(), c->Height());
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

// ---- TCustomControl ----

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() {
  BeginDestruction();
  canvas_->FreeHandle();
}

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->PaintOn(dc, painting_, [this] { Paint(); });
}

}  // namespace forms
