#include "platform/rtl/DateUtils.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>

#include "platform/rtl/Exceptions.h"
#include "PythonRunner.h"

using namespace rtl;

namespace {

// Sets TZ for one test and puts the old value back.
class ScopedTimeZone {
public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (hadOld_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

private:
  std::string old_;
  bool hadOld_ = false;
};

const TDateTime kStamp = EncodeDateTime(2024, 3, 8, 14, 5, 9, 7);  // a Friday

}  // namespace

TEST(DateUtilsTest, EncodeDateTable) {
  struct Case { int y, m, d; bool ok; double value; };
  const Case cases[] = {
      {1899, 12, 30, true, 0},      {1900, 1, 1, true, 2},        {2024, 3, 8, true, 45359},
      {1, 1, 1, true, -693593},     {9999, 12, 31, true, 2958465}, {2000, 2, 29, true, 36585},
      {1970, 1, 1, true, 25569},    {1900, 2, 29, false, 0},      {2024, 2, 30, false, 0},
      {0, 1, 1, false, 0},          {10000, 1, 1, false, 0},      {2024, 13, 1, false, 0},
      {2024, 4, 31, false, 0},      {2024, 1, 0, false, 0},
  };
  for (const auto& c : cases) {
    TDateTime r = -1;
    EXPECT_EQ(TryEncodeDate(c.y, c.m, c.d, r), c.ok) << c.y << "-" << c.m << "-" << c.d;
    if (c.ok) {
      EXPECT_EQ(r, c.value) << c.y << "-" << c.m << "-" << c.d;
    }
  }
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
  EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);  // the fraction counts forward
}

// Random moments over the whole calendar, checked against Python's datetime.
TEST(DateUtilsTest, DecodeAndFormatMatchPython) {
  std::mt19937_64 rng(8);
  std::uniform_int_distribution<int64_t> days(-693593, 2958465);
  std::uniform_int_distribution<int64_t> msecs(0, MSecsPerDay - 1);
  std::vector<std::pair<int64_t, int64_t>> moments;
  std::ostringstream input;
  for (int i = 0; i < 400; ++i) {
    const int64_t d = days(rng), ms = msecs(rng);
    moments.emplace_back(d, ms);
    input << d << " " << ms << "\n";
  }
  const std::string script =
      "import sys, datetime\n"
      "base = datetime.datetime(1899, 12, 30)\n"
      "for line in open(sys.argv[1]):\n"
      "  d, ms = map(int, line.split())\n"
      "  t = base + datetime.timedelta(days=d, milliseconds=ms)\n"
      "  print(f\"{t.year:04d}-{t.month:02d}-{t.day:02d} {t:%a %A %b %B %H:%M:%S}.{ms % 1000:03d} {t.isoweekday() % 7 + 1}\")\n";
  std::istringstream py(rtltest::RunPythonOnInput(script, input.str()));
  for (const auto& [d, ms] : moments) {
    const TDateTime dt = d >= 0 ? d + static_cast<double>(ms) / MSecsPerDay : d - static_cast<double>(ms) / MSecsPerDay;
    std::string expected;
    std::getline(py, expected);
    const String ours = FormatDateTime("yyyy-mm-dd ddd dddd mmm mmmm hh:nn:ss.zzz ", dt) + std::to_string(DayOfWeek(dt));
    EXPECT_EQ(ours, expected) << d << " " << ms;
  }
}

TEST(DateUtilsTest, DecodingRoundsToTheMillisecondFirst) {
  uint16_t y, mo, d, h, mi, s, ms;
  DecodeDateTime(EncodeDate(2024, 12, 31) + 86399999.6 / MSecsPerDay, y, mo, d, h, mi, s, ms);
  EXPECT_EQ((std::array<int, 7>{y, mo, d, h, mi, s, ms}), (std::array<int, 7>{2025, 1, 1, 0, 0, 0, 0}));
  DecodeTime(59999.4 / MSecsPerDay, h, mi, s, ms);
  EXPECT_EQ((std::array<int, 4>{h, mi, s, ms}), (std::array<int, 4>{0, 0, 59, 999}));
  // An exact half millisecond goes to the even neighbour, as Round does.
  struct Case { double halfMs; int msec; };
  for (const Case c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}}) {
    const double dt = c.halfMs / MSecsPerDay;
    ASSERT_EQ(dt * MSecsPerDay, c.halfMs);
    DecodeTime(dt, h, mi, s, ms);
    EXPECT_EQ(ms, c.msec) << c.halfMs;
  }
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", EncodeTime(10, 59, 59, 999) + 0.7 / MSecsPerDay), "11:00:00.000");
  // Values no calendar holds still decode to something instead of misbehaving.
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", std::nan("")), "1899-12-30");
  EXPECT_FALSE(FormatDateTime("yyyy", 1e300).empty());
}

