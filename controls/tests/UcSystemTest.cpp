// Text conversions (UTF-7, UTF-8, code pages) against RFC 2152's examples
// and Python's codecs, the keyboard's code page, resource strings and the
// command line.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcSystem.h"
#include "platform/rtl/tests/PythonRunner.h"

using namespace controls;
using uctest::AnsiCodePage;

namespace {

std::string Show(const WideString& w) { return uctest::WideHex(w); }

// Random text over ASCII (with the characters UTF-7 treats specially),
// Latin-1, Cyrillic, CJK and characters outside the BMP.
std::vector<WideString> RandomTexts(unsigned seed, size_t count, bool astral) {
  std::mt19937 rng(seed);
  const WideString specials = u"+-~\\!\"#$%&*;<=>@[]^_`{|}' (),./:?\t\r\n";
  std::vector<WideString> texts;
  for (size_t i = 0; i < count; ++i) {
    WideString w;
    const size_t len = rng() % 24;
    for (size_t k = 0; k < len; ++k) {
      switch (rng() % 6) {
        case 0: w += static_cast<WideChar>(0x20 + rng() % 95); break;
        case 1: w += specials[rng() % specials.size()]; break;
        case 2: w += static_cast<WideChar>(0xA0 + rng() % 0x60); break;
        case 3: w += static_cast<WideChar>(0x410 + rng() % 0x40); break;
        case 4: w += static_cast<WideChar>(0x4E00 + rng() % 0x5000); break;
        case 5:
          if (astral) {
            const uint32_t v = rng() % 0x100000;  // past U+FFFF
            w += static_cast<WideChar>(0xD800 + (v >> 10));
            w += static_cast<WideChar>(0xDC00 + (v & 0x3FF));
          } else {
            w += u'x';
          }
          break;
      }
    }
    texts.push_back(w);
  }
  return texts;
}

// Runs `script` over lines of hex and returns its lines of output.
std::vector<std::string> PythonLines(const std::string& script, const std::vector<std::string>& lines) {
  std::string input;
  for (const std::string& l : lines) input += l + "\n";
  const std::string out = rtltest::RunPythonOnInput(script, input);
  std::vector<std::string> result;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) result.push_back(line);
  return result;
}

}  // namespace

