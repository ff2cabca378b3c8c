// The motion-detection settings window over a settings record of its own:
// what it loads and stores (read back from the settings file by Python's
// own INI reader), the address checks, the limits of its number edits, the
// folder choice, the live meter and its alarm-line marker on the headless
// screen, and the test mail against a loopback SMTP server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdio.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "alarms/MotionDetection.h"
#include "app/DataFolders.h"
#include "app/FormWaiting.h"
#include "app/ResStr.h"
#include "app/SettingsStore.h"
#include "app/ShellOpen.h"
#include "platform/forms/Dialogs.h"
#include "platform/mg/Scheduler.h"
#include "platform/mg/SoundPlayer.h"
#include "platform/mg/ffmpeg/FfAudioRenderer.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/rtl/Clock.h"
#include "platform/shell/tests/MailTestSupport.h"
#include "platform/win/Display.h"

namespace {

using alarms::TfrmMotionDetection;
using app::TGlobalVars;
using rtl::String;

class HostRecorder : public alarms::TMotionDetectionHost {
public:
  explicit HostRecorder(TGlobalVars& g) : g_(g) {}
  bool MotionDetector_Enabled() override { return detector; }
  void SetMotionDetector_Enabled(bool v) override { detector = v; }
  void MotionDetector_SetGlobalSensitivity(int32_t v) override { sensitivities.push_back(v); }
  void ChangeStorageRoot(const String& base) override {
    bases.push_back(base);
    app::ChangeStorageRootFolders(g_, base, "2026-12-11");
  }
  void StopMailTimer() override { ++mailTimerStops; }
  mg::SoundPlayer* MediaPlayer2() override { return player; }
  win::HWND MainWindowHandle() override { return nullptr; }

  bool detector = false;
  std::vector<int32_t> sensitivities;
  std::vector<String> bases;
  int mailTimerStops = 0;
  mg::SoundPlayer* player = nullptr;

private:
  TGlobalVars& g_;
};

class MotionDetectionTest : public formstest::FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    char pattern[] = "/tmp/vorix-motionwin-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    savedExe_ = app::ExeFolder;
    app::ExeFolder = root_ + "/prog/";
    std::filesystem::create_directories(app::ExeFolder);
    g.StoragePath = root_ + "/data/VorixVideoCapture/";
    app::FormRootFolders(g);
    app::FormAlarmRoots(g);
    app::FormTodayAlarmFolders(g, "2026-12-11");
    g.LogPath = app::ExeFolder + "Log/";
  }
  void TearDown() override {
    if (window) window->WaitForTestMail();
    Pump();
    window = nullptr;
    FormsFixture::TearDown();
    app::ExeFolder = savedExe_;
    app::RestoreEnglishTexts();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  // Made, loaded and shown as the main window does, without the modal
  // loop.
  TfrmMotionDetection* Open() {
    window = new TfrmMotionDetection(nullptr, host, g);
    window->LoadFromSettings();
    window->Show();
    Pump();
    return window;
  }
  void ShowOptionPage(int page) {
    window->FcTreeView->SetSelected(window->nodeAlarmMode);
    window->FctreeAlarmMode->SetSelected(window->ActionNodes[page]);
    Pump();
  }
  void Tick(int page, bool on) {
    window->FctreeAlarmMode->SetNodeCheckState(window->ActionNodes[page],
                                               on ? controls::csChecked : controls::csUnchecked);
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.boxes) texts.push_back(b.text);
    return texts;
  }

  // The [Capture] section of the settings file as Python's INI reader
  // sees it.
  std::map<std::string, std::string> ReadBackWithPython() {
    const std::string script =
        "import configparser, sys\n"
        "c = configparser.RawConfigParser(strict=False)\n"
        "c.optionxform = str\n"
        "c.read(sys.argv[1], encoding='utf-8')\n"
        "for k, v in c['Capture'].items():\n"
        "    print(k + '\\t' + v)\n";
    const std::string scriptPath = root_ + "/read.py";
    std::ofstream(scriptPath) << script;
    const std::string cmd = "/usr/bin/python3 " + scriptPath + " " + app::SettingsFileName();
    std::map<std::string, std::string> values;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return values;
    char line[4096];
    while (fgets(line, sizeof line, p)) {
      std::string s(line);
      if (!s.empty() && s.back() == '\n') s.pop_back();
      const size_t tab = s.find('\t');
      if (tab != std::string::npos) values[s.substr(0, tab)] = s.substr(tab + 1);
    }
    EXPECT_EQ(pclose(p), 0);
    return values;
  }

  rtl::ScopedVirtualClock clock;
  formstest::RecordingPresenter boxes;
  forms::ScopedMessageBoxPresenter boxPresenter{&boxes};
  TGlobalVars g;
  HostRecorder host{g};
  TfrmMotionDetection* window = nullptr;
  std::string root_, savedExe_;
};

