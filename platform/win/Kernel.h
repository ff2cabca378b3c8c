#pragma once
// The kernel's text, file, module and locale services in their W and A
// forms, for code written against them:
// - file handles are POSIX descriptors carried in a HANDLE; names are native
//   paths (W names are UTF-16, A names are in the ANSI code page);
// - modules are the program itself (handle 0) and modules registered by the
//   libraries that provide them, each with its procedures and its resources;
//   LoadLibrary finds a registered module by its file name;
// - code pages are the ANSI code page of platform/rtl (CP_ACP and
//   CP_THREAD_ACP both mean it) and whatever iconv converts;
// - the thread locale and the keyboard layout are settable values, en-US
//   unless set.
// Every routine sets the last error the way its namesake does.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Resources.h"
#include "platform/rtl/Types.h"
#include "platform/win/Types.h"

namespace win {

// --- Last error --------------------------------------------------------------

inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// Per thread.
DWORD GetLastError();
void SetLastError(DWORD error);
// The last-error code for an errno value.
DWORD ErrorFromErrno(int err);
// A text for a last-error code, as error messages show it.
rtl::String SysErrorText(DWORD error);

// --- Version -----------------------------------------------------------------

inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  WCHAR szCSDVersion[128] = {};
};

// This system is a Unicode system of the 5.1 generation: every W entry
// point exists and behaves as it does there.
BOOL GetVersionExW(OSVERSIONINFOW* info);

// --- Files -------------------------------------------------------------------

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});

struct SECURITY_ATTRIBUTES;

// Sharing is accepted but not enforced (POSIX has no mandatory sharing).
// An access of 0 opens the file for neither reading nor writing: the handle
// serves queries only. A folder cannot be opened as a file.
HANDLE CreateFileW(const WCHAR* fileName, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
HANDLE CreateFileA(const char* fileName, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL CloseHandle(HANDLE handle);
// The descriptor inside a file handle (-1 for the invalid handle).
int FileHandleDescriptor(HANDLE handle);
DWORD GetFileAttributesW(const WCHAR* fileName);
DWORD GetFileAttributesA(const char* fileName);

// --- Modules -----------------------------------------------------------------

using FARPROC = void (*)();

struct ModuleProc {
  const char* Name;
  FARPROC Address;
};

// Makes a module known to LoadLibrary under `fileName` (matched by its last
// path part, ignoring case, with or without the ".dll" ending). The module
// stays registered until UnregisterModule; its handle is never 0.
HMODULE RegisterModule(const rtl::String& fileName, std::vector<ModuleProc> procs,
                       const rtl::ResourceTable* resources = nullptr);
void UnregisterModule(HMODULE module);
// Resources of the program itself (module 0 and GetModuleHandle(nullptr)).
void SetProgramResources(const rtl::ResourceTable* resources);

HMODULE LoadLibraryW(const WCHAR* fileName);
HMODULE LoadLibraryA(const char* fileName);
BOOL FreeLibrary(HMODULE module);
FARPROC GetProcAddress(HMODULE module, const char* procName);
// The full path of the module: the executable for 0. Returns the length
// copied; a buffer too small gets `size` units without a terminator and
// the result is `size` (ERROR_INSUFFICIENT_BUFFER).
DWORD GetModuleFileNameW(HMODULE module, WCHAR* buffer, DWORD size);
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);

// --- Resources ---------------------------------------------------------------

// An integer identifier passed where a name is expected.
inline const char* MAKEINTRESOURCEA(uint16_t id) { return reinterpret_cast<const char*>(uintptr_t{id}); }
inline bool IS_INTRESOURCE(const void* p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }
inline const char* const RT_STRING = MAKEINTRESOURCEA(6);

struct HRSRC__;
using HRSRC = HRSRC__*;
using HGLOBAL = void*;

// Resource tables name resources by text; an integer identifier n is looked
// up as the name "#n", an integer type t as the type "#t". Names and types
// match ignoring case.
HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// --- Code pages, locales, keyboard -------------------------------------------

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_THREAD_ACP = 3;
inline constexpr UINT CP_UTF7 = 65000;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr DWORD MB_USEGLYPHCHARS = 4;

using LCID = DWORD;
using HKL = uintptr_t;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
inline constexpr DWORD LOCALE_IDEFAULTANSICODEPAGE = 0x1004;

// The ANSI code page of platform/rtl.
UINT GetACP();
// Counts in units/bytes; -1 reads up to and including the terminator. With
// no output buffer (size 0) the needed size is returned. The code pages'
// tables have no separate glyph forms, so MB_USEGLYPHCHARS changes nothing.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int count, WCHAR* out, int outSize);
// `usedDefaultChar` reports whether a character had no equivalent and was
// replaced by the code page's default character '?'.
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* text, int count, char* out, int outSize,
                        const char* defaultChar, BOOL* usedDefaultChar);

