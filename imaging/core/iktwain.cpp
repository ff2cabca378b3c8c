#include "imaging/core/iktwain.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

#include "platform/rtl/Clock.h"
#include "platform/rtl/DateUtils.h"
#include "platform/win/Window.h"

namespace imaging {

String IKTwainLogFileName;

namespace {

std::mutex logMutex;

}  // namespace

void IKTwainLog(const String& message) {
  std::lock_guard lock(logMutex);
  if (IKTwainLogFileName.empty()) return;
  // Opened again for every line, so that the log survives a crash in
  // the next step.
  std::FILE* file = std::fopen(IKTwainLogFileName.c_str(), "a");
  if (!file) return;
  const rtl::TDateTime now = rtl::Now();
  const String line = rtl::DateToStr(now) + " " + rtl::TimeToStr(now) + " : " + message + "\n";
  std::fwrite(line.data(), 1, line.size(), file);
  std::fflush(file);
  std::fclose(file);
}

void IKTW_EndConnection(TIKTwainShared& shared, win::HWND window) {
  // The window only names whom the connection was made for; ending it
  // needs nothing from that window.
  (void)window;
  if (shared.ProxyWindow) {
    IKTwainLog("DestroyProxyWindow");
    if (win::IsWindow(shared.ProxyWindow)) win::DestroyWindow(shared.ProxyWindow);
    shared.ProxyWindow = nullptr;
    IKTwainLog("  DestroyProxyWindow : destroyed");
  }
  if (shared.SourceManagerState != 0) {
    IKTwainLog("IKTW_UnloadSourceManager");
    if (shared.LibraryHandle) {
      dlclose(shared.LibraryHandle);
      shared.LibraryHandle = nullptr;
      shared.EntryPoint = nullptr;
      shared.SourceManagerState = 1;
      IKTwainLog("  IKTW_UnloadSourceManager : Unload OK");
    } else if (shared.SourceManagerState == 2) {
      shared.LibraryHandle = nullptr;
      shared.EntryPoint = nullptr;
      shared.SourceManagerState = 1;
      IKTwainLog("  IKTW_UnloadSourceManager not Unloaded, for future uses");
    }
  }
}

TIKTWainParams::TIKTWainParams(TImgKitIO* owner, bool multiImageOwner) : owner_(owner), multiImage_(multiImageOwner) {
  Reset();
}

TIKTWainParams::~TIKTWainParams() {
  // The component is not a window and has no parent window of its own.
  IKTW_EndConnection(TwainShared, nullptr);
  Reset();
}

void TIKTWainParams::Reset() {
  AcquireCount = 1;
  SourceNames.clear();
  SelectedSource = 0;
  ShowSettingsOnly = false;
  VisibleDialog = false;
  for (TIKList* list : std::initializer_list<TIKList*>{&XResolution, &YResolution, &XScaling, &YScaling, &PixelType,
                                                       &BitDepth, &Orientation, &Threshold, &Rotation, &Shadow,
                                                       &Highlight, &Compression})
    list->Clear();
  Gamma = 2.2;
  Contrast = 0.0;
  Brightness = 0.0;
  MultiImageOwner = multiImage_;
  ProgressIndicators = true;
  AcquireFrame.fill(0);
  BufferedTransfer = true;
  NativeTransfer = true;
  AutoFeed = false;
  FeederEnabled = multiImage_;
  AcceptedPages = 0;
  CompressionDefault = 0;
  DuplexEnabled = multiImage_;
  AutoDeskew = AutoBorder = AutoBright = AutoRotate = UseFileTransfer = false;
  Manufacturer.clear();
  ProductFamily.clear();
  ProductName.clear();
  VersionInfo.clear();
  FileTransferFormat = 0;
  LastError = 0;
  LastErrorText.clear();
}

}  // namespace imaging
