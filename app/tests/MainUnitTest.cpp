// The main window started as the program starts it, without a display,
// against simulated capture devices: device lists per mode, the mode
// commands' calls on the capture component, the capture buttons, the
// language menu and the close command.
#include <algorithm>
#include <optional>
#include <vector>

#include "app/DataFolders.h"
#include "app/FormWaiting.h"
#include "app/MainUnit.h"
#include "app/Program.h"
#include "app/SettingsStore.h"
#include "app/WorkerStatus.h"
#include "app/frmErrorHint.h"
#include "app/frmSplash.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDevices.h"
#include "capture/VcDeviceManager.h"
#include "capture/VcEngine.h"
#include "capture/VcProperties.h"
#include "capture/VcRegistry.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/win/Input.h"
#include "platform/win/Sound.h"
#include "platform/rtl/IniFile.h"

namespace {

using namespace app;
using apptest::WriteFile;

// Forwards every call to the component and writes it down; answers of
// Stop and StartPreview can be forced.
class RecordingCapture : public TMainCapture {
public:
  using TMainCapture::TMainCapture;
  std::vector<std::string> calls;
  std::optional<bool> stopAnswer, startAnswer;
  std::function<void(const std::string&)> onCall;

  void Note(const std::string& c) {
    calls.push_back(c);
    if (onCall) onCall(c);
  }
  bool StartPreview() override {
    Note("StartPreview");
    const bool r = TMainCapture::StartPreview();
    return startAnswer.value_or(r);
  }
  bool Stop() override {
    Note("Stop");
    const bool r = TMainCapture::Stop();
    return stopAnswer.value_or(r);
  }
  void StopPreview() override { Note("StopPreview"), TMainCapture::StopPreview(); }
  void StopRecording() override { Note("StopRecording"), TMainCapture::StopRecording(); }
  void StopPlayer() override { Note("StopPlayer"), TMainCapture::StopPlayer(); }
  void SetMotionDetector_Enabled(bool v) override {
    Note(v ? "MotionOn" : "MotionOff");
    TMainCapture::SetMotionDetector_Enabled(v);
  }
  bool MotionDetector_SetGridSize(int32_t c, int32_t r) override {
    Note("SetGridSize");
    return TMainCapture::MotionDetector_SetGridSize(c, r);
  }
  void MotionDetector_SetGlobalSensitivity(int32_t v) override {
    Note("SetSensitivity " + std::to_string(v));
    TMainCapture::MotionDetector_SetGlobalSensitivity(v);
  }
  int32_t GetVideoWidth() override { return Note("GetVideoWidth"), TMainCapture::GetVideoWidth(); }
  int32_t GetVideoHeight() override { return Note("GetVideoHeight"), TMainCapture::GetVideoHeight(); }
  void SetVideoDevice(int32_t i) override { Note("SetVideoDevice"), TMainCapture::SetVideoDevice(i); }
  void SetAudioDevice(int32_t i) override { Note("SetAudioDevice"), TMainCapture::SetAudioDevice(i); }
  int32_t FindVideoDevice(const String& n) override {
    Note("FindVideoDevice " + n);
    return TMainCapture::FindVideoDevice(n);
  }
  int32_t FindAudioDevice(const String& n) override {
    Note("FindAudioDevice " + n);
    return TMainCapture::FindAudioDevice(n);
  }
  void SetStoragePath(const String& p) override { Note("SetStoragePath"), TMainCapture::SetStoragePath(p); }
  // Recordings and pictures are only written down: the component's own
  // tests record for real.
  std::optional<bool> recordAnswer;
  bool StartRecording() override { return Note("StartRecording"), recordAnswer.value_or(true); }
  void SetAutoFilePrefix(const String& v) override { Note("Prefix " + v), TMainCapture::SetAutoFilePrefix(v); }
  void SetRecordingOnMotion_Enabled(bool v) override { Note(v ? "RecordOnMotionOn" : "RecordOnMotionOff"); }
  bool CaptureFrameTo(capture::TFrameCaptureDest d, const String& f) override {
    return Note("CaptureFrameTo " + std::to_string(d) + " " + f), true;
  }
  void SetBurstType(capture::TFrameCaptureDest v) override { Note("BurstType " + std::to_string(v)); }
  void SetBurstMode(bool v) override { Note(v ? "BurstOn" : "BurstOff"); }
  bool DVCommand(int32_t c) override { return Note("DVCommand " + std::to_string(c)), false; }
};

// Answers every message box with OK and keeps what it showed.
class BoxRecorder : public forms::TMessageBoxPresenter {
public:
  struct Shown {
    std::string text, caption;
    win::UINT flags;
  };
  std::vector<Shown> shown;
  int MessageBox(win::HWND, const String& text, const String& caption, win::UINT flags) override {
    shown.push_back({text, caption, flags});
    return forms::IDOK;
  }
};

// Answers every dialog with OK and keeps what it showed.
class DialogRecorder : public forms::TDialogPresenter {
public:
  struct Shown {
    std::string caption, message;
    std::vector<std::string> buttons;
  };
  std::vector<Shown> shown;
  int ShowDialog(forms::TCustomForm* dialog) override {
    Shown s{dialog->Caption(), "", {}};
    for (int i = 0; i < dialog->ComponentCount(); ++i) {
      forms::TComponent* c = dialog->Components(i);
      if (auto* b = dynamic_cast<forms::TButton*>(c)) s.buttons.push_back(b->Caption());
      if (c->Name() == "Message") s.message = static_cast<forms::TControl*>(c)->Caption();
    }
    shown.push_back(s);
    return forms::mrOk;
  }
};

class MainWindowTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    // The program's filters, as its start registers them: the DV
    // camcorder is told by building its graph.
    mg::ff::RegisterFfmpegFilters();
    sim_ = mg::sim::SimDeviceProvider::Instance();
    sim_->Clear();
    mg::SystemDeviceEnum::AddProvider(sim_);
  }
  void TearDown() override {
    EndProgram();
    // The component's manager holds the device lists of this case; the next
    // case builds its own.
    capture::FreeSyncManager();
    // Close ends the program by posting the quit message, which no loop
    // took here; left queued it would end the next case's modal loops.
    win::MSG msg;
    while (win::PeekMessageA(&msg, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_REMOVE)) {
    }
    RestoreEnglishTexts();  // a case that switched the language leaves English behind
    capture::SetDiscoveryHooks({});
    capture::SetDeviceListHooks({});
    mg::SystemDeviceEnum::RemoveProvider(sim_);
    sim_->Clear();
    AppTest::TearDown();
  }
  // The standard set: camera, TV card, DV camcorder, sound card.
  void PlugStandardSet() { sim_->Reset(); }

  TfrmMain* Start() {
    main_ = StartProgram(exe_, false);
    auto rec = std::make_unique<RecordingCapture>(main_->VidCap);
    rec_ = rec.get();
    main_->SetCapture(std::move(rec));
    return main_;
  }
  std::string Ini(const std::string& section, const std::string& key) {
    rtl::TIniFile ini(exe_ + "Capture.ini");
    return ini.ReadString(section, key, "<none>");
  }

  rtl::ScopedVirtualClock clock_;
  DialogRecorder dialogs_;
  forms::ScopedDialogPresenter presenter_{&dialogs_};
  std::shared_ptr<mg::sim::SimDeviceProvider> sim_;
  TfrmMain* main_ = nullptr;
  RecordingCapture* rec_ = nullptr;
};

