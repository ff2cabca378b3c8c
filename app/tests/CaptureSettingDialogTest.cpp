// The capture settings dialog on its own over a capture control, and as
// the capture modes' buttons open it in the running main window.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <utility>

#include "app/FormCaptureSetting.h"
#include "app/MainUnit.h"
#include "app/Program.h"
#include "app/ResStr.h"
#include "app/tests/AppTestUtil.h"
#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/Clock.h"
#include "platform/rtl/Text.h"
#include "platform/shell/BrowseForFolder.h"
#include "platform/win/Api.h"
#include "platform/win/Input.h"

using namespace app;
using namespace forms;

namespace {

class CaptureSettingDialogTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    win::ResetInputState();
    capture::CreateDeviceLists();
    controls::SetLastBrowsedPath(u"");
    host = new TForm(Application);
    vc = new capture::TVidCap(host);
    vc->SetParent(host);
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    while (Screen->FormCount() > 0) delete Screen->Forms(0);
    capture::FreeDeviceLists();
    win::ResetInputState();
    Application->ProcessMessages();
    AppTest::TearDown();
  }
  TfrmCaptureSetting* Open() {
    dialog = new TfrmCaptureSetting(host, vc, g);
    dialog->LoadFromSettings();
    return dialog;
  }
  // Runs `script` once the folder browser is up and active.
  void OnBrowserUp(std::function<void(win::HWND)> script) {
    script_ = std::move(script);
    changes_ = 0;
    controls::TShBrowseForFolder* picker = dialog->dlgFolderBrowse;
    picker->OnChange = [this, picker](TObject*) {
      if (++changes_ > 1) return;
      auto* form = dynamic_cast<TCustomForm*>(FindControl(picker->DialogWindow()));
      ASSERT_NE(form, nullptr);
      titles.push_back(rtl::WideToUtf8(picker->Title()));
      form->OnActivate = [this, picker](TObject*) {
        if (script_) std::exchange(script_, nullptr)(picker->DialogWindow());
      };
    };
  }
  static void Select(win::HWND browser, const std::string& path) {
    const rtl::WideString w = rtl::Utf8ToWide(path);
    win::SendMessageW(browser, win::BFFM_SETSELECTIONW, 1, reinterpret_cast<win::LPARAM>(w.c_str()));
  }
  static void ClickOk(win::HWND browser) {
    TWinControl* ok = FindControl(win::GetDlgItem(browser, shell::kBrowseOkId));
    const win::POINT p = ok->ClientToScreen(Point(10, 10));
    win::InjectClick(p.x, p.y);
  }

  rtl::ScopedVirtualClock clock;
  formstest::RecordingPresenter boxes;
  ScopedMessageBoxPresenter boxPresenter{&boxes};
  TForm* host = nullptr;
  capture::TVidCap* vc = nullptr;
  TfrmCaptureSetting* dialog = nullptr;
  TGlobalVars g;
  std::function<void(win::HWND)> script_;
  int changes_ = 0;
  std::vector<std::string> titles;
};

// Two values reach the control on opening, whatever closes the dialog;
// everything else waits for OK.
TEST_F(CaptureSettingDialogTest, OpeningMutesRenderingAndSetsTheOverlayOnly) {
  g.EnableOverlay = true;
  g.EnableAutoShotFrame = false;
  g.StoragePath = "/srv/media/VorixVideoCapture/";
  vc->SetTextOverlay_Enabled(false);
  vc->SetMuteAudioRendering(false);
  vc->SetAudioRecording(true);
  vc->SetAudioDeviceRendering(true);
  vc->SetRecordingInNativeFormat(false);
  Open();
  EXPECT_TRUE(vc->TextOverlay_Enabled());
  EXPECT_TRUE(vc->MuteAudioRendering());
  EXPECT_TRUE(dialog->chkEnableOverlay->Checked());
  EXPECT_FALSE(dialog->chkEnableAutoShot->Checked());
  EXPECT_TRUE(dialog->chkEnableAudioRecording->Checked());
  EXPECT_TRUE(dialog->chkEnableAudioRendering->Checked());
  EXPECT_FALSE(dialog->chkNativeFormat->Checked());
  EXPECT_EQ(dialog->txtStoragePath->Text(), g.StoragePath);
  EXPECT_TRUE(dialog->txtStoragePath->ReadOnly());

  // Changed and cancelled.
  dialog->chkEnableAudioRecording->SetChecked(false);
  dialog->chkEnableOverlay->SetChecked(false);
  dialog->chkEnableAutoShot->SetChecked(true);
  dialog->btnVolumeResetClick(dialog->btnVolumeReset);
  delete dialog;
  EXPECT_TRUE(vc->AudioRecording());
  EXPECT_TRUE(vc->TextOverlay_Enabled());
  EXPECT_TRUE(g.EnableOverlay);
  EXPECT_FALSE(g.EnableAutoShotFrame);
}