TEST(MotionDetectionTexts, AddressPatternMatchesAnywhereInTheText) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"ops@example.org", true},
      {"first.last+tag@mail.example.co.uk", true},
      {"Night Watch <watch@example.com>", true},  // a display name in front
      {"a@b.org, c@d.net", true},                 // several: one match is enough
      {"ops@example", false},                     // no dot after the part behind "@"
      {"@example.org", false},
      {"ops.example.org", false},
      {"ops@.org", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(alarms::IsValidMailAddress(c.text), c.valid) << c.text;
}

TEST(MotionDetectionTexts, LiveLevelShowsUpToThreeDecimalsAndNothingForZero) {
  const struct {
    double level;
    const char* text;
  } cases[] = {{0, ""}, {123.45, "123.45"}, {1000, "1000"}, {7.12345, "7.123"}, {0.5, ".5"}};
  for (const auto& c : cases) EXPECT_EQ(alarms::MotionLevelText(c.level), c.text) << c.level;
}

TEST_F(MotionDetectionTest, LoadShowsTheRecordAndLeavesApplyOff) {
  g.AlarmLine = 250;
  g.Sensitivity = 6;
  g.AlarmDelay = 1.5;
  g.bSendEmail = true;
  g.bWriteLog = true;
  g.bSavePicture = false;
  g.Mail.SendToAddress = "ops@example.org";
  g.Mail.SMTPPort = 2525;
  g.Ftp.FTPPassword = "ftp-secret";
  g.FTPIntervalUploadTime = 7;
  g.bDefaultSend = false;
  g.bCustomSend = true;
  Open();
  const std::pair<forms::TCustomEdit*, std::string> edits[] = {
      {window->VxedtAlarmLine, "250"},
      {window->VxEditDelay, "1.5"},
      {window->editReceiveAdress, "ops@example.org"},
      {window->VxeditPort, "2525"},
      {window->editFTPPassword, "ftp-secret"},
      {window->VxeditFTPIntervalUploadTime, "7.0"},
      {window->editAlarmPictureSavePath, g.AlarmPictureSavePath},
      {window->editVideoSavePath, g.AlarmVideoSavePath},
      {window->editLogPath, g.LogPath + "AlarmLogFile.txt"},
  };
  for (const auto& [edit, text] : edits) EXPECT_EQ(edit->Text(), text) << edit->Name();
  EXPECT_EQ(window->trkSensitivityProccess->Value(), 6);
  const bool ticked[] = {false, true, false, false, false, false, true};
  for (int i = 0; i < TfrmMotionDetection::kPageCount; ++i)
    EXPECT_EQ(window->FctreeAlarmMode->NodeCheckState(window->ActionNodes[i]) == controls::csChecked, ticked[i])
        << "action " << i;
  EXPECT_TRUE(window->grpAlarmSensitivitySetting->Visible());
  EXPECT_FALSE(window->grpAlarmMode->Visible());
  EXPECT_FALSE(window->btnApply->Enabled());
  EXPECT_TRUE(host.detector) << "the meter needs the detector on while the window shows";
  // The free-space label names the mount point, never a drive letter.
  EXPECT_EQ(window->lblDeskinfoShow->Caption().rfind("/", 0), 0u) << window->lblDeskinfoShow->Caption();
}

