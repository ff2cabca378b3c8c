#include "platform/rtl/StringList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/Exceptions.h"

namespace {

using rtl::String;
using rtl::TStringList;

std::vector<String> Items(const rtl::TStrings& l) {
  std::vector<String> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Strings(i));
  return v;
}

void Fill(TStringList& l, std::initializer_list<const char*> items) {
  for (const char* s : items) l.Add(s);
}

String ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rtl::EStringListError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(StringList, SortedListHonoursDuplicatesMode) {
  struct Case {
    rtl::TDuplicates mode;
    bool caseSensitive;
    std::vector<String> expected;
  };
  const Case cases[] = {
      {rtl::dupIgnore, false, {"a", "b", "c"}},
      // An accepted duplicate goes before the equal strings already there.
      {rtl::dupAccept, false, {"a", "a", "B", "b", "c"}},

  };
  for (const Case& c : cases) {
    TStringList l;
    l.SetSorted(true);
    l.SetDuplicates(c.mode);
    l.SetCaseSensitive(c.caseSensitive);
    Fill(l, {"b", "a", "B", "c", "a"});
    EXPECT_EQ(Items(l), c.expected) << c.mode << " " << c.caseSensitive;
  }
  // Case-sensitive: "B" and "b" both stay, in the order the comparison gives.
  TStringList cs;
  cs.SetSorted(true);
  cs.SetCaseSensitive(true);
  Fill(cs, {"b", "a", "B", "c", "a"});
  EXPECT_EQ(cs.Count(), 4);
  for (int32_t i = 1; i < cs.Count(); ++i) EXPECT_LT(cs.CompareStrings(cs[i - 1], cs[i]), 0);

  TStringList strict;
  strict.SetSorted(true);
  strict.SetDuplicates(rtl::dupError);
  Fill(strict, {"x", "y"});
  EXPECT_EQ(ErrorOf([&] { strict.Add("X"); }), "String list does not allow duplicates");
  EXPECT_EQ(Items(strict), (std::vector<String>{"x", "y"}));
  // A dupIgnore add answers the index of the string already there.
  TStringList ignore;
  ignore.SetSorted(true);
  Fill(ignore, {"m", "k", "z"});
  EXPECT_EQ(ignore.Add("M"), 1);
}

TEST(StringList, FindAndIndexOfOnSortedAndUnsortedLists) {
  TStringList l;
  Fill(l, {"pear", "Apple", "fig", "apple"});
  EXPECT_EQ(l.IndexOf("APPLE"), 1);  // unsorted: first match in list order
  l.SetSorted(true);
  l.SetDuplicates(rtl::dupAccept);
  int32_t at = -1;
  EXPECT_TRUE(l.Find("apple", at));
  EXPECT_EQ(at, 0);  // the first of the equal run
  EXPECT_FALSE(l.Find("grape", at));
  EXPECT_EQ(at, 3);  // where it would go: after fig, before pear
  EXPECT_EQ(l.Add("grape"), 3);
  EXPECT_EQ(l.IndexOf("PEAR"), 4);
  EXPECT_EQ(l.IndexOf("kiwi"), -1);

  // Switching to case-sensitive comparison re-sorts the list.
  TStringList cs;
  cs.SetSorted(true);
  cs.SetDuplicates(rtl::dupAccept);
  Fill(cs, {"b", "B", "a", "A"});
  cs.SetCaseSensitive(true);
  for (int32_t i = 1; i < cs.Count(); ++i) EXPECT_LT(cs.CompareStrings(cs[i - 1], cs[i]), 0);
  for (const char* s : {"a", "A", "b", "B"}) {
    EXPECT_TRUE(cs.Find(s, at)) << s;
    EXPECT_EQ(cs[at], s);
  }
}

