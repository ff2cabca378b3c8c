#include "app/AlarmWorkers.h"

#include <chrono>

#include "app/MailHandoff.h"
#include "app/ResStr.h"
#include "app/WorkerStatus.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Timers.h"
#include "platform/rtl/Threads.h"
#include "platform/win/Messages.h"

namespace app {

namespace {

std::vector<std::string> Lines(const rtl::TStrings* list) {
  std::vector<std::string> lines;
  if (list)
    for (int32_t i = 0; i < list->Count(); ++i) lines.push_back(list->Get(i));
  return lines;
}

// Paths are compared exactly: two pictures whose names differ only in case
// are two pictures.
int32_t IndexOfPath(const rtl::TStrings* list, const std::string& path) {
  if (list)
    for (int32_t i = 0; i < list->Count(); ++i)
      if (list->Get(i) == path) return i;
  return -1;
}

}  // namespace

TAlarmWorkerHost::TAlarmWorkerHost(forms::TWinControl* mainWindow, forms::TTimer* mailTimer,
                                   forms::TTimer* uploadTimer, TGlobalVars& globals)
    : mainWindow_(mainWindow), mailTimer_(mailTimer), uploadTimer_(uploadTimer), g_(globals) {}

void TAlarmWorkerHost::Prepare() {
  Texts t{IDS_MOTIONDETECTION_MAILBODYHINT,    IDS_MOTIONDETECTION_SENDMAILFAIL,
          IDS_MOTIONDETECTION_CONNECTSERVERFAIL, IDS_MOTIONDETECTION_MAILDELETEFAIL,
          IDS_MOTIONDETECTION_FTPCONNECTFAIL,  IDS_MOTIONDETECTION_FTPUPLOADFAIL,
          IDS_MOTIONDETECTION_FTPFOLDERFAIL,   IDS_MOTIONDETECTION_FTPDELETEFAIL};
  const win::HWND window = mainWindow_ ? mainWindow_->Handle() : win::HWND{};
  std::lock_guard lock(mutex_);
  texts_ = std::move(t);
  window_ = window;
}

void TAlarmWorkerHost::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
}

bool TAlarmWorkerHost::Closed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

template <class F>
bool TAlarmWorkerHost::WithRecord(F&& change) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  std::lock_guard record(g_.SharedLock);
  change();
  return true;
}

void TAlarmWorkerHost::OnGuiThread(const std::function<void()>& action) {
  // Checked again on the GUI thread: the window may have closed the host
  // while the call waited for its turn.
  auto guarded = [this, &action] {
    if (!Closed()) action();
  };
  if (rtl::IsMainThread()) {
    guarded();
    return;
  }
  if (Closed()) return;
  rtl::TThread::Synchronize(nullptr, guarded);
}

void TAlarmWorkerHost::Send(uint32_t msg, int32_t wParam) {
  win::HWND window;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    window = window_;
  }
  // No lock is held across the send: the window's handler takes the
  // record's lock itself.
  if (window) win::SendMessageA(window, msg, static_cast<win::WPARAM>(wParam), 0);
}

alarms::TAlarmMailSettings TAlarmWorkerHost::MailSettings() {
  alarms::TAlarmMailSettings s;
  {
    std::lock_guard lock(mutex_);
    s.MailBodyHint = texts_.MailBodyHint;
    s.SendMailFail = texts_.SendMailFail;
    s.ConnectServerFail = texts_.ConnectServerFail;
    s.DeleteFail = texts_.MailDeleteFail;
  }
  WithRecord([&] {
    s.SendPictureOrOnlyHint = g_.SendPictureOrOnlyHint;
    s.bDefaultSend = g_.bDefaultSend;
    s.EmailSendPictureNum = g_.EmailSendPictureNum;
    s.SendToAddress = g_.Mail.SendToAddress;
    s.CCAddress = g_.Mail.CCAddress;
    s.BccAddress = g_.Mail.BccAddress;
    s.subject = g_.Mail.subject;
    s.body = g_.Mail.body;
    s.SMTPHost = g_.Mail.SMTPHost;
    s.SMTPPort = g_.Mail.SMTPPort;
    s.SendFromAddress = g_.Mail.SendFromAddress;
    s.UserName = g_.Mail.UserName;
    s.Pasword = g_.Mail.Pasword;
    s.bSMTPIdentity = g_.Mail.bSMTPIdentity;
  });
  return s;
}