TEST_F(MotionDetectionTest, EveryControlRoundTripsThroughTheSettingsFile) {
  g.NoEnoughSpcaeStopRecord = false;
  g.OnlyUploadPicture = false;
  g.SendLog = false;
  Open();
  const bool ticks[] = {false, true, true, false, true, false, true};
  for (int i = 0; i < TfrmMotionDetection::kPageCount; ++i) Tick(i, ticks[i]);
  window->VxedtAlarmLine->SetText("640");
  window->trkSensitivityProccess->SetValue(4);
  window->VxEditDelay->SetText("2.5");
  window->UseChosenFolder(root_ + "/media", false);
  window->rbtnSaveEachPicture->SetChecked(true);
  window->VxEditAlternationSaveTime->SetText("3.5");
  window->rbtnPictureSaveFormatBMP->SetChecked(true);
  window->editReceiveAdress->SetText("ops@example.org");
  window->editCC->SetText("Boss <boss@example.com>");
  window->editBCC->SetText("audit@example.net");
  window->editSubject->SetText("Motion!");
  window->MemoBody->SetText("line one\r\nline two");
  window->rbtnCustomAccounts->SetChecked(true);
  window->editMailSMTP->SetText("smtp.example.org");
  window->VxeditPort->SetText("587");
  window->editSendPersonAdress->SetText("cam@example.org");
  window->editUserName->SetText("camuser");
  window->editPassWord->SetText("p=ss");
  window->ckboxSMTPServerIdentityValidate->SetChecked(false);
  window->VxeditEmaiSendDely->SetText("90");
  window->VxeditEmaiSendPictureNum->SetText("3");
  window->rbtnSendHint->SetChecked(true);
  window->editSoundFullFileName->SetText("/opt/sounds/bell.wav");
  window->ceckRunOnce->SetChecked(false);
  window->editProgramFullFileName->SetText("/usr/bin/true");
  window->editRunParameter->SetText("--flag x");
  window->WarningLineStartRecording->SetChecked(true);
  window->ckboxNoMotionStopRecording->SetChecked(false);
  window->VxeditStopDelayTime->SetText("12");
  window->editFreeSpaceMinValue->SetText("750");
  window->rtbtnNoEnoughSpcaeStopRecording->SetChecked(true);
  window->editHostAddress->SetText("ftp.example.org");
  window->VxeditFTPPort->SetText("2121");
  window->editAccountName->SetText("up");
  window->editFTPPassword->SetText("pw");
  window->editFolder->SetText("cams");
  window->rbtnIntervalUpload->SetChecked(true);
  window->VxeditFTPIntervalUploadTime->SetText("2.5");
  window->rbtnFTPOnlyUploadPicture->SetChecked(true);
  window->ckSendLogToMail->SetChecked(true);
  EXPECT_TRUE(window->btnApply->Enabled());
  window->btnApplyClick(window->btnApply);
  EXPECT_FALSE(window->btnApply->Enabled());
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text;

  app::TCaptureSettings cs;
  ASSERT_TRUE(app::SaveSettings(g, cs));
  const auto ini = ReadBackWithPython();
  const std::string media = root_ + "/media/VorixVideoCapture/";
  const std::pair<const char*, std::string> expected[] = {
      {"AlarmLine", "640"},
      {"Sensitivity", "4"},
      {"AlarmDelay", "2.5"},
      {"bSavePicture", "0"},
      {"bSendEmail", "1"},
      {"bPlaySound", "1"},
      {"bRunProgram", "0"},
      {"bRecordVideo", "1"},
      {"bFTPUpload", "0"},
      {"bWriteLog", "1"},
      {"AlarmPictureSavePath", media + "AlarmImags/"},
      {"AlarmVideoSavePath", media + "AlarmVideos/"},
      {"SaveEachPicture", "1"},
      {"AlternationSavePicureTime", "3.5"},
      {"AlarmPictureSaveFormat", "0"},
      {"SendToAddress", "ops@example.org"},
      {"CCAddress", "Boss <boss@example.com>"},
      {"BccAddress", "audit@example.net"},
      {"subject", "Motion!"},
      {"body", "line one#13#10line two"},
      {"bDefaultSend", "0"},
      {"bCustomSend", "1"},
      {"SMTPHost", "smtp.example.org"},
      {"SMTPPort", "587"},
      {"SendFromAddress", "cam@example.org"},
      {"UserName", "camuser"},
      {"Pasword", "p=ss"},
      {"bSMTPIdentity", "0"},
      {"EmaiSendsAlternation", "90"},
      {"EmailSendPictureNum", "3"},
      {"SendPictureOrOnlyHint", "0"},
      {"PlaySoundFullFileName", "/opt/sounds/bell.wav"},
      {"RunOnce", "0"},
      {"RunProgramExeFullFileName", "/usr/bin/true"},
      {"ProgramRunParameter", "--flag x"},
      {"MotioningBeginRecord", "0"},
      {"NoMotionStopRecording", "0"},
      {"NoMotionDetectionDelayStopTime", "12"},
      {"MinFreeSpace", "750"},
      {"NoEnoughSpcaeStopRecord", "1"},
      {"FTPHostAddress", "ftp.example.org"},
      {"FTPPort", "2121"},
      {"FTPUserName", "up"},
      {"FTPPassword", "pw"},
      {"FTPFolder", "cams"},
      {"isContinuedUpload", "0"},
      {"FTPIntervalUploadTime", "2"},  // whole seconds
      {"OnlyUploadPicture", "1"},
      {"SendLog", "1"},
  };
  for (const auto& [key, value] : expected) {
    const auto it = ini.find(key);
    ASSERT_NE(it, ini.end()) << key << " missing from " << app::SettingsFileName();
    EXPECT_EQ(it->second, value) << key;
  }

  // And back: a new window shows what the file holds.
  window->Close();
  Pump();
  TGlobalVars again;
  app::TCaptureSettings cs2;
  app::LoadSettings(again, cs2);
  TfrmMotionDetection second(nullptr, host, again);
  second.LoadFromSettings();
  EXPECT_EQ(second.VxedtAlarmLine->Text(), "640");
  EXPECT_EQ(second.MemoBody->Text(), "line one\r\nline two");
  EXPECT_EQ(second.editPassWord->Text(), "p=ss");
  EXPECT_TRUE(second.rbtnIntervalUpload->Checked());
  EXPECT_TRUE(second.WarningLineStartRecording->Checked());
  EXPECT_EQ(second.FctreeAlarmMode->NodeCheckState(second.ActionNodes[TfrmMotionDetection::pgSound]),
            controls::csChecked);
}

