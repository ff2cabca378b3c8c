#pragma once
// The shared state of the workers as the program holds it, in memory, with
// every call one locked step, and a record of what the main window was
// told. The mail hand-off is the program's own, which pipes to the
// sendmail that VORIX_SENDMAIL names.
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "alarms/AlarmWorkerHost.h"
#include "app/MailHandoff.h"

namespace alarmtest {

class TestHost : public alarms::TAlarmMailHost, public alarms::TAlarmFtpHost {
public:
  std::mutex m;
  alarms::TAlarmMailSettings mail;
  alarms::TAlarmFtpSettings ftp;
  bool mailIdle = true, uploadBusy = false;
  bool sendEmail = true, ftpUpload = true, mailTimer = true;
  std::vector<std::string> mailQueue, alarmTimes, uploadQueue;
  std::string mailLog, ftpFolder, ftpStatus;
  std::vector<std::string> speedTexts;
  std::vector<int> statuses;
  std::vector<std::string> hints;
  std::function<void(int)> onStatus;
  alarms::TMailList lastList;  // the latest hand-off

  static void Remove(std::vector<std::string>& q, const std::string& path) {
    for (auto it = q.begin(); it != q.end(); ++it)
      if (*it == path) {
        q.erase(it);
        return;
      }
  }

  alarms::TAlarmMailSettings MailSettings() override {
    std::lock_guard l(m);
    return mail;
  }
  bool TakeMailIdle() override {
    std::lock_guard l(m);
    const bool was = mailIdle;
    mailIdle = false;
    return was;
  }
  void SetMailIdle() override {
    std::lock_guard l(m);
    mailIdle = true;
  }
  std::vector<std::string> MailQueue() override {
    std::lock_guard l(m);
    return mailQueue;
  }
  void RemoveFromMailQueue(const std::string& path) override {
    std::lock_guard l(m);
    Remove(mailQueue, path);
  }
  std::vector<std::string> AlarmTimes() override {
    std::lock_guard l(m);
    return alarmTimes;
  }
  void RemoveAlarmTimes(size_t count) override {
    std::lock_guard l(m);
    alarmTimes.erase(alarmTimes.begin(), alarmTimes.begin() + std::min(count, alarmTimes.size()));
  }
  std::string MailLogText() override {
    std::lock_guard l(m);
    return mailLog;
  }
  void ConsumeMailLogText(const std::string& sent) override {
    std::lock_guard l(m);
    if (mailLog.compare(0, sent.size(), sent) == 0) mailLog.erase(0, sent.size());
  }
  void SwitchSendEmailOff() override {
    std::lock_guard l(m);
    sendEmail = false;
    mailTimer = false;
  }
  void StopMailTimer() override {
    std::lock_guard l(m);
    mailTimer = false;
  }
  void MailStatus(int32_t step) override {
    {
      std::lock_guard l(m);
      statuses.push_back(step);
      // What the main window does on step 1.
      if (step == 1) sendEmail = mailTimer = false;
    }
    if (onStatus) onStatus(step);
  }
  void ShowHint(const std::string& text) override {
    std::lock_guard l(m);
    hints.push_back(text);
  }
  int32_t SendMailByMapi(const alarms::TMailList& list) override {
    {
      std::lock_guard g(m);
      lastList = list;
    }
    rtl::TStringList l;
    for (const auto& [k, v] : list) l.Add(k + "=" + v);
    return app::SendMailByMapi(0, l);
  }

  alarms::TAlarmFtpSettings FtpSettings() override {
    std::lock_guard l(m);
    return ftp;
  }
  bool TakeUploadBusy() override {
    std::lock_guard l(m);
    if (uploadBusy || uploadQueue.empty()) return false;
    return uploadBusy = true;
  }
  void ClearUploadBusy() override {
    std::lock_guard l(m);
    uploadBusy = false;
  }
  std::vector<std::string> UploadQueue() override {
    std::lock_guard l(m);
    return uploadQueue;
  }
  void RemoveFromUploadQueue(const std::string& path) override {
    std::lock_guard l(m);
    Remove(uploadQueue, path);
  }
  void MoveToUploadQueueEnd(const std::string& path) override {
    std::lock_guard l(m);
    Remove(uploadQueue, path);
    uploadQueue.push_back(path);
  }
  void SetFtpCurrentFolder(const std::string& folder) override {
    std::lock_guard l(m);
    ftpFolder = folder;
  }
  void SetFtpStatusText(const std::string& text) override {
    std::lock_guard l(m);
    ftpStatus = text;
  }
  void SetFtpSpeedText(const std::string& text) override {
    std::lock_guard l(m);
    speedTexts.push_back(text);
  }
  void SwitchFtpUploadOff() override {
    std::lock_guard l(m);
    ftpUpload = false;
  }
  void FtpStatus(int32_t code) override {
    {
      std::lock_guard l(m);
      statuses.push_back(code);
    }
    if (onStatus) onStatus(code);
  }
};

}  // namespace alarmtest
