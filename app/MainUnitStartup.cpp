// The main window's creation steps, its first showing, the title, the
// language menu and texts, and the end of the program.
#include <dirent.h>

#include <algorithm>

#include "alarms/MotionAlarm.h"
#include "app/AlarmWorkers.h"
#include "app/DataFolders.h"
#include "app/MainUnit.h"
#include "app/ResStr.h"
#include "app/SettingsStore.h"
#include "app/frmAbout.h"
#include "platform/forms/Graphics.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/StringUtils.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"

namespace app {

using namespace forms;

// One product, one set of addresses: the About window shows the same ones.
const char* const PRODUCT_TITLE = kProductTitle;
const char* const ONLINE_RESOURCES_URL = kHomePageAddress;
const char* const SUPPORT_EMAIL = kSupportAddress;

namespace {

String JoinLines(const std::vector<String>& names) {
  String text;
  for (const String& n : names) text += n + "\r\n";
  return text;
}

}  // namespace

void TfrmMain::FormCreate(TObject*) {
  TGlobalVars& g = GlobalVars();
  std::vector<String> dvNames, tvNames, otherNames;
  VidCap->SetDisplay_AutoSize(true);
  SetDefaultSettings(g, VidCap);
  LoadSettings(g, VidCap);
  // A first run has no settings file to name the albums: the Default
  // albums, so the first recording is not told its folder went missing.
  for (auto [album, fallback] : {std::pair{&g.DV_Path, &g.DVDefaultPath}, std::pair{&g.TV_Path, &g.TVDefaultPath},
                                 std::pair{&g.OD_Path, &g.ODDefaultPath}})
    if (album->empty()) *album = *fallback;
  if (String why; !SettingsWritable(&why)) {
    NoteStartupProblem(FormatLanguageText(MSG_APPLICATION_SETTINGSNOTSAVED, {SettingsFileName(), why}));
    settingsProblemTold_ = true;
  }
  BuildLanguageMenu();
  LoadLanguage(g.LanguageFile);
  ApplyLanguageTexts();
  UpdateTitle();
  LoadButtonPictures();
  CheckSkinFolder();
  VidCap->SetAutoFilePrefix(IDS_SETTING_SHOTFRAME_FILEPREFIX);

  // Sort the video devices by kind; a DV camcorder with a tuner is DV.
  for (int32_t i = 0; i < VidCap->GetVideoDeviceCount(); ++i) {
    VidCap->SetVideoDevice(i);
    if (VidCap->IsDVDevice())
      dvNames.push_back(VidCap->GetVideoDeviceName());
    else if (VidCap->IsTVTunerAvailable())
      tvNames.push_back(VidCap->GetVideoDeviceName());
    else
      otherNames.push_back(VidCap->GetVideoDeviceName());
  }
  g.DVVideoDeviceNames = JoinLines(dvNames);
  g.TVVideoDeviceNames = JoinLines(tvNames);
  g.ODVideoDeviceNames = JoinLines(otherNames);
  tvNames.clear();
  otherNames.clear();
  for (int32_t i = 0; i < VidCap->GetAudioDeviceCount(); ++i) {
    VidCap->SetAudioDevice(i);
    if (VidCap->IsTVAudioAvailable())
      tvNames.push_back(VidCap->GetAudioDeviceName());
    else
      otherNames.push_back(VidCap->GetAudioDeviceName());
  }
  g.TVAudioDeviceNames = JoinLines(tvNames);
  g.ODAudioDeviceNames = JoinLines(otherNames);
  g.DVAudioDeviceNames = g.ODAudioDeviceNames;

  g.Mode = mmHome;
  SwitchMode(mmHome);

  FormTodayAlarmFolders(g, DateStamp(false));
  g.FreeSpaceMB = FreeSpaceMB(g.StoragePath);
  RecordingFileName = g.TodayAlarmVideoPath;
  if (String failed, why; !CreateDataFolders(g, &failed, &why))
    NoteStartupProblem(FormatLanguageText(MSG_APPLICATION_FOLDERNOTCREATED, {failed, why}));
  RestoreAlarmQueues(g, ExeFolder);
  if (motionAlarm_) motionAlarm_->ResumeDelivery();
  CreateLogFolder(g);

  VidCap->SetFrameGrabber(capture::fg_BothStreams);
  VidCap->SetAutoFileName(capture::fn_DateTime);
  VidCap->SetDisplay_Active(true);
  VidCap->SetDisplay_AutoSize(true);
  // The thumbnail view's look is set where the view is built.
  if (!PlayList) PlayList = std::make_unique<rtl::TStringList>();

  for (int i = 0; i < pnlBFCommand->ControlCount(); ++i) pnlBFCommand->Controls(i)->SetEnabled(false);
  trkPlayProccess->SetPosition(trkPlayProccess->Min());
  trkPlayProccess->SetEnabled(false);

  pnlDV->SetVisible(false);
  pnlHome->BringToFront();

  // The device of each mode: the one chosen before when it is still there
  // (by its name), else the first; -1 and a hidden menu item when the mode
  // has no device.
  struct Kind {
    TMenuItem* item;
    const String& videoNames;
    const String& audioNames;
    int32_t& video;
    int32_t& audio;
    String& videoName;
    String& audioName;
  };
  for (const Kind& k : {Kind{mniDV, g.DVVideoDeviceNames, g.DVAudioDeviceNames, g.DVVideoDevice, g.DVAudioDevice,
                             g.DVVideoDeviceName, g.DVAudioDeviceName},
                        Kind{mniTV, g.TVVideoDeviceNames, g.TVAudioDeviceNames, g.TVVideoDevice, g.TVAudioDevice,
                             g.TVVideoDeviceName, g.TVAudioDeviceName},
                        Kind{mniOD, g.ODVideoDeviceNames, g.ODAudioDeviceNames, g.ODVideoDevice, g.ODAudioDevice,
                             g.ODVideoDeviceName, g.ODAudioDeviceName}}) {
    const bool present = !k.videoNames.empty();
    k.item->SetVisible(present);
    if (present) {
      k.video = ChooseDevice(k.videoNames, k.videoName, k.video);
      k.audio = ChooseDevice(k.audioNames, k.audioName, k.audio);
    } else {
      k.video = -1;
      k.audio = -1;
    }
  }
  NextItemDue = true;
  PlayIdle = true;
  // Timed snapshots switched on in the settings run from the start.
  UpdateAutoShotTimer();
}

void TfrmMain::FormShow(TObject*) {
  ActionHome->Execute();
  TimerShowControls->SetEnabled(true);
}

void TfrmMain::TimerShowControlsTimer(TObject*) {
  Application->Restore();
  win::SetForegroundWindow(Handle());
  TimerShowControls->SetEnabled(false);
  TellStartupProblems();
}

// What went wrong at start-up is told once, in one message, over the
// window; the program runs on without what failed.
void TfrmMain::NoteStartupProblem(const String& text) { startupProblems_.push_back(text); }

void TfrmMain::TellStartupProblems() {
  if (startupProblems_.empty()) return;
  String text;
  for (const String& p : startupProblems_) text += (text.empty() ? "" : "\r\n\r\n") + p;
  startupProblems_.clear();
  Warn(text);
}

// A skin folder that is missing or cannot be listed is named as a whole;
// otherwise the first of its pictures that could not be read.
void TfrmMain::CheckSkinFolder() {
  const String folder = rtl::ExcludeTrailingPathDelimiter(SkinFolder);
  if (DIR* d = ::opendir(folder.c_str())) {
    ::closedir(d);
    if (badSkinFile_.empty()) return;
    NoteStartupProblem(FormatLanguageText(MSG_APPLICATION_BADFILE, {badSkinFile_}));
  } else {
    NoteStartupProblem(FormatLanguageText(MSG_APPLICATION_BADFILE, {SkinFolder}));
  }
}

void TfrmMain::UpdateTitle() {
  // Without its picture the title shows as text alone.
  try {
    imgSoftName->Picture()->LoadFromFile(SkinFolder + "SoftName.png");
  } catch (const std::exception&) {
    NoteBadSkinFile(SkinFolder + "SoftName.png");
  }
  Application->SetTitle(PRODUCT_TITLE);
  lblMainTitle->SetCaption(Application->Title());
}

// Saves the settings and stops the component. The mail and upload queues
// stay with the settings record until the program has ended, so a worker
// still sending never finds them gone.
void TfrmMain::SaveAndStop() {
  if (shutDown_) return;
  shutDown_ = true;
  // The mail and upload runs end first, while the windows they report to
  // are all there, and change nothing of the record that is saved.
  EndAlarmWorkers(alarmWorkers_);
  // A failure the user was not told of at start-up is told now, since what
  // was changed in this run is lost.
  if (String why; !SaveSettings(GlobalVars(), VidCap, &why) && !settingsProblemTold_) {
    settingsProblemTold_ = true;
    Warn(FormatLanguageText(MSG_APPLICATION_SETTINGSNOTSAVED, {SettingsFileName(), why}));
  }
  capture_->StopPreview();
  capture_->StopRecording();
  capture_->StopPlayer();
  capture_->Stop();
}

void TfrmMain::ActionCloseExecute(TObject*) {
  SaveAndStop();
  Application->Terminate();
}

// Closing the window any other way (the window manager, the task bar)
// ends the program as the Close command does.
void TfrmMain::DoClose(TCloseAction& action) {
  TForm::DoClose(action);
  if (action != caNone) SaveAndStop();
}

// ---- language -----------------------------------------------------------------

void TfrmMain::BuildLanguageMenu() {
  const String current = rtl::ExtractFileName(CurrentLanguagePath);
  for (const TLanguageFile& f : ListLanguageFiles(LangFolder)) {
    auto* item = new TMenuItem(this);
    item->SetCaption(f.Caption);
    item->SetAutoHotkeys(maManual);
    item->OnClick = [this](TObject* s) { SelectLanguage(s); };
    item->SetChecked(rtl::SameText(f.FileName, current));
    mnuLanguage->Add(item);
  }
}

void TfrmMain::SelectLanguage(TObject* Sender) {
  auto* clicked = dynamic_cast<TMenuItem*>(Sender);
  if (!clicked) return;
  const String fileName = LanguageFileOfCaption(clicked->Caption());
  const String path = ExeFolder + "Lang/" + fileName;
  if (!rtl::FileExists(path)) return;
  for (int i = 0; i < mnuLanguage->Count(); ++i) mnuLanguage->Items(i)->SetChecked(false);
  TGlobalVars& g = GlobalVars();
  LanguageFileName = fileName;
  g.LanguageFile = path;
  CurrentLanguagePath = path;
  LoadLanguage(path);
  clicked->SetChecked(true);
  ApplyLanguageTexts();
  WriteLanguageChoice(fileName);
}

void TfrmMain::ApplyLanguageTexts() {
  auto set = [](controls::TPbButton* b, const String& caption, const String& hint) {
    b->SetCaption(caption);
    b->SetHint(hint);
  };
  auto hintOnly = [](controls::TPbButton* b, const String& hint) { b->SetHint(hint); };

  hintOnly(btnClose, IDS_MAIN_BUTTON_CLOSE);
  for (controls::TPbButton* b : {btnBF, btnTV, btnOD, btnDV}) {
    b->SetCaption("");
    b->SetHint("");
    b->SetShowHint(false);
  }
  lblHomeDV->SetCaption(IDS_MAIN_BUTTON_DVCAPTURE);
  lblHomeTV->SetCaption(IDS_MAIN_BUTTON_TVTUNERCAPTURE);
  lblHomeOD->SetCaption(IDS_MAIN_BUTTON_OTHERDEVICECAPTURE);
  lblHomeBF->SetCaption(IDS_MAIN_BUTTON_FILEBROWSE);
  set(btnEmail, IDS_MAIN_BUTTON_EMAIL, IDS_MAIN_BUTTON_EMAIL);
  set(btnSetting, IDS_MAIN_BUTTON_SETTINGS, IDS_MAIN_BUTTON_SETTINGS);
  set(btnShowAll, "     " + IDS_MAIN_BUTTON_SHOWALL, IDS_MAIN_BUTTON_SHOWALL);
  set(btnShowImage, "         " + IDS_MAIN_BUTTON_SHOWIMAGE, IDS_MAIN_BUTTON_SHOWIMAGE);
  set(btnShowVideo, "         " + IDS_MAIN_BUTTON_SHOWVIDEO, IDS_MAIN_BUTTON_SHOWVIDEO);
  hintOnly(btnStop, IDS_MAIN_BUTTON_STOP);
  set(btnDeviceSetting, IDS_MAIN_BUTTON_DEVICESETTING, IDS_MAIN_BUTTON_DEVICESETTING);
  set(btnFullScreen, IDS_MAIN_BUTTON_FULLSCREEN, IDS_MAIN_BUTTON_FULLSCREEN);
  // The look the capture buttons last had, in the new texts: "Connect"
  // once the component was stopped (also in the browser and on the start
  // page, where the capture buttons are not set), else "Disconnect".
  if (captureLook_ == 2)
    set(btnConnect, "   " + IDS_MAIN_BUTTON_CONNECT, IDS_MAIN_BUTTON_CONNECT);
  else
    set(btnConnect, IDS_MAIN_BUTTON_DISCONNECT, IDS_MAIN_BUTTON_DISCONNECT);
  set(btnHome, IDS_MAIN_BUTTON_STARTPAGE, IDS_MAIN_BUTTON_STARTPAGE);
  hintOnly(btnMin, IDS_MAIN_BUTTON_MIN);
  btnHelp->SetCaption("      " + IDS_MAIN_BUTTON_HELP);
  hintOnly(btnDeletePath, IDS_MAIN_BUTTON_DELETEPATH);
  hintOnly(btnNewPath, IDS_MAIN_BUTTON_NEWPATH);
  hintOnly(btnRenamePath, IDS_MAIN_BUTTON_RENAMEPATH);
  hintOnly(btnSelectPath, TEXT_SELECT);
  for (controls::TPbButton* b : {btnDVCaptureSetting, btnTVCaptureSetting, btnODCaptureSetting})
    set(b, IDS_MAIN_BUTTON_CAPTURESETTING, IDS_MAIN_BUTTON_CAPTURESETTING);
  for (controls::TPbButton* b : {btnDVStart, btnTVStart, btnODStart})
    set(b, IDS_MAIN_BUTTON_STARTRECORDING, IDS_MAIN_BUTTON_STARTRECORDING);
  for (controls::TPbButton* b : {btnDVShotFrame, btnTVShotFrame, btnODShotFrame, btnBFShotFrame})
    set(b, IDS_MAIN_BUTTON_SHOTFRAME, IDS_MAIN_BUTTON_SHOTFRAME);
  set(btnDVCommand, IDS_MAIN_BUTTON_DVCOMMAND, IDS_MAIN_BUTTON_DVCOMMAND);
  hintOnly(btnHead, IDS_MAIN_BUTTON_HEAD);
  hintOnly(btnEnd, IDS_MAIN_BUTTON_END);
  hintOnly(btnBack, IDS_MAIN_BUTTON_BACK);
  hintOnly(btnPause, IDS_MAIN_BUTTON_PAUSE);
  hintOnly(btnPlay, IDS_MAIN_BUTTON_PLAY);
  hintOnly(btnStop, IDS_MAIN_BUTTON_STOP);
  hintOnly(btnRewinds, IDS_MAIN_BUTTON_REWINDS);
  hintOnly(btnFastForwards, IDS_MAIN_BUTTON_FASTFORWARDS);
  lblWhatToDo->SetCaption(IDS_MAIN_LABEL_WHATTODO);
  lblExplain->SetCaption(IDS_MAIN_LABEL_EXPLAIN);
  mniDV->SetCaption(IDS_MAIN_MENU_TVCAPTURE);
  mniTV->SetCaption(IDS_MAIN_MENU_TVTUNERCAPTURE);
  mniOD->SetCaption(IDS_MAIN_MENU_OTHERDEVICECAPTURE);
  mniBF->SetCaption(IDS_MAIN_MENU_FILEBROWSE);
  const String* dvTexts[16] = {&IDS_MAIN_MENU_DVPLAY,           &IDS_MAIN_MENU_DVSTOP,
                               &IDS_MAIN_MENU_DVFREEZE,         &IDS_MAIN_MENU_DVTHAW,
                               &IDS_MAIN_MENU_DVFF,             &IDS_MAIN_MENU_DVREW,
                               &IDS_MAIN_MENU_DVRECORD,         &IDS_MAIN_MENU_DVRECORDFREEZE,
                               &IDS_MAIN_MENU_DVRECORDSTROBE,   &IDS_MAIN_MENU_DVSTEPFWD,
                               &IDS_MAIN_MENU_DVSTEPREV,        &IDS_MAIN_MENU_DVMODESHUTTL,
                               &IDS_MAIN_MENU_DVPLAYFASTESTFWD, &IDS_MAIN_MENU_DVPLAYSLOWESTFWD,
                               &IDS_MAIN_MENU_DVPLAYFASTESTREV, &IDS_MAIN_MENU_DVPLAYSLOWESTREV};
  for (int i = 0; i < 16; ++i) mniDVCommands[i]->SetCaption(*dvTexts[i]);
  mniFile_Copy->SetCaption(IDS_MAIN_MENU_COPYFILE);
  mniFile_Delete->SetCaption(IDS_MAIN_MENU_DELETEFILE);
  mniFile_Rename->SetCaption(IDS_MAIN_MENU_RENAMEFILE);
  mniFile_Refresh->SetCaption(IDS_MAIN_MENU_REFRESHFILELIST);
  mniFile_Open->SetCaption(IDS_MAIN_MENU_OPENFILE);
  mniFile_Play->SetCaption(IDS_MAIN_MENU_PLAYFILE);
  mniSelect_DV->SetCaption(IDS_MAIN_MENU_SELECTDVCAPTURE);
  mniSelect_TV->SetCaption(IDS_MAIN_MENU_SELECTTVTUNERCAPTURE);
  mniSelect_OD->SetCaption(IDS_MAIN_MENU_SELECTOTHERDEVICECAPTURE);
  mniHelp->SetCaption(IDS_MAIN_MENU_HELPCONTENT);
  mniOnlineResources->SetCaption(IDS_MAIN_MENU_ONLINERESOURCES);
  mniContactTechnicalSupport->SetCaption(IDS_MAIN_MENU_TECHNICALSUPPORT);
  mniAbout->SetCaption(IDS_MAIN_MENU_ABOUT);
  mnuLanguage->SetCaption(IDS_MAIN_MENU_LANGUAGE);
  while (cmbPath->Items()->Count() < 2) cmbPath->Items()->Add("");
  const int selected = cmbPath->ItemIndex();
  cmbPath->Items()->SetStrings(0, IDS_MAIN_COMBO_PATH_0);
  cmbPath->Items()->SetStrings(1, IDS_MAIN_COMBO_PATH_1);
  cmbPath->SetItemIndex(selected);
  cekBoxMotionDetection->SetCaption(IDS_MAIN_CK_MotionDetection);
  btnMotinoDetectionSetting->SetCaption(IDS_MAIN_BTN_MotinoDetectionSetting);
  btnMotinoDetectionSetting->SetHint(IDS_MAIN_BTN_MotinoDetectionSetting);
  // A recording keeps its "Stop" caption across a change of language, and
  // the buttons keep the look they had, whatever state set it.
  SetCaptureButtons(captureLook_);
}

}  // namespace app
