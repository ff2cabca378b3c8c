#include "platform/rtl/StringUtils.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/rtl/Text.h"

namespace rtl {
namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool IsAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Unicode case mappings come from the C.UTF-8 locale, which every glibc
// system has; loaded once and never freed.
locale_t CaseLocale() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

char32_t MapCase(char32_t c, bool upper) {
  if (c < 0x80) return static_cast<char32_t>(upper ? AsciiUpper(static_cast<char>(c)) : AsciiLower(static_cast<char>(c)));
  const locale_t loc = CaseLocale();
  if (!loc) return c;
  const wint_t w = static_cast<wint_t>(c);
  return static_cast<char32_t>(upper ? towupper_l(w, loc) : towlower_l(w, loc));
}

// Walks UTF-16 as code points so that letters beyond the BMP map too.
template <typename F>
void ForEachCodePoint(const WideString& s, F f) {
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    f(c);
  }
}

void PushCodePoint(WideString& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

WideString MapWide(const WideString& s, bool upper) {
  WideString out;
  out.reserve(s.size());
  ForEachCodePoint(s, [&](char32_t c) { PushCodePoint(out, MapCase(c, upper)); });
  return out;
}

String MapAnsi(const String& s, bool upper) {
  if (IsAscii(s)) return upper ? UpperCase(s) : LowerCase(s);
  return WideToAnsi(MapWide(AnsiToWide(s), upper));
}

int Sign(int v) { return (v > 0) - (v < 0); }

int CompareWide(const WideString& a, const WideString& b) {
  // UTF-16 unit order differs from code-point order only for surrogates
  // against U+E000..U+FFFF; compare code points so that the order is the
  // same as for UTF-8 bytes.
  std::u32string ca, cb;
  ForEachCodePoint(a, [&](char32_t c) { ca.push_back(c); });
  ForEachCodePoint(b, [&](char32_t c) { cb.push_back(c); });
  const int r = ca.compare(cb);
  return Sign(r);
}

char32_t Fold(char32_t c) { return MapCase(MapCase(c, true), false); }

// Text as case-folded code points, with the byte offset in the ANSI text at
// which each starts (and one past the end), so that a match found among the
// code points can be cut out of the original bytes.
struct FoldedText {
  std::u32string points;
  std::vector<size_t> offsets;
};

FoldedText FoldText(std::string_view s) {
  FoldedText f;
  f.points.reserve(s.size());
  f.offsets.reserve(s.size() + 1);
  if (GetAnsiCodePage() == CP_UTF8) {
    size_t i = 0;
    while (i < s.size()) {
      f.offsets.push_back(i);
      f.points.push_back(Fold(DecodeUtf8(s, i)));
    }
  } else {
    // Each character converted back alone gives its byte length; undecodable
    // bytes came in as one U+FFFD each and go back as one '?'.
    size_t byte = 0;
    ForEachCodePoint(AnsiToWide(String(s)), [&](char32_t c) {
      f.offsets.push_back(byte);
      f.points.push_back(Fold(c));
      WideString one;
      PushCodePoint(one, c);
      byte += std::max<size_t>(WideToAnsi(one).size(), 1);
    });
    byte = std::min(byte, s.size());
    for (size_t& o : f.offsets) o = std::min(o, s.size());
  }
  f.offsets.push_back(s.size());
  return f;
}

std::u32string FoldedCodePoints(const String& s) { return FoldText(s).points; }

// A match as a byte range of the searched text.
struct Match {
  size_t at;
  size_t length;
};

// Finds `pattern` ignoring case in `s` at or after byte `from`. `text` is
// the folded form of `s`, built on first need and kept for later calls.
bool FindIgnoringCase(const String& s, const String& pattern, size_t from, Match& m,
                      std::optional<FoldedText>& text) {
  // In UTF-8 no byte of a multibyte character is ASCII, so an ASCII pattern
  // can be searched bytewise; other code pages reuse ASCII as trail bytes.
  if (IsAscii(pattern) && (GetAnsiCodePage() == CP_UTF8 || IsAscii(s))) {
    const auto it = std::search(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(), pattern.begin(),
                                pattern.end(), [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
    if (it == s.end()) return false;
    m = {static_cast<size_t>(it - s.begin()), pattern.size()};
    return true;
  }
  const std::u32string folded = FoldedCodePoints(pattern);
  if (folded.empty()) return false;
  if (!text) text = FoldText(s);
  const auto first = std::lower_bound(text->offsets.begin(), text->offsets.end() - 1, from);
  const size_t startPoint = static_cast<size_t>(first - text->offsets.begin());
  const size_t hit = text->points.find(folded, startPoint);
  if (hit == std::u32string::npos) return false;
  m = {text->offsets[hit], text->offsets[hit + folded.size()] - text->offsets[hit]};
  return true;
}

bool FindIgnoringCase(const String& s, const String& pattern, size_t from, Match& m) {
  std::optional<FoldedText> text;
  return FindIgnoringCase(s, pattern, from, m, text);
}

}  // namespace

String TrimLeft(const String& s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return s.substr(i);
}

String TrimRight(const String& s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return s.substr(0, n);
}

String Trim(const String& s) { return TrimLeft(TrimRight(s)); }

String UpperCase(const String& s) {
  String r(s);
  for (char& c : r) c = AsciiUpper(c);
  return r;
}

String LowerCase(const String& s) {
  String r(s);
  for (char& c : r) c = AsciiLower(c);
  return r;
}

String AnsiUpperCase(const String& s) { return MapAnsi(s, true); }
String AnsiLowerCase(const String& s) { return MapAnsi(s, false); }
WideString WideUpperCase(const WideString& s) { return MapWide(s, true); }
WideString WideLowerCase(const WideString& s) { return MapWide(s, false); }

int CompareStr(const String& a, const String& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
    if (d) return d;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

int CompareText(const String& a, const String& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int d = static_cast<unsigned char>(AsciiUpper(a[i])) - static_cast<unsigned char>(AsciiUpper(b[i]));
    if (d) return d;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameStr(const String& a, const String& b) { return a == b; }

bool SameText(const String& a, const String& b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareStr(const String& a, const String& b) {
  if (GetAnsiCodePage() == CP_UTF8 || (IsAscii(a) && IsAscii(b))) return Sign(CompareStr(a, b));
  return CompareWide(AnsiToWide(a), AnsiToWide(b));
}

int AnsiCompareText(const String& a, const String& b) {
  // Folding to lower case keeps '_' and the other signs between 'Z' and 'a'
  // before the letters, as they sort in the platform's text order.
  if (IsAscii(a) && IsAscii(b)) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      const int d = static_cast<unsigned char>(AsciiLower(a[i])) - static_cast<unsigned char>(AsciiLower(b[i]));
      if (d) return Sign(d);
    }
    return Sign(static_cast<int>(a.size()) - static_cast<int>(b.size()));
  }
  return Sign(FoldedCodePoints(a).compare(FoldedCodePoints(b)));
}

bool AnsiSameText(const String& a, const String& b) {
  if (a.size() == b.size() && CompareText(a, b) == 0) return true;
  if (IsAscii(a) && IsAscii(b)) return false;
  return AnsiCompareText(a, b) == 0;
}

bool AnsiSameStr(const String& a, const String& b) { return a == b; }

int WideCompareStr(const WideString& a, const WideString& b) { return CompareWide(a, b); }

int WideCompareText(const WideString& a, const WideString& b) {
  std::u32string fa, fb;
  ForEachCodePoint(a, [&](char32_t c) { fa.push_back(Fold(c)); });
  ForEachCodePoint(b, [&](char32_t c) { fb.push_back(Fold(c)); });
  return Sign(fa.compare(fb));
}

bool WideSameStr(const WideString& a, const WideString& b) { return a == b; }

bool WideSameText(const WideString& a, const WideString& b) { return a == b || WideCompareText(a, b) == 0; }

int Pos(std::string_view sub, std::string_view s, int offset) {
  if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size()) return 0;
  const size_t at = s.find(sub, static_cast<size_t>(offset - 1));
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

int AnsiPos(std::string_view sub, std::string_view s) { return Pos(sub, s); }

String Copy(std::string_view s, int index, int count) {
  if (count <= 0) return {};
  const size_t start = index < 1 ? 0 : static_cast<size_t>(index) - 1;
  if (start >= s.size()) return {};
  return String(s.substr(start, static_cast<size_t>(count)));
}

void Delete(String& s, int index, int count) {
  if (index < 1 || static_cast<size_t>(index) > s.size() || count <= 0) return;
  s.erase(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Insert(std::string_view source, String& s, int index) {
  size_t at = index < 1 ? 0 : static_cast<size_t>(index) - 1;
  at = std::min(at, s.size());
  s.insert(at, source);
}

String StringReplace(const String& s, const String& oldPattern, const String& newPattern,
                     TReplaceFlags flags) {
  if (oldPattern.empty()) return s;
  const bool all = flags.Contains(rfReplaceAll);
  const bool ignoreCase = flags.Contains(rfIgnoreCase);
  String out;
  size_t from = 0;
  std::optional<FoldedText> folded;
  while (from <= s.size()) {
    Match m{};
    bool found;
    if (ignoreCase) {
      found = FindIgnoringCase(s, oldPattern, from, m, folded);
    } else {
      const size_t at = s.find(oldPattern, from);
      found = at != String::npos;
      if (found) m = {at, oldPattern.size()};
    }
    if (!found || m.length == 0) break;
    out.append(s, from, m.at - from);
    out += newPattern;
    from = m.at + m.length;
    if (!all) break;
  }
  if (from < s.size()) out.append(s, from, String::npos);
  return out;
}

String ReplaceStr(const String& s, const String& from, const String& to) {
  return StringReplace(s, from, to, rfReplaceAll);
}

String ReplaceText(const String& s, const String& from, const String& to) {
  return StringReplace(s, from, to, rfReplaceAll | rfIgnoreCase);
}

String StringOfChar(char c, int count) { return count > 0 ? String(static_cast<size_t>(count), c) : String(); }

String DupeString(const String& s, int count) {
  String out;
  for (int i = 0; i < count; ++i) out += s;
  return out;
}

String LeftStr(const String& s, int count) { return count > 0 ? s.substr(0, static_cast<size_t>(count)) : String(); }

String RightStr(const String& s, int count) {
  if (count <= 0) return {};
  const size_t n = std::min(s.size(), static_cast<size_t>(count));
  return s.substr(s.size() - n);
}

String MidStr(const String& s, int start, int count) { return Copy(s, start, count); }

bool StartsStr(std::string_view prefix, std::string_view s) { return s.substr(0, prefix.size()) == prefix; }

bool EndsStr(std::string_view suffix, std::string_view s) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool ContainsStr(std::string_view s, std::string_view sub) { return s.find(sub) != std::string_view::npos; }

bool StartsText(const String& prefix, const String& s) {
  if (prefix.empty()) return true;
  Match m{};
  return FindIgnoringCase(s, prefix, 0, m) && m.at == 0;
}

bool EndsText(const String& suffix, const String& s) {
  if (suffix.empty()) return true;
  if (IsAscii(suffix) && IsAscii(s))
    return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
  const std::u32string fs = FoldedCodePoints(s), fx = FoldedCodePoints(suffix);
  return fs.size() >= fx.size() && fs.compare(fs.size() - fx.size(), fx.size(), fx) == 0;
}

bool ContainsText(const String& s, const String& sub) {
  if (sub.empty()) return true;
  Match m{};
  return FindIgnoringCase(s, sub, 0, m);
}

int LastDelimiter(std::string_view delimiters, std::string_view s) {
  const size_t at = s.find_last_of(delimiters);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

bool IsDelimiter(std::string_view delimiters, std::string_view s, int index) {
  if (index < 1 || static_cast<size_t>(index) > s.size()) return false;
  return delimiters.find(s[static_cast<size_t>(index) - 1]) != std::string_view::npos;
}

String AnsiQuotedStr(const String& s, char quote) {
  String out;
  out.reserve(s.size() + 2);
  out.push_back(quote);
  for (char c : s) {
    out.push_back(c);
    if (c == quote) out.push_back(quote);
  }
  out.push_back(quote);
  return out;
}

String QuotedStr(const String& s) { return AnsiQuotedStr(s, '\''); }

String AnsiDequotedStr(const String& s, char quote) {
  if (s.size() < 2 || s.front() != quote) return s;
  String out;
  size_t i = 1;
  while (i < s.size()) {
    if (s[i] == quote) {
      if (i + 1 < s.size() && s[i + 1] == quote) {
        out.push_back(quote);
        i += 2;
        continue;
      }
      return out;  // the closing quote; what follows it is dropped
    }
    out.push_back(s[i++]);
  }
  // No closing quote: the text was not quoted after all.
  return s;
}

String DequotedStr(const String& s) { return AnsiDequotedStr(s, '\''); }

String IntToHex(uint64_t value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  String out;
  do {
    out.push_back(kHex[value & 0xF]);
    value >>= 4;
  } while (value);
  while (static_cast<int>(out.size()) < digits) out.push_back('0');
  std::reverse(out.begin(), out.end());
  return out;
}

String IntToHex(uint32_t value, int digits) { return IntToHex(static_cast<uint64_t>(value), digits); }
String IntToHex(int32_t value, int digits) { return IntToHex(static_cast<uint64_t>(static_cast<uint32_t>(value)), digits); }
String IntToHex(int64_t value, int digits) { return IntToHex(static_cast<uint64_t>(value), digits); }

String AdjustLineBreaks(const String& s, std::string_view lineBreak) {
  String out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      const char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < s.size() && s[i + 1] == other) ++i;
      out += lineBreak;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace rtl
