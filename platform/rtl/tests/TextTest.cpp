#include "platform/rtl/Text.h"

#include <gtest/gtest.h>

#include "PythonRunner.h"

#include <array>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "platform/rtl/Exceptions.h"

using namespace rtl;

namespace {

// Restores the ANSI code page a test changes.
class CodePageTest : public ::testing::Test {
protected:
  ~CodePageTest() override { SetAnsiCodePage(CP_UTF8); }
};

std::string Hex(std::string_view bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

}  // namespace

TEST(Utf8Test, ValidityOfEdgeSequences) {
  struct Case { std::string_view bytes; bool valid; };
  const Case cases[] = {
      {"", true},
      {"plain", true},
      {"\xC3\xA9", true},
      {"\xE2\x82\xAC", true},
      {"\xF0\x9F\x8E\xA5", true},
      {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
      {"\xC0\x80", false},          // overlong NUL
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // past U+10FFFF
      {"\xE2\x82", false},          // truncated
      {"caf\xE9", false},           // Latin-1
      {"\x80", false},
      {"\xFF", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << Hex(c.bytes);
}

// Ill-formed input must be replaced exactly as Python does it (one U+FFFD
// per maximal ill-formed subpart), so that text around a bad byte survives.
TEST(Utf8Test, DecodingMatchesPythonReplacement) {
  const std::string_view inputs[] = {
      "A\xE2\x82" "B", "\xF0\x80\x80\x80", "\xED\xA0\x80x", "\xC3", "\xE2\x82\xAC\xFF\xFE",
      "\xF0\x9F\x8E\xA5 ok", "\xC0\xAF\xE0\x80\xBF\xF4\x90\x80\x80", "\xF1\x80\x80\xE1\x80\xC2",
  };
  for (std::string_view in : inputs) {
    const std::string py = rtltest::RunPython(
        "print(bytes.fromhex(\"" + Hex(in) + "\").decode(\"utf-8\",\"replace\").encode(\"utf-16-le\").hex())");
    const WideString w = Utf8ToWide(in);
    std::string ours;
    char b[8];
    for (char16_t c : w) {
      std::snprintf(b, sizeof b, "%02x%02x", c & 0xFF, c >> 8);
      ours += b;
    }
    EXPECT_EQ(ours + "\n", py) << Hex(in);
  }
}

TEST(Utf8Test, RoundTripsAndLoneSurrogates) {
  const std::string text = "Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x8E\xA5";
  const WideString w = Utf8ToWide(text);
  EXPECT_EQ(w, u"Café 中文 🎥");
  EXPECT_EQ(WideToUtf8(w), text);
  EXPECT_EQ(WideToUtf8(WideString(u"a") + char16_t(0xD800) + u"b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(WideToUtf8(WideString(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST_F(CodePageTest, DefaultIsUtf8AndConversionsAreIdentity) {
  EXPECT_EQ(GetAnsiCodePage(), CP_UTF8);
  EXPECT_EQ(AnsiToUtf8("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
  EXPECT_EQ(AnsiToWide("\xE4\xB8\xAD"), u"中");
  EXPECT_EQ(WideToAnsi(u"中"), "\xE4\xB8\xAD");
}

TEST_F(CodePageTest, ChineseRoundTripThrough936) {
  SetAnsiCodePage(936);
  const std::string utf8 = "\xE8\xA7\x86\xE9\xA2\x91\xE6\x8D\x95\xE8\x8E\xB7 AVI";  // 视频捕获 AVI
  const String ansi = Utf8ToAnsi(utf8);
  const std::string py = rtltest::RunPython("print(\"视频捕获 AVI\".encode(\"gbk\").hex())");
  EXPECT_EQ(Hex(ansi) + "\n", py);
  EXPECT_EQ(AnsiToUtf8(ansi), utf8);
  EXPECT_EQ(AnsiToWide(ansi), u"视频捕获 AVI");
  EXPECT_EQ(WideToAnsi(u"视频捕获 AVI"), ansi);
  // A lead byte without its trail byte decodes to U+FFFD, not to nothing.
  EXPECT_EQ(AnsiToWide("a\xD6"), u"a\uFFFD");
}

TEST_F(CodePageTest, UnmappableCharactersBecomeQuestionMarks) {
  SetAnsiCodePage(1252);
  EXPECT_EQ(WideToAnsi(u"a€é中b"), "a\x80\xE9?b");
  EXPECT_EQ(WideToAnsi(u"x🎥y"), "x?y");  // one '?' for the surrogate pair
  EXPECT_EQ(WideToAnsi(WideString(u"x") + char16_t(0xDC01) + u"y"), "x?y");
  EXPECT_EQ(Utf8ToAnsi("\xD0\x96 caf\xC3\xA9"), "? caf\xE9");  // Cyrillic Zhe
  EXPECT_EQ(WideToCodePage(936, u"ก€ü"), "?\x80\xA8\xB9");  // GBK lacks Thai
}

TEST_F(CodePageTest, Windows1252TableMatchesPython) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  const WideString w = CodePageToWide(1252, all);
  ASSERT_EQ(w.size(), 256u);
  // Python's table lacks the five undefined bytes; Windows passes them as C1.
  const std::string py = rtltest::RunPython(
      "print(\",\".join(str(ord(bytes([b]).decode(\"cp1252\",\"ignore\") or chr(b))) for b in range(256)))");
  std::string ours;
  for (char16_t c : w) ours += (ours.empty() ? "" : ",") + std::to_string(static_cast<int>(c));
  EXPECT_EQ(ours + "\n", py);
  EXPECT_EQ(WideToCodePage(1252, w), all);
}

TEST_F(CodePageTest, UnknownOrUnsuitableCodePagesAreRefused) {
  EXPECT_THROW(SetAnsiCodePage(4242), EArgumentError);
  EXPECT_THROW(SetAnsiCodePage(CP_UTF16LE), EArgumentError);
  EXPECT_EQ(GetAnsiCodePage(), CP_UTF8);
  EXPECT_FALSE(IsCodePageSupported(4242));
  EXPECT_TRUE(IsCodePageSupported(1251));
  EXPECT_THROW(CodePageToWide(4242, "x"), EArgumentError);
  EXPECT_EQ(CodePageToWide(28595, "\xB6"), u"Ж");  // ISO-8859-5
  EXPECT_EQ(CodePageToWide(CP_UTF16BE, std::string_view("\x00" "A\x04\x16", 4)), u"AЖ");
}

TEST_F(CodePageTest, TextFileBytesHonourBomsAndFallBackTo1252) {
  struct Case { std::string_view bytes; std::string_view utf8; };
  const Case cases[] = {
      {"caf\xC3\xA9", "caf\xC3\xA9"},                       // valid UTF-8
      {"caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC"},         // Latin-1 file: 1252
      {"\xEF\xBB\xBFkey=\xC3\xA9", "key=\xC3\xA9"},         // UTF-8 BOM dropped
      {std::string_view("\xFF\xFEh\x00\xE9\x00", 6), "h\xC3\xA9"},  // UTF-16LE
      {std::string_view("\xFE\xFF\x00h\x00\xE9", 6), "h\xC3\xA9"},  // UTF-16BE
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TextFileBytesToString(c.bytes), c.utf8) << Hex(c.bytes);

  SetAnsiCodePage(1252);
  EXPECT_EQ(TextFileBytesToString("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(TextFileBytesToString("caf\xE9"), "caf\xE9");
  EXPECT_EQ(StringToTextFileBytes("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
}

// Converters are kept per thread; threads converting at once must not share
// one converter's state.
TEST(CodePageThreadsTest, ConcurrentConversionsStayCorrect) {
  const WideString text = u"视频 café 捕获 €";
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const uint32_t cp = t % 2 ? 936 : 54936;
      for (int i = 0; i < 500; ++i)
        if (CodePageToWide(cp, WideToCodePage(cp, text)) != text) ++failures[static_cast<size_t>(t)];
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}
