#include "controls/uc/UcWindows.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "controls/uc/UcSysUtils.h"
#include "platform/rtl/Text.h"
#include "platform/win/Font.h"
#include "platform/win/Window.h"

namespace controls {
namespace {

rtl::String Ansi(const WideChar* text) { return text ? rtl::WideToAnsi(rtl::WideString(text)) : rtl::String(); }

struct ShellEntries {
  std::mutex mutex;
  win::HMODULE module = nullptr;
  win::FARPROC fileOperation = nullptr;
  win::FARPROC browseForFolder = nullptr;
  win::FARPROC pathFromIDList = nullptr;
  win::FARPROC fileInfo = nullptr;
};

ShellEntries& Shell() {
  static ShellEntries entries;
  return entries;
}

}  // namespace

rtl::WideString WideStrFromCount(const WideChar* text, int count) {
  if (count == -1) return rtl::WideString(text);
  return rtl::WideString(text, static_cast<size_t>(std::max(count, 0)));
}

bool IsResourceOrdinal(uintptr_t value) { return (value >> 16) == 0; }

win::BOOL WSetWindowText(win::HWND hwnd, const WideChar* text) {
  if (IsUnicodePlatform()) return win::SetWindowTextW(hwnd, text);
  const rtl::String a = Ansi(text);
  return win::SetWindowTextA(hwnd, text ? a.c_str() : nullptr);
}

win::HANDLE WCreateFile(const WideChar* fileName, uint32_t access, uint32_t share, win::SECURITY_ATTRIBUTES* security,
                        uint32_t disposition, uint32_t flags, win::HANDLE templateFile) {
  if (IsUnicodePlatform())
    return win::CreateFileW(fileName, access, share, security, disposition, flags, templateFile);
  const rtl::String a = Ansi(fileName);
  return win::CreateFileA(fileName ? a.c_str() : nullptr, access, share, security, disposition, flags, templateFile);
}

uint32_t WGetFileAttributes(const WideChar* fileName) {
  if (IsUnicodePlatform()) return win::GetFileAttributesW(fileName);
  const rtl::String a = Ansi(fileName);
  return win::GetFileAttributesA(fileName ? a.c_str() : nullptr);
}

int WDrawText(win::HDC hdc, const WideChar* text, int count, win::RECT* rect, uint32_t format) {
  if (IsUnicodePlatform()) return win::DrawTextW(hdc, text, count, rect, format);
  const rtl::String a = rtl::WideToAnsi(WideStrFromCount(text, count));
  return win::DrawTextA(hdc, a.c_str(), -1, rect, format);
}

uint32_t WGetModuleFileName(win::HMODULE module, WideChar* buffer, uint32_t size) {
  if (IsUnicodePlatform()) return win::GetModuleFileNameW(module, buffer, size);
  char ansi[win::MAX_PATH];
  const uint32_t got = win::GetModuleFileNameA(module, ansi, win::MAX_PATH);
  const rtl::WideString path = rtl::AnsiToWide(rtl::String(ansi, std::min<uint32_t>(got, win::MAX_PATH)));
  const auto n = static_cast<uint32_t>(path.size());
  if (n < size) {
    std::copy(path.begin(), path.end(), buffer);
    buffer[n] = 0;
    return n;
  }
  // As the wide function does: exactly `size` units and no terminator.
  std::copy_n(path.begin(), size, buffer);
  return size;
}

win::HMODULE WLoadLibrary(const WideChar* fileName) {
  if (IsUnicodePlatform()) return win::LoadLibraryW(fileName);
  const rtl::String a = Ansi(fileName);
  return win::LoadLibraryA(fileName ? a.c_str() : nullptr);
}

WideChar* WCharUpper(WideChar* textOrUnit) {
  if (IsUnicodePlatform()) return win::CharUpperW(textOrUnit);
  const auto value = reinterpret_cast<uintptr_t>(textOrUnit);
  if (!IsResourceOrdinal(value)) {
    for (WideChar* p = textOrUnit; *p; ++p)
      *p = static_cast<WideChar>(reinterpret_cast<uintptr_t>(WCharUpper(reinterpret_cast<WideChar*>(uintptr_t{*p}))));
    return textOrUnit;
  }
  const auto unit = static_cast<WideChar>(value);
  if (WideUnitFitsCodePage(unit)) {
    rtl::String a = rtl::WideToAnsi(rtl::WideString(1, unit));
    win::CharUpperBuffA(a.data(), static_cast<uint32_t>(a.size()));
    const rtl::WideString back = rtl::AnsiToWide(a);
    if (back.size() == 1) return reinterpret_cast<WideChar*>(uintptr_t{back[0]});
  }
  return textOrUnit;
}

uint32_t WCharUpperBuff(WideChar* text, uint32_t count) {
  if (IsUnicodePlatform()) return win::CharUpperBuffW(text, count);
  for (uint32_t i = 0; i < count; ++i)
    text[i] = static_cast<WideChar>(reinterpret_cast<uintptr_t>(WCharUpper(reinterpret_cast<WideChar*>(uintptr_t{text[i]}))));
  return count;
}

win::BOOL WGetStringTypeEx(win::LCID locale, uint32_t infoType, const WideChar* text, int count, uint16_t* types) {
  if (IsUnicodePlatform()) return win::GetStringTypeExW(locale, infoType, text, count, types);
  const rtl::WideString w = WideStrFromCount(text, count);
  // The 8-bit function answers one entry per byte plus one for the
  // terminator; the caller's array holds one per unit it asked about. Each
  // unit takes the entry of its character's first byte.
  const uint32_t cp = rtl::GetAnsiCodePage();
  std::string ansi;
  std::vector<size_t> firstByte;
  firstByte.reserve(w.size());
  for (size_t i = 0; i < w.size(); ++i) {
    firstByte.push_back(ansi.size());
    size_t n = 1;
    if (w[i] >= 0xD800 && w[i] <= 0xDBFF && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) n = 2;
    ansi += rtl::WideToCodePage(cp, w.substr(i, n));
    if (n == 2) firstByte.push_back(firstByte.back()), ++i;
  }
  std::vector<uint16_t> byteTypes(ansi.size() + 1);
  if (!win::GetStringTypeExA(locale, infoType, ansi.c_str(), -1, byteTypes.data())) return win::FALSE;
  for (size_t i = 0; i < w.size(); ++i) types[i] = byteTypes[firstByte[i]];
  if (count == -1) types[w.size()] = byteTypes[ansi.size()];
  return win::TRUE;
}

int LoadStringWEmulated(win::HINSTANCE instance, uint32_t id, WideChar* buffer, int bufferSize) {
  if ((id >> 16) == 0xFFFF) id = static_cast<uint32_t>(-static_cast<int32_t>(id));
  const auto table = static_cast<uint16_t>(((id >> 4) & 0xFFFF) + 1);
  win::HRSRC res = win::FindResourceA(instance, win::MAKEINTRESOURCEA(table), win::RT_STRING);
  if (!res) return 0;
  win::HGLOBAL loaded = win::LoadResource(instance, res);
  if (!loaded) return 0;
  const auto* p = static_cast<const uint8_t*>(win::LockResource(loaded));
  if (!p) return 0;
  // Each entry is a 16-bit length and that many units. A damaged table must
  // not lead the walk past its end.
  const uint32_t size = win::SizeofResource(instance, res);
  uint32_t at = 0;
  auto unitAt = [&](uint32_t offset) -> int {
    if (offset + 2 > size) return -1;
    return p[offset] | p[offset + 1] << 8;
  };
  for (uint32_t skip = id & 15; skip > 0; --skip) {
    const int len = unitAt(at);
    if (len < 0) return 0;
    at += 2 + 2 * static_cast<uint32_t>(len);
  }
  int len = unitAt(at);
  if (len < 0) return 0;
  at += 2;
  len = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(len), (size - at) / 2));
  if (!buffer || bufferSize <= 0) return len;
  const int copied = std::min(bufferSize - 1, len);
  for (int i = 0; i < copied; ++i) buffer[i] = static_cast<WideChar>(p[at + 2 * i] | p[at + 2 * i + 1] << 8);
  buffer[copied] = 0;
  return copied;
}

