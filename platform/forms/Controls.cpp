// TControl: bounds, alignment requests, the inherited properties (colour,
// font, hint), text, mouse input and capture, and the control lookups that
// mouse tracking needs.
#include "platform/forms/Controls.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/forms/Actions.h"
#include "platform/forms/Forms.h"
#include "platform/win/Dc.h"
#include "platform/win/Input.h"
#include "platform/win/Paint.h"

namespace forms {

using namespace win;

namespace {

TControl* g_mouseControl = nullptr;
TControl* g_captureControl = nullptr;
TPopupMenuHandler g_popupHandler;

// WindowProc's initial value; its type lets IsOwnWindowProc recognise it.
struct OwnWndProc {
  TControl* control;
  void operator()(TMessage& m) const { control->WndProc(m); }
};

bool PtIn(const TRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

TShiftState MouseShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(ssShift);
  if (keys & MK_CONTROL) s.Include(ssCtrl);
  if (keys & MK_LBUTTON) s.Include(ssLeft);
  if (keys & MK_RBUTTON) s.Include(ssRight);
  if (keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyDataToShiftState(LPARAM keyData) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (keyData & 0x20000000) s.Include(ssAlt);
  return s;
}

TShiftState CurrentShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  if (GetKeyState(VK_LBUTTON) < 0) s.Include(ssLeft);
  if (GetKeyState(VK_RBUTTON) < 0) s.Include(ssRight);
  if (GetKeyState(VK_MBUTTON) < 0) s.Include(ssMiddle);
  return s;
}

TPopupMenuHandler SetPopupMenuHandler(TPopupMenuHandler handler) {
  return std::exchange(g_popupHandler, std::move(handler));
}

TControl* MouseControl() { return g_mouseControl; }
TControl* CaptureControl() {
  if (g_captureControl) return g_captureControl;
  // A window captured by a direct SetCapture is its control's.
  return FindControl(GetCapture());
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
  HWND hwnd = WindowFromPoint(screenPos);
  TWinControl* control = nullptr;
  while (hwnd && !(control = FindControl(hwnd))) hwnd = GetParent(hwnd);
  if (!control) return nullptr;
  TControl* child = control->ControlAtPos(control->ScreenToClient(screenPos), allowDisabled);
  return child ? child : control;
}

// Sends CM_MOUSELEAVE to the control the mouse left and CM_MOUSEENTER to
// the one it is over now. Driven by the moves our windows receive, which
// keep coming to the capturing window while the mouse is captured, so the
// pair also arrives then.
void UpdateMouseControl(TPoint screenPos) {
  TControl* target = FindDragTarget(screenPos, true);
  if (target == g_mouseControl) return;
  TControl* old = g_mouseControl;
  g_mouseControl = target;
  if (old) old->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<LPARAM>(old));
  if (target && g_mouseControl == target) target->Perform(CM_MOUSEENTER, 0, reinterpret_cast<LPARAM>(target));
  if (g_mouseControl == target) Application->MouseControlChanged(target);
}

String GetShortHint(const String& hint) {
  const auto bar = hint.find('|');
  return bar == String::npos ? hint : hint.substr(0, bar);
}

String GetLongHint(const String& hint) {
  const auto bar = hint.find('|');
  return bar == String::npos ? hint : hint.substr(bar + 1);
}

// ---- TControl ----

TControl::TControl(TComponent* owner) : TComponent(owner), font_(std::make_unique<TFont>()) {
  WindowProc = OwnWndProc{this};
  controlStyle_ = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  font_->OnChange = [this](TObject* sender) { FontChanged(sender); };
}

TControl::~TControl() {
  BeginDestruction();
  if (g_mouseControl == this) {
    g_mouseControl = nullptr;
    Application->MouseControlChanged(nullptr);
  }
  if (g_captureControl == this) SetMouseCapture(false);
  if (parent_) parent_->RemoveControl(this);
  font_->OnChange = nullptr;
}

bool TControl::IsOwnWindowProc() const {
  const OwnWndProc* own = WindowProc.target<OwnWndProc>();
  return own && own->control == this;
}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  if (WindowProc)
    WindowProc(m);
  else
    WndProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) {
    parent->InsertControl(this);
    // What is inherited from the parent follows it.
    Perform(CM_PARENTCOLORCHANGED, 0, 0);
    Perform(CM_PARENTFONTCHANGED, 0, 0);
    Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
    UpdateAnchorRules();
    RequestAlign();
  }
}

