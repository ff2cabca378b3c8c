#pragma once
// Conversions between wide strings and 8-bit text (UTF-7 after RFC 2152,
// UTF-8, any code page), the library's code page and the keyboard's, wide
// resource strings and the wide command line.
#include <cstdint>

#include "platform/rtl/Types.h"
#include "platform/win/Kernel.h"

namespace controls {

using rtl::String;
using rtl::WideString;
using WideChar = char16_t;

inline constexpr uint32_t CP_UTF7 = 65000;
inline constexpr uint32_t CP_UTF8 = 65001;

// Fixed at the library's start: the thread's ANSI code page on a Unicode
// platform of generation 5 or later, else the locale's ANSI code page.
uint32_t LibraryCodePage();
uint32_t LocaleAnsiCodePage(win::LCID locale);
uint32_t KeyboardCodePage();
WideChar KeyCodeToWide(uint16_t code);
void SwapWideBytes(WideChar* text);

// Results of the UTF-7 block routines.
inline constexpr int kUtf7Done = 0;
inline constexpr int kUtf7Malformed = 1;
inline constexpr int kUtf7TargetFull = 2;

int Utf7Encode(const WideChar*& source, const WideChar* sourceEnd, char*& target, const char* targetEnd,
               bool verbose, bool optionalDirect);
int Utf7Decode(const char*& source, const char* sourceEnd, WideChar*& target, const WideChar* targetEnd);

// Raises EUcInternalError "Buffer overflow" should the target run out.
String WideToUtf7Text(const WideString& text);
// Raises EUcGeneralError "Invalid UTF7" for malformed input.
WideString Utf7TextToWide(const String& text);
// Each unit of a pair of surrogates is encoded as part of its character;
// a lone surrogate is encoded as a unit of its own (three bytes).
String WideToUtf8Text(const WideString& text);
// A sequence cut off by the end, or a continuation byte out of range, gives
// an empty result.
WideString Utf8TextToWide(const String& text);
// The same decoding, but each malformed sequence becomes U+FFFD and the
// text around it is kept (for whole files).
WideString Utf8TextToWideLenient(const String& text);
WideString CodePageTextToWide(const String& text, uint32_t codePage);
String WideToCodePageText(const WideString& text, uint32_t codePage);

// A resource string: an identifier in a module's string tables, or (for an
// identifier of 65536 and above) the address of an 8-bit text.
struct TResStringRec {
  win::HINSTANCE* Module = nullptr;
  uintptr_t Identifier = 0;
};
WideString LoadWideResourceString(const TResStringRec* rec);

// The parameter `index` of the program's command line; 0 is the program's
// path, an index past the last parameter gives "".
WideString WideCommandLineParam(int32_t index);
// Parses one parameter starting at `pos`; returns it and leaves `pos` where
// parsing stopped. A parameter is cut after kMaxWideParam units; the rest of
// it is skipped.
inline constexpr size_t kMaxWideParam = 4096;
WideString NextWideParam(const WideChar*& pos);

}  // namespace controls
