#pragma once
// Forms, the application object and the screen: top-level windows with
// their border, position and transparency settings, closing and modal
// showing, the message loop with idle handlers and the default exception
// handler, and what the program asks about the display.
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/win/Messages.h"

namespace forms {

class TMainMenu;

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = SetOf<TBorderIcon>;
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormStateItem { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = SetOf<TFormStateItem>;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;
using TShortCutEvent = std::function<void(TMessage& Msg, bool& Handled)>;

class TCustomForm : public TWinControl {
public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;
  void BeforeDestruction() override;

  // Runs OnCreate once, after the constructors of the derived form have
  // built its controls. CreateForm calls it; Show and ShowModal call it for
  // forms created otherwise.
  void AfterConstruction();

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool v) { autoScroll_ = v; }
  // The client area grows or shrinks to hold the visible children.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }

  // Pixels of the key colour show what is behind the form.
  bool TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(bool v);
  TColor TransparentColorValue() const { return transparentColorValue_; }
  void SetTransparentColorValue(TColor c);
  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v);
  uint8_t AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(uint8_t v);

  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  // The windowed control that has the focus on this form.
  TWinControl* FocusedControl() const { return focusedControl_; }
  // Told by a control of this form that it got the focus; false refuses.
  bool SetFocusedControl(TWinControl* control);
  void FocusControl(TWinControl* control);
  bool Active() const { return active_; }

  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  TFormState FormState() const { return formState_; }

  TCanvas* Canvas() const { return canvas_.get(); }
  TIcon* Icon() const { return icon_.get(); }
  TMainMenu* Menu() const { return menu_; }
  void SetMenu(TMainMenu* menu) { menu_ = menu; }

  void Show() override;
  void Hide() override;
  int ShowModal();
  void Close();
  bool CloseQuery();
  // Frees the form once the messages now queued have been handled.
  void Release();
  void BringToFront();

  void SetFocus() override;
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;

  // Menu shortcuts and actions; answering true keeps the key from the
  // form's controls and OnKeyDown.
  virtual bool IsShortCut(TMessage& m);

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TShortCutEvent OnShortCut;

  void Dispatch(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void PaintWindow(win::HDC dc) override;
  void AlignControls(TControl* control, TRect& rect) override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Paint();
  virtual void Activate();
  virtual void Deactivate();

private:
  friend class TWinControl;
  friend class TApplication;
  void UpdateVisible();
  void PlaceOnFirstShow();
  void ApplyLayered();
  void CloseModal();
  void CMDialogKey(TMessage& m);
  // Forgets the focused and active control when they are inside `control`.
  void ControlRemoved(TWinControl* control);

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  TWindowState windowState_ = wsNormal;
  bool autoScroll_ = false;
  bool autoSize_ = false;
  bool keyPreview_ = false;
  bool transparentColor_ = false;
  TColor transparentColorValue_ = clBlack;
  bool alphaBlend_ = false;
  uint8_t alphaBlendValue_ = 255;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool active_ = false;
  TModalResult modalResult_ = mrNone;
  TFormState formState_;
  std::unique_ptr<TControlCanvas> canvas_;
  std::unique_ptr<TIcon> icon_;
  TMainMenu* menu_ = nullptr;
  bool created_ = false;
  bool placed_ = false;
  bool sizingToContent_ = false;
};

class TForm : public TCustomForm {
public:
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;
using TMessageEvent = std::function<void(win::MSG& Msg, bool& Handled)>;
// A hook on the application window's messages; true when handled.
using TWindowHook = std::function<bool(TMessage& Message)>;

class TApplication : public TComponent {
public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize();
  // Makes a form owned by the application, stores it in `reference`
  // before its OnCreate runs; the first form made is the main form.
  template <class T>
  void CreateForm(T*& reference) {
    T* form = new T(this);
    reference = form;
    form->AfterConstruction();
    if (!mainForm_) mainForm_ = form;
  }
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Handles every message waiting, without idling.
  void ProcessMessages();
  // Handles one message, or idles (and waits for one) when there is none.
  void HandleMessage();

  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  bool ShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool v) { showMainForm_ = v; }
  // The hidden application window (messages posted to the program).
  win::HWND Handle();
  const String& Title() const { return title_; }
  void SetTitle(const String& title);
  const String& ExeName() const { return exeName_; }
  bool Active() const;

  void Minimize();
  void Restore();
  void BringToFront();

  // Idle work: OnIdle and then every added handler; Done false from any
  // of them keeps the loop from waiting.
  TIdleEvent OnIdle;
  int AddIdleHandler(TIdleEvent handler);
  void RemoveIdleHandler(int id);

  TExceptionEvent OnException;
  TMessageEvent OnMessage;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  // Call from a catch block: EAbort is silent; others go to OnException,
  // or to ShowException.
  void HandleException(TObject* sender);
  // The default: a message box titled with the Title showing the message.
  void ShowException(const std::exception& e);
  // A message box owned by the active form (MB_ flags, ID answers).
  int MessageBox(const String& text, const String& caption, win::UINT flags = 0);

