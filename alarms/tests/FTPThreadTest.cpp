#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "alarms/FTPThread.h"
#include "alarms/tests/WorkerTestHost.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/rtl/Clock.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using alarms::TFTPThread;
using alarmtest::TestHost;
using mailtest::TempDir;

using nettest::FtpServer;

std::vector<std::string> MakePictures(const std::string& folder, int count, size_t size = 20000) {
  std::filesystem::create_directories(folder);
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    paths.push_back(folder + "/2026-12-11-10-0-" + std::to_string(i) + ".jpg");
    nettest::WriteFile(paths.back(), nettest::Binary(size, i + 1));
  }
  return paths;
}

void Configure(TestHost& host, const FtpServer& ftp) {
  host.ftp.FTPHostAddress = "127.0.0.1";
  host.ftp.FTPPort = ftp.server->Port();
  host.ftp.FTPUserName = "Name";
  host.ftp.FTPPassword = "pw";
  host.ftp.ConnectTimeoutMs = 300;
  host.ftp.ResponseTimeoutMs = 1000;
}

struct FolderCase {
  const char* name;
  const char* folder;
  std::vector<std::string> dirs, files;  // in the root beforehand
  int mkd;
  const char* lands;  // where the picture arrives, below the root; null: nowhere
};

TEST(FTPThread, PicturesArriveInTheFolderMadeOrFound) {
  const FolderCase cases[] = {
      {"absent", "AlarmPicture", {}, {}, 1, "AlarmPicture"},
      {"present", "AlarmPicture", {"AlarmPicture"}, {}, 0, "AlarmPicture"},
      {"only a longer name holds it", "AlarmPicture", {"OldAlarmPictures"}, {}, 1, "AlarmPicture"},
      // the folder is asked for, which the server cannot make beside the
      // file: the picture waits
      {"a file of that name", "AlarmPicture", {}, {"AlarmPicture"}, 1, nullptr},
      // every line of this server's listing names the owner "root"
      {"the owner's name", "root", {"other"}, {}, 1, "root"},
      {"nested with spaces", "cam 1/2026 12", {"cam 1"}, {}, 1, "cam 1/2026 12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    rtl::ScopedVirtualClock clock;
    FtpServer ftp;
    for (const auto& d : c.dirs) std::filesystem::create_directories(ftp.root + "/" + d);
    for (const auto& f : c.files) nettest::WriteFile(ftp.root + "/" + f, "not a folder");
    TempDir work;
    TestHost host;
    Configure(host, ftp);
    host.ftp.FTPFolder = c.folder;
    const auto pictures = MakePictures(work / "UploadTempFile", 2, 3 << 20);
    const std::string bytes = nettest::ReadFile(pictures[0]);
    host.uploadQueue = pictures;
    TFTPThread worker(host);
    worker.UploadNextFile();
    EXPECT_EQ(ftp.Count("MKD"), c.mkd);
    EXPECT_FALSE(host.uploadBusy);
    if (!c.lands) {
      EXPECT_EQ(host.uploadQueue, pictures);
      EXPECT_EQ(host.hints, std::vector<std::string>{std::string(c.folder) + ":Cannot use the FTP folder !\r"});
      continue;
    }
    EXPECT_TRUE(nettest::ReadFile(ftp.root + "/" + c.lands + "/" + std::filesystem::path(pictures[0]).filename().string()) ==
                bytes);
    EXPECT_FALSE(std::filesystem::exists(pictures[0]));
    EXPECT_EQ(host.uploadQueue, std::vector<std::string>{pictures[1]});
    EXPECT_EQ(host.ftpFolder, c.folder);
    EXPECT_TRUE(host.hints.empty());
    EXPECT_EQ(host.statuses.front(), 0);
    EXPECT_EQ(host.statuses.back(), 3);
    EXPECT_EQ(host.ftpStatus, "Disconnected.");
    EXPECT_EQ(alarms::FtpTransferSpeed(), 0);
    // The speed of the store, with the time left, at least once.
    const std::regex speed(R"(\d+\.\d\d KB/s; Time remaining [ \d]\d:[ \d]\d:[ \d]\d)");
    bool sawSpeed = false;
    for (const auto& t : host.speedTexts) sawSpeed |= std::regex_match(t, speed);
    EXPECT_TRUE(sawSpeed);
  }
}

TEST(FTPThread, SpeedTextShowsTheTimeLeft) {
  const std::tuple<double, int64_t, const char*> cases[] = {
      {0, 1000, ""},
      {1024, 0, "1.00 KB/s; Time remaining  0: 0: 0"},
      {2048, 2048 * 3725, "2.00 KB/s; Time remaining  1: 2: 5"},
      // past what 16 bits of seconds hold
      {1024, 1024LL * 70000, "1.00 KB/s; Time remaining 19:26:40"},
  };
  for (const auto& [bps, left, text] : cases) EXPECT_EQ(alarms::FtpSpeedText(bps, left), text);
}

TEST(FTPThread, MissingFilesAreDroppedBeforeTheUpload) {
  rtl::ScopedVirtualClock clock;
  FtpServer ftp;
  TempDir work;
  TestHost host;
  Configure(host, ftp);
  const auto pictures = MakePictures(work / "q", 3);
  std::filesystem::remove(pictures[0]);
  std::filesystem::remove(pictures[1]);
  host.uploadQueue = pictures;
  TFTPThread worker(host);
  worker.UploadNextFile();
  EXPECT_TRUE(host.uploadQueue.empty());
  EXPECT_TRUE(std::filesystem::exists(ftp.root + "/AlarmPicture/" + std::filesystem::path(pictures[2]).filename().string()));
  EXPECT_EQ(ftp.Count("STOR"), 1);
}

TEST(FTPThread, AnUploadedPictureThatCannotBeDeletedIsNotUploadedAgain) {
  rtl::ScopedVirtualClock clock;
  FtpServer ftp;
  TempDir work;
  TestHost host;
  Configure(host, ftp);
  // One of the kernel's files, which no one may remove.
  const std::string stuck = "/proc/version";
  const auto pictures = MakePictures(work / "q", 1);
  host.uploadQueue = {stuck, pictures[0]};
  TFTPThread worker(host);
  worker.UploadNextFile();
  EXPECT_EQ(nettest::ReadFile(ftp.root + "/AlarmPicture/version"), nettest::ReadFile(stuck));
  EXPECT_EQ(host.uploadQueue, pictures);
  EXPECT_EQ(host.hints, std::vector<std::string>{stuck + ":Cannot delete the uploaded picture !\r"});
  worker.UploadNextFile();
  EXPECT_TRUE(host.uploadQueue.empty());
  EXPECT_EQ(ftp.Count("STOR"), 2);
}

TEST(FTPThread, ATickDuringARunEndsAtOnce) {
  rtl::ScopedVirtualClock clock;
  FtpServer ftp;
  TempDir work;
  TestHost host;
  Configure(host, ftp);
  host.uploadQueue = MakePictures(work / "q", 2);
  TFTPThread worker(host);
  bool checked = false;
  host.onStatus = [&](int code) {
    if (code != 0 || checked) return;
    checked = true;
    // A second tick on a thread of its own, while this run is on.
    std::thread tick([&] { worker.UploadNextFile(); });
    tick.join();
    std::lock_guard l(host.m);
    EXPECT_EQ(host.statuses, std::vector<int>{0});
    EXPECT_EQ(host.uploadQueue.size(), 2u);
  };
  worker.UploadNextFile();
  EXPECT_TRUE(checked);
  EXPECT_EQ(ftp.Count("USER"), 1);
  EXPECT_EQ(host.uploadQueue.size(), 1u);
}

struct UploadFault {
  const char* name;
  const char* behaviour;
  const char* user;
  const char* password;
  bool down;
  bool switchedOff;
  const char* hint;  // after the path, or alone when the path is not in it
};

TEST(FTPThread, FailuresLeaveEveryPictureQueued) {
  TempDir scratch;
  nettest::PythonServer silent(scratch.Path(), "silent", nettest::kSilentScript, {});
  const UploadFault faults[] = {
      {"server down", "normal", "Name", "pw", true, true, nullptr},
      {"login refused", "normal", "Name", "wrong", false, true, nullptr},
      {"store refused", "normal", "ro", "pw", false, false, ":Upload Fail !\r"},
      {"cut mid-transfer", "cut", "Name", "pw", false, false, ":Upload Fail !\r"},
      {"server stalls past the time-out", "stall", "Name", "pw", false, false, ":Upload Fail !\r"},
  };
  for (const auto& f : faults) {
    SCOPED_TRACE(f.name);
    rtl::ScopedVirtualClock clock;
    FtpServer ftp(f.behaviour);
    std::filesystem::create_directory(ftp.root + "/AlarmPicture");
    TempDir work;
    TestHost host;
    Configure(host, ftp);
    host.ftp.FTPUserName = f.user;
    host.ftp.FTPPassword = f.password;
    if (f.down) host.ftp.FTPPort = nettest::ClosedPort();
    const auto pictures = MakePictures(work / "q", 2, 1 << 20);
    host.uploadQueue = pictures;
    // The run counts as on until the progress window has been told to go,
    // so no second run can slip in while this one winds down.
    bool busyAtClose = false;
    host.onStatus = [&](int code) {
      if (code == 3) busyAtClose = host.uploadBusy;
    };
    TFTPThread worker(host);
    worker.UploadNextFile();
    EXPECT_TRUE(busyAtClose);
    EXPECT_EQ(host.uploadQueue, pictures);
    for (const auto& p : pictures) EXPECT_TRUE(std::filesystem::exists(p));
    EXPECT_EQ(host.ftpUpload, !f.switchedOff);
    EXPECT_FALSE(host.uploadBusy);
    EXPECT_EQ(host.statuses.back(), 3);
    ASSERT_EQ(host.hints.size(), 1u);
    EXPECT_EQ(host.hints[0], f.hint ? pictures[0] + f.hint
                                    : "Failure to connect to the FTP server,\rplease check the FTP settings!\r");
  }
}

TEST(FTPThread, APictureTheServerKeepsRefusingGoesBehindTheOthers) {
  rtl::ScopedVirtualClock clock;
  FtpServer ftp;
  std::filesystem::create_directory(ftp.root + "/AlarmPicture");
  TempDir work;
  TestHost host;
  Configure(host, ftp);
  const auto pictures = MakePictures(work / "q", 2);
  // The server cannot create a file where a folder of that name stands.
  std::filesystem::create_directory(ftp.root + "/AlarmPicture/" + std::filesystem::path(pictures[0]).filename().string());
  host.uploadQueue = pictures;
  TFTPThread worker(host);
  for (int i = 0; i < TFTPThread::kTriesBeforeMovingOn; ++i) worker.UploadNextFile();
  EXPECT_EQ(host.uploadQueue, (std::vector<std::string>{pictures[1], pictures[0]}));
  worker.UploadNextFile();
  EXPECT_EQ(host.uploadQueue, std::vector<std::string>{pictures[0]});
  EXPECT_FALSE(std::filesystem::exists(pictures[1]));
  worker.UploadNextFile();
  EXPECT_EQ(host.uploadQueue, std::vector<std::string>{pictures[0]});
  EXPECT_TRUE(std::filesystem::exists(pictures[0]));
  EXPECT_EQ(host.hints, std::vector<std::string>{pictures[0] + ":Upload Fail !\r"});
}

TEST(FTPThread, BadFolderNamesNeverReachTheServer) {
  for (const char* folder : {"a\r\nDELE x", "", "..", "a/../b"}) {
    SCOPED_TRACE(folder);
    rtl::ScopedVirtualClock clock;
    FtpServer ftp;
    TempDir work;
    TestHost host;
    Configure(host, ftp);
    host.ftp.FTPFolder = folder;
    const auto pictures = MakePictures(work / "q", 1);
    host.uploadQueue = pictures;
    TFTPThread worker(host);
    worker.UploadNextFile();
    worker.UploadNextFile();
    EXPECT_EQ(host.uploadQueue, pictures);
    EXPECT_EQ(ftp.Count("MKD") + ftp.Count("STOR") + ftp.Count("DELE"), 0);
    EXPECT_EQ(host.hints, std::vector<std::string>{std::string(folder) + ":Cannot use the FTP folder !\r"});
    EXPECT_FALSE(host.uploadBusy);
  }
}

TEST(FTPThread, AFullQueueSurvivesARestart) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  const auto pictures = MakePictures(work / "UploadTempFile", 3);
  std::vector<std::string> bytes;
  for (const auto& p : pictures) bytes.push_back(nettest::ReadFile(p));
  FtpServer ftp;
  {
    // The server is away; the program then stops.
    TestHost host;
    Configure(host, ftp);
    host.ftp.FTPPort = nettest::ClosedPort();
    host.uploadQueue = pictures;
    TFTPThread worker(host);
    worker.UploadNextFile();
    EXPECT_FALSE(host.ftpUpload);
  }
  // The next start finds the folder as it was left.
  TestHost host;
  Configure(host, ftp);
  host.uploadQueue = alarms::QueuedPictures(work / "UploadTempFile");
  EXPECT_EQ(host.uploadQueue.size(), 3u);
  TFTPThread worker(host);
  while (!host.uploadQueue.empty()) worker.UploadNextFile();
  for (size_t i = 0; i < pictures.size(); ++i)
    EXPECT_TRUE(nettest::ReadFile(ftp.root + "/AlarmPicture/" + std::filesystem::path(pictures[i]).filename().string()) ==
                bytes[i]) << i;
}

}  // namespace
