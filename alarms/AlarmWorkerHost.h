#pragma once
// What the alarm mail and upload workers read and change of the program's
// shared state. The program keeps the queues, texts and flags in its
// global settings record under that record's lock and talks to the main
// window by blocking messages; a worker sees all of it only through these
// calls, each of which is one guarded step, so it never holds the lock
// across a network wait.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace alarms {

// A copy of the mail settings, taken once at the start of a run.
struct TAlarmMailSettings {
  bool SendPictureOrOnlyHint = true;  // true: pictures; false: the alarm times
  bool bDefaultSend = true;           // true: the mail hand-off; false: our own SMTP
  int32_t EmailSendPictureNum = 5;
  std::string SendToAddress, CCAddress, BccAddress;  // each may list several
  std::string subject = "Alarm";
  std::string body = "then alarm is touch off !";
  std::string SMTPHost = "localhost";
  int32_t SMTPPort = 25;
  std::string SendFromAddress;
  std::string UserName, Pasword;
  bool bSMTPIdentity = true;
  long ConnectTimeoutMs = 5000;
  long ResponseTimeoutMs = 30000;
  // Language texts.
  std::string MailBodyHint = " happen Alarm!";
  std::string SendMailFail = "Send an e-mail failure!";
  std::string ConnectServerFail = "Connecting mail server, please check mail settings!";
  std::string DeleteFail = "Cannot delete the sent picture !";
};

// The mail hand-off list: name=value lines, in order.
using TMailList = std::vector<std::pair<std::string, std::string>>;

class TAlarmMailHost {
public:
  virtual ~TAlarmMailHost() = default;
  virtual TAlarmMailSettings MailSettings() = 0;
  // Tests the idle flag and clears it in one step; false when a run is on.
  virtual bool TakeMailIdle() = 0;
  virtual void SetMailIdle() = 0;
  virtual std::vector<std::string> MailQueue() = 0;
  // Removes the first entry equal to `path`.
  virtual void RemoveFromMailQueue(const std::string& path) = 0;
  virtual std::vector<std::string> AlarmTimes() = 0;
  // Removes the first `count` alarm times.
  virtual void RemoveAlarmTimes(size_t count) = 0;
  virtual std::string MailLogText() = 0;
  // Drops `sent` (what was mailed) from the front of the log text when it
  // is still there; blocks the alarm actions added meanwhile stay for the
  // next mail, and a text cleared meanwhile stays as it now is.
  virtual void ConsumeMailLogText(const std::string& sent) = 0;
  // Switches the alarm action off and stops the mail timer (on the GUI
  // thread).
  virtual void SwitchSendEmailOff() = 0;
  virtual void StopMailTimer() = 0;
  // The status steps of the mail progress window, as a blocking message.
  virtual void MailStatus(int32_t step) = 0;
  // Puts a text (ending in CR) into the hint window, as a blocking message.
  virtual void ShowHint(const std::string& text) = 0;
  // Hands the mail to the user's mail system; 0 when it took it.
  virtual int32_t SendMailByMapi(const TMailList& list) = 0;
};

struct TAlarmFtpSettings {
  std::string FTPHostAddress = "127.0.0.1";
  int32_t FTPPort = 21;
  std::string FTPUserName = "Name";
  std::string FTPPassword;
  std::string FTPFolder = "AlarmPicture";
  bool Passive = false;
  long ConnectTimeoutMs = 5000;
  long ResponseTimeoutMs = 30000;
  // Language texts.
  std::string FtpConnectFail = "Failure to connect to the FTP server,\rplease check the FTP settings!";
  std::string UploadFail = "Upload Fail !";
  std::string FolderFail = "Cannot use the FTP folder !";
  std::string DeleteFail = "Cannot delete the uploaded picture !";
};

class TAlarmFtpHost {
public:
  virtual ~TAlarmFtpHost() = default;
  virtual TAlarmFtpSettings FtpSettings() = 0;
  // When pictures wait and no run is on, marks a run as on and returns
  // true; one step.
  virtual bool TakeUploadBusy() = 0;
  virtual void ClearUploadBusy() = 0;
  virtual std::vector<std::string> UploadQueue() = 0;
  virtual void RemoveFromUploadQueue(const std::string& path) = 0;
  // Moves the first entry equal to `path` behind all others.
  virtual void MoveToUploadQueueEnd(const std::string& path) = 0;
  virtual void SetFtpCurrentFolder(const std::string& folder) = 0;
  virtual void SetFtpStatusText(const std::string& text) = 0;
  virtual void SetFtpSpeedText(const std::string& text) = 0;
  // Switches the alarm action off and stops the upload timer (on the GUI
  // thread).
  virtual void SwitchFtpUploadOff() = 0;
  virtual void FtpStatus(int32_t code) = 0;
  virtual void ShowHint(const std::string& text) = 0;
};

// The pictures left in a queue folder, oldest first (by modification time,
// then name): what a program that stopped with pictures unsent starts
// with again.
std::vector<std::string> QueuedPictures(const std::string& folder);

}  // namespace alarms
