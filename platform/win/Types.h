#pragma once
// Scalar types, handles and geometry records of the window system. Handles
// are opaque pointers whose value is an id into a handle table (see
// HandleTable.h): they compare, hash and travel through WPARAM/LPARAM like
// the platform's, but are never dereferenced.
#include <cstdint>

namespace win {

using BOOL = int32_t;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using INT = int32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using UINT_PTR = uintptr_t;
using ATOM = uint16_t;
using COLORREF = uint32_t;
using WCHAR = char16_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

#define VORIX_DECLARE_HANDLE(name) \
  struct name##__;                 \
  using name = name##__*

VORIX_DECLARE_HANDLE(HWND);
VORIX_DECLARE_HANDLE(HDC);
VORIX_DECLARE_HANDLE(HBITMAP);
VORIX_DECLARE_HANDLE(HPEN);
VORIX_DECLARE_HANDLE(HBRUSH);
VORIX_DECLARE_HANDLE(HFONT);
VORIX_DECLARE_HANDLE(HRGN);
VORIX_DECLARE_HANDLE(HPALETTE);
VORIX_DECLARE_HANDLE(HICON);
VORIX_DECLARE_HANDLE(HMENU);
VORIX_DECLARE_HANDLE(HMONITOR);
VORIX_DECLARE_HANDLE(HINSTANCE);
#undef VORIX_DECLARE_HANDLE
using HCURSOR = HICON;
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;
using HANDLE = void*;

// The numeric value of a handle, as it travels in message parameters.
template <class H>
inline uintptr_t HandleToValue(H h) { return reinterpret_cast<uintptr_t>(h); }
template <class H>
inline H ValueToHandle(uintptr_t v) { return reinterpret_cast<H>(v); }

struct POINT {
  LONG x = 0;
  LONG y = 0;
  friend bool operator==(const POINT&, const POINT&) = default;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
  friend bool operator==(const SIZE&, const SIZE&) = default;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  friend bool operator==(const RECT&, const RECT&) = default;
};

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

constexpr WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr LONG MAKELONG(WORD lo, WORD hi) { return static_cast<LONG>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16)); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
// Signed coordinates packed in an LPARAM, as mouse messages carry them.
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lp))); }

}  // namespace win
