#pragma once
// The main window's side of the mail and upload workers' reports: the
// handlers of WM_MAILSTATUS, WM_FTPSTATUS and WM_SHOWERRORHINT, and the
// senders' helper for hint texts.
//
// The workers create no windows; they send these messages to the main
// window and wait until they are handled. The main window owns one
// TWorkerStatus and hands the three messages to Dispatch.
//
// Hint texts: the settings record has a single HintText slot that the GUI
// thread and both workers write. Two workers failing at the same moment
// would overwrite each other's text before the main window reads it, losing
// one hint and showing the other twice. Senders therefore go through
// ShowErrorHint, which queues the text with its message; the handler takes
// the queued texts in order and falls back on HintText only for a message
// sent without one.
#include <cstdint>

#include "app/Globals.h"
#include "platform/forms/Controls.h"
#include "platform/win/Types.h"

namespace forms {
class TComponent;
class TTimer;
}  // namespace forms

namespace app {

class TfrmHint;
class TfrmWaiting;

inline constexpr win::UINT WM_MAILSTATUS = 0x0400 + 3;     // WParam: the mail run's step, 0..6
inline constexpr win::UINT WM_FTPSTATUS = 0x0400 + 4;      // WParam: the upload run's step, 0..4
inline constexpr win::UINT WM_SHOWERRORHINT = 0x0400 + 5;  // no parameters

// Steps of a mail run.
enum TMailStep : int32_t {
  msBegin = 0,
  msFailed = 1,
  msSent = 2,
  msEnd = 3,
  msConnecting = 4,
  msConnected = 5,
  msSending = 6,
};
// Steps of an upload run.
enum TFtpStep : int32_t { fsBegin = 0, fsConnected = 1, fsConnectFailed = 2, fsEnd = 3, fsStatusChanged = 4 };

// From any thread: puts `text` into HintText (the last hint shown) and
// queues it for the hint window, then sends WM_SHOWERRORHINT to
// `mainWindow` and returns once the hint window shows it. A text meant for
// the hint window ends with a carriage return, as the language texts do.
void ShowErrorHint(win::HWND mainWindow, const String& text);

class TWorkerStatus {
public:
  // `mainWindow` owns the upload progress window; `hint` is the hint
  // window made at start-up; `timerSendEmail` is the main window's mail
  // timer (either may be null and set later).
  TWorkerStatus(forms::TComponent* mainWindow, TfrmHint* hint, forms::TTimer* timerSendEmail,
                TGlobalVars& globals = GlobalVars());
  // Frees a mail progress window still open (it has no owner); the upload
  // window goes with the main window. A window freed elsewhere first (at
  // the program's end) is forgotten when it goes.
  ~TWorkerStatus();
  TWorkerStatus(const TWorkerStatus&) = delete;
  TWorkerStatus& operator=(const TWorkerStatus&) = delete;

  void SetHintWindow(TfrmHint* hint) { hint_ = hint; }
  void SetMailTimer(forms::TTimer* timer) { timerSendEmail_ = timer; }

  // Handles WM_MAILSTATUS, WM_FTPSTATUS and WM_SHOWERRORHINT (Result 0)
  // and answers true; any other message is left alone (false).
  bool Dispatch(forms::TMessage& message);

  void WMMailStatus(int32_t step);
  void WMFtpStatus(int32_t step);
  void WMShowErrorHint();

  // The open progress windows, or null.
  TfrmWaiting* MailWaitingWindow() const { return mailWaitingWindow_; }
  TfrmWaiting* FtpWaitingWindow() const { return ftpWaitingWindow_; }

private:
  void SetMailCaption(const String& text);
  TfrmWaiting* NewWaitingWindow(forms::TComponent* owner, TfrmWaiting*& slot);

  forms::TComponent* mainWindow_;
  TfrmHint* hint_;
  forms::TTimer* timerSendEmail_;
  TGlobalVars& globals_;
  TfrmWaiting* mailWaitingWindow_ = nullptr;
  TfrmWaiting* ftpWaitingWindow_ = nullptr;
};

}  // namespace app