TEST_F(MainWindowTest, StartUpSortsTheDevicesIntoTheModesLists) {
  PlugStandardSet();
  Start();
  const TGlobalVars& g = GlobalVars();
  EXPECT_EQ(g.DVVideoDeviceNames, "Sim DV (WDM)\r\n");
  EXPECT_EQ(g.TVVideoDeviceNames, "Sim TV (WDM)\r\n");
  EXPECT_EQ(g.ODVideoDeviceNames, "Sim Camera (WDM)\r\n");
  EXPECT_EQ(g.DVAudioDeviceNames, g.ODAudioDeviceNames);
  EXPECT_NE(g.ODAudioDeviceNames.find("Sim Audio"), std::string::npos);
  for (forms::TMenuItem* item : {main_->mniDV, main_->mniTV, main_->mniOD}) EXPECT_TRUE(item->Visible());
  for (int32_t index : {g.DVVideoDevice, g.TVVideoDevice, g.ODVideoDevice, g.ODAudioDevice}) EXPECT_EQ(index, 0);
  EXPECT_EQ(g.Mode, mmHome);
  EXPECT_TRUE(main_->pnlHome->Visible());
  EXPECT_FALSE(main_->pnlDV->Visible());
  // Started without its skin pictures, the window still has its controls.
  EXPECT_EQ(main_->lblMainTitle->Caption(), "Vorix Video Capture");
}

TEST_F(MainWindowTest, WithoutDevicesEveryModeItemIsHiddenAndEveryIndexIsMinusOne) {
  // A stored choice does not survive when the devices are gone.
  WriteFile(exe_ + "Capture.ini",
            "[Device]\nDVVideoDevice=2\nTVVideoDevice=1\nODVideoDevice=0\nODAudioDevice=3\n[Shot]\nShotFrame=Mine\n");
  Start();
  // The snapshot prefix is the language's, whatever the file holds.
  EXPECT_EQ(main_->VidCap->AutoFilePrefix(), "File");
  const TGlobalVars& g = GlobalVars();
  for (forms::TMenuItem* item : {main_->mniDV, main_->mniTV, main_->mniOD}) EXPECT_FALSE(item->Visible());
  for (int32_t index : {g.DVVideoDevice, g.DVAudioDevice, g.TVVideoDevice, g.TVAudioDevice, g.ODVideoDevice,
                        g.ODAudioDevice})
    EXPECT_EQ(index, -1);
  EXPECT_EQ(g.DVVideoDeviceNames + g.TVVideoDeviceNames + g.ODVideoDeviceNames, "");
  EXPECT_TRUE(main_->pnlHome->Visible());
  // The browser then shows the other devices' albums.
  main_->ActionFileBrowse->Execute();
  EXPECT_EQ(g.Mode, mmBF);
  EXPECT_EQ(g.BF_Path, g.OD_Path);
  EXPECT_EQ(g.BFRootPath, g.ODRootPath);
  EXPECT_FALSE(main_->mniSelect_OD->Enabled());
  EXPECT_TRUE(main_->mniSelect_DV->Enabled());
  EXPECT_TRUE(main_->pnlBFCommand->Visible());
  EXPECT_FALSE(main_->btnPlay->Enabled());
}

TEST_F(MainWindowTest, ModeCommandsCallTheComponentInTheirOrder) {
  PlugStandardSet();
  Start();
  GlobalVars().isMotionDetector = true;
  GlobalVars().Sensitivity = 7;
  struct Case {
    forms::TAction* TfrmMain::*action;
    TMainMode mode;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {&TfrmMain::ActionDVCapture,
       mmDV,
       {"MotionOff", "Stop", "StartPreview", "FindVideoDevice Sim DV (WDM)", "SetVideoDevice", "FindAudioDevice Sim Audio (WDM)",
        "SetAudioDevice", "SetStoragePath"}},
      // Motion detection on: the box's click handler runs first, then the
      // mode's own steps, height read before width.
      {&TfrmMain::ActionOtherDeviceCapture,
       mmOD,
       {"FindVideoDevice Sim Camera (WDM)", "SetVideoDevice", "FindAudioDevice Sim Audio (WDM)", "SetAudioDevice",
        "SetStoragePath", "Stop", "StartPreview", "GetVideoWidth", "GetVideoHeight", "SetGridSize",
        "SetSensitivity 7", "MotionOn", "MotionOn", "GetVideoHeight", "GetVideoWidth", "SetGridSize",
        "SetSensitivity 7"}},
      {&TfrmMain::ActionFileBrowse, mmBF, {"Stop", "MotionOff", "SetStoragePath"}},
      {&TfrmMain::ActionHome, mmHome, {"Stop"}},
  };
  for (const Case& c : cases) {
    rec_->calls.clear();
    (main_->*c.action)->Execute();
    EXPECT_EQ(rec_->calls, c.calls) << c.mode;
    EXPECT_EQ(GlobalVars().Mode, c.mode);
    EXPECT_EQ(main_->pnlDV->Visible(), c.mode != mmHome) << c.mode;
  }
  // Home while on the start page stops nothing and switches nothing.
  rec_->calls.clear();
  main_->ActionHome->Execute();
  EXPECT_TRUE(rec_->calls.empty());
  EXPECT_TRUE(main_->pnlHome->Visible());
  // The panels of a mode: only its command panel shows.
  main_->ActionTVTunerCapture->Execute();
  EXPECT_TRUE(main_->pnlTVCommand->Visible());
  for (auto* p : {main_->pnlDVCommand, main_->pnlODCommand, main_->pnlBFCommand}) EXPECT_FALSE(p->Visible());
  EXPECT_FALSE(main_->mniTV->Enabled());
  EXPECT_TRUE(main_->mniDV->Enabled());
  // The same mode again changes nothing and restarts nothing.
  rec_->calls.clear();
  main_->ActionTVTunerCapture->Execute();
  EXPECT_TRUE(rec_->calls.empty());
}

TEST_F(MainWindowTest, AMissingDeviceGivesTheWarningAndChangesNothing) {
  sim_->PlugIn(mg::sim::CameraOptions{});
  Start();
  struct Case {
    forms::TAction* TfrmMain::*action;
    const String* text;
  };
  for (const Case& c : {Case{&TfrmMain::ActionDVCapture, &MSG_DVWARNING_INFORMATION},
                        Case{&TfrmMain::ActionTVTunerCapture, &MSG_TVWARNING_INFORMATION}}) {
    dialogs_.shown.clear();
    rec_->calls.clear();
    (main_->*c.action)->Execute();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Warning");
    EXPECT_EQ(dialogs_.shown[0].message, *c.text);
    EXPECT_EQ(dialogs_.shown[0].buttons, std::vector<std::string>{"OK"});
    EXPECT_TRUE(rec_->calls.empty());
    EXPECT_EQ(GlobalVars().Mode, mmHome);
    EXPECT_TRUE(main_->pnlHome->Visible());
  }
}

TEST_F(MainWindowTest, EnteringAModeKeepsTheDeviceTheUserChose) {
  sim_->PlugIn(mg::sim::CameraOptions{}, "Cam A");
  sim_->PlugIn(mg::sim::CameraOptions{}, "Cam B");
  Start();
  ASSERT_EQ(GlobalVars().ODVideoDeviceNames, "Cam A (WDM)\r\nCam B (WDM)\r\n");
  GlobalVars().ODVideoDevice = 1;  // as the device dialog leaves it
  main_->ActionOtherDeviceCapture->Execute();
  EXPECT_EQ(rec_->calls[0], "FindVideoDevice Cam B (WDM)");
  EXPECT_EQ(GlobalVars().ODVideoDevice, 1);
  EXPECT_EQ(main_->VidCap->GetVideoDeviceName(), "Cam B (WDM)");
  main_->ActionHome->Execute();
  rec_->calls.clear();
  main_->ActionOtherDeviceCapture->Execute();
  EXPECT_EQ(rec_->calls[0], "FindVideoDevice Cam B (WDM)");
}

