// Wide string lists: sorting and duplicates, index errors, change events,
// name/value lookup, line splitting, the 8-bit view, and text files in
// every encoding they detect, made by iconv and read back by Python.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/UcClasses.h"
#include "controls/uc/UcSystem.h"
#include "platform/rtl/StringUtils.h"
#include "platform/rtl/tests/PythonRunner.h"

using namespace controls;
using namespace std::string_literals;
using uctest::AnsiCodePage;
using uctest::ScratchDir;

namespace {

std::vector<WideString> Items(const TUcStrings& list) {
  std::vector<WideString> v;
  for (int32_t i = 0; i < list.Count(); ++i) v.push_back(list.Get(i));
  return v;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rtl::Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

void* Obj(uintptr_t v) { return reinterpret_cast<void*>(v); }

}  // namespace

TEST(UcStringList, SortedListsAndTheDuplicatesRule) {
  struct Case {
    rtl::TDuplicates rule;
    bool caseSensitive;
    std::vector<WideString> expected;
    std::vector<int32_t> indexes;  // what each Add returned
  };
  const std::vector<WideString> adds = {u"b", u"Abc", u"abc", u"a", u"B"};
  const Case cases[] = {
      // Ignoring case "Abc" and "abc" are equal: the second add returns the
      // first one's index and the list does not grow.
      {rtl::dupIgnore, false, {u"a", u"Abc", u"b"}, {0, 0, 0, 0, 2}},
      // Accepted duplicates go in front of their equals.
      {rtl::dupAccept, false, {u"a", u"abc", u"Abc", u"B", u"b"}, {0, 0, 0, 0, 3}},
      {rtl::dupIgnore, true, {u"Abc", u"B", u"a", u"abc", u"b"}, {0, 0, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    TUcStringList list;
    list.SetSorted(true);
    list.SetDuplicates(c.rule);
    list.SetCaseSensitive(c.caseSensitive);
    std::vector<int32_t> got;
    for (const WideString& s : adds) got.push_back(list.Add(s));
    EXPECT_EQ(Items(list), c.expected) << c.rule << c.caseSensitive;
    EXPECT_EQ(got, c.indexes) << c.rule << c.caseSensitive;
  }
  TUcStringList strict;
  strict.SetSorted(true);
  strict.SetDuplicates(rtl::dupError);
  strict.Add(u"x");
  EXPECT_EQ(ErrorOf([&] { strict.Add(u"X"); }), "String list does not allow duplicates");
  EXPECT_EQ(ErrorOf([&] { strict.Insert(0, u"a"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorOf([&] { strict.Put(0, u"a"); }), "Operation not allowed on sorted list");
  int32_t index;
  EXPECT_TRUE(strict.Find(u"X", index));
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(strict.Find(u"y", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(strict.IndexOf(u"x"), 0);
  EXPECT_EQ(strict.IndexOf(u"y"), -1);
  // Switching the case rule re-sorts, so Find keeps finding.
  TUcStringList sorted;
  sorted.SetSorted(true);
  for (const char16_t* s : {u"b", u"A", u"C"}) sorted.Add(s);
  sorted.SetCaseSensitive(true);
  EXPECT_EQ(Items(sorted), (std::vector<WideString>{u"A", u"C", u"b"}));
  EXPECT_EQ(sorted.IndexOf(u"C"), 1);
}

TEST(UcStringList, SortMatchesAReferenceOrderAndKeepsObjects) {
  std::mt19937 rng(3);
  const WideString letters = u"aAbBcC\u00e9\u00c9\u0436\u0416xyz";
  TUcStringList list;
  for (uintptr_t i = 0; i < 300; ++i) {
    WideString s;
    for (size_t k = 0, n = 1 + rng() % 4; k < n; ++k) s += letters[rng() % letters.size()];
    list.AddObject(s, Obj(i + 1));
  }
  std::vector<std::pair<WideString, void*>> before;
  for (int32_t i = 0; i < list.Count(); ++i) before.emplace_back(list.Get(i), list.Objects(i));
  list.Sort();
  for (int32_t i = 1; i < list.Count(); ++i)
    ASSERT_LE(rtl::WideCompareText(list.Get(i - 1), list.Get(i)), 0) << i;
  std::vector<std::pair<WideString, void*>> after;
  for (int32_t i = 0; i < list.Count(); ++i) after.emplace_back(list.Get(i), list.Objects(i));
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(before, after);  // same items, each with its own object

  list.CustomSort([](TUcStringList& l, int32_t a, int32_t b) { return -rtl::WideCompareStr(l.Get(a), l.Get(b)); });
  for (int32_t i = 1; i < list.Count(); ++i) ASSERT_GE(rtl::WideCompareStr(list.Get(i - 1), list.Get(i)), 0);

  // A sorted list ignores CustomSort; fewer than two items need nothing.
  TUcStringList one;
  int changes = 0;
  one.OnChange = [&](forms::TObject*) { ++changes; };
  one.Add(u"z");
  one.Sort();
  EXPECT_EQ(changes, 1);
}

TEST(UcStringList, IndexErrorsNameTheIndex) {
  TUcStringList list;
  list.Add(u"a");
  list.Add(u"b");
  EXPECT_EQ(ErrorOf([&] { list.Get(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Get(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.Objects(5); }), "List index out of bounds (5)");
  EXPECT_EQ(ErrorOf([&] { list.Put(2, u"x"); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.PutObject(3, nullptr); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { list.Delete(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { list.Exchange(7, -1); }), "List index out of bounds (7)");
  EXPECT_EQ(ErrorOf([&] { list.Exchange(0, -1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { list.InsertObject(3, u"x", nullptr); }), "List index out of bounds (3)");
  list.InsertObject(2, u"c", Obj(9));  // at the end is allowed
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"a", u"b", u"c"}));
  EXPECT_THROW(list.Get(3), rtl::EStringListError);
}

TEST(UcStringList, GrowthChangeEventsAndEditing) {
  TUcStringList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 80; ++i) {
    const int32_t before = list.GetCapacity();
    list.Add(u"x");
    if (list.GetCapacity() != before) capacities.push_back(list.GetCapacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95}));
  list.Clear();
  EXPECT_EQ(list.GetCapacity(), 0);

  std::string events;
  list.OnChanging = [&](forms::TObject*) { events += '<'; };
  list.OnChange = [&](forms::TObject*) { events += '>'; };
  list.Add(u"a");
  list.BeginUpdate();
  list.Add(u"b");
  list.Add(u"c");
  list.BeginUpdate();
  list.Delete(0);
  list.EndUpdate();
  list.EndUpdate();
  list.Exchange(0, 1);
  EXPECT_EQ(events, "<><><>");
  events.clear();
  TUcStringList empty;
  empty.OnChange = list.OnChange;
  empty.Clear();  // nothing to clear, nothing to tell
  EXPECT_EQ(events, "");
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"c", u"b"}));

  list.AddObject(u"d", Obj(4));
  list.Move(2, 0);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"d", u"c", u"b"}));
  EXPECT_EQ(list.Objects(0), Obj(4));
  EXPECT_EQ(list.IndexOfObject(Obj(4)), 0);
  list.Put(0, u"D");
  EXPECT_EQ(list.Objects(0), Obj(4));  // the object stays with its place
  EXPECT_EQ(list.IndexOf(u"B"), 2);

  TUcStringList other;
  other.AddStrings(list);
  EXPECT_TRUE(other.Equals(list));
  other.Put(0, u"d");
  EXPECT_FALSE(other.Equals(list));  // exact comparison
  WideChar* text = list.GetText();
  EXPECT_EQ(WideString(text), u"D\r\nc\r\nb\r\n");
  WideCStrFree(text);
}

TEST(UcStringList, NamesAndValues) {
  for (bool sorted : {false, true}) {
    TUcStringList list;
    list.Add(u"a=1");
    list.Add(u"b=2");
    list.Add(u"plain");
    list.SetSorted(sorted);
    EXPECT_EQ(list.IndexOfName(u"b"), 1) << sorted;
    EXPECT_EQ(list.IndexOfName(u"B"), 1) << sorted;
    EXPECT_EQ(list.IndexOfName(u"c"), -1) << sorted;
    EXPECT_EQ(list.IndexOfName(u"plain"), -1) << sorted;
    EXPECT_EQ(list.IndexOfName(u"z"), -1) << sorted;  // beyond the last item
  }
  TUcStringList list;
  EXPECT_FALSE(list.NameValueSeparatorDefined());
  EXPECT_EQ(list.NameValueSeparator(), u'=');
  EXPECT_TRUE(list.NameValueSeparatorDefined());
  TUcStringList colon;
  colon.SetNameValueSeparator(u':');
  colon.Add(u"k:v");
  EXPECT_EQ(colon.IndexOfName(u"k"), 0);
  list.Assign(&colon);
  EXPECT_EQ(list.NameValueSeparator(), u':');
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"k:v"}));
}

TEST(UcStringList, TextSplitsAtEveryKindOfLineBreak) {
  struct Case {
    WideString text;
    std::vector<WideString> lines;
  };
  const Case cases[] = {
      {u"a\rb\nc\u2028d", {u"a", u"b", u"c", u"d"}},
      // CR, LF and U+2028 in that order are one break.
      {u"a\r\n\u2028b", {u"a", u"b"}},
      {u"a\n\rb", {u"a", u"", u"b"}},
      {u"a\n\nb", {u"a", u"", u"b"}},
      {u"a\r\n", {u"a"}},
      {u"\r\n", {u""}},
      {u"", {}},
      {u"last", {u"last"}},
      {WideString(u"a\0b", 3), {u"a"}},
  };
  for (const Case& c : cases) {
    TUcStringList list;
    list.Add(u"old");
    list.SetTextW(c.text);
    EXPECT_EQ(Items(list), c.lines) << uctest::WideHex(c.text);
  }
  TUcStringList list;
  list.SetText(u"x\ny");
  EXPECT_EQ(list.Text(), u"x\r\ny\r\n");
}

TEST(UcStringList, TheEightBitView) {
  AnsiCodePage cp(1251);
  TUcStringList list;
  TAnsiStrings& view = list.AnsiStrings();
  view.Add("\xC6");
  list.Add(u"\u0436\u00e9");
  EXPECT_EQ(list.Get(0), u"\u0416");
  EXPECT_EQ(view.Count(), 2);
  EXPECT_EQ(view.Get(1), "\xE6?");  // é has no place in 1251
  view.Put(1, "ok");
  EXPECT_EQ(list.Get(1), u"ok");
  rtl::TStringList plain;
  plain.Add("\xC0");
  plain.Add("b");
  list.Assign(plain);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"\u0410", u"b"}));
  rtl::TStringList out;
  list.AssignToStrings(out);
  EXPECT_EQ(out.Get(0), "\xC0");

  rtl::TMemoryStream stream;
  const std::string utf7 = "+BBYEMA-\r\nx";
  stream.WriteBuffer(utf7.data(), static_cast<int64_t>(utf7.size()));
  stream.SetPosition(0);
  view.LoadFromStreamEx(stream, CP_UTF7);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"\u0416\u0430", u"x"}));
  rtl::TMemoryStream saved;
  view.SaveToStreamEx(saved, 1251);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved.Memory()), static_cast<size_t>(saved.Size())),
            "\xC6\xE0\r\nx\r\n");

  forms::TPersistent stranger;
  EXPECT_EQ(ErrorOf([&] { list.Assign(&stranger); }), "Cannot assign a TPersistent to a TUcStringList");
}