TCustomForm* TControl::GetParentForm() const {
  const TControl* top = this;
  while (top->parent_) top = top->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(top));
}

void TControl::StoreBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  InvalidateControl(true);
  StoreBounds(left, top, width, height);
  InvalidateControl(true);
  if (!anchorMoving_) UpdateAnchorRules();
  if (resized) Resize();
  RequestAlign();
}

void TControl::UpdateAnchorRules() {
  if (!parent_) return;
  anchorBase_ = BoundsRect();
  TRect pc = parent_->ClientRect();
  anchorParentSize_ = {pc.right, pc.bottom};
}

TRect TControl::ClientRect() const { return Rect(0, 0, width_, height_); }

TPoint TControl::ClientOrigin() const {
  if (!parent_) return Point(left_, top_);
  TPoint p = parent_->ClientOrigin();
  return Point(p.x + left_, p.y + top_);
}

TPoint TControl::ClientToScreen(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(TPoint p) const {
  TPoint o = ClientOrigin();
  return Point(p.x - o.x, p.y - o.y);
}

void TControl::SetAlign(TAlign align) {
  if (align_ == align) return;
  TAlign old = align_;
  align_ = align;
  if (parent_ && (old != alNone || align != alNone)) parent_->AlignFor(this);
}

void TControl::SetAnchors(TAnchors anchors) {
  if (anchors_ == anchors) return;
  anchors_ = anchors;
  UpdateAnchorRules();
}

void TControl::RequestAlign() {
  // Even an unaligned control counts: the parent may size itself to it.
  if (parent_) parent_->AlignFor(this);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  InvalidateControl(true);
  Perform(CM_VISIBLECHANGED, visible ? 1 : 0, 0);
  if (parent_) parent_->AlignFor(this);
}

void TControl::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  parentColor_ = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
  if (parentColor_ == v) return;
  parentColor_ = v;
  if (v && parent_) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

void TControl::FontChanged(TObject*) {
  if (!fontFromParent_) parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetParentFont(bool v) {
  if (parentFont_ == v) return;
  parentFont_ = v;
  if (v && parent_) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::SetShowHint(bool v) {
  if (showHint_ == v && !parentShowHint_) return;
  showHint_ = v;
  parentShowHint_ = false;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool v) {
  if (parentShowHint_ == v) return;
  parentShowHint_ = v;
  if (v && parent_) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED, 0, 0);
}

String TControl::GetText() const {
  auto* self = const_cast<TControl*>(this);
  const LRESULT len = self->Perform(WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return String();
  String s(static_cast<size_t>(len) + 1, '\0');
  const LRESULT got = self->Perform(WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(std::max<LRESULT>(0, std::min<LRESULT>(got, len))));
  return s;
}

void TControl::SetText(const String& s) {
  if (GetText() == s) return;
  Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str()));
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (parent_) {
    Perform(CM_PARENTCOLORCHANGED, 0, 0);
    Perform(CM_PARENTFONTCHANGED, 0, 0);
  }
}

void TControl::InvalidateControl(bool erase) {
  if (IsWindowed() || !parent_ || !parent_->HandleAllocated()) return;
  if (!visible_ && !erase) return;
  TRect r = BoundsRect();
  // An opaque control covers its bounds itself, but only where it still is:
  // a place it leaves (moved, shrunk, hidden, removed) has nothing left to
  // paint it but the parent's background, so the caller's erase stands.
  InvalidateRect(parent_->Handle(), &r, erase ? TRUE : FALSE);
}

void TControl::Invalidate() { InvalidateControl(!controlStyle_.Contains(csOpaque)); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  if (IsWindowed()) {
    auto* self = static_cast<TWinControl*>(this);
    auto& list = parent_->winControls_;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    list.push_back(self);
    if (self->HandleAllocated())
      SetWindowPos(self->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.push_back(this);
    InvalidateControl(true);
  }
}

void TControl::SendToBack() {
  if (!parent_) return;
  if (IsWindowed()) {
    auto* self = static_cast<TWinControl*>(this);
    auto& list = parent_->winControls_;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    list.insert(list.begin(), self);
    if (self->HandleAllocated())
      SetWindowPos(self->handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  } else {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    list.insert(list.begin(), this);
    InvalidateControl(true);
  }
}

bool TControl::MouseCapture() const { return CaptureControl() == this; }

void TControl::SetMouseCapture(bool capture) {
  if (capture) {
    HWND hwnd = nullptr;
    if (IsWindowed())
      hwnd = static_cast<TWinControl*>(this)->Handle();
    else if (parent_)
      hwnd = parent_->Handle();
    if (hwnd && GetCapture() != hwnd) SetCapture(hwnd);
    g_captureControl = this;
  } else if (CaptureControl() == this) {
    g_captureControl = nullptr;
    HWND hwnd = nullptr;
    if (IsWindowed())
      hwnd = static_cast<TWinControl*>(this)->handle_;
    else if (parent_)
      hwnd = parent_->handle_;
    if (hwnd && GetCapture() == hwnd) ReleaseCapture();
  }
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  if (!handled) {
    if (wheelDelta < 0 && OnMouseWheelDown) OnMouseWheelDown(this, shift, mousePos, handled);
    if (wheelDelta > 0 && OnMouseWheelUp) OnMouseWheelUp(this, shift, mousePos, handled);
  }
  return handled;
}

void TControl::DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra) {
  if (controlStyle_.Contains(csNoStdEvents)) return;
  MouseDown(button, MouseShiftState(m.WParam) + extra, GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
}

void TControl::DoMouseUp(TMessage& m, TMouseButton button) {
  if (controlStyle_.Contains(csNoStdEvents)) return;
  MouseUp(button, MouseShiftState(m.WParam), GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(true);
      if (controlStyle_.Contains(csClickEvents)) controlState_.Include(csClicked);
      controlState_.Include(csLButtonDown);
      break;
    case WM_LBUTTONUP:
      controlState_.Exclude(csLButtonDown);
      break;
    default:
      break;
  }
  Dispatch(m);
}

void TControl::HandleMouseMessage(TMessage& m) {
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
      DefaultHandler(m);
      DoMouseDown(m, mbLeft, {});
      break;
    case WM_LBUTTONDBLCLK:
      DefaultHandler(m);
      if (controlStyle_.Contains(csDoubleClicks)) {
        DblClick();
        DoMouseDown(m, mbLeft, {ssDouble});
      } else {
        DoMouseDown(m, mbLeft, {});
      }
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      DefaultHandler(m);
      DoMouseDown(m, mbRight, m.Msg == WM_RBUTTONDBLCLK ? TShiftState{ssDouble} : TShiftState{});
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      DefaultHandler(m);
      DoMouseDown(m, mbMiddle, m.Msg == WM_MBUTTONDBLCLK ? TShiftState{ssDouble} : TShiftState{});
      break;
    case WM_LBUTTONUP:
      DefaultHandler(m);
      if (controlStyle_.Contains(csCaptureMouse)) SetMouseCapture(false);
      if (controlState_.Contains(csClicked)) {
        controlState_.Exclude(csClicked);
        if (PtIn(ClientRect(), x, y)) Click();
      }
      DoMouseUp(m, mbLeft);
      break;
    case WM_RBUTTONUP:
      DefaultHandler(m);
      DoMouseUp(m, mbRight);
      break;
    case WM_MBUTTONUP:
      DefaultHandler(m);
      DoMouseUp(m, mbMiddle);
      break;
    case WM_MOUSEMOVE:
      DefaultHandler(m);
      if (!controlStyle_.Contains(csNoStdEvents)) MouseMove(MouseShiftState(m.WParam), x, y);
      break;
    default:
      DefaultHandler(m);
      break;
  }
}

void TControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
      HandleMouseMessage(m);
      return;
    case WM_CONTEXTMENU:
      WMContextMenu(m);
      return;
    case CM_HINTSHOW:
      // The action's shortcut follows the hint, when the application asks.
      if (auto* action = dynamic_cast<TCustomAction*>(Action()); action && m.LParam && Application &&
                                                                 Application->HintShortCuts() && action->ShortCut() != 0) {
        auto* info = reinterpret_cast<THintInfo*>(m.LParam);
        info->HintStr = info->HintStr + " (" + ShortCutToText(action->ShortCut()) + ")";
      }
      DefaultHandler(m);
      return;
    case WM_MOUSEWHEEL:
      if (DoMouseWheel(MouseShiftState(LOWORD(m.WParam)), static_cast<int16_t>(HIWORD(m.WParam)),
                       Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)))) {
        m.Result = 1;
        return;
      }
      DefaultHandler(m);
      return;
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    case CM_ENABLEDCHANGED:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
      Invalidate();
      return;
    case CM_PARENTCOLORCHANGED:
      if (parentColor_ && parent_) {
        SetColor(parent_->Color());
        parentColor_ = true;
      }
      return;
    case CM_PARENTFONTCHANGED:
      if (parentFont_ && parent_) {
        fontFromParent_ = true;
        font_->Assign(parent_->Font());
        fontFromParent_ = false;
      }
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_ && showHint_ != parent_->ShowHint()) {
        showHint_ = parent_->ShowHint();
        Perform(CM_SHOWHINTCHANGED, 0, 0);
      }
      return;
    case CM_HITTEST:
      m.Result = HTCLIENT;
      return;
    default:
      DefaultHandler(m);
      return;
  }
}