TEST_F(MainWindowTest, CaptureButtonsFollowTheCaptureState) {
  PlugStandardSet();
  Start();
  main_->ActionDVCapture->Execute();
  struct Row {
    uint8_t state;
    std::string connect, start;
    bool enabled;
  };
  for (const Row& r : {Row{0, "Disconnect", "Start", true}, Row{1, "Disconnect", "Stop", true},
                       Row{2, "   Connect", "Start", false}}) {
    main_->SetCaptureButtons(r.state);
    EXPECT_EQ(main_->btnConnect->Caption(), r.connect) << int(r.state);
    EXPECT_EQ(main_->btnDVStart->Caption(), r.start) << int(r.state);
    for (auto* b : {main_->btnDVStart, main_->btnDVShotFrame, main_->btnDVCommand})
      EXPECT_EQ(b->Enabled(), r.enabled) << b->Name() << " " << int(r.state);
  }
  // The browser and the start page keep their buttons as they are.
  main_->ActionHome->Execute();
  main_->btnDVStart->SetCaption("x");
  main_->SetCaptureButtons(1);
  EXPECT_EQ(main_->btnDVStart->Caption(), "x");
}

TEST_F(MainWindowTest, ConnectAndDisconnectChangeStateOnlyWhenTheCallSucceeds) {
  PlugStandardSet();
  Start();
  main_->ActionOtherDeviceCapture->Execute();
  rec_->stopAnswer = false;
  main_->ActionDisconnect->Execute();
  EXPECT_EQ(main_->CaptureState, 0);
  rec_->stopAnswer = true;
  main_->ActionDisconnect->Execute();
  EXPECT_EQ(main_->CaptureState, 2);
  EXPECT_FALSE(main_->btnODStart->Enabled());
  rec_->startAnswer = false;
  main_->ActionDisconnect->Execute();
  EXPECT_EQ(main_->CaptureState, 2);
  rec_->startAnswer = true;
  main_->ActionDisconnect->Execute();
  EXPECT_EQ(main_->CaptureState, 0);
  EXPECT_EQ(main_->btnConnect->Caption(), "Disconnect");
  // In the browser it does nothing.
  main_->ActionFileBrowse->Execute();
  rec_->calls.clear();
  main_->ActionDisconnect->Execute();
  EXPECT_TRUE(rec_->calls.empty());
}

TEST_F(MainWindowTest, CloseSavesTheSettingsThenStopsTheComponentInOrder) {
  PlugStandardSet();
  Start();
  std::remove((exe_ + "Capture.ini").c_str());
  GlobalVars().Sensitivity = 4;
  bool savedFirst = false;
  rec_->onCall = [&](const std::string& c) {
    if (c == "StopPreview") savedFirst = std::filesystem::exists(exe_ + "Capture.ini");
  };
  rec_->calls.clear();
  main_->ActionClose->Execute();
  EXPECT_TRUE(savedFirst);
  EXPECT_EQ(rec_->calls, (std::vector<std::string>{"StopPreview", "StopRecording", "StopPlayer", "Stop"}));
  EXPECT_TRUE(main_->ShutDown());
}

TEST_F(MainWindowTest, ClosingTheWindowAnyOtherWaySavesAndStopsAsTheCloseCommand) {
  PlugStandardSet();
  Start();
  std::remove((exe_ + "Capture.ini").c_str());
  rec_->calls.clear();
  main_->Close();
  EXPECT_TRUE(std::filesystem::exists(exe_ + "Capture.ini"));
  EXPECT_EQ(rec_->calls, (std::vector<std::string>{"StopPreview", "StopRecording", "StopPlayer", "Stop"}));
  // Once is enough: the Close command after it does not stop again.
  rec_->calls.clear();
  main_->ActionClose->Execute();
  EXPECT_TRUE(rec_->calls.empty());
}

class LanguageMenuTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    WriteFile(exe_ + "Lang/english.ini", EnglishLanguageFileText());
    WriteFile(exe_ + "Lang/deutsch.ini",
              "[LANGRES]\nIDS_MAIN_BUTTON_EMAIL=E-Post\nIDS_MAIN_BUTTON_CONNECT=Verbinden\n"
              "IDS_MAIN_BUTTON_DISCONNECT=Trennen\nIDS_MAIN_BUTTON_STARTRECORDING=Los\n"
              "IDS_MAIN_BUTTON_STOPRECORDING=Halt\nIDS_MAIN_COMBO_PATH_1=Standard\n");
    PlugStandardSet();
    Start();
  }
  forms::TMenuItem* Item(const std::string& caption) {
    for (int i = 0; i < main_->mnuLanguage->Count(); ++i)
      if (main_->mnuLanguage->Items(i)->Caption() == caption) return main_->mnuLanguage->Items(i);
    return nullptr;
  }
};

TEST_F(LanguageMenuTest, PickingALanguageSwitchesTheTextsAndWritesTheChoiceAtOnce) {
  ASSERT_EQ(main_->mnuLanguage->Count(), 2);
  EXPECT_EQ(main_->mnuLanguage->Items(0)->Caption(), "deutsch");
  EXPECT_EQ(main_->btnEmail->Caption(), "E-mail");
  Item("deutsch")->Click();
  EXPECT_EQ(main_->btnEmail->Caption(), "E-Post");
  EXPECT_TRUE(Item("deutsch")->Checked());
  EXPECT_FALSE(Item("english")->Checked());
  EXPECT_EQ(Ini("General", "Language"), "deutsch.ini");
  // The capture component's own lists take the language's "Default" line.
  EXPECT_EQ(capture::AudioFormatNames().substr(0, 10), "Standard\r\n");
  Item("english")->Click();
  EXPECT_EQ(main_->btnEmail->Caption(), "E-mail");
  EXPECT_EQ(Ini("General", "Language"), "english.ini");
  EXPECT_EQ(capture::AudioFormatNames().substr(0, 9), "Default\r\n");
}

TEST_F(LanguageMenuTest, CaptureButtonsStayRightAfterAChangeOfLanguage) {
  main_->ActionOtherDeviceCapture->Execute();
  rec_->stopAnswer = rec_->startAnswer = true;
  main_->ActionDisconnect->Execute();
  ASSERT_EQ(main_->CaptureState, 2);
  Item("deutsch")->Click();
  EXPECT_EQ(main_->btnConnect->Caption(), "   Verbinden");
  EXPECT_FALSE(main_->btnODStart->Enabled());
  main_->ActionDisconnect->Execute();
  main_->CaptureState = 1;  // as a running recording leaves it
  main_->SetCaptureButtons(1);
  Item("english")->Click();
  EXPECT_EQ(main_->btnODStart->Caption(), "Stop");
  EXPECT_EQ(main_->btnConnect->Caption(), "Disconnect");
}

