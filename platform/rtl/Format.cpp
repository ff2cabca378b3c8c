#include "platform/rtl/Format.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Text.h"

namespace rtl {
namespace {

// A real as decimal digits: value = 0.d1d2d3... x 10^exponent. `digits` has
// no leading or trailing zeros; empty means zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
  bool IsZero() const { return digits.empty(); }
};

constexpr int kMaxDigits = 18;

void StripTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exponent = 0;
}

// Keeps the first `n` digits, rounding halves away from zero.
void KeepDigits(Decimal& d, int n) {
  if (n < 0 || d.IsZero()) {
    if (n < 0) d.digits.clear(), d.exponent = 0;
    return;
  }
  if (static_cast<size_t>(n) >= d.digits.size()) return;
  const bool up = d.digits[static_cast<size_t>(n)] >= '5';
  d.digits.resize(static_cast<size_t>(n));
  if (up) {
    int i = n - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    }
  }
  StripTrailingZeros(d);
}

void RoundToSignificant(Decimal& d, int n) { KeepDigits(d, std::max(n, 1)); }
void RoundToDecimals(Decimal& d, int decimals) { KeepDigits(d, d.exponent + decimals); }

// The exact binary value to 41 significant digits (glibc prints exactly),
// then cut to the 18 digits the class library works with.
Decimal ToDecimal(double v) {
  Decimal d;
  d.negative = std::signbit(v);
  if (v == 0) return d;
  char buf[80];
  std::snprintf(buf, sizeof buf, "%.40e", std::fabs(v));
  const char* e = std::strchr(buf, 'e');
  d.digits.push_back(buf[0]);
  d.digits.append(buf + 2, static_cast<size_t>(e - (buf + 2)));
  d.exponent = std::atoi(e + 1) + 1;
  StripTrailingZeros(d);
  KeepDigits(d, kMaxDigits);
  return d;
}

std::string PadLeft(std::string s, size_t width, char c) {
  if (s.size() < width) s.insert(0, width - s.size(), c);
  return s;
}

std::string ExponentText(int exp, int minDigits, bool alwaysSign) {
  std::string s;
  if (exp < 0) s = "-";
  else if (alwaysSign) s = "+";
  s += PadLeft(std::to_string(std::abs(exp)), static_cast<size_t>(std::clamp(minDigits, 0, 4)), '0');
  return s;
}

std::string Group(const std::string& intDigits, char sep) {
  std::string out;
  for (size_t i = 0; i < intDigits.size(); ++i) {
    if (i > 0 && (intDigits.size() - i) % 3 == 0) out.push_back(sep);
    out.push_back(intDigits[i]);
  }
  return out;
}

std::string IntegerDigits(const Decimal& d) {
  if (d.exponent <= 0) return "0";
  std::string s = d.digits.substr(0, static_cast<size_t>(d.exponent));
  s.resize(static_cast<size_t>(d.exponent), '0');
  return s;
}

std::string FractionDigits(const Decimal& d, int decimals) {
  std::string s;
  for (int i = 0; i < decimals; ++i) {
    const int idx = d.exponent + i;
    s.push_back(idx >= 0 && static_cast<size_t>(idx) < d.digits.size() ? d.digits[static_cast<size_t>(idx)] : '0');
  }
  return s;
}

std::string Sign(const Decimal& d) { return d.negative && !d.IsZero() ? "-" : ""; }

String ExponentForm(Decimal d, int precision, int expDigits, const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, kMaxDigits);
  RoundToSignificant(d, precision);
  std::string mant = d.digits;
  mant.resize(static_cast<size_t>(precision), '0');
  std::string out = Sign(d);
  out.push_back(mant[0]);
  if (precision > 1) {
    out.push_back(fs.DecimalSeparator);
    out.append(mant, 1);
  }
  out += "E" + ExponentText(d.IsZero() ? 0 : d.exponent - 1, expDigits, true);
  return out;
}

