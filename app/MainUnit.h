#pragma once
// The main window: a borderless, picture-skinned window with a start page
// and four working modes (DV capture, TV tuner capture, capture from other
// devices with motion detection, and the media browser).
//
// The window is split by concern: MainUnit.cpp builds the controls, menus,
// actions and timers; MainUnitStartup.cpp holds the creation steps, the
// title, the language menu and the close command; MainUnitModes.cpp the mode
// commands and the capture buttons; MainUnitCommands.cpp the small window
// commands (help, about, dragging, full screen, the settings openers);
// MainUnitCapture.cpp recording, snapshots, tape commands, timed snapshots
// and re-encoding; MainUnitOverlay.cpp the bitmap overlay on each frame;
// MainUnitBrowser.cpp the thumbnail column with its folders, albums and
// filters; MainUnitFiles.cpp the file actions and the album commands;
// MainUnitPlayback.cpp the slide show and the player buttons.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/Globals.h"
#include "app/ShellOpen.h"
#include "capture/VidCap.h"
#include "controls/fc/FcRadChk.h"
#include "controls/pb/PbButton.h"
#include "controls/sty/STYComboBox.h"
#include "controls/sty/STYImagePanel.h"
#include "controls/sty/STYSkinForm.h"
#include "imaging/views/ikmview.h"
#include "platform/forms/Actions.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Timers.h"

namespace alarms {
class TAlarmHost;
class TMotionAlarm;
class TfrmMotionDetection;
}  // namespace alarms

namespace app {

class TWorkerStatus;
class TAlarmWorkers;
class TfrmHint;
class TfrmWaiting;

// The component calls the main window makes, gathered in one place: the
// order of these calls is what the modes and the close command promise,
// so a test can put a recorder in between. Every call goes to `vidCap`.
class TMainCapture {
public:
  explicit TMainCapture(capture::TVidCap* vidCap) : v_(vidCap) {}
  virtual ~TMainCapture() = default;
  capture::TVidCap* VidCap() const { return v_; }

  virtual bool StartPreview() { return v_->StartPreview(); }
  virtual bool Stop() { return v_->Stop(); }
  virtual void StopPreview() { v_->StopPreview(); }
  virtual void StopRecording() { v_->StopRecording(); }
  virtual void StopPlayer() { v_->StopPlayer(); }
  virtual void SetMotionDetector_Enabled(bool v) { v_->SetMotionDetector_Enabled(v); }
  virtual bool MotionDetector_SetGridSize(int32_t cols, int32_t rows) {
    return v_->MotionDetector_SetGridSize(cols, rows);
  }
  virtual void MotionDetector_SetGlobalSensitivity(int32_t v) { v_->MotionDetector_SetGlobalSensitivity(v); }
  virtual int32_t GetVideoWidth() { return v_->GetVideoWidth(); }
  virtual int32_t GetVideoHeight() { return v_->GetVideoHeight(); }
  virtual void SetVideoDevice(int32_t i) { v_->SetVideoDevice(i); }
  virtual void SetAudioDevice(int32_t i) { v_->SetAudioDevice(i); }
  virtual int32_t FindVideoDevice(const String& name) { return v_->FindVideoDevice(name); }
  virtual int32_t FindAudioDevice(const String& name) { return v_->FindAudioDevice(name); }
  virtual void SetStoragePath(const String& path) { v_->SetStoragePath(path); }
  virtual void SetDisplay_FullScreen(bool v) { v_->SetDisplay_FullScreen(v); }
  virtual bool StartRecording() { return v_->StartRecording(); }
  virtual void SetAutoFilePrefix(const String& v) { v_->SetAutoFilePrefix(v); }
  virtual void SetRecordingOnMotion_Enabled(bool v) { v_->SetRecordingOnMotion_Enabled(v); }
  virtual bool CaptureFrameTo(capture::TFrameCaptureDest dest, const String& fileName) {
    return v_->CaptureFrameTo(dest, fileName);
  }
  virtual void SetBurstType(capture::TFrameCaptureDest v) { v_->SetBurstType(v); }
  virtual void SetBurstMode(bool v) { v_->SetBurstMode(v); }
  virtual bool DVCommand(int32_t command) { return v_->DVCommand(command); }
  virtual void SetPlayerFileName(const String& v) { v_->SetPlayerFileName(v); }
  virtual bool OpenPlayer() { return v_->OpenPlayer(); }
  virtual void RunPlayer() { v_->RunPlayer(); }
  virtual void PausePlayer() { v_->PausePlayer(); }
  virtual void RunPlayerBackwards() { v_->RunPlayerBackwards(); }
  virtual void FastBackwardPlayer() { v_->FastBackwardPlayer(); }
  virtual void FastForwardPlayer() { v_->FastForwardPlayer(); }
  virtual void SetPlayerPosition(int64_t position) { v_->SetPlayerPosition(position); }

private:
  capture::TVidCap* v_;
};

class TfrmMain : public forms::TForm {
public:
  // Builds every control, menu, action and timer; the creation steps run
  // from OnCreate (FormCreate).
  explicit TfrmMain(forms::TComponent* owner);
  ~TfrmMain() override;

