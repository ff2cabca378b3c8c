#pragma once
// Message dialogs: forms built in code with an icon, the message and a row
// of buttons laid out in dialog units of the dialog's font, plus the input
// query and the message box made the same way. Every one of them is shown
// through a replaceable presenter, so tests read the form and answer it
// without a display; the default presenter shows the form modally.
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"

namespace forms {

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = SetOf<TMsgDlgBtn>;
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline constexpr TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};
inline constexpr TMsgDlgButtons mbAbortIgnore{mbAbort, mbIgnore};

// The dialog form: "Image" (a TImage with the icon), "Message" (a
// word-wrapped TLabel) and one TButton per button, named after it ("Yes", "No", "OK", "Cancel", "Abort", "Retry",
// "Ignore", "All", "NoToAll", "YesToAll", "Help").
class TMessageForm : public TForm {
public:
  explicit TMessageForm(TComponent* owner);
  // The dialog base units of the form's font: the average width of the
  // letters and the text height.
  TPoint DialogUnits();
};

// Built and not shown; the caller frees it. Buttons come in the fixed
// order above, the first of OK, Yes is the default button (else the first
// button), Cancel, No, OK the cancel button.
TMessageForm* CreateMessageDialog(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons);
// Answers the modal result of the button that closed the dialog.
int MessageDlg(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx);
// As MessageDlg, at (x, y) when both are not negative, else centred.
int MessageDlgPos(const String& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx, int x, int y);
void ShowMessage(const String& msg);
// The prompt ("Prompt", a TLabel) above an edit ("Edit", a TEdit) holding
// `value`, with OK and Cancel: true and the new text in `value` on OK.
bool InputQuery(const String& caption, const String& prompt, String& value);
String InputBox(const String& caption, const String& prompt, const String& defaultValue);

// Shows a built dialog and answers its modal result.
class TDialogPresenter {
public:
  virtual ~TDialogPresenter() = default;
  virtual int ShowDialog(TCustomForm* dialog) = 0;
};
// Installs a presenter (not owned); null restores the modal one.
void SetDialogPresenter(TDialogPresenter* presenter);
TDialogPresenter* DialogPresenter();

class ScopedDialogPresenter {
public:
  explicit ScopedDialogPresenter(TDialogPresenter* p) : previous_(DialogPresenter()) { SetDialogPresenter(p); }
  ~ScopedDialogPresenter() { SetDialogPresenter(previous_); }
  ScopedDialogPresenter(const ScopedDialogPresenter&) = delete;
  ScopedDialogPresenter& operator=(const ScopedDialogPresenter&) = delete;

private:
  TDialogPresenter* previous_;
};

// A message box as a form: the buttons of the MB_ type in the box's own
// order, the icon of the MB_ICON flags, the default of MB_DEFBUTTON.
TMessageForm* CreateMessageBoxDialog(const String& text, const String& caption, win::UINT flags);
// Makes MessageBox show CreateMessageBoxDialog's form through the dialog
// presenter (with the beep of its icon) instead of answering silently.
void InstallMessageBoxDialogs();

}  // namespace forms