String GeneralForm(Decimal d, int precision, int expDigits, const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, kMaxDigits);
  RoundToSignificant(d, precision);
  if (d.IsZero()) return "0";
  std::string out = Sign(d);
  if (d.exponent > precision || d.exponent < -4) {
    out.push_back(d.digits[0]);
    if (d.digits.size() > 1) {
      out.push_back(fs.DecimalSeparator);
      out.append(d.digits, 1);
    }
    out += "E" + ExponentText(d.exponent - 1, expDigits, false);
    return out;
  }
  out += IntegerDigits(d);
  const int decimals = static_cast<int>(d.digits.size()) - d.exponent;
  if (decimals > 0) {
    out.push_back(fs.DecimalSeparator);
    out += FractionDigits(d, decimals);
  }
  return out;
}

String FixedForm(Decimal d, int precision, int decimals, bool grouped, const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, kMaxDigits);
  decimals = std::clamp(decimals, 0, kMaxDigits);
  RoundToSignificant(d, precision);
  RoundToDecimals(d, decimals);
  if (d.exponent > precision) return ExponentForm(d, precision, 0, fs);
  std::string out = Sign(d);
  const std::string ints = IntegerDigits(d);
  out += grouped ? Group(ints, fs.ThousandSeparator) : ints;
  if (decimals > 0) {
    out.push_back(fs.DecimalSeparator);
    out += FractionDigits(d, decimals);
  }
  return out;
}

const char* SpecialText(double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  return nullptr;
}

// --- FormatFloat -------------------------------------------------------------

// The parts of one section of a FormatFloat pattern.
struct Pattern {
  std::string_view text;
  int intPlaceholders = 0;
  int minIntDigits = 0;  // placeholders from the first '0' to the point
  int decPlaceholders = 0;
  int minDecDigits = 0;  // up to the last '0' after the point
  bool thousands = false;
  bool scientific = false;
  int expDigits = 0;
};

// Calls f(position, char) for each character outside quotes and skips quoted
// text; returns false from f to stop.
template <typename F>
void ScanPattern(std::string_view text, F f) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      const size_t close = text.find(c, i + 1);
      i = close == std::string_view::npos ? text.size() : close;
      continue;
    }
    if (!f(i, c)) return;
  }
}

Pattern ParsePattern(std::string_view text) {
  Pattern p;
  p.text = text;
  bool afterPoint = false;
  int firstZero = -1;
  ScanPattern(text, [&](size_t i, char c) {
    if (c == '0' || c == '#') {
      if (afterPoint) {
        ++p.decPlaceholders;
        if (c == '0') p.minDecDigits = p.decPlaceholders;
      } else {
        if (c == '0' && firstZero < 0) firstZero = p.intPlaceholders;
        ++p.intPlaceholders;
      }
    } else if (c == '.') {
      afterPoint = true;
    } else if (c == ',') {
      p.thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-')) {
      p.scientific = true;
      for (size_t j = i + 2; j < text.size() && text[j] == '0'; ++j) ++p.expDigits;
      return false;
    }
    return true;
  });
  if (firstZero >= 0) p.minIntDigits = p.intPlaceholders - firstZero;
  return p;
}

std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  ScanPattern(pattern, [&](size_t i, char c) {
    if (c == ';' && sections.size() < 2) {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
    return true;
  });
  sections.push_back(pattern.substr(start));
  if (sections.size() == 3) {
    // A third ';' ends the zero section.
    const std::string_view z = sections[2];
    size_t cut = z.size();
    ScanPattern(z, [&](size_t i, char c) {
      if (c == ';') { cut = i; return false; }
      return true;
    });
    sections[2] = z.substr(0, cut);
  }
  return sections;
}

// Rounds `value` as the pattern shows it.
Decimal RoundForPattern(double value, const Pattern& p) {
  Decimal d = ToDecimal(value);
  if (p.scientific) {
    RoundToSignificant(d, std::max(p.intPlaceholders, 1) + p.decPlaceholders);
  } else {
    RoundToDecimals(d, p.decPlaceholders);
  }
  return d;
}