  // ---- controls, back to front ------------------------------------------
  controls::TstySkinForm* imgMain = nullptr;
  forms::TImage* imgSoftName = nullptr;
  forms::TLabel* lblMainTitle = nullptr;
  forms::TImage* ImagMotionDetection = nullptr;

  controls::TstyImagePanel* pnlHome = nullptr;
  forms::TLabel* lblWhatToDo = nullptr;
  forms::TLabel* lblExplain = nullptr;
  controls::TPbButton* btnDV = nullptr;
  controls::TPbButton* btnTV = nullptr;
  controls::TPbButton* btnOD = nullptr;
  controls::TPbButton* btnBF = nullptr;
  // The names of the four start buttons, under them.
  forms::TLabel* lblHomeDV = nullptr;
  forms::TLabel* lblHomeTV = nullptr;
  forms::TLabel* lblHomeOD = nullptr;
  forms::TLabel* lblHomeBF = nullptr;

  controls::TstyImagePanel* pnlDV = nullptr;
  controls::TstyImagePanel* pnlPathCommand = nullptr;
  controls::TstyComboBox* cmbPath = nullptr;
  controls::TPbButton* btnNewPath = nullptr;
  controls::TPbButton* btnSelectPath = nullptr;
  controls::TPbButton* btnRenamePath = nullptr;
  controls::TPbButton* btnDeletePath = nullptr;
  // The thumbnail view's place: imvViewer takes its bounds.
  controls::TstyImagePanel* pnlViewerPlace = nullptr;
  controls::TstyImagePanel* pnlBrowseCommand = nullptr;
  controls::TPbButton* btnShowAll = nullptr;
  controls::TPbButton* btnShowImage = nullptr;
  controls::TPbButton* btnShowVideo = nullptr;
  controls::TstyImagePanel* pnlWorkSpace = nullptr;
  controls::TstyImagePanel* pnlImage = nullptr;
  capture::TVidCap* VidCap = nullptr;

  controls::TstyImagePanel* pnlDVCommand = nullptr;
  controls::TPbButton* btnDVCaptureSetting = nullptr;
  controls::TPbButton* btnDVCommand = nullptr;
  controls::TPbButton* btnDVStart = nullptr;
  controls::TPbButton* btnDVShotFrame = nullptr;
  controls::TstyImagePanel* pnlTVCommand = nullptr;
  controls::TPbButton* btnTVCaptureSetting = nullptr;
  controls::TPbButton* btnTVStart = nullptr;
  controls::TPbButton* btnTVShotFrame = nullptr;
  controls::TstyImagePanel* pnlODCommand = nullptr;
  controls::TPbButton* btnODCaptureSetting = nullptr;
  controls::TPbButton* btnODStart = nullptr;
  controls::TPbButton* btnODShotFrame = nullptr;
  controls::TPbButton* btnMotinoDetectionSetting = nullptr;
  controls::TFcCheckBox* cekBoxMotionDetection = nullptr;
  controls::TstyImagePanel* pnlBFCommand = nullptr;
  forms::TTrackBar* trkPlayProccess = nullptr;
  controls::TPbButton* btnHead = nullptr;
  controls::TPbButton* btnBack = nullptr;
  controls::TPbButton* btnPause = nullptr;
  controls::TPbButton* btnPlay = nullptr;
  controls::TPbButton* btnStop = nullptr;
  controls::TPbButton* btnRewinds = nullptr;
  controls::TPbButton* btnFastForwards = nullptr;
  controls::TPbButton* btnEnd = nullptr;
  controls::TPbButton* btnBFShotFrame = nullptr;

