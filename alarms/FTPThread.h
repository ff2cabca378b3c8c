#pragma once
// The alarm picture upload worker: one run connects to the FTP server,
// finds or makes the remote folder, stores the first queued picture in it
// and deletes the local copy once the server has it. The upload timer
// starts a run while pictures wait and no run is on.
//
// The object lives as long as the main window and remembers, across runs,
// how often each picture failed: one the server keeps refusing goes behind
// the others after three tries, so it never holds up the queue, and the
// user hears of it once.
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "alarms/AlarmWorkerHost.h"
#include "alarms/WorkerRuns.h"

namespace net {
class TFtpClient;
struct TFtpProgress;
}  // namespace net

namespace alarms {

// The average speed of the transfer on the way, in KB (1024 bytes) a
// second; 0 when none runs.
double FtpTransferSpeed();

// "12.34 KB/s; Time remaining  0: 1: 5" for a transfer at `bytesPerSecond`
// with `remainingBytes` to go; empty while the speed is 0.
std::string FtpSpeedText(double bytesPerSecond, int64_t remainingBytes);

class TFTPThread {
public:
  static constexpr int kTriesBeforeMovingOn = 3;

  explicit TFTPThread(TAlarmFtpHost& host) : host_(host) {}
  ~TFTPThread();
  TFTPThread(const TFTPThread&) = delete;
  TFTPThread& operator=(const TFTPThread&) = delete;

  // One run on the calling thread.
  void UploadNextFile();
  // One run on a thread of its own (a tick of the upload timer).
  void Start();
  void WaitForRuns();
  bool Busy();

private:
  // Changes into the folder, making each missing level; false on failure.
  bool EnterFolder(net::TFtpClient& client, const std::string& folder);
  void Failed(const TAlarmFtpSettings& s, const std::string& path);
  bool FirstReport(const std::string& key);
  void Work(const net::TFtpProgress& p);

  TAlarmFtpHost& host_;
  std::mutex mutex_;
  std::map<std::string, int> tries_;
  std::set<std::string> reported_;
  // Last, so the runs end before what they use goes.
  TWorkerRuns runs_;
};

}  // namespace alarms
