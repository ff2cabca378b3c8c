// The application object: the hidden application window, the message loop
// with OnMessage and the idle handlers, the default exception handler, and
// minimising and restoring the program.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HintWindow.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Input.h"
#include "platform/win/Metrics.h"
#include "platform/win/Styles.h"

namespace forms {

using namespace win;

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);

namespace {

constexpr UINT_PTR kHintTimer = 1;

String ProgramName() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return String();
  return String(buf, static_cast<size_t>(n));
}

// Calls queued for the main thread run from its message loop; the message
// only wakes the loop.
std::mutex g_runnerLock;
std::function<void()> g_runner;

}  // namespace

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  exeName_ = ProgramName();
  String base = exeName_.substr(exeName_.find_last_of('/') + 1);
  if (auto dot = base.rfind('.'); dot != String::npos && dot > 0) base.erase(dot);
  title_ = base;
}

TApplication::~TApplication() {
  if (handle_ && IsWindow(handle_)) DestroyWindow(handle_);
}

LRESULT TApplication::AppWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TApplication* app = Application;
  if (!app || app->handle_ != hwnd) return DefWindowProcA(hwnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, 0};
  try {
    for (auto& [id, hook] : std::vector<std::pair<int, TWindowHook>>(app->hooks_))
      if (hook(m)) return m.Result;
    switch (msg) {
      case WM_CLOSE:
        if (app->mainForm_) app->mainForm_->Close();
        return 0;
      case WM_TIMER:
        if (wParam == kHintTimer) {
          app->StopHintTimer();
          if (app->hintShowing_)
            app->HideHint();
          else
            app->ActivateHint();
          return 0;
        }
        break;
      case WM_NULL: {
        std::function<void()> runner;
        {
          std::lock_guard lock(g_runnerLock);
          runner = std::move(g_runner);
          g_runner = nullptr;
        }
        if (runner) runner();
        return 0;
      }
      default:
        break;
    }
  } catch (...) {
    app->HandleException(app);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND TApplication::Handle() {
  if (handle_ && IsWindow(handle_)) return handle_;
  static const char* kClass = "TApplication";
  WNDCLASSA wc;
  if (!GetClassInfoA(HInstance(), kClass, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = &TApplication::AppWndProc;
    wc.hInstance = HInstance();
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
  }
  handle_ = CreateWindowExA(WS_EX_TOOLWINDOW, kClass, title_.c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 0,
                            0, nullptr, nullptr, HInstance(), nullptr);
  return handle_;
}

void TApplication::Initialize() {
  Handle();
  // Worker threads' Synchronize calls come in through the message loop.
  rtl::SetMainThreadHook([](std::function<void()> runner) {
    {
      std::lock_guard lock(g_runnerLock);
      g_runner = std::move(runner);
    }
    if (Application && Application->handle_) PostMessageA(Application->handle_, WM_NULL, 0, 0);
  });
}

void TApplication::SetTitle(const String& title) {
  title_ = title;
  if (handle_) SetWindowTextA(handle_, title.c_str());
}

bool TApplication::Active() const {
  HWND active = GetActiveWindow();
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->HandleAllocated() && f->Handle() == active) return true;
  }
  return false;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (!handled) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

void TApplication::ProcessMessages() {
  MSG msg;
  for (;;) {
    try {
      if (!ProcessMessage(msg)) break;
    } catch (...) {
      HandleException(this);
    }
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  bool got = false;
  try {
    got = ProcessMessage(msg);
  } catch (...) {
    HandleException(this);
    return;
  }
  if (!got) Idle();
}

void TApplication::Idle() {
  bool done = true;
  try {
    if (OnIdle) OnIdle(this, done);
    for (auto& [id, handler] : std::vector<std::pair<int, TIdleEvent>>(idleHandlers_)) {
      bool handlerDone = true;
      handler(this, handlerDone);
      done = done && handlerDone;
    }
  } catch (...) {
    HandleException(this);
  }
  if (done) WaitMessage();
}

int TApplication::AddIdleHandler(TIdleEvent handler) {
  const int id = nextIdleId_++;
  idleHandlers_.emplace_back(id, std::move(handler));
  return id;
}

void TApplication::RemoveIdleHandler(int id) {
  std::erase_if(idleHandlers_, [id](const auto& entry) { return entry.first == id; });
}

int TApplication::HookMainWindow(TWindowHook hook) {
  const int id = nextHookId_++;
  hooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::UnhookMainWindow(int id) {
  std::erase_if(hooks_, [id](const auto& entry) { return entry.first == id; });
}

void TApplication::Run() {
  if (mainForm_ && showMainForm_) mainForm_->Show();
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(TObject* sender) {
  std::exception_ptr ep = std::current_exception();
  if (!ep) return;
  try {
    std::rethrow_exception(ep);
  } catch (const rtl::EAbort&) {
    // Silent by design.
  } catch (const std::exception& e) {
    if (OnException)
      OnException(sender, e);
    else
      ShowException(e);
  } catch (...) {
    rtl::Exception unknown("Unknown exception");
    if (OnException)
      OnException(sender, unknown);
    else
      ShowException(unknown);
  }
}

void TApplication::ShowException(const std::exception& e) {
  HWND owner = nullptr;
  if (Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated()) owner = Screen->ActiveForm()->Handle();
  forms::MessageBox(owner, e.what(), title_, MB_OK | MB_ICONSTOP);
}

void TApplication::Minimize() {
  if (mainForm_ && mainForm_->HandleAllocated()) ShowWindow(mainForm_->Handle(), SW_MINIMIZE);
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (mainForm_ && mainForm_->HandleAllocated() && IsIconic(mainForm_->Handle()))
    ShowWindow(mainForm_->Handle(), SW_RESTORE);
  if (OnRestore) OnRestore(this);
}

void TApplication::BringToFront() {
  TCustomForm* form = Screen->ActiveForm() ? Screen->ActiveForm() : mainForm_;
  if (!form || !form->HandleAllocated() || !form->Visible()) return;
  SetForegroundWindow(form->Handle());
  BringWindowToTop(form->Handle());
}

void TApplication::ActivateChanged(bool active) {
  // Every top-level window hears of it; the program is told once.
  if (appActive_ == active) return;
  appActive_ = active;
  if (active && OnActivate) OnActivate(this);
  if (!active && OnDeactivate) OnDeactivate(this);
}

void TApplication::StartHintTimer(int ms) {
  StopHintTimer();
  hintTimer_ = SetTimer(Handle(), kHintTimer, static_cast<UINT>(std::max(1, ms)), nullptr) != 0;
}

void TApplication::StopHintTimer() {
  if (hintTimer_ && handle_) KillTimer(handle_, kHintTimer);
  hintTimer_ = false;
}

void TApplication::MouseControlChanged(TControl* control) {
  if (hintShowing_) HideHint();
  StopHintTimer();
  hintControl_ = control;
  SetHint(control ? GetLongHint(control->Hint()) : String());
  if (control && showHint_ && control->ShowHint() && !control->Hint().empty()) StartHintTimer(hintPause_);
}

void TApplication::CancelHint() {
  if (hintShowing_) HideHint();
  StopHintTimer();
}

void TApplication::ActivateHint() {
  TControl* control = hintControl_;
  if (!control) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  THintInfo info;
  info.HintControl = control;
  info.HintWindowClass = &THintWindow::ClassInfo;
  info.CursorPos = control->ScreenToClient(cursor);
  info.CursorRect = control->ClientRect();
  info.HintPos = Point(cursor.x, cursor.y + GetSystemMetrics(SM_CYCURSOR) / 2 + 4);
  info.HintMaxWidth = Screen->Width();
  info.HintColor = hintColor_;
  info.HintStr = GetShortHint(control->Hint());
  info.HideTimeout = hintHidePause_;
  bool canShow = control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) == 0;
  if (canShow && OnShowHint) OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  hintShowing_ = true;
  if (ShowHintWindow) ShowHintWindow(info);
  if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout);
}

void TApplication::HideHint() {
  hintShowing_ = false;
  if (HideHintWindow) HideHintWindow();
}

void TApplication::SetHint(const String& hint) {
  if (hint_ == hint) return;
  hint_ = hint;
  if (OnHint) OnHint(this);
}

}  // namespace forms
