// The main window's definition: its controls with their places, its
// actions, menus and timers, and the pictures of its buttons. The layout is
// kept in this one file; the skin pictures (tools/make-skin.py) are drawn
// to the same sizes.
#include "app/MainUnit.h"

#include "alarms/MotionAlarm.h"
#include "app/AlarmWorkers.h"
#include "app/FormWaiting.h"
#include "app/WorkerStatus.h"
#include "app/frmErrorHint.h"
#include "platform/forms/Graphics.h"
#include "platform/win/Input.h"

namespace app {

using namespace forms;
using controls::TPbButton;
using controls::TstyImagePanel;

TfrmMain* frmMain = nullptr;

namespace {

// Toolbar and command buttons: an icon above a one-line caption.
constexpr int kToolW = 86, kToolH = 44;
constexpr int kCmdW = 96, kCmdH = 44;
constexpr int kPlayerW = 36, kPlayerH = 34;
constexpr int kPlayerShotW = 74;
constexpr int kPathW = 48, kPathH = 24;
constexpr int kFilterW = 70, kFilterH = 30;
constexpr int kBigW = 132, kBigH = 132;

TstyImagePanel* Panel(TComponent* owner, TWinControl* parent, int x, int y, int w, int h) {
  auto* p = new TstyImagePanel(owner);
  p->SetParent(parent);
  p->SetBounds(x, y, w, h);
  p->SetTransparent(true);
  p->SetBevelOuter(bvNone);
  return p;
}

TLabel* Label(TComponent* owner, TWinControl* parent, int x, int y, int w, int h, int size, TColor color) {
  auto* l = new TLabel(owner);
  l->SetParent(parent);
  l->SetAutoSize(false);
  l->SetBounds(x, y, w, h);
  l->SetTransparent(true);
  l->Font()->SetName("Arial");
  l->Font()->SetSize(size);
  l->Font()->SetColor(color);
  return l;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) {
  SetName("frmMain");
  SetBorderStyle(bsNone);
  SetPosition(poScreenCenter);
  SetClientWidth(640);
  SetClientHeight(480);
  SetColor(TColor(0x00533A1E));
  SetTransparentColor(true);
  SetTransparentColorValue(clFuchsia);
  SetKeyPreview(true);
  SetCaption(PRODUCT_TITLE);
  Font()->SetName("Arial");
  Font()->SetSize(8);
  BuildActions();
  BuildControls();
  BuildMenus();
  BuildTimers();
  BindCaptureEvents();
  BuildBrowser();
  capture_ = std::make_unique<TMainCapture>(VidCap);
  workerStatus_ = std::make_unique<TWorkerStatus>(this, nullptr, timerSendEmail);
  BuildMotionAlarm();
  BuildAlarmWorkers();
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
}

TfrmMain::~TfrmMain() {
  // The mail and upload runs report to this window and use its timers:
  // they end (or are let go) while all of it is still there.
  EndAlarmWorkers(alarmWorkers_);
  // The capture component's threads call back into this window (the frame
  // overlay runs on every shown frame); it goes first, while the window is
  // still whole, rather than with the other owned components once only the
  // base form is left.
  delete VidCap;
  VidCap = nullptr;
  // The re-encoding window has no owner; it goes with the window that
  // made it, so it never reports its end to a window already gone.
  if (TfrmWaiting* window = reencodingWindow_) {
    reencodingWindow_ = nullptr;
    window->OnDestroy = nullptr;
    delete window;
  }
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::SetHintWindow(TfrmHint* hint) { workerStatus_->SetHintWindow(hint); }

void TfrmMain::Dispatch(TMessage& message) {
  if (workerStatus_ && workerStatus_->Dispatch(message)) return;
  TForm::Dispatch(message);
}

void TfrmMain::BuildActions() {
  ActionList = new TActionList(this);
  auto make = [this](const char* name, TShortCut shortCut, void (TfrmMain::*handler)(TObject*)) {
    auto* a = new TAction(this);
    a->SetName(name);
    a->SetActionList(ActionList);
    if (shortCut) a->SetShortCut(shortCut);
    if (handler) a->OnExecute = [this, handler](TObject* s) { (this->*handler)(s); };
    return a;
  };
  ActionDVCapture = make("ActionDVCapture", 0, &TfrmMain::ActionDVCaptureExecute);
  ActionTVTunerCapture = make("ActionTVTunerCapture", 0, &TfrmMain::ActionTVTunerCaptureExecute);
  ActionOtherDeviceCapture = make("ActionOtherDeviceCapture", 0, &TfrmMain::ActionOtherDeviceCaptureExecute);
  ActionFileBrowse = make("ActionFileBrowse", 0, &TfrmMain::ActionFileBrowseExecute);
  ActionHome = make("ActionHome", 0, &TfrmMain::ActionHomeExecute);
  ActionEmail = make("ActionEmail", 0, &TfrmMain::ActionEmailExecute);
  ActionPrint = make("ActionPrint", 0, &TfrmMain::ActionPrintExecute);
  ActionSettings = make("ActionSettings", 0, &TfrmMain::ActionSettingsExecute);
  ActionDeviceSettings = make("ActionDeviceSettings", 0, &TfrmMain::ActionDeviceSettingsExecute);
  ActionFullScreen = make("ActionFullScreen", 0, &TfrmMain::ActionFullScreenExecute);
  ActionDisconnect = make("ActionDisconnect", 0, &TfrmMain::ActionDisconnectExecute);
  ActionNavigate = make("ActionNavigate", 0, &TfrmMain::ActionNavigateExecute);
  ActionClose = make("ActionClose", 0, &TfrmMain::ActionCloseExecute);
  ActionHelp = make("ActionHelp", ShortCut(win::VK_F1, {}), &TfrmMain::ActionHelpExecute);
  // The browser's file commands get their handlers with the thumbnail view.
  ActionOpen = make("ActionOpen", ShortCut('O', {ssCtrl}), nullptr);
  ActionCopy = make("ActionCopy", ShortCut('C', {ssCtrl}), nullptr);
  ActionDelete = make("ActionDelete", ShortCut(win::VK_DELETE, {}), nullptr);
  ActionRename = make("ActionRename", ShortCut(win::VK_F3, {}), nullptr);
  ActionPlay = make("ActionPlay", ShortCut('P', {ssCtrl}), nullptr);
  ActionRefresh = make("ActionRefresh", ShortCut(win::VK_F5, {}), nullptr);
  actShotFrame = make("actShotFrame", ShortCut(win::VK_F2, {}), nullptr);
  ActionPrint->SetCaption("Print");
}

void TfrmMain::BuildControls() {
  imgMain = new controls::TstySkinForm(this);
  imgMain->SetParent(this);
  imgMain->SetBounds(0, 0, 640, 480);
  imgMain->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { StartWindowDrag(); };

  auto drag = [this](TObject*, TMouseButton, TShiftState, int, int) { StartWindowDrag(); };

  imgSoftName = new TImage(this);
  imgSoftName->SetParent(this);
  imgSoftName->SetBounds(16, 5, 300, 28);
  imgSoftName->SetTransparent(true);
  imgSoftName->OnMouseDown = drag;
  lblMainTitle = Label(this, this, 18, 9, 300, 20, 11, clWhite);
  lblMainTitle->Font()->SetStyle({fsBold});
  lblMainTitle->OnMouseDown = drag;
  ImagMotionDetection = new TImage(this);
  ImagMotionDetection->SetParent(this);
  ImagMotionDetection->SetBounds(0, 0, 32, 24);
  ImagMotionDetection->SetVisible(false);

  auto button = [this](TWinControl* parent, const char* name, int x, int y, int w, int h) {
    auto* b = new TPbButton(this);
    b->SetName(name);
    b->SetParent(parent);
    b->SetBounds(x, y, w, h);
    b->SetTransparent(true);
    b->SetEnableTransparentColor(true);
    b->SetDrawFocused(false);
    b->Font()->SetName("Arial");
    b->Font()->SetSize(8);
    b->Font()->SetColor(clWhite);
    b->FontMouseHover()->Assign(b->Font());
    b->FontMouseDown()->Assign(b->Font());
    b->FontDisabled()->Assign(b->Font());
    b->FontDisabled()->SetColor(TColor(0x00A09080));
    b->SetShowHint(true);
    return b;
  };
  auto under = [](TPbButton* b) {  // icon above, caption below
    b->SetTextAlign(controls::taBottomCenter);
    b->SetTextX(0);
  };

  // ---- the start page ----
  pnlHome = Panel(this, this, 0, 38, 640, 442);
  pnlHome->OnMouseDown = drag;
  lblWhatToDo = Label(this, pnlHome, 40, 40, 560, 30, 16, clWhite);
  lblWhatToDo->Font()->SetStyle({fsBold});
  lblExplain = Label(this, pnlHome, 40, 312, 560, 24, 11, TColor(0x00FFE8C8));
  lblExplain->SetAlignment(taCenter);
  lblExplain->OnMouseDown = drag;
  btnDV = button(pnlHome, "btnDV", 28, 120, kBigW, kBigH);
  btnTV = button(pnlHome, "btnTV", 28 + 148, 120, kBigW, kBigH);
  btnOD = button(pnlHome, "btnOD", 28 + 2 * 148, 120, kBigW, kBigH);
  btnBF = button(pnlHome, "btnBF", 28 + 3 * 148, 120, kBigW, kBigH);
  btnDV->SetAction(ActionDVCapture);
  btnTV->SetAction(ActionTVTunerCapture);
  btnOD->SetAction(ActionOtherDeviceCapture);
  btnBF->SetAction(ActionFileBrowse);
  int column = 0;
  for (TLabel** name : {&lblHomeDV, &lblHomeTV, &lblHomeOD, &lblHomeBF}) {
    *name = Label(this, pnlHome, 28 + 148 * column++, 258, kBigW, 20, 10, clWhite);
    (*name)->SetAlignment(taCenter);
  }
  for (TPbButton* b : {btnDV, btnTV, btnOD, btnBF}) {
    b->OnMouseEnter = [this](TObject* s) { btnDVMouseEnter(s); };
    b->OnMouseExit = [this](TObject* s) { btnDVMouseExit(s); };
  }

  // ---- the working area of the four modes ----
  pnlDV = Panel(this, this, 10, 86, 620, 386);
  pnlDV->OnMouseDown = drag;
  pnlPathCommand = Panel(this, pnlDV, 0, 0, 216, 58);
  pnlPathCommand->OnMouseDown = drag;
  cmbPath = new controls::TstyComboBox(this);
  cmbPath->SetParent(pnlPathCommand);
  cmbPath->SetStyle(csDropDownList);
  cmbPath->SetBounds(6, 5, 204, 22);
  btnNewPath = button(pnlPathCommand, "btnNewPath", 6, 31, kPathW, kPathH);
  btnSelectPath = button(pnlPathCommand, "btnSelectPath", 6, 31, kPathW, kPathH);
  btnRenamePath = button(pnlPathCommand, "btnRenamePath", 58, 31, kPathW, kPathH);
  btnDeletePath = button(pnlPathCommand, "btnDeletePath", 110, 31, kPathW, kPathH);
  pnlViewerPlace = Panel(this, pnlDV, 0, 60, 216, 288);
  pnlViewerPlace->OnMouseDown = drag;
  pnlBrowseCommand = Panel(this, pnlDV, 0, 352, 216, 34);
  pnlBrowseCommand->OnMouseDown = drag;
  btnShowAll = button(pnlBrowseCommand, "btnShowAll", 2, 2, kFilterW, kFilterH);
  btnShowImage = button(pnlBrowseCommand, "btnShowImage", 73, 2, kFilterW, kFilterH);
  btnShowVideo = button(pnlBrowseCommand, "btnShowVideo", 144, 2, kFilterW, kFilterH);
  // The captions start with blanks that leave room for the icon.
  for (TPbButton* b : {btnShowAll, btnShowImage, btnShowVideo}) {
    b->SetTextAlign(controls::taCustom);
    b->SetTextX(b == btnShowAll ? 11 : 2);
    b->SetTextY(8);
  }

  pnlWorkSpace = Panel(this, pnlDV, 222, 0, 398, 386);
  pnlWorkSpace->OnMouseDown = drag;
  pnlImage = Panel(this, pnlWorkSpace, 0, 0, 398, 300);
  pnlImage->SetTransparent(false);
  pnlImage->SetColor(clBlack);
  pnlImage->OnMouseDown = drag;
  VidCap = new capture::TVidCap(this);
  VidCap->SetParent(pnlImage);
  VidCap->SetAlign(alClient);
  VidCap->SetAutoStartPreview(false);
  VidCap->SetAutoStartPlayer(true);
  VidCap->SetNotificationMethod(capture::nm_Timer);
  VidCap->SetNotificationSleepTime(-1);
  VidCap->SetJPEGQuality(100);
  VidCap->OnDblClick = [this](TObject* s) { VidCapDblClick(s); };
  VidCap->SetOnFrameOverlayUsingDC(
      [this](TObject* s, const capture::TFrameInfo& info, win::HDC dc) { VidCapFrameOverlayUsingDC(s, info, dc); });

  auto commandPanel = [&](const char* name) {
    auto* p = Panel(this, pnlWorkSpace, 0, 304, 398, 82);
    p->SetName(name);
    p->OnMouseDown = drag;
    return p;
  };
  auto commands = [&](TstyImagePanel* p, std::initializer_list<std::pair<TPbButton**, const char*>> list, int w) {
    int x = 2;
    for (const auto& [field, name] : list) {
      *field = button(p, name, x, 2, w, kCmdH);
      under(*field);
      x += w + 2;
    }
  };
  const int kMotionW = 398 - 4 - 3 * (kCmdW + 2);
  pnlDVCommand = commandPanel("pnlDVCommand");
  commands(pnlDVCommand,
           {{&btnDVCaptureSetting, "btnDVCaptureSetting"},
            {&btnDVCommand, "btnDVCommand"},
            {&btnDVStart, "btnDVStart"},
            {&btnDVShotFrame, "btnDVShotFrame"}},
           kCmdW);
  pnlTVCommand = commandPanel("pnlTVCommand");
  commands(pnlTVCommand,
           {{&btnTVCaptureSetting, "btnTVCaptureSetting"},
            {&btnTVStart, "btnTVStart"},
            {&btnTVShotFrame, "btnTVShotFrame"}},
           kCmdW);
  pnlODCommand = commandPanel("pnlODCommand");
  commands(pnlODCommand,
           {{&btnODCaptureSetting, "btnODCaptureSetting"},
            {&btnODStart, "btnODStart"},
            {&btnODShotFrame, "btnODShotFrame"}},
           kCmdW);
  btnMotinoDetectionSetting = button(pnlODCommand, "btnMotinoDetectionSetting", 2 + 3 * (kCmdW + 2), 2, kMotionW, kCmdH);
  under(btnMotinoDetectionSetting);
  cekBoxMotionDetection = new controls::TFcCheckBox(this);
  cekBoxMotionDetection->SetParent(pnlODCommand);
  cekBoxMotionDetection->SetBounds(6, 54, 200, 20);
  cekBoxMotionDetection->Font()->SetColor(clWhite);
  cekBoxMotionDetection->SetColor(TColor(0x00271D14));
  cekBoxMotionDetection->OnClick = [this](TObject* s) { cekBoxMotionDetectionClick(s); };
  for (TPbButton* b : {btnDVShotFrame, btnTVShotFrame, btnODShotFrame}) b->SetAction(actShotFrame);

  pnlBFCommand = commandPanel("pnlBFCommand");
  trkPlayProccess = new TTrackBar(this);
  trkPlayProccess->SetParent(pnlBFCommand);
  trkPlayProccess->SetBounds(2, 0, 394, 28);
  VidCap->SetPlayerTrackBar(trkPlayProccess);
  VidCap->SetBackgroundColor(clBlack);
  VidCap->SetColor(clBlack);
  {
    int x = 2;
    for (auto [field, name] : std::initializer_list<std::pair<TPbButton**, const char*>>{
             {&btnHead, "btnHead"},
             {&btnRewinds, "btnRewinds"},
             {&btnBack, "btnBack"},
             {&btnPlay, "btnPlay"},
             {&btnPause, "btnPause"},
             {&btnStop, "btnStop"},
             {&btnFastForwards, "btnFastForwards"},
             {&btnEnd, "btnEnd"},
             {&btnBFShotFrame, "btnBFShotFrame"}}) {
      *field = button(pnlBFCommand, name, x, 34, kPlayerW, kPlayerH);
      x += kPlayerW + 4;
    }
  }

  // The snapshot of the player row carries its caption beside the icon.
  btnBFShotFrame->SetWidth(kPlayerShotW);
  btnBFShotFrame->SetTextAlign(controls::taCustom);
  btnBFShotFrame->SetTextX(26);
  btnBFShotFrame->SetTextY(10);

  // ---- the toolbar and the window buttons ----
  btnMin = button(this, "btnMin", 572, 5, 30, 24);
  btnClose = button(this, "btnClose", 604, 5, 30, 24);
  btnMin->OnClick = [this](TObject* s) { btnMinClick(s); };
  btnClose->SetAction(ActionClose);
  {
    int x = 10;
    for (auto [field, name] : std::initializer_list<std::pair<TPbButton**, const char*>>{
             {&btnHome, "btnHome"},
             {&btnEmail, "btnEmail"},
             {&btnSetting, "btnSetting"},
             {&btnDeviceSetting, "btnDeviceSetting"},
             {&btnFullScreen, "btnFullScreen"},
             {&btnConnect, "btnConnect"},
             {&btnHelp, "btnHelp"}}) {
      *field = button(this, name, x, 38, kToolW, kToolH);
      under(*field);
      x += kToolW + 2;
    }
  }
  btnHome->SetAction(ActionHome);
  btnEmail->SetAction(ActionEmail);
  btnSetting->SetAction(ActionSettings);
  btnDeviceSetting->SetAction(ActionDeviceSettings);
  btnFullScreen->SetAction(ActionFullScreen);
  btnConnect->SetAction(ActionDisconnect);
  btnHelp->OnClick = [this](TObject* s) { btnHelpClick(s); };
}

void TfrmMain::BuildMenus() {
  auto item = [this](TMenuItem* parent, const char* name, TBasicAction* action = nullptr) {
    auto* m = new TMenuItem(this);
    m->SetName(name);
    if (action) m->SetAction(action);
    parent->Add(m);
    return m;
  };
  auto line = [this](TMenuItem* parent) {
    auto* m = new TMenuItem(this);
    m->SetCaption("-");
    parent->Add(m);
  };
  PopupMenuNavigate = new TPopupMenu(this);
  mniDV = item(PopupMenuNavigate->Items(), "mniDV", ActionDVCapture);
  mniTV = item(PopupMenuNavigate->Items(), "mniTV", ActionTVTunerCapture);
  mniOD = item(PopupMenuNavigate->Items(), "mniOD", ActionOtherDeviceCapture);
  mniBF = item(PopupMenuNavigate->Items(), "mniBF", ActionFileBrowse);

  mnuDVCommand = new TPopupMenu(this);
  static const char* const kDVNames[16] = {
      "mniDVPlay",   "mniStop",         "mniFreeze",         "mniThaw",           "mniFf",
      "mniRew",      "mniRecord",       "mniRecordFreeze",   "mniRecordStrobe",   "mniStepFwd",
      "mniStepRev",  "mniModeShuttle",  "mniPlayFastestFwd", "mniPlaySlowestFwd", "mniPlayFastestRev",
      "mniPlaySlowestRev"};
  for (int i = 0; i < 16; ++i) {
    mniDVCommands[i] = item(mnuDVCommand->Items(), kDVNames[i]);
    mniDVCommands[i]->SetTag(i);
  }

  mnuFile = new TPopupMenu(this);
  mniFile_Open = item(mnuFile->Items(), "mniFile_Open", ActionOpen);
  mniFile_Copy = item(mnuFile->Items(), "mniFile_Copy", ActionCopy);
  mniFile_Cut = item(mnuFile->Items(), "mniFile_Cut");
  mniFile_Cut->SetVisible(false);
  mniFile_Delete = item(mnuFile->Items(), "mniFile_Delete", ActionDelete);
  mniFile_Rename = item(mnuFile->Items(), "mniFile_Rename", ActionRename);
  mniFile_Play = item(mnuFile->Items(), "mniFile_Play", ActionPlay);
  line(mnuFile->Items());
  mniFile_Refresh = item(mnuFile->Items(), "mniFile_Refresh", ActionRefresh);

  mnuSelectDeviceType = new TPopupMenu(this);
  mniSelect_DV = item(mnuSelectDeviceType->Items(), "mniSelect_DV");
  mniSelect_TV = item(mnuSelectDeviceType->Items(), "mniSelect_TV");
  mniSelect_OD = item(mnuSelectDeviceType->Items(), "mniSelect_OD");

  mnuHelp = new TPopupMenu(this);
  mniHelp = item(mnuHelp->Items(), "mniHelp");
  mniHelp->SetShortCut(ShortCut(win::VK_F1, {}));
  mniHelp->OnClick = [this](TObject* s) { ActionHelpExecute(s); };
  line(mnuHelp->Items());
  mnuLanguage = item(mnuHelp->Items(), "mnuLanguage");
  line(mnuHelp->Items());
  mniOnlineResources = item(mnuHelp->Items(), "mniOnlineResources");
  mniOnlineResources->OnClick = [this](TObject* s) { mniOnlineResourcesClick(s); };
  mniContactTechnicalSupport = item(mnuHelp->Items(), "mniContactTechnicalSupport");
  mniContactTechnicalSupport->OnClick = [this](TObject* s) { mniContactTechnicalSupportClick(s); };
  line(mnuHelp->Items());
  mniAbout = item(mnuHelp->Items(), "mniAbout");
  mniAbout->OnClick = [this](TObject* s) { mniAboutClick(s); };
}

void TfrmMain::BuildTimers() {
  auto timer = [this](const char* name, uint32_t interval) {
    auto* t = new TTimer(this);
    t->SetName(name);
    t->SetEnabled(false);
    t->SetInterval(interval);
    return t;
  };
  TimerShowControls = timer("TimerShowControls", 500);
  TimerShowControls->OnTimer = [this](TObject* s) { TimerShowControlsTimer(s); };
  tmrPlayMediaFiles = timer("tmrPlayMediaFiles", 1000);
  tmrAutoShotFrame = timer("tmrAutoShotFrame", 10000);
  timerAlarmDelay = timer("timerAlarmDelay", 10);
  timerFreeSpaceDetection = timer("timerFreeSpaceDetection", 1000);
  timerStopRecord = timer("timerStopRecord", 2000);
  timerStartRecordVideo = timer("timerStartRecordVideo", 1);
  timerSendEmail = timer("timerSendEmail", 20000);
  timerSavePicture = timer("timerSavePicture", 2000);
  timerFTPUpload = timer("timerFTPUpload", 2000);
}

// The four state pictures of every picture button: skin/<button>.png for
// the normal face and <button>_hover, _down and _disabled for the others.
// Buttons of one meaning share a picture name. A picture that is missing
// or does not load leaves that state without a picture.
void TfrmMain::LoadButtonPictures() {
  const std::pair<TPbButton*, const char*> faces[] = {
      {btnDV, "btnDV"},
      {btnTV, "btnTV"},
      {btnOD, "btnOD"},
      {btnBF, "btnBF"},
      {btnNewPath, "btnNewPath"},
      {btnSelectPath, "btnSelectPath"},
      {btnRenamePath, "btnRenamePath"},
      {btnDeletePath, "btnDeletePath"},
      {btnShowAll, "btnShowAll"},
      {btnShowImage, "btnShowImage"},
      {btnShowVideo, "btnShowVideo"},
      {btnDVCaptureSetting, "btnCaptureSetting"},
      {btnTVCaptureSetting, "btnCaptureSetting"},
      {btnODCaptureSetting, "btnCaptureSetting"},
      {btnDVCommand, "btnDVCommand"},
      {btnDVStart, "btnStart"},
      {btnTVStart, "btnStart"},
      {btnODStart, "btnStart"},
      {btnDVShotFrame, "btnShotFrame"},
      {btnTVShotFrame, "btnShotFrame"},
      {btnODShotFrame, "btnShotFrame"},
      {btnMotinoDetectionSetting, "btnMotionSetting"},
      {btnHead, "btnHead"},
      {btnBack, "btnBack"},
      {btnPause, "btnPause"},
      {btnPlay, "btnPlay"},
      {btnStop, "btnStop"},
      {btnRewinds, "btnRewinds"},
      {btnFastForwards, "btnFastForwards"},
      {btnEnd, "btnEnd"},
      {btnBFShotFrame, "btnBFShotFrame"},
      {btnHome, "btnHome"},
      {btnEmail, "btnEmail"},
      {btnSetting, "btnSetting"},
      {btnDeviceSetting, "btnDeviceSetting"},
      {btnFullScreen, "btnFullScreen"},
      {btnConnect, "btnConnect"},
      {btnHelp, "btnHelp"},
      {btnMin, "btnMin"},
      {btnClose, "btnClose"},
  };
  const std::pair<const char*, void (TPbButton::*)(TPicture*)> states[] = {
      {"", &TPbButton::SetPicNormal},
      {"_hover", &TPbButton::SetPicMouseHover},
      {"_down", &TPbButton::SetPicMouseDown},
      {"_disabled", &TPbButton::SetPicDisabled},
  };
  for (const auto& [b, face] : faces) {
    for (const auto& [suffix, set] : states) {
      TPicture picture;
      try {
        picture.LoadFromFile(SkinFolder + face + suffix + ".png");
      } catch (const std::exception&) {
        NoteBadSkinFile(SkinFolder + face + suffix + ".png");
        continue;
      }
      (b->*set)(&picture);
    }
  }
}

// The window's background and outline. A picture that cannot be read
// leaves the one shown before (or none) and the window still opens.
void TfrmMain::LoadSkinPicture(const String& fileName) {
  try {
    if (imgMain->Glyph()->Empty()) {
      TBitmap glyph;
      glyph.LoadFromFile(SkinFolder + fileName);
      imgMain->SetGlyph(&glyph);
    } else {
      // As the skin control expects: a new picture in the glyph it holds,
      // without building the outline again.
      imgMain->Glyph()->LoadFromFile(SkinFolder + fileName);
    }
  } catch (const std::exception&) {
    NoteBadSkinFile(SkinFolder + fileName);
  }
  imgMain->Invalidate();
}

}  // namespace app
