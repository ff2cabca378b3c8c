#pragma once
// Controls: the visual components. TControl carries bounds, alignment,
// colour, font, text and the mouse events and is painted by its parent
// (TGraphicControl); TWinControl owns a window of its own, created on
// demand, whose messages reach the replaceable WindowProc, then WndProc,
// then Dispatch to the message handlers, and last DefaultHandler (the
// window class's own procedure).
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/forms/Components.h"
#include "platform/forms/ControlMessages.h"
#include "platform/forms/Graphics.h"
#include "platform/win/Messages.h"
#include "platform/win/Types.h"
#include "platform/win/Window.h"

namespace forms {

class TWinControl;
class TCustomForm;
class TPopupMenu;
class TBasicAction;
class TActionLink;

struct TMessage {
  win::UINT Msg = 0;
  win::WPARAM WParam = 0;
  win::LPARAM LParam = 0;
  win::LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage& message)>;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = SetOf<TAnchorKind>;

enum TControlStyleItem {
  csAcceptsControls,
  csCaptureMouse,
  csDesignInteractive,
  csClickEvents,
  csFramed,
  csSetCaption,
  csOpaque,
  csDoubleClicks,
  csFixedWidth,
  csFixedHeight,
  csNoDesignVisible,
  csReplicatable,
  csNoStdEvents,
  csDisplayDragImage,
  csReflector,
  csActionClient,
  csMenuEvents,
  csNeedsBorderPaint,
  csParentBackground
};
using TControlStyle = SetOf<TControlStyleItem>;

enum TControlStateItem {
  csLButtonDown,
  csClicked,
  csPalette,
  csReadingState,
  csAlignmentNeeded,
  csFocusing,
  csCreating,
  csPaintCopy,
  csCustomPaint,
  csDestroyingHandle,
  csDocking
};
using TControlState = SetOf<TControlStateItem>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = SetOf<TShiftStateItem>;

using TCursor = int16_t;
// clang-format off
inline constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
    crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11,
    crDrag = -12, crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17,
    crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22, crSize = -22;
// clang-format on

using TModalResult = int;
// clang-format off
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
    mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;
// clang-format on

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = std::function<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
// WheelDelta in WHEEL_DELTA steps (120 a notch, positive away from the
// user); MousePos in screen coordinates.
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = std::function<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
// MousePos is in client coordinates, (-1, -1) when the keyboard asked.
using TContextPopupEvent = std::function<void(TObject* Sender, TPoint MousePos, bool& Handled)>;

// The shift state carried by mouse messages' wParam (plus Alt, which they
// do not carry) and by key messages' lParam.
TShiftState MouseShiftState(win::WPARAM keys);
TShiftState KeyDataToShiftState(win::LPARAM keyData);
TShiftState CurrentShiftState();

struct TCreateParams {
  String Caption;
  win::DWORD Style = 0;
  win::DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  win::HWND WndParent{};
  void* Param = nullptr;
  win::WNDCLASSA WindowClass;
  String WinClassName;
};

struct THintWindowClassInfo;
// What CM_HINTSHOW carries (LParam points to it); handlers may change it.
// HintWindowClass is the kind of hint window that shows it (HintWindow.h).
struct THintInfo {
  class TControl* HintControl = nullptr;
  const THintWindowClassInfo* HintWindowClass = nullptr;
  TPoint HintPos;
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;
  TPoint CursorPos;
  int ReshowTimeout = 0;
  int HideTimeout = 0;
  String HintStr;
  void* HintData = nullptr;
};

class TControl : public TComponent {
public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The form the control sits on (walking up the parents), or null.
  TCustomForm* GetParentForm() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  virtual TRect ClientRect() const;
  int ClientWidth() const { return ClientRect().right; }
  int ClientHeight() const { return ClientRect().bottom; }
  virtual void SetClientWidth(int v) { SetWidth(width_ - ClientWidth() + v); }
  virtual void SetClientHeight(int v) { SetHeight(height_ - ClientHeight() + v); }
  // The screen position of the client area's origin.
  virtual TPoint ClientOrigin() const;
  TPoint ClientToScreen(TPoint p) const;
  TPoint ScreenToClient(TPoint p) const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  virtual void Show() { SetVisible(true); }
  virtual void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool v);
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* font) { font_->Assign(font); }
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool v);

  String Caption() const { return GetText(); }
  void SetCaption(const String& s) { SetText(s); }
  String Text() const { return GetText(); }
  // Fires CM_TEXTCHANGED only when the text differs.
  void SetText(const String& s);
  virtual String GetText() const;
  int GetTextLen() const { return static_cast<int>(GetText().size()); }

  const String& Hint() const { return hint_; }
  void SetHint(const String& s) { hint_ = s; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }
  // The linked action's Caption, Enabled, Hint and Visible show on the
  // control; a click runs the action when the control has no OnClick.
  TBasicAction* Action() const;
  void SetAction(TBasicAction* action);

  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState state) { controlState_ = state; }

  // Replaceable: whoever replaces it keeps the old value and calls it for
  // what it does not handle itself.
  TWndMethod WindowProc;
  // True while WindowProc is still the control's own WndProc.
  bool IsOwnWindowProc() const;
  win::LRESULT Perform(win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  virtual void WndProc(TMessage& message);
  // The message handlers: derived classes handle their messages and pass
  // the rest to the base class's Dispatch, which ends in DefaultHandler.
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  virtual void Invalidate();
  void Repaint();
  virtual void Update();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  // The control's part of the parent's window is marked for painting;
  // with `erase` the parent's background is painted there first.
  void InvalidateControl(bool erase);

  bool MouseCapture() const;
  void SetMouseCapture(bool capture);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;
  TMouseWheelEvent OnMouseWheel;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  TMouseWheelUpDownEvent OnMouseWheelDown;

  virtual void Click();
  virtual void DblClick();

  // Re-reads the anchored distances to the parent's edges (after a move
  // made by code).
  void UpdateAnchorRules();

protected:
  friend class TWinControl;

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // OnMouseWheel, then OnMouseWheelUp or Down; true when handled (the
  // parent gets the wheel otherwise).
  virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
  virtual void Resize();
  virtual void RequestAlign();
  void Loaded() override;
  virtual bool IsWindowed() const { return false; }

  // Bounds stored without side effects (the window told us where it is).
  void StoreBounds(int left, int top, int width, int height);
  void SetTextField(const String& s) { text_ = s; }
  void StoreVisible(bool v) { visible_ = v; }
  const String& TextField() const { return text_; }

  TControlStyle controlStyle_;
  TControlState controlState_;

private:
  void FontChanged(TObject*);
  void DoMouseDown(TMessage& m, TMouseButton button, TShiftState extra);
  void DoMouseUp(TMessage& m, TMouseButton button);
  void HandleMouseMessage(TMessage& m);
  void WMContextMenu(TMessage& m);

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TRect anchorBase_{};
  TSize anchorParentSize_{};
  bool anchorMoving_ = false;
  bool visible_ = true;
  bool enabled_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  bool fontFromParent_ = false;
  String text_;
  String hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  // Shared so that the link's type may stay unknown here.
  std::shared_ptr<TActionLink> actionLink_;

protected:
  // Non-zero while the control paints itself; a parent painting its
  // graphic children behind it then leaves it out.
  int painting_ = 0;
};

