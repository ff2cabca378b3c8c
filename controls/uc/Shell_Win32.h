#pragma once
// Item ID lists, paths and special folders of the shell namespace
// (platform/shell): the routines the shell navigator and the folder picker
// share. Every routine that returns a list returns a new one owned by the
// caller (free it with FreeIDList). Paths are native: "/" is the single
// root, the delimiter is '/'.
#include <cstdint>

#include "controls/uc/UcClasses.h"
#include "platform/rtl/Types.h"
#include "platform/win/Types.h"

namespace win {
struct ITEMIDLIST;
}

namespace controls {

using win::ITEMIDLIST;

// The special folders a navigator or picker can stand in.
enum TShShellFolder {
  SF_FILESYSTEMFOLDER,
  SF_BITBUCKET,
  SF_CONTROLS,
  SF_DESKTOP,
  SF_DESKTOPDIRECTORY,
  SF_DRIVES,
  SF_FONTS,
  SF_NETHOOD,
  SF_NETWORK,
  SF_PERSONAL,
  SF_PRINTERS,
  SF_PROGRAMS,
  SF_RECENT,
  SF_SENDTO,
  SF_STARTMENU,
  SF_STARTUP,
  SF_TEMPLATES,
  SF_FAVORITES,
  SF_COMMON_STARTMENU,
  SF_COMMON_STARTUP,
  SF_COMMON_DESKTOPDIRECTORY,
  SF_APPDATA,
  SF_PRINTHOOD,
  SF_COMMON_FAVORITES,
  SF_INTERNET_CACHE,
  SF_COOKIES,
  SF_HISTORY,
  SF_COMMON_PROGRAMS,
  SF_ALTSTARTUP,
  SF_COMMON_APPDATA,
  SF_COMMON_DOCUMENTS,
  SF_INTERNET,
  SF_LOCAL_APPDATA,
  SF_MYPICTURES,
  SF_PROGRAM_FILES,
  SF_SYSTEM,
  SF_PROGRAM_FILES_COMMON
};

// A wide string list for names of shell objects.
class TFileNames : public TUcStringList {};

ITEMIDLIST* AllocIDList(uint32_t size);
void FreeIDList(ITEMIDLIST* list);
uint32_t IDListSize(const ITEMIDLIST* list);
ITEMIDLIST* CopyIDList(const ITEMIDLIST* list);
ITEMIDLIST* ConcatIDLists(const ITEMIDLIST* a, const ITEMIDLIST* b);
int32_t IDListItemCount(const ITEMIDLIST* list);
ITEMIDLIST* IDListItem(const ITEMIDLIST* list, int32_t index);
ITEMIDLIST* TruncateIDList(const ITEMIDLIST* list, int32_t count);
// The desktop's list (no items): a shared list, never freed.
const ITEMIDLIST* DesktopIDList();

// With no folder: an absolute path's list, or My Computer's for "". With a
// folder (an absolute list): `path` parsed inside it, as a list relative to
// it. Null on failure, with the reason in the thread's last error.
ITEMIDLIST* PathToIDList(const ITEMIDLIST* folder, const WideString& path);
// The file-system path of a list, "" for none or a virtual item.
WideString IDListPath(const ITEMIDLIST* list);
// The system's text for an error code.
WideString SystemErrorText(uint32_t code);
// The remote name of a network server or domain item: this namespace has
// no network, so always "".
WideString NetworkNameOfIDList(const ITEMIDLIST* folder, const ITEMIDLIST* item);
// The target of a symbolic link as an absolute path, "" for anything else.
WideString LinkTarget(const WideString& path);
// Both in the ANSI code page through the class library's mask matcher.
bool WideMatchesMask(const WideString& name, const WideString& mask);
// Null for a special folder this system has no counterpart of (or whose
// folder does not exist).
ITEMIDLIST* SpecialFolderIDList(TShShellFolder value);
TShShellFolder SpecialFolderOf(const ITEMIDLIST* list);
bool IsDriveRoot(const WideString& path);
bool IsUNCPath(const WideString& text);
WideString UNCServerName(const WideString& text);
win::HWND ApplicationWindow();

// Native path pieces: the folder part with its trailing '/', and the name.
WideString ExtractNativePath(const WideString& path);
WideString ExtractNativeName(const WideString& path);
// Appends '/' unless the path is empty or ends with one.
WideString AddNativeDelimiter(const WideString& path);

}  // namespace controls
