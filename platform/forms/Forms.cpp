// Forms: the top-level window's styles from the border settings, first
// placement, showing and hiding with their events, activation and the
// focused control, dialog keys, closing, releasing and modal showing.
#include "platform/forms/Forms.h"

#include <algorithm>

#include "platform/forms/Actions.h"
#include "platform/forms/Dialogs.h"
#include "platform/win/Display.h"
#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Monitors.h"
#include "platform/win/Styles.h"

namespace forms {

using namespace win;

namespace {

struct ModalDisable {
  HWND keep;
  std::vector<HWND> disabled;
};

BOOL DisableOther(HWND hwnd, LPARAM data) {
  auto* ctx = reinterpret_cast<ModalDisable*>(data);
  if (hwnd != ctx->keep && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    ctx->disabled.push_back(hwnd);
  }
  return TRUE;
}

}  // namespace

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner),
      canvas_(std::make_unique<TControlCanvas>(this)),
      icon_(std::make_unique<TIcon>()) {
  controlStyle_ = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  StoreVisible(false);
  StoreBounds(0, 0, 320, 240);
  Screen->AddForm(this);
}

void TCustomForm::BeforeDestruction() {
  if (created_ && !ComponentState().Contains(csDestroying)) {
    Destroying();
    if (OnDestroy) OnDestroy(this);
  }
  TWinControl::BeforeDestruction();
}

