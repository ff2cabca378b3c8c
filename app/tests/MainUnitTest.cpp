// The main window started as the program starts it, without a display,
// against simulated capture devices: device lists per mode, the mode
// commands' calls on the capture component, the capture buttons, the
// language menu and the close command.
#include <algorithm>
#include <optional>
#include <vector>

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
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/SystemFilters.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
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
  TGlobalVars& g = GlobalVars();
  {
    std::lock_guard lock(g.SharedLock);
    g.EnableOverlay = true;
    g.OverlayBitmap = picture;
    g.BitmapOverlayLeft = 30;
    g.BitmapOverlayTop = 20;
    g.BitmapOverlaySize = 100;
    g.BitmapOverlayTransparent = false;
  }
  main_->ActionOtherDeviceCapture->Execute();
  capture::TVcEngine& e = *main_->VidCap->Engine();
  ASSERT_EQ(e.State, capture::es_Preview);
  auto scheduler = std::dynamic_pointer_cast<mg::ManualScheduler>(e.FilterGraph->GetScheduler());
  ASSERT_NE(scheduler, nullptr);
  scheduler->Pump(1);
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