void TControl::WMContextMenu(TMessage& m) {
  if (m.Result != 0) return;
  TPoint screen = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
  const bool fromKeyboard = screen.x == -1 && screen.y == -1;
  bool handled = false;
  if (OnContextPopup) OnContextPopup(this, fromKeyboard ? screen : ScreenToClient(screen), handled);
  if (handled) {
    m.Result = 1;
    return;
  }
  if (popupMenu_ && g_popupHandler) {
    if (fromKeyboard) screen = ClientToScreen(Point(0, 0));
    if (g_popupHandler(popupMenu_, this, screen)) {
      m.Result = 1;
      return;
    }
  }
  DefaultHandler(m);
}

void TControl::DefaultHandler(TMessage& m) {
  switch (m.Msg) {
    case WM_SETTEXT:
      text_ = m.LParam ? reinterpret_cast<const char*>(m.LParam) : "";
      m.Result = 1;
      return;
    case WM_GETTEXTLENGTH:
      m.Result = static_cast<LRESULT>(text_.size());
      return;
    case WM_GETTEXT: {
      if (m.WParam == 0 || !m.LParam) {
        m.Result = 0;
        return;
      }
      size_t n = std::min(text_.size(), static_cast<size_t>(m.WParam) - 1);
      std::memcpy(reinterpret_cast<char*>(m.LParam), text_.data(), n);
      reinterpret_cast<char*>(m.LParam)[n] = '\0';
      m.Result = static_cast<LRESULT>(n);
      return;
    }
    default:
      m.Result = 0;
      return;
  }
}

