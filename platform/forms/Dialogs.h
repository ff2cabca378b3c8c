#pragma once
// Message boxes go through a replaceable presenter: the program's default
// one shows them, tests install their own to read what would be shown and
// answer it without a display.
#include "platform/rtl/Types.h"
#include "platform/win/Sound.h"
#include "platform/win/Types.h"

namespace forms {

using rtl::String;
using win::MB_ICONASTERISK;
using win::MB_ICONERROR;
using win::MB_ICONEXCLAMATION;
using win::MB_ICONHAND;
using win::MB_ICONINFORMATION;
using win::MB_ICONQUESTION;
using win::MB_ICONWARNING;
using win::MB_OK;

// clang-format off
inline constexpr win::UINT MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
    MB_RETRYCANCEL = 0x5, MB_TYPEMASK = 0xF, MB_ICONMASK = 0xF0, MB_ICONSTOP = 0x10, MB_DEFBUTTON1 = 0x0,
    MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200, MB_DEFMASK = 0xF00, MB_APPLMODAL = 0x0,
    MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000, MB_SETFOREGROUND = 0x10000, MB_TOPMOST = 0x40000;
inline constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;
// clang-format on

class TMessageBoxPresenter {
public:
  virtual ~TMessageBoxPresenter() = default;
  // Shows the box and answers the id of the button chosen (IDOK...).
  virtual int MessageBox(win::HWND owner, const String& text, const String& caption, win::UINT flags) = 0;
};

// Installs a presenter (not owned); null restores the default one, which
// answers the box's default button without showing anything until the
// dialog presenter is installed.
void SetMessageBoxPresenter(TMessageBoxPresenter* presenter);
TMessageBoxPresenter* MessageBoxPresenter();

// The button a box answers when nobody is there to choose: the default
// button given by the MB_DEFBUTTON flags among the box's buttons.
int DefaultMessageBoxAnswer(win::UINT flags);

int MessageBox(win::HWND owner, const String& text, const String& caption, win::UINT flags);

// Restores the previous presenter when it goes out of scope.
class ScopedMessageBoxPresenter {
public:
  explicit ScopedMessageBoxPresenter(TMessageBoxPresenter* presenter) : previous_(MessageBoxPresenter()) {
    SetMessageBoxPresenter(presenter);
  }
  ~ScopedMessageBoxPresenter() { SetMessageBoxPresenter(previous_); }
  ScopedMessageBoxPresenter(const ScopedMessageBoxPresenter&) = delete;
  ScopedMessageBoxPresenter& operator=(const ScopedMessageBoxPresenter&) = delete;

private:
  TMessageBoxPresenter* previous_;
};

}  // namespace forms