TEST_F(LanguageMenuTest, TheConnectCaptionKeepsItsLookInTheBrowser) {
  // Entering the browser stopped the component and showed "Connect"; the
  // capture buttons are not set in the browser, so only the language
  // change itself can keep that look.
  main_->ActionOtherDeviceCapture->Execute();
  main_->ActionFileBrowse->Execute();
  ASSERT_EQ(main_->btnConnect->Caption(), "   Connect");
  ASSERT_EQ(main_->CaptureState, 0);
  Item("deutsch")->Click();
  EXPECT_EQ(main_->btnConnect->Caption(), "   Verbinden");
  EXPECT_EQ(main_->btnConnect->Hint(), "Verbinden");
}

TEST_F(LanguageMenuTest, ARecordingKeepsItsStopCaptionAndALanguageChangeEnablesNothing) {
  main_->ActionOtherDeviceCapture->Execute();
  main_->SetCaptureButtons(1);  // as a recording that starts leaves them
  Item("deutsch")->Click();
  EXPECT_EQ(main_->btnODStart->Caption(), "Halt");
  EXPECT_EQ(main_->btnConnect->Caption(), "Trennen");
  // After Disconnect a mode change shows the previewing look while the
  // state stays stopped; a language change must not turn that into the
  // stopped look.
  rec_->stopAnswer = true;
  main_->ActionDisconnect->Execute();
  main_->ActionHome->Execute();
  main_->ActionOtherDeviceCapture->Execute();
  ASSERT_EQ(main_->CaptureState, 2);
  ASSERT_TRUE(main_->btnODStart->Enabled());
  Item("english")->Click();
  EXPECT_TRUE(main_->btnODStart->Enabled());
  EXPECT_EQ(main_->btnConnect->Caption(), "Disconnect");
}

TEST_F(MainWindowTest, UnreadableSkinPicturesNeverStopTheStartUp) {
  PlugStandardSet();
  for (const char* name : {"imgMain.bmp", "imgMain02.bmp", "SoftName.png", "btnDV.png", "Splash.png"})
    WriteFile(exe_ + "skin/" + name, "not a picture");
  Start();
  main_->ActionOtherDeviceCapture->Execute();
  EXPECT_EQ(GlobalVars().Mode, mmOD);
  EXPECT_TRUE(main_->imgSoftName->Picture()->Graphic() == nullptr ||
              main_->imgSoftName->Picture()->Graphic()->Empty());
}

}  // namespace

namespace {

TEST_F(MainWindowTest, TheWindowHandsWorkerReportsToTheHintWindow) {
  Start();
  ASSERT_NE(frmHint, nullptr);
  const int before = frmHint->MemoErrorHint()->Lines()->Count();
  ShowErrorHint(main_->Handle(), "Upload Fail !\r");
  EXPECT_EQ(frmHint->MemoErrorHint()->Lines()->Count(), before + 1);
  EXPECT_TRUE(frmHint->Visible());
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ShowingTheWindowOpensTheStartPageAndBringsItForwardOnce) {
  PlugStandardSet();
  Start();
  main_->ActionOtherDeviceCapture->Execute();
  rec_->calls.clear();
  main_->Show();
  EXPECT_EQ(GlobalVars().Mode, mmHome);
  EXPECT_EQ(rec_->calls, std::vector<std::string>{"Stop"});
  EXPECT_TRUE(main_->TimerShowControls->Enabled());
  clock_.Advance(499);
  forms::Application->ProcessMessages();
  EXPECT_TRUE(main_->TimerShowControls->Enabled());
  clock_.Advance(1);
  forms::Application->ProcessMessages();
  EXPECT_FALSE(main_->TimerShowControls->Enabled());
}

}  // namespace

namespace {

TEST_F(MainWindowTest, HelpMailAndOnlineCommandsOpenTheirTargets) {
  std::vector<std::string> opened;
  SetShellOpener([&](const String& t) { opened.push_back(t); });
  Start();
  main_->ActionHelp->Execute();
  WriteFile(exe_ + "help/Help.chm", "book");
  main_->mniHelp->Click();
  main_->ActionEmail->Execute();
  main_->mniContactTechnicalSupport->Click();
  main_->mniOnlineResources->Click();
  SetShellOpener(nullptr);
  const std::string mail = std::string("mailto:") + SUPPORT_EMAIL;
  EXPECT_EQ(opened, (std::vector<std::string>{exe_ + "help/index.html", exe_ + "help/Help.chm", mail, mail,
                                              ONLINE_RESOURCES_URL}));
}

}  // namespace

namespace {

TEST_F(MainWindowTest, WithoutAnOpenerTheLinksSaySoInAMessage) {
  Start();
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  setenv("PATH", root_.c_str(), 1);  // a folder without xdg-open
  main_->ActionHelp->Execute();
  main_->mniOnlineResources->Click();
  setenv("PATH", saved.c_str(), 1);
  ASSERT_EQ(dialogs_.shown.size(), 2u);
  EXPECT_EQ(dialogs_.shown[0].caption, "Warning");
  EXPECT_NE(dialogs_.shown[0].message.find("No program is installed to open " + exe_ + "help/index.html"),
            std::string::npos)
      << dialogs_.shown[0].message;
  EXPECT_NE(dialogs_.shown[1].message.find(ONLINE_RESOURCES_URL), std::string::npos);
}

TEST_F(MainWindowTest, TheSplashClosesItselfAfterItsMomentEvenWithoutItsPicture) {
  WriteFile(exe_ + "skin/Splash.png", "not a picture");
  auto* splash = new TSplashForm(forms::Application);
  splash->AfterConstruction();
  splash->Show();
  EXPECT_EQ(splash->ClientWidth(), 496);
  EXPECT_EQ(splash->ClientHeight(), 193);
  // Without its picture it shows a plain face, not an invisible window.
  EXPECT_EQ(splash->MemPixel(2, 2), TSplashForm::kPlainColor);
  EXPECT_EQ(splash->MemPixel(490, 190) >> 24, 0xFFu);
  clock_.Advance(1499);
  forms::Application->ProcessMessages();
  EXPECT_TRUE(splash->Visible());
  clock_.Advance(1);
  forms::Application->ProcessMessages();
  EXPECT_FALSE(splash->Visible());
  delete splash;
}

}  // namespace

namespace {

TEST_F(MainWindowTest, StartButtonsExplainThemselvesWhileThePointerIsOnThem) {
  Start();
  const std::pair<controls::TPbButton* TfrmMain::*, std::string> rows[] = {
      {&TfrmMain::btnDV, "Capture video and image from DV"},
      {&TfrmMain::btnTV, "Capture video and image from TV Tuner."},
      {&TfrmMain::btnOD, "Capture video and image from other device like WebCam."},
      {&TfrmMain::btnBF, "Browse and edit recorded media files."},
  };
  for (const auto& [button, text] : rows) {
    controls::TPbButton* b = main_->*button;
    ASSERT_TRUE(b->OnMouseEnter && b->OnMouseExit) << b->Name();
    b->OnMouseEnter(b);
    EXPECT_EQ(main_->lblExplain->Caption(), text);
    b->OnMouseExit(b);
    EXPECT_EQ(main_->lblExplain->Caption(), "Ready!");
  }
}

}  // namespace

