#include "controls/uc/UcSysUtils.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "controls/uc/UcSystem.h"
#include "controls/uc/UcWindows.h"
#include "platform/rtl/Text.h"

namespace controls {
namespace {

struct PlatformFlags {
  std::atomic<bool> unicode{false};
  std::atomic<bool> xpOrLater{false};
  PlatformFlags() {
    win::OSVERSIONINFOW v;
    win::GetVersionExW(&v);
    Set(v);
  }
  void Set(const win::OSVERSIONINFOW& v) {
    unicode = v.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
    xpOrLater = (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1) || v.dwMajorVersion > 5;
  }
};

PlatformFlags& Flags() {
  static PlatformFlags flags;
  return flags;
}

}  // namespace

void RaiseLastOSError() {
  const uint32_t code = win::GetLastError();
  if (code == 0) throw EOSError("A call to an OS function failed", 0);
  throw EOSError("System Error.  Code: " + std::to_string(code) + ".\n" + win::SysErrorText(code), code);
}

bool IsUnicodePlatform() { return Flags().unicode; }
bool IsWindowsXPOrLater() { return Flags().xpOrLater; }
void InitUcPlatformFlags(const win::OSVERSIONINFOW& version) { Flags().Set(version); }

ForcePlatformFlag::ForcePlatformFlag(bool unicode) : saved_(Flags().unicode.exchange(unicode)) {}
ForcePlatformFlag::~ForcePlatformFlag() { Flags().unicode = saved_; }

// --- Wide C strings ---------------------------------------------------------------

WideChar* WideCStrEnd(const WideChar* s) {
  while (*s) ++s;
  return const_cast<WideChar*>(s);
}

int32_t WideCStrLength(const WideChar* s) { return static_cast<int32_t>(WideCStrEnd(s) - s); }

WideChar* WideCStrCopyMax(WideChar* dest, const WideChar* source, int32_t maxCount) {
  WideChar* d = dest;
  for (int32_t i = 0; i < maxCount && *source; ++i) *d++ = *source++;
  *d = 0;
  return dest;
}

WideChar* WideCStrCopyAnsiMax(WideChar* dest, const String& source, int32_t maxCount) {
  const WideString w = rtl::AnsiToWide(source);
  return WideCStrCopyMax(dest, w.c_str(), maxCount);
}

WideChar* WideCStrCopyAnsi(WideChar* dest, const String& source) {
  return WideCStrCopyAnsiMax(dest, source, 0x7FFFFFFF);
}

WideChar* WideCStrFind(const WideChar* s, WideChar unit) {
  for (;; ++s) {
    if (*s == unit) return const_cast<WideChar*>(s);
    if (*s == 0) return nullptr;
  }
}

WideChar* WideCStrMove(WideChar* dest, const WideChar* source, int32_t count) {
  if (count > 0) std::memmove(dest, source, static_cast<size_t>(count) * sizeof(WideChar));
  return dest;
}

WideChar* WideCStrAlloc(int32_t count) {
  if (count < 0) throw EUcInternalError("Invalid wide string size");
  const uint32_t size = static_cast<uint32_t>(count) * 2 + 4;
  auto* block = static_cast<unsigned char*>(std::malloc(size));
  if (!block) throw std::bad_alloc();
  std::memcpy(block, &size, 4);
  return reinterpret_cast<WideChar*>(block + 4);
}

WideChar* WideCStrDup(const WideChar* s) {
  if (!s) return nullptr;
  const int32_t n = WideCStrLength(s) + 1;
  return WideCStrMove(WideCStrAlloc(n), s, n);
}

void WideCStrFree(WideChar* s) {
  if (s) std::free(reinterpret_cast<unsigned char*>(s) - 4);
}

// --- Wide strings -------------------------------------------------------------------

WideString UpperWide(const WideString& s) {
  WideString r = s;
  if (!r.empty()) WCharUpperBuff(r.data(), static_cast<uint32_t>(r.size()));
  return r;
}

WideChar LastWideUnit(const WideString& s) { return s.empty() ? 0 : s.back(); }

namespace {

uint16_t CharType1(WideChar c) {
  uint16_t type = 0;
  if (!WGetStringTypeEx(win::GetThreadLocale(), win::CT_CTYPE1, &c, 1, &type)) RaiseLastOSError();
  return type;
}

}  // namespace

bool WideUnitIsSpace(WideChar c) { return CharType1(c) & win::C1_SPACE; }
bool WideUnitIsPunct(WideChar c) { return CharType1(c) & win::C1_PUNCT; }
bool WideUnitIsWordBreak(WideChar c) { return c == 0 || WideUnitIsSpace(c) || WideUnitIsPunct(c); }

bool WideUnitFitsCodePage(WideChar c) {
  char buffer[8];
  win::BOOL usedDefault = win::FALSE;
  const int n = win::WideCharToMultiByte(LibraryCodePage(), 0, &c, 1, buffer, sizeof buffer, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}

WideString ReplaceWideText(const WideString& text, const WideString& oldPattern, const WideString& newPattern,
                           TReplaceFlags flags, bool wholeWord) {
  WideString search = flags.IgnoreCase ? UpperWide(text) : text;
  const WideString pattern = flags.IgnoreCase ? UpperWide(oldPattern) : oldPattern;
  WideString rest = text;
  WideString result;
  const size_t oldLen = oldPattern.size();
  while (!search.empty()) {
    const size_t found = pattern.empty() ? WideString::npos : search.find(pattern);
    if (found == WideString::npos) {
      result += rest;
      break;
    }
    const size_t p = found + 1;  // 1-based, as the rules count
    if (wholeWord) {
      const WideChar before = p == 1 ? LastWideUnit(result) : rest[p - 2];
      const WideChar after = p + oldLen > rest.size() ? 0 : rest[p + oldLen - 1];
      if (!WideUnitIsWordBreak(before) || !WideUnitIsWordBreak(after)) {
        result.append(rest, 0, p + oldLen - 1);
        rest.erase(0, p + oldLen - 1);
        search.erase(0, p + pattern.size() - 1);
        continue;
      }
    }
    result.append(rest, 0, p - 1);
    result += newPattern;
    rest.erase(0, p + oldLen - 1);
    if (!flags.ReplaceAll) {
      result += rest;
      break;
    }
    search.erase(0, p + pattern.size() - 1);
  }
  return result;
}

// --- Wide file names and files ----------------------------------------------------------

bool IsWideBackslashAt(const WideString& s, int32_t position) {
  return position >= 1 && static_cast<size_t>(position) <= s.size() && s[position - 1] == u'\\';
}

WideString AddWideBackslash(const WideString& s) { return LastWideUnit(s) == u'\\' ? s : s + u'\\'; }

int32_t LastWideDelimiter(const WideString& delimiters, const WideString& s) {
  for (size_t i = s.size(); i > 0; --i) {
    const WideChar c = s[i - 1];
    if (c != 0 && delimiters.find(c) != WideString::npos) return static_cast<int32_t>(i);
  }
  return 0;
}

WideString ExtractWidePath(const WideString& fileName) {
  return fileName.substr(0, static_cast<size_t>(LastWideDelimiter(u"\\:", fileName)));
}

WideString ExtractWideName(const WideString& fileName) {
  return fileName.substr(static_cast<size_t>(LastWideDelimiter(u"\\:", fileName)));
}

WideString ExtractWideDrive(const WideString& fileName) {
  const size_t len = fileName.size();
  if (len >= 2 && fileName[1] == u':') return fileName.substr(0, 2);
  if (len >= 2 && fileName[0] == u'\\' && fileName[1] == u'\\') {
    size_t pos = 3;  // 1-based
    int slashes = 0;
    while (pos < len && slashes < 2) {
      if (fileName[pos - 1] == u'\\') ++slashes;
      if (slashes < 2) ++pos;
    }
    // A name of just two backslashes has nothing at position 3.
    if (pos <= len && fileName[pos - 1] == u'\\') --pos;
    return fileName.substr(0, pos);
  }
  return {};
}

uint32_t WideFileModeAccess(uint32_t mode) {
  static constexpr uint32_t access[4] = {win::GENERIC_READ, win::GENERIC_WRITE, win::GENERIC_READ | win::GENERIC_WRITE,
                                         0};
  return access[mode & 3];
}

uint32_t WideFileModeShare(uint32_t mode) {
  static constexpr uint32_t share[5] = {0, 0, win::FILE_SHARE_READ, win::FILE_SHARE_WRITE,
                                        win::FILE_SHARE_READ | win::FILE_SHARE_WRITE};
  const uint32_t s = (mode & 0xF0) >> 4;
  // Sharing values past the last defined one ask for no sharing.
  return s < 5 ? share[s] : 0;
}

win::HANDLE CreateWideFile(const WideString& fileName) {
  return WCreateFile(fileName.c_str(), win::GENERIC_READ | win::GENERIC_WRITE, 0, nullptr, win::CREATE_ALWAYS,
                     win::FILE_ATTRIBUTE_NORMAL, nullptr);
}

win::HANDLE OpenWideFile(const WideString& fileName, uint32_t mode) {
  return WCreateFile(fileName.c_str(), WideFileModeAccess(mode), WideFileModeShare(mode), nullptr,
                     win::OPEN_EXISTING, win::FILE_ATTRIBUTE_NORMAL, nullptr);
}

int32_t WideFileAttributes(const WideString& fileName) {
  return static_cast<int32_t>(WGetFileAttributes(fileName.c_str()));
}

bool WideFolderExists(const WideString& name) {
  const int32_t a = WideFileAttributes(name);
  return a != -1 && (a & win::FILE_ATTRIBUTE_DIRECTORY);
}

WideString WideModulePath(win::HMODULE module) {
  WideChar buffer[win::MAX_PATH + 1] = {};
  const uint32_t n = WGetModuleFileName(module, buffer, win::MAX_PATH);
  if (n == 0) RaiseLastOSError();
  // A path as long as the buffer comes without a terminator.
  WideString path(buffer, n);
  const size_t nul = path.find(u'\0');
  if (nul != WideString::npos) path.resize(nul);
  return path;
}

int64_t CheckOSResult(int64_t value) {
  if (value == 0) RaiseLastOSError();
  return value;
}

void* CheckOSResult(void* handle) {
  if (!handle) RaiseLastOSError();
  return handle;
}

win::FARPROC CheckOSProc(win::FARPROC proc) {
  if (!proc) RaiseLastOSError();
  return proc;
}

}  // namespace controls
