// The capture modes' work: starting and stopping recordings into the
// mode's album, giving finished recordings their date-time stamp and their
// companion picture, snapshots, the tape commands of DV devices, timed
// snapshots and the progress of a re-encoding after recording.
#include <algorithm>

#include "alarms/MotionAlarm.h"
#include "app/DataFolders.h"
#include "app/FormWaiting.h"
#include "app/MainUnit.h"
#include "app/ResStr.h"
#include "app/WorkerStatus.h"
#include "platform/forms/Dialogs.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Input.h"
#include "platform/win/Sound.h"

namespace app {

using namespace forms;
using capture::TFrameCaptureDest;

namespace {

// A name's last four characters (".avi") and what stands before them.
String WithoutExtension(const String& name) { return name.size() < 4 ? name : name.substr(0, name.size() - 4); }
String ExtensionOf(const String& name) { return name.size() < 4 ? String() : name.substr(name.size() - 4); }

bool IsCaptureMode(TMainMode m) { return m == mmDV || m == mmTV || m == mmOD; }

TFrameCaptureDest PictureKind(const TGlobalVars& g) {
  return g.ShotImageType ? capture::fc_JpegFile : capture::fc_BmpFile;
}

}  // namespace

String CompanionPictureOf(const String& video) { return WithoutExtension(video) + ".jpg"; }

String StampedFileName(const String& file, rtl::TDateTime when) {
  return WithoutExtension(file) + "-" + rtl::FormatDateTime("yymmdd_hhnnss", when) + ExtensionOf(file);
}

// The component's events and the capture commands, bound once the
// controls exist.
void TfrmMain::BindCaptureEvents() {
  for (controls::TPbButton* b : {btnDVStart, btnTVStart, btnODStart})
    b->OnClick = [this](TObject* s) { btnStartClick(s); };
  actShotFrame->OnExecute = [this](TObject* s) { actShotFrameExecute(s); };
  btnDVCommand->OnClick = [this](TObject* s) { btnDVCommandClick(s); };
  for (TMenuItem* item : mniDVCommands) item->OnClick = [this](TObject* s) { SendDVCommand(s); };
  btnDVCaptureSetting->OnClick = [this](TObject* s) { btnDVCaptureSettingClick(s); };
  btnTVCaptureSetting->OnClick = [this](TObject* s) { btnTVCaptureSettingClick(s); };
  btnODCaptureSetting->OnClick = [this](TObject* s) { btnODCaptureSettingClick(s); };
  tmrAutoShotFrame->OnTimer = [this](TObject* s) { tmrAutoShotFrameTimer(s); };
  OnKeyDown = [this](TObject* s, uint16_t& key, TShiftState shift) { FormKeyDown(s, key, shift); };
  VidCap->OnRecordingStarted = [this](TObject* s, const String& f) { VidCapRecordingStarted(s, f); };
  VidCap->OnRecordingCompleted = [this](TObject* s, const String& f, bool ok) { VidCapRecordingCompleted(s, f, ok); };
  VidCap->OnPreviewStarted = [this](TObject* s) { VidCapPreviewStarted(s); };
  VidCap->OnFrameCaptureCompleted = [this](TObject* s, const capture::TFrameData& d, TFrameCaptureDest k,
                                           const String& f, bool ok) { VidCapFrameCaptureCompleted(s, d, k, f, ok); };
  VidCap->OnReencodingStarted = [this](TObject* s, const String& a, const String& b) {
    VidCapReencodingStarted(s, a, b);
  };
  VidCap->OnReencodingProgress = [this](TObject* s, const capture::TProgressInfo& p) {
    VidCapReencodingProgress(s, p);
  };
  VidCap->OnReencodingCompleted = [this](TObject* s, const String& a, const String& b, bool ok) {
    VidCapReencodingCompleted(s, a, b, ok);
  };
}

void TfrmMain::btnStartClick(TObject*) {
  motionAlarm_->UserToggledRecording();
  ToggleRecording();
}

void TfrmMain::ToggleRecording() {
  TGlobalVars& g = GlobalVars();
  capture_->SetAutoFilePrefix(IDS_SETTING_SHOTFRAME_FILEPREFIX);
  if (CaptureState == 1) {
    CaptureState = 0;
    timerFreeSpaceDetection->SetEnabled(false);
    capture_->StopRecording();
    capture_->SetRecordingOnMotion_Enabled(false);
    g.AlarmRecording = false;
    return;
  }
  // Only a capture mode has a device to record from; elsewhere a call (an
  // alarm timer that fires late) starts nothing and claims nothing.
  if (!IsCaptureMode(g.Mode)) return;
  g.FreeSpaceMB = FreeSpaceMB(g.StoragePath);
  if (g.FreeSpaceMB < g.MinFreeSpace) {
    // Nothing records, and the state says so: the next press tries again
    // instead of taking the stopping branch in silence. The alarm's
    // recording flags are cleared for the same reason, so no stop timer
    // toggles a recording that never started into a new one.
    capture_->SetRecordingOnMotion_Enabled(false);
    g.AlarmRecording = false;
    ShowErrorHint(Handle(), IDS_MOTIONDETECTION_NOSPACE);
    return;
  }
  CaptureState = 1;
  timerFreeSpaceDetection->SetEnabled(true);

  String& album = g.Mode == mmDV ? g.DV_Path : g.Mode == mmTV ? g.TV_Path : g.OD_Path;
  const String& fallback = g.Mode == mmDV ? g.DVDefaultPath : g.Mode == mmTV ? g.TVDefaultPath : g.ODDefaultPath;
  if (!album.empty() && rtl::DirectoryExists(album)) {
    capture_->SetStoragePath(album);
  } else {
    forms::MessageBox(Handle(), MSG_MAIN_PATHNOTEXIST,
                      g.Mode == mmOD ? MSG_APPLICATION_WARNING : MSG_APPLICATION_INFORMATION,
                      win::MB_OK | win::MB_ICONWARNING);
    album = fallback;
    capture_->SetStoragePath(album);
    // The list shows where the recording goes; the stored album index is
    // left as the user chose it.
    if (cmbPath->Items()->Count() > 1) cmbPath->SetItemIndex(1);
    EnableAlbumButtons();
  }
  if (g.Mode == mmOD && g.isMotionDetector) {
    capture_->SetStoragePath(g.TodayAlarmVideoPath);
    capture_->SetAutoFilePrefix("AlarmVideoFile");
  }
  SetCaptureButtons(1);
  capture_->StopPreview();
  if (!capture_->StartRecording()) {
    // The component said why; the window goes back to previewing rather
    // than showing a recording that does not run.
    CaptureState = 0;
    timerFreeSpaceDetection->SetEnabled(false);
    SetCaptureButtons(0);
    capture_->StartPreview();
    return;
  }
  if (g.Mode == mmOD) g.AlarmRecording = true;
}

// With re-encoding after recording the preview comes back once the
// re-encoding ends. The component re-encodes AVI recordings only: an ASF
// recording is compressed as it is written and its capture file is final.
bool TfrmMain::CompressesAfterRecording() const {
  return VidCap->CompressionMode() == capture::cm_CompressAfterRecording &&
         VidCap->RecordingMethod() == capture::rm_AVI;
}

// A recording ended by leaving the capture modes (the mode commands stop
// the component) or after Disconnect brings no preview back.
bool TfrmMain::PreviewWanted() const { return IsCaptureMode(GlobalVars().Mode) && CaptureState != 2; }

void TfrmMain::VidCapRecordingStarted(TObject*, const String& FileName) {
  SetCaptureButtons(1);
  const String companion = CompanionPictureOf(FileName);
  RecordingFileName = FileName;
  capture_->CaptureFrameTo(capture::fc_JpegFile, companion);
}

void TfrmMain::VidCapRecordingCompleted(TObject*, const String& FileName, bool Success) {
  TGlobalVars& g = GlobalVars();
  // A recording that did not complete (a re-encoding that failed or was
  // stopped) is named by its capture file, the only copy: it keeps its
  // name so nothing else takes its place.
  if (Success) {
    const String video = StampedFileName(FileName, rtl::Now());
    if (rtl::RenameFile(FileName, video)) {
      const String companion = CompanionPictureOf(video);
      if (rtl::RenameFile(CompanionPictureOf(FileName), companion)) ShowNewMedia(companion, video, true);
    }
  }
  if (!CompressesAfterRecording() && PreviewWanted()) {
    SetCaptureButtons(0);
    capture_->StartPreview();
  }
  capture_->SetRecordingOnMotion_Enabled(false);
  g.AlarmRecording = false;
}

void TfrmMain::VidCapPreviewStarted(TObject*) { SetCaptureButtons(0); }

void TfrmMain::actShotFrameExecute(TObject*) { TakeSnapshot(); }

void TfrmMain::TakeSnapshot() {
  capture_->SetBurstType(PictureKind(GlobalVars()));
  capture_->SetBurstMode(true);
}

// F3 takes a snapshot wherever the mode's snapshot button is enabled; the
// rename command, which shares the key, acts only in the browser.
void TfrmMain::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key != win::VK_F3) return;
  controls::TPbButton* shot = nullptr;
  switch (GlobalVars().Mode) {
    case mmDV: shot = btnDVShotFrame; break;
    case mmTV: shot = btnTVShotFrame; break;
    case mmOD: shot = btnODShotFrame; break;
    case mmBF: shot = btnBFShotFrame; break;
    default: break;
  }
  if (shot && shot->Enabled()) TakeSnapshot();
}

