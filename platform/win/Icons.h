#pragma once
// Icons and cursors as pictures: a colour bitmap with an AND mask (or an
// alpha channel), drawn masked; the stock icons; image loading from files.
#include "platform/win/Types.h"

namespace win {

struct ICONINFO {
  BOOL fIcon = TRUE;
  DWORD xHotspot = 0;
  DWORD yHotspot = 0;
  HBITMAP hbmMask = nullptr;   // monochrome; twice the height when there is no colour bitmap
  HBITMAP hbmColor = nullptr;
};

// The bitmaps are copied: the caller keeps and deletes its own.
HICON CreateIconIndirect(const ICONINFO* info);
// Fills `info` with new copies of the icon's bitmaps, which the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
BOOL DestroyIcon(HICON icon);
HICON CopyIcon(HICON icon);

inline constexpr UINT DI_MASK = 0x0001;
inline constexpr UINT DI_IMAGE = 0x0002;
inline constexpr UINT DI_NORMAL = 0x0003;
inline constexpr UINT DI_COMPAT = 0x0004;
inline constexpr UINT DI_DEFAULTSIZE = 0x0008;

// Pixels whose mask bit is 1 keep the destination (XOR-ed with the colour
// bitmap, as the platform's two-pass drawing does); 0 bits show the icon.
// A colour bitmap with any alpha is blended by its alpha instead.
// Width and height 0 mean the icon's own size (or the system icon size
// with DI_DEFAULTSIZE).
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH flickerFree, UINT flags);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);

// Stock icons by number (the IDI_ values).
inline constexpr uintptr_t IDI_APPLICATION = 32512;
inline constexpr uintptr_t IDI_HAND = 32513;
inline constexpr uintptr_t IDI_ERROR = IDI_HAND;
inline constexpr uintptr_t IDI_QUESTION = 32514;
inline constexpr uintptr_t IDI_EXCLAMATION = 32515;
inline constexpr uintptr_t IDI_WARNING = IDI_EXCLAMATION;
inline constexpr uintptr_t IDI_ASTERISK = 32516;
inline constexpr uintptr_t IDI_INFORMATION = IDI_ASTERISK;
inline constexpr uintptr_t IDI_WINLOGO = 32517;
// With a null instance and an IDI_ number (as MAKEINTRESOURCE gives it),
// one shared 32x32 icon per number; never destroyed.
HICON LoadIconA(HINSTANCE instance, const char* name);
inline HICON LoadIcon(HINSTANCE instance, const char* name) { return LoadIconA(instance, name); }
template <class T>
inline const char* MAKEINTRESOURCEA(T id) { return reinterpret_cast<const char*>(static_cast<uintptr_t>(id)); }

inline constexpr UINT IMAGE_BITMAP = 0;
inline constexpr UINT IMAGE_ICON = 1;
inline constexpr UINT IMAGE_CURSOR = 2;
inline constexpr UINT LR_DEFAULTCOLOR = 0x0000;
inline constexpr UINT LR_MONOCHROME = 0x0001;
inline constexpr UINT LR_LOADFROMFILE = 0x0010;
inline constexpr UINT LR_DEFAULTSIZE = 0x0040;
inline constexpr UINT LR_CREATEDIBSECTION = 0x2000;
inline constexpr UINT LR_COPYDELETEORG = 0x0008;
inline constexpr UINT LR_COPYFROMRESOURCE = 0x4000;
inline constexpr UINT LR_SHARED = 0x8000;

// Files only (LR_LOADFROMFILE): BMP for IMAGE_BITMAP (a DIB section of the
// file's depth with LR_CREATEDIBSECTION, else a 32-bit device bitmap, or
// a monochrome one for 1-bit files or LR_MONOCHROME); ICO/CUR for icons
// and cursors, choosing the entry closest to the size asked for (0: the
// system icon size with LR_DEFAULTSIZE, else the first entry's size).
HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags);
inline HANDLE LoadImage(HINSTANCE instance, const char* name, UINT type, int width, int height, UINT flags) {
  return LoadImageA(instance, name, type, width, height, flags);
}
// Copies a bitmap or an icon, resized when width or height is not 0.
HANDLE CopyImage(HANDLE image, UINT type, int width, int height, UINT flags);

}  // namespace win
