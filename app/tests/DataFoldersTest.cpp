#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

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

// What rtl::TStringList holds, as plain lines.
std::vector<std::string> Entries(const rtl::TStringList* list) {
  std::vector<std::string> lines;
  for (int32_t i = 0; list && i < list->Count(); ++i) lines.push_back(list->Get(i));
  return lines;
}

void SetAge(const std::string& path, int secondsAgo) {
  std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                             std::chrono::seconds(secondsAgo));
}

TEST_F(DataRootTest, QueuesAreRebuiltFromTheQueueFoldersAtStartUp) {
  const std::string mail = exe_ + "SendMailtempFile/", upload = exe_ + "UploadTempFile/";
  // Names and ages disagree on the order: the age decides.
  apptest::WriteFile(mail + "2026-12-11-10-0-9-1.jpg", "newest");
  apptest::WriteFile(mail + "2026-12-11-10-0-10-1.jpg", "oldest");
  apptest::WriteFile(mail + "sub/b.jpg", "a folder inside is no picture");
  apptest::WriteFile(upload + "c.jpg", "z");
  apptest::WriteFile(exe_ + "Log/AlarmLogFile.txt", "keep");
  SetAge(mail + "2026-12-11-10-0-9-1.jpg", 10);
  SetAge(mail + "2026-12-11-10-0-10-1.jpg", 20);

  TGlobalVars g;  // a record whose queues were never made
  RestoreAlarmQueues(g, exe_);
  EXPECT_EQ(Entries(g.MailQueue.get()),
            (std::vector<std::string>{mail + "2026-12-11-10-0-10-1.jpg", mail + "2026-12-11-10-0-9-1.jpg"}));
  EXPECT_EQ(Entries(g.UploadQueue.get()), std::vector<std::string>{upload + "c.jpg"});
  // Nothing is deleted: every picture waits for its run.
  EXPECT_EQ(apptest::ReadFile(mail + "2026-12-11-10-0-9-1.jpg"), "newest");
  EXPECT_EQ(apptest::ReadFile(upload + "c.jpg"), "z");
  EXPECT_EQ(apptest::ReadFile(exe_ + "Log/AlarmLogFile.txt"), "keep");

  // Entries already queued stay once and first; a second rebuild adds
  // nothing; a picture gone from the folder is not brought back.
  std::filesystem::remove(upload + "c.jpg");
  apptest::WriteFile(upload + "d.jpg", "d");
  RestoreAlarmQueues(g, exe_);
  EXPECT_EQ(Entries(g.MailQueue.get()).size(), 2u);
  EXPECT_EQ(Entries(g.UploadQueue.get()), (std::vector<std::string>{upload + "c.jpg", upload + "d.jpg"}));

  // Without the folders the queues are empty lists.
  TGlobalVars fresh;
  RestoreAlarmQueues(fresh, exe_ + "elsewhere/");
  ASSERT_TRUE(fresh.MailQueue && fresh.UploadQueue);
  EXPECT_EQ(fresh.MailQueue->Count(), 0);
  EXPECT_EQ(fresh.UploadQueue->Count(), 0);

  TGlobalVars logs;
  logs.LogPath = exe_ + "Log2/";
  CreateLogFolder(logs);
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