bool TAlarmWorkerHost::TakeMailIdle() {
  bool taken = false;
  WithRecord([&] {
    taken = g_.MailIdle;
    g_.MailIdle = false;
  });
  return taken;
}

void TAlarmWorkerHost::SetMailIdle() {
  WithRecord([&] { g_.MailIdle = true; });
}

std::vector<std::string> TAlarmWorkerHost::MailQueue() {
  std::vector<std::string> queue;
  WithRecord([&] { queue = Lines(g_.MailQueue.get()); });
  return queue;
}

void TAlarmWorkerHost::RemoveFromMailQueue(const std::string& path) {
  WithRecord([&] {
    if (const int32_t i = IndexOfPath(g_.MailQueue.get(), path); i >= 0) g_.MailQueue->Delete(i);
  });
}

std::vector<std::string> TAlarmWorkerHost::AlarmTimes() {
  std::vector<std::string> times;
  WithRecord([&] { times = Lines(g_.AlarmTimes.get()); });
  return times;
}

void TAlarmWorkerHost::RemoveAlarmTimes(size_t count) {
  WithRecord([&] {
    for (size_t i = 0; i < count && g_.AlarmTimes && g_.AlarmTimes->Count() > 0; ++i) g_.AlarmTimes->Delete(0);
  });
}

std::string TAlarmWorkerHost::MailLogText() {
  std::string text;
  WithRecord([&] { text = g_.MailLogText; });
  return text;
}

void TAlarmWorkerHost::ConsumeMailLogText(const std::string& sent) {
  WithRecord([&] {
    if (!sent.empty() && g_.MailLogText.compare(0, sent.size(), sent) == 0) g_.MailLogText.erase(0, sent.size());
  });
}

void TAlarmWorkerHost::SwitchSendEmailOff() {
  OnGuiThread([this] {
    {
      std::lock_guard record(g_.SharedLock);
      g_.bSendEmail = false;
    }
    if (mailTimer_) mailTimer_->SetEnabled(false);
  });
}

void TAlarmWorkerHost::StopMailTimer() {
  OnGuiThread([this] {
    if (mailTimer_) mailTimer_->SetEnabled(false);
  });
}

void TAlarmWorkerHost::MailStatus(int32_t step) { Send(WM_MAILSTATUS, step); }

void TAlarmWorkerHost::ShowHint(const std::string& text) {
  win::HWND window;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    window = window_;
  }
  ShowErrorHint(window, text);
}

int32_t TAlarmWorkerHost::SendMailByMapi(const alarms::TMailList& list) {
  if (Closed()) return MAIL_SEND_FAILED;
  rtl::TStringList lines;
  for (const auto& [name, value] : list) lines.Add(name + "=" + value);
  return app::SendMailByMapi(win::HWND{}, lines);
}

alarms::TAlarmFtpSettings TAlarmWorkerHost::FtpSettings() {
  alarms::TAlarmFtpSettings s;
  {
    std::lock_guard lock(mutex_);
    s.FtpConnectFail = texts_.FtpConnectFail;
    s.UploadFail = texts_.UploadFail;
    s.FolderFail = texts_.FolderFail;
    s.DeleteFail = texts_.FtpDeleteFail;
  }
  const bool open = WithRecord([&] {
    s.FTPHostAddress = g_.Ftp.FTPHostAddress;
    s.FTPPort = g_.Ftp.FTPPort;
    s.FTPUserName = g_.Ftp.FTPUserName;
    s.FTPPassword = g_.Ftp.FTPPassword;
    s.FTPFolder = g_.Ftp.FTPFolder;
  });
  // A run that began as the program closed reaches no server.
  if (!open) s.FTPHostAddress.clear();
  return s;
}

