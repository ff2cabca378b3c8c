#pragma once
// Text encodings: the process's ANSI code page, UTF-8 and UTF-16, and the
// bytes of text files. Every conversion is total: bytes that do not decode
// become U+FFFD, characters the target code page lacks become '?', and no
// conversion ever throws for its input.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/rtl/Types.h"

namespace rtl {

inline constexpr uint32_t CP_UTF8 = 65001;
inline constexpr uint32_t CP_UTF16LE = 1200;
inline constexpr uint32_t CP_UTF16BE = 1201;
inline constexpr uint32_t CP_WINDOWS_1252 = 1252;

// Sets the code page that String holds. Throws EArgumentError for a code page
// the system cannot convert. Meant to be set at start-up (or by a test),
// not while other threads convert text.
void SetAnsiCodePage(uint32_t cp);
uint32_t GetAnsiCodePage();  // 65001 unless set
// True when text can be converted to and from `cp`.
bool IsCodePageSupported(uint32_t cp);

// Conversions between any supported code page and UTF-16. Undefined bytes of
// Windows-1252 map to the C1 controls of the same value, as that code page's
// own table does.
WideString CodePageToWide(uint32_t cp, std::string_view bytes);
std::string WideToCodePage(uint32_t cp, const WideString& text);

WideString AnsiToWide(const String& text);
String WideToAnsi(const WideString& text);
std::string AnsiToUtf8(const String& text);
String Utf8ToAnsi(std::string_view utf8);
WideString Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(const WideString& text);
bool IsValidUtf8(std::string_view bytes);

// Reads the bytes of a text file: a UTF-8 or UTF-16 (LE or BE) byte-order mark
// is honoured and dropped; without one, valid UTF-8 is read as UTF-8 and
// anything else as Windows-1252. The result is in the ANSI code page.
String TextFileBytesToString(std::string_view bytes);
// The bytes a text file is written with: UTF-8 without a byte-order mark.
std::string StringToTextFileBytes(const String& text);

// Decodes the code point at `pos` and moves `pos` past it. An ill-formed
// sequence gives U+FFFD and moves past its longest valid prefix (at least one
// byte), so one bad byte never swallows the text behind it.
char32_t DecodeUtf8(std::string_view s, size_t& pos);

// Appends the UTF-8 form of one code point (U+FFFD for a surrogate or a value
// past U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace rtl
