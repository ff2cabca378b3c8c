#include "controls/fcborder_treevw/FcStartup.h"

#include <vector>

#include "platform/win/FileVersion.h"

namespace controls {

TFcComStartup::TFcComStartup() : TFcComStartup(Api{[] { return win::CoInitialize(nullptr); }, [] { win::CoUninitialize(); }}) {}

TFcComStartup::TFcComStartup(Api api) : api_(std::move(api)) {}

void TFcComStartup::Start() { initialized_ = win::SUCCEEDED(api_.initialize()); }

void TFcComStartup::Finish() {
  if (!initialized_) return;
  initialized_ = false;
  api_.uninitialize();
}

bool GetFileVersionWords(const forms::String& fileName, TFcFileVersion& version) {
  win::DWORD handle = 0;
  const win::DWORD size = win::GetFileVersionInfoSizeA(fileName.c_str(), &handle);
  if (size == 0) return false;
  std::vector<unsigned char> buffer(size);
  if (!win::GetFileVersionInfoA(fileName.c_str(), handle, size, buffer.data())) return false;
  void* fixed = nullptr;
  win::UINT length = 0;
  if (!win::VerQueryValueA(buffer.data(), "\\", &fixed, &length) || !fixed) return false;
  const auto* info = static_cast<const win::VS_FIXEDFILEINFO*>(fixed);
  version.ms = info->dwFileVersionMS;
  version.ls = info->dwFileVersionLS;
  return true;
}

namespace {

TFcPlatformInfo& Info() {
  static TFcPlatformInfo info;
  return info;
}
bool g_read = false;

}  // namespace

void ReadFcPlatformInfo(const forms::String& comCtlName, const forms::String& shellName) {
  TFcPlatformInfo& info = Info();
  info.os = win::OSVERSIONINFOW{};
  win::GetVersionExW(&info.os);
  if (!GetFileVersionWords(comCtlName, info.comCtl)) info.comCtl = TFcFileVersion{};
  if (!GetFileVersionWords(shellName, info.shell)) info.shell = TFcFileVersion{};
  g_read = true;
}

const TFcPlatformInfo& FcPlatformInfo() {
  if (!g_read) ReadFcPlatformInfo();
  return Info();
}

bool IsWindowsNT() { return FcPlatformInfo().os.dwPlatformId == win::VER_PLATFORM_WIN32_NT; }

TFcComStartup& FcComStartup() {
  static TFcComStartup startup;
  return startup;
}

void FcLibraryStartup() {
  FcComStartup().Start();
  ReadFcPlatformInfo();
}

void FcLibraryShutdown() { FcComStartup().Finish(); }

}  // namespace controls
