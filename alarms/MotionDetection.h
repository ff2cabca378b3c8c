#pragma once
// The motion-detection settings window: the alarm line, sensitivity and
// alarm delay with a live meter of the current motion level, which alarm
// actions run, and the options of each action (picture folder and format,
// mail recipients and account, sound, program, recording plan and disk
// limit, upload server, log). It copies the alarm part of the settings
// record into its controls when it opens and back on Apply or OK.
//
// While it is open the capture component's motion detector stays on so the
// meter moves, and the sensitivity slider acts on the detector at once;
// closing gives the detector the stored sensitivity back.
#include <cstdint>
#include <memory>

#include "app/Globals.h"
#include "controls/fcborder_treevw/FcBorder.h"
#include "controls/fcborder_treevw/FcTreeVw.h"
#include "controls/uc/JAMDialogs.h"
#include "controls/vx/VXSlider.h"
#include "controls/vx/VXSpin.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FileDialogs.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timers.h"

namespace mg {
class SoundPlayer;
}

namespace app {
class TfrmWaiting;
}

namespace alarms {

using rtl::String;

// What the window needs of the main window and its capture component.
class TMotionDetectionHost {
public:
  virtual ~TMotionDetectionHost() = default;
  virtual bool MotionDetector_Enabled() = 0;
  virtual void SetMotionDetector_Enabled(bool value) = 0;
  virtual void MotionDetector_SetGlobalSensitivity(int32_t value) = 0;
  // Moves the data root below `base` (a folder ending with "/").
  virtual void ChangeStorageRoot(const String& base) = 0;
  // Stops the main window's mail timer.
  virtual void StopMailTimer() = 0;
  // The alarm sound's player; null when there is none.
  virtual mg::SoundPlayer* MediaPlayer2() = 0;
  // The window the mail hand-off belongs to.
  virtual win::HWND MainWindowHandle() = 0;
};

// An address text is taken when it holds a match of the address pattern
// anywhere in it (so "Name <a@b.org>" passes).
bool IsValidMailAddress(const String& text);

// The live label's text of a motion level: up to three decimals, no digit
// before the point of a level below 1, nothing for zero ("123.45", ".5",
// "").
String MotionLevelText(double level);

class TfrmMotionDetection : public forms::TForm {
public:
  static constexpr int kClientWidth = 649, kClientHeight = 487;
  // The option pages, in the order of the alarm-mode tree's nodes.
  enum { pgPicture, pgEmail, pgSound, pgProgram, pgRecordVideo, pgFTP, pgLog, kPageCount };
  // Posted to the window from the test mail's thread: WParam a mail step
  // (the worker steps 4, 5, 6), or kTestMailDone with LParam 0 on success.
  static constexpr win::UINT WM_TESTMAILSTATUS = 0x0400 + 40;
  static constexpr win::WPARAM kTestMailDone = 100;

  TfrmMotionDetection(forms::TComponent* owner, TMotionDetectionHost& host, app::TGlobalVars& g);
  ~TfrmMotionDetection() override;

  void LoadFromSettings();
  void SaveToSettings();
  void ApplyLanguageTexts();

  void FormShow(forms::TObject* Sender);
  void FormClose(forms::TObject* Sender, forms::TCloseAction& Action);
  void timerRefreshRatioTimer(forms::TObject* Sender);
  void FcTreeViewChange(forms::TObject* Sender, forms::TTreeNode* Node);
  void FctreeAlarmModeChange(forms::TObject* Sender, forms::TTreeNode* Node);
  void trkSensitivityProccessChange(forms::TObject* Sender);
  void VxedtAlarmLineChange(forms::TObject* Sender);
  void rbtnAccountsClick(forms::TObject* Sender);
  void btnSelectPictureSavePathClick(forms::TObject* Sender);
  void btnSelectVideoSavePathClick(forms::TObject* Sender);
  void btnOpenPictureFolderClick(forms::TObject* Sender);
  void btnOpenVideoFileForderClick(forms::TObject* Sender);
  void btnLogOpenFolderClick(forms::TObject* Sender);
  void btnSelectSoundClick(forms::TObject* Sender);
  void btnTestSoundClick(forms::TObject* Sender);
  void btnSelectProgramClick(forms::TObject* Sender);
  void btnHelpClick(forms::TObject* Sender);
  void btnTestMailClick(forms::TObject* Sender);
  void btnApplyClick(forms::TObject* Sender);
  void btnOKClick(forms::TObject* Sender);

