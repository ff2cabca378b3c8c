#pragma once
// What the Fc tree views need set up once per program: the component-object
// start-up of the GUI thread (undone at the end only when it succeeded),
// and the platform's version figures (the system version record, the file
// versions of the common-controls and shell libraries).
#include <cstdint>
#include <functional>

#include "platform/forms/Classes.h"
#include "platform/win/ComInit.h"
#include "platform/win/Kernel.h"

namespace controls {

// Pairs CoInitialize at start with CoUninitialize at the end, the latter
// only when the start succeeded (S_FALSE, already initialised, counts).
class TFcComStartup {
public:
  struct Api {
    std::function<win::HRESULT()> initialize;
    std::function<void()> uninitialize;
  };
  TFcComStartup();
  explicit TFcComStartup(Api api);
  void Start();
  void Finish();
  bool Initialized() const { return initialized_; }

private:
  Api api_;
  bool initialized_ = false;
};

// A file version as its resource holds it: the most significant word pair
// (major in the high 16 bits, minor in the low) and the least significant.
struct TFcFileVersion {
  uint32_t ms = 0;
  uint32_t ls = 0;
  int Major() const { return static_cast<int>(ms >> 16); }
  int Minor() const { return static_cast<int>(ms & 0xFFFF); }
};

// True with the two words when the file has a version resource.
bool GetFileVersionWords(const forms::String& fileName, TFcFileVersion& version);

// The figures read once at start (or on first use when the start-up did not
// run); both versions are 0.0 when the library's version cannot be read.
struct TFcPlatformInfo {
  win::OSVERSIONINFOW os;
  TFcFileVersion comCtl;
  TFcFileVersion shell;
};
const TFcPlatformInfo& FcPlatformInfo();
// Reads the figures again from the named libraries.
void ReadFcPlatformInfo(const forms::String& comCtlName = "comctl32.dll",
                        const forms::String& shellName = "shell32.dll");
bool IsWindowsNT();

// The program's start-up and shut-down of both.
void FcLibraryStartup();
void FcLibraryShutdown();
TFcComStartup& FcComStartup();

}  // namespace controls