  controls::TPbButton* btnHome = nullptr;
  controls::TPbButton* btnEmail = nullptr;
  controls::TPbButton* btnSetting = nullptr;
  controls::TPbButton* btnDeviceSetting = nullptr;
  controls::TPbButton* btnFullScreen = nullptr;
  controls::TPbButton* btnConnect = nullptr;
  controls::TPbButton* btnHelp = nullptr;
  controls::TPbButton* btnMin = nullptr;
  controls::TPbButton* btnClose = nullptr;

  // ---- actions ------------------------------------------------------------
  forms::TActionList* ActionList = nullptr;
  forms::TAction* ActionDVCapture = nullptr;
  forms::TAction* ActionTVTunerCapture = nullptr;
  forms::TAction* ActionOtherDeviceCapture = nullptr;
  forms::TAction* ActionFileBrowse = nullptr;
  forms::TAction* ActionHome = nullptr;
  forms::TAction* ActionEmail = nullptr;
  forms::TAction* ActionPrint = nullptr;
  forms::TAction* ActionSettings = nullptr;
  forms::TAction* ActionDeviceSettings = nullptr;
  forms::TAction* ActionFullScreen = nullptr;
  forms::TAction* ActionDisconnect = nullptr;
  forms::TAction* ActionNavigate = nullptr;
  forms::TAction* ActionClose = nullptr;
  forms::TAction* ActionHelp = nullptr;
  forms::TAction* ActionOpen = nullptr;
  forms::TAction* ActionCopy = nullptr;
  forms::TAction* ActionDelete = nullptr;
  forms::TAction* ActionRename = nullptr;
  forms::TAction* ActionPlay = nullptr;
  forms::TAction* ActionRefresh = nullptr;
  forms::TAction* actShotFrame = nullptr;

  // ---- menus --------------------------------------------------------------
  forms::TPopupMenu* PopupMenuNavigate = nullptr;
  forms::TMenuItem* mniDV = nullptr;
  forms::TMenuItem* mniTV = nullptr;
  forms::TMenuItem* mniOD = nullptr;
  forms::TMenuItem* mniBF = nullptr;
  forms::TPopupMenu* mnuDVCommand = nullptr;
  // The sixteen tape commands, by Tag 0..15.
  forms::TMenuItem* mniDVCommands[16] = {};
  forms::TPopupMenu* mnuFile = nullptr;
  forms::TMenuItem* mniFile_Open = nullptr;
  forms::TMenuItem* mniFile_Copy = nullptr;
  forms::TMenuItem* mniFile_Cut = nullptr;
  forms::TMenuItem* mniFile_Delete = nullptr;
  forms::TMenuItem* mniFile_Rename = nullptr;
  forms::TMenuItem* mniFile_Play = nullptr;
  forms::TMenuItem* mniFile_Refresh = nullptr;
  forms::TPopupMenu* mnuSelectDeviceType = nullptr;
  forms::TMenuItem* mniSelect_DV = nullptr;
  forms::TMenuItem* mniSelect_TV = nullptr;
  forms::TMenuItem* mniSelect_OD = nullptr;
  forms::TPopupMenu* mnuHelp = nullptr;
  forms::TMenuItem* mniHelp = nullptr;
  forms::TMenuItem* mnuLanguage = nullptr;
  forms::TMenuItem* mniOnlineResources = nullptr;
  forms::TMenuItem* mniContactTechnicalSupport = nullptr;
  forms::TMenuItem* mniAbout = nullptr;

  // ---- timers -------------------------------------------------------------
  forms::TTimer* TimerShowControls = nullptr;
  forms::TTimer* tmrPlayMediaFiles = nullptr;
  forms::TTimer* tmrAutoShotFrame = nullptr;
  forms::TTimer* timerAlarmDelay = nullptr;
  forms::TTimer* timerFreeSpaceDetection = nullptr;
  forms::TTimer* timerStopRecord = nullptr;
  forms::TTimer* timerStartRecordVideo = nullptr;
  forms::TTimer* timerSendEmail = nullptr;
  forms::TTimer* timerSavePicture = nullptr;
  forms::TTimer* timerFTPUpload = nullptr;

  // ---- state --------------------------------------------------------------
  // 0 previewing, 1 recording, 2 stopped.
  uint8_t CaptureState = 0;
  String RecordingFileName;
  std::unique_ptr<rtl::TStringList> PlayList;
  int32_t PlayIndex = 0;
  int32_t PlayCount = 0;
  bool NextItemDue = true;
  bool PlayIdle = true;

