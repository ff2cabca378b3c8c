#include "platform/rtl/DateUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/Exceptions.h"

namespace rtl {
namespace {

struct Civil {
  int64_t year;
  unsigned month;
  unsigned day;
};

// The inverse of detail::DaysFromCivil: the proleptic Gregorian date of a
// day counted from 1970-01-01.
Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

// A moment split into a day number (TDateTime's) and milliseconds into the
// day, after rounding to the nearest millisecond.
struct Stamp {
  int64_t day;
  int32_t msec;
};

Stamp ToStamp(TDateTime dt) {
  double total = std::nearbyint(dt * MSecsPerDay);
  if (!std::isfinite(total)) total = 0;  // NaN or infinity: day 0 rather than an undefined cast
  // Far outside any calendar; clamp rather than overflow the conversion.
  const double limit = 9.0e15;
  const auto ms = static_cast<int64_t>(std::clamp(total, -limit, limit));
  return {ms / MSecsPerDay, static_cast<int32_t>(std::llabs(ms % MSecsPerDay))};
}

TDateTime FromStamp(int64_t day, int64_t msec) {
  const double time = static_cast<double>(msec) / MSecsPerDay;
  return day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
}

// Milliseconds on one straight time line. TDateTime is not one: before day 0
// the fraction still counts forward from midnight, so -1.25 is 06:00 of day -1.
int64_t LinearMs(TDateTime dt) {
  const Stamp s = ToStamp(dt);
  return s.day * MSecsPerDay + s.msec;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

struct Parts {
  int year, month, day, hour, min, sec, msec, dayOfWeek;
};

Parts Split(TDateTime dt) {
  const Stamp s = ToStamp(dt);
  const Civil c = CivilFromDays(s.day - detail::kDateDelta);
  Parts p{};
  p.year = static_cast<int>(c.year);
  p.month = static_cast<int>(c.month);
  p.day = static_cast<int>(c.day);
  p.hour = s.msec / 3600000;
  p.min = s.msec / 60000 % 60;
  p.sec = s.msec / 1000 % 60;
  p.msec = s.msec % 1000;
  p.dayOfWeek = static_cast<int>(((s.day % 7) + 7 + 6) % 7) + 1;  // day 0 was a Saturday
  return p;
}

String Two(int v) {
  String s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

String Pad(int v, size_t width) {
  String s = std::to_string(v);
  if (s.size() < width) s.insert(0, width - s.size(), '0');
  return s;
}

bool StartsNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    const char a = text[at + i], b = word[i];
    if ((a | 0x20) != (b | 0x20)) return false;
  }
  return true;
}

// Looks past `from` for an am/pm marker, which turns earlier hours into the
// 12-hour clock.
bool HasAmPmAfter(std::string_view f, size_t from) {
  for (size_t i = from; i < f.size(); ++i) {
    const char c = f[i];
    if (c == '\'' || c == '"') {
      const size_t close = f.find(c, i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (StartsNoCase(f, i, "am/pm") || StartsNoCase(f, i, "a/p") || StartsNoCase(f, i, "ampm")) {
      return true;
    }
  }
  return false;
}

size_t RunLength(std::string_view f, size_t i) {
  const char c = static_cast<char>(f[i] | 0x20);
  size_t n = 1;
  while (i + n < f.size() && static_cast<char>(f[i + n] | 0x20) == c) ++n;
  return n;
}

void FormatInto(String& out, std::string_view f, const Parts& p, const TFormatSettings& fs, int depth) {
  if (depth > 2) return;  // settings that refer to themselves
  bool afterHour = false;
  for (size_t i = 0; i < f.size();) {
    const char raw = f[i];
    const char c = static_cast<char>(raw | 0x20);
    if (raw == '\'' || raw == '"') {
      const size_t close = f.find(raw, i + 1);
      const size_t end = close == std::string_view::npos ? f.size() : close;
      out.append(f.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (raw == '/') { out.push_back(fs.DateSeparator); ++i; continue; }
    if (raw == ':') { out.push_back(fs.TimeSeparator); ++i; continue; }
    if (StartsNoCase(f, i, "am/pm")) {
      const bool upper = raw == 'A';
      out += p.hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
      afterHour = false;
      continue;
    }
    if (StartsNoCase(f, i, "a/p")) {
      const bool upper = raw == 'A';
      out.push_back(p.hour < 12 ? (upper ? 'A' : 'a') : (upper ? 'P' : 'p'));
      i += 3;
      afterHour = false;
      continue;
    }
    if (StartsNoCase(f, i, "ampm")) {
      out += p.hour < 12 ? fs.TimeAMString : fs.TimePMString;
      i += 4;
      afterHour = false;
      continue;
    }
    const size_t n = (c >= 'a' && c <= 'z') ? RunLength(f, i) : 1;
    bool token = true;
    switch (c) {
      case 'y':
        out += n <= 2 ? Two(p.year % 100) : Pad(p.year, 4);
        break;
      case 'm':
        if (afterHour && n <= 2) {
          out += n == 1 ? std::to_string(p.min) : Two(p.min);
        } else if (n == 1) {
          out += std::to_string(p.month);
        } else if (n == 2) {
          out += Two(p.month);
        } else if (n == 3) {
          out += fs.ShortMonthNames[p.month - 1];
        } else {
          out += fs.LongMonthNames[p.month - 1];
        }
        break;
      case 'd':
        switch (n) {
          case 1: out += std::to_string(p.day); break;
          case 2: out += Two(p.day); break;
          case 3: out += fs.ShortDayNames[p.dayOfWeek - 1]; break;
          case 4: out += fs.LongDayNames[p.dayOfWeek - 1]; break;
          case 5: FormatInto(out, fs.ShortDateFormat, p, fs, depth + 1); break;
          default: FormatInto(out, fs.LongDateFormat, p, fs, depth + 1); break;
        }
        break;
      case 'h': {
        int h = p.hour;
        if (HasAmPmAfter(f, i + n)) {
          h %= 12;
          if (h == 0) h = 12;
        }
        out += n == 1 ? std::to_string(h) : Two(h);
        break;
      }
      case 'n': out += n == 1 ? std::to_string(p.min) : Two(p.min); break;
      case 's': out += n == 1 ? std::to_string(p.sec) : Two(p.sec); break;
      case 'z': out += n < 3 ? std::to_string(p.msec) : Pad(p.msec, 3); break;
      case 't':
        FormatInto(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
        break;
      case 'c':
        FormatInto(out, fs.ShortDateFormat, p, fs, depth + 1);
        if (p.hour || p.min || p.sec || p.msec) {
          out.push_back(' ');
          FormatInto(out, fs.LongTimeFormat, p, fs, depth + 1);
        }
        break;
      default:
        token = false;
        out.append(f.substr(i, n));
        break;
    }
    // Long runs of a letter are single tokens, except for y and m/d whose
    // run length chose the form above; a run longer than any form of h, n,
    // s or z repeats it, as "hhhh" is "hh" twice.
    if (token) afterHour = c == 'h';
    if (token && (c == 'h' || c == 'n' || c == 's') && n > 2) {
      i += 2;
      continue;
    }
    if (token && c == 'z' && n > 3) {
      i += 3;
      continue;
    }
    if (token && c == 't' && n > 2) {
      i += 2;
      continue;
    }
    if (token && c == 'm' && n > 4) {
      i += 4;
      continue;
    }
    if (token && c == 'd' && n > 6) {
      i += 6;
      continue;
    }
    i += n;
  }
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInAMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInAMonth(year, month))
    return false;
  result = static_cast<double>(detail::DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                               detail::kDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
  result = static_cast<double>(((hour * 60 + min) * 60 + sec) * 1000 + msec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r;
  if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
  return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime r;
  if (!TryEncodeTime(hour, min, sec, msec, r)) throw EConvertError("Invalid argument to time encode");
  return r;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& result) {
  TDateTime d, t;
  if (!TryEncodeDate(year, month, day, d) || !TryEncodeTime(hour, min, sec, msec, t)) return false;
  result = d >= 0 ? d + t : d - t;
  return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec) {
  TDateTime r;
  if (!TryEncodeDateTime(year, month, day, hour, min, sec, msec, r))
    throw EConvertError("Invalid argument to date encode");
  return r;
}

void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day) {
  const Parts p = Split(dt);
  year = static_cast<uint16_t>(p.year);
  month = static_cast<uint16_t>(p.month);
  day = static_cast<uint16_t>(p.day);
}

void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec) {
  const Parts p = Split(dt);
  hour = static_cast<uint16_t>(p.hour);
  min = static_cast<uint16_t>(p.min);
  sec = static_cast<uint16_t>(p.sec);
  msec = static_cast<uint16_t>(p.msec);
}

void DecodeDateTime(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& hour,
                    uint16_t& min, uint16_t& sec, uint16_t& msec) {
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, min, sec, msec);
}

TDateTime DateOf(TDateTime dt) { return static_cast<double>(ToStamp(dt).day); }

TDateTime TimeOf(TDateTime dt) { return static_cast<double>(ToStamp(dt).msec) / MSecsPerDay; }

TDateTime Date() { return DateOf(Now()); }
TDateTime Time() { return TimeOf(Now()); }

int DayOfWeek(TDateTime dt) { return Split(dt).dayOfWeek; }

TDateTime IncMilliSecond(TDateTime dt, int64_t msecs) {
  const int64_t ms = LinearMs(dt) + msecs;
  const int64_t day = FloorDiv(ms, MSecsPerDay);
  return FromStamp(day, ms - day * MSecsPerDay);
}

TDateTime IncSecond(TDateTime dt, int64_t seconds) { return IncMilliSecond(dt, seconds * 1000); }
TDateTime IncMinute(TDateTime dt, int64_t minutes) { return IncMilliSecond(dt, minutes * 60000); }
TDateTime IncHour(TDateTime dt, int64_t hours) { return IncMilliSecond(dt, hours * 3600000); }
TDateTime IncDay(TDateTime dt, int64_t days) { return IncMilliSecond(dt, days * MSecsPerDay); }

TDateTime IncMonth(TDateTime dt, int months) {
  const Parts p = Split(dt);
  const int64_t index = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + months;
  const int year = static_cast<int>(index / 12), month = static_cast<int>(index % 12) + 1;
  const int day = std::min(p.day, DaysInAMonth(year, month));
  TDateTime r;
  if (!TryEncodeDateTime(year, month, day, p.hour, p.min, p.sec, p.msec, r))
    throw EConvertError("Invalid argument to date encode");
  return r;
}

int64_t MilliSecondsBetween(TDateTime a, TDateTime b) { return std::llabs(LinearMs(a) - LinearMs(b)); }

int64_t SecondsBetween(TDateTime a, TDateTime b) { return MilliSecondsBetween(a, b) / 1000; }

String FormatDateTime(std::string_view pattern, TDateTime dt, const TFormatSettings& fs) {
  String out;
  FormatInto(out, pattern, Split(dt), fs, 0);
  return out;
}

String FormatDateTime(std::string_view pattern, TDateTime dt) { return FormatDateTime(pattern, dt, FormatSettings()); }

String DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
String TimeToStr(TDateTime dt) { return FormatDateTime("tt", dt); }
String DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }

int64_t DateTimeToUnix(TDateTime dt) {
  const int64_t unixMs = LinearMs(dt) - detail::kDateDelta * MSecsPerDay;
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(unixMs) / 1000.0));
}

TDateTime UnixToDateTime(int64_t seconds) {
  const int64_t day = FloorDiv(seconds, SecsPerDay);
  return FromStamp(day + detail::kDateDelta, (seconds - day * SecsPerDay) * 1000);
}

TDateTime DateTimeFromTimeT(int64_t seconds, long nanoseconds) {
  const time_t t = static_cast<time_t>(seconds);
  tm local{};
  localtime_r(&t, &local);
  const int64_t day = detail::DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                            static_cast<unsigned>(local.tm_mday)) +
                      detail::kDateDelta;
  const int64_t ms = ((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000LL + nanoseconds / 1000000;
  return FromStamp(day, ms);
}

int64_t TimeTFromDateTime(TDateTime local) {
  const Parts p = Split(local);
  tm t{};
  t.tm_year = p.year - 1900;
  t.tm_mon = p.month - 1;
  t.tm_mday = p.day;
  t.tm_hour = p.hour;
  t.tm_min = p.min;
  t.tm_sec = p.sec;
  t.tm_isdst = -1;  // let the zone rules decide
  return static_cast<int64_t>(mktime(&t));
}

}  // namespace rtl
