// The alarm actions, once per start of the alarm-delay timer, in their
// fixed order: pictures, mail, sound, program, upload, log.
#include <exception>

#include "alarms/AlarmLog.h"
#include "alarms/AlarmQueues.h"
#include "alarms/MotionAlarm.h"
#include "app/DataFolders.h"
#include "app/ResStr.h"
#include "platform/forms/Jpeg.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"

namespace alarms {

using namespace forms;

namespace {

String ReasonOf(const std::exception_ptr& e) {
  try {
    std::rethrow_exception(e);
  } catch (const rtl::Exception& x) {
    return x.Message();
  } catch (const std::exception& x) {
    return x.what();
  } catch (...) {
    return "unknown error";
  }
}

}  // namespace

// Writes the alarm frame to the paths the switches ask for. A path that
// cannot be written is noted in `failures` and skipped; the others are
// still written.
void TMotionAlarm::WritePictures(const String& stamp, String* picturePath, String* uploadName,
                                 std::vector<String>* failures) {
  const String exe = app::ExeFolder;
  for (const String& folder : {MailQueueFolder(exe), UploadQueueFolder(exe)})
    if (!rtl::DirectoryExists(folder)) {
      try {
        rtl::ForceDirectories(folder);
      } catch (...) {
        // The write below reports the folder that is missing.
      }
    }
  const String name = stamp + (g_.AlarmPictureSaveFormat == 0 ? ".bmp" : ".jpg");

  bool due = false;
  const uint32_t now = rtl::GetTickCount();
  if (g_.SaveEachPicture) {
    // Alarms repeat with every frame while motion lasts; pictures come at
    // most once per picture interval all the same.
    due = !pictureWritten_ || now - lastPictureTick_ >= SecondsToMs(g_.AlternationSavePicureTime);
  } else if (g_.SavePictureDue) {
    g_.SavePictureDue = false;
    due = true;
  }
  if (!due) return;
  TBitmap* frame = image_ ? image_->Picture()->Bitmap() : nullptr;
  if (!frame || frame->Empty()) return;
  pictureWritten_ = true;
  lastPictureTick_ = now;

  std::unique_ptr<TJPEGImage> jpeg;
  TGraphic* picture = frame;
  if (g_.AlarmPictureSaveFormat != 0) {
    jpeg = std::make_unique<TJPEGImage>();
    jpeg->Assign(frame);
    picture = jpeg.get();
  }
  auto write = [&](const String& path) {
    try {
      picture->SaveToFile(path);
      return true;
    } catch (...) {
      failures->push_back("The alarm picture " + path + " could not be written: " +
                          ReasonOf(std::current_exception()));
      return false;
    }
  };
  if (g_.bSavePicture && write(g_.TodayAlarmPicturePath + name)) *picturePath = g_.TodayAlarmPicturePath + name;
  // In the alarm-time mode the mail carries no pictures: a copy queued for
  // it would never be sent nor removed, and would pile up on the disk.
  if (g_.bSendEmail && g_.SendPictureOrOnlyHint && write(MailQueueFolder(exe) + name)) {
    std::lock_guard lock(g_.SharedLock);
    g_.MailQueue->Add(MailQueueFolder(exe) + name);
  }
  if (g_.bFTPUpload && write(UploadQueueFolder(exe) + name)) {
    std::lock_guard lock(g_.SharedLock);
    g_.UploadQueue->Add(UploadQueueFolder(exe) + name);
    *uploadName = name;
  }
}

void TMotionAlarm::ResumeDelivery() {
  bool mail, upload;
  {
    std::lock_guard lock(g_.SharedLock);
    mail = g_.bSendEmail && g_.SendPictureOrOnlyHint && g_.MailQueue && g_.MailQueue->Count() > 0;
    upload = g_.bFTPUpload && g_.UploadQueue && g_.UploadQueue->Count() > 0;
  }
  if (mail) {
    SetIntervalIfChanged(timers_.SendEmail, WholeSecondsToMs(g_.EmaiSendsAlternation));
    timers_.SendEmail->SetEnabled(true);
  }
  if (upload) {
    SetIntervalIfChanged(timers_.FTPUpload, g_.isContinuedUpload ? 100 : SecondsToMs(g_.FTPIntervalUploadTime));
    timers_.FTPUpload->SetEnabled(true);
  }
}

void TMotionAlarm::timerAlarmDelayTimer(TObject*) {
  timers_.AlarmDelay->SetEnabled(false);
  std::vector<String> failures;

  String stamp, picturePath, uploadName;
  if (g_.bSavePicture || g_.bSendEmail || g_.bFTPUpload) {
    stamp = app::DateStamp(true);
    WritePictures(stamp, &picturePath, &uploadName, &failures);
  }

  if (g_.bSendEmail) {
    if (!g_.SendPictureOrOnlyHint) {
      std::lock_guard lock(g_.SharedLock);
      g_.AlarmTimes->Add(stamp);
    }
    SetIntervalIfChanged(timers_.SendEmail, WholeSecondsToMs(g_.EmaiSendsAlternation));
    if (!timers_.SendEmail->Enabled()) timers_.SendEmail->SetEnabled(true);
  }

  if (g_.bPlaySound && rtl::FileExists(g_.PlaySoundFullFileName)) {
    player_->SetFileName(g_.PlaySoundFullFileName);
    // A sound still playing is not started again.
    if (!player_->Playing() && player_->Open()) player_->Play();
  }

  if (g_.bRunProgram) {
    if (g_.RunOnce) g_.bRunProgram = false;
    // A missing program fails silently; one still running is not started
    // a second time.
    launcher_.Launch(g_.RunProgramExeFullFileName, g_.ProgramRunParameter);
  }

  if (g_.bFTPUpload) {
    SetIntervalIfChanged(timers_.FTPUpload, g_.isContinuedUpload ? 100 : SecondsToMs(g_.FTPIntervalUploadTime));
    timers_.FTPUpload->SetEnabled(true);
  }

  if (g_.bWriteLog) {
    const String block = AlarmLogBlock(g_, {app::DateStamp(true), picturePath, uploadName});
    String reason;
    if (!AppendAlarmLog(g_.LogPath + g_.LogFileName, block, &reason))
      failures.push_back("The alarm log " + g_.LogPath + g_.LogFileName + " could not be written: " + reason);
    std::lock_guard lock(g_.SharedLock);
    if (g_.SendLog) {
      if (g_.bSendEmail) g_.MailLogText += "\r\n" + block;
    } else {
      g_.MailLogText.clear();
    }
  } else {
    std::lock_guard lock(g_.SharedLock);
    g_.MailLogText.clear();
  }

  // The failures come last, once the other actions have run.
  for (const String& f : failures) host_.ShowHint(f + "\r");
}

}  // namespace alarms
