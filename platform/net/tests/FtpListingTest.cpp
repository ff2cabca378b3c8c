#include <gtest/gtest.h>

#include "platform/net/FtpListing.h"

namespace {

using net::ParseFtpListing;
using net::ParseFtpListLine;
using net::TFtpListEntry;

struct LineCase {
  const char* line;
  bool parsed;
  const char* name;
  bool dir;
  bool link;
  int64_t size;
};

TEST(FtpListing, LinesOfBothShapes) {
  const LineCase cases[] = {
      {"drwxr-xr-x   2 root     root         4096 Dec 10 11:51 AlarmPicture", true, "AlarmPicture", true, false, 4096},
      {"-rw-r--r--   1 ftp      ftp        123456 Jan  3  2025 pic 1.jpg", true, "pic 1.jpg", false, false, 123456},
      // no group column; an owner made of digits
      {"drwxr-xr-x  3 1000  4096 Mar 31 23:59 2026-3-31", true, "2026-3-31", true, false, 4096},
      {"lrwxrwxrwx   1 root root 7 Feb  1 10:00 latest -> AlarmPicture", true, "latest", false, true, 7},
      // a name that starts with spaces and one that looks like a date
      {"drwxr-xr-x 2 u g 0 Dec 10 11:51  Dec 10 11:51 odd", true, " Dec 10 11:51 odd", true, false, 0},
      {"12-10-26  11:51AM       <DIR>          Alarm Picture", true, "Alarm Picture", true, false, -1},
      {"12-10-2026  01:05PM            1234 a.jpg", true, "a.jpg", false, false, 1234},
      {"total 8", false, "", false, false, 0},
      {"drwxr-xr-x   2 root root 4096 Dec 10 11:51 .", false, "", false, false, 0},
      {"drwxr-xr-x   2 root root 4096 Dec 10 11:51 ..", false, "", false, false, 0},
      {"drwxr-xr-x   2 root root 4096 Dec 10 11:51 ", false, "", false, false, 0},
      {"drwxr-xr-x   2 root root huge Dec 10 11:51 x", false, "", false, false, 0},
      {"drwxr-xr-x   2 root root 99999999999999999999 Dec 10 11:51 x", false, "", false, false, 0},
      {"lrwxrwxrwx   1 root root 7 Feb  1 10:00 . -> ..", false, "", false, false, 0},
      {"hello world", false, "", false, false, 0},
      {"", false, "", false, false, 0},
      {"12-10-26  11:51AM       <DIR>", false, "", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    TFtpListEntry e;
    ASSERT_EQ(ParseFtpListLine(c.line, e), c.parsed);
    if (!c.parsed) continue;
    EXPECT_EQ(e.Name, c.name);
    EXPECT_EQ(e.IsDirectory, c.dir);
    EXPECT_EQ(e.IsLink, c.link);
    EXPECT_EQ(e.Size, c.size);
    EXPECT_EQ(e.Line, c.line);
  }
}

TEST(FtpListing, ListingKeepsOrderAndSkipsWhatItCannotRead) {
  const std::string text =
      "total 12\r\n"
      "drwxr-xr-x   2 root     root         4096 Dec 10 11:51 OldAlarmPictures\r\n"
      "garbage\n"
      "-rw-r--r--   1 root     root            3 Dec 10 11:51 AlarmPicture\r\n"
      "drwxr-xr-x   2 root     root         4096 Dec 10 11:51 bad\x01name\r\n"
      "12-10-26  11:51AM       <DIR>          Last";  // no line end at all
  const auto entries = ParseFtpListing(text);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Name, "OldAlarmPictures");
  EXPECT_EQ(entries[1].Name, "AlarmPicture");
  EXPECT_FALSE(entries[1].IsDirectory);
  EXPECT_EQ(entries[2].Name, "Last");
  EXPECT_TRUE(entries[2].IsDirectory);
}

}  // namespace