namespace {

std::vector<std::string> ComboItems(controls::TstyComboBox* combo) {
  std::vector<std::string> items;
  for (int i = 0; i < combo->Items()->Count(); ++i) items.push_back(combo->Items()->Strings(i));
  return items;
}

TEST_F(MainWindowTest, ChangingTheStorageRootMovesTheComponentAndTheAlbumList) {
  PlugStandardSet();
  Start();
  TGlobalVars& g = GlobalVars();
  main_->ActionOtherDeviceCapture->Execute();
  const std::string base = root_ + "/elsewhere/";
  std::filesystem::create_directories(base + "VorixVideoCapture/OtherDevices/Trip");
  g.OD_PathIndex = 2;
  main_->ChangeStorageRoot(base);
  const std::string newRoot = base + "VorixVideoCapture/";
  EXPECT_EQ(g.StoragePath, newRoot);
  EXPECT_EQ(g.OD_Path, newRoot + "OtherDevices/Default/");
  EXPECT_EQ(main_->VidCap->StoragePath(), g.OD_Path);
  EXPECT_EQ(ComboItems(main_->cmbPath), (std::vector<std::string>{"All", "Default", "Trip"}));
  EXPECT_EQ(main_->cmbPath->ItemIndex(), 0);
  EXPECT_FALSE(main_->btnDeletePath->Enabled());
  for (const String* f : {&g.DVDefaultPath, &g.TVDefaultPath, &g.ODDefaultPath, &g.TodayAlarmPicturePath,
                          &g.TodayAlarmVideoPath})
    EXPECT_TRUE(IsDir(*f)) << *f;
  EXPECT_TRUE(dialogs_.shown.empty());

  // The current root again, or no folder at all, changes nothing.
  rec_->calls.clear();
  main_->ChangeStorageRoot(newRoot);
  main_->ChangeStorageRoot("");
  EXPECT_TRUE(rec_->calls.empty());
  EXPECT_EQ(g.StoragePath, newRoot);

  // In the browser the folders shown follow the new root too.
  main_->ActionFileBrowse->Execute();
  const std::string third = root_ + "/third/";
  main_->ChangeStorageRoot(third);
  EXPECT_EQ(g.BFRootPath, third + "VorixVideoCapture/OtherDevices/");
  EXPECT_EQ(g.BF_Path, g.ODDefaultPath);
  EXPECT_EQ(main_->VidCap->StoragePath(), g.BF_Path);
  EXPECT_EQ(ComboItems(main_->cmbPath), (std::vector<std::string>{"All", "Default"}));
}

TEST_F(MainWindowTest, ARootThatCannotBeCreatedIsToldAtOnce) {
  Start();
  WriteFile(root_ + "/plainfile", "x");
  main_->ChangeStorageRoot(root_ + "/plainfile/");
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].caption, "Warning");
  EXPECT_NE(dialogs_.shown[0].message.find(root_ + "/plainfile/VorixVideoCapture/"), std::string::npos);
  EXPECT_NE(dialogs_.shown[0].message.find("Not a directory"), std::string::npos) << dialogs_.shown[0].message;
}

// Root may write anywhere, so an unwritable place is made from a regular
// file: "Capture.ini" as a folder, a storage root below a file.
TEST_F(MainWindowTest, StartUpProblemsAreToldOnceOverTheShownWindow) {
  std::filesystem::create_directories(exe_ + "Capture.ini");
  WriteFile(root_ + "/plainfile", "x");
  Start();
  EXPECT_TRUE(dialogs_.shown.empty()) << "nothing is shown before the window";
  main_->Show();
  clock_.Advance(500);
  forms::Application->ProcessMessages();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  const std::string& text = dialogs_.shown[0].message;
  EXPECT_NE(text.find("The settings can not be saved to " + exe_ + "Capture.ini: Is a directory"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Can not open the file " + exe_ + "skin/"), std::string::npos) << text;
  // The close loses the settings as announced, without a second word.
  main_->ActionClose->Execute();
  EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(MainWindowTest, AStorageRootThatCannotBeCreatedIsToldAtStartUp) {
  WriteFile(root_ + "/plainfile", "x");
  WriteFile(exe_ + "Capture.ini", "[General]\nStoragePath=" + root_ + "/plainfile/VorixVideoCapture/\n");
  Start();
  main_->Show();
  clock_.Advance(500);
  forms::Application->ProcessMessages();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_NE(dialogs_.shown[0].message.find("The folder " + root_ + "/plainfile/VorixVideoCapture/"),
            std::string::npos)
      << dialogs_.shown[0].message;
  EXPECT_NE(dialogs_.shown[0].message.find("Not a directory"), std::string::npos);
}

TEST_F(MainWindowTest, SettingsThatCannotBeSavedAtCloseAreTold) {
  Start();
  ASSERT_TRUE(std::filesystem::remove(exe_ + "Capture.ini"));
  std::filesystem::create_directories(exe_ + "Capture.ini");
  main_->ActionClose->Execute();
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_NE(dialogs_.shown[0].message.find("The settings can not be saved to " + exe_ + "Capture.ini"),
            std::string::npos)
      << dialogs_.shown[0].message;
  EXPECT_TRUE(main_->ShutDown());
}

}  // namespace

namespace {

// Every caption of the main window in English, measured with the font the
// button draws it in, fits the room the button gives it: a caption wider
// than that is cut off on screen.
TEST_F(MainWindowTest, EveryButtonCaptionFitsItsButtonInEnglish) {
  PlugStandardSet();
  Start();
  forms::TBitmap scratch;
  scratch.SetWidth(4);
  scratch.SetHeight(4);
  std::vector<std::string> tooWide;
  auto check = [&](forms::TControl* c, const String& caption, forms::TFont* font, int room) {
    if (caption.empty()) return;
    scratch.Canvas()->SetFont(font);
    const int width = scratch.Canvas()->TextWidth(caption);
    if (width > room)
      tooWide.push_back(c->Name() + " \"" + caption + "\" " + std::to_string(width) + " > " + std::to_string(room));
  };
  auto checkAll = [&] {
    for (int i = 0; i < main_->ComponentCount(); ++i) {
      forms::TComponent* c = main_->Components(i);
      if (auto* b = dynamic_cast<controls::TPbButton*>(c)) {
        // A pressed button shifts its caption one pixel to the right.
        const int room = b->TextAlign() == controls::taCustom ? b->ClientWidth() - b->TextX() : b->ClientWidth() - 2;
        check(b, b->Caption(), b->Font(), room);
      } else if (auto* l = dynamic_cast<forms::TLabel*>(c); l && l->Parent() == main_->pnlHome) {
        check(l, l->Caption(), l->Font(), l->Width());
      }
    }
  };
  checkAll();
  main_->ActionDVCapture->Execute();
  for (uint8_t state : {0, 1, 2}) {
    main_->SetCaptureButtons(state);
    checkAll();
  }
  main_->ActionFileBrowse->Execute();
  checkAll();
  std::sort(tooWide.begin(), tooWide.end());
  tooWide.erase(std::unique(tooWide.begin(), tooWide.end()), tooWide.end());
  EXPECT_TRUE(tooWide.empty()) << ::testing::PrintToString(tooWide);
}

}  // namespace

namespace {

// The main window's bitmap overlay reaches the picture: the preview's
// frames carry it at its place and size, and not where it is not.
class MainWindowOverlayTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    capture::SetGraphSchedulerFactory([] { return std::make_shared<mg::ManualScheduler>(); });
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    capture::SetGraphSchedulerFactory(nullptr);
    // The record outlives the case; a picture left in it would be freed
    // after the window system at exit.
    TGlobalVars& g = GlobalVars();
    std::lock_guard lock(g.SharedLock);
    g.OverlayBitmap.reset();
    g.EnableOverlay = false;
  }
  // The colour (0xRRGGBB) of pixel (x, y), counted from the top left, of
  // the last frame the main display got.
  // Other Device mode previewing with this picture overlaid at (30, 20)
  // at `size` percent; one frame pumped through.
  capture::TVcEngine& PreviewOneFrameWithOverlay(const std::shared_ptr<forms::TBitmap>& picture, int size,
                                                  bool transparent) {
    TGlobalVars& g = GlobalVars();
    {
      std::lock_guard lock(g.SharedLock);
      g.EnableOverlay = true;
      g.OverlayBitmap = picture;
      g.BitmapOverlayLeft = 30;
      g.BitmapOverlayTop = 20;
      g.BitmapOverlaySize = size;
      g.BitmapOverlayTransparent = transparent;
    }
    main_->ActionOtherDeviceCapture->Execute();
    capture::TVcEngine& e = *main_->VidCap->Engine();
    EXPECT_EQ(e.State, capture::es_Preview);
    auto scheduler = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler());
    EXPECT_NE(scheduler, nullptr);
    if (scheduler) scheduler->Pump(1);
    return e;
  }
  static uint32_t RenderedPixel(capture::TVcEngine& e, int x, int y) {
    auto renderer = std::dynamic_pointer_cast<mg::VideoRenderer>(e.Attachments[capture::da_Main].Renderer);
    if (!renderer) return 0xFFFFFFFF;
    const mg::BITMAPINFOHEADER* bih = renderer->Input()->CurrentType().BitmapHeader();
    const std::vector<uint8_t> frame = renderer->LastFrame();
    if (!bih || frame.empty()) return 0xFFFFFFFF;
    const int bpp = bih->biBitCount / 8, h = bih->biHeight < 0 ? -bih->biHeight : bih->biHeight;
    const int stride = (bih->biWidth * bpp + 3) & ~3;
    const int row = bih->biHeight > 0 ? h - 1 - y : y;
    const uint8_t* p = frame.data() + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * bpp;
    return (p[2] << 16) | (p[1] << 8) | p[0];
  }
};