TEST_F(MotionDetectionTest, AddressChecksWhileMailIsOn) {
  const String fmt = " " + app::IDS_MOTIONDETECTION_MSGBOX_MAILFORMATERROR;
  const struct {
    const char *name, *to, *cc, *bcc, *from;
    bool custom;
    // Expected afterwards.
    const char *storedTo, *storedCc, *storedBcc, *storedFrom;
    bool sendEmail;
    std::vector<std::string> messages;
  } cases[] = {
      {"all valid", "new@example.org", "cc@example.org", "Audit <bcc@example.org>", "", false, "new@example.org",
       "cc@example.org", "Audit <bcc@example.org>", "old-from@example.org", true, {}},
      {"To without a dot after @", "new@example", "", "", "", false, "old-to@example.org", "old-cc@example.org",
       "old-bcc@example.org", "old-from@example.org", false, {"new@example" + fmt}},
      {"empty To keeps the old one", "", "", "", "", false, "old-to@example.org", "old-cc@example.org",
       "old-bcc@example.org", "old-from@example.org", true, {}},
      {"bad BCC clears only BCC", "new@example.org", "", "nobody", "", false, "new@example.org",
       "old-cc@example.org", "", "old-from@example.org", true, {"nobody" + fmt}},
      {"bad CC clears only CC", "", "cc-at-nowhere", "", "", false, "old-to@example.org", "", "old-bcc@example.org",
       "old-from@example.org", true, {"cc-at-nowhere" + fmt}},
      {"empty sender with own account", "new@example.org", "", "", "", true, "new@example.org",
       "old-cc@example.org", "old-bcc@example.org", "old-from@example.org", false, {fmt}},
      {"valid sender with own account", "new@example.org", "", "", "Cam <cam@example.org>", true, "new@example.org",
       "old-cc@example.org", "old-bcc@example.org", "Cam <cam@example.org>", true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    g.bSendEmail = true;
    g.Mail.SendToAddress = "old-to@example.org";
    g.Mail.CCAddress = "old-cc@example.org";
    g.Mail.BccAddress = "old-bcc@example.org";
    g.Mail.SendFromAddress = "old-from@example.org";
    boxes.boxes.clear();
    host.mailTimerStops = 0;
    Open();
    ShowOptionPage(TfrmMotionDetection::pgEmail);
    window->editReceiveAdress->SetText(c.to);
    window->editCC->SetText(c.cc);
    window->editBCC->SetText(c.bcc);
    window->editSendPersonAdress->SetText(c.from);
    (c.custom ? window->rbtnCustomAccounts : window->rbtnDefaultAccounts)->SetChecked(true);
    window->SaveToSettings();
    EXPECT_EQ(g.Mail.SendToAddress, c.storedTo);
    EXPECT_EQ(g.Mail.CCAddress, c.storedCc);
    EXPECT_EQ(g.Mail.BccAddress, c.storedBcc);
    EXPECT_EQ(g.Mail.SendFromAddress, c.storedFrom);
    EXPECT_EQ(g.bSendEmail, c.sendEmail);
    EXPECT_EQ(host.mailTimerStops > 0, !c.sendEmail) << "the mail timer stops with the action";
    EXPECT_EQ(window->FctreeAlarmMode->NodeCheckState(window->ActionNodes[TfrmMotionDetection::pgEmail]) ==
                  controls::csChecked,
              c.sendEmail);
    EXPECT_EQ(BoxTexts(), c.messages);
    delete window;
    window = nullptr;
  }
}

TEST_F(MotionDetectionTest, BadAddressPutsTheFocusOnItsEdit) {
  g.bSendEmail = true;
  Open();
  ShowOptionPage(TfrmMotionDetection::pgEmail);
  window->editBCC->SetText("no address");
  window->SaveToSettings();
  EXPECT_TRUE(window->editBCC->Focused());
}

TEST_F(MotionDetectionTest, AddressesAreNotCheckedWhileMailIsOff) {
  g.bSendEmail = false;
  g.Mail.SendToAddress = "old@example.org";
  Open();
  window->editReceiveAdress->SetText("not an address");
  window->SaveToSettings();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(g.Mail.SendToAddress, "old@example.org");
  EXPECT_GT(host.mailTimerStops, 0) << "mail off stops the mail timer";
}

TEST_F(MotionDetectionTest, NumberEditsKeepTheLimitsTheirSettingsNeed) {
  const struct {
    const char* name;
    controls::TVxSpinEdit* TfrmMotionDetection::*edit;
    const char* text;
    std::function<double(const TGlobalVars&)> stored;
    double expected;
  } cases[] = {
      {"upload interval 2.5", &TfrmMotionDetection::VxeditFTPIntervalUploadTime, "2.5",
       [](const TGlobalVars& v) { return v.FTPIntervalUploadTime; }, 2},
      {"upload interval 0.5 still fires", &TfrmMotionDetection::VxeditFTPIntervalUploadTime, "0.5",
       [](const TGlobalVars& v) { return v.FTPIntervalUploadTime; }, 1},
      {"mail port 0", &TfrmMotionDetection::VxeditPort, "0",
       [](const TGlobalVars& v) { return v.Mail.SMTPPort; }, 1},
      {"mail port past the range", &TfrmMotionDetection::VxeditPort, "70000",
       [](const TGlobalVars& v) { return v.Mail.SMTPPort; }, 65535},
      {"upload port no number", &TfrmMotionDetection::VxeditFTPPort, "abc",
       [](const TGlobalVars& v) { return v.Ftp.FTPPort; }, 1},
      {"mail interval 0", &TfrmMotionDetection::VxeditEmaiSendDely, "0",
       [](const TGlobalVars& v) { return v.EmaiSendsAlternation; }, 1},
      {"pictures per mail -3", &TfrmMotionDetection::VxeditEmaiSendPictureNum, "-3",
       [](const TGlobalVars& v) { return v.EmailSendPictureNum; }, 1},
      {"stop delay empty", &TfrmMotionDetection::VxeditStopDelayTime, "",
       [](const TGlobalVars& v) { return v.NoMotionDetectionDelayStopTime; }, 1},
      {"free space below 100", &TfrmMotionDetection::editFreeSpaceMinValue, "20",
       [](const TGlobalVars& v) { return v.MinFreeSpace; }, 100},
      {"alarm line past 1000", &TfrmMotionDetection::VxedtAlarmLine, "1500",
       [](const TGlobalVars& v) { return v.AlarmLine; }, 1000},
      {"picture interval 0", &TfrmMotionDetection::VxEditAlternationSaveTime, "0",
       [](const TGlobalVars& v) { return v.AlternationSavePicureTime; }, 0.1},
  };
  Open();
  for (const auto& c : cases) {
    (window->*c.edit)->SetText(c.text);
    window->SaveToSettings();
    EXPECT_DOUBLE_EQ(c.stored(g), c.expected) << c.name;
  }
}

TEST_F(MotionDetectionTest, HandTypedPathIsRefusedAndTheRootStays) {
  const String picturesBefore = g.AlarmPictureSavePath, storageBefore = g.StoragePath;
  Open();
  window->editAlarmPictureSavePath->SetText(root_ + "/typed/");
  window->SaveToSettings();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, root_ + "/typed/ " + app::IDS_MOTIONDETECTION_MSGBOX_PATHBYBROWSE);
  EXPECT_TRUE(host.bases.empty()) << "the data root never moves to an empty base";
  EXPECT_EQ(g.AlarmPictureSavePath, picturesBefore);
  EXPECT_EQ(g.StoragePath, storageBefore);
  EXPECT_EQ(window->editAlarmPictureSavePath->Text(), picturesBefore) << "the edit shows what is kept";

  // A base chosen with Browse moves the root, and both folders with it.
  boxes.boxes.clear();
  window->UseChosenFolder(root_ + "/chosen", true);
  EXPECT_EQ(window->ChosenBase, root_ + "/chosen/");
  window->SaveToSettings();
  EXPECT_TRUE(boxes.boxes.empty());
  ASSERT_EQ(host.bases.size(), 1u) << "the video folder already follows the moved root";
  EXPECT_EQ(g.StoragePath, root_ + "/chosen/VorixVideoCapture/");
  EXPECT_EQ(g.AlarmPictureSavePath, root_ + "/chosen/VorixVideoCapture/AlarmImags/");
  EXPECT_EQ(g.AlarmVideoSavePath, root_ + "/chosen/VorixVideoCapture/AlarmVideos/");
  EXPECT_TRUE(std::filesystem::is_directory(g.TodayAlarmPicturePath));
}

