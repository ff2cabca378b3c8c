#pragma once
// The application's one settings-and-state record and the path globals.
//
// The record is read and written by field. The GUI thread owns it; the mail
// and upload workers share its queues, flags and texts, and the streaming
// thread reads the overlay picture. Code on either side touches those
// shared fields only while holding `SharedLock`; the overlay picture is swapped as a whole
// (a shared pointer copied under the lock), so a frame being drawn keeps
// the picture it started with.
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/rtl/StringList.h"
#include "platform/rtl/Types.h"

namespace forms {
class TBitmap;
}
namespace capture {
class TVidCap;
}

namespace app {

using rtl::String;

// The main window's mode; one byte.
enum TMainMode : uint8_t { mmDV = 0, mmTV = 1, mmOD = 2, mmBF = 3, mmHome = 4 };

struct MailInfo {
  String SendToAddress;  // comma-separated
  String subject = "Alarm";
  String body;  // the English mail body, set by SetDefaultSettings
  String SMTPHost = "localhost";
  int32_t SMTPPort = 25;
  String SendFromAddress;
  String CCAddress;
  String BccAddress;
  String UserName;
  String Pasword;  // kept and stored in plain text
  bool bSMTPIdentity = true;
};

struct FTPInfo {
  String FTPHostAddress = "127.0.0.1";
  int32_t FTPPort = 21;
  String FTPUserName = "Name";
  String FTPPassword;  // kept and stored in plain text
  String FTPFolder = "AlarmPicture";
};

// Every field with its default; TGlobalVars adds the lock.
struct TGlobalVarsFields {
  TMainMode Mode = mmDV;

  // Device names of each mode, each followed by CR LF.
  String DVVideoDeviceNames;
  String TVVideoDeviceNames;
  String ODVideoDeviceNames;
  String DVAudioDeviceNames;
  String TVAudioDeviceNames;
  String ODAudioDeviceNames;
  // The chosen device of each mode by index, and by name: the index alone
  // points at another device once the device list changes order, so the
  // name decides at start-up and the index is kept for older files.
  int32_t DVVideoDevice = -1;
  int32_t TVVideoDevice = -1;
  int32_t ODVideoDevice = -1;
  int32_t DVAudioDevice = -1;
  int32_t TVAudioDevice = -1;
  int32_t ODAudioDevice = -1;
  String DVVideoDeviceName;
  String TVVideoDeviceName;
  String ODVideoDeviceName;
  String DVAudioDeviceName;
  String TVAudioDeviceName;
  String ODAudioDeviceName;

  bool ShotImageType = true;  // JPEG (true) or BMP
  int32_t AutoShotFrameInterval = 60;
  std::shared_ptr<forms::TBitmap> OverlayBitmap;
  String BitmapFileName;
  int32_t BitmapOverlayLeft = 0;
  int32_t BitmapOverlayTop = 0;
  int32_t BitmapOverlaySize = 100;
  bool BitmapOverlayTransparent = true;
  bool EnableAutoShotFrame = false;
  bool EnableMonitor = false;
  bool EnableOverlay = false;
  // Browser filters: bit 0 pictures, bit 1 videos.
  uint8_t DVFilter = 3;
  uint8_t TVFilter = 3;
  uint8_t ODFilter = 3;
  uint8_t BFFilter = 3;

  String StoragePath;
  String DVRootPath;
  String TVRootPath;
  String ODRootPath;
  String BFRootPath;
  String DVDefaultPath;
  String TVDefaultPath;
  String ODDefaultPath;
  String BFDefaultPath;
  String DV_Path;
  String TV_Path;
  String OD_Path;
  String BF_Path;
  int32_t DV_PathIndex = 0;
  int32_t TV_PathIndex = 0;
  int32_t OD_PathIndex = 0;
  int32_t BF_PathIndex = 0;
  int32_t TVFrequency = 0;
  String SkinPath;
  String LanguageFile;

  // The motion alarm.
  int32_t AlarmLine = 300;
  double AlarmDelay = 1.0;
  int32_t Sensitivity = 9;
  double MotionRatio = 0;
  bool isMotionDetector = false;
  bool FirstMotion = true;
  bool bSavePicture = true;
  bool bSendEmail = false;
  bool bRecordVideo = false;
  bool bPlaySound = false;
  bool bRunProgram = false;
  bool bFTPUpload = false;
  bool bWriteLog = false;
  String TodayAlarmPicturePath;
  String TodayAlarmVideoPath;
  String AlarmPictureSavePath;
  String AlarmVideoSavePath;
  bool SaveEachPicture = false;
  bool SavePictureDue = false;
  double AlternationSavePicureTime = 2.0;
  int32_t AlarmPictureSaveFormat = 1;  // 0 BMP, 1 JPEG
  bool bDefaultSend = true;
  bool bCustomSend = false;
  MailInfo Mail;
  int32_t EmaiSendsAlternation = 50;
  int32_t EmailSendPictureNum = 5;
  std::unique_ptr<rtl::TStringList> MailQueue;
  std::unique_ptr<rtl::TStringList> AlarmTimes;
  bool SendPictureOrOnlyHint = true;
  bool MailIdle = true;
  String PlaySoundFullFileName;
  String RunProgramExeFullFileName;
  bool RunOnce = true;
  String ProgramRunParameter;
  int64_t FreeSpaceMB = 0;
  bool MotioningBeginRecord = true;
  bool AlarmRecording = false;
  int32_t NoMotionDetectionDelayStopTime = 5;
  bool NoMotionStopRecording = true;
  int32_t MinFreeSpace = 500;
  bool NoEnoughSpcaeStopRecord = true;
  FTPInfo Ftp;
  bool isContinuedUpload = true;
  double FTPIntervalUploadTime = 3.0;
  bool OnlyUploadPicture = true;
  std::unique_ptr<rtl::TStringList> UploadQueue;
  String FtpCurrentFolder;
  bool UploadBusy = false;
  String FtpStatusText;
  String FtpSpeedText;
  String HintText;
  String LogPath;
  String LogFileName = "AlarmLogFile.txt";
  bool SendLog = false;
  String MailLogText;
};

struct TGlobalVars : TGlobalVarsFields {
  // Guards the fields shared with the worker threads and the streaming
  // thread (see the top of this file).
  mutable std::mutex SharedLock;
};

// The record of the running program.
TGlobalVars& GlobalVars();

// The path globals: the executable's folder, the skin and language folders
// (each ending with "/"), the current language file's name and full path.
extern String ExeFolder;
extern String SkinFolder;
extern String LangFolder;
extern String LanguageFileName;
extern String CurrentLanguagePath;

// The device a mode starts with: the position of `storedName` in
// `deviceNames` (names each followed by CR LF, as the record holds them);
// without a stored name (files that keep only the index) `storedIndex` when
// it lies in the list; else the first device; -1 when the list is empty.
int32_t ChooseDevice(const String& deviceNames, const String& storedName, int32_t storedIndex);

// Sets the folder globals from the executable's folder (ending with "/").
void InitDataPaths(const String& exeFolder);

// Fills every field of `g` with its default, finds the data root, and gives
// the capture component its default settings when one is given.
void SetDefaultSettings(TGlobalVars& g, capture::TVidCap* vidCap = nullptr);

}  // namespace app