int WLoadString(win::HINSTANCE instance, uint32_t id, WideChar* buffer, int bufferSize) {
  // No wide string-loading entry point exists here, on either platform
  // kind: string tables are read from the module's resources directly.
  return LoadStringWEmulated(instance, id, buffer, bufferSize);
}

void LoadShellWideEntries() {
  ShellEntries& s = Shell();
  std::lock_guard lock(s.mutex);
  if (s.browseForFolder) return;
  win::HMODULE module = static_cast<win::HMODULE>(CheckOSResult(static_cast<void*>(WLoadLibrary(u"shell32.dll"))));
  try {
    s.fileOperation = CheckOSProc(win::GetProcAddress(module, "SHFileOperationW"));
    s.browseForFolder = CheckOSProc(win::GetProcAddress(module, "SHBrowseForFolderW"));
    s.pathFromIDList = CheckOSProc(win::GetProcAddress(module, "SHGetPathFromIDListW"));
    s.fileInfo = CheckOSProc(win::GetProcAddress(module, "SHGetFileInfoW"));
  } catch (...) {
    // Nothing half-loaded stays behind: the next call tries again.
    s.fileOperation = s.browseForFolder = s.pathFromIDList = s.fileInfo = nullptr;
    const uint32_t error = win::GetLastError();
    win::FreeLibrary(module);
    win::SetLastError(error);
    throw;
  }
  s.module = module;
}

