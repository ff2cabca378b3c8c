#include "controls/uc/UcForms.h"

#include "controls/uc/UcSysUtils.h"
#include "platform/rtl/Text.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace controls {

namespace {

// The wide text while its 8-bit form still matches the 8-bit value, else
// the 8-bit value (someone changed it through the class library).
WideString ReadSynced(const WideString& wide, const rtl::String& ansi) {
  return rtl::WideToAnsi(wide) == ansi ? wide : rtl::AnsiToWide(ansi);
}

win::HHOOK g_hook = nullptr;

win::LRESULT GetMessageHook(int code, win::WPARAM wParam, win::LPARAM lParam) {
  if (code >= 0 && wParam == win::PM_REMOVE && lParam) {
    auto* msg = reinterpret_cast<win::MSG*>(lParam);
    if (msg->message == win::WM_CHAR && msg->wParam > 0xFF && msg->hwnd && win::IsWindowUnicode(msg->hwnd)) {
      // The class library's loop is 8-bit: it offers the message to the
      // application's message event and dispatches it as 8-bit. Do both
      // here with the wide dispatch and leave it a null message.
      bool handled = false;
      if (forms::Application) {
        if (forms::Application->OnMessage) forms::Application->OnMessage(*msg, handled);
        forms::Application->CancelHint();
      }
      if (!handled) win::DispatchMessageW(msg);
      msg->message = win::WM_NULL;
    }
  }
  return win::CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

void TUcForm::SetCaption(const WideString& caption) {
  caption_ = caption;
  forms::TForm::SetCaption(rtl::WideToAnsi(caption));
  if (HandleAllocated()) win::SetWindowTextW(Handle(), caption_.c_str());
}

void TUcForm::SetHint(const WideString& hint) {
  hint_ = hint;
  forms::TForm::SetHint(rtl::WideToAnsi(hint));
}

TUcApplication::TUcApplication() : forms::TComponent(nullptr) {}

WideString TUcApplication::Title() const {
  return forms::Application ? ReadSynced(title_, forms::Application->Title()) : title_;
}

void TUcApplication::SetTitle(const WideString& title) {
  title_ = title;
  if (forms::Application) forms::Application->SetTitle(rtl::WideToAnsi(title));
}

WideString TUcApplication::Hint() const {
  return forms::Application ? ReadSynced(hint_, forms::Application->Hint()) : hint_;
}

void TUcApplication::SetHint(const WideString& hint) {
  hint_ = hint;
  if (forms::Application) forms::Application->SetHint(rtl::WideToAnsi(hint));
}

TUcApplication* UcApplication() {
  static TUcApplication application;
  return &application;
}

void InstallUcMessageHook() {
  if (g_hook || !IsUnicodePlatform()) return;
  g_hook = win::SetWindowsHookExW(win::WH_GETMESSAGE, &GetMessageHook, nullptr, win::GetCurrentThreadId());
  if (!g_hook) RaiseLastOSError();
}

void RemoveUcMessageHook() {
  if (!g_hook) return;
  const win::HHOOK hook = g_hook;
  g_hook = nullptr;
  if (!win::UnhookWindowsHookEx(hook)) RaiseLastOSError();
}

}  // namespace controls