TEST_F(MainWindowOverlayTest, BitmapOverlayIsDrawnIntoThePreviewFrames) {
  sim_->PlugIn(mg::sim::CameraOptions{}, "Cam");
  Start();
  auto picture = std::make_shared<forms::TBitmap>();
  picture->SetPixelFormat(forms::pf24bit);
  picture->SetSize(20, 10);
  picture->Canvas()->Brush()->SetColor(forms::clRed);
  picture->Canvas()->FillRect(forms::Rect(0, 0, 20, 10));
  // The bottom half is blue; the bottom-left pixel gives the transparent
  // colour.
  picture->Canvas()->Brush()->SetColor(forms::clBlue);
  picture->Canvas()->FillRect(forms::Rect(0, 5, 20, 10));
  capture::TVcEngine& e = PreviewOneFrameWithOverlay(picture, 100, false);
  ASSERT_EQ(e.State, capture::es_Preview);
  TGlobalVars& g = GlobalVars();
  auto scheduler = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler());
  EXPECT_EQ(RenderedPixel(e, 30, 20), 0xFF0000u);
  EXPECT_EQ(RenderedPixel(e, 49, 24), 0xFF0000u);
  EXPECT_EQ(RenderedPixel(e, 49, 29), 0x0000FFu);
  EXPECT_NE(RenderedPixel(e, 50, 24), 0xFF0000u);
  EXPECT_NE(RenderedPixel(e, 29, 20), 0xFF0000u);

  // Twice the size, with the blue half transparent.
  {
    std::lock_guard lock(g.SharedLock);
    g.BitmapOverlaySize = 200;
    g.BitmapOverlayTransparent = true;
  }
  scheduler->Pump(1);
  EXPECT_EQ(RenderedPixel(e, 69, 29), 0xFF0000u);
  EXPECT_NE(RenderedPixel(e, 69, 30), 0x0000FFu);
  EXPECT_NE(RenderedPixel(e, 40, 35), 0x0000FFu);
  EXPECT_NE(RenderedPixel(e, 70, 29), 0xFF0000u);

  // Switched off, the frames are the camera's own.
  {
    std::lock_guard lock(g.SharedLock);
    g.EnableOverlay = false;
  }
  scheduler->Pump(1);
  EXPECT_NE(RenderedPixel(e, 30, 20), 0xFF0000u);
}

}  // namespace

namespace {

// Recording, snapshots and re-encoding as the capture modes drive them.
class CaptureControlTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    PlugStandardSet();
    Start();
  }
  bool Called(const std::string& call) const {
    return std::find(rec_->calls.begin(), rec_->calls.end(), call) != rec_->calls.end();
  }
  std::string HintLines() const { return frmHint->MemoErrorHint()->Text(); }
  BoxRecorder boxes_;
  forms::ScopedMessageBoxPresenter boxPresenter_{&boxes_};
};

TEST_F(CaptureControlTest, BelowTheFreeSpaceMinimumTheHintShowsAndNothingRecords) {
  main_->ActionOtherDeviceCapture->Execute();
  TGlobalVars& g = GlobalVars();
  g.MinFreeSpace = INT32_MAX;
  for (int press = 1; press <= 2; ++press) {
    rec_->calls.clear();
    main_->btnODStart->Click();
    EXPECT_FALSE(Called("StartRecording")) << press;
    EXPECT_FALSE(Called("StopPreview")) << press;
    // Every press tries again: the state never claims a recording.
    EXPECT_EQ(main_->CaptureState, 0) << press;
    EXPECT_FALSE(main_->timerFreeSpaceDetection->Enabled());
    EXPECT_EQ(main_->btnODStart->Caption(), "Start");
  }
  EXPECT_NE(HintLines().find("Do not have enough space!"), std::string::npos) << HintLines();
  EXPECT_EQ(g.HintText, "Do not have enough space!");
  EXPECT_FALSE(g.AlarmRecording);
  // Free space equal to the minimum is enough.
  g.MinFreeSpace = static_cast<int32_t>(FreeSpaceMB(g.StoragePath));
  main_->btnODStart->Click();
  EXPECT_TRUE(Called("StartRecording"));
  EXPECT_EQ(main_->CaptureState, 1);
}

TEST_F(CaptureControlTest, StartAndStopGoToTheModesAlbumInTheirOrder) {
  TGlobalVars& g = GlobalVars();
  g.MinFreeSpace = 0;
  main_->ActionDVCapture->Execute();
  rec_->calls.clear();
  main_->ToggleRecording();
  EXPECT_EQ(rec_->calls, (std::vector<std::string>{"Prefix File", "SetStoragePath", "StopPreview", "StartRecording"}));
  EXPECT_EQ(main_->VidCap->StoragePath(), g.DV_Path);
  EXPECT_EQ(main_->CaptureState, 1);
  EXPECT_TRUE(main_->timerFreeSpaceDetection->Enabled());
  EXPECT_EQ(main_->btnDVStart->Caption(), "Stop");
  EXPECT_FALSE(g.AlarmRecording) << "only the other-devices mode counts as an alarm recording";
  EXPECT_TRUE(boxes_.shown.empty()) << "a first run records into the Default album without a word";
  rec_->calls.clear();
  main_->btnDVStart->Click();
  EXPECT_EQ(rec_->calls, (std::vector<std::string>{"Prefix File", "StopRecording", "RecordOnMotionOff"}));
  EXPECT_EQ(main_->CaptureState, 0);
  EXPECT_FALSE(main_->timerFreeSpaceDetection->Enabled());

  // A start the component refuses leaves the window previewing.
  rec_->recordAnswer = false;
  rec_->calls.clear();
  main_->ToggleRecording();
  EXPECT_EQ(main_->CaptureState, 0);
  EXPECT_EQ(rec_->calls.back(), "StartPreview");
  EXPECT_EQ(main_->btnDVStart->Caption(), "Start");
  EXPECT_FALSE(main_->timerFreeSpaceDetection->Enabled());
}

