#include "platform/rtl/FilePaths.h"

#include <gtest/gtest.h>

using namespace rtl;

TEST(FilePathsTest, SplittingANameIntoItsParts) {
  struct Case {
    String name, path, dir, file, ext;
  };
  const Case cases[] = {
      {"/home/u/Videos/clip.avi", "/home/u/Videos/", "/home/u/Videos", "clip.avi", ".avi"},
      {"/home/u/Videos/", "/home/u/Videos/", "/home/u/Videos", "", ""},
      {"/a.b/file", "/a.b/", "/a.b", "file", ""},
      {"/a/archive.tar.gz", "/a/", "/a", "archive.tar.gz", ".gz"},
      {"/a/.hidden", "/a/", "/a", ".hidden", ".hidden"},
      {"/a/name.", "/a/", "/a", "name.", "."},
      {"/file.txt", "/", "/", "file.txt", ".txt"},
      {"/", "/", "/", "", ""},
      {"rel/x.jpg", "rel/", "rel", "x.jpg", ".jpg"},
      {"x.jpg", "", "", "x.jpg", ".jpg"},
      {"", "", "", "", ""},
      {"C:\\Dir\\f.txt", "", "", "C:\\Dir\\f.txt", ".txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExtractFilePath(c.name), c.path);
    EXPECT_EQ(ExtractFileDir(c.name), c.dir);
    EXPECT_EQ(ExtractFileName(c.name), c.file);
    EXPECT_EQ(ExtractFileExt(c.name), c.ext);
    EXPECT_EQ(ExtractFileDrive(c.name), "");
  }
}

TEST(FilePathsTest, ChangeFileExtReplacesOnlyTheNamesExtension) {
  struct Case {
    String name, ext, expected;
  };
  const Case cases[] = {
      {"/v/clip.avi", ".jpg", "/v/clip.jpg"},  {"/v/clip", ".jpg", "/v/clip.jpg"},
      {"/v.d/clip", ".jpg", "/v.d/clip.jpg"},  {"a.tar.gz", ".zip", "a.tar.zip"},
      {"/v/clip.avi", "", "/v/clip"},          {"name.", "txt", "nametxt"},
      {"", ".ini", ".ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(ChangeFileExt(c.name, c.ext), c.expected) << c.name;
}

TEST(FilePathsTest, TrailingDelimiters) {
  struct Case {
    String in, included, excluded;
  };
  const Case cases[] = {
      {"/a/b", "/a/b/", "/a/b"}, {"/a/b/", "/a/b/", "/a/b"}, {"/", "/", ""}, {"", "/", ""},
      {"a\\", "a\\/", "a\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(c.in), c.included) << c.in;
    EXPECT_EQ(IncludeTrailingBackslash(c.in), c.included) << c.in;
    EXPECT_EQ(ExcludeTrailingPathDelimiter(c.in), c.excluded) << c.in;
    EXPECT_EQ(ExcludeTrailingBackslash(c.in), c.excluded) << c.in;
  }
  EXPECT_TRUE(IsPathDelimiter("/a/", 3));
  EXPECT_TRUE(IsPathDelimiter("/a/", 1));
  EXPECT_FALSE(IsPathDelimiter("/a/", 2));
  EXPECT_FALSE(IsPathDelimiter("/a/", 0));
  EXPECT_FALSE(IsPathDelimiter("/a/", 4));
}

TEST(FilePathsTest, ExpandFileNameFromResolvesDotsAgainstTheBase) {
  struct Case {
    String name, base, expected;
  };
  const Case cases[] = {
      {"x.ini", "/opt/app", "/opt/app/x.ini"},
      {"Lang/../skin/./s.ini", "/opt/app", "/opt/app/skin/s.ini"},
      {"../../../..", "/opt/app", "/"},
      {"/abs//double///x", "/ignored", "/abs/double/x"},
      {"sub/", "/opt", "/opt/sub/"},
      {".", "/opt/app/", "/opt/app"},
      {"..", "/opt/app", "/opt"},
      {"", "/opt", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandFileNameFrom(c.name, c.base), c.expected) << c.name;
}

TEST(FilePathsTest, NamesCompareIgnoringCaseBeyondAscii) {
  EXPECT_TRUE(SameFileNameIgnoringCase("English.INI", "english.ini"));
  EXPECT_TRUE(SameFileNameIgnoringCase("ÉTÉ.jpg", "été.JPG"));
  EXPECT_TRUE(SameFileNameIgnoringCase("ŁÓDŹ", "łódź"));
  EXPECT_TRUE(SameFileNameIgnoringCase("ΑΘΗΝΑ", "αθηνα"));
  EXPECT_TRUE(SameFileNameIgnoringCase("ЁЖИК", "ёжик"));
  EXPECT_FALSE(SameFileNameIgnoringCase("a.jpg", "a.jpeg"));
  EXPECT_FALSE(SameFileNameIgnoringCase("x×", "xx")) << "the multiplication sign is not a letter";
  // Bytes that are not UTF-8 still fold their ASCII letters and compare exactly otherwise.
  EXPECT_TRUE(SameFileNameIgnoringCase("A\xE9.TXT", "a\xE9.txt"));
  EXPECT_FALSE(SameFileNameIgnoringCase("a\xE9", "a\xC9"));
  EXPECT_FALSE(SameFileNameIgnoringCase("a\xE9", "aé")) << "a Latin-1 byte is not the letter it would decode to";
  EXPECT_EQ(FoldFileNameCase("Été.JPG"), "été.jpg");
}

TEST(FilePathsTest, DirectorySearchWildcards) {
  struct Case {
    const char* spec;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.*", "file.txt", true},     {"*.*", "noext", true},       {"*.*", ".hidden", true},
      {"*.*", "a.b.c", true},        {"*", "anything.at.all", true},
      {"*.jpg", "photo.jpg", true},  {"*.jpg", "PHOTO.JPG", true}, {"*.jpg", "a.b.jpg", true},
      {"*.jpg", "photo.jpeg", false}, {"*.jpg", "a.jpg.png", false}, {"*.jpg", "jpg", false},
      {"*.ini", "english.ini", true}, {"*.", "noext", true},        {"*.", "file.txt", false},
      {"v~*", "v~1234.tmp", true},   {"tv*", "TV0001.tmp", true},  {"tv*", "atv", false},
      {"?.jpg", "a.jpg", true},      {"?.jpg", "ab.jpg", false},   {"??.jpg", "a.jpg", true},
      {"a?c", "abc", true},          {"a?c", "a.c", false},        {"name.*", "name", true},
      {"name.*", "name.txt", true},  {"name.*", "names.txt", false}, {"name.", "name", true},
      {"exact.txt", "EXACT.TXT", true}, {"exact.txt", "exact.txt2", false},
      {"é*.jpg", "Élan.jpg", true},  {"", "x", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesFileSpec(c.name, c.spec), c.matches) << c.spec << " ~ " << c.name;
}

TEST(FilePathsTest, FileMaskMatcher) {
  struct Case {
    const char* mask;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.*", "file.txt", true},      {"*.*", "noext", false},      {"*", "", true},
      {"*.jpg", "A.JPG", true},       {"*.jpg", "a.jpeg", false},   {"?", "", false},
      {"a?c", "a.c", true},           {"a*b*c", "aXXbYYbc", true},  {"a*b*c", "aXXbYYbd", false},
      {"[a-c]*.txt", "Bee.txt", true}, {"[a-c]*.txt", "dee.txt", false},
      {"[!a-c]*", "dee", true},       {"[!a-c]*", "Cee", false},    {"[xyz].ini", "Y.ini", true},
      {"img[0-9][0-9]", "img42", true}, {"img[0-9][0-9]", "img4a", false},
      {"**x", "abx", true},           {"ÉTÉ*", "été.jpg", true},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.mask << " ~ " << c.name;
  try {
    MatchesMask("abc", "ab[c-");
    ADD_FAILURE() << "no EMaskException";
  } catch (const EMaskException& e) {
    EXPECT_EQ(e.Message(), "'ab[c-' is an invalid mask at (3)");
  }
}
