#include "platform/rtl/Format.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <random>
#include <sstream>

#include "platform/rtl/Exceptions.h"
#include "PythonRunner.h"

using namespace rtl;

namespace {

std::vector<double> SampleValues() {
  std::mt19937_64 rng(20240308);
  std::vector<double> values = {0.125, 2.675, 1.005, 0.5, 1.5, 2.5, -0.125, -2.5, 1234.5678, 0.045, 99.995};
  std::uniform_real_distribution<double> mag(-6, 6);
  std::uniform_int_distribution<int> cents(-100000, 100000);
  for (int i = 0; i < 300; ++i) {
    const double v = std::pow(10.0, mag(rng)) * (rng() % 2 ? 1 : -1);
    values.push_back(v);
    values.push_back(cents(rng) / 1000.0);  // many exact and near ties
  }
  return values;
}

std::string ValueLines(const std::vector<double>& values) {
  std::ostringstream s;
  for (double v : values) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%a\n", v);
    s << buf;
  }
  return s.str();
}

}  // namespace

TEST(FormatIntegerTest, ParsingTable) {
  struct Case { const char* text; bool ok; int32_t value; };
  const Case cases[] = {
      {"123", true, 123},         {"  42", true, 42},       {"-7", true, -7},
      {"+7", true, 7},            {"$1F", true, 31},        {"0x1f", true, 31},
      {"x1F", true, 31},          {"-$10", true, -16},      {"$FFFFFFFF", true, -1},
      {"2147483647", true, 2147483647}, {"-2147483648", true, std::numeric_limits<int32_t>::min()},
      {"007", true, 7},
      {"2147483648", false, 0},   {"$100000000", false, 0}, {"", false, 0},
      {" ", false, 0},            {"12 ", false, 0},        {"1.0", false, 0},
      {"0x", false, 0},           {"$", false, 0},          {"--1", false, 0},
      {"1e3", false, 0},          {"\t5", false, 0},        {"12a", false, 0},
  };
  for (const auto& c : cases) {
    int32_t v = -99;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << c.text;
  }
  try {
    StrToInt("12abc");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("4294967296"), 4294967296LL);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(IntToStr(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(IntToStr(int64_t{-9000000000}), "-9000000000");
}

TEST(FormatFloatParseTest, ParsingTable) {
  struct Case { const char* text; bool ok; double value; };
  const Case cases[] = {
      {"1.5", true, 1.5},   {" 2.5 ", true, 2.5}, {"-.5", true, -0.5},  {"5.", true, 5},
      {"1e3", true, 1000},  {"2.5E-2", true, 0.025}, {"+1", true, 1},   {"1e-999", true, 0},
      {"0.1", true, 0.1},
      {"1,5", false, 0},    {"", false, 0},        {".", false, 0},     {"1e", false, 0},
      {"1e+", false, 0},    {"abc", false, 0},     {"1.2.3", false, 0}, {"1e999", false, 0},
      {"1 000", false, 0},  {"0x10", false, 0},    {"nan", false, 0},   {"inf", false, 0},
  };
  for (const auto& c : cases) {
    double v = -99;
    EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_THROW(StrToFloat("x"), EConvertError);
  EXPECT_EQ(StrToFloatDef("x", 7.5), 7.5);

  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(StrToFloat("1,5", comma), 1.5);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat("1.5", v, comma));
}

TEST(FormatFloatTextTest, FloatToStrTable) {
  struct Case { double value; const char* text; };
  const Case cases[] = {
      {0, "0"},          {0.1, "0.1"},          {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
      {0.1 + 0.2, "0.3"}, {-2.5, "-2.5"},       {1e15, "1E15"},                 {123456789012345, "123456789012345"},
      {1e-5, "0.00001"}, {1.5e-7, "1.5E-7"},    {1e100, "1E100"},              {25, "25"},
      {29.97, "29.97"},  {-0.0, "0"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"}, {HUGE_VAL, "INF"}, {-HUGE_VAL, "-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
  // Whatever the separator setting says, a text written is read back the same.
  for (double v : {0.1, 1e-7, 123.456, -9.87654321e12}) EXPECT_EQ(StrToFloat(FloatToStr(v)), std::stod(FloatToStr(v)));
}

TEST(FormatFloatTextTest, FloatToStrMatchesPythonDecimal) {
  const std::vector<double> values = SampleValues();
  const std::string script =
      "import sys, decimal\n"
      "decimal.getcontext().prec = 15; decimal.getcontext().rounding = decimal.ROUND_HALF_UP\n"
      "for line in open(sys.argv[1]):\n"
      "  d = +decimal.Decimal(float.fromhex(line))\n"
      "  s = format(d.normalize(), \"f\")\n"
      "  print(s)\n";
  std::istringstream py(rtltest::RunPythonOnInput(script, ValueLines(values)));
  for (double v : values) {
    std::string expected;
    std::getline(py, expected);
    if (std::fabs(v) < 1e-5 || std::fabs(v) >= 1e15) continue;  // scientific in ours
    EXPECT_EQ(FloatToStr(v), expected) << std::hexfloat << v;
  }
}

TEST(FormatFloatTextTest, FloatToStrFFormats) {
  EXPECT_EQ(FloatToStrF(345.6789, ffFixed, 5, 3), "345.680");  // precision rounds first
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2), "1,234,567.89");
  EXPECT_EQ(FloatToStrF(-1234.5, ffNumber, 15, 0), "-1,235");
  EXPECT_EQ(FloatToStrF(1.5, ffExponent, 4, 2), "1.500E+00");
  EXPECT_EQ(FloatToStrF(-0.00012345, ffExponent, 3, 0), "-1.23E-4");
  EXPECT_EQ(FloatToStrF(0, ffExponent, 3, 2), "0.00E+00");
  EXPECT_EQ(FloatToStrF(123456, ffFixed, 3, 1), "1.23E+5");  // too wide for the precision
  EXPECT_EQ(FloatToStrF(0.0001234, ffGeneral, 2, 0), "0.00012");
  EXPECT_EQ(FloatToStrF(1234.5, ffGeneral, 4, 2), "1235");
  EXPECT_EQ(FloatToStrF(12345.0, ffGeneral, 4, 2), "1.235E04");
}

TEST(FormatFloatTextTest, FormatFloatPatterns) {
  struct Case { const char* pattern; double value; const char* text; };
  const Case cases[] = {
      {"0.00", 1.125, "1.13"},            // an exact half goes away from zero
      {"0.00", -1.125, "-1.13"},
      {"0.00", 2.675, "2.67"},            // 2.675 is stored as 2.67499...
      {"0.00", 0, "0.00"},
      {"0.00", -0.001, "0.00"},           // no sign on a value that shows as zero
      {"0.00", 25, "25.00"},
      {"#,##0.00", 1234567.891, "1,234,567.89"},
      {"#,##0", -1234567, "-1,234,567"},
      {"#,##0", 999.5, "1,000"},
      {"0.0#", 1.5, "1.5"},
      {"0.0#", 1.256, "1.26"},
      {"0.0#", 1, "1.0"},
      {"0.##", 0.004, "0"},
      {"0", 2.5, "3"},
      {"0", 534.5, "535"},                 // no banker's rounding here, unlike Round
      {"#,##0.00", 129809.495, "129,809.49"},  // the double lies just below the half
      {"0", -2.5, "-3"},
      {"000", 7, "007"},
      {"00", 1234, "1234"},
      {"00-00", 1234, "12-34"},
      {".00", 12.5, "12.50"},
      {"0.00E+00", 12345, "1.23E+04"},
      {"0.00E-00", 0.00012345, "1.23E-04"},
      {"0.00E-00", 12345, "1.23E04"},
      {"0.0E+0", 0, "0.0E+0"},
      {"0.00;(0.00)", -5, "(5.00)"},
      {"0.00;(0.00);'zero'", 0, "zero"},
      {"0.00;;\"nil\"", 0.001, "nil"},    // zero after rounding
      {"0.00;;\"nil\"", -3, "-3.00"},     // empty negative section: the positive one with a sign
      {"'Rate: '0.0' fps'", 29.97, "Rate: 30.0 fps"},
      {"0.0 %", 12.34, "12.3 %"},
      {"", 0.1, "0.1"},
      {"0.00", 1e20, "1E20"},             // past 18 digits: general format
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFloat(c.pattern, c.value), c.text) << c.pattern << " " << c.value;

  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, fs), "1.234,50");
}

TEST(FormatFloatTextTest, FormatFloatMatchesPythonHalfUp) {
  const std::vector<double> values = SampleValues();
  const std::string script =
      "import sys, decimal\n"
      "for line in open(sys.argv[1]):\n"
      "  d = decimal.Decimal(float.fromhex(line)).quantize(decimal.Decimal(\"0.01\"), rounding=decimal.ROUND_HALF_UP)\n"
      "  s = \"{:,.2f}\".format(d)\n"
      "  print(s[1:] if s in (\"-0.00\",) else s)\n";
  std::istringstream py(rtltest::RunPythonOnInput(script, ValueLines(values)));
  for (double v : values) {
    std::string expected;
    std::getline(py, expected);
    EXPECT_EQ(FormatFloat("#,##0.00", v), expected) << std::hexfloat << v;
  }
}

TEST(FormatTest, SpecifierTable) {
  int local = 0;
  char ptrText[32];
  std::snprintf(ptrText, sizeof ptrText, "%016lX", reinterpret_cast<unsigned long>(&local));
  struct Case { const char* fmt; std::vector<FormatArg> args; std::string text; };
  const std::vector<Case> cases = {
      {"%d", {42}, "42"},
      {"%5d|%-5d|", {42, 42}, "   42|42   |"},
      {"%.3d", {7}, "007"},
      {"%.3d", {-7}, "-007"},
      {"%.2d:%.2d", {5, 123}, "05:123"},
      {"%u", {-1}, "4294967295"},
      {"%.3u", {7u}, "007"},
      {"%x", {255}, "FF"},
      {"%X", {-1}, "FFFFFFFF"},
      {"%.4x", {255}, "00FF"},
      {"%x", {int64_t{-1}}, "FFFFFFFFFFFFFFFF"},
      {"%d", {int64_t{-9000000000}}, "-9000000000"},
      {"%d", {uint64_t{18446744073709551615u}}, "18446744073709551615"},
      {"%s", {"abc"}, "abc"},
      {"%s", {String("xyz")}, "xyz"},
      {"%s", {'c'}, "c"},
      {"%.2s", {"abc"}, "ab"},
      {"%-6s|", {"ab"}, "ab    |"},
      {"%6s|", {"ab"}, "    ab|"},
      {"%-4s|", {"\xC3\xA9"}, "\xC3\xA9   |"},   // width counts characters
      {"%.1s", {"\xC3\xA9t\xC3\xA9"}, "\xC3\xA9"},
      {"%*d", {5, 42}, "   42"},
      {"%-*d|", {4, 1}, "1   |"},
      {"%*d|", {-4, 1}, "1   |"},
      {"%.*f", {1, 2.25}, "2.3"},
      {"%.2f", {2.675}, "2.67"},
      {"%f", {1.0}, "1.00"},
      {"%.0f", {0.5}, "1"},
      {"%.1f", {-0.04}, "0.0"},
      {"%e", {12345.678}, "1.23456780000000E+004"},
      {"%.3e", {-12345.678}, "-1.23E+004"},
      {"%g", {0.5}, "0.5"},
      {"%g", {1e20}, "1E20"},
      {"%.3g", {1234.5}, "1.23E3"},
      {"%n", {1234567.891}, "1,234,567.89"},
      {"%.0n", {1234.5}, "1,235"},
      {"%8.2f|", {3.14159}, "    3.14|"},
      {"%d%%", {50}, "50%"},
      {"100%%", {}, "100%"},
      {"%1:s %0:s", {"a", "b"}, "b a"},
      {"%0:s-%s-%0:s", {"a", "b"}, "a-b-a"},
      {"%D %S", {3, "x"}, "3 x"},
      {"%p", {static_cast<const void*>(&local)}, ptrText},
      {"%f", {std::numeric_limits<double>::quiet_NaN()}, "NAN"},
      {"Channel: %d To %d", {1, 125}, "Channel: 1 To 125"},
      {"FMT%.3u", {7}, "FMT007"},
      {"%d.%.2d", {12, 5}, "12.05"},
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, std::span<const FormatArg>(c.args)), c.text) << c.fmt;

  TFormatSettings comma;
  comma.DecimalSeparator = ',';
  EXPECT_EQ(Format("%.1f", {1.5}, comma), "1,5");
}