TEST_F(CaptureSettingDialogTest, OkWritesEverySwitchAndBothSliders) {
  struct Case {
    bool autoShot, overlay, recording, rendering, native;
    int32_t level, balance;
  };
  const Case cases[] = {
      {true, false, false, true, true, 0, -32768},
      {false, true, true, false, false, 65535, 32767},
      {true, true, false, false, true, 12000, -400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    g.EnableAutoShotFrame = !c.autoShot;
    g.EnableOverlay = !c.overlay;
    vc->SetMuteAudioRendering(false);
    Open();
    dialog->chkEnableAutoShot->SetChecked(c.autoShot);
    dialog->chkEnableOverlay->SetChecked(c.overlay);
    dialog->chkEnableAudioRecording->SetChecked(c.recording);
    dialog->chkEnableAudioRendering->SetChecked(c.rendering);
    dialog->chkNativeFormat->SetChecked(c.native);
    dialog->trkVolume->SetValue(c.level);
    dialog->trkBalance->SetValue(c.balance);
    vc->SetMuteAudioRendering(false);
    dialog->SaveToSettings();
    EXPECT_EQ(g.EnableAutoShotFrame, c.autoShot);
    EXPECT_EQ(g.EnableOverlay, c.overlay);
    EXPECT_EQ(vc->TextOverlay_Enabled(), c.overlay);
    EXPECT_EQ(vc->AudioRecording(), c.recording);
    EXPECT_EQ(vc->AudioDeviceRendering(), c.rendering);
    EXPECT_TRUE(vc->MuteAudioRendering());
    EXPECT_EQ(vc->RecordingInNativeFormat(), c.native);
    EXPECT_EQ(vc->GetAudioInputLevel(), c.level);
    EXPECT_EQ(vc->GetAudioInputBalance(), c.balance);
    // Opened again, the dialog shows what it wrote.
    delete dialog;
    Open();
    EXPECT_EQ(dialog->trkVolume->Value(), c.level);
    EXPECT_EQ(dialog->trkBalance->Value(), c.balance);
    EXPECT_EQ(dialog->chkEnableAudioRecording->Checked(), c.recording);
    delete dialog;
  }
  Open();
  dialog->chkEnableAudioRecording->SetChecked(!vc->AudioRecording());
  dialog->SavePage(1);
  EXPECT_NE(dialog->chkEnableAudioRecording->Checked(), vc->AudioRecording()) << "there is only page 0";
}

TEST_F(CaptureSettingDialogTest, ResetsAndPercentageLabels) {
  Open();
  EXPECT_EQ(dialog->trkVolume->MinValue(), 0);
  EXPECT_EQ(dialog->trkVolume->MaxValue(), 65535);
  EXPECT_EQ(dialog->trkVolume->Increment(), 400);
  EXPECT_EQ(dialog->trkBalance->MinValue(), -32768);
  EXPECT_EQ(dialog->trkBalance->MaxValue(), 32767);
  EXPECT_EQ(dialog->trkBalance->Increment(), 800);
  struct Case {
    controls::TVxSlider* slider;
    TLabel* label;
    int32_t value;
    const char* text;
  };
  const Case cases[] = {
      {dialog->trkVolume, dialog->lblVolume, 0, "0%"},
      {dialog->trkVolume, dialog->lblVolume, 65535, "100%"},
      {dialog->trkVolume, dialog->lblVolume, 32767, "49%"},
      {dialog->trkBalance, dialog->lblBalance, -32768, "-50%"},
      {dialog->trkBalance, dialog->lblBalance, 32767, "49%"},
      {dialog->trkBalance, dialog->lblBalance, -656, "-1%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    c.slider->SetValue(c.value);
    EXPECT_EQ(c.label->Caption(), c.text);
    EXPECT_EQ(c.slider->Hint(), c.text);
  }
  dialog->btnVolumeResetClick(dialog->btnVolumeReset);
  EXPECT_EQ(dialog->trkVolume->Value(), 32768);
  EXPECT_EQ(dialog->lblVolume->Caption(), "50%");
  dialog->btnBalanceResetClick(dialog->btnBalanceReset);
  EXPECT_EQ(dialog->trkBalance->Value(), 0);
  EXPECT_EQ(dialog->lblBalance->Caption(), "0%");
  EXPECT_EQ(dialog->btnVolumeReset->Caption(), IDS_CAPTURESETTING_BUTTON_VOLUMERESET);
  EXPECT_EQ(dialog->Caption(), IDS_CAPTURESETTING_TITLE);
}

// Hidden outside the DV mode, the native-format switch is still loaded
// and written back.
TEST_F(CaptureSettingDialogTest, NativeFormatShowsInDvOnlyYetIsAlwaysSaved) {
  const std::pair<TMainMode, bool> cases[] = {{mmDV, true}, {mmTV, false}, {mmOD, false}};
  for (const auto& [mode, shown] : cases) {
    SCOPED_TRACE(static_cast<int>(mode));
    g.Mode = mode;
    vc->SetRecordingInNativeFormat(true);
    Open();
    EXPECT_EQ(dialog->GroupBoxNativeFormat->Visible(), shown);
    EXPECT_TRUE(dialog->chkNativeFormat->Checked());
    vc->SetRecordingInNativeFormat(false);
    dialog->SaveToSettings();
    EXPECT_TRUE(vc->RecordingInNativeFormat()) << "the loaded state goes back";
    delete dialog;
  }
}

TEST_F(CaptureSettingDialogTest, BrowseAppendsTheDelimiterEvenAfterOne) {
  const std::string media = root_ + "/media";
  std::filesystem::create_directories(media + "/clips");
  g.StoragePath = "/old/VorixVideoCapture/";
  Open();
  host->Show();
  struct Case {
    const char* name;
    std::string choose;  // empty: cancel
    std::string field;
  };
  const Case cases[] = {
      {"a folder", media + "/clips", media + "/clips/"},
      {"cancelled", "", media + "/clips/"},
      {"the root", "/", "//"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OnBrowserUp([&](win::HWND browser) {
      if (c.choose.empty()) {
        Select(browser, media);
        win::InjectKeyPress(win::VK_ESCAPE);
        return;
      }
      Select(browser, c.choose);
      ClickOk(browser);
    });
    dialog->btnBrowseClick(dialog->btnBrowse);
    EXPECT_EQ(dialog->txtStoragePath->Text(), c.field);
  }
  ASSERT_FALSE(titles.empty());
  EXPECT_EQ(titles[0], IDS_CAPTURESETTING_BROWSEDIALOG_TITLE);
  EXPECT_EQ(g.StoragePath, "/old/VorixVideoCapture/") << "the record waits for the opener";
}

// Answers every message dialog with OK and keeps its caption.
class DialogAnswer : public TDialogPresenter {
public:
  int ShowDialog(TCustomForm* dialog) override {
    captions.push_back(dialog->Caption());
    for (int i = 0; i < dialog->ComponentCount(); ++i)
      if (dialog->Components(i)->Name() == "Message") captions.back() += ": " + static_cast<TControl*>(dialog->Components(i))->Caption();
    return mrOk;
  }
  std::vector<std::string> captions;
};

// The capture-settings button of each mode in the running program.
class CaptureSettingFromMainWindowTest : public apptest::AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    win::ResetInputState();
    mg::ff::RegisterFfmpegFilters();
    sim_ = mg::sim::SimDeviceProvider::Instance();
    sim_->Reset();
    mg::SystemDeviceEnum::AddProvider(sim_);
    main_ = StartProgram(exe_, false);
  }
  void TearDown() override {
    Application->OnIdle = nullptr;
    EndProgram();
    capture::FreeSyncManager();
    win::MSG msg;
    while (win::PeekMessageA(&msg, nullptr, win::WM_QUIT, win::WM_QUIT, win::PM_REMOVE)) {
    }
    RestoreEnglishTexts();
    capture::SetDiscoveryHooks({});
    capture::SetDeviceListHooks({});
    mg::SystemDeviceEnum::RemoveProvider(sim_);
    sim_->Clear();
    win::ResetInputState();
    AppTest::TearDown();
  }
  // Clicks `button` and, once the dialog shows, runs `edit` on it and
  // presses `key`.
  void RunDialog(controls::TPbButton* button, std::function<void(TfrmCaptureSetting*)> edit, win::UINT key) {
    int step = 0;
    Application->OnIdle = [&](TObject*, bool& done) {
      done = false;
      TfrmCaptureSetting* shown = nullptr;
      for (int i = 0; i < Screen->FormCount(); ++i)
        if (auto* f = dynamic_cast<TfrmCaptureSetting*>(Screen->Forms(i)); f && f->Visible()) shown = f;
      if (!shown) return;
      if (step++ == 0) {
        edit(shown);
        win::InjectKeyPress(key);
      }
    };
    button->OnClick(button);
    Application->OnIdle = nullptr;
    EXPECT_EQ(step > 0, true) << "the dialog did not show";
  }

  rtl::ScopedVirtualClock clock_;
  formstest::RecordingPresenter boxes_;
  ScopedMessageBoxPresenter boxPresenter_{&boxes_};
  DialogAnswer dialogs_;
  ScopedDialogPresenter dialogPresenter_{&dialogs_};
  std::shared_ptr<mg::sim::SimDeviceProvider> sim_;
  TfrmMain* main_ = nullptr;
};

TEST_F(CaptureSettingFromMainWindowTest, OkMovesTheStorageRootAndTheTimerFollows) {
  TGlobalVars& g = GlobalVars();
  main_->ActionOtherDeviceCapture->Execute();
  const std::string base = root_ + "/elsewhere/";
  std::filesystem::create_directories(base + "VorixVideoCapture/OtherDevices/Trip");
  RunDialog(
      main_->btnODCaptureSetting,
      [&](TfrmCaptureSetting* d) {
        d->txtStoragePath->SetText(base);
        d->chkEnableAutoShot->SetChecked(true);
      },
      win::VK_RETURN);
  const std::string newRoot = base + "VorixVideoCapture/";
  EXPECT_EQ(g.StoragePath, newRoot);
  EXPECT_EQ(g.OD_Path, newRoot + "OtherDevices/Default/");
  EXPECT_EQ(main_->VidCap->StoragePath(), g.OD_Path);
  EXPECT_EQ(main_->cmbPath->Items()->Count(), 3) << "All, Default and the album found there";
  EXPECT_TRUE(g.EnableAutoShotFrame);
  EXPECT_TRUE(main_->tmrAutoShotFrame->Enabled());
  EXPECT_TRUE(dialogs_.captions.empty()) << dialogs_.captions.front();
  EXPECT_TRUE(boxes_.boxes.empty());

  // Cancel changes neither, but the timer is brought back to the switch.
  main_->tmrAutoShotFrame->SetEnabled(false);
  RunDialog(
      main_->btnODCaptureSetting,
      [&](TfrmCaptureSetting* d) {
        d->txtStoragePath->SetText(root_ + "/third/");
        d->chkEnableAutoShot->SetChecked(false);
      },
      win::VK_ESCAPE);
  EXPECT_EQ(g.StoragePath, newRoot);
  EXPECT_TRUE(g.EnableAutoShotFrame);
  EXPECT_TRUE(main_->tmrAutoShotFrame->Enabled());
}

TEST_F(CaptureSettingFromMainWindowTest, EachModesButtonOpensItWithItsNativeFormatRule) {
  struct Case {
    TAction* mode;
    controls::TPbButton* button;
    bool native;
  };
  const Case cases[] = {
      {main_->ActionDVCapture, main_->btnDVCaptureSetting, true},
      {main_->ActionTVTunerCapture, main_->btnTVCaptureSetting, false},
      {main_->ActionOtherDeviceCapture, main_->btnODCaptureSetting, false},
  };
  const std::string before = GlobalVars().StoragePath;
  for (const Case& c : cases) {
    c.mode->Execute();
    bool native = !c.native;
    RunDialog(
        c.button, [&](TfrmCaptureSetting* d) { native = d->GroupBoxNativeFormat->Visible(); },
        win::VK_RETURN);
    EXPECT_EQ(native, c.native);
    EXPECT_EQ(GlobalVars().StoragePath, before) << "OK without browsing keeps the root";
  }
}

}  // namespace
