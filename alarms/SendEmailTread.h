#pragma once
// The alarm mail worker: one run mails the queued alarm pictures (or the
// list of alarm times) through the user's mail hand-off or our own SMTP
// client, and reports each step to the main window. The mail timer starts
// a run on every tick; a run that finds another one working ends at once.
//
// The object lives as long as the main window: it remembers, across runs,
// pictures that were mailed but could not be deleted, so that they are
// never mailed twice.
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "alarms/AlarmWorkerHost.h"
#include "alarms/WorkerRuns.h"

namespace net {
struct TSmtpRequest;
}  // namespace net

namespace alarms {

// The SMTP request for a mail by these settings, without its message.
net::TSmtpRequest SmtpRequestFor(const TAlarmMailSettings& s);

class TSendEmailTread {
public:
  explicit TSendEmailTread(TAlarmMailHost& host) : host_(host) {}
  ~TSendEmailTread();
  TSendEmailTread(const TSendEmailTread&) = delete;
  TSendEmailTread& operator=(const TSendEmailTread&) = delete;

  // One run on the calling thread.
  void SendAlarmMail();
  // One run on a thread of its own (a tick of the mail timer).
  void Start();
  // Waits for every run started so far (shutdown, tests).
  void WaitForRuns();
  // Whether a run started by Start is still on.
  bool Busy();

private:
  void SendPictures(const TAlarmMailSettings& s);
  void SendAlarmTimes(const TAlarmMailSettings& s);
  // Sends by the chosen path; true when the mail went out.
  bool Deliver(const TAlarmMailSettings& s, const std::string& body, const std::vector<std::string>& pictures,
               bool pictureMode);
  void RemoveSent(const TAlarmMailSettings& s, const std::vector<std::string>& sent);

  TAlarmMailHost& host_;
  std::mutex mutex_;
  std::set<std::string> mailed_;  // sent, but the file stayed
  // Last, so the runs end before what they use goes.
  TWorkerRuns runs_;
};

// The alarm-time part of a mail body: for each time in order, CR, the
// time, the hint text and CR.
std::string AlarmTimesText(const std::vector<std::string>& times, const std::string& hint);

}  // namespace alarms