  // The Browse buttons' work once the picker gave `folder`: both path
  // edits below the new base, the disk label for it.
  void UseChosenFolder(const String& folder, bool videoFirst);
  // Waits until a running test mail's thread has ended (tests, closing).
  void WaitForTestMail();
  bool TestMailRunning() const;
  // The test mail's progress window while one runs.
  app::TfrmWaiting* TestMailWindow() const { return testMailWindow_; }
  // The x of the marker for an alarm line value, in the window's client.
  int MarkerLeft(double value) const;

  void Dispatch(forms::TMessage& message) override;

  // The base folder last chosen with a Browse button ("" until then).
  String ChosenBase;

  controls::TFcTreeView* FcTreeView;
  forms::TTreeNode *nodeAlarmSetting, *nodeSensitivity, *nodeAlarmMode;

  // Sensitivity page.
  forms::TGroupBox* grpAlarmSensitivitySetting;
  controls::TFcMeter* FcMeter;
  forms::TImage* ImagAlarmLine;
  forms::TLabel* lblMotionRati;
  forms::TGroupBox *grpAlarmLine, *grpSensitivity, *grpAlarmDelay;
  controls::TVxSpinEdit* VxedtAlarmLine;
  forms::TLabel* lblAlarmLineHint;
  controls::TVxSlider* trkSensitivityProccess;
  forms::TLabel* lblSensitivity;
  controls::TVxSpinEdit* VxEditDelay;

  // Alarm-mode page.
  forms::TGroupBox* grpAlarmMode;
  controls::TFcCheckTree* FctreeAlarmMode;
  forms::TTreeNode* ActionNodes[kPageCount];
  forms::TGroupBox *grpPictureMode, *grpEmailMode, *grpPlaySoundMode, *grpRunProgramMode, *grpRecordVideoMode,
      *grpFTPMode, *grpLogMode;

  // Picture page.
  forms::TGroupBox *grpPictureSavePath, *grpPictureSaveFormat;
  forms::TEdit* editAlarmPictureSavePath;
  forms::TButton *btnSelectPictureSavePath, *btnOpenPictureFolder;
  forms::TRadioButton *rbtnPictureSaveFormatBMP, *rbtnPictureSaveFormatJpg;
  forms::TRadioButton *rbtnSaveEachPicture, *rbtnAlternationSave;
  controls::TVxSpinEdit* VxEditAlternationSaveTime;
  forms::TLabel* lblSecondsSaveAPicture;

  // E-mail page.
  forms::TLabel *lblSendTo, *lblCC, *lablBCC, *lblSubject, *lblBody;
  forms::TEdit *editReceiveAdress, *editCC, *editBCC, *editSubject;
  forms::TMemo* MemoBody;
  forms::TRadioButton *rbtnDefaultAccounts, *rbtnCustomAccounts;
  forms::TGroupBox *grpDefaultAccounts, *grpCustomAccounts;
  forms::TLabel* lblDefaultHint;
  forms::TLabel *lblEmaiSMTP, *lblPort, *lblSendAddress, *lblAccounts, *lblPassword;
  forms::TEdit *editMailSMTP, *editSendPersonAdress, *editUserName, *editPassWord;
  controls::TVxSpinEdit* VxeditPort;
  forms::TCheckBox* ckboxSMTPServerIdentityValidate;
  forms::TLabel *lblMailSendAlternation, *lblSendPictureNumOnce;
  controls::TVxSpinEdit *VxeditEmaiSendDely, *VxeditEmaiSendPictureNum;
  forms::TPanel* pnlSendMode;
  forms::TRadioButton *rbtnSendPicture, *rbtnSendHint;
  forms::TButton* btnTestMail;