TEST_F(MotionDetectionTest, PagesFollowTheTreesAndTheAccountChoice) {
  g.bDefaultSend = true;
  g.bCustomSend = false;
  Open();
  window->FcTreeView->SetSelected(window->nodeAlarmMode);
  EXPECT_FALSE(window->grpAlarmSensitivitySetting->Visible());
  EXPECT_TRUE(window->grpAlarmMode->Visible());
  const forms::TGroupBox* byNode[] = {window->grpPictureMode,     window->grpEmailMode, window->grpPlaySoundMode,
                                      window->grpRunProgramMode,  window->grpRecordVideoMode,
                                      window->grpFTPMode,         window->grpLogMode};
  for (int page = 0; page < TfrmMotionDetection::kPageCount; ++page) {
    window->FctreeAlarmMode->SetSelected(window->ActionNodes[page]);
    for (int other = 0; other < TfrmMotionDetection::kPageCount; ++other)
      EXPECT_EQ(byNode[other]->Visible(), other == page) << "node " << page << ", page " << other;
  }
  window->FctreeAlarmMode->SetSelected(window->ActionNodes[TfrmMotionDetection::pgEmail]);
  EXPECT_TRUE(window->grpDefaultAccounts->Visible());
  EXPECT_FALSE(window->grpCustomAccounts->Visible());
  Click(window->rbtnCustomAccounts, 6, 8);
  EXPECT_FALSE(window->grpDefaultAccounts->Visible());
  EXPECT_TRUE(window->grpCustomAccounts->Visible());
  EXPECT_TRUE(window->btnApply->Enabled());
  window->FcTreeView->SetSelected(window->nodeSensitivity);
  EXPECT_TRUE(window->grpAlarmSensitivitySetting->Visible());
  EXPECT_FALSE(window->grpAlarmMode->Visible());
}

