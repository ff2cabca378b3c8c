#pragma once
// The clipboard inside the program, and the movable memory blocks its data
// travels in. The X11 backend mirrors it to the X selections through the
// change listener and by setting data it receives.
#include <cstddef>
#include <functional>

#include "platform/win/Types.h"

namespace win {

using HGLOBAL = HANDLE;

inline constexpr UINT GMEM_FIXED = 0x0000, GMEM_MOVEABLE = 0x0002, GMEM_ZEROINIT = 0x0040,
                      GMEM_DDESHARE = 0x2000, GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Blocks are always zeroed; a lock returns the same address until freed.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
size_t GlobalSize(HGLOBAL mem);
// Null on success, the handle back on failure.
HGLOBAL GlobalFree(HGLOBAL mem);

inline constexpr UINT CF_TEXT = 1, CF_BITMAP = 2, CF_OEMTEXT = 7, CF_DIB = 8, CF_UNICODETEXT = 13, CF_HDROP = 15,
                      CF_LOCALE = 16;

// One window (or the null window) opens it at a time.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Clears the contents and makes the opener the owner.
BOOL EmptyClipboard();
// The clipboard takes the block over. CF_TEXT and CF_UNICODETEXT stand in
// for each other when only one was set.
HANDLE SetClipboardData(UINT format, HANDLE data);
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
UINT EnumClipboardFormats(UINT format);
HWND GetClipboardOwner();
HWND GetOpenClipboardWindow();
UINT RegisterClipboardFormatA(const char* name);
UINT RegisterClipboardFormatW(const WCHAR* name);
inline UINT RegisterClipboardFormat(const char* name) { return RegisterClipboardFormatA(name); }
int GetClipboardFormatNameA(UINT format, char* buffer, int size);

// Called after CloseClipboard when the contents changed.
void SetClipboardChangeListener(std::function<void()> listener);

}  // namespace win