TEST(UcStringList, ByteOrderMarkDetection) {
  struct Case {
    std::string bytes;
    TUcFileCharSet kind;
    int64_t position;
  };
  const Case cases[] = {
      {"\xFF\xFE" "a\0"s, fcsUtf16LE, 2}, {"\xFE\xFF\0a"s, fcsUtf16BE, 2}, {"\xEF\xBB\xBF" "a", fcsUtf8, 3},
      {"\xEF\xBB\xBF", fcsUtf8, 3},      {"\xEF\xBB", fcsAnsi, 0},      {"\xFF", fcsAnsi, 0},
      {"", fcsAnsi, 0},                  {"abc", fcsAnsi, 0},           {"\xFF\xFE", fcsUtf16LE, 2},
  };
  for (const Case& c : cases) {
    rtl::TMemoryStream s;
    if (!c.bytes.empty()) s.WriteBuffer(c.bytes.data(), static_cast<int64_t>(c.bytes.size()));
    s.SetPosition(0);
    EXPECT_EQ(DetectByteOrderMark(s), c.kind) << uctest::Hex(c.bytes);
    EXPECT_EQ(s.Position(), c.position) << uctest::Hex(c.bytes);
  }
}

TEST(UcStringList, SavedFilesAreUtf16WithAMarkThatPythonReads) {
  ScratchDir dir;
  const std::string path = dir / "\u0441\u043f\u0438\u0441\u043e\u043a.txt";
  TUcStringList list;
  for (const WideString& s : {WideString(u"caf\u00e9"), WideString(u"\u4e2d\u6587"), WideString(u"\U0001F600 smile"),
                              WideString(u"")})
    list.Add(s);
  list.SaveToFile(rtl::Utf8ToWide(path));
  const std::string bytes = ReadBytes(path);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::string out = rtltest::RunPython(R"(
import sys
text = open(sys.argv[1], encoding='utf-16', newline='').read()
print(text.encode('utf-16-be').hex())
)",
                                             {path});
  EXPECT_EQ(out, uctest::WideHex(u"caf\u00e9\r\n\u4e2d\u6587\r\n\U0001F600 smile\r\n\r\n") + "\n");

  TUcStringList back;
  back.LoadFromFile(rtl::Utf8ToWide(path));
  EXPECT_TRUE(back.Equals(list));
  EXPECT_EQ(back.LastFileCharSet(), fcsUtf16LE);

  // Detection off: the rest of the stream is UTF-16 LE, mark and all.
  rtl::TMemoryStream s;
  list.SaveToStream(s, true);
  s.SetPosition(0);
  back.LoadFromStream(s, false);
  EXPECT_EQ(back.Get(0), u"\uFEFFcaf\u00e9");

  EXPECT_EQ(ErrorOf([&] { back.LoadFromFile(rtl::Utf8ToWide(dir / "missing.txt")); }),
            "Cannot open file " + dir / "missing.txt");
  EXPECT_EQ(ErrorOf([&] { list.SaveToFile(rtl::Utf8ToWide(dir / "no/such.txt")); }),
            "Cannot create file " + dir / "no/such.txt");
}

