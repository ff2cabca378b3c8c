// The main window's modes: the five mode commands, what each mode shows,
// the device of each capture mode, the capture buttons per capture state,
// Connect/Disconnect and the start page's hover texts.
#include "app/DataFolders.h"
#include "app/MainUnit.h"
#include "app/MsgDlgCustomButtons.h"
#include "app/ResStr.h"

namespace app {

using namespace forms;
using controls::TPbButton;

namespace {

// Line `index` of a name list (names each followed by CR LF), or "".
String LineOf(const String& names, int32_t index) {
  rtl::TStringList list;
  list.SetText(names);
  return index >= 0 && index < list.Count() ? list[index] : String();
}

int32_t LineCount(const String& names) {
  rtl::TStringList list;
  list.SetText(names);
  return list.Count();
}

}  // namespace

// A capture mode without a device of its kind: the warning, and nothing
// else changes.
bool TfrmMain::RefuseMissingDevice(const String& names, const String& text) {
  if (!names.empty()) return false;
  Warn(text);
  return true;
}

void TfrmMain::Warn(const String& text) {
  MessageDlgCustomButtons(text, MSG_APPLICATION_WARNING, mtWarning, {IDS_SETTING_BUTTON_OK}, TMsgDlgButtons{mbOK});
}

void TfrmMain::ActionDVCaptureExecute(TObject*) {
  TGlobalVars& g = GlobalVars();
  if (RefuseMissingDevice(g.DVVideoDeviceNames, MSG_DVWARNING_INFORMATION)) return;
  if (g.Mode == mmDV) return;
  DoCaptureMode(mmDV);
}

void TfrmMain::ActionTVTunerCaptureExecute(TObject*) {
  TGlobalVars& g = GlobalVars();
  if (RefuseMissingDevice(g.TVVideoDeviceNames, MSG_TVWARNING_INFORMATION)) return;
  if (g.Mode == mmTV) return;
  DoCaptureMode(mmTV);
}

// DV and TV: the preview starts on the device selected before and the
// mode's device is selected after; the component refreshes the running
// preview when its device changes.
void TfrmMain::DoCaptureMode(TMainMode m) {
  capture_->SetMotionDetector_Enabled(false);
  capture_->Stop();
  GlobalVars().Mode = m;
  SetCaptureButtons(2);
  capture_->StartPreview();
  SetCaptureButtons(0);
  SwitchMode(m);
}

void TfrmMain::ActionOtherDeviceCaptureExecute(TObject*) {
  TGlobalVars& g = GlobalVars();
  if (RefuseMissingDevice(g.ODVideoDeviceNames, MSG_ODWARNING_INFORMATION)) return;
  if (g.Mode == mmOD) return;
  g.Mode = mmOD;
  SetCaptureButtons(2);
  SetCaptureButtons(0);
  SwitchMode(mmOD);
  capture_->Stop();
  capture_->StartPreview();
  if (g.isMotionDetector) {
    cekBoxMotionDetection->SetChecked(true);
    capture_->SetMotionDetector_Enabled(true);
    const int32_t rows = capture_->GetVideoHeight();
    const int32_t cols = capture_->GetVideoWidth();
    capture_->MotionDetector_SetGridSize(cols, rows);
    capture_->MotionDetector_SetGlobalSensitivity(g.Sensitivity);
  } else {
    cekBoxMotionDetection->SetChecked(false);
  }
}

void TfrmMain::ActionFileBrowseExecute(TObject*) {
  TGlobalVars& g = GlobalVars();
  if (g.Mode == mmBF) return;
  capture_->Stop();
  SetCaptureButtons(2);
  capture_->SetMotionDetector_Enabled(false);
  TMainMode source = g.Mode;
  if (source == mmHome) {
    if (!g.ODVideoDeviceNames.empty())
      source = mmOD;
    else if (!g.DVVideoDeviceNames.empty())
      source = mmDV;
    else if (!g.TVVideoDeviceNames.empty())
      source = mmTV;
    else
      source = mmOD;
  }
  switch (source) {
    case mmDV:
      g.BF_Path = g.DV_Path, g.BFRootPath = g.DVRootPath, g.BFDefaultPath = g.DVDefaultPath;
      g.BF_PathIndex = g.DV_PathIndex;
      break;
    case mmTV:
      g.BF_Path = g.TV_Path, g.BFRootPath = g.TVRootPath, g.BFDefaultPath = g.TVDefaultPath;
      g.BF_PathIndex = g.TV_PathIndex;
      break;
    default:
      g.BF_Path = g.OD_Path, g.BFRootPath = g.ODRootPath, g.BFDefaultPath = g.ODDefaultPath;
      g.BF_PathIndex = g.OD_PathIndex;
      break;
  }
  mniSelect_DV->SetEnabled(source != mmDV);
  mniSelect_TV->SetEnabled(source != mmTV);
  mniSelect_OD->SetEnabled(source != mmOD);
  g.Mode = mmBF;
  SwitchMode(mmBF);
}

void TfrmMain::ActionHomeExecute(TObject*) {
  // Already on the start page: like every mode command, nothing to redo.
  if (GlobalVars().Mode == mmHome) return;
  capture_->Stop();
  SetCaptureButtons(2);
  GlobalVars().Mode = mmHome;
  SwitchMode(mmHome);
}

// The devices of a capture mode. The device the user chose for the mode
// (its index into the mode's list) is kept; only a mode that never had
// one starts on the first device.
void TfrmMain::ModeDeviceSelection(TMainMode m) {
  TGlobalVars& g = GlobalVars();
  struct Pick {
    const String& names;
    int32_t& index;
    String& name;
  };
  auto pick = [](Pick p) -> String {
    if (p.index == -1 || p.names.empty()) return String();
    if (p.index >= LineCount(p.names)) p.index = 0;
    p.name = LineOf(p.names, p.index);
    return p.name;
  };
  String video, audio;
  switch (m) {
    case mmDV:
      video = pick({g.DVVideoDeviceNames, g.DVVideoDevice, g.DVVideoDeviceName});
      audio = pick({g.DVAudioDeviceNames, g.DVAudioDevice, g.DVAudioDeviceName});
      break;
    case mmTV:
      video = pick({g.TVVideoDeviceNames, g.TVVideoDevice, g.TVVideoDeviceName});
      audio = pick({g.TVAudioDeviceNames, g.TVAudioDevice, g.TVAudioDeviceName});
      break;
    default:
      video = pick({g.ODVideoDeviceNames, g.ODVideoDevice, g.ODVideoDeviceName});
      audio = pick({g.ODAudioDeviceNames, g.ODAudioDevice, g.ODAudioDeviceName});
      break;
  }
  if (!video.empty()) capture_->SetVideoDevice(capture_->FindVideoDevice(video));
  if (!audio.empty()) capture_->SetAudioDevice(capture_->FindAudioDevice(audio));
}

// The browser's source is the one capture mode whose item of the source
// menu is disabled; the browser's command and its source choice keep it so.
TMainMode TfrmMain::BrowseSource() const {
  if (!mniSelect_DV->Enabled()) return mmDV;
  if (!mniSelect_TV->Enabled()) return mmTV;
  return mmOD;
}

void TfrmMain::EnableAlbumButtons() {
  const int albumIndex = cmbPath->ItemIndex();
  if (albumIndex == 0 || albumIndex == 1) {
    btnDeletePath->SetEnabled(false);
    btnRenamePath->SetEnabled(false);
  } else if (albumIndex >= 2) {
    btnDeletePath->SetEnabled(true);
    btnRenamePath->SetEnabled(true);
  }
}

void TfrmMain::ChangeStorageRoot(const String& Base) {
  TGlobalVars& g = GlobalVars();
  String failed, reason;
  if (!ChangeStorageRootFolders(g, Base, DateStamp(false), &failed, &reason)) return;
  if (!failed.empty()) Warn(FormatLanguageText(MSG_APPLICATION_FOLDERNOTCREATED, {failed, reason}));
  // The browser's folders are a copy of its source's, which just moved.
  if (g.Mode == mmBF) {
    const TMainMode source = BrowseSource();
    g.BF_Path = source == mmDV ? g.DV_Path : source == mmTV ? g.TV_Path : g.OD_Path;
    g.BFRootPath = source == mmDV ? g.DVRootPath : source == mmTV ? g.TVRootPath : g.ODRootPath;
    g.BFDefaultPath = source == mmDV ? g.DVDefaultPath : source == mmTV ? g.TVDefaultPath : g.ODDefaultPath;
    g.BF_PathIndex = 0;
  }
  switch (g.Mode) {
    case mmDV: capture_->SetStoragePath(g.DV_Path); break;
    case mmTV: capture_->SetStoragePath(g.TV_Path); break;
    case mmOD: capture_->SetStoragePath(g.OD_Path); break;
    case mmBF: capture_->SetStoragePath(g.BF_Path); break;
    default: break;
  }
  FillAlbumCombo(g.Mode);
  EnableAlbumButtons();
  RefreshBrowser();
}

void TfrmMain::SwitchMode(TMainMode M) {
  TGlobalVars& g = GlobalVars();
  FillAlbumCombo(M);
  EnableAlbumButtons();
  // A slide show belongs to the browser; leaving it ends the show, or its
  // next tick would open a file over the new mode's video.
  if (M != mmBF) EndSlideShow();
  imvViewer->Clear();
  ShowMediaFolder(M);

  // F3 is the rename key in the browser and the snapshot key elsewhere.
  ActionRename->SetEnabled(M == mmBF);

  auto filterButtons = [this](uint8_t filter) {
    btnShowAll->SetEnabled(filter != 3);
    btnShowImage->SetEnabled(filter != 1);
    btnShowVideo->SetEnabled(filter != 2);
  };
  auto navigateItems = [this](TMenuItem* own) {
    for (TMenuItem* i : {mniDV, mniTV, mniOD, mniBF}) i->SetEnabled(i != own);
  };
  auto showWorkArea = [this]() {
    imgSoftName->SetVisible(false);
    lblMainTitle->SetVisible(true);
    btnHome->SetVisible(true);
    pnlHome->SetVisible(false);
    pnlDV->SetVisible(true);
    pnlDV->BringToFront();
  };

  switch (M) {
    case mmDV:
    case mmTV:
    case mmOD: {
      LoadSkinPicture("imgMain02.bmp");
      ModeDeviceSelection(M);
      SetToolbarVisible(true);
      btnConnect->SetEnabled(true);
      btnDeviceSetting->SetEnabled(true);
      btnNewPath->SetEnabled(true);
      btnNewPath->SetVisible(true);
      btnSelectPath->SetVisible(false);
      ActionPlay->SetEnabled(false);
      navigateItems(M == mmDV ? mniDV : M == mmTV ? mniTV : mniOD);
      pnlDVCommand->SetVisible(M == mmDV);
      pnlTVCommand->SetVisible(M == mmTV);
      pnlODCommand->SetVisible(M == mmOD);
      pnlBFCommand->SetVisible(false);
      filterButtons(M == mmDV ? g.DVFilter : M == mmTV ? g.TVFilter : g.ODFilter);
      capture_->SetStoragePath(M == mmDV ? g.DV_Path : M == mmTV ? g.TV_Path : g.OD_Path);
      showWorkArea();
      break;
    }
    case mmBF:
      LoadSkinPicture("imgMain02.bmp");
      SetToolbarVisible(true);
      btnConnect->SetEnabled(false);
      btnDeviceSetting->SetEnabled(false);
      btnNewPath->SetEnabled(false);
      btnNewPath->SetVisible(false);
      btnSelectPath->SetVisible(true);
      ActionPlay->SetEnabled(true);
      for (TPbButton* b : {btnHead, btnPlay, btnStop, btnPause, btnRewinds, btnFastForwards, btnBack, btnBFShotFrame,
                           btnEnd})
        b->SetEnabled(false);
      navigateItems(mniBF);
      pnlDVCommand->SetVisible(false);
      pnlTVCommand->SetVisible(false);
      pnlODCommand->SetVisible(false);
      pnlBFCommand->SetVisible(true);
      filterButtons(g.BFFilter);
      capture_->SetStoragePath(g.BF_Path);
      showWorkArea();
      break;
    case mmHome:
      LoadSkinPicture("imgMain.bmp");
      SetToolbarVisible(false);
      navigateItems(nullptr);
      imgSoftName->SetVisible(true);
      lblMainTitle->SetVisible(false);
      btnHome->SetVisible(false);
      pnlDV->SetVisible(false);
      pnlHome->SetVisible(true);
      pnlHome->BringToFront();
      break;
  }
  Invalidate();
}

void TfrmMain::SetToolbarVisible(bool Visible) {
  for (TPbButton* b : {btnEmail, btnSetting, btnDeviceSetting, btnConnect, btnFullScreen, btnHelp})
    b->SetVisible(Visible);
}

void TfrmMain::SetCaptureButtons(uint8_t State) {
  const TMainMode mode = GlobalVars().Mode;
  if (mode != mmDV && mode != mmTV && mode != mmOD) return;
  captureLook_ = State;
  TPbButton* start = mode == mmDV ? btnDVStart : mode == mmTV ? btnTVStart : btnODStart;
  TPbButton* shot = mode == mmDV ? btnDVShotFrame : mode == mmTV ? btnTVShotFrame : btnODShotFrame;
  const bool running = State != 2;
  if (running) {
    btnConnect->SetCaption(IDS_MAIN_BUTTON_DISCONNECT);
    btnConnect->SetHint(IDS_MAIN_BUTTON_DISCONNECT);
  } else {
    btnConnect->SetCaption("   " + IDS_MAIN_BUTTON_CONNECT);
    btnConnect->SetHint(IDS_MAIN_BUTTON_CONNECT);
  }
  const String& startText = State == 1 ? IDS_MAIN_BUTTON_STOPRECORDING : IDS_MAIN_BUTTON_STARTRECORDING;
  start->SetEnabled(running);
  start->SetCaption(startText);
  start->SetHint(startText);
  shot->SetEnabled(running);
  if (mode == mmDV) btnDVCommand->SetEnabled(running);
}

void TfrmMain::ActionDisconnectExecute(TObject*) {
  if (GlobalVars().Mode == mmBF) return;
  if (CaptureState == 2) {
    if (capture_->StartPreview()) {
      CaptureState = 0;
      SetCaptureButtons(0);
    }
  } else if (capture_->Stop()) {
    CaptureState = 2;
    SetCaptureButtons(2);
  }
}

void TfrmMain::btnDVMouseEnter(TObject* Sender) {
  if (Sender == btnDV)
    lblExplain->SetCaption(IDS_MAIN_LABEL_DVEXPLAIN);
  else if (Sender == btnTV)
    lblExplain->SetCaption(IDS_MAIN_LABEL_TVEXPLAIN);
  else if (Sender == btnOD)
    lblExplain->SetCaption(IDS_MAIN_LABEL_OTHERDEVICEEXPLAIN);
  else if (Sender == btnBF)
    lblExplain->SetCaption(IDS_MAIN_LABEL_BROWSEFILEEXPLAIN);
}

void TfrmMain::btnDVMouseExit(TObject*) { lblExplain->SetCaption(IDS_MAIN_LABEL_EXPLAIN); }

// Also run when code changes the box: the motion detector follows it.
void TfrmMain::cekBoxMotionDetectionClick(TObject*) {
  TGlobalVars& g = GlobalVars();
  const bool on = cekBoxMotionDetection->Checked();
  if (on) {
    const int32_t cols = capture_->GetVideoWidth();
    const int32_t rows = capture_->GetVideoHeight();
    capture_->MotionDetector_SetGridSize(cols, rows);
    capture_->MotionDetector_SetGlobalSensitivity(g.Sensitivity);
  }
  capture_->SetMotionDetector_Enabled(on);
  g.isMotionDetector = on;
}

}  // namespace app