String ApplyPattern(const Pattern& p, Decimal d, bool withSign, const TFormatSettings& fs) {
  std::string ints, fraction, expText;
  if (p.scientific) {
    const int intDigits = std::max(p.intPlaceholders, 1);
    std::string all = d.digits;
    all.resize(static_cast<size_t>(intDigits + p.decPlaceholders), '0');
    ints = all.substr(0, static_cast<size_t>(intDigits));
    fraction = all.substr(static_cast<size_t>(intDigits));
    const int exp = d.IsZero() ? 0 : d.exponent - intDigits;
    expText = ExponentText(exp, p.expDigits, false);
    if (exp >= 0 && !expText.empty()) expText.insert(0, "+");  // E+ decides below
  } else {
    ints = d.exponent > 0 ? IntegerDigits(d) : "";
    fraction = FractionDigits(d, p.decPlaceholders);
  }
  if (static_cast<int>(ints.size()) < p.minIntDigits) ints.insert(0, static_cast<size_t>(p.minIntDigits) - ints.size(), '0');
  while (static_cast<int>(fraction.size()) > p.minDecDigits && fraction.back() == '0') fraction.pop_back();

  std::string out = withSign && d.negative && !d.IsZero() ? "-" : "";
  const int n = static_cast<int>(ints.size());
  auto emitInt = [&](int idx) {  // digit `idx` of ints, with a separator after it
    out.push_back(ints[static_cast<size_t>(idx)]);
    const int fromRight = n - 1 - idx;
    if (p.thousands && !p.scientific && fromRight > 0 && fromRight % 3 == 0) out.push_back(fs.ThousandSeparator);
  };
  int intIdx = 0, decIdx = 0;
  bool afterPoint = false, pointSeen = false;
  const std::string_view t = p.text;
  for (size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '\'' || c == '"') {
      const size_t close = t.find(c, i + 1);
      const size_t end = close == std::string_view::npos ? t.size() : close;
      out.append(t.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '0' || c == '#') {
      if (!afterPoint) {
        if (intIdx == 0)
          for (int k = 0; k < n - p.intPlaceholders; ++k) emitInt(k);
        const int idx = n - (p.intPlaceholders - intIdx);
        if (idx >= 0) emitInt(idx);
        ++intIdx;
      } else {
        if (decIdx < static_cast<int>(fraction.size())) out.push_back(fraction[static_cast<size_t>(decIdx)]);
        ++decIdx;
      }
    } else if (c == '.') {
      if (pointSeen) continue;
      pointSeen = afterPoint = true;
      if (p.intPlaceholders == 0)
        for (int k = 0; k < n; ++k) emitInt(k);
      if (!fraction.empty()) out.push_back(fs.DecimalSeparator);
    } else if (c == ',') {
      // grouping is decided for the whole number
    } else if ((c == 'E' || c == 'e') && p.scientific && i + 1 < t.size() && (t[i + 1] == '+' || t[i + 1] == '-')) {
      out.push_back(c);
      const bool plus = t[i + 1] == '+';
      std::string e = expText;
      if (!plus && !e.empty() && e[0] == '+') e.erase(0, 1);
      out += e;
      i += 1;
      while (i + 1 < t.size() && t[i + 1] == '0') ++i;
      afterPoint = true;  // placeholders after the exponent are literal zeros
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// --- Integers ----------------------------------------------------------------

// Parses like the class library's Val: leading spaces, a sign, decimal or
// "$"/"0x"/"x" hexadecimal. Hexadecimal may use the full unsigned range of
// the type (so "$FFFFFFFF" is -1 as a 32-bit value).
bool ParseInteger(std::string_view s, int64_t& out, bool is32) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  bool hex = false;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  const uint64_t limit = hex ? (is32 ? 0xFFFFFFFFull : std::numeric_limits<uint64_t>::max())
                             : (is32 ? 0x80000000ull : 0x8000000000000000ull);
  const unsigned base = hex ? 16 : 10;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    unsigned digit;
    if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
    else if (hex && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
    else if (hex && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
    else return false;
    if (v > (limit - digit) / base) return false;
    v = v * base + digit;
  }
  if (hex) {
    const int64_t asSigned = is32 ? static_cast<int32_t>(static_cast<uint32_t>(v)) : static_cast<int64_t>(v);
    out = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(asSigned)) : asSigned;
    if (is32) out = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(out)));
    return true;
  }
  if (!negative && v == limit) return false;  // one past the maximum
  out = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

[[noreturn]] void ThrowInvalidInteger(std::string_view s) {
  throw EConvertError("'" + String(s) + "' is not a valid integer value");
}

[[noreturn]] void ThrowInvalidFloat(std::string_view s) {
  throw EConvertError("'" + String(s) + "' is not a valid floating point value");
}

locale_t CLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// --- Format ------------------------------------------------------------------

class Formatter {
public:
  Formatter(std::string_view fmt, std::span<const FormatArg> args, const TFormatSettings& fs)
      : fmt_(fmt), args_(args), fs_(fs) {}

  String Run() {
    String out;
    out.reserve(fmt_.size() + 16);
    size_t i = 0;
    while (i < fmt_.size()) {
      const size_t pct = fmt_.find('%', i);
      if (pct == std::string_view::npos) {
        out.append(fmt_.substr(i));
        break;
      }
      out.append(fmt_.substr(i, pct - i));
      i = pct + 1;
      if (i < fmt_.size() && fmt_[i] == '%') {
        out.push_back('%');
        ++i;
        continue;
      }
      i = Spec(i, out);
    }
    return out;
  }

private:
  static constexpr int kMaxField = 1 << 16;

  [[noreturn]] void Invalid() const {
    throw EConvertError("Format '" + String(fmt_) + "' invalid or incompatible with argument");
  }

  const FormatArg& Next() {
    if (next_ >= args_.size()) throw EConvertError("No argument for format '" + String(fmt_) + "'");
    return args_[next_++];
  }

  // A number or "*" at `i`; -1 when there is neither.
  int Number(size_t& i) {
    if (i < fmt_.size() && fmt_[i] == '*') {
      ++i;
      const FormatArg& a = Next();
      if (a.kind() != FormatArg::Kind::Int32 && a.kind() != FormatArg::Kind::Int64) Invalid();
      if (a.AsInt() > kMaxField || a.AsInt() < -kMaxField) Invalid();
      return static_cast<int>(a.AsInt());
    }
    if (i >= fmt_.size() || fmt_[i] < '0' || fmt_[i] > '9') return -1;
    int v = 0;
    while (i < fmt_.size() && fmt_[i] >= '0' && fmt_[i] <= '9') {
      v = v * 10 + (fmt_[i++] - '0');
      if (v > kMaxField) Invalid();  // a width no text needs; refuse rather than allocate
    }
    return v;
  }

  size_t Spec(size_t i, String& out) {
    // An index ("%1:s" or "%*:s") moves the argument pointer.
    size_t j = i;
    while (j < fmt_.size() && fmt_[j] >= '0' && fmt_[j] <= '9') ++j;
    if (j > i && j < fmt_.size() && fmt_[j] == ':') {
      next_ = static_cast<size_t>(Number(i));
      ++i;
    } else if (i + 1 < fmt_.size() && fmt_[i] == '*' && fmt_[i + 1] == ':') {
      const int index = Number(i);
      if (index < 0) Invalid();
      next_ = static_cast<size_t>(index);
      ++i;
    }
    bool left = false;
    if (i < fmt_.size() && fmt_[i] == '-') {
      left = true;
      ++i;
    }
    int width = Number(i);
    int precision = -1;
    if (width < -1) {  // a negative "*" width justifies left
      left = true;
      width = -width;
    }
    if (i < fmt_.size() && fmt_[i] == '.') {
      ++i;
      precision = Number(i);
      if (precision < 0) precision = fmt_[i - 1] == '*' ? -1 : 0;
    }
    if (i >= fmt_.size()) Invalid();
    const char type = static_cast<char>(fmt_[i] | 0x20);
    ++i;
    String text = Convert(type, precision);
    const size_t shown = VisibleLength(text);
    if (width > 0 && shown < static_cast<size_t>(width)) {
      const size_t pad = static_cast<size_t>(width) - shown;
      if (left) text.append(pad, ' ');
      else text.insert(0, pad, ' ');
    }
    out += text;
    return i;
  }

  static size_t VisibleLength(const String& s) {
    if (GetAnsiCodePage() != CP_UTF8) return s.size();
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  }

  // Cuts text to `count` characters without splitting a UTF-8 sequence.
  static String Truncate(std::string_view s, int count) {
    if (count < 0 || static_cast<size_t>(count) >= s.size()) return String(s);
    if (GetAnsiCodePage() != CP_UTF8) return String(s.substr(0, static_cast<size_t>(count)));
    size_t i = 0;
    for (int k = 0; k < count && i < s.size(); ++k) {
      ++i;
      while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return String(s.substr(0, i));
  }

  static String WithMinDigits(String digits, int precision) {
    if (precision > 0 && digits.size() < static_cast<size_t>(precision))
      digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    return digits;
  }

  static String Hex(uint64_t v) {
    char buf[20];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
    String s(buf, r.ptr);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }

  String Convert(char type, int precision) {
    const FormatArg& a = Next();
    using K = FormatArg::Kind;
    const bool integer = a.kind() == K::Int32 || a.kind() == K::Int64 || a.kind() == K::UInt64;
    switch (type) {
      case 'd': {
        if (!integer) Invalid();
        if (a.kind() == K::UInt64) return WithMinDigits(std::to_string(a.AsUInt()), precision);
        const int64_t v = a.AsInt();
        const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        return (v < 0 ? "-" : "") + WithMinDigits(std::to_string(mag), precision);
      }
      case 'u': {
        if (!integer) Invalid();
        uint64_t v = a.kind() == K::UInt64 ? a.AsUInt() : static_cast<uint64_t>(a.AsInt());
        if (a.kind() == K::Int32) v = static_cast<uint32_t>(v);
        return WithMinDigits(std::to_string(v), precision);
      }
      case 'x': {
        if (!integer) Invalid();
        uint64_t v = a.kind() == K::UInt64 ? a.AsUInt() : static_cast<uint64_t>(a.AsInt());
        if (a.kind() == K::Int32) v = static_cast<uint32_t>(v);
        return WithMinDigits(Hex(v), precision);
      }
      case 'e': case 'f': case 'g': case 'n': {
        if (a.kind() != K::Float) Invalid();
        const double v = a.AsFloat();
        if (const char* special = SpecialText(v)) return special;
        switch (type) {
          case 'e': return ExponentForm(ToDecimal(v), precision < 0 ? 15 : precision, 3, fs_);
          case 'g': return GeneralForm(ToDecimal(v), precision < 0 ? 15 : precision, 0, fs_);
          default: return FixedForm(ToDecimal(v), kMaxDigits, precision < 0 ? 2 : precision, type == 'n', fs_);
        }
      }
      case 's':
        if (a.kind() != K::Text) Invalid();
        return Truncate(a.AsText(), precision);
      case 'p': {
        if (a.kind() != K::Pointer) Invalid();
        return WithMinDigits(Hex(reinterpret_cast<uintptr_t>(a.AsPointer())), static_cast<int>(sizeof(void*) * 2));
      }
      default:
        Invalid();
    }
  }

  std::string_view fmt_;
  std::span<const FormatArg> args_;
  const TFormatSettings& fs_;
  size_t next_ = 0;
};

}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

String IntToStr(int32_t value) { return std::to_string(value); }
String IntToStr(int64_t value) { return std::to_string(value); }
String UIntToStr(uint64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view s, int32_t& value) {
  int64_t v;
  if (!ParseInteger(s, v, true)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool TryStrToInt64(std::string_view s, int64_t& value) { return ParseInteger(s, value, false); }

int32_t StrToInt(std::string_view s) {
  int32_t v;
  if (!TryStrToInt(s, v)) ThrowInvalidInteger(s);
  return v;
}

int64_t StrToInt64(std::string_view s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) ThrowInvalidInteger(s);
  return v;
}

int32_t StrToIntDef(std::string_view s, int32_t def) {
  int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  std::string c;  // the number rewritten with '.' for the C locale
  size_t i = b;
  if (i < e && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
  int mantissaDigits = 0;
  bool point = false;
  for (; i < e; ++i) {
    const char ch = s[i];
    if (ch >= '0' && ch <= '9') {
      c.push_back(ch);
      ++mantissaDigits;
    } else if (ch == fs.DecimalSeparator && !point) {
      c.push_back('.');
      point = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    c.push_back('e');
    ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
    int expDigits = 0;
    for (; i < e && s[i] >= '0' && s[i] <= '9'; ++i, ++expDigits) c.push_back(s[i]);
    if (expDigits == 0) return false;
  }
  if (i != e) return false;
  errno = 0;
  char* end = nullptr;
  const double v = strtod_l(c.c_str(), &end, CLocale());
  if (end != c.c_str() + c.size()) return false;
  if (errno == ERANGE && std::isinf(v)) return false;  // overflow; underflow gives 0
  value = v;
  return true;
}

bool TryStrToFloat(std::string_view s, double& value) { return TryStrToFloat(s, value, FormatSettings()); }

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
  double v;
  if (!TryStrToFloat(s, v, fs)) ThrowInvalidFloat(s);
  return v;
}

double StrToFloat(std::string_view s) { return StrToFloat(s, FormatSettings()); }

double StrToFloatDef(std::string_view s, double def, const TFormatSettings& fs) {
  double v;
  return TryStrToFloat(s, v, fs) ? v : def;
}

double StrToFloatDef(std::string_view s, double def) { return StrToFloatDef(s, def, FormatSettings()); }

String FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs) {
  if (const char* special = SpecialText(value)) return special;
  const Decimal d = ToDecimal(value);
  switch (format) {
    case ffGeneral: return GeneralForm(d, precision, digits, fs);
    case ffExponent: return ExponentForm(d, precision, digits, fs);
    case ffFixed: return FixedForm(d, precision, digits, false, fs);
    case ffNumber: return FixedForm(d, precision, digits, true, fs);
  }
  return GeneralForm(d, precision, digits, fs);
}

String FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings());
}