void TfrmMain::VidCapFrameCaptureCompleted(TObject*, const capture::TFrameData&, TFrameCaptureDest,
                                           const String& FileName, bool) {
  // A recording's companion picture is no snapshot of its own.
  if (String video; FindCompanionVideo(FileName, video)) return;
  if (rtl::SameText(WithoutExtension(FileName), WithoutExtension(RecordingFileName))) return;
  ShowNewMedia(FileName, FileName, false);
}

void TfrmMain::btnDVCommandClick(TObject*) {
  const TPoint p = btnDVCommand->ClientToScreen(TPoint{0, 0});
  mnuDVCommand->Popup(p.x, p.y);
}

void TfrmMain::SendDVCommand(TObject* Sender) {
  if (auto* item = dynamic_cast<TMenuItem*>(Sender)) capture_->DVCommand(static_cast<int32_t>(item->Tag()));
}

void TfrmMain::VidCapReencodingStarted(TObject*, const String&, const String&) {
  if (!reencodingWindow_) {
    auto* window = new TfrmWaiting(nullptr);
    window->AfterConstruction();
    // Freed with the program's other forms; forgotten when it goes.
    window->OnDestroy = [this, window](TObject*) {
      if (reencodingWindow_ == window) reencodingWindow_ = nullptr;
    };
    reencodingWindow_ = window;
  }
  SetEnabled(false);
  reencodingWindow_->Show();
}