TEST(StringList, RangeAndSortedListErrors) {
  TStringList l;
  Fill(l, {"a", "b"});
  EXPECT_EQ(ErrorOf([&] { l.Strings(2); }), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([&] { l.Delete(-1); }), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([&] { l.Insert(3, "x"); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { l.SetObjects(7, nullptr); }), "List index out of bounds (7)");
  EXPECT_EQ(ErrorOf([&] { l.Exchange(0, 2); }), "List index out of bounds (2)");
  l.Insert(2, "c");  // inserting at Count appends
  EXPECT_EQ(Items(l), (std::vector<String>{"a", "b", "c"}));
  EXPECT_EQ(ErrorOf([&] { l.SetCapacity(2); }), "List capacity out of bounds (2)");
  l.SetCapacity(100);
  EXPECT_GE(l.Capacity(), 100);
  l.SetCapacity(3);
  EXPECT_EQ(l.Capacity(), 3);
  EXPECT_EQ(Items(l), (std::vector<String>{"a", "b", "c"}));

  l.SetSorted(true);
  EXPECT_EQ(ErrorOf([&] { l.Insert(0, "z"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorOf([&] { l.SetStrings(0, "z"); }), "Operation not allowed on sorted list");
  EXPECT_EQ(ErrorOf([&] { l.Move(0, 2); }), "Operation not allowed on sorted list");
  EXPECT_EQ(Items(l), (std::vector<String>{"a", "b", "c"}));
}

TEST(StringList, ObjectsTravelWithTheirStrings) {
  int one = 1, two = 2, three = 3;
  TStringList l;
  l.AddObject("one", &one);
  l.AddObject("two", &two);
  l.InsertObject(0, "three", &three);
  l.Move(0, 2);
  EXPECT_EQ(Items(l), (std::vector<String>{"one", "two", "three"}));
  l.Exchange(0, 1);
  EXPECT_EQ(l.Objects(0), &two);
  EXPECT_EQ(l.IndexOfObject(&three), 2);
  l.SetSorted(true);  // sorting moves objects along: one, three, two
  EXPECT_EQ(l.Objects(1), &three);

  TStringList copy;
  copy.SetDelimiter(';');
  copy.Assign(l);
  EXPECT_EQ(Items(copy), Items(l));
  EXPECT_EQ(copy.Objects(2), &two);
  EXPECT_EQ(copy.Delimiter(), ',');
  copy.AddStrings(copy);
  EXPECT_EQ(copy.Count(), 6);
}

TEST(StringList, NamesAndValues) {
  TStringList l;
  Fill(l, {"Host=example.org", "port=25", "bare", "=nameless", "user=a=b"});
  EXPECT_EQ(l.Values("HOST"), "example.org");
  EXPECT_EQ(l.Values("user"), "a=b");
  EXPECT_EQ(l.Values("bare"), "");
  EXPECT_EQ(l.Names(2), "");
  EXPECT_EQ(l.ValueFromIndex(2), "");
  EXPECT_EQ(l.Names(3), "");
  EXPECT_EQ(l.ValueFromIndex(3), "nameless");
  EXPECT_EQ(l.IndexOfName("PORT"), 1);

  l.SetValues("Port", "587");  // replaces in place, with the caller's spelling
  EXPECT_EQ(l.Strings(1), "Port=587");
  l.SetValues("new", "v");
  EXPECT_EQ(l.Strings(l.Count() - 1), "new=v");
  l.SetValues("host", "");  // an empty value removes the line
  EXPECT_EQ(l.IndexOfName("host"), -1);
  l.SetValues("missing", "");
  l.SetValueFromIndex(0, "");
  EXPECT_EQ(Items(l), (std::vector<String>{"bare", "=nameless", "user=a=b", "new=v"}));

  TStringList cs;
  cs.SetCaseSensitive(true);
  cs.Add("Key=1");
  EXPECT_EQ(cs.Values("key"), "");

  // On a sorted list a changed value keeps the list in order.
  TStringList sorted;
  sorted.SetSorted(true);
  Fill(sorted, {"b=2", "c=3"});
  sorted.SetValues("a", "1");
  sorted.SetValues("B", "22");
  EXPECT_EQ(Items(sorted), (std::vector<String>{"a=1", "B=22", "c=3"}));

  TStringList colon;
  colon.SetNameValueSeparator(':');
  colon.AddPair("Subject", "hi: there");
  EXPECT_EQ(colon.Values("subject"), "hi: there");
}

TEST(StringList, CommaAndDelimitedText) {
  struct Out {
    std::vector<String> items;
    String comma;
  };
  const Out outs[] = {
      {{"a", "b"}, "a,b"},
      {{"two words", "x"}, "\"two words\",x"},
      {{"say \"hi\"", "a,b"}, "\"say \"\"hi\"\"\",\"a,b\""},
      {{"", "x", ""}, ",x,"},
      {{""}, "\"\""},
      {{}, ""},
      {{"tab\there"}, "\"tab\there\""},
  };
  for (const Out& o : outs) {
    TStringList l;
    for (const auto& s : o.items) l.Add(s);
    EXPECT_EQ(l.CommaText(), o.comma);
    TStringList back;
    back.SetCommaText(o.comma);
    if (o.items.size() == 1 && o.items[0].empty()) continue;  // "" reads back as one empty item
    EXPECT_EQ(Items(back), o.items) << o.comma;
  }

  struct In {
    String text;
    std::vector<String> items;
  };
  const In ins[] = {
      {"  a , b ,c  ", {"a", "b", "c"}},
      {"a b,c", {"a", "b", "c"}},  // blanks split too
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {"\"x, y\",\"open", {"x, y", "open"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"\"\"", {""}},
      {"", {}},
  };
  for (const In& c : ins) {
    TStringList l;
    l.SetCommaText(c.text);
    EXPECT_EQ(Items(l), c.items) << c.text;
  }

  TStringList d;
  d.SetDelimiter(';');
  d.SetQuoteChar('\'');
  d.SetDelimitedText("one two;'it''s';x");
  EXPECT_EQ(Items(d), (std::vector<String>{"one", "two", "it's", "x"}));
  EXPECT_EQ(d.DelimitedText(), "one;two;'it''s';x");
  EXPECT_EQ(d.CommaText(), "one,two,it's,x");  // CommaText ignores the settings
  d.SetStrictDelimiter(true);
  d.SetDelimitedText(" a b ;c");
  EXPECT_EQ(Items(d), (std::vector<String>{" a b ", "c"}));
  EXPECT_EQ(d.DelimitedText(), " a b ;c");
}

TEST(StringList, TextSplitsEveryLineBreakAndJoinsWithLineBreak) {
  const std::pair<String, std::vector<String>> cases[] = {
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n", {"a"}},
      {"a\n\n", {"a", ""}},
      {"\n", {""}},
      {"a\n\rb", {"a", "", "b"}},
      {"", {}},
  };
  for (const auto& [text, items] : cases) {
    TStringList l;
    l.SetText(text);
    EXPECT_EQ(Items(l), items) << ::testing::PrintToString(text);
  }
  TStringList l;
  Fill(l, {"x", "", "y"});
  EXPECT_EQ(l.Text(), "x\n\ny\n");
  l.SetLineBreak("\r\n");
  EXPECT_EQ(l.Text(), "x\r\n\r\ny\r\n");
  l.SetTrailingLineBreak(false);
  EXPECT_EQ(l.Text(), "x\r\n\r\ny");
}

TEST(StringList, ChangeEventsAndUpdates) {
  TStringList l;
  std::vector<String> log;
  l.OnChanging = [&](rtl::TStrings* s) { log.push_back("changing " + std::to_string(s->Count())); };
  l.OnChange = [&](rtl::TStrings* s) { log.push_back("change " + std::to_string(s->Count())); };
  l.Add("a");
  EXPECT_EQ(log, (std::vector<String>{"changing 0", "change 1"}));
  log.clear();
  l.BeginUpdate();
  l.BeginUpdate();
  l.SetText("x\ny\nz");
  l.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{"changing 1"}));
  l.EndUpdate();
  EXPECT_EQ(log, (std::vector<String>{"changing 1", "change 3"}));

  // A failed bulk change still closes its update.
  log.clear();
  l.SetSorted(true);
  l.SetDuplicates(rtl::dupError);
  EXPECT_THROW(l.SetCommaText("p,q,p"), rtl::EStringListError);
  EXPECT_EQ(l.UpdateCount(), 0);
  EXPECT_EQ(log.back(), "change 2");
  log.clear();
  l.Clear();
  l.Clear();  // nothing to clear, nothing reported
  EXPECT_EQ(log.size(), 2u);
}

TEST(StringList, CustomSortReadsTheListByIndex) {
  TStringList l;
  Fill(l, {"ccc", "a", "bbbb", "dd", "eeeee", "f"});
  l.CustomSort([](TStringList& list, int32_t i, int32_t j) {
    auto a = list.Strings(i).size(), b = list.Strings(j).size();
    return a == b ? list.CompareStrings(list.Strings(i), list.Strings(j)) : (a < b ? 1 : -1);
  });
  EXPECT_EQ(Items(l), (std::vector<String>{"eeeee", "bbbb", "ccc", "dd", "a", "f"}));
  // A comparison that is no order at all must not run off the list.
  unsigned seed = 7;
  TStringList many;
  for (int i = 0; i < 200; ++i) many.Add(std::to_string(i));
  many.CustomSort([&](TStringList&, int32_t, int32_t) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % 3) - 1;
  });
  EXPECT_EQ(many.Count(), 200);
}

class StringListFiles : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vorix-sl-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  String Path(const char* name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

TEST_F(StringListFiles, LoadsLegacyBytesAndSavesUtf8) {
  {
    std::ofstream f(Path("in.txt"), std::ios::binary);
    f << "caf\xe9\r\nna\xefve\r\n";  // Windows-1252, CR LF
  }
  TStringList l;
  l.LoadFromFile(Path("in.txt"));
  EXPECT_EQ(Items(l), (std::vector<String>{"caf\xc3\xa9", "na\xc3\xafve"}));
  l.SaveToFile(Path("out.txt"));
  std::ifstream in(Path("out.txt"), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str(), "caf\xc3\xa9\nna\xc3\xafve\n");

  EXPECT_THROW(l.LoadFromFile(Path("missing.txt")), rtl::EFOpenError);
  EXPECT_THROW(l.SaveToFile(Path("no/such/dir.txt")), rtl::EFCreateError);
}

}  // namespace