TEST(DateUtilsTest, FormatDateTimePatterns) {
  struct Case { const char* pattern; TDateTime dt; const char* text; };
  const TDateTime night = EncodeDateTime(2009, 3, 7, 0, 30, 0, 0);
  const Case cases[] = {
      {"yymmdd_hhnnss", kStamp, "240308_140509"},
      {"yymmdd_hhmmss_zzz", kStamp, "240308_140509_007"},  // mm after hh is minutes
      {"yyyy-mm-dd hh:nn:ss", kStamp, "2024-03-08 14:05:09"},
      {"yyyy-m-d", kStamp, "2024-3-8"},
      {"yyyy-m-d", night, "2009-3-7"},
      {"hh:nn:ss", kStamp, "14:05:09"},
      {"h:n:s.z", kStamp, "14:5:9.7"},
      {"YYYY-MM-DD HH:NN:SS", kStamp, "2024-03-08 14:05:09"},
      {"dd/mm/yy hh:nn:ss", kStamp, "08-03-24 14:05:09"},  // '/' is the date separator
      {"ddd mmm dd hh:nn:ss yyyy", kStamp, "Fri Mar 08 14:05:09 2024"},
      {"yyyymmddhhmmss", kStamp, "20240308140509"},
      {"dddd, mmmm d", kStamp, "Friday, March 8"},
      {"h:nn am/pm", kStamp, "2:05 pm"},
      {"hh AM/PM", kStamp, "02 PM"},
      {"h:nn am/pm", night, "12:30 am"},
      {"h a/p", night, "12 a"},
      {"h A/P", kStamp, "2 P"},
      {"hh:nn ampm", kStamp, "02:05 PM"},
      {"hh:nn", kStamp, "14:05"},  // no marker: 24-hour clock
      {"'Today is' dddd", kStamp, "Today is Friday"},
      {"\"yy\"yy", kStamp, "yy24"},
      {"c", kStamp, "2024-03-08 14:05:09"},
      {"c", EncodeDate(2024, 3, 8), "2024-03-08"},
      {"ddddd", kStamp, "2024-03-08"},
      {"dddddd", kStamp, "Friday, March 8, 2024"},
      {"t|tt", kStamp, "14:05|14:05:09"},
      {"zzz", EncodeTime(0, 0, 0, 42), "042"},
      {"yyyy", EncodeDate(33, 1, 1), "0033"},
      {"", kStamp, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, c.dt), c.text) << c.pattern;

  TFormatSettings fs;
  fs.DateSeparator = '.';
  fs.TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", kStamp, fs), "08.03.2024 14.05");
}

TEST(DateUtilsTest, FixedShortTexts) {
  EXPECT_EQ(DateToStr(kStamp), "2024-03-08");
  EXPECT_EQ(TimeToStr(kStamp), "14:05:09");
  EXPECT_EQ(DateTimeToStr(kStamp), "2024-03-08 14:05:09");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 8)), "2024-03-08");
}

TEST(DateUtilsTest, ArithmeticOnTheTimeLine) {
  const TDateTime lastSecond = EncodeDateTime(2024, 12, 31, 23, 59, 59, 0);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", IncSecond(lastSecond)), "2025-01-01 00:00:00");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", IncMinute(lastSecond, -60)), "2024-12-31 22:59:59");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", IncHour(lastSecond, 1)), "2025-01-01 00:59");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", IncDay(lastSecond, 60)), "2025-03-01");
  // Before day 0 the fraction still runs forward from midnight.
  const TDateTime early = -1.25;  // 1899-12-29 06:00
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", IncMilliSecond(early)), "1899-12-29 06:00:00.001");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn", IncHour(early, 20)), "1899-12-30 02:00");
  EXPECT_DOUBLE_EQ(IncDay(early, 2), 1.25);
  EXPECT_EQ(MilliSecondsBetween(EncodeTime(0, 0, 1, 0), EncodeTime(0, 0, 0, 1)), 999);
  EXPECT_EQ(SecondsBetween(early, 1.25), 2 * SecsPerDay);
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", IncMonth(EncodeDate(2024, 1, 31))), "2024-02-29");
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd", IncMonth(EncodeDate(2024, 1, 31), -2)), "2023-11-30");
  EXPECT_EQ(DayOfWeek(0), 7);  // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(kStamp), 6);
  EXPECT_EQ(DateOf(kStamp), 45359);
  EXPECT_NEAR(TimeOf(kStamp), EncodeTime(14, 5, 9, 7), 1e-12);
}

TEST(DateUtilsTest, TodayComesFromTheProcessClock) {
  ScopedVirtualClock clock(1000, kStamp);
  EXPECT_EQ(Date(), 45359);
  EXPECT_NEAR(Time(), EncodeTime(14, 5, 9, 7), 1e-12);
  clock.Advance(10 * 3600 * 1000);
  EXPECT_EQ(FormatDateTime("yymmdd_hhnnss", rtl::Now()), "240309_000509");
}

TEST(DateUtilsTest, UnixAndFileTimes) {
  EXPECT_EQ(UnixToDateTime(0), 25569);
  EXPECT_EQ(DateTimeToUnix(kStamp - 7.0 / MSecsPerDay), 1709906709);  // calendar.timegm of the stamp
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", UnixToDateTime(-1)), "1969-12-31 23:59:59");
  EXPECT_EQ(DateTimeToUnix(UnixToDateTime(-2208988800 - 86400 + 3600)), -2208988800 - 86400 + 3600);

  ScopedTimeZone berlin("Europe/Berlin");
  // Around the spring change of 2024 (02:00 CET -> 03:00 CEST on 31 March).
  const int64_t times[] = {1711846799, 1711846800, 1711846801, 1709906709, 0, 1730595600};
  std::ostringstream input;
  for (int64_t t : times) input << t << "\n";
  const std::string script =
      "import sys, time\n"
      "for line in open(sys.argv[1]):\n"
      "  print(time.strftime(\"%Y-%m-%d %H:%M:%S\", time.localtime(int(line))))\n";
  std::istringstream py(rtltest::RunPythonOnInput(script, input.str()));
  for (int64_t t : times) {
    std::string expected;
    std::getline(py, expected);
    const TDateTime local = DateTimeFromTimeT(t);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", local), expected) << t;
    EXPECT_EQ(TimeTFromDateTime(local), t) << t;
  }
  EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", DateTimeFromTimeT(1709906709, 123456789)), "15:05:09.123");
}
