#include "app/Program.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/frmErrorHint.h"
#include "app/ResStr.h"
#include "app/frmSplash.h"
#include "capture/VcDeviceManager.h"
#include "capture/VcDevices.h"
#include "capture/VcDialogs.h"
#include "capture/VcProperties.h"
#include "controls/fcborder_treevw/FcStartup.h"
#include "platform/forms/MsgDialogs.h"
#include "platform/mg/ffmpeg/FfRegister.h"
#include "platform/mg/RealDevices.h"
#include "platform/mg/sim/SimDevices.h"
#include "platform/rtl/FilePaths.h"
#include "platform/win/Display.h"

namespace app {

using namespace forms;

TfrmHint* frmHint = nullptr;

String ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  return rtl::ExtractFilePath(String(path, static_cast<size_t>(n)));
}

TfrmMain* StartProgram(const String& exeFolder, bool showSplash) {
  Application->Initialize();
  // The component's fixed texts (the "Default" line of its format lists)
  // follow the language file.
  capture::SetTextLookup([](const String& key, const String& english) {
    const TLanguageText* row = FindLanguageKey(key);
    return row && row->Text ? *row->Text : english;
  });
  InitDataPaths(exeFolder);
  Application->CreateForm(frmMain);
  Application->CreateForm(frmHint);
  frmMain->SetHintWindow(frmHint);
  if (showSplash) {
    auto* splash = new TSplashForm(Application);
    splash->ShowModal();
    delete splash;
  }
  return frmMain;
}

void EndProgram() {
  Application->SetMainForm(nullptr);
  while (Screen->FormCount() > 0) delete Screen->Forms(0);
  frmMain = nullptr;
  frmHint = nullptr;
  // The record outlives the window system; the overlay picture holds a
  // bitmap of it, so it goes now, with the component that drew it gone.
  TGlobalVars& g = GlobalVars();
  std::lock_guard lock(g.SharedLock);
  g.OverlayBitmap.reset();
}

int RunProgram() {
  // Without an X server that answers, the window system falls back to the
  // in-memory screen that tests use: the program would run on, never seen.
  // A start that races its display server (or names a wrong one) says so
  // and ends instead, as X programs do.
  if (!win::InitDisplay()) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "vorix: cannot open display \"%s\"\n", display ? display : "");
    return 1;
  }
  mg::ff::RegisterFfmpegFilters();
  const bool real = mg::RealDevicesWanted();
  if (real) mg::InstallRealDevices();
  if (mg::sim::SimDevicesWanted(real && mg::AnyRealVideoDevice())) mg::sim::InstallSimDevices();
  InstallMessageBoxDialogs();
  capture::InstallPropertyFrameDialog();
  // The control libraries' start-up (the object system and the version
  // figures their trees read) comes before any form.
  controls::FcLibraryStartup();
  StartProgram(ExecutableFolder(), true);
  Application->Run();
  // A loop ended from elsewhere than the window still saves and stops.
  if (frmMain && !frmMain->ShutDown()) frmMain->ActionCloseExecute(nullptr);
  EndProgram();
  controls::FcLibraryShutdown();
  // The component's manager goes last: it deletes the temporary files it
  // handed out and closes the trace.
  capture::FreeSyncManager();
  mg::UninstallRealDevices();
  win::ShutdownDisplay();
  return 0;
}

}  // namespace app