TCustomForm::~TCustomForm() {
  if (created_ && !ComponentState().Contains(csDestroying)) {
    Destroying();
    if (OnDestroy) OnDestroy(this);
  }
  BeginDestruction();
  canvas_->FreeHandle();
  Screen->RemoveForm(this);
  if (Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TCustomForm::AfterConstruction() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style &= ~(WS_CHILD | WS_VISIBLE | WS_TABSTOP);
  if (!ParentWindow()) p.WndParent = nullptr;
  DWORD style = 0, ex = 0;
  switch (borderStyle_) {
    case bsNone: style = WS_POPUP; break;
    case bsSingle: style = WS_CAPTION | WS_BORDER; break;
    case bsSizeable: style = WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      style = WS_POPUP | WS_CAPTION;
      ex = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      style = WS_CAPTION;
      ex = WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      style = WS_CAPTION | WS_THICKFRAME;
      ex = WS_EX_TOOLWINDOW;
      break;
  }
  if (borderStyle_ != bsNone && borderIcons_.Contains(biSystemMenu)) {
    style |= WS_SYSMENU;
    const bool boxes = borderStyle_ == bsSingle || borderStyle_ == bsSizeable;
    if (boxes && borderIcons_.Contains(biMinimize)) style |= WS_MINIMIZEBOX;
    if (boxes && borderIcons_.Contains(biMaximize)) style |= WS_MAXIMIZEBOX;
    if (borderIcons_.Contains(biHelp)) ex |= WS_EX_CONTEXTHELP;
  }
  if (formStyle_ == fsStayOnTop) ex |= WS_EX_TOPMOST;
  if (transparentColor_ || alphaBlend_) ex |= WS_EX_LAYERED;
  p.Style |= style;
  p.ExStyle |= ex;
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  ApplyLayered();
  if (Visible() && formState_.Contains(fsVisible)) {
    // A re-created window comes back as the old one was.
    const int cmd = windowState_ == wsMaximized   ? SW_SHOWMAXIMIZED
                    : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                  : SW_SHOWNORMAL;
    ShowWindow(HandleAllocated() ? Handle() : nullptr, cmd);
  }
}

void TCustomForm::ApplyLayered() {
  if (!HandleAllocated()) return;
  HWND h = Handle();
  const LONG_PTR ex = GetWindowLongA(h, GWL_EXSTYLE);
  if (transparentColor_ || alphaBlend_) {
    if (!(ex & WS_EX_LAYERED)) SetWindowLongA(h, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    const DWORD flags = (transparentColor_ ? LWA_COLORKEY : 0) | (alphaBlend_ ? LWA_ALPHA : 0);
    SetLayeredWindowAttributes(h, ColorToRGB(transparentColorValue_), alphaBlend_ ? alphaBlendValue_ : 255, flags);
  } else if (ex & WS_EX_LAYERED) {
    SetWindowLongA(h, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
  }
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (borderStyle_ == style) return;
  borderStyle_ = style;
  if (HandleAllocated()) {
    RecreateWnd();
    Perform(CM_BORDERCHANGED, 0, 0);
  }
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (borderIcons_ == icons) return;
  borderIcons_ = icons;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (formStyle_ == style) return;
  const bool wasTop = formStyle_ == fsStayOnTop;
  formStyle_ = style;
  if (HandleAllocated() && wasTop != (style == fsStayOnTop))
    SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState state) {
  if (windowState_ == state) return;
  windowState_ = state;
  if (HandleAllocated() && Visible())
    ShowWindow(Handle(), state == wsMinimized ? SW_MINIMIZE : state == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::SetAutoSize(bool v) {
  if (autoSize_ == v) return;
  autoSize_ = v;
  if (v) Realign();
}

void TCustomForm::SetTransparentColor(bool v) {
  if (transparentColor_ == v) return;
  transparentColor_ = v;
  ApplyLayered();
}

void TCustomForm::SetTransparentColorValue(TColor c) {
  if (transparentColorValue_ == c) return;
  transparentColorValue_ = c;
  ApplyLayered();
}

void TCustomForm::SetAlphaBlend(bool v) {
  if (alphaBlend_ == v) return;
  alphaBlend_ = v;
  ApplyLayered();
}

void TCustomForm::SetAlphaBlendValue(uint8_t v) {
  if (alphaBlendValue_ == v) return;
  alphaBlendValue_ = v;
  ApplyLayered();
}

void TCustomForm::SetClientWidth(int v) { TWinControl::SetClientWidth(v); }
void TCustomForm::SetClientHeight(int v) { TWinControl::SetClientHeight(v); }

void TCustomForm::AlignControls(TControl* control, TRect& rect) {
  TWinControl::AlignControls(control, rect);
  if (!autoSize_ || sizingToContent_) return;
  int right = 0, bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible() || c->Align() != alNone) continue;
    right = std::max(right, c->Left() + c->Width());
    bottom = std::max(bottom, c->Top() + c->Height());
  }
  if (right == 0 && bottom == 0) return;
  sizingToContent_ = true;
  try {
    if (ClientWidth() != right) SetClientWidth(right);
    if (ClientHeight() != bottom) SetClientHeight(bottom);
  } catch (...) {
    sizingToContent_ = false;
    throw;
  }
  sizingToContent_ = false;
}

void TCustomForm::PlaceOnFirstShow() {
  placed_ = true;
  TCustomForm* center = nullptr;
  switch (position_) {
    case poMainFormCenter:
      center = Application->MainForm();
      break;
    case poOwnerFormCenter:
      center = dynamic_cast<TCustomForm*>(Owner());
      if (!center) center = Application->MainForm();
      break;
    case poScreenCenter:
    case poDesktopCenter:
      break;
    default:
      return;
  }
  if (center == this || (center && !center->Visible())) center = nullptr;
  TRect area = Screen->WorkAreaRect();
  int left, top;
  if (center) {
    const TRect b = center->BoundsRect();
    left = b.left + (b.right - b.left - Width()) / 2;
    top = b.top + (b.bottom - b.top - Height()) / 2;
  } else {
    left = (Screen->Width() - Width()) / 2;
    top = (Screen->Height() - Height()) / 2;
  }
  // A centred form keeps its top-left corner on the work area.
  left = std::max(static_cast<int>(area.left), std::min(left, static_cast<int>(area.right) - Width()));
  top = std::max(static_cast<int>(area.top), std::min(top, static_cast<int>(area.bottom) - Height()));
  SetBounds(left, top, Width(), Height());
}

void TCustomForm::Show() {
  AfterConstruction();
  SetVisible(true);
  BringToFront();
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::UpdateVisible() {
  if (Visible()) {
    if (!placed_) PlaceOnFirstShow();
    HWND h = Handle();
    formState_.Include(fsShowing);
    DoShow();
    formState_.Exclude(fsShowing);
    if (!Visible()) return;  // OnShow hid it again
    const int cmd = windowState_ == wsMaximized   ? SW_SHOWMAXIMIZED
                    : windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                                                  : SW_SHOWNORMAL;
    ShowWindow(h, cmd);
    formState_.Include(fsVisible);
    if (windowState_ != wsMinimized) {
      SetActiveWindow(h);
      if (activeControl_ && activeControl_->CanFocus())
        win::SetFocus(activeControl_->Handle());
      else if (!focusedControl_)
        win::SetFocus(h);
    }
  } else {
    if (!HandleAllocated()) return;
    const bool wasShown = formState_.Contains(fsVisible);
    formState_.Exclude(fsVisible);
    if (wasShown) DoHide();
    ShowWindow(Handle(), SW_HIDE);
  }
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::PaintWindow(HDC dc) {
  canvas_->PaintOn(dc, painting_, [this] { Paint(); });
}

void TCustomForm::BringToFront() {
  if (!HandleAllocated() || !Visible()) return;
  BringWindowToTop(Handle());
}

void TCustomForm::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  HWND h = Handle();
  SetActiveWindow(h);
  if (activeControl_ && activeControl_->CanFocus())
    win::SetFocus(activeControl_->Handle());
  else
    win::SetFocus(h);
}

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (activeControl_ == control) return;
  if (control && (control == this || control->GetParentForm() != this))
    throw EInvalidOperation("Invalid control: it is not on this form");
  activeControl_ = control;
  if (control && Visible() && HandleAllocated() && control->CanFocus()) win::SetFocus(control->Handle());
}

void TCustomForm::FocusControl(TWinControl* control) { SetActiveControl(control); }

bool TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == focusedControl_) return true;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  if (control && control != this) activeControl_ = control;
  if (old && old != this) old->Perform(CM_EXIT, 0, 0);
  if (control && control != this && focusedControl_ == control) control->Perform(CM_ENTER, 0, 0);
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
  return true;
}

void TCustomForm::ControlRemoved(TWinControl* control) {
  if (focusedControl_ && control->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
  if (activeControl_ && control->ContainsControl(activeControl_)) activeControl_ = nullptr;
}

bool TCustomForm::IsShortCut(TMessage& m) {
  bool handled = false;
  if (OnShortCut) OnShortCut(m, handled);
  return handled || DispatchFormShortCut(this, m);
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (formState_.Contains(fsModal)) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  switch (action) {
    case caNone: modalResult_ = mrNone; break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() { PostMessageA(Handle(), CM_RELEASE, 0, 0); }

int TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || formState_.Contains(fsModal) || formStyle_ == fsMDIChild)
    throw EInvalidOperation("Cannot make a visible window modal");
  AfterConstruction();
  if (HWND captured = GetCapture()) {
    SendMessageA(captured, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  formState_.Include(fsModal);
  const HWND activeBefore = GetActiveWindow();
  // Opened from a window that stays on top, the modal window joins it there
  // for the time it is shown; below it, it would hold the program out of
  // sight.
  const bool raised = formStyle_ != fsStayOnTop && activeBefore && IsWindow(activeBefore) &&
                      (GetWindowLongA(activeBefore, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  if (raised) SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ModalDisable ctx{Handle(), {}};
  EnumThreadWindows(GetCurrentThreadId(), &DisableOther, reinterpret_cast<LPARAM>(&ctx));
  auto restore = [&] {
    for (HWND h : ctx.disabled)
      if (IsWindow(h)) EnableWindow(h, TRUE);
    if (HandleAllocated()) Hide();
    if (raised && HandleAllocated())
      SetWindowPos(Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    formState_.Exclude(fsModal);
    if (activeBefore && IsWindow(activeBefore)) SetActiveWindow(activeBefore);
  };
  modalResult_ = mrNone;
  try {
    Show();
    do {
      Application->HandleMessage();
      if (Application->Terminated())
        modalResult_ = mrCancel;
      else if (modalResult_ != mrNone)
        CloseModal();
    } while (modalResult_ == mrNone);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return modalResult_;
}

void TCustomForm::CMDialogKey(TMessage& m) {
  const TShiftState shift = KeyDataToShiftState(m.LParam);
  if (!shift.Contains(ssAlt) && !shift.Contains(ssCtrl)) {
    switch (m.WParam) {
      case VK_TAB:
        SelectNext(activeControl_, !shift.Contains(ssShift), true);
        m.Result = 1;
        return;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (activeControl_ && activeControl_->Parent()) {
          activeControl_->Parent()->SelectNext(activeControl_, m.WParam == VK_RIGHT || m.WParam == VK_DOWN, false);
          m.Result = 1;
          return;
        }
        break;
      default:
        break;
    }
  }
  TWinControl::Dispatch(m);
}

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_VISIBLECHANGED:
      UpdateVisible();
      return;
    case CM_DIALOGKEY:
      CMDialogKey(m);
      return;
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case CM_RELEASE:
      Free();
      return;
    case WM_ACTIVATE:
      TWinControl::Dispatch(m);
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        active_ = true;
        Screen->SetActiveForm(this);
        if (activeControl_ && activeControl_->CanFocus() && !activeControl_->Focused())
          win::SetFocus(activeControl_->Handle());
        Activate();
      } else {
        active_ = false;
        Deactivate();
      }
      return;
    case WM_ACTIVATEAPP:
      TWinControl::Dispatch(m);
      Application->ActivateChanged(m.WParam != 0);
      return;
    case WM_SIZE:
      switch (m.WParam) {
        case SIZE_MINIMIZED: windowState_ = wsMinimized; break;
        case SIZE_MAXIMIZED: windowState_ = wsMaximized; break;
        case SIZE_RESTORED: windowState_ = wsNormal; break;
        default: break;
      }
      TWinControl::Dispatch(m);
      return;
    default:
      TWinControl::Dispatch(m);
      return;
  }
}

// ---- TScreen ----

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}

TScreen::~TScreen() = default;

TFont* TScreen::HintFont() const {
  if (!hintFont_) hintFont_ = std::make_unique<TFont>();
  return hintFont_.get();
}

TFont* TScreen::MenuFont() const {
  if (!menuFont_) menuFont_ = std::make_unique<TFont>();
  return menuFont_.get();
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  if (cursor != crDefault) {
    win::SetCursor(Cursors(cursor));
    return;
  }
  // Back to the default: the window under the mouse chooses again.
  POINT p;
  GetCursorPos(&p);
  HWND under = WindowFromPoint(p);
  if (!under || !SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                              MAKELPARAM(static_cast<WORD>(HTCLIENT), static_cast<WORD>(WM_MOUSEMOVE))))
    win::SetCursor(Cursors(crArrow));
}

HCURSOR TScreen::Cursors(TCursor index) const {
  if (auto it = cursors_.find(index); it != cursors_.end()) return it->second;
  uintptr_t id = IDC_ARROW;
  switch (index) {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS:
    case crVSplit: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE:
    case crHSplit: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass:
    case crSQLWait: id = IDC_WAIT; break;
    case crNoDrop:
    case crNo: id = IDC_NO; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: id = IDC_ARROW; break;
  }
  return LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
}

void TScreen::SetCursors(TCursor index, HCURSOR cursor) {
  if (cursor)
    cursors_[index] = cursor;
  else
    cursors_.erase(index);
}

TCustomForm* TScreen::Forms(int index) const {
  if (index < 0 || index >= FormCount())
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  return forms_[static_cast<size_t>(index)];
}

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (activeForm_ == form) SetActiveForm(nullptr);
}

void TScreen::SetActiveForm(TCustomForm* form) {
  if (activeForm_ == form) return;
  activeForm_ = form;
  if (form) {
    // The active form moves to the front of the list.
    forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
    forms_.insert(forms_.begin(), form);
  }
  if (OnActiveFormChange) OnActiveFormChange(this);
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }
int TScreen::MonitorCount() const { return static_cast<int>(GetMonitorLayout().size()); }

TMonitor TScreen::Monitors(int index) const {
  const auto layout = GetMonitorLayout();
  if (index < 0 || index >= static_cast<int>(layout.size()))
    throw rtl::EListError("List index out of bounds (" + std::to_string(index) + ")");
  TMonitor m;
  m.num_ = index;
  m.bounds_ = layout[static_cast<size_t>(index)].monitor;
  m.work_ = layout[static_cast<size_t>(index)].work;
  m.handle_ = MonitorFromPoint(Point(m.bounds_.left, m.bounds_.top), MONITOR_DEFAULTTOPRIMARY);
  return m;
}

TMonitor TScreen::MonitorFromWindow(HWND hwnd) const {
  HMONITOR h = win::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
  for (int i = 0; i < MonitorCount(); ++i) {
    TMonitor m = Monitors(i);
    if (m.handle_ == h) return m;
  }
  return Monitors(0);
}

TRect TScreen::WorkAreaRect() const {
  RECT r{};
  SystemParametersInfo(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

}  // namespace forms