  // Hooks see the application window's messages first, newest last.
  int HookMainWindow(TWindowHook hook);
  void UnhookMainWindow(int id);

  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool v) { showHint_ = v; }
  int HintPause() const { return hintPause_; }
  void SetHintPause(int ms) { hintPause_ = ms; }
  int HintShortPause() const { return hintShortPause_; }
  void SetHintShortPause(int ms) { hintShortPause_ = ms; }
  int HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int ms) { hintHidePause_ = ms; }
  TColor HintColor() const { return hintColor_; }
  void SetHintColor(TColor c) { hintColor_ = c; }
  // A control linked to an action with a shortcut shows "hint (shortcut)".
  bool HintShortCuts() const { return hintShortCuts_; }
  void SetHintShortCuts(bool v) { hintShortCuts_ = v; }
  // The long part of the hint of the control under the mouse.
  const String& Hint() const { return hint_; }
  void SetHint(const String& hint);
  TNotifyEvent OnHint;
  // Hints: HintPause after the mouse settles on a control with ShowHint
  // and a hint, the control gets CM_HINTSHOW (non-zero refuses), then
  // OnShowHint, then the hint window shows for the HideTimeout.
  using TShowHintEvent = std::function<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;
  TShowHintEvent OnShowHint;
  // Where the hint window plugs in: shown with the final hint record,
  // hidden when the time is up or the mouse moves on.
  std::function<void(const THintInfo& info)> ShowHintWindow;
  std::function<void()> HideHintWindow;
  bool HintShowing() const { return hintShowing_; }
  // Hides the hint; none comes back until the mouse moves to another
  // control.
  void CancelHint();
  // Told by the controls when the mouse moves to another control.
  void MouseControlChanged(TControl* control);

private:
  friend class TCustomForm;
  bool ProcessMessage(win::MSG& msg);
  void Idle();
  void ActivateChanged(bool active);
  void ActivateHint();
  void HideHint();
  void StartHintTimer(int ms);
  void StopHintTimer();
  static win::LRESULT AppWndProc(win::HWND hwnd, win::UINT msg, win::WPARAM wParam, win::LPARAM lParam);

  TCustomForm* mainForm_ = nullptr;
  bool showMainForm_ = true;
  bool terminated_ = false;
  bool appActive_ = false;
  win::HWND handle_ = nullptr;
  String title_;
  String exeName_;
  std::vector<std::pair<int, TIdleEvent>> idleHandlers_;
  int nextIdleId_ = 1;
  std::vector<std::pair<int, TWindowHook>> hooks_;
  int nextHookId_ = 1;
  bool showHint_ = true;
  int hintPause_ = 500;
  int hintShortPause_ = 50;
  int hintHidePause_ = 2500;
  TColor hintColor_ = clInfoBk;
  bool hintShortCuts_ = true;
  String hint_;
  TControl* hintControl_ = nullptr;
  bool hintShowing_ = false;
  bool hintTimer_ = false;
};

class TMonitor {
public:
  win::HMONITOR Handle() const { return handle_; }
  int MonitorNum() const { return num_; }
  TRect BoundsRect() const { return bounds_; }
  TRect WorkareaRect() const { return work_; }
  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.right - bounds_.left; }
  int Height() const { return bounds_.bottom - bounds_.top; }
  bool Primary() const { return num_ == 0; }

private:
  friend class TScreen;
  win::HMONITOR handle_{};
  int num_ = 0;
  TRect bounds_{};
  TRect work_{};
};

class TScreen : public TComponent {
public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  // crDefault lets every control show its own cursor.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The cursor handle for a cursor number: the standard ones built in,
  // others registered with SetCursors.
  win::HCURSOR Cursors(TCursor index) const;
  void SetCursors(TCursor index, win::HCURSOR cursor);

  int FormCount() const { return static_cast<int>(forms_.size()); }
  TCustomForm* Forms(int index) const;
  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeForm_ ? activeForm_->ActiveControl() : nullptr; }

  int Width() const;
  int Height() const;
  int MonitorCount() const;
  TMonitor Monitors(int index) const;
  TMonitor MonitorFromWindow(win::HWND hwnd) const;
  // The primary monitor's work area.
  TRect WorkAreaRect() const;
  int WorkAreaLeft() const { return WorkAreaRect().left; }
  int WorkAreaTop() const { return WorkAreaRect().top; }
  int WorkAreaWidth() const { return WorkAreaRect().right - WorkAreaRect().left; }
  int WorkAreaHeight() const { return WorkAreaRect().bottom - WorkAreaRect().top; }
  TFont* HintFont() const;
  TFont* MenuFont() const;
  int PixelsPerInch() const { return 96; }

  TNotifyEvent OnActiveFormChange;

private:
  friend class TCustomForm;
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void SetActiveForm(TCustomForm* form);

  TCursor cursor_ = crDefault;
  std::map<TCursor, win::HCURSOR> cursors_;
  std::vector<TCustomForm*> forms_;
  TCustomForm* activeForm_ = nullptr;
  mutable std::unique_ptr<TFont> hintFont_;
  mutable std::unique_ptr<TFont> menuFont_;
};

// The program's application object and screen, made at start-up.
extern TApplication* Application;
extern TScreen* Screen;

}  // namespace forms
