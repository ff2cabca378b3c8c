#include "alarms/MotionDetection.h"

#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <regex>
#include <thread>

#include "alarms/AlarmWorkerHost.h"
#include "alarms/SendEmailTread.h"
#include "app/DataFolders.h"
#include "app/FormWaiting.h"
#include "app/MailHandoff.h"
#include "app/ResStr.h"
#include "app/SettingsDialogKit.h"
#include "app/ShellOpen.h"
#include "app/WorkerStatus.h"
#include "platform/forms/Dialogs.h"
#include "platform/mg/SoundPlayer.h"
#include "platform/net/SmtpClient.h"
#include "platform/rtl/FilePaths.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/Text.h"
#include "platform/shell/MimeMessage.h"
#include "platform/win/Messages.h"

namespace alarms {

using namespace forms;
using namespace app;
using controls::TVxSpinEdit;

namespace {

constexpr int kPageLeft = 151, kPageTop = 17, kPageWidth = 329, kPageHeight = 387;
constexpr const char* kRootName = "VorixVideoCapture/";

// The seven actions' switches, in the order of the alarm-mode tree.
bool TGlobalVarsFields::*const kActionSwitches[TfrmMotionDetection::kPageCount] = {
    &TGlobalVarsFields::bSavePicture, &TGlobalVarsFields::bSendEmail,   &TGlobalVarsFields::bPlaySound,
    &TGlobalVarsFields::bRunProgram,  &TGlobalVarsFields::bRecordVideo, &TGlobalVarsFields::bFTPUpload,
    &TGlobalVarsFields::bWriteLog};

// The number an edit holds, within its limits; text that is no number
// reads as the minimum.
double SpinValue(const TVxSpinEdit* e) {
  double v = e->Value();
  if (!std::isfinite(v)) v = e->MinValue();
  if (e->MinValue() < e->MaxValue()) v = std::clamp(v, e->MinValue(), e->MaxValue());
  return v;
}

// Its whole part (toward zero), within 32 bits.
int32_t SpinInt(const TVxSpinEdit* e) {
  const double v = std::trunc(SpinValue(e));
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

TVxSpinEdit* MakeSpin(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w,
                      controls::TValueType type, double minValue, double maxValue, double step) {
  auto* e = new TVxSpinEdit(owner);
  e->SetName(name);
  e->SetParent(parent);
  e->SetBounds(x, y, w, 21);
  e->SetValueType(type);
  if (type == controls::vtFloat) e->SetDecimal(1);
  e->SetMinValue(minValue);
  e->SetMaxValue(maxValue);
  e->SetIncrement(step);
  return e;
}

// The mount point of the file system holding `path` (or its nearest
// existing parent): the last folder upward on the same device.
String MountPointOf(const String& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st {};
  while (!p.empty() && stat(p.c_str(), &st) != 0) {
    const size_t slash = p.find_last_of('/');
    p = slash == std::string::npos ? "" : slash == 0 ? "/" : p.substr(0, slash);
  }
  if (p.empty()) return "";
  for (;;) {
    if (p == "/") return p;
    const size_t slash = p.find_last_of('/');
    const std::string parent = slash == 0 ? "/" : slash == std::string::npos ? "" : p.substr(0, slash);
    struct stat up {};
    if (parent.empty() || stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) return p;
    p = parent;
  }
}

}  // namespace

bool IsValidMailAddress(const String& text) {
  // ECMAScript's \w is the ASCII word characters, as the pattern means.
  static const std::regex pattern(R"(\w+([-+.]\w+)*@\w+([-.]\w+)*\.\w+([-.]\w+)*)");
  return std::regex_search(text, pattern);
}

String MotionLevelText(double level) { return rtl::FormatFloat("#.###", level); }

// The running test mail, shared with its thread: the window may go while
// the thread still waits for the server.
struct TfrmMotionDetection::TestMail {
  std::thread thread;
  std::atomic<bool> done{false};
};

TfrmMotionDetection::TfrmMotionDetection(TComponent* owner, TMotionDetectionHost& host, TGlobalVars& g)
    : TForm(owner), host_(host), g_(g) {
  SetName("frmMotionDetection");
  SetCaption("Motion Detection Setting");
  SetBorderStyle(bsDialog);
  SetPosition(poOwnerFormCenter);
  SetClientWidth(kClientWidth);
  SetClientHeight(kClientHeight);

  FcTreeView = new controls::TFcTreeView(this);
  FcTreeView->SetName("FcTreeView");
  FcTreeView->SetParent(this);
  FcTreeView->SetBounds(8, 8, 136, 430);
  nodeAlarmSetting = FcTreeView->Items()->Add(nullptr, IDS_MOTIONDETECTION_FcTree_AlarmSetting);
  nodeSensitivity = FcTreeView->Items()->AddChild(nodeAlarmSetting, IDS_MOTIONDETECTION_FcTree_sensitivity);
  nodeAlarmMode = FcTreeView->Items()->AddChild(nodeAlarmSetting, IDS_MOTIONDETECTION_FcTree_AlarmMode);

  BuildSensitivityPage();
  BuildAlarmModePage();

  auto button = [this](const char* name, const String& caption, int x) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetParent(this);
    b->SetBounds(x, kClientHeight - 36, 88, 25);
    b->SetCaption(caption);
    return b;
  };
  btnHelp = button("btnHelp", "Help", 8);
  btnOK = button("btnOK", "OK", kClientWidth - 4 * 94);
  btnOK->SetDefault(true);
  btnCancel = button("btnCancel", "Cancel", kClientWidth - 3 * 94);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  btnApply = button("btnApply", "Apply", kClientWidth - 2 * 94);
  btnHelp->OnClick = [this](TObject* s) { btnHelpClick(s); };
  btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
  btnApply->OnClick = [this](TObject* s) { btnApplyClick(s); };

  timerRefreshRatio = new TTimer(this);
  timerRefreshRatio->SetEnabled(false);
  timerRefreshRatio->SetInterval(10);
  timerRefreshRatio->OnTimer = [this](TObject* s) { timerRefreshRatioTimer(s); };
  OpenDialogSoundFile = new TOpenDialog(this);
  OpenDialogSoundFile->SetName("OpenDialogSoundFile");
  OpenDialogSoundFile->SetFilter("MP3|*.mp3|MIDI|*.mid|WAV|*.wav");
  OpenDialogEXE = new TOpenDialog(this);
  OpenDialogEXE->SetName("OpenDialogEXE");
  dlgFolderBrowse = new controls::TShBrowseForFolder(this);
  dlgFolderBrowse->SetName("dlgFolderBrowse");