  // ---- start-up and shutdown ------------------------------------------------
  void FormCreate(forms::TObject* Sender);
  void FormShow(forms::TObject* Sender);
  void TimerShowControlsTimer(forms::TObject* Sender);
  void UpdateTitle();
  void ActionCloseExecute(forms::TObject* Sender);
  // True once the settings were saved and the component stopped.
  bool ShutDown() const { return shutDown_; }

  // ---- language -------------------------------------------------------------
  void BuildLanguageMenu();
  void SelectLanguage(forms::TObject* Sender);
  void ApplyLanguageTexts();

  // ---- modes ------------------------------------------------------------------
  void ActionDVCaptureExecute(forms::TObject* Sender);
  void ActionTVTunerCaptureExecute(forms::TObject* Sender);
  void ActionOtherDeviceCaptureExecute(forms::TObject* Sender);
  void ActionFileBrowseExecute(forms::TObject* Sender);
  void ActionHomeExecute(forms::TObject* Sender);
  void SwitchMode(TMainMode Mode);
  void SetToolbarVisible(bool Visible);
  void SetCaptureButtons(uint8_t State);
  void ActionDisconnectExecute(forms::TObject* Sender);
  void btnDVMouseEnter(forms::TObject* Sender);
  void btnDVMouseExit(forms::TObject* Sender);
  void cekBoxMotionDetectionClick(forms::TObject* Sender);
  // Opens the motion-detection settings window (one at a time, freed when
  // it closes).
  void btnMotinoDetectionSettingClick(forms::TObject* Sender);
  alarms::TfrmMotionDetection* MotionDetectionWindow() const { return motionDetectionWindow_; }

  // Moves the data root below the folder `Base`: the folders of the new
  // root, the component's storage folder for the current mode, the free
  // space and the album list. Called by the dialogs that choose a folder.
  void ChangeStorageRoot(const String& Base);

  // ---- window commands ----------------------------------------------------------
  void ActionNavigateExecute(forms::TObject* Sender);
  void ActionHelpExecute(forms::TObject* Sender);
  void btnHelpClick(forms::TObject* Sender);
  void mniOnlineResourcesClick(forms::TObject* Sender);
  void mniContactTechnicalSupportClick(forms::TObject* Sender);
  void ActionEmailExecute(forms::TObject* Sender);
  void mniAboutClick(forms::TObject* Sender);
  void btnMinClick(forms::TObject* Sender);
  void ActionFullScreenExecute(forms::TObject* Sender);
  void VidCapDblClick(forms::TObject* Sender);
  // The bitmap overlay, drawn on each frame on the media graph's
  // streaming thread.
  void VidCapFrameOverlayUsingDC(forms::TObject* Sender, const capture::TFrameInfo& FrameInfo, win::HDC Dc);
  void ActionSettingsExecute(forms::TObject* Sender);
  void ActionDeviceSettingsExecute(forms::TObject* Sender);
  void ActionPrintExecute(forms::TObject* Sender);
  // Every dragging handler: the borderless window moves with the pointer.
  void StartWindowDrag();
  // The capture settings dialog of each capture mode's panel.
  void btnDVCaptureSettingClick(forms::TObject* Sender);
  void btnTVCaptureSettingClick(forms::TObject* Sender);
  void btnODCaptureSettingClick(forms::TObject* Sender);
  void OpenCaptureSettings();

  // ---- capture: recording, snapshots, tape commands, re-encoding ---------------
  // Starts a recording into the mode's album when none runs, else stops it.
  void ToggleRecording();
  void btnStartClick(forms::TObject* Sender);
  // A burst of snapshots into the component's storage folder.
  void TakeSnapshot();
  void actShotFrameExecute(forms::TObject* Sender);
  void FormKeyDown(forms::TObject* Sender, uint16_t& Key, forms::TShiftState Shift);
  void VidCapRecordingStarted(forms::TObject* Sender, const String& FileName);
  void VidCapRecordingCompleted(forms::TObject* Sender, const String& FileName, bool Success);
  void VidCapPreviewStarted(forms::TObject* Sender);
  void VidCapFrameCaptureCompleted(forms::TObject* Sender, const capture::TFrameData& FrameData,
                                   capture::TFrameCaptureDest DestType, const String& FileName, bool Success);
  void btnDVCommandClick(forms::TObject* Sender);
  void SendDVCommand(forms::TObject* Sender);
  void VidCapReencodingStarted(forms::TObject* Sender, const String& SourceFile, const String& DestFile);
  void VidCapReencodingProgress(forms::TObject* Sender, const capture::TProgressInfo& ProgressInfo);
  void VidCapReencodingCompleted(forms::TObject* Sender, const String& SourceFile, const String& DestFile,
                                 bool Success);
  void tmrAutoShotFrameTimer(forms::TObject* Sender);
  // Timed snapshots run while they are switched on, at the interval the
  // settings give (seconds).
  void UpdateAutoShotTimer();
  // The re-encoding progress window, once a re-encoding has shown it.
  TfrmWaiting* ReencodingWaitingWindow() const { return reencodingWindow_; }