String FloatToStr(double value, const TFormatSettings& fs) { return FloatToStrF(value, ffGeneral, 15, 0, fs); }
String FloatToStr(double value) { return FloatToStr(value, FormatSettings()); }

String FormatFloat(std::string_view pattern, double value, const TFormatSettings& fs) {
  if (const char* special = SpecialText(value)) return special;
  const std::vector<std::string_view> sections = SplitSections(pattern);
  if (sections[0].empty() && sections.size() == 1) return FloatToStr(value, fs);

  const bool negative = value < 0;
  size_t chosen = 0;
  if (negative && sections.size() >= 2 && !sections[1].empty()) chosen = 1;
  if (sections[chosen].empty()) return FloatToStr(value, fs);
  Pattern p = ParsePattern(sections[chosen]);
  Decimal d = RoundForPattern(chosen == 1 ? -value : value, p);
  if (!p.scientific && d.exponent > kMaxDigits) return FloatToStr(value, fs);
  if (d.IsZero() && sections.size() == 3 && !sections[2].empty()) {
    p = ParsePattern(sections[2]);
    d = Decimal{};
  }
  return ApplyPattern(p, d, chosen == 0, fs);
}

String FormatFloat(std::string_view pattern, double value) { return FormatFloat(pattern, value, FormatSettings()); }

String Format(std::string_view fmt, std::span<const FormatArg> args) {
  return Formatter(fmt, args, FormatSettings()).Run();
}

String Format(std::string_view fmt, std::initializer_list<FormatArg> args) {
  return Formatter(fmt, std::span<const FormatArg>(args.begin(), args.size()), FormatSettings()).Run();
}

String Format(std::string_view fmt, std::initializer_list<FormatArg> args, const TFormatSettings& fs) {
  return Formatter(fmt, std::span<const FormatArg>(args.begin(), args.size()), fs).Run();
}

}  // namespace rtl
