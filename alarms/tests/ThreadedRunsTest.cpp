// The workers on threads of their own, as the timers start them: two
// ticks close together make one run's worth of work, never two.
#include <gtest/gtest.h>

#include <thread>

#include "alarms/FTPThread.h"
#include "alarms/SendEmailTread.h"
#include "alarms/tests/WorkerTestHost.h"
#include "platform/net/tests/ServerSupport.h"
#include "platform/rtl/Clock.h"
#include "platform/shell/tests/MailTestSupport.h"

namespace {

using alarmtest::TestHost;
using mailtest::TempDir;

// Moves the virtual clock on while the runs pace themselves, until they
// have ended.
template <class Worker>
void RunOut(rtl::ScopedVirtualClock& clock, Worker& worker) {
  while (worker.Busy()) {
    clock.Advance(50);
    std::this_thread::yield();
  }
  worker.WaitForRuns();
}

TEST(ThreadedRuns, TwoMailTicksSendOneMail) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  nettest::PythonServer server(work.Path(), "smtpd", nettest::kSmtpScript, {work.Path(), "noauth"});
  TestHost host;
  host.mail.bDefaultSend = false;
  host.mail.bSMTPIdentity = false;
  host.mail.SMTPHost = "127.0.0.1";
  host.mail.SMTPPort = server.Port();
  host.mail.SendFromAddress = "camera@example.org";
  host.mail.SendToAddress = "one@example.org";
  nettest::WriteFile(work / "a.jpg", nettest::Binary(5000, 1));
  host.mailQueue = {work / "a.jpg"};
  alarms::TSendEmailTread worker(host);
  worker.Start();
  worker.Start();
  RunOut(clock, worker);
  EXPECT_TRUE(std::filesystem::exists(work / "msg1.eml"));
  EXPECT_FALSE(std::filesystem::exists(work / "msg2.eml"));
  EXPECT_TRUE(host.mailQueue.empty());
  EXPECT_TRUE(host.mailIdle);
}

TEST(ThreadedRuns, TwoUploadTicksStoreOnce) {
  rtl::ScopedVirtualClock clock;
  TempDir work;
  const std::string root = work / "root";
  std::filesystem::create_directory(root);
  nettest::PythonServer server(work.Path(), "ftpd", nettest::kFtpScript, {root, work / "ftpd.log", "normal"});
  TestHost host;
  host.ftp.FTPHostAddress = "127.0.0.1";
  host.ftp.FTPPort = server.Port();
  host.ftp.FTPPassword = "pw";
  nettest::WriteFile(work / "a.jpg", nettest::Binary(5000, 1));
  nettest::WriteFile(work / "b.jpg", nettest::Binary(5000, 2));
  host.uploadQueue = {work / "a.jpg", work / "b.jpg"};
  alarms::TFTPThread worker(host);
  worker.Start();
  worker.Start();
  RunOut(clock, worker);
  const int stored = std::filesystem::exists(root + "/AlarmPicture/a.jpg") + std::filesystem::exists(root + "/AlarmPicture/b.jpg");
  // The second tick either found the first run on, or came after it and
  // took the next picture; never the same one twice.
  EXPECT_EQ(stored, 2 - static_cast<int>(host.uploadQueue.size()));
  EXPECT_TRUE(std::filesystem::exists(root + "/AlarmPicture/a.jpg"));
  EXPECT_FALSE(host.uploadBusy);
}

}  // namespace