  // The calls on the component; a test may put a recorder in its place.
  TMainCapture& Capture() { return *capture_; }
  void SetCapture(std::unique_ptr<TMainCapture> c) { capture_ = std::move(c); }

  void SetHintWindow(TfrmHint* hint);
  TWorkerStatus* WorkerStatus() const { return workerStatus_.get(); }
  // The motion alarm: the motion events, the alarm timers and actions.
  alarms::TMotionAlarm* MotionAlarm() const { return motionAlarm_.get(); }
  // The alarm mail and upload workers, started by their timers.
  TAlarmWorkers* AlarmWorkers() const { return alarmWorkers_.get(); }
  void timerSendEmailTimer(forms::TObject* Sender);
  void timerFTPUploadTimer(forms::TObject* Sender);

  void Dispatch(forms::TMessage& message) override;

  // ---- media browser: folders, albums, filters (MainUnitBrowser.cpp) ----------
  // The thumbnail column of the working area.
  imaging::TImgKitMView* imvViewer = nullptr;
  // Adds a slot at the end showing `Picture` (loaded in the background when
  // the slot comes into view), with `Caption` under it.
  void AppendMediaSlot(const String& Picture, const String& Caption);
  // Appends the slots of one folder (and its sub-folders when Recursive).
  void ScanMediaFolder(uint8_t Filter, const String& Folder, bool Recursive);
  // Appends the slots of the mode's current album; the caller clears first.
  void ShowMediaFolder(TMainMode Mode);
  void FillAlbumCombo(TMainMode m);
  void cmbPathChange(forms::TObject* Sender);
  void ShowAllMedia();
  void ShowPicturesOnly();
  void ShowVideosOnly();
  void RefreshBrowser();
  void SelectBrowseSource(TMainMode Source);
  void btnSelectPathClick(forms::TObject* Sender);
  // The full name of the media file a slot stands for: the folder of its
  // picture and its caption.
  String MediaFileOfSlot(int32_t index) const;
  // A new recording (its companion picture and its name) or snapshot
  // joins the column when the mode's filter shows its kind and it lies in
  // the folder shown; the column scrolls to its end either way.
  void ShowNewMedia(const String& Picture, const String& Caption, bool IsVideo);

  // ---- file actions and albums (MainUnitFiles.cpp) ------------------------------
  void imvViewerMouseUp(forms::TObject* Sender, forms::TMouseButton Button, forms::TShiftState Shift, int X, int Y);
  void imvViewerDblClick(forms::TObject* Sender);
  void imvViewerKeyDown(forms::TObject* Sender, uint16_t& Key, forms::TShiftState Shift);
  void imvViewerImageSelect(forms::TObject* Sender, int32_t Index);
  void OpenSelectedFiles();
  void CopySelectedFiles();
  // Puts the files on the clipboard as copied files; false when nothing
  // could be put there.
  bool CopyFilesToClipboard(const std::vector<String>& Files);
  void DeleteSelectedFiles();
  void RenameMediaFile();
  void NewAlbum();
  void RenameAlbum();
  void DeleteAlbum();