TEST_F(CaptureControlTest, AMissingAlbumIsToldAndTheRecordingGoesToDefault) {
  TGlobalVars& g = GlobalVars();
  g.MinFreeSpace = 0;
  struct Case {
    forms::TAction* TfrmMain::*action;
    String TGlobalVarsFields::*album;
    String TGlobalVarsFields::*fallback;
    std::string caption;
  };
  for (const Case& c : {Case{&TfrmMain::ActionDVCapture, &TGlobalVarsFields::DV_Path, &TGlobalVarsFields::DVDefaultPath,
                             "Information"},
                        Case{&TfrmMain::ActionTVTunerCapture, &TGlobalVarsFields::TV_Path,
                             &TGlobalVarsFields::TVDefaultPath, "Information"},
                        Case{&TfrmMain::ActionOtherDeviceCapture, &TGlobalVarsFields::OD_Path,
                             &TGlobalVarsFields::ODDefaultPath, "Warning"}}) {
    (main_->*c.action)->Execute();
    g.*c.album = root_ + "/gone/";
    boxes_.shown.clear();
    main_->ToggleRecording();
    ASSERT_EQ(boxes_.shown.size(), 1u) << c.caption;
    EXPECT_EQ(boxes_.shown[0].text, "StoragePath Not Exist.\rIt will use the default path");
    EXPECT_EQ(boxes_.shown[0].caption, c.caption);
    EXPECT_EQ(boxes_.shown[0].flags, win::MB_OK | win::MB_ICONWARNING);
    EXPECT_EQ(g.*c.album, g.*c.fallback);
    EXPECT_EQ(main_->VidCap->StoragePath(), g.*c.fallback);
    EXPECT_EQ(main_->cmbPath->ItemIndex(), 1);
    main_->ToggleRecording();
  }
}

TEST_F(CaptureControlTest, WithMotionDetectionOnTheOtherDevicesModeRecordsIntoTheDaysAlarmFolder) {
  TGlobalVars& g = GlobalVars();
  g.MinFreeSpace = 0;
  main_->ActionOtherDeviceCapture->Execute();
  main_->cekBoxMotionDetection->SetChecked(true);
  main_->ToggleRecording();
  EXPECT_EQ(main_->VidCap->StoragePath(), g.TodayAlarmVideoPath);
  EXPECT_EQ(main_->VidCap->AutoFilePrefix(), "AlarmVideoFile");
  EXPECT_TRUE(g.AlarmRecording);
  main_->ToggleRecording();
  EXPECT_FALSE(g.AlarmRecording);
  // The next start by hand without the detector is an ordinary one.
  main_->cekBoxMotionDetection->SetChecked(false);
  main_->ToggleRecording();
  EXPECT_EQ(main_->VidCap->StoragePath(), g.OD_Path);
  EXPECT_EQ(main_->VidCap->AutoFilePrefix(), "File");
}

TEST_F(CaptureControlTest, AStartedRecordingAsksForItsCompanionPicture) {
  main_->ActionOtherDeviceCapture->Execute();
  rec_->calls.clear();
  main_->VidCapRecordingStarted(nullptr, "/v/File0001.avi");
  EXPECT_EQ(rec_->calls, std::vector<std::string>{"CaptureFrameTo 2 /v/File0001.jpg"});
  EXPECT_EQ(main_->RecordingFileName, "/v/File0001.avi");
  EXPECT_EQ(main_->btnODStart->Caption(), "Stop");
}

TEST_F(CaptureControlTest, AFinishedRecordingAndItsCompanionGetTheDateTimeStamp) {
  EXPECT_EQ(StampedFileName("/a/file0001.asf", rtl::EncodeDateTime(2024, 3, 8, 14, 5, 9, 0)),
            "/a/file0001-240308_140509.asf");
  EXPECT_EQ(CompanionPictureOf("/a/file0001-240308_140509.asf"), "/a/file0001-240308_140509.jpg");
  main_->ActionOtherDeviceCapture->Execute();
  const std::string dir = root_ + "/album/";
  clock_.clock().SetNow(rtl::EncodeDateTime(2024, 3, 8, 14, 5, 9, 0));
  struct Case {
    bool success, companion;
    std::vector<std::string> after;
  };
  for (const Case& c : {Case{true, true, {"file0001-240308_140509.asf", "file0001-240308_140509.jpg"}},
                        // Without its picture the video is renamed all the same.
                        Case{true, false, {"file0001-240308_140509.asf"}},
                        // A recording that did not complete keeps its name.
                        Case{false, true, {"file0001.asf", "file0001.jpg"}}}) {
    std::filesystem::remove_all(dir);
    WriteFile(dir + "file0001.asf", "video");
    if (c.companion) WriteFile(dir + "file0001.jpg", "picture");
    main_->VidCapRecordingCompleted(nullptr, dir + "file0001.asf", c.success);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, c.after) << c.success << c.companion;
  }
  // A name already taken is never overwritten.
  std::filesystem::remove_all(dir);
  WriteFile(dir + "file0001.asf", "new");
  WriteFile(dir + "file0001-240308_140509.asf", "old");
  main_->VidCapRecordingCompleted(nullptr, dir + "file0001.asf", true);
  EXPECT_EQ(apptest::ReadFile(dir + "file0001-240308_140509.asf"), "old");
  EXPECT_EQ(apptest::ReadFile(dir + "file0001.asf"), "new");
}

TEST_F(CaptureControlTest, ThePreviewComesBackAfterTheRecordingUnlessARencodingFollows) {
  main_->ActionOtherDeviceCapture->Execute();
  GlobalVars().AlarmRecording = true;
  struct Case {
    capture::TCompressionMode mode;
    capture::TRecordingMethod method;
    bool restarts;
  };
  for (const Case& c : {Case{capture::cm_NoCompression, capture::rm_AVI, true},
                        Case{capture::cm_CompressOnTheFly, capture::rm_AVI, true},
                        Case{capture::cm_CompressAfterRecording, capture::rm_AVI, false},
                        // ASF is compressed while it is written: no re-encoding follows.
                        Case{capture::cm_CompressAfterRecording, capture::rm_ASF, true}}) {
    main_->VidCap->SetCompressionMode(c.mode);
    main_->VidCap->SetRecordingMethod(c.method);
    rec_->calls.clear();
    main_->VidCapRecordingCompleted(nullptr, root_ + "/none.avi", true);
    EXPECT_EQ(Called("StartPreview"), c.restarts) << c.mode << " " << c.method;
    EXPECT_TRUE(Called("RecordOnMotionOff"));
    EXPECT_FALSE(GlobalVars().AlarmRecording);
  }
  // A recording ended by leaving the mode brings no preview to the browser.
  main_->VidCap->SetCompressionMode(capture::cm_NoCompression);
  main_->ActionFileBrowse->Execute();
  rec_->calls.clear();
  main_->VidCapRecordingCompleted(nullptr, root_ + "/none.avi", true);
  main_->VidCapReencodingCompleted(nullptr, root_ + "/none.rec", root_ + "/none.avi", true);
  EXPECT_FALSE(Called("StartPreview"));
}