LCID GetThreadLocale();
BOOL SetThreadLocale(LCID locale);
// Only LOCALE_IDEFAULTANSICODEPAGE is answered, for the locales of the code
// pages this system converts; anything else fails (0, ERROR_INVALID_PARAMETER).
int GetLocaleInfoA(LCID locale, DWORD type, char* buffer, int size);

// The layout's low word is its language. Per process here.
HKL GetKeyboardLayout(DWORD threadId);
HKL ActivateKeyboardLayout(HKL layout, UINT flags);

// The program's command line: the arguments it was started with, each with
// blanks or double quotes quoted, unless SetCommandLineW replaced it.
const WCHAR* GetCommandLineW();
void SetCommandLineW(const rtl::WideString& commandLine);

// --- Character case and classes ---------------------------------------------

// A pointer or a single unit in the low word (see IS_INTRESOURCE).
WCHAR* CharUpperW(WCHAR* textOrUnit);
DWORD CharUpperBuffW(WCHAR* text, DWORD count);
char* CharUpperA(char* textOrChar);
DWORD CharUpperBuffA(char* text, DWORD count);

inline constexpr DWORD CT_CTYPE1 = 1;
inline constexpr WORD C1_UPPER = 0x0001;
inline constexpr WORD C1_LOWER = 0x0002;
inline constexpr WORD C1_DIGIT = 0x0004;
inline constexpr WORD C1_SPACE = 0x0008;
inline constexpr WORD C1_PUNCT = 0x0010;
inline constexpr WORD C1_CNTRL = 0x0020;
inline constexpr WORD C1_BLANK = 0x0040;
inline constexpr WORD C1_XDIGIT = 0x0080;
inline constexpr WORD C1_ALPHA = 0x0100;
inline constexpr WORD C1_DEFINED = 0x0200;

// Only CT_CTYPE1. A count of -1 covers the text and its terminator.
BOOL GetStringTypeExW(LCID locale, DWORD infoType, const WCHAR* text, int count, WORD* types);
// One entry per byte of the ANSI text.
BOOL GetStringTypeExA(LCID locale, DWORD infoType, const char* text, int count, WORD* types);

// --- Shell folder browsing (provided by the "shell32.dll" module) ------------

struct ITEMIDLIST;
using BFFCALLBACK = int (*)(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);
inline constexpr int MAX_PATH = 260;

struct BROWSEINFOW {
  HWND hwndOwner = nullptr;
  const ITEMIDLIST* pidlRoot = nullptr;
  WCHAR* pszDisplayName = nullptr;  // MAX_PATH units
  const WCHAR* lpszTitle = nullptr;
  UINT ulFlags = 0;
  BFFCALLBACK lpfn = nullptr;
  LPARAM lParam = 0;
  int iImage = 0;
};
struct BROWSEINFOA {
  HWND hwndOwner = nullptr;
  const ITEMIDLIST* pidlRoot = nullptr;
  char* pszDisplayName = nullptr;  // MAX_PATH bytes
  const char* lpszTitle = nullptr;
  UINT ulFlags = 0;
  BFFCALLBACK lpfn = nullptr;
  LPARAM lParam = 0;
  int iImage = 0;
};
using SHBrowseForFolderWProc = ITEMIDLIST* (*)(BROWSEINFOW* info);
using SHBrowseForFolderAProc = ITEMIDLIST* (*)(BROWSEINFOA* info);

}  // namespace win
