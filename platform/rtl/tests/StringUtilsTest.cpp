#include "platform/rtl/StringUtils.h"

#include <gtest/gtest.h>

#include "platform/rtl/Text.h"

using namespace rtl;

namespace {
class AnsiCodePage : public ::testing::Test {
protected:
  ~AnsiCodePage() override { SetAnsiCodePage(CP_UTF8); }
};
}  // namespace

TEST(StringUtilsTest, TrimRemovesControlsAndBlanksOnly) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
  EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // no-break space is text
  EXPECT_EQ(Trim("   "), "");
}

TEST(StringUtilsTest, PlainCaseRoutinesTouchAsciiOnly) {
  EXPECT_EQ(UpperCase("abz\xC3\xA9[`{"), "ABZ\xC3\xA9[`{");
  EXPECT_EQ(LowerCase("ABZ\xC3\x89@["), "abz\xC3\x89@[");
  EXPECT_TRUE(SameText("Capture.INI", "capture.ini"));
  EXPECT_FALSE(SameText("\xC3\xA9", "\xC3\x89"));
  EXPECT_FALSE(SameText("ab", "abc"));
}

TEST_F(AnsiCodePage, AnsiCaseRoutinesFollowTheCodePage) {
  EXPECT_EQ(AnsiUpperCase("\xC3\xA9t\xC3\xA9 \xD0\xB6 \xCE\xB1"), "\xC3\x89T\xC3\x89 \xD0\x96 \xCE\x91");
  EXPECT_EQ(AnsiLowerCase("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9");
  EXPECT_TRUE(AnsiSameText("\xC3\xA9T\xC3\xA9", "\xC3\x89t\xC3\x89"));
  EXPECT_EQ(AnsiCompareText("\xC3\xA9", "\xC3\x89"), 0);
  EXPECT_LT(AnsiCompareText("_x", "Ax"), 0);  // unlike CompareText, signs sort before letters
  EXPECT_LT(AnsiCompareText("abc", "ABCD"), 0);
  EXPECT_LT(AnsiCompareText("\xC3\x89" "a", "\xC3\xA9" "B"), 0);
  SetAnsiCodePage(1252);
  EXPECT_EQ(AnsiUpperCase("\xE9t\xE9"), "\xC9T\xC9");
  EXPECT_TRUE(AnsiSameText("\xE9", "\xC9"));
  SetAnsiCodePage(936);
  // Trail bytes of GBK characters may be ASCII letters: they must not be folded.
  const String zhong = Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87");  // 中文
  EXPECT_EQ(AnsiUpperCase(zhong + "a"), zhong + "A");
}

TEST(StringUtilsTest, ComparisonsGiveSignAndOrder) {
  struct Case { const char* a; const char* b; int str; int text; };
  const Case cases[] = {
      {"abc", "abc", 0, 0}, {"abc", "ABC", 1, 0}, {"a", "b", -1, -1}, {"ab", "a", 1, 1},
      // CompareText folds to upper case, so '_' (0x5F) sorts after 'A' (0x41).
      {"", "a", -1, -1}, {"_", "a", -1, 1},
      {"\xC3\xA9", "z", 1, 1},
  };
  auto sign = [](int v) { return (v > 0) - (v < 0); };
  for (const auto& c : cases) {
    EXPECT_EQ(sign(CompareStr(c.a, c.b)), c.str) << c.a << " / " << c.b;
    EXPECT_EQ(sign(CompareText(c.a, c.b)), c.text) << c.a << " / " << c.b;
  }
}

TEST(StringUtilsTest, WideComparisons) {
  EXPECT_TRUE(WideSameText(u"Ärger ΣΊΣΥΦΟΣ", u"ärger σίσυφος"));
  EXPECT_FALSE(WideSameStr(u"a", u"A"));
  EXPECT_LT(WideCompareText(u"_", u"A"), 0);
  EXPECT_GT(WideCompareText(u"b", u"A"), 0);
  EXPECT_EQ(WideCompareText(u"𐐀", u"𐐨"), 0);  // Deseret letters beyond the BMP fold too
  // Code-point order: U+1F3A5 (a surrogate pair) sorts after U+FFFD.
  EXPECT_GT(WideCompareStr(u"🎥", u"\uFFFD"), 0);
}

TEST(StringUtilsTest, PositionsAreOneBasedAndClamp) {
  EXPECT_EQ(Pos("b", "abcb"), 2);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("b", "abcb", 3), 4);
  EXPECT_EQ(Pos("b", "abcb", 5), 0);
  EXPECT_EQ(Pos("b", "abcb", 0), 0);

  struct CopyCase { int index, count; const char* expected; };
  const CopyCase copies[] = {{1, 3, "abc"}, {2, 100, "bcde"}, {0, 2, "ab"}, {-5, 2, "ab"},
                             {5, 1, "e"},   {6, 1, ""},       {3, 0, ""},   {3, -1, ""}};
  for (const auto& c : copies) EXPECT_EQ(Copy("abcde", c.index, c.count), c.expected) << c.index << "," << c.count;

  struct DeleteCase { int index, count; const char* expected; };
  const DeleteCase deletes[] = {{2, 2, "ade"}, {4, 10, "abc"}, {0, 2, "abcde"}, {6, 1, "abcde"}, {1, 0, "abcde"}};
  for (const auto& c : deletes) {
    String s = "abcde";
    Delete(s, c.index, c.count);
    EXPECT_EQ(s, c.expected) << c.index << "," << c.count;
  }

  struct InsertCase { int index; const char* expected; };
  const InsertCase inserts[] = {{1, "XYabc"}, {2, "aXYbc"}, {4, "abcXY"}, {99, "abcXY"}, {-1, "XYabc"}};
  for (const auto& c : inserts) {
    String s = "abc";
    Insert("XY", s, c.index);
    EXPECT_EQ(s, c.expected) << c.index;
  }
}