TEST_F(CaptureControlTest, ReencodingShowsItsProgressAndDeletesTheCaptureFileOnlyOnSuccess) {
  main_->ActionOtherDeviceCapture->Execute();
  const std::string rec = root_ + "/VidCap1.rec";
  for (bool success : {false, true}) {
    WriteFile(rec, "capture");
    main_->VidCapReencodingStarted(nullptr, rec, root_ + "/File0001.avi");
    TfrmWaiting* window = main_->ReencodingWaitingWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->Visible());
    EXPECT_FALSE(main_->Enabled());
    capture::TProgressInfo progress;
    progress.Percent = 42;
    main_->VidCapReencodingProgress(nullptr, progress);
    EXPECT_EQ(window->pnlWaiting()->Caption(), "42%  completed...");
    rec_->calls.clear();
    main_->VidCapReencodingCompleted(nullptr, rec, root_ + "/File0001.avi", success);
    EXPECT_EQ(std::filesystem::exists(rec), !success) << success;
    EXPECT_TRUE(Called("StartPreview"));
    EXPECT_TRUE(main_->Enabled());
    EXPECT_FALSE(window->Visible());
    EXPECT_EQ(main_->ReencodingWaitingWindow(), window) << "one window, kept";
  }
  // Disconnected meanwhile: the preview stays off.
  main_->CaptureState = 2;
  rec_->calls.clear();
  main_->VidCapReencodingCompleted(nullptr, rec, root_ + "/File0001.avi", true);
  EXPECT_FALSE(Called("StartPreview"));
}

TEST_F(CaptureControlTest, SnapshotsGoThroughBurstModeFromTheButtonF2AndF3) {
  main_->ActionOtherDeviceCapture->Execute();
  auto key = [&](uint16_t vk) {
    rec_->calls.clear();
    win::SendMessage(main_->Handle(), win::WM_KEYDOWN, vk, 0);
    return rec_->calls;
  };
  const std::vector<std::string> jpeg{"BurstType 2", "BurstOn"};
  rec_->calls.clear();
  main_->btnODShotFrame->Click();
  EXPECT_EQ(rec_->calls, jpeg);
  EXPECT_EQ(key(win::VK_F2), jpeg);
  EXPECT_EQ(key(win::VK_F3), jpeg);
  GlobalVars().ShotImageType = false;
  EXPECT_EQ(key(win::VK_F3), (std::vector<std::string>{"BurstType 1", "BurstOn"}));
  // With the snapshot button disabled (stopped) F3 takes nothing.
  main_->SetCaptureButtons(2);
  EXPECT_TRUE(key(win::VK_F3).empty());
  // The rename command keeps F3 in the browser only.
  EXPECT_FALSE(main_->ActionRename->Enabled());
  main_->ActionFileBrowse->Execute();
  EXPECT_TRUE(main_->ActionRename->Enabled());
}

TEST_F(CaptureControlTest, EachTapeCommandSendsItsOwnNumber) {
  main_->ActionDVCapture->Execute();
  for (int i = 0; i < 16; ++i) {
    rec_->calls.clear();
    main_->mniDVCommands[i]->Click();
    EXPECT_EQ(rec_->calls, std::vector<std::string>{"DVCommand " + std::to_string(i)});
  }
}

TEST_F(CaptureControlTest, ACompanionPictureIsNoSnapshotOfItsOwn) {
  // Only the checks exist until the browser's column does: the calls must
  // not touch the component.
  main_->RecordingFileName = root_ + "/File0002.avi";
  WriteFile(root_ + "/File0001.avi", "v");
  rec_->calls.clear();
  for (const char* f : {"/File0001.jpg", "/File0002.jpg", "/File0003.jpg"})
    main_->VidCapFrameCaptureCompleted(nullptr, capture::TFrameData{}, capture::fc_JpegFile, root_ + f, true);
  EXPECT_TRUE(rec_->calls.empty());
}

}  // namespace

namespace {

// Timed snapshots switched on in the settings file run from the start, at
// the file's interval.
class AutoShotTest : public MainWindowTest {};

TEST_F(AutoShotTest, TimedSnapshotsRunFromTheStartAtTheirInterval) {
  PlugStandardSet();
  WriteFile(exe_ + "Capture.ini", "[Shot]\nAutoShotFrameInterval=3\nShotImageType=0\n[Capture]\nEnableAutoShotFrame=1\n");
  Start();
  EXPECT_TRUE(main_->tmrAutoShotFrame->Enabled());
  EXPECT_EQ(main_->tmrAutoShotFrame->Interval(), 3000u);
  main_->ActionOtherDeviceCapture->Execute();
  auto shots = [&] {
    return std::count(rec_->calls.begin(), rec_->calls.end(), std::string("CaptureFrameTo 1 "));
  };
  rec_->calls.clear();
  clock_.Advance(2999);
  forms::Application->ProcessMessages();
  EXPECT_EQ(shots(), 0);
  clock_.Advance(1);
  forms::Application->ProcessMessages();
  EXPECT_EQ(shots(), 1);
  // Stopped, or outside the capture modes, no picture is taken.
  main_->CaptureState = 2;
  clock_.Advance(3000);
  forms::Application->ProcessMessages();
  main_->CaptureState = 0;
  main_->ActionFileBrowse->Execute();
  clock_.Advance(3000);
  forms::Application->ProcessMessages();
  EXPECT_EQ(shots(), 1);
}

}  // namespace

namespace {

// Half size of an odd picture: 101 x 51 at 50 % covers 50 x 26 pixels
// (halves to the even neighbour), and its key colour lets the camera's
// picture through.
TEST_F(MainWindowOverlayTest, AHalfSizeOverlayCoversItsRoundedSizeAndKeepsTheKeyColourTransparent) {
  sim_->PlugIn(mg::sim::CameraOptions{}, "Cam");
  Start();
  auto picture = std::make_shared<forms::TBitmap>();
  picture->SetPixelFormat(forms::pf24bit);
  picture->SetSize(101, 51);
  // The left half blue, which the bottom-left pixel makes the key colour.
  picture->Canvas()->Brush()->SetColor(forms::clBlue);
  picture->Canvas()->FillRect(forms::Rect(0, 0, 50, 51));
  picture->Canvas()->Brush()->SetColor(forms::clRed);
  picture->Canvas()->FillRect(forms::Rect(50, 0, 101, 51));
  capture::TVcEngine& e = PreviewOneFrameWithOverlay(picture, 50, true);
  ASSERT_EQ(e.State, capture::es_Preview);
  EXPECT_EQ(RenderedPixel(e, 79, 45), 0xFF0000u);  // the last column and row of 50 x 26
  EXPECT_EQ(RenderedPixel(e, 60, 20), 0xFF0000u);
  EXPECT_NE(RenderedPixel(e, 80, 45), 0xFF0000u);
  EXPECT_NE(RenderedPixel(e, 79, 46), 0xFF0000u);
  for (auto [x, y] : {std::pair{30, 20}, std::pair{40, 30}, std::pair{50, 45}})
    EXPECT_NE(RenderedPixel(e, x, y), 0x0000FFu) << x << "," << y;
}

}  // namespace

namespace {

TEST_F(MainWindowTest, TheOverlayPictureGoesWithTheWindowsBeforeTheWindowSystem) {
  Start();
  auto picture = std::make_shared<forms::TBitmap>();
  picture->SetSize(4, 4);
  std::weak_ptr<forms::TBitmap> watch = picture;
  GlobalVars().OverlayBitmap = std::move(picture);
  EndProgram();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
