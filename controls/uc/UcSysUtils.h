#pragma once
// The wide-string library's foundation: routines on wide C strings, a wide
// replace, wide file-name routines, wide file create/open, character
// classes, the platform flags every part of the library consults, and its
// two exception classes.
//
// Positions are 1-based, as the library's callers count. The file-name
// routines split at backslashes and colons: they are pure string routines
// for names in that form (the wide library's callers hand them such names);
// native paths are left to platform/rtl.
#include <cstdint>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Types.h"
#include "platform/win/Kernel.h"

namespace controls {

using rtl::String;
using rtl::WideString;
using WideChar = char16_t;

// Malformed input (the UTF-7 decoder raises it).
class EUcGeneralError : public rtl::Exception {
  using rtl::Exception::Exception;
};
// An internal limit or consistency failure.
class EUcInternalError : public rtl::Exception {
  using rtl::Exception::Exception;
};
// A failed system call, carrying its last-error code.
class EOSError : public rtl::Exception {
public:
  EOSError(String message, uint32_t errorCode) : rtl::Exception(std::move(message)), errorCode_(errorCode) {}
  uint32_t ErrorCode() const noexcept { return errorCode_; }

private:
  uint32_t errorCode_;
};
// Raises EOSError for the calling thread's last error.
[[noreturn]] void RaiseLastOSError();

// --- Platform flags -------------------------------------------------------------

// Fixed when the library starts, from the system's version information.
bool IsUnicodePlatform();
bool IsWindowsXPOrLater();
// Decides both flags from a version record, as the library's start does.
void InitUcPlatformFlags(const win::OSVERSIONINFOW& version);

// Tests run the 8-bit branches by switching the flag for one scope.
class ForcePlatformFlag {
public:
  explicit ForcePlatformFlag(bool unicode);
  ~ForcePlatformFlag();
  ForcePlatformFlag(const ForcePlatformFlag&) = delete;
  ForcePlatformFlag& operator=(const ForcePlatformFlag&) = delete;

private:
  bool saved_;
};

// --- Wide C strings -----------------------------------------------------------------

WideChar* WideCStrEnd(const WideChar* s);
int32_t WideCStrLength(const WideChar* s);
WideChar* WideCStrCopyMax(WideChar* dest, const WideChar* source, int32_t maxCount);
WideChar* WideCStrCopyAnsiMax(WideChar* dest, const String& source, int32_t maxCount);
WideChar* WideCStrCopyAnsi(WideChar* dest, const String& source);
// Scans up to and including the terminator, so searching for 0 finds it.
WideChar* WideCStrFind(const WideChar* s, WideChar unit);
WideChar* WideCStrMove(WideChar* dest, const WideChar* source, int32_t count);
// A block of 4 + 2n bytes whose first 4 bytes hold its size; the result
// points just after the size. Free it with WideCStrFree.
WideChar* WideCStrAlloc(int32_t count);
WideChar* WideCStrDup(const WideChar* s);
// Releases a block of WideCStrAlloc/WideCStrDup; null does nothing.
void WideCStrFree(WideChar* s);

// --- Wide strings ---------------------------------------------------------------------

WideString UpperWide(const WideString& s);
WideChar LastWideUnit(const WideString& s);
bool WideUnitIsSpace(WideChar c);
bool WideUnitIsPunct(WideChar c);
bool WideUnitIsWordBreak(WideChar c);
bool WideUnitFitsCodePage(WideChar c);

struct TReplaceFlags {
  bool ReplaceAll = false;
  bool IgnoreCase = false;
};
WideString ReplaceWideText(const WideString& text, const WideString& oldPattern, const WideString& newPattern,
                           TReplaceFlags flags, bool wholeWord);

// --- Wide file names and files -----------------------------------------------------------

bool IsWideBackslashAt(const WideString& s, int32_t position);
WideString AddWideBackslash(const WideString& s);
// 1-based position of the last unit of `s` found in `delimiters`; 0 when none.
int32_t LastWideDelimiter(const WideString& delimiters, const WideString& s);
WideString ExtractWidePath(const WideString& fileName);
WideString ExtractWideName(const WideString& fileName);
WideString ExtractWideDrive(const WideString& fileName);

// Handles are the kernel's file handles; win::INVALID_HANDLE_VALUE on
// failure, the reason in win::GetLastError().
win::HANDLE CreateWideFile(const WideString& fileName);
// `mode` is an open mode word: access in the low two bits, sharing in bits 4-7.
win::HANDLE OpenWideFile(const WideString& fileName, uint32_t mode);
// The access and sharing an open mode word asks for.
uint32_t WideFileModeAccess(uint32_t mode);
uint32_t WideFileModeShare(uint32_t mode);
int32_t WideFileAttributes(const WideString& fileName);
bool WideFolderExists(const WideString& name);
// Full path of the module (0 = the program).
WideString WideModulePath(win::HMODULE module);

// Zero raises the last operating-system error; anything else is returned.
int64_t CheckOSResult(int64_t value);
void* CheckOSResult(void* handle);
win::FARPROC CheckOSProc(win::FARPROC proc);

}  // namespace controls