// A control with a window of its own.
class TWinControl : public TControl {
public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // Created on first use (the parent's window first).
  win::HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // A window to be the parent of this control's window without a parent
  // control (hosting in a foreign window).
  win::HWND ParentWindow() const { return parentWindow_; }
  void SetParentWindow(win::HWND hwnd);
  void RecreateWnd();

  int ControlCount() const { return static_cast<int>(controls_.size() + winControls_.size()); }
  // Graphic controls first, then windowed ones, each in insertion order.
  TControl* Controls(int index) const;
  // The child under a client point, graphic controls first; disabled
  // ones only when asked.
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls = false) const;
  bool ContainsControl(const TControl* control) const;
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);

  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  void SetBounds(int left, int top, int width, int height) override;
  String GetText() const override;

  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  void Realign();
  // The brush of the control's Color: the background erase fills with it
  // and the reflected CN_CTLCOLOR* messages answer it.
  TBrush* Brush() const { return brush_.get(); }
  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool v) { doubleBuffered_ = v; }

  int TabOrder() const;
  void SetTabOrder(int order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  // The windowed children in tab order, recursively, that can take focus.
  void GetTabOrderList(std::vector<TWinControl*>& list);
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent);
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  // Sends the message to every child until one answers non-zero.
  void Broadcast(TMessage& message);
  // Sends the message to every child.
  void NotifyControls(win::UINT msg);

  // Paints the window and its graphic children into `dc`.
  void PaintHandler(win::HDC dc);
  // Paints the graphic children (from `first` on, all when null).
  void PaintControls(win::HDC dc, TControl* first);

  void Invalidate() override;
  void Update() override;
  void SetEnabled(bool enabled) override;

  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void WndProc(TMessage& message) override;

  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // The class procedure of the windows the class library makes: the first
  // message hands the window to CreationControl().
  static win::LRESULT InitWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  // The window procedure of a control's window after the hand-over.
  static win::LRESULT StdWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);
  // The procedure the control's messages default to (the window class's).
  win::WNDPROC DefWndProc() const { return defWndProc_; }
  void SetDefWndProc(win::WNDPROC proc) { defWndProc_ = proc; }