void ReleaseShellWideEntries() {
  ShellEntries& s = Shell();
  std::lock_guard lock(s.mutex);
  if (s.module) win::FreeLibrary(s.module);
  s.module = nullptr;
  s.fileOperation = s.browseForFolder = s.pathFromIDList = s.fileInfo = nullptr;
}

win::ITEMIDLIST* WSHBrowseForFolder(win::BROWSEINFOW* info) {
  if (IsUnicodePlatform()) {
    win::FARPROC proc;
    {
      std::lock_guard lock(Shell().mutex);
      proc = Shell().browseForFolder;
    }
    if (!proc) {
      LoadShellWideEntries();
      std::lock_guard lock(Shell().mutex);
      proc = Shell().browseForFolder;
    }
    return reinterpret_cast<win::SHBrowseForFolderWProc>(proc)(info);
  }
  win::HMODULE shell = win::LoadLibraryA("shell32.dll");
  const auto browseA = reinterpret_cast<win::SHBrowseForFolderAProc>(
      shell ? win::GetProcAddress(shell, "SHBrowseForFolderA") : nullptr);
  if (!browseA) {
    if (shell) win::FreeLibrary(shell);
    return nullptr;
  }
  win::BROWSEINFOA a;
  a.hwndOwner = info->hwndOwner;
  a.pidlRoot = info->pidlRoot;
  a.ulFlags = info->ulFlags;
  a.lpfn = info->lpfn;
  a.lParam = info->lParam;
  a.iImage = info->iImage;
  const rtl::String title = Ansi(info->lpszTitle);
  a.lpszTitle = info->lpszTitle ? title.c_str() : nullptr;
  char displayName[win::MAX_PATH + 1] = {};
  a.pszDisplayName = info->pszDisplayName ? displayName : nullptr;
  win::ITEMIDLIST* result = browseA(&a);
  if (info->pszDisplayName) {
    displayName[win::MAX_PATH] = 0;
    const rtl::WideString w = rtl::AnsiToWide(displayName);
    // The caller's buffer holds MAX_PATH units.
    const size_t n = std::min<size_t>(w.size(), win::MAX_PATH - 1);
    std::copy_n(w.begin(), n, info->pszDisplayName);
    info->pszDisplayName[n] = 0;
  }
  info->iImage = a.iImage;
  win::FreeLibrary(shell);
  return result;
}

}  // namespace controls