TEST_F(MotionDetectionTest, SliderActsAtOnceAndClosingRestoresTheDetector) {
  g.Sensitivity = 7;
  g.isMotionDetector = false;
  Open();
  host.sensitivities.clear();
  window->trkSensitivityProccess->SetValue(3);
  EXPECT_EQ(host.sensitivities, std::vector<int32_t>{3});
  EXPECT_TRUE(window->btnApply->Enabled());
  window->Close();
  Pump();
  EXPECT_EQ(host.sensitivities, (std::vector<int32_t>{3, 7})) << "an unapplied slider change is undone";
  EXPECT_FALSE(host.detector) << "detection is off in the main window";
  EXPECT_EQ(g.Sensitivity, 7);
  EXPECT_FALSE(window->timerRefreshRatio->Enabled());
}

TEST_F(MotionDetectionTest, MeterFollowsTheLevelAndTheMarkerSitsAtTheLine) {
  g.AlarmLine = 250;
  Open();
  forms::TControl* meter = window->FcMeter;
  EXPECT_EQ(window->ImagAlarmLine->Left(), meter->Left() + meter->Width() * 250 / 1000);
  EXPECT_EQ(window->ImagAlarmLine->Width(), 2);
  EXPECT_EQ(window->ImagAlarmLine->Top(), meter->Top());
  EXPECT_EQ(window->ImagAlarmLine->Height(), meter->Height());

  auto screen = [](forms::TControl* c, int x, int y) {
    const win::POINT p = c->ClientToScreen(forms::Point(x, y));
    return win::GetScreenPixel(p.x, p.y);
  };
  // A segment near the start of the meter, left of the marker.
  const int probeX = 8, probeY = meter->Height() / 2;
  g.MotionRatio = 0;
  clock.Advance(10);
  Pump();
  const win::COLORREF unlit = screen(meter, probeX, probeY);
  EXPECT_EQ(window->lblMotionRati->Caption(), "");

  g.MotionRatio = 12345;  // level 123.45 on the meter's 0..1000 scale
  clock.Advance(10);
  Pump();
  EXPECT_EQ(window->FcMeter->Value(), 123);
  EXPECT_EQ(window->lblMotionRati->Caption(), "123.45");
  EXPECT_EQ(window->lblMotionRati->Left(), meter->Left() + meter->Width() * 123 / 1000);
  EXPECT_NE(screen(meter, probeX, probeY), unlit) << "the first segments light up";
  EXPECT_EQ(screen(window->ImagAlarmLine, 0, meter->Height() / 2), win::RGB(255, 0, 0)) << "the marker shows";

  // The level drops: the opaque level label moves left with a shorter
  // text, and where it stood the group shows again, with no old digits.
  forms::TLabel* label = window->lblMotionRati;
  ASSERT_FALSE(label->Transparent());
  const forms::TPoint was = label->ClientToScreen(forms::Point(0, 0));
  const int wasW = label->Width(), wasH = label->Height();
  g.MotionRatio = 500;
  clock.Advance(10);
  Pump();
  EXPECT_EQ(label->Caption(), "5");
  const forms::TPoint now = label->ClientToScreen(forms::Point(0, 0));
  ASSERT_LE(now.x + label->Width(), was.x) << "the label left its old place entirely";
  const win::COLORREF group = forms::ColorToRGB(window->grpAlarmSensitivitySetting->Color());
  int strays = 0;
  for (int y = was.y; y < was.y + wasH; ++y)
    for (int x = was.x; x < was.x + wasW; ++x)
      if (win::GetScreenPixel(x, y) != group) ++strays;
  EXPECT_EQ(strays, 0) << "the old level's text is gone";

  // The line moves with its edit; 0 hides it.
  window->VxedtAlarmLine->SetText("800");
  EXPECT_EQ(window->ImagAlarmLine->Left(), meter->Left() + meter->Width() * 800 / 1000);
  window->VxedtAlarmLine->SetText("0");
  EXPECT_FALSE(window->ImagAlarmLine->Visible());
}

