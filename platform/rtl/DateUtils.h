#pragma once
// Dates and times as TDateTime (days since 1899-12-30; the fraction is the
// time of day, for dates before that day too: -1.25 is 1899-12-29 06:00).
//
// Every decoding first rounds to the nearest millisecond (an exact half to
// even, as the class library's Round), so no time ever shows 60 seconds or
// 1000 milliseconds: 23:59:59.9996 is the next day's 00:00:00.000.
#include <cstdint>
#include <ctime>
#include <string_view>

#include "platform/rtl/Clock.h"
#include "platform/rtl/Format.h"
#include "platform/rtl/Types.h"

namespace rtl {

inline constexpr int32_t HoursPerDay = 24;
inline constexpr int32_t MinsPerDay = 24 * 60;
inline constexpr int32_t SecsPerDay = 24 * 60 * 60;
inline constexpr int32_t MSecsPerDay = SecsPerDay * 1000;

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month);  // 0 for a month outside 1..12

// Years 1..9999. The Encode functions raise EConvertError for a value out
// of range; the Try forms return false and leave `result` alone.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec);
bool TryEncodeDateTime(int year, int month, int day, int hour, int min, int sec, int msec, TDateTime& result);

void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);
void DecodeDateTime(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& hour,
                    uint16_t& min, uint16_t& sec, uint16_t& msec);

// Today at midnight and the time of day now, from the process clock.
TDateTime Date();
TDateTime Time();

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime dt);
TDateTime DateOf(TDateTime dt);  // midnight of the day
TDateTime TimeOf(TDateTime dt);  // the time of day alone

TDateTime IncDay(TDateTime dt, int64_t days = 1);
TDateTime IncHour(TDateTime dt, int64_t hours = 1);
TDateTime IncMinute(TDateTime dt, int64_t minutes = 1);
TDateTime IncSecond(TDateTime dt, int64_t seconds = 1);
TDateTime IncMilliSecond(TDateTime dt, int64_t msecs = 1);
TDateTime IncMonth(TDateTime dt, int months = 1);  // the day clamps to the month's last
// Whole milliseconds (seconds) between two moments, never negative.
int64_t MilliSecondsBetween(TDateTime a, TDateTime b);
int64_t SecondsBetween(TDateTime a, TDateTime b);

// Pattern letters, in either case: y/yy (two-digit year), yyy/yyyy (four),
// m/mm (month, or minute right after an hour), mmm/mmmm (month names),
// d/dd, ddd/dddd (day names), ddddd (ShortDateFormat), dddddd
// (LongDateFormat), c (short date, then the long time unless it is
// midnight), h/hh, n/nn, s/ss, z/zzz, t (ShortTimeFormat), tt
// (LongTimeFormat), am/pm, a/p, ampm (12-hour clock for the hours before
// it), "/" (DateSeparator), ":" (TimeSeparator), '…' and "…" literals. Any
// other character is copied.
String FormatDateTime(std::string_view pattern, TDateTime dt);
String FormatDateTime(std::string_view pattern, TDateTime dt, const TFormatSettings& fs);

// With the default settings: "2024-03-08", "14:05:09" and
// "2024-03-08 14:05:09" (the time left out at midnight).
String DateToStr(TDateTime dt);
String TimeToStr(TDateTime dt);
String DateTimeToStr(TDateTime dt);

// Seconds since 1970-01-01 00:00 read as a wall-clock time, no time zone
// involved either way.
int64_t DateTimeToUnix(TDateTime dt);
TDateTime UnixToDateTime(int64_t seconds);

// A file-system time (UTC seconds, with an optional fraction in
// nanoseconds) as local TDateTime, and back.
TDateTime DateTimeFromTimeT(int64_t seconds, long nanoseconds = 0);
int64_t TimeTFromDateTime(TDateTime local);

}  // namespace rtl
