#pragma once
// The scanner parameters and the print-preview page layout that hang off
// every input/output component. The scanner half keeps the settings and
// capability lists a scanner acquisition negotiates, and, when it goes
// away, ends whatever connection to the scanner source manager is left.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "imaging/core/ikutilsLists.h"
#include "imaging/core/ikdefs.h"
#include "platform/win/Types.h"

namespace imaging {

class TImgKitIO;

// The scanner debug log: when the name is set, every connection step
// appends "<date> <time> : <message>" to the file. Nothing in the
// component sets it.
extern String IKTwainLogFileName;
void IKTwainLog(const String& message);

// Where a scanner connection stands.
struct TIKTwainShared {
  int32_t SourceManagerState = 0;  // 0 never used, 1 not loaded, 2 loaded
  void* LibraryHandle = nullptr;   // the source manager's library (dlopen)
  void* EntryPoint = nullptr;
  win::HWND ProxyWindow = nullptr;
};

class TIKTWainParams {
public:
  explicit TIKTWainParams(TImgKitIO* owner, bool multiImageOwner = false);
  ~TIKTWainParams();
  TIKTWainParams(const TIKTWainParams&) = delete;
  TIKTWainParams& operator=(const TIKTWainParams&) = delete;

  void Reset();
  TImgKitIO* Owner() const { return owner_; }

  // In the order a scanner acquisition uses them; only their reset values
  // are fixed here.
  int32_t AcquireCount = 1;
  std::vector<String> SourceNames;
  int32_t SelectedSource = 0;
  bool ShowSettingsOnly = false;
  bool VisibleDialog = false;
  TIKDoubleList XResolution, YResolution, XScaling, YScaling;
  TIKIntegerList PixelType, BitDepth;
  double Gamma = 2.2;
  double Contrast = 0.0, Brightness = 0.0;
  bool MultiImageOwner = false;
  TIKIntegerList Orientation;
  bool ProgressIndicators = true;
  std::array<uint8_t, 16> AcquireFrame{};
  bool BufferedTransfer = true, NativeTransfer = true, AutoFeed = false, FeederEnabled = false;
  int32_t AcceptedPages = 0;
  TIKDoubleList Threshold, Rotation, Shadow, Highlight;
  int32_t CompressionDefault = 0;
  TIKIntegerList Compression;
  bool DuplexEnabled = false;
  bool AutoDeskew = false, AutoBorder = false, AutoBright = false, AutoRotate = false, UseFileTransfer = false;
  String Manufacturer, ProductFamily, ProductName, VersionInfo;
  int32_t FileTransferFormat = 0;
  TIKTwainShared TwainShared;
  int32_t LastError = 0;
  String LastErrorText;

private:
  TImgKitIO* owner_;
  bool multiImage_;
};

// Ends what is left of a scanner connection: the proxy window, then the
// source manager's library. `window` is the window the connection was
// made for.
void IKTW_EndConnection(TIKTwainShared& shared, win::HWND window);

class TIOPrintPreviewParams {
public:
  double MarginTop = 1.0, MarginLeft = 1.0, MarginRight = 1.0, MarginBottom = 1.0;  // inches
  uint8_t Position = 4;  // of the 3 x 3 grid, 4 the centre
  uint8_t Size = 1;      // "Normal", "Fit to page", "Stretch to page", "Specified size"
  double Width = -1.0, Height = -1.0;  // inches; -1 when not set
  double Gamma = 1.0;
};

}  // namespace imaging