TEST(UcStringList, FilesMadeByIconvLoadWithAndWithoutMarks) {
  UC_REQUIRE_TOOL("iconv");
  ScratchDir dir;
  const std::string source = dir / "source.txt";
  // Each file holds the same lines; the code pages get the lines they hold.
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e\n\xD0\x96\xD0\xB0\xD1\x80\r\nlast \xE2\x82\xAC";
  const std::vector<WideString> lines = {u"Gr\u00fc\u00dfe", u"\u0416\u0430\u0440", u"last \u20ac"};
  WriteBytes(source, utf8);
  struct Case {
    const char* name;
    std::string command;  // makes the file from `source`
    uint32_t ansi;
    TUcFileCharSet kind;
    std::vector<WideString> expected;
  };
  const std::string src = " " + source;
  const Case cases[] = {
      {"utf16.txt", "iconv -f UTF-8 -t UTF-16" + src, 65001, fcsUtf16LE, lines},
      {"utf16le-bom.txt", "(printf '\\377\\376'; iconv -f UTF-8 -t UTF-16LE" + src + ")", 65001, fcsUtf16LE, lines},
      {"utf16be-bom.txt", "(printf '\\376\\377'; iconv -f UTF-8 -t UTF-16BE" + src + ")", 65001, fcsUtf16BE, lines},
      {"utf8-bom.txt", "(printf '\\357\\273\\277'; iconv -f UTF-8 -t UTF-8" + src + ")", 1252, fcsUtf8, lines},
      {"utf8.txt", "iconv -f UTF-8 -t UTF-8" + src, 65001, fcsAnsi, lines},
      {"cp1251.txt", "sed -n 2,3p" + src + " | iconv -f UTF-8 -t CP1251", 1251, fcsAnsi, {lines[1], lines[2]}},
      // Not UTF-8 and no mark while the code page is UTF-8: read as 1252.
      {"cp1252.txt", "sed -n 1p" + src + " | iconv -f UTF-8 -t CP1252", 65001, fcsAnsi, {lines[0]}},
      // UTF-16 without a mark is taken for ANSI; its first NUL ends the text.
      {"utf16le.txt", "iconv -f UTF-8 -t UTF-16LE" + src, 65001, fcsAnsi, {u"G"}},
  };
  for (const Case& c : cases) {
    const std::string file = dir / c.name;
    ASSERT_EQ(uctest::Run(c.command + " > " + file), 0) << c.command;
    AnsiCodePage cp(c.ansi);
    TUcStringList list;
    list.LoadFromFile(rtl::Utf8ToWide(file));
    EXPECT_EQ(list.LastFileCharSet(), c.kind) << c.name;
    EXPECT_EQ(Items(list), c.expected) << c.name;
  }
  // The same UTF-16 LE bytes with detection off.
  TUcFileStream stream(rtl::Utf8ToWide(dir / "utf16le.txt"), 0);
  TUcStringList list;
  list.LoadFromStream(stream, false);
  EXPECT_EQ(Items(list), lines);
}

