#pragma once
// Every call of the wide-string library into the system that carries text
// goes through these wrappers. Each has the signature of the system's wide
// function; on a Unicode platform it calls that function, otherwise it
// converts the text to the ANSI code page, calls the 8-bit function and
// converts results back, so callers never test the platform themselves.
#include <cstdint>

#include "platform/rtl/Types.h"
#include "platform/win/Kernel.h"
#include "platform/win/Types.h"

namespace controls {

using WideChar = char16_t;

win::BOOL WSetWindowText(win::HWND hwnd, const WideChar* text);
win::HANDLE WCreateFile(const WideChar* fileName, uint32_t access, uint32_t share,
                        win::SECURITY_ATTRIBUTES* security, uint32_t disposition, uint32_t flags,
                        win::HANDLE templateFile);
uint32_t WGetFileAttributes(const WideChar* fileName);
int WDrawText(win::HDC hdc, const WideChar* text, int count, win::RECT* rect, uint32_t format);
uint32_t WGetModuleFileName(win::HMODULE module, WideChar* buffer, uint32_t size);
win::HMODULE WLoadLibrary(const WideChar* fileName);
// A pointer to a string (upper-cased in place) or one unit in the low word.
WideChar* WCharUpper(WideChar* textOrUnit);
uint32_t WCharUpperBuff(WideChar* text, uint32_t count);
// Writes exactly one entry per requested unit (count, or the length plus the
// terminator for -1).
win::BOOL WGetStringTypeEx(win::LCID locale, uint32_t infoType, const WideChar* text, int count, uint16_t* types);
int WLoadString(win::HINSTANCE instance, uint32_t id, WideChar* buffer, int bufferSize);
win::ITEMIDLIST* WSHBrowseForFolder(win::BROWSEINFOW* info);

// The first `count` units (the whole string for -1).
rtl::WideString WideStrFromCount(const WideChar* text, int count);
// True for a value whose high 16 bits are zero: an integer identifier, not
// a pointer.
bool IsResourceOrdinal(uintptr_t value);
// Reads a string from a module's string tables without the wide entry point.
int LoadStringWEmulated(win::HINSTANCE instance, uint32_t id, WideChar* buffer, int bufferSize);
// Loads "shell32.dll" and its four wide entry points; raises EOSError.
void LoadShellWideEntries();
// Frees the shell module when it was loaded (the library's shutdown).
void ReleaseShellWideEntries();

}  // namespace controls
