// The main window's small commands: the navigation and help menus, help,
// online page, support mail, About, minimize, full screen, dragging the
// borderless window, and the openers of the settings dialogs.

#include "app/MainUnit.h"
#include "app/FormCaptureSetting.h"
#include "app/FormDeviceSetting.h"
#include "app/FormSetting.h"
#include "app/frmAbout.h"
#include "platform/rtl/Files.h"
#include "platform/win/Input.h"
#include "platform/win/MessageIds.h"
#include "platform/win/Messages.h"

namespace app {

using namespace forms;

void TfrmMain::ActionNavigateExecute(TObject*) {
  win::POINT p{};
  win::GetCursorPos(&p);
  PopupMenuNavigate->Popup(p.x, p.y);
}

// The help book; where no compiled help file is installed, its pages.
void TfrmMain::ActionHelpExecute(TObject*) {
  const String book = ExeFolder + "help/Help.chm";
  ShellOpen(rtl::FileExists(book) ? book : ExeFolder + "help/index.html");
}

void TfrmMain::btnHelpClick(TObject*) {
  const TPoint p = btnHelp->ClientToScreen(TPoint{0, btnHelp->Height() + 1});
  mnuHelp->Popup(p.x, p.y);
}

void TfrmMain::mniOnlineResourcesClick(TObject*) { ShellOpen(ONLINE_RESOURCES_URL); }

void TfrmMain::mniContactTechnicalSupportClick(TObject*) { ShellOpen(String("mailto:") + SUPPORT_EMAIL); }

void TfrmMain::ActionEmailExecute(TObject*) { ShellOpen(String("mailto:") + SUPPORT_EMAIL); }

void TfrmMain::mniAboutClick(TObject*) {
  std::unique_ptr<TAboutForm> about(new TAboutForm(this));
  about->ShowModal();
}

void TfrmMain::btnMinClick(TObject*) { Application->Minimize(); }

void TfrmMain::ActionFullScreenExecute(TObject*) { capture_->SetDisplay_FullScreen(!VidCap->Display_FullScreen()); }

void TfrmMain::VidCapDblClick(TObject*) { capture_->SetDisplay_FullScreen(!VidCap->Display_FullScreen()); }

// A new dialog for each use. What it writes at once stays whatever button
// closes it; OK writes the pages the user changed. Nothing it raises may
// end the command's caller.
void TfrmMain::ActionSettingsExecute(TObject*) {
  try {
    std::unique_ptr<TfrmSetting> dialog(new TfrmSetting(this, VidCap, GlobalVars()));
    dialog->LoadFromSettings();
    if (dialog->ShowModal() == mrOk) dialog->ApplyAll();
  } catch (...) {
  }
}

// The devices chosen in the dialog are in the component already; OK
// writes the rest, with the capture stopped while the graph's settings
// change, and the preview comes back with them.
void TfrmMain::ActionDeviceSettingsExecute(TObject*) {
  try {
    std::unique_ptr<TfrmDeviceSetting> dialog(new TfrmDeviceSetting(this, VidCap, GlobalVars()));
    dialog->LoadFromSettings();
    if (dialog->ShowModal() == mrOk) {
      capture_->Stop();
      dialog->SaveToSettings();
      capture_->StartPreview();
    }
  } catch (...) {
  }
}

void TfrmMain::ActionPrintExecute(TObject*) {}

void TfrmMain::StartWindowDrag() {
  win::ReleaseCapture();
  win::SendMessage(Handle(), win::WM_SYSCOMMAND, 61458, 0);
}

// The same dialog for each capture mode. OK moves the storage root to the
// folder chosen (nothing when it is unchanged); whatever closed the dialog,
// the timed snapshots follow the switch afterwards.
void TfrmMain::btnDVCaptureSettingClick(TObject*) { OpenCaptureSettings(); }
void TfrmMain::btnTVCaptureSettingClick(TObject*) { OpenCaptureSettings(); }
void TfrmMain::btnODCaptureSettingClick(TObject*) { OpenCaptureSettings(); }

void TfrmMain::OpenCaptureSettings() {
  try {
    std::unique_ptr<TfrmCaptureSetting> dialog(new TfrmCaptureSetting(this, VidCap, GlobalVars()));
    dialog->LoadFromSettings();
    if (dialog->ShowModal() == mrOk) {
      dialog->SaveToSettings();
      ChangeStorageRoot(dialog->txtStoragePath->Text());
    }
  } catch (...) {
  }
  UpdateAutoShotTimer();
}

}  // namespace app