  OnShow = [this](TObject* s) { FormShow(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };

  // FormCreate's ranges.
  FcMeter->SetMin(0);
  FcMeter->SetMax(1000);
  trkSensitivityProccess->SetMinValue(1);
  trkSensitivityProccess->SetMaxValue(9);
  ChosenBase.clear();
  ApplyLanguageTexts();
}

TfrmMotionDetection::~TfrmMotionDetection() {
  if (testMail_ && testMail_->thread.joinable()) {
    // A thread still waiting for the server ends on its own; what it posts
    // then finds no window.
    if (testMail_->done)
      testMail_->thread.join();
    else
      testMail_->thread.detach();
  }
}

void TfrmMotionDetection::MarkOnChange(TControl* control) {
  if (auto* edit = dynamic_cast<TCustomEdit*>(control)) {
    edit->OnChange = [this](TObject*) { EnableApply(); };
    return;
  }
  control->OnClick = [this](TObject*) { EnableApply(); };
}

// --- Layout -----------------------------------------------------------

namespace {

// The dialogs' common placing, in the calls this window's layout makes.
TGroupBox* Group(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
  return app::TDialogBuilder(owner).Group(parent, name, "", x, y, w, h);
}

TLabel* Label(TComponent* owner, TWinControl* parent, const char* name, const String& caption, int x, int y) {
  return app::TDialogBuilder(owner).Label(parent, name, caption, x, y);
}

TEdit* Edit(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w) {
  return app::TDialogBuilder(owner).Edit(parent, name, "", x, y, w);
}

TButton* Button(TComponent* owner, TWinControl* parent, const char* name, const String& caption, int x, int y,
                int w) {
  return app::TDialogBuilder(owner).Button(parent, name, caption, x, y, w, 25);
}

TRadioButton* Radio(TComponent* owner, TWinControl* parent, const char* name, const String& caption, int x, int y,
                    int w) {
  return app::TDialogBuilder(owner).Radio(parent, name, caption, x, y, w);
}

TCheckBox* Check(TComponent* owner, TWinControl* parent, const char* name, const String& caption, int x, int y,
                 int w) {
  return app::TDialogBuilder(owner).Check(parent, name, caption, x, y, w);
}

TPanel* Plain(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
  auto* p = new TPanel(owner);
  p->SetName(name);
  p->SetParent(parent);
  p->SetBounds(x, y, w, h);
  p->SetBevelOuter(bvNone);
  p->SetCaption("");
  return p;
}

}  // namespace

void TfrmMotionDetection::BuildSensitivityPage() {
  grpAlarmSensitivitySetting = Group(this, this, "grpAlarmSensitivitySetting", 150, 8, 491, 430);
  FcMeter = new controls::TFcMeter(this);
  FcMeter->SetName("FcMeter");
  FcMeter->SetParent(grpAlarmSensitivitySetting);
  FcMeter->SetBounds(16, 28, 460, 30);
  FcMeter->SetMeterType(controls::mtLED);
  FcMeter->SetDirection(controls::dirRight);
  FcMeter->SetBackColor(clWhite);
  FcMeter->SetSegOffColor(clWhite);
  for (int group = 1; group <= 3; ++group) FcMeter->SetSegCount(group, 35);
  FcMeter->SetSegColor(1, clLime);
  FcMeter->SetSegColor(2, clBlue);
  FcMeter->SetSegColor(3, clRed);
  // Made after the meter, so it paints over it.
  ImagAlarmLine = new TImage(this);
  ImagAlarmLine->SetName("ImagAlarmLine");
  ImagAlarmLine->SetParent(grpAlarmSensitivitySetting);
  ImagAlarmLine->SetStretch(true);
  {
    TBitmap mark;
    mark.SetPixelFormat(pf24bit);
    mark.SetSize(2, 30);
    mark.Canvas()->Brush()->SetColor(clRed);
    mark.Canvas()->FillRect(TRect{0, 0, 2, 30});
    ImagAlarmLine->Picture()->Assign(&mark);
  }
  ImagAlarmLine->SetBounds(16, 28, 2, 30);
  lblMotionRati = Label(this, grpAlarmSensitivitySetting, "lblMotionRati", "", 16, 62);

  grpAlarmLine = Group(this, grpAlarmSensitivitySetting, "grpAlarmLine", 16, 90, 460, 56);
  VxedtAlarmLine = MakeSpin(this, grpAlarmLine, "VxedtAlarmLine", 12, 22, 80, controls::vtInteger, 0, 1000, 1);
  VxedtAlarmLine->OnChange = [this](TObject* s) { VxedtAlarmLineChange(s); };
  lblAlarmLineHint = Label(this, grpAlarmLine, "lblAlarmLineHint", "(0-1000)", 104, 25);

  grpSensitivity = Group(this, grpAlarmSensitivitySetting, "grpSensitivity", 16, 156, 460, 84);
  trkSensitivityProccess = new controls::TVxSlider(this);
  trkSensitivityProccess->SetName("trkSensitivityProccess");
  trkSensitivityProccess->SetParent(grpSensitivity);
  trkSensitivityProccess->SetBounds(12, 18, 300, 34);
  trkSensitivityProccess->SetIncrement(1);
  trkSensitivityProccess->SetOptions(controls::TSliderOptions{controls::soShowPoints});
  trkSensitivityProccess->OnChange = [this](TObject* s) { trkSensitivityProccessChange(s); };
  lblSensitivity = Label(this, grpSensitivity, "lblSensitivity", "", 16, 58);

  grpAlarmDelay = Group(this, grpAlarmSensitivitySetting, "grpAlarmDelay", 16, 250, 460, 56);
  VxEditDelay = MakeSpin(this, grpAlarmDelay, "VxEditDelay", 12, 22, 80, controls::vtFloat, 0, 3600, 0.1);
  MarkOnChange(VxEditDelay);

  FcTreeView->OnChange = [this](TObject* s, TTreeNode* n) { FcTreeViewChange(s, n); };
}

void TfrmMotionDetection::BuildAlarmModePage() {
  grpAlarmMode = Group(this, this, "grpAlarmMode", 150, 8, 491, 430);
  FctreeAlarmMode = new controls::TFcCheckTree(this);
  FctreeAlarmMode->SetName("FctreeAlarmMode");
  FctreeAlarmMode->SetParent(grpAlarmMode);
  FctreeAlarmMode->SetBounds(8, kPageTop, 136, kPageHeight);
  static const char* const kNames[kPageCount] = {"Save Picture", "Send Email", "Play Sound", "Run Program",
                                                 "Record Video", "FTP Upload", "Write Log"};
  for (int i = 0; i < kPageCount; ++i) ActionNodes[i] = FctreeAlarmMode->Items()->Add(nullptr, kNames[i]);
  FctreeAlarmMode->OnChange = [this](TObject* s, TTreeNode* n) { FctreeAlarmModeChange(s, n); };
  FctreeAlarmMode->OnStateChange = [this](TObject*, TTreeNode*, controls::TFcCheckState) { EnableApply(); };

  static const char* const kPages[kPageCount] = {"grpPictureMode",     "grpEmailMode", "grpPlaySoundMode",
                                                 "grpRunProgramMode",  "grpRecordVideoMode",
                                                 "grpFTPMode",         "grpLogMode"};
  TGroupBox** pages[kPageCount] = {&grpPictureMode,    &grpEmailMode, &grpPlaySoundMode, &grpRunProgramMode,
                                   &grpRecordVideoMode, &grpFTPMode,   &grpLogMode};
  for (int i = 0; i < kPageCount; ++i)
    *pages[i] = Group(this, grpAlarmMode, kPages[i], kPageLeft, kPageTop, kPageWidth, kPageHeight);

  BuildPicturePage();
  BuildEmailPage();
  BuildRecordVideoPage();
  BuildProgramAndSoundPages();
  BuildFtpAndLogPages();
}

void TfrmMotionDetection::BuildPicturePage() {
  TGroupBox* p = grpPictureMode;
  grpPictureSavePath = Group(this, p, "grpPictureSavePath", 8, 16, 313, 84);
  editAlarmPictureSavePath = Edit(this, grpPictureSavePath, "editAlarmPictureSavePath", 8, 20, 297);
  MarkOnChange(editAlarmPictureSavePath);
  btnSelectPictureSavePath = Button(this, grpPictureSavePath, "btnSelectPictureSavePath", "Browse", 8, 50, 88);
  btnSelectPictureSavePath->OnClick = [this](TObject* s) { btnSelectPictureSavePathClick(s); };
  btnOpenPictureFolder = Button(this, grpPictureSavePath, "btnOpenPictureFolder", "Open Directory", 104, 50, 120);
  btnOpenPictureFolder->OnClick = [this](TObject* s) { btnOpenPictureFolderClick(s); };

  grpPictureSaveFormat = Group(this, p, "grpPictureSaveFormat", 8, 108, 313, 50);
  rbtnPictureSaveFormatBMP = Radio(this, grpPictureSaveFormat, "rbtnPictureSaveFormatBMP", "BMP", 12, 22, 80);
  rbtnPictureSaveFormatJpg = Radio(this, grpPictureSaveFormat, "rbtnPictureSaveFormatJpg", "JPG", 110, 22, 80);
  MarkOnChange(rbtnPictureSaveFormatBMP);
  MarkOnChange(rbtnPictureSaveFormatJpg);

  rbtnSaveEachPicture = Radio(this, p, "rbtnSaveEachPicture", "", 16, 172, 250);
  rbtnAlternationSave = Radio(this, p, "rbtnAlternationSave", "", 16, 200, 118);
  VxEditAlternationSaveTime =
      MakeSpin(this, p, "VxEditAlternationSaveTime", 136, 197, 52, controls::vtFloat, 0.1, 86400, 0.1);
  lblSecondsSaveAPicture = Label(this, p, "lblSecondsSaveAPicture", "", 192, 201);
  for (TControl* c : std::initializer_list<TControl*>{rbtnSaveEachPicture, rbtnAlternationSave,
                                                      VxEditAlternationSaveTime})
    MarkOnChange(c);
}

void TfrmMotionDetection::BuildEmailPage() {
  TGroupBox* p = grpEmailMode;
  lblSendTo = Label(this, p, "lblSendTo", "", 8, 18);
  editReceiveAdress = Edit(this, p, "editReceiveAdress", 80, 14, 240);
  lblCC = Label(this, p, "lblCC", "", 8, 42);
  editCC = Edit(this, p, "editCC", 80, 38, 240);
  lablBCC = Label(this, p, "lablBCC", "", 8, 66);
  editBCC = Edit(this, p, "editBCC", 80, 62, 240);
  lblSubject = Label(this, p, "lblSubject", "", 8, 90);
  editSubject = Edit(this, p, "editSubject", 80, 86, 240);
  lblBody = Label(this, p, "lblBody", "", 8, 114);
  MemoBody = new TMemo(this);
  MemoBody->SetName("MemoBody");
  MemoBody->SetParent(p);
  MemoBody->SetBounds(80, 110, 240, 40);
  rbtnDefaultAccounts = Radio(this, p, "rbtnDefaultAccounts", "", 8, 156, 150);
  rbtnCustomAccounts = Radio(this, p, "rbtnCustomAccounts", "", 165, 156, 150);
  for (TRadioButton* r : {rbtnDefaultAccounts, rbtnCustomAccounts})
    r->OnClick = [this](TObject* s) { rbtnAccountsClick(s); };

  grpDefaultAccounts = Group(this, p, "grpDefaultAccounts", 8, 176, 313, 112);
  lblDefaultHint = Label(this, grpDefaultAccounts, "lblDefaultHint", "", 8, 18);
  grpCustomAccounts = Group(this, p, "grpCustomAccounts", 8, 176, 313, 112);
  TGroupBox* c = grpCustomAccounts;
  lblEmaiSMTP = Label(this, c, "lblEmaiSMTP", "", 8, 20);
  editMailSMTP = Edit(this, c, "editMailSMTP", 80, 16, 130);
  lblPort = Label(this, c, "lblPort", "", 216, 20);
  VxeditPort = MakeSpin(this, c, "VxeditPort", 248, 16, 57, controls::vtInteger, 1, 65535, 1);
  lblSendAddress = Label(this, c, "lblSendAddress", "", 8, 44);
  editSendPersonAdress = Edit(this, c, "editSendPersonAdress", 80, 40, 225);
  lblAccounts = Label(this, c, "lblAccounts", "", 8, 68);
  editUserName = Edit(this, c, "editUserName", 80, 64, 90);
  lblPassword = Label(this, c, "lblPassword", "", 176, 68);
  editPassWord = Edit(this, c, "editPassWord", 232, 64, 73);
  editPassWord->SetPasswordChar('*');
  ckboxSMTPServerIdentityValidate = Check(this, c, "ckboxSMTPServerIdentityValidate", "", 8, 90, 250);

  lblMailSendAlternation = Label(this, p, "lblMailSendAlternation", "", 8, 298);
  VxeditEmaiSendDely = MakeSpin(this, p, "VxeditEmaiSendDely", 250, 294, 70, controls::vtInteger, 1, 86400, 1);
  lblSendPictureNumOnce = Label(this, p, "lblSendPictureNumOnce", "", 8, 322);
  VxeditEmaiSendPictureNum =
      MakeSpin(this, p, "VxeditEmaiSendPictureNum", 250, 318, 70, controls::vtInteger, 1, 1000, 1);
  // Its own panel, so its radios do not take the account radios' choice.
  pnlSendMode = Plain(this, p, "pnlSendMode", 4, 344, 220, 24);
  rbtnSendPicture = Radio(this, pnlSendMode, "rbtnSendPicture", "", 4, 4, 110);
  rbtnSendHint = Radio(this, pnlSendMode, "rbtnSendHint", "", 116, 4, 100);
  btnTestMail = Button(this, p, "btnTestMail", "", 230, 344, 90);
  btnTestMail->OnClick = [this](TObject* s) { btnTestMailClick(s); };

  for (TControl* x : std::initializer_list<TControl*>{
           editReceiveAdress, editCC, editBCC, editSubject, MemoBody, editMailSMTP, VxeditPort, editSendPersonAdress,
           editUserName, editPassWord, ckboxSMTPServerIdentityValidate, VxeditEmaiSendDely, VxeditEmaiSendPictureNum,
           rbtnSendPicture, rbtnSendHint})
    MarkOnChange(x);
}

void TfrmMotionDetection::BuildRecordVideoPage() {
  TGroupBox* p = grpRecordVideoMode;
  grpVideoSavePath = Group(this, p, "grpVideoSavePath", 8, 16, 313, 84);
  editVideoSavePath = Edit(this, grpVideoSavePath, "editVideoSavePath", 8, 20, 297);
  MarkOnChange(editVideoSavePath);
  btnSelectVideoSavePath = Button(this, grpVideoSavePath, "btnSelectVideoSavePath", "Browse", 8, 50, 88);
  btnSelectVideoSavePath->OnClick = [this](TObject* s) { btnSelectVideoSavePathClick(s); };
  btnOpenVideoFileForder = Button(this, grpVideoSavePath, "btnOpenVideoFileForder", "Open Directory", 104, 50, 120);
  btnOpenVideoFileForder->OnClick = [this](TObject* s) { btnOpenVideoFileForderClick(s); };

  rbtnMonitoringBeganRecording = Radio(this, p, "rbtnMonitoringBeganRecording", "", 16, 108, 300);
  WarningLineStartRecording = Radio(this, p, "WarningLineStartRecording", "", 16, 132, 300);
  MarkOnChange(rbtnMonitoringBeganRecording);
  MarkOnChange(WarningLineStartRecording);

  grpDiskInformation = Group(this, p, "grpDiskInformation", 8, 158, 313, 84);
  lblDeskinfoShow = Label(this, grpDiskInformation, "lblDeskinfoShow", "", 8, 22);
  editFreeSpaceMinValue =
      MakeSpin(this, grpDiskInformation, "editFreeSpaceMinValue", 8, 48, 80, controls::vtInteger, 100, 10000, 1);
  Label(this, grpDiskInformation, "lblFreeSpaceMB", "MB", 92, 52);
  rtbtnNoEnoughSpcaeStopRecording =
      Radio(this, grpDiskInformation, "rtbtnNoEnoughSpcaeStopRecording", "Stop Recording", 124, 50, 120);
  rbtnOverlayOldFile = Radio(this, grpDiskInformation, "rbtnOverlayOldFile", "Overlay Old File", 124, 70, 120);
  rbtnOverlayOldFile->SetVisible(false);
  rbtnOverlayOldFile->SetEnabled(false);
  MarkOnChange(editFreeSpaceMinValue);
  MarkOnChange(rtbtnNoEnoughSpcaeStopRecording);

  ckboxNoMotionStopRecording = Check(this, p, "ckboxNoMotionStopRecording", "", 16, 258, 90);
  VxeditStopDelayTime = MakeSpin(this, p, "VxeditStopDelayTime", 110, 255, 60, controls::vtInteger, 1, 86400, 1);
  lblSecond = Label(this, p, "lblSecond", "", 176, 259);
  MarkOnChange(ckboxNoMotionStopRecording);
  MarkOnChange(VxeditStopDelayTime);
}

void TfrmMotionDetection::BuildProgramAndSoundPages() {
  grpSelectSound = Group(this, grpPlaySoundMode, "grpSelectSound", 8, 16, 313, 84);
  editSoundFullFileName = Edit(this, grpSelectSound, "editSoundFullFileName", 8, 20, 260);
  btnSelectSound = Button(this, grpSelectSound, "btnSelectSound", "...", 272, 18, 33);
  btnTestSound = Button(this, grpSelectSound, "btnTestSound", "", 8, 50, 100);
  MarkOnChange(editSoundFullFileName);
  btnSelectSound->OnClick = [this](TObject* s) { btnSelectSoundClick(s); };
  btnTestSound->OnClick = [this](TObject* s) { btnTestSoundClick(s); };

  grpSelectProgram = Group(this, grpRunProgramMode, "grpSelectProgram", 8, 16, 313, 130);
  editProgramFullFileName = Edit(this, grpSelectProgram, "editProgramFullFileName", 8, 20, 260);
  btnSelectProgram = Button(this, grpSelectProgram, "btnSelectProgram", "...", 272, 18, 33);
  lblRunParameter = Label(this, grpSelectProgram, "lblRunParameter", "", 8, 52);
  editRunParameter = Edit(this, grpSelectProgram, "editRunParameter", 8, 70, 297);
  ceckRunOnce = Check(this, grpSelectProgram, "ceckRunOnce", "", 8, 100, 200);
  btnSelectProgram->OnClick = [this](TObject* s) { btnSelectProgramClick(s); };
  for (TControl* c : std::initializer_list<TControl*>{editProgramFullFileName, editRunParameter, ceckRunOnce})
    MarkOnChange(c);
}

void TfrmMotionDetection::BuildFtpAndLogPages() {
  TGroupBox* p = grpFTPMode;
  grpfTPSetting = Group(this, p, "grpfTPSetting", 8, 16, 313, 156);
  TGroupBox* s = grpfTPSetting;
  lblHostAddress = Label(this, s, "lblHostAddress", "", 8, 24);
  editHostAddress = Edit(this, s, "editHostAddress", 120, 20, 185);
  lblFTPPort = Label(this, s, "lblFTPPort", "", 8, 50);
  VxeditFTPPort = MakeSpin(this, s, "VxeditFTPPort", 120, 46, 70, controls::vtInteger, 1, 65535, 1);
  lblAccountName = Label(this, s, "lblAccountName", "", 8, 76);
  editAccountName = Edit(this, s, "editAccountName", 120, 72, 185);
  lblFTPPassWord = Label(this, s, "lblFTPPassWord", "", 8, 102);
  editFTPPassword = Edit(this, s, "editFTPPassword", 120, 98, 185);
  editFTPPassword->SetPasswordChar('*');
  lblFolder = Label(this, s, "lblFolder", "", 8, 128);
  editFolder = Edit(this, s, "editFolder", 120, 124, 185);

  pnlUploadMode = Plain(this, p, "pnlUploadMode", 8, 184, 313, 52);
  rbtnContinuedUpload = Radio(this, pnlUploadMode, "rbtnContinuedUpload", "", 8, 4, 250);
  rbtnIntervalUpload = Radio(this, pnlUploadMode, "rbtnIntervalUpload", "", 8, 30, 100);
  VxeditFTPIntervalUploadTime =
      MakeSpin(this, pnlUploadMode, "VxeditFTPIntervalUploadTime", 110, 27, 60, controls::vtFloat, 1, 86400, 0.1);
  lblUpload = Label(this, pnlUploadMode, "lblUpload", "", 174, 31);
  rbtnFTPOnlyUploadPicture = Radio(this, p, "rbtnFTPOnlyUploadPicture", "", 16, 244, 280);
  for (TControl* c : std::initializer_list<TControl*>{editHostAddress, VxeditFTPPort, editAccountName, editFTPPassword,
                                                      editFolder, rbtnContinuedUpload, rbtnIntervalUpload,
                                                      VxeditFTPIntervalUploadTime, rbtnFTPOnlyUploadPicture})
    MarkOnChange(c);

  grpLog = Group(this, grpLogMode, "grpLog", 8, 16, 313, 84);
  editLogPath = Edit(this, grpLog, "editLogPath", 8, 20, 297);
  editLogPath->SetReadOnly(true);
  btnLogOpenFolder = Button(this, grpLog, "btnLogOpenFolder", "Open Directory", 8, 50, 120);
  btnLogOpenFolder->OnClick = [this](TObject* s) { btnLogOpenFolderClick(s); };
  ckSendLogToMail = Check(this, grpLogMode, "ckSendLogToMail", "", 16, 110, 250);
  MarkOnChange(ckSendLogToMail);
}

void TfrmMotionDetection::ApplyLanguageTexts() {
  nodeAlarmSetting->SetText(IDS_MOTIONDETECTION_FcTree_AlarmSetting);
  nodeSensitivity->SetText(IDS_MOTIONDETECTION_FcTree_sensitivity);
  nodeAlarmMode->SetText(IDS_MOTIONDETECTION_FcTree_AlarmMode);
  const String* actions[kPageCount] = {&IDS_MOTIONDETECTION_Fctree_SavePicture, &IDS_MOTIONDETECTION_Fctree_SendEmail,
                                       &IDS_MOTIONDETECTION_Fctree_playSound,   &IDS_MOTIONDETECTION_Fctree_RunProgram,
                                       &IDS_MOTIONDETECTION_Fctree_RecordVideo, &IDS_MOTIONDETECTION_Fctree_FTPUpload,
                                       &IDS_MOTIONDETECTION_Fctree_WriteLog};
  for (int i = 0; i < kPageCount; ++i) ActionNodes[i]->SetText(*actions[i]);

  const std::pair<TControl*, const String*> captions[] = {
      {grpAlarmSensitivitySetting, &IDS_MOTIONDETECTION_Sensitivity_grp_SensitivitySettings},
      {grpAlarmLine, &IDS_MOTIONDETECTION_Sensitivity_grp_AlarmLine},
      {grpSensitivity, &IDS_MOTIONDETECTION_Sensitivity_grp_Sensitivity},
      {lblSensitivity, &IDS_MOTIONDETECTION_Sensitivity_lbl_SensitivityHint},
      {grpAlarmDelay, &IDS_MOTIONDETECTION_Sensitivity_grp_AlarmDelay},
      {grpAlarmMode, &IDS_MOTIONDETECTION_AlarmMode_grp_AlarmMode},
      {rbtnSaveEachPicture, &IDS_MOTIONDETECTION_rbtn_SaveEachPicture},
      {rbtnAlternationSave, &IDS_MOTIONDETECTION_rbtn_AlternationSave},
      {grpPictureSaveFormat, &IDS_MOTIONDETECTION_grp_PictureSaveFormat},
      {grpPictureSavePath, &IDS_MOTIONDETECTION_grp_PictureSavePath},
      {btnSelectPictureSavePath, &IDS_MOTIONDETECTION_btn_Browse},
      {btnSelectVideoSavePath, &IDS_MOTIONDETECTION_btn_Browse},
      {btnOpenPictureFolder, &IDS_MOTIONDETECTION_btn_OpenDirectory},
      {btnOpenVideoFileForder, &IDS_MOTIONDETECTION_btn_OpenDirectory},
      {btnLogOpenFolder, &IDS_MOTIONDETECTION_btn_OpenDirectory},
      {lblSecondsSaveAPicture, &IDS_MOTIONDETECTION_lbl_SecondsSaveAPicture},
      {lblSendTo, &IDS_MOTIONDETECTION_lbl_SendTo},
      {lblCC, &IDS_MOTIONDETECTION_lbl_CC},
      {lablBCC, &IDS_MOTIONDETECTION_lbl_BCC},
      {lblSubject, &IDS_MOTIONDETECTION_lbl_Subject},
      {lblBody, &IDS_MOTIONDETECTION_lbl_Body},
      {rbtnDefaultAccounts, &IDS_MOTIONDETECTION_rbtn_DefaultAccounts},
      {rbtnCustomAccounts, &IDS_MOTIONDETECTION_rbtn_CustomAccounts},
      {grpCustomAccounts, &IDS_MOTIONDETECTION_grp_CustomAccounts},
      {lblEmaiSMTP, &IDS_MOTIONDETECTION_lbl_MailSMTP},
      {lblPort, &IDS_MOTIONDETECTION_lbl_Port},
      {lblSendAddress, &IDS_MOTIONDETECTION_SendPersonAddress},
      {lblAccounts, &IDS_MOTIONDETECTION_lbl_Accounts},
      {lblPassword, &IDS_MOTIONDETECTION_lbl_Password},
      {ckboxSMTPServerIdentityValidate, &IDS_MOTIONDETECTION_ck_SMTPServerIdentityValidate},
      {lblMailSendAlternation, &IDS_MOTIONDETECTION_lbl_MailSendAlternation},
      {lblSendPictureNumOnce, &IDS_MOTIONDETECTION_lbl_SendPictureNumOnce},
      {rbtnSendPicture, &IDS_MOTIONDETECTION_rbtn_SendPicture},
      {rbtnSendHint, &IDS_MOTIONDETECTION_rbtn_OnlyHint},
      {btnTestMail, &IDS_MOTIONDETECTION_btn_TestMail},
      {grpSelectSound, &IDS_MOTIONDETECTION_grp_SelectSound},
      {btnTestSound, &IDS_MOTIONDETECTION_btn_TestSound},
      {ceckRunOnce, &IDS_MOTIONDETECTION_ck_RunOnce},
      {grpSelectProgram, &IDS_MOTIONDETECTION_grp_SelectProgram},
      {btnSelectProgram, &IDS_MOTIONDETECTION_btn_SelectProgram},
      {lblRunParameter, &IDS_MOTIONDETECTION_lbl_RunParameter},
      {btnApply, &IDS_SETTING_BUTTON_APPLY},
      {btnCancel, &IDS_SETTING_BUTTON_CANCEL},
      {btnHelp, &IDS_MAIN_BUTTON_HELP},
      {rbtnMonitoringBeganRecording, &IDS_MOTIONDETECTION_rbtn_MonitoringBeganRecording},
      {WarningLineStartRecording, &IDS_MOTIONDETECTION_rbtn_WarningLineStartRecording},
      {ckboxNoMotionStopRecording, &IDS_MOTIONDETECTION_ck_NoMotionStopRecording},
      {grpDiskInformation, &IDS_MOTIONDETECTION_grp_DiskInfo},
      {grpVideoSavePath, &IDS_MOTIONDETECTION_grp_VideoSavePath},
      {lblSecond, &IDS_MOTIONDETECTION_lbl_Second},
      {grpfTPSetting, &IDS_MOTIONDETECTION_grp_FTPSetting},
      {lblHostAddress, &IDS_MOTIONDETECTION_lbl_HostAddress},
      {lblFTPPort, &IDS_MOTIONDETECTION_lbl_FTPPort},
      {lblAccountName, &IDS_MOTIONDETECTION_lbl_FTPAccountName},
      {lblFTPPassWord, &IDS_MOTIONDETECTION_lbl_FTPPassWord},
      {lblFolder, &IDS_MOTIONDETECTION_lbl_Folder},
      {rbtnContinuedUpload, &IDS_MOTIONDETECTION_rbtn_ContinuedUpload},
      {rbtnIntervalUpload, &IDS_MOTIONDETECTION_rbtn_IntervalUpload},
      {lblUpload, &IDS_MOTIONDETECTION_lbl_UploadTime},
      {rbtnFTPOnlyUploadPicture, &IDS_MOTIONDETECTION_rbtn_OnlyUploadPicture},
      {ckSendLogToMail, &IDS_MOTIONDETECTION_ck_SendLogToMail},
      {grpLog, &IDS_MOTIONDETECTION_grp_LogPath},
  };
  for (const auto& [control, text] : captions) control->SetCaption(*text);
  lblDefaultHint->SetCaption("      " + IDS_MOTIONDETECTION_lbl_OutLookSendMailHint);
}

// --- Settings in and out ---------------------------------------------------

void TfrmMotionDetection::LoadFromSettings() {
  FcTreeView->FullExpand();
  FctreeAlarmMode->FullExpand();
  FcTreeView->SetSelected(nodeSensitivity);
  grpAlarmSensitivitySetting->SetVisible(true);
  grpAlarmMode->SetVisible(false);
  ShowOptionPage(pgPicture);

  TGlobalVarsFields& g = g_;
  for (int i = 0; i < kPageCount; ++i)
    FctreeAlarmMode->SetNodeCheckState(ActionNodes[i], g.*kActionSwitches[i] ? controls::csChecked
                                                                              : controls::csUnchecked);

  VxedtAlarmLine->SetValue(g.AlarmLine);
  trkSensitivityProccess->SetValue(g.Sensitivity);
  VxEditDelay->SetValue(g.AlarmDelay);
  PlaceMarker(g.AlarmLine);

  editAlarmPictureSavePath->SetText(g.AlarmPictureSavePath);
  editVideoSavePath->SetText(g.AlarmVideoSavePath);
  rbtnSaveEachPicture->SetChecked(g.SaveEachPicture);
  rbtnAlternationSave->SetChecked(!g.SaveEachPicture);
  rbtnPictureSaveFormatBMP->SetChecked(g.AlarmPictureSaveFormat == 0);
  rbtnPictureSaveFormatJpg->SetChecked(g.AlarmPictureSaveFormat != 0);
  rbtnSendPicture->SetChecked(g.SendPictureOrOnlyHint);
  rbtnSendHint->SetChecked(!g.SendPictureOrOnlyHint);
  rbtnMonitoringBeganRecording->SetChecked(g.MotioningBeginRecord);
  WarningLineStartRecording->SetChecked(!g.MotioningBeginRecord);
  rbtnContinuedUpload->SetChecked(g.isContinuedUpload);
  rbtnIntervalUpload->SetChecked(!g.isContinuedUpload);
  rbtnDefaultAccounts->SetChecked(g.bDefaultSend);
  rbtnCustomAccounts->SetChecked(g.bCustomSend);
  grpDefaultAccounts->SetVisible(g.bDefaultSend);
  grpCustomAccounts->SetVisible(g.bCustomSend);

  {
    std::lock_guard lock(g_.SharedLock);
    editReceiveAdress->SetText(g.Mail.SendToAddress);
    editCC->SetText(g.Mail.CCAddress);
    editBCC->SetText(g.Mail.BccAddress);
    editSubject->SetText(g.Mail.subject);
    MemoBody->SetText(g.Mail.body);
    editMailSMTP->SetText(g.Mail.SMTPHost);
    VxeditPort->SetValue(g.Mail.SMTPPort);
    editSendPersonAdress->SetText(g.Mail.SendFromAddress);
    editUserName->SetText(g.Mail.UserName);
    editPassWord->SetText(g.Mail.Pasword);
    ckboxSMTPServerIdentityValidate->SetChecked(g.Mail.bSMTPIdentity);
    VxeditEmaiSendDely->SetValue(g.EmaiSendsAlternation);
    VxeditEmaiSendPictureNum->SetValue(g.EmailSendPictureNum);
    editHostAddress->SetText(g.Ftp.FTPHostAddress);
    VxeditFTPPort->SetValue(g.Ftp.FTPPort);
    editAccountName->SetText(g.Ftp.FTPUserName);
    editFTPPassword->SetText(g.Ftp.FTPPassword);
    editFolder->SetText(g.Ftp.FTPFolder);
  }
  VxEditAlternationSaveTime->SetValue(g.AlternationSavePicureTime);
  editSoundFullFileName->SetText(g.PlaySoundFullFileName);
  editProgramFullFileName->SetText(g.RunProgramExeFullFileName);
  editRunParameter->SetText(g.ProgramRunParameter);
  ceckRunOnce->SetChecked(g.RunOnce);
  ckboxNoMotionStopRecording->SetChecked(g.NoMotionStopRecording);
  VxeditStopDelayTime->SetValue(g.NoMotionDetectionDelayStopTime);
  editFreeSpaceMinValue->SetValue(g.MinFreeSpace);
  rtbtnNoEnoughSpcaeStopRecording->SetChecked(g.NoEnoughSpcaeStopRecord);
  VxeditFTPIntervalUploadTime->SetValue(g.FTPIntervalUploadTime);
  rbtnFTPOnlyUploadPicture->SetChecked(g.OnlyUploadPicture);
  ckSendLogToMail->SetChecked(g.SendLog);

  lblDeskinfoShow->SetCaption(MountPointOf(g.AlarmVideoSavePath) +
                              FormatLanguageText(IDS_MOTIONDETECTION_FreeSpace, {g.FreeSpaceMB}));
  if (mg::SoundPlayer* player = host_.MediaPlayer2()) player->SetFileName(g.PlaySoundFullFileName);
  editLogPath->SetText(g.LogPath + g.LogFileName);
  btnApply->SetEnabled(false);
}

bool TfrmMotionDetection::PathChoiceAccepted(TEdit* edit, const String& stored, const char* leaf) {
  const String text = edit->Text();
  if (rtl::SameText(text, stored)) return false;
  // The folders follow the data root, so only a base chosen with Browse can
  // move them; a typed path has no base, and moving the root to an empty
  // one would put every album below the working folder.
  if (!ChosenBase.empty() && rtl::SameText(text, ChosenBase + kRootName + leaf)) return true;
  MessageBox(Handle(), text + " " + IDS_MOTIONDETECTION_MSGBOX_PATHBYBROWSE, MSG_APPLICATION_WARNING,
             MB_OK | MB_ICONWARNING);
  edit->SetText(stored);
  return false;
}

void TfrmMotionDetection::SwitchSendEmailOff() {
  {
    std::lock_guard lock(g_.SharedLock);
    g_.bSendEmail = false;
  }
  host_.StopMailTimer();
  FctreeAlarmMode->SetNodeCheckState(ActionNodes[pgEmail], controls::csUnchecked);
}

void TfrmMotionDetection::SaveAddresses(bool& sendEmail) {
  auto invalid = [this](TEdit* edit) {
    MessageBox(Handle(), edit->Text() + " " + IDS_MOTIONDETECTION_MSGBOX_MAILFORMATERROR, MSG_APPLICATION_WARNING,
               MB_OK | MB_ICONWARNING);
    if (edit->CanFocus()) edit->SetFocus();
  };
  if (const String to = editReceiveAdress->Text(); !to.empty()) {
    if (IsValidMailAddress(to)) {
      std::lock_guard lock(g_.SharedLock);
      g_.Mail.SendToAddress = to;
    } else {
      invalid(editReceiveAdress);
      SwitchSendEmailOff();
      sendEmail = false;
    }
  }
  const std::pair<TEdit*, String MailInfo::*> copies[] = {{editCC, &MailInfo::CCAddress},
                                                          {editBCC, &MailInfo::BccAddress}};
  for (const auto& [edit, field] : copies) {
    const String text = edit->Text();
    if (text.empty()) continue;
    const bool valid = IsValidMailAddress(text);
    {
      std::lock_guard lock(g_.SharedLock);
      g_.Mail.*field = valid ? text : String();
    }
    if (!valid) invalid(edit);
  }
}

void TfrmMotionDetection::SaveToSettings() {
  TGlobalVarsFields& g = g_;
  // 1. The detector's settings.
  g.AlarmLine = SpinInt(VxedtAlarmLine);
  g.Sensitivity = trkSensitivityProccess->Value();
  g.AlarmDelay = SpinValue(VxEditDelay);

  // 2. The action switches.
  {
    std::lock_guard lock(g_.SharedLock);
    for (int i = 0; i < kPageCount; ++i)
      g.*kActionSwitches[i] = FctreeAlarmMode->NodeCheckState(ActionNodes[i]) == controls::csChecked;
  }
  bool sendEmail = g.bSendEmail;
  if (!sendEmail) host_.StopMailTimer();

  // 3. The alarm folders move with the whole data root.
  if (PathChoiceAccepted(editAlarmPictureSavePath, g.AlarmPictureSavePath, "AlarmImags/")) {
    g.AlarmPictureSavePath = editAlarmPictureSavePath->Text();
    host_.ChangeStorageRoot(ChosenBase);
  }
  if (PathChoiceAccepted(editVideoSavePath, g.AlarmVideoSavePath, "AlarmVideos/")) {
    g.AlarmVideoSavePath = editVideoSavePath->Text();
    host_.ChangeStorageRoot(ChosenBase);
  }

  // 4. Pictures.
  g.SaveEachPicture = rbtnSaveEachPicture->Checked();
  g.AlternationSavePicureTime = SpinValue(VxEditAlternationSaveTime);
  if (rbtnPictureSaveFormatBMP->Checked()) g.AlarmPictureSaveFormat = 0;
  if (rbtnPictureSaveFormatJpg->Checked()) g.AlarmPictureSaveFormat = 1;

  // 5. Recipients, checked only while mail is on.
  if (sendEmail) SaveAddresses(sendEmail);

  // 6. The message and the account.
  {
    std::lock_guard lock(g_.SharedLock);
    g.Mail.subject = editSubject->Text();
    g.Mail.body = MemoBody->Text();
    g.bDefaultSend = rbtnDefaultAccounts->Checked();
    g.bCustomSend = rbtnCustomAccounts->Checked();
    g.Mail.SMTPHost = editMailSMTP->Text();
    g.Mail.SMTPPort = SpinInt(VxeditPort);
  }

  // 7. The sender of our own mail.
  if (sendEmail && rbtnCustomAccounts->Checked()) {
    const String from = editSendPersonAdress->Text();
    if (IsValidMailAddress(from)) {
      std::lock_guard lock(g_.SharedLock);
      g.Mail.SendFromAddress = from;
    } else {
      MessageBox(Handle(), from + " " + IDS_MOTIONDETECTION_MSGBOX_MAILFORMATERROR, MSG_APPLICATION_WARNING,
                 MB_OK | MB_ICONWARNING);
      SwitchSendEmailOff();
      if (editSendPersonAdress->CanFocus()) editSendPersonAdress->SetFocus();
    }
  }

  // 8. The rest. Intervals and counts are at least 1: a timer of 0 ms
  // never fires, and a mail of no pictures sends nothing.
  std::lock_guard lock(g_.SharedLock);
  g.Mail.UserName = editUserName->Text();
  g.Mail.Pasword = editPassWord->Text();
  g.Mail.bSMTPIdentity = ckboxSMTPServerIdentityValidate->Checked();
  g.EmaiSendsAlternation = std::max(1, SpinInt(VxeditEmaiSendDely));
  g.EmailSendPictureNum = std::max(1, SpinInt(VxeditEmaiSendPictureNum));
  g.SendPictureOrOnlyHint = rbtnSendPicture->Checked();
  g.PlaySoundFullFileName = editSoundFullFileName->Text();
  g.RunOnce = ceckRunOnce->Checked();
  g.RunProgramExeFullFileName = editProgramFullFileName->Text();
  g.ProgramRunParameter = editRunParameter->Text();
  g.MotioningBeginRecord = rbtnMonitoringBeganRecording->Checked();
  g.NoMotionStopRecording = ckboxNoMotionStopRecording->Checked();
  g.NoMotionDetectionDelayStopTime = std::max(1, SpinInt(VxeditStopDelayTime));
  g.MinFreeSpace = SpinInt(editFreeSpaceMinValue);
  g.NoEnoughSpcaeStopRecord = rtbtnNoEnoughSpcaeStopRecording->Checked();
  g.Ftp.FTPHostAddress = editHostAddress->Text();
  g.Ftp.FTPPort = SpinInt(VxeditFTPPort);
  g.Ftp.FTPUserName = editAccountName->Text();
  g.Ftp.FTPPassword = editFTPPassword->Text();
  g.Ftp.FTPFolder = editFolder->Text();
  g.isContinuedUpload = rbtnContinuedUpload->Checked();
  // Whole seconds (2.5 gives 2), and never below one.
  g.FTPIntervalUploadTime = std::max(1, SpinInt(VxeditFTPIntervalUploadTime));
  g.OnlyUploadPicture = rbtnFTPOnlyUploadPicture->Checked();
  g.SendLog = ckSendLogToMail->Checked();
}

// --- Showing, closing, the live meter -------------------------------------

void TfrmMotionDetection::FormShow(TObject*) {
  if (!host_.MotionDetector_Enabled()) host_.SetMotionDetector_Enabled(true);
  timerRefreshRatio->SetEnabled(true);
  for (int i = 0; i < kPageCount; ++i) OptionPage(i)->SetBounds(kPageLeft, kPageTop, kPageWidth, kPageHeight);
}

void TfrmMotionDetection::FormClose(TObject*, TCloseAction&) {
  host_.MotionDetector_SetGlobalSensitivity(g_.Sensitivity);
  if (!g_.isMotionDetector) host_.SetMotionDetector_Enabled(false);
  timerRefreshRatio->SetEnabled(false);
  if (mg::SoundPlayer* player = host_.MediaPlayer2(); player && player->Playing()) {
    player->Stop();
    player->Close();
  }
}

int TfrmMotionDetection::MarkerLeft(double value) const {
  const int64_t line = static_cast<int64_t>(std::trunc(value));
  return FcMeter->Left() + static_cast<int>(static_cast<int64_t>(FcMeter->Width()) * line / 1000);
}

void TfrmMotionDetection::PlaceMarker(double value) {
  ImagAlarmLine->SetBounds(MarkerLeft(value), FcMeter->Top(), 2, FcMeter->Height());
}

void TfrmMotionDetection::timerRefreshRatioTimer(TObject*) {
  const double level = g_.MotionRatio / 100;
  const int64_t whole = static_cast<int64_t>(std::trunc(level));
  FcMeter->SetValue(static_cast<int>(whole));
  lblMotionRati->SetCaption(MotionLevelText(level));
  lblMotionRati->SetLeft(FcMeter->Left() + static_cast<int>(static_cast<int64_t>(FcMeter->Width()) * whole / 1000));
}

void TfrmMotionDetection::trkSensitivityProccessChange(TObject*) {
  EnableApply();
  host_.MotionDetector_SetGlobalSensitivity(trkSensitivityProccess->Value());
}

void TfrmMotionDetection::VxedtAlarmLineChange(TObject*) {
  EnableApply();
  const double value = std::trunc(VxedtAlarmLine->Value());
  if (value != 0) {
    PlaceMarker(value);
    ImagAlarmLine->SetVisible(true);
  } else {
    ImagAlarmLine->SetVisible(false);
  }
}

// --- Pages ------------------------------------------------------------------

TGroupBox* TfrmMotionDetection::OptionPage(int index) const {
  TGroupBox* const pages[kPageCount] = {grpPictureMode,     grpEmailMode, grpPlaySoundMode, grpRunProgramMode,
                                        grpRecordVideoMode, grpFTPMode,   grpLogMode};
  return pages[index];
}

void TfrmMotionDetection::ShowOptionPage(int index) {
  for (int i = 0; i < kPageCount; ++i) OptionPage(i)->SetVisible(i == index);
  if (index == pgEmail) ShowAccountGroups();
}

void TfrmMotionDetection::ShowAccountGroups() {
  grpDefaultAccounts->SetVisible(rbtnDefaultAccounts->Checked());
  grpCustomAccounts->SetVisible(!rbtnDefaultAccounts->Checked());
}

void TfrmMotionDetection::FcTreeViewChange(TObject*, TTreeNode* Node) {
  if (!Node || Node->Level() != 1) return;
  const bool sensitivity = Node == nodeSensitivity;
  grpAlarmSensitivitySetting->SetVisible(sensitivity);
  grpAlarmMode->SetVisible(!sensitivity);
}

void TfrmMotionDetection::FctreeAlarmModeChange(TObject*, TTreeNode* Node) {
  EnableApply();
  if (!Node || Node->Level() != 0) return;
  ShowOptionPage(Node->Index());
}

void TfrmMotionDetection::rbtnAccountsClick(TObject*) {
  EnableApply();
  ShowAccountGroups();
}

// --- Buttons ------------------------------------------------------------------

void TfrmMotionDetection::ShowDiskInfo(const String& folder) {
  lblDeskinfoShow->SetCaption(MountPointOf(folder) +
                              FormatLanguageText(IDS_MOTIONDETECTION_FreeSpace, {FreeSpaceMB(MountPointOf(folder))}));
}

void TfrmMotionDetection::UseChosenFolder(const String& folder, bool videoFirst) {
  ChosenBase = IncludeBackslash(folder);
  const String pictures = ChosenBase + kRootName + "AlarmImags/";
  const String videos = ChosenBase + kRootName + "AlarmVideos/";
  if (videoFirst) {
    editVideoSavePath->SetText(videos);
    editAlarmPictureSavePath->SetText(pictures);
  } else {
    editAlarmPictureSavePath->SetText(pictures);
    editVideoSavePath->SetText(videos);
  }
  ShowDiskInfo(ChosenBase);
}

void TfrmMotionDetection::btnSelectPictureSavePathClick(TObject*) {
  dlgFolderBrowse->SetTitle(rtl::Utf8ToWide(IDS_CAPTURESETTING_BROWSEDIALOG_TITLE));
  if (dlgFolderBrowse->Execute()) UseChosenFolder(rtl::WideToUtf8(dlgFolderBrowse->Path()), false);
}

void TfrmMotionDetection::btnSelectVideoSavePathClick(TObject*) {
  EnableApply();
  dlgFolderBrowse->SetTitle(rtl::Utf8ToWide(IDS_CAPTURESETTING_BROWSEDIALOG_TITLE));
  if (dlgFolderBrowse->Execute()) UseChosenFolder(rtl::WideToUtf8(dlgFolderBrowse->Path()), true);
}

void TfrmMotionDetection::btnOpenPictureFolderClick(TObject*) { ShellOpen(editAlarmPictureSavePath->Text()); }

void TfrmMotionDetection::btnOpenVideoFileForderClick(TObject*) {
  EnableApply();
  ShellOpen(editVideoSavePath->Text());
}

void TfrmMotionDetection::btnLogOpenFolderClick(TObject*) { ShellOpen(rtl::ExtractFilePath(editLogPath->Text())); }

void TfrmMotionDetection::btnSelectSoundClick(TObject*) {
  EnableApply();
  const String sounds = ExeFolder + "AlarmSound";
  if (rtl::DirectoryExists(sounds)) OpenDialogSoundFile->SetInitialDir(sounds);
  if (OpenDialogSoundFile->Execute()) editSoundFullFileName->SetText(OpenDialogSoundFile->FileName());
}

void TfrmMotionDetection::btnTestSoundClick(TObject*) {
  EnableApply();
  mg::SoundPlayer* player = host_.MediaPlayer2();
  if (!player) return;
  player->SetFileName(editSoundFullFileName->Text());
  if (player->Playing()) {
    player->Stop();
    player->Close();
  } else if (player->Open()) {
    player->Play();
  }
}

void TfrmMotionDetection::btnSelectProgramClick(TObject*) {
  EnableApply();
  if (OpenDialogEXE->Execute()) editProgramFullFileName->SetText(OpenDialogEXE->FileName());
}

void TfrmMotionDetection::btnHelpClick(TObject*) {
  const String book = ExeFolder + "help/Help.chm";
  ShellOpen(rtl::FileExists(book) ? book : ExeFolder + "help/index.html");
}

void TfrmMotionDetection::btnApplyClick(TObject*) {
  SaveToSettings();
  btnApply->SetEnabled(false);
}

void TfrmMotionDetection::btnOKClick(TObject*) {
  SaveToSettings();
  SetModalResult(mrOk);
  if (!Visible()) return;
  // Shown without its own modal loop: close as the close box would.
  if (!FormState().Contains(fsModal)) Close();
}

// --- Test mail ------------------------------------------------------------------

bool TfrmMotionDetection::TestMailRunning() const { return testMail_ && !testMail_->done; }

void TfrmMotionDetection::WaitForTestMail() {
  if (testMail_ && testMail_->thread.joinable()) testMail_->thread.join();
}

void TfrmMotionDetection::btnTestMailClick(TObject*) {
  // One test at a time; the mail goes with what the window shows now.
  if (TestMailRunning()) return;
  WaitForTestMail();
  TAlarmMailSettings s;
  s.bDefaultSend = rbtnDefaultAccounts->Checked();
  s.SendToAddress = editReceiveAdress->Text();
  s.CCAddress = editCC->Text();
  s.BccAddress = editBCC->Text();
  s.subject = editSubject->Text();
  s.body = MemoBody->Text();
  s.SMTPHost = editMailSMTP->Text();
  s.SMTPPort = SpinInt(VxeditPort);
  s.SendFromAddress = editSendPersonAdress->Text();
  s.UserName = editUserName->Text();
  s.Pasword = editPassWord->Text();
  s.bSMTPIdentity = ckboxSMTPServerIdentityValidate->Checked();
  const win::HWND window = Handle();
  const win::HWND mainWindow = host_.MainWindowHandle();

  btnTestMail->SetEnabled(false);
  if (!testMailWindow_) {
    testMailWindow_ = new TfrmWaiting(this);
    testMailWindow_->AfterConstruction();
    testMailWindow_->OnDestroy = [this](TObject*) { testMailWindow_ = nullptr; };
  }
  testMailWindow_->pnlWaiting()->SetCaption(IDS_MOTIONDETECTION_SENDINGEMAIL);
  testMailWindow_->Show();

  testMail_ = std::make_shared<TestMail>();
  auto run = testMail_;
  run->thread = std::thread([run, s, window, mainWindow] {
    auto post = [window](win::WPARAM step, win::LPARAM result) {
      win::PostMessage(window, WM_TESTMAILSTATUS, step, result);
    };
    bool ok = false;
    if (s.bDefaultSend) {
      rtl::TStringList list;
      for (const auto& [key, value] : {std::pair<const char*, const std::string*>{"to", &s.SendToAddress},
                                       {"CC", &s.CCAddress},
                                       {"BCC", &s.BccAddress},
                                       {"subject", &s.subject},
                                       {"body", &s.body}})
        if (!value->empty()) list.Add(std::string(key) + "=" + *value);
      ok = SendMailByMapi(mainWindow, list) == MAIL_HANDED_OVER;
    } else {
      shell::MimeMessage message;
      message.AddAddressHeader("From", s.SendFromAddress);
      message.AddAddressHeader("To", s.SendToAddress);
      message.AddAddressHeader("Cc", s.CCAddress);
      message.AddTextHeader("Subject", s.subject);
      message.SetBody(s.body);
      net::TSmtpRequest r = SmtpRequestFor(s);
      r.OnConnected = [&post] {
        post(msConnected, 0);
        post(msSending, 0);
      };
      post(msConnecting, 0);
      ok = net::SmtpSend(r, message.Build()).Ok();
    }
    run->done = true;
    post(kTestMailDone, ok ? 0 : 1);
  });
}

void TfrmMotionDetection::EndTestMailWindow() {
  if (!testMailWindow_) return;
  TfrmWaiting* w = testMailWindow_;
  testMailWindow_ = nullptr;
  w->OnDestroy = nullptr;
  w->Close();
  w->Release();
}

void TfrmMotionDetection::TestMailStep(win::WPARAM step, win::LPARAM result) {
  if (step != kTestMailDone) {
    if (!testMailWindow_) return;
    const String& text = step == msConnecting  ? IDS_MOTIONDETECTION_CONNECTINGSERVER
                         : step == msConnected ? IDS_MOTIONDETECTION_CONNECTINGSUCCESSFUL
                                               : IDS_MOTIONDETECTION_SENDINGEMAIL;
    testMailWindow_->pnlWaiting()->SetCaption(text);
    return;
  }
  WaitForTestMail();
  EndTestMailWindow();
  btnTestMail->SetEnabled(true);
  // A test tells how it went and changes nothing: the alarm's own mail
  // switch stays as the user set it.
  if (result == 0)
    MessageBox(Handle(), IDS_MOTIONDETECTION_SENDSUCCESS, MSG_APPLICATION_INFORMATION, MB_OK | MB_ICONINFORMATION);
  else
    MessageBox(Handle(), IDS_MOTIONDETECTION_SENDMAILFAIL, MSG_APPLICATION_WARNING, MB_OK | MB_ICONWARNING);
}

void TfrmMotionDetection::Dispatch(TMessage& message) {
  if (message.Msg == WM_TESTMAILSTATUS) {
    TestMailStep(message.WParam, message.LParam);
    message.Result = 0;
    return;
  }
  TForm::Dispatch(message);
}

}  // namespace alarms