  // Record-video page.
  forms::TGroupBox *grpVideoSavePath, *grpDiskInformation;
  forms::TEdit* editVideoSavePath;
  forms::TButton *btnSelectVideoSavePath, *btnOpenVideoFileForder;
  forms::TRadioButton *rbtnMonitoringBeganRecording, *WarningLineStartRecording;
  forms::TLabel* lblDeskinfoShow;
  controls::TVxSpinEdit* editFreeSpaceMinValue;
  forms::TRadioButton *rtbtnNoEnoughSpcaeStopRecording, *rbtnOverlayOldFile;
  forms::TCheckBox* ckboxNoMotionStopRecording;
  controls::TVxSpinEdit* VxeditStopDelayTime;
  forms::TLabel* lblSecond;

  // Program page.
  forms::TGroupBox* grpSelectProgram;
  forms::TEdit *editProgramFullFileName, *editRunParameter;
  forms::TButton* btnSelectProgram;
  forms::TLabel* lblRunParameter;
  forms::TCheckBox* ceckRunOnce;

  // Sound page.
  forms::TGroupBox* grpSelectSound;
  forms::TEdit* editSoundFullFileName;
  forms::TButton *btnSelectSound, *btnTestSound;

  // FTP page.
  forms::TGroupBox* grpfTPSetting;
  forms::TLabel *lblHostAddress, *lblFTPPort, *lblAccountName, *lblFTPPassWord, *lblFolder, *lblUpload;
  forms::TEdit *editHostAddress, *editAccountName, *editFTPPassword, *editFolder;
  controls::TVxSpinEdit *VxeditFTPPort, *VxeditFTPIntervalUploadTime;
  forms::TPanel* pnlUploadMode;
  forms::TRadioButton *rbtnContinuedUpload, *rbtnIntervalUpload, *rbtnFTPOnlyUploadPicture;

  // Log page.
  forms::TGroupBox* grpLog;
  forms::TEdit* editLogPath;
  forms::TButton* btnLogOpenFolder;
  forms::TCheckBox* ckSendLogToMail;

  forms::TButton *btnHelp, *btnCancel, *btnApply, *btnOK;
  forms::TTimer* timerRefreshRatio;
  forms::TOpenDialog *OpenDialogSoundFile, *OpenDialogEXE;
  controls::TShBrowseForFolder* dlgFolderBrowse;

private:
  struct TestMail;

  void BuildSensitivityPage();
  void BuildAlarmModePage();
  void BuildPicturePage();
  void BuildEmailPage();
  void BuildRecordVideoPage();
  void BuildProgramAndSoundPages();
  void BuildFtpAndLogPages();
  void MarkOnChange(forms::TControl* control);
  void EnableApply() { btnApply->SetEnabled(true); }
  forms::TGroupBox* OptionPage(int index) const;
  void ShowOptionPage(int index);
  void ShowAccountGroups();
  void PlaceMarker(double value);
  void ShowDiskInfo(const String& folder);
  // Refuses a path typed by hand; true when `edit` may be stored.
  bool PathChoiceAccepted(forms::TEdit* edit, const String& stored, const char* leaf);
  void SaveAddresses(bool& sendEmail);
  void SwitchSendEmailOff();
  void TestMailStep(win::WPARAM step, win::LPARAM result);
  void EndTestMailWindow();

  TMotionDetectionHost& host_;
  app::TGlobalVars& g_;
  std::shared_ptr<TestMail> testMail_;
  app::TfrmWaiting* testMailWindow_ = nullptr;
};

}  // namespace alarms