bool TAlarmWorkerHost::TakeUploadBusy() {
  bool taken = false;
  WithRecord([&] {
    if (g_.UploadBusy || !g_.UploadQueue || g_.UploadQueue->Count() == 0) return;
    g_.UploadBusy = true;
    taken = true;
  });
  return taken;
}

void TAlarmWorkerHost::ClearUploadBusy() {
  WithRecord([&] { g_.UploadBusy = false; });
}

std::vector<std::string> TAlarmWorkerHost::UploadQueue() {
  std::vector<std::string> queue;
  WithRecord([&] { queue = Lines(g_.UploadQueue.get()); });
  return queue;
}

void TAlarmWorkerHost::RemoveFromUploadQueue(const std::string& path) {
  WithRecord([&] {
    if (const int32_t i = IndexOfPath(g_.UploadQueue.get(), path); i >= 0) g_.UploadQueue->Delete(i);
  });
}

void TAlarmWorkerHost::MoveToUploadQueueEnd(const std::string& path) {
  WithRecord([&] {
    if (const int32_t i = IndexOfPath(g_.UploadQueue.get(), path); i >= 0) {
      g_.UploadQueue->Delete(i);
      g_.UploadQueue->Add(path);
    }
  });
}

void TAlarmWorkerHost::SetFtpCurrentFolder(const std::string& folder) {
  WithRecord([&] { g_.FtpCurrentFolder = folder; });
}

void TAlarmWorkerHost::SetFtpStatusText(const std::string& text) {
  WithRecord([&] { g_.FtpStatusText = text; });
}

void TAlarmWorkerHost::SetFtpSpeedText(const std::string& text) {
  WithRecord([&] { g_.FtpSpeedText = text; });
}

void TAlarmWorkerHost::SwitchFtpUploadOff() {
  OnGuiThread([this] {
    {
      std::lock_guard record(g_.SharedLock);
      g_.bFTPUpload = false;
    }
    if (uploadTimer_) uploadTimer_->SetEnabled(false);
  });
}

void TAlarmWorkerHost::FtpStatus(int32_t code) { Send(WM_FTPSTATUS, code); }

TAlarmWorkers::TAlarmWorkers(forms::TWinControl* mainWindow, forms::TTimer* mailTimer, forms::TTimer* uploadTimer,
                             TGlobalVars& globals)
    : host_(mainWindow, mailTimer, uploadTimer, globals),
      uploadTimer_(uploadTimer),
      g_(globals),
      mail_(host_),
      upload_(host_) {}

void TAlarmWorkers::timerSendEmailTimer() {
  if (host_.Closed()) return;
  host_.Prepare();
  mail_.Start();
}

void TAlarmWorkers::timerFTPUploadTimer() {
  if (host_.Closed()) return;
  bool busy, waiting;
  {
    std::lock_guard lock(g_.SharedLock);
    busy = g_.UploadBusy;
    waiting = g_.UploadQueue && g_.UploadQueue->Count() > 0;
  }
  if (busy) return;
  if (!waiting) {
    if (uploadTimer_) uploadTimer_->SetEnabled(false);
    return;
  }
  host_.Prepare();
  upload_.Start();
}

bool TAlarmWorkers::Shutdown(uint32_t limitMs) {
  host_.Close();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (!mail_.Busy() && !upload_.Busy()) {
      mail_.WaitForRuns();
      upload_.WaitForRuns();
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    // A run waiting in a blocking message or a call for this thread gets
    // its answer (the host being closed, nothing is done) and goes on to
    // its end. No message is taken from the queue: the filter matches none.
    constexpr win::UINT kNone = 0x7FFF;
    win::MSG m;
    win::PeekMessageA(&m, nullptr, kNone, kNone, win::PM_NOREMOVE);
    rtl::CheckSynchronize(1);
  }
}

void EndAlarmWorkers(std::unique_ptr<TAlarmWorkers>& workers, uint32_t limitMs) {
  if (!workers) return;
  if (workers->Shutdown(limitMs))
    workers.reset();
  else
    (void)workers.release();  // still used by a run; the process's end takes it
}

}  // namespace app