TEST_F(MotionDetectionTest, OpenDirectoryButtonsOpenTheirFolders) {
  std::vector<String> opened;
  app::SetShellOpener([&](const String& target) { opened.push_back(target); });
  Open();
  const struct {
    forms::TButton* TfrmMotionDetection::*button;
    std::string target;
    bool enablesApply;
  } cases[] = {
      {&TfrmMotionDetection::btnOpenPictureFolder, g.AlarmPictureSavePath, false},
      {&TfrmMotionDetection::btnOpenVideoFileForder, g.AlarmVideoSavePath, true},
      {&TfrmMotionDetection::btnLogOpenFolder, g.LogPath, false},
  };
  for (const auto& c : cases) {
    opened.clear();
    window->btnApply->SetEnabled(false);
    (window->*c.button)->Click();
    EXPECT_EQ(opened, std::vector<String>{c.target}) << (window->*c.button)->Name();
    EXPECT_EQ(window->btnApply->Enabled(), c.enablesApply) << (window->*c.button)->Name();
  }
  app::SetShellOpener(nullptr);
}

TEST_F(MotionDetectionTest, TestSoundTogglesAndClosingStopsIt) {
  mg::ff::RegisterFfmpegFilters();
  mg::ff::AudioRenderer::ForceNullOutput(true);
  mg::SoundPlayer player(std::make_shared<mg::ManualScheduler>());
  host.player = &player;
  g.PlaySoundFullFileName = app::ExeFolder + "AlarmSound/AlarmSound.wav";
  std::filesystem::create_directories(app::ExeFolder + "AlarmSound");
  std::filesystem::copy_file(VORIX_SOURCE_DIR "/assets/AlarmSound/AlarmSound.wav", g.PlaySoundFullFileName);
  Open();
  EXPECT_EQ(player.FileName(), g.PlaySoundFullFileName) << "the player gets the stored sound";
  window->btnTestSound->Click();
  EXPECT_TRUE(player.Playing());
  window->btnTestSound->Click();
  EXPECT_FALSE(player.Playing());
  EXPECT_FALSE(player.IsOpen());
  window->btnTestSound->Click();
  EXPECT_TRUE(player.Playing());
  window->Close();
  Pump();
  EXPECT_FALSE(player.Playing()) << "closing the window ends the preview";
  // A file that is no sound plays nothing and raises nothing.
  window->editSoundFullFileName->SetText(root_ + "/missing.wav");
  window->btnTestSound->Click();
  EXPECT_FALSE(player.Playing());
  delete window;
  window = nullptr;
  host.player = nullptr;
  mg::ff::AudioRenderer::ForceNullOutput(false);
}

