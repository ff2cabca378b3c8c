#pragma once
// Fonts and text output. Faces come from FreeType through fontconfig at 96
// DPI; the names programs ask for map to the fonts shipped with the system
// through one fixed substitution table.
#include <string>

#include "platform/win/Types.h"

namespace win {

inline constexpr int LF_FACESIZE = 32;

inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_THIN = 100;
inline constexpr LONG FW_LIGHT = 300;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_MEDIUM = 500;
inline constexpr LONG FW_SEMIBOLD = 600;
inline constexpr LONG FW_BOLD = 700;
inline constexpr LONG FW_HEAVY = 900;

inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE SYMBOL_CHARSET = 2;
inline constexpr BYTE OEM_CHARSET = 255;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE NONANTIALIASED_QUALITY = 3;
inline constexpr BYTE ANTIALIASED_QUALITY = 4;
inline constexpr BYTE CLEARTYPE_QUALITY = 5;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FIXED_PITCH = 1;
inline constexpr BYTE VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00;
inline constexpr BYTE FF_ROMAN = 0x10;
inline constexpr BYTE FF_SWISS = 0x20;
inline constexpr BYTE FF_MODERN = 0x30;

struct LOGFONTW {
  LONG lfHeight = 0;  // < 0: character height in pixels; > 0: cell height
  LONG lfWidth = 0;
  LONG lfEscapement = 0;   // tenths of a degree, counter-clockwise
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = DEFAULT_CHARSET;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  WCHAR lfFaceName[LF_FACESIZE] = {};
};
// The ANSI record: the face name in the ANSI code page.
struct LOGFONTA {
  LONG lfHeight = 0;
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = FW_NORMAL;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = DEFAULT_CHARSET;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};
};
using LOGFONT = LOGFONTA;

struct TEXTMETRICW {
  LONG tmHeight = 0;
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
  LONG tmOverhang = 0;
  LONG tmDigitizedAspectX = 96;
  LONG tmDigitizedAspectY = 96;
  WCHAR tmFirstChar = 0x20;
  WCHAR tmLastChar = 0xFFFC;
  WCHAR tmDefaultChar = 0x1F;
  WCHAR tmBreakChar = 0x20;
  BYTE tmItalic = 0;
  BYTE tmUnderlined = 0;
  BYTE tmStruckOut = 0;
  BYTE tmPitchAndFamily = 0;
  BYTE tmCharSet = 0;
};
using TEXTMETRIC = TEXTMETRICW;
using TEXTMETRICA = TEXTMETRICW;

HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontIndirectA(const LOGFONTA* font);
inline HFONT CreateFontIndirect(const LOGFONTA* font) { return CreateFontIndirectA(font); }
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const WCHAR* face);
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const char* face);
inline HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                        DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                        DWORD quality, DWORD pitchAndFamily, const char* face) {
  return CreateFontA(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                     outPrecision, clipPrecision, quality, pitchAndFamily, face);
}

// The font file a face name resolves to (after substitution), for tests
// and diagnostics.
std::string ResolveFontFile(const std::string& faceName, bool bold, bool italic);

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics);
inline BOOL GetTextMetricsA(HDC hdc, TEXTMETRICW* metrics) { return GetTextMetricsW(hdc, metrics); }
inline BOOL GetTextMetrics(HDC hdc, TEXTMETRICW* metrics) { return GetTextMetricsW(hdc, metrics); }
int GetTextFaceW(HDC hdc, int count, WCHAR* name);
int GetTextFaceA(HDC hdc, int count, char* name);

// Text in the A forms is in the ANSI code page; -1 lengths are not
// accepted by these (only by DrawText).
BOOL GetTextExtentPoint32W(HDC hdc, const WCHAR* text, int length, SIZE* size);
BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int length, SIZE* size);
inline BOOL GetTextExtentPoint32(HDC hdc, const char* text, int length, SIZE* size) {
  return GetTextExtentPoint32A(hdc, text, length, size);
}
// The older names measure the same way.
inline BOOL GetTextExtentPointW(HDC hdc, const WCHAR* text, int length, SIZE* size) {
  return GetTextExtentPoint32W(hdc, text, length, size);
}
inline BOOL GetTextExtentPointA(HDC hdc, const char* text, int length, SIZE* size) {
  return GetTextExtentPoint32A(hdc, text, length, size);
}
// How many characters fit in maxExtent (fit may be null), with the
// cumulative extents of each character (dx may be null).
BOOL GetTextExtentExPointW(HDC hdc, const WCHAR* text, int length, int maxExtent, int* fit, int* dx, SIZE* size);
BOOL GetCharWidth32W(HDC hdc, UINT first, UINT last, int* widths);