TEST_F(AnsiCodePage, StringReplaceFlags) {
  struct Case { const char* s; const char* from; const char* to; TReplaceFlags flags; const char* expected; };
  const Case cases[] = {
      {"a.b.c", ".", "/", {}, "a/b.c"},
      {"a.b.c", ".", "/", rfReplaceAll, "a/b/c"},
      {"AbAb", "ab", "x", rfReplaceAll, "AbAb"},
      {"AbAb", "ab", "x", {rfReplaceAll, rfIgnoreCase}, "xx"},
      {"AbAb", "ab", "x", rfIgnoreCase, "xAb"},
      {"aaa", "aa", "a", rfReplaceAll, "aa"},  // no rescanning of replaced text
      {"abc", "", "x", rfReplaceAll, "abc"},
      {"%1 and %1", "%1", "%10", rfReplaceAll, "%10 and %10"},
      {"Caf\xC3\x89 caf\xC3\xA9", "CAF\xC3\xA9", "x", rfReplaceAll | rfIgnoreCase, "x x"},
      {"\xC3\xA9t\xC3\xA9", "T", "-", rfIgnoreCase, "\xC3\xA9-\xC3\xA9"},
      // Bytes that are not UTF-8 stay where they are around the matches.
      {"\xFF\xC3\x84" "b\xE2\x82\xC3\xA4" "B\x80", "\xC3\xA4" "b", "x", rfReplaceAll | rfIgnoreCase,
       "\xFF" "x\xE2\x82" "x\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(StringReplace(c.s, c.from, c.to, c.flags), c.expected) << c.s;
  EXPECT_EQ(ReplaceText("One one", "ONE", "2"), "2 2");

  SetAnsiCodePage(1252);
  EXPECT_EQ(StringReplace("\xC4" "b-\xE4" "B", "\xE4" "b", "x", rfReplaceAll | rfIgnoreCase), "x-x");

  SetAnsiCodePage(936);
  // "中" in GBK is D6 D0 and "文" is CE C4; a search for the bytes "\xD0\xCE"
  // across the boundary must not match when ignoring case.
  const String text = Utf8ToAnsi("\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(StringReplace(text, "\xD0\xCE", "!", rfIgnoreCase), text);
  EXPECT_EQ(StringReplace(text + "Ab", "aB", "!", rfIgnoreCase), text + "!");
}

TEST(StringUtilsTest, SmallBuilders) {
  EXPECT_EQ(StringOfChar('-', 3), "---");
  EXPECT_EQ(StringOfChar('-', -1), "");
  EXPECT_EQ(LeftStr("abc", 2), "ab");
  EXPECT_EQ(RightStr("abc", 2), "bc");
  EXPECT_EQ(RightStr("abc", 9), "abc");
  EXPECT_EQ(LastDelimiter("/.", "a/b.c/d"), 6);
  EXPECT_EQ(LastDelimiter(".", "abc"), 0);
  EXPECT_TRUE(StartsText("VID", "video.avi"));
  EXPECT_TRUE(EndsText(".AVI", "video.avi"));
  EXPECT_FALSE(EndsText("long.avi", "avi"));
  EXPECT_EQ(AdjustLineBreaks("a\nb\rc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\ne");
}

TEST(StringUtilsTest, QuotingRoundTrips) {
  struct Case { const char* plain; const char* quoted; };
  const Case cases[] = {{"", "''"}, {"it's", "'it''s'"}, {"''", "''''''"}, {"a b", "'a b'"}};
  for (const auto& c : cases) {
    EXPECT_EQ(QuotedStr(c.plain), c.quoted);
    EXPECT_EQ(DequotedStr(c.quoted), c.plain);
  }
  EXPECT_EQ(AnsiQuotedStr("say \"hi\"", '"'), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(AnsiDequotedStr("plain", '"'), "plain");
  EXPECT_EQ(AnsiDequotedStr("\"open", '"'), "\"open");
  EXPECT_EQ(AnsiDequotedStr("\"a\"rest", '"'), "a");
}

TEST(StringUtilsTest, IntToHexWidthsAndNegatives) {
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0), "0");
  EXPECT_EQ(IntToHex(0x1234, 2), "1234");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(int64_t{-2}), "FFFFFFFFFFFFFFFE");
  EXPECT_EQ(IntToHex(uint32_t{0xDEADBEEF}, 10), "00DEADBEEF");
}
