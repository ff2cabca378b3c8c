#include "alarms/FTPThread.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "platform/net/FtpClient.h"
#include "platform/net/FtpListing.h"
#include "platform/rtl/Clock.h"

namespace alarms {

namespace {

constexpr char CR = '\r';

std::atomic<double> g_speed{0};

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

double FtpTransferSpeed() { return g_speed.load(); }

std::string FtpSpeedText(double bytesPerSecond, int64_t remainingBytes) {
  const double kb = bytesPerSecond / 1024;
  if (!(kb > 0)) return {};
  char speed[64];
  std::snprintf(speed, sizeof speed, "%.2f KB/s", kb);
  // What is left at the speed so far, in whole seconds, wide enough for
  // any transfer.
  const double left = remainingBytes > 0 ? static_cast<double>(remainingBytes) / bytesPerSecond : 0;
  const uint64_t secs = left < 1e12 ? static_cast<uint64_t>(left) : 999999999999ULL;
  char remaining[96];
  std::snprintf(remaining, sizeof remaining, "Time remaining %2llu:%2llu:%2llu",
                static_cast<unsigned long long>(secs / 3600), static_cast<unsigned long long>(secs / 60 % 60),
                static_cast<unsigned long long>(secs % 60));
  return std::string(speed) + "; " + remaining;
}

TFTPThread::~TFTPThread() { WaitForRuns(); }

void TFTPThread::Start() {
  runs_.Start([this] { UploadNextFile(); });
}

bool TFTPThread::Busy() { return runs_.Busy(); }

void TFTPThread::WaitForRuns() { runs_.WaitForRuns(); }

bool TFTPThread::FirstReport(const std::string& key) {
  std::lock_guard lock(mutex_);
  return reported_.insert(key).second;
}

void TFTPThread::Work(const net::TFtpProgress& p) {
  host_.FtpStatus(4);
  g_speed = p.BytesPerSecond / 1024;
  host_.SetFtpSpeedText(FtpSpeedText(p.BytesPerSecond, p.Total >= 0 ? p.Total - p.Bytes : 0));
  host_.FtpStatus(4);
}

bool TFTPThread::EnterFolder(net::TFtpClient& client, const std::string& folder) {
  std::string path;
  for (const auto& part : net::SplitFtpPath(folder)) {
    if (!client.ChangeDir(path.empty() ? "/" : path).Ok()) return false;
    std::string listing;
    if (!client.List(listing).Ok()) return false;
    // The name must be the folder's own: a longer name, or an owner or
    // date that happens to hold the text, is another folder.
    bool present = false;
    for (const auto& e : net::ParseFtpListing(listing))
      if ((e.IsDirectory || e.IsLink) && e.Name == part) {
        present = true;
        break;
      }
    if (!present && !client.MakeDir(part).Ok()) return false;
    path += "/" + part;
  }
  return client.ChangeDir(path).Ok();
}

void TFTPThread::Failed(const TAlarmFtpSettings& s, const std::string& path) {
  bool moveOn = false;
  {
    std::lock_guard lock(mutex_);
    if (++tries_[path] >= kTriesBeforeMovingOn) {
      tries_.erase(path);
      moveOn = true;
    }
  }
  if (FirstReport("store:" + path)) host_.ShowHint(path + ":" + s.UploadFail + CR);
  if (moveOn) host_.MoveToUploadQueueEnd(path);
}

void TFTPThread::UploadNextFile() {
  if (!host_.TakeUploadBusy()) return;
  const TAlarmFtpSettings s = host_.FtpSettings();
  net::TFtpSettings fs;
  fs.Host = s.FTPHostAddress;
  fs.Port = s.FTPPort;
  fs.UserName = s.FTPUserName;
  fs.Password = s.FTPPassword;
  fs.Passive = s.Passive;
  fs.ConnectTimeoutMs = s.ConnectTimeoutMs;
  fs.ResponseTimeoutMs = s.ResponseTimeoutMs;
  fs.LowSpeedSeconds = std::max(1L, s.ResponseTimeoutMs / 1000);
  net::TFtpClient client(fs);
  client.OnStatus = [this](const std::string& text) {
    host_.SetFtpStatusText(text);
    host_.FtpStatus(4);
  };
  client.OnWorkBegin = [this](int64_t) {
    g_speed = 0;
    host_.FtpStatus(4);
  };
  client.OnWork = [this](const net::TFtpProgress& p) { Work(p); };
  client.OnWorkEnd = [this](const net::TFtpProgress&) {
    g_speed = 0;
    host_.FtpStatus(4);
  };

  host_.FtpStatus(0);
  if (!client.Connect().Ok()) {
    // The queue stays, files and entries alike; the action goes off until
    // the user mends the settings. The run counts as on until its very
    // end, so no second run can start while this one winds down.
    rtl::Sleep(2000);
    host_.FtpStatus(3);
    host_.SwitchFtpUploadOff();
    host_.ShowHint(s.FtpConnectFail + CR);
    host_.ClearUploadBusy();
    return;
  }
  rtl::Sleep(500);
  host_.SetFtpCurrentFolder(s.FTPFolder);
  if (!net::IsValidFtpFolder(s.FTPFolder) || !EnterFolder(client, s.FTPFolder)) {
    if (FirstReport("folder:" + s.FTPFolder)) host_.ShowHint(s.FTPFolder + ":" + s.FolderFail + CR);
  } else {
    std::string path;
    for (const auto& queued : host_.UploadQueue()) {
      if (FileExists(queued)) {
        path = queued;
        break;
      }
      host_.RemoveFromUploadQueue(queued);
    }
    if (!path.empty()) {
      rtl::Sleep(500);
      const net::TFtpResult stored = client.Store(path, std::filesystem::path(path).filename().string());
      rtl::Sleep(500);
      if (!stored.Ok()) {
        Failed(s, path);
      } else {
        {
          std::lock_guard lock(mutex_);
          tries_.erase(path);
        }
        std::error_code ec;
        // Uploaded all the same: it leaves the queue and is never uploaded
        // again, whether or not its file could go.
        if (!std::filesystem::remove(path, ec) && std::filesystem::exists(path, ec) && FirstReport("delete:" + path))
          host_.ShowHint(path + ":" + s.DeleteFail + CR);
        host_.RemoveFromUploadQueue(path);
      }
    }
  }
  rtl::Sleep(1500);
  // Closed first, so the progress window has seen the last status text
  // when it is told to go.
  client.Disconnect();
  host_.FtpStatus(3);
  host_.ClearUploadBusy();
}

}  // namespace alarms