TEST(UcUtf7, EncodingFollowsTheRfcExamples) {
  struct Case {
    const char16_t* text;
    const char* utf7;
  };
  const Case cases[] = {
      {u"", ""},
      {u"+", "+-"},
      {u"1+1", "1+-1"},
      // No "-" before the full stop: it is not a base64 character.
      {u"A\u2262\u0391.", "A+ImIDkQ."},
      {u"Hi Mom -\u263a-!", "Hi Mom -+Jjo--!"},
      {u"Item 3 is \u00a31.", "Item 3 is +AKM-1."},
      // A shifted run at the end of the input ends without "-".
      {u"\u65e5\u672c\u8a9e", "+ZeVnLIqe"},
      // A hyphen right after a run gets a terminator before it.
      {u"\u00e9-", "+AOk--"},
      // Optional direct characters pass; backslash and tilde are shifted.
      {u"!#$%&*;<=>@[]^_`{|}\"", "!#$%&*;<=>@[]^_`{|}\""},
      {u"\\", "+AFw"},
      {u"~", "+AH4"},
      {u"a\tb\r\n", "a\tb\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(WideToUtf7Text(c.text), c.utf7) << c.utf7;
}

TEST(UcUtf7, BlockEncoderOptionsAndAFullTarget) {
  const WideString text = u"\u00e9!a";
  auto encode = [&](bool verbose, bool optional, size_t room, int& result) {
    std::string out(room, '\0');
    const WideChar* src = text.data();
    char* dst = out.data();
    result = Utf7Encode(src, text.data() + text.size(), dst, out.data() + out.size(), verbose, optional);
    out.resize(static_cast<size_t>(dst - out.data()));
    return out;
  };
  int r;
  EXPECT_EQ(encode(false, true, 32, r), "+AOk!a");
  EXPECT_EQ(r, kUtf7Done);
  // Verbose: every run ends with "-"; without the optional set "!" is shifted.
  EXPECT_EQ(encode(true, true, 32, r), "+AOk-!a");
  EXPECT_EQ(encode(false, false, 32, r), "+AOkAIQ-a");
  EXPECT_EQ(encode(false, true, 3, r), "+AO");
  EXPECT_EQ(r, kUtf7TargetFull);
}

TEST(UcUtf7, DecodingFollowsTheRfcAndItsErrorRules) {
  struct Case {
    const char* utf7;
    const char16_t* text;
  };
  const Case good[] = {
      {"+AGE-", u"a"},
      {"+-", u"+"},
      {"A+ImIDkQ.", u"A\u2262\u0391."},
      // The first "-" after the run is absorbed, the second is text.
      {"Hi Mom -+Jjo--!", u"Hi Mom -\u263a-!"},
      {"+ZeVnLIqe-", u"\u65e5\u672c\u8a9e"},
      {"+ZeVnLIqe", u"\u65e5\u672c\u8a9e"},
      {"Item 3 is +AKM-1.", u"Item 3 is \u00a31."},
      {"a+AGE.b", u"aa.b"},
      {"", u""},
  };
  for (const Case& c : good) EXPECT_EQ(Utf7TextToWide(c.utf7), c.text) << c.utf7;
  // "+" alone, "++", a byte above 127, padding bits that are not zero, and a
  // run that ends before it made a unit.
  for (const char* bad : {"+", "++", "a\x80", "+AGF-", "+A-", "+.", "x+AG"}) {
    try {
      Utf7TextToWide(bad);
      ADD_FAILURE() << bad << " decoded";
    } catch (const EUcGeneralError& e) {
      EXPECT_EQ(e.Message(), "Invalid UTF7") << bad;
    }
  }
  // The block decoder keeps going after a malformed byte.
  const std::string in = "\x80z";
  WideString out(4, u'\0');
  const char* src = in.data();
  WideChar* dst = out.data();
  EXPECT_EQ(Utf7Decode(src, in.data() + in.size(), dst, out.data() + out.size()), kUtf7Malformed);
  EXPECT_EQ(WideString(out.data(), static_cast<size_t>(dst - out.data())), u"\u0080z");
  dst = out.data();
  src = in.data();
  EXPECT_EQ(Utf7Decode(src, in.data() + in.size(), dst, out.data() + 1), kUtf7TargetFull);
}

TEST(UcUtf7, RoundTripsThroughPythonsCodec) {
  const std::vector<WideString> texts = RandomTexts(7, 400, true);
  std::vector<std::string> ours, wide;
  for (const WideString& w : texts) {
    ours.push_back(uctest::Hex(WideToUtf7Text(w)));
    wide.push_back(Show(w));
  }
  // Python decodes what we encode...
  const std::vector<std::string> decoded = PythonLines(R"(
import sys
for l in open(sys.argv[1]):
    print(bytes.fromhex(l.strip()).decode('utf-7').encode('utf-16-be').hex())
)",
                                                       ours);
  ASSERT_EQ(decoded.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(decoded[i], wide[i]) << ours[i];
  // ...and we decode what Python encodes.
  const std::vector<std::string> theirs = PythonLines(R"(
import sys
for l in open(sys.argv[1]):
    print(bytes.fromhex(l.strip()).decode('utf-16-be').encode('utf-7').hex())
)",
                                                      wide);
  ASSERT_EQ(theirs.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i)
    EXPECT_EQ(Show(Utf7TextToWide(uctest::Unhex(theirs[i]))), wide[i]) << theirs[i];
}

TEST(UcUtf8, CutOffsAndTheCharactersOfEachLength) {
  struct Case {
    const char* bytes;
    const char16_t* text;
  };
  const Case cases[] = {
      {"\xE2\x82\xAC", u"\u20ac"},
      {"a\xC3\xA9z", u"a\u00e9z"},
      // A sequence cut off by the end, or a continuation byte out of range,
      // empties the whole result.
      {"\xC3", u""},
      {"abc\xC3", u""},
      {"\xE2\x82", u""},
      {"a\xE2\x28\xA1", u""},
      {"\x80", u""},
      {"\xF0\x9F\x98", u""},
      // A four-byte character becomes its surrogate pair.
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      // A lone surrogate's three bytes give the unit back.
      {"\xED\xA0\x80", u"\xD800"},
      {"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Show(Utf8TextToWide(c.bytes)), Show(c.text)) << uctest::Hex(c.bytes);
  EXPECT_EQ(WideToUtf8Text(u"\xD800"), "\xED\xA0\x80");
  EXPECT_EQ(WideToUtf8Text(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8Text(u""), "");
  // Whole files: a bad sequence costs one character.
  EXPECT_EQ(Utf8TextToWideLenient("a\xC3z\xE2\x82"), u"a\uFFFDz\uFFFD");
}

TEST(UcUtf8, AgreesWithPythonsCodec) {
  const std::vector<WideString> texts = RandomTexts(11, 400, true);
  std::vector<std::string> wide;
  for (const WideString& w : texts) wide.push_back(Show(w));
  const std::vector<std::string> theirs = PythonLines(R"(
import sys
for l in open(sys.argv[1]):
    print(bytes.fromhex(l.strip()).decode('utf-16-be').encode('utf-8').hex())
)",
                                                      wide);
  ASSERT_EQ(theirs.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(uctest::Hex(WideToUtf8Text(texts[i])), theirs[i]);
    EXPECT_EQ(Show(Utf8TextToWide(uctest::Unhex(theirs[i]))), wide[i]);
  }
}

TEST(UcCodePages, ConversionsAgreeWithPythonsCodecs) {
  const std::vector<WideString> texts = {
      u"Gr\u00fc\u00dfe \u20ac 5 \u2014 na\u00efve",
      u"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440! \u0401\u0451",
      u"\u4e2d\u6587\u6587\u672c\uff0c\u5168\u89d2\u3002abc",
      u"plain ASCII 123",
  };
  struct Codec {
    uint32_t cp;
    const char* python;
    size_t text;
  };
  const Codec codecs[] = {{1252, "cp1252", 0}, {1251, "cp1251", 1}, {936, "gbk", 2},
                          {1252, "cp1252", 3}, {1251, "cp1251", 3}, {936, "gbk", 3}};
  std::vector<std::string> lines;
  for (const Codec& c : codecs) lines.push_back(std::string(c.python) + " " + Show(texts[c.text]));
  const std::vector<std::string> theirs = PythonLines(R"(
import sys
for l in open(sys.argv[1]):
    codec, hexed = l.split()
    print(bytes.fromhex(hexed).decode('utf-16-be').encode(codec).hex())
)",
                                                      lines);
  ASSERT_EQ(theirs.size(), std::size(codecs));
  for (size_t i = 0; i < std::size(codecs); ++i) {
    const Codec& c = codecs[i];
    EXPECT_EQ(uctest::Hex(WideToCodePageText(texts[c.text], c.cp)), theirs[i]) << c.python;
    EXPECT_EQ(Show(CodePageTextToWide(uctest::Unhex(theirs[i]), c.cp)), Show(texts[c.text])) << c.python;
  }
  // Every byte of the single-byte code pages that Python defines.
  for (const Codec& c : {Codec{1252, "cp1252", 0}, Codec{1251, "cp1251", 0}}) {
    const std::vector<std::string> bytes = PythonLines(std::string(R"(
for b in range(256):
    try:
        print(b, bytes([b]).decode(')") + c.python + R"(').encode('utf-16-be').hex())
    except UnicodeDecodeError:
        pass
)",
                                                       {});
    EXPECT_GT(bytes.size(), 250u);
    for (const std::string& l : bytes) {
      std::istringstream in(l);
      int b;
      std::string hex;
      in >> b >> hex;
      EXPECT_EQ(Show(CodePageTextToWide(std::string(1, static_cast<char>(b)), c.cp)), hex) << c.python << ' ' << b;
    }
  }
  // Code pages 65000 and 65001 take the library's own routes; 0 and 3 are
  // the ANSI code page.
  EXPECT_EQ(WideToCodePageText(u"\u00e9", CP_UTF7), "+AOk");
  EXPECT_EQ(CodePageTextToWide("+AOk-", CP_UTF7), u"\u00e9");
  EXPECT_EQ(CodePageTextToWide("\xC3", CP_UTF8), u"");
  AnsiCodePage ansi(1251);
  EXPECT_EQ(CodePageTextToWide("\xC6", win::CP_THREAD_ACP), u"\u0416");
  EXPECT_EQ(WideToCodePageText(u"\u0416\u00e9", win::CP_ACP), "\xC6?");
}

TEST(UcCodePages, LocaleAndKeyboard) {
  EXPECT_EQ(LocaleAnsiCodePage(0x0419), 1251u);
  EXPECT_EQ(LocaleAnsiCodePage(0x0804), 936u);
  EXPECT_EQ(LocaleAnsiCodePage(0x0409), 1252u);
  // An unknown locale falls back to the system's ANSI code page.
  EXPECT_EQ(LocaleAnsiCodePage(0x7777), win::GetACP());
  const win::HKL saved = win::GetKeyboardLayout(0);
  win::ActivateKeyboardLayout(0x04190419, 0);
  EXPECT_EQ(KeyboardCodePage(), 1251u);
  EXPECT_EQ(KeyCodeToWide(0xC0), u'\u0410');
  EXPECT_EQ(KeyCodeToWide(u'A'), u'A');
  EXPECT_EQ(KeyCodeToWide(300), 300);
  win::ActivateKeyboardLayout(0x04090409, 0);
  EXPECT_EQ(KeyCodeToWide(0x80), u'\u20ac');
  win::ActivateKeyboardLayout(saved, 0);

  WideChar text[] = {0x4100, 0x00E9, 0, 0x4100};
  SwapWideBytes(text);
  EXPECT_EQ(text[0], u'A');
  EXPECT_EQ(text[1], 0xE900);
  EXPECT_EQ(text[3], 0x4100);  // past the NUL nothing changes
}

TEST(UcResourceStrings, FromTablesAndFromTexts) {
  std::string block;
  for (int i = 0; i < 16; ++i) {
    const std::u16string s = i == 3 ? u"Drei \u0416" : u"";
    block += static_cast<char>(s.size());
    block += '\0';
    for (char16_t c : s) {
      block += static_cast<char>(c & 0xFF);
      block += static_cast<char>(c >> 8);
    }
  }
  const rtl::ResourceEntry entries[] = {{"#5", "#6", reinterpret_cast<const unsigned char*>(block.data()), block.size()}};
  const rtl::ResourceTable table{entries, 1};
  win::HINSTANCE module = win::RegisterModule("texts.dll", {}, &table);
  TResStringRec fromTable{&module, 4 * 16 + 3};
  EXPECT_EQ(LoadWideResourceString(&fromTable), u"Drei \u0416");
  TResStringRec missing{&module, 100};
  EXPECT_EQ(LoadWideResourceString(&missing), u"");
  EXPECT_EQ(LoadWideResourceString(nullptr), u"");
  win::UnregisterModule(module);

  static const char utf8[] = "\xEF\xBB\xBF\xD0\x96!";
  static const char ansi[] = "\xC6!";
  static const char onlyMark[] = "\xEF\xBB\xBF";
  AnsiCodePage cp(1251);
  TResStringRec a{nullptr, reinterpret_cast<uintptr_t>(utf8)};
  EXPECT_EQ(LoadWideResourceString(&a), u"\u0416!");
  TResStringRec b{nullptr, reinterpret_cast<uintptr_t>(ansi)};
  EXPECT_EQ(LoadWideResourceString(&b), u"\u0416!");
  // Just the three mark bytes is not longer than 3: read as ANSI.
  TResStringRec c{nullptr, reinterpret_cast<uintptr_t>(onlyMark)};
  EXPECT_EQ(LoadWideResourceString(&c), rtl::CodePageToWide(1251, onlyMark));
}

TEST(UcCommandLine, ParametersAndTheirQuotes) {
  struct Case {
    const char16_t* line;
    std::vector<std::u16string> params;
  };
  const Case cases[] = {
      {u"\"C:\\Program Files\\app.exe\" first \"second arg\"", {u"C:\\Program Files\\app.exe", u"first", u"second arg"}},
      // Quoted only in its middle: one parameter.
      {u"prog ab\"c d\"e", {u"prog", u"abc de"}},
      // Two adjacent double quotes before a parameter count as blanks.
      {u"prog \"\" \"\"  x", {u"prog", u"x"}},
      {u"  \t prog\targ ", {u"prog", u"arg"}},
      {u"prog a\"\"b", {u"prog", u"ab"}},
      {u"prog \"open ended", {u"prog", u"open ended"}},
      {u"prog \u0416\u4e2d", {u"prog", u"\u0416\u4e2d"}},
  };
  for (const Case& c : cases) {
    const WideChar* p = c.line;
    std::vector<std::u16string> got;
    for (;;) {
      WideString param = NextWideParam(p);
      if (param.empty()) break;
      got.push_back(param);
    }
    EXPECT_EQ(got, c.params) << rtl::WideToUtf8(c.line);
  }
  // A parameter longer than the limit is cut, and what follows it is the
  // next parameter.
  const WideString longLine = u"prog " + WideString(5000, u'x') + u" next";
  const WideChar* p = longLine.c_str();
  NextWideParam(p);
  EXPECT_EQ(NextWideParam(p), WideString(kMaxWideParam, u'x'));
  EXPECT_EQ(NextWideParam(p), u"next");

  const WideString saved = win::GetCommandLineW();
  win::SetCommandLineW(u"\"C:\\My App\\vorix.exe\" \"first arg\" second");
  EXPECT_EQ(WideCommandLineParam(1), u"first arg");
  EXPECT_EQ(WideCommandLineParam(2), u"second");
  EXPECT_EQ(WideCommandLineParam(3), u"");
  EXPECT_EQ(WideCommandLineParam(0), WideModulePath(nullptr));
  // An empty parameter ends the search.
  win::SetCommandLineW(u"prog \"\"\"\" x");
  EXPECT_EQ(WideCommandLineParam(1), u"x");
  win::SetCommandLineW(u"prog \"\" \"\"");
  EXPECT_EQ(WideCommandLineParam(1), u"");
  win::SetCommandLineW(saved);
}

TEST(UcCommandLine, TheProgramsOwnCommandLineHasItsArguments) {
  // The test runner was started with its own path as the first word.
  const WideString self = WideString(win::GetCommandLineW());
  ASSERT_FALSE(self.empty());
  const WideChar* p = self.c_str();
  EXPECT_FALSE(NextWideParam(p).empty());
}
