#include "alarms/AlarmLog.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "app/ResStr.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"

namespace alarms {

using namespace app;

namespace {

const char* const kCrLf = "\r\n";
const String kLabelGap(6, ' ');

// Trunc of a real that a settings file may hold at any size.
int64_t TruncClamped(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9.2e18) return INT64_MAX;
  if (v <= -9.2e18) return INT64_MIN;
  return static_cast<int64_t>(v);
}

}  // namespace

String AlarmLogBlock(const TGlobalVarsFields& g, const TAlarmLogFacts& facts) {
  std::vector<String> lines;
  auto add = [&](const String& label, const String& value) { lines.push_back(label + kLabelGap + value); };
  lines.push_back(String(17, '-') + "begin" + String(65, '-'));
  add(IDS_MOTIONDETECTION_LOG_DATETIME, facts.TimeStamp);
  add(IDS_MOTIONDETECTION_LOG_SENSITIVITY, std::to_string(g.Sensitivity));
  add(IDS_MOTIONDETECTION_LOG_ALARMLINE, std::to_string(g.AlarmLine));
  add(IDS_MOTIONDETECTION_LOG_MOTIONRATIO, std::to_string(TruncClamped(g.MotionRatio / 100)));
  add(IDS_MOTIONDETECTION_LOG_DELAYALARMTIME, std::to_string(TruncClamped(g.AlarmDelay)) + "(s)");
  String mode = IDS_MOTIONDETECTION_LOG_ALARMMODE + String(5, ' ');
  const std::pair<bool, const String*> actions[] = {
      {g.bSavePicture, &IDS_MOTIONDETECTION_Fctree_SavePicture}, {g.bSendEmail, &IDS_MOTIONDETECTION_Fctree_SendEmail},
      {g.bPlaySound, &IDS_MOTIONDETECTION_Fctree_playSound},     {g.bRunProgram, &IDS_MOTIONDETECTION_Fctree_RunProgram},
      {g.bRecordVideo, &IDS_MOTIONDETECTION_Fctree_RecordVideo}, {g.bFTPUpload, &IDS_MOTIONDETECTION_Fctree_FTPUpload}};
  for (const auto& [on, name] : actions)
    if (on) mode += *name + ".  ";
  lines.push_back(mode);
  if (g.bSavePicture) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_SAVEPICTURE);
    // Only a picture that exists is named: the log is read as the record
    // of what the alarm left behind.
    if (!facts.PicturePath.empty()) add(IDS_MOTIONDETECTION_LOG_PICTUREPATH, facts.PicturePath);
  }
  if (g.bSendEmail) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_SENDMAIL);
    add(IDS_MOTIONDETECTION_LOG_SENDTO, g.Mail.SendToAddress);
    add(IDS_MOTIONDETECTION_LOG_SENDCC, g.Mail.CCAddress);
    add(IDS_MOTIONDETECTION_LOG_SENDBCC, g.Mail.BccAddress);
    add(IDS_MOTIONDETECTION_LOG_SENDFROM, g.Mail.SendFromAddress);
  }
  if (g.bPlaySound) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_PLAYSOUND);
    add(IDS_MOTIONDETECTION_LOG_SOUNDPATH, g.PlaySoundFullFileName);
  }
  if (g.bRunProgram) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_RunPROGRAM);
    add(IDS_MOTIONDETECTION_LOG_PROGRAMPATH, g.RunProgramExeFullFileName);
  }
  if (g.bRecordVideo) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_RECORDVIDEO);
    add(IDS_MOTIONDETECTION_LOG_VIDEOPATH, g.AlarmVideoSavePath);
  }
  if (g.bFTPUpload) {
    lines.push_back(IDS_MOTIONDETECTION_LOG_FTPUPLOAD);
    add(IDS_MOTIONDETECTION_LOG_FTPSERVER, g.Ftp.FTPHostAddress);
    if (!facts.UploadName.empty())
      lines.push_back(IDS_MOTIONDETECTION_LOG_UploadFILEPATH + "FTP://" + g.Ftp.FTPHostAddress + "/" +
                      g.FtpCurrentFolder + "/" + facts.UploadName);
  }
  lines.push_back(String(17, '-') + "End" + String(65, '-'));
  String block;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) block += kCrLf;
    block += lines[i];
  }
  return block;
}

bool AppendAlarmLog(const String& fileName, const String& block, String* reason) {
  const String folder = rtl::ExtractFilePath(fileName);
  errno = 0;
  if (!folder.empty() && !rtl::DirectoryExists(folder) && !rtl::ForceDirectories(folder)) {
    if (reason) *reason = errno ? std::strerror(errno) : "the folder cannot be made";
    return false;
  }
  errno = 0;
  if (!rtl::AppendToFile(fileName, block + kCrLf)) {
    if (reason) *reason = errno ? std::strerror(errno) : "the file cannot be written";
    return false;
  }
  return true;
}

}  // namespace alarms