// Text alignment.
inline constexpr UINT TA_NOUPDATECP = 0;
inline constexpr UINT TA_UPDATECP = 1;
inline constexpr UINT TA_LEFT = 0;
inline constexpr UINT TA_RIGHT = 2;
inline constexpr UINT TA_CENTER = 6;
inline constexpr UINT TA_TOP = 0;
inline constexpr UINT TA_BOTTOM = 8;
inline constexpr UINT TA_BASELINE = 24;
inline constexpr UINT TA_RTLREADING = 256;
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
int SetTextCharacterExtra(HDC hdc, int extra);
int GetTextCharacterExtra(HDC hdc);

// ExtTextOut options.
inline constexpr UINT ETO_OPAQUE = 0x0002;
inline constexpr UINT ETO_CLIPPED = 0x0004;
inline constexpr UINT ETO_GLYPH_INDEX = 0x0010;
inline constexpr UINT ETO_RTLREADING = 0x0080;
inline constexpr UINT ETO_IGNORELANGUAGE = 0x1000;

BOOL TextOutW(HDC hdc, int x, int y, const WCHAR* text, int length);
BOOL TextOutA(HDC hdc, int x, int y, const char* text, int length);
inline BOOL TextOut(HDC hdc, int x, int y, const char* text, int length) { return TextOutA(hdc, x, y, text, length); }
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, const WCHAR* text, UINT length,
                 const INT* dx);
BOOL ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                 const INT* dx);
inline BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                       const INT* dx) {
  return ExtTextOutA(hdc, x, y, options, rect, text, length, dx);
}

// DrawText formats.
inline constexpr UINT DT_TOP = 0x00000000;
inline constexpr UINT DT_LEFT = 0x00000000;
inline constexpr UINT DT_CENTER = 0x00000001;
inline constexpr UINT DT_RIGHT = 0x00000002;
inline constexpr UINT DT_VCENTER = 0x00000004;
inline constexpr UINT DT_BOTTOM = 0x00000008;
inline constexpr UINT DT_WORDBREAK = 0x00000010;
inline constexpr UINT DT_SINGLELINE = 0x00000020;
inline constexpr UINT DT_EXPANDTABS = 0x00000040;
inline constexpr UINT DT_TABSTOP = 0x00000080;
inline constexpr UINT DT_NOCLIP = 0x00000100;
inline constexpr UINT DT_EXTERNALLEADING = 0x00000200;
inline constexpr UINT DT_CALCRECT = 0x00000400;
inline constexpr UINT DT_NOPREFIX = 0x00000800;
inline constexpr UINT DT_INTERNAL = 0x00001000;
inline constexpr UINT DT_EDITCONTROL = 0x00002000;
inline constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
inline constexpr UINT DT_END_ELLIPSIS = 0x00008000;
inline constexpr UINT DT_MODIFYSTRING = 0x00010000;
inline constexpr UINT DT_RTLREADING = 0x00020000;
inline constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
inline constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
inline constexpr UINT DT_HIDEPREFIX = 0x00100000;
inline constexpr UINT DT_PREFIXONLY = 0x00200000;

// Returns the height of the text drawn (or measured); with DT_CALCRECT the
// rectangle's right and bottom are set to the text's extent and nothing is
// drawn. A length of -1 means up to the terminating zero.
int DrawTextW(HDC hdc, const WCHAR* text, int length, RECT* rect, UINT format);
int DrawTextA(HDC hdc, const char* text, int length, RECT* rect, UINT format);
inline int DrawText(HDC hdc, const char* text, int length, RECT* rect, UINT format) {
  return DrawTextA(hdc, text, length, rect, format);
}

}  // namespace win