void TfrmMain::VidCapReencodingProgress(TObject*, const capture::TProgressInfo& ProgressInfo) {
  if (reencodingWindow_)
    reencodingWindow_->pnlWaiting()->SetCaption(std::to_string(ProgressInfo.Percent) + MSG_MAIN_COMPELETEDPERCENT);
}

void TfrmMain::VidCapReencodingCompleted(TObject*, const String& SourceFile, const String&, bool Success) {
  // The capture file is deleted only once the re-encoded file replaced it;
  // after a failure it is the only copy of the recording.
  if (Success) rtl::DeleteFile(SourceFile);
  if (PreviewWanted()) {
    capture_->StartPreview();
    SetCaptureButtons(0);
  }
  SetEnabled(true);
  if (reencodingWindow_) reencodingWindow_->Hide();
}

void TfrmMain::UpdateAutoShotTimer() {
  const TGlobalVars& g = GlobalVars();
  const int32_t seconds = std::clamp<int32_t>(g.AutoShotFrameInterval, 1, 24 * 60 * 60);
  tmrAutoShotFrame->SetInterval(static_cast<uint32_t>(seconds) * 1000);
  tmrAutoShotFrame->SetEnabled(g.EnableAutoShotFrame);
}

void TfrmMain::tmrAutoShotFrameTimer(TObject*) {
  const TGlobalVars& g = GlobalVars();
  if (!g.EnableAutoShotFrame || CaptureState == 2 || !IsCaptureMode(g.Mode)) return;
  capture_->CaptureFrameTo(PictureKind(g), "");
}

}  // namespace app
