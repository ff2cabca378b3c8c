#include <gtest/gtest.h>

#include "app/DataFolders.h"
#include "app/tests/AppTestUtil.h"
#include "platform/rtl/DateUtils.h"
#include "platform/rtl/Files.h"

using namespace app;
using apptest::AppTest;

namespace {

TEST(DataFolderPaths, IncludeBackslashAndDriveNumber) {
  EXPECT_EQ(IncludeBackslash(""), "");
  EXPECT_EQ(IncludeBackslash("/a/b"), "/a/b/");
  EXPECT_EQ(IncludeBackslash("/a/b/"), "/a/b/");

  struct Case {
    const char* path;
    const char* storage;
    int32_t drive;
  } cases[] = {
      {"a:\\x", "", 1},    {"B:\\", "", 2},         {"d:", "", 4},   {"Z:\\y", "", 26},
      {"c:\\", "", 3},     {"\\\\server\\", "", 3}, {"7abc", "", 3}, {"", "", 3},
      {"", "e:\\data", 5}, {"/home/u", "", 3},  // "/" is no drive letter
  };
  for (const auto& c : cases) EXPECT_EQ(GetDriveNumber(c.path, c.storage), c.drive) << c.path << " / " << c.storage;
}

TEST(DataFolderPaths, DateStampsHaveNoLeadingZeros) {
  TDateTime t = rtl::EncodeDate(2009, 3, 7) + rtl::EncodeTime(8, 5, 4, 9);
  EXPECT_EQ(DateStampOf(t, false), "2009-3-7");
  EXPECT_EQ(DateStampOf(t, true), "2009-3-7-8-5-4-9");
  TDateTime u = rtl::EncodeDate(2026, 12, 31) + rtl::EncodeTime(23, 59, 58, 999);
  EXPECT_EQ(DateStampOf(u, true), "2026-12-31-23-59-58-999");
}

class DataRootTest : public AppTest {};

TEST_F(DataRootTest, DiscoveryFollowsTheUserFolders) {
  struct Case {
    const char* name;
    const char* videos;
    const char* documents;
    bool createVideos, createDocuments;
    std::string expected;  // relative to HOME, or "EXE"
  } cases[] = {
      {"videos folder exists", "Videos", "Documents", true, true, "Videos/VorixVideoCapture/"},
      {"videos declared but missing", "Videos", "Documents", false, true, "Documents/My Video/VorixVideoCapture/"},
      {"only documents declared", "", "Docs", false, true, "Docs/My Video/VorixVideoCapture/"},
      {"both declared, neither exists", "Videos", "Documents", false, false, "EXE"},
      {"nothing declared", "", "", false, false, "EXE"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_);
    DeclareUserFolders(c.videos, c.documents, c.createVideos, c.createDocuments);
    String expected = c.expected == "EXE" ? exe_ : home_ + "/" + c.expected;
    EXPECT_EQ(FindDataRoot(exe_), expected) << c.name;
  }
  // Nothing is created while looking.
  EXPECT_FALSE(IsDir(home_ + "/Videos/VorixVideoCapture"));
}

TEST_F(DataRootTest, FolderTreeAndDailyAlarmFoldersAreCreated) {
  TGlobalVars g;
  g.StoragePath = root_ + "/data/VorixVideoCapture/";
  FormRootFolders(g);
  FormAlarmRoots(g);
  FormTodayAlarmFolders(g, "2009-3-7");
  g.DV_Path = g.DVRootPath + "MyAlbum/";
  EXPECT_EQ(g.ODDefaultPath, g.StoragePath + "OtherDevices/Default/");
  EXPECT_EQ(g.TodayAlarmVideoPath, g.StoragePath + "AlarmVideos/2009-3-7/");

  CreateDataFolders(g);
  for (const char* sub :
       {"DV/Default", "TV/Default", "OtherDevices/Default", "AlarmImags/2009-3-7", "AlarmVideos/2009-3-7"})
    EXPECT_TRUE(IsDir(g.StoragePath + sub)) << sub;
  EXPECT_FALSE(IsDir(g.DV_Path)) << "the current album is not created";

  // A second day adds its own folder beside the first.
  FormTodayAlarmFolders(g, "2009-3-8");
  CreateDataFolders(g);
  EXPECT_TRUE(IsDir(g.StoragePath + "AlarmImags/2009-3-7"));
  EXPECT_TRUE(IsDir(g.StoragePath + "AlarmImags/2009-3-8"));
}

TEST_F(DataRootTest, QueueFoldersAreEmptiedAndRemovedAtStartUp) {
  apptest::WriteFile(exe_ + "SendMailtempFile/a.jpg", "x");
  apptest::WriteFile(exe_ + "SendMailtempFile/sub/b.jpg", "y");
  apptest::WriteFile(exe_ + "UploadTempFile/c.jpg", "z");
  apptest::WriteFile(exe_ + "Log/AlarmLogFile.txt", "keep");
  EmptyQueueFolders(exe_);
  EXPECT_FALSE(std::filesystem::exists(exe_ + "SendMailtempFile"));
  EXPECT_FALSE(std::filesystem::exists(exe_ + "UploadTempFile"));
  EXPECT_EQ(apptest::ReadFile(exe_ + "Log/AlarmLogFile.txt"), "keep");
  EmptyQueueFolders(exe_);  // nothing there: nothing happens

  TGlobalVars g;
  g.LogPath = exe_ + "Log2/";
  CreateLogFolder(g);
  EXPECT_TRUE(IsDir(exe_ + "Log2"));
}

TEST_F(DataRootTest, FreeSpaceInWholeMegabytes) {
  struct Case {
    bool ok;
    int64_t freeBytes;
    int64_t mb;
  } cases[] = {{true, 5 * 1048576LL + 1048575, 5}, {true, 1048575, 0}, {true, 0, 0}, {false, 0, 0}};
  for (const auto& c : cases) {
    String asked;
    rtl::SetDiskSpaceQuery([&](const String& path, int64_t& freeBytes, int64_t& totalBytes) {
      asked = path;
      freeBytes = c.freeBytes;
      totalBytes = c.freeBytes;
      return c.ok;
    });
    EXPECT_EQ(FreeSpaceMB(exe_), c.mb) << c.freeBytes;
    EXPECT_EQ(asked, exe_);
  }
  rtl::SetDiskSpaceQuery(nullptr);
  EXPECT_GT(FreeSpaceMB(exe_), 0) << "the real file system holding the program's folder";
}

TEST_F(DataRootTest, ChangingTheRootRebuildsEveryFolderAndResetsTheAlbums) {
  TGlobalVars g;
  g.StoragePath = root_ + "/old/VorixVideoCapture/";
  FormRootFolders(g);
  g.AlarmPictureSavePath = root_ + "/own/alarm pictures/";
  g.DV_Path = g.DVRootPath + "Trip/";
  g.OD_PathIndex = 3;

  const String base = root_ + "/new/";
  ASSERT_TRUE(ChangeStorageRootFolders(g, base, "2026-12-10"));
  const String r = base + "VorixVideoCapture/";
  EXPECT_EQ(g.StoragePath, r);
  EXPECT_EQ(g.DVDefaultPath, r + "DV/Default/");
  EXPECT_EQ(g.AlarmPictureSavePath, r + "AlarmImags/");
  EXPECT_EQ(g.TodayAlarmPicturePath, r + "AlarmImags/2026-12-10/");
  EXPECT_EQ(g.DV_Path, g.DVDefaultPath);
  EXPECT_EQ(g.OD_Path, g.ODDefaultPath);
  EXPECT_EQ(g.OD_PathIndex, 0);
  EXPECT_TRUE(IsDir(r + "TV/Default"));
  EXPECT_TRUE(IsDir(r + "AlarmVideos/2026-12-10"));
  EXPECT_GT(g.FreeSpaceMB, 0);

  // The current root again as base changes nothing.
  g.DV_PathIndex = 2;
  EXPECT_FALSE(ChangeStorageRootFolders(g, g.StoragePath, "2026-12-11"));
  EXPECT_EQ(g.DV_PathIndex, 2);
  EXPECT_EQ(g.TodayAlarmPicturePath, r + "AlarmImags/2026-12-10/");
}

TEST_F(DataRootTest, AlbumListIsSortedByNameWithoutDefault) {
  const String dv = root_ + "/DV/";
  // Made in an order unlike the sorted one, so a listing in creation or
  // hash order would show up.
  for (const char* name : {"zoo", "Default", "beach", "Zebra", "2020", "mid"})
    std::filesystem::create_directories(dv + name);
  apptest::WriteFile(dv + "afile.avi", "not an album");
  std::vector<String> expected = {"2020", "Zebra", "beach", "mid", "zoo"};
  EXPECT_EQ(ListAlbumFolders(dv), expected);
  EXPECT_EQ(ListAlbumFolders(root_ + "/missing/"), std::vector<String>{});
}

}  // namespace