  // ---- playback and the slide show (MainUnitPlayback.cpp) -----------------------
  void PlaySelection();
  void PlayMediaItem(const String& F);
  void SetPlayerButtons(uint8_t State);
  void tmrPlayMediaFilesTimer(forms::TObject* Sender);
  void VidCapPlayerEndOfStream(forms::TObject* Sender);
  void btnPlayClick(forms::TObject* Sender);
  void btnPauseClick(forms::TObject* Sender);
  void btnBackClick(forms::TObject* Sender);
  void btnStopClick(forms::TObject* Sender);
  void btnRewindsClick(forms::TObject* Sender);
  void btnFastForwardsClick(forms::TObject* Sender);
  void btnHeadClick(forms::TObject* Sender);
  void btnEndClick(forms::TObject* Sender);
  void btnBFShotFrameClick(forms::TObject* Sender);
  // Ends a running slide show without touching the component.
  void EndSlideShow();

protected:
  void DoClose(forms::TCloseAction& action) override;

private:
  void BuildControls();
  void BuildActions();
  void BuildMenus();
  void BuildTimers();
  void BindCaptureEvents();
  bool CompressesAfterRecording() const;
  bool PreviewWanted() const;
  void LoadButtonPictures();
  void LoadSkinPicture(const String& fileName);
  void ModeDeviceSelection(TMainMode m);
  void DoCaptureMode(TMainMode m);
  bool RefuseMissingDevice(const String& names, const String& text);
  // The capture mode whose folders the browser shows.
  TMainMode BrowseSource() const;
  void EnableAlbumButtons();
  // A warning with an OK button, as the missing-device warning.
  void Warn(const String& text);
  // Start-up problems the user is told about once the window is up.
  void NoteStartupProblem(const String& text);
  void CheckSkinFolder();
  void TellStartupProblems();
  void SaveAndStop();

  std::unique_ptr<TMainCapture> capture_;
  std::unique_ptr<TWorkerStatus> workerStatus_;
  bool shutDown_ = false;
  // The look SetCaptureButtons last gave the buttons (0, 1 or 2); a change
  // of language shows the same look in the new texts.
  uint8_t captureLook_ = 0;
  std::vector<String> startupProblems_;
  TfrmWaiting* reencodingWindow_ = nullptr;
  // Set once the user knows the settings cannot be saved.
  bool settingsProblemTold_ = false;
  // The first skin picture that could not be read, for the start-up notice.
  String badSkinFile_;
  void NoteBadSkinFile(const String& path) {
    if (badSkinFile_.empty()) badSkinFile_ = path;
  }
  void BuildBrowser();
  // The root, Default folder, album folder, album index and filter byte of
  // a mode; null for the start page.
  struct AlbumSet {
    String* root;
    String* defaultFolder;
    String* album;
    int32_t* index;
    uint8_t* filter;
  };
  static std::optional<AlbumSet> AlbumSetOf(TMainMode m);
  void BuildMotionAlarm();
  std::unique_ptr<alarms::TAlarmHost> alarmHost_;
  std::unique_ptr<alarms::TMotionAlarm> motionAlarm_;
  alarms::TfrmMotionDetection* motionDetectionWindow_ = nullptr;
  void BuildAlarmWorkers();
  std::unique_ptr<TAlarmWorkers> alarmWorkers_;
};

// The companion picture of a video: its full name with the last four
// characters (the extension) replaced by ".jpg".
String CompanionPictureOf(const String& video);
// `file` with "-yymmdd_hhnnss" of `when` put before its last four
// characters: "a/file0001.asf" at 2024-03-08 14:05:09 gives
// "a/file0001-240308_140509.asf".
String StampedFileName(const String& file, rtl::TDateTime when);

// What a file is to the browser, told by its last four characters.
enum TMediaKind { mkOther, mkPicture, mkVideo };
TMediaKind MediaKindOfFile(const String& FileName);
// The companion picture of a video when it exists.
bool FindCompanionThumbnail(const String& Video, String& Companion);
// The video whose companion `Picture` is, when one exists.
bool FindCompanionVideo(const String& Picture, String& Video);
// A name the user gave an album or a file: refused when empty, "." or
// "..", or holding a path separator or a control character.
bool IsValidItemName(const String& Name);
// The clipboard's file-list block: a 20-byte header (list offset 20, drop
// point 0,0, non-client 0, wide characters) and the names in UTF-16, each
// ended by a zero character, the list by one more, then 8 zero bytes.
std::vector<uint8_t> BuildDropFiles(const std::vector<String>& Files);

// The running program's main window (set before its creation steps run).
extern TfrmMain* frmMain;

// The product's title, online page and support address.
extern const char* const PRODUCT_TITLE;
extern const char* const ONLINE_RESOURCES_URL;
extern const char* const SUPPORT_EMAIL;

}  // namespace app
