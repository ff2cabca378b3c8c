#pragma once
// Number conversions and formatting with the class library's rules.
//
// Reals are written and read with the settings' decimal separator, which is
// '.' by default and does not follow the process locale, so files written on
// one machine read back on another.
//
// Rounding: FormatFloat, FloatToStrF, FloatToStr and Format's %f/%e/%g/%n
// round the exact binary value of the double to the digits shown, halves away
// from zero (0.125 -> "0.13", but 2.675, stored as 2.67499..., -> "2.67"); at
// most 18 significant digits come from the value, further ones are zeros.
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

#include "platform/rtl/Types.h"

namespace rtl {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '-';  // replaces '/' in date patterns
  char TimeSeparator = ':';  // replaces ':' in date patterns
  String ShortDateFormat = "yyyy/mm/dd";
  String LongDateFormat = "dddd, mmmm d, yyyy";
  String ShortTimeFormat = "hh:nn";
  String LongTimeFormat = "hh:nn:ss";
  String TimeAMString = "AM";
  String TimePMString = "PM";
  String ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  String LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
  String ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  String LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
};

// The process-wide settings the overloads without a settings argument use.
// Change them at start-up or in a test, not while other threads format.
TFormatSettings& FormatSettings();

// --- Integers -------------------------------------------------------------

String IntToStr(int32_t value);
String IntToStr(int64_t value);
String UIntToStr(uint64_t value);

// Accepts: leading spaces, an optional sign, then decimal digits or a
// hexadecimal number written "$1F", "0x1F" or "x1F". Nothing may follow,
// not even spaces; an empty text or a value out of range is an error.
// Raise EConvertError ("'abc' is not a valid integer value").
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t def);
int64_t StrToInt64Def(std::string_view s, int64_t def);
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);

// --- Reals -----------------------------------------------------------------

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber };

// Accepts leading and trailing spaces, an optional sign, digits with at most
// one decimal separator (".5" and "5." included) and an optional exponent
// ("1e3", "2.5E-2"). No thousand separators, no hexadecimal.
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& fs);
double StrToFloatDef(std::string_view s, double def);
double StrToFloatDef(std::string_view s, double def, const TFormatSettings& fs);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs);

// ffGeneral with 15 significant digits: "0.1", "1234.5", "1E20", "1.5E-7".
String FloatToStr(double value);
String FloatToStr(double value, const TFormatSettings& fs);
// ffGeneral: `precision` significant digits, trailing zeros dropped; fixed
//   notation while the integer digits fit the precision and |v| >= 1E-5,
//   else scientific with at least `digits` exponent digits.
// ffExponent: "d.dddE+dd" with `precision` digits and at least `digits`
//   exponent digits, the exponent always signed.
// ffFixed/ffNumber: `digits` decimals (0..18) after rounding to `precision`
//   significant digits; ffNumber groups thousands. A value whose integer part
//   has more digits than `precision` comes out as ffExponent.
// NaN and infinities give "NAN", "INF" and "-INF".
String FloatToStrF(double value, TFloatFormat format, int precision, int digits);
String FloatToStrF(double value, TFloatFormat format, int precision, int digits, const TFormatSettings& fs);

// Patterns of up to three sections "positive;negative;zero" built from
// '0' (a digit, always shown), '#' (a digit when significant), '.', ',' (group
// thousands), "E+"/"E-"/"e+"/"e-" followed by '0's (scientific), and literal
// text in '…' or "…" quotes; any other character is copied. An empty pattern
// formats like FloatToStr.
String FormatFloat(std::string_view pattern, double value);
String FormatFloat(std::string_view pattern, double value, const TFormatSettings& fs);

// --- Format ----------------------------------------------------------------

// One argument of Format, keeping what kind of value it was so that a
// mismatch with the format is detected instead of misread.
class FormatArg {
public:
  enum class Kind { Int32, Int64, UInt64, Float, Text, Pointer };

  FormatArg(int v) : kind_(Kind::Int32), i_(v) {}
  FormatArg(short v) : kind_(Kind::Int32), i_(v) {}
  FormatArg(long v) : kind_(sizeof(long) == 4 ? Kind::Int32 : Kind::Int64), i_(v) {}
  FormatArg(long long v) : kind_(Kind::Int64), i_(v) {}
  FormatArg(unsigned short v) : kind_(Kind::Int32), i_(v) {}
  // A Cardinal does not fit Integer; the class library passes it as Int64.
  FormatArg(unsigned v) : kind_(Kind::Int64), i_(v) {}
  FormatArg(unsigned long v) : kind_(Kind::UInt64), u_(v) {}
  FormatArg(unsigned long long v) : kind_(Kind::UInt64), u_(v) {}
  FormatArg(double v) : kind_(Kind::Float), d_(v) {}
  FormatArg(float v) : kind_(Kind::Float), d_(v) {}
  FormatArg(char c) : kind_(Kind::Text), own_(1, c) { s_ = own_; }
  FormatArg(const char* s) : kind_(Kind::Text), s_(s ? s : "") {}
  FormatArg(std::string_view s) : kind_(Kind::Text), s_(s) {}
  FormatArg(const String& s) : kind_(Kind::Text), s_(s) {}
  // A temporary string is kept, so an argument list may outlive it.
  FormatArg(String&& s) : kind_(Kind::Text), own_(std::move(s)) { s_ = own_; }
  FormatArg(const void* p) : kind_(Kind::Pointer), p_(p) {}
  FormatArg(bool) = delete;  // the class library has no format for it
  FormatArg(const FormatArg& o) : kind_(o.kind_), i_(o.i_), u_(o.u_), d_(o.d_), s_(o.s_), p_(o.p_), own_(o.own_) {
    if (kind_ == Kind::Text && !own_.empty()) s_ = own_;
  }
  FormatArg& operator=(const FormatArg&) = delete;

  Kind kind() const { return kind_; }
  int64_t AsInt() const { return i_; }
  uint64_t AsUInt() const { return u_; }
  double AsFloat() const { return d_; }
  std::string_view AsText() const { return s_; }
  const void* AsPointer() const { return p_; }

private:
  Kind kind_;
  int64_t i_ = 0;
  uint64_t u_ = 0;
  double d_ = 0;
  std::string_view s_;
  const void* p_ = nullptr;
  String own_;  // the text of a char or a temporary string
};

// Format("%s has %d files", {name, n}). Specifiers:
//   "%" [index ":"] ["-"] [width] ["." precision] type
// index, width and precision may be "*" (taken from the next argument, an
// integer). Types, in either case: d, u, x (upper-case hex; precision = at
// least that many digits), e, f, g, n (reals; precision as FloatToStrF), s
// (precision = at most that many characters), p (pointer as hex), and "%%"
// for a percent sign. Width pads with spaces, left-justified with "-".
// A missing argument, an argument of the wrong kind or a malformed specifier
// raises EConvertError naming the format.
String Format(std::string_view fmt, std::initializer_list<FormatArg> args);
String Format(std::string_view fmt, std::span<const FormatArg> args);
String Format(std::string_view fmt, std::initializer_list<FormatArg> args, const TFormatSettings& fs);

}  // namespace rtl
