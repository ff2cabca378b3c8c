#include "app/WorkerStatus.h"

#include <deque>
#include <mutex>

#include "app/FormWaiting.h"
#include "app/ResStr.h"
#include "app/frmErrorHint.h"
#include "platform/forms/Timers.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

namespace app {

using namespace forms;

namespace {

// Hint texts waiting for their WM_SHOWERRORHINT, oldest first. Each sender
// queues its text before sending and the handler takes one per message, so
// every text is shown once and in the order the senders queued them.
std::mutex g_hintLock;
std::deque<String> g_pendingHints;

bool TakePendingHint(String& text) {
  std::lock_guard lock(g_hintLock);
  if (g_pendingHints.empty()) return false;
  text = std::move(g_pendingHints.front());
  g_pendingHints.pop_front();
  return true;
}

}  // namespace

void ShowErrorHint(win::HWND mainWindow, const String& text) {
  {
    TGlobalVars& g = GlobalVars();
    std::lock_guard lock(g.SharedLock);
    g.HintText = text;
  }
  // A window that is gone handles nothing; a text queued for it would
  // stand in for a later message's own.
  if (!win::IsWindow(mainWindow)) return;
  {
    std::lock_guard lock(g_hintLock);
    g_pendingHints.push_back(text);
  }
  // No lock is held across the send: the handler takes both.
  win::SendMessageA(mainWindow, WM_SHOWERRORHINT, 0, 0);
}

TWorkerStatus::TWorkerStatus(TComponent* mainWindow, TfrmHint* hint, TTimer* timerSendEmail, TGlobalVars& globals)
    : mainWindow_(mainWindow), hint_(hint), timerSendEmail_(timerSendEmail), globals_(globals) {}

TWorkerStatus::~TWorkerStatus() {
  if (ftpWaitingWindow_) ftpWaitingWindow_->OnDestroy = nullptr;
  if (mailWaitingWindow_) {
    mailWaitingWindow_->OnDestroy = nullptr;
    delete mailWaitingWindow_;
  }
}

TfrmWaiting* TWorkerStatus::NewWaitingWindow(TComponent* owner, TfrmWaiting*& slot) {
  auto* window = new TfrmWaiting(owner);
  window->AfterConstruction();
  // Whoever frees the window (its owner, the program's end), the slot
  // forgets it then.
  window->OnDestroy = [&slot, window](TObject*) {
    if (slot == window) slot = nullptr;
  };
  slot = window;
  return window;
}

bool TWorkerStatus::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_MAILSTATUS: WMMailStatus(static_cast<int32_t>(message.WParam)); break;
    case WM_FTPSTATUS: WMFtpStatus(static_cast<int32_t>(message.WParam)); break;
    case WM_SHOWERRORHINT: WMShowErrorHint(); break;
    default: return false;
  }
  message.Result = 0;
  return true;
}

void TWorkerStatus::SetMailCaption(const String& text) {
  if (mailWaitingWindow_) mailWaitingWindow_->pnlWaiting()->SetCaption(text);
}

void TWorkerStatus::WMMailStatus(int32_t step) {
  switch (step) {
    case msBegin:
      // Each run has its own window, without owner, freed when the run ends.
      if (!mailWaitingWindow_) NewWaitingWindow(nullptr, mailWaitingWindow_);
      mailWaitingWindow_->pnlWaiting()->SetCaption(IDS_MOTIONDETECTION_SENDINGEMAIL);
      mailWaitingWindow_->SetTop(Screen->Height() - 2 * mailWaitingWindow_->Height() - 30);
      mailWaitingWindow_->Show();
      break;
    case msFailed:
      SetMailCaption(IDS_MOTIONDETECTION_SENDMAILFAIL);
      {
        std::lock_guard lock(globals_.SharedLock);
        globals_.bSendEmail = false;
      }
      if (timerSendEmail_) timerSendEmail_->SetEnabled(false);
      break;
    case msSent: SetMailCaption(IDS_MOTIONDETECTION_SENDSUCCESS); break;
    case msEnd:
      if (mailWaitingWindow_) {
        TfrmWaiting* window = mailWaitingWindow_;
        mailWaitingWindow_ = nullptr;
        window->OnDestroy = nullptr;
        window->Close();
        window->Release();
      }
      break;
    case msConnecting: SetMailCaption(IDS_MOTIONDETECTION_CONNECTINGSERVER); break;
    case msConnected: SetMailCaption(IDS_MOTIONDETECTION_CONNECTINGSUCCESSFUL); break;
    case msSending: SetMailCaption(IDS_MOTIONDETECTION_SENDINGEMAIL); break;
    default: break;
  }
}

void TWorkerStatus::WMFtpStatus(int32_t step) {
  if (step == fsBegin) {
    // One window for the whole run of the program, hidden between runs.
    if (!ftpWaitingWindow_) NewWaitingWindow(mainWindow_, ftpWaitingWindow_);
    String status;
    {
      std::lock_guard lock(globals_.SharedLock);
      status = globals_.FtpStatusText;
    }
    ftpWaitingWindow_->pnlWaiting()->SetCaption(status);
    ftpWaitingWindow_->lblFTPinfo()->SetVisible(true);
    ftpWaitingWindow_->SetTop(Screen->Height() - 3 * ftpWaitingWindow_->Height() - 30);
    ftpWaitingWindow_->Show();
    return;
  }
  if (!ftpWaitingWindow_) return;
  switch (step) {
    case fsConnected: ftpWaitingWindow_->pnlWaiting()->SetCaption(IDS_MOTIONDETECTION_CONNECTINGSUCCESSFUL); break;
    case fsConnectFailed: ftpWaitingWindow_->pnlWaiting()->SetCaption(IDS_MOTIONDETECTION_FTPCONNECTFAIL); break;
    case fsEnd: ftpWaitingWindow_->Close(); break;
    case fsStatusChanged: {
      String status, speed;
      {
        std::lock_guard lock(globals_.SharedLock);
        status = globals_.FtpStatusText;
        speed = globals_.FtpSpeedText;
      }
      ftpWaitingWindow_->pnlWaiting()->SetCaption("FTP:  " + status);
      ftpWaitingWindow_->lblFTPinfo()->SetCaption(speed);
      break;
    }
    default: break;
  }
}

void TWorkerStatus::WMShowErrorHint() {
  String text;
  if (!TakePendingHint(text)) {
    // Sent the plain way: the text is the one in the settings record.
    std::lock_guard lock(globals_.SharedLock);
    text = globals_.HintText;
  }
  if (hint_) hint_->ShowHintText(text);
}

}  // namespace app
