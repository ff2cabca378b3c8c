#pragma once
// The shell's folder browser: a modal window with a prompt, a tree of the
// namespace (platform/shell/ShellNamespace.h) below the given root, and OK
// and Cancel. It talks to its caller the shell's way: the callback gets
// BFFM_INITIALIZED once the window exists and BFFM_SELCHANGED with the
// selected item list on every selection; the caller sends the window
// BFFM_SETSELECTIONA/W (wParam TRUE: lParam a path, else an item list) and
// BFFM_ENABLEOK (lParam: enable). OK has the control ID IDOK (1).
//
// The routines are also the procedures of the "shell32.dll" module that
// InstallShellModule registers, so code that loads the shell by name finds
// them.
#include "platform/win/Kernel.h"
#include "platform/win/Types.h"

namespace shell {

// Flags of BROWSEINFO the window honours.
inline constexpr win::UINT BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr win::UINT BIF_EDITBOX = 0x0010;
inline constexpr win::UINT BIF_NEWDIALOGSTYLE = 0x0040;
inline constexpr win::UINT BIF_BROWSEINCLUDEFILES = 0x4000;

// Control IDs of the window's parts.
inline constexpr int kBrowseOkId = 1;
inline constexpr int kBrowseCancelId = 2;
inline constexpr int kBrowseTreeId = 0x3741;
inline constexpr int kBrowseTitleId = 0x3742;

// The chosen item as a new list (free it with ShellFree), null when the
// user cancelled. The display-name buffer gets the chosen item's name.
win::ITEMIDLIST* SHBrowseForFolderW(win::BROWSEINFOW* info);
win::ITEMIDLIST* SHBrowseForFolderA(win::BROWSEINFOA* info);
// MAX_PATH units; FALSE (and an empty path) for a virtual item.
win::BOOL SHGetPathFromIDListW(const win::ITEMIDLIST* list, win::WCHAR* path);

// Registers "shell32.dll" once per process.
void InstallShellModule();

}  // namespace shell