TEST(UcStringList, DamagedAndOddFiles) {
  ScratchDir dir;
  struct Case {
    std::string bytes;
    std::vector<WideString> lines;
  };
  const Case cases[] = {
      // One malformed byte costs one character, not the file.
      {"\xEF\xBB\xBF" "ok\n\xC3z\nend", {u"ok", u"\uFFFDz", u"end"}},
      // A trailing odd byte is not text; one byte after the mark is none.
      {"\xFF\xFE" "a\0b\0c"s, {u"ab"}},
      {"\xFF\xFE" "a", {}},
      {"\xFE\xFF\0a\0\n\0b"s, {u"a", u"b"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    const std::string path = dir / "f.txt";
    WriteBytes(path, c.bytes);
    TUcStringList list;
    list.Add(u"stale");
    list.LoadFromFile(rtl::Utf8ToWide(path));
    EXPECT_EQ(Items(list), c.lines) << uctest::Hex(c.bytes);
  }
}

TEST(UcStringList, BigEndianFileFromPython) {
  ScratchDir dir;
  const std::string path = dir / "be.txt";
  const std::string out = rtltest::RunPython(R"(
import sys
open(sys.argv[1], 'wb').write('\ufeff\u0416\u0430\r\n\u4e2d\U0001F600\r\n'.encode('utf-16-be'))
print('ok')
)",
                                             {path});
  ASSERT_EQ(out, "ok\n");
  TUcStringList list;
  list.LoadFromFile(rtl::Utf8ToWide(path));
  EXPECT_EQ(list.LastFileCharSet(), fcsUtf16BE);
  EXPECT_EQ(Items(list), (std::vector<WideString>{u"\u0416\u0430", u"\u4e2d\U0001F600"}));
}
