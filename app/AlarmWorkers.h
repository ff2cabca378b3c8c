#pragma once
// The alarm mail and upload workers inside the running program: the host
// they see (the settings record under its lock, the language texts, the
// main window's blocking status messages and its two timers) and the
// timer ticks that start their runs.
//
// Shutdown: a run may be waiting in a blocking message to the main window
// while the window goes. The window therefore closes the host first (from
// then on a run changes nothing of the program and sends nothing more),
// answers what is already on its way while it waits for the runs, and
// gives up waiting after a time limit rather than hang; a run still on
// then keeps the objects it uses, which are left to the process's end.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "alarms/AlarmWorkerHost.h"
#include "alarms/FTPThread.h"
#include "alarms/SendEmailTread.h"
#include "app/Globals.h"
#include "platform/win/Types.h"

namespace forms {
class TTimer;
class TWinControl;
}  // namespace forms

namespace app {

class TAlarmWorkerHost : public alarms::TAlarmMailHost, public alarms::TAlarmFtpHost {
public:
  // `mainWindow` receives the status messages; the timers are the main
  // window's mail and upload timers (either may be null).
  TAlarmWorkerHost(forms::TWinControl* mainWindow, forms::TTimer* mailTimer, forms::TTimer* uploadTimer,
                   TGlobalVars& globals = GlobalVars());

  // On the GUI thread before a run starts: takes the window's handle and
  // the language texts of the moment, which the runs then read (the texts
  // change on the GUI thread only).
  void Prepare();
  // On the GUI thread: from now on no call touches the record, the timers
  // or the window; a run still on finds its queues empty.
  void Close();
  bool Closed();

  // The mail worker's side.
  alarms::TAlarmMailSettings MailSettings() override;
  bool TakeMailIdle() override;
  void SetMailIdle() override;
  std::vector<std::string> MailQueue() override;
  void RemoveFromMailQueue(const std::string& path) override;
  std::vector<std::string> AlarmTimes() override;
  void RemoveAlarmTimes(size_t count) override;
  std::string MailLogText() override;
  void ConsumeMailLogText(const std::string& sent) override;
  void SwitchSendEmailOff() override;
  void StopMailTimer() override;
  void MailStatus(int32_t step) override;
  void ShowHint(const std::string& text) override;
  int32_t SendMailByMapi(const alarms::TMailList& list) override;

  // The upload worker's side.
  alarms::TAlarmFtpSettings FtpSettings() override;
  bool TakeUploadBusy() override;
  void ClearUploadBusy() override;
  std::vector<std::string> UploadQueue() override;
  void RemoveFromUploadQueue(const std::string& path) override;
  void MoveToUploadQueueEnd(const std::string& path) override;
  void SetFtpCurrentFolder(const std::string& folder) override;
  void SetFtpStatusText(const std::string& text) override;
  void SetFtpSpeedText(const std::string& text) override;
  void SwitchFtpUploadOff() override;
  void FtpStatus(int32_t code) override;

private:
  struct Texts {
    std::string MailBodyHint, SendMailFail, ConnectServerFail, MailDeleteFail;
    std::string FtpConnectFail, UploadFail, FolderFail, FtpDeleteFail;
  };
  // Runs `change` on the record under its lock unless the host is closed;
  // false when closed.
  template <class F>
  bool WithRecord(F&& change);
  // Runs `action` on the GUI thread and waits for it; nothing once closed.
  void OnGuiThread(const std::function<void()>& action);
  void Send(uint32_t msg, int32_t wParam);

  forms::TWinControl* mainWindow_;
  forms::TTimer* mailTimer_;
  forms::TTimer* uploadTimer_;
  TGlobalVars& g_;
  std::mutex mutex_;  // taken before the record's lock, never after it
  bool closed_ = false;
  win::HWND window_{};
  Texts texts_;
};

class TAlarmWorkers {
public:
  TAlarmWorkers(forms::TWinControl* mainWindow, forms::TTimer* mailTimer, forms::TTimer* uploadTimer,
                TGlobalVars& globals = GlobalVars());
  TAlarmWorkers(const TAlarmWorkers&) = delete;
  TAlarmWorkers& operator=(const TAlarmWorkers&) = delete;

  // The mail timer's tick: one run on a thread of its own (a run that
  // finds another one on ends at once).
  void timerSendEmailTimer();
  // The upload timer's tick: nothing while a run is on; a run while
  // pictures wait; else the timer stops.
  void timerFTPUploadTimer();

  // On the GUI thread: closes the host and waits up to `limitMs` for the
  // runs, answering their messages meanwhile. True when every run ended.
  bool Shutdown(uint32_t limitMs);

  TAlarmWorkerHost& Host() { return host_; }
  alarms::TSendEmailTread& Mail() { return mail_; }
  alarms::TFTPThread& Upload() { return upload_; }

private:
  TAlarmWorkerHost host_;
  forms::TTimer* uploadTimer_;
  TGlobalVars& g_;
  // Declared after the host: they go first, waiting for their runs.
  alarms::TSendEmailTread mail_;
  alarms::TFTPThread upload_;
};

// How long the main window waits at its end for runs still on.
inline constexpr uint32_t kAlarmWorkersShutdownMs = 10000;

// Shuts `workers` down and frees them; when a run did not end in time they
// are let go instead (the run keeps using them until the process ends).
void EndAlarmWorkers(std::unique_ptr<TAlarmWorkers>& workers, uint32_t limitMs = kAlarmWorkersShutdownMs);

}  // namespace app