// A port on the loopback where nothing listens.
int ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

class MotionDetectionMailTest : public MotionDetectionTest {
protected:
  // Fills the account from `port` and runs the test mail to its end.
  void RunTestMail(int port) {
    g.bSendEmail = true;
    g.bDefaultSend = false;
    g.bCustomSend = true;
    Open();
    ShowOptionPage(TfrmMotionDetection::pgEmail);
    window->editMailSMTP->SetText("127.0.0.1");
    window->VxeditPort->SetText(std::to_string(port));
    window->editUserName->SetText("alarm");
    window->editPassWord->SetText("secret");
    window->editSendPersonAdress->SetText("camera@example.org");
    window->editReceiveAdress->SetText("ops@example.org");
    window->editSubject->SetText("Test");
    window->MemoBody->SetText("Test body");
    window->btnTestMailClick(window->btnTestMail);
    // The click comes back at once: the mail goes on its own thread while
    // the window shows its progress.
    ASSERT_NE(window->TestMailWindow(), nullptr);
    EXPECT_TRUE(window->TestMailWindow()->Visible());
    EXPECT_FALSE(window->btnTestMail->Enabled());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (boxes.boxes.empty() && std::chrono::steady_clock::now() < deadline) {
      window->WaitForTestMail();
      Pump();
    }
    EXPECT_EQ(window->TestMailWindow(), nullptr);
    EXPECT_TRUE(window->btnTestMail->Enabled());
  }
  mailtest::TempDir dir;
};

TEST_F(MotionDetectionMailTest, TestMailGoesToTheServer) {
  nettest::PythonServer server{dir.Path(), "smtpd", nettest::kSmtpScript, {dir.Path(), "auth"}};
  RunTestMail(server.Port());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{app::IDS_MOTIONDETECTION_SENDSUCCESS});
  ASSERT_TRUE(std::filesystem::exists(dir / "msg1.eml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "msg2.eml"));
  const auto mail = mailtest::ParseMail(dir / "msg1.eml");
  EXPECT_EQ(mail.body.find("Test body"), 0u) << mail.body;
  EXPECT_EQ(mail.envelopeTo, std::vector<std::string>{"ops@example.org"});
  EXPECT_TRUE(g.bSendEmail);
}

TEST_F(MotionDetectionMailTest, FailedTestMailReportsAndLeavesSendMailOn) {
  RunTestMail(ClosedPort());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{app::IDS_MOTIONDETECTION_SENDMAILFAIL});
  EXPECT_TRUE(g.bSendEmail) << "a test changes no setting";
  EXPECT_EQ(host.mailTimerStops, 0);
  EXPECT_EQ(window->FctreeAlarmMode->NodeCheckState(window->ActionNodes[TfrmMotionDetection::pgEmail]),
            controls::csChecked);
}

}  // namespace
