#pragma once
// String routines with the class library's semantics: positions are 1-based,
// out-of-range positions clamp instead of throwing, and the plain case routines
// touch only ASCII letters while the Ansi* ones follow the ANSI code page.
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "platform/rtl/Types.h"

namespace rtl {

// Blanks are every character up to and including ' ' (controls too).
String Trim(const String& s);
String TrimLeft(const String& s);
String TrimRight(const String& s);

String UpperCase(const String& s);  // 'a'..'z' only
String LowerCase(const String& s);  // 'A'..'Z' only
String AnsiUpperCase(const String& s);  // every letter of the ANSI code page
String AnsiLowerCase(const String& s);
WideString WideUpperCase(const WideString& s);
WideString WideLowerCase(const WideString& s);

// Ordinal comparisons: < 0, 0 or > 0. CompareText folds ASCII letters only.
int CompareStr(const String& a, const String& b);
int CompareText(const String& a, const String& b);
bool SameStr(const String& a, const String& b);
bool SameText(const String& a, const String& b);
// Case-insensitive for every letter of the ANSI code page; compares the
// case-folded code points (no language-specific collation).
int AnsiCompareText(const String& a, const String& b);
int AnsiCompareStr(const String& a, const String& b);
bool AnsiSameText(const String& a, const String& b);
bool AnsiSameStr(const String& a, const String& b);
// The same for UTF-16 text, in code-point order (surrogate pairs after the
// rest of the BMP, as in UTF-8).
int WideCompareStr(const WideString& a, const WideString& b);
int WideCompareText(const WideString& a, const WideString& b);
bool WideSameStr(const WideString& a, const WideString& b);
bool WideSameText(const WideString& a, const WideString& b);

// 1-based position of `sub` in `s` at or after `offset`; 0 when absent, when
// `sub` is empty or when `offset` is outside 1..Length(s).
int Pos(std::string_view sub, std::string_view s, int offset = 1);
inline int PosEx(std::string_view sub, std::string_view s, int offset = 1) { return Pos(sub, s, offset); }
int AnsiPos(std::string_view sub, std::string_view s);
// `count` characters from 1-based `index`; an index below 1 counts from the
// start, one past the end or a negative count gives "".
String Copy(std::string_view s, int index, int count);
// Removes `count` characters from 1-based `index`; nothing when the index is
// outside 1..Length(s).
void Delete(String& s, int index, int count);
// Inserts `source` before 1-based `index`, clamped to 1..Length(s)+1.
void Insert(std::string_view source, String& s, int index);

enum TReplaceFlag : uint8_t { rfReplaceAll = 1, rfIgnoreCase = 2 };
// A set of TReplaceFlag, written {rfReplaceAll, rfIgnoreCase} or with |.
class TReplaceFlags {
public:
  constexpr TReplaceFlags() = default;
  constexpr TReplaceFlags(TReplaceFlag f) : bits_(f) {}
  constexpr TReplaceFlags(std::initializer_list<TReplaceFlag> fs) {
    for (TReplaceFlag f : fs) bits_ |= f;
  }
  constexpr bool Contains(TReplaceFlag f) const { return (bits_ & f) != 0; }
  constexpr TReplaceFlags operator|(TReplaceFlags o) const { return TReplaceFlags(bits_ | o.bits_); }

private:
  constexpr explicit TReplaceFlags(unsigned bits) : bits_(static_cast<uint8_t>(bits)) {}
  uint8_t bits_ = 0;
};
constexpr TReplaceFlags operator|(TReplaceFlag a, TReplaceFlag b) { return TReplaceFlags(a) | b; }

// Replaces the first (or, with rfReplaceAll, every) occurrence; with
// rfIgnoreCase occurrences are found as AnsiSameText finds them. An empty
// pattern leaves `s` unchanged.
String StringReplace(const String& s, const String& oldPattern, const String& newPattern,
                     TReplaceFlags flags = {});
String ReplaceStr(const String& s, const String& from, const String& to);   // all, case-sensitive
String ReplaceText(const String& s, const String& from, const String& to);  // all, ignoring case

String StringOfChar(char c, int count);
String DupeString(const String& s, int count);
String LeftStr(const String& s, int count);
String RightStr(const String& s, int count);
String MidStr(const String& s, int start, int count);

bool StartsStr(std::string_view prefix, std::string_view s);
bool EndsStr(std::string_view suffix, std::string_view s);
bool ContainsStr(std::string_view s, std::string_view sub);
bool StartsText(const String& prefix, const String& s);  // ignoring case as AnsiSameText
bool EndsText(const String& suffix, const String& s);
bool ContainsText(const String& s, const String& sub);

// 1-based index of the last character of `s` that is one of `delimiters`; 0
// when none is.
int LastDelimiter(std::string_view delimiters, std::string_view s);
bool IsDelimiter(std::string_view delimiters, std::string_view s, int index);

// 'text' with every quote doubled.
String QuotedStr(const String& s);
String AnsiQuotedStr(const String& s, char quote);
// Undoes AnsiQuotedStr; text that is not enclosed in `quote` is returned as is.
String AnsiDequotedStr(const String& s, char quote);
String DequotedStr(const String& s);  // with '\''

// Upper-case hexadecimal with at least `digits` digits; a negative value shows
// its two's complement in 8 (32-bit) or 16 (64-bit) digits.
String IntToHex(int32_t value, int digits = 0);
String IntToHex(int64_t value, int digits = 0);
String IntToHex(uint32_t value, int digits = 0);
String IntToHex(uint64_t value, int digits = 0);

// Line breaks (CR, LF, CR LF, LF CR) rewritten as `lineBreak`.
String AdjustLineBreaks(const String& s, std::string_view lineBreak = "\r\n");

}  // namespace rtl