// ---- painting helpers ----

void DrawParentBackground(TControl* control, HDC dc) {
  if (!control || !control->Parent() || !dc) return;
  TWinControl* parent = control->Parent();
  const int saved = SaveDC(dc);
  POINT org{};
  GetViewportOrgEx(dc, &org);
  SetViewportOrgEx(dc, org.x - control->Left(), org.y - control->Top(), nullptr);
  IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);
}

// ---- TControlCanvas ----

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::FreeHandle() {
  if (!ownDC_) return;
  SetHandle(nullptr);
  ReleaseDC(ownWindow_, ownDC_);
  ownDC_ = nullptr;
  ownWindow_ = nullptr;
}

void TControlCanvas::SetPaintDC(HDC dc) {
  if (dc) FreeHandle();
  SetHandle(dc);
}

void TControlCanvas::PaintOn(HDC dc, int& depth, const std::function<void()>& paint) {
  ++depth;
  Lock();
  SetPaintDC(dc);
  struct Restore {
    TControlCanvas* canvas;
    int& depth;
    ~Restore() {
      canvas->SetPaintDC(nullptr);
      canvas->Unlock();
      --depth;
    }
  } restore{this, depth};
  paint();
}

void TControlCanvas::CreateHandle() {
  if (!control_) return;
  if (auto* w = dynamic_cast<TWinControl*>(control_)) {
    ownWindow_ = w->Handle();
    ownDC_ = GetDC(ownWindow_);
  } else if (control_->Parent()) {
    ownWindow_ = control_->Parent()->Handle();
    ownDC_ = GetDC(ownWindow_);
    SetViewportOrgEx(ownDC_, control_->Left(), control_->Top(), nullptr);
    IntersectClipRect(ownDC_, 0, 0, control_->Width(), control_->Height());
  }
  if (ownDC_) SetHandle(ownDC_);
}

// ---- TGraphicControl ----

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() {
  BeginDestruction();
  canvas_->FreeHandle();
}

void TGraphicControl::Dispatch(TMessage& m) {
  if (m.Msg == WM_PAINT) {
    if (!m.WParam) return;
    canvas_->PaintOn(reinterpret_cast<HDC>(m.WParam), painting_, [this] { Paint(); });
    return;
  }
  TControl::Dispatch(m);
}

}  // namespace forms