protected:
  friend class TControl;
  friend class TCustomForm;

  virtual void CreateParams(TCreateParams& params);
  // Replaces the window class by a system class the control subclasses.
  void CreateSubClass(TCreateParams& params, const char* className);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  virtual void DestroyWnd();
  virtual void CreateHandle();
  void DestroyHandle();
  virtual void PaintWindow(win::HDC dc);
  virtual void AlignControls(TControl* control, TRect& rect);
  virtual void AdjustClientRect(TRect& rect) const;
  virtual bool IsWindowed() const override { return true; }

  // Key handling steps; each answers true when the key was consumed.
  bool DoKeyDown(TMessage& m);
  bool DoKeyPress(TMessage& m);
  bool DoKeyUp(TMessage& m);
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  virtual void KeyPress(char& key);
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  // Menu shortcuts and actions get a key before anyone else.
  virtual bool IsMenuKey(TMessage& m);

  virtual void DoEnter();
  virtual void DoExit();

  void UpdateBounds();

private:
  // Realigns the children; `control` is the one asking, which wins ties
  // of position with controls on the same edge.
  void AlignFor(TControl* control);
  void WMPaint(TMessage& m);
  void WMEraseBkgnd(TMessage& m);
  void WMSetCursor(TMessage& m);
  void WMCommandReflect(TMessage& m);
  // Owner drawing and WM_NOTIFY, to the child they speak for, as CN_ messages.
  void WMOwnerReflect(TMessage& m);
  bool IsControlMouseMsg(TMessage& m);
  void CMDialogKey(TMessage& m);
  void CMFocusChanged(TMessage& m);

  win::HWND handle_ = nullptr;
  win::HWND parentWindow_ = nullptr;
  std::unique_ptr<TBrush> brush_;
  win::WNDPROC defWndProc_ = nullptr;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> winControls_;
  std::vector<TWinControl*> tabList_;
  int alignDisabled_ = 0;
  bool alignPending_ = false;
  bool aligning_ = false;
  bool doubleBuffered_ = false;
  bool tabStop_ = false;
  bool recreating_ = false;
  bool beginPainting_ = false;
};

// A canvas drawing on a control: its own window's DC, or the parent's
// clipped to the control for graphic controls. While the control paints,
// the canvas draws on the paint DC instead.
class TControlCanvas : public TCanvas {
public:
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;
  TControl* Control() const { return control_; }
  void FreeHandle();
  // Draws on `dc` (the paint DC) until called again with null.
  void SetPaintDC(win::HDC dc);
  // Runs `paint` with the canvas locked and drawing on `dc`, counting it in
  // `depth`; the canvas is handed back even when `paint` throws.
  void PaintOn(win::HDC dc, int& depth, const std::function<void()>& paint);

protected:
  void CreateHandle() override;

private:
  TControl* control_;
  win::HDC ownDC_ = nullptr;
  win::HWND ownWindow_ = nullptr;
};

// A control without a window, painted into its parent's DC.
class TGraphicControl : public TControl {
public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  void Dispatch(TMessage& message) override;

protected:
  virtual void Paint() {}

private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A windowed control that paints itself through its Canvas.
class TCustomControl : public TWinControl {
public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

protected:
  virtual void Paint() {}
  void PaintWindow(win::HDC dc) override;

private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A hint's two parts are split by '|': the short one shows in the hint
// window, the long one goes to Application->Hint (a status bar).
String GetShortHint(const String& hint);
String GetLongHint(const String& hint);

// Pops a control's PopupMenu up at a screen point; answers true when it
// did. The menus install it.
using TPopupMenuHandler = std::function<bool(TPopupMenu* menu, TControl* control, TPoint screenPos)>;
// Answers the handler it replaces.
TPopupMenuHandler SetPopupMenuHandler(TPopupMenuHandler handler);

// The control of a window made by the class library, or null.
TWinControl* FindControl(win::HWND hwnd);
// The control (windowed or graphic) under a screen point.
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);
// The control the mouse was last seen over (it got CM_MOUSEENTER).
TControl* MouseControl();
// Moves the mouse control to what is under `screenPos`, sending
// CM_MOUSELEAVE and CM_MOUSEENTER when it changes.
void UpdateMouseControl(TPoint screenPos);
// The graphic or windowed control holding the mouse, if any.
TControl* CaptureControl();
// Paints what `control`'s parent shows behind the control into `dc`: the
// parent's background and its graphic children, at the control's offset.
void DrawParentBackground(TControl* control, win::HDC dc);

// The module instance the class library registers its window classes with.
win::HINSTANCE HInstance();
// The windowed control whose window is being created on this thread; the
// first message to the new window takes it.
TWinControl*& CreationControl();
// The names of the window properties that lead from a window to its
// control ("ControlOfs" + instance + thread id) and to its procedure.
String ControlAtomName();
String WindowAtomName();
win::ATOM ControlAtom();
win::ATOM WindowAtom();

}  // namespace forms