TEST(FormatTest, MismatchesRaiseConvertErrors) {
  struct Case { const char* fmt; std::vector<FormatArg> args; const char* message; };
  const std::vector<Case> cases = {
      {"%d", {"x"}, "Format '%d' invalid or incompatible with argument"},
      {"%s", {1}, "Format '%s' invalid or incompatible with argument"},
      {"%f", {1}, "Format '%f' invalid or incompatible with argument"},
      {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
      {"%p", {1}, "Format '%p' invalid or incompatible with argument"},
      {"%q", {1}, "Format '%q' invalid or incompatible with argument"},
      {"%5", {1}, "Format '%5' invalid or incompatible with argument"},
      {"abc %", {1}, "Format 'abc %' invalid or incompatible with argument"},
      {"%*d", {"x", 1}, "Format '%*d' invalid or incompatible with argument"},
      {"%99999999d", {1}, "Format '%99999999d' invalid or incompatible with argument"},
      {"%d", {}, "No argument for format '%d'"},
      {"%d %d", {1}, "No argument for format '%d %d'"},
      {"%3:d", {1}, "No argument for format '%3:d'"},
      {"%*d", {3}, "No argument for format '%*d'"},
  };
  for (const auto& c : cases) {
    try {
      Format(c.fmt, std::span<const FormatArg>(c.args));
      ADD_FAILURE() << "no exception for " << c.fmt;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

// Language texts are format strings from files: whatever they hold, Format
// either formats or raises EConvertError.
TEST(FormatTest, ArbitraryFormatTextsNeverMisbehave) {
  std::mt19937 rng(7);
  const std::string alphabet = "%%%%dsxufegnp*:-.0123456789 ab";
  for (int round = 0; round < 20000; ++round) {
    std::string fmt;
    const int len = static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) fmt.push_back(alphabet[rng() % alphabet.size()]);
    try {
      const String out = Format(fmt, {3, "text", 2.5, int64_t{-4}});
      EXPECT_LT(out.size(), 70000u);
    } catch (const EConvertError&) {
    }
  }
}
